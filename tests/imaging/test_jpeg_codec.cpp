#include "imaging/dib_bitmap.h"
#include "imaging/jpeg_codec.h"
#include "imaging/pixel_types.h"
#include "platform/exceptions.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace {

// A smooth test picture in DIB rows: grey (1 sample) or blue-green-red.
std::vector<uint8_t> Gradient(int width, int height, int components)
{
    const size_t stride = DibRowBytes(width, components * 8);
    std::vector<uint8_t> bits(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bits.data() + y * stride + x * components;
            p[0] = static_cast<uint8_t>(x * 255 / width);
            if (components == 3) {
                p[1] = static_cast<uint8_t>(y * 255 / height);
                p[2] = static_cast<uint8_t>((x + y) * 127 / (width + height) + 64);
            }
        }
    return bits;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& bits, int type, int width, int height, int quality = 90)
{
    std::vector<uint8_t> out;
    size_t count = 0;
    EXPECT_EQ(JpegEncode(bits.data(), type, true, width, height, quality, 96, 96, 0, nullptr, 0, nullptr, 0, out,
                         &count, nullptr),
              0);
    EXPECT_EQ(count, out.size());
    return out;
}

// A flat grey JPEG of any size made by hand, with one 1-bit code for a DC
// difference of 0 and one for the end of block: baseline with one component
// (two zero bits a block), or progressive with its first scan only (the DC
// of every component, one zero bit a block). It is about the least data a
// picture of that size can be, and costs nothing to make even at 100 million pixels.
std::vector<uint8_t> FlatJpeg(uint16_t width, uint16_t height, uint8_t components = 1, bool progressive = false)
{
    std::vector<uint8_t> j{0xFF, 0xD8};
    auto segment = [&](uint8_t marker, std::vector<uint8_t> body) {
        j.insert(j.end(), {0xFF, marker, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)});
        j.insert(j.end(), body.begin(), body.end());
    };
    std::vector<uint8_t> quant(65, 1);
    quant[0] = 0;
    segment(0xDB, quant);
    std::vector<uint8_t> frame{8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width),
                               components};
    std::vector<uint8_t> scan{components};
    for (uint8_t c = 1; c <= components; ++c) {
        frame.insert(frame.end(), {c, 0x11, 0});
        scan.insert(scan.end(), {c, 0x00});
    }
    scan.insert(scan.end(), {0, uint8_t(progressive ? 0 : 63), 0});
    segment(progressive ? 0xC2 : 0xC0, frame);
    for (uint8_t table : {0x00, 0x10}) {  // DC and AC table 0: one code of one bit, for symbol 0
        std::vector<uint8_t> huff(18, 0);
        huff[0] = table;
        huff[1] = 1;
        segment(0xC4, huff);
    }
    segment(0xDA, scan);
    const uint64_t blocks = uint64_t((width + 7) / 8) * ((height + 7) / 8) * components;
    j.resize(j.size() + (blocks * (progressive ? 1 : 2) + 7) / 8, 0);
    j.insert(j.end(), {0xFF, 0xD9});
    return j;
}

double MeanAbsError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / a.size();
}

} // namespace

TEST(JpegCodec, RoundTripWithinQualityBound)
{
    struct Row {
        int type;
        int components;
        int quality;
        double maxError;
    };
    const Row rows[] = {
        {PixelType::Bgr24, 3, 95, 2.0},
        {PixelType::Bgr24, 3, 50, 4.0},
        {PixelType::Grey8, 1, 95, 1.5},
        {PixelType::Grey8, 1, 50, 3.0},
    };
    const int w = 61, h = 37;  // odd sizes exercise the row padding
    for (const Row& r : rows) {
        const auto bits = Gradient(w, h, r.components);
        const auto jpeg = Encode(bits, r.type, w, h, r.quality);
        BITMAPINFOHEADER header;
        ASSERT_TRUE(JpegReadHeader(jpeg.data(), jpeg.size(), &header));
        EXPECT_EQ(header.biWidth, w);
        EXPECT_EQ(header.biHeight, h);
        EXPECT_EQ(header.biBitCount, r.components * 8);
        EXPECT_EQ(header.biXPelsPerMeter, 5668);
        std::vector<uint8_t> decoded(bits.size());
        ASSERT_TRUE(JpegDecode(jpeg.data(), jpeg.size(), decoded.data(), decoded.size()));
        // Padding bytes are not picture: compare pixels only.
        const size_t stride = DibRowBytes(w, r.components * 8);
        std::vector<uint8_t> a, b;
        for (int y = 0; y < h; ++y) {
            a.insert(a.end(), bits.begin() + y * stride, bits.begin() + y * stride + w * r.components);
            b.insert(b.end(), decoded.begin() + y * stride, decoded.begin() + y * stride + w * r.components);
        }
        EXPECT_LT(MeanAbsError(a, b), r.maxError) << "type " << r.type << " quality " << r.quality;
    }
}

TEST(JpegCodec, ChannelOrderAndOrientation)
{
    // One red top row over blue: checks both the byte order and bottom-up rows.
    const int w = 16, h = 16;
    std::vector<uint8_t> bgr(DibRowBytes(w, 24) * h);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = bgr.data() + row * DibRowBytes(w, 24) + x * 3;
            const bool top = row >= h / 2;  // stored bottom-up
            p[0] = top ? 0 : 255, p[1] = 0, p[2] = top ? 255 : 0;
        }
    // The same picture as top-down red-green-blue rows.
    std::vector<uint8_t> rgb(bgr.size());
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w * 3; x += 3) {
            const uint8_t* s = bgr.data() + (h - 1 - row) * DibRowBytes(w, 24) + x;
            uint8_t* d = rgb.data() + row * DibRowBytes(w, 24) + x;
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        }
    std::vector<uint8_t> a, b;
    size_t count = 0;
    ASSERT_EQ(JpegEncode(bgr.data(), PixelType::Bgr24, true, w, h, 95, 96, 96, 0, nullptr, 0, nullptr, 0, a, &count,
                         nullptr), 0);
    ASSERT_EQ(JpegEncode(rgb.data(), PixelType::Rgb24, false, w, h, 95, 96, 96, 0, nullptr, 0, nullptr, 0, b, &count,
                         nullptr), 0);
    EXPECT_EQ(a, b);
    CDibBitmap dib;
    ASSERT_TRUE(JpegDecodeToDibSection(a.data(), a.size(), dib));
    const COLORREF top = dib.GetPixel(8, 2), bottom = dib.GetPixel(8, 13);
    EXPECT_GT(GetRValue(top), 200);
    EXPECT_LT(GetBValue(top), 50);
    EXPECT_GT(GetBValue(bottom), 200);
    EXPECT_LT(GetRValue(bottom), 50);
}

TEST(JpegCodec, DecodeToDibSectionDepthAndTable)
{
    const int w = 24, h = 10;
    const auto grey = Encode(Gradient(w, h, 1), PixelType::Grey8, w, h);
    CDibBitmap dib;
    ASSERT_TRUE(JpegDecodeToDibSection(grey.data(), grey.size(), dib));
    EXPECT_EQ(dib.GetBitsPerPixel(), 8);
    ASSERT_EQ(dib.GetPaletteSize(), 256);
    for (int i : {0, 77, 255})
        EXPECT_EQ(dib.GetPalette()[i], (RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0}));

    const auto colour = Encode(Gradient(w, h, 3), PixelType::Bgr24, w, h);
    ASSERT_TRUE(JpegDecodeToDibSection(colour.data(), colour.size(), dib));
    EXPECT_EQ(dib.GetBitsPerPixel(), 24);
    EXPECT_EQ(dib.GetSize(), CSize(w, h));
}

TEST(JpegCodec, ReducedScales)
{
    const int w = 203, h = 97;
    const auto jpeg = Encode(Gradient(w, h, 3), PixelType::Bgr24, w, h);
    for (int scale : {1, 2, 4, 8}) {
        BITMAPINFOHEADER header;
        ASSERT_TRUE(JpegReadHeader(jpeg.data(), jpeg.size(), &header, scale));
        EXPECT_EQ(header.biWidth, (w + scale - 1) / scale) << scale;
        EXPECT_EQ(header.biHeight, (h + scale - 1) / scale) << scale;
        CDibBitmap dib;
        ASSERT_TRUE(JpegDecodeToDibSection(jpeg.data(), jpeg.size(), dib, scale));
        EXPECT_EQ(dib.GetSize(), CSize(header.biWidth, header.biHeight));
        // The left edge is dark, the right edge light at every scale.
        EXPECT_LT(GetBValue(dib.GetPixel(0, 0)), 40);
        EXPECT_GT(GetBValue(dib.GetPixel(header.biWidth - 1, 0)), 200);
    }
    BITMAPINFOHEADER header;
    EXPECT_THROW(JpegReadHeader(jpeg.data(), jpeg.size(), &header, 3), CUserException);
}

TEST(JpegCodec, BadDataFailsAtOurBoundary)
{
    const int w = 64, h = 64;
    const auto bits = Gradient(w, h, 3);
    const auto jpeg = Encode(bits, PixelType::Bgr24, w, h);
    std::vector<uint8_t> out(bits.size());
    BITMAPINFOHEADER header;

    // Empty data fail at once.
    EXPECT_THROW(JpegReadHeader(nullptr, 0, &header), CUserException);
    EXPECT_THROW(JpegDecode(jpeg.data(), 0, out.data(), out.size()), CUserException);
    CDibBitmap dib;
    EXPECT_FALSE(JpegDecodeToDibSection(nullptr, 0, dib));
    EXPECT_FALSE(dib.IsValid());

    // Cut inside the headers: an error. Cut inside the scan: decodes as far as it goes.
    EXPECT_THROW(JpegReadHeader(jpeg.data(), 100, &header), CUserException);
    const size_t half = jpeg.size() / 2 + 200;
    ASSERT_TRUE(JpegDecode(jpeg.data(), half, out.data(), out.size()));
    ASSERT_TRUE(JpegDecodeToDibSection(jpeg.data(), half, dib));
    EXPECT_EQ(dib.GetSize(), CSize(w, h));
    // The top rows arrived intact.
    const COLORREF c = dib.GetPixel(w - 1, 0);
    EXPECT_GT(GetBValue(c), 200);

    // Too small a caller buffer is refused, not overrun.
    std::vector<uint8_t> small(out.size() - 1);
    EXPECT_THROW(JpegDecode(jpeg.data(), jpeg.size(), small.data(), small.size()), CUserException);

    // Not a JPEG at all.
    const std::vector<uint8_t> junk(300, 0x42);
    EXPECT_THROW(JpegReadHeader(junk.data(), junk.size(), &header), CUserException);
    EXPECT_FALSE(JpegDecodeToDibSection(junk.data(), junk.size(), dib));
    EXPECT_TRUE(dib.IsValid());  // the failed call left the old picture
}

TEST(JpegCodec, PixelLimitAllowsTheLimitAndRefusesOnePast)
{
    // 20000 x 12500 is exactly the limit: the header reads; one more column does not.
    static_assert(20000ull * 12500 == kJpegMaxPixels);
    const auto atLimit = FlatJpeg(20000, 12500);
    BITMAPINFOHEADER header;
    ASSERT_TRUE(JpegReadHeader(atLimit.data(), atLimit.size(), &header));
    EXPECT_EQ(header.biWidth, 20000);
    EXPECT_EQ(header.biHeight, 12500);
    const auto past = FlatJpeg(20001, 12500);
    EXPECT_THROW(JpegReadHeader(past.data(), past.size(), &header), CUserException);
    std::vector<uint8_t> rows(16);
    EXPECT_THROW(JpegDecode(past.data(), past.size(), rows.data(), rows.size(), JpegScaleEighth), CUserException);
    CDibBitmap dib;
    EXPECT_FALSE(JpegDecodeToDibSection(past.data(), past.size(), dib, JpegScaleEighth));
}

TEST(JpegCodec, HeaderMayNotPromiseMorePixelsThanItsDataCarry)
{
    // 1024 x 1024 pixels need at least 1024 bytes: the picture cut to exactly
    // that many decodes as far as it goes; one byte less is refused before
    // anything is allocated.
    const auto whole = FlatJpeg(1024, 1024);
    const size_t atLimit = 1024 * 1024 / kJpegMaxPixelsPerByte;
    ASSERT_GT(whole.size(), atLimit);
    BITMAPINFOHEADER header;
    CDibBitmap dib;
    EXPECT_TRUE(JpegReadHeader(whole.data(), atLimit, &header));
    EXPECT_TRUE(JpegDecodeToDibSection(whole.data(), atLimit, dib));
    EXPECT_EQ(dib.GetSize(), CSize(1024, 1024));
    EXPECT_THROW(JpegReadHeader(whole.data(), atLimit - 1, &header), CUserException);
    EXPECT_FALSE(JpegDecodeToDibSection(whole.data(), atLimit - 1, dib));
    EXPECT_EQ(dib.GetSize(), CSize(1024, 1024));  // the failed call left the old picture
}

TEST(JpegCodec, CoefficientLimitAllowsTheLimitAndRefusesOnePast)
{
    // Three full-resolution components of 2048 x 1024 blocks each are exactly
    // the coefficient limit for a progressive picture; one more column of
    // blocks is past it. A single-scan picture keeps no coefficients: the
    // same size decodes a strip of blocks at a time.
    static_assert(3ull * 2048 * 1024 * 128 == kJpegMaxCoefficientBytes);
    BITMAPINFOHEADER header;
    const auto atLimit = FlatJpeg(16384, 8192, 3, true);
    EXPECT_TRUE(JpegReadHeader(atLimit.data(), atLimit.size(), &header));
    const auto past = FlatJpeg(16392, 8192, 3, true);
    EXPECT_THROW(JpegReadHeader(past.data(), past.size(), &header), CUserException);
    const auto baseline = FlatJpeg(16392, 8192);
    EXPECT_TRUE(JpegReadHeader(baseline.data(), baseline.size(), &header));

    // A small progressive picture decodes through its coefficients.
    const auto small = FlatJpeg(40, 24, 3, true);
    CDibBitmap dib;
    ASSERT_TRUE(JpegDecodeToDibSection(small.data(), small.size(), dib));
    EXPECT_EQ(dib.GetPixel(39, 23), RGB(128, 128, 128));
}

TEST(JpegCodec, HundredMegapixelPictureDecodes)
{
    // The size of a 100-megapixel medium-format camera's pictures, with the
    // least data such a picture can have: real photographs are further inside both limits.
    const auto jpeg = FlatJpeg(11648, 8736);
    CDibBitmap dib;
    ASSERT_TRUE(JpegDecodeToDibSection(jpeg.data(), jpeg.size(), dib));
    EXPECT_EQ(dib.GetSize(), CSize(11648, 8736));
    EXPECT_EQ(dib.GetPixel(11647, 8735), RGB(128, 128, 128));
}

TEST(JpegCodec, CmykIsRefused)
{
    const int w = 16, h = 8;
    std::vector<uint8_t> cmyk(w * 4 * h, 0x40);
    std::vector<uint8_t> jpeg;
    size_t count = 0;
    ASSERT_EQ(JpegEncode(cmyk.data(), PixelType::Cmyk32, false, w, h, 90, 96, 96, 0, nullptr, 0, nullptr, 0, jpeg,
                         &count, nullptr), 0);
    BITMAPINFOHEADER header;
    header.biBitCount = 77;
    EXPECT_FALSE(JpegReadHeader(jpeg.data(), jpeg.size(), &header));
    EXPECT_EQ(header.biBitCount, 77);
    EXPECT_EQ(header.biWidth, w);
    std::vector<uint8_t> out(DibRowBytes(w, 32) * h);
    EXPECT_THROW(JpegDecode(jpeg.data(), jpeg.size(), out.data(), out.size()), CUserException);
    CDibBitmap dib;
    EXPECT_FALSE(JpegDecodeToDibSection(jpeg.data(), jpeg.size(), dib));
}

TEST(JpegCodec, EncoderArguments)
{
    const int w = 8, h = 8;
    const auto bits = Gradient(w, h, 3);
    std::vector<uint8_t> out;
    size_t count = 0;
    // Codes without an encoder layout, and empty pictures, are library errors.
    for (int type : {0, 1, 8, 9, 12, 19, 21})
        EXPECT_THROW(JpegEncode(bits.data(), type, true, w, h, 90, 96, 96, 0, nullptr, 0, nullptr, 0, out, &count,
                                nullptr), CUserException) << type;
    EXPECT_THROW(JpegEncode(bits.data(), PixelType::Bgr24, true, 0, h, 90, 96, 96, 0, nullptr, 0, nullptr, 0, out,
                            &count, nullptr), CUserException);
    const std::vector<uint8_t> big(65534, 1);
    EXPECT_THROW(JpegEncode(bits.data(), PixelType::Bgr24, true, w, h, 90, 96, 96, 0, big.data(), big.size(),
                            nullptr, 0, out, &count, nullptr), CUserException);

    // Output is appended behind what the block holds; densities land in the JFIF header.
    out.assign(5, 0xAB);
    ASSERT_EQ(JpegEncode(bits.data(), PixelType::Bgr24, true, w, h, 90, 300, 72, 0, nullptr, 0, nullptr, 0, out,
                         &count, nullptr), 0);
    ASSERT_EQ(out.size(), count + 5);
    const uint8_t* jfif = out.data() + 5;
    ASSERT_EQ(jfif[0], 0xFF);
    ASSERT_EQ(jfif[1], 0xD8);
    ASSERT_EQ(jfif[3], 0xE0);
    EXPECT_EQ(jfif[13], 1);  // dots per inch
    EXPECT_EQ(jfif[14] << 8 | jfif[15], 300);
    EXPECT_EQ(jfif[16] << 8 | jfif[17], 72);
}

TEST(JpegCodec, AppMarkersFollowTheHeaderInOrder)
{
    const int w = 8, h = 8;
    const auto bits = Gradient(w, h, 1);
    const std::vector<uint8_t> app1{'E', 'x', 'i', 'f', 0, 0, 1, 2}, app2{'I', 'C', 'C', 9};
    std::vector<uint8_t> out;
    size_t count = 0;
    ASSERT_EQ(JpegEncode(bits.data(), PixelType::Grey8, true, w, h, 90, 96, 96, 0, app1.data(), app1.size(),
                         app2.data(), app2.size(), out, &count, nullptr), 0);
    // SOI, APP0 (JFIF, 16 bytes + marker), then APP1 and APP2 with their data.
    const size_t app1At = 2 + 2 + 16;
    ASSERT_GT(out.size(), app1At + 4 + app1.size() + 4 + app2.size());
    EXPECT_EQ(out[app1At + 1], 0xE1);
    EXPECT_EQ(out[app1At + 2] << 8 | out[app1At + 3], int(app1.size() + 2));
    EXPECT_TRUE(std::equal(app1.begin(), app1.end(), out.begin() + app1At + 4));
    const size_t app2At = app1At + 4 + app1.size();
    EXPECT_EQ(out[app2At + 1], 0xE2);
    EXPECT_TRUE(std::equal(app2.begin(), app2.end(), out.begin() + app2At + 4));
}

namespace {
int g_calls = 0;
int g_stopAt = -1;
int Progress(int row, int height, int reserved)
{
    ++g_calls;
    EXPECT_EQ(height, 20);
    EXPECT_EQ(reserved, 0);
    return row == g_stopAt;
}
} // namespace

TEST(JpegCodec, ProgressCallbackCanStop)
{
    const int w = 8, h = 20;
    const auto bits = Gradient(w, h, 3);
    std::vector<uint8_t> out;
    size_t count = 12345;
    g_calls = 0;
    g_stopAt = -1;
    ASSERT_EQ(JpegEncode(bits.data(), PixelType::Bgr24, true, w, h, 90, 96, 96, 0, nullptr, 0, nullptr, 0, out, &count,
                         Progress), 0);
    EXPECT_EQ(g_calls, h + 1);  // once up front, then before every row
    EXPECT_EQ(count, out.size());

    out.clear();
    count = 12345;
    g_stopAt = 0;
    EXPECT_EQ(JpegEncode(bits.data(), PixelType::Bgr24, true, w, h, 90, 96, 96, 0, nullptr, 0, nullptr, 0, out, &count,
                         Progress), -1);
    EXPECT_EQ(count, 12345u);
}

TEST(JpegCodec, ScanDataCopy)
{
    // A real 16x8 grey picture: the scan runs from behind the SOS segment to the EOI.
    const auto file = qrtest::ReadBytes(qrtest::DataPath("scan_copy_16x8.jpg"));
    ASSERT_GT(file.size(), 100u);
    size_t sos = 0;
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) {
            sos = i;
            break;
        }
    ASSERT_NE(sos, 0u);
    const size_t scanStart = sos + 2 + (file[sos + 2] << 8 | file[sos + 3]);
    const auto scan = JpegCopyScanData(file.data(), file.size());
    ASSERT_TRUE(scan);
    EXPECT_EQ(*scan, std::vector<uint8_t>(file.begin() + scanStart, file.end() - 2));

    // The same headers with scan bytes of our own making.
    const std::vector<uint8_t> head(file.begin(), file.begin() + scanStart);
    struct Row {
        std::vector<uint8_t> tail;
        std::optional<std::vector<uint8_t>> expected;
    };
    const Row rows[] = {
        {{0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD9}, std::vector<uint8_t>{0x12, 0xFF, 0x00, 0x34}},
        {{0x12, 0xFF, 0xFF, 0xFF, 0xD9}, std::vector<uint8_t>{0x12}},     // fill bytes dropped
        {{0xFF, 0xD9}, std::vector<uint8_t>{}},                           // an empty scan
        {{0x12, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xD9}, std::nullopt},       // ends in a restart marker
        {{0x12, 0x34, 0xFF, 0xDA, 0xFF, 0xD9}, std::nullopt},             // ends in another scan
        {{0x12, 0x34, 0x56}, std::nullopt},                               // no end marker
        {{0x12, 0xFF}, std::nullopt},
    };
    for (const Row& r : rows) {
        std::vector<uint8_t> data = head;
        data.insert(data.end(), r.tail.begin(), r.tail.end());
        EXPECT_EQ(JpegCopyScanData(data.data(), data.size()), r.expected) << r.tail.size();
    }

    // No scan at all: only the headers, an EOI before any scan, or empty data.
    EXPECT_FALSE(JpegCopyScanData(file.data(), sos));
    const std::vector<uint8_t> tablesOnly{0xFF, 0xD8, 0xFF, 0xD9};
    EXPECT_FALSE(JpegCopyScanData(tablesOnly.data(), tablesOnly.size()));
    EXPECT_FALSE(JpegCopyScanData(nullptr, 0));
}
