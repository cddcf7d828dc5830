#pragma once

#include "platform/framework/wnd.h"

#include <string>

class CShellImageList;

// Item states and the GetNextItem flag.
enum : UINT { LVIS_FOCUSED = 0x0001, LVIS_SELECTED = 0x0002 };
enum : UINT { LVNI_SELECTED = 0x0002 };
enum : UINT { LVIF_STATE = 0x0008 };

// Notifications of the list to its parent (WM_NOTIFY).
enum : int {
    LVN_ITEMCHANGED = -101, // NMLISTVIEW: iItem, uChanged LVIF_STATE, uNewState, uOldState
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
};
// NM_DBLCLK carries the item double-clicked (-1 when none).
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem = -1;
};

// A list of labelled items with icons from the shell's image list: one
// column without a header, or the report form once columns are inserted
// (whole rows selected). Selection changes and double clicks reach the parent
// as LVN_ITEMCHANGED and NM_DBLCLK.
class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    void SetImageList(CShellImageList* images);
    // The item's index, or -1.
    int InsertItem(int nItem, const std::string& text, int nImage = -1);
    // A column's text of an item (0 is the item's label).
    BOOL SetItemText(int nItem, int nSubItem, const std::string& text);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    std::string GetItemText(int nItem, int nSubItem = 0) const;
    // The report form's columns, with their headings and widths in pixels.
    int InsertColumn(int nCol, const std::string& heading, int nWidth);
    BOOL SetColumnWidth(int nCol, int cx);
    int GetColumnWidth(int nCol) const;
    // The first item after nItem (-1: from the start) with the flag's state; -1 when none.
    int GetNextItem(int nItem, UINT nFlags) const;
    // LVIS_SELECTED and LVIS_FOCUSED of one item, or of every item with -1.
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const;
    BOOL EnsureVisible(int nItem, BOOL bPartialOK);
    // The item's rectangle in client coordinates; FALSE for no such item.
    BOOL GetItemRect(int nItem, RECT* lpRect) const;

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
};
