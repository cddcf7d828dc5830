#include "imaging/dib_bitmap.h"

#include "imaging/dib_pixels.h"
#include "imaging/pixel_types.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// The twenty colours every palette display keeps; the standard 256-entry
// table starts with the first ten and ends with the last ten.
constexpr BYTE kSystemColours[20][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

constexpr BYTE kStandard16[16][3] = {
    {0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},  {0, 0, 128},    {128, 0, 128},
    {0, 128, 128},   {128, 128, 128}, {192, 220, 192}, {166, 202, 0}, {42, 63, 170}, {42, 63, 255},
    {42, 95, 0},     {42, 95, 85},   {42, 95, 170}, {42, 95, 255},
};

struct StandardPalettes {
    RGBQUAD two[2];
    RGBQUAD sixteen[16];
    RGBQUAD full[256];

    StandardPalettes()
    {
        auto set = [](RGBQUAD& q, int r, int g, int b) {
            q = {static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
        };
        set(two[0], 0, 0, 0);
        set(two[1], 255, 255, 255);
        for (int i = 0; i < 16; ++i)
            set(sixteen[i], kStandard16[i][0], kStandard16[i][1], kStandard16[i][2]);
        for (int i = 0; i < 10; ++i) {
            set(full[i], kSystemColours[i][0], kSystemColours[i][1], kSystemColours[i][2]);
            set(full[246 + i], kSystemColours[10 + i][0], kSystemColours[10 + i][1], kSystemColours[10 + i][2]);
        }
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    set(full[10 + 36 * r + 6 * g + b], r * 51, g * 51, b * 51);
        for (int i = 0; i < 8; ++i)
            set(full[226 + i], i * 32, i * 32, i * 32);
        set(full[234], 255, 255, 255);
        for (int i = 235; i <= 245; ++i)
            set(full[i], 0, 0, 0);
    }
};

const StandardPalettes& Standard()
{
    static const StandardPalettes palettes;
    return palettes;
}

bool IsDibBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

int ColorToStandardIndex(int32_t red, int32_t green, int32_t blue)
{
    auto clamp = [](int32_t v) { return v < 0 ? 0 : v > 255 * 65536 ? 255 : v >> 16; };
    const int r = clamp(red), g = clamp(green), b = clamp(blue);
    if (r == g && g == b) {
        if (r == 128)
            return 7;
        if (r % 32 == 0)
            return 226 + r / 32;
    }
    return ((r + 25) / 51 * 6 + (g + 25) / 51) * 6 + (b + 25) / 51 + 10;
}

const RGBQUAD* CDibBitmap::GetStandardPalette(int count)
{
    switch (count) {
    case 2: return Standard().two;
    case 16: return Standard().sixteen;
    case 256: return Standard().full;
    default: return nullptr;
    }
}

namespace {
std::atomic<uint64_t> g_maxImageBytes{uint64_t(1) << 30};
}

uint64_t CDibBitmap::MaxImageBytes() { return g_maxImageBytes.load(std::memory_order_relaxed); }
void CDibBitmap::SetMaxImageBytes(uint64_t bytes) { g_maxImageBytes.store(bytes, std::memory_order_relaxed); }

CDibBitmap::CDibBitmap() = default;
CDibBitmap::~CDibBitmap() = default;

CDibBitmap::CDibBitmap(const CDibBitmap& other) { *this = other; }

CDibBitmap& CDibBitmap::operator=(const CDibBitmap& other)
{
    if (this == &other)
        return *this;
    if (!other.IsValid()) {
        DeleteObject();
        return *this;
    }
    const uint64_t size = other.GetDibImageSize();
    std::unique_ptr<BYTE[]> bits(new BYTE[size]);
    std::memcpy(bits.get(), other.m_bits.get(), size);
    m_header = other.m_header;
    std::copy(other.m_masks, other.m_masks + 3, m_masks);
    m_palette = other.m_palette;
    m_bits = std::move(bits);
    return *this;
}

CDibBitmap::CDibBitmap(CDibBitmap&& other) noexcept { *this = std::move(other); }

CDibBitmap& CDibBitmap::operator=(CDibBitmap&& other) noexcept
{
    if (this != &other) {
        m_header = other.m_header;
        std::copy(other.m_masks, other.m_masks + 3, m_masks);
        m_palette = std::move(other.m_palette);
        m_bits = std::move(other.m_bits);
        other.DeleteObject();
    }
    return *this;
}

void CDibBitmap::DeleteObject()
{
    m_bits.reset();
    m_palette.clear();
    m_header = BITMAPINFOHEADER{};
    m_masks[0] = m_masks[1] = m_masks[2] = 0;
}

CSize CDibBitmap::GetSize() const
{
    return IsValid() ? CSize(m_header.biWidth, m_header.biHeight) : CSize();
}

int CDibBitmap::GetBitsPerPixel() const { return IsValid() ? m_header.biBitCount : 0; }

int CDibBitmap::GetStride() const
{
    return IsValid() ? static_cast<int>(DibRowBytes(m_header.biWidth, m_header.biBitCount)) : 0;
}

uint64_t CDibBitmap::GetDibImageSize() const
{
    return IsValid() ? DibRowBytes(m_header.biWidth, m_header.biBitCount) * static_cast<uint64_t>(m_header.biHeight)
                     : 0;
}

int CDibBitmap::GetPixelType() const
{
    switch (GetBitsPerPixel()) {
    case 1: return PixelType::Palette1;
    case 4: return PixelType::Palette4;
    case 8: return PixelType::Palette8;
    case 16: return PixelType::Bgr555;
    case 24: return PixelType::Bgr24;
    case 32: return PixelType::Bgr24Alt;
    default: return 0;
    }
}

int CDibBitmap::GetSamplesPerPixel() const
{
    switch (GetBitsPerPixel()) {
    case 1: case 4: case 8: return 1;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

int CDibBitmap::GetBitsPerSample() const
{
    switch (GetBitsPerPixel()) {
    case 1: return 1;
    case 4: return 4;
    case 8: case 24: case 32: return 8;
    default: return 0;
    }
}

bool CDibBitmap::GetPaletteColors(RGBQUAD* colors) const
{
    if (!IsValid() || m_palette.empty() || !colors)
        return false;
    std::copy(m_palette.begin(), m_palette.end(), colors);
    return true;
}

bool CDibBitmap::SetPaletteColors(const RGBQUAD* colors, int count)
{
    if (!IsValid() || m_palette.empty() || !colors || count < 0)
        return false;
    std::copy(colors, colors + std::min<size_t>(static_cast<size_t>(count), m_palette.size()), m_palette.begin());
    return true;
}

bool CDibBitmap::Allocate(const BITMAPINFOHEADER& header, std::vector<RGBQUAD> palette, bool fill)
{
    const uint64_t size = DibRowBytes(header.biWidth, header.biBitCount) * static_cast<uint64_t>(header.biHeight);
    if (header.biWidth <= 0 || header.biHeight <= 0 || size == 0 || size > MaxImageBytes())
        return false;
    std::unique_ptr<BYTE[]> bits(new (std::nothrow) BYTE[size]);
    if (!bits)
        return false;
    if (fill) {
        std::memset(bits.get(), 0, size);
    } else {
        // Only the padding at each row's end: the caller writes the pixels.
        const uint64_t stride = DibRowBytes(header.biWidth, header.biBitCount);
        const uint64_t used = static_cast<uint64_t>(header.biWidth) * (header.biBitCount == 15 ? 16 : header.biBitCount) / 8;
        if (used < stride)
            for (int64_t y = 0; y < header.biHeight; ++y)
                std::memset(bits.get() + y * stride + used, 0, stride - used);
    }
    m_header = header;
    m_header.biSize = 40;
    m_header.biPlanes = 1;
    m_header.biSizeImage = static_cast<DWORD>(size);
    m_header.biClrUsed = m_header.biClrImportant = static_cast<DWORD>(palette.size());
    m_palette = std::move(palette);
    if (m_header.biCompression != BI_BITFIELDS)
        m_masks[0] = m_masks[1] = m_masks[2] = 0;
    m_bits = std::move(bits);
    return true;
}

bool CDibBitmap::CreateDib(CSize size, int bitCount, const void* bits, const RGBQUAD* palette, COLORREF fill)
{
    CDibBitmap made;
    if (!made.CreateDibForOverwrite(size, bitCount, palette))
        return false;
    if (bits)
        std::memcpy(made.m_bits.get(), bits, made.GetDibImageSize());
    else
        dib::FillRect(made, CRect(0, 0, size.cx, size.cy), fill);
    *this = std::move(made);
    return true;
}

bool CDibBitmap::CreateDibForOverwrite(CSize size, int bitCount, const RGBQUAD* palette)
{
    if (!IsDibBitCount(bitCount) || size.cx <= 0 || size.cy <= 0)
        return false;
    BITMAPINFOHEADER h;
    h.biWidth = size.cx;
    h.biHeight = size.cy;
    h.biBitCount = static_cast<WORD>(bitCount == 15 ? 16 : bitCount);
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = h.biYPelsPerMeter = kPelsPerMeter96;
    std::vector<RGBQUAD> table;
    if (bitCount <= 8) {
        const int count = 1 << bitCount;
        const RGBQUAD* src = palette ? palette : GetStandardPalette(count);
        table.assign(src, src + count);
    }
    return Allocate(h, std::move(table), false);
}

bool CDibBitmap::Attach(CDibBitmap&& other)
{
    if (!other.IsValid())
        return false;
    *this = std::move(other);
    return true;
}

COLORREF CDibBitmap::GetPixel(int x, int y) const
{
    if (!IsValid() || x < 0 || y < 0 || x >= m_header.biWidth || y >= m_header.biHeight)
        return CLR_INVALID;
    const int bits = m_header.biBitCount;
    if (bits != 1 && bits != 8 && bits != 24)
        return CLR_INVALID;
    return dib::ReadPixel(*this, x, m_header.biHeight - y - 1);
}

bool CDibBitmap::SetPixel(int x, int y, COLORREF value)
{
    if (!IsValid() || x < 0 || y < 0 || x >= m_header.biWidth || y >= m_header.biHeight)
        return false;
    BYTE* row = m_bits.get() + static_cast<uint64_t>(m_header.biHeight - y - 1) * GetStride();
    switch (m_header.biBitCount) {
    case 1:
        if (value)
            row[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
        else
            row[x >> 3] &= static_cast<BYTE>(~(0x80 >> (x & 7)));
        return true;
    case 8:
        row[x] = static_cast<BYTE>(value);
        return true;
    default:
        return false;
    }
}
