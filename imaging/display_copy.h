#pragma once

#include "imaging/dib_bitmap.h"
#include "imaging/resample.h"
#include "platform/types.h"

#include <QImage>

#include <cstdint>

class QPainter;

// The picture as the screen shows it at the current scale, kept between
// paints: a repaint or a pan copies pixels from it instead of resampling the
// whole picture again. It covers the whole scaled picture when that is not
// too large, else the part in view and half a view round it, made again when
// a paint needs more. It is made anew when the picture, the scale or the
// drawing method changes: first only the part in view, the rest when a paint
// needs it. Every pixel is the same whichever part it was made with.
class CDisplayCopy {
public:
    // Scaled pictures up to this many pixels are kept whole.
    static constexpr int64_t kWholeCopyPixels = int64_t(16) << 20;

    // The drawing method of a picture drawn at scaledWidth from width pixels:
    // quality 0 (plain: nearest pixels when enlarging), 1 (bicubic) or 2
    // (bilinear). Reductions always average: a plain reduction would drop
    // pixels and alias. False for an unknown quality.
    static bool KernelFor(int width, int scaledWidth, int enlargeQuality, int reduceQuality, resample::Kernel* kernel);

    // Draws dest (client coordinates, inside pictureRect, where the whole
    // scaled picture lies) of picture with the kernel. generation changes
    // whenever the picture's pixels do. anyKernel lets a copy made with
    // another kernel serve while it covers dest (panning). False when the
    // copy cannot be made (memory); nothing is drawn then.
    bool Draw(QPainter& painter, const CDibBitmap& picture, uint64_t generation, const CRect& pictureRect,
              const CRect& dest, resample::Kernel kernel, bool anyKernel = false);
    void Reset();

    // How many times a copy was made (for tests and benchmarks).
    int Builds() const { return m_builds; }
    const QImage& Image() const { return m_image; }
    CRect Window() const { return m_window; }

private:
    bool Build(const CDibBitmap& picture, CSize scaled, const CRect& need, resample::Kernel kernel, bool needOnly);

    QImage m_image;
    CRect m_window; // scaled-picture coordinates the image holds
    CSize m_scaled;
    uint64_t m_generation = 0;
    resample::Kernel m_kernel = resample::Kernel::Nearest;
    bool m_valid = false;
    int m_builds = 0;
    // A 24-bit copy of a picture of another depth, for the filter.
    CDibBitmap m_deep;
    uint64_t m_deepGeneration = 0;
};
