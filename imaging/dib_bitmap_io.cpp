// Reading and writing BMP data: files, packed DIBs and the raw bitmap record.
// Every count and offset in a header is checked in 64 bits against the bytes
// that are really there before anything is allocated.
#include "imaging/dib_bitmap.h"

#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/path.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr double kInchesPerMeter = 39.370078740157474;

// The info header of the oldest form (sizes in 16 bits, 3-byte table entries).
constexpr uint32_t kCoreHeaderSize = 12;
// The raw bitmap record in front of its rows.
constexpr size_t kBitmapRecordSize = 24;
// Deeper bitmaps may carry a display table of at most this many entries.
constexpr uint64_t kMaxTableEntries = 256;
// The most the headers and colour table take: the largest info header, three
// masks and a full table.
constexpr uint64_t kMaxBmpHeadBytes = 124 + 12 + kMaxTableEntries * 4;
void Put16(BYTE* p, uint32_t v) { p[0] = static_cast<BYTE>(v); p[1] = static_cast<BYTE>(v >> 8); }
void Put32(BYTE* p, uint32_t v)
{
    p[0] = static_cast<BYTE>(v); p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16); p[3] = static_cast<BYTE>(v >> 24);
}

bool ReadExact(CFile& file, void* buffer, size_t count)
{
    return file.Read(buffer, count) == count;
}

// Expands RLE8 or RLE4 data into bottom-up rows. Runs and deltas that leave
// the bitmap are cut at its edge; the data may end without its end marker.
void DecodeRle(const BYTE* src, size_t size, int bitCount, BYTE* bits, int width, int height, uint64_t stride)
{
    auto put = [&](int x, int y, int index) {
        if (x < 0 || x >= width || y < 0 || y >= height)
            return;
        BYTE* row = bits + static_cast<uint64_t>(y) * stride;
        if (bitCount == 8)
            row[x] = static_cast<BYTE>(index);
        else if (x & 1)
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0xF0) | (index & 0x0F));
        else
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
    };
    int x = 0, y = 0;
    size_t i = 0;
    while (i + 1 < size && y < height) {
        const int count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k, ++x)
                put(x, y, bitCount == 8 ? value : (k & 1) ? value & 0x0F : value >> 4);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (i + 1 >= size)
                return;
            x += src[i];
            y += src[i + 1];
            i += 2;
        } else {  // absolute run of value pixels, padded to a word
            const size_t bytes = bitCount == 8 ? static_cast<size_t>(value) : (static_cast<size_t>(value) + 1) / 2;
            if (bytes > size - i)
                return;
            for (int k = 0; k < value; ++k, ++x) {
                const BYTE b = src[i + (bitCount == 8 ? k : k / 2)];
                put(x, y, bitCount == 8 ? b : (k & 1) ? b & 0x0F : b >> 4);
            }
            i += (bytes + 1) & ~size_t(1);
        }
    }
}

} // namespace

bool CDibBitmap::LoadFromFile(const std::string& path, bool force)
{
    if (!force) {
        std::string ext = DottedExtensionOf(path);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext != ".bmp")
            return false;
    }
    try {
        CFile file(path, CFile::modeRead);
        return Read(file);
    } catch (const CException&) {
        DeleteObject();
        return false;
    }
}

bool CDibBitmap::Read(CFile& file)
{
    bool ok = false;
    try {
        const uint64_t start = file.GetPosition();
        BYTE fileHeader[kBitmapFileHeaderSize];
        const size_t got = file.Read(fileHeader, sizeof fileHeader);
        if (got >= 2 && fileHeader[0] == 'B' && fileHeader[1] == 'M') {
            ByteReader header(std::span<const BYTE>(fileHeader, got));
            const std::optional<uint32_t> offBits = header.SeekTo(10) ? header.U32() : std::nullopt;
            ok = offBits && ReadBmpStream(file, true, start, *offBits);
        } else {
            ok = ReadBitmapRecord(file, start);
        }
    } catch (const CException&) {
        ok = false;
    }
    if (!ok)
        DeleteObject();
    return ok;
}

bool CDibBitmap::ReadFromGlobal(const std::vector<uint8_t>& packed)
{
    bool ok = false;
    if (!packed.empty()) {
        CMemFile file(packed.data(), packed.size());
        try {
            ok = ReadBmpStream(file, false, 0, 0);
        } catch (const CException&) {
            ok = false;
        }
    }
    if (!ok)
        DeleteObject();
    return ok;
}

// The info header, colour table and bits, from just behind the file header
// (withFileHeader) or from the start of a packed DIB. The headers and the
// table are read through one ByteReader; the bits go straight into the bitmap.
bool CDibBitmap::ReadBmpStream(CFile& file, bool withFileHeader, uint64_t base, uint32_t offBits)
{
    const uint64_t at = file.GetPosition();
    const std::vector<uint8_t> head = file.ReadUpTo(kMaxBmpHeadBytes);
    ByteReader r(head);
    const uint32_t headerSize = r.U32().value_or(0);
    if (headerSize != kCoreHeaderSize && headerSize != kBitmapInfoHeaderSize && headerSize != 108 &&
        headerSize != 124)
        return false;
    if (!r.Fits(0, headerSize))
        return false;

    BITMAPINFOHEADER h;
    int64_t height = 0;
    const bool core = headerSize == kCoreHeaderSize;
    if (core) {
        h.biWidth = r.U16().value_or(0);
        height = r.U16().value_or(0);
        h.biPlanes = r.U16().value_or(0);
        h.biBitCount = r.U16().value_or(0);
    } else {
        h.biWidth = r.I32().value_or(0);
        height = r.I32().value_or(0);
        h.biPlanes = r.U16().value_or(0);
        h.biBitCount = r.U16().value_or(0);
        h.biCompression = r.U32().value_or(0);
        h.biSizeImage = r.U32().value_or(0);
        h.biXPelsPerMeter = r.I32().value_or(0);
        h.biYPelsPerMeter = r.I32().value_or(0);
        h.biClrUsed = r.U32().value_or(0);
    }
    const int bits = h.biBitCount;
    const DWORD compression = h.biCompression;
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (h.biPlanes != 1 || h.biWidth <= 0 || height <= 0 || height > 0x7FFFFFFF)
        return false;
    const bool depthOk = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!depthOk || (core && (bits == 16 || bits == 32)))
        return false;
    if (!(compression == BI_RGB || (compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4) ||
          (compression == BI_BITFIELDS && (bits == 16 || bits == 32))))
        return false;
    // Run-length data are always stored bottom-up.
    if (topDown && (compression == BI_RLE4 || compression == BI_RLE8))
        return false;
    h.biHeight = static_cast<LONG>(height);

    // Bit fields: three masks at offset 40, inside the larger headers or just
    // behind the 40-byte one, which the colour table then follows.
    DWORD masks[3] = {0, 0, 0};
    uint64_t tableAt = headerSize;
    if (compression == BI_BITFIELDS) {
        r.SeekTo(kBitmapInfoHeaderSize);
        for (DWORD& m : masks)
            m = r.U32().value_or(0);
        if (!r.Ok())
            return false;
        if (headerSize == kBitmapInfoHeaderSize)
            tableAt = r.Position();
    }
    r.SeekTo(tableAt);

    // The colour table: for 8 bits or less biClrUsed entries (all of them when
    // 0); a table given to deeper bitmaps is only a display hint and skipped.
    std::vector<RGBQUAD> palette;
    const uint64_t entrySize = core ? 3 : 4;
    uint64_t tableEntries = h.biClrUsed;
    if (bits <= 8) {
        const uint32_t full = 1u << bits;
        if (tableEntries == 0)
            tableEntries = full;
        if (tableEntries > full)
            return false;
        palette.assign(full, RGBQUAD{});
    } else if (!r.WithinLimit(tableEntries, kMaxTableEntries)) {
        return false;
    }
    const auto table = r.Take(tableEntries * entrySize);
    if (!table)
        return false;
    for (size_t i = 0; i < palette.size() && i < tableEntries; ++i)
        palette[i] = {(*table)[i * entrySize], (*table)[i * entrySize + 1], (*table)[i * entrySize + 2], 0};

    // The pixel-data offset is honoured when it points past the table; a
    // smaller one (some writers leave it 0) means the bits follow directly.
    const uint64_t tableEnd = at + r.Position();
    if (withFileHeader && offBits > tableEnd - base) {
        if (offBits > file.GetLength() - base)
            return false;
        file.Seek(static_cast<int64_t>(base + offBits), CFile::begin);
    } else {
        file.Seek(static_cast<int64_t>(tableEnd), CFile::begin);
    }

    const uint64_t stride = DibRowBytes(h.biWidth, bits);
    const uint64_t imageSize = stride * static_cast<uint64_t>(height);
    if (imageSize > MaxImageBytes())
        return false;
    const bool rle = compression == BI_RLE4 || compression == BI_RLE8;
    if (!rle && imageSize > file.GetRemaining())
        return false;
    if (rle && h.biSizeImage > file.GetRemaining())
        return false;

    BITMAPINFOHEADER made = h;
    made.biCompression = compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
    CDibBitmap dib;
    std::copy(masks, masks + 3, dib.m_masks);
    if (!dib.Allocate(made, std::move(palette), rle))
        return false;
    if (rle) {
        const uint64_t size = h.biSizeImage ? h.biSizeImage : std::min<uint64_t>(file.GetRemaining(), MaxImageBytes());
        std::vector<BYTE> data(size);
        if (!ReadExact(file, data.data(), data.size()))
            return false;
        DecodeRle(data.data(), data.size(), bits, dib.m_bits.get(), h.biWidth, h.biHeight, stride);
    } else if (topDown) {
        for (int64_t y = height - 1; y >= 0; --y)
            if (!ReadExact(file, dib.m_bits.get() + static_cast<uint64_t>(y) * stride, stride))
                return false;
    } else if (!ReadExact(file, dib.m_bits.get(), imageSize)) {
        return false;
    }
    *this = std::move(dib);
    return true;
}

// The raw form: a 24-byte bitmap record (type, width, height, row bytes,
// planes, bits per pixel, a pointer) and top-down rows of row-bytes each.
bool CDibBitmap::ReadBitmapRecord(CFile& file, uint64_t start)
{
    file.Seek(static_cast<int64_t>(start), CFile::begin);
    BYTE rec[kBitmapRecordSize];
    if (!ReadExact(file, rec, sizeof rec))
        return false;
    ByteReader r(rec);
    r.Skip(4);  // the type
    const int64_t width = r.I32().value_or(0);
    const int64_t height = r.I32().value_or(0);
    const int64_t widthBytes = r.I32().value_or(0);
    const uint16_t planes = r.U16().value_or(0);
    const uint16_t bitsPixel = r.U16().value_or(0);
    if (width < 1 || height < 1 || widthBytes < 1 || planes != 1)
        return false;
    // Only with the planes known to be one may they take part in arithmetic.
    const uint64_t bits = uint64_t(planes) * bitsPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 7) / 8;
    const uint64_t total = static_cast<uint64_t>(widthBytes) * static_cast<uint64_t>(height);
    if (static_cast<uint64_t>(widthBytes) < rowBytes || total > MaxImageBytes() || total > file.GetRemaining())
        return false;
    std::vector<BYTE> data(total);
    if (!ReadExact(file, data.data(), data.size()))
        return false;
    const int bitCount = static_cast<int>(bits);
    BITMAPINFOHEADER h;
    h.biWidth = static_cast<LONG>(width);
    h.biHeight = static_cast<LONG>(height);
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biXPelsPerMeter = h.biYPelsPerMeter = kPelsPerMeter96;
    std::vector<RGBQUAD> palette;
    if (bitCount <= 8)
        palette.assign(GetStandardPalette(1 << bitCount), GetStandardPalette(1 << bitCount) + (1 << bitCount));
    CDibBitmap dib;
    if (!dib.Allocate(h, std::move(palette), true))
        return false;
    const uint64_t stride = DibRowBytes(width, bitCount);
    for (int64_t y = 0; y < height; ++y)
        std::memcpy(dib.m_bits.get() + static_cast<uint64_t>(height - 1 - y) * stride,
                    data.data() + static_cast<uint64_t>(y) * widthBytes, rowBytes);
    *this = std::move(dib);
    return true;
}

void CDibBitmap::WritePacked(CFile& file, LONG pelsPerMeter) const
{
    BYTE h[kBitmapInfoHeaderSize];
    Put32(h, 40);
    Put32(h + 4, static_cast<uint32_t>(m_header.biWidth));
    Put32(h + 8, static_cast<uint32_t>(m_header.biHeight));
    Put16(h + 12, 1);
    Put16(h + 14, m_header.biBitCount);
    Put32(h + 16, m_header.biCompression);
    Put32(h + 20, static_cast<uint32_t>(GetDibImageSize()));
    Put32(h + 24, static_cast<uint32_t>(pelsPerMeter));
    Put32(h + 28, static_cast<uint32_t>(pelsPerMeter));
    Put32(h + 32, static_cast<uint32_t>(m_palette.size()));
    Put32(h + 36, static_cast<uint32_t>(m_palette.size()));
    file.Write(h, sizeof h);
    if (m_header.biCompression == BI_BITFIELDS) {
        BYTE m[12];
        Put32(m, m_masks[0]), Put32(m + 4, m_masks[1]), Put32(m + 8, m_masks[2]);
        file.Write(m, sizeof m);
    }
    if (!m_palette.empty()) {
        std::vector<BYTE> table(m_palette.size() * 4);
        for (size_t i = 0; i < m_palette.size(); ++i) {
            table[i * 4] = m_palette[i].rgbBlue;
            table[i * 4 + 1] = m_palette[i].rgbGreen;
            table[i * 4 + 2] = m_palette[i].rgbRed;
            table[i * 4 + 3] = 0;
        }
        file.Write(table.data(), table.size());
    }
    file.Write(m_bits.get(), GetDibImageSize());
}

bool CDibBitmap::Write(CFile& file, float dotsPerInch) const
{
    if (!IsValid())
        return false;
    try {
        // Behind the headers: the colour table, or the three masks of a bit-field bitmap.
        const uint32_t tableBytes =
            static_cast<uint32_t>(m_palette.size() * 4) + (m_header.biCompression == BI_BITFIELDS ? 12 : 0);
        const uint32_t offBits = static_cast<uint32_t>(kBitmapFileHeaderSize + kBitmapInfoHeaderSize) + tableBytes;
        // The file's size fields are 32 bits wide.
        if (GetDibImageSize() + offBits > UINT32_MAX)
            return false;
        BYTE fh[kBitmapFileHeaderSize] = {'B', 'M'};
        Put32(fh + 2, static_cast<uint32_t>(GetDibImageSize()) + offBits);
        Put32(fh + 10, offBits);
        file.Write(fh, sizeof fh);
        WritePacked(file, static_cast<LONG>(dotsPerInch * kInchesPerMeter));
        return true;
    } catch (const CException&) {
        return false;
    }
}

std::vector<uint8_t> CDibBitmap::CopyToGlobal() const
{
    if (!IsValid() || GetDibImageSize() > UINT32_MAX - 1024)
        return {};
    CMemFile file;
    WritePacked(file, kPelsPerMeter96);
    return file.Detach();
}
