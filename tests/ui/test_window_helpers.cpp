#include "ui/window_helpers.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"

#include <QClipboard>
#include <QCursor>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace uitest;

namespace {

struct Host : CWnd {
    std::vector<UINT_PTR> timers;
    int ups = 0;
    void OnTimer(UINT_PTR id) override { timers.push_back(id); }
    void OnLButtonUp(UINT, CPoint) override { ++ups; }
};

TEST(WindowHelpers, ScrollRangePageAndPosition)
{
    Host w;
    ASSERT_TRUE(w.Create(nullptr, "w", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
    SetScrollRangeAndPage(&w, SB_VERT, 0, 99, FALSE, 20);
    int lo = -1, hi = -1;
    GetScrollRangeOf(&w, SB_VERT, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 99);
    struct Row {
        int pos, expected;
    } rows[] = {{10, 10}, {-5, 0}, {80, 80}, {81, 80}, {500, 80}};
    for (const Row& r : rows) {
        SetScrollPosition(&w, SB_VERT, r.pos, FALSE);
        EXPECT_EQ(GetScrollPosition(&w, SB_VERT), r.expected) << r.pos;
    }
    // The other bar is its own.
    GetScrollRangeOf(&w, SB_HORZ, &lo, &hi);
    EXPECT_EQ(hi, 100);
}

TEST(WindowHelpers, ChildRectsFocusAndEditState)
{
    Host dlg;
    ASSERT_TRUE(dlg.Create(nullptr, "d", WS_OVERLAPPED, CRect(30, 40, 230, 240), nullptr, 0));
    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(10, 20, 110, 40), &dlg, 7));
    CRect r;
    GetDlgItemRectInParent(&r, &dlg, 7);
    EXPECT_EQ(r, CRect(10, 20, 110, 40));
    GetDlgItemRectInParent(&r, &dlg, 8);
    EXPECT_TRUE(r.IsRectNull());

    edit.SetWindowText("hello");
    edit.SetSel(2, 2);
    EXPECT_FALSE(HasEditSelection(&edit));
    edit.SetSel(1, 4);
    EXPECT_TRUE(HasEditSelection(&edit));
    EXPECT_TRUE(CanCutEditSelection(&edit));
    edit.SetReadOnly(TRUE);
    EXPECT_TRUE(HasEditSelection(&edit));
    EXPECT_FALSE(CanCutEditSelection(&edit));
    EXPECT_FALSE(HasEditSelection(nullptr));

    dlg.ShowWindow(SW_SHOW);
    dlg.m_hWnd->activateWindow();
    edit.SetFocus();
    if (QApplication::focusWidget() == edit.m_hWnd) {
        EXPECT_TRUE(IsFocusWithin(&dlg));
        EXPECT_TRUE(IsFocusWithin(&edit));
    }
    EXPECT_FALSE(IsFocusWithin(nullptr));

    QGuiApplication::clipboard()->setText("x");
    EXPECT_FALSE(ClipboardHasText(nullptr));
    EXPECT_TRUE(ClipboardHasText(&dlg));
}

TEST(WindowHelpers, MouseHoldAndTimerPause)
{
    EXPECT_TRUE(WaitMouseHold(0));
    CursorParking cursor;
    Host w;
    ASSERT_TRUE(w.Create(nullptr, "w", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
    w.ShowWindow(SW_SHOW);
    QCursor::setPos(w.m_hWnd->mapToGlobal(QPoint(50, 50)));
    // A release during the wait ends it, and still reaches its window afterwards.
    QPointF at(50, 50);
    QCoreApplication::postEvent(w.m_hWnd, new QMouseEvent(QEvent::MouseButtonRelease, at, w.m_hWnd->mapToGlobal(at),
                                                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    EXPECT_FALSE(WaitMouseHold(5000));
    EXPECT_EQ(w.ups, 0);
    ASSERT_TRUE(WaitFor([&] { return w.ups == 1; }));

    w.SetTimer(3, 1);
    {
        CTimerPause pause(&w, 3, 1);
        w.timers.clear();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
        EXPECT_TRUE(w.timers.empty());
    }
    ASSERT_TRUE(WaitFor([&] { return !w.timers.empty(); }));
    EXPECT_EQ(w.timers.front(), 3u);
}

} // namespace
