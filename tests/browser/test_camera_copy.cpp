// Camera copies: the camera's names, the template picture the program ships,
// and the Exif block a copy is given.
#include "browser/camera_copy.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/pixel_types.h"
#include "platform/file.h"
#include "resources/picture_resources.h"
#include "browser/browser_fixture.h"
#include "support/test_support.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string Text(const CExifFile& exif, WORD tag, WORD sub)
{
    const CExifEntry* e = exif.FindEntry(tag, 0, sub);
    if (!e)
        return "(none)";
    return e->GetText();
}

} // namespace

TEST(CameraCopyTest, OnlyPictAndFourDigitsWithJpgIsACameraName)
{
    const struct {
        const char* path;
        bool camera;
    } rows[] = {
        {"/card/PICT0012.JPG", true},   {"/card/pict0012.jpg", true}, {"PICT9999.Jpg", true},
        {"/card/PICT12.JPG", false},    {"/card/PICT0012.JPEG", false}, {"/card/PICT00123.JPG", false},
        {"/card/PICTA012.JPG", false},  {"/card/IMG_0012.JPG", false}, {"/PICT0012.JPG/photo.jpg", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(IsCameraName(r.path), r.camera) << r.path;
}

TEST(CameraCopyTest, TheNextNameFollowsTheSavedCopysNumberInItsFolder)
{
    EXPECT_EQ(NextCameraName("/card/DCIM/PICT0041.JPG"), "/card/DCIM/PICT0042");
    EXPECT_EQ(NextCameraName("/card/pict0099.jpg"), "/card/PICT0100");
}

TEST(CameraCopyTest, TheShippedTemplateIsWhatItsMakerMakes)
{
    qrtest::TempDir dir;
    const std::string made = (dir / "template.jpg").string();
    const QString maker = QStringLiteral(QR_TEST_BUILD_DIR "/resources/make-camera-template");
    ASSERT_EQ(QProcess::execute(maker, {QString::fromStdString(made)}), 0);
    const std::vector<uint8_t> shipped = res::BinaryResource("JPEG", kCameraTemplateId);
    ASSERT_FALSE(shipped.empty());
    EXPECT_EQ(qrtest::ReadBytes(made), shipped);
}

TEST(CameraCopyTest, ACopysExifBlockHasTheDatesThePlaybackMarkAndAThumbnail)
{
    CImageBuffer picture;
    std::vector<uint8_t> rows(size_t(64) * 3 * 48, 0x40);
    ASSERT_TRUE(picture.Create(CImageBuffer::kHeap, CSize(64, 48), PixelType::Bgr24, 1, rows.data()));
    const struct {
        const char* shot; // "" when the source says nothing
        int kind;
        bool written;
    } cases[] = {
        {"2019:05:04 10:11:12", kExifJpeg, true},
        {"", kExifJpeg, true},
        {"2019:05:04 10:11:12", kExifUnsupported, false},
    };
    for (const auto& c : cases) {
        CMemFile templ(res::BinaryResource("JPEG", kCameraTemplateId));
        CMemFile block;
        const std::string before = ExifDateNow();
        const DWORD size = BuildCameraExif(templ, block, picture, c.shot, c.kind);
        const std::string after = ExifDateNow();
        ASSERT_EQ(size > 0, c.written) << c.shot << " " << c.kind;
        if (!c.written)
            continue;
        // Read back as the Exif block of a JPEG file.
        std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t((size + 2) >> 8), uint8_t(size + 2)};
        bytes.insert(bytes.end(), block.Data().begin(), block.Data().end());
        CMemFile jpeg(bytes);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&jpeg, kExifJpeg), 0);
        for (auto [tag, sub] : {std::pair{WORD(306), kSubMain}, std::pair{WORD(36868), kSubExif}}) {
            const std::string now = Text(exif, tag, sub);
            EXPECT_TRUE(now >= before && now <= after) << tag << ": " << now;
        }
        const std::string taken = Text(exif, kTagDateTimeOriginal, kSubExif);
        if (*c.shot)
            EXPECT_EQ(taken, c.shot);
        else
            EXPECT_TRUE(taken >= before && taken <= after) << taken;
        const CExifEntry* playable = exif.FindEntry(0x0D00, 0, kSubMaker);
        ASSERT_NE(playable, nullptr);
        EXPECT_EQ(playable->GetByte(0), 1);
        // The maker note stands where the camera looks for it.
        const CExifEntry* note = exif.FindEntry(kTagMakerNote, 0, kSubExif);
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->m_valueOffset, 1148);
        EXPECT_EQ(Text(exif, 272, kSubMain), "Quiram Relayo");
        CDibBitmap thumbnail;
        ASSERT_EQ(exif.GetThumbnail(thumbnail), 1);
        EXPECT_EQ(thumbnail.GetSize(), CSize(160, 120));
    }

    // A template whose Exif block does not read gives no block.
    CMemFile plain(qrtest::JpegBytes(16, 12));
    CMemFile block;
    EXPECT_EQ(BuildCameraExif(plain, block, picture, "", kExifJpeg), 0u);
    EXPECT_EQ(block.GetLength(), 0u);
}
