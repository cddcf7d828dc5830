#include "platform/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::span<const uint8_t> Span(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(ByteReader, NumbersInEitherOrder)
{
    const std::vector<uint8_t> bytes{0x01, 0x02, 0x03, 0x04, 0xFE, 0xFF, 0xFF, 0xFF};
    ByteReader le(bytes);
    EXPECT_FALSE(le.BigEndian());
    EXPECT_EQ(le.U16(), 0x0201);
    EXPECT_EQ(le.U16(), 0x0403);
    EXPECT_EQ(le.I32(), -2);
    EXPECT_EQ(le.Remaining(), 0u);

    ByteReader be(bytes, true);
    EXPECT_EQ(be.U32(), 0x01020304u);
    EXPECT_EQ(be.I16(), int16_t(-257));
    EXPECT_EQ(be.U16At(0), 0x0102);
    EXPECT_EQ(be.U32At(4), 0xFEFFFFFFu);
    EXPECT_TRUE(be.Ok());
}

TEST(ByteReader, ShortReadsFailAndKeepTheFirstCause)
{
    const std::vector<uint8_t> bytes{1, 2, 3};
    ByteReader r(bytes);
    EXPECT_TRUE(r.Require(true));
    EXPECT_FALSE(r.U32());
    EXPECT_EQ(r.Position(), 0u);  // a failed read does not move
    EXPECT_EQ(r.Error(), ByteReadError::Truncated);
    EXPECT_FALSE(r.Require(false, ByteReadError::Malformed));
    EXPECT_EQ(r.Error(), ByteReadError::Truncated);
    EXPECT_EQ(r.U16(), 0x0201);  // what is there can still be read

    struct Row {
        const char* what;
        bool (*read)(ByteReader&);
    } rows[] = {
        {"skip", [](ByteReader& x) { return x.Skip(4); }},
        {"seek", [](ByteReader& x) { return x.SeekTo(4); }},
        {"take", [](ByteReader& x) { return x.Take(4).has_value(); }},
        {"view at", [](ByteReader& x) { return x.At(1, 3).has_value(); }},
        {"view at a wrapping offset", [](ByteReader& x) { return x.At(UINT64_MAX, 2).has_value(); }},
        {"16 bits at the end", [](ByteReader& x) { return x.U16At(2).has_value(); }},
        {"32 bits at a wrapping offset", [](ByteReader& x) { return x.U32At(UINT64_MAX - 1).has_value(); }},
    };
    for (const Row& row : rows) {
        ByteReader x(bytes);
        EXPECT_FALSE(row.read(x)) << row.what;
        EXPECT_EQ(x.Error(), ByteReadError::Truncated) << row.what;
    }
    ByteReader exact(bytes);
    EXPECT_TRUE(exact.SeekTo(3));
    EXPECT_TRUE(exact.Take(0).has_value());
    EXPECT_TRUE(exact.Ok());
}

TEST(ByteReader, LimitsAllowTheLimitAndRefuseOnePast)
{
    ByteReader r;
    EXPECT_TRUE(r.WithinLimit(256, 256));
    EXPECT_TRUE(r.Ok());
    EXPECT_FALSE(r.WithinLimit(257, 256));
    EXPECT_EQ(r.Error(), ByteReadError::OverLimit);
}

TEST(ByteReader, ItemCountsAreCheckedWithoutWrapping)
{
    const std::vector<uint8_t> bytes(12);
    ByteReader r(bytes);
    EXPECT_TRUE(r.HasItems(3, 4));
    EXPECT_FALSE(r.HasItems(4, 4));
    EXPECT_FALSE(r.HasItems(UINT64_MAX / 2 + 1, 2));  // the product wraps to 0
    EXPECT_TRUE(r.HasItems(UINT64_MAX, 0));
    EXPECT_TRUE(r.Ok());  // asking is not failing
}

TEST(ByteReader, TextsEndedByZeroOrNewline)
{
    const std::string zeros("ab\0\0c", 5), text("one\r\n\ntwo");
    ByteReader z(Span(zeros));
    EXPECT_EQ(z.ZString(), "ab");
    EXPECT_EQ(z.ZString(), "");
    EXPECT_FALSE(z.ZString());  // "c" has no terminator
    EXPECT_EQ(z.Error(), ByteReadError::Truncated);
    EXPECT_EQ(z.Position(), 4u);

    ByteReader lines(Span(text));
    EXPECT_EQ(lines.Line(), "one\r");
    EXPECT_EQ(lines.Line(), "");
    EXPECT_EQ(lines.Line(), "two");
    EXPECT_FALSE(lines.Line());
    EXPECT_TRUE(lines.Ok());
    ByteReader empty;
    EXPECT_FALSE(empty.Line());
    EXPECT_FALSE(empty.ZString());
}

} // namespace
