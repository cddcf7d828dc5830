#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The byte substitution of message file bodies. Both programs build their
// tables from the same two nibble permutations, so a file written by one reads
// in the other; changing them would make every stored message unreadable.
using ByteTable = std::array<uint8_t, 256>;

struct MessageByteTables {
    ByteTable write; // applied to every body byte when saving
    ByteTable read;  // its exact inverse, applied when opening
};

// The tables of the message file, built afresh from the fixed permutations.
MessageByteTables MakeMessageByteTables();

// A writing table built from two 16-entry permutations of nibble values, and
// the inverse of any 256-entry permutation.
ByteTable BuildWriteTable(const std::array<uint8_t, 16>& high, const std::array<uint8_t, 16>& low);
ByteTable InvertTable(const ByteTable& table);

// Replaces every byte of data by its entry in the table.
void ApplyByteTable(const ByteTable& table, uint8_t* data, size_t size);

// A table made ready for long runs of bytes (a whole message body): the same
// substitution, done 16 bytes at a time where the processor allows it and the
// table is made of two nibble permutations, as the message tables are.
class CByteSubstitution {
public:
    explicit CByteSubstitution(const ByteTable& table);
    // Copies size bytes from from to to (which may be the same), each replaced.
    void Apply(const uint8_t* from, uint8_t* to, size_t size) const;

private:
    ByteTable m_table;
    // When every entry is high[b & 15] | low[b >> 4].
    alignas(16) uint8_t m_high[16];
    alignas(16) uint8_t m_low[16];
    bool m_byNibbles = false;
};
