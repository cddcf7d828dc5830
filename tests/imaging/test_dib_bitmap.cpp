#include "imaging/dib_bitmap.h"
#include "platform/file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { Put16(v, x & 0xFFFF); Put16(v, x >> 16); }

// A BMP file put together field by field, so the reader is tested against
// bytes it did not write itself.
struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 5;
    int32_t height = 3;  // negative: top-down
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t tableEntries = 0;   // written colour table entries
    std::vector<uint32_t> masks; // R, G, B (inside large headers, else behind)
    std::vector<uint8_t> pixels; // as stored
    int64_t offBits = -1;        // -1: right behind the table
    uint32_t sizeImage = 0;
    uint32_t gapBeforePixels = 0;
};

std::vector<uint8_t> MakeBmp(const BmpLayout& s)
{
    std::vector<uint8_t> body;
    Put32(body, s.headerSize);
    if (s.headerSize == 12) {
        Put16(body, uint16_t(s.width));
        Put16(body, uint16_t(s.height));
        Put16(body, 1);
        Put16(body, s.bits);
    } else {
        Put32(body, uint32_t(s.width));
        Put32(body, uint32_t(s.height));
        Put16(body, 1);
        Put16(body, s.bits);
        Put32(body, s.compression);
        Put32(body, s.sizeImage);
        Put32(body, 2835);
        Put32(body, 2835);
        Put32(body, s.clrUsed);
        Put32(body, 0);
        if (s.headerSize > 40) {
            for (size_t i = 0; i < 3; ++i)
                Put32(body, i < s.masks.size() ? s.masks[i] : 0);
            body.resize(s.headerSize, 0);
        } else {
            for (uint32_t m : s.masks)
                Put32(body, m);
        }
    }
    for (uint32_t i = 0; i < s.tableEntries; ++i) {
        const uint8_t c = uint8_t(i * 37);
        body.push_back(c);
        body.push_back(uint8_t(255 - c));
        body.push_back(uint8_t(i));
        if (s.headerSize != 12)
            body.push_back(0);
    }
    body.resize(body.size() + s.gapBeforePixels, 0xEE);
    const uint32_t off = s.offBits >= 0 ? uint32_t(s.offBits) : uint32_t(14 + body.size());
    body.insert(body.end(), s.pixels.begin(), s.pixels.end());
    std::vector<uint8_t> file{'B', 'M'};
    Put32(file, uint32_t(14 + body.size()));
    Put32(file, 0);
    Put32(file, off);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 7 + 3);
    return v;
}

bool ReadBytes(CDibBitmap& dib, const std::vector<uint8_t>& bytes)
{
    CMemFile file(bytes.data(), bytes.size());
    return dib.Read(file);
}

std::vector<uint8_t> WriteBytes(const CDibBitmap& dib, float dpi = 96.0f)
{
    CMemFile file;
    EXPECT_TRUE(dib.Write(file, dpi));
    return file.Data();
}

uint32_t Le32(const std::vector<uint8_t>& v, size_t at)
{
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t(v[at + 3]) << 24;
}

std::vector<uint8_t> Bits(const CDibBitmap& dib)
{
    return {dib.GetBits(), dib.GetBits() + dib.GetDibImageSize()};
}

} // namespace

TEST(DibBitmap, BmpRoundTripOverEveryDepth)
{
    struct Row {
        uint16_t bits;
        uint32_t compression;
        std::vector<uint32_t> masks;
        uint32_t tableEntries;
    };
    const Row rows[] = {
        {1, 0, {}, 2},
        {4, 0, {}, 16},
        {8, 0, {}, 256},
        {16, 0, {}, 0},
        {16, 3, {0xF800, 0x07E0, 0x001F}, 0},
        {24, 0, {}, 0},
        {32, 0, {}, 0},
        {32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}, 0},
    };
    for (const Row& r : rows) {
        BmpLayout s;
        s.width = 7;
        s.height = 3;
        s.bits = r.bits;
        s.compression = r.compression;
        s.masks = r.masks;
        s.tableEntries = r.tableEntries;
        s.pixels = Pattern(DibRowBytes(7, r.bits) * 3);
        const auto file = MakeBmp(s);
        CDibBitmap dib;
        ASSERT_TRUE(ReadBytes(dib, file)) << r.bits;
        EXPECT_EQ(dib.GetSize(), CSize(7, 3));
        EXPECT_EQ(dib.GetBitsPerPixel(), r.bits);
        EXPECT_EQ(Bits(dib), s.pixels) << r.bits;
        EXPECT_EQ(dib.GetPaletteSize(), int(r.tableEntries));

        // Written at 96 dpi: one file header, the 40-byte header, the masks or
        // the table, the bits; the reader gives back the same picture.
        const auto written = WriteBytes(dib);
        const uint32_t behind = r.tableEntries * 4 + (r.masks.empty() ? 0 : 12);
        EXPECT_EQ(Le32(written, 10), 54 + behind) << r.bits;
        EXPECT_EQ(Le32(written, 2), written.size());
        EXPECT_EQ(Le32(written, 14), 40u);
        EXPECT_EQ(Le32(written, 14 + 24), 3779u);
        for (size_t i = 0; i < r.masks.size(); ++i)
            EXPECT_EQ(Le32(written, 54 + 4 * i), r.masks[i]) << r.bits;
        CDibBitmap back;
        ASSERT_TRUE(ReadBytes(back, written)) << r.bits;
        EXPECT_EQ(Bits(back), s.pixels) << r.bits;
        EXPECT_EQ(back.GetPalette(), dib.GetPalette());
        EXPECT_EQ(std::memcmp(back.GetBitMasks(), dib.GetBitMasks(), 12), 0);

        // The packed clipboard form carries the same.
        CDibBitmap packed;
        ASSERT_TRUE(packed.ReadFromGlobal(dib.CopyToGlobal())) << r.bits;
        EXPECT_EQ(Bits(packed), s.pixels);
    }
}

TEST(DibBitmap, HeaderForms)
{
    // 3 x 2 at 8 bits: rows of 4 bytes.
    const std::vector<uint8_t> pixels{1, 2, 3, 0, 4, 5, 6, 0};
    struct Row {
        const char* what;
        BmpLayout layout;
        std::vector<uint8_t> expectBits;
    };
    BmpLayout core;
    core.headerSize = 12, core.width = 3, core.height = 2, core.bits = 8, core.tableEntries = 256, core.pixels = pixels;
    BmpLayout v4 = core;
    v4.headerSize = 108, v4.tableEntries = 7, v4.clrUsed = 7;
    BmpLayout v5 = core;
    v5.headerSize = 124, v5.tableEntries = 256;
    BmpLayout topDown = core;
    topDown.headerSize = 40, topDown.height = -2;
    BmpLayout gap = core;
    gap.headerSize = 40, gap.gapBeforePixels = 100;  // a larger pixel-data offset is honoured
    BmpLayout zeroOffset = core;
    zeroOffset.headerSize = 40, zeroOffset.offBits = 0;  // taken as "right behind the table"
    const Row rows[] = {
        {"core", core, pixels},
        {"v4 with 7 colours", v4, pixels},
        {"v5", v5, pixels},
        {"top-down", topDown, {4, 5, 6, 0, 1, 2, 3, 0}},
        {"gap", gap, pixels},
        {"zero offset", zeroOffset, pixels},
    };
    for (const Row& r : rows) {
        CDibBitmap dib;
        ASSERT_TRUE(ReadBytes(dib, MakeBmp(r.layout))) << r.what;
        EXPECT_EQ(dib.GetSize(), CSize(3, 2)) << r.what;
        EXPECT_EQ(Bits(dib), r.expectBits) << r.what;
        // Tables of fewer entries are filled out to the depth's full count.
        ASSERT_EQ(dib.GetPaletteSize(), 256) << r.what;
        EXPECT_EQ(dib.GetPalette()[5], (RGBQUAD{uint8_t(5 * 37), uint8_t(255 - 5 * 37), 5, 0})) << r.what;
    }

    // Bit fields inside a 124-byte header.
    BmpLayout fields;
    fields.headerSize = 124, fields.width = 2, fields.height = 1, fields.bits = 16, fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = {0x00, 0xF8, 0xE0, 0x07};  // pure red, pure green
    CDibBitmap dib;
    ASSERT_TRUE(ReadBytes(dib, MakeBmp(fields)));
    EXPECT_EQ(dib.GetBitMasks()[0], 0xF800u);
    EXPECT_EQ(dib.GetBitMasks()[1], 0x07E0u);
}

TEST(DibBitmap, RunLengthData)
{
    BmpLayout s;
    s.width = 6, s.height = 3, s.bits = 8, s.compression = 1, s.tableEntries = 256;
    // Row 0: run of 3 x 9, absolute 3 pixels (7 8 9, padded); row 1: delta
    // (2, 1) to row 2 x 2, a run past the right edge; end of bitmap.
    s.pixels = {3, 9, 0, 3, 7, 8, 9, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 1};
    CDibBitmap dib;
    ASSERT_TRUE(ReadBytes(dib, MakeBmp(s)));
    const std::vector<uint8_t> expect{9, 9, 9, 7, 8, 9, 0, 0,  // rows of 8 bytes
                                      0, 0, 0, 0, 0, 0, 0, 0,
                                      0, 0, 5, 5, 5, 5, 0, 0};
    EXPECT_EQ(Bits(dib), expect);

    BmpLayout s4;
    s4.width = 5, s4.height = 1, s4.bits = 4, s4.compression = 2, s4.tableEntries = 16;
    s4.pixels = {3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1};  // 1 2 1, then absolute A B (C cut at the edge)
    ASSERT_TRUE(ReadBytes(dib, MakeBmp(s4)));
    EXPECT_EQ(Bits(dib), (std::vector<uint8_t>{0x12, 0x1A, 0xB0, 0x00}));

    // Deltas and runs that point far outside stay inside the bitmap.
    BmpLayout wild = s;
    wild.pixels = {0, 2, 255, 255, 255, 7, 0, 2, 0, 0, 0, 200, 1};
    ASSERT_TRUE(ReadBytes(dib, MakeBmp(wild)));
    EXPECT_EQ(dib.GetSize(), CSize(6, 3));
}

TEST(DibBitmap, BadFilesAreRefused)
{
    BmpLayout good;
    good.width = 4, good.height = 2, good.bits = 24, good.pixels = Pattern(24);
    const auto goodFile = MakeBmp(good);
    CDibBitmap check;
    ASSERT_TRUE(ReadBytes(check, goodFile));

    auto with = [&](auto change) {
        BmpLayout s = good;
        change(s);
        return MakeBmp(s);
    };
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {"empty", {}},
        {"file header only", {goodFile.begin(), goodFile.begin() + 14}},
        {"cut in the info header", {goodFile.begin(), goodFile.begin() + 30}},
        {"cut in the bits", {goodFile.begin(), goodFile.end() - 1}},
        {"unknown header size", with([](BmpLayout& s) { s.headerSize = 20; })},
        {"zero width", with([](BmpLayout& s) { s.width = 0; })},
        {"negative width", with([](BmpLayout& s) { s.width = -4; })},
        {"zero height", with([](BmpLayout& s) { s.height = 0; })},
        {"most negative height", with([](BmpLayout& s) { s.height = INT32_MIN; })},
        {"huge size", with([](BmpLayout& s) { s.width = 0x7FFFFFFF; s.height = 0x7FFFFFFF; })},
        {"size past the data", with([](BmpLayout& s) { s.width = 40000; s.height = 40000; })},
        {"bad depth", with([](BmpLayout& s) { s.bits = 7; })},
        {"unknown compression", with([](BmpLayout& s) { s.compression = 4; })},
        {"RLE8 at 24 bits", with([](BmpLayout& s) { s.compression = 1; })},
        {"top-down RLE", with([](BmpLayout& s) { s.bits = 8; s.compression = 1; s.height = -2; s.tableEntries = 256; })},
        {"too many colours", with([](BmpLayout& s) { s.bits = 8; s.clrUsed = 257; s.tableEntries = 257; s.pixels = Pattern(8); })},
        {"table past the end", with([](BmpLayout& s) { s.bits = 8; s.clrUsed = 0; s.tableEntries = 10; s.pixels = {}; })},
        {"offset past the end", with([](BmpLayout& s) { s.offBits = 100000; })},
        {"RLE size past the end", with([](BmpLayout& s) { s.bits = 8; s.compression = 1; s.tableEntries = 256; s.sizeImage = 5000; s.pixels = {0, 1}; })},
        {"bit fields cut", with([](BmpLayout& s) { s.bits = 16; s.compression = 3; s.pixels = {}; })},
    };
    for (const Row& r : rows) {
        CDibBitmap dib = check;
        EXPECT_FALSE(ReadBytes(dib, r.bytes)) << r.what;
        EXPECT_FALSE(dib.IsValid()) << r.what;
    }
    CDibBitmap dib;
    EXPECT_FALSE(dib.ReadFromGlobal({}));
    EXPECT_FALSE(dib.ReadFromGlobal({goodFile.begin() + 14, goodFile.end() - 3}));
}

TEST(DibBitmap, RawBitmapRecord)
{
    // Record: type, width 3, height 2, 4 row bytes, planes 1, 8 bits, pointer; top-down rows.
    std::vector<uint8_t> rec;
    Put32(rec, 0), Put32(rec, 3), Put32(rec, 2), Put32(rec, 4), Put16(rec, 1), Put16(rec, 8), Put32(rec, 0);
    rec.insert(rec.end(), {1, 2, 3, 0, 4, 5, 6, 0});
    CDibBitmap dib;
    ASSERT_TRUE(ReadBytes(dib, rec));
    EXPECT_EQ(dib.GetSize(), CSize(3, 2));
    EXPECT_EQ(Bits(dib), (std::vector<uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));
    EXPECT_EQ(dib.GetPaletteSize(), 256);

    std::vector<uint8_t> cut(rec.begin(), rec.end() - 1);
    EXPECT_FALSE(ReadBytes(dib, cut));
    std::vector<uint8_t> narrow = rec;
    narrow[12] = 2;  // fewer row bytes than three pixels need
    EXPECT_FALSE(ReadBytes(dib, narrow));

    // Planes and bits of 65535 each: their product does not fit an int, and
    // the record is refused for its planes before they are multiplied.
    EXPECT_FALSE(ReadBytes(dib, qrtest::ReadBytes(qrtest::DataPath("bitmap_record_planes_overflow.bin"))));
    EXPECT_FALSE(dib.IsValid());
}

TEST(DibBitmap, FilesOnDisk)
{
    qrtest::TempDir dir;
    CDibBitmap dib;
    ASSERT_TRUE(dib.CreateDib(CSize(4, 4), 24, nullptr, nullptr, RGB(1, 2, 3)));
    {
        CFile out((dir / "pic.BMP").string(), CFile::modeCreate | CFile::modeWrite);
        ASSERT_TRUE(dib.Write(out, 300.0f));
    }
    const auto bytes = qrtest::ReadBytes(dir / "pic.BMP");
    EXPECT_EQ(Le32(bytes, 14 + 24), 11811u);  // 300 dpi in pixels per metre, truncated
    qrtest::WriteBytes(dir / "pic.dat", bytes);
    CDibBitmap back;
    EXPECT_TRUE(back.LoadFromFile((dir / "pic.BMP").string()));
    EXPECT_EQ(back.GetPixel(3, 3), RGB(1, 2, 3));
    EXPECT_FALSE(back.LoadFromFile((dir / "pic.dat").string()));
    EXPECT_TRUE(back.LoadFromFile((dir / "pic.dat").string(), true));
    EXPECT_FALSE(back.LoadFromFile((dir / "missing.bmp").string()));
}

TEST(DibBitmap, CreateAndPixels)
{
    CDibBitmap dib;
    EXPECT_FALSE(dib.IsValid());
    EXPECT_EQ(dib.GetSize(), CSize());
    EXPECT_EQ(dib.GetPixel(0, 0), CLR_INVALID);
    EXPECT_FALSE(dib.CreateDib(CSize(0, 5), 24));
    EXPECT_FALSE(dib.CreateDib(CSize(5, 5), 12));
    EXPECT_FALSE(dib.CreateDib(CSize(1 << 20, 1 << 20), 24));  // over the size cap
    const uint64_t cap = CDibBitmap::MaxImageBytes();
    CDibBitmap::SetMaxImageBytes(4 * 12);  // exactly four rows of 4 x 24 bits
    EXPECT_TRUE(dib.CreateDib(CSize(4, 4), 24));
    EXPECT_FALSE(dib.CreateDib(CSize(4, 5), 24));
    CDibBitmap::SetMaxImageBytes(cap);

    struct Row {
        int bits;
        int stride;
        int pixelType;
        int samples;
        int paletteSize;
    };
    const Row rows[] = {
        {1, 4, 1, 1, 2}, {4, 4, 4, 1, 16}, {8, 8, 8, 1, 256}, {15, 12, 9, 0, 0},
        {16, 12, 9, 0, 0}, {24, 16, 11, 3, 0}, {32, 20, 12, 4, 0},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(dib.CreateDib(CSize(5, 2), r.bits, nullptr, nullptr, RGB(255, 255, 255))) << r.bits;
        EXPECT_EQ(dib.GetStride(), r.stride) << r.bits;
        EXPECT_EQ(dib.GetPixelType(), r.pixelType) << r.bits;
        EXPECT_EQ(dib.GetSamplesPerPixel(), r.samples) << r.bits;
        EXPECT_EQ(dib.GetPaletteSize(), r.paletteSize) << r.bits;
        EXPECT_EQ(dib.GetInfoHeader().biXPelsPerMeter, 3779);
        if (r.bits == 1 || r.bits == 8 || r.bits == 24) {
            EXPECT_EQ(dib.GetPixel(4, 1), RGB(255, 255, 255)) << r.bits;
        }
    }

    // 24 bits: bytes (10, 20, 30) are blue, green, red; y counts from the top.
    std::vector<uint8_t> bits(8 * 2, 0);
    bits[0] = 10, bits[1] = 20, bits[2] = 30;  // bottom-left
    ASSERT_TRUE(dib.CreateDib(CSize(2, 2), 24, bits.data()));
    EXPECT_EQ(dib.GetPixel(0, 1), RGB(30, 20, 10));
    EXPECT_EQ(dib.GetPixel(2, 0), CLR_INVALID);
    EXPECT_FALSE(dib.SetPixel(0, 0, 1));

    // 1 bit: the colour comes from the table, whichever way round it is.
    const RGBQUAD inverted[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    ASSERT_TRUE(dib.CreateDib(CSize(9, 1), 1, nullptr, inverted, RGB(255, 255, 255)));
    EXPECT_EQ(dib.GetBits()[0], 0x00);  // white is entry 0 here
    EXPECT_TRUE(dib.SetPixel(8, 0, 1));
    EXPECT_EQ(dib.GetBits()[1], 0x80);
    EXPECT_EQ(dib.GetPixel(8, 0), RGB(0, 0, 0));
    EXPECT_EQ(dib.GetPixel(7, 0), RGB(255, 255, 255));

    // 8 bits store the index; the standard table says what it shows.
    ASSERT_TRUE(dib.CreateDib(CSize(3, 3), 8, nullptr, nullptr, RGB(0, 0, 0)));
    EXPECT_TRUE(dib.SetPixel(1, 1, 234));
    EXPECT_EQ(dib.GetPixel(1, 1), RGB(255, 255, 255));

    // Copies are deep.
    CDibBitmap copy = dib;
    copy.SetPixel(1, 1, 0);
    EXPECT_EQ(dib.GetPixel(1, 1), RGB(255, 255, 255));
}

TEST(DibBitmap, StandardPalettesAndColourIndex)
{
    EXPECT_EQ(CDibBitmap::GetStandardPalette(3), nullptr);
    const RGBQUAD* p2 = CDibBitmap::GetStandardPalette(2);
    EXPECT_EQ(p2[1], (RGBQUAD{255, 255, 255, 0}));
    const RGBQUAD* p16 = CDibBitmap::GetStandardPalette(16);
    EXPECT_EQ(p16[9], (RGBQUAD{0, 202, 166, 0}));
    const RGBQUAD* p = CDibBitmap::GetStandardPalette(256);
    EXPECT_EQ(p[10 + 36 * 5 + 6 * 1 + 2], (RGBQUAD{102, 51, 255, 0}));
    EXPECT_EQ(p[226 + 3], (RGBQUAD{96, 96, 96, 0}));
    EXPECT_EQ(p[234], (RGBQUAD{255, 255, 255, 0}));
    EXPECT_EQ(p[240], (RGBQUAD{0, 0, 0, 0}));
    EXPECT_EQ(p[255], (RGBQUAD{255, 255, 255, 0}));

    struct Row {
        int r, g, b;
        int index;
    };
    const int one = 65536;
    const Row rows[] = {
        {128, 128, 128, 7},      {0, 0, 0, 226},         {224, 224, 224, 233},
        {255, 255, 255, 225},    {255, 0, 0, 190},       {51, 102, 153, 10 + 36 + 12 + 3},
        {-5, 0, 0, 226},         {300, 300, 300, 225},   {100, 100, 100, 10 + 2 * 43},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ColorToStandardIndex(r.r * one, r.g * one, r.b * one), r.index) << r.r << "," << r.g << "," << r.b;
}
