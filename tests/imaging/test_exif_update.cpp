#include "imaging/exif_file.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<BYTE> Utf16le(const std::u16string& s)
{
    std::vector<BYTE> out;
    for (char16_t c : s) {
        out.push_back(BYTE(c));
        out.push_back(BYTE(c >> 8));
    }
    return out;
}

short SetComment(const std::filesystem::path& path, int kind, int code, const std::vector<BYTE>& text)
{
    CFile file(path.string(), CFile::modeReadWrite);
    CExifFile exif;
    return exif.SetUserComment(&file, kind, code, text.data(), text.size());
}

ino_t Inode(const std::filesystem::path& p)
{
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_ino;
}

} // namespace

TEST(ExifUpdate, UserCommentInPlaceOrRebuilt)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    struct Case {
        const char* name;
        const char* fixture;
        int kind;
        int code;
        std::vector<BYTE> text;
        std::string expect; // as exiftool prints it
        bool inPlace;
    };
    const std::string longText(300, 'L');
    const Case cases[] = {
        {"shorter ascii in place", "exif_intel.jpg", kExifJpeg, 0, {'S', 'h', 'o', 'r', 't'}, "Short", true},
        {"same length rebuilt", "exif_intel.jpg", kExifJpeg, 0,
         std::vector<BYTE>(21, 'x'), std::string(21, 'x'), false},
        {"longer rebuilt", "exif_intel.jpg", kExifJpeg, 0, std::vector<BYTE>(longText.begin(), longText.end()),
         longText, false},
        {"unicode into motorola jpeg", "exif_motorola.jpg", kExifJpeg, 2, Utf16le(u"Grüße, neue Zeile 写真"),
         "Grüße, neue Zeile 写真", false},
        {"jfif first keeps its segment in front", "exif_jfif_first.jpg", kExifJpeg, 0,
         std::vector<BYTE>(longText.begin(), longText.end()), longText, false},
        {"tiff appends a directory", "exif_motorola.tif", kExifTiff, 0,
         std::vector<BYTE>(longText.begin(), longText.end()), longText, false},
        {"intel tiff, unicode", "exif_intel.tif", kExifTiff, 2, Utf16le(u"ÄÖÜ äöü"), "ÄÖÜ äöü", false},
    };
    for (const Case& c : cases) {
        qrtest::TempDir dir;
        const auto path = dir / (std::string("pic") + (c.kind == kExifJpeg ? ".jpg" : ".tif"));
        const auto before = qrtest::ReadBytes(qrtest::DataPath(c.fixture));
        qrtest::WriteBytes(path, before);
        chmod(path.c_str(), 0640);
        const ino_t oldInode = Inode(path);

        ASSERT_EQ(SetComment(path, c.kind, c.code, c.text), 0) << c.name;
        const auto after = qrtest::ReadBytes(path);
        EXPECT_EQ(exiftest::Exiftool(path, "UserComment"), c.expect) << c.name;
        EXPECT_EQ(exiftest::ValidationErrors(path), "") << c.name;
        EXPECT_EQ(exiftest::Exiftool(path, "Make"), "Quiram Test") << c.name;
        // A new file replaced the old one whole, keeping its permissions.
        EXPECT_NE(Inode(path), oldInode) << c.name;
        struct stat st {};
        stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << c.name;

        if (c.inPlace) {
            ASSERT_EQ(after.size(), before.size());
            size_t changed = 0;
            for (size_t i = 0; i < before.size(); ++i)
                changed += before[i] != after[i];
            EXPECT_LE(changed, 4 + 8 + c.text.size()) << c.name; // count field and value bytes only
        } else if (c.kind == kExifJpeg) {
            // Everything in front of the APP1 segment and behind it is unchanged.
            const auto was = FindExifSegment(before), is = FindExifSegment(after);
            ASSERT_TRUE(was && is) << c.name;
            EXPECT_EQ(is->marker, was->marker) << c.name;
            EXPECT_TRUE(std::equal(before.begin(), before.begin() + was->marker, after.begin())) << c.name;
            EXPECT_TRUE(std::equal(before.begin() + was->End(), before.end(), after.begin() + is->End(), after.end()))
                << c.name;
        } else {
            // The old structure stays but for the Exif pointer; the new
            // directory starts on an even offset behind it.
            ASSERT_GT(after.size(), before.size());
            size_t changed = 0;
            for (size_t i = 0; i < before.size(); ++i)
                changed += before[i] != after[i];
            EXPECT_LE(changed, 4u) << c.name;
            CFile file(path.string(), CFile::modeRead);
            CExifFile exif;
            ASSERT_EQ(exif.Attach(&file, kExifTiff), 0);
            const CExifEntry* first = exif.FindFirstEntry(0, kSubExif);
            EXPECT_GE(first->m_fileOffset, int64_t(before.size())) << c.name;
            EXPECT_EQ((first->m_fileOffset - 2) % 2, 0) << c.name;
        }

        // Our own reader reads the text back as it was given.
        CFile file(path.string(), CFile::modeRead);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&file, c.kind), 0) << c.name;
        int code = -1;
        auto text = exif.FindEntry(37510, 0, kSubExif)->GetUserComment(code);
        EXPECT_EQ(code, c.code) << c.name;
        ASSERT_TRUE(text);
        EXPECT_EQ(std::vector<BYTE>(text->begin(), text->end()), c.text) << c.name;
    }
}

TEST(ExifUpdate, UnicodeIsBigEndianInAMotorolaFile)
{
    qrtest::TempDir dir;
    const auto path = dir / "m.jpg";
    qrtest::WriteBytes(path, qrtest::ReadBytes(qrtest::DataPath("exif_motorola.jpg")));
    ASSERT_EQ(SetComment(path, kExifJpeg, 2, Utf16le(u"QZ")), 0);
    const auto bytes = qrtest::ReadBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(std::string("UNICODE\0\0Q\0Z", 12)), std::string::npos);
}

TEST(ExifUpdate, RefusalsLeaveTheFileAlone)
{
    const auto intel = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    struct Case { const char* name; std::vector<BYTE> bytes; int kind; int code; };
    const Case cases[] = {
        {"tiff without exif directory", qrtest::ReadBytes(qrtest::DataPath("exif_none.tif")), kExifTiff, 0},
        {"comment segment in front of the exif segment",
         exiftest::WithLeadingSegments(intel, {exiftest::Segment(0xFE, "note")}), kExifJpeg, 0},
        {"unknown character code", intel, kExifJpeg, 3},
        {"jpeg opened as tiff", intel, kExifTiff, 0},
    };
    for (const Case& c : cases) {
        qrtest::TempDir dir;
        const auto path = dir / "f";
        const auto& before = c.bytes;
        qrtest::WriteBytes(path, before);
        EXPECT_EQ(SetComment(path, c.kind, c.code, {'a', 'b', 'c'}), -1) << c.name;
        EXPECT_EQ(qrtest::ReadBytes(path), before) << c.name;
    }
}

TEST(ExifUpdate, ApplicationSegmentCannotOutgrowItsLength)
{
    qrtest::TempDir dir;
    const auto path = dir / "big.jpg";
    const auto before = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    qrtest::WriteBytes(path, before);
    std::vector<BYTE> huge(65000, 'h');
    EXPECT_EQ(SetComment(path, kExifJpeg, 0, huge), -1);
    EXPECT_EQ(qrtest::ReadBytes(path), before);
}

TEST(ExifUpdate, MemoryFileIsRewritten)
{
    CMemFile mem(qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg")));
    CExifFile writer;
    const std::string text = "A comment longer than the one the camera wrote";
    ASSERT_EQ(writer.SetUserComment(&mem, kExifJpeg, 0, reinterpret_cast<const BYTE*>(text.data()), text.size()), 0);
    CExifFile reader;
    ASSERT_EQ(reader.Attach(&mem, kExifJpeg), 0);
    int code = -1;
    EXPECT_EQ(reader.FindEntry(37510, 0, kSubExif)->GetUserComment(code), text);
    EXPECT_EQ(reader.GetColorProfile().size(), 580u); // the segments behind it survived
}

TEST(ExifUpdate, TiffWithoutTheTagGetsADirectoryOneLonger)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    exiftest::TiffBuilder b(true);
    uint32_t mainDir = b.Dir({{271, 2, {}, "Quiram Test"}, {34665, 4, {0}}});
    uint32_t exifDir = b.Dir({{36864, 7, {}, "0220"}, {40961, 3, {1}}});
    b.SetField(mainDir, 34665, exifDir);
    b.Blob({1, 2, 3}); // leaves the file at an odd length
    qrtest::TempDir dir;
    const auto path = dir / "t.tif";
    qrtest::WriteBytes(path, b.Tiff());
    ASSERT_EQ(b.Tiff().size() % 2, 1u);
    ASSERT_EQ(SetComment(path, kExifTiff, 0, {'n', 'e', 'w'}), 0);
    const auto after = qrtest::ReadBytes(path);
    // The old directory stays where it was; the new one has one entry more.
    EXPECT_TRUE(std::equal(b.Tiff().begin() + exifDir, b.Tiff().begin() + exifDir + 30, after.begin() + exifDir));
    CFile file(path.string(), CFile::modeRead);
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&file, kExifTiff), 0);
    EXPECT_EQ(exif.CountEntries(0, kSubExif), 3);
    const CExifEntry* first = exif.FindFirstEntry(0, kSubExif);
    EXPECT_EQ((first->m_fileOffset - 2) % 2, 0);
    EXPECT_GT(first->m_fileOffset, int64_t(b.Tiff().size()));
    int code = -1;
    EXPECT_EQ(exif.FindEntry(37510, 0, kSubExif)->GetUserComment(code), "new");
    EXPECT_EQ(exiftest::Exiftool(path, "UserComment"), "new");
}

TEST(ExifUpdate, RepeatedLongerCommentsDoNotPileUpDirectories)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    for (const char* fixture : {"exif_intel.jpg", "exif_motorola.tif"}) {
        const int kind = std::string(fixture).ends_with(".jpg") ? kExifJpeg : kExifTiff;
        qrtest::TempDir dir;
        const auto path = dir / "p";
        qrtest::WriteBytes(path, qrtest::ReadBytes(qrtest::DataPath(fixture)));
        ASSERT_EQ(SetComment(path, kind, 0, std::vector<BYTE>(100, 'a')), 0);
        const size_t first = qrtest::ReadBytes(path).size();
        ASSERT_EQ(SetComment(path, kind, 0, std::vector<BYTE>(200, 'b')), 0);
        const auto after = qrtest::ReadBytes(path);
        EXPECT_EQ(after.size(), first + 100) << fixture; // the value grew, no new directory
        EXPECT_EQ(exiftest::Exiftool(path, "UserComment"), std::string(200, 'b')) << fixture;
        EXPECT_EQ(exiftest::ValidationErrors(path), "") << fixture;
        ASSERT_EQ(SetComment(path, kind, 0, std::vector<BYTE>(51, 'c')), 0); // shorter again: in place
        EXPECT_EQ(qrtest::ReadBytes(path).size(), after.size()) << fixture;
        EXPECT_EQ(exiftest::Exiftool(path, "UserComment"), std::string(51, 'c')) << fixture;
    }
}
