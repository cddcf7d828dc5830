#include "util/dither_highlight.h"

#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QColor>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

} // namespace

TEST(DitherHighlight, DitherPaintsACheckerboardOfTheHighlightColour)
{
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    ASSERT_NE(highlight, kRed);
    uitest::MemoryCanvas c(12, 10, kRed);
    c.dc.SetTextColor(RGB(1, 1, 1));
    c.dc.SetBkColor(RGB(2, 2, 2));
    const CRect r(3, 2, 9, 7);
    DitherHighlightRect(&c.dc, r);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            // Aligned to the device's pixels, not to the rectangle.
            const bool lit = r.PtInRect(CPoint(x, y)) && (x + y) % 2 == 0;
            ASSERT_EQ(c.At(x, y), lit ? highlight : kRed) << x << "," << y;
        }
    EXPECT_EQ(c.dc.GetTextColor(), RGB(1, 1, 1));
    EXPECT_EQ(c.dc.GetBkColor(), RGB(2, 2, 2));
}
