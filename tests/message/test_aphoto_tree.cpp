#include "message/aphoto_tree.h"
#include "message/photo_content.h"
#include "support/ui_test_util.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QWheelEvent>

#include <string>
#include <vector>

namespace {

// The tree's parent: keeps every notification and command in order.
class Host : public CWnd {
public:
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) override
    {
        events.push_back("N" + std::to_string(reinterpret_cast<NMHDR*>(lParam)->code));
        *pResult = 0;
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        const UINT id = LOWORD(DWORD(wParam));
        events.push_back("C" + std::to_string(id));
        if (id == ID_COMMENTCHANGED && tree)
            editedWhenChanged = tree->GetItemText(tree->GetFirstSelected());
        return TRUE;
    }
    std::vector<std::string> events;
    CAPhotoTree* tree = nullptr;
    std::string editedWhenChanged;
};

struct TreeFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateEx(0, "Host", "", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 320), nullptr, 0));
        ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 420, 320), &host, IDC_COMMENTTREE));
        tree.SetCommandTarget(&host);
        host.tree = &tree;
    }
    void TearDown() override
    {
        tree.DestroyWindow();
        host.DestroyWindow();
    }
    void Load(const std::vector<std::pair<int, std::string>>& comments)
    {
        CAPhotoContent content(95);
        for (const auto& [depth, text] : comments) {
            auto record = std::make_unique<CAnoRecord>();
            record->SetText(text.c_str());
            record->m_strUserName = "Ilse";
            record->m_date = SYSTEMTIME{2024, 5, 0, 17, 9, 30, 0, 0};
            content.m_comments.emplace_back(depth, std::move(record));
        }
        tree.LoadRecords(content);
        QApplication::processEvents();
    }
    // GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
    QR_GCC_IGNORE_BEGIN("-Wrestrict")
    std::string Order() const
    {
        std::string s;
        for (int i = 1; i <= tree.GetCount(); ++i)
            s += (i > 1 ? " " : "") + tree.GetItemText(i);
        return s;
    }
    QR_GCC_IGNORE_END
    CPoint Card(int item) const
    {
        const CRect r = tree.GetItemRect(item);
        return CPoint(r.left + 40, (r.top + r.bottom) / 2);
    }
    Host host;
    CAPhotoTree tree;
    uitest::CursorParking parking;
};

TEST_F(TreeFixture, ARealDragMovesAThreadWithItsRepliesInOrder)
{
    Load({{0, "A"}, {1, "a1"}, {2, "a2"}, {1, "a3"}, {0, "B"}, {0, "C"}});
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonPress, QPoint(Card(1).x, Card(1).y));
    ASSERT_EQ(tree.GetCurrent(), 1);
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(Card(5).x, Card(5).y));
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(Card(6).x, Card(6).y));
    EXPECT_EQ(tree.Model().GetDropTarget(), 6);
    // The bar under the target row shows where the thread will go.
    const QImage during = uitest::Grab(tree.m_hWnd);
    const CRect band = tree.Model().GetBand(6);
    EXPECT_EQ(uitest::Pixel(during, 200, band.bottom - 2), RGB(0, 0, 0));
    EXPECT_EQ(uitest::Pixel(during, 20, band.bottom - 2), RGB(255, 255, 255)) << "the bar starts at x = 30";
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonRelease, QPoint(Card(6).x, Card(6).y));
    EXPECT_EQ(Order(), "B C A a1 a2 a3");
    EXPECT_EQ(tree.GetCurrent(), 3) << "the moved comment stays current";
    EXPECT_EQ(tree.GetDepth(4), 1);
    EXPECT_EQ(tree.GetDepth(5), 2);
}

TEST_F(TreeFixture, RefusedDropsChangeNothing)
{
    Load({{0, "A"}, {1, "a1"}, {0, "B"}});
    // Released below every card: no target.
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonPress, QPoint(Card(1).x, Card(1).y));
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(100, 300));
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonRelease, QPoint(100, 300));
    EXPECT_EQ(Order(), "A a1 B");
    // A reply does not drag.
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonPress, QPoint(Card(2).x, Card(2).y));
    EXPECT_EQ(tree.GetCurrent(), 2);
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(Card(3).x, Card(3).y));
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonRelease, QPoint(Card(3).x, Card(3).y));
    EXPECT_EQ(Order(), "A a1 B");
    // Onto its own reply.
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonPress, QPoint(Card(3).x, Card(3).y));
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonRelease, QPoint(Card(3).x, Card(3).y + 2));
    EXPECT_EQ(Order(), "A a1 B");
}

TEST_F(TreeFixture, ClicksNotifyInOrder)
{
    Load({{0, "A"}, {0, "B"}});
    tree.SetCurrent(1, FALSE, FALSE);
    tree.SetSelectState(1, CAPhotoTreeModel::stateOn, FALSE);
    host.events.clear();
    uitest::Click(tree.m_hWnd, QPoint(Card(2).x, Card(2).y));
    // Leaving the first: selection cleared, current cleared; then the second current.
    EXPECT_EQ(host.events, (std::vector<std::string>{"N1025", "N1025", "N-402", "N1025", "N-402", "N513"}));
    EXPECT_EQ(tree.GetCurrent(), 2);
    host.events.clear();
    uitest::Click(tree.m_hWnd, QPoint(Card(2).x, Card(2).y));
    EXPECT_EQ(tree.GetCurrent(), 0) << "clicking the current card clears it";
}

TEST_F(TreeFixture, InPlaceEditReportsChangesAndAlwaysItsEnd)
{
    Load({{0, "first"}, {0, "second"}});
    const CPoint at = Card(2);
    uitest::Mouse(tree.m_hWnd, QEvent::MouseButtonPress, QPoint(at.x, at.y), Qt::RightButton);
    ASSERT_TRUE(tree.IsEditing());
    EXPECT_EQ(tree.GetCurrent(), 2);
    EXPECT_EQ(tree.GetLabelEdit()->GetWindowText(), "second");
    host.events.clear();
    tree.EndCommentEdit();
    EXPECT_EQ(host.events, (std::vector<std::string>{"C311"})) << "unchanged: no ID_COMMENTCHANGED";

    tree.SetSelectState(1, CAPhotoTreeModel::stateOn, FALSE);
    ASSERT_TRUE(tree.StartCommentEdit());
    tree.GetLabelEdit()->SetWindowText(std::string(600, 'x'));
    QApplication::processEvents();
    EXPECT_EQ(tree.GetLabelEdit()->GetWindowText().size(), CAPhotoTree::kMaxEditChars);
    tree.GetLabelEdit()->SetWindowText("line one\nline two");
    host.events.clear();
    tree.EndCommentEdit();
    EXPECT_EQ(host.events, (std::vector<std::string>{"C208", "C311"}));
    EXPECT_EQ(host.editedWhenChanged, "first") << "the parent hears before the record changes";
    EXPECT_EQ(tree.GetItemText(1), "line one\r\nline two");

    tree.SetReadOnly(TRUE);
    EXPECT_FALSE(tree.StartCommentEdit());
}

TEST_F(TreeFixture, WheelNotchScrollsAPageAndBarsFollowTheContent)
{
    std::vector<std::pair<int, std::string>> many;
    for (int i = 0; i < 30; ++i)
        many.push_back({0, "comment " + std::to_string(i)});
    Load(many);
    EXPECT_TRUE(tree.Model().IsScrollBarShown());
    const int page = tree.Model().GetClientRect().Height();
    QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(tree.m_hWnd, &wheel);
    EXPECT_EQ(tree.Model().GetScrollPos(), page);

    Load({{0, "alone"}});
    EXPECT_FALSE(tree.Model().IsScrollBarShown());
    EXPECT_EQ(tree.Model().GetScrollPos(), 0);
}

TEST_F(TreeFixture, FindNextShowsTheHitInTheFoundTextBox)
{
    Load({{0, "nothing"}, {0, "a*b and a*b"}});
    tree.SetShowCaption(FALSE);
    EXPECT_EQ(tree.FindNext("a*b", TRUE, FALSE, TRUE), 1);
    ASSERT_NE(tree.GetFoundTextBox(), nullptr);
    EXPECT_EQ(tree.GetFoundTextItem(), 2);
    auto* box = qobject_cast<QPlainTextEdit*>(tree.GetFoundTextBox()->m_hWnd);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textCursor().selectedText().toStdString(), "a*b");
    EXPECT_EQ(box->textCursor().selectionStart(), 0);
    EXPECT_EQ(tree.FindNext("a*b", TRUE, FALSE, TRUE), 1);
    EXPECT_EQ(box->textCursor().selectionStart(), 8) << "continues inside the same comment";
    EXPECT_EQ(tree.FindNext("zzz", TRUE, FALSE, TRUE), -1);
    EXPECT_EQ(tree.GetFoundTextBox(), nullptr);
}

TEST_F(TreeFixture, HoverHighlightsOnlyWhileNothingIsCurrentOrSelected)
{
    Load({{0, "A"}, {1, "a1"}, {2, "a1 reply"}, {0, "B"}, {1, "b1"}});
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(Card(4).x, Card(4).y));
    EXPECT_EQ(tree.GetHotItem(), 4);
    EXPECT_EQ(host.events.back(), "C244");
    tree.SetSelectState(2, CAPhotoTreeModel::stateOn, FALSE);
    uitest::Mouse(tree.m_hWnd, QEvent::MouseMove, QPoint(Card(5).x, Card(5).y));
    EXPECT_EQ(tree.GetHotItem(), 4) << "no hover while a comment is selected";

    // Three levels, a ticked card and a blue hovered one.
    QApplication::processEvents();
    const QImage shot = uitest::Grab(host.m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/comment_tree.png"));
    const CRect box = tree.Model().GetBoxRect(2);
    EXPECT_EQ(uitest::Pixel(shot, box.left, box.top), RGB(0, 0, 0)) << "the box frame";
    EXPECT_EQ(uitest::Pixel(shot, box.left + 3, box.top + 3), RGB(255, 255, 255));
    bool blue = false;
    const CRect hot = tree.GetItemRect(4);
    for (int y = hot.top; y < hot.bottom && !blue; ++y)
        for (int x = hot.left; x < hot.left + 60 && !blue; ++x)
            blue = uitest::Pixel(shot, x, y) == RGB(0, 0, 255);
    EXPECT_TRUE(blue) << "the hovered card's text is blue";

    host.events.clear();
    tree.SetSelectState(0, CAPhotoTreeModel::stateOff, FALSE);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tree.m_hWnd, &leave);
    EXPECT_EQ(tree.GetHotItem(), 0);
    EXPECT_EQ(host.events, (std::vector<std::string>{"C161"}));
}

} // namespace

namespace {

TEST_F(TreeFixture, ClickingAnotherCardEndsTheEditThatHasTheFocus)
{
    host.m_hWnd->activateWindow();
    ASSERT_TRUE(uitest::WaitFor([this] { return host.m_hWnd->isActiveWindow(); }));
    Load({{0, "first"}, {0, "second"}});
    tree.SetSelectState(1, CAPhotoTreeModel::stateOn, FALSE);
    ASSERT_TRUE(tree.StartCommentEdit());
    ASSERT_EQ(QApplication::focusWidget(), tree.GetLabelEdit()->m_hWnd);
    tree.GetLabelEdit()->SetWindowText("first, changed");
    host.events.clear();
    uitest::Click(tree.m_hWnd, QPoint(Card(2).x, Card(2).y));
    QApplication::processEvents();
    EXPECT_FALSE(tree.IsEditing());
    EXPECT_EQ(tree.GetItemText(1), "first, changed");
    EXPECT_EQ(host.events.front(), "C208");
    EXPECT_EQ(tree.GetCurrent(), 2);
}

} // namespace
