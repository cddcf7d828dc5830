#pragma once

#include <cstdint>
#include <vector>

namespace qrtest {

// A small camera-like Exif block (APP1 content, Intel order) whose directory 1
// holds the given JPEG thumbnail: directory 0 at 8 (orientation, Exif
// pointer), the Exif directory at 38 (version), directory 1 at 56 with the
// thumbnail's three entries, its data at 98. Shared by tests and benchmarks.
inline std::vector<uint8_t> ExifBlockWithThumbnail(const std::vector<uint8_t>& thumb)
{
    std::vector<uint8_t> b{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto p16 = [&](uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto p32 = [&](uint32_t v) { p16(uint16_t(v)); p16(uint16_t(v >> 16)); };
    p16(2);
    p16(274); p16(3); p32(1); p32(1);
    p16(34665); p16(4); p32(1); p32(38);
    p32(56);
    p16(1);
    p16(36864); p16(7); p32(4); b.insert(b.end(), {'0', '2', '2', '0'});
    p32(0);
    p16(3);
    p16(259); p16(3); p32(1); p32(6);
    p16(513); p16(4); p32(1); p32(98);
    p16(514); p16(4); p32(1); p32(static_cast<uint32_t>(thumb.size()));
    p32(0);
    b.insert(b.end(), thumb.begin(), thumb.end());
    return b;
}

} // namespace qrtest
