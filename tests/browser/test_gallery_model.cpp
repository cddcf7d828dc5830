#include "browser/gallery_model.h"
#include "platform/framework/wnd_defs.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Records what the model tells and asks; the editor holds a text the test sets.
class Host : public CGalleryModel::Host {
public:
    std::vector<std::pair<int, int>> notes;
    std::string editorText;
    bool editorShown = false;
    int refuse = -1; // the item whose caption edit the owner refuses
    int scrolledBy = 0;
    LRESULT Notify(int code, int item, LPARAM value) override
    {
        notes.emplace_back(code, item);
        if (code == GCN_LABELEDITED && item == refuse)
            *reinterpret_cast<int*>(value) = 0;
        return 0;
    }
    void ScrollGrid(int dy) override { scrolledBy += dy; }
    void ShowEditor(const CRect&, const std::string& text) override
    {
        editorShown = true;
        editorText = text;
    }
    void HideEditor() override { editorShown = false; }
    std::string EditorText() override { return editorText; }
    std::vector<int> Codes() const
    {
        std::vector<int> c;
        for (auto& n : notes)
            c.push_back(n.first);
        return c;
    }
};

std::vector<int> Selected(const CGalleryModel& m)
{
    std::vector<int> s;
    for (int i = 0; i < m.GetItemCount(); ++i)
        if (m.IsSelected(i))
            s.push_back(i);
    return s;
}

class GalleryModelTest : public ::testing::Test {
protected:
    // n items named by the list, 100 x 100 cells in a 300 x 250 client:
    // 3 columns, 2 rows a page, 3 rows shown.
    void Make(const std::vector<std::string>& names, CSize client = CSize(300, 250))
    {
        model.SetHost(&host);
        for (const std::string& n : names)
            model.AddItem(n, CSize(200, 100));
        model.SetClientSize(client);
        model.SetCellRect(CRect(0, 0, 100, 100));
        model.RecalcLayout(FALSE);
        host.notes.clear();
    }
    void MakeCount(int n)
    {
        std::vector<std::string> names;
        for (int i = 0; i < n; ++i)
            names.push_back("item" + std::to_string(i));
        Make(names);
    }
    POINT CentreOf(int index) const
    {
        const CRect r = model.GetCellRectOf(index);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    Host host;
    CGalleryModel model;
};

TEST_F(GalleryModelTest, FitToWindowTakesTheColumnsWhoseCellIsMostSquareFirstOnTies)
{
    // Ten items in 100 x 100: 3 columns give 33 x 25 and 4 give 25 x 33;
    // the first of the tie wins.
    model.SetHost(&host);
    for (int i = 0; i < 10; ++i)
        model.AddItem("x");
    model.SetClientSize(CSize(100, 100));
    model.SetFitToWindow(TRUE);
    model.SetMinCellSize(10);
    model.RecalcLayout(FALSE);
    EXPECT_EQ(model.GetCellRect(), CRect(0, 0, 33, 25));
    EXPECT_EQ(model.GetColumns(), 3);
    EXPECT_EQ(model.GetRowsPerPage(), 4);
    EXPECT_EQ(model.GetLastFirstRow(), 0);
    // The default minimum of 60 raises the cell.
    model.SetMinCellSize(60);
    model.RecalcLayout(FALSE);
    EXPECT_EQ(model.GetCellRect(), CRect(0, 0, 60, 60));
    EXPECT_EQ(model.GetColumns(), 1);
    EXPECT_EQ(model.GetVisibleRows(), 2);
    EXPECT_EQ(model.GetLastFirstRow(), 9);
}

TEST_F(GalleryModelTest, SizeToLargestCellAndAnEmptyCellLeavesTheLayout)
{
    Make({"a", "b"});
    model.SetSizeToLargest(TRUE);
    model.SetInsets(4, 4, -3, 4); // a negative inset is stored as 0
    model.RecalcLayout(FALSE);
    EXPECT_EQ(model.GetCellRect(), CRect(0, 0, 200 + 2 * 4, 100 + 2 * 8 + 12));
    model.SetSizeToLargest(FALSE);
    model.SetCellRect(CRect());
    model.RecalcLayout(FALSE);
    EXPECT_EQ(model.GetColumns(), 1);
}

TEST_F(GalleryModelTest, GeometryOfCellsCaptionsPicturesAndHits)
{
    MakeCount(10);
    model.SetInsets(10, 4, 10, 26);
    model.SetFirstRow(1);
    EXPECT_EQ(model.GetCellRectOf(3), CRect(0, 0, 100, 100));
    EXPECT_EQ(model.GetCellRectOf(5), CRect(200, 0, 300, 100));
    EXPECT_EQ(model.GetCellRectOf(0), CRect(0, -100, 100, 0));
    struct Hit {
        POINT pt;
        int index;
    } hits[] = {{{-1, 5}, -1}, {{5, -1}, -1}, {{0, 0}, 3}, {{299, 99}, 5}, {{150, 150}, 7},
                {{300, 10}, -1}, {{10, 260}, 9}, {{150, 260}, -1}};
    for (const Hit& h : hits)
        EXPECT_EQ(model.HitTest(h.pt), h.index) << h.pt.x << "," << h.pt.y;
    // Caption at the bottom: one line of 12 inside a 2-pixel margin.
    EXPECT_EQ(model.GetCaptionRect(3), CRect(2, 86, 98, 98));
    // The picture area loses the insets and, with captions shown, a line and the bottom inset.
    EXPECT_EQ(model.GetPictureArea(3), CRect(10, 4, 90, 100 - 26 - 12 - 26));
    // A 200 x 100 picture in 80 x 32: scaled to 64 x 32, centred.
    EXPECT_EQ(model.GetPictureRect(3), CRect(18, 4, 82, 36));
    model.SetCaptionsShown(FALSE);
    EXPECT_EQ(model.GetPictureRect(3), CRect(10, 19, 90, 59));
    // Only shrunk: a small picture keeps its size.
    model.SetInsets(4, 4, 4, 4);
    model.SetEnlargePictures(FALSE);
    model.DeleteAllItems();
    model.AddItem("tiny", CSize(20, 10));
    model.RecalcLayout(FALSE);
    EXPECT_EQ(model.GetPictureRect(0), CRect(40, 45, 60, 55));
    model.SetEnlargePictures(TRUE);
    EXPECT_EQ(model.GetPictureRect(0).Width(), 92);
    EXPECT_EQ(model.GetEditorRect(0), CRect(1, 85, 99, 99));
    EXPECT_TRUE(model.HitResizeHandle(POINT{95, 95}));
    EXPECT_FALSE(model.HitResizeHandle(POINT{85, 95}));
    EXPECT_EQ(model.HitCaptionLine(POINT{50, 90}), 0);
    EXPECT_EQ(model.HitCaptionLine(POINT{50, 50}), -1);
    // An icon takes the caption's right end.
    model.SetItemIcon(0, 0);
    EXPECT_EQ(model.GetCaptionRect(0).right, 98 - 26);
    EXPECT_EQ(model.GetIconRect(0), CRect(74, 74, 98, 98));
    EXPECT_TRUE(model.HitIcon(POINT{80, 90}));
}

TEST_F(GalleryModelTest, ScrollCodesAndTheWheel)
{
    MakeCount(20); // 7 rows, 2 a page: the last first row is 5
    ASSERT_EQ(model.GetLastFirstRow(), 5);
    struct Step {
        int code, pos, row;
    } steps[] = {{kScrollLineDown, 0, 1}, {kScrollPageDown, 0, 3}, {kScrollBottom, 0, 4},
                 {kScrollThumbTrack, 9, 5}, {kScrollLineDown, 0, 5}, {kScrollTop, 0, 0},
                 {kScrollLineUp, 0, 0}, {kScrollThumbPosition, 2, 2}};
    for (const Step& s : steps) {
        model.Scroll(s.code, s.pos);
        EXPECT_EQ(model.GetFirstRow(), s.row) << s.code;
    }
    EXPECT_TRUE(host.notes.empty());
    EXPECT_EQ(host.scrolledBy, -200);
    model.Scroll(kScrollEnd);
    EXPECT_EQ(host.Codes(), std::vector<int>{GCN_SCROLLED});

    // A notch is a page, a delta of one a line; nothing for 0.
    host.notes.clear();
    model.Wheel(-120);
    EXPECT_EQ(model.GetFirstRow(), 4);
    model.Wheel(120);
    EXPECT_EQ(model.GetFirstRow(), 2);
    model.Wheel(1);
    EXPECT_EQ(model.GetFirstRow(), 1);
    model.Wheel(-1);
    EXPECT_EQ(model.GetFirstRow(), 2);
    EXPECT_EQ(host.notes.size(), 4u);
    model.Wheel(0);
    EXPECT_EQ(model.GetFirstRow(), 2);
    // A touchpad's small deltas add up to a notch before anything moves.
    for (int i = 0; i < 7; ++i)
        model.Wheel(-15);
    EXPECT_EQ(model.GetFirstRow(), 2);
    EXPECT_EQ(host.notes.size(), 4u);
    model.Wheel(-15);
    EXPECT_EQ(model.GetFirstRow(), 4);
    EXPECT_EQ(host.notes.size(), 5u);
}

TEST_F(GalleryModelTest, EnsureVisibleBringsAnItemToTheTopOrBottomRow)
{
    MakeCount(20);
    model.EnsureVisible(13); // row 4: the last fully shown row
    EXPECT_EQ(model.GetFirstRow(), 3);
    model.EnsureVisible(10); // row 3: already shown
    EXPECT_EQ(model.GetFirstRow(), 3);
    model.EnsureVisible(2);
    EXPECT_EQ(model.GetFirstRow(), 0);
}

TEST_F(GalleryModelTest, ClickSelectionWithCtrlShiftAndEmptySpace)
{
    MakeCount(8);
    model.SetMultipleSelection(TRUE);
    model.LButtonDown(CentreOf(1), 0);
    EXPECT_EQ(Selected(model), std::vector<int>{1});
    EXPECT_EQ(host.notes, (std::vector<std::pair<int, int>>{{GCN_SELCHANGED, 1}}));
    model.LButtonDown(CentreOf(4), kKeyShift);
    EXPECT_EQ(Selected(model), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(model.GetFocusItem(), 4);
    EXPECT_EQ(model.GetAnchorItem(), 1);
    host.notes.clear();
    model.LButtonDown(CentreOf(2), kKeyControl);
    EXPECT_EQ(Selected(model), (std::vector<int>{1, 3, 4}));
    model.LButtonDown(CentreOf(6), kKeyControl);
    EXPECT_EQ(Selected(model), (std::vector<int>{1, 3, 4, 6}));
    EXPECT_EQ(host.notes, (std::vector<std::pair<int, int>>{{GCN_SELCHANGED, 2}, {GCN_SELCHANGED, 6}, {GCN_BEGINDRAG, 6}}));
    // A plain click on a selected item keeps the selection for a drag.
    host.notes.clear();
    model.LButtonDown(CentreOf(3), 0);
    EXPECT_EQ(Selected(model), (std::vector<int>{1, 3, 4, 6}));
    EXPECT_EQ(host.Codes(), std::vector<int>{GCN_BEGINDRAG});
    // ... unless reselect on click is on.
    model.SetReselectOnClick(TRUE);
    model.LButtonDown(CentreOf(3), 0);
    EXPECT_EQ(Selected(model), std::vector<int>{3});
    // Ctrl on the only selected item leaves it.
    model.LButtonDown(CentreOf(3), kKeyControl);
    EXPECT_EQ(Selected(model), std::vector<int>{3});
    // Empty space clears, unless a key is held.
    host.notes.clear();
    model.LButtonDown(POINT{250, 240}, kKeyShift);
    EXPECT_EQ(Selected(model), std::vector<int>{3});
    model.LButtonDown(POINT{250, 240}, 0);
    EXPECT_TRUE(Selected(model).empty());
    EXPECT_EQ(host.notes, (std::vector<std::pair<int, int>>{{GCN_SELCHANGED, -1}}));
    // Without multiple selection Ctrl and Shift are plain clicks.
    model.SetMultipleSelection(FALSE);
    model.LButtonDown(CentreOf(0), 0);
    model.LButtonDown(CentreOf(2), kKeyShift);
    EXPECT_EQ(Selected(model), std::vector<int>{2});
    model.SelectAll(TRUE);
    EXPECT_EQ(model.GetSelectedCount(), 8);
    EXPECT_FALSE(model.IsSelected(8));
    EXPECT_FALSE(model.IsSelected(-1));
}

TEST_F(GalleryModelTest, ArrowKeysMoveTheSelectionAndScrollIt)
{
    MakeCount(8);
    model.SetMultipleSelection(TRUE);
    model.SetKeyboard(TRUE);
    model.LButtonDown(CentreOf(1), 0);
    struct Key {
        UINT vk, keys;
        std::vector<int> selected;
    } keys[] = {{VK_RIGHT, 0, {2}}, {VK_RIGHT, 0, {2}}, {VK_DOWN, 0, {5}}, {VK_DOWN, 0, {5}},
                {VK_LEFT, kKeyShift, {4, 5}}, {VK_UP, kKeyShift, {1, 2, 3, 4, 5}}, {VK_UP, 0, {1}}};
    for (const Key& k : keys) {
        model.KeyDown(k.vk, k.keys);
        EXPECT_EQ(Selected(model), k.selected) << k.vk;
    }
    model.KeyDown(VK_DOWN, 0);
    model.KeyDown(VK_DOWN, 0);
    EXPECT_EQ(Selected(model), std::vector<int>{7});
    EXPECT_EQ(model.GetFirstRow(), 1);
}

TEST_F(GalleryModelTest, TypeAheadStepsThroughMatchesAndWraps)
{
    Make({"apple", "Banana", "avocado", "cherry", "apricot"});
    model.SetKeyboard(TRUE);
    model.KeyDown('A', 0);
    EXPECT_EQ(Selected(model), std::vector<int>{0});
    model.KeyDown('A', 0);
    EXPECT_EQ(Selected(model), std::vector<int>{2});
    model.KeyDown('A', 0);
    EXPECT_EQ(Selected(model), std::vector<int>{4});
    model.KeyDown('A', 0); // past the last: wraps to the first
    EXPECT_EQ(Selected(model), std::vector<int>{0});
    model.KeyDown('B', 0);
    EXPECT_EQ(Selected(model), std::vector<int>{1});
    host.notes.clear();
    model.KeyDown('Z', 0);
    EXPECT_EQ(Selected(model), std::vector<int>{1});
    EXPECT_TRUE(host.notes.empty());
    // Off by default.
    model.SetKeyboard(FALSE);
    EXPECT_FALSE(model.KeyDown('C', 0));
}

TEST_F(GalleryModelTest, RubberBandOverAScrolledGallery)
{
    MakeCount(20);
    model.SetMultipleSelection(TRUE);
    model.SetRubberBand(TRUE);
    model.SetResizeHandle(FALSE);
    // Only two items in the last row leave empty space at its right.
    model.Scroll(kScrollBottom);
    model.SetFirstRow(5);
    ASSERT_EQ(model.GetFirstRow(), 5);
    model.LButtonDown(CentreOf(18), 0);
    EXPECT_EQ(Selected(model), std::vector<int>{18});
    host.notes.clear();
    const POINT empty{250, 150}; // beyond item 19, in row 6
    ASSERT_EQ(model.HitTest(empty), -1);
    EXPECT_EQ(model.LButtonDown(empty, 0), CGalleryModel::Press::Band);
    // Up and left: over 16, 17 and 19; 18 was let go at the first move.
    model.MouseMove(POINT{150, 50}, 0);
    EXPECT_EQ(Selected(model), (std::vector<int>{16, 17, 19}));
    EXPECT_EQ(model.GetBandRect(), CRect(150, 50, 250, 150));
    // To the top edge: the view scrolls a row, the band keeps its content start.
    model.MouseMove(POINT{150, 0}, 0);
    EXPECT_EQ(model.GetFirstRow(), 4);
    EXPECT_EQ(model.GetBandRect(), CRect(150, 0, 250, 250));
    EXPECT_EQ(Selected(model), (std::vector<int>{13, 14, 16, 17, 19}));
    model.LButtonUp(POINT{150, 0}, 0);
    EXPECT_FALSE(model.IsBandActive());
    EXPECT_EQ(Selected(model), (std::vector<int>{13, 14, 16, 17, 19}));

    // Ctrl inverts what was selected inside the band, and restores outside it.
    model.LButtonDown(POINT{250, 250}, kKeyControl);
    model.MouseMove(POINT{120, 120}, kKeyControl);
    EXPECT_EQ(Selected(model), (std::vector<int>{13, 14}));
    model.MouseMove(POINT{260, 40}, kKeyControl);
    EXPECT_EQ(Selected(model), (std::vector<int>{13, 16, 19}));
    model.LButtonUp(POINT{260, 40}, kKeyControl);

    // A band of no size clears the selection, one notification per item.
    host.notes.clear();
    model.LButtonDown(POINT{250, 250}, kKeyShift);
    model.LButtonUp(POINT{250, 250}, kKeyShift);
    EXPECT_TRUE(Selected(model).empty());
    EXPECT_EQ(host.notes.size(), 3u);
}

TEST_F(GalleryModelTest, CellResizeKeepsTheMinimumAndTheClient)
{
    MakeCount(6);
    EXPECT_EQ(model.LButtonDown(POINT{195, 95}, 0), CGalleryModel::Press::Resize);
    model.MouseMove(POINT{215, 135}, 0);
    EXPECT_EQ(model.GetResizeRect(), CRect(100, 0, 220, 140));
    model.MouseMove(POINT{110, 10}, 0); // below the minimum (60, 60 + a line)
    EXPECT_EQ(model.GetResizeRect(), CRect(100, 0, 160, 72));
    model.MouseMove(POINT{500, 500}, 0); // bounded by the client
    EXPECT_EQ(model.GetResizeRect(), CRect(100, 0, 300, 250));
    model.MouseMove(POINT{235, 145}, 0);
    model.LButtonUp(POINT{235, 145}, 0);
    EXPECT_EQ(model.GetCellRect(), CRect(0, 0, 140, 150));
    EXPECT_EQ(model.GetColumns(), 2);
    EXPECT_TRUE(Selected(model).empty());
}

TEST_F(GalleryModelTest, CaptionEditCommittedRefusedEmptiedAndCancelled)
{
    Make({"one.jpg\n2024/01/01", "two.jpg"});
    model.SetLabelEditing(TRUE, 260, TRUE);
    const POINT caption{50, 90};
    // Not selected: the click selects; the next one on the caption edits.
    EXPECT_EQ(model.LButtonDown(caption, 0), CGalleryModel::Press::Select);
    host.notes.clear();
    EXPECT_EQ(model.LButtonDown(caption, 0), CGalleryModel::Press::Edit);
    EXPECT_TRUE(host.editorShown);
    EXPECT_EQ(host.editorText, "one.jpg");
    host.editorText = "uno.jpg";
    model.KeyDown(VK_RETURN, 0);
    EXPECT_FALSE(host.editorShown);
    EXPECT_EQ(model.GetItemText(0), "uno.jpg\n2024/01/01");
    EXPECT_EQ(host.Codes(), (std::vector<int>{GCN_BEGINLABELEDIT, GCN_LABELEDITED, GCN_ENDLABELEDIT}));

    // Refused: the old caption comes back.
    host.refuse = 0;
    host.notes.clear();
    model.LButtonDblClk(caption);
    host.editorText = "bad";
    model.RecalcLayout(FALSE); // a layout ends the edit too
    EXPECT_EQ(model.GetItemText(0), "uno.jpg\n2024/01/01");
    EXPECT_EQ(host.Codes(), (std::vector<int>{GCN_BEGINLABELEDIT, GCN_LABELEDITED, GCN_ENDLABELEDIT}));

    // Emptied: nothing changes, but the edit still ends with 1029.
    host.notes.clear();
    model.LButtonDblClk(caption);
    host.editorText.clear();
    model.EndEdit(false);
    EXPECT_EQ(model.GetItemText(0), "uno.jpg\n2024/01/01");
    EXPECT_EQ(host.Codes(), (std::vector<int>{GCN_BEGINLABELEDIT, GCN_ENDLABELEDIT}));

    // Escape cancels: the editor only goes.
    host.notes.clear();
    model.LButtonDblClk(caption);
    host.editorText = "dos.jpg";
    model.KeyDown(VK_ESCAPE, 0);
    EXPECT_FALSE(host.editorShown);
    EXPECT_EQ(model.GetItemText(0), "uno.jpg\n2024/01/01");
    EXPECT_EQ(host.Codes(), std::vector<int>{GCN_BEGINLABELEDIT});

    // A double click elsewhere is reported; without editing, on the caption too.
    host.notes.clear();
    model.LButtonDblClk(POINT{150, 50});
    model.SetLabelEditing(FALSE, 0, FALSE);
    model.LButtonDblClk(caption);
    EXPECT_EQ(host.notes, (std::vector<std::pair<int, int>>{{GCN_DBLCLK, 1}, {GCN_DBLCLK, 0}}));
}

TEST_F(GalleryModelTest, PressModeModalModeAndDeletion)
{
    MakeCount(4);
    model.SetPressMode(TRUE);
    model.LButtonDown(CentreOf(2), 0);
    EXPECT_TRUE(model.IsSelected(2));
    model.LButtonUp(CentreOf(2), 0);
    EXPECT_FALSE(model.IsSelected(2));
    model.LButtonDown(CentreOf(1), 0);
    model.LButtonUp(CentreOf(3), 0);
    EXPECT_EQ(host.notes, (std::vector<std::pair<int, int>>{{GCN_RELEASED, 2}}));
    model.SetPressMode(FALSE);

    // Modal: nothing is reported; Enter and Escape end it.
    host.notes.clear();
    model.SetModal(TRUE);
    model.LButtonDown(CentreOf(0), 0);
    EXPECT_TRUE(host.notes.empty());
    model.KeyDown(VK_ESCAPE, 0);
    EXPECT_FALSE(model.IsModal());
    EXPECT_EQ(model.GetModalResult(), 2);
    model.SetModal(TRUE);
    model.KeyDown(VK_RETURN, 0);
    EXPECT_EQ(model.GetModalResult(), 1);

    // Deleting moves the focus with its item.
    model.SetFocusItem(3);
    model.DeleteItem(1);
    EXPECT_EQ(model.GetItemCount(), 3);
    EXPECT_EQ(model.GetFocusItem(), 2);
    model.DeleteItem(7);
    EXPECT_EQ(model.GetItemCount(), 3);
    model.DeleteAllItems();
    EXPECT_EQ(model.GetFocusItem(), -1);
    EXPECT_EQ(model.GetFirstSelected(), -1);
}

} // namespace
