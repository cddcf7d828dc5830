#include "ui/splitter.h"
#include "platform/framework/view.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

using namespace uitest;

namespace {

class Pane : public CView {
    DECLARE_DYNCREATE(Pane)
};
IMPLEMENT_DYNCREATE(Pane, CView)

// An owner that parks a column as the browser does.
class TestSplitter : public CSplitter {
public:
    void Park(int col)
    {
        const int last = m_nCols - 1;
        const int saved = m_pColInfo[size_t(col)].nCurSize;
        for (int row = 0; row < m_nRows; ++row) {
            CWnd* parked = GetPane(row, col);
            parked->ShowWindow(SW_HIDE);
            parked->SetDlgCtrlID(0);
            for (int c = col + 1; c <= last; ++c)
                GetPane(row, c)->SetDlgCtrlID(IdFromRowCol(row, c - 1));
            parked->SetDlgCtrlID(IdFromRowCol(row, last));
        }
        for (int c = col; c < last; ++c)
            m_pColInfo[size_t(c)].nIdealSize = m_pColInfo[size_t(c + 1)].nCurSize;
        m_pColInfo[size_t(last)].nIdealSize = saved;
        m_nCols = last;
        m_nHiddenCol = col;
        RecalcLayout();
    }
    int Cur(int col) const
    {
        int cur, min;
        GetColumnInfo(col, cur, min);
        return cur;
    }
};

class Guard : public ISplitterLayoutGuard {
public:
    BOOL allow = TRUE;
    BOOL CanRecalcLayout() override { return allow; }
};

class Host : public CWnd {
    DECLARE_MESSAGE_MAP()
public:
    void OnAny(NMHDR* hdr, LRESULT* result)
    {
        got = hdr;
        *result = 5;
    }
    NMHDR* got = nullptr;
};
BEGIN_MESSAGE_MAP(Host, CWnd)
    ON_NOTIFY(NM_CLICK, 77, &Host::OnAny)
END_MESSAGE_MAP()

struct SplitterTest : ::testing::Test {
    Host host;
    TestSplitter split;
    Pane* panes[3] = {};
    void SetUp() override
    {
        ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 600, 200), nullptr, 0));
        ASSERT_TRUE(split.CreateStatic(&host, 1, 3));
        for (int c = 0; c < 3; ++c)
            ASSERT_TRUE(split.CreateView(0, c, RUNTIME_CLASS(Pane), CSize(100, 100), nullptr));
        for (int c = 0; c < 3; ++c)
            panes[c] = static_cast<Pane*>(split.GetPane(0, c));
        split.MoveWindow(0, 0, 600, 200);
        host.ShowWindow(SW_SHOW);
    }
};

TEST_F(SplitterTest, HiddenColumnComesBackInItsPlace)
{
    // Nothing hidden: nothing changes.
    split.ShowHiddenColumn();
    EXPECT_EQ(split.GetColumnCount(), 3);
    EXPECT_EQ(split.Cur(0), 100);

    split.Park(0);
    EXPECT_EQ(split.GetColumnCount(), 2);
    EXPECT_FALSE(panes[0]->IsWindowVisible());
    EXPECT_EQ(split.GetPane(0, 0), panes[1]);
    split.ShowHiddenColumn();
    EXPECT_EQ(split.GetColumnCount(), 3);
    EXPECT_EQ(split.m_nHiddenCol, -1);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(split.GetPane(0, c), panes[c]) << c;
    EXPECT_TRUE(panes[0]->IsWindowVisible());
    EXPECT_EQ(split.Cur(0), 100);
    EXPECT_EQ(split.GetColumnIdealWidth(0), 100);
    // A pane shows another window in its place, sizes kept.
    auto* other = new Pane; // goes with its window, as views do
    ASSERT_TRUE(other->Create(nullptr, "", WS_CHILD, CRect(0, 0, 10, 10), &split, 0));
    EXPECT_TRUE(split.ReplacePaneWindow(0, 1, other));
    EXPECT_EQ(split.GetPane(0, 1), other);
    EXPECT_FALSE(panes[1]->IsWindowVisible());
    EXPECT_EQ(panes[1]->GetDlgCtrlID(), 0);
    EXPECT_EQ(split.Cur(1), 100);
}

TEST_F(SplitterTest, FixedColumnKeepsItsWidth)
{
    struct Row {
        int fixed;
        int growBy;
        int expect0, expect1, expect2;
    } rows[] = {
        {2, 100, 100, 200, 382}, // the column before the fixed one takes the change
        {2, -50, 100, 50, 382},
        {2, -400, 100, 0, 82},   // the neighbour stops at 0; the fixed one takes what is left
        {0, 100, 100, 100, 482}, // a fixed first column is not kept
    };
    for (const Row& r : rows) {
        split.m_nFixedCol = -1;
        split.MoveWindow(0, 0, 600, 200);
        split.SetColumnInfo(0, 100, 0);
        split.SetColumnInfo(1, 100, 0);
        split.RecalcLayout();
        split.m_nFixedCol = r.fixed;
        int width2 = split.Cur(2);
        ASSERT_EQ(width2, 382);
        split.MoveWindow(0, 0, 600 + r.growBy, 200);
        EXPECT_EQ(split.Cur(0), r.expect0) << r.fixed << " " << r.growBy;
        EXPECT_EQ(split.Cur(1), r.expect1) << r.fixed << " " << r.growBy;
        EXPECT_EQ(split.Cur(2), r.expect2) << r.fixed << " " << r.growBy << " was " << width2;
    }
}

TEST(SplitterRows, FixedRowKeepsItsHeight)
{
    Host host;
    TestSplitter split;
    ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 200, 600), nullptr, 0));
    ASSERT_TRUE(split.CreateStatic(&host, 3, 1));
    for (int r = 0; r < 3; ++r)
        ASSERT_TRUE(split.CreateView(r, 0, RUNTIME_CLASS(Pane), CSize(100, 100), nullptr));
    split.MoveWindow(0, 0, 200, 600);
    host.ShowWindow(SW_SHOW);
    split.SetRowInfo(0, 100, 0);
    split.SetRowInfo(1, 100, 0);
    split.RecalcLayout();
    auto height = [&](int row) {
        int cur = 0, min = 0;
        split.GetRowInfo(row, cur, min);
        return cur;
    };
    const int before[3] = {height(0), height(1), height(2)};
    split.m_nFixedRow = 2;
    split.MoveWindow(0, 0, 200, 700); // the row before the fixed one takes the change
    EXPECT_EQ(height(0), before[0]);
    EXPECT_EQ(height(1), before[1] + 100);
    EXPECT_EQ(height(2), before[2]);
    split.MoveWindow(0, 0, 200, 400); // it stops at 0; the fixed one takes what is left
    EXPECT_EQ(height(0), before[0]);
    EXPECT_EQ(height(1), 0);
    EXPECT_EQ(height(2), before[2] - 100);
}

TEST_F(SplitterTest, GuardStopsEveryRelayout)
{
    Guard guard;
    split.m_pLayoutGuard = &guard;
    guard.allow = FALSE;
    split.MoveWindow(0, 0, 800, 200);
    EXPECT_EQ(split.Cur(2), 382);
    guard.allow = TRUE;
    split.RecalcLayout();
    EXPECT_EQ(split.Cur(2), 582);
    split.m_pLayoutGuard = nullptr;
}

TEST_F(SplitterTest, UnhandledNotificationReachesTheParentAndBarsTakeTheColours)
{
    NMHDR hdr{panes[0]->m_hWnd, 77, NM_CLICK};
    EXPECT_EQ(split.SendMessage(WM_NOTIFY, 77, LPARAM(&hdr)), 5);
    EXPECT_EQ(host.got, &hdr);

    split.SetBarColors(RGB(166, 202, 240), RGB(212, 255, 255), RGB(0, 127, 170));
    QImage img = Grab(split.m_hWnd);
    // The first bar lies between the first and second pane.
    EXPECT_EQ(Pixel(img, 2 + 100 + 3, 100), RGB(166, 202, 240));
    EXPECT_EQ(Pixel(img, 0, 100), RGB(0, 127, 170)); // pane border: shadow at top-left
}

} // namespace
