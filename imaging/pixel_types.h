#pragma once

#include <cstdint>

// The one vocabulary of pixel layouts shared by image buffers, the plug-in
// interface and the JPEG encoder. Codes are stored in files and handed to
// plug-ins, so their numbers never change.
namespace PixelType {
enum : int {
    Palette1 = 1,    // 1-bit index
    Palette2 = 2,    // 2-bit index
    Palette3 = 3,    // 3-bit index
    Palette4 = 4,    // 4-bit index
    Palette5 = 5,    // 5-bit index
    Palette6 = 6,    // 6-bit index
    Palette7 = 7,    // 7-bit index
    Palette8 = 8,    // 8-bit index
    Bgr555 = 9,      // one 16-bit word, 5 bits per channel, stored (DIB) order
    Grey16 = 10,     // 16-bit grey
    Bgr24 = 11,      // blue, green, red bytes (DIB order)
    Bgr24Alt = 12,   // blue, green, red bytes, inverted channels when made a DIB
    Bgr48 = 13,      // three 16-bit samples, stored order
    Grey8 = 14,      // 8-bit grey
    Rgb555 = 15,     // one 16-bit word, 5 bits per channel, swapped order
    Rgb24 = 16,      // red, green, blue bytes
    Rgb24Alt = 17,   // red, green, blue bytes, inverted channels when made a DIB
    Rgb48 = 18,      // three 16-bit samples, swapped order
    Word16 = 19,     // a 16-bit word per pixel (not held by the image buffer)
    Cmyk32 = 20,     // four 8-bit samples
};
}

struct PixelTypeInfo {
    int samples;         // samples per pixel
    int bitsPerSample;
    int paletteEntries;  // 0: no palette
    int dibBitCount;     // bits per pixel of the matching DIB, 0 when there is none
};

// Facts of a pixel type code; all zero for a code outside 1..20.
constexpr PixelTypeInfo GetPixelTypeInfo(int type)
{
    constexpr PixelTypeInfo table[21] = {
        {0, 0, 0, 0},
        {1, 1, 2, 1},    {1, 2, 4, 4},    {1, 3, 8, 4},    {1, 4, 16, 4},
        {1, 5, 32, 8},   {1, 6, 64, 8},   {1, 7, 128, 8},  {1, 8, 256, 8},
        {3, 5, 0, 16},   {1, 16, 0, 8},   {3, 8, 0, 24},   {3, 8, 0, 24},
        {3, 16, 0, 24},  {1, 8, 0, 8},    {3, 5, 0, 16},   {3, 8, 0, 24},
        {3, 8, 0, 24},   {3, 16, 0, 24},  {0, 0, 0, 0},    {4, 8, 0, 0},
    };
    return type >= 1 && type <= 20 ? table[type] : table[0];
}

constexpr bool IsKnownPixelType(int type) { return type >= 1 && type <= 20; }
