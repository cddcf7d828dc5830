#include "message/aphoto_tree_model.h"
#include "message/photo_content.h"
#include "message_fixtures.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the model tells its window, in order.
struct Recorder : CAPhotoTreeListener {
    void TreeNotify(int code) override { codes.push_back(code); }
    void TreeRedraw(int, bool) override {}
    void TreeRedrawBox(int) override {}
    void TreeLayoutChanged() override { ++layouts; }
    std::vector<int> codes;
    int layouts = 0;
};

// Cards 30 pixels high: item i (1-based) spans y = 4 + 39 (i - 1) to + 30.
constexpr int kCard = 30;
constexpr int kRow = kCard + CAPhotoTreeModel::kCardGap;
CPoint OnCard(int item, int x = 100) { return CPoint(x, 4 + kRow * (item - 1) + 15); }
CPoint InBox(int item) { return CPoint(15, 4 + kRow * (item - 1) - 4 + 12); }

// A tree of the given depths, each record's text its depth-path name.
struct Tree {
    // GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
    QR_GCC_IGNORE_BEGIN("-Wrestrict")
    explicit Tree(const std::vector<int>& depths, int clientHeight = 2000)
    {
        model.SetMeasure([](const CAnoRecord&, const CRect& bound) {
            return CRect(bound.left, bound.top, bound.right, bound.top + kCard);
        });
        model.SetClientRect(CRect(0, 0, 300, clientHeight));
        CAPhotoContent content(95);
        for (size_t i = 0; i < depths.size(); ++i) {
            auto record = std::make_unique<CAnoRecord>();
            record->SetText(("c" + std::to_string(i + 1)).c_str());
            content.m_comments.emplace_back(depths[i], std::move(record));
        }
        model.LoadRecords(content);
        model.SetListener(&events);
    }
    std::string Order() const
    {
        std::string s;
        for (int i = 1; i <= model.GetCount(); ++i)
            s += (i > 1 ? " " : "") + model.GetItemText(i);
        return s;
    }
    QR_GCC_IGNORE_END
    CAPhotoTreeModel model;
    Recorder events;
};

TEST(APhotoTreeModel, RelationsFollowTheDepths)
{
    // c1, c2 (reply), c3 (reply of c2), c4 (reply of c1), c5, c6 (reply)
    Tree t({0, 1, 2, 1, 0, 1});
    struct Row {
        int item;
        UINT code;
        int expected;
    } rows[] = {
        {1, 1, 5}, {2, 1, 4}, {3, 1, 0}, {4, 1, 0}, {5, 1, 0}, {4, 2, 2}, {5, 2, 1}, {2, 2, 0},
        {3, 3, 2}, {4, 3, 1}, {1, 3, 0}, {1, 4, 2}, {2, 4, 3}, {3, 4, 0}, {0, 1, 0}, {2, 9, 0}, {99, 3, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(t.model.GetNextItem(r.item, r.code), r.expected) << r.item << " code " << r.code;
    EXPECT_EQ(t.model.GetLastDescendant(1), 4);
    EXPECT_EQ(t.model.GetLastDescendant(2), 3);
    EXPECT_EQ(t.model.GetLastDescendant(4), 4);
    EXPECT_EQ(t.model.GetLastDescendant(5), 6);
    EXPECT_EQ(t.model.GetRootItem(3), 1);
    EXPECT_EQ(t.model.GetRootItem(6), 5);
    EXPECT_EQ(t.model.GetTopLevelCount(), 2);
    EXPECT_EQ(t.model.GetThreadSize(0), 4);
    EXPECT_EQ(t.model.GetThreadSize(1), 2);
    EXPECT_EQ(t.model.GetThreadSize(2), 0);
    EXPECT_EQ(t.model.GetDepth(0), -1);
    EXPECT_EQ(t.model.GetRecord(42).m_nKind, CAnoRecord::text) << "an invalid item answers from the default node";
}

TEST(APhotoTreeModel, DepthJumpsAndNegativeDepthsAreClampedOnLoad)
{
    Tree t({-3, 5, 1, 9, -1});
    std::vector<int> depths;
    for (int i = 1; i <= t.model.GetCount(); ++i)
        depths.push_back(t.model.GetDepth(i));
    EXPECT_EQ(depths, (std::vector<int>{0, 1, 1, 2, 0}));
}

TEST(APhotoTreeModel, ReplyGoesAfterTheParentsLastDescendant)
{
    Tree t({0, 1, 2, 0});
    CAnoRecord reply;
    reply.SetText("new");
    EXPECT_EQ(t.model.InsertNode(reply, 1), 4);
    EXPECT_EQ(t.Order(), "c1 c2 c3 new c4");
    EXPECT_EQ(t.model.GetDepth(4), 1);
    EXPECT_EQ(t.model.InsertNode(reply, CAPhotoTreeModel::kRootItem), 6);
    EXPECT_EQ(t.model.GetDepth(6), 0);

    CAPhotoContent back(95);
    t.model.CollectRecords(back);
    ASSERT_EQ(back.m_comments.size(), 6u);
    EXPECT_EQ(back.m_comments[3].m_nDepth, 1);
    EXPECT_EQ(back.m_comments[3].m_pRecord->m_strContent, "new");
}

TEST(APhotoTreeModel, DeletingRemovesWholeThreadsFromTheEnd)
{
    Tree t({0, 1, 2, 0, 1, 0});
    t.model.DeleteNode(2);
    EXPECT_EQ(t.Order(), "c1 c4 c5 c6");

    Tree u({0, 1, 2, 0, 1, 0});
    u.model.SetSelectState(2, CAPhotoTreeModel::stateOn, false);
    u.model.SetSelectState(3, CAPhotoTreeModel::stateOn, false); // inside a selected thread
    u.model.SetSelectState(6, CAPhotoTreeModel::stateOn, false);
    u.model.DeleteSelectedNodes();
    EXPECT_EQ(u.Order(), "c1 c4 c5");
}

TEST(APhotoTreeModel, ClicksFollowTheSelectionStateMachine)
{
    using M = CAPhotoTreeModel;
    struct Row {
        const char* what;
        int currentBefore;
        int selectedBefore;
        CPoint at;
        int current;
        int selected;
    } rows[] = {
        {"card of another comment", 1, 0, OnCard(2), 2, 0},
        {"card of the current comment clears it", 2, 0, OnCard(2), 0, 0},
        {"current and first selected: still cleared", 2, 2, OnCard(2), 0, 0},
        {"nothing hit clears the current", 2, 0, CPoint(100, 1990), 0, 0},
        {"box of another comment selects and makes current", 1, 0, InBox(3), 3, 1},
        {"box of a selected comment clears its tick", 3, 3, InBox(3), 3, 0},
    };
    for (const Row& r : rows) {
        Tree t({0, 1, 0, 0});
        if (r.currentBefore)
            t.model.SetCurrent(r.currentBefore, false, false);
        if (r.selectedBefore)
            t.model.SetSelectState(r.selectedBefore, M::stateOn, false);
        t.model.LButtonDown(r.at);
        EXPECT_EQ(t.model.GetCurrent(), r.current) << r.what;
        EXPECT_EQ(t.model.GetSelectedCount(), r.selected) << r.what;
        ASSERT_FALSE(t.events.codes.empty());
        EXPECT_EQ(t.events.codes.back(), M::kNotifyClick) << r.what;
    }
}

TEST(APhotoTreeModel, SelectStateNotificationComesBeforeSelChanged)
{
    using M = CAPhotoTreeModel;
    Tree t({0, 0, 0});
    t.model.SetCurrent(1, false, false);
    t.model.SetSelectState(1, M::stateOn, false);
    t.events.codes.clear();
    t.model.SetCurrent(2, true, true);
    EXPECT_EQ(t.events.codes, (std::vector<int>{M::kNotifySelectState, M::kNotifySelChanged}));
    EXPECT_EQ(t.model.GetSelectedCount(), 0);

    t.events.codes.clear();
    EXPECT_FALSE(t.model.SetCurrent(2, true, true)) << "no change, no notification";
    EXPECT_TRUE(t.events.codes.empty());

    t.events.codes.clear();
    t.model.ToggleSelect(3);
    EXPECT_EQ(t.events.codes, (std::vector<int>{M::kNotifySelectState, M::kNotifySelChanged, M::kNotifySelectState,
                                                M::kNotifyClick}));
}

TEST(APhotoTreeModel, HotItemIsClearedByMakingAnItemCurrent)
{
    Tree t({0, 0});
    t.model.SetHot(2, false);
    EXPECT_EQ(t.model.GetHotItem(), 2);
    t.model.SetCurrent(1, false, false);
    EXPECT_EQ(t.model.GetHotItem(), 0);
}

// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST(APhotoTreeModel, DropsAboveOntoAndBelowThreadsWithReplies)
{
    // A(a1) B(b1 b2) C(c1): drag one thread onto another's root or reply.
    struct Row {
        const char* what;
        int dragged;
        int dropOn;
        const char* order;
    } rows[] = {
        {"A onto later B's root: after B's thread", 1, 3, "B b1 b2 A a1 C c1"},
        {"A onto later B's reply: after B's thread", 1, 5, "B b1 b2 A a1 C c1"},
        {"A onto later C: after C's thread", 1, 6, "B b1 b2 C c1 A a1"},
        {"C onto earlier A: before A", 6, 1, "C c1 A a1 B b1 b2"},
        {"C onto earlier B's reply: before B", 6, 4, "A a1 C c1 B b1 b2"},
        {"B onto itself: nothing moves", 3, 4, "A a1 B b1 b2 C c1"},
        {"nothing hit: nothing moves", 1, 0, "A a1 B b1 b2 C c1"},
    };
    for (const Row& r : rows) {
        CAPhotoTreeModel model;
        model.SetMeasure([](const CAnoRecord&, const CRect& b) { return CRect(b.left, b.top, b.right, b.top + kCard); });
        model.SetClientRect(CRect(0, 0, 300, 2000));
        const char* names[] = {"A", "a1", "B", "b1", "b2", "C", "c1"};
        const int depths[] = {0, 1, 0, 1, 1, 0, 1};
        CAPhotoContent content(95);
        for (int i = 0; i < 7; ++i) {
            auto rec = std::make_unique<CAnoRecord>();
            rec->SetText(names[i]);
            content.m_comments.emplace_back(depths[i], std::move(rec));
        }
        model.LoadRecords(content);

        model.LButtonDown(OnCard(r.dragged));
        ASSERT_EQ(model.IsDragging(), model.GetDepth(r.dragged) == 0) << r.what;
        model.DragStep(r.dropOn ? OnCard(r.dropOn) : CPoint(100, 1990));
        model.Drop();
        std::string order;
        for (int i = 1; i <= model.GetCount(); ++i)
            order += (i > 1 ? " " : "") + model.GetItemText(i);
        EXPECT_EQ(order, r.order) << r.what;
        EXPECT_FALSE(model.IsDragging());
    }
}
QR_GCC_IGNORE_END

TEST(APhotoTreeModel, OnlyACurrentTopLevelCommentStartsADrag)
{
    Tree t({0, 1});
    t.model.LButtonDown(OnCard(2));
    EXPECT_FALSE(t.model.IsDragging()) << "a reply";
    t.model.SetCurrent(0, false, false);
    t.model.LButtonDown(OnCard(1));
    EXPECT_TRUE(t.model.IsDragging());
    t.model.CancelDrag();
    t.model.LButtonDown(OnCard(1)); // the current card: turned off
    EXPECT_FALSE(t.model.IsDragging());
}

TEST(APhotoTreeModel, DraggingPastTheEdgesScrolls)
{
    Tree t(std::vector<int>(20, 0), 200);
    t.model.LButtonDown(OnCard(2));
    ASSERT_TRUE(t.model.IsDragging());
    EXPECT_EQ(t.model.DragStep(CPoint(100, 200 + 35)), 4) << "35 below: 35 / 10 + 1";
    EXPECT_EQ(t.model.DragStep(CPoint(100, -5)), -1) << "5 above: 5 / 10 + 1";
    EXPECT_EQ(t.model.DragStep(CPoint(100, -50)), -3) << "clamped at the top";
    t.model.CancelDrag();
}

TEST(APhotoTreeModel, LayoutHitTestsAndScrolling)
{
    Tree t({0, 1, 2, 0, 0, 0, 0, 0, 0, 0}, 200);
    EXPECT_EQ(t.model.GetContentRect(2), CRect(50, 4 + kRow, 300, 4 + kRow + kCard));
    EXPECT_EQ(t.model.GetContentRect(3).left, 70);
    UINT flags = 0;
    EXPECT_EQ(t.model.HitTest(CPoint(0, 0), &flags), 1) << "the band reaches 4 pixels above the card";
    EXPECT_EQ(flags, CAPhotoTreeModel::kHitOnItem);
    EXPECT_EQ(t.model.HitTest(CPoint(5, 4 + kCard + 4)), 0) << "the gap between bands";

    // 10 cards: extent from 0 to the last band's bottom, in whole lines.
    const int extent = 4 + 9 * kRow + kCard + 4;
    EXPECT_TRUE(t.model.IsScrollBarShown());
    EXPECT_EQ(t.model.GetScrollMax(), (extent + 7) / 8 * 8);

    struct Row {
        UINT code;
        int thumb;
        int pos;
    } rows[] = {{1, 0, 8}, {3, 0, 192}, {0, 0, 184}, {2, 0, 0}, {7, 0, t.model.GetScrollMax() - 200}, {6, 0, 0},
                {5, 77, 77}, {8, 0, 77}, {4, 0x10000 | 5, 5}};
    for (const Row& r : rows) {
        t.model.VScroll(r.code, r.thumb);
        EXPECT_EQ(t.model.GetScrollPos(), r.pos) << "code " << r.code;
    }
    t.model.ScrollTo(0);
    EXPECT_EQ(t.model.GetItemRect(2).top, 4 + kRow);
    t.model.ScrollTo(16);
    EXPECT_EQ(t.model.GetItemRect(2).top, 4 + kRow - 16);

    Tree few({0, 0}, 500);
    few.model.ScrollTo(40);
    EXPECT_FALSE(few.model.IsScrollBarShown());
    EXPECT_EQ(few.model.GetScrollPos(), 0);
}

TEST(APhotoTreeModel, WheelNotchesScrollPagesAndSmallDeltasAddUp)
{
    Tree t(std::vector<int>(40, 0), 200);
    EXPECT_EQ(t.model.Wheel(-120), 200) << "a notch is a page";
    EXPECT_EQ(t.model.Wheel(0), 0);
    EXPECT_EQ(t.model.Wheel(-60), 0);
    EXPECT_EQ(t.model.Wheel(-60), 200) << "two halves make a notch";
    EXPECT_EQ(t.model.Wheel(-1), 8) << "a delta of one is a line";
    EXPECT_EQ(t.model.Wheel(120), -200);
}

TEST(APhotoTreeModel, EnsureVisibleScrollsInWholeLines)
{
    Tree t(std::vector<int>(20, 0), 200);
    const CRect band = t.model.GetBand(10);
    EXPECT_EQ(t.model.EnsureVisible(9), (band.bottom - 200) / 8 * 8);
    const int pos = t.model.GetScrollPos();
    EXPECT_EQ(t.model.EnsureVisible(0), -pos);
}

TEST(APhotoTreeModel, FindNextWrapsReversesAndTakesWildcardsLiterally)
{
    Tree t({0, 0, 0, 0});
    t.model.SetShowCaption(false);
    const char* texts[] = {"alpha beta", "a*c and abc", "what? yes", "Beta beta"};
    for (int i = 0; i < 4; ++i) {
        CAnoRecord r;
        r.SetText(texts[i]);
        t.model.SetNodeRecord(i + 1, r, false);
    }
    struct Row {
        const char* what;
        const char* text;
        bool down;
        bool caseSensitive;
        int current;
        int index;
        int start;
    } rows[] = {
        {"down from none", "beta", true, false, 0, 0, 6},
        {"down from the first", "beta", true, false, 1, 3, 0},
        {"case-sensitive skips Beta", "Beta", true, true, 0, 3, 0},
        {"up from the first wraps to the last", "beta", false, false, 1, 3, 5},
        {"asterisk is literal", "a*c", true, false, 0, 1, 0},
        {"question mark is literal", "t?", true, false, 0, 2, 3},
        {"no wildcard meaning", "a?c", true, false, 0, -1, 0},
        {"down wraps past the end", "alpha", true, false, 4, 0, 0},
    };
    for (const Row& r : rows) {
        t.model.SetCurrent(r.current, false, false);
        const CAPhotoTreeModel::Match m = t.model.FindNext(r.text, r.down, r.caseSensitive, -1, -1, -1);
        EXPECT_EQ(m.index, r.index) << r.what;
        if (r.index >= 0) {
            EXPECT_EQ(m.start, r.start) << r.what;
            EXPECT_EQ(m.end, r.start + int(std::string(r.text).size())) << r.what;
            EXPECT_EQ(t.model.GetCurrent(), r.index + 1) << r.what;
        }
    }
}

TEST(APhotoTreeModel, FindNextContinuesInsideTheFoundTextBox)
{
    Tree t({0, 0});
    t.model.SetShowCaption(false);
    CAnoRecord r;
    r.SetText("beta beta");
    t.model.SetNodeRecord(1, r, false);
    r.SetText("beta");
    t.model.SetNodeRecord(2, r, false);

    auto m = t.model.FindNext("beta", true, false, -1, -1, -1);
    EXPECT_EQ(m.index, 0);
    m = t.model.FindNext("beta", true, false, 0, m.start, m.end);
    EXPECT_EQ(m.index, 0) << "the second match in the same comment";
    EXPECT_EQ(m.start, 5);
    m = t.model.FindNext("beta", true, false, 0, m.start, m.end);
    EXPECT_EQ(m.index, 1);

    // Up inside the box: from the second match back to the first.
    t.model.SetCurrent(1, false, false);
    m = t.model.FindNext("beta", false, false, 0, 5, 9);
    EXPECT_EQ(m.index, 0);
    EXPECT_EQ(m.start, 0);
}

TEST(APhotoTreeModel, CaptionModeSearchesTheCaption)
{
    Tree t({0});
    CAnoRecord r;
    r.SetText("text");
    r.m_strUserName = "Mika";
    t.model.SetNodeRecord(1, r, false);
    EXPECT_EQ(t.model.FindNext("mika", true, false, -1, -1, -1).index, 0);
    t.model.SetShowCaption(false);
    t.model.SetCurrent(0, false, false);
    EXPECT_EQ(t.model.FindNext("mika", true, false, -1, -1, -1).index, -1);
}

} // namespace
