// Image buffers as device-independent bitmaps.
#include "imaging/image_buffer.h"

#include "imaging/dib_bitmap.h"
#include "imaging/pixel_rows.h"

#include <algorithm>
#include <vector>

namespace {

// One DIB row of count pixels from a buffer row, starting at column left.
void ConvertRow(int type, int bits, int dibBits, const BYTE* in, uint64_t left, BYTE* out, uint64_t count)
{
    switch (type) {
    case PixelType::Grey16:
        for (uint64_t x = 0; x < count; ++x)
            out[x] = in[(left + x) * 2 + 1];
        return;
    case PixelType::Bgr48:
    case PixelType::Rgb48: {
        const bool reverse = type == PixelType::Rgb48;
        for (uint64_t x = 0; x < count; ++x)
            for (int k = 0; k < 3; ++k)
                out[x * 3 + (reverse ? 2 - k : k)] = in[(left + x) * 6 + k * 2 + 1];
        return;
    }
    case PixelType::Bgr24Alt:
    case PixelType::Rgb24:
    case PixelType::Rgb24Alt: {
        // Three bytes a pixel, as the type says; the inverted types flip each value.
        const bool reverse = type != PixelType::Bgr24Alt;
        const int invert = type == PixelType::Rgb24 ? 0 : 0xFF;
        for (uint64_t x = 0; x < count; ++x)
            for (int k = 0; k < 3; ++k)
                out[x * 3 + (reverse ? 2 - k : k)] = static_cast<BYTE>(in[(left + x) * 3 + k] ^ invert);
        return;
    }
    case PixelType::Rgb555:
        // Red in the low five bits: exchange it with blue for the DIB.
        for (uint64_t x = 0; x < count; ++x) {
            const BYTE* p = in + (left + x) * 2;
            const unsigned v = p[0] | (p[1] << 8);
            const unsigned swapped = ((v & 0x1F) << 10) | (v & 0x3E0) | ((v >> 10) & 0x1F);
            out[x * 2] = static_cast<BYTE>(swapped);
            out[x * 2 + 1] = static_cast<BYTE>(swapped >> 8);
        }
        return;
    default:
        break;
    }
    if (bits == dibBits) {
        pixrow::Copy(out, 0, in, left, count, bits);
        return;
    }
    // 2-, 3-, 5-, 6- and 7-bit indices widen to the DIB's 4 or 8 bits.
    for (uint64_t x = 0; x < count; ++x)
        pixrow::SetBits(out, x, dibBits, pixrow::GetBits(in, left + x, bits));
}

} // namespace

std::unique_ptr<CDibBitmap> CImageBuffer::CreateDibRect(const CRect& rect) const
{
    if (!IsValid())
        return nullptr;
    CRect area;
    if (!area.IntersectRect(rect, CRect(0, 0, m_width, m_height)))
        return nullptr;
    const int dibBits = GetPixelTypeInfo(m_pixelType).dibBitCount;
    if (dibBits == 0)
        return nullptr;
    std::vector<RGBQUAD> table(static_cast<size_t>(GetDibPaletteSize(m_pixelType)));
    if (m_palette) {
        std::copy(m_palette.get(), m_palette.get() + std::min<size_t>(GetPaletteCount(), table.size()), table.begin());
    } else {
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    }
    auto dib = std::make_unique<CDibBitmap>();
    if (!dib->CreateDibForOverwrite(area.Size(), dibBits, table.empty() ? nullptr : table.data()))
        return nullptr;
    const uint64_t dibStride = static_cast<uint64_t>(dib->GetStride());
    const int bits = GetBitsPerPixel() == 15 ? 16 : GetBitsPerPixel();
    for (int y = 0; y < area.Height(); ++y) {
        const BYTE* in = GetRowPointer(area.top + y);
        if (!in)
            return nullptr;
        BYTE* out = dib->GetBits() + static_cast<uint64_t>(area.Height() - 1 - y) * dibStride;
        std::fill(out, out + dibStride, 0);
        ConvertRow(m_pixelType, bits, dibBits, in, static_cast<uint64_t>(area.left), out,
                   static_cast<uint64_t>(area.Width()));
    }
    return dib;
}

std::unique_ptr<CDibBitmap> CImageBuffer::CreateDib() const
{
    return CreateDibRect(CRect(0, 0, m_width, m_height));
}
