#pragma once

#include "imaging/image_ctrl_model.h"
#include "platform/types.h"

#include <string>
#include <vector>

// Notification codes the gallery sends its owner (WM_NOTIFY; the record
// carries an item index and a value).
enum : int {
    GCN_SELCHANGED = 1025,    // selection changed; item or -1
    GCN_DBLCLK = 1026,        // double click that did not start an edit; item or -1
    GCN_BEGINLABELEDIT = 1027,
    GCN_LABELEDITED = 1028,   // value: pointer to an int answer, 1 on entry; 0 refuses
    GCN_ENDLABELEDIT = 1029,
    GCN_RELEASED = 1030,      // press mode: button released over the pressed item
    GCN_BEGINDRAG = 1031,     // button pressed on an already selected item
    GCN_ICONCLICK = 1032,
    GCN_SCROLLED = 1033,
};

// The scroll-bar codes and the keys of the image control serve here too;
// the end of a scroll-bar drag is the one more code the gallery takes.
enum : int { kScrollEnd = 8 };

// Where the caption band of a cell lies.
enum : int { kCaptionNone = 0, kCaptionTop = 1, kCaptionBottom = 2 };

// One entry of the gallery.
struct CGalleryItem {
    std::string text;       // caption lines separated by "\n"
    std::string secondText; // set together with the text
    BOOL selected = FALSE;
    CSize imageSize;        // the picture size when no callback gives one
    int iconSlot = -1;      // the item's small icon in the control's image list
};

// What the gallery knows and decides without a display: its items, the cell
// geometry, layout and scrolling, the selection by mouse, keys, type-ahead
// and rubber band, cell resizing and the caption edit's commit. The widget
// feeds it sizes and input, and does what it asks of its host.
class CGalleryModel {
public:
    class Host {
    public:
        virtual ~Host() = default;
        // A notification to the owner; answers what the owner answered.
        virtual LRESULT Notify(int code, int item, LPARAM value) = 0;
        virtual void InvalidateItem(int) {}
        virtual void InvalidateAll() {}
        // The grid's pixels move by dy (rows moved x cell height; negative: up).
        virtual void ScrollGrid(int dy) { (void)dy; InvalidateAll(); }
        virtual void ScrollRangeChanged(int last, bool shown) { (void)last, (void)shown; }
        // The picture size without loading the picture; the item's stored size without a callback.
        virtual CSize PictureSize(int index) { (void)index; return CSize(); }
        // The caption text; nothing when the item's own text is to be used.
        virtual bool CaptionText(int, std::string&) { return false; }
        // The in-place editor.
        virtual void ShowEditor(const CRect&, const std::string&) {}
        virtual void MoveEditor(const CRect&) {}
        virtual void HideEditor() {}
        virtual std::string EditorText() { return {}; }
        // The rubber band (content rectangle, normalised) and the resize frame
        // (client rectangle) changed; empty rectangles when they end.
        virtual void BandChanged() {}
        virtual void TakeCapture(bool) {}
    };

    CGalleryModel();
    void SetHost(Host* host) { m_host = host; }

    // ---- items
    // Adds an item at the end; its index.
    int AddItem(const std::string& text, CSize imageSize = CSize());
    void DeleteItem(int index);
    void DeleteAllItems();
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    const CGalleryItem* Item(int index) const;
    BOOL IsSelected(int index) const;
    int GetFirstSelected() const;
    int GetSelectedCount() const;
    // Returns whether it changed; the cell is redrawn.
    BOOL SetSelected(int index, BOOL state);
    void SelectAll(BOOL state);
    void SetItemText(int index, const std::string& text, const std::string& secondText);
    std::string GetItemSecondText(int index) const;
    void SetItemIcon(int index, int slot);
    // The caption: the host's, else the item's text.
    std::string GetItemText(int index) const;
    int GetFocusItem() const { return m_nFocus; }
    int GetAnchorItem() const { return m_nAnchor; }
    void SetFocusItem(int index) { m_nFocus = m_nAnchor = index; }
    // Selects from the anchor to the item and makes it the focus item, as a
    // Shift-click does; nothing is notified.
    void ExtendSelection(int index);

    // ---- settings
    void SetClientSize(CSize size);
    CSize GetClientSize() const { return m_client; }
    void SetCellRect(const CRect& cell);
    CRect GetCellRect() const { return m_cell; }
    void SetInsets(int left, int top, int right, int bottom);
    CRect GetInsets() const { return m_insets; }
    void SetMinCellSize(int size) { m_nMinCell = size; }
    void SetLineHeight(int height) { m_nLineHeight = height; }
    int GetLineHeight() const { return m_nLineHeight; }
    void SetCaptionLines(int lines) { m_nCaptionLines = lines; }
    int GetCaptionLines() const { return m_nCaptionLines; }
    void SetCaptionPlacement(int placement) { m_nPlacement = placement; }
    void SetCaptionsShown(BOOL on) { m_bCaptionsShown = on; }
    void SetCaptionExtraHeight(int height) { m_nExtraHeight = height; }
    void SetEnlargePictures(BOOL on) { m_bEnlarge = on; }
    void SetIconSize(CSize size) { m_iconSize = size; }
    void SetMultipleSelection(BOOL on) { m_bMultiple = on; }
    void SetReselectOnClick(BOOL on) { m_bReselect = on; }
    void SetRubberBand(BOOL on) { m_bRubberBand = on; }
    void SetResizeHandle(BOOL on) { m_bResizeHandle = on; }
    void SetClickSelection(BOOL on) { m_bClickSelection = on; }
    void SetClickEmptyClears(BOOL on) { m_bEmptyClears = on; }
    void SetDragNotification(BOOL on) { m_bDragNotify = on; }
    void SetPressMode(BOOL on) { m_bPressMode = on; }
    void SetKeyboard(BOOL on) { m_bKeyboard = on; }
    void SetLabelEditing(BOOL on, int limit, BOOL singleClick);
    int GetTextLimit() const { return m_nTextLimit; }
    void SetFitToWindow(BOOL on) { m_bFitToWindow = on; }
    void SetSizeToLargest(BOOL on) { m_bSizeToLargest = on; }
    void SetModal(BOOL on) { m_bModal = on; m_nModalResult = 0; }
    BOOL IsModal() const { return m_bModal; }
    int GetModalResult() const { return m_nModalResult; }

    // ---- geometry (client coordinates)
    int GetColumns() const { return m_nColumns; }
    int GetVisibleRows() const { return m_nVisibleRows; }
    int GetRowsPerPage() const { return m_nRowsPerPage; }
    int GetFirstRow() const { return m_nFirstRow; }
    int GetLastFirstRow() const { return m_nLastRow; }
    int GetFirstVisibleIndex() const { return m_nColumns * m_nFirstRow; }
    bool IsItemVisible(int index) const;
    CRect GetCellRectOf(int index) const;
    int HitTest(POINT pt) const;
    CRect GetCaptionRect(int index) const;
    CRect GetIconRect(int index) const;
    // The area the picture may take, and the picture placed in it.
    CRect GetPictureArea(int index) const;
    CRect GetPictureRect(int index) const;
    CRect GetEditorRect(int index) const;
    BOOL HitResizeHandle(POINT pt) const;
    BOOL HitIcon(POINT pt) const;
    // The caption line under the point (0-based), -1 for none.
    int HitCaptionLine(POINT pt) const;

    // ---- layout and scrolling
    // Ends an edit, works out the cell (automatic layouts), the columns,
    // rows and the scroll range.
    void RecalcLayout(BOOL redraw);
    // A scroll-bar request; any other code only notifies.
    void Scroll(int code, int pos = 0);
    // Wheel turns: deltas add up to whole notches of 120 (a page each);
    // exactly +1 and -1 are a line. 0 does nothing.
    void Wheel(int delta);
    void EnsureVisible(int index);
    void SetFirstRow(int row);

    // ---- mouse and keys
    enum class Press { Nothing, Resize, Edit, Select, Band, Default };
    Press LButtonDown(POINT pt, UINT keys);
    void LButtonUp(POINT pt, UINT keys);
    void LButtonDblClk(POINT pt);
    void MouseMove(POINT pt, UINT keys);
    void RButtonDown(POINT pt, UINT keys);
    // Virtual key codes; answers whether the key was used.
    bool KeyDown(UINT vk, UINT keys);
    // Type-ahead of one printable character (compared in upper case).
    bool TypeAhead(char c);

    // ---- rubber band and cell resizing in progress
    bool IsBandActive() const { return m_bBand; }
    // The band in client coordinates, normalised.
    CRect GetBandRect() const;
    bool IsResizing() const { return m_bResizing; }
    CRect GetResizeRect() const { return m_resize; }

    // ---- caption editing
    bool IsEditing() const { return m_nEditItem >= 0; }
    int GetEditItem() const { return m_nEditItem; }
    bool BeginEdit(int index);
    // Commits (cancel false) or drops the editor's text.
    void EndEdit(bool cancel);

private:
    void Notify(int code, int item, LPARAM value = 0);
    void Invalidate(int index);
    bool SelectOnly(int index);
    void SelectRange(int from, int to);
    void ClickSelect(int index, UINT keys, bool hitIcon);
    void UpdateBand(POINT pt, UINT keys);
    void EndBand();
    bool FirstLineHit(int index, POINT pt) const;
    static CRect Deflate(const CRect& r, int l, int t, int rr, int b);

    Host* m_host = nullptr;
    std::vector<CGalleryItem> m_items;
    CSize m_client;
    CRect m_cell{0, 0, 120, 120};
    CRect m_insets{4, 4, 4, 4}; // left, top, right, bottom
    int m_nMinCell = 60;
    int m_nLineHeight = 12;
    int m_nCaptionLines = 1;
    int m_nPlacement = kCaptionBottom;
    BOOL m_bCaptionsShown = TRUE;
    int m_nExtraHeight = 0;
    BOOL m_bEnlarge = TRUE;
    CSize m_iconSize{24, 24};
    BOOL m_bMultiple = FALSE;
    BOOL m_bReselect = FALSE;
    BOOL m_bRubberBand = FALSE;
    BOOL m_bResizeHandle = TRUE;
    BOOL m_bClickSelection = TRUE;
    BOOL m_bEmptyClears = TRUE;
    BOOL m_bDragNotify = TRUE;
    BOOL m_bPressMode = FALSE;
    BOOL m_bKeyboard = FALSE;
    BOOL m_bLabelEdit = FALSE;
    BOOL m_bSingleClickEdit = FALSE;
    int m_nTextLimit = 0;
    BOOL m_bFitToWindow = FALSE;
    BOOL m_bSizeToLargest = FALSE;
    BOOL m_bModal = FALSE;
    int m_nModalResult = 0;

    int m_nColumns = 1;
    int m_nVisibleRows = 1;
    int m_nRowsPerPage = 1;
    int m_nFirstRow = 0;
    int m_nLastRow = 0;
    int m_nWheelSum = 0;

    int m_nFocus = -1;
    int m_nAnchor = -1;
    int m_nEditItem = -1;
    std::string m_strEditOld;
    int m_nPressed = -1;

    bool m_bBand = false;
    bool m_bBandMoved = false;
    POINT m_bandStart{};  // content coordinates
    POINT m_bandEnd{};
    std::vector<BOOL> m_snapshot;

    bool m_bResizing = false;
    CRect m_resize;
    CRect m_resizeFrom;
    POINT m_resizeStart{};
};
