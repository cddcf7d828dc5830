#include "imaging/dib_pixels.h"

#include <bit>
#include <cstring>

namespace dib {
namespace {

// The masks a 16- or 32-bit pixel is read with: the bitmap's own, or the
// implied 5-5-5 and 8-8-8 layouts.
void MasksOf(const CDibBitmap& bmp, DWORD masks[3])
{
    const DWORD* own = bmp.GetBitMasks();
    if (bmp.GetInfoHeader().biCompression == BI_BITFIELDS) {
        masks[0] = own[0], masks[1] = own[1], masks[2] = own[2];
    } else if (bmp.GetBitsPerPixel() == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
}

int Extract(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t max = mask >> shift;
    return static_cast<int>((((value & mask) >> shift) * 255 + max / 2) / max);
}

DWORD Compose(int channel, DWORD mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t max = mask >> shift;
    return static_cast<DWORD>((static_cast<uint64_t>(channel) * max + 127) / 255) << shift & mask;
}

COLORREF Entry(const CDibBitmap& bmp, unsigned index)
{
    const auto& pal = bmp.GetPalette();
    if (index >= pal.size())
        return RGB(0, 0, 0);
    return RGB(pal[index].rgbRed, pal[index].rgbGreen, pal[index].rgbBlue);
}

} // namespace

COLORREF ReadPixel(const CDibBitmap& bmp, int x, int row)
{
    const BYTE* p = bmp.GetBits() + static_cast<uint64_t>(row) * bmp.GetStride();
    switch (bmp.GetBitsPerPixel()) {
    case 1: return Entry(bmp, (p[x >> 3] >> (7 - (x & 7))) & 1);
    case 4: return Entry(bmp, (x & 1) ? p[x >> 1] & 0x0F : p[x >> 1] >> 4);
    case 8: return Entry(bmp, p[x]);
    case 24: p += x * 3; return RGB(p[2], p[1], p[0]);
    case 16:
    case 32: {
        DWORD m[3];
        MasksOf(bmp, m);
        DWORD v;
        if (bmp.GetBitsPerPixel() == 16) {
            v = p[x * 2] | (p[x * 2 + 1] << 8);
        } else {
            p += x * 4;
            v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
        }
        return RGB(Extract(v, m[0]), Extract(v, m[1]), Extract(v, m[2]));
    }
    default: return 0;
    }
}

int NearestIndex(const std::vector<RGBQUAD>& palette, COLORREF colour)
{
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = palette[i].rgbRed - r, dg = palette[i].rgbGreen - g, db = palette[i].rgbBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

namespace {

// The bytes one pixel of colour takes, for the depths of whole bytes; for
// 8 bits or less the palette index.
DWORD Encode(const CDibBitmap& bmp, COLORREF colour)
{
    const int bits = bmp.GetBitsPerPixel();
    if (bits <= 8)
        return static_cast<DWORD>(NearestIndex(bmp.GetPalette(), colour));
    if (bits == 24)
        return GetBValue(colour) | (GetGValue(colour) << 8) | (GetRValue(colour) << 16);
    DWORD m[3];
    MasksOf(bmp, m);
    return Compose(GetRValue(colour), m[0]) | Compose(GetGValue(colour), m[1]) | Compose(GetBValue(colour), m[2]);
}

void Store(BYTE* row, int bits, int x, DWORD v)
{
    switch (bits) {
    case 1:
        if (v & 1)
            row[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
        else
            row[x >> 3] &= static_cast<BYTE>(~(0x80 >> (x & 7)));
        break;
    case 4:
        if (x & 1)
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0xF0) | (v & 0x0F));
        else
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
        break;
    case 8: row[x] = static_cast<BYTE>(v); break;
    case 16: row[x * 2] = static_cast<BYTE>(v); row[x * 2 + 1] = static_cast<BYTE>(v >> 8); break;
    case 24: row += x * 3; row[0] = static_cast<BYTE>(v); row[1] = static_cast<BYTE>(v >> 8); row[2] = static_cast<BYTE>(v >> 16); break;
    case 32: row += x * 4; row[0] = static_cast<BYTE>(v); row[1] = static_cast<BYTE>(v >> 8); row[2] = static_cast<BYTE>(v >> 16); row[3] = static_cast<BYTE>(v >> 24); break;
    }
}

} // namespace

void WritePixel(CDibBitmap& bmp, int x, int row, COLORREF colour)
{
    Store(bmp.GetBits() + static_cast<uint64_t>(row) * bmp.GetStride(), bmp.GetBitsPerPixel(), x, Encode(bmp, colour));
}

void FillRect(CDibBitmap& bmp, const CRect& rect, COLORREF colour)
{
    CRect r;
    if (!bmp.IsValid() || !r.IntersectRect(rect, CRect(0, 0, bmp.GetSize().cx, bmp.GetSize().cy)))
        return;
    const int bits = bmp.GetBitsPerPixel();
    const DWORD v = Encode(bmp, colour);
    const int height = bmp.GetSize().cy;
    const uint64_t stride = static_cast<uint64_t>(bmp.GetStride());
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* row = bmp.GetBits() + static_cast<uint64_t>(height - 1 - y) * stride;
        if (bits == 8) {
            std::memset(row + r.left, static_cast<int>(v), r.Width());
            continue;
        }
        for (int x = r.left; x < r.right; ++x)
            Store(row, bits, x, v);
    }
}

} // namespace dib
