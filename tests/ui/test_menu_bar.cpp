#include "ui/menu_bar.h"

#include "ui/ui_services.h"

#include "platform/framework/frame_wnd.h"
#include "platform/framework/system_metrics.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Pure parts: mnemonics, sizes, layout, the tracking state machine

TEST(MenuBarMnemonic, MarkerGivesUpperCaseKeyAndPosition)
{
    struct Row {
        const char* text;
        BYTE key;
        size_t pos;
        const char* stripped;
    } rows[] = {
        {"&File", 'F', 0, "File"},
        {"Fi&le", 'L', 2, "File"},
        {"File", 0, std::string::npos, "File"},
        {"File&", 0, std::string::npos, "File&"},
        {"&view", 'V', 0, "view"},
        {"&2 Recent", '2', 0, "2 Recent"},
        {"\xC3\xA9&\xC3\xA9t\xC3\xA9", 0, 2, "\xC3\xA9\xC3\xA9t\xC3\xA9"}, // no key for a letter outside ASCII
    };
    for (const Row& r : rows) {
        MenuMnemonic m = ParseMnemonic(r.text);
        EXPECT_EQ(m.key, r.key) << r.text;
        EXPECT_EQ(m.pos, r.pos) << r.text;
        EXPECT_EQ(StripMnemonic(r.text), r.stripped) << r.text;
    }
    EXPECT_EQ(ParseMnemonic("\xC3\xA9&\xC3\xA9t").len, 2u); // the marked character is whole
}

TEST(MenuBarMetrics, ButtonHeightFollowsTheMenuHeightParity)
{
    struct Row {
        int iMenuHeight, lfHeight, cySmIcon;
        int menuHeight, margin, buttonHeight;
    } rows[] = {
        {18, -12, 16, 18, 3, 18}, // even difference: the button is the menu height
        {19, -12, 16, 19, 3, 18}, // odd: one pixel less
        {20, -13, 16, 20, 3, 19}, // odd the other way round
        {12, -8, 16, 16, 4, 16},  // raised to the small icon height
        {18, 12, 16, 18, 3, 18},  // a positive font height counts the same
    };
    for (const Row& r : rows) {
        MenuBarMetrics m = ComputeMenuBarMetrics(r.iMenuHeight, r.lfHeight, r.cySmIcon, 1, 1);
        EXPECT_EQ(m.menuHeight, r.menuHeight) << r.iMenuHeight;
        EXPECT_EQ(m.textMargin, r.margin) << r.iMenuHeight;
        EXPECT_EQ(MenuButtonSize(40, m).cy, r.buttonHeight) << r.iMenuHeight;
        EXPECT_EQ(MenuButtonSize(40, m).cx, 50);
    }
}

MenuBarItems MakeItems(std::initializer_list<const char*> texts, int width = 40)
{
    MenuBarItems items;
    for (const char* t : texts) {
        auto b = std::make_unique<CMenuBarButton>(t, nullptr, 100, 0xFFFFFFFF);
        b->m_size = CSize(width, 18);
        items.push_back(std::move(b));
    }
    WrapMenuBarItems(items, 32767);
    PlaceMenuBarItems(items, TRUE, 18);
    return items;
}

TEST(MenuBarLayout, RowEndsOnlyAfterWrappableItemsAndHiddenItemsTakeNoRoom)
{
    MenuBarItems items = MakeItems({"&File", "&Edit", "&View", "&Help"});
    EXPECT_EQ(PlaceMenuBarItems(items, TRUE, 18), CSize(160, 18));
    EXPECT_EQ(items[2]->m_rect, CRect(80, 0, 120, 18));

    items[1]->m_state |= MBS_HIDDEN;
    EXPECT_EQ(WrapMenuBarItems(items, 32767), 1);
    EXPECT_EQ(PlaceMenuBarItems(items, TRUE, 18), CSize(120, 18));
    EXPECT_TRUE(items[1]->m_rect.IsRectEmpty());
    items[1]->m_state &= BYTE(~MBS_HIDDEN);

    // Narrow: rows end where the next item would not fit; a row-less kind never ends one.
    EXPECT_EQ(WrapMenuBarItems(items, 90), 2);
    EXPECT_EQ(PlaceMenuBarItems(items, TRUE, 18), CSize(80, 36));
    EXPECT_EQ(items[2]->m_rect, CRect(0, 18, 40, 36));
    MenuBarItems fixed = MakeItems({"&File", "&Edit", "&View", "&Help"});
    fixed[1]->m_kind = MBK_HITTEST;
    EXPECT_EQ(WrapMenuBarItems(fixed, 90), 2);
    EXPECT_EQ(PlaceMenuBarItems(fixed, TRUE, 18), CSize(120, 36)); // the row ends one item later

    // Vertical: the menu height wide, the items one below the other, sides swapped.
    EXPECT_EQ(PlaceMenuBarItems(items, FALSE, 18), CSize(18, 160));
    EXPECT_EQ(items[1]->m_rect, CRect(0, 40, 18, 80));
}

struct KeyRow {
    int state, index;     // before
    UINT message, vk;
    BOOL alt, shift, ctrl;
    int wantState, wantIndex;
    BOOL eaten;
    MenuBarAction action;
    int actionIndex;
};

void RunKeyRows(MenuBarItems& items, const std::vector<KeyRow>& rows, BOOL horz, BOOL altSeen = FALSE)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        const KeyRow& r = rows[i];
        CMenuBarTracker t(items);
        t.m_bHorzDocked = horz;
        t.SetTrackingState(r.state, r.index);
        t.m_bAltSeenInPopup = altSeen;
        MenuBarStep s = t.TranslateFrameMessage(r.message, r.vk, r.alt, r.shift, r.ctrl, FALSE);
        EXPECT_EQ(t.m_nTrackState, r.wantState) << "row " << i;
        EXPECT_EQ(t.m_nCurIndex, r.wantIndex) << "row " << i;
        EXPECT_EQ(s.eaten, r.eaten) << "row " << i;
        EXPECT_EQ(int(s.action), int(r.action)) << "row " << i;
        if (r.action == MenuBarAction::OpenPopup) {
            EXPECT_EQ(s.index, r.actionIndex) << "row " << i;
        }
    }
}

constexpr auto kNone = MenuBarAction::None;
constexpr auto kOpen = MenuBarAction::OpenPopup;

TEST(MenuBarTracker, FrameKeysOfAHorizontalBar)
{
    MenuBarItems items = MakeItems({"&File", "&Edit", "&Help"});
    RunKeyRows(items, {
        // Alt and F10 are the menu key: the press is eaten, the release selects and deselects.
        {0, -1, WM_SYSKEYDOWN, VK_MENU, TRUE, FALSE, FALSE, 0, -1, TRUE, kNone, -1},
        {0, -1, WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, 1, 0, TRUE, kNone, -1},
        {1, 2, WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, 0, -1, TRUE, kNone, -1},
        {0, -1, WM_SYSKEYUP, VK_F10, FALSE, FALSE, FALSE, 1, 0, TRUE, kNone, -1},
        {0, -1, WM_SYSKEYUP, VK_F10, FALSE, TRUE, FALSE, 0, -1, FALSE, kNone, -1},  // Shift+F10
        {0, -1, WM_SYSKEYUP, VK_F10, FALSE, FALSE, TRUE, 0, -1, FALSE, kNone, -1},  // Ctrl+F10
        {0, -1, WM_SYSKEYDOWN, VK_F10, FALSE, TRUE, FALSE, 0, -1, FALSE, kNone, -1},
        // Selected by keyboard.
        {1, 1, WM_KEYDOWN, VK_ESCAPE, FALSE, FALSE, FALSE, 0, -1, TRUE, kNone, -1},
        {1, 1, WM_KEYDOWN, VK_SPACE, FALSE, FALSE, FALSE, 1, 1, TRUE, kOpen, 1},
        {1, 1, WM_KEYDOWN, VK_DOWN, FALSE, FALSE, FALSE, 1, 1, TRUE, kOpen, 1},
        {1, 1, WM_KEYDOWN, VK_UP, FALSE, FALSE, FALSE, 1, 1, TRUE, kOpen, 1},
        {1, 1, WM_KEYDOWN, VK_RIGHT, FALSE, FALSE, FALSE, 1, 2, TRUE, kNone, -1},
        {1, 2, WM_KEYDOWN, VK_RIGHT, FALSE, FALSE, FALSE, 1, 0, TRUE, kNone, -1}, // wraps round
        {1, 0, WM_KEYDOWN, VK_LEFT, FALSE, FALSE, FALSE, 1, 2, TRUE, kNone, -1},
        // Mnemonics: with Alt from nothing, or alone while selected.
        {1, 0, WM_KEYDOWN, 'H', FALSE, FALSE, FALSE, 0, -1, TRUE, kOpen, 2},
        {0, -1, WM_SYSKEYDOWN, 'E', TRUE, FALSE, FALSE, 0, -1, TRUE, kOpen, 1},
        {1, 0, WM_KEYDOWN, 'Q', FALSE, FALSE, FALSE, 1, 0, TRUE, kNone, -1},     // no item's: swallowed
        {0, -1, WM_SYSKEYDOWN, 'Q', TRUE, FALSE, FALSE, 0, -1, FALSE, kNone, -1}, // with Alt: passes
        {0, -1, WM_KEYDOWN, 'E', FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},   // plain typing
        // Any other key ends a selection and passes; hot marks stay. Function
        // keys are no letters, whatever character their codes would be.
        {1, 1, WM_KEYDOWN, VK_TAB, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},
        {1, 1, WM_KEYDOWN, VK_F1, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},
        {1, 1, WM_KEYDOWN, VK_F1 + 4, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},
        {1, 1, WM_KEYDOWN, VK_F1 + 10, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1}, // F11
        {0, -1, WM_SYSKEYDOWN, VK_F1 + 7, TRUE, FALSE, FALSE, 0, -1, FALSE, kNone, -1}, // Alt+F8
        {1, 1, WM_KEYDOWN, '7', FALSE, FALSE, FALSE, 1, 1, TRUE, kNone, -1},  // a digit is a mnemonic key
        {3, 1, WM_KEYDOWN, VK_TAB, FALSE, FALSE, FALSE, 3, 1, FALSE, kNone, -1},
        {1, 1, WM_KEYUP, VK_TAB, FALSE, FALSE, FALSE, 1, 1, FALSE, kNone, -1},
        {1, 1, WM_SYSKEYUP, 'E', TRUE, FALSE, FALSE, 1, 1, FALSE, kNone, -1},
        // A click elsewhere drops the selection and goes on.
        {1, 1, WM_LBUTTONDOWN, 0, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},
        {0, -1, WM_LBUTTONDOWN, 0, FALSE, FALSE, FALSE, 0, -1, FALSE, kNone, -1},
    }, TRUE);
}

TEST(MenuBarTracker, AltThatClosedAPopupSelectsNothing)
{
    MenuBarItems items = MakeItems({"&File", "&Edit"});
    CMenuBarTracker t(items);
    t.BeginLoop(1);
    t.BeginPopup();
    MenuBarStep s = t.OnMenuInput(WM_SYSKEYDOWN, VK_MENU, CPoint());
    EXPECT_EQ(s.action, MenuBarAction::ClosePopup);
    t.EndLoop();
    EXPECT_EQ(t.m_nTrackState, 0);
    t.TranslateFrameMessage(WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, FALSE);
    EXPECT_EQ(t.m_nTrackState, 0);
    EXPECT_FALSE(t.m_bAltSeenInPopup);
    t.TranslateFrameMessage(WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, FALSE); // the next tap selects
    EXPECT_EQ(t.m_nTrackState, 1);
    EXPECT_EQ(t.m_nCurIndex, 0);
}

TEST(MenuBarTracker, VerticalBarSwapsTheArrows)
{
    MenuBarItems items = MakeItems({"&File", "&Edit", "&Help"});
    RunKeyRows(items, {
        {1, 0, WM_KEYDOWN, VK_DOWN, FALSE, FALSE, FALSE, 1, 1, TRUE, kNone, -1},
        {1, 0, WM_KEYDOWN, VK_UP, FALSE, FALSE, FALSE, 1, 2, TRUE, kNone, -1},
        {1, 0, WM_KEYDOWN, VK_RIGHT, FALSE, FALSE, FALSE, 1, 0, TRUE, kOpen, 0},
        {1, 0, WM_KEYDOWN, VK_LEFT, FALSE, FALSE, FALSE, 1, 0, TRUE, kOpen, 0},
    }, FALSE);
}

TEST(MenuBarTracker, EmptyOrUnselectableBarNeverLoops)
{
    MenuBarItems none;
    CMenuBarTracker t(none);
    EXPECT_EQ(t.FindNextItem(-1, FALSE), -1);
    EXPECT_EQ(t.FindNextItem(0, TRUE), -1);
    MenuBarStep s = t.TranslateFrameMessage(WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, FALSE);
    EXPECT_TRUE(s.eaten);
    EXPECT_EQ(t.m_nTrackState, 0);

    MenuBarItems hidden = MakeItems({"&A", "&B"});
    for (auto& it : hidden)
        it->m_state |= MBS_HIDDEN;
    CMenuBarTracker h(hidden);
    EXPECT_EQ(h.FindNextItem(0, FALSE), -1);
    h.TranslateFrameMessage(WM_SYSKEYUP, VK_MENU, TRUE, FALSE, FALSE, FALSE);
    EXPECT_EQ(h.m_nTrackState, 0);
    hidden[1]->m_state &= BYTE(~MBS_HIDDEN);
    EXPECT_EQ(h.FindNextItem(1, FALSE), 1); // the only one, found after a full turn
}

TEST(MenuBarTracker, PopupInputMovesAlongTheBar)
{
    MenuBarItems items = MakeItems({"&File", "&Edit", "&Help"});
    CMenuBarTracker t(items);
    t.BeginLoop(0);
    t.BeginPopup();
    EXPECT_EQ(items[0]->m_state & MBS_PRESSED, MBS_PRESSED);

    // The mouse over another item closes this popup and asks for that one.
    MenuBarStep s = t.OnMenuInput(WM_MOUSEMOVE, 0, CPoint(50, 5));
    EXPECT_EQ(s.action, MenuBarAction::ClosePopup);
    EXPECT_FALSE(s.eaten);
    EXPECT_EQ(t.m_nCurIndex, 1);
    EXPECT_TRUE(t.m_bReopen);
    t.BeginPopup();
    // The same point again, or a point over the open item, does nothing.
    EXPECT_EQ(t.OnMenuInput(WM_MOUSEMOVE, 0, CPoint(50, 5)).action, MenuBarAction::None);
    EXPECT_EQ(t.OnMenuInput(WM_MOUSEMOVE, 0, CPoint(55, 6)).action, MenuBarAction::None);
    EXPECT_EQ(t.OnMenuInput(WM_MOUSEMOVE, 0, CPoint(500, 6)).action, MenuBarAction::None);
    EXPECT_FALSE(t.m_bReopen);

    // Arrows switch menus unless the highlight opens or sits in a cascade.
    s = t.OnMenuInput(WM_KEYDOWN, VK_RIGHT, CPoint());
    EXPECT_TRUE(s.eaten);
    EXPECT_EQ(t.m_nCurIndex, 2);
    t.BeginPopup();
    t.OnMenuSelect(TRUE, FALSE);
    EXPECT_FALSE(t.OnMenuInput(WM_KEYDOWN, VK_RIGHT, CPoint()).eaten);
    t.OnMenuSelect(FALSE, TRUE);
    EXPECT_FALSE(t.OnMenuInput(WM_KEYDOWN, VK_LEFT, CPoint()).eaten);
    t.OnMenuSelect(FALSE, FALSE);
    s = t.OnMenuInput(WM_KEYDOWN, VK_LEFT, CPoint());
    EXPECT_TRUE(s.eaten);
    EXPECT_EQ(t.m_nCurIndex, 1);
    t.BeginPopup();
    EXPECT_FALSE(t.OnMenuInput(WM_KEYDOWN, VK_DOWN, CPoint()).eaten);

    // A click on the open item closes the popup and leaves it selected.
    s = t.OnMenuInput(WM_LBUTTONDOWN, 0, CPoint(45, 5));
    EXPECT_TRUE(s.eaten);
    EXPECT_EQ(s.action, MenuBarAction::ClosePopup);
    EXPECT_FALSE(t.m_bReopen);
    t.EndLoop();
    EXPECT_EQ(t.m_nTrackState, 1);
    EXPECT_EQ(t.m_nCurIndex, 1);
    EXPECT_EQ(items[1]->m_state & (MBS_HOT | MBS_PRESSED), MBS_HOT);
    // A click on another item passes (the popup closes by itself).
    t.BeginPopup();
    EXPECT_FALSE(t.OnMenuInput(WM_LBUTTONDOWN, 0, CPoint(5, 5)).eaten);
}

// ---------------------------------------------------------------------------
// The bar in a frame

enum : UINT {
    IDR_TESTMENU = 7001,
    ID_T_OPEN = 32801,
    ID_T_EXIT = 32802,
    ID_T_COPY = 32803,
    ID_T_PASTE = 32804,
    ID_T_ABOUT = 32805,
    ID_T_RECENT = 32806,
};

std::vector<UINT> g_commands;

class BarFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(BarFrame)
    DECLARE_MESSAGE_MAP()
public:
    CMenuBar m_bar;
    int OnCreate(LPCREATESTRUCT lpcs) override
    {
        if (CZunFrameWnd::OnCreate(lpcs) == -1)
            return -1;
        m_bar.m_crBack = GetSchemeSysColor(4);
        if (!m_bar.Create(this, 0x5000A032, 0, 0, 0, 0, 59398) || !m_bar.LoadFrameMenu(IDR_TESTMENU))
            return -1;
        m_bar.SetBorders(4, 2, 4, 2);
        SetMenuBar(&m_bar);
        return 0;
    }
    void OnCommandId(UINT id) { g_commands.push_back(id); }
    void OnUpdatePaste(CCmdUI* ui) { ui->Enable(FALSE); }
};
IMPLEMENT_DYNCREATE(BarFrame, CZunFrameWnd)
BEGIN_MESSAGE_MAP(BarFrame, CZunFrameWnd)
    ON_COMMAND_RANGE(ID_T_OPEN, ID_T_RECENT, &BarFrame::OnCommandId)
    ON_UPDATE_COMMAND_UI(ID_T_PASTE, &BarFrame::OnUpdatePaste)
END_MESSAGE_MAP()

class MenuBarFrame : public ::testing::Test {
public:
    void SetUp() override
    {
        RegisterMenuResource(IDR_TESTMENU,
                             {
                                 {MF_POPUP, 0, "&File", {{MF_STRING, ID_T_OPEN, "&Open...\tCtrl+O", {}},
                                                         {MF_POPUP, 0, "&Recent", {{MF_STRING, ID_T_RECENT, "&1 a.kvt", {}}}},
                                                         {MF_SEPARATOR, 0, "", {}},
                                                         {MF_STRING, ID_T_EXIT, "E&xit", {}}}},
                                 {MF_POPUP, 0, "&Edit", {{MF_STRING, ID_T_COPY, "&Copy", {}}, {MF_STRING, ID_T_PASTE, "&Paste", {}}}},
                                 {MF_STRING, ID_T_ABOUT, "&About", {}},
                             });
        g_commands.clear();
        frame = new BarFrame;
        ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW));
        frame->SetWindowText("Quiram Relayo");
        frame->MoveWindow(0, 0, 400, 240);
        frame->ShowWindow(SW_SHOW);
        bar = &frame->m_bar;
    }
    void TearDown() override
    {
        CMenu::SetChooser(nullptr);
        if (frame && frame->m_hWnd)
            frame->DestroyWindow();
    }
    CPoint ItemCenter(int i) const { return bar->GetItems()[size_t(i)]->m_rect.CenterPoint(); }
    // A bar under the cursor turns hot when a popup closes.
    uitest::CursorParking cursor;
    BarFrame* frame = nullptr;
    CMenuBar* bar = nullptr;
};

TEST_F(MenuBarFrame, ItemsLaidOutInOneRowAtTheTopOfTheFrame)
{
    const auto& items = bar->GetItems();
    ASSERT_EQ(items.size(), 3u);
    const MenuBarMetrics& m = GetMenuBarMetrics();
    CRect rc;
    bar->GetWindowRect(&rc);
    frame->ScreenToClient(&rc);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.Height(), m.fontHeight + 2 * m.textMargin + 4);
    int x = 0;
    for (const auto& it : items) {
        EXPECT_EQ(it->m_rect.left, x);
        EXPECT_EQ(it->m_rect.top, 0);
        EXPECT_GT(it->m_size.cx, 10);
        x = it->m_rect.right;
    }
    EXPECT_NE(static_cast<CMenuBarButton*>(items[0].get())->m_pPopup, nullptr);
    EXPECT_EQ(static_cast<CMenuBarButton*>(items[2].get())->m_nCmdId, int(ID_T_ABOUT));
    EXPECT_EQ(frame->SendMessage(CMenuBar::WM_GETMENU()), reinterpret_cast<LRESULT>(bar->GetMenu()));
}

TEST_F(MenuBarFrame, FrameMessagesReachTheBarThroughItsHook)
{
    frame->SendMessage(WM_NCACTIVATE, FALSE);
    EXPECT_FALSE(frame->IsCaptionActive()); // the frame's own handling runs after the hook
    for (const auto& it : bar->GetItems())
        EXPECT_EQ(it->m_state & MBS_INACTIVE, MBS_INACTIVE);
    frame->SendMessage(WM_NCACTIVATE, TRUE);
    for (const auto& it : bar->GetItems())
        EXPECT_EQ(it->m_state & MBS_INACTIVE, 0);
    // A setting change makes the items again from the menu: an entry the
    // menu has gained since shows.
    ASSERT_TRUE(bar->GetMenu()->AppendMenu(MF_STRING, ID_T_EXIT, "&Quit"));
    ASSERT_EQ(bar->GetItems().size(), 3u);
    frame->SendMessage(WM_SETTINGCHANGE);
    ASSERT_EQ(bar->GetItems().size(), 4u);
    EXPECT_EQ(static_cast<CMenuBarButton*>(bar->GetItems()[2].get())->m_nCmdId, int(ID_T_ABOUT));
    EXPECT_EQ(static_cast<CMenuBarButton*>(bar->GetItems()[3].get())->m_text, "&Quit");
}

TEST_F(MenuBarFrame, EntryWithoutPopupSendsItsCommand)
{
    bar->TrackPopupLoop(2);
    EXPECT_EQ(g_commands, std::vector<UINT>{ID_T_ABOUT});
    EXPECT_EQ(bar->GetTrackState(), 0);
}

TEST_F(MenuBarFrame, MnemonicOpensThePopupWithUpdatedItemsAndRunsTheChoice)
{
    static std::vector<UINT> seenPaste;
    seenPaste.clear();
    CMenu::SetChooser([](CMenu* m) -> UINT {
        seenPaste.push_back(m->GetMenuState(ID_T_PASTE, MF_BYCOMMAND));
        return ID_T_COPY;
    });
    QKeyEvent press(QEvent::KeyPress, Qt::Key_E, Qt::AltModifier);
    QApplication::sendEvent(frame->m_hWnd, &press);
    ASSERT_EQ(seenPaste.size(), 1u);
    EXPECT_EQ(seenPaste[0] & MF_GRAYED, UINT(MF_GRAYED)); // the update handler ran first
    EXPECT_EQ(CMenuBar::GetOpenMenuIndex(), 1);
    ASSERT_TRUE(uitest::WaitFor([] { return !g_commands.empty(); }));
    EXPECT_EQ(g_commands, std::vector<UINT>{ID_T_COPY});
    EXPECT_EQ(bar->GetTrackState(), 0);
}

TEST_F(MenuBarFrame, AltTapSelectsAndClickElsewhereDeselects)
{
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QApplication::sendEvent(frame->m_hWnd, &down);
    QApplication::sendEvent(frame->m_hWnd, &up);
    EXPECT_EQ(bar->GetTrackState(), 1);
    EXPECT_EQ(bar->GetCurIndex(), 0);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(frame->m_hWnd, &right);
    EXPECT_EQ(bar->GetCurIndex(), 1);
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(200, 150), frame->m_hWnd->mapToGlobal(QPointF(200, 150)),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(frame->m_hWnd, &click);
    EXPECT_EQ(bar->GetTrackState(), 0);
}

TEST_F(MenuBarFrame, HotMarkFollowsTheMouseAndLeavesWithIt)
{
    CPoint c = ItemCenter(1);
    QMouseEvent move(QEvent::MouseMove, QPointF(c.x + 4, c.y + 2), bar->m_hWnd->mapToGlobal(QPointF(c.x + 4, c.y + 2)),
                     Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(bar->m_hWnd, &move);
    EXPECT_EQ(bar->GetTrackState(), 3);
    EXPECT_EQ(bar->GetCurIndex(), 1);
    QCursor::setPos(frame->m_hWnd->mapToGlobal(QPoint(200, 150)));
    ASSERT_TRUE(uitest::WaitFor([&] { return bar->GetTrackState() == 0; }));
}

// Opens File for real, moves the mouse onto Edit (which must reopen there
// without a click), photographs the frame with the open menu and closes it.
TEST_F(MenuBarFrame, MovingAlongTheBarReopensAndScreenshotShowsTheOpenMenu)
{
    static MenuBarFrame* self;
    static std::vector<int> opened;
    static QImage shot;
    self = this;
    opened.clear();
    shot = QImage();
    struct Driver {
        static void Step()
        {
            QMenu* popup = CMenu::GetOpenPopup();
            if (!popup || !popup->isVisible()) {
                QTimer::singleShot(10, &Step);
                return;
            }
            opened.push_back(CMenuBar::GetOpenMenuIndex());
            if (opened.size() == 1) {
                CPoint c = self->ItemCenter(1);
                QPoint g = self->bar->m_hWnd->mapToGlobal(QPoint(c.x, c.y));
                QMouseEvent move(QEvent::MouseMove, QPointF(popup->mapFromGlobal(g)), QPointF(g), Qt::NoButton,
                                 Qt::NoButton, {});
                QApplication::sendEvent(popup, &move);
                QTimer::singleShot(0, &Step);
                return;
            }
            // The frame and the popup over it, as the screen shows them.
            shot = uitest::GrabWithPopup(self->frame->m_hWnd, popup);
            CMenu::EndMenu();
        }
    };
    frame->m_hWnd->activateWindow();
    ASSERT_TRUE(uitest::WaitFor([&] { return frame->m_hWnd->isActiveWindow(); }));
    QTimer::singleShot(0, &Driver::Step);
    bar->TrackPopupLoop(0);
    EXPECT_EQ(opened, (std::vector<int>{0, 1}));
    EXPECT_EQ(bar->GetTrackState(), 0);
    EXPECT_TRUE(g_commands.empty());
    ASSERT_FALSE(shot.isNull());
    const QString path = QString(QR_TEST_BUILD_DIR) + "/menu_bar_open.png";
    ASSERT_TRUE(shot.save(path));
    // The bar's colour beside the items, and the popup's own pixels under Edit.
    QWidget* top = frame->m_hWnd;
    QPoint barPt = bar->m_hWnd->mapTo(top, QPoint(bar->m_hWnd->width() - 5, bar->m_hWnd->height() / 2));
    EXPECT_EQ(shot.pixel(barPt) & 0xFFFFFF, 0xD4FFFFu);
    CRect edit = bar->GetItems()[1]->m_rect;
    QPoint under = bar->m_hWnd->mapTo(top, QPoint(edit.left + 10, bar->m_hWnd->height() + 12));
    EXPECT_NE(shot.pixel(under) & 0xFFFFFF, 0xD4FFFFu);
}

} // namespace
