#pragma once

#include "message/ano_record.h"
#include "platform/types.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CAPhotoContent;

// One comment of the comment tree: its flags, depth and record.
struct CommentNode {
    UINT m_nCurrent = 0;     // 1 for the current comment
    UINT m_nSelectState = 0; // CAPhotoTreeModel::stateOff, stateOn or stateNoBox
    UINT m_nDepth = 0;       // 0 on the photograph, parent's + 1 for a reply
    CAnoRecord m_record;
};

// What the model tells its window: notifications for the parent and the rows
// to paint again. A model without a listener tells nobody.
class CAPhotoTreeListener {
public:
    virtual ~CAPhotoTreeListener() = default;
    virtual void TreeNotify(int code) = 0;
    virtual void TreeRedraw(int item, bool erase) = 0;
    virtual void TreeRedrawBox(int item) = 0;
    // The item rectangles changed: scroll bars and the whole window follow.
    virtual void TreeLayoutChanged() = 0;
};

// The comment tree without a window: the nodes in tree order (a comment,
// then its replies), their relations, the current, hot and selected comments
// with the order of their notifications, layout, scrolling, hit tests,
// moving threads and text search. Items are 1-based positions; 0 is none.
class CAPhotoTreeModel {
public:
    enum : UINT { stateOff = 0, stateOn = 1, stateNoBox = 2 };
    // Notification codes sent to the parent.
    enum : int { kNotifyKillFocus = 8, kNotifyClick = 0x201, kNotifyDblClk = 0x203, kNotifyRClick = 0x204,
                 kNotifySelectState = 0x401, kNotifySelChanged = -402 };
    static constexpr UINT kHitOnItem = 0x46;
    // Handles the system tree accepts for "top level" and "at the end".
    static constexpr int kRootItem = int(0xFFFF0000u);
    static constexpr int kLastItem = int(0xFFFF0002u);
    // Layout in pixels.
    static constexpr int kLineStep = 8;
    static constexpr int kTopMargin = 4;
    static constexpr int kCardLeft = 30;
    static constexpr int kIndent = 20;
    static constexpr int kMinCardHeight = 24;
    static constexpr int kCardGap = 9;
    static constexpr int kBandMargin = 4;
    static constexpr int kBoxSide = 14;

    // Measures a record's card laid out from the top-left of a bound.
    using Measure = std::function<CRect(const CAnoRecord& record, const CRect& bound)>;

    CAPhotoTreeModel();

    void SetListener(CAPhotoTreeListener* listener) { m_pListener = listener; }
    // The measure and the client rectangle the layout uses.
    void SetMeasure(Measure measure) { m_measure = std::move(measure); }
    void SetClientRect(const CRect& client) { m_client = client; }
    const CRect& GetClientRect() const { return m_client; }

    // Queries; an invalid item answers from the default node (or -1, 0, false).
    int GetCount() const { return int(m_nodes.size()); }
    bool HasNodes() const { return !m_nodes.empty(); }
    bool IsValid(int item) const { return item >= 1 && item <= GetCount(); }
    const CAnoRecord& GetRecord(int item) const;
    const CAnoRecord& GetRecordAt(int index) const { return GetRecord(index + 1); }
    const CommentNode& GetNode(int item) const;
    int GetDepth(int item) const;
    int GetKind(int item) const { return GetRecord(item).m_nKind; }
    int GetCurrent() const;
    int GetHotItem() const { return m_nHot; }
    int GetFirstSelected() const;
    int GetSelectedCount() const;
    bool IsSelected(int item) const { return GetSelectState(item) == stateOn; }
    UINT GetSelectState(int item) const { return IsValid(item) ? m_nodes[item - 1].m_nSelectState : stateOff; }
    bool CollectSelectedIndices(std::vector<int>& indices) const;
    void CollectSelectedItems(std::vector<int>& items) const;

    // Relations (TVGN_NEXT 1, TVGN_PREVIOUS 2, TVGN_PARENT 3, TVGN_CHILD 4).
    int GetNextItem(int item, UINT code) const;
    int GetRootItem(int item) const;
    int GetParentItem(int item) const { return GetNextItem(item, 3); }
    int GetChildItem(int item) const { return GetNextItem(item, 4); }
    // The last node of the item's thread (the item and all its replies).
    int GetLastDescendant(int item) const;
    int GetTopLevelCount() const;
    int GetTopLevelItem(int k) const;
    int GetThreadSize(int k) const;
    std::string GetItemText(int item) const { return IsValid(item) ? GetRecord(item).m_strContent : std::string(); }
    std::string GetDisplayText(int item) const;

    // Content.
    bool LoadRecords(const CAPhotoContent& content);
    bool CollectRecords(CAPhotoContent& content) const;
    int InsertNode(const CAnoRecord& record, int parent);
    void SetNodeRecord(int item, const CAnoRecord& record, bool relayout);
    bool DeleteNode(int item);
    bool DeleteAllNodes();
    bool DeleteSelectedNodes();
    // Moves the current comment's thread to the drop target (before it when
    // the target is above, after it when below); flags travel with the nodes.
    void MoveThread(int target);

    // Current, hot and selection states, with their notifications.
    void SetSelectState(int item, UINT state, bool notify);
    void SelectAll(bool notify);
    void ToggleSelect(int item);
    bool SetCurrent(int item, bool notify, bool erase);
    void SetHot(int item, bool erase);

    // Caption mode decides the display text searched and shown.
    void SetShowCaption(bool show) { m_bShowCaption = show; }
    bool GetShowCaption() const { return m_bShowCaption; }

    // Layout and geometry. Item rectangles are kept before scrolling.
    void Layout();
    CRect GetContentRect(int item) const;
    CRect GetItemRect(int item) const; // scrolled, in client coordinates
    CRect GetBand(int item) const;
    CRect GetBoxRect(int item) const;
    int HitTest(CPoint point, UINT* flags = nullptr) const;
    bool InBox(int item, CPoint point) const { return IsValid(item) && GetBoxRect(item).PtInRect(point); }

    // Scrolling: the vertical position in pixels and the bar's range.
    int GetScrollPos() const { return m_nScrollPos; }
    int GetScrollMax() const { return m_nScrollMax; }
    bool IsScrollBarShown() const { return m_bScrollBar; }
    // An open in-place editor's rectangle (content coordinates) counts in the extent.
    void SetEditRect(const CRect& rect) { m_editRect = rect; }
    // Recomputes range and visibility from the extent; the position is kept in range.
    void UpdateScrollRange();
    // Sets a clamped position; answers the change in pixels (new - old).
    int ScrollTo(int pos);
    // The SB_ codes; thumbPos for SB_THUMBPOSITION and SB_THUMBTRACK.
    int VScroll(UINT code, int thumbPos);
    // Sums wheel deltas: every whole notch (120) scrolls a page, a delta of
    // exactly 1 a line; the rest waits for the next delta.
    int Wheel(int delta);
    int EnsureVisible(int index);

    // The left click, double click and right click on the point.
    void LButtonDown(CPoint point);
    // FALSE when the press landed in a selection box.
    bool LButtonDblClk(CPoint point);
    // Drag of the current top-level thread.
    bool IsDragging() const { return m_bDragging; }
    int GetDropTarget() const { return m_nDropTarget; }
    void SetDragEnabled(bool enabled) { m_bDragEnabled = enabled; }
    // One drag step: scrolls when the point is above or below the client
    // area and follows the drop target. Answers the scroll change.
    int DragStep(CPoint point);
    // Ends the drag; moves the thread when the target is another comment.
    void Drop();
    void CancelDrag();

    // Text search. A match makes its comment current and answers where it
    // is; start and end are byte offsets into the display text.
    struct Match {
        int index = -1;
        int start = 0;
        int end = 0;
    };
    // Searches one comment from a selection (start -1: none).
    bool MatchComment(int index, std::string_view text, bool down, bool caseSensitive, int selStart, int selEnd,
                      Match& match) const;
    // The next match: first inside the comment of the found-text box (0-based
    // index, -1 for none) after its selection, then from the comment after
    // (or before) the current one, wrapping. "*" and "?" are plain characters.
    Match FindNext(std::string_view text, bool down, bool caseSensitive, int boxIndex, int boxSelStart,
                   int boxSelEnd);

    CommentNode m_default;

private:
    CommentNode& Node(int item) { return m_nodes[item - 1]; }
    void Notify(int code);
    void Redraw(int item, bool erase);
    void RedrawBox(int item);
    void Changed();
    int ThreadEnd(int index) const; // 0-based index after the thread of index

    CAPhotoTreeListener* m_pListener = nullptr;
    std::vector<CommentNode> m_nodes;
    std::vector<CRect> m_rects;
    Measure m_measure;
    CRect m_client;
    CRect m_editRect;
    int m_nHot = 0;
    bool m_bShowCaption = true;
    int m_nScrollPos = 0;
    int m_nScrollMax = 0;
    bool m_bScrollBar = false;
    int m_nWheelRest = 0;
    bool m_bDragEnabled = true;
    bool m_bDragging = false;
    int m_nDropTarget = 0;
};
