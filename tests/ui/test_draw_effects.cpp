#include "ui/draw_effects.h"

#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPicture>

namespace {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kHilite = RGB(255, 255, 255);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);

} // namespace

TEST(DrawEffects, EmbossTurnsEverythingButTheFaceIntoShadowWithAHighlightBelowRight)
{
    uitest::MemoryCanvas c(14, 14, kFace);
    c.dc.FillSolidRect(4, 4, 2, 2, RGB(0, 0, 0));
    c.dc.SetPixel(8, 8, RGB(0, 0, 255));
    c.dc.SetTextColor(kRed);
    c.dc.SetBkColor(RGB(1, 2, 3));
    CBrush* brush = c.dc.GetCurrentBrush();

    EmbossRectDisabled(&c.dc, CRect(2, 2, 11, 11), kFace, kHilite, kShadow);

    struct Case { int x, y; COLORREF want; };
    const Case cases[] = {
        {4, 4, kShadow}, {5, 5, kShadow}, {8, 8, kShadow}, // what was drawn
        {6, 6, kHilite}, {6, 5, kHilite}, {5, 6, kHilite}, {9, 9, kHilite}, // one pixel right and down
        {3, 3, kFace}, {7, 7, kFace}, {2, 2, kFace}, {12, 12, kFace},
    };
    for (const Case& k : cases)
        EXPECT_EQ(c.At(k.x, k.y), k.want) << k.x << "," << k.y;
    EXPECT_EQ(c.dc.GetTextColor(), kRed);
    EXPECT_EQ(c.dc.GetBkColor(), RGB(1, 2, 3));
    EXPECT_EQ(c.dc.GetCurrentBrush(), brush);
}

TEST(DrawEffects, EmbossOnADeviceThatCannotBeReadLeavesThePictureAlone)
{
    QPicture picture;
    CDC dc(&picture);
    dc.FillSolidRect(0, 0, 10, 10, RGB(0, 0, 0));
    EmbossRectDisabled(&dc, CRect(0, 0, 10, 10), kFace, kHilite, kShadow);
    dc.DeleteDC();
    QImage out(10, 10, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawPicture(0, 0, picture);
    p.end();
    EXPECT_EQ(out.pixel(5, 5), qRgb(0, 0, 0));
}

TEST(DrawEffects, SwapRedAndBlueKeepsTheOtherBytes)
{
    const BYTE src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    BYTE dst[8] = {};
    CopySwapRedBlue32(dst, src, 2);
    const BYTE want[8] = {3, 2, 1, 4, 7, 6, 5, 8};
    EXPECT_EQ(0, memcmp(dst, want, 8));
    BYTE inPlace[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CopySwapRedBlue32(inPlace, inPlace, 2);
    EXPECT_EQ(0, memcmp(inPlace, want, 8));
}
