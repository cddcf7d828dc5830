// Rotation by any angle and resizing to fit, on image buffers.
#include "imaging/image_buffer.h"

#include "util/geometry.h"
#include "imaging/pixel_rows.h"
#include "imaging/rotation.h"

#include <cstdint>
#include <cstring>
#include <vector>

bool CImageBuffer::Rotate(int degrees)
{
    if (!IsValid())
        return false;
    if (degrees % 360 == 0)
        return true;
    const RasterRotation turn(m_width, m_height, degrees);
    const int64_t nw = turn.TargetWidth(), nh = turn.TargetHeight();
    if (nw <= 0 || nh <= 0 || nw > INT32_MAX || nh > INT32_MAX)
        return false;

    const bool quarter = degrees % 180 != 0;
    CImageBuffer rotated;
    if (!rotated.Create(m_storageKind, CSize(static_cast<LONG>(nw), static_cast<LONG>(nh)), m_pixelType,
                        m_orientation, nullptr, m_palette.get(), quarter ? m_yResolution : m_xResolution,
                        quarter ? m_xResolution : m_yResolution, m_percentage, false))
        return false;

    const int bits = GetBitsPerPixel();
    BYTE* const source = WholeRange();
    BYTE* const target = rotated.WholeRange();
    if (source && target) {
        std::vector<const BYTE*> from(m_height);
        for (int y = 0; y < m_height; ++y)
            from[y] = source + StoredRowOffset(y);
        std::vector<BYTE*> to(rotated.m_height);
        for (int y = 0; y < rotated.m_height; ++y)
            to[y] = target + rotated.StoredRowOffset(y);
        turn.Apply(from.data(), to.data(), bits);
        TakeOver(rotated);
        return true;
    }

    // A temporary file gives one row at a time: each target row is made
    // from source rows fetched pixel by pixel.
    std::vector<BYTE> row(rotated.m_stride);
    for (int64_t y = 0; y < nh; ++y) {
        int64_t sx = turn.RowX(y), sy = turn.RowY(y);
        std::memset(row.data(), 0, row.size());
        for (int64_t x = 0; x < nw; ++x, sx += turn.StepX(), sy += turn.StepY()) {
            const int64_t px = sx >> 16, py = sy >> 16;
            if (!turn.Inside(px, py))
                continue;
            const BYTE* in = GetRowPointer(static_cast<int>(py));
            if (!in)
                return false;
            pixrow::Copy(row.data(), static_cast<uint64_t>(x), in, static_cast<uint64_t>(px), 1, bits);
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
