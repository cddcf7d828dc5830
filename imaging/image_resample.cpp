#include "imaging/image_buffer.h"

#include "imaging/resample.h"
#include "platform/exceptions.h"

#include <algorithm>

namespace {

// Palette indices and packed 5-bit words are never mixed: their pixels are
// taken whole from the nearest source pixel.
bool TakesNearest(int type)
{
    return (type >= PixelType::Palette1 && type <= PixelType::Palette8) || type == PixelType::Bgr555 ||
           type == PixelType::Rgb555;
}

RasterView ViewOf(BYTE* base, const CImageBuffer& image)
{
    const ptrdiff_t stride = static_cast<ptrdiff_t>(image.GetStride());
    RasterView view{base, stride, image.GetWidth(), image.GetHeight()};
    if (image.IsBottomUp()) {
        view.topRow = base + stride * (image.GetHeight() - 1);
        view.step = -stride;
    }
    return view;
}

} // namespace

void CImageBuffer::ResampleInto(CImageBuffer& target, int method) const
{
    if (method != kBilinear && method != kBicubic)
        return;
    BYTE* from = WholeRange();
    BYTE* to = &target == this ? nullptr : target.WholeRange();
    if (!from || !to)
        throw CMemoryException();
    if (target.m_pixelType != m_pixelType)
        return;
    const RasterView src = ViewOf(from, *this);
    const RasterView dst = ViewOf(to, target);
    if (TakesNearest(m_pixelType)) {
        resample::Nearest(src, dst, GetBitsPerPixel());
        if (m_palette && target.m_palette)
            std::copy(m_palette.get(), m_palette.get() + GetPaletteCount(), target.m_palette.get());
        return;
    }
    const int bytesPerSample = m_bitsPerSample / 8;
    if (method == kBilinear)
        resample::Bilinear(src, dst, m_samplesPerPixel, bytesPerSample);
    else
        resample::Bicubic(src, dst, m_samplesPerPixel, bytesPerSample);
}

bool CImageBuffer::Resize(int width, int height, int method)
{
    if (!IsValid() || width <= 0 || height <= 0 || (method != kBilinear && method != kBicubic))
        return false;
    if (width == m_width && height == m_height)
        return true;
    try {
        CImageBuffer resized;
        if (!resized.Create(m_storageKind, CSize(width, height), m_pixelType, m_orientation))
            return false;
        ResampleInto(resized, method);
        TakeOver(resized);
        return true;
    } catch (const CException&) {
        return false;
    }
}
