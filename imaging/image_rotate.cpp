// Rotation by any angle and resizing to fit, on image buffers.
#include "imaging/image_buffer.h"

#include "app/geometry.h"
#include "imaging/pixel_rows.h"

#include <cstdlib>
#include <cstring>
#include <vector>

bool CImageBuffer::Rotate(int degrees)
{
    if (!IsValid())
        return false;
    if (degrees % 360 == 0)
        return true;
    // Inverse mapping: each target pixel looks up its source by the negated
    // angle, in steps of 1/256 turn and 8.8 fixed point.
    const int negated = ((-degrees) % 360 + 360) % 360;
    const BYTE step = static_cast<BYTE>(negated * 256 / 360);
    const int64_t s = SinTable256(step);
    const int64_t c = CosTable256(step);
    const int64_t w = m_width, h = m_height;
    const int64_t nw = (std::llabs(w * c) + std::llabs(h * s) + 255) >> 8;
    const int64_t nh = (std::llabs(w * s) + std::llabs(h * c) + 255) >> 8;
    if (nw <= 0 || nh <= 0 || nw > INT32_MAX || nh > INT32_MAX)
        return false;

    const bool quarter = degrees % 180 != 0;
    CImageBuffer rotated;
    if (!rotated.Create(m_storageKind, CSize(static_cast<LONG>(nw), static_cast<LONG>(nh)), m_pixelType,
                        m_orientation, nullptr, m_palette.get(), quarter ? m_yResolution : m_xResolution,
                        quarter ? m_xResolution : m_yResolution, m_percentage, false))
        return false;

    const int bits = GetBitsPerPixel() == 15 ? 16 : GetBitsPerPixel();
    const uint64_t bytes = static_cast<uint64_t>(bits / 8);
    BYTE* const source = WholeRange();
    std::vector<BYTE> row(rotated.m_stride);
    // Positions carry 16 fractional bits: 8 of the pixel centre, 8 of the table.
    const int64_t centreX = w * 128 * 256, centreY = h * 128 * 256;
    for (int64_t y = 0; y < nh; ++y) {
        std::memset(row.data(), 0, row.size());
        const int64_t dy = y * 256 + 128 - nh * 128;
        const int64_t dx0 = 128 - nw * 128;
        int64_t sx = c * dx0 - s * dy + centreX;
        int64_t sy = s * dx0 + c * dy + centreY;
        for (int64_t x = 0; x < nw; ++x, sx += c * 256, sy += s * 256) {
            const int64_t px = sx >> 16, py = sy >> 16;
            if (px < 0 || px >= w || py < 0 || py >= h)
                continue;
            const BYTE* in = source ? source + StoredRowOffset(static_cast<int>(py))
                                    : GetRowPointer(static_cast<int>(py));
            if (!in)
                return false;
            if (bits % 8 == 0)
                std::memcpy(row.data() + x * bytes, in + px * bytes, bytes);
            else
                pixrow::SetBits(row.data(), static_cast<uint64_t>(x), bits,
                                pixrow::GetBits(in, static_cast<uint64_t>(px), bits));
        }
        BYTE* out = rotated.GetRowPointer(static_cast<int>(y));
        if (!out)
            return false;
        std::memcpy(out, row.data(), row.size());
    }
    TakeOver(rotated);
    return true;
}

bool CImageBuffer::ResizeToFit(int width, int height, int method)
{
    if (!IsValid() || width <= 0 || height <= 0 || (method != kBilinear && method != kBicubic))
        return false;
    if (width == m_width && height == m_height)
        return true;
    const CRect bound(0, 0, width, height), image(0, 0, m_width, m_height);
    CRect fitted;
    FitRectKeepAspect(&bound, &image, &fitted, 1);
    if (fitted.Width() <= 0 || fitted.Height() <= 0)
        return false;
    if (fitted.Width() == m_width && fitted.Height() == m_height)
        return true;
    CImageBuffer resized;
    if (!resized.Create(kMapping, fitted.Size(), m_pixelType, m_orientation))
        return false;
    ResampleInto(resized, method);
    TakeOver(resized);
    return true;
}
