// Painting the image display control: a 24-megapixel picture in a 1920 x 1080
// control, beside a plain QPainter::drawImage of a copy already fitted to the
// control, in the same run. Each case reports its own time and the
// reference's, and their ratio (target at fit: at most 1.5).
// The first paint after a zoom change beside resampling just the visible part
// of the picture to its size (CPU time of the process, as the resampling runs
// on every core; vs_resample_visible, target at most 1.3).
#include "bench/photo_rows.h"
#include "imaging/dib_bitmap.h"
#include "imaging/display_copy.h"
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
#include <map>
#include <memory>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr int kViewWidth = 1920, kViewHeight = 1080;

std::unique_ptr<CDibBitmap> MakePicture()
{
    auto dib = std::make_unique<CDibBitmap>();
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
        ctrl.SetImage(MakePicture(), FALSE);
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

double ProcessCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The zoom the first-paint cases change to from fit: arg 0 just below fit
// (the whole picture in view), else the zoom (5000: 50 %, a part in view).
int64_t OtherZoom(const benchmark::State& state, int64_t fit)
{
    return state.range(0) == 0 ? fit - 100 : state.range(0);
}

std::map<int64_t, double> g_resampleVisible; // CPU seconds per iteration, the last repetition

// The reference: the visible part of the picture at the new scale resampled
// into an image of its size, with the kernel the control draws with.
void BM_ResampleVisible(benchmark::State& state)
{
    Scene& s = TheScene();
    s.ctrl.SetZoomMode(1, TRUE);
    const int64_t fit = s.ctrl.CalcFitZoom();
    const CDibBitmap& picture = *s.ctrl.GetImage();
    const CSize size = picture.GetSize();
    const ptrdiff_t stride = picture.GetStride();
    const RasterView src{const_cast<BYTE*>(picture.GetBits()) + stride * (size.cy - 1), -stride, size.cx, size.cy};
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The reference resamples what the other zoom shows.
        s.ctrl.SetZoom(OtherZoom(state, fit));
        const CRect pictureRect = s.ctrl.Model().GetImageClientRect();
        CRect need = s.ctrl.Model().GetVisiblePictureClientRect();
        need.OffsetRect(-pictureRect.left, -pictureRect.top);
        resample::Kernel kernel;
        CDisplayCopy::KernelFor(size.cx, pictureRect.Width(), s.ctrl.GetEnlargeQuality(), s.ctrl.GetReduceQuality(),
                                &kernel);
        state.ResumeTiming();
        const double t = ProcessCpuSeconds();
        QImage image(need.Width(), need.Height(), QImage::Format_RGB32);
        const RasterView dst{image.bits(), static_cast<ptrdiff_t>(image.bytesPerLine()), image.width(), image.height()};
        resample::Filter(src, 3, 1, kernel, pictureRect.Width(), pictureRect.Height(), need.left, need.top, dst, 4);
        const double took = ProcessCpuSeconds() - t;
        benchmark::DoNotOptimize(image.constBits());
        cpu += took;
        state.SetIterationTime(took);
    }
    g_resampleVisible[state.range(0)] = cpu / static_cast<double>(state.iterations());
    s.ctrl.SetZoomMode(0, TRUE);
}

// The first paint after the zoom changed: the display copy is made again,
// the part in view first. CPU time of the process.
void BM_FirstPaintAfterZoom(benchmark::State& state)
{
    Scene& s = TheScene();
    s.ctrl.SetZoomMode(1, TRUE);
    const int64_t fit = s.ctrl.CalcFitZoom();
    double cpu = 0;
    const int64_t other = OtherZoom(state, fit);
    for (auto _ : state) {
        // Shown at fit first, untimed.
        state.PauseTiming();
        s.ctrl.SetZoom(fit);
        s.PaintControl();
        state.ResumeTiming();
        const double t = ProcessCpuSeconds();
        s.ctrl.SetZoom(other);
        s.PaintControl();
        const double took = ProcessCpuSeconds() - t;
        cpu += took;
        state.SetIterationTime(took);
    }
    const double perPaint = cpu / static_cast<double>(state.iterations());
    if (g_resampleVisible[state.range(0)] > 0)
        state.counters["vs_resample_visible"] = perPaint / g_resampleVisible[state.range(0)];
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

// The time column is the control's own (CPU time of the paint at fit and
// after a zoom change, wall time while panning).
BENCHMARK(BM_RepaintAtFit)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_ResampleVisible)->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_FirstPaintAfterZoom)->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
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
