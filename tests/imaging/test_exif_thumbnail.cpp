#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/exif_thumbnail.h"
#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"
#include "platform/gcc_warnings.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

using exiftest::Tag;
using exiftest::TiffBuilder;

TEST(ExifThumbnail, UncompressedStripComesOutBottomUpBgrWithoutShearing)
{
    // 5 pixels a row: 15 bytes in the strip, 16 in the bitmap.
    const int w = 5, h = 3;
    std::vector<BYTE> strip;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            strip.insert(strip.end(), {BYTE(10 * x), BYTE(100 + y), BYTE(200 + x + y)});
    for (bool big : {false, true}) {
        TiffBuilder b(big);
        uint32_t d0 = b.Dir({{271, 2, {}, "Make"}});
        uint32_t at = b.Blob(strip);
        b.SetNext(d0, b.Dir({{256, 3, {uint64_t(w)}}, {257, 3, {uint64_t(h)}}, {259, 3, {1}}, {262, 3, {2}},
                             {273, 4, {at}}, {279, 4, {strip.size()}}}));
        CMemFile mem(b.Tiff());
        CExifFile exif;
        exif.Attach(&mem, kExifTiff);
        CDibBitmap bitmap;
        ASSERT_EQ(exif.GetThumbnail(bitmap), 1);
        ASSERT_EQ(bitmap.GetBitsPerPixel(), 24);
        ASSERT_EQ(bitmap.GetSize(), CSize(w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const BYTE* s = &strip[size_t(y * w + x) * 3];
                EXPECT_EQ(bitmap.GetPixel(x, y), RGB(s[0], s[1], s[2])) << x << "," << y;
            }
        // The first stored row is the picture's last, blue first.
        const BYTE* last = &strip[size_t((h - 1) * w) * 3];
        EXPECT_EQ(bitmap.GetBits()[0], last[2]);
        EXPECT_EQ(bitmap.GetBits()[2], last[0]);
    }
}

TEST(ExifThumbnail, JpegThumbnailAndFailures)
{
    CMemFile mem(qrtest::ReadBytes(qrtest::DataPath("exif_motorola.jpg")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&mem, kExifJpeg), 0);
    CDibBitmap bitmap;
    ASSERT_EQ(exif.GetThumbnail(bitmap), 1);
    EXPECT_EQ(bitmap.GetSize(), CSize(8, 6));

    // A thumbnail directory that claims more than the file holds gives nothing.
    TiffBuilder b(false);
    uint32_t d0 = b.Dir({{271, 2, {}, "Make"}});
    b.SetNext(d0, b.Dir({{259, 3, {6}}, {513, 4, {8}}, {514, 4, {0xFFFFFFF0u}}}));
    CMemFile bad(b.Tiff());
    CExifFile broken;
    broken.Attach(&bad, kExifTiff);
    EXPECT_EQ(broken.GetThumbnail(bitmap), 0);
    EXPECT_FALSE(bitmap.IsValid());
}

TEST(ExifThumbnail, MakerPreviewFixesACopy)
{
    auto thumb = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    CMemFile src(thumb);
    CExifFile camera;
    ASSERT_EQ(camera.Attach(&src, kExifJpeg), 0);
    int kind;
    DWORD size;
    ASSERT_EQ(camera.GetThumbnailInfo(kind, size), 0);
    std::vector<BYTE> preview(size);
    ASSERT_EQ(camera.ReadJpegThumbnail(preview.data(), preview.size()), 0);
    preview[0] = 0x00; // as cameras store it

    for (const char* version : {"VRK0", "vrk0"}) {
        // Maker note: version and a preview (tag 128), Motorola order.
        TiffBuilder b(true);
        uint32_t mainDir = b.Dir({{271, 2, {}, "Make"}, {34665, 4, {0}}});
        const uint32_t exifAt = static_cast<uint32_t>(b.Tiff().size() + (b.Tiff().size() & 1));
        const uint32_t noteAt = exifAt + 2 + 12 + 4;
        std::vector<BYTE> note(2 + 24 + 4, 0);
        note[1] = 2;
        note[3] = 0; note[5] = 7; note[9] = 4; std::memcpy(&note[10], version, 4);
        note[14] = 0; note[15] = 128; note[17] = 7;
        note[18] = BYTE(preview.size() >> 24); note[19] = BYTE(preview.size() >> 16);
        note[20] = BYTE(preview.size() >> 8); note[21] = BYTE(preview.size());
        const uint32_t valueAt = noteAt + uint32_t(note.size());
        note[22] = BYTE(valueAt >> 24); note[23] = BYTE(valueAt >> 16); note[24] = BYTE(valueAt >> 8); note[25] = BYTE(valueAt);
        note.insert(note.end(), preview.begin(), preview.end());
        uint32_t exifDir = b.Dir({{37500, 7, {}, std::string(note.begin(), note.end())}});
        ASSERT_EQ(exifDir, exifAt);
        b.SetField(mainDir, 34665, exifDir);
        CMemFile mem(b.Tiff());
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&mem, kExifTiff), 0);
        ASSERT_NE(exif.FindEntry(128, 0, kSubMaker), nullptr) << version;
        CDibBitmap bitmap;
        EXPECT_EQ(exif.GetMakerPreview(bitmap), std::string(version) == "VRK0" ? TRUE : FALSE);
        EXPECT_EQ(bitmap.IsValid(), std::string(version) == "VRK0");
        EXPECT_EQ(exif.FindEntry(128, 0, kSubMaker)->m_value[0], 0x00); // the entry is left as read
    }
}

TEST(ExifThumbnail, MadeThumbnailIsCentredOnWhite)
{
    struct Case { CSize picture; CRect inside; };
    const Case cases[] = {
        {{320, 120}, {0, 30, 160, 90}},  // wide: bands above and below
        {{40, 120}, {60, 0, 100, 120}},  // tall and small: enlarged, bands left and right
    };
    for (const Case& c : cases) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, c.picture, PixelType::Bgr24));
        for (int y = 0; y < c.picture.cy; ++y) {
            BYTE* row = image.GetRowPointer(y);
            for (int x = 0; x < c.picture.cx; ++x) {
                row[3 * x] = 0; row[3 * x + 1] = 0; row[3 * x + 2] = 255; // red
            }
        }
        CMemFile out;
        CSize size;
        const DWORD n = MakeExifThumbnail(image, size, out);
        ASSERT_GT(n, 0u);
        EXPECT_EQ(out.GetLength(), n);
        EXPECT_EQ(size, CSize(160, 120));
        CDibBitmap decoded;
        ASSERT_TRUE(JpegDecodeToDibSection(out.Data().data(), out.Data().size(), decoded));
        ASSERT_EQ(decoded.GetSize(), CSize(160, 120));
        auto near = [](COLORREF a, COLORREF b) {
            return std::abs(GetRValue(a) - GetRValue(b)) < 40 && std::abs(GetGValue(a) - GetGValue(b)) < 40 &&
                   std::abs(GetBValue(a) - GetBValue(b)) < 40;
        };
        EXPECT_TRUE(near(decoded.GetPixel(c.inside.CenterPoint().x, c.inside.CenterPoint().y), RGB(255, 0, 0)));
        EXPECT_TRUE(near(decoded.GetPixel(2, 2), c.inside.left == 0 && c.inside.top == 0 ? RGB(255, 0, 0)
                                                                                         : RGB(255, 255, 255)));
        EXPECT_TRUE(near(decoded.GetPixel(157, 117), RGB(255, 255, 255)));
        BITMAPINFOHEADER header{};
        ASSERT_TRUE(JpegReadHeader(out.Data().data(), out.Data().size(), &header));
        EXPECT_EQ(header.biXPelsPerMeter, 5668); // header fields as the layer fills them
    }
    CImageBuffer empty;
    CMemFile out;
    CSize size;
    EXPECT_EQ(MakeExifThumbnail(empty, size, out), 0u);
    EXPECT_EQ(out.GetLength(), 0u);
}

// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
TEST(ExifThumbnail, SavedBlockWithMadeThumbnailReadsInExiftool)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    CMemFile src(qrtest::ReadBytes(qrtest::DataPath("exif_intel.tif")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&src, kExifTiff), 0);
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(64, 48), PixelType::Bgr24));
    CMemFile thumb;
    CSize size;
    const DWORD n = MakeExifThumbnail(image, size, thumb);
    ASSERT_GT(n, 0u);
    CMemFile block;
    DWORD written = 0;
    ASSERT_EQ(exif.WriteExif(&block, written, thumb.Data().data(), n, 64, 48, 160, 120, 0, -1), 0);
    auto picture = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    const size_t oldEnd = 4 + (size_t(picture[4]) << 8 | picture[5]);
    std::vector<BYTE> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, BYTE((written + 2) >> 8), BYTE(written + 2)};
    jpeg.insert(jpeg.end(), block.Data().begin(), block.Data().end());
    jpeg.insert(jpeg.end(), picture.begin() + static_cast<ptrdiff_t>(oldEnd), picture.end());
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "t.jpg", jpeg);
    EXPECT_EQ(exiftest::ValidationErrors(dir / "t.jpg"), "");
    EXPECT_EQ(exiftest::Exiftool(dir / "t.jpg", "ThumbnailLength"), std::to_string(n));
    EXPECT_EQ(exiftest::Exiftool(dir / "t.jpg", "Model"), "QT-1");
    EXPECT_EQ(exiftest::Exiftool(dir / "t.jpg", "ExifImageWidth"), "64");
}
QR_GCC_IGNORE_END
