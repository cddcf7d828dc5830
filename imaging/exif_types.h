#pragma once

#include <cstdint>

// Bytes of one value of a TIFF field type: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG,
// 5 RATIONAL, 6 SBYTE, 7 UNDEFINED, 8 SSHORT, 9 SLONG, 10 SRATIONAL, 11 FLOAT,
// 12 DOUBLE; 0 for any other. The plug-ins that relocate Exif data share it.
constexpr unsigned ExifTypeUnitSize(uint16_t type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}
