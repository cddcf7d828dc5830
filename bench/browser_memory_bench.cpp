// The browser's peak memory for folders of 2, 1,000 and 10,000 pictures:
// each folder is opened in a fresh process (this program started again) with
// the real view, gallery and loader thread in an offscreen window, every
// thumbnail made; its peak resident size is read when it ends. Beside them
// the same window with no folder opened: what does not grow with the folder.
// Counters: peak_rss_MB, and above_empty_MB (the peak less the empty window's).
// The pictures are 160 x 120 so that the largest folder stays small on disk.
#include "bench/bench_photos.h"
#include "bench/browser_view_window.h"

#include <QApplication>
#include <QDeadlineTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildFlag = "--browser-memory-child";

// The folder of n pictures under the parent's temporary folder, made once.
fs::path Folder(const fs::path& root, int n)
{
    const fs::path folder = root / ("photos-" + std::to_string(n));
    if (fs::exists(folder))
        return folder;
    fs::create_directories(folder);
    const std::vector<uint8_t> photo = qrbench::MakePhoto(160, 120);
    for (int i = 0; i < n; ++i)
        qrbench::WriteAll(folder / ("DSC_" + std::to_string(100000 + i) + ".JPG"), photo);
    return folder;
}

// The child: the window, the folder opened (when given) and every thumbnail made.
int RunChild(int argc, char** argv, const char* folder)
{
    QApplication app(argc, argv);
    qrbench::BrowserViewWindow window("qrbrowsermemory");
    if (*folder) {
        window.Open(folder);
        QDeadlineTimer bound(600000);
        while (window.view->Loader().PendingCount() > 0 && !bound.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QApplication::processEvents();
        if (GetFileItemCount() == 0)
            return 2;
    }
    return 0;
}

// The peak resident size in megabytes of this program run for the folder.
double ChildPeakMB(const std::string& folder)
{
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const pid_t child = fork();
    if (child == 0) {
        execl(self.c_str(), self.c_str(), kChildFlag, folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_maxrss) / 1024.0;
}

struct Folders {
    std::string pattern = "/tmp/qrbrowsermemory-XXXXXX";
    fs::path root = mkdtemp(pattern.data());
    double emptyMB = 0;
    ~Folders() { fs::remove_all(root); }
};
Folders* g_folders = nullptr;

void BM_PeakMemoryEmptyWindow(benchmark::State& state)
{
    for (auto _ : state)
        g_folders->emptyMB = ChildPeakMB("");
    state.counters["peak_rss_MB"] = g_folders->emptyMB;
    if (g_folders->emptyMB < 0)
        state.SkipWithError("the child failed");
}

void BM_PeakMemoryFolder(benchmark::State& state)
{
    const fs::path folder = Folder(g_folders->root, int(state.range(0)));
    double peak = 0;
    for (auto _ : state)
        peak = ChildPeakMB(folder.string());
    if (peak < 0)
        state.SkipWithError("the child failed");
    state.counters["peak_rss_MB"] = peak;
    state.counters["above_empty_MB"] = peak - g_folders->emptyMB;
}

} // namespace

BENCHMARK(BM_PeakMemoryEmptyWindow)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryFolder)->Arg(2)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return RunChild(1, argv, argv[2]);
    benchmark::Initialize(&argc, argv);
    Folders folders;
    g_folders = &folders;
    benchmark::RunSpecifiedBenchmarks();
    g_folders = nullptr;
    benchmark::Shutdown();
    return 0;
}
