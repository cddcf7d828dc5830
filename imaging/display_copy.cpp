#include "imaging/display_copy.h"

#include <QPainter>

#include <algorithm>

bool CDisplayCopy::KernelFor(int width, int scaledWidth, int enlargeQuality, int reduceQuality,
                             resample::Kernel* kernel)
{
    if (scaledWidth == width) {
        *kernel = resample::Kernel::Nearest;
        return true;
    }
    const int quality = scaledWidth < width ? reduceQuality : enlargeQuality;
    switch (quality) {
    case 0: *kernel = scaledWidth < width ? resample::Kernel::Cubic : resample::Kernel::Nearest; return true;
    case 1: *kernel = resample::Kernel::Cubic; return true;
    case 2: *kernel = resample::Kernel::Linear; return true;
    default: return false;
    }
}

void CDisplayCopy::Reset()
{
    m_image = QImage();
    m_valid = false;
    m_deep.DeleteObject();
    m_deepGeneration = 0;
}

bool CDisplayCopy::Draw(QPainter& painter, const CDibBitmap& picture, uint64_t generation, const CRect& pictureRect,
                        const CRect& dest, resample::Kernel kernel, bool anyKernel)
{
    if (!picture.IsValid() || pictureRect.IsRectEmpty())
        return false;
    CRect need = dest;
    need.OffsetRect(-pictureRect.left, -pictureRect.top);
    const CSize scaled = pictureRect.Size();
    if (!need.IntersectRect(need, CRect(0, 0, scaled.cx, scaled.cy)))
        return true;
    CRect covered;
    const bool same = m_valid && generation == m_generation && scaled == m_scaled && (kernel == m_kernel || anyKernel);
    const bool fits = same && covered.IntersectRect(need, m_window) && covered == need;
    if (!fits) {
        if (generation != m_deepGeneration) {
            m_deep.DeleteObject();
            m_deepGeneration = 0;
        }
        m_generation = generation;
        // The first paint of a new picture or scale makes only what it shows,
        // so it costs what the view costs; the rest is made when a paint
        // first needs it.
        if (!Build(picture, scaled, need, kernel, !same))
            return false;
    }
    painter.drawImage(QPoint(dest.left, dest.top), m_image,
                      QRect(need.left - m_window.left, need.top - m_window.top, need.Width(), need.Height()));
    return true;
}

bool CDisplayCopy::Build(const CDibBitmap& source, CSize scaled, const CRect& need, resample::Kernel kernel,
                         bool needOnly)
{
    m_valid = false;
    m_image = QImage();
    const CDibBitmap* picture = &source;
    if (source.GetBitsPerPixel() != 24 || source.GetInfoHeader().biCompression != BI_RGB) {
        // The filter reads three 8-bit channels: other depths once through a copy.
        if (!m_deep.IsValid()) {
            const CRect whole(0, 0, source.GetSize().cx, source.GetSize().cy);
            if (!m_deep.ExtractRect(source, whole, whole, 24))
                return false;
            m_deepGeneration = m_generation;
        }
        picture = &m_deep;
    }
    CRect window(0, 0, scaled.cx, scaled.cy);
    if (needOnly) {
        window = need;
    } else if (int64_t(scaled.cx) * scaled.cy > kWholeCopyPixels) {
        window = need;
        window.InflateRect(need.Width() / 2, need.Height() / 2);
        window.IntersectRect(window, CRect(0, 0, scaled.cx, scaled.cy));
    }
    QImage image(window.Width(), window.Height(), QImage::Format_RGB32);
    if (image.isNull())
        return false;
    const CSize size = picture->GetSize();
    const ptrdiff_t stride = picture->GetStride();
    // The stored rows run bottom-up.
    const RasterView src{const_cast<BYTE*>(picture->GetBits()) + stride * (size.cy - 1), -stride, size.cx, size.cy};
    const RasterView dst{image.bits(), static_cast<ptrdiff_t>(image.bytesPerLine()), image.width(), image.height()};
    resample::Filter(src, 3, 1, kernel, scaled.cx, scaled.cy, window.left, window.top, dst, 4);
    m_image = std::move(image);
    m_window = window;
    m_scaled = scaled;
    m_kernel = kernel;
    m_valid = true;
    ++m_builds;
    return true;
}
