// Thumbnails come from the cheapest source that has one: the companion file
// of TIFF and raw pictures, the Exif thumbnail, a fitted decode, a placeholder.
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/jpeg_codec.h"
#include "imaging/thumbnail_maker.h"
#include "support/exif_thumbnail_block.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

const std::string kImporters = std::string(QR_BIN_DIR) + "/Importer/*.gim";
const std::string kExporters = std::string(QR_BIN_DIR) + "/Exporter/*.gex";

std::vector<uint8_t> Jpeg(int w, int h, uint8_t grey)
{
    std::vector<uint8_t> rows(static_cast<size_t>(w) * 3 * h, grey), out;
    size_t n = 0;
    JpegEncode(rows.data(), 11, false, w, h, 90, 72, 72, 0, nullptr, 0, nullptr, 0, out, &n, nullptr,
               static_cast<size_t>(w) * 3);
    return out;
}

std::vector<uint8_t> ExifWithThumbnail(int w, int h) { return qrtest::ExifBlockWithThumbnail(Jpeg(w, h, 200)); }

void Save(const std::string& path, int w, int h, const std::vector<uint8_t>& exif = {})
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(w, h), 11));
    image.Fill(90);
    CImageExporter exporter(kExporters);
    exporter.Export(path, image, exif.empty() ? nullptr : exif.data(), static_cast<uint32_t>(exif.size()), nullptr, 0,
                    nullptr, 0, exif.empty());
}

CSize Thumbnail(const std::string& path)
{
    CThumbnailMaker maker(kImporters);
    CDibBitmap bmp;
    EXPECT_TRUE(maker.MakeThumbnail(path, bmp));
    return bmp.GetSize();
}

} // namespace

TEST(Thumbnails, SourcesInOrder)
{
    qrtest::TempDir dir;
    Save((dir / "landscape.png").string(), 640, 480);
    Save((dir / "portrait.png").string(), 480, 640);
    Save((dir / "small.png").string(), 100, 50);
    Save((dir / "camera.jpg").string(), 640, 480, ExifWithThumbnail(80, 60));
    qrtest::WriteBytes(dir / "camera.THM", Jpeg(32, 24, 10)); // never asked for a JPEG
    Save((dir / "scan.tif").string(), 640, 480);
    qrtest::WriteBytes(dir / "scan.thm", Jpeg(48, 36, 10)); // any case of the extension
    // A JFIF segment in front of the Exif segment, as most editors leave it:
    // the Exif thumbnail still serves, not a decode of the picture.
    std::vector<uint8_t> jfif = qrtest::ReadBytes(dir / "camera.jpg");
    const uint8_t kJfif[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 72, 0, 72, 0, 0};
    jfif.insert(jfif.begin() + 2, std::begin(kJfif), std::end(kJfif));
    qrtest::WriteBytes(dir / "jfif_camera.jpg", jfif);
    qrtest::WriteBytes(dir / "broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0});
    struct Row {
        const char* file;
        CSize size;
    };
    const Row rows[] = {
        {"landscape.png", {120, 90}},
        {"portrait.png", {120, 160}},
        {"small.png", {100, 50}},
        {"camera.jpg", {80, 60}},
        {"jfif_camera.jpg", {80, 60}},
        {"scan.tif", {48, 36}},
        {"broken.jpg", {64, 64}},
        {"missing.gif", {64, 64}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Thumbnail((dir / r.file).string()), r.size) << r.file;

    CThumbnailMaker maker(kImporters);
    CDibBitmap placeholder;
    maker.MakeThumbnail((dir / "missing.gif").string(), placeholder);
    EXPECT_EQ(placeholder.GetPixel(10, 10), RGB(0, 0, 0));
}

TEST(Thumbnails, OversizedCompanionIsNotRead)
{
    qrtest::TempDir dir;
    Save((dir / "big.tif").string(), 64, 48);
    std::vector<unsigned char> huge = Jpeg(16, 16, 1);
    huge.resize(5u << 20, 0);
    qrtest::WriteBytes(dir / "big.THM", huge);
    EXPECT_EQ(Thumbnail((dir / "big.tif").string()), CSize(64, 48));
}
