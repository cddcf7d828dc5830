#include "platform/archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Store(const std::string& s)
{
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        ar << s;
    }
    return f.Data();
}

std::string Load(std::vector<uint8_t> bytes)
{
    CMemFile f(std::move(bytes));
    CArchive ar(&f, CArchive::load);
    std::string s;
    ar >> s;
    return s;
}

} // namespace

TEST(ArchiveString, PrefixFormsByLength)
{
    struct Row {
        size_t length;
        std::vector<uint8_t> prefix;
    };
    const Row rows[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Row& r : rows) {
        std::string s(r.length, 'x');
        auto bytes = Store(s);
        ASSERT_EQ(bytes.size(), r.prefix.size() + r.length) << r.length;
        EXPECT_TRUE(std::equal(r.prefix.begin(), r.prefix.end(), bytes.begin())) << r.length;
        EXPECT_EQ(Load(bytes), s) << r.length;
    }
}

TEST(ArchiveString, WideMarkerReadsAsUtf8)
{
    // 0xFF 0xFFFE marker, length 2, then "é€" in UTF-16LE.
    std::vector<uint8_t> bytes{0xFF, 0xFE, 0xFF, 0x02, 0xE9, 0x00, 0xAC, 0x20};
    EXPECT_EQ(Load(bytes), "\xC3\xA9\xE2\x82\xAC");
}

TEST(ArchiveString, LengthPastTheEndFailsBeforeAllocating)
{
    // Claims 4 GiB of text in a 7-byte file.
    std::vector<uint8_t> bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF};
    try {
        Load(bytes);
        FAIL() << "no exception";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
    }
}

TEST(ArchiveNumbers, LittleEndianRoundTrip)
{
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        ar << uint8_t(0x12) << uint16_t(0x3456) << uint32_t(0x789ABCDE) << int32_t(-2) << 1.5f << 2.25;
    }
    const std::vector<uint8_t> expect{0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78, 0xFE, 0xFF, 0xFF, 0xFF};
    ASSERT_GE(f.Data().size(), expect.size());
    EXPECT_TRUE(std::equal(expect.begin(), expect.end(), f.Data().begin()));

    f.SeekToBegin();
    CArchive ar(&f, CArchive::load);
    uint8_t a; uint16_t b; uint32_t c; int32_t d; float e; double g;
    ar >> a >> b >> c >> d >> e >> g;
    EXPECT_EQ(a, 0x12); EXPECT_EQ(b, 0x3456); EXPECT_EQ(c, 0x789ABCDEu); EXPECT_EQ(d, -2);
    EXPECT_EQ(e, 1.5f); EXPECT_EQ(g, 2.25);
    uint8_t extra;
    EXPECT_THROW(ar >> extra, CArchiveException);
}

TEST(ArchiveMode, WrongDirectionThrows)
{
    CMemFile f;
    CArchive ar(&f, CArchive::load);
    EXPECT_THROW(ar << uint32_t(1), CArchiveException);
}

TEST(ArchiveLoad, FieldsAcrossBlocksAndLargeReadsComeInOrder)
{
    // Small fields around a blob larger than the archive's block, so that
    // reads straddle blocks and one goes past the block to the file.
    std::vector<uint8_t> blob(CArchive::kBlockBytes * 2 + 123);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<uint8_t>(i * 7);
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        for (uint32_t i = 0; i < 20000; ++i)
            ar << i;
        ar << std::string("between");
        ar << static_cast<uint32_t>(blob.size());
        ar.Write(blob.data(), blob.size());
        ar << std::string("after");
    }
    f.SeekToBegin();
    CArchive ar(&f, CArchive::load);
    for (uint32_t i = 0; i < 20000; ++i) {
        uint32_t v = 0;
        ar >> v;
        ASSERT_EQ(v, i);
    }
    EXPECT_EQ(ar.RemainingBytes(), f.GetLength() - 20000 * 4);
    std::string s;
    ar >> s;
    EXPECT_EQ(s, "between");
    uint32_t count = 0;
    ar >> count;
    std::vector<uint8_t> back;
    ar.ReadBytes(back, count);
    EXPECT_EQ(back, blob);
    ar >> s;
    EXPECT_EQ(s, "after");
    EXPECT_EQ(ar.RemainingBytes(), 0u);
}

// Into a plain vector and into a read buffer (which leaves what it grows by
// unset until the read fills it) alike; the old contents go, longer or shorter.
TEST(ArchiveLoad, ByteCountPastTheEndFailsBeforeAllocating)
{
    auto check = [](auto out) {
        CMemFile f(std::vector<uint8_t>{1, 2, 3, 4, 5});
        CArchive ar(&f, CArchive::load);
        try {
            ar.ReadBytes(out, uint64_t(1) << 40);
            FAIL() << "no exception";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
        }
        ar.ReadBytes(out, 3);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), (std::vector<uint8_t>{1, 2, 3}));
        ar.ReadBytes(out, 1);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), (std::vector<uint8_t>{4}));
        EXPECT_THROW(ar.ReadBytes(out, 2), CArchiveException);
    };
    check(std::vector<uint8_t>{9});
    check(ReadBuffer(7, 9));
}

// Skipping lands where reading the same bytes would: inside the block read
// ahead, past it, and to the very end; a count past the end fails unmoved.
TEST(ArchiveLoad, SkipPassesOverBytesAsReadingThemWould)
{
    const size_t size = CArchive::kBlockBytes * 3 + 17;
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + i / 256);
    const struct {
        uint64_t first, skip;
    } rows[] = {{4, 10}, {4, CArchive::kBlockBytes * 2}, {0, size - 1}, {CArchive::kBlockBytes + 3, 5}};
    for (const auto& r : rows) {
        CMemFile f(bytes);
        CArchive ar(&f, CArchive::load);
        std::vector<uint8_t> head;
        ar.ReadBytes(head, r.first);
        ar.Skip(r.skip);
        uint8_t next = 0;
        ar >> next;
        EXPECT_EQ(next, bytes[r.first + r.skip]) << r.first << "+" << r.skip;
        EXPECT_EQ(ar.RemainingBytes(), size - r.first - r.skip - 1);
        EXPECT_THROW(ar.Skip(ar.RemainingBytes() + 1), CArchiveException);
        EXPECT_NO_THROW(ar.Skip(ar.RemainingBytes()));
        EXPECT_EQ(ar.RemainingBytes(), 0u);
    }
}

TEST(MemFile, WritesPastTheEndLeaveZerosAndAttachedBytesReadFromTheStart)
{
    CMemFile f;
    f.Write("ab", 2);
    f.Seek(4, CFile::begin);
    f.Write("c", 1);
    EXPECT_EQ(f.Data(), (std::vector<uint8_t>{'a', 'b', 0, 0, 'c'}));
    f.Seek(1, CFile::begin);
    f.Write("XYZ", 3);
    EXPECT_EQ(f.Data(), (std::vector<uint8_t>{'a', 'X', 'Y', 'Z', 'c'}));
    f.Attach({'q', 'r'});
    EXPECT_EQ(f.GetPosition(), 0u);
    char two[2];
    EXPECT_EQ(f.Read(two, 2), 2u);
    EXPECT_EQ(std::string(two, 2), "qr");
}
