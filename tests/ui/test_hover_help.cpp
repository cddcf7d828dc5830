#include "ui/hover_help.h"

#include "platform/framework/control_bar.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"

#include "support/ui_test_util.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QWidget>

namespace {

// GCC 12 sees overlapping copies in "a" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST(HoverHelp, CutKeepsTheFirstLineAndWholeCharacters)
{
    const std::string e = "\xC3\xA9"; // two bytes
    std::string longAscii(300, 'a');
    std::string longWide;
    for (int i = 0; i < 200; ++i)
        longWide += e;
    struct Row {
        std::string hint, want;
    } rows[] = {
        {"Opens a file\nOpen", "Opens a file"},
        {"plain", "plain"},
        {"", ""},
        {longAscii, std::string(255, 'a')},
        {longWide, longWide.substr(0, 254)}, // byte 255 would split a character
        {"a" + longWide, "a" + longWide.substr(0, 254)},
        {std::string(250, 'b') + "\nrest", std::string(250, 'b')},
        {std::string(260, 'b') + "\nrest", std::string(255, 'b')}, // the break lies beyond the cut
    };
    for (const Row& r : rows)
        EXPECT_EQ(CHoverHelp::CutHint(r.hint), r.want) << r.hint.size();
}
QR_GCC_IGNORE_END

class HoverFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = new CFrameWnd;
        ASSERT_TRUE(frame->Create(nullptr, "Hover", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
        app.m_pMainWnd = frame;
        ASSERT_TRUE(status.Create(frame));
        const UINT panes[] = {0, 1};
        status.SetIndicators(panes, 2);
        // Controls with ids of each kind, side by side.
        const UINT ids[] = {50, 51, 6257, ID_FILE_OPEN, 40000, 52};
        for (size_t i = 0; i < std::size(ids); ++i) {
            auto* w = new CWnd;
            ASSERT_TRUE(w->Create(nullptr, "text of " + std::to_string(ids[i]), WS_CHILD | WS_VISIBLE,
                                  CRect(int(i) * 50, 40, int(i) * 50 + 40, 80), frame, ids[i]));
            controls.push_back(w);
        }
        frame->ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        app.m_pMainWnd = nullptr;
        frame->DestroyWindow();
        for (CWnd* w : controls)
            delete w;
    }
    void PointAt(size_t i)
    {
        QWidget* w = controls[i]->m_hWnd;
        QCursor::setPos(w->mapToGlobal(QPoint(w->width() / 2, w->height() / 2)));
    }
    uitest::CursorParking cursor;
    CWinApp app{"hover"};
    CFrameWnd* frame = nullptr;
    CStatusBar status;
    std::vector<CWnd*> controls;
};

TEST_F(HoverFrame, HintOfEachKindOfId)
{
    CHoverHelp help(&status, 0);
    help.AddHint(50, "first");
    help.AddHint(50, "later"); // the later entry wins
    help.AddWindowTextId(51);
    struct Row {
        size_t control;
        std::string want;
    } rows[] = {
        {0, "later"},
        {1, "text of 51"},
        {2, std::string(res::String(6257))},      // an id of 1000 to 9999: the whole string
        {3, std::string(res::PromptPart(ID_FILE_OPEN))}, // a command: the prompt without the tooltip
        {4, ""},                                  // a command without a string
        {5, ""},                                  // outside both ranges and not listed
    };
    for (const Row& r : rows)
        EXPECT_EQ(help.HintFor(controls[r.control]), r.want) << r.control;
    EXPECT_EQ(help.HintFor(controls[3]), "Opens an existing file");
    std::string text;
    EXPECT_FALSE(help.FindHint(51, text));
    EXPECT_TRUE(help.IsWindowTextId(51));
}

TEST_F(HoverFrame, UpdateWritesThePaneFollowingTheCursor)
{
    CHoverHelp help(&status, 0);
    help.AddHint(50, "hint fifty");
    PointAt(0);
    help.Update(); // disabled: nothing
    EXPECT_EQ(status.GetPaneText(0), "");
    help.Enable();
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "hint fifty");
    PointAt(3);
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "Opens an existing file");
    // Leaving the hinted controls clears the pane.
    QCursor::setPos(frame->m_hWnd->mapToGlobal(QPoint(390, 200)));
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "");
    // A fixed text stands in for every hint.
    help.m_strFixedText = "Recording...";
    PointAt(0);
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "Recording...");
    help.Disable();
    help.m_strFixedText.clear();
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "Recording...");
}

TEST_F(HoverFrame, PaneIndexMinusOneNeverWrites)
{
    CHoverHelp help(&status, -1);
    help.AddHint(50, "hint fifty");
    help.Enable();
    status.SetPaneText(0, "owner's");
    PointAt(0);
    help.Update();
    EXPECT_EQ(status.GetPaneText(0), "owner's");
    help.SetPaneText(1, "second pane");
    EXPECT_EQ(status.GetPaneText(1), "second pane");
}

} // namespace
