// Depth conversions and blending of image buffers.
#include "imaging/image_buffer.h"

#include "imaging/resample.h"

#include <algorithm>

namespace {

using RowConverter = void (*)(const BYTE* in, BYTE* out, int width, const RGBQUAD* palette);

// Index to its palette colour, red first; without a palette the index is a grey.
void PaletteToRgb(const BYTE* in, BYTE* out, int width, const RGBQUAD* palette)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const BYTE i = in[x];
        if (palette) {
            out[0] = palette[i].rgbRed;
            out[1] = palette[i].rgbGreen;
            out[2] = palette[i].rgbBlue;
        } else {
            out[0] = out[1] = out[2] = i;
        }
    }
}

// Indexes of fewer than 8 bits, packed from the most significant bit of each
// byte, to their palette colours, red first.
template <int Bits>
void PackedPaletteToRgb(const BYTE* in, BYTE* out, int width, const RGBQUAD* palette)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const int bit = x * Bits;
        // Two bytes cover any index of up to 8 bits, wherever it starts.
        const unsigned pair = (unsigned(in[bit / 8]) << 8) | (bit % 8 + Bits > 8 ? in[bit / 8 + 1] : 0);
        const BYTE i = BYTE((pair >> (16 - bit % 8 - Bits)) & ((1u << Bits) - 1));
        if (palette) {
            out[0] = palette[i].rgbRed;
            out[1] = palette[i].rgbGreen;
            out[2] = palette[i].rgbBlue;
        } else {
            out[0] = out[1] = out[2] = BYTE(i * 255 / ((1 << Bits) - 1));
        }
    }
}

void Grey8ToRgb(const BYTE* in, BYTE* out, int width, const RGBQUAD*)
{
    for (int x = 0; x < width; ++x, out += 3)
        out[0] = out[1] = out[2] = in[x];
}

// One 16-bit little-endian word per pixel, five bits per channel, blue lowest.
void Word555ToBgr(const BYTE* in, BYTE* out, int width, const RGBQUAD*)
{
    for (int x = 0; x < width; ++x, in += 2, out += 3) {
        const unsigned v = in[0] | (in[1] << 8);
        out[0] = static_cast<BYTE>((v & 0x1F) << 3);
        out[1] = static_cast<BYTE>(((v >> 5) & 0x1F) << 3);
        out[2] = static_cast<BYTE>(((v >> 10) & 0x1F) << 3);
    }
}

// The high byte (the second) of each 16-bit sample.
void HighBytes(const BYTE* in, BYTE* out, int samples)
{
    for (int i = 0; i < samples; ++i)
        out[i] = in[i * 2 + 1];
}

void Grey16ToRgb(const BYTE* in, BYTE* out, int width, const RGBQUAD*)
{
    for (int x = 0; x < width; ++x, out += 3)
        out[0] = out[1] = out[2] = in[x * 2 + 1];
}

void Grey16ToGrey8(const BYTE* in, BYTE* out, int width, const RGBQUAD*)
{
    HighBytes(in, out, width);
}

void Three16ToThree8(const BYTE* in, BYTE* out, int width, const RGBQUAD*)
{
    HighBytes(in, out, width * 3);
}

struct Conversion {
    int from;
    int to;
    RowConverter convert;
};

// Grey and the short palettes are offered too: greyscale photographs and 1- or
// 4-bit pictures must reach the true-colour roads (messages, JPEG, thumbnails).
constexpr Conversion kTo24Bits[] = {
    {PixelType::Palette1, PixelType::Rgb24, PackedPaletteToRgb<1>},
    {PixelType::Palette2, PixelType::Rgb24, PackedPaletteToRgb<2>},
    {PixelType::Palette3, PixelType::Rgb24, PackedPaletteToRgb<3>},
    {PixelType::Palette4, PixelType::Rgb24, PackedPaletteToRgb<4>},
    {PixelType::Palette5, PixelType::Rgb24, PackedPaletteToRgb<5>},
    {PixelType::Palette6, PixelType::Rgb24, PackedPaletteToRgb<6>},
    {PixelType::Palette7, PixelType::Rgb24, PackedPaletteToRgb<7>},
    {PixelType::Palette8, PixelType::Rgb24, PaletteToRgb},
    {PixelType::Grey8, PixelType::Rgb24, Grey8ToRgb},
    {PixelType::Bgr555, PixelType::Bgr24, Word555ToBgr},
    {PixelType::Grey16, PixelType::Rgb24, Grey16ToRgb},
    {PixelType::Bgr48, PixelType::Bgr24, Three16ToThree8},
    {PixelType::Rgb48, PixelType::Rgb24, Three16ToThree8},
};

constexpr Conversion kTo8BitSamples[] = {
    {PixelType::Grey16, PixelType::Grey8, Grey16ToGrey8},
    {PixelType::Bgr48, PixelType::Bgr24, Three16ToThree8},
    {PixelType::Rgb48, PixelType::Rgb24, Three16ToThree8},
};

template <size_t N>
const Conversion* Find(const Conversion (&table)[N], int type)
{
    for (const Conversion& c : table)
        if (c.from == type)
            return &c;
    return nullptr;
}

// Converts every row of image into a new buffer of the conversion's type and
// the image's store, resolution, orientation and percentage word.
bool ConvertRows(CImageBuffer& image, const Conversion& conversion)
{
    float xResolution, yResolution;
    image.GetResolution(&xResolution, &yResolution);
    CImageBuffer converted;
    if (!converted.Create(image.GetStorageKind(), image.GetSize(), conversion.to, image.GetOrientation(), nullptr,
                          nullptr, xResolution, yResolution, image.GetPercentage()))
        return false;
    const RGBQUAD* palette = image.GetPaletteEntries();
    for (int y = 0; y < image.GetHeight(); ++y) {
        const BYTE* in = image.GetRowPointer(y);
        BYTE* out = converted.GetRowPointer(y);
        if (!in || !out)
            return false;
        conversion.convert(in, out, image.GetWidth(), palette);
    }
    image.TakeOver(converted);
    return true;
}

} // namespace

bool CImageBuffer::ConvertToBitsPerPixel(int bitsPerPixel)
{
    if (!IsValid())
        return false;
    if (GetBitsPerPixel() == bitsPerPixel)
        return true;
    const Conversion* c = bitsPerPixel == 24 ? Find(kTo24Bits, m_pixelType) : nullptr;
    return c && ConvertRows(*this, *c);
}

bool CImageBuffer::ConvertToBitsPerSample(int bitsPerSample)
{
    if (!IsValid())
        return false;
    if (m_bitsPerSample == bitsPerSample)
        return true;
    const Conversion* c = bitsPerSample == 8 ? Find(kTo8BitSamples, m_pixelType) : nullptr;
    return c && ConvertRows(*this, *c);
}

bool CImageBuffer::BlendInto(const BlendTarget& target, const CRect& rect, int mode, int opacity,
                             const COLORREF* key, const BlendMask* mask, const bool channels[3]) const
{
    const auto is24 = [](int type) { return type == PixelType::Bgr24 || type == PixelType::Rgb24; };
    if (!IsValid() || !is24(m_pixelType) || !is24(target.pixelType) || !target.topRow)
        return false;
    CRect area;
    CRect placed(rect.left, rect.top, rect.left + std::min(rect.Width(), m_width),
                 rect.top + std::min(rect.Height(), m_height));
    if (!area.IntersectRect(placed, CRect(0, 0, target.width, target.height)))
        return true;
    const int p = std::clamp(opacity, 0, 100);
    const bool swap = m_pixelType != target.pixelType;
    // The key colour in the source's own byte order.
    BYTE keyBytes[3] = {};
    if (key) {
        const bool bgr = m_pixelType == PixelType::Bgr24;
        keyBytes[0] = bgr ? GetBValue(*key) : GetRValue(*key);
        keyBytes[1] = GetGValue(*key);
        keyBytes[2] = bgr ? GetRValue(*key) : GetBValue(*key);
    }
    for (int y = area.top; y < area.bottom; ++y) {
        const int sy = y - rect.top;
        const BYTE* in = GetRowPointer(sy);
        if (!in)
            return false;
        BYTE* out = target.topRow + static_cast<ptrdiff_t>(y) * target.step;
        const BYTE* maskRow = mask && mask->topRow ? mask->topRow + static_cast<ptrdiff_t>(sy) * mask->step : nullptr;
        for (int x = area.left; x < area.right; ++x) {
            const int sx = x - rect.left;
            const BYTE* px = in + sx * 3;
            const bool keyed = key && px[0] == keyBytes[0] && px[1] == keyBytes[1] && px[2] == keyBytes[2];
            BYTE* dp = out + x * 3;
            for (int i = 0; i < 3; ++i) {
                if (channels && !channels[i])
                    continue;
                const int s = px[swap ? 2 - i : i];
                const int d = dp[i];
                int b = keyed ? s : BlendChannel(mode, d, s, p);
                if (maskRow) {
                    const int m = maskRow[sx * 3 + i];
                    b = (255 - m) * b / 255 + d * m / 255;
                }
                dp[i] = static_cast<BYTE>(std::clamp(b, 0, 255));
            }
        }
    }
    return true;
}
