// The TIFF writer's relocation of a picture's Exif block into the file it
// wrote. The block comes from the source picture. The first byte picks the
// file image: a small file as the writer makes it, or (odd) one taken from
// the input, whose next two bytes give its length.
#include "plugins/tiff/exif_relocate.h"
#include "platform/byte_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// One grey pixel in an Intel-order TIFF: header, a directory of eight entries, the pixel.
std::vector<uint8_t> WrittenFile()
{
    std::vector<uint8_t> f{'I', 'I', 42, 0, 8, 0, 0, 0};
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// GCC 12 sees a copy past the end in its own vector insertion that cannot happen.
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    auto put16 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8)}); };
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    const uint32_t entries = 8, pixel = 8 + 2 + 12 * entries + 4;
    const uint32_t tags[][3] = {{256, 3, 1}, {257, 3, 1}, {258, 3, 8}, {259, 3, 1},
                                {262, 3, 1}, {273, 4, pixel}, {278, 3, 1}, {279, 4, 1}};
    put16(entries);
    for (const auto& t : tags) {
        put16(t[0]);
        put16(t[1]);
        put32(1);
        if (t[1] == 3) {
            put16(t[2]);
            put16(0);
        } else {
            put32(t[2]);
        }
    }
    put32(0);
    f.push_back(0x80);
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::vector<uint8_t> file = WrittenFile();
    const uint8_t* block = data + 1;
    size_t blockSize = size - 1;
    if ((data[0] & 1) && size >= 3) {
        const size_t length = std::min<size_t>(size_t(data[1]) | size_t(data[2]) << 8, size - 3);
        file.assign(data + 3, data + 3 + length);
        block = data + 3 + length;
        blockSize = size - 3 - length;
    }
    const std::vector<uint8_t> before = file;
    if (!qrplugin::RelocateExifIntoTiff(file, block, blockSize)) {
        if (file != before)
            std::abort(); // a refused block leaves the file as it was
        return 0;
    }
    // The file grew behind what it held, and its first directory now stands
    // at the end, whole, with the pointer entries in it.
    if (file.size() <= before.size() || !std::equal(before.begin() + 8, before.end(), file.begin() + 8))
        std::abort();
    ByteReader r(file);
    const uint32_t first = r.U32At(4).value_or(0);
    const uint16_t count = r.U16At(first).value_or(0);
    if (first < before.size() || count == 0 || first + 2ull + 12ull * count + 4 != file.size())
        std::abort();
    return 0;
}
