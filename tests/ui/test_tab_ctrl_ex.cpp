#include "ui/tab_ctrl_ex.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

using namespace uitest;

TEST(TabCtrlEx, BandTabsAndTextColours)
{
    struct Owner : CWnd {
        std::vector<int> changes;
        BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT*) override
        {
            changes.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
            return TRUE;
        }
    } host;
    ASSERT_TRUE(host.Create(nullptr, "h", WS_OVERLAPPED, CRect(0, 0, 300, 120), nullptr, 0));
    CTabCtrlEx tabs;
    ASSERT_TRUE(tabs.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 60), &host, 9));
    EXPECT_TRUE(tabs.GetStyle() & TCS_OWNERDRAWFIXED);
    tabs.m_crBack = RGB(255, 255, 255);
    tabs.m_crBand = RGB(0, 0, 128);
    tabs.InsertItem(0, "WWWW", 0);                   // item data 0: black text
    tabs.InsertItem(1, "WWWW", LPARAM(RGB(255, 0, 0)));
    host.ShowWindow(SW_SHOW);
    QImage img = Grab(tabs.m_hWnd);
    CRect r0, r1;
    tabs.GetItemRect(0, &r0);
    tabs.GetItemRect(1, &r1);
    EXPECT_EQ(Pixel(img, r1.right + 5, r1.top + 2), RGB(0, 0, 128)); // band beside the tabs
    EXPECT_EQ(Pixel(img, 5, r0.bottom + 5), RGB(255, 255, 255));     // the control below the band
    int black = 0, red = 0;
    for (int x = r0.left; x < r0.right; ++x)
        for (int y = r0.top; y < r0.bottom; ++y)
            black += qGray(img.pixel(x, y)) < 80;
    for (int x = r1.left; x < r1.right; ++x)
        for (int y = r1.top; y < r1.bottom; ++y) {
            QRgb p = img.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 80;
        }
    EXPECT_GT(black, 5);
    EXPECT_GT(red, 5);
    // A selection made in code tells nobody; one made by the user does.
    tabs.SetCurSel(1);
    EXPECT_TRUE(host.changes.empty());
    Click(tabs.m_hWnd, QPoint(r0.CenterPoint().x, r0.CenterPoint().y));
    EXPECT_EQ(host.changes, std::vector<int>{TCN_SELCHANGE});
}
