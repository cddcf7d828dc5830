#include "ui/caption_fonts.h"
#include "ui/status_bar_ex.h"
#include "ui/toolbar_ex.h"
#include "ui/ui_services.h"
#include "ui/zun_frame_wnd.h"
#include "util/reg_settings.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "resources/string_ids.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using namespace uitest;

namespace {

// A frame of 400 x 300 (window coordinates, band included) at 100, 50.
struct FrameTest : ::testing::Test {
    CZunFrameWnd* frame = new CZunFrameWnd;
    QPointer<QWidget> widget;
    int B = 0;

    void SetUp() override
    {
        ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW));
        frame->SetWindowText("Frame title");
        frame->MoveWindow(100, 50, 400, 300);
        frame->ShowWindow(SW_SHOW);
        widget = frame->m_hWnd;
        B = frame->GetBandHeight();
    }
    void TearDown() override
    {
        if (widget)
            frame->DestroyWindow();
    }
    // A window point as a point of the widget.
    QPoint W(int x, int y) const { return QPoint(x, y - B); }
    CPoint Screen(int x, int y) const { return CPoint(100 + x, 50 + y); }
};

TEST_F(FrameTest, CaptionGeometry)
{
    EXPECT_EQ(B, GetSystemMetrics(SM_CYSIZE) + 8);
    EXPECT_EQ(widget->geometry(), QRect(100, 50 + B, 400, 300 - B));
    EXPECT_EQ(frame->GetCaptionRect(), CRect(4, B + 5, 396, B + 23));
    EXPECT_EQ(frame->GetIconBox(), CRect(5, B + 7, 21, B + 23));
    EXPECT_EQ(frame->GetButtonBox(CZunFrameWnd::kMinimize), CRect(344, B + 7, 360, B + 23));
    EXPECT_EQ(frame->GetButtonBox(CZunFrameWnd::kMaximize), CRect(360, B + 7, 376, B + 23));
    EXPECT_EQ(frame->GetButtonBox(CZunFrameWnd::kClose), CRect(378, B + 7, 394, B + 23));
    CRect client;
    frame->GetClientRect(&client);
    EXPECT_EQ(client, CRect(0, 0, 392, 300 - 4 - 4 - 19 - B));
}

TEST_F(FrameTest, HitTestTable)
{
    struct Row {
        int x, y;
        LRESULT hit;
    } rows[] = {
        {10, B + 10, HTSYSMENU},  {350, B + 10, HTCAPTION},  {385, B + 10, HTCAPTION},  {200, B + 10, HTCAPTION},
        {200, B + 4, HTCAPTION},  {200, B + 1, HTTOP},       {2, B + 1, HTTOPLEFT},     {15, B + 3, HTTOPLEFT},
        {398, B + 1, HTTOPRIGHT}, {2, 150, HTLEFT},          {398, 150, HTRIGHT},       {200, 298, HTBOTTOM},
        {2, 298, HTBOTTOMLEFT},   {398, 298, HTBOTTOMRIGHT}, {200, 150, HTCLIENT},
    };
    for (const Row& r : rows) {
        CPoint s = Screen(r.x, r.y);
        EXPECT_EQ(frame->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(s.x, s.y)), r.hit) << r.x << "," << r.y;
    }
}

TEST_F(FrameTest, WithoutMinimizeAndMaximizeTheCloseButtonStaysAtTheRight)
{
    auto* plain = new CZunFrameWnd;
    ASSERT_TRUE(plain->LoadFrame(0, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    plain->MoveWindow(0, 0, 300, 200);
    EXPECT_FALSE(plain->HasButton(CZunFrameWnd::kMinimize));
    EXPECT_FALSE(plain->HasButton(CZunFrameWnd::kMaximize));
    int b = plain->GetBandHeight();
    EXPECT_EQ(plain->GetButtonBox(CZunFrameWnd::kClose), CRect(278, b + 7, 294, b + 23));
    plain->ShowWindow(SW_SHOW);
    QImage img = Grab(plain->m_hWnd);
    // The close image's white top-left edge, and no button where minimize would be.
    EXPECT_EQ(Pixel(img, 279, 7), RGB(255, 255, 255));
    EXPECT_EQ(Pixel(img, 300 - 4 - 52 + 3, 7 + 3), SchemeColorTeal);
    plain->DestroyWindow();
}

// Whether the title area holds a pixel of exactly this colour.
bool TitleHasColour(const QImage& img, COLORREF colour)
{
    for (int x = 30; x < 200; ++x)
        for (int y = 6; y < 22; ++y)
            if (Pixel(img, x, y) == colour)
                return true;
    return false;
}

TEST_F(FrameTest, CaptionPixels)
{
    QImage img = Grab(widget);
    EXPECT_EQ(Pixel(img, 0, 0), GetSchemeSysColor(10));      // light border, top-left
    EXPECT_EQ(Pixel(img, 399, 300 - B - 1), SchemeColorDeepBlue); // dark border, bottom-right
    EXPECT_EQ(Pixel(img, 200, 3), GetSchemeSysColor(15));    // face strip above the caption
    EXPECT_EQ(Pixel(img, 200, 14), SchemeColorTeal);         // caption band
    EXPECT_EQ(Pixel(img, 4, 14), SchemeColorTeal);
    // The close button's image in its box: the white top-left edge, the black
    // bottom-right edge.
    EXPECT_EQ(Pixel(img, 379, 7), RGB(255, 255, 255));
    EXPECT_EQ(Pixel(img, 393, 22), RGB(0, 0, 0));
    // Some title text is drawn in the caption text colour.
    EXPECT_TRUE(TitleHasColour(img, GetSysColor(COLOR_CAPTIONTEXT)));
}

TEST_F(FrameTest, InactiveTitleIsDrawnInTheDesktopsInactiveCaptionTextColour)
{
    const COLORREF active = GetSysColor(COLOR_CAPTIONTEXT), inactive = GetSysColor(COLOR_INACTIVECAPTIONTEXT);
    // Even where the desktop's palette gives both groups one selection text colour.
    ASSERT_NE(active, inactive);
    frame->SendMessage(WM_NCACTIVATE, FALSE, 0);
    EXPECT_FALSE(frame->IsCaptionActive());
    QImage img = Grab(widget);
    EXPECT_TRUE(TitleHasColour(img, inactive));
    EXPECT_FALSE(TitleHasColour(img, active));

    // A palette with its own inactive colour is taken as it is.
    const QPalette saved = QApplication::palette();
    QPalette own = saved;
    own.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(200, 230, 40));
    QApplication::setPalette(own);
    EXPECT_EQ(GetSysColor(COLOR_INACTIVECAPTIONTEXT), RGB(200, 230, 40));
    EXPECT_TRUE(TitleHasColour(Grab(widget), RGB(200, 230, 40)));
    QApplication::setPalette(saved);

    frame->SendMessage(WM_NCACTIVATE, TRUE, 0);
    img = Grab(widget);
    EXPECT_TRUE(TitleHasColour(img, active));
    EXPECT_FALSE(TitleHasColour(img, inactive));
}

TEST_F(FrameTest, PressDragOffCancelsAndPressReleaseCloses)
{
    CRect close = frame->GetButtonBox(CZunFrameWnd::kClose);
    QPoint on = W(close.CenterPoint().x, close.CenterPoint().y);
    Mouse(widget, QEvent::MouseButtonPress, on);
    EXPECT_TRUE(frame->IsButtonPressed(CZunFrameWnd::kClose));
    EXPECT_EQ(Pixel(Grab(widget), close.left, close.top - B), SchemeColorDeepBlue); // pressed image
    Mouse(widget, QEvent::MouseMove, W(200, 150));
    EXPECT_FALSE(frame->IsButtonPressed(CZunFrameWnd::kClose));
    Mouse(widget, QEvent::MouseMove, on);
    EXPECT_TRUE(frame->IsButtonPressed(CZunFrameWnd::kClose));
    Mouse(widget, QEvent::MouseMove, W(200, 150));
    Mouse(widget, QEvent::MouseButtonRelease, W(200, 150));
    for (auto b : {CZunFrameWnd::kMinimize, CZunFrameWnd::kMaximize, CZunFrameWnd::kClose})
        EXPECT_FALSE(frame->IsButtonPressed(b));
    QCoreApplication::processEvents();
    ASSERT_TRUE(widget);
    EXPECT_EQ(Pixel(Grab(widget), close.left, close.top - B), RGB(255, 255, 255));

    // The maximize box shows the restore image while maximized.
    CRect max = frame->GetButtonBox(CZunFrameWnd::kMaximize);
    EXPECT_EQ(Pixel(Grab(widget), max.left + 3, max.top + 3 - B), RGB(0, 0, 0));
    Click(widget, W(max.CenterPoint().x, max.CenterPoint().y));
    ASSERT_TRUE(WaitFor([&] { return frame->IsZoomed(); }));
    max = frame->GetButtonBox(CZunFrameWnd::kMaximize);
    EXPECT_EQ(Pixel(Grab(widget), max.left + 3, max.top + 3 - B), GetSchemeSysColor(15));
    // A double click on the title restores it.
    Mouse(widget, QEvent::MouseButtonDblClick, W(100, B + 12));
    ASSERT_TRUE(WaitFor([&] { return !frame->IsZoomed(); }));

    Click(widget, on = W(frame->GetButtonBox(CZunFrameWnd::kClose).CenterPoint().x, B + 12));
    ASSERT_TRUE(WaitFor([&] { return widget.isNull(); }));
}

TEST_F(FrameTest, DoubleClickOnTheTitleTogglesMaximizedAndADragMovesTheFrame)
{
    // What Qt delivers for a double click: press, release, press, double click, release.
    auto doubleClick = [&](QPoint at) {
        Mouse(widget, QEvent::MouseButtonPress, at);
        Mouse(widget, QEvent::MouseButtonRelease, at);
        Mouse(widget, QEvent::MouseButtonPress, at);
        Mouse(widget, QEvent::MouseButtonDblClick, at);
        Mouse(widget, QEvent::MouseButtonRelease, at);
    };
    const QPoint title = W(150, B + 12);
    doubleClick(title);
    ASSERT_TRUE(WaitFor([&] { return frame->IsZoomed(); }));
    doubleClick(title);
    ASSERT_TRUE(WaitFor([&] { return !frame->IsZoomed(); }));
    // Outside the caption (the client area) a double click changes nothing.
    doubleClick(W(200, 150));
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->IsZoomed());

    // A press alone does not move the frame; moving the mouse away with the
    // button held does, by as much as the mouse moved.
    const QPoint before = widget->pos();
    Mouse(widget, QEvent::MouseButtonPress, title);
    Mouse(widget, QEvent::MouseMove, title + QPoint(1, 0));
    EXPECT_EQ(widget->pos(), before);
    Mouse(widget, QEvent::MouseMove, title + QPoint(30, 20));
    EXPECT_EQ(widget->pos(), before + QPoint(30, 20));
    Mouse(widget, QEvent::MouseButtonRelease, title);
    const QPoint after = widget->pos();
    Mouse(widget, QEvent::MouseMove, title + QPoint(60, 60));
    EXPECT_EQ(widget->pos(), after);
}

TEST_F(FrameTest, SystemMenuGraysByState)
{
    CMenu* menu = frame->GetSystemMenuPopup();
    frame->SendMessage(WM_INITMENUPOPUP, WPARAM(menu), 0);
    EXPECT_EQ(menu->GetMenuState(SC_RESTORE, MF_BYCOMMAND), UINT(MF_GRAYED));
    EXPECT_EQ(menu->GetMenuState(SC_MOVE, MF_BYCOMMAND), 0u);
    frame->ShowWindow(SW_MAXIMIZE);
    ASSERT_TRUE(WaitFor([&] { return frame->IsZoomed(); }));
    frame->SendMessage(WM_INITMENUPOPUP, WPARAM(menu), 0);
    for (UINT id : {UINT(SC_MOVE), UINT(SC_SIZE), UINT(SC_MAXIMIZE)})
        EXPECT_EQ(menu->GetMenuState(id, MF_BYCOMMAND), UINT(MF_GRAYED)) << id;
    EXPECT_EQ(menu->GetMenuState(SC_RESTORE, MF_BYCOMMAND), 0u);
    EXPECT_EQ(menu->GetMenuState(SC_CLOSE, MF_BYCOMMAND), 0u);
    // Choosing Restore from the menu acts on the window.
    frame->SendMessage(WM_COMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->IsZoomed(); }));
}

TEST_F(FrameTest, IconBoxOpensTheSystemMenu)
{
    static std::vector<UINT> offered;
    offered.clear();
    CMenu::SetChooser([](CMenu* menu) -> UINT {
        for (const auto& item : menu->Items())
            if (!(item.flags & MF_SEPARATOR) && !(item.flags & MF_GRAYED))
                offered.push_back(item.id);
        return SC_MAXIMIZE;
    });
    CRect icon = frame->GetIconBox();
    Click(widget, W(icon.CenterPoint().x, icon.CenterPoint().y));
    CMenu::SetChooser(nullptr);
    EXPECT_EQ(offered, (std::vector<UINT>{SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE}));
    ASSERT_TRUE(WaitFor([&] { return frame->IsZoomed(); }));
}

// Qt's warnings while the test runs, without those of the headless platform
// itself ("This plugin does not support ...").
struct WarningRecorder {
    static inline std::vector<std::string> messages;
    QtMessageHandler previous;
    WarningRecorder()
    {
        messages.clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type != QtDebugMsg && type != QtInfoMsg && !text.startsWith("This plugin does not support"))
                messages.push_back(text.toStdString());
        });
    }
    ~WarningRecorder() { qInstallMessageHandler(previous); }
};

TEST_F(FrameTest, OpeningTheRealSystemMenuWarnsNothing)
{
    WarningRecorder warnings;
    CRect icon = frame->GetIconBox();
    for (int i = 0; i < 2; ++i) {
        bool shown = false;
        QTimer::singleShot(0, [&]() {
            shown = CMenu::GetOpenPopup() != nullptr;
            CMenu::EndMenu();
        });
        Click(widget, W(icon.CenterPoint().x, icon.CenterPoint().y));
        EXPECT_TRUE(shown);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(warnings.messages, std::vector<std::string>());
}

TEST_F(FrameTest, SettingChangeRemakesTheCaptionFontOfAllFrames)
{
    LOGFONT before;
    GetFrameCaptionFont()->GetLogFont(&before);
    QFont big = GetNonClientMetrics().lfCaptionFont;
    big.setPixelSize(30);
    SetSystemCaptionFont(big);
    LOGFONT after;
    GetFrameCaptionFont()->GetLogFont(&after);
    EXPECT_EQ(after.lfHeight, -30);
    EXPECT_EQ(after.lfWeight, 700);
    EXPECT_NE(before.lfHeight, after.lfHeight);
    SetSystemCaptionFont(QFont());
    SetSystemCaptionFont(GetNonClientMetrics().lfSmCaptionFont);
}

// A frame that takes a remembered rectangle, as the program's frames do.
struct PlacedFrame : CZunFrameWnd {
    CRect place;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        cs.x = place.left;
        cs.y = place.top;
        cs.cx = place.Width();
        cs.cy = place.Height();
        return CZunFrameWnd::PreCreateWindow(cs);
    }
};

TEST(FramePlacement, ANewFrameTakesTheDesktopsSizeForANewWindowAndARememberedPlaceStays)
{
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    auto* fresh = new CZunFrameWnd;
    ASSERT_TRUE(fresh->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    CRect r;
    fresh->GetWindowRect(&r);
    EXPECT_EQ(r.Width(), std::max(640, avail.width() * 3 / 4));
    EXPECT_EQ(r.Height(), std::max(480, avail.height() * 3 / 4));
    fresh->DestroyWindow();

    auto* placed = new PlacedFrame;
    placed->place = CRect(30, 40, 530, 440);
    ASSERT_TRUE(placed->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    placed->GetWindowRect(&r);
    EXPECT_EQ(r, placed->place);
    placed->DestroyWindow();
}

// A frame that keeps its place and its two bars, as the program's viewer and
// message editor do.
class KeepingFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(KeepingFrame)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT { kToolBarId = 59392, kStatusBarId = 59393 };
    KeepingFrame() { KeepSettings({"TestFrame", "TestToolBar", "TestStatBar"}); }
    int OnCreate(LPCREATESTRUCT lpcs) override
    {
        if (CZunFrameWnd::OnCreate(lpcs) == -1 || !toolBar.CreateFrameBar(this, kToolBarId, nullptr, 0) ||
            !statusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, kStatusBarId))
            return -1;
        ShowKeptBars(toolBar, statusBar);
        return 0;
    }
    CToolBarEx toolBar;
    CStatusBarEx statusBar;
};
IMPLEMENT_DYNCREATE(KeepingFrame, CZunFrameWnd)
BEGIN_MESSAGE_MAP(KeepingFrame, CZunFrameWnd)
    ON_COMMAND(kToolBarId, &KeepingFrame::OnViewToolBar)
    ON_COMMAND(kStatusBarId, &KeepingFrame::OnViewStatusBar)
END_MESSAGE_MAP()

TEST(FrameSettings, AFrameStoresItsBarsAndPlaceWhenItGoesAndTakesThemWhenItComesAgain)
{
    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives.path()};
    SetRegistryStore(&store);
    SetRegRoot(HKEY_CURRENT_USER);
    RegWriteInt(IDS_REG_PREFERENCE, "TestToolBar", 0);

    auto* frame = new KeepingFrame;
    ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    frame->ShowWindow(SW_SHOW);
    EXPECT_FALSE(frame->IsToolBarShown());
    EXPECT_FALSE(frame->toolBar.IsWindowVisible());
    EXPECT_TRUE(frame->IsStatusBarShown());
    EXPECT_TRUE(frame->statusBar.IsWindowVisible());
    frame->SendMessage(WM_COMMAND, KeepingFrame::kToolBarId, 0);
    frame->SendMessage(WM_COMMAND, KeepingFrame::kStatusBarId, 0);
    EXPECT_TRUE(frame->toolBar.IsWindowVisible());
    EXPECT_FALSE(frame->statusBar.IsWindowVisible());
    frame->MoveWindow(30, 40, 500, 300);
    const QSize size = frame->m_hWnd->size();
    frame->DestroyWindow();
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "TestToolBar", -1), 1);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "TestStatBar", -1), 0);

    auto* again = new KeepingFrame;
    ASSERT_TRUE(again->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    EXPECT_TRUE(again->IsToolBarShown());
    EXPECT_FALSE(again->IsStatusBarShown());
    EXPECT_EQ(again->m_hWnd->size(), size);
    again->DestroyWindow();
    SetRegistryStore(nullptr);
}

} // namespace
