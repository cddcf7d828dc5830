#include "imaging/image_buffer.h"
#include "imaging/resample.h"

#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes of a row that hold pixels.
uint64_t UsedBytes(const CImageBuffer& image)
{
    const int bits = image.GetBitsPerPixel() == 15 ? 16 : image.GetBitsPerPixel();
    return (static_cast<uint64_t>(image.GetWidth()) * bits + 7) / 8;
}

// The pixel bits of every row from the top; bits after the last pixel are 0.
Bytes Rows(const CImageBuffer& image)
{
    const uint64_t used = UsedBytes(image);
    const int tail = static_cast<int>(image.GetWidth() * static_cast<uint64_t>(image.GetBitsPerPixel()) % 8);
    Bytes out;
    for (int y = 0; y < image.GetHeight(); ++y) {
        const BYTE* row = image.GetRowPointer(y);
        out.insert(out.end(), row, row + used);
        if (tail)
            out.back() &= static_cast<BYTE>(0xFF << (8 - tail));
    }
    return out;
}

// The image's rows from the top, given as the bytes each pixel row uses.
void SetRows(CImageBuffer& image, const Bytes& bytes)
{
    const uint64_t used = UsedBytes(image);
    ASSERT_EQ(bytes.size(), used * image.GetHeight());
    for (int y = 0; y < image.GetHeight(); ++y)
        std::memcpy(image.GetRowPointer(y), bytes.data() + y * used, used);
}

// Bytes of a picture where every byte differs from its neighbours.
void Scramble(CImageBuffer& image)
{
    const uint64_t used = UsedBytes(image);
    for (int y = 0; y < image.GetHeight(); ++y)
        for (uint64_t i = 0; i < used; ++i)
            image.GetRowPointer(y)[i] = static_cast<BYTE>((y * 131 + i * 29 + 7) & 0xFF);
}

} // namespace

TEST(ImageRaster, ResizeKeepsSameSizeAndResetsResolutionOtherwise)
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(4, 4), PixelType::Bgr24, 1, nullptr, nullptr, 300, 200));
    Scramble(image);
    const Bytes before = Rows(image);
    ASSERT_TRUE(image.Resize(4, 4, CImageBuffer::kBicubic));
    EXPECT_EQ(Rows(image), before);
    float x, y;
    image.GetResolution(&x, &y);
    EXPECT_EQ(x, 300.0f);
    ASSERT_TRUE(image.Resize(8, 2, CImageBuffer::kBilinear));
    image.GetResolution(&x, &y);
    EXPECT_EQ(x, 96.0f);
    EXPECT_EQ(y, 96.0f);
    EXPECT_EQ(image.GetSize(), CSize(8, 2));
    EXPECT_FALSE(image.Resize(8, 4, 2));
}

TEST(ImageRaster, BilinearWeighsTheFourNeighbours)
{
    struct Row {
        int type;
        CSize from, to;
        Bytes in, out;
    };
    const Row rows[] = {
        // Grey is one channel: 0 and 200 widened to four pixels.
        {PixelType::Grey8, {2, 1}, {4, 1}, {0, 200}, {0, 100, 200, 200}},
        // A 2 x 2 picture to 3 x 3: fractions of thirds, truncated.
        {PixelType::Grey8, {2, 2}, {3, 3}, {0, 90, 90, 180}, {0, 60, 90, 60, 120, 150, 90, 150, 180}},
        // 16-bit samples, little-endian.
        {PixelType::Grey16, {2, 1}, {4, 1}, {0, 0, 0x00, 0xC8}, {0, 0, 0x00, 0x64, 0x00, 0xC8, 0x00, 0xC8}},
        // Three channels move independently.
        {PixelType::Rgb24, {2, 1}, {4, 1}, {0, 40, 200, 200, 0, 40}, {0, 40, 200, 100, 20, 120, 200, 0, 40, 200, 0, 40}},
    };
    for (const Row& r : rows) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, r.from, r.type));
        SetRows(image, r.in);
        ASSERT_TRUE(image.Resize(r.to.cx, r.to.cy, CImageBuffer::kBilinear)) << r.type;
        EXPECT_EQ(Rows(image), r.out) << r.type;
    }
}

TEST(ImageRaster, BicubicEnlargementStaysInsideTheSource)
{
    // Rows of exactly 1920 bytes, so the last stored row ends the block: a
    // read past a row or past the buffer is caught by the address sanitizer.
    const struct {
        int type, width;
    } rows[] = {{PixelType::Bgr24, 640}, {PixelType::Grey8, 1920}, {PixelType::Bgr48, 320}};
    for (const auto& r : rows) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(r.width, 48), r.type));
        Scramble(image);
        CImageBuffer source(image);
        ASSERT_TRUE(image.Resize(r.width * 1024 / 640, 77, CImageBuffer::kBicubic)) << r.type;
        // At 1.6 times, target column 8 lies exactly on source column 5, and
        // target row 0 copies source row 0.
        const int bytes = image.GetBytesPerPixel();
        EXPECT_EQ(std::memcmp(image.GetRowPointer(0) + 8 * bytes, source.GetRowPointer(0) + 5 * bytes, bytes), 0)
            << r.type;
    }
}

TEST(ImageRaster, BicubicShrinkAndOnePixelSources)
{
    CImageBuffer wide;
    ASSERT_TRUE(wide.Create(CImageBuffer::kHeap, CSize(101, 37), PixelType::Rgb24));
    Scramble(wide);
    ASSERT_TRUE(wide.Resize(37, 11, CImageBuffer::kBicubic));

    // A one-pixel-wide picture enlarged: that pixel across the whole row.
    CImageBuffer thin;
    ASSERT_TRUE(thin.Create(CImageBuffer::kHeap, CSize(1, 2), PixelType::Bgr24));
    SetRows(thin, {10, 20, 30, 40, 50, 60});
    ASSERT_TRUE(thin.Resize(5, 2, CImageBuffer::kBicubic));
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(thin.GetRowPointer(0)[x * 3 + 2], 30);
        EXPECT_EQ(thin.GetRowPointer(1)[x * 3], 40);
    }
}

TEST(ImageRaster, PalettePicturesResizeByNearestIndexWithTheirPalette)
{
    RGBQUAD palette[256] = {};
    palette[3] = RGBQUAD{1, 2, 3, 0};
    palette[250] = RGBQUAD{9, 8, 7, 0};
    for (int method : {CImageBuffer::kBilinear, CImageBuffer::kBicubic}) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 1), PixelType::Palette8, 1, nullptr, palette));
        SetRows(image, {3, 250});
        ASSERT_TRUE(image.Resize(5, 2, method));
        EXPECT_EQ(Rows(image), (Bytes{3, 3, 3, 250, 250, 3, 3, 3, 250, 250}));
        RGBQUAD entries[256];
        ASSERT_EQ(image.GetPalette(entries, 256), 256);
        EXPECT_EQ(entries[250], palette[250]);
    }
    // Sub-byte pixels too: 1-bit 1 0 1 doubled.
    CImageBuffer bits;
    ASSERT_TRUE(bits.Create(CImageBuffer::kHeap, CSize(3, 1), PixelType::Palette1));
    bits.GetRowPointer(0)[0] = 0xA0;
    ASSERT_TRUE(bits.Resize(6, 1, CImageBuffer::kBicubic));
    EXPECT_EQ(bits.GetRowPointer(0)[0] & 0xFC, 0xCC);
}

TEST(ImageRaster, ResamplingNeedsWholeRanges)
{
    CImageBuffer file, target;
    ASSERT_TRUE(file.Create(CImageBuffer::kTempFile, CSize(4, 4), PixelType::Bgr24));
    ASSERT_TRUE(target.Create(CImageBuffer::kHeap, CSize(2, 2), PixelType::Bgr24));
    EXPECT_THROW(file.ResampleInto(target, CImageBuffer::kBilinear), CMemoryException);
    EXPECT_FALSE(file.Resize(2, 2, CImageBuffer::kBilinear));
    EXPECT_EQ(file.GetSize(), CSize(4, 4));
    EXPECT_THROW(file.ResizeToFit(2, 2, CImageBuffer::kBilinear), CMemoryException);

    // Mapped pictures resample, into a mapping when fitted.
    CImageBuffer mapped;
    ASSERT_TRUE(mapped.Create(CImageBuffer::kMapping, CSize(400, 100), PixelType::Bgr24));
    ASSERT_TRUE(mapped.ResizeToFit(100, 100, CImageBuffer::kBicubic));
    EXPECT_EQ(mapped.GetSize(), CSize(100, 25));
    EXPECT_EQ(mapped.GetStorageKind(), CImageBuffer::kMapping);
    ASSERT_TRUE(mapped.ResizeToFit(500, 500, CImageBuffer::kBilinear));
    EXPECT_EQ(mapped.GetSize(), CSize(100, 25));
}

TEST(ImageRaster, FourQuarterTurnsGiveTheOriginal)
{
    struct Row {
        int kind, type;
        CSize size;
    };
    const Row rows[] = {
        {CImageBuffer::kHeap, PixelType::Bgr24, {5, 3}},
        {CImageBuffer::kMapping, PixelType::Palette1, {10, 3}},
        {CImageBuffer::kHeap, PixelType::Palette4, {7, 6}},
        {CImageBuffer::kTempFile, PixelType::Rgb48, {4, 9}},
        {CImageBuffer::kHeap, PixelType::Bgr555, {6, 6}},
    };
    for (const Row& r : rows) {
        for (int angle : {90, -90, 270}) {
            CImageBuffer image;
            ASSERT_TRUE(image.Create(r.kind, r.size, r.type, 1, nullptr, nullptr, 100, 200));
            Scramble(image);
            const Bytes original = Rows(image);
            for (int turn = 0; turn < 4; ++turn) {
                ASSERT_TRUE(image.Rotate(angle));
                EXPECT_EQ(image.GetSize(), turn % 2 == 0 ? CSize(r.size.cy, r.size.cx) : r.size);
            }
            EXPECT_EQ(Rows(image), original) << r.type << " " << angle;
            float x, y;
            image.GetResolution(&x, &y);
            EXPECT_EQ(x, 100.0f);
            EXPECT_EQ(image.GetStorageKind(), r.kind);
        }
    }
}

TEST(ImageRaster, RotationTurnsClockwise)
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(3, 2), PixelType::Grey8, 1, nullptr, nullptr, 100, 200));
    SetRows(image, {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(image.Rotate(90));
    EXPECT_EQ(Rows(image), (Bytes{4, 1, 5, 2, 6, 3}));
    float x, y;
    image.GetResolution(&x, &y);
    EXPECT_EQ(x, 200.0f);
    EXPECT_EQ(y, 100.0f);
    ASSERT_TRUE(image.Rotate(90));
    EXPECT_EQ(Rows(image), (Bytes{6, 5, 4, 3, 2, 1}));
    image.GetResolution(&x, &y);
    EXPECT_EQ(x, 100.0f);

    // Whole turns leave the buffer as it is.
    const BYTE* bits = image.GetBits();
    for (int angle : {0, 360, -720})
        ASSERT_TRUE(image.Rotate(angle));
    EXPECT_EQ(image.GetBits(), bits);

    // An oblique turn grows the bounds; corners without a source are zero.
    CImageBuffer square;
    ASSERT_TRUE(square.Create(CImageBuffer::kHeap, CSize(20, 20), PixelType::Bgr24));
    ASSERT_TRUE(square.Fill(0xFF));
    ASSERT_TRUE(square.Rotate(45));
    EXPECT_GE(square.GetWidth(), 28);
    EXPECT_LE(square.GetWidth(), 29);
    EXPECT_EQ(square.GetRowPointer(0)[0], 0);
    const int mid = square.GetWidth() / 2;
    EXPECT_EQ(square.GetRowPointer(mid)[mid * 3], 0xFF);
}

TEST(ImageRaster, MirrorFillAndPaste)
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(3, 2), PixelType::Bgr24));
    SetRows(image, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    ASSERT_TRUE(image.Mirror(true, false));
    EXPECT_EQ(Rows(image), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3, 16, 17, 18, 13, 14, 15, 10, 11, 12}));
    ASSERT_TRUE(image.Mirror(false, true));
    EXPECT_EQ(image.GetOrientation(), 0);
    EXPECT_EQ(image.GetRowPointer(0)[0], 16);

    CImageBuffer bits;
    ASSERT_TRUE(bits.Create(CImageBuffer::kTempFile, CSize(10, 1), PixelType::Palette1));
    bits.GetRowPointer(0)[0] = 0xC0; // 1100000000
    ASSERT_TRUE(bits.Mirror(true, false));
    EXPECT_EQ(bits.GetRowPointer(0)[0], 0x00);
    EXPECT_EQ(bits.GetRowPointer(0)[1] & 0xC0, 0xC0);

    ASSERT_TRUE(image.Fill(0x5A));
    EXPECT_EQ(image.GetRowPointer(1)[11], 0x5A); // the padding too

    CImageBuffer target, grey;
    ASSERT_TRUE(target.Create(CImageBuffer::kMapping, CSize(5, 4), PixelType::Bgr24));
    ASSERT_TRUE(grey.Create(CImageBuffer::kHeap, CSize(3, 2), PixelType::Grey8));
    EXPECT_FALSE(grey.PasteInto(target, CRect(0, 0, 3, 2)));
    EXPECT_FALSE(image.PasteInto(target, CRect(3, 0, 6, 2)));
    EXPECT_FALSE(image.PasteInto(target, CRect(-1, 0, 2, 2)));
    ASSERT_TRUE(image.PasteInto(target, CRect(2, 2, 5, 4)));
    EXPECT_EQ(target.GetRowPointer(1)[6], 0);
    EXPECT_EQ(target.GetRowPointer(2)[5], 0);
    EXPECT_EQ(target.GetRowPointer(2)[6], 0x5A);
    EXPECT_EQ(target.GetRowPointer(3)[14], 0x5A);
}

TEST(ImageRaster, DepthConversions)
{
    RGBQUAD palette[256] = {};
    palette[1] = RGBQUAD{3, 2, 1, 0};
    palette[2] = RGBQUAD{30, 20, 10, 0};
    palette[5] = RGBQUAD{60, 50, 40, 0};
    struct Row {
        int from;
        Bytes in;
        int bitsPerPixel, bitsPerSample; // the request: one of them is 0
        bool ok;
        int to;
        Bytes out;
    };
    const Row rows[] = {
        {PixelType::Palette8, {2, 0}, 24, 0, true, PixelType::Rgb24, {10, 20, 30, 0, 0, 0}},
        // Packed indexes, the first pixel in the high bits.
        {PixelType::Palette1, {0x40}, 24, 0, true, PixelType::Rgb24, {0, 0, 0, 1, 2, 3}},
        {PixelType::Palette4, {0x21}, 24, 0, true, PixelType::Rgb24, {10, 20, 30, 1, 2, 3}},
        {PixelType::Palette3, {0xA8}, 24, 0, true, PixelType::Rgb24, {40, 50, 60, 10, 20, 30}},
        {PixelType::Grey8, {1, 200}, 24, 0, true, PixelType::Rgb24, {1, 1, 1, 200, 200, 200}},
        // Five bits per channel, each masked out of its word.
        {PixelType::Bgr555, {0x1F, 0x00, 0xE0, 0x03}, 24, 0, true, PixelType::Bgr24, {248, 0, 0, 0, 248, 0}},
        {PixelType::Bgr555, {0x00, 0x7C, 0xFF, 0x7F}, 24, 0, true, PixelType::Bgr24, {0, 0, 248, 248, 248, 248}},
        {PixelType::Grey16, {0x34, 0x12, 0xFF, 0x80}, 24, 0, true, PixelType::Rgb24, {0x12, 0x12, 0x12, 0x80, 0x80, 0x80}},
        {PixelType::Bgr48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 24, 0, true, PixelType::Bgr24, {2, 4, 6, 8, 10, 12}},
        {PixelType::Rgb48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 24, 0, true, PixelType::Rgb24, {2, 4, 6, 8, 10, 12}},
        {PixelType::Grey16, {0x34, 0x12, 0xFF, 0x80}, 0, 8, true, PixelType::Grey8, {0x12, 0x80}},
        {PixelType::Bgr48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0, 8, true, PixelType::Bgr24, {2, 4, 6, 8, 10, 12}},
        {PixelType::Rgb48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0, 8, true, PixelType::Rgb24, {2, 4, 6, 8, 10, 12}},
        // Already there.
        {PixelType::Bgr24, {1, 2, 3, 4, 5, 6}, 24, 0, true, PixelType::Bgr24, {1, 2, 3, 4, 5, 6}},
        {PixelType::Grey8, {1, 2}, 0, 8, true, PixelType::Grey8, {1, 2}},
        // Not offered.
        {PixelType::Rgb555, {1, 2, 3, 4}, 24, 0, false, PixelType::Rgb555, {1, 2, 3, 4}},
        {PixelType::Bgr48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 32, 0, false, PixelType::Bgr48,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {PixelType::Grey16, {1, 2, 3, 4}, 0, 4, false, PixelType::Grey16, {1, 2, 3, 4}},
    };
    for (const Row& r : rows) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kTempFile, CSize(2, 1), r.from, 0, nullptr, palette, 120, 60, 70));
        SetRows(image, r.in);
        const bool ok = r.bitsPerPixel ? image.ConvertToBitsPerPixel(r.bitsPerPixel)
                                       : image.ConvertToBitsPerSample(r.bitsPerSample);
        EXPECT_EQ(ok, r.ok) << r.from;
        EXPECT_EQ(image.GetPixelType(), r.to) << r.from;
        EXPECT_EQ(Rows(image), r.out) << r.from;
        float x, y;
        image.GetResolution(&x, &y);
        EXPECT_EQ(y, 60.0f);
        EXPECT_EQ(image.GetOrientation(), 0);
        EXPECT_EQ(image.GetStorageKind(), CImageBuffer::kTempFile);
    }
    // An index that runs over a byte boundary.
    CImageBuffer packed;
    ASSERT_TRUE(packed.Create(CImageBuffer::kHeap, CSize(3, 1), PixelType::Palette3, 0, nullptr, palette));
    SetRows(packed, {0x2A, 0x80});
    ASSERT_TRUE(packed.ConvertToBitsPerPixel(24));
    EXPECT_EQ(Rows(packed), (Bytes{1, 2, 3, 10, 20, 30, 40, 50, 60}));
}

TEST(ImageRaster, BlendModes)
{
    struct Row {
        int mode, d, s, p, out;
    };
    const Row rows[] = {
        {0, 100, 200, 50, 150}, {1, 100, 200, 50, 89},  {2, 100, 200, 50, 161},
        {3, 100, 200, 50, 128}, {4, 100, 200, 50, 114}, {5, 100, 200, 50, 144},
        {6, 100, 200, 50, 0},   {7, 100, 200, 50, 150}, {8, 100, 200, 50, 100},
        {3, 200, 100, 100, 188}, {5, 200, 60, 100, 94}, {6, 77, 77, 100, 0},
        {9, 100, 200, 50, 100},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BlendChannel(r.mode, r.d, r.s, r.p), r.out) << r.mode << " " << r.d << " " << r.s;
}

TEST(ImageRaster, BlendIntoACallersRaster)
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 1), PixelType::Rgb24));
    SetRows(image, {200, 0, 0, 1, 2, 3});

    // A 3 x 2 bottom-up blue-green-red target, grey 100 everywhere.
    Bytes target(2 * 12, 100);
    BlendTarget t{target.data() + 12, -12, 3, 2, PixelType::Bgr24};
    const COLORREF key = RGB(1, 2, 3);
    ASSERT_TRUE(image.BlendInto(t, CRect(1, 1, 3, 2), 0, 50, &key));
    // Top row untouched; bottom row (stored first) at x = 1 blended with red
    // 200 in the target's byte 2, x = 2 takes the key pixel as it is.
    EXPECT_EQ(Bytes(target.begin() + 12, target.end()), Bytes(12, 100));
    EXPECT_EQ(Bytes(target.begin(), target.begin() + 12), (Bytes{100, 100, 100, 50, 50, 150, 3, 2, 1, 100, 100, 100}));

    // Channel switches and a full mask keep the destination.
    std::fill(target.begin(), target.end(), 100);
    const bool onlyRed[3] = {false, false, true};
    const Bytes maskBytes = {0, 0, 0, 255, 255, 255};
    BlendMask mask{maskBytes.data(), 6};
    ASSERT_TRUE(image.BlendInto(t, CRect(0, 0, 2, 1), 6, 100, nullptr, &mask, onlyRed));
    EXPECT_EQ(Bytes(target.begin() + 12, target.begin() + 18), (Bytes{100, 100, 100, 100, 100, 100}));
    ASSERT_TRUE(image.BlendInto(t, CRect(0, 0, 2, 1), 6, 100, nullptr, nullptr, onlyRed));
    EXPECT_EQ(Bytes(target.begin() + 12, target.begin() + 18), (Bytes{100, 100, 100, 100, 100, 99}));

    CImageBuffer grey;
    ASSERT_TRUE(grey.Create(CImageBuffer::kHeap, CSize(2, 1), PixelType::Grey8));
    EXPECT_FALSE(grey.BlendInto(t, CRect(0, 0, 2, 1), 0, 50));
}

TEST(ImageRaster, DibOfEachLayout)
{
    struct Row {
        int type;
        Bytes in; // one row of two pixels
        int dibBits;
        Bytes out; // the DIB row's pixel bytes
    };
    const Row rows[] = {
        {PixelType::Bgr24, {1, 2, 3, 4, 5, 6}, 24, {1, 2, 3, 4, 5, 6}},
        {PixelType::Rgb24, {1, 2, 3, 4, 5, 6}, 24, {3, 2, 1, 6, 5, 4}},
        {PixelType::Bgr24Alt, {0, 10, 255, 1, 2, 3}, 24, {255, 245, 0, 254, 253, 252}},
        {PixelType::Rgb24Alt, {0, 10, 255, 1, 2, 3}, 24, {0, 245, 255, 252, 253, 254}},
        {PixelType::Bgr48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 24, {2, 4, 6, 8, 10, 12}},
        {PixelType::Rgb48, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 24, {6, 4, 2, 12, 10, 8}},
        {PixelType::Grey16, {1, 2, 3, 4}, 8, {2, 4}},
        {PixelType::Grey8, {7, 9}, 8, {7, 9}},
        {PixelType::Bgr555, {0x1F, 0x00, 0x00, 0x7C}, 16, {0x1F, 0x00, 0x00, 0x7C}},
        {PixelType::Rgb555, {0x1F, 0x00, 0x00, 0x7C}, 16, {0x00, 0x7C, 0x1F, 0x00}},
        {PixelType::Palette8, {200, 3}, 8, {200, 3}},
        {PixelType::Palette4, {0x5A}, 4, {0x5A}},
        {PixelType::Palette2, {0xB0}, 4, {0x23}},  // indices 2 and 3 widened to 4 bits
        {PixelType::Palette5, {0x28, 0x80}, 8, {5, 2}},
        {PixelType::Palette1, {0x40}, 1, {0x40}},
    };
    for (const Row& r : rows) {
        RGBQUAD palette[256];
        for (int i = 0; i < 256; ++i)
            palette[i] = RGBQUAD{BYTE(i), 0, BYTE(255 - i), 0};
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 2), r.type, 1, nullptr, palette));
        SetRows(image, [&] {
            Bytes both = r.in;
            both.insert(both.end(), r.in.size(), 0);
            return both;
        }());
        const auto dib = image.CreateDib();
        ASSERT_NE(dib, nullptr) << r.type;
        EXPECT_EQ(dib->GetBitsPerPixel(), r.dibBits == 15 ? 16 : r.dibBits) << r.type;
        // Row 0 from the top is the DIB's last stored row.
        const BYTE* top = dib->GetBits() + dib->GetStride();
        EXPECT_EQ(Bytes(top, top + r.out.size()), r.out) << r.type;
        const int entries = GetDibPaletteSize(r.type);
        ASSERT_EQ(dib->GetPaletteSize(), entries) << r.type;
        if (entries > 0 && GetPixelTypeInfo(r.type).paletteEntries > 0) {
            EXPECT_EQ(dib->GetPalette()[1], palette[1]) << r.type;
        } else if (entries > 0) {
            EXPECT_EQ(dib->GetPalette()[77], (RGBQUAD{77, 77, 77, 0})) << r.type;
        }
    }

    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kMapping, CSize(4, 3), PixelType::Bgr24));
    Scramble(image);
    const auto part = image.CreateDibRect(CRect(2, 1, 9, 9));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->GetSize(), CSize(2, 2));
    EXPECT_EQ(std::memcmp(part->GetBits() + part->GetStride(), image.GetRowPointer(1) + 6, 6), 0);
    EXPECT_EQ(image.CreateDibRect(CRect(5, 0, 9, 3)), nullptr);
    CImageBuffer four;
    ASSERT_TRUE(four.Create(CImageBuffer::kHeap, CSize(2, 2), PixelType::Cmyk32));
    EXPECT_EQ(four.CreateDib(), nullptr);
}

namespace {

// Standard deviation of the 8-bit samples of a picture, a few pixels in from
// its edges.
double SampleDeviation(const CImageBuffer& image)
{
    const int n = image.GetSamplesPerPixel();
    double sum = 0, squares = 0, count = 0;
    for (int y = 2; y < image.GetHeight() - 2; ++y)
        for (int x = 2 * n; x < (image.GetWidth() - 2) * n; ++x) {
            const double v = image.GetRowPointer(y)[x];
            sum += v;
            squares += v * v;
            ++count;
        }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

} // namespace

TEST(ImageRaster, BicubicReductionAveragesFineDetailAway)
{
    // Black and white stripes one and two pixels wide reduced by 3.125 (6000
    // to 1920, as a camera picture to a screen): grey, not moire.
    for (int stripe : {1, 2}) {
        for (int type : {PixelType::Bgr24, PixelType::Grey8}) {
            CImageBuffer image;
            ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(600, 48), type));
            const int n = image.GetSamplesPerPixel();
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 600; ++x)
                    std::memset(image.GetRowPointer(y) + x * n, (x / stripe) % 2 ? 255 : 0, n);
            ASSERT_TRUE(image.Resize(192, 16, CImageBuffer::kBicubic));
            EXPECT_LT(SampleDeviation(image), 5.0) << "stripes of " << stripe << ", type " << type;
            EXPECT_NEAR(image.GetRowPointer(8)[96 * n], 127, 6);
        }
    }
    // An even picture stays exactly as it was, 16-bit samples included, and a
    // reduction along one axis only enlarges along the other.
    CImageBuffer deep;
    ASSERT_TRUE(deep.Create(CImageBuffer::kHeap, CSize(50, 3), PixelType::Bgr48));
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 150; ++i) {
            deep.GetRowPointer(y)[i * 2] = 0x34;
            deep.GetRowPointer(y)[i * 2 + 1] = 0x12;
        }
    ASSERT_TRUE(deep.Resize(7, 9, CImageBuffer::kBicubic));
    for (int y = 0; y < 9; ++y)
        for (int i = 0; i < 21; ++i) {
            EXPECT_EQ(deep.GetRowPointer(y)[i * 2], 0x34);
            EXPECT_EQ(deep.GetRowPointer(y)[i * 2 + 1], 0x12);
        }
}

TEST(ImageRaster, FilterWindowMatchesTheWholeTarget)
{
    // A window of the target is made exactly as the same pixels of the whole.
    std::vector<uint8_t> pixels(97 * 61 * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>((i * 29 + i / 291 * 131 + 7) & 0xFF);
    const RasterView src{pixels.data(), 97 * 3, 97, 61};
    for (resample::Kernel kernel : {resample::Kernel::Nearest, resample::Kernel::Linear, resample::Kernel::Cubic}) {
        for (CSize full : {CSize(40, 25), CSize(300, 190)}) {
            std::vector<uint8_t> whole(static_cast<size_t>(full.cx) * full.cy * 4);
            resample::Filter(src, 3, 1, kernel, full.cx, full.cy, 0, 0,
                             RasterView{whole.data(), full.cx * 4, full.cx, full.cy}, 4);
            const CRect window(7, 5, 31, 20);
            std::vector<uint8_t> part(static_cast<size_t>(window.Width()) * window.Height() * 4);
            resample::Filter(src, 3, 1, kernel, full.cx, full.cy, window.left, window.top,
                             RasterView{part.data(), window.Width() * 4, window.Width(), window.Height()}, 4);
            for (int y = 0; y < window.Height(); ++y)
                ASSERT_EQ(std::memcmp(part.data() + y * window.Width() * 4,
                                      whole.data() + ((window.top + y) * full.cx + window.left) * 4, window.Width() * 4),
                          0)
                    << "kernel " << int(kernel) << " row " << y;
            EXPECT_EQ(whole[3], 255); // the fourth byte of each pixel
        }
    }
}
