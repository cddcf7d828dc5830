#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qrplugin {

int16_t FillExtensions(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity, const std::vector<const char*>& list)
{
    int16_t n = 0;
    for (const char* ext : list) {
        if (n >= capacity)
            break;
        std::memset(entries[n], 0, QR_EXT_ENTRY_SIZE);
        std::strncpy(entries[n], ext, QR_EXT_ENTRY_SIZE - 1);
        ++n;
    }
    return n;
}

int PaletteEntries(int32_t pixelType) { return QrPaletteEntriesForType(pixelType); }

int BitsPerPixel(int32_t t)
{
    if (t >= 1 && t <= 8)
        return t;
    switch (t) {
    case 9: case 15: return 15;
    case 10: return 16;
    case 11: case 12: case 16: case 17: return 24;
    case 13: case 18: return 48;
    case 14: return 8;
    case 20: return 32;
    default: return 0;
    }
}

SourceRows::SourceRows(int32_t pixelType, const void* pixels, int32_t fileFd, int32_t orientation,
                       const uint8_t* palette, int32_t width, int32_t height, int32_t stride)
    : m_type(pixelType), m_pixels(static_cast<const uint8_t*>(pixels)), m_fd(fileFd), m_orientation(orientation),
      m_palette(palette), m_width(width), m_height(height), m_stride(stride)
{
    int bpp = BitsPerPixel(pixelType);
    if (bpp == 15)
        bpp = 16;
    const int64_t need = (static_cast<int64_t>(width) * bpp + 7) / 8;
    m_valid = bpp > 0 && pixelType != 20 && width > 0 && height > 0 && stride > 0 && need <= stride
              && (m_pixels || m_fd >= 0) && (!(pixelType >= 1 && pixelType <= 8) || palette);
    if (m_valid)
        m_row.resize(static_cast<size_t>(stride));
}

const uint8_t* SourceRows::Raw(int32_t r)
{
    if (!m_valid || r < 0 || r >= m_height)
        return nullptr;
    const int64_t stored = m_orientation == 1 ? m_height - 1 - r : r;
    const int64_t offset = stored * m_stride;
    if (m_pixels)
        return m_pixels + offset;
    size_t done = 0;
    while (done < m_row.size()) {
        ssize_t n = ::pread(m_fd, m_row.data() + done, m_row.size() - done, offset + static_cast<int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return nullptr;
        done += static_cast<size_t>(n);
    }
    return m_row.data();
}

namespace {

unsigned PackedValue(const uint8_t* row, int32_t x, int bpp)
{
    const int64_t bit = static_cast<int64_t>(x) * bpp;
    const size_t byte = static_cast<size_t>(bit / 8);
    const int within = static_cast<int>(bit % 8);
    // Read two bytes so that a value crossing a byte edge is whole; the
    // second byte is only touched when the value reaches into it.
    unsigned v = static_cast<unsigned>(row[byte]) << 8;
    if (within + bpp > 8)
        v |= row[byte + 1];
    return (v >> (16 - within - bpp)) & ((1u << bpp) - 1);
}

} // namespace

bool SourceRows::Indices(int32_t r, uint8_t* out)
{
    if (!IsPaletted())
        return false;
    const uint8_t* row = Raw(r);
    if (!row)
        return false;
    for (int32_t x = 0; x < m_width; ++x)
        out[x] = static_cast<uint8_t>(PackedValue(row, x, m_type));
    return true;
}

bool SourceRows::Grey(int32_t r, uint8_t* out)
{
    const uint8_t* row = Raw(r);
    if (!row || !IsGrey())
        return false;
    if (m_type == 14) {
        std::memcpy(out, row, static_cast<size_t>(m_width));
    } else {
        for (int32_t x = 0; x < m_width; ++x)
            out[x] = row[2 * x + 1]; // high byte of the little-endian sample
    }
    return true;
}

bool SourceRows::Rgb(int32_t r, uint8_t* out)
{
    const uint8_t* row = Raw(r);
    if (!row)
        return false;
    const int32_t w = m_width;
    switch (m_type) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: {
        const int entries = PaletteEntries(m_type);
        for (int32_t x = 0; x < w; ++x) {
            unsigned i = PackedValue(row, x, m_type);
            if (static_cast<int>(i) >= entries)
                i = 0;
            const uint8_t* q = m_palette + 4 * i;
            out[3 * x] = q[2];
            out[3 * x + 1] = q[1];
            out[3 * x + 2] = q[0];
        }
        return true;
    }
    case 9: case 15:
        for (int32_t x = 0; x < w; ++x) {
            unsigned v = (row[2 * x] | (row[2 * x + 1] << 8)) & 0x7FFF;
            uint8_t lo = static_cast<uint8_t>((v & 0x1F) << 3), mid = static_cast<uint8_t>(((v >> 5) & 0x1F) << 3),
                    hi = static_cast<uint8_t>(((v >> 10) & 0x1F) << 3);
            // Stored order keeps blue in the low bits, swapped order red.
            out[3 * x] = m_type == 9 ? hi : lo;
            out[3 * x + 1] = mid;
            out[3 * x + 2] = m_type == 9 ? lo : hi;
        }
        return true;
    case 10: case 14: {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t g = m_type == 14 ? row[x] : row[2 * x + 1];
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = g;
        }
        return true;
    }
    case 11: case 12:
        for (int32_t x = 0; x < w; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
        return true;
    case 16: case 17:
        std::memcpy(out, row, static_cast<size_t>(w) * 3);
        return true;
    case 13: case 18:
        for (int32_t x = 0; x < w; ++x) {
            uint8_t a = row[6 * x + 1], b = row[6 * x + 3], c = row[6 * x + 5];
            out[3 * x] = m_type == 13 ? c : a;
            out[3 * x + 1] = b;
            out[3 * x + 2] = m_type == 13 ? a : c;
        }
        return true;
    default:
        return false;
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

OutputFile::OutputFile(const char* path) : m_fd(::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OutputFile::Close()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && ::close(fd) == 0;
}

long FindIccProfile(const uint8_t* data, size_t size)
{
    if (!data)
        return -1;
    for (size_t p = 0; p + 128 <= size; ++p) {
        if (std::memcmp(data + p + 36, "acsp", 4) != 0)
            continue;
        const uint32_t declared = (uint32_t(data[p]) << 24) | (uint32_t(data[p + 1]) << 16) |
                                  (uint32_t(data[p + 2]) << 8) | data[p + 3];
        if (declared == size - p)
            return static_cast<long>(p);
    }
    return -1;
}

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
void Put16(std::vector<uint8_t>& v, uint16_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, uint16_t(x)); Put16(v, uint16_t(x >> 16)); }
} // namespace

std::vector<MainTag> ParseMainTags(const uint8_t* data, size_t size)
{
    std::vector<MainTag> tags;
    if (!data)
        return tags;
    for (size_t off = 0; off + 68 <= size; off += 68) {
        MainTag t;
        t.tag = Le32(data + off);
        if (t.tag == 282 || t.tag == 283) {
            t.numerator = Le32(data + off + 4);
            t.denominator = Le32(data + off + 8);
        } else {
            const char* s = reinterpret_cast<const char*>(data + off + 4);
            t.text.assign(s, strnlen(s, 64));
        }
        tags.push_back(std::move(t));
    }
    return tags;
}

std::vector<uint8_t> BuildMainTagExif(const std::vector<MainTag>& tags)
{
    std::vector<MainTag> sorted;
    for (const MainTag& t : tags)
        if (t.tag == 270 || t.tag == 271 || t.tag == 272 || t.tag == 305 || t.tag == 306 ||
            ((t.tag == 282 || t.tag == 283) && t.denominator != 0))
            sorted.push_back(t);
    if (sorted.empty())
        return {};
    std::stable_sort(sorted.begin(), sorted.end(), [](const MainTag& a, const MainTag& b) { return a.tag < b.tag; });
    std::vector<uint8_t> out{'I', 'I', 42, 0};
    Put32(out, 8);
    const uint32_t dirSize = 2 + 12 * static_cast<uint32_t>(sorted.size()) + 4;
    uint32_t dataOffset = 8 + dirSize;
    std::vector<uint8_t> data;
    Put16(out, static_cast<uint16_t>(sorted.size()));
    for (const MainTag& t : sorted) {
        Put16(out, static_cast<uint16_t>(t.tag));
        if (t.tag == 282 || t.tag == 283) {
            Put16(out, 5);
            Put32(out, 1);
            Put32(out, dataOffset + static_cast<uint32_t>(data.size()));
            Put32(data, t.numerator);
            Put32(data, t.denominator);
        } else {
            const uint32_t count = static_cast<uint32_t>(t.text.size()) + 1;
            Put16(out, 2);
            Put32(out, count);
            if (count <= 4) {
                uint8_t inline4[4] = {0, 0, 0, 0};
                std::memcpy(inline4, t.text.data(), t.text.size());
                out.insert(out.end(), inline4, inline4 + 4);
            } else {
                Put32(out, dataOffset + static_cast<uint32_t>(data.size()));
                data.insert(data.end(), t.text.begin(), t.text.end());
                data.push_back(0);
                if (data.size() % 2)
                    data.push_back(0);
            }
        }
    }
    Put32(out, 0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace qrplugin

namespace qrplugin {

bool HeaderFromRawInfo(const QrRawImageInfo& info, QrBitmapInfoHeader* h)
{
    int bits = 0;
    switch (info.pixelType) {
    case 1: bits = 1; break;
    case 4: bits = 4; break;
    case 8: case 14: bits = 8; break;
    case 11: bits = 24; break;
    default: return false;
    }
    std::memset(h, 0, sizeof *h);
    h->biSize = 40;
    h->biWidth = info.width;
    h->biHeight = info.height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<uint16_t>(bits);
    h->biXPelsPerMeter = static_cast<int32_t>(info.xResolution / 0.0254f + 0.5f);
    h->biYPelsPerMeter = static_cast<int32_t>(info.yResolution / 0.0254f + 0.5f);
    h->biClrUsed = bits <= 8 ? (1u << bits) : 0;
    return true;
}

} // namespace qrplugin
