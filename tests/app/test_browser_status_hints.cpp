// The browser window's status bar: the folder's totals, the hint of the
// toolbar button under the mouse, and a menu entry's prompt while the menu is open.
#include "browser_frame_fixture.h"

#include "resources/string_table.h"
#include "ui/hover_help.h"

#include <QCursor>
#include <QDir>
#include <QFontMetrics>

using qrtest::BrowserFrameTest;

namespace {

TEST_F(BrowserFrameTest, TheStatusBarShowsHoverHintsAndMenuPromptsOverTheFolderTotals)
{
    uitest::CursorParking parking;
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    CZunMainFrame* frame = Frame();
    CHoverHelp* help = frame->GetHoverHelp();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->IsEnabled());
    auto pane0 = [&] {
        QApplication::processEvents();
        return frame->GetStatusBar().GetPaneText(0);
    };
    auto showsTotals = [&] { return pane0().rfind("Total number of files: 13", 0) == 0; };
    ASSERT_TRUE(uitest::WaitFor(showsTotals));

    // Over the toolbar's Paste button: its command's prompt.
    CZunToolBar& bar = frame->GetToolBar();
    CRect button;
    bar.GetItemRect(4, &button);
    ASSERT_EQ(bar.GetButton(4).id, UINT(ID_EDIT_PASTE));
    const std::string prompt(res::PromptPart(ID_EDIT_PASTE));
    ASSERT_FALSE(prompt.empty());
    // Every button has a hint.
    for (int i = 0; i < bar.GetCount(); ++i)
        EXPECT_FALSE(res::PromptPart(bar.GetButton(i).id).empty()) << bar.GetButton(i).id;
    QCursor::setPos(bar.m_hWnd->mapToGlobal(QPoint(button.CenterPoint().x, button.CenterPoint().y)));
    ASSERT_TRUE(uitest::WaitFor([&] { return pane0() == prompt; }));
    // Shown whole, however long.
    {
        UINT id = 0, style = 0;
        int width = 0;
        frame->GetStatusBar().GetPaneInfo(0, id, style, width);
        EXPECT_GE(width, QFontMetrics(frame->GetStatusBar().GetFont()).horizontalAdvance(QString::fromStdString(prompt)));
    }
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    EXPECT_TRUE(uitest::Grab(frame->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_hover_hint.png"));

    // Over the gallery, which gives no hint: the totals again.
    QWidget* gallery = View()->GetGallery()->Viewport();
    QCursor::setPos(gallery->mapToGlobal(gallery->rect().center()));
    EXPECT_TRUE(uitest::WaitFor(showsTotals));

    // While a menu is open its entry's prompt stays through the timer's ticks.
    const std::string open(res::PromptPart(ID_FILE_OPEN));
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_FILE_OPEN, 0), 0);
    EXPECT_FALSE(help->IsEnabled());
    frame->SendMessage(WM_TIMER, CZunMainFrame::kStatusTimer, 0);
    EXPECT_EQ(pane0(), open);
    ASSERT_TRUE(uitest::OpenAndCloseMenu(frame, ID_FILE_OPEN, "&Open..."));
    EXPECT_TRUE(help->IsEnabled());
    EXPECT_TRUE(uitest::WaitFor(showsTotals));
}

} // namespace
