#include "imaging/exif_file.h"
#include "platform/file.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

// An entry owned by a file of the given byte order, its value set raw.
struct Owned {
    CExifFile file;
    CExifEntry* entry;
    Owned(bool big, WORD type, DWORD count, std::vector<BYTE> raw = {}, WORD tag = 1)
    {
        // The byte order is the file's: give it one by writing a header and parsing.
        std::vector<BYTE> tiff = big ? std::vector<BYTE>{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0}
                                     : std::vector<BYTE>{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        CMemFile mem(tiff);
        file.Attach(&mem, kExifTiff);
        entry = file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubMain, tag, type, count));
        if (!raw.empty())
            entry->m_value = raw;
    }
};

} // namespace

TEST(ExifEntry, ValueSizeFollowsType)
{
    struct Case { WORD type; DWORD count; size_t size; };
    const Case cases[] = {{0, 5, 0}, {13, 5, 0}, {1, 3, 3}, {2, 20, 20}, {3, 2, 4}, {4, 2, 8}, {5, 2, 16},
                          {7, 9, 9}, {8, 1, 2}, {9, 1, 4}, {10, 1, 8}, {11, 1, 4}, {12, 1, 8}};
    for (const Case& c : cases) {
        CExifEntry e(nullptr, 0, 1, 1, c.type, c.count);
        EXPECT_EQ(e.GetDataSize(), c.size) << "type " << c.type;
        EXPECT_EQ(e.GetData() == nullptr, c.size == 0);
    }
}

TEST(ExifEntry, AccessorsConvertTheFileOrder)
{
    Owned mm(true, 3, 2, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(mm.entry->GetShort(1), 0x0304);
    EXPECT_EQ(mm.entry->GetLong(0), 0x0102u); // SHORT read as LONG, swapped
    Owned ii(false, 3, 2, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(ii.entry->GetLong(0), 0x0201u);

    // Out-of-range and negative indices give 0 and change nothing.
    EXPECT_EQ(mm.entry->GetShort(2), 0);
    EXPECT_EQ(mm.entry->GetShort(-1), 0);
    mm.entry->SetShort(7, 5);
    EXPECT_EQ(mm.entry->GetShort(0), 0x0102);

    Owned longs(true, 4, 1);
    longs.entry->SetLong(0xA1B2C3D4u, 0);
    EXPECT_EQ(longs.entry->m_value, (std::vector<BYTE>{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(longs.entry->EncodeIntel(), (std::vector<BYTE>{0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST(ExifEntry, SignedRationals)
{
    struct Case { int32_t n, d; DWORD en, ed; int sign; };
    const Case cases[] = {
        {-3, -4, 3, 4, 1},
        {3, -4, 3, 4, -1},
        {-3, 4, 3, 4, -1},
        {INT_MIN, 1, 2147483648u, 1, -1}, // magnitude taken without overflow
    };
    for (const Case& c : cases) {
        Owned o(true, 10, 1);
        o.entry->SetRational(DWORD(c.n), DWORD(c.d), 1, 0);
        DWORD n, d;
        int sign;
        o.entry->GetRational(n, d, sign, 0);
        EXPECT_EQ(n, c.en);
        EXPECT_EQ(d, c.ed);
        EXPECT_EQ(sign, c.sign);
    }
    Owned other(true, 4, 1);
    DWORD n = 9, d = 9;
    int sign = 9;
    other.entry->GetRational(n, d, sign, 0);
    EXPECT_EQ(n + d + DWORD(sign), 0u);
}

TEST(ExifEntry, SetCharWithNegativeIndexFillsAndTerminates)
{
    Owned twenty(false, 2, 20);
    twenty.entry->SetChar('x', -1);
    EXPECT_EQ(std::string(twenty.entry->m_value.begin(), twenty.entry->m_value.end()),
              std::string(19, 'x') + '\0');
    Owned one(false, 2, 1, {'q'});
    one.entry->SetChar('x', -1);
    EXPECT_EQ(one.entry->m_value, std::vector<BYTE>{0});
    Owned empty(false, 2, 0);
    empty.entry->SetChar('x', -1); // nothing to write, nothing written
    EXPECT_TRUE(empty.entry->m_value.empty());
}

TEST(ExifEntry, UserCommentCodes)
{
    struct Case { std::string value; int code; std::string text; };
    const Case cases[] = {
        {std::string("ASCII\0\0\0hi", 10), 0, "hi"},
        {std::string("JIS\0\0\0\0\0ab", 10), 1, "ab"},
        {std::string("UNICODE\0h\0", 10), 2, std::string("h\0", 2)},
        {std::string(8, '\0') + "x", 3, "x"},
        {std::string("ASCIIX\0\0x", 9), -1, ""},
        {std::string("ASCII", 5), -1, ""}, // shorter than the code itself
    };
    for (const Case& c : cases) {
        Owned o(false, 7, DWORD(c.value.size()), std::vector<BYTE>(c.value.begin(), c.value.end()));
        int code = 99;
        auto text = o.entry->GetUserComment(code);
        EXPECT_EQ(code, c.code) << c.value;
        EXPECT_EQ(text.has_value(), c.code >= 0);
        if (text) {
            EXPECT_EQ(*text, c.text);
        }
    }
}

TEST(ExifEntry, TextEndsAtTheFirstZeroByte)
{
    struct Case { std::string value; std::string text; };
    const Case cases[] = {
        {std::string("Model\0\0", 7), "Model"},
        {"Unterminated", "Unterminated"}, // a value that fills its count has no zero byte
        {std::string("\0later", 6), ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        Owned o(false, 2, DWORD(c.value.size()), std::vector<BYTE>(c.value.begin(), c.value.end()));
        EXPECT_EQ(o.entry->GetText(), c.text) << c.value;
    }
}

TEST(ExifEntry, DateTimeText)
{
    struct Case { std::string text; int v[6]; };
    const Case cases[] = {
        {"2024:05:06 07:08:09", {2024, 5, 6, 7, 8, 9}},
        {" 2003:01:02 03:04:05 ", {2003, 1, 2, 3, 4, 5}},
        {"2024/05/06", {2024, 0, 0, 0, 0, 0}}, // a slash stays in front: the rest is 0
        {"", {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> raw(c.text.begin(), c.text.end());
        raw.push_back(0);
        Owned o(false, 2, DWORD(raw.size()), raw);
        int v[6];
        o.entry->GetDateTime(v[0], v[1], v[2], v[3], v[4], v[5]);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(v[i], c.v[i]) << c.text << " field " << i;
    }
}

TEST(ExifFileList, InsertByTagAndFindAcrossSubDirectories)
{
    CExifFile file;
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubMain, 256, 3, 1));
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubMain, 271, 2, 4));
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubMain, 270, 2, 4));
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubMain, 700, 1, 4));
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 0, kSubGps, 2, 5, 3));
    file.InsertEntry(std::make_unique<CExifEntry>(&file, 1, kSubMain, 259, 3, 1));
    std::vector<WORD> order;
    for (const auto& e : file.GetEntries())
        order.push_back(e->m_tag);
    EXPECT_EQ(order, (std::vector<WORD>{256, 270, 271, 700, 2, 259}));
    EXPECT_EQ(file.FindEntry(2, 0, 0)->m_subDirectory, kSubGps);
    EXPECT_EQ(file.FindEntry(2, 0, kSubExif), nullptr);
    EXPECT_EQ(file.CountEntries(0, kSubMain), 4);
    EXPECT_EQ(file.FindLastEntryOfDirectory(0)->m_tag, 2);
    EXPECT_EQ(file.GetLastEntry()->m_tag, 259);
    file.RemoveEntry(file.FindEntry(270, 0, 1));
    EXPECT_EQ(file.CountEntries(0, kSubMain), 3);
}
