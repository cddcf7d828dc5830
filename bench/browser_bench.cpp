// The browser's model at the sizes people's folders have, each beside a
// reference measured in the same run, as a ratio of CPU time:
// - scanning folders of 1,000 and 10,000 JPEG files (a tenth with voice
//   notes) beside a plain listing of the folder with each file's status
//   (target: the scan of 10,000 within 3 times the listing);
// - sorting 10,000 items in every order beside a plain stable sort of the
//   same keys taken beforehand (target: within 2 times);
// - thumbnails of 200 12-megapixel JPEG files made one after another as the
//   loader makes them, beside vipsthumbnail with one thread over the same
//   files (target: at least as many files a second without Exif thumbnails,
//   at least five times as many with them). Without vipsthumbnail (Debian's
//   libvips-tools, which scripts/install-deps --bench installs) that
//   comparison is skipped.
// QR_BENCH_FILES sets the number of 12-megapixel files (200).
#include "bench/bench_photos.h"
#include "bench/browser_store.h"
#include "browser/file_item_store.h"
#include "browser/folder_scan.h"
#include "browser/sort_key.h"
#include "browser/thumbnail_cache.h"
#include "util/string_util.h"
#include "platform/registry.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <spawn.h>
#include <string>
#include <unordered_map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using qrbench::CpuSeconds;
using qrbench::WriteAll;

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;
constexpr int kSortedItems = 10000;

double ChildCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

int PhotoCount() { return qrbench::EnvCount("QR_BENCH_FILES", 200); }

// Everything the benchmarks read and write, under one temporary folder.
struct Workspace {
    qrbench::BrowserStore store{"qrbrowser"};
    fs::path root = store.root;

    // A folder of n small camera JPEG files, every tenth with its voice note.
    fs::path ScanFolder(int n)
    {
        const fs::path folder = root / ("scan" + std::to_string(n));
        if (fs::exists(folder))
            return folder;
        fs::create_directories(folder);
        const std::vector<uint8_t> picture =
            qrbench::WithApp1(qrbench::MakePhoto(320, 240), qrbench::ExifWithThumbnail());
        const std::vector<uint8_t> note(2048, 0);
        for (int i = 0; i < n; ++i) {
            const std::string stem = "IMG_" + std::to_string(10000 + i);
            WriteAll(folder / (stem + ".JPG"), picture);
            if (i % 10 == 0)
                WriteAll(folder / (stem + ".WAV"), note);
        }
        return folder;
    }

    // Folders of 12-megapixel pictures, without and with Exif thumbnails.
    fs::path PhotoFolder(bool withExif)
    {
        const fs::path folder = root / (withExif ? "photos-exif" : "photos");
        if (fs::exists(folder))
            return folder;
        fs::create_directories(folder);
        const std::vector<uint8_t> photo = qrbench::MakePhoto(kPhotoWidth, kPhotoHeight);
        const std::vector<uint8_t> bytes = withExif ? qrbench::WithApp1(photo, qrbench::ExifWithThumbnail()) : photo;
        for (int i = 0; i < PhotoCount(); ++i)
            WriteAll(folder / ("DSC_" + std::to_string(1000 + i) + ".JPG"), bytes);
        return folder;
    }
};

Workspace* g_space = nullptr;

void Scan(const fs::path& folder, int mode)
{
    std::atomic<uint32_t> total{0}, done{0};
    CFolderScanDlog::ScanFolder(folder.string(), mode, false, {}, total, done);
}

// ---- scanning

double g_listingCpu[2] = {0, 0}; // per run, for 1,000 and 10,000 files

// The reference: the folder's names and each file's status, nothing more.
void BM_PlainListing(benchmark::State& state)
{
    const fs::path folder = g_space->ScanFolder(int(state.range(0)));
    double cpu = 0;
    size_t entries = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        std::vector<std::pair<std::string, struct stat>> listed;
        DIR* dir = opendir(folder.c_str());
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            struct stat st{};
            const std::string path = folder.string() + "/" + e->d_name;
            if (stat(path.c_str(), &st) == 0)
                listed.emplace_back(e->d_name, st);
        }
        closedir(dir);
        benchmark::DoNotOptimize(listed.data());
        entries = listed.size();
        cpu += CpuSeconds() - start;
        state.SetIterationTime(CpuSeconds() - start);
    }
    g_listingCpu[state.range(0) > 1000] = cpu / double(state.iterations());
    state.counters["entries"] = double(entries);
}

void BM_FolderScan(benchmark::State& state)
{
    const fs::path folder = g_space->ScanFolder(int(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        Scan(folder, kSortByFoundOrder);
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    state.counters["items"] = double(GetFileItemCount());
    const double reference = g_listingCpu[state.range(0) > 1000];
    if (reference > 0)
        state.counters["vs_listing"] = cpu / double(state.iterations()) / reference;
}

// ---- sorting

double g_plainSortCpu[kSortModeCount][2] = {};

// The store's items in one fixed shuffled order, so that every run starts alike.
std::vector<CFileItem*>& Shuffled()
{
    static std::vector<CFileItem*> items;
    if (items.empty()) {
        Scan(g_space->ScanFolder(kSortedItems), kSortByInfo); // reads every item's information
        for (auto& item : GetFileItemArray())
            items.push_back(item.get());
        std::shuffle(items.begin(), items.end(), std::mt19937(11));
    }
    return items;
}

void PutInOrder(const std::vector<CFileItem*>& order)
{
    FileItemArray& array = GetFileItemArray();
    std::unordered_map<CFileItem*, std::unique_ptr<CFileItem>> owned;
    for (auto& slot : array)
        owned.emplace(slot.get(), std::move(slot));
    array.clear();
    for (CFileItem* item : order)
        array.push_back(std::move(owned[item]));
}

template <typename Key>
double PlainStableSort(const std::vector<Key>& keys, bool descending)
{
    std::vector<std::pair<Key, uint32_t>> work(keys.size());
    for (uint32_t i = 0; i < keys.size(); ++i)
        work[i] = {keys[i], i};
    const double start = CpuSeconds();
    auto less = [](const Key& a, const Key& b) {
        if constexpr (std::is_same_v<Key, int64_t>)
            return a < b;
        else
            return CompareNoCase(a, b) < 0;
    };
    if (descending)
        std::stable_sort(work.begin(), work.end(), [&](auto& a, auto& b) { return less(b.first, a.first); });
    else
        std::stable_sort(work.begin(), work.end(), [&](auto& a, auto& b) { return less(a.first, b.first); });
    benchmark::DoNotOptimize(work.data());
    return CpuSeconds() - start;
}

// The reference: the same keys, taken beforehand, sorted by the standard library.
void BM_PlainSortOfKeys(benchmark::State& state)
{
    const int mode = int(state.range(0));
    const bool descending = state.range(1) != 0;
    const std::vector<CFileItem*>& items = Shuffled();
    std::unique_ptr<CSortKey> key = MakeSortKey(mode);
    std::vector<int64_t> numbers;
    std::vector<std::string> texts;
    for (CFileItem* item : items) {
        const SortKeyValue v = key->Value(item);
        if (const auto* n = std::get_if<int64_t>(&v))
            numbers.push_back(*n);
        else
            texts.push_back(std::get<std::string>(v));
    }
    double cpu = 0;
    for (auto _ : state) {
        const double spent = texts.empty() ? PlainStableSort(numbers, descending) : PlainStableSort(texts, descending);
        cpu += spent;
        state.SetIterationTime(spent);
    }
    g_plainSortCpu[mode][descending] = cpu / double(state.iterations());
}

void BM_SortItems(benchmark::State& state)
{
    const int mode = int(state.range(0));
    const bool descending = state.range(1) != 0;
    const std::vector<CFileItem*>& items = Shuffled();
    double cpu = 0;
    for (auto _ : state) {
        PutInOrder(items);
        const double start = CpuSeconds();
        SortFileItems(mode, descending);
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    const double reference = g_plainSortCpu[mode][descending];
    if (reference > 0)
        state.counters["vs_plain_sort"] = cpu / double(state.iterations()) / reference;
}

// ---- thumbnails

double g_vipsCpuPerFile[2] = {0, 0};

bool HasVipsThumbnail() { return system("command -v vipsthumbnail >/dev/null 2>&1") == 0; }

// vipsthumbnail over every file of the folder in one run, with one thread.
void BM_VipsThumbnail(benchmark::State& state)
{
    const bool withExif = state.range(0) != 0;
    const fs::path folder = g_space->PhotoFolder(withExif);
    const fs::path out = g_space->root / "vips-out";
    fs::create_directories(out);
    std::vector<std::string> args{"vipsthumbnail", "--size", "160x160", "-o", (out / "%s.jpg").string()};
    for (const auto& e : fs::directory_iterator(folder))
        args.push_back(e.path().string());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("VIPS_CONCURRENCY=", 0) != 0)
            env.emplace_back(*e);
    env.emplace_back("VIPS_CONCURRENCY=1");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const size_t files = args.size() - 5;
    double cpu = 0;
    for (auto _ : state) {
        const double start = ChildCpuSeconds();
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "vipsthumbnail", nullptr, nullptr, argv.data(), envp.data()) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("vipsthumbnail failed");
            return;
        }
        const double spent = ChildCpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    g_vipsCpuPerFile[withExif] = cpu / double(state.iterations()) / double(files);
    state.counters["files_per_cpu_s"] = double(files) * double(state.iterations()) / cpu;
}

// The loader's way: each item's thumbnail made and stored in turn.
void BM_LoaderThumbnails(benchmark::State& state)
{
    const bool withExif = state.range(0) != 0;
    Scan(g_space->PhotoFolder(withExif), kSortByFoundOrder);
    const int n = GetFileItemCount();
    double cpu = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        for (int i = 0; i < n; ++i)
            if (!LoadItemThumbnail(i)) {
                state.SkipWithError("a thumbnail was not made");
                return;
            }
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    const double perFile = cpu / double(state.iterations()) / double(n);
    state.counters["files_per_cpu_s"] = 1.0 / perFile;
    if (g_vipsCpuPerFile[withExif] > 0)
        state.counters["files_per_s_vs_vips"] = g_vipsCpuPerFile[withExif] / perFile;
}

} // namespace

// Each reference runs before what is measured against it.
BENCHMARK(BM_PlainListing)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_FolderScan)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_PlainSortOfKeys)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SortItems)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The reference thumbnails run before ours; without vipsthumbnail
    // (scripts/install-deps --bench) ours run alone, which is no error.
    if (HasVipsThumbnail())
        benchmark::RegisterBenchmark("BM_VipsThumbnail", BM_VipsThumbnail)
            ->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    else
        std::fprintf(stderr, "vipsthumbnail is not installed (scripts/install-deps --bench): "
                             "the thumbnails are measured without the comparison\n");
    benchmark::RegisterBenchmark("BM_LoaderThumbnails", BM_LoaderThumbnails)
        ->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    Workspace space;
    g_space = &space;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_space = nullptr;
    return 0;
}
