#include "platform/gdi/dc.h"

#include <QImage>

#include <gtest/gtest.h>

// Transparent text after an opaque fill: the fill's background colour must not
// show behind the letters.
TEST(DcTextBackground, TransparentTextAfterAFillLeavesTheBackground)
{
    QImage img(100, 30, QImage::Format_RGB32);
    CDC dc(&img);
    dc.FillSolidRect(0, 0, 100, 30, RGB(42, 0, 85));
    dc.FillSolidRect(80, 0, 20, 20, RGB(166, 202, 240)); // leaves this as the background colour
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    CRect r(8, 0, 70, 30);
    dc.DrawText("Ready", &r, DT_VCENTER | DT_SINGLELINE);
    dc.DeleteDC();
    int boxed = 0, text = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 78; ++x) {
            boxed += img.pixel(x, y) == qRgb(166, 202, 240);
            text += img.pixel(x, y) != qRgb(42, 0, 85);
        }
    EXPECT_EQ(boxed, 0);
    EXPECT_GT(text, 0);
}
