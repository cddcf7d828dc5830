#include "message/byte_tables.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Fixed for good: every message file ever written depends on these.
constexpr std::array<uint8_t, 16> kHighNibbles = {0x9, 0x4, 0xE, 0x1, 0xB, 0x7, 0x0, 0xC,
                                                  0x5, 0xF, 0x2, 0x8, 0xD, 0x3, 0xA, 0x6};
constexpr std::array<uint8_t, 16> kLowNibbles = {0x6, 0xB, 0x3, 0xD, 0x0, 0x9, 0xF, 0x4,
                                                 0xA, 0x1, 0xC, 0x7, 0x2, 0xE, 0x5, 0x8};

} // namespace

ByteTable BuildWriteTable(const std::array<uint8_t, 16>& high, const std::array<uint8_t, 16>& low)
{
    // The low nibble of a byte picks the high nibble of its substitute and the
    // other way round, so neither half of a byte stays in place.
    ByteTable t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<uint8_t>((high[b & 0x0F] << 4) | low[b >> 4]);
    return t;
}

ByteTable InvertTable(const ByteTable& table)
{
    ByteTable inv{};
    for (int b = 0; b < 256; ++b)
        inv[table[b]] = static_cast<uint8_t>(b);
    return inv;
}

MessageByteTables MakeMessageByteTables()
{
    MessageByteTables t;
    t.write = BuildWriteTable(kHighNibbles, kLowNibbles);
    t.read = InvertTable(t.write);
    return t;
}

void ApplyByteTable(const ByteTable& table, uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        data[i] = table[data[i]];
}

namespace {

void ApplyByEntries(const ByteTable& table, const uint8_t* from, uint8_t* to, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        to[i] = table[from[i]];
}

#if defined(__x86_64__)
// Two 16-entry lookups a byte, sixteen bytes at a time (SSSE3's byte shuffle).
__attribute__((target("ssse3"))) size_t ApplyByNibbles(const uint8_t* high, const uint8_t* low, const uint8_t* from,
                                                        uint8_t* to, size_t size)
{
    const __m128i highTable = _mm_load_si128(reinterpret_cast<const __m128i*>(high));
    const __m128i lowTable = _mm_load_si128(reinterpret_cast<const __m128i*>(low));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i lowNibbles = _mm_and_si128(v, nibble);
        const __m128i highNibbles = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
        const __m128i r = _mm_or_si128(_mm_shuffle_epi8(highTable, lowNibbles), _mm_shuffle_epi8(lowTable, highNibbles));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), r);
    }
    return i;
}

bool HasByteShuffle()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

CByteSubstitution::CByteSubstitution(const ByteTable& table) : m_table(table)
{
    for (int n = 0; n < 16; ++n) {
        m_high[n] = table[n] & 0xF0;
        m_low[n] = table[n << 4] & 0x0F;
    }
    m_byNibbles = true;
    for (int b = 0; b < 256 && m_byNibbles; ++b)
        m_byNibbles = table[b] == (m_high[b & 0x0F] | m_low[b >> 4]);
}

void CByteSubstitution::Apply(const uint8_t* from, uint8_t* to, size_t size) const
{
    size_t done = 0;
#if defined(__x86_64__)
    if (m_byNibbles && HasByteShuffle())
        done = ApplyByNibbles(m_high, m_low, from, to, size);
#endif
    ApplyByEntries(m_table, from + done, to + done, size - done);
}
