#pragma once

#include "platform/framework/wnd.h"
#include "platform/gdi/dc.h"

#include <QCursor>
#include <QIcon>

#include <string>

class QTabBar;

// Owner-draw record (WM_DRAWITEM).
enum : UINT { ODT_BUTTON = 4, ODT_TAB = 101, ODA_DRAWENTIRE = 1, ODS_SELECTED = 0x0001, ODS_DISABLED = 0x0004, ODS_FOCUS = 0x0010 };
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = ODA_DRAWENTIRE;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    CDC* pDC = nullptr;        // the paint's device context
    class QPainter* painter = nullptr; // the same painting, in the item's coordinates
    RECT rcItem{};
    LPARAM itemData = 0;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

enum : UINT { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8 };
enum : UINT { IMAGE_BITMAP = 0, IMAGE_ICON = 1 };

// Makes the Qt control of a dialog item's window class ("BUTTON", "STATIC",
// "EDIT", "COMBOBOX", "LISTBOX", "msctls_progress32", "msctls_trackbar32", "msctls_updown32",
// "SysTabControl32", "SysTreeView32"),
// wired so that it sends its parent the notifications of that class.
QWidget* CreateControlWidget(const std::string& className, DWORD style, QWidget* parent);

// Icons of the program's resources, by id (a missing one is null).
QIcon LoadResIcon(UINT nID);
QImage LoadResIconImage(UINT nID);
// Draws the icon with its top-left corner at x, y, at its own size or made
// to fit the given size (a caption's 16 x 16 box); FALSE (and nothing drawn)
// when the resources hold no such icon.
BOOL DrawResIcon(CDC* pDC, int x, int y, UINT nID, CSize fit = CSize());
// Draws an image whose transparent pixels leave what is below.
BOOL DrawImageTransparent(CDC* pDC, int x, int y, const QImage& image);
void RegisterResIcon(UINT nID, const QIcon& icon);
// Cursors of the program's resources, by id: one registered for the id, else
// the icon of that id with its hot spot in the middle; the arrow when neither is.
QCursor LoadResCursor(UINT nID);
bool HasResCursor(UINT nID);
void RegisterResCursor(UINT nID, const QCursor& cursor);

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    BOOL Create(const std::string& text, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID = 0xFFFF);
    void SetIcon(UINT nIconId);
    UINT GetIcon() const { return m_nIcon; }

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void SetWidgetText(const std::string& text) override;
    std::string GetWidgetText() const override;
    UINT m_nIcon = 0;
};

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    BOOL Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
    // The button's icon (BM_SETIMAGE with IMAGE_ICON); 0 = none.
    UINT SetIcon(UINT nIconId);
    UINT GetIcon() const { return m_nIcon; }
    // Presses the button in code: it notifies its parent as a click would.
    void Click();
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {}

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void SetWidgetText(const std::string& text) override;
    std::string GetWidgetText() const override;
    void OnPaint() override;
    UINT m_nIcon = 0;
};

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    // Selection in characters, start and end.
    void GetSel(int& nStart, int& nEnd) const;
    DWORD GetSel() const;
    void SetSel(int nStart, int nEnd, BOOL bNoScroll = FALSE);
    void ReplaceSel(const std::string& text, BOOL bCanUndo = FALSE);
    void LimitText(int nChars = 0);
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    void Cut();
    void Copy();
    void Paste();
    void Clear();
    BOOL CanUndo() const;
    BOOL Undo();

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void SetWidgetText(const std::string& text) override;
    std::string GetWidgetText() const override;
};

class CComboBox : public CWnd {
    DECLARE_DYNAMIC(CComboBox)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    int AddString(const std::string& text);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int SetItemData(int nIndex, DWORD_PTR data);
    DWORD_PTR GetItemData(int nIndex) const;

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void SetWidgetText(const std::string& text) override;
    std::string GetWidgetText() const override;
};

class CListBox : public CWnd {
    DECLARE_DYNAMIC(CListBox)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    int AddString(const std::string& text);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int SetItemData(int nIndex, DWORD_PTR data);
    DWORD_PTR GetItemData(int nIndex) const;

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
};

enum : UINT { PBM_SETRANGE = WM_USER + 1, PBM_SETPOS = WM_USER + 2, PBM_DELTAPOS = WM_USER + 3, PBM_SETSTEP = WM_USER + 4, PBM_STEPIT = WM_USER + 5, PBM_SETRANGE32 = WM_USER + 6, PBM_GETPOS = WM_USER + 8, PBM_SETBKCOLOR = 0x2001 };

// The progress bar answers the PBM_ messages, so worker threads drive it with SendMessage.
class CProgressCtrl : public CWnd {
    DECLARE_DYNAMIC(CProgressCtrl)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    void SetRange(short nLower, short nUpper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, WPARAM(nLower), LPARAM(nUpper)); }
    int SetPos(int nPos) { return int(SendMessage(PBM_SETPOS, WPARAM(nPos))); }
    int GetPos() const;
    // The colour behind the bar; returns the one before (CLR_DEFAULT at first).
    COLORREF SetBkColor(COLORREF clrNew) { return COLORREF(SendMessage(PBM_SETBKCOLOR, 0, LPARAM(clrNew))); }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    int m_nStep = 10;
    COLORREF m_crBack = CLR_DEFAULT;
};

// Trackbar notification codes, the low word of WM_HSCROLL's wParam (the high
// word is the position; lParam the slider's window).
enum : UINT { TB_THUMBTRACK = 5, TB_ENDTRACK = 8 };

// A horizontal slider ("msctls_trackbar32"); the user's moves reach the
// parent as WM_HSCROLL.
class CSliderCtrl : public CWnd {
    DECLARE_DYNAMIC(CSliderCtrl)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE);
    // Moving the slider in code tells nobody.
    void SetPos(int nPos);
    int GetPos() const;

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
};

// Up and down arrows ("msctls_updown32") that step the number in their
// buddy edit control within a range; the edit then tells its parent
// EN_CHANGE as if the number had been typed.
class CSpinButtonCtrl : public CWnd {
    DECLARE_DYNAMIC(CSpinButtonCtrl)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    void SetBuddy(CWnd* pBuddy);
    void SetRange(int nLower, int nUpper);

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
};

enum : DWORD { TCS_OWNERDRAWFIXED = 0x2000 };
enum : UINT { TCIF_TEXT = 0x0001, TCIF_IMAGE = 0x0002, TCIF_PARAM = 0x0008 };
struct TCITEM {
    UINT mask = 0;
    std::string pszText;
    int iImage = -1;
    LPARAM lParam = 0;
};

// Tabs over a QTabBar; a selection change notifies the parent with TCN_SELCHANGE.
class CTabCtrl : public CWnd {
    DECLARE_DYNAMIC(CTabCtrl)
public:
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    int InsertItem(int nItem, const std::string& text, LPARAM lParam = 0);
    BOOL GetItem(int nItem, TCITEM* pItem) const;
    BOOL SetItem(int nItem, const TCITEM* pItem);
    BOOL DeleteItem(int nItem);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    int GetCurSel() const;
    int SetCurSel(int nItem);
    BOOL GetItemRect(int nItem, RECT* lpRect) const;
    QTabBar* TabBar() const;
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {}

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
};
