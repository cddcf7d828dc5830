#include "imaging/image_buffer.h"

#include "platform/archive.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Every stored byte of the image: the row from the top and the byte in it.
Bytes RowsOf(const CImageBuffer& image, uint64_t bytesPerRow)
{
    Bytes out;
    for (int y = 0; y < image.GetHeight(); ++y) {
        const BYTE* row = image.GetRowPointer(y);
        EXPECT_NE(row, nullptr);
        if (row)
            out.insert(out.end(), row, row + bytesPerRow);
    }
    return out;
}

// A buffer whose byte i of row y (from the top) is y * 40 + i + 1.
void MakePattern(CImageBuffer& image, int kind, CSize size, int type, const RGBQUAD* palette = nullptr)
{
    ASSERT_TRUE(image.Create(kind, size, type, 1, nullptr, palette, 72.0f, 300.0f, 55));
    for (int y = 0; y < size.cy; ++y) {
        BYTE* row = image.GetRowPointer(y);
        ASSERT_NE(row, nullptr);
        for (uint64_t i = 0; i < image.GetStride(); ++i)
            row[i] = static_cast<BYTE>(y * 40 + i + 1);
    }
}

Bytes Written(const CImageBuffer& image)
{
    CMemFile file;
    EXPECT_TRUE(image.WriteFile(file));
    return file.Data();
}

// The file of a 2 x 2 8-bit paletted picture: header, 1024 palette bytes,
// 8 pixel bytes.
Bytes PalettedFile()
{
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    CImageBuffer image;
    MakePattern(image, CImageBuffer::kHeap, CSize(2, 2), PixelType::Palette8, palette);
    return Written(image);
}

} // namespace

TEST(ImageBuffer, StrideFollowsTypeWidthAndPacking)
{
    struct Row {
        int type, width;
        bool packed;
        uint64_t stride;
    };
    const Row rows[] = {
        {PixelType::Bgr24, 3, false, 12},
        {PixelType::Palette1, 10, true, 2}, // ten 1-bit pixels need two bytes
        {PixelType::Palette1, 10, false, 4},
        {PixelType::Palette3, 5, true, 2},
        {PixelType::Bgr555, 3, false, 8}, // 15 bits are laid out as 16
        {PixelType::Bgr555, 3, true, 6},
        {PixelType::Bgr48, 1, false, 8},
        {PixelType::Cmyk32, 2, true, 8},
    };
    for (const Row& r : rows) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(r.width, 2), r.type, 1, nullptr, nullptr, 96, 96, 100,
                                 r.packed))
            << r.type;
        EXPECT_EQ(image.GetStride(), r.stride) << r.type << " " << r.width << " " << r.packed;
        EXPECT_TRUE(image.IsValid());
    }
}

TEST(ImageBuffer, CreateRefusesWhatItCannotHold)
{
    struct Row {
        int type, width, height;
    };
    const Row rows[] = {
        {0, 4, 4}, {PixelType::Word16, 4, 4}, {21, 4, 4}, {PixelType::Bgr24, 0, 4},
        {PixelType::Bgr24, 4, -1}, {PixelType::Bgr48, 0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const Row& r : rows) {
        CImageBuffer image;
        EXPECT_FALSE(image.Create(CImageBuffer::kHeap, CSize(r.width, r.height), r.type)) << r.type;
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetStride(), 0u);
        EXPECT_EQ(image.GetRowPointer(0), nullptr);
    }
}

TEST(ImageBuffer, RawFileOf3x2At24BitsByteForByte)
{
    // Stored order: the bottom row first.
    const Bytes bits = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(3, 2), PixelType::Bgr24, 1, bits.data()));
    EXPECT_EQ(image.GetRowPointer(0)[0], 1);

    Bytes expected(72, 0);
    std::memcpy(expected.data(), "KelmarTrivon RawImage", 22);
    Put32(expected, 32, 1);
    Put32(expected, 36, 11);
    Put32(expected, 40, 1);
    Put32(expected, 44, 0x42C00000); // 96.0f
    Put32(expected, 48, 0x42C00000);
    Put32(expected, 52, 3);
    Put32(expected, 56, 2);
    Put32(expected, 60, 100);
    Put32(expected, 64, 0);
    Put32(expected, 68, 24);
    expected.insert(expected.end(), bits.begin(), bits.end());
    const Bytes written = Written(image);
    EXPECT_EQ(written, expected);

    CMemFile file(written);
    CImageBuffer back;
    back.ReadFile(file, CImageBuffer::kHeap, false);
    ASSERT_TRUE(back.IsValid());
    EXPECT_EQ(back.GetOrientation(), 1);
    EXPECT_EQ(back.GetStride(), 12u);
    EXPECT_EQ(RowsOf(back, 12), RowsOf(image, 12));
}

TEST(ImageBuffer, EveryStoreRoundTripsThroughTheFile)
{
    RGBQUAD palette[16];
    for (int i = 0; i < 16; ++i)
        palette[i] = RGBQUAD{BYTE(i * 16), BYTE(i), BYTE(200 - i), 0};
    for (int kind : {CImageBuffer::kHeap, CImageBuffer::kMapping, CImageBuffer::kTempFile}) {
        CImageBuffer image;
        MakePattern(image, kind, CSize(7, 5), PixelType::Palette4, palette);
        const Bytes file = Written(image);

        for (int into : {CImageBuffer::kHeap, CImageBuffer::kMapping, CImageBuffer::kTempFile}) {
            CMemFile in(file);
            CImageBuffer back;
            back.ReadFile(in, into, false);
            ASSERT_TRUE(back.IsValid()) << kind << " " << into;
            EXPECT_EQ(back.GetStorageKind(), into);
            EXPECT_EQ(RowsOf(back, 4), RowsOf(image, 4)) << kind << " " << into;
            RGBQUAD entries[16];
            ASSERT_EQ(back.GetPalette(entries, 16), 16);
            EXPECT_EQ(entries[5], palette[5]);
            float x, y;
            back.GetResolution(&x, &y);
            EXPECT_EQ(x, 72.0f);
            EXPECT_EQ(y, 300.0f);
            EXPECT_EQ(back.GetPercentage(), 55);
        }
    }
}

TEST(ImageBuffer, ReaderRefusesBadFiles)
{
    const Bytes good = PalettedFile();
    ASSERT_EQ(good.size(), 64 + 4 + 1024 + 4 + 8u);
    const size_t countAt = 64 + 4 + 1024;
    struct Row {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Row rows[] = {
        {"short header", [](Bytes& b) { b.resize(63); }},
        {"signature differs", [](Bytes& b) { b[5] = 'x'; }},
        {"signature without its NUL", [](Bytes& b) { b[21] = '!'; }},
        {"pixel type 0", [](Bytes& b) { Put32(b, 36, 0); }},
        {"pixel type 19", [](Bytes& b) { Put32(b, 36, 19); }},
        {"pixel type 21", [](Bytes& b) { Put32(b, 36, 21); }},
        {"width 0", [](Bytes& b) { Put32(b, 52, 0); }},
        {"negative height", [](Bytes& b) { Put32(b, 56, 0xFFFFFFFF); }},
        {"pixels above the cap", [](Bytes& b) { Put32(b, 52, 0x7FFFFFFF); Put32(b, 56, 0x7FFFFFFF); }},
        {"palette count not whole entries", [](Bytes& b) { Put32(b, 64, 1022); }},
        {"palette too small for the type", [](Bytes& b) { Put32(b, 64, 1020); }},
        {"no palette for a palette type", [](Bytes& b) { Put32(b, 64, 0); }},
        {"palette count beyond the file", [](Bytes& b) { Put32(b, 64, 0xFFFFFFF0); }},
        {"palette cut short", [](Bytes& b) { b.resize(600); }},
        {"pixel count missing", [countAt](Bytes& b) { b.resize(countAt + 2); }},
        {"pixel count one more", [countAt](Bytes& b) { Put32(b, countAt, 9); }},
        {"pixel count one less", [countAt](Bytes& b) { Put32(b, countAt, 7); }},
        {"pixel count of a larger picture", [countAt](Bytes& b) { Put32(b, countAt, 0x7FFFFFF0); }},
        {"pixels cut short", [](Bytes& b) { b.pop_back(); }},
        {"taller than its pixels", [](Bytes& b) { Put32(b, 56, 3); }},
    };
    for (const Row& r : rows) {
        Bytes bytes = good;
        r.damage(bytes);
        for (int kind : {CImageBuffer::kHeap, CImageBuffer::kMapping}) {
            CMemFile file(bytes);
            CImageBuffer image;
            EXPECT_THROW(image.ReadFile(file, kind, false), CUserException) << r.what;
            EXPECT_FALSE(image.IsValid()) << r.what;
            EXPECT_EQ(image.GetWidth(), 0) << r.what;
        }
    }
}

TEST(ImageBuffer, ReaderAcceptsFreeBytesAndEitherRowLayout)
{
    Bytes bytes = PalettedFile();
    bytes[25] = 'q';       // after the signature's NUL
    Put32(bytes, 32, 7);   // the version is not examined
    CMemFile file(bytes);
    CImageBuffer image;
    image.ReadFile(file, CImageBuffer::kHeap, false);
    EXPECT_TRUE(image.IsValid());

    // Packed rows (9 bytes for three 24-bit pixels) read into padded rows of 12.
    CImageBuffer packed;
    ASSERT_TRUE(packed.Create(CImageBuffer::kHeap, CSize(3, 2), PixelType::Bgr24, 1, nullptr, nullptr, 96, 96,
                              100, true));
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            packed.GetRowPointer(y)[i] = static_cast<BYTE>(y * 10 + i);
    CMemFile packedFile(Written(packed));
    CImageBuffer padded;
    padded.ReadFile(packedFile, CImageBuffer::kTempFile, false);
    ASSERT_TRUE(padded.IsValid());
    EXPECT_EQ(padded.GetStride(), 12u);
    EXPECT_EQ(RowsOf(padded, 9), RowsOf(packed, 9));
    EXPECT_EQ(padded.GetRowPointer(1)[11], 0);
}

TEST(ImageBuffer, LoadFileFromDisk)
{
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "good.raw", PalettedFile());
    Bytes bad = PalettedFile();
    bad[0] = 'k';
    qrtest::WriteBytes(dir / "bad.raw", bad);

    CImageBuffer image;
    EXPECT_TRUE(image.LoadFile(CImageBuffer::kMapping, (dir / "good.raw").string(), false));
    EXPECT_EQ(image.GetRowPointer(1)[1], 42);
    EXPECT_FALSE(image.LoadFile(CImageBuffer::kMapping, (dir / "bad.raw").string(), false));
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.LoadFile(CImageBuffer::kHeap, (dir / "missing.raw").string(), false));
}

TEST(ImageBuffer, ArchiveFormRoundTripsAndRefusesBadCounts)
{
    CImageBuffer image;
    MakePattern(image, CImageBuffer::kHeap, CSize(3, 2), PixelType::Rgb24);
    CMemFile stored;
    {
        CArchive ar(&stored, CArchive::store);
        ASSERT_TRUE(image.Serialize(ar));
        CImageBuffer empty;
        ASSERT_TRUE(empty.Serialize(ar));
    }
    const Bytes bytes = stored.Data();
    const Bytes file = Written(image);
    ASSERT_EQ(bytes.size(), 4 + file.size() + 4);
    EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 4 + file.size()), file);

    {
        CMemFile in(bytes);
        CArchive ar(&in, CArchive::load);
        CImageBuffer back;
        ASSERT_TRUE(back.Serialize(ar));
        EXPECT_EQ(back.GetStorageKind(), CImageBuffer::kMapping);
        EXPECT_EQ(RowsOf(back, 9), RowsOf(image, 9));
        // The empty buffer's count of 0 leaves the buffer empty.
        EXPECT_FALSE(back.Serialize(ar));
        EXPECT_FALSE(back.IsValid());
    }

    struct Row {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Row rows[] = {
        {"negative count", [](Bytes& b) { Put32(b, 0, 0xFFFFFFFF); }},
        {"count beyond the archive", [](Bytes& b) { Put32(b, 0, 0x7FFFFFFF); }},
        {"short count", [](Bytes& b) { b.resize(3); }},
        {"refused picture", [](Bytes& b) { b[4] = 'x'; }},
        {"picture longer than its count", [](Bytes& b) { Put32(b, 0, 90); }},
    };
    for (const Row& r : rows) {
        Bytes damaged = bytes;
        r.damage(damaged);
        CMemFile in(damaged);
        CArchive ar(&in, CArchive::load);
        CImageBuffer back;
        MakePattern(back, CImageBuffer::kHeap, CSize(1, 1), PixelType::Grey8);
        EXPECT_FALSE(back.Serialize(ar)) << r.what;
        EXPECT_FALSE(back.IsValid()) << r.what;
    }
}

TEST(ImageBuffer, CopyKeepsPaletteResolutionAndBits)
{
    RGBQUAD palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kTempFile, CSize(12, 2), PixelType::Palette1, 0, nullptr, palette, 150.0f,
                             150.0f, 80));
    // Row 0: 1010 1100 0011 ..., row 1: all set.
    image.GetRowPointer(0)[0] = 0xAC;
    image.GetRowPointer(0)[1] = 0x30;
    std::memset(image.GetRowPointer(1), 0xFF, 2);

    CImageBuffer copy(image);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.GetStorageKind(), CImageBuffer::kTempFile);
    EXPECT_EQ(copy.GetOrientation(), 0);
    RGBQUAD entries[2];
    ASSERT_EQ(copy.GetPalette(entries, 2), 2);
    EXPECT_EQ(entries[1], palette[1]);
    float x, y;
    copy.GetResolution(&x, &y);
    EXPECT_EQ(x, 150.0f);
    EXPECT_EQ(copy.GetPercentage(), 80);
    EXPECT_EQ(copy.GetRowPointer(0)[0], 0xAC);

    // A rectangle starting inside a byte: columns 3..8 of row 0 are 011000.
    CImageBuffer part;
    ASSERT_TRUE(part.CopyRect(image, CRect(3, 0, 9, 1)));
    EXPECT_EQ(part.GetWidth(), 6);
    EXPECT_EQ(part.GetRowPointer(0)[0] & 0xFC, 0x60);
    // A rectangle reaching outside is clipped to the picture.
    ASSERT_TRUE(part.CopyRect(image, CRect(10, 1, 40, 9)));
    EXPECT_EQ(part.GetSize(), CSize(2, 1));
    EXPECT_FALSE(part.CopyRect(image, CRect(20, 0, 30, 1)));
}

// A buffer made to be overwritten (a decode, a copy) is written pixel for
// pixel; the bytes past each row's pixels must still be zeros, as they are in
// a cleared one, or files written from it would differ from run to run.
TEST(ImageBuffer, OverwrittenBuffersKeepZerosPastEachRow)
{
    const int types[] = {PixelType::Bgr24, PixelType::Grey8};
    for (int type : types)
        for (int kind : {CImageBuffer::kHeap, CImageBuffer::kMapping}) {
            CImageBuffer image;
            MakePattern(image, kind, CSize(5, 3), type);
            // Only the pixels of the pattern are kept; the rest of each row cleared.
            const uint64_t pixelBytes = (5ull * image.GetBitsPerPixel() + 7) / 8;
            for (int y = 0; y < 3; ++y)
                std::memset(image.GetRowPointer(y) + pixelBytes, 0, image.GetStride() - pixelBytes);
            CImageBuffer copy;
            ASSERT_TRUE(copy.CopyRect(image, CRect(0, 0, 5, 3))) << type;
            EXPECT_EQ(RowsOf(copy, copy.GetStride()), RowsOf(image, image.GetStride())) << type << " " << kind;
            CImageBuffer fresh;
            ASSERT_TRUE(fresh.CreateForOverwrite(kind, CSize(5, 3), type));
            for (int y = 0; y < 3; ++y)
                std::memcpy(fresh.GetRowPointer(y), image.GetRowPointer(y), pixelBytes);
            EXPECT_EQ(RowsOf(fresh, fresh.GetStride()), RowsOf(image, image.GetStride())) << type << " " << kind;
        }
}

TEST(ImageBuffer, TakeOverMovesEveryStore)
{
    for (int kind : {CImageBuffer::kHeap, CImageBuffer::kMapping, CImageBuffer::kTempFile}) {
        CImageBuffer from, to;
        MakePattern(from, kind, CSize(5, 3), PixelType::Bgr24);
        const Bytes rows = RowsOf(from, 15);
        MakePattern(to, CImageBuffer::kHeap, CSize(1, 1), PixelType::Grey8);
        to.TakeOver(from);
        EXPECT_FALSE(from.IsValid());
        ASSERT_TRUE(to.IsValid()) << kind;
        EXPECT_EQ(to.GetStorageKind(), kind);
        EXPECT_EQ(RowsOf(to, 15), rows) << kind;
        if (kind != CImageBuffer::kTempFile) {
            EXPECT_NE(to.GetBits(), nullptr);
        }
    }
}
