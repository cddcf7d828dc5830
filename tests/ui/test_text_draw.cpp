#include "ui/text_draw.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"
#include "support/test_support.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

LOGFONT Font(int height)
{
    LOGFONT lf;
    lf.lfHeight = height;
    SetLogFontFaceName(lf, qrtest::kTestFace);
    return lf;
}

QImage Blank()
{
    QImage image(240, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The rows that hold any dark pixel: first and one past the last; {0, 0} for none.
std::pair<int, int> InkRows(const QImage& image)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return first < 0 ? std::pair{0, 0} : std::pair{first, last + 1};
}

const UINT kWrap = DT_WORDBREAK | DT_NOPREFIX;

TEST(TextDraw, ShrinkToFitDrawsNothingBelowTwoPixels)
{
    QImage image = Blank();
    {
        CDC dc(&image);
        const LOGFONT tiny = Font(-1);
        DrawTextShrinkToFit(&dc, 96, "Text", CRect(0, 0, 240, 160), kWrap, &tiny);
        DrawTextShrinkToFit(&dc, 96, "Text", CRect(0, 0, 240, 160), kWrap, nullptr);
        const LOGFONT scaledAway = Font(-40);
        DrawTextShrinkToFit(&dc, 4, "Text", CRect(0, 0, 240, 160), kWrap, &scaledAway); // 40 * 4 / 96 = 1
    }
    EXPECT_EQ(InkRows(image), (std::pair{0, 0}));
}

TEST(TextDraw, ShrinkToFitKeepsTheFirstHeightWhenItFits)
{
    const CRect rc(10, 20, 230, 150);
    const LOGFONT lf = Font(-12);
    QImage shrunk = Blank();
    {
        CDC dc(&shrunk);
        DrawTextShrinkToFit(&dc, 192, "Fits at once", rc, kWrap, &lf); // first height 24
    }
    // The same text drawn plainly at the first height into the rectangle cut to its measure.
    QImage plain = Blank();
    int needed = 0;
    {
        CDC dc(&plain);
        LOGFONT at = lf;
        at.lfHeight = 24;
        CFont font;
        font.CreateFontIndirect(&at);
        dc.SelectObject(&font);
        RECT measured = rc;
        ASSERT_TRUE(DrawTextGuarded(&dc, "Fits at once", measured, kWrap | DT_CALCRECT));
        needed = measured.bottom - measured.top;
        CRect cut(rc.left, rc.top, rc.right, rc.top + needed);
        dc.DrawText("Fits at once", &cut, kWrap);
    }
    EXPECT_EQ(shrunk, plain);
    const auto [top, bottom] = InkRows(shrunk);
    EXPECT_GE(top, rc.top);
    EXPECT_LE(bottom, rc.top + needed);
    EXPECT_LT(top, bottom);
}

TEST(TextDraw, ShrinkToFitMakesALongTextFit)
{
    const CRect rc(0, 30, 120, 70);
    const std::string text = "A long comment that cannot stand in this small box at its own size at all";
    const LOGFONT lf = Font(-30);
    QImage image = Blank();
    {
        CDC dc(&image);
        // Unclipped, so that a text drawn too large would show outside the box.
        DrawTextShrinkToFit(&dc, 96, text, rc, kWrap | DT_NOCLIP, &lf);
    }
    const auto [top, bottom] = InkRows(image);
    EXPECT_LT(top, bottom) << "something was drawn";
    EXPECT_GE(top, rc.top);
    EXPECT_LE(bottom, rc.bottom);
}

TEST(TextDraw, GuardedDrawingAndMeasuring)
{
    QImage image = Blank();
    CDC dc(&image);
    RECT measured{0, 0, 200, 0};
    EXPECT_TRUE(DrawTextGuarded(&dc, "x", measured, DT_CALCRECT));
    EXPECT_GT(measured.bottom, 0);
    RECT none{0, 10, 200, 10};
    EXPECT_FALSE(DrawTextGuarded(&dc, "x", none, 0));

    CFont small, big;
    LOGFONT s = Font(-10), b = Font(-30);
    small.CreateFontIndirect(&s);
    big.CreateFontIndirect(&b);
    EXPECT_LT(MeasureTextWidth(&small, "iiii"), MeasureTextWidth(&small, "WWWW"));
    EXPECT_LT(MeasureTextWidth(&small, "WWWW"), MeasureTextWidth(&big, "WWWW"));
    EXPECT_EQ(MeasureTextWidth(&small, ""), 0);
    // Prefix marks are text here, not underlines.
    EXPECT_GT(MeasureTextWidth(&small, "&&&&"), MeasureTextWidth(&small, "&&"));
    EXPECT_GT(MeasureTextHeight(&small), 0);
    EXPECT_LT(MeasureTextHeight(&small), MeasureTextHeight(&big));
}

// A band at the foot of an area: as high as the text, held to the area, the
// rest above it; a text too tall, or in a font beyond the largest made,
// takes the whole area and leaves an empty rest, never an inverted one.
TEST(TextDraw, FootBandIsTheTextHeldToTheArea)
{
    QImage image = Blank();
    CDC dc(&image);
    const LOGFONT line = Font(-12);
    CFont lineFont;
    lineFont.CreateFontIndirect(&line);
    CFont* before = dc.SelectObject(&lineFont);
    CRect measured(0, 0, 200, 0);
    dc.DrawText("Caption", &measured, DT_CALCRECT);
    dc.SelectObject(before);
    const int lineHeight = measured.Height();
    ASSERT_GT(lineHeight, 0);
    const std::string longText(400, 'w');
    struct Case {
        const char* what;
        int height;                // of the font asked for
        std::string text;
        CRect area;
        int64_t asked;             // the asked height handed on
        int bandHeight;            // -1: the whole area
    } cases[] = {
        {"one line", -12, "Caption", CRect(10, 20, 230, 150), 12, lineHeight},
        {"wrapped past the area", -12, std::string(80, 'x') + " " + longText, CRect(10, 20, 30, 40), 12, -1},
        {"an empty area", -12, "Caption", CRect(10, 20, 230, 20), 12, 0},
        {"a font beyond the largest", -400000, "Caption", CRect(0, 0, 200, 100000), 400000, -1},
        {"the same font unasked", -400000, "Caption", CRect(0, 0, 200, 100000), 0, -2},
    };
    for (const Case& c : cases) {
        LOGFONT lf = Font(c.height);
        CFont font;
        font.CreateFontIndirect(&lf);
        CFont* old = dc.SelectObject(&font);
        const TextBand band = LayoutFootBand(&dc, c.text, c.area, kWrap | DT_CENTER, c.asked);
        dc.SelectObject(old);
        EXPECT_EQ(band.rect.left, c.area.left) << c.what;
        EXPECT_EQ(band.rect.right, c.area.right) << c.what;
        EXPECT_EQ(band.rect.bottom, c.area.bottom) << c.what;
        EXPECT_EQ(band.rest, CRect(c.area.left, c.area.top, c.area.right, band.rect.top)) << c.what;
        EXPECT_LE(band.rect.top, band.rect.bottom) << c.what;
        EXPECT_GE(band.rect.top, c.area.top) << c.what;
        if (c.bandHeight == -1)
            EXPECT_EQ(band.rect.Height(), c.area.Height()) << c.what;
        else if (c.bandHeight == -2) // measured at the largest font made: shorter than the area
            EXPECT_LT(band.rect.Height(), c.area.Height()) << c.what;
        else
            EXPECT_EQ(band.rect.Height(), c.bandHeight) << c.what;
        EXPECT_GT(band.textWidth, 0) << c.what;
    }
}

} // namespace
