#pragma once

#include "platform/framework/wnd.h"

#include <vector>

class CEdit;

// Small window helpers: scroll bars, focus, child geometry, edit and
// clipboard state, a press-and-hold test, and a paused timer.

enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2 };

// The bar's range and page (nothing else of it changes).
void SetScrollRangeAndPage(CWnd* pWnd, int nBar, int nMin, int nMax, BOOL bRedraw, int nPage);
void GetScrollRangeOf(CWnd* pWnd, int nBar, int* pMin, int* pMax);
// The bar's position, kept inside its range less the page.
void SetScrollPosition(CWnd* pWnd, int nBar, int nPos, BOOL bRedraw);
int GetScrollPosition(CWnd* pWnd, int nBar);

// The focus is on the window or one of its descendants.
BOOL IsFocusWithin(CWnd* pWnd);
// The window under a screen point when it is pTop (a top-level window) or
// inside its tree, then its visible, non-transparent child there (or itself);
// else null.
CWnd* ChildWindowFromScreenPoint(int x, int y, CWnd* pTop);
// A child's window rectangle in its parent's client coordinates.
void GetChildRectInParent(RECT* pOut, CWnd* pParent, CWnd* pChild);
// The same for a dialog item; empty when the dialog has no such item.
void GetDlgItemRectInParent(RECT* pOut, CWnd* pDlg, int nID);
// Moves every item of ids that the dialog has by (dx, dy), with repaint;
// ids it does not have are passed over. The print dialogs keep their
// control groups at the right and bottom edges with it.
void OffsetDlgItems(CWnd* pDlg, const std::vector<UINT>& ids, int dx, int dy);
// Input methods are Qt's to switch: nothing to do.
inline void SetImeOpen(CWnd*, BOOL) {}

BOOL HasEditSelection(CEdit* pEdit);
BOOL CanCutEditSelection(CEdit* pEdit);
// FALSE for a null window; otherwise whether the clipboard holds text.
BOOL ClipboardHasText(CWnd* pWnd);

// Press and hold: TRUE when the cursor stays within 2 pixels of where it was
// for ms milliseconds; FALSE as soon as it leaves, or when the left button
// comes up (that release still reaches its window afterwards). Events go on
// being handled meanwhile.
BOOL WaitMouseHold(DWORD ms);

// Stops a window's timer for the length of a scope and starts it again after.
class CTimerPause {
public:
    CTimerPause(CWnd* pWnd, UINT_PTR nTimerId, UINT nPeriodMs);
    ~CTimerPause();
    CTimerPause(const CTimerPause&) = delete;
    CTimerPause& operator=(const CTimerPause&) = delete;

private:
    CWnd* m_pWnd;
    UINT_PTR m_nId;
    UINT m_nPeriod;
};
