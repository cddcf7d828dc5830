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
// - Rename All over 1,000 and 10,000 pictures (a tenth with voice notes)
//   beside a plain loop of rename(2) over the same files, and the companion
//   lookup that Delete, Copy, Move and a drag do over the same selection
//   (targets: at 10,000 within 3 times the loop, and 10,000 within 12 times
//   1,000: the cost grows as the number of files);
// - Resize All of a 6000 x 4000 JPEG file to 1920 x 1280, decode, resample
//   and JPEG file written, beside vipsthumbnail with one thread doing the same
//   (target: at most its CPU time); beside it a decode at a DCT reduction, its
//   CPU time and the PSNR of its copy against Resize All's (at least 40 dB
//   would let Resize All take it; a camera photograph gives about 33).
// QR_BENCH_FILES sets the number of 12-megapixel files (200).
#include "bench/bench_photos.h"
#include "bench/browser_store.h"
#include "browser/file_item_store.h"
#include "browser/file_rename.h"
#include "browser/folder_scan.h"
#include "browser/resize_all.h"
#include "browser/sort_key.h"
#include "browser/thumbnail_cache.h"
#include "util/companion_files.h"
#include "util/string_util.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_save.h"
#include "imaging/jpeg_codec.h"
#include "util/reg_settings.h"
#include "platform/framework/message_box.h"
#include "platform/registry.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
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

    // A folder of n pictures named "<prefix><number>.JPG", every tenth with a
    // voice note whose extension is in the other case.
    fs::path RenameFolder(int n)
    {
        const fs::path folder = root / ("rename" + std::to_string(n));
        if (fs::exists(folder))
            return folder;
        fs::create_directories(folder);
        for (int i = 0; i < n; ++i) {
            const std::string stem = RenamedStem("IMG_", i);
            WriteAll(folder / (stem + ".JPG"), {'j'});
            if (i % 10 == 0)
                WriteAll(folder / (stem + ".wav"), {'w'});
        }
        return folder;
    }
    static std::string RenamedStem(const std::string& prefix, int i) { return MakeSerialName(i, prefix, "00000"); }

    // One 6000 x 4000 photograph for Resize All.
    fs::path ResizePhoto()
    {
        const fs::path file = root / "resize" / "DSC_6000.JPG";
        if (!fs::exists(file)) {
            fs::create_directories(file.parent_path());
            WriteAll(file, qrbench::MakePhoto(6000, 4000));
        }
        return file;
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

// Runs vipsthumbnail with the arguments on one thread; its CPU seconds, or
// -1 when it failed.
double RunVips(std::vector<std::string> args)
{
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
    const double start = ChildCpuSeconds();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "vipsthumbnail", nullptr, nullptr, argv.data(), envp.data()) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return ChildCpuSeconds() - start;
}

// Each iteration one run of vipsthumbnail: its CPU seconds per run, or 0
// when it failed (the benchmark then says so).
double TimeVips(benchmark::State& state, const std::vector<std::string>& args)
{
    double cpu = 0;
    for (auto _ : state) {
        const double spent = RunVips(args);
        if (spent < 0) {
            state.SkipWithError("vipsthumbnail failed");
            return 0;
        }
        cpu += spent;
        state.SetIterationTime(spent);
    }
    return cpu / double(state.iterations());
}

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
    const size_t files = args.size() - 5;
    const double cpu = TimeVips(state, args);
    if (cpu <= 0)
        return;
    g_vipsCpuPerFile[withExif] = cpu / double(files);
    state.counters["files_per_cpu_s"] = double(files) / cpu;
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

// ---- Rename All and companions

double g_plainRenameCpu[2] = {0, 0}; // per run, for 1,000 and 10,000 files
double g_renameAllCpu = 0, g_lookupCpu = 0; // at 1,000 files

// Files of the rename folder under their current prefix: pictures, then notes.
std::vector<std::pair<std::string, std::string>> RenameFiles(int n)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < n; ++i)
        files.emplace_back(Workspace::RenamedStem("", i), ".JPG");
    for (int i = 0; i < n; i += 10)
        files.emplace_back(Workspace::RenamedStem("", i), ".wav");
    return files;
}

// The names alternate between two prefixes, so every iteration renames.
const char* const kPrefixes[] = {"IMG_", "Trip"};

// The reference: rename(2) over the same files, nothing more. It calls the
// system directly on purpose: the benchmark's own scratch files, no user's,
// and what Rename All is measured against is the bare system call.
void BM_PlainRename(benchmark::State& state)
{
    const int n = int(state.range(0));
    const fs::path folder = g_space->RenameFolder(n);
    const auto files = RenameFiles(n);
    double cpu = 0;
    int turn = 0;
    for (auto _ : state) {
        const std::string from = kPrefixes[turn % 2], to = kPrefixes[(turn + 1) % 2];
        const double start = CpuSeconds();
        for (const auto& [number, ext] : files)
            if (::rename((folder / (from + number + ext)).c_str(), (folder / (to + number + ext)).c_str()) != 0)
                state.SkipWithError("rename failed");
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
        ++turn;
    }
    // Back to the first names for the next benchmark.
    if (turn % 2)
        for (const auto& [number, ext] : files)
            ::rename((folder / (kPrefixes[1] + number + ext)).c_str(), (folder / (kPrefixes[0] + number + ext)).c_str());
    g_plainRenameCpu[n > 1000] = cpu / double(state.iterations());
    state.counters["files"] = double(files.size());
}

// Ratios against the plain loop at the same size and against the 1,000 case.
void ReportRenameRatios(benchmark::State& state, double perIteration, double& at1000)
{
    const int n = int(state.range(0));
    if (g_plainRenameCpu[n > 1000] > 0)
        state.counters["vs_plain_rename"] = perIteration / g_plainRenameCpu[n > 1000];
    if (n <= 1000)
        at1000 = perIteration;
    else if (at1000 > 0)
        state.counters["vs_1000"] = perIteration / at1000;
}

// Rename All as the browser does it, over every picture of the folder.
void BM_RenameAll(benchmark::State& state)
{
    const int n = int(state.range(0));
    const fs::path folder = g_space->RenameFolder(n);
    ClearFileItems(FALSE);
    std::vector<int> items;
    for (int i = 0; i < n; ++i) {
        AppendFileItem((folder / (Workspace::RenamedStem(kPrefixes[0], i) + ".JPG")).string());
        items.push_back(i);
    }
    double cpu = 0;
    int turn = 0;
    for (auto _ : state) {
        std::string error;
        const double start = CpuSeconds();
        if (!RenameItems(items, kPrefixes[(turn + 1) % 2], "00000", error))
            state.SkipWithError(("Rename All failed: " + error).c_str());
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
        ++turn;
    }
    if (turn % 2) {
        std::string error;
        RenameItems(items, kPrefixes[0], "00000", error);
    }
    ClearFileItems(FALSE);
    ReportRenameRatios(state, cpu / double(state.iterations()), g_renameAllCpu);
}

// The companions Delete, Copy, Move and a drag add to a selection of every picture.
void BM_CompanionLookup(benchmark::State& state)
{
    const int n = int(state.range(0));
    const fs::path folder = g_space->RenameFolder(n);
    std::vector<std::string> pictures;
    for (int i = 0; i < n; ++i)
        pictures.push_back((folder / (Workspace::RenamedStem(kPrefixes[0], i) + ".JPG")).string());
    double cpu = 0;
    size_t found = 0;
    for (auto _ : state) {
        std::vector<std::string> paths = pictures;
        const double start = CpuSeconds();
        AddCompanionFiles(paths);
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
        found = paths.size() - pictures.size();
    }
    state.counters["companions"] = double(found);
    ReportRenameRatios(state, cpu / double(state.iterations()), g_lookupCpu);
}

// ---- Resize All

constexpr int kResizeWidth = 1920, kResizeHeight = 1280, kResizeQuality = 95;
double g_vipsResizeCpu = 0;

void BM_VipsThumbnailResize(benchmark::State& state)
{
    const fs::path out = g_space->root / "vips-resized";
    fs::create_directories(out);
    const std::vector<std::string> args{"vipsthumbnail", "--size",
                                        std::to_string(kResizeWidth) + "x" + std::to_string(kResizeHeight), "-o",
                                        (out / ("%s.jpg[Q=" + std::to_string(kResizeQuality) + "]")).string(),
                                        g_space->ResizePhoto().string()};
    g_vipsResizeCpu = TimeVips(state, args);
}

// Peak signal-to-noise ratio of two JPEG files of one size, in dB.
double Psnr(const fs::path& a, const fs::path& b)
{
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::vector<uint8_t> x = read(a), y = read(b);
    CDibBitmap dx, dy;
    if (!JpegDecodeToDibSection(x.data(), x.size(), dx) || !JpegDecodeToDibSection(y.data(), y.size(), dy) ||
        dx.GetSize() != dy.GetSize())
        return 0;
    double squares = 0;
    const size_t bytes = dx.GetDibImageSize();
    for (size_t i = 0; i < bytes; ++i) {
        const double d = double(dx.GetBits()[i]) - double(dy.GetBits()[i]);
        squares += d * d;
    }
    return squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (squares / double(bytes)));
}

// One picture of Resize All as the browser makes it, bilinear, into a JPEG file:
// the whole picture decoded. Beside it, once, the same with the JPEG decoded at
// a DCT reduction: its CPU beside vipsthumbnail's (reduced_decode_vs_vipsthumbnail)
// and how near its copy comes to the one Resize All writes
// (psnr_reduced_vs_full_decode), the reason Resize All does not take it.
void BM_ResizeAllPhoto(benchmark::State& state)
{
    // The exporters beside the program; a message box would wait for a user.
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    RegWriteString(0, "HomePath", (exe.parent_path().parent_path() / "bin").string() + "/", HKEY_LOCAL_MACHINE);
    std::string told;
    SetMessageBoxHandler([&told](const std::string& text, UINT, UINT) {
        told = text;
        return IDOK;
    });
    struct Restore {
        ~Restore() { SetMessageBoxHandler(nullptr); }
    } restore;
    ClearFileItems(FALSE);
    AppendFileItem(g_space->ResizePhoto().string());
    const fs::path reduced = g_space->root / "resized.jpg", whole = g_space->root / "resized-whole.jpg";
    auto resize = [](const fs::path& target, bool reducedDecode) {
        return ResizeOnePicture(nullptr, 0, target.string(), CSize(kResizeWidth, kResizeHeight),
                                CImageBuffer::kBilinear, true, kResizeQuality, ImageSaveValues{}, reducedDecode);
    };
    double cpu = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        if (!resize(whole, false)) {
            state.SkipWithError(("Resize All failed: " + told).c_str());
            return;
        }
        const double spent = CpuSeconds() - start;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    const double reducedStart = CpuSeconds();
    if (!resize(reduced, true)) {
        state.SkipWithError(("Resize All with a reduced decode failed: " + told).c_str());
        return;
    }
    const double reducedCpu = CpuSeconds() - reducedStart;
    state.counters["psnr_reduced_vs_full_decode"] = Psnr(reduced, whole);
    if (g_vipsResizeCpu > 0) {
        state.counters["vs_vipsthumbnail"] = cpu / double(state.iterations()) / g_vipsResizeCpu;
        state.counters["reduced_decode_vs_vipsthumbnail"] = reducedCpu / g_vipsResizeCpu;
    }
    ClearFileItems(FALSE);
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
BENCHMARK(BM_PlainRename)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_RenameAll)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_CompanionLookup)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

// The rest in main: each vipsthumbnail reference only where it is installed.
// Without it ours run alone, which is no error (a benchmark that reports an
// error fails the benchmark's test).
static void RegisterComparedBenchmarks()
{
    const bool vips = HasVipsThumbnail();
    if (!vips)
        std::fprintf(stderr, "vipsthumbnail is not installed (Debian's libvips-tools, scripts/install-deps --bench): "
                             "Resize All and the thumbnails are measured without the comparison\n");
    if (vips)
        benchmark::RegisterBenchmark("BM_VipsThumbnailResize", BM_VipsThumbnailResize)
            ->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
    benchmark::RegisterBenchmark("BM_ResizeAllPhoto", BM_ResizeAllPhoto)
        ->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
    if (vips)
        benchmark::RegisterBenchmark("BM_VipsThumbnail", BM_VipsThumbnail)
            ->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("BM_LoaderThumbnails", BM_LoaderThumbnails)
        ->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
}

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RegisterComparedBenchmarks();
    Workspace space;
    g_space = &space;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_space = nullptr;
    return 0;
}
