#include "ui/dialog_ex.h"
#include "ui/ui_services.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"

#include <QIcon>
#include <QPixmap>
#include <QPointer>

#include <gtest/gtest.h>

using namespace uitest;

namespace {

constexpr UINT kTemplate = 9101;

void RegisterPanelDialog()
{
    DlgTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.rect = CRect(0, 0, 200, 120);
    t.title = "Panels";
    t.items = {
        {"BUTTON", "Panel", 10, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, CRect(8, 8, 100, 80)},
        {"BUTTON", "Plain box", 11, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_GROUPBOX, CRect(110, 8, 190, 80)},
        {"STATIC", "inside", 20, WS_CHILD | WS_VISIBLE, CRect(16, 20, 60, 30)},
        {"STATIC", "crossing", 21, WS_CHILD | WS_VISIBLE, CRect(80, 40, 130, 50)},
    };
    RegisterDialogTemplate(kTemplate, t);
}

struct DialogExTest : ::testing::Test {
    void SetUp() override
    {
        RegisterPanelDialog();
        CDialogEx::SetDefaultBackColor(GetSchemeSysColor(15));
    }
    void TearDown() override { CDialogEx::SetDefaultBackColor(CLR_INVALID); }
};

TEST_F(DialogExTest, PlainGroupBoxesBecomePanelsAndColourTheirLabels)
{
    CDialogEx dlg(kTemplate);
    ASSERT_TRUE(dlg.Create(kTemplate));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_EQ(dlg.GetPanels().size(), 1u);
    EXPECT_EQ(dlg.GetPanels()[0]->GetDlgCtrlID(), 10);
    EXPECT_FALSE(dlg.GetDlgItem(10)->IsWindowVisible());
    EXPECT_TRUE(dlg.GetDlgItem(11)->IsWindowVisible()); // a tab stop keeps it a group box
    EXPECT_TRUE(dlg.HasCloseButton());
    EXPECT_FALSE(dlg.GetStyle() & WS_SYSMENU);

    QImage img = Grab(dlg.m_hWnd);
    auto at = [&](int id) {
        CRect r;
        dlg.GetDlgItem(id)->GetWindowRect(&r);
        CRect w;
        dlg.GetWindowRect(&w);
        // The label's last pixel column: its text starts at the left.
        return Pixel(img, r.right - 2 - w.left, r.bottom - 2 - w.top);
    };
    EXPECT_EQ(at(20), SchemeColorCream);
    EXPECT_EQ(at(21), GetSchemeSysColor(15));
    EXPECT_EQ(dlg.OnCtlColor(dlg.GetDlgItem(20), CTLCOLOR_STATIC), SchemeColorCream);
    EXPECT_EQ(dlg.OnCtlColor(dlg.GetDlgItem(21), CTLCOLOR_STATIC), GetSchemeSysColor(15));
    EXPECT_EQ(dlg.OnCtlColor(dlg.GetDlgItem(20), CTLCOLOR_EDIT), CLR_INVALID);
    EXPECT_EQ(dlg.OnCtlColor(&dlg, CTLCOLOR_MAX), GetSchemeSysColor(15));
    // The caption band and the close button's image.
    CRect cap = dlg.GetCaptionRect();
    EXPECT_EQ(Pixel(img, cap.left + 100, cap.top + 2), SchemeColorTeal);
    CRect close = dlg.GetCloseBox();
    EXPECT_EQ(Pixel(img, close.left, close.top), RGB(255, 255, 255));
    dlg.DestroyWindow();
}

// The template gives the client area: the program's own caption comes on
// top of it, so a control at the template's bottom edge is still whole.
TEST_F(DialogExTest, TheCaptionDoesNotTakeTheTemplatesBottomRow)
{
    constexpr UINT kEdge = 9102;
    DlgTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.rect = CRect(0, 0, 100, 60);
    t.title = "Edge";
    t.items = {{"BUTTON", "OK", UINT(IDOK), WS_CHILD | WS_VISIBLE, CRect(50, 46, 96, 60)}};
    RegisterDialogTemplate(kEdge, t);
    CDialogEx dlg(kEdge);
    ASSERT_TRUE(dlg.Create(kEdge));
    CRect client, button;
    dlg.GetClientRect(&client);
    EXPECT_EQ(client.Size(), MapDialogRect(t.rect).Size());
    dlg.GetDlgItem(IDOK)->GetWindowRect(&button);
    dlg.ScreenToClient(&button);
    EXPECT_TRUE(client.PtInRect(button.TopLeft()));
    EXPECT_LE(button.bottom, client.bottom);
    dlg.DestroyWindow();
}

// A large program icon shown in a dialog's caption fits its 16 x 16 box and
// leaves the title alone.
TEST_F(DialogExTest, ALargeCaptionIconFitsItsBox)
{
    constexpr UINT kBigIcon = 9103;
    QPixmap red(32, 32);
    red.fill(Qt::red);
    RegisterResIcon(kBigIcon, QIcon(red));
    CDialogEx dlg(kTemplate);
    ASSERT_TRUE(dlg.Create(kTemplate));
    dlg.SetSystemIcon(kBigIcon);
    dlg.ShowWindow(SW_SHOW);
    const QImage img = Grab(dlg.m_hWnd);
    const CRect box = dlg.GetIconBox();
    EXPECT_EQ(Pixel(img, box.CenterPoint().x, box.CenterPoint().y), RGB(255, 0, 0));
    EXPECT_NE(Pixel(img, box.right + 4, box.top + 4), RGB(255, 0, 0));
    EXPECT_NE(Pixel(img, box.left + 4, box.bottom + 4), RGB(255, 0, 0));
    dlg.DestroyWindow();
}

// A modeless dialog opens over its owner, its template's place counted from
// the owner's client area, not in the corner of the screen.
TEST_F(DialogExTest, AModelessDialogOpensOverItsOwner)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, "", "Owner", WS_POPUP | WS_VISIBLE, CRect(300, 200, 900, 700), nullptr, 0));
    CDialogEx dlg(kTemplate);
    ASSERT_TRUE(dlg.Create(kTemplate, &owner));
    CPoint origin(0, 0);
    owner.ClientToScreen(&origin);
    CRect window;
    dlg.GetWindowRect(&window);
    EXPECT_EQ(window.TopLeft(), origin);
    EXPECT_NE(origin, CPoint(0, 0));
    dlg.DestroyWindow();
    owner.DestroyWindow();
}

TEST_F(DialogExTest, CloseBoxClosesOnlyWhenPressAndReleaseAreOnIt)
{
    CDialogEx dlg(kTemplate);
    ASSERT_TRUE(dlg.Create(kTemplate));
    dlg.MoveWindow(50, 60, 320, 220);
    dlg.ShowWindow(SW_SHOW);
    QPointer<QWidget> w = dlg.m_hWnd;
    CRect close = dlg.GetCloseBox();
    QPoint on(close.CenterPoint().x, close.CenterPoint().y);
    EXPECT_EQ(dlg.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(50 + on.x(), 60 + on.y())), HTSYSMENU);

    Mouse(w, QEvent::MouseButtonPress, on);
    EXPECT_TRUE(dlg.IsClosePressed());
    EXPECT_EQ(Pixel(Grab(w), close.left, close.top), SchemeColorDeepBlue);
    Mouse(w, QEvent::MouseMove, QPoint(100, 12));
    EXPECT_FALSE(dlg.IsClosePressed());
    Mouse(w, QEvent::MouseButtonRelease, QPoint(100, 12));
    QCoreApplication::processEvents();
    ASSERT_TRUE(w);

    Click(w, on);
    ASSERT_TRUE(WaitFor([&] { return w.isNull(); }));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(DialogExTest, ClosingANestedDialogLeavesTheOuterCurrent)
{
    EXPECT_EQ(CDialogEx::GetCurrentDialog(), nullptr);
    CDialogEx outer(kTemplate), inner(kTemplate);
    ASSERT_TRUE(outer.Create(kTemplate));
    outer.ShowWindow(SW_SHOW);
    EXPECT_EQ(CDialogEx::GetCurrentDialog(), &outer);
    ASSERT_TRUE(inner.Create(kTemplate, &outer));
    inner.ShowWindow(SW_SHOW);
    EXPECT_EQ(CDialogEx::GetCurrentDialog(), &inner);
    inner.DestroyWindow();
    EXPECT_EQ(CDialogEx::GetCurrentDialog(), &outer);
    outer.DestroyWindow();
    EXPECT_EQ(CDialogEx::GetCurrentDialog(), nullptr);
}

TEST_F(DialogExTest, BackgroundComesFromTheDefaultAtConstruction)
{
    CDialogEx::SetDefaultBackColor(CLR_INVALID);
    CDialogEx before(kTemplate);
    EXPECT_EQ(before.GetBackColor(), CLR_INVALID);
    CDialogEx::SetDefaultBackColor(RGB(1, 2, 3));
    CDialogEx after(kTemplate);
    EXPECT_EQ(after.GetBackColor(), RGB(1, 2, 3));
    after.SetBackColor(RGB(9, 9, 9));
    ASSERT_TRUE(after.Create(kTemplate));
    after.ShowWindow(SW_SHOW);
    CRect client;
    after.GetClientRect(&client);
    after.ClientToScreen(&client);
    CRect w;
    after.GetWindowRect(&w);
    EXPECT_EQ(Pixel(Grab(after.m_hWnd), client.right - 3 - w.left, client.bottom - 3 - w.top), RGB(9, 9, 9));
    after.DestroyWindow();
}

} // namespace
