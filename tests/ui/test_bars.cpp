#include "ui/status_bar_ex.h"
#include "ui/toolbar_ex.h"
#include "ui/ui_services.h"
#include "ui/zun_frame_wnd.h"
#include "platform/framework/controls.h"
#include "platform/framework/system_metrics.h"
#include "support/ui_test_util.h"

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

using namespace uitest;

namespace {

enum : UINT { ID_ONE = 41001, ID_TWO = 41002, ID_THREE = 41003, ID_FOUR = 41004 };

QColor Q(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Four 16 x 15 images on the face colour: red, green, blue and yellow squares.
QImage Strip()
{
    QImage img(64, 15, QImage::Format_RGB32);
    img.fill(Q(GetSysColor(COLOR_3DFACE)));
    QPainter p(&img);
    const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue, QColor(230, 180, 0)};
    for (int i = 0; i < 4; ++i)
        p.fillRect(i * 16 + 3, 2, 10, 10, colours[i]);
    return img;
}

class Owner : public CWnd {
    DECLARE_MESSAGE_MAP()
public:
    void OnCustomDraw(NMHDR* hdr, LRESULT* result)
    {
        auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(hdr);
        stages.push_back(cd->dwDrawStage);
        if (cd->dwDrawStage == CDDS_PREPAINT) {
            *result = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        } else if (cd->dwDrawStage == CDDS_ITEMPREPAINT && cd->dwItemSpec == ID_TWO) {
            cd->hdc->FillSolidRect(&cd->rc, RGB(255, 0, 255));
            *result = CDRF_SKIPDEFAULT;
        } else if (cd->dwDrawStage == CDDS_ITEMPREPAINT) {
            itemStates.push_back(cd->uItemState);
        }
    }
    void OnCmd(UINT) {}
    void OnUpdate(CCmdUI* ui) { ui->Enable(ui->m_nID != ID_FOUR); }
    std::vector<DWORD> stages;
    std::vector<UINT> itemStates;
};
BEGIN_MESSAGE_MAP(Owner, CWnd)
    ON_NOTIFY(NM_CUSTOMDRAW, AFX_IDW_TOOLBAR, &Owner::OnCustomDraw)
END_MESSAGE_MAP()

struct ToolBarTest : ::testing::Test {
    Owner owner;
    CToolBarEx bar;
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(nullptr, "owner", WS_OVERLAPPED, CRect(0, 0, 300, 100), nullptr, 0));
        ASSERT_TRUE(bar.CreateEx(&owner, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP));
        const UINT ids[] = {ID_ONE, ID_TWO, ID_SEPARATOR, ID_THREE, ID_FOUR};
        bar.SetButtons(ids, 5);
        bar.SetSizes(CSize(23, 22), CSize(16, 15));
        ASSERT_TRUE(bar.LoadBitmap(Strip()));
        bar.MoveWindow(0, 0, 300, bar.CalcFixedLayout(TRUE, TRUE).cy);
        owner.ShowWindow(SW_SHOW);
        bar.SetButtonState(4, 0); // disabled
    }
    CRect Item(int i)
    {
        CRect r;
        bar.GetItemRect(i, &r);
        CRect ins = bar.GetNonClientInsets();
        r.OffsetRect(ins.left, ins.top);
        return r;
    }
};

TEST_F(ToolBarTest, CheckedAndHotColours)
{
    // Button 0 checked; button 3 plain. Away from the mouse, then under it.
    bar.SetButtonState(0, TBSTATE_ENABLED | TBSTATE_CHECKED);
    QImage img = Grab(bar.m_hWnd);
    CRect r0 = Item(0), r3 = Item(3);
    EXPECT_EQ(Pixel(img, r0.left + 2, r0.bottom - 3), bar.m_crLight);  // checked, not hot
    EXPECT_EQ(Pixel(img, r0.left, r0.top), bar.m_crShadow);            // sunken frame
    EXPECT_EQ(Pixel(img, r3.left, r3.top), bar.m_crFace);              // no frame away from the mouse
    EXPECT_EQ(Pixel(img, r0.CenterPoint().x, r0.CenterPoint().y), RGB(255, 0, 0)); // images come from the bitmap
    EXPECT_EQ(Pixel(img, r3.CenterPoint().x, r3.CenterPoint().y), RGB(0, 0, 255));

    Mouse(bar.m_hWnd, QEvent::MouseMove, QPoint(r0.CenterPoint().x, r0.CenterPoint().y));
    EXPECT_EQ(bar.m_nHotButton, 0);
    img = Grab(bar.m_hWnd);
    EXPECT_EQ(Pixel(img, r0.left + 2, r0.bottom - 3), bar.m_crFace);   // checked and hot
    Mouse(bar.m_hWnd, QEvent::MouseMove, QPoint(r3.CenterPoint().x, r3.CenterPoint().y));
    EXPECT_EQ(bar.m_nHotButton, 3);
    img = Grab(bar.m_hWnd);
    EXPECT_EQ(Pixel(img, r3.left, r3.top), bar.m_crHilite);           // raised hot frame
    EXPECT_EQ(Pixel(img, r3.right - 1, r3.bottom - 1), bar.m_crShadow);
    // A disabled button is never hot and shows no image colour.
    CRect r4 = Item(4);
    Mouse(bar.m_hWnd, QEvent::MouseMove, QPoint(r4.CenterPoint().x, r4.CenterPoint().y));
    EXPECT_EQ(bar.m_nHotButton, -1);
    EXPECT_NE(Pixel(Grab(bar.m_hWnd), r4.CenterPoint().x, r4.CenterPoint().y), RGB(230, 180, 0));
}

TEST_F(ToolBarTest, HotFrameGoesWhenTheCursorLeavesWithoutAMouseMessage)
{
    CRect r0 = Item(0);
    Mouse(bar.m_hWnd, QEvent::MouseMove, QPoint(r0.CenterPoint().x, r0.CenterPoint().y));
    ASSERT_EQ(bar.m_nHotButton, 0);
    EXPECT_EQ(bar.m_nHotTimer, CToolBarEx::kHotTimer);
    CursorParking::Park();
    ASSERT_TRUE(WaitFor([&] { return bar.m_nHotButton == -1; }));
    EXPECT_EQ(bar.m_nHotTimer, 0u);
    EXPECT_EQ(Pixel(Grab(bar.m_hWnd), r0.left, r0.top), bar.m_crFace);
}

TEST_F(ToolBarTest, OwnerCanSkipAButtonAndSeesEveryStage)
{
    QImage img = Grab(bar.m_hWnd);
    CRect r1 = Item(1);
    for (int x = r1.left; x < r1.right; x += 5)
        EXPECT_EQ(Pixel(img, x, r1.top + 1), RGB(255, 0, 255)) << x;
    ASSERT_FALSE(owner.stages.empty());
    EXPECT_EQ(owner.stages.front(), DWORD(CDDS_PREPAINT));
    EXPECT_EQ(owner.stages.back(), DWORD(CDDS_POSTPAINT));
    // Button four is disabled.
    ASSERT_EQ(owner.itemStates.size(), 3u);
    EXPECT_EQ(owner.itemStates[2], UINT(CDIS_DISABLED));
}

TEST(StatusBarEx, PaneArithmeticAndCornerMargin)
{
    CWnd host;
    ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 400, 60), nullptr, 0));
    CStatusBarEx bar;
    ASSERT_TRUE(bar.Create(&host));
    bar.MoveWindow(0, 0, 400, 20);
    const UINT ids[] = {ID_SEPARATOR, ID_ONE, ID_TWO};
    bar.SetIndicators(ids, 3);
    struct Row {
        UINT style0;
        int w0, w1, w2;
        std::vector<CRect> expected;
    } rows[] = {
        // No stretching pane: the free width stays empty.
        {SBPS_NORMAL, 50, 60, 70, {CRect(0, 0, 50, 20), CRect(56, 0, 116, 20), CRect(124, 0, 194, 20)}},
        // The first pane stretches over the free width (400 - 20 - 4 - 202 = 174).
        {SBPS_STRETCH, 50, 60, 70, {CRect(0, 0, 224, 20), CRect(230, 0, 290, 20), CRect(298, 0, 368, 20)}},
    };
    for (const Row& r : rows) {
        bar.SetPaneInfo(0, ID_SEPARATOR, r.style0, r.w0);
        bar.SetPaneInfo(1, ID_ONE, SBPS_NORMAL, r.w1);
        bar.SetPaneInfo(2, ID_TWO, SBPS_NORMAL, r.w2);
        std::vector<CRect> panes;
        CRect corner;
        bar.ComputePaneRects(panes, corner);
        EXPECT_EQ(corner, CRect(380, 0, 400, 20));
        EXPECT_EQ(panes, r.expected);
    }
    // A last pane whose text would run into the corner stops 8 pixels short of it.
    bar.SetPaneInfo(0, ID_SEPARATOR, SBPS_NORMAL, 10);
    bar.SetPaneInfo(2, ID_TWO, SBPS_NORMAL, 400);
    bar.SetPaneText(2, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    host.ShowWindow(SW_SHOW);
    QImage img = Grab(bar.m_hWnd);
    for (int x = 372; x < 380; ++x)
        for (int y = 0; y < 20; ++y)
            ASSERT_EQ(Pixel(img, x, y), CStatusBarEx::kBackColor) << x << "," << y;
    EXPECT_EQ(Pixel(img, 381, 1), GetSchemeSysColor(15));
    bool white = false;
    for (int x = 300; x < 372 && !white; ++x)
        for (int y = 0; y < 20 && !white; ++y)
            white = Pixel(img, x, y) == RGB(255, 255, 255);
    EXPECT_TRUE(white);

    // More than twenty parts: only twenty are painted.
    std::vector<UINT> many(25, ID_ONE);
    bar.SetIndicators(many.data(), 25);
    std::vector<CRect> panes;
    CRect corner;
    bar.ComputePaneRects(panes, corner);
    EXPECT_EQ(panes.size(), 20u);
}

class ScreenshotView : public CView {
    DECLARE_DYNCREATE(ScreenshotView)
public:
    void OnDraw(CDC* pDC) override
    {
        CRect rc;
        GetClientRect(&rc);
        pDC->FillSolidRect(&rc, RGB(255, 255, 255));
        pDC->SetTextColor(RGB(0, 0, 0));
        pDC->DrawText("View", &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
};
IMPLEMENT_DYNCREATE(ScreenshotView, CView)

class ScreenshotFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(ScreenshotFrame)
    DECLARE_MESSAGE_MAP()
public:
    CToolBarEx toolbar;
    CStatusBarEx status;
    int OnCreate(LPCREATESTRUCT lpcs) override
    {
        if (CZunFrameWnd::OnCreate(lpcs) == -1)
            return -1;
        SetSystemIcon(4082);
        toolbar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP);
        const UINT ids[] = {ID_ONE, ID_TWO, ID_SEPARATOR, ID_THREE, ID_FOUR};
        toolbar.SetButtons(ids, 5);
        toolbar.SetSizes(CSize(23, 22), CSize(16, 15));
        toolbar.LoadBitmap(Strip());
        status.Create(this);
        const UINT panes[] = {ID_SEPARATOR, ID_ONE};
        status.SetIndicators(panes, 2);
        status.SetPaneInfo(1, ID_ONE, SBPS_NORMAL, 80);
        status.SetPaneText(0, "Ready");
        status.SetPaneText(1, "12 items");
        return 0;
    }
    void OnCmd(UINT) {}
    void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(1); }
};
IMPLEMENT_DYNCREATE(ScreenshotFrame, CZunFrameWnd)
BEGIN_MESSAGE_MAP(ScreenshotFrame, CZunFrameWnd)
    ON_COMMAND_RANGE(ID_ONE, ID_THREE, &ScreenshotFrame::OnCmd)
    ON_UPDATE_COMMAND_UI(ID_TWO, &ScreenshotFrame::OnUpdateChecked)
END_MESSAGE_MAP()

TEST(FrameScreenshot, CaptionToolbarAndStatusBar)
{
    CCreateContext ctx;
    ctx.m_pNewViewClass = RUNTIME_CLASS(ScreenshotView);
    auto* frame = new ScreenshotFrame;
    ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW, nullptr, &ctx));
    frame->m_strTitle = "Quiram Relayo";
    frame->MoveWindow(40, 40, 480, 320);
    frame->InitialUpdateFrame(nullptr, TRUE);
    QImage img = Grab(frame->m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(img.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/frame.png"));
    // The status bar runs along the bottom of the client area, the toolbar along its top.
    CRect client;
    frame->GetClientRect(&client);
    CRect ins = frame->GetNonClientInsets();
    int bottom = ins.top - frame->GetBandHeight() + client.bottom;
    EXPECT_EQ(Pixel(img, 10, bottom - 3), CStatusBarEx::kBackColor);
    EXPECT_EQ(Pixel(img, 200, 14), SchemeColorTeal);
    CRect b;
    frame->toolbar.GetItemRect(1, &b);
    CRect tb;
    frame->toolbar.GetWindowRect(&tb);
    frame->ScreenToClient(&tb);
    int x = ins.left + tb.left + frame->toolbar.GetNonClientInsets().left + b.left + 2;
    int y = ins.top - frame->GetBandHeight() + tb.top + b.bottom - 3;
    EXPECT_EQ(Pixel(img, x, y), frame->toolbar.m_crLight); // checked by its update handler
    frame->DestroyWindow();
}

} // namespace
