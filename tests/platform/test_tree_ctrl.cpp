#include "platform/framework/controls.h"
#include "platform/framework/tree_ctrl.h"
#include "support/ui_test_util.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The tree's parent: records notifications and answers them as told.
class Parent : public CWnd {
public:
    struct Seen {
        int code;
        HTREEITEM item;
        LPARAM param;
        std::optional<std::string> text;
    };
    std::vector<Seen> seen;
    LRESULT refuseEdit = 0, acceptLabel = 1;
    std::function<void(HTREEITEM)> onExpanding;
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) override
    {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        *pResult = 0;
        if (hdr->code == TVN_BEGINLABELEDIT || hdr->code == TVN_ENDLABELEDIT) {
            auto* info = reinterpret_cast<NMTVDISPINFO*>(lParam);
            seen.push_back({hdr->code, info->item.hItem, info->item.lParam,
                            info->item.pszText ? std::optional<std::string>(info->item.pszText) : std::nullopt});
            *pResult = hdr->code == TVN_BEGINLABELEDIT ? refuseEdit : acceptLabel;
            return TRUE;
        }
        auto* nm = reinterpret_cast<NMTREEVIEW*>(lParam);
        const TVITEM& item = hdr->code == TVN_DELETEITEM ? nm->itemOld : nm->itemNew;
        seen.push_back({hdr->code, item.hItem, item.lParam, std::nullopt});
        if (hdr->code == TVN_ITEMEXPANDING && onExpanding)
            onExpanding(item.hItem);
        return TRUE;
    }
    size_t Count(int code) const
    {
        return size_t(std::count_if(seen.begin(), seen.end(), [code](const Seen& s) { return s.code == code; }));
    }
};

struct TreeCtrlTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create(nullptr, "p", WS_OVERLAPPED, CRect(0, 0, 200, 300), nullptr, 0));
        ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_EDITLABELS, CRect(0, 0, 200, 300), &parent, 9));
        parent.ShowWindow(SW_SHOW);
    }
    void TearDown() override { parent.DestroyWindow(); }
    HTREEITEM Add(const std::string& text, HTREEITEM parentItem, LPARAM param, int children = 0)
    {
        TVINSERTSTRUCT ins;
        ins.hParent = parentItem;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
        ins.item.pszText = text.c_str();
        ins.item.lParam = param;
        ins.item.cChildren = children;
        return tree.InsertItem(&ins);
    }
    Parent parent;
    CTreeCtrl tree;
};

TEST_F(TreeCtrlTest, AnnouncedChildrenAreFilledOnTheFirstExpansionOnly)
{
    HTREEITEM root = Add("root", nullptr, 1, 1);
    EXPECT_TRUE(tree.ItemHasChildren(root));
    parent.onExpanding = [&](HTREEITEM item) {
        if (!tree.GetChildItem(item))
            Add("child", item, 2);
    };
    ASSERT_TRUE(tree.Expand(root, TVE_EXPAND));
    EXPECT_TRUE(tree.GetItemState(root, TVIS_EXPANDED | TVIS_EXPANDEDONCE) == (TVIS_EXPANDED | TVIS_EXPANDEDONCE));
    ASSERT_NE(tree.GetChildItem(root), nullptr);
    tree.Expand(root, TVE_COLLAPSE);
    tree.Expand(root, TVE_EXPAND);
    EXPECT_EQ(parent.Count(TVN_ITEMEXPANDING), 1u);
    // Collapsing with a reset deletes the children; the next expansion asks again.
    tree.Expand(root, TVE_COLLAPSE | TVE_COLLAPSERESET);
    EXPECT_EQ(tree.GetChildItem(root), nullptr);
    EXPECT_EQ(parent.Count(TVN_DELETEITEM), 1u);
    tree.Expand(root, TVE_EXPAND);
    EXPECT_EQ(parent.Count(TVN_ITEMEXPANDING), 2u);

    // The user's expansions are told every time.
    HTREEITEM child = tree.GetChildItem(root);
    Add("grandchild", child, 3);
    static_cast<QTreeWidget*>(tree.m_hWnd)->expandItem(child);
    EXPECT_EQ(parent.Count(TVN_ITEMEXPANDING), 3u);
}

TEST_F(TreeCtrlTest, DeletingTellsOfEveryItemAndMovesTheSelectionOutFirst)
{
    HTREEITEM a = Add("a", nullptr, 10);
    HTREEITEM b = Add("b", a, 11);
    Add("c", b, 12);
    Add("d", nullptr, 13);
    tree.Expand(a, TVE_EXPAND);
    tree.Expand(b, TVE_EXPAND);
    tree.SelectItem(tree.GetChildItem(b));
    parent.seen.clear();
    ASSERT_TRUE(tree.DeleteItem(b));
    // The selection left before the items went, children first.
    ASSERT_EQ(parent.seen.size(), 3u);
    EXPECT_EQ(parent.seen[0].code, TVN_SELCHANGED);
    EXPECT_EQ(parent.seen[0].item, a);
    EXPECT_EQ(parent.seen[1].param, 12);
    EXPECT_EQ(parent.seen[2].param, 11);
    EXPECT_EQ(tree.GetCount(), 2u);
    // A handle of a deleted item is refused, not followed.
    EXPECT_FALSE(tree.DeleteItem(b));
    EXPECT_EQ(tree.GetItemText(b), "");
    tree.DeleteAllItems();
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(parent.Count(TVN_DELETEITEM), 4u);
}

TEST_F(TreeCtrlTest, LabelEditsAskFirstAndTellTheTextAfterTheEditorHasGone)
{
    HTREEITEM a = Add("old", nullptr, 5);
    parent.refuseEdit = 1;
    EXPECT_EQ(tree.EditLabel(a), nullptr);
    parent.refuseEdit = 0;
    CEdit* edit = tree.EditLabel(a);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(tree.GetEditControl(), edit);
    auto* line = qobject_cast<QLineEdit*>(edit->m_hWnd);
    line->setText("new");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(line, &enter);
    EXPECT_EQ(tree.GetEditControl(), nullptr);
    ASSERT_EQ(parent.seen.back().code, TVN_ENDLABELEDIT);
    EXPECT_EQ(parent.seen.back().text, std::optional<std::string>("new"));
    EXPECT_EQ(tree.GetItemText(a), "new");

    // Escape cancels: no text, the label stays.
    edit = tree.EditLabel(a);
    ASSERT_NE(edit, nullptr);
    qobject_cast<QLineEdit*>(edit->m_hWnd)->setText("other");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(edit->m_hWnd, &escape);
    EXPECT_EQ(parent.seen.back().text, std::nullopt);
    EXPECT_EQ(tree.GetItemText(a), "new");

    // The parent refusing the text keeps the label.
    parent.acceptLabel = 0;
    edit = tree.EditLabel(a);
    qobject_cast<QLineEdit*>(edit->m_hWnd)->setText("refused");
    tree.EndEditLabelNow(FALSE);
    EXPECT_EQ(parent.seen.back().text, std::optional<std::string>("refused"));
    EXPECT_EQ(tree.GetItemText(a), "new");
}

int ByParamDescending(LPARAM a, LPARAM b, LPARAM) { return a > b ? -1 : a < b ? 1 : 0; }

TEST_F(TreeCtrlTest, SortingKeepsWhatIsExpandedAndVisibleOrderFollowsIt)
{
    HTREEITEM root = Add("root", nullptr, 0);
    HTREEITEM one = Add("one", root, 1);
    Add("two", root, 2);
    Add("inside", one, 11);
    tree.Expand(root, TVE_EXPAND);
    tree.Expand(one, TVE_EXPAND);
    TVSORTCB sort;
    sort.hParent = root;
    sort.lpfnCompare = ByParamDescending;
    ASSERT_TRUE(tree.SortChildrenCB(&sort));
    std::vector<std::string> visible;
    for (HTREEITEM i = tree.GetRootItem(); i; i = tree.GetNextVisibleItem(i))
        visible.push_back(tree.GetItemText(i));
    EXPECT_EQ(visible, (std::vector<std::string>{"root", "two", "one", "inside"}));
    EXPECT_TRUE(tree.GetItemState(one, TVIS_EXPANDED));

    tree.SelectDropTarget(one);
    EXPECT_EQ(tree.GetDropHilightItem(), one);
    EXPECT_TRUE(tree.GetItemState(one, TVIS_DROPHILITED));
    tree.SelectDropTarget(nullptr);
    EXPECT_EQ(tree.GetDropHilightItem(), nullptr);
}

} // namespace
