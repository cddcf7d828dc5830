#pragma once

#include <cstdint>

// A photograph stand-in for the benchmarks: gradients with fine noise. Fills
// one row (y from the top) of a width x height picture, three bytes a pixel;
// noise carries the generator from row to row.
inline void FillPhotoRow(uint8_t* row, int y, int width, int height, uint32_t& noise)
{
    for (int x = 0; x < width; ++x) {
        noise = noise * 1103515245u + 12345u;
        row[x * 3] = static_cast<uint8_t>(x * 255 / width);
        row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / height);
        row[x * 3 + 2] = static_cast<uint8_t>((x + y) / 40 + (noise >> 28));
    }
}
