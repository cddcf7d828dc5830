// Painting the image display control: a 24-megapixel picture in a 1920 x 1080
// control, beside a plain QPainter::drawImage of a copy already fitted to the
// control, in the same run. Each case reports its own time and the
// reference's, and their ratio (target at fit: at most 1.5).
#include "bench/photo_rows.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_ctrl.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr int kViewWidth = 1920, kViewHeight = 1080;

CDibBitmap* MakePicture()
{
    auto* dib = new CDibBitmap;
    dib->CreateDibForOverwrite(CSize(kWidth, kHeight), 24);
    uint32_t noise = 12345;
    for (int y = 0; y < kHeight; ++y) // stored bottom-up
        FillPhotoRow(dib->GetBits() + static_cast<size_t>(kHeight - 1 - y) * dib->GetStride(), y, kWidth, kHeight, noise);
    return dib;
}

double ThreadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The owner window and the control, made once for the whole run.
struct Scene {
    CWnd owner;
    CImageCtrl ctrl;
    QImage target{kViewWidth, kViewHeight, QImage::Format_RGB32};
    QImage fitted{kViewWidth, kViewHeight, QImage::Format_RGB32};
    Scene()
    {
        owner.Create(nullptr, "bench", WS_OVERLAPPED, CRect(0, 0, kViewWidth, kViewHeight), nullptr, 0);
        ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, kViewWidth, kViewHeight), &owner, 2130);
        owner.ShowWindow(SW_SHOW);
        ctrl.SetImage(MakePicture(), TRUE, FALSE);
        fitted.fill(Qt::darkCyan);
        QApplication::processEvents();
    }
    QWidget* View() { return ctrl.Viewport(); }
    // The control's paint, into an image of the control's size.
    void PaintControl() { View()->render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); }
    void PaintReference()
    {
        QPainter p(&target);
        p.drawImage(0, 0, fitted);
    }
};

// Made on first use and gone before the application object: windows die
// while there is still an application to tell.
std::unique_ptr<Scene> g_scene;

Scene& TheScene()
{
    if (!g_scene)
        g_scene = std::make_unique<Scene>();
    return *g_scene;
}

void Report(benchmark::State& state, double ours, double reference)
{
    const double runs = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = ours / runs * 1e3;
    state.counters["plain_ms"] = reference / runs * 1e3;
    state.counters["ratio"] = reference > 0 ? ours / reference : 0;
}

// A repaint at fit: the display copy is blitted. CPU time of this thread.
void BM_RepaintAtFit(benchmark::State& state)
{
    Scene& s = TheScene();
    s.ctrl.SetZoomMode(0, TRUE);
    s.PaintControl();
    double ours = 0, reference = 0;
    for (auto _ : state) {
        double t = ThreadCpuSeconds();
        s.PaintControl();
        const double took = ThreadCpuSeconds() - t;
        ours += took;
        state.SetIterationTime(took);
        t = ThreadCpuSeconds();
        s.PaintReference();
        reference += ThreadCpuSeconds() - t;
        benchmark::DoNotOptimize(s.target.constBits());
    }
    Report(state, ours, reference);
}

// The first paint after the zoom changed: the display copy is made again
// (the picture reduced on every core). Wall time.
void BM_FirstPaintAfterZoomChange(benchmark::State& state)
{
    Scene& s = TheScene();
    s.ctrl.SetZoomMode(1, TRUE);
    const int64_t fit = s.ctrl.CalcFitZoom();
    int64_t zoom = fit;
    double ours = 0, reference = 0;
    for (auto _ : state) {
        zoom = zoom == fit ? fit - 100 : fit;
        double t = WallSeconds();
        s.ctrl.SetZoom(zoom);
        s.PaintControl();
        const double took = WallSeconds() - t;
        ours += took;
        state.SetIterationTime(took);
        t = WallSeconds();
        s.PaintReference();
        reference += WallSeconds() - t;
    }
    Report(state, ours, reference);
    s.ctrl.SetZoomMode(0, TRUE);
}

// Panning at 100 %: each step moves the view 16 pixels with the pan tool and
// paints what came into view. Wall time, the paint included.
void BM_PanAt100(benchmark::State& state)
{
    Scene& s = TheScene();
    s.ctrl.SetZoomMode(1, TRUE);
    s.ctrl.SetZoom(10000);
    s.ctrl.SetMode(kImageModePan);
    QWidget* v = s.View();
    auto mouse = [&](QEvent::Type type, QPoint at) {
        QMouseEvent e(type, QPointF(at), v->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(v, &e);
    };
    QApplication::processEvents();
    double ours = 0, reference = 0;
    int x = v->width() - 10;
    mouse(QEvent::MouseButtonPress, QPoint(x, 500));
    for (auto _ : state) {
        x -= 16;
        if (x < 10) {
            // Back to where the drag started: a new drag from the right edge.
            mouse(QEvent::MouseButtonRelease, QPoint(x, 500));
            x = v->width() - 10;
            mouse(QEvent::MouseButtonPress, QPoint(x, 500));
        }
        double t = WallSeconds();
        mouse(QEvent::MouseMove, QPoint(x, 500));
        // The scroll moved what was on screen; only the strip that came into view is painted.
        QApplication::processEvents();
        const double took = WallSeconds() - t;
        ours += took;
        state.SetIterationTime(took);
        t = WallSeconds();
        s.PaintReference();
        reference += WallSeconds() - t;
    }
    mouse(QEvent::MouseButtonRelease, QPoint(x, 500));
    Report(state, ours, reference);
    s.ctrl.SetMode(kImageModeArea);
    s.ctrl.SetZoomMode(0, TRUE);
}

} // namespace

// The time column is the control's own (CPU time of the paint at fit, wall
// time where the display copy is made on every core).
BENCHMARK(BM_RepaintAtFit)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstPaintAfterZoomChange)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PanAt100)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_scene.reset();
    benchmark::Shutdown();
    return 0;
}
