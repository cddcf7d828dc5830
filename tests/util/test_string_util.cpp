#include "util/string_util.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Characters of one, two, three and four bytes.
const std::string kE = "\xC3\xA9";             // é
const std::string kHyo = "\xE8\xA1\xA8";       // 表
const std::string kSmile = "\xF0\x9F\x98\x80"; // 😀

TEST(StringUtil, CharLenAtTakesWholeSequences)
{
    struct Case {
        std::string text;
        size_t offset;
        size_t len;
    } cases[] = {
        {"a", 0, 1},
        {kE, 0, 2},
        {kHyo, 0, 3},
        {kSmile, 0, 4},
        {kHyo.substr(0, 2), 0, 1}, // cut short: its lead byte stands alone
        {"\xA8", 0, 1},            // a lone continuation byte
        {"\xFF" "a", 0, 1},
        {"\xC3" "a", 0, 1},        // lead byte without its continuation
        {"a", 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharLenAt(c.text, c.offset), c.len) << testing::PrintToString(c.text) << " @" << c.offset;
}

TEST(StringUtil, CountingAndIndexing)
{
    EXPECT_EQ(CountChars("a" + kHyo + kSmile + "\xFF"), 4u);
    EXPECT_EQ(CountChars(""), 0u);

    struct Case {
        std::string text;
        size_t n;
        size_t byteIndex; // ByteIndexAfterChars(text, n)
    } after[] = {
        {"ab", 5, 5}, {"ab", 1, 1}, {"ab", 0, 0}, {kHyo, 1, 3}, {kHyo + "a", 2, 4}, {"", 3, 3}, {kSmile + kE, 1, 4},
    };
    for (const Case& c : after)
        EXPECT_EQ(ByteIndexAfterChars(c.text, c.n), c.byteIndex) << testing::PrintToString(c.text) << " n=" << c.n;

    struct Count {
        std::string text;
        size_t offset;
        size_t chars; // CharCountInBytes(text, offset)
    } counts[] = {
        {kHyo + "a", 1, 2}, // inside the first character: the whole count
        {kHyo + "a", 3, 1},
        {kHyo + "a", 0, 0},
        {kHyo + "a", 4, 2}, // at the end: no character starts there
        {"", 0, 0},
        {"abc", 2, 2},
    };
    for (const Count& c : counts)
        EXPECT_EQ(CharCountInBytes(c.text, c.offset), c.chars) << testing::PrintToString(c.text) << " @" << c.offset;
}

TEST(StringUtil, TruncateToCharsNeverLeavesHalfACharacter)
{
    struct Case {
        std::string text;
        size_t max;
        std::string left;
        size_t count;
    } cases[] = {
        {"a" + kHyo, 1, "a", 1},
        {kHyo + kHyo, 1, kHyo, 1},
        {kSmile + kSmile + kSmile, 2, kSmile + kSmile, 2},
        {"abc", 5, "abc", 3},
        {"abc", 0, "", 0},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(TruncateToChars(text, c.max), c.count);
        EXPECT_EQ(text, c.left);
    }
}

TEST(StringUtil, SplitString)
{
    struct Case {
        std::string text;
        std::string separators;
        bool skipEmpty;
        bool quotes;
        std::vector<std::string> items;
    } cases[] = {
        {"a,,b", ",", false, false, {"a", "", "b"}},
        {"a,,b", ",", true, false, {"a", "b"}},
        {"a,b,", ",", false, false, {"a", "b"}},
        {",a", ",", false, false, {"", "a"}},
        {"\"x,y\",z", ",", false, true, {"x,y", "z"}},
        {"\"x,y\",z", ",", false, false, {"\"x", "y\"", "z"}},
        {"a b;c", " ;", false, false, {"a", "b", "c"}},
        {kHyo + "," + kE, ",", false, false, {kHyo, kE}},
        {"", ",", false, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out{"kept"};
        SplitString(c.text, out, c.separators, c.skipEmpty, c.quotes);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.items.begin(), c.items.end());
        EXPECT_EQ(out, expected) << c.text;
    }

    std::vector<std::string> out{"old"};
    SplitAtChar("a;;b", out, ';', false);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "", "b"}));
}

TEST(StringUtil, JoinAndRemove)
{
    EXPECT_EQ(JoinStrings({}, ';'), "");
    EXPECT_EQ(JoinStrings({"a"}, ';'), "a");
    EXPECT_EQ(JoinStrings({"a", "", "b"}, ';'), "a;;b");

    std::string quoted = "\"/home/" + kHyo + "/a b\"";
    RemoveCharAll(quoted, '"');
    EXPECT_EQ(quoted, "/home/" + kHyo + "/a b");
}

TEST(StringUtil, FormatWithStringsFillsInOrder)
{
    EXPECT_EQ(FormatWithStrings("Unable to open file \"%s\".", {"/a/b"}), "Unable to open file \"/a/b\".");
    EXPECT_EQ(FormatWithStrings("%s into %s", {"a", "b"}), "a into b");
    // A "%s" inside a file name is the name's own text.
    EXPECT_EQ(FormatWithStrings("%s into %s", {"%s", "b"}), "%s into b");
    EXPECT_EQ(FormatWithStrings("no slot", {"a"}), "no slot");
    EXPECT_EQ(FormatWithStrings("%s and %s", {"a"}), "a and %s");
}

TEST(StringUtil, JisToShiftJis)
{
    struct Case {
        std::string jis;
        std::string sjis;
    } cases[] = {
        // あ (JIS 24 22) between ASCII, back to ASCII by ESC ( B.
        {"a\x1B$B\x24\x22\x1B(Bz", "a\x82\xA0z"},
        // Odd row: ideographic space 21 21 -> 81 40; a trail that lands on 7F moves to 80.
        {"\x1B$B\x21\x21\x21\x60\x1B(B", "\x81\x40\x81\x80"},
        // Even row: 亜 30 21 -> 88 9F; rows past 5E take the E0 lead range.
        {"\x1B$B\x30\x21\x60\x21\x1B(J", "\x88\x9F\xE0\x9F"},
        // Plain ASCII, the last byte included.
        {"abc", "abc"},
        // Half a pair at the end is dropped; an escape at the end reads nothing beyond.
        {"\x1B$B\x24\x22\x24", "\x82\xA0"},
        {"ab\x1B", "ab"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JisToShiftJis(c.jis.data(), c.jis.size()), c.sjis) << testing::PrintToString(c.jis);

    // Only the given length is read.
    const char text[] = "\x1B$B\x24\x22\x24\x22";
    EXPECT_EQ(JisToShiftJis(text, 5), "\x82\xA0");
}

TEST(StringUtil, WideAndUtf8ConvertFully)
{
    const std::u16string wide = u"Caf\u00E9 \u8868 \U0001F600";
    const std::string utf8 = "Caf" + kE + " " + kHyo + " " + kSmile;
    EXPECT_EQ(WideBytesToString(wide.data(), wide.size() * 2), utf8);
    EXPECT_EQ(WideBytesToString(wide.data(), wide.size() * 2 + 1), utf8); // odd byte ignored
    EXPECT_EQ(WideBytesToString(nullptr, 4), "");

    // Long non-ASCII texts keep every character (paths of folders in Japanese are long).
    std::u16string longWide;
    std::string longUtf8;
    for (int i = 0; i < 300; ++i) {
        longWide += u"\u8868";
        longUtf8 += kHyo;
    }
    EXPECT_EQ(WideBytesToString(longWide.data(), longWide.size() * 2), longUtf8);

    std::vector<char16_t> buffer(400);
    ASSERT_EQ(AnsiToUnicode(longUtf8.c_str(), buffer.data(), buffer.size()), 300u);
    EXPECT_EQ(std::u16string(buffer.data(), 300), longWide);
    EXPECT_EQ(AnsiToUnicode(utf8.c_str(), buffer.data(), buffer.size()), wide.size());
    EXPECT_EQ(std::u16string(buffer.data(), wide.size()), wide);
    // Too small a buffer gives nothing rather than half a surrogate pair.
    EXPECT_EQ(AnsiToUnicode(kSmile.c_str(), buffer.data(), 1), 0u);
    EXPECT_EQ(AnsiToUnicode("", buffer.data(), 0), 0u);
}

TEST(StringUtil, FormatSizeSuffix)
{
    struct Case {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, " (0 B)"},
        {1023, " (1023 B)"},
        {1024, " (1 KB)"},
        {1048575, " (1023 KB)"},
        {1048576, " (1.0 MB)"},
        {1572864, " (1.5 MB)"},
        {5ull << 30, " (5120.0 MB)"}, // beyond 32 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatSizeSuffix(c.bytes), c.text) << c.bytes;
}

TEST(StringUtil, DateTimeValuesAndTexts)
{
    struct Case {
        int y, m, d, h, mi, s;
        bool valid;
    } cases[] = {
        {2024, 2, 29, 23, 59, 59, true}, {2023, 2, 29, 0, 0, 0, false}, {2026, 12, 31, 0, 0, 0, true},
        {2026, 13, 1, 0, 0, 0, false},   {2026, 1, 1, 24, 0, 0, false}, {99, 1, 1, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        COleDateTime t(c.y, c.m, c.d, c.h, c.mi, c.s);
        EXPECT_EQ(t.GetStatus() == COleDateTime::valid, c.valid) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(FormatDateTimeLocale(t, true, true).empty(), !c.valid);
    }
    EXPECT_EQ(FormatDateTimeLocale(COleDateTime(), true, true), "");
    EXPECT_EQ(COleDateTime(2026, 12, 10, 0, 0, 0).GetDayOfWeek(), 5); // a Thursday

    const QLocale locale;
    const std::string date = locale.toString(QDate(2024, 2, 29), QLocale::ShortFormat).toStdString();
    const std::string both = FormatDateTimeLocaleYmdHms(2024, 2, 29, 13, 5, 9);
    EXPECT_EQ(FormatDateTimeLocale(COleDateTime(2024, 2, 29, 13, 5, 9), true, false), date);
    ASSERT_EQ(both.rfind(date + " ", 0), 0u) << both;
    const std::string clock = FormatDateTimeLocale(COleDateTime(2024, 2, 29, 13, 5, 9), false, true);
    EXPECT_EQ(both, date + " " + clock);
    EXPECT_NE(clock.find("05"), std::string::npos) << clock;
    EXPECT_NE(clock.find("09"), std::string::npos) << clock; // seconds are shown

    SYSTEMTIME now = GetCurrentLocalTime();
    EXPECT_GE(now.wYear, 2020);
    EXPECT_EQ(COleDateTime(now).GetStatus(), COleDateTime::valid);
}

TEST(StringUtil, OsVersionIsTheKernels)
{
    DWORD major = 0, minor = 0;
    GetOsVersion(&major, &minor);
    EXPECT_GE(major, 3u);
    GetOsVersion(nullptr, nullptr); // either may be left out
}

} // namespace
