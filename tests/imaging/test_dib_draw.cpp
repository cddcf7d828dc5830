#include "imaging/dib_bitmap.h"
#include "platform/gdi/dc.h"

#include <gtest/gtest.h>

#include <QImage>

#include <vector>

namespace {

// A 24-bit bitmap whose pixel (x, y from the top) is colour(x, y).
template <typename F>
CDibBitmap Make24(int w, int h, F colour)
{
    CDibBitmap dib;
    EXPECT_TRUE(dib.CreateDib(CSize(w, h), 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = colour(x, y);
            BYTE* p = dib.GetBits() + (h - 1 - y) * dib.GetStride() + x * 3;
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return dib;
}

CDibBitmap Uniform(int w, int h, COLORREF c)
{
    return Make24(w, h, [c](int, int) { return c; });
}

// Colour of any depth through a 24-bit copy.
COLORREF Shown(const CDibBitmap& dib, int x, int y)
{
    CDibBitmap deep = dib;
    EXPECT_TRUE(deep.ConvertBitDepth(24));
    return deep.GetPixel(x, y);
}

COLORREF QtPixel(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

} // namespace

TEST(DibConvert, ErrorDiffusion)
{
    // Exact colours of the standard table stay exact.
    CDibBitmap reduced;
    ASSERT_TRUE(reduced.ReduceTo8Bit(Uniform(5, 4, RGB(0, 0, 0))));
    EXPECT_EQ(reduced.GetBits()[0], 226);
    ASSERT_TRUE(reduced.ReduceTo8Bit(Uniform(5, 4, RGB(255, 0, 0))));
    EXPECT_EQ(reduced.GetBits()[reduced.GetStride() + 4], 190);

    // A colour between entries is mixed from them: the mean stays close.
    ASSERT_TRUE(reduced.ReduceTo8Bit(Uniform(16, 16, RGB(100, 40, 220))));
    ASSERT_EQ(reduced.GetBitsPerPixel(), 8);
    double r = 0, g = 0, b = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const COLORREF c = reduced.GetPixel(x, y);
            r += GetRValue(c), g += GetGValue(c), b += GetBValue(c);
        }
    EXPECT_NEAR(r / 256, 100, 6);
    EXPECT_NEAR(g / 256, 40, 6);
    EXPECT_NEAR(b / 256, 220, 6);

    // To 1 bit: light sets the bit (white), a mid grey gives about half.
    ASSERT_TRUE(reduced.ReduceTo1Bit(Uniform(8, 8, RGB(255, 255, 255))));
    EXPECT_EQ(reduced.GetPixel(7, 7), RGB(255, 255, 255));
    ASSERT_TRUE(reduced.ReduceTo1Bit(Uniform(16, 16, RGB(128, 128, 128))));
    int white = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            white += reduced.GetPixel(x, y) == RGB(255, 255, 255);
    EXPECT_NEAR(white, 128, 12);

    // A 1-bit source is read through its table, whichever way round it is.
    const RGBQUAD inverted[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    CDibBitmap mono;
    ASSERT_TRUE(mono.CreateDib(CSize(8, 1), 1, nullptr, inverted, RGB(255, 255, 255)));
    ASSERT_TRUE(reduced.ReduceTo1Bit(mono));
    EXPECT_EQ(reduced.GetPixel(3, 0), RGB(255, 255, 255));
}

TEST(DibConvert, DepthsAndExtracts)
{
    const CDibBitmap picture = Make24(4, 2, [](int x, int y) {
        const COLORREF c[2][4] = {{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)},
                                  {RGB(0, 0, 0), RGB(51, 102, 153), RGB(255, 255, 0), RGB(0, 255, 255)}};
        return c[y][x];
    });
    // 8 bits keep colours of the standard table, 24 and 32 bits every colour;
    // the rest keep black and white.
    struct Row {
        int bits;
        bool exact;
    };
    for (const Row r : {Row{8, true}, Row{16, false}, Row{32, true}, Row{24, true}, Row{1, false}}) {
        CDibBitmap copy = picture;
        ASSERT_TRUE(copy.ConvertBitDepth(r.bits)) << r.bits;
        EXPECT_EQ(copy.GetBitsPerPixel(), r.bits);
        for (int y = 0; y < 2 && r.exact; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(Shown(copy, x, y), picture.GetPixel(x, y)) << r.bits << " " << x << "," << y;
        if (!r.exact) {
            EXPECT_EQ(Shown(copy, 3, 0), RGB(255, 255, 255));
            EXPECT_EQ(Shown(copy, 0, 1), RGB(0, 0, 0));
        }
    }

    // An extract at twice the size, keeping an 8-bit table and indices.
    CDibBitmap indexed = picture;
    ASSERT_TRUE(indexed.ConvertBitDepth(8));
    CDibBitmap part;
    ASSERT_TRUE(part.ExtractRect(indexed, CRect(0, 0, 4, 2), CRect(1, 0, 3, 1)));
    EXPECT_EQ(part.GetPalette(), indexed.GetPalette());
    EXPECT_EQ(part.GetPixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(part.GetPixel(1, 1), RGB(0, 255, 0));
    EXPECT_EQ(part.GetPixel(2, 0), RGB(0, 0, 255));
    EXPECT_EQ(part.GetPixel(3, 1), RGB(0, 0, 255));

    // Drawing under a clip region changes only what lies inside it; the rest
    // of the target rectangle is white.
    CDibBitmap target = Uniform(4, 2, RGB(9, 9, 9));
    CRgn clip;
    clip.CreateRectRgn(0, 0, 2, 2);
    ASSERT_TRUE(CDibBitmap::StretchDraw(picture, target, CRect(0, 0, 4, 2), CRect(0, 0, 4, 2), &clip, true));
    EXPECT_EQ(target.GetPixel(1, 1), RGB(51, 102, 153));
    EXPECT_EQ(target.GetPixel(2, 0), RGB(255, 255, 255));

    // A deep source into a 4-bit target cannot be reduced: only the white fill.
    CDibBitmap four;
    ASSERT_TRUE(four.CreateDib(CSize(4, 2), 4, nullptr, nullptr, RGB(0, 0, 0)));
    ASSERT_TRUE(CDibBitmap::StretchDraw(picture, four, CRect(0, 0, 4, 2), CRect(0, 0, 4, 2)));
    CDibBitmap white;
    ASSERT_TRUE(white.CreateDib(CSize(1, 1), 4, nullptr, nullptr, RGB(255, 255, 255)));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Shown(four, x, 1), Shown(white, 0, 0)) << x;
}

TEST(DibConvert, Resampling)
{
    CDibBitmap out;
    ASSERT_TRUE(out.ResampleInto(Uniform(3, 3, RGB(10, 200, 30)), CRect(0, 0, 3, 3), CRect(0, 0, 7, 5)));
    EXPECT_EQ(out.GetSize(), CSize(7, 5));
    EXPECT_EQ(out.GetPixel(6, 4), RGB(10, 200, 30));

    // Bicubic enlargement of a one-pixel-wide picture copies it across.
    const CDibBitmap column = Make24(1, 4, [](int, int y) { return RGB(y * 60, 0, 0); });
    ASSERT_TRUE(out.ResampleIntoEx(column, CRect(0, 0, 1, 4), CRect(0, 0, 9, 4)));
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(out.GetPixel(x, 2), RGB(120, 0, 0)) << x;

    // Bicubic 640 to 1024 stays inside its rows.
    const CDibBitmap wide = Make24(640, 8, [](int x, int y) { return RGB(x & 255, y * 30, 7); });
    ASSERT_TRUE(out.ResampleIntoEx(wide, CRect(0, 0, 640, 8), CRect(0, 0, 1024, 8)));

    // Paletted sources are resampled as colours, not indices.
    CDibBitmap indexed = Uniform(4, 4, RGB(255, 0, 0));
    ASSERT_TRUE(indexed.ConvertBitDepth(8));
    ASSERT_TRUE(out.ResampleInto(indexed, CRect(0, 0, 4, 4), CRect(0, 0, 2, 2)));
    EXPECT_EQ(out.GetBitsPerPixel(), 24);
    EXPECT_EQ(out.GetPixel(1, 1), RGB(255, 0, 0));
    EXPECT_FALSE(out.ResampleInto(indexed, CRect(2, 2, 6, 6), CRect(0, 0, 2, 2)));
}

TEST(DibConvert, CombineRect24)
{
    const CDibBitmap source = Make24(4, 4, [](int x, int y) { return RGB(x * 10, y * 10, 200); });
    const CDibBitmap mask = Make24(2, 2, [](int x, int) { return x == 0 ? RGB(0, 0, 0) : RGB(255, 128, 255); });
    struct Row {
        const char* what;
        CRect rect;
        bool withMask;
        int dx, dy;
        CPoint probe;
        COLORREF expected;
    };
    const COLORREF t = RGB(100, 100, 100);
    const Row rows[] = {
        {"copy with offset", CRect(0, 0, 2, 2), false, 1, 2, CPoint(1, 1), RGB(20, 30, 200)},
        {"mask 0 takes the source", CRect(0, 0, 2, 2), true, 0, 0, CPoint(0, 1), RGB(0, 10, 200)},
        {"mask 255 keeps the target", CRect(0, 0, 2, 2), true, 0, 0, CPoint(1, 1), RGB(100, 54, 100)},
        {"outside the mask stays", CRect(0, 0, 4, 4), true, 0, 0, CPoint(3, 3), t},
        {"outside the source stays", CRect(0, 0, 6, 6), false, 3, 3, CPoint(2, 2), t},
        {"negative offset clipped", CRect(0, 0, 4, 4), false, -2, -2, CPoint(1, 1), t},
        {"negative offset inside", CRect(0, 0, 4, 4), false, -2, -2, CPoint(3, 2), RGB(10, 0, 200)},
    };
    for (const Row& r : rows) {
        CDibBitmap target = Uniform(5, 5, t);
        ASSERT_TRUE(target.CombineRect24(source, r.rect, r.withMask ? &mask : nullptr, r.dx, r.dy)) << r.what;
        EXPECT_EQ(target.GetPixel(r.probe.x, r.probe.y), r.expected) << r.what;
    }
    CDibBitmap eight = Uniform(2, 2, t);
    ASSERT_TRUE(eight.ConvertBitDepth(8));
    EXPECT_FALSE(eight.CombineRect24(source, CRect(0, 0, 2, 2)));
}

TEST(DibConvert, Rotation)
{
    // 90 degrees turns clockwise on screen.
    CDibBitmap dib = Make24(3, 2, [](int x, int y) { return RGB(y * 3 + x + 1, 0, 0); });
    ASSERT_TRUE(dib.Rotate(90));
    ASSERT_EQ(dib.GetSize(), CSize(2, 3));
    const int expected[3][2] = {{4, 1}, {5, 2}, {6, 3}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(GetRValue(dib.GetPixel(x, y)), expected[y][x]) << x << "," << y;

    // Four quarter turns give the original at every depth.
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        CDibBitmap pic;
        ASSERT_TRUE(pic.CreateDib(CSize(13, 7), bits));
        for (int i = 0; i < pic.GetStride() * 7; ++i)
            pic.GetBits()[i] = static_cast<BYTE>(i * 37 + 11);
        // Padding is not picture.
        CDibBitmap original = pic;
        for (int turn = 0; turn < 4; ++turn)
            ASSERT_TRUE(pic.Rotate(-90)) << bits;
        ASSERT_EQ(pic.GetSize(), original.GetSize()) << bits;
        const CRect whole(0, 0, 13, 7);
        CDibBitmap a, b;
        ASSERT_TRUE(a.ExtractRect(original, whole, whole, 24));
        ASSERT_TRUE(b.ExtractRect(pic, whole, whole, 24));
        EXPECT_EQ(std::vector<BYTE>(a.GetBits(), a.GetBits() + a.GetDibImageSize()),
                  std::vector<BYTE>(b.GetBits(), b.GetBits() + b.GetDibImageSize())) << bits;
    }

    // An oblique turn grows the bounds; corners without a source are zero.
    CDibBitmap square = Uniform(20, 20, RGB(255, 255, 255));
    ASSERT_TRUE(square.Rotate(45));
    EXPECT_GE(square.GetSize().cx, 28);
    EXPECT_EQ(square.GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(square.GetPixel(square.GetSize().cx / 2, square.GetSize().cy / 2), RGB(255, 255, 255));
    const BYTE* bits = square.GetBits();
    ASSERT_TRUE(square.Rotate(-720));
    EXPECT_EQ(square.GetBits(), bits);
}

TEST(DibDraw, OnImageDevices)
{
    const CDibBitmap picture = Make24(3, 2, [](int x, int y) { return RGB(x * 100, y * 100, 50); });
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        CDC dc(&image);
        ASSERT_TRUE(picture.Draw(&dc, CRect(1, 1, 4, 3)));                     // 1:1
        ASSERT_TRUE(picture.DrawRect(&dc, CRect(1, 0, 3, 2), CRect(4, 2, 8, 6)));  // 2x
    }
    EXPECT_EQ(QtPixel(image, 1, 1), RGB(0, 0, 50));
    EXPECT_EQ(QtPixel(image, 3, 2), RGB(200, 100, 50));
    EXPECT_EQ(QtPixel(image, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(QtPixel(image, 4, 2), RGB(100, 0, 50));
    EXPECT_EQ(QtPixel(image, 7, 5), RGB(200, 100, 50));

    // Paletted, 16-bit and 4-bit bitmaps draw their colours.
    for (int bits : {1, 4, 8, 16, 32}) {
        CDibBitmap copy = Make24(3, 2, [](int x, int) { return x == 2 ? RGB(0, 0, 0) : RGB(128, 0, 0); });
        ASSERT_TRUE(copy.ConvertBitDepth(bits));
        QImage out(3, 2, QImage::Format_RGB32);
        out.fill(Qt::white);
        {
            CDC dc(&out);
            ASSERT_TRUE(copy.Draw(&dc, CRect(0, 0, 3, 2))) << bits;
        }
        EXPECT_EQ(QtPixel(out, 2, 1), RGB(0, 0, 0)) << bits;
        EXPECT_EQ(QtPixel(out, 0, 0), Shown(copy, 0, 0)) << bits;
    }

    // A clip region limits the drawing.
    image.fill(Qt::black);
    {
        CDC dc(&image);
        CRgn clip;
        clip.CreateRectRgn(0, 0, 2, 6);
        ASSERT_TRUE(picture.Draw(&dc, CRect(0, 0, 3, 2), &clip));
    }
    EXPECT_EQ(QtPixel(image, 1, 0), RGB(100, 0, 50));
    EXPECT_EQ(QtPixel(image, 2, 0), RGB(0, 0, 0));

    // A 1 x 1 source fills the whole destination when resampled.
    image.fill(Qt::black);
    {
        CDC dc(&image);
        ASSERT_TRUE(picture.DrawResampled(&dc, CRect(2, 1, 3, 2), CRect(0, 0, 8, 6)));
    }
    EXPECT_EQ(QtPixel(image, 0, 0), RGB(200, 100, 50));
    EXPECT_EQ(QtPixel(image, 7, 5), RGB(200, 100, 50));
    image.fill(Qt::black);
    {
        CDC dc(&image);
        ASSERT_TRUE(Uniform(3, 2, RGB(40, 50, 60)).DrawResampledEx(&dc, CRect(0, 0, 3, 2), CRect(0, 0, 8, 6)));
    }
    EXPECT_EQ(QtPixel(image, 5, 4), RGB(40, 50, 60));
}

TEST(DibDraw, MonochromeDeviceGetsDiffusedPixels)
{
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CBitmap mono;
    ASSERT_TRUE(mono.CreateBitmap(16, 16, 1, 1, nullptr));
    dc.SelectObject(&mono);
    ASSERT_EQ(dc.GetDeviceCaps(BITSPIXEL), 1);
    ASSERT_TRUE(Uniform(16, 16, RGB(128, 128, 128)).Draw(&dc, CRect(0, 0, 16, 16)));
    int white = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            white += dc.GetPixel(x, y) == RGB(255, 255, 255);
    EXPECT_NEAR(white, 128, 16);
}
