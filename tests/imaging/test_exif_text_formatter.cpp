#include "imaging/exif_text_formatter.h"

#include "util/string_util.h"
#include "imaging/exif_file.h"
#include "platform/file.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>

#include <memory>

using exiftest::Tag;
using exiftest::TiffBuilder;

namespace {

// The tags as entries of a parsed Exif directory, in either byte order.
struct Parsed {
    explicit Parsed(const std::vector<Tag>& tags, bool big = false)
    {
        TiffBuilder b(big);
        const uint32_t main = b.Dir({{34665, 4, {0}}});
        b.SetField(main, 34665, b.Dir(tags));
        file = std::make_unique<CMemFile>(b.Tiff());
        EXPECT_EQ(exif.Attach(file.get(), kExifTiff), 0);
    }
    const CExifEntry& Entry(WORD tag) const
    {
        const CExifEntry* e = exif.FindEntry(tag, 0, kSubAny);
        EXPECT_NE(e, nullptr) << tag;
        return *e;
    }
    std::unique_ptr<CMemFile> file;
    CExifFile exif;
};

} // namespace

TEST(ExifTextFormatter, TagValuesAndTheirTexts)
{
    struct Row {
        Tag tag;
        const char* text;
    };
    const Row rows[] = {
        {{33434, 5, {1, 125}}, "1/125 sec."},
        {{33437, 5, {28, 10}}, "F2.8"},
        {{33437, 5, {28, 0}}, ""},                      // a zero denominator says nothing
        {{37377, 10, {7, 1}}, "1/128 sec."},             // APEX shutter speed
        {{37378, 5, {3, 1}}, "F2.8"},                    // APEX aperture
        {{37380, 10, {0xFFFFFFFE, 3}}, "-0.7 EV"},       // -2/3
        {{37385, 3, {0x19}}, "Flash fired, auto mode"},
        {{37383, 3, {5}}, "Pattern"},
        {{41987, 3, {1}}, "Manual white balance"},
        {{41989, 3, {28}}, "28 mm"},
        {{41989, 3, {0}}, ""},
        {{41989, 5, {35, 1}}, "35 mm"},                  // a rational 35 mm length
        {{37382, 5, {250, 100}}, "2.5 m"},               // SubjectDistance is a rational
        {{34855, 3, {40000}}, "40000"},                  // ISO past 32767 stays positive
        {{296, 3, {2}}, "inches"},
        {{282, 5, {300, 1}}, "300"},
        {{37122, 5, {12, 1}}, "50.00%"},
        {{37122, 5, {0, 0}}, ""},                        // 0/0 does not divide
        {{36864, 7, {}, "0220"}, "Ver.0220"},
        {{40960, 7, {}, "01"}, "Ver.01"},                // a short value is not read past
        {{40961, 3, {1}}, "sRGB"},
        {{40961, 3, {65535}}, "Uncalibrated"},
        {{37510, 7, {}, std::string("ASCII\0\0\0Hello  ", 16)}, "Hello  "},
        {{37510, 7, {}, std::string("UNKNOWN\0Hi", 10)}, ""},
    };
    for (bool big : {false, true}) {
        for (const Row& r : rows) {
            Parsed p({r.tag}, big);
            std::string text = "stale";
            EXPECT_TRUE(FormatExifValueText(p.Entry(r.tag.tag), text, "QT-1")) << r.tag.tag;
            EXPECT_EQ(text, r.text) << r.tag.tag << (big ? " big-endian" : " little-endian");
        }
    }
}

TEST(ExifTextFormatter, DatesCommentsAndUntextedTags)
{
    const std::u16string wide = u"Grüße 写真";
    std::string unicode("UNICODE\0", 8);
    unicode.append(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    std::string jis("JIS\0\0\0\0\0", 8);
    jis += "\x1B$B\x24\x22\x1B(B!"; // hiragana A, then '!'
    Parsed p({{256, 3, {640}},
              {306, 2, {}, std::string("2024:05:06 07:08:09\0", 20)},
              {37510, 7, {}, unicode}});
    std::string text;
    EXPECT_FALSE(FormatExifValueText(p.Entry(256), text, ""));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(FormatExifValueText(p.Entry(306), text, ""));
    EXPECT_EQ(text, FormatDateTimeLocaleYmdHms(2024, 5, 6, 7, 8, 9));
    EXPECT_TRUE(FormatExifValueText(p.Entry(37510), text, ""));
    EXPECT_EQ(text, "Grüße 写真");

    // A JIS comment, moved to its tag for the test.
    Parsed j({{37510, 7, {}, jis}});
    EXPECT_TRUE(FormatExifValueText(j.Entry(37510), text, ""));
    EXPECT_EQ(text, "あ!");

    // Entries of the thumbnail's directory get no text.
    TiffBuilder b(false);
    const uint32_t first = b.Dir({{34665, 4, {0}}});
    b.SetField(first, 34665, b.Dir({{282, 5, {72, 1}}}));
    b.SetNext(first, b.Dir({{33434, 5, {1, 60}}}));
    CMemFile file(b.Tiff());
    CExifFile two;
    ASSERT_EQ(two.Attach(&file, kExifTiff), 0);
    const CExifEntry* thumb = two.FindEntry(33434, 1, kSubAny);
    ASSERT_NE(thumb, nullptr);
    EXPECT_FALSE(FormatExifValueText(*thumb, text, ""));
}

TEST(ExifTextFormatter, MakerValues)
{
    Parsed p({{256, 4, {7}}, {257, 9, {0xFFFFFFFB}}, {258, 3, {60000}}, {259, 3, {1}}, {260, 5, {3, 4}}});
    CExifTextFormatter formatter;
    struct Row {
        WORD tag;
        bool formatted;
        const char* text;
    };
    for (const Row& r : {Row{256, true, "7"}, Row{257, true, "-5"}, Row{258, true, "60000"}, Row{259, false, ""},
                         Row{260, true, "3/4"}}) {
        std::string text = "stale";
        EXPECT_EQ(formatter.FormatMakerValue(p.Entry(r.tag), text, "QT-1"), r.formatted) << r.tag;
        EXPECT_EQ(text, r.text) << r.tag;
    }
}
