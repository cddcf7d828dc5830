#pragma once

#include "platform/framework/wnd.h"

#include <string>

class CEdit;
class CImageList;
class CShellImageList;

// Item states and the GetNextItem flag.
enum : UINT { LVIS_FOCUSED = 0x0001, LVIS_SELECTED = 0x0002 };
enum : UINT { LVNI_SELECTED = 0x0002 };
enum : UINT { LVIF_TEXT = 0x0001, LVIF_IMAGE = 0x0002, LVIF_STATE = 0x0008 };

// Styles of the list: its form (large icons or a report with columns), label
// editing, and owner data (the items are only a count; the parent gives
// each item's texts and icon through LVN_GETDISPINFO when it is shown).
enum : DWORD {
    LVS_ICON = 0x0000,
    LVS_REPORT = 0x0001,
    LVS_TYPEMASK = 0x0003,
    // These three are what the Qt list does anyway: accepted, nothing more.
    LVS_SHOWSELALWAYS = 0x0008,
    LVS_SHAREIMAGELISTS = 0x0040,
    LVS_AUTOARRANGE = 0x0100,
    LVS_EDITLABELS = 0x0200,
    LVS_OWNERDATA = 0x1000,
};
// The image lists of the two forms.
enum : int { LVSIL_NORMAL = 0, LVSIL_SMALL = 1 };
// SetItemCountEx: the shown items are not redrawn, the scroll place is kept.
enum : DWORD { LVSICF_NOINVALIDATEALL = 0x0001, LVSICF_NOSCROLL = 0x0002 };
enum : int { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1 };

// Notifications of the list to its parent (WM_NOTIFY).
enum : int {
    LVN_ITEMCHANGED = -101,    // NMLISTVIEW: iItem, uChanged LVIF_STATE, uNewState, uOldState
    LVN_BEGINLABELEDIT = -105, // NMLVDISPINFO: item.iItem; a non-zero result refuses the edit
    LVN_ENDLABELEDIT = -106,   // NMLVDISPINFO: item.pszText null when cancelled; non-zero takes the text
    LVN_COLUMNCLICK = -108,    // NMLISTVIEW: iSubItem the column whose heading was clicked
    LVN_BEGINDRAG = -109,      // NMLISTVIEW: iItem pressed
    LVN_GETDISPINFO = -150,    // NMLVDISPINFO: fill what item.mask asks for
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
};
// One item's request or answer: the text goes into pszText, at most
// cchTextMax bytes with its terminating zero.
struct LVITEM {
    UINT mask = 0;
    int iItem = -1;
    int iSubItem = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = -1;
};
struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
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
// Created with LVS_OWNERDATA it holds only a count of items: their texts and
// icons come from the parent (LVN_GETDISPINFO) when they are shown, the
// selection may take many items (Shift and Ctrl), it shows large icons or a
// report (LVS_ICON, LVS_REPORT), a heading click is LVN_COLUMNCLICK, a press
// and move LVN_BEGINDRAG, and with LVS_EDITLABELS a click on the selected
// item, F2 or EditLabel opens the label editor (LVN_BEGINLABELEDIT,
// LVN_ENDLABELEDIT).
class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    void SetImageList(CShellImageList* images);
    // Owner data: the icons of the icon form (LVSIL_NORMAL) or the report (LVSIL_SMALL).
    void SetImageList(CShellImageList* images, int nImageList);
    // Owner data: the images of a list of the owner's, by index, at that list's size.
    void SetImageList(const CImageList* images, int nImageList);
    // Owner data: the items are drawn again, asking the owner anew.
    BOOL RedrawItems(int nFirst, int nLast);
    // Owner data: the form, LVS_ICON or LVS_REPORT.
    void SetViewStyle(DWORD lvsStyle);
    DWORD GetViewStyle() const;
    // Owner data: the number of items; the selection is cleared.
    void SetItemCountEx(int nItems, DWORD dwFlags = 0);
    // Owner data: opens the label editor on the item; null when refused.
    CEdit* EditLabel(int nItem);
    // The open label editor, or null.
    CEdit* GetEditControl() const;
    // The item's index, or -1.
    int InsertItem(int nItem, const std::string& text, int nImage = -1);
    // A column's text of an item (0 is the item's label).
    BOOL SetItemText(int nItem, int nSubItem, const std::string& text);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    std::string GetItemText(int nItem, int nSubItem = 0) const;
    // The report form's columns, with their headings and widths in pixels.
    int InsertColumn(int nCol, const std::string& heading, int nWidth, int nFormat = LVCFMT_LEFT);
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
