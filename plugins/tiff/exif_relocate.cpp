#include "plugins/tiff/exif_relocate.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace qrplugin {
namespace {

constexpr uint16_t kExifPointer = 34665;
constexpr uint16_t kGpsPointer = 34853;
constexpr uint16_t kInteropPointer = 40965;
constexpr uint16_t kMaxEntries = 1000;
constexpr int kMaxDepth = 4;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
void Set32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
void Put16(std::vector<uint8_t>& v, uint16_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, uint16_t(x)); Put16(v, uint16_t(x >> 16)); }

uint32_t TypeSize(uint16_t type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

struct Span {
    const uint8_t* data;
    size_t size;
    bool Has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

void PadEven(std::vector<uint8_t>& out)
{
    if (out.size() % 2)
        out.push_back(0);
}

// Appends the directory at src offset to out; returns its new offset or 0.
uint32_t CopyDirectory(const Span& src, uint32_t offset, std::vector<uint8_t>& out, int depth)
{
    if (depth > kMaxDepth || !src.Has(offset, 2))
        return 0;
    const uint16_t n = Get16(src.data + offset);
    if (n == 0 || n > kMaxEntries || !src.Has(offset + 2ull, 12ull * n))
        return 0;
    PadEven(out);
    const uint64_t at = out.size();
    const uint64_t dataStart = at + 2 + 12ull * n + 4;
    if (dataStart > 0xFFFFFFF0ull)
        return 0;
    std::vector<uint8_t> dir;
    std::vector<uint8_t> data;
    std::vector<std::pair<size_t, uint32_t>> children; // entry position in dir, child offset in src
    Put16(dir, n);
    for (uint16_t i = 0; i < n; ++i) {
        const uint8_t* e = src.data + offset + 2 + 12 * i;
        const uint16_t tag = Get16(e), type = Get16(e + 2);
        const uint32_t count = Get32(e + 4);
        dir.insert(dir.end(), e, e + 8);
        const uint64_t bytes = static_cast<uint64_t>(TypeSize(type)) * count;
        if (tag == kInteropPointer && bytes == 4) {
            children.emplace_back(dir.size(), Get32(e + 8));
            Put32(dir, 0);
        } else if (bytes <= 4) {
            dir.insert(dir.end(), e + 8, e + 12);
        } else {
            const uint32_t from = Get32(e + 8);
            if (!src.Has(from, bytes)) {
                // A value outside the block: keep the entry but with no data.
                Set32(&dir[dir.size() - 4], 0);
                Put32(dir, 0);
                continue;
            }
            Put32(dir, static_cast<uint32_t>(dataStart + data.size()));
            data.insert(data.end(), src.data + from, src.data + from + bytes);
            PadEven(data);
        }
    }
    Put32(dir, 0);
    out.insert(out.end(), dir.begin(), dir.end());
    out.insert(out.end(), data.begin(), data.end());
    for (const auto& [pos, child] : children) {
        const uint32_t moved = CopyDirectory(src, child, out, depth + 1);
        Set32(out.data() + at + pos, moved);
    }
    return static_cast<uint32_t>(at);
}

} // namespace

// The Exif block handed to a TIFF writer has no header and no main
// directory: the Exif directory stands at offset 0 with its values behind it,
// then the GPS directory, which nothing points to. It is found as the first
// even offset past the Exif values, and taken only when it reads as a GPS
// directory (tags 0 to 31).
uint32_t FindHeadlessGps(const Span& src)
{
    if (!src.Has(0, 2))
        return 0;
    const uint16_t n = Get16(src.data);
    if (n == 0 || n > kMaxEntries || !src.Has(2, 12ull * n + 4))
        return 0;
    uint64_t end = 2 + 12ull * n + 4;
    for (uint16_t i = 0; i < n; ++i) {
        const uint8_t* e = src.data + 2 + 12 * i;
        const uint64_t bytes = static_cast<uint64_t>(TypeSize(Get16(e + 2))) * Get32(e + 4);
        if (bytes > 4 && src.Has(Get32(e + 8), bytes))
            end = std::max<uint64_t>(end, Get32(e + 8) + bytes);
    }
    end += end % 2;
    if (end > 0xFFFFFFF0ull || !src.Has(end, 2))
        return 0;
    const uint16_t g = Get16(src.data + end);
    if (g == 0 || g > 64 || !src.Has(end + 2, 12ull * g + 4))
        return 0;
    for (uint16_t i = 0; i < g; ++i)
        if (Get16(src.data + end + 2 + 12 * i) > 31)
            return 0;
    return static_cast<uint32_t>(end);
}

bool RelocateExifIntoTiff(std::vector<uint8_t>& file, const uint8_t* block, size_t size)
{
    if (!block)
        return false;
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    const Span src{block, size};
    const Span dst{file.data(), file.size()};
    if (!dst.Has(0, 8) || std::memcmp(file.data(), "II*\0", 4) != 0)
        return false;
    uint32_t exif = 0, gps = 0;
    bool headless = false;
    if (src.Has(0, 8) && std::memcmp(block, "II*\0", 4) == 0) {
        const uint32_t ifd0 = Get32(block + 4);
        if (!src.Has(ifd0, 2))
            return false;
        const uint16_t n0 = Get16(block + ifd0);
        if (n0 > kMaxEntries || !src.Has(ifd0 + 2ull, 12ull * n0))
            return false;
        for (uint16_t i = 0; i < n0; ++i) {
            const uint8_t* e = block + ifd0 + 2 + 12 * i;
            if (Get16(e) == kExifPointer)
                exif = Get32(e + 8);
            else if (Get16(e) == kGpsPointer)
                gps = Get32(e + 8);
        }
    } else {
        headless = true;
        gps = FindHeadlessGps(src);
    }
    // The file's own first directory.
    const uint32_t fileIfd = Get32(file.data() + 4);
    if (!dst.Has(fileIfd, 2))
        return false;
    const uint16_t fn = Get16(file.data() + fileIfd);
    if (fn == 0 || fn > kMaxEntries || !dst.Has(fileIfd + 2ull, 12ull * fn + 4))
        return false;
    std::vector<uint8_t> out = file;
    std::map<uint16_t, std::vector<uint8_t>> entries;
    for (uint16_t i = 0; i < fn; ++i) {
        const uint8_t* e = file.data() + fileIfd + 2 + 12 * i;
        entries[Get16(e)].assign(e, e + 12);
    }
    const uint32_t next = Get32(file.data() + fileIfd + 2 + 12 * fn);
    auto pointer = [&](uint16_t tag, uint32_t value) {
        std::vector<uint8_t> e;
        Put16(e, tag);
        Put16(e, 4);
        Put32(e, 1);
        Put32(e, value);
        entries[tag] = e;
    };
    bool any = false;
    if (exif || headless) {
        if (const uint32_t moved = CopyDirectory(src, exif, out, 0)) {
            pointer(kExifPointer, moved);
            any = true;
        }
    }
    if (gps) {
        if (const uint32_t moved = CopyDirectory(src, gps, out, 0)) {
            pointer(kGpsPointer, moved);
            any = true;
        }
    }
    if (!any)
        return false;
    PadEven(out);
    if (out.size() > 0xFFFFFFF0ull)
        return false;
    const uint32_t newIfd = static_cast<uint32_t>(out.size());
    Put16(out, static_cast<uint16_t>(entries.size()));
    for (const auto& [tag, e] : entries)
        out.insert(out.end(), e.begin(), e.end());
    Put32(out, next);
    Set32(out.data() + 4, newIfd);
    file.swap(out);
    return true;
}

} // namespace qrplugin
