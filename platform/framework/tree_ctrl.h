#pragma once

#include "platform/framework/wnd.h"

#include <QIcon>

#include <functional>
#include <string>

class CEdit;
class QTreeWidgetItem;

// A tree item: the handle is the item itself, valid until the item is deleted.
using HTREEITEM = QTreeWidgetItem*;
// Positions and the invisible root, as handles no item has.
extern const HTREEITEM TVI_ROOT;
extern const HTREEITEM TVI_FIRST;
extern const HTREEITEM TVI_LAST;

// Tree styles (the low word of the window style).
constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_EDITLABELS = 0x0008;
constexpr DWORD TVS_DISABLEDRAGDROP = 0x0010;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;

// Which fields of a TVITEM are valid.
enum : UINT {
    TVIF_TEXT = 0x0001,
    TVIF_IMAGE = 0x0002,
    TVIF_PARAM = 0x0004,
    TVIF_STATE = 0x0008,
    TVIF_HANDLE = 0x0010,
    TVIF_SELECTEDIMAGE = 0x0020,
    TVIF_CHILDREN = 0x0040,
};
enum : UINT { TVIS_SELECTED = 0x0002, TVIS_DROPHILITED = 0x0008, TVIS_EXPANDED = 0x0020, TVIS_EXPANDEDONCE = 0x0040 };
enum : UINT { TVE_COLLAPSE = 0x0001, TVE_EXPAND = 0x0002, TVE_TOGGLE = 0x0003, TVE_COLLAPSERESET = 0x8000 };
enum : UINT {
    TVGN_ROOT = 0x0000,
    TVGN_NEXT = 0x0001,
    TVGN_PREVIOUS = 0x0002,
    TVGN_PARENT = 0x0003,
    TVGN_CHILD = 0x0004,
    TVGN_FIRSTVISIBLE = 0x0005,
    TVGN_NEXTVISIBLE = 0x0006,
    TVGN_PREVIOUSVISIBLE = 0x0007,
    TVGN_DROPHILITE = 0x0008,
    TVGN_CARET = 0x0009,
};
enum : UINT { TVC_UNKNOWN = 0, TVC_BYMOUSE = 1, TVC_BYKEYBOARD = 2 };
enum : UINT { TVHT_NOWHERE = 0x0001, TVHT_ONITEMICON = 0x0002, TVHT_ONITEMLABEL = 0x0004, TVHT_ONITEMBUTTON = 0x0010 };
enum : UINT { TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL };

// Notifications of the tree to its parent (WM_NOTIFY), offered to the tree
// itself first (ON_NOTIFY_REFLECT).
enum : int {
    TVN_SELCHANGED = -402,     // NMTREEVIEW: itemOld, itemNew, action
    TVN_ITEMEXPANDING = -405,  // NMTREEVIEW: itemNew, action TVE_EXPAND or TVE_COLLAPSE; a non-zero result refuses
    TVN_ITEMEXPANDED = -406,   // NMTREEVIEW
    TVN_BEGINDRAG = -407,      // NMTREEVIEW: itemNew, ptDrag
    TVN_DELETEITEM = -409,     // NMTREEVIEW: itemOld (hItem, lParam), once for every item that goes
    TVN_BEGINLABELEDIT = -410, // NMTVDISPINFO; a non-zero result refuses the edit
    TVN_ENDLABELEDIT = -411,   // NMTVDISPINFO: pszText null when cancelled; a non-zero result takes the text as label
};

struct TVITEM {
    UINT mask = 0;
    HTREEITEM hItem = nullptr;
    UINT state = 0;
    UINT stateMask = 0;
    const char* pszText = nullptr; // the caller's text, for the length of the call
    int iImage = -1;
    int iSelectedImage = -1;
    int cChildren = 0; // 1: announces children before they are inserted
    LPARAM lParam = 0;
};

struct TVINSERTSTRUCT {
    HTREEITEM hParent = nullptr; // null or TVI_ROOT: a root item
    HTREEITEM hInsertAfter = nullptr; // an item, TVI_FIRST or TVI_LAST (null counts as TVI_LAST)
    TVITEM item;
};

struct NMTREEVIEW {
    NMHDR hdr;
    UINT action = 0;
    TVITEM itemOld;
    TVITEM itemNew;
    POINT ptDrag{};
};

struct NMTVDISPINFO {
    NMHDR hdr;
    TVITEM item;
};

// Orders two items by their data (lParam1, lParam2, the caller's value).
using PFNTVCOMPARE = int (*)(LPARAM, LPARAM, LPARAM);
struct TVSORTCB {
    HTREEITEM hParent = nullptr;
    PFNTVCOMPARE lpfnCompare = nullptr;
    LPARAM lParam = 0;
};

// The widget of the tree control class ("SysTreeView32") with the given styles.
QWidget* CreateTreeWidget(DWORD style, QWidget* parent);

// A tree of labelled items with icons, over a QTreeWidget. Items announce
// children before they have any, are expanded, selected, edited in place and
// dragged, and the parent hears of it by the notifications above.
// Coordinates are those of the tree's client area (its viewport).
class CTreeCtrl : public CWnd {
    DECLARE_DYNAMIC(CTreeCtrl)
public:
    CTreeCtrl();
    ~CTreeCtrl() override;

    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);

    // Items.
    HTREEITEM InsertItem(const TVINSERTSTRUCT* pInsert);
    HTREEITEM InsertItem(const std::string& text, HTREEITEM hParent = nullptr, HTREEITEM hInsertAfter = nullptr);
    // Deletes the item and its descendants (TVN_DELETEITEM for each, the
    // item's descendants first); TVI_ROOT or null deletes every item.
    BOOL DeleteItem(HTREEITEM hItem);
    BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
    UINT GetCount() const;
    // Fills the fields of pItem->mask (not the text: GetItemText) for pItem->hItem.
    BOOL GetItem(TVITEM* pItem) const;
    BOOL SetItem(const TVITEM* pItem);
    std::string GetItemText(HTREEITEM hItem) const;
    BOOL SetItemText(HTREEITEM hItem, const std::string& text);
    DWORD_PTR GetItemData(HTREEITEM hItem) const;
    BOOL SetItemData(HTREEITEM hItem, DWORD_PTR data);
    UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const;
    // Children inserted, or announced (cChildren) without being there yet.
    BOOL ItemHasChildren(HTREEITEM hItem) const;
    BOOL GetItemRect(HTREEITEM hItem, RECT* pRect, BOOL bTextOnly) const;

    // Walking the tree.
    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PARENT); }
    HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
    // The item below (above) in the expanded tree, scrolled into view or not.
    HTREEITEM GetNextVisibleItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXTVISIBLE); }
    HTREEITEM GetPrevVisibleItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PREVIOUSVISIBLE); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    HTREEITEM GetDropHilightItem() const { return GetNextItem(nullptr, TVGN_DROPHILITE); }

    // Expanding: TVE_EXPAND, TVE_COLLAPSE (with TVE_COLLAPSERESET the children
    // are deleted and the item counts as never expanded), TVE_TOGGLE. The
    // first expansion of an item sends TVN_ITEMEXPANDING, whose handler may
    // insert the children; later ones by code send nothing (the user's send it
    // every time). An expansion that found no children does not count.
    BOOL Expand(HTREEITEM hItem, UINT nCode);
    // TVGN_CARET selects (TVN_SELCHANGED), TVGN_DROPHILITE marks the drop
    // target (null: none), TVGN_FIRSTVISIBLE scrolls the item to the top.
    BOOL Select(HTREEITEM hItem, UINT nCode);
    BOOL SelectItem(HTREEITEM hItem) { return Select(hItem, TVGN_CARET); }
    BOOL SelectDropTarget(HTREEITEM hItem) { return Select(hItem, TVGN_DROPHILITE); }
    BOOL SelectSetFirstVisible(HTREEITEM hItem) { return Select(hItem, TVGN_FIRSTVISIBLE); }
    BOOL EnsureVisible(HTREEITEM hItem);
    HTREEITEM HitTest(CPoint pt, UINT* pFlags = nullptr) const;

    // Label editing: TVN_BEGINLABELEDIT first; the edit control while it is
    // open; ending sends TVN_ENDLABELEDIT once the edit control has gone.
    CEdit* EditLabel(HTREEITEM hItem);
    CEdit* GetEditControl() const;
    BOOL EndEditLabelNow(BOOL bCancel);

    // Sorts the item's children (TVI_ROOT or null: the root items) by the
    // callback; items it finds equal keep their order.
    BOOL SortChildrenCB(const TVSORTCB* pSort);

    COLORREF SetBkColor(COLORREF cr);
    // The icon of an image index (the tree's image list). Items show their
    // selected image while they are the selection.
    void SetImageSource(std::function<QIcon(int)> iconOf);

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;

private:
    friend class CTreeWidget;
    // A right-button press inside the tree: the window's own handler, with
    // the tree's own response (selection) left to it.
    void RightButtonDown(UINT nFlags, CPoint point) { OnRButtonDown(nFlags, point); }
};
