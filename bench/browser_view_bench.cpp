// The browser view at the sizes people's folders have, with the real view,
// gallery and loader thread in an offscreen window:
// - the time from a folder change until the thumbnails of the first screen
//   of a 1,000-photo folder are real, without and with Exif thumbnails,
//   beside scanning the folder and making the same thumbnails one after
//   another on one thread (target: within 1.5 times that on an idle
//   machine; the loader runs at the lowest priority, so on a busy one it
//   waits its turn, and the CPU column says what it cost);
// - the frame time of scrolling a 10,000-item folder in disk mode, a page a
//   wheel notch, each page painted at once (target: under 16 ms a frame);
// - the loader's CPU time while idle after the folder is loaded (target:
//   none beyond its wake-ups, well under a millisecond a second).
// QR_BENCH_VIEW_FILES sets the photo folder's size (1,000); the photos are
// 1024 x 768 so that the folder stays small on disk.
#include "bench/bench_photos.h"
#include "bench/browser_view_window.h"
#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/thumbnail_cache.h"
#include "browser/zun_main_view.h"
#include "imaging/dib_bitmap.h"
#include "platform/registry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWheelEvent>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

using qrbench::CpuSeconds;
using qrbench::WriteAll;

constexpr int kScrollItems = 10000;

int PhotoFiles() { return qrbench::EnvCount("QR_BENCH_VIEW_FILES", 1000); }

// The store, the settings and the folders, under one temporary folder; the
// view in a window of its own.
struct Workspace : qrbench::BrowserViewWindow {
    Workspace() : BrowserViewWindow("qrbrowserview") {}

    fs::path PhotoFolder(bool withExif)
    {
        const fs::path folder = root / (withExif ? "photos-exif" : "photos");
        if (fs::exists(folder))
            return folder;
        fs::create_directories(folder);
        const std::vector<uint8_t> photo = qrbench::MakePhoto(1024, 768);
        const std::vector<uint8_t> bytes = withExif ? qrbench::WithApp1(photo, qrbench::ExifWithThumbnail()) : photo;
        for (int i = 0; i < PhotoFiles(); ++i)
            WriteAll(folder / ("DSC_" + std::to_string(10000 + i) + ".JPG"), bytes);
        return folder;
    }

    fs::path ScrollFolder()
    {
        const fs::path folder = root / "scroll";
        if (fs::exists(folder))
            return folder;
        fs::create_directories(folder);
        const std::vector<uint8_t> picture = qrbench::MakePhoto(64, 48);
        for (int i = 0; i < kScrollItems; ++i)
            WriteAll(folder / ("IMG_" + std::to_string(100000 + i) + ".JPG"), picture);
        return folder;
    }

    int FirstScreen() const
    {
        const CGalleryModel& m = view->GetGallery()->Model();
        return std::min(GetFileItemCount(), m.GetColumns() * m.GetRowsPerPage());
    }
};

Workspace* g_space = nullptr;
double g_serialSeconds[2] = {0, 0};

// The reference: the folder scanned, then the first screen's thumbnails made
// one after another on this thread.
void BM_FirstScreenSerial(benchmark::State& state)
{
    const bool withExif = state.range(0) != 0;
    for (auto _ : state) {
        const fs::path folder = g_space->PhotoFolder(withExif);
        g_space->view->Loader().Pause();
        const auto start = std::chrono::steady_clock::now();
        g_space->Open(folder);
        const int n = g_space->FirstScreen();
        for (int i = 0; i < n; ++i)
            LoadItemThumbnail(i);
        const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(spent);
        g_serialSeconds[withExif] = spent;
        state.counters["thumbnails"] = n;
        g_space->view->Loader().Resume();
    }
}

// A folder change until every cell of the first screen shows its picture.
void BM_FirstScreenReal(benchmark::State& state)
{
    const bool withExif = state.range(0) != 0;
    const fs::path folder = g_space->PhotoFolder(withExif);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        g_space->Open(folder);
        const int n = g_space->FirstScreen();
        for (;;) {
            int first;
            {
                std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
                first = g_space->view->Loader().FirstPendingIndex();
            }
            if (first < 0 || first >= n)
                break;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        QApplication::processEvents(); // the last refresh
        const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(spent);
        if (g_serialSeconds[withExif] > 0)
            state.counters["vs_serial"] = spent / g_serialSeconds[withExif];
    }
}

// A page a wheel notch through 10,000 items whose thumbnails are on disk.
void BM_ScrollFrame(benchmark::State& state)
{
    g_space->view->Loader().Pause();
    g_space->Open(g_space->ScrollFolder());
    {
        // Every thumbnail stored (as the loader leaves them), without decoding 10,000 files.
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        CDibBitmap thumb;
        thumb.CreateDib(CSize(160, 120), 24, nullptr, nullptr, RGB(90, 140, 200));
        for (int i = 0; i < GetFileItemCount(); ++i) {
            GetFileItem(i)->m_bInfoRead = TRUE;
            StoreItemThumbnail(i, thumb);
        }
        g_space->view->Loader().Clear();
    }
    CGalleryCtrl* gallery = g_space->view->GetGallery();
    QWidget* port = gallery->Viewport();
    int direction = -120;
    for (auto _ : state) {
        if (gallery->Model().GetFirstRow() == gallery->Model().GetLastFirstRow())
            direction = 120;
        else if (gallery->Model().GetFirstRow() == 0)
            direction = -120;
        QElapsedTimer timer;
        timer.start();
        QWheelEvent e(QPointF(50, 50), port->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, direction),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &e);
        port->repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) * 1e-9);
    }
    state.counters["held_thumbnails"] = double(g_space->view->HeldThumbnailCount());
    g_space->view->Loader().Resume();
}

// The process's CPU time in one second while the loaded folder's view sits
// idle (the time column).
void BM_LoaderIdle(benchmark::State& state)
{
    g_space->Open(g_space->PhotoFolder(true));
    while (g_space->view->Loader().PendingCount() > 0)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();
    for (auto _ : state) {
        const double cpu = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.SetIterationTime(CpuSeconds() - cpu);
    }
}

} // namespace

// Each reference runs before what is measured against it.
BENCHMARK(BM_FirstScreenSerial)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FirstScreenReal)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScrollFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_LoaderIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        Workspace space;
        g_space = &space;
        benchmark::RunSpecifiedBenchmarks();
        g_space = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
