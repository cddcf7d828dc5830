// Bitmap to bitmap: stretching between depths, extracting, depth reduction by
// error diffusion, resampling and combining 24-bit pictures.
#include "imaging/dib_bitmap.h"

#include "imaging/dib_pixels.h"
#include "imaging/resample.h"
#include "platform/gdi/gdi_object.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A bottom-up bitmap's rectangle (y from the top) as a raster from its top row.
RasterView ViewOf(CDibBitmap& bmp, const CRect& r, int bytesPerPixel)
{
    RasterView v;
    const int64_t stride = bmp.GetStride();
    v.topRow = bmp.GetBits() + (bmp.GetSize().cy - 1 - r.top) * stride + static_cast<int64_t>(r.left) * bytesPerPixel;
    v.step = -stride;
    v.width = r.Width();
    v.height = r.Height();
    return v;
}

bool SameColourTable(const CDibBitmap& a, const CDibBitmap& b) { return a.GetPalette() == b.GetPalette(); }

// Nearest-pixel stretch of src's srcRect into dst's dstRect (both y from the
// top), only where clip (target pixels) allows.
void StretchPixels(const CDibBitmap& src, CDibBitmap& dst, const CRect& dstRect, const CRect& srcRect,
                   const QRegion* clip)
{
    const CRect bounds(0, 0, dst.GetSize().cx, dst.GetSize().cy);
    CRect visible;
    if (!visible.IntersectRect(dstRect, bounds) || srcRect.IsRectEmpty())
        return;
    const int64_t dw = dstRect.Width(), dh = dstRect.Height();
    const int64_t sw = srcRect.Width(), sh = srcRect.Height();
    const int srcW = src.GetSize().cx, srcH = src.GetSize().cy;
    // Same depth and colours: the stored values go across unchanged.
    const bool raw = src.GetBitsPerPixel() == dst.GetBitsPerPixel() && SameColourTable(src, dst) &&
                     std::memcmp(src.GetBitMasks(), dst.GetBitMasks(), 12) == 0 &&
                     src.GetInfoHeader().biCompression == dst.GetInfoHeader().biCompression &&
                     src.GetBitsPerPixel() >= 8;
    const int bytes = dst.GetBitsPerPixel() / 8;
    for (int y = visible.top; y < visible.bottom; ++y) {
        const int64_t sy = srcRect.top + (y - dstRect.top) * sh / dh;
        if (sy < 0 || sy >= srcH)
            continue;
        const int srcRow = static_cast<int>(srcH - 1 - sy), dstRow = dst.GetSize().cy - 1 - y;
        const BYTE* in = src.GetBits() + static_cast<int64_t>(srcRow) * src.GetStride();
        BYTE* out = dst.GetBits() + static_cast<int64_t>(dstRow) * dst.GetStride();
        for (int x = visible.left; x < visible.right; ++x) {
            if (clip && !clip->contains(QPoint(x, y)))
                continue;
            const int64_t sx = srcRect.left + (x - dstRect.left) * sw / dw;
            if (sx < 0 || sx >= srcW)
                continue;
            if (raw)
                std::memcpy(out + static_cast<int64_t>(x) * bytes, in + sx * bytes, bytes);
            else
                dib::WritePixel(dst, x, dstRow, dib::ReadPixel(src, static_cast<int>(sx), srcRow));
        }
    }
}

// Floyd-Steinberg over the source in stored order: 7/16 right, 3/16 below
// left, 5/16 below, 1/16 below right, in 16.16 fixed point. pick chooses the
// target value for a pixel (channels in 16.16) and answers the colour it shows.
template <typename Pick>
void Diffuse(const CDibBitmap& src, int channels, Pick pick)
{
    const int w = src.GetSize().cx, h = src.GetSize().cy;
    const size_t n = static_cast<size_t>(w) * 3 + 6;
    std::vector<int64_t> cur(n, 0), next(n, 0);
    for (int row = 0; row < h; ++row) {
        std::fill(next.begin(), next.end(), 0);
        for (int x = 0; x < w; ++x) {
            const COLORREF c = dib::ReadPixel(src, x, row);
            int64_t v[3];
            if (channels == 1) {
                v[0] = ((static_cast<int64_t>(GetRValue(c)) + GetGValue(c) + GetBValue(c)) << 16) / 3;
            } else {
                v[0] = static_cast<int64_t>(GetRValue(c)) << 16;
                v[1] = static_cast<int64_t>(GetGValue(c)) << 16;
                v[2] = static_cast<int64_t>(GetBValue(c)) << 16;
            }
            const size_t at = static_cast<size_t>(x + 1) * 3;
            for (int k = 0; k < channels; ++k)
                v[k] += cur[at + k];
            int64_t shown[3];
            pick(x, row, v, shown);
            for (int k = 0; k < channels; ++k) {
                const int64_t e = v[k] - shown[k];
                cur[at + 3 + k] += (e * 7) >> 4;
                next[at - 3 + k] += (e * 3) >> 4;
                next[at + k] += (e * 5) >> 4;
                next[at + 3 + k] += e >> 4;
            }
        }
        std::swap(cur, next);
    }
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

} // namespace

bool CDibBitmap::ReduceTo8Bit(const CDibBitmap& source)
{
    if (!source.IsValid())
        return false;
    CDibBitmap target;
    if (!target.CreateDib(source.GetSize(), 8))
        return false;
    const RGBQUAD* pal = GetStandardPalette(256);
    const int64_t stride = target.GetStride();
    Diffuse(source, 3, [&](int x, int row, const int64_t* v, int64_t* shown) {
        const int index = ColorToStandardIndex(Clamp32(v[0]), Clamp32(v[1]), Clamp32(v[2]));
        target.m_bits[row * stride + x] = static_cast<BYTE>(index);
        shown[0] = static_cast<int64_t>(pal[index].rgbRed) << 16;
        shown[1] = static_cast<int64_t>(pal[index].rgbGreen) << 16;
        shown[2] = static_cast<int64_t>(pal[index].rgbBlue) << 16;
    });
    *this = std::move(target);
    return true;
}

bool CDibBitmap::ReduceTo1Bit(const CDibBitmap& source)
{
    if (!source.IsValid())
        return false;
    CDibBitmap target;
    if (!target.CreateDib(source.GetSize(), 1, nullptr, nullptr, RGB(0, 0, 0)))
        return false;
    const int64_t stride = target.GetStride();
    Diffuse(source, 1, [&](int x, int row, const int64_t* v, int64_t* shown) {
        const bool light = v[0] >= (int64_t(128) << 16);
        if (light)
            target.m_bits[row * stride + (x >> 3)] |= static_cast<BYTE>(0x80 >> (x & 7));
        shown[0] = light ? int64_t(255) << 16 : 0;
    });
    *this = std::move(target);
    return true;
}

bool CDibBitmap::StretchDraw(const CDibBitmap& source, CDibBitmap& target, const CRect& targetRect,
                             const CRect& sourceRect, const CRgn* clip, bool noReduction)
{
    if (!source.IsValid() || !target.IsValid())
        return false;
    dib::FillRect(target, targetRect, RGB(255, 255, 255));
    QRegion region;
    if (clip && clip->GetSafeHandle())
        region = clip->Region();
    const QRegion* limit = clip && clip->GetSafeHandle() ? &region : nullptr;
    if (!noReduction && target.GetBitsPerPixel() <= 8 && source.GetBitsPerPixel() > 8) {
        // A deep picture into a palette target is reduced with error
        // diffusion at the target's size first.
        const bool to8 = target.GetBitsPerPixel() == 8 && source.GetBitsPerPixel() == 24;
        if (!to8 && target.GetBitsPerPixel() != 1)
            return true;
        CDibBitmap part, reduced;
        if (!part.ExtractRect(source, targetRect, sourceRect, 0) ||
            !(to8 ? reduced.ReduceTo8Bit(part) : reduced.ReduceTo1Bit(part)))
            return false;
        const CRect whole(0, 0, reduced.GetSize().cx, reduced.GetSize().cy);
        StretchPixels(reduced, target, targetRect, whole, limit);
        return true;
    }
    StretchPixels(source, target, targetRect, sourceRect, limit);
    return true;
}

bool CDibBitmap::ExtractRect(const CDibBitmap& source, const CRect& targetRect, const CRect& sourceRect, int bitCount,
                             const CRgn* clip)
{
    if (!source.IsValid() || targetRect.IsRectEmpty())
        return false;
    const int bits = bitCount ? bitCount : source.GetBitsPerPixel();
    const bool keepTable = bits == source.GetBitsPerPixel() && bits <= 8;
    CDibBitmap made;
    if (!made.CreateDib(targetRect.Size(), bits, nullptr, keepTable ? source.m_palette.data() : nullptr))
        return false;
    if (bits == source.GetBitsPerPixel() && source.m_header.biCompression == BI_BITFIELDS) {
        made.m_header.biCompression = BI_BITFIELDS;
        std::copy(source.m_masks, source.m_masks + 3, made.m_masks);
    }
    // Where the clip region lies in the new bitmap's own coordinates.
    CRgn moved;
    const CRgn* limit = nullptr;
    if (clip && clip->GetSafeHandle()) {
        moved.CreateFromRegion(clip->Region().translated(-targetRect.left, -targetRect.top));
        limit = &moved;
    }
    if (!StretchDraw(source, made, CRect(0, 0, targetRect.Width(), targetRect.Height()), sourceRect, limit, true))
        return false;
    *this = std::move(made);
    return true;
}

bool CDibBitmap::ConvertBitDepth(int bitCount)
{
    if (!IsValid())
        return false;
    if (GetBitsPerPixel() == bitCount)
        return true;
    const CRect whole(0, 0, GetSize().cx, GetSize().cy);
    CDibBitmap deep;
    if (!deep.CreateDib(GetSize(), 24) || !StretchDraw(*this, deep, whole, whole, nullptr, true))
        return false;
    if (bitCount == 24) {
        *this = std::move(deep);
        return true;
    }
    CDibBitmap made;
    if (!made.CreateDib(GetSize(), bitCount) || !StretchDraw(deep, made, whole, whole, nullptr, true))
        return false;
    *this = std::move(made);
    return true;
}

bool CDibBitmap::Resample(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect, bool bicubic)
{
    CRect inside;
    if (!source.IsValid() || destRect.IsRectEmpty() ||
        !inside.IntersectRect(sourceRect, CRect(0, 0, source.GetSize().cx, source.GetSize().cy)) ||
        !(inside == sourceRect))
        return false;
    // Other depths are brought to 24 bits first; the rules work on three channels.
    CDibBitmap deep;
    CRect from = sourceRect;
    if (source.GetBitsPerPixel() != 24 || source.m_header.biCompression != BI_RGB) {
        if (!deep.ExtractRect(source, sourceRect, sourceRect, 24))
            return false;
        from = CRect(0, 0, sourceRect.Width(), sourceRect.Height());
    } else {
        deep = source;
    }
    CDibBitmap made;
    if (!made.CreateDibForOverwrite(destRect.Size(), 24))
        return false;
    const RasterView in = ViewOf(deep, from, 3);
    const RasterView out = ViewOf(made, CRect(0, 0, destRect.Width(), destRect.Height()), 3);
    if (bicubic)
        resample::Bicubic(in, out, 3, 1);
    else
        resample::Bilinear(in, out, 3, 1);
    *this = std::move(made);
    return true;
}

bool CDibBitmap::ResampleInto(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect)
{
    return Resample(source, sourceRect, destRect, false);
}

bool CDibBitmap::ResampleIntoEx(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect)
{
    return Resample(source, sourceRect, destRect, true);
}

bool CDibBitmap::CombineRect24(const CDibBitmap& source, const CRect& rect, const CDibBitmap* mask, int xOffset,
                               int yOffset)
{
    if (!IsValid() || !source.IsValid() || GetBitsPerPixel() != 24 || source.GetBitsPerPixel() != 24)
        return false;
    if (mask && (!mask->IsValid() || mask->GetBitsPerPixel() != 24))
        return false;
    // Clipped to this bitmap, and to what the source and mask have at the offset.
    CRect r;
    if (!r.IntersectRect(rect, CRect(0, 0, GetSize().cx, GetSize().cy)))
        return true;
    CRect from(0, 0, source.GetSize().cx, source.GetSize().cy);
    from.OffsetRect(-xOffset, -yOffset);
    if (!r.IntersectRect(r, from))
        return true;
    if (mask) {
        CRect m(0, 0, mask->GetSize().cx, mask->GetSize().cy);
        m.OffsetRect(-xOffset, -yOffset);
        if (!r.IntersectRect(r, m))
            return true;
    }
    const int64_t stride = GetStride(), srcStride = source.GetStride();
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* out = m_bits.get() + (GetSize().cy - 1 - y) * stride + static_cast<int64_t>(r.left) * 3;
        const int sy = y + yOffset;
        const BYTE* in = source.m_bits.get() + (source.GetSize().cy - 1 - sy) * srcStride +
                         static_cast<int64_t>(r.left + xOffset) * 3;
        const size_t bytes = static_cast<size_t>(r.Width()) * 3;
        if (!mask) {
            std::memcpy(out, in, bytes);
            continue;
        }
        const BYTE* m = mask->m_bits.get() + (mask->GetSize().cy - 1 - sy) * static_cast<int64_t>(mask->GetStride()) +
                        static_cast<int64_t>(r.left + xOffset) * 3;
        for (size_t i = 0; i < bytes; ++i)
            out[i] = static_cast<BYTE>((255 - m[i]) * in[i] / 255 + out[i] * m[i] / 255);
    }
    return true;
}
