#include "message/aphoto_comment_pane.h"
#include "message/photo_content.h"
#include "message_fixtures.h"
#include "platform/framework/message_box.h"
#include "platform/gdi/logfont.h"
#include "resources/string_table.h"
#include "support/ui_test_util.h"
#include "util/app_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>

#include <string>
#include <vector>

namespace {

// The editor's stand-in: the pane's command target, recording commands.
class Target : public CWnd {
public:
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        commands.push_back(LOWORD(DWORD(wParam)));
        return TRUE;
    }
    bool Got(UINT id) const { return std::find(commands.begin(), commands.end(), id) != commands.end(); }
    std::vector<UINT> commands;
};

struct PaneFixture : ::testing::Test {
    void SetUp() override
    {
        GetAppSettings().m_strUserName = "Ada";
        ASSERT_TRUE(target.CreateEx(0, "Target", "", WS_POPUP | WS_VISIBLE, CRect(0, 0, 520, 420), nullptr, 0));
        ASSERT_TRUE(pane.Create(&target, 1079));
        pane.MoveWindow(0, 0, 520, 420);
        pane.ShowWindow(SW_SHOW);
        pane.Attach(&target);
        pane.SetOpen(TRUE);
        previousBox = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            asked.push_back(text);
            return answer;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(previousBox);
        pane.DestroyWindow();
        target.DestroyWindow();
        GetAppSettings() = CAppSettings();
    }
    void Load(const std::vector<int>& depths)
    {
        CAPhotoContent content(95);
        for (size_t i = 0; i < depths.size(); ++i) {
            auto record = std::make_unique<CAnoRecord>();
            record->SetText(("comment " + std::to_string(i + 1)).c_str());
            record->m_strUserName = "Ilse";
            record->m_date = SYSTEMTIME{2024, 5, 0, 17, 9, 30, 0, 0};
            record->m_area = CAreaMarquee(CRect(10 * int(i), 0, 10 * int(i) + 5, 5), CAreaMarquee::square);
            content.m_comments.emplace_back(depths[i], std::move(record));
        }
        pane.LoadRecords(content);
    }
    CAPhotoTree& Tree() { return pane.GetTree(); }
    void Select(int item) { Tree().SetSelectState(item, CAPhotoTreeModel::stateOn, TRUE); }

    Target target;
    APhotoCommentPane pane;
    MessageBoxHandler previousBox;
    std::vector<std::string> asked;
    int answer = IDOK;
    uitest::CursorParking parking;
};

TEST_F(PaneFixture, CommandRulesFollowStateAndLimits)
{
    struct Row {
        const char* what;
        std::vector<int> depths;
        int selected;
        BOOL readOnly;
        BOOL locked;
        UINT command;
        BOOL allowed;
        UINT messageId;
    } rows[] = {
        {"add to an open message", {0}, 0, FALSE, FALSE, ID_ADDANOTATION, TRUE, 0},
        {"256 comments give 1066", std::vector<int>(256, 0), 0, FALSE, FALSE, ID_ADDANOTATION, FALSE, 1066},
        {"255 comments still take one", std::vector<int>(255, 0), 0, FALSE, FALSE, ID_ADDANOTATION, TRUE, 0},
        {"depth 7 gives 6261", {0, 1, 2, 3, 4, 5, 6, 7}, 8, FALSE, FALSE, ID_ADDANOTATION, FALSE, 6261},
        {"depth 6 takes a reply", {0, 1, 2, 3, 4, 5, 6}, 7, FALSE, FALSE, ID_ADDANOTATION, TRUE, 0},
        {"locked refuses save", {0}, 1, FALSE, TRUE, ID_FILE_SAVE, FALSE, 0},
        {"locked refuses add", {0}, 0, FALSE, TRUE, ID_ADDANOTATION, FALSE, 0},
        {"locked refuses delete", {0}, 1, FALSE, TRUE, 308, FALSE, 0},
        {"locked refuses editing", {0}, 1, FALSE, TRUE, ID_STARTCOMMENTEDIT, FALSE, 0},
        {"locked refuses mail", {0}, 1, FALSE, TRUE, 57612, FALSE, 0},
        {"read-only allows mail", {0}, 0, TRUE, FALSE, 57612, TRUE, 0},
        {"read-only allows web page", {0}, 0, TRUE, FALSE, 300, TRUE, 0},
        {"read-only allows write to file", {0}, 0, TRUE, FALSE, 271, TRUE, 0},
        {"read-only refuses save as", {0}, 0, TRUE, FALSE, ID_FILE_SAVE_AS, FALSE, 0},
        {"delete needs a selection", {0}, 0, FALSE, FALSE, 32787, FALSE, 0},
        {"delete with a selection", {0}, 1, FALSE, FALSE, 32787, TRUE, 0},
        {"copy without an edit target", {0}, 0, FALSE, FALSE, ID_EDIT_COPY, FALSE, 0},
        {"other commands", {0}, 0, FALSE, FALSE, 12345, FALSE, 0},
    };
    for (const Row& r : rows) {
        pane.SetLocked(FALSE);
        pane.SetReadOnly(r.readOnly);
        pane.SetLocked(r.locked);
        Load(r.depths);
        if (r.selected)
            Select(r.selected);
        UINT messageId = 99;
        EXPECT_EQ(pane.CanDoCommand(r.command, messageId), r.allowed) << r.what;
        EXPECT_EQ(messageId, r.messageId) << r.what;
    }
    EXPECT_EQ(LoadResString(6261), "Unable to nest comment");
}

TEST_F(PaneFixture, NewCommentsGoUnderASingleSelectionOnly)
{
    Load({0, 1, 0});
    CAnoRecord record;
    record.SetText("new");
    Select(1);
    EXPECT_EQ(pane.AddComment(record), 3) << "a reply after comment 1's last reply";
    EXPECT_EQ(Tree().GetDepth(3), 1);
    Select(4);
    ASSERT_EQ(Tree().GetSelectedCount(), 2);
    const int added = pane.AddComment(record);
    EXPECT_EQ(added, 5);
    EXPECT_EQ(Tree().GetDepth(added), 0) << "two selected comments give a top-level comment";
}

TEST_F(PaneFixture, DeletingAsksFirstAndTakesTheWholeThread)
{
    Load({0, 1, 2, 0});
    Select(1);
    answer = IDCANCEL;
    EXPECT_FALSE(pane.DeleteSelectedComments());
    EXPECT_EQ(Tree().GetCount(), 4);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Delete the nested comment?");

    answer = IDOK;
    EXPECT_TRUE(pane.DeleteSelectedComments());
    EXPECT_EQ(Tree().GetCount(), 1);
    EXPECT_EQ(Tree().GetItemText(1), "comment 4");

    Select(1);
    EXPECT_TRUE(pane.DeleteSelectedComments());
    EXPECT_EQ(asked.back(), "Delete comment?");
    EXPECT_FALSE(pane.DeleteSelectedComments()) << "nothing selected: nothing asked";
    EXPECT_EQ(asked.size(), 3u);
}

TEST_F(PaneFixture, AThreadSharesTheMarqueeSetOnAReply)
{
    Load({0, 1, 2, 0});
    Tree().SetCurrent(3, FALSE, FALSE);
    const CAreaMarquee area(CRect(100, 100, 150, 140), CAreaMarquee::oval);
    pane.SetCurrentMarquee(area);
    for (int item = 1; item <= 3; ++item)
        EXPECT_EQ(pane.GetMarquee(item), area) << item;
    EXPECT_NE(pane.GetMarquee(4), area);
    EXPECT_EQ(Tree().GetRecord(3).m_strUserName, "Ada") << "the current comment is stamped";
    EXPECT_EQ(pane.GetCurrentMarquee(), area);

    std::vector<int> hits;
    pane.HitTestMarquees(120, 120, hits);
    EXPECT_EQ(hits, (std::vector<int>{0})) << "top-level comments only";

    pane.ScaleAllMarquees(2, 1);
    EXPECT_EQ(pane.GetMarquee(1).m_rect, CRect(50, 50, 75, 70));
    pane.RotateAllMarquees(90, 200, 100);
    EXPECT_EQ(pane.GetMarquee(1).m_rect, CRect(30, 50, 50, 75));
}

TEST_F(PaneFixture, TitleIsCutBackToSixtyFourCharactersWhileTyping)
{
    auto* edit = qobject_cast<QLineEdit*>(pane.GetTitleEdit().m_hWnd);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->setText(QString::fromUtf8(std::string(60, 'a').c_str()));
    edit->end(false);
    edit->insert(QString::fromUtf8("äöüßéx"));
    EXPECT_EQ(pane.GetTitle(), std::string(60, 'a') + "äöüß") << "characters, not bytes, are counted";
    QApplication::processEvents();
    EXPECT_TRUE(target.Got(ID_TITLECHANGED));
}

TEST_F(PaneFixture, ButtonsSendTheirCommandsAndEditTogglesItsCaption)
{
    Load({0, 0});
    const struct {
        UINT button;
        UINT command;
    } rows[] = {{1008, 314}, {2256, 57603}, {1011, 57609}, {1012, 57612}, {1016, 57665}, {2257, 300}, {2258, 271}};
    for (const auto& r : rows) {
        target.commands.clear();
        pane.GetButton(r.button).Click();
        QApplication::processEvents();
        EXPECT_TRUE(target.Got(r.command)) << r.button;
    }
    EXPECT_FALSE(pane.GetButton(1056).IsWindowEnabled()) << "Edit needs a selection";
    uitest::Click(Tree().m_hWnd, QPoint(15, 16)); // the first comment's box
    EXPECT_TRUE(Tree().IsSelected(1));
    EXPECT_TRUE(pane.GetButton(1056).IsWindowEnabled());
    EXPECT_TRUE(pane.GetButton(1055).IsWindowEnabled());
    pane.GetButton(1056).Click();
    EXPECT_TRUE(Tree().IsEditing());
    EXPECT_EQ(pane.GetButton(1056).GetWindowText(), "End Edit");

    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(uitest::Grab(target.m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/comment_pane.png"));

    pane.GetButton(1056).Click();
    EXPECT_FALSE(Tree().IsEditing());
    EXPECT_EQ(pane.GetButton(1056).GetWindowText(), "Edit");

    pane.SetLocked(TRUE);
    EXPECT_FALSE(pane.GetButton(2256).IsWindowEnabled());
    EXPECT_FALSE(pane.GetButton(1012).IsWindowEnabled());
    EXPECT_TRUE(pane.GetButton(1011).IsWindowEnabled()) << "print follows the open flag";
    EXPECT_TRUE(pane.GetButton(1008).IsWindowEnabled());
}

TEST_F(PaneFixture, ChangedCommentIsStampedBeforeTheEditorHears)
{
    Load({0});
    Select(1);
    ASSERT_TRUE(Tree().StartCommentEdit());
    Tree().GetLabelEdit()->SetWindowText("changed");
    target.commands.clear();
    pane.EndEdit();
    EXPECT_TRUE(target.Got(ID_COMMENTCHANGED));
    EXPECT_TRUE(target.Got(ID_ENDCOMMENTEDIT));
    EXPECT_EQ(Tree().GetRecord(1).m_strUserName, "Ada");
    EXPECT_EQ(Tree().GetItemText(1), "changed");
}

TEST_F(PaneFixture, CardsBreakAcrossPagesWithinAThread)
{
    Load({0, 1, 1, 2, 0});
    uitest::MemoryCanvas canvas(400, 600, RGB(255, 255, 255));
    CAnoPrintParams params;
    params.m_nHeaderHeight = 20;
    // A page that holds two cards of this font.
    CRect page(0, 0, 400, 0);
    int lastCard = -1;
    {
        CRect tall(0, 0, 400, 10000);
        EXPECT_EQ(pane.CountPages(canvas.dc, tall, params, 0, 0, lastCard), 0) << "the whole thread fits";
        EXPECT_EQ(lastCard, 3);
    }
    const CRect card = const_cast<CAnoRecord&>(Tree().GetRecord(1))
                           .LayoutCard(canvas.dc, CRect(0, 0, 400, 100), CAPhotoTree::kMeasureFormat | DT_CALCRECT, 96);
    const int per = card.Height() + card.Height() / 10;
    page.bottom = 2 * per + per / 2;
    EXPECT_EQ(pane.CountPages(canvas.dc, page, params, 0, 0, lastCard), 2);
    EXPECT_EQ(lastCard, 1);
    EXPECT_EQ(pane.CountPages(canvas.dc, page, params, 0, 2, lastCard), 0);
    EXPECT_EQ(lastCard, 3);
    EXPECT_EQ(pane.CountPages(canvas.dc, page, params, 1, 0, lastCard), 0) << "the second thread alone";
    EXPECT_EQ(lastCard, 0);

    const CRect tiny(0, 0, 400, 3);
    EXPECT_EQ(pane.CountPages(canvas.dc, tiny, params, 0, 0, lastCard), 1) << "a card too tall is forced onto a page";
    EXPECT_EQ(lastCard, 0);

    pane.DrawPage(canvas.dc, page, params, 0, 2, 3);
    bool inked = false;
    for (int y = 0; y < page.bottom && !inked; ++y)
        for (int x = 0; x < 400 && !inked; ++x)
            inked = canvas.At(x, y) != RGB(255, 255, 255);
    EXPECT_TRUE(inked);
    bool below = false;
    for (int y = page.bottom; y < 600 && !below; ++y)
        for (int x = 0; x < 400 && !below; ++x)
            below = canvas.At(x, y) != RGB(255, 255, 255);
    EXPECT_FALSE(below) << "nothing drawn below the page";
}

} // namespace

namespace {

TEST_F(PaneFixture, DoubleClicksOpenImagesAndPlaySounds)
{
    CWave voice;
    ASSERT_TRUE(voice.Create(8000, 8, 4000));
    CAPhotoContent content(95);
    content.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(msgtest::ImageRecord({0xFF, 0xD8, 0xFF, 0xD9}, {})));
    content.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(msgtest::SoundRecord(voice.GetWavBytes(), {})));
    std::vector<uint8_t> cut = voice.GetWavBytes();
    cut.resize(30);
    content.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(msgtest::SoundRecord(cut, {})));
    pane.LoadRecords(content);
    auto centre = [this](int item) {
        const CRect r = Tree().GetItemRect(item);
        return QPoint(r.left + 60, (r.top + r.bottom) / 2);
    };
    target.commands.clear();
    uitest::Mouse(Tree().m_hWnd, QEvent::MouseButtonDblClick, centre(1));
    EXPECT_EQ(Tree().GetCurrent(), 1);
    EXPECT_TRUE(target.Got(ID_OPENIMAGEANO));

    target.commands.clear();
    uitest::Mouse(Tree().m_hWnd, QEvent::MouseButtonDblClick, centre(2));
    EXPECT_FALSE(target.Got(ID_OPENIMAGEANO));
    EXPECT_EQ(Tree().GetCurrent(), 2);
    EXPECT_TRUE(pane.GetSound().IsPlaying()) << "the comment's own bytes are played";
    EXPECT_EQ(pane.GetSound().TotalSamples(), 4000u);
    pane.CloseSound();
    EXPECT_TRUE(uitest::WaitFor([this] { return !pane.GetSound().IsPlaying(); }));

    // A sound whose bytes do not read plays nothing and says which comment it is.
    asked.clear();
    uitest::Mouse(Tree().m_hWnd, QEvent::MouseButtonDblClick, centre(3));
    EXPECT_EQ(Tree().GetCurrent(), 3);
    EXPECT_FALSE(pane.GetSound().IsPlaying());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("This sound cannot be read: it is damaged at byte", 0), 0u) << asked[0];
    EXPECT_NE(asked[0].find("\"voice\" ( Ben"), std::string::npos) << asked[0];
}

TEST_F(PaneFixture, SearchWithoutAHitSaysSo)
{
    Load({0, 0});
    EXPECT_EQ(pane.FindNext("comment 2", TRUE, FALSE, FALSE), 1);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(pane.FindNext("nowhere", TRUE, FALSE, FALSE), -1);
    EXPECT_EQ(asked, (std::vector<std::string>{"No files found in seach."}));
}

} // namespace

namespace {

TEST_F(PaneFixture, KeysTabFromTheCommentToTheTitleAndEscapeIsSwallowed)
{
    target.m_hWnd->activateWindow();
    ASSERT_TRUE(uitest::WaitFor([this] { return target.m_hWnd->isActiveWindow(); }));
    Load({0});
    Select(1);
    ASSERT_TRUE(Tree().StartCommentEdit());
    ASSERT_EQ(QApplication::focusWidget(), Tree().GetLabelEdit()->m_hWnd);
    MSG key;
    key.message = WM_KEYDOWN;
    key.wParam = VK_RETURN;
    EXPECT_FALSE(pane.PreTranslateMessage(&key)) << "Enter goes on to the comment";
    key.wParam = VK_TAB;
    EXPECT_TRUE(pane.PreTranslateMessage(&key));
    EXPECT_EQ(QApplication::focusWidget(), pane.GetTitleEdit().m_hWnd);
    EXPECT_FALSE(Tree().IsEditing()) << "leaving the comment ends its edit";
    key.wParam = VK_ESCAPE;
    EXPECT_TRUE(pane.PreTranslateMessage(&key));
    QApplication::processEvents();
    EXPECT_TRUE(pane.IsWindowVisible()) << "Escape does not close the pane";
}

} // namespace

namespace {

TEST_F(PaneFixture, ClipboardCommandsActOnTheFocusedTitle)
{
    target.m_hWnd->activateWindow();
    ASSERT_TRUE(uitest::WaitFor([this] { return target.m_hWnd->isActiveWindow(); }));
    pane.SetTitle("Harbour at dawn");
    auto* edit = qobject_cast<QLineEdit*>(pane.GetTitleEdit().m_hWnd);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), edit);
    UINT messageId = 0;
    edit->deselect();
    EXPECT_FALSE(pane.CanDoCommand(ID_EDIT_COPY, messageId)) << "nothing selected";
    edit->setSelection(0, 7);
    EXPECT_TRUE(pane.CanDoCommand(ID_EDIT_CUT, messageId));
    EXPECT_TRUE(pane.OnEditCommand(ID_EDIT_CUT));
    EXPECT_EQ(pane.GetTitle(), " at dawn");
    EXPECT_TRUE(pane.CanDoCommand(ID_EDIT_UNDO, messageId));
    edit->setCursorPosition(int(edit->text().size()));
    EXPECT_TRUE(pane.OnEditCommand(ID_EDIT_PASTE));
    EXPECT_EQ(pane.GetTitle(), " at dawnHarbour");

    pane.SetLocked(TRUE);
    edit->selectAll();
    EXPECT_FALSE(pane.CanDoCommand(ID_EDIT_CUT, messageId)) << "a locked title is read-only";
    EXPECT_TRUE(pane.CanDoCommand(ID_EDIT_COPY, messageId));
}

TEST_F(PaneFixture, PrintedTitleShrinksUntilItFits)
{
    pane.SetTitle(std::string(40, 'W'));
    uitest::MemoryCanvas canvas(300, 60, RGB(255, 255, 255));
    CAnoPrintParams params;
    params.m_nTitleHeight = 60;
    params.m_titleFont = LogFontFromPointSize(240, "Arial", 96);
    pane.DrawTitle(canvas.dc, CRect(0, 0, 300, 10), params);
    int left = 300, right = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x)
            if (canvas.At(x, y) != RGB(255, 255, 255)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0) << "the title is drawn";
    EXPECT_GT(left, 0);
    EXPECT_LT(right, 299) << "shrunk into the width, centred";
}

} // namespace
