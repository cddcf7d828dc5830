#include "plugins/tiff/exif_relocate.h"

#include "imaging/exif_maker_note.h"
#include "imaging/exif_types.h"
#include "platform/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace qrplugin {
namespace {

constexpr uint16_t kExifPointer = 34665;
constexpr uint16_t kGpsPointer = 34853;
constexpr uint16_t kInteropPointer = 40965;
constexpr uint16_t kMakerNote = 37500;
constexpr uint16_t kMaxEntries = 1000;
constexpr int kMaxDepth = 4;
// A GPS directory holds the tags 0 to 31, each once at most in a sound one.
constexpr uint16_t kMaxGpsEntries = 64;
constexpr uint16_t kLastGpsTag = 31;

// An entry: tag, type, count, value or offset.
constexpr uint64_t kEntrySize = 12;

void Set32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
void Put16(std::vector<uint8_t>& v, uint16_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, uint16_t(x)); Put16(v, uint16_t(x >> 16)); }

// An IFD-type field: one LONG offset a value.
constexpr uint16_t kTypeIfd = 13;

uint32_t TypeSize(uint16_t type)
{
    return type == kTypeIfd ? 4 : ExifTypeUnitSize(type);
}

// The entry count at offset when it is 1 to kMaxEntries and that many
// entries (and the next-directory offset when withNext) stand behind it; else 0.
uint16_t DirectoryCount(const ByteReader& src, uint64_t offset, bool withNext)
{
    const uint16_t n = src.U16At(offset).value_or(0);
    if (n == 0 || !src.WithinLimit(n, kMaxEntries) || !src.Fits(offset + 2, kEntrySize * n + (withNext ? 4 : 0)))
        return 0;
    return n;
}

void PadEven(std::vector<uint8_t>& out)
{
    if (out.size() % 2)
        out.push_back(0);
}

// Appends the directory at src offset to out; returns its new offset or 0.
uint32_t CopyDirectory(const ByteReader& src, uint32_t offset, std::vector<uint8_t>& out, int depth)
{
    if (depth > kMaxDepth)
        return 0;
    const uint16_t n = DirectoryCount(src, offset, false);
    if (n == 0)
        return 0;
    PadEven(out);
    const uint64_t at = out.size();
    const uint64_t dataStart = at + 2 + kEntrySize * n + 4;
    if (dataStart > 0xFFFFFFF0ull)
        return 0;
    std::vector<uint8_t> dir;
    std::vector<uint8_t> data;
    std::vector<std::pair<size_t, uint32_t>> children; // entry position in dir, child offset in src
    Put16(dir, n);
    for (uint16_t i = 0; i < n; ++i) {
        const uint64_t e = offset + 2 + kEntrySize * i;
        const std::span<const uint8_t> entry = *src.At(e, kEntrySize);
        const uint16_t tag = *src.U16At(e), type = *src.U16At(e + 2);
        const uint32_t count = *src.U32At(e + 4), value = *src.U32At(e + 8);
        dir.insert(dir.end(), entry.begin(), entry.begin() + 8);
        const uint64_t bytes = static_cast<uint64_t>(TypeSize(type)) * count;
        if (tag == kInteropPointer && bytes == 4) {
            children.emplace_back(dir.size(), value);
            Put32(dir, 0);
        } else if (bytes <= 4) {
            dir.insert(dir.end(), entry.begin() + 8, entry.end());
        } else if (const auto values = src.At(value, bytes)) {
            const uint64_t to = dataStart + data.size();
            Put32(dir, static_cast<uint32_t>(to));
            if (tag == kMakerNote && depth == 0) {
                // A camera's note whose offsets count from the TIFF header moves with them.
                const MakerNoteForm form = ReadMakerNoteForm(*values, value, false);
                const std::vector<uint8_t> moved = MoveMakerNote(*values, form, static_cast<int64_t>(to) - value);
                data.insert(data.end(), moved.begin(), moved.end());
            } else {
                data.insert(data.end(), values->begin(), values->end());
            }
            PadEven(data);
        } else {
            // A value outside the block: keep the entry but with no data.
            Set32(&dir[dir.size() - 4], 0);
            Put32(dir, 0);
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

// The Exif block handed to a TIFF writer has no header and no main
// directory: the Exif directory stands at offset 0 with its values behind it,
// then the GPS directory, which nothing points to. It is found as the first
// even offset past the Exif values, and taken only when it reads as a GPS
// directory (tags 0 to 31).
uint32_t FindHeadlessGps(const ByteReader& src)
{
    const uint16_t n = DirectoryCount(src, 0, true);
    if (n == 0)
        return 0;
    uint64_t end = 2 + kEntrySize * n + 4;
    for (uint16_t i = 0; i < n; ++i) {
        const uint64_t e = 2 + kEntrySize * i;
        const uint64_t bytes = static_cast<uint64_t>(TypeSize(*src.U16At(e + 2))) * *src.U32At(e + 4);
        const uint32_t at = *src.U32At(e + 8);
        if (bytes > 4 && src.Fits(at, bytes))
            end = std::max<uint64_t>(end, at + bytes);
    }
    end += end % 2;
    if (end > 0xFFFFFFF0ull)
        return 0;
    const uint16_t g = src.U16At(end).value_or(0);
    if (g == 0 || g > kMaxGpsEntries || !src.Fits(end + 2, kEntrySize * g + 4))
        return 0;
    for (uint16_t i = 0; i < g; ++i)
        if (*src.U16At(end + 2 + kEntrySize * i) > kLastGpsTag)
            return 0;
    return static_cast<uint32_t>(end);
}

} // namespace

bool RelocateExifIntoTiff(std::vector<uint8_t>& file, const uint8_t* block, size_t size)
{
    if (!block)
        return false;
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    const ByteReader src(std::span<const uint8_t>(block, size));
    const ByteReader dst(file);
    const auto fileMagic = dst.At(0, 8);
    if (!fileMagic || std::memcmp(fileMagic->data(), "II*\0", 4) != 0)
        return false;
    uint32_t exif = 0, gps = 0;
    bool headless = false;
    const auto blockMagic = src.At(0, 8);
    if (blockMagic && std::memcmp(blockMagic->data(), "II*\0", 4) == 0) {
        const uint32_t ifd0 = *src.U32At(4);
        const uint16_t n0 = src.U16At(ifd0).value_or(0);
        if (!src.Fits(ifd0, 2) || !src.WithinLimit(n0, kMaxEntries) || !src.Fits(ifd0 + 2ull, kEntrySize * n0))
            return false;
        for (uint16_t i = 0; i < n0; ++i) {
            const uint64_t e = ifd0 + 2ull + kEntrySize * i;
            const uint16_t tag = *src.U16At(e);
            if (tag == kExifPointer)
                exif = *src.U32At(e + 8);
            else if (tag == kGpsPointer)
                gps = *src.U32At(e + 8);
        }
    } else {
        headless = true;
        gps = FindHeadlessGps(src);
    }
    // The file's own first directory.
    const uint32_t fileIfd = *dst.U32At(4);
    const uint16_t fn = DirectoryCount(dst, fileIfd, true);
    if (fn == 0)
        return false;
    std::vector<uint8_t> out = file;
    std::map<uint16_t, std::vector<uint8_t>> entries;
    for (uint16_t i = 0; i < fn; ++i) {
        const uint64_t e = fileIfd + 2ull + kEntrySize * i;
        const std::span<const uint8_t> entry = *dst.At(e, kEntrySize);
        entries[*dst.U16At(e)].assign(entry.begin(), entry.end());
    }
    const uint32_t next = *dst.U32At(fileIfd + 2ull + kEntrySize * fn);
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
