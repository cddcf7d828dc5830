#pragma once

#include "platform/gdi/logfont.h"
#include "platform/types.h"

// The screen resolution in a bitmap header's dots per metre (3779).
inline constexpr LONG kPelsPerMeter96 = LONG(kScreenDpi * 10000 / 254);

// The records of the device-independent bitmap layout that pictures are
// exchanged in: bottom-up rows padded to 4 bytes, blue-green-red order.
// They are parsed and written field by field, never dumped as structs.

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
    bool operator==(const RGBQUAD&) const = default;
};

struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapInfoHeaderSize = 40;

// Bytes of one stored row: ((width x bits + 31) / 32) x 4, 15 bits counted as
// 16. In 64 bits so that no header can overflow it.
constexpr uint64_t DibRowBytes(int64_t width, int bitCount)
{
    const int64_t bits = bitCount == 15 ? 16 : bitCount;
    return width <= 0 || bits <= 0 ? 0 : static_cast<uint64_t>((width * bits + 31) / 32) * 4;
}
