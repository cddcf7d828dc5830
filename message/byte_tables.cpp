#include "message/byte_tables.h"

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
