#include "imaging/image_info_set.h"

#include "util/reg_settings.h"
#include "util/string_util.h"
#include "imaging/exif_file.h"
#include "imaging/exif_text_formatter.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "resources/string_table.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using exiftest::Tag;
using exiftest::TiffBuilder;

namespace {

class InfoSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        LoadInfoItemSettings();
    }
    void TearDown() override { SetRegistryStore(nullptr); }

    // The text of the camera item whose key is given.
    static std::string TextOf(const CImageInfoSet& set, const std::string& key)
    {
        std::vector<std::string> keys;
        std::vector<UINT> ids;
        set.ListItems(keys, ids, 1);
        const auto it = std::find(keys.begin(), keys.end(), key);
        return it == keys.end() ? "<not listed>" : set.GetItemText(ids[it - keys.begin()]);
    }

    qrtest::TempDir dir;
    CRegistryStore store{dir.path(), dir / "machine"};
    CExifTextFormatter formatter;
};

} // namespace

TEST(InfoItemDefinition, FieldsOfADefinition)
{
    struct Row {
        const char* text;
        bool valid;
        std::vector<WORD> tags;
    };
    const Row rows[] = {
        {"Flash\t9209", true, {0x9209}},
        {"Date\t9003\t132", true, {0x9003, 0x132}},
        {"Key only", false, {}},
        {"Key\t", false, {}},
        {" ", false, {}},
        {"\t110", false, {0x110}},
        {"Odd\tZZ\t110", true, {0x110}},
        {"Big\t10000", false, {}},
    };
    for (const Row& r : rows) {
        InfoItemDefinition def;
        EXPECT_EQ(ParseInfoItemDefinition(r.text, def), r.valid) << r.text;
        if (r.valid) {
            EXPECT_EQ(def.tags, r.tags) << r.text;
        }
    }
    // Every camera item of the string table is a real one.
    for (UINT id = kExifItemFirst; id <= kMakerItemLast; ++id) {
        if (id > kExifItemLast && id < kMakerItemFirst)
            continue;
        InfoItemDefinition def;
        EXPECT_TRUE(GetInfoItemDefinition(id, def)) << id;
    }
}

TEST(InfoItemDefinition, PlainValuesOfEveryType)
{
    TiffBuilder b(true);
    const uint32_t main = b.Dir({{34665, 4, {0}}});
    b.SetField(main, 34665,
               b.Dir({{0x100, 1, {}, "\xFE"},
                      {0x101, 2, {}, std::string("Camera\0junk", 11), 6},
                      {0x102, 3, {65535}},
                      {0x103, 4, {0xFFFFFFFF}},
                      {0x104, 10, {0xFFFFFFFD, 4}},
                      {0x105, 6, {}, "\xFE"},
                      {0x106, 7, {}, "a"},
                      {0x107, 8, {0xFFFE}},
                      {0x108, 9, {0xFFFFFFFE}},
                      {0x109, 5, {3, 4}}}));
    CMemFile file(b.Tiff());
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&file, kExifTiff), 0);
    const std::pair<WORD, const char*> rows[] = {
        {0x100, "254"}, {0x101, "Camera"}, {0x102, "65535"}, {0x103, "4294967295"}, {0x104, "-3/4"},
        {0x105, "-2"},  {0x106, "Undefined"}, {0x107, "-2"}, {0x108, "-2"}, {0x109, "3/4"},
    };
    for (auto [tag, text] : rows) {
        const CExifEntry* e = exif.FindEntry(tag, 0, kSubAny);
        ASSERT_NE(e, nullptr) << tag;
        EXPECT_EQ(FormatTagValue(*e, 0), text) << tag;
        EXPECT_EQ(FormatTagValue(*e, 1), e->m_type == 2 ? text : "") << tag; // no second value to read
    }
}

TEST_F(InfoSetTest, CameraItemsOfAPhotograph)
{
    CExifInfoSet exif(&formatter);
    CMakerInfoSet maker(&formatter);
    BYTE makerByte = 0xAB;
    WORD makerWord = 0xABCD;
    ASSERT_TRUE(QueryImageFileInfo(qrtest::DataPath("exif_intel.jpg").string(), exif, maker, &makerByte, &makerWord));
    EXPECT_TRUE(exif.IsValid());
    EXPECT_TRUE(maker.IsValid());
    const std::pair<const char*, std::string> rows[] = {
        {"Maker", "Quiram Test"},
        {"Model", "QT-1"},
        {"Exposure Time", "1/125 sec."},
        {"F-Number", "F2.8"},
        {"ISO Speed", "200"},
        {"Light Source", "Daylight"},
        {"X Resolution", "300"},
        {"Resolution Unit", "inches"},
        {"Date Taken", FormatDateTimeLocaleYmdHms(2024, 5, 6, 7, 8, 9)},
        {"Exif Version", "Ver.0220"},
        {"Comment", "Hello from the camera"},
        {"Flash", ""},
    };
    for (const auto& [key, text] : rows)
        EXPECT_EQ(TextOf(exif, key), text) << key;
    EXPECT_TRUE(exif.GetProfile().HasData());
    // The file has no maker note: the outputs stay as they were.
    EXPECT_EQ(makerByte, 0xAB);
    EXPECT_EQ(makerWord, 0xABCD);
    EXPECT_EQ(exif.GetItemKey(kExifItemComment), "Comment");

    // Without a formatter every value shows plainly.
    CExifInfoSet plain(nullptr);
    ASSERT_TRUE(QueryImageFileInfo(qrtest::DataPath("exif_motorola.jpg").string(), plain, maker, nullptr, nullptr));
    EXPECT_EQ(TextOf(plain, "Exposure Time"), "1/125");
    EXPECT_EQ(TextOf(plain, "Model"), "QT-1");

    // A phone's photograph with its JFIF segment first.
    ASSERT_TRUE(QueryImageFileInfo(qrtest::DataPath("jfif_camera_apple_iphone4s.jpg").string(), exif, maker, nullptr,
                                   nullptr));
    EXPECT_EQ(TextOf(exif, "Maker"), "Apple");
    EXPECT_EQ(TextOf(exif, "Model"), "iPhone 4S");
}

TEST_F(InfoSetTest, TagsTriedInOrderAndTheCommentTrimmed)
{
    // DateTime (306) and a DateTimeOriginal stored without a value: the
    // second tag of "Date Taken" shows; a comment of trailing blanks loses
    // them; an ISO speed of no values shows nothing, not a made-up 0.
    TiffBuilder b(false);
    const uint32_t main = b.Dir({{306, 2, {}, std::string("2001:02:03 04:05:06\0", 20)}, {34665, 4, {0}}});
    b.SetField(main, 34665,
               b.Dir({{34855, 3, {}, "", 0}, {36867, 2, {}, "", 0}, {37510, 7, {}, std::string("ASCII\0\0\0Note   ", 15)}}));
    const auto path = dir / "only_datetime.tif";
    qrtest::WriteBytes(path, b.Tiff());
    CExifInfoSet exif(&formatter);
    CMakerInfoSet maker(&formatter);
    ASSERT_TRUE(QueryImageFileInfo(path.string(), exif, maker, nullptr, nullptr));
    EXPECT_EQ(exif.GetItemText(kExifItemDateTaken), FormatDateTimeLocaleYmdHms(2001, 2, 3, 4, 5, 6));
    EXPECT_EQ(exif.GetItemText(kExifItemComment), "Note");
    EXPECT_EQ(TextOf(exif, "ISO Speed"), "");
    EXPECT_FALSE(exif.GetProfile().HasData());
    // An item whose tags are all missing is there, with an empty text; the
    // 35 mm length is left out altogether.
    EXPECT_EQ(TextOf(exif, "Flash"), "");
    EXPECT_EQ(TextOf(exif, "Focal Length (35 mm)"), "");
    exif.SetItemText(kExifItemComment, "Changed ");
    EXPECT_EQ(exif.GetItemText(kExifItemComment), "Changed");
}

TEST_F(InfoSetTest, FilesThatGiveNoInformation)
{
    CExifInfoSet exif(&formatter);
    CMakerInfoSet maker(&formatter);
    ASSERT_TRUE(QueryImageFileInfo(qrtest::DataPath("exif_intel.jpg").string(), exif, maker, nullptr, nullptr));
    // A BMP is refused before any opening (this one does not even exist), and
    // every failure leaves both sets empty.
    const auto broken = dir / "broken.jpg";
    qrtest::WriteBytes(broken, {0xFF, 0xD8, 0xFF, 0xD9});
    for (const std::string& path : {(dir / "photo.bmp").string(), (dir / "missing.jpg").string(), broken.string()}) {
        EXPECT_FALSE(QueryImageFileInfo(path, exif, maker, nullptr, nullptr)) << path;
        EXPECT_FALSE(exif.IsValid());
        EXPECT_FALSE(maker.IsValid());
        EXPECT_EQ(exif.GetItemText(7001), "");
    }
}

TEST_F(InfoSetTest, DisplayGroupsFromTheSettings)
{
    RegWriteInt(IDS_REG_PREFERENCE, "Flash", 2);
    LoadInfoItemSettings();
    CExifInfoSet exif(&formatter);
    std::vector<std::string> keys;
    std::vector<UINT> ids;
    exif.ListItems(keys, ids, 1);
    EXPECT_EQ(keys.size(), 34u); // an item without a stored value is in group 1
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "Flash"), 0);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    keys.clear();
    ids.clear();
    exif.ListItems(keys, ids, 2);
    EXPECT_EQ(keys, std::vector<std::string>{"Flash"});
    EXPECT_EQ(ids, std::vector<UINT>{7011});

    CMakerInfoSet maker(&formatter);
    keys.clear();
    ids.clear();
    maker.ListItems(keys, ids, 1);
    EXPECT_EQ(ids, (std::vector<UINT>{7500, 7501, 7502, 7503}));

    SaveInfoItemSettings();
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "Flash", 0), 2);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "Model", 0), 1);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "Maker Value 0104", 0), 1);
}

TEST_F(InfoSetTest, FileItems)
{
    const auto path = dir / "holiday.jpg";
    qrtest::WriteBytes(path, std::vector<unsigned char>(2048, 0));
    CFileInfoSet file(640, 480, 24);
    EXPECT_FALSE(file.IsValid());
    file.SetName(path.string());
    EXPECT_TRUE(file.IsValid());
    std::vector<std::string> labels;
    std::vector<UINT> ids;
    file.ListItems(labels, ids, 5);
    EXPECT_EQ(ids, (std::vector<UINT>{6136, 6138, 6133, 6135, 6241, 6242, 6243}));
    EXPECT_EQ(labels[0], "Name");
    EXPECT_EQ(labels[4], " ");
    EXPECT_EQ(file.GetItemText(6136), "holiday.jpg");
    EXPECT_EQ(file.GetItemText(6138), "2 KB");
    EXPECT_FALSE(file.GetItemText(6133).empty());
    EXPECT_EQ(file.GetItemText(6241), "640 Pixels");
    EXPECT_EQ(file.GetItemText(6242), "480 Pixels");
    EXPECT_EQ(file.GetItemText(6243), "8");
    EXPECT_EQ(file.GetItemText(7000), "");
}
