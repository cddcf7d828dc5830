#include "message/byte_tables.h"
#include "message/message_version.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>

TEST(MessageByteTables, WriteTableIsAPermutationAndReadIsItsInverse)
{
    MessageByteTables t = MakeMessageByteTables();
    std::set<int> seen(t.write.begin(), t.write.end());
    EXPECT_EQ(seen.size(), 256u);
    int fixedPoints = 0;
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(t.read[t.write[b]], b);
        EXPECT_EQ(t.write[t.read[b]], b);
        fixedPoints += t.write[b] == b;
    }
    // A substitution that leaves text readable would be no substitution.
    EXPECT_LT(fixedPoints, 8);
}

TEST(MessageByteTables, AnyNibblePermutationsGiveAnInvertibleTable)
{
    std::array<uint8_t, 16> identity{};
    std::iota(identity.begin(), identity.end(), 0);
    std::array<uint8_t, 16> reversed{};
    for (int i = 0; i < 16; ++i)
        reversed[i] = static_cast<uint8_t>(15 - i);
    for (const auto& [hi, lo] : {std::pair{identity, identity}, std::pair{reversed, identity}, std::pair{identity, reversed}}) {
        ByteTable w = BuildWriteTable(hi, lo);
        ByteTable r = InvertTable(w);
        std::vector<uint8_t> data(256);
        std::iota(data.begin(), data.end(), 0);
        ApplyByteTable(w, data.data(), data.size());
        ApplyByteTable(r, data.data(), data.size());
        for (int b = 0; b < 256; ++b)
            ASSERT_EQ(data[b], b);
    }
}

TEST(MessageVersion, ParsesToHundredths)
{
    const std::pair<const char*, int> rows[] = {
        {"1.51", 151}, {"1.5", 150}, {"1.50", 150}, {"1.0", 100}, {"1", 100}, {"1.01", 101},
        {"1.2", 120},  {"1.20", 120}, {"1.1", 110}, {" 1.3x", 130}, {"", 0}, {"abc", 0},
        {"-1.2", -120}, {"1.015", 102}, {"1.014", 101}, {"99999999999", 21474835 * 100},
    };
    for (const auto& [text, want] : rows)
        EXPECT_EQ(msgver::Parse(text), want) << text;
    EXPECT_EQ(msgver::Parse(msgver::kCurrentText), msgver::kCurrent);
}

TEST(MessageByteTables, SubstitutionForLongRunsMatchesTheTable)
{
    // The message tables take the nibble road; a table that is no pair of
    // nibble permutations takes entry by entry. Lengths around the 16-byte step.
    const MessageByteTables message = MakeMessageByteTables();
    ByteTable shuffled{};
    for (int b = 0; b < 256; ++b)
        shuffled[b] = static_cast<uint8_t>((b * 167 + 13) & 0xFF);
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31 + 7);
    const ByteTable* tables[] = {&message.write, &message.read, &shuffled};
    for (const ByteTable* table : tables) {
        const CByteSubstitution substitution(*table);
        for (size_t size : {0u, 1u, 15u, 16u, 17u, 33u, 1000u}) {
            std::vector<uint8_t> want(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
            ApplyByteTable(*table, want.data(), want.size());
            std::vector<uint8_t> got(size, 0);
            substitution.Apply(data.data(), got.data(), size);
            ASSERT_EQ(got, want) << size;
            std::vector<uint8_t> inPlace(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
            substitution.Apply(inPlace.data(), inPlace.data(), size);
            ASSERT_EQ(inPlace, want) << size;
        }
    }
}
