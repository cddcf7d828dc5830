#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Pixels inside one row of any depth. Pixels of fewer than 8 bits follow one
// another as a bit stream, most significant bit first, as in a DIB.
namespace pixrow {

inline uint32_t GetBits(const uint8_t* row, uint64_t x, int bits)
{
    const uint64_t bit = x * static_cast<uint64_t>(bits);
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i) {
        const uint64_t b = bit + static_cast<uint64_t>(i);
        v = (v << 1) | ((row[b >> 3] >> (7 - (b & 7))) & 1u);
    }
    return v;
}

inline void SetBits(uint8_t* row, uint64_t x, int bits, uint32_t value)
{
    const uint64_t bit = x * static_cast<uint64_t>(bits);
    for (int i = 0; i < bits; ++i) {
        const uint64_t b = bit + static_cast<uint64_t>(i);
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (b & 7));
        if ((value >> (bits - 1 - i)) & 1u)
            row[b >> 3] |= mask;
        else
            row[b >> 3] &= static_cast<uint8_t>(~mask);
    }
}

// Copies count pixels of bitsPerPixel bits (15 counts as 16) from src at
// column sx to dst at column dx. The rows must not overlap.
inline void Copy(uint8_t* dst, uint64_t dx, const uint8_t* src, uint64_t sx, uint64_t count, int bitsPerPixel)
{
    const int bits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
    if (bits % 8 == 0) {
        const uint64_t bytes = static_cast<uint64_t>(bits / 8);
        std::memcpy(dst + dx * bytes, src + sx * bytes, count * bytes);
        return;
    }
    for (uint64_t i = 0; i < count; ++i)
        SetBits(dst, dx + i, bits, GetBits(src, sx + i, bits));
}

} // namespace pixrow
