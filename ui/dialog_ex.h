#pragma once

#include "platform/framework/dialog.h"

#include <vector>

// Colour types of WM_CTLCOLOR.
enum : UINT {
    CTLCOLOR_MSGBOX = 0, CTLCOLOR_EDIT = 1, CTLCOLOR_LISTBOX = 2, CTLCOLOR_BTN = 3,
    CTLCOLOR_DLG = 4, CTLCOLOR_SCROLLBAR = 5, CTLCOLOR_STATIC = 6, CTLCOLOR_MAX = 7,
};

// The base of the program's dialogs: its own caption band and frame with one
// close button, the program's background colour, and plain group boxes drawn
// as rounded panels. The dialogs shown form a stack; the top one owns
// message boxes when no window is active.
class CDialogEx : public CDialog {
    DECLARE_DYNAMIC(CDialogEx)
public:
    enum : UINT { IDI_CLOSE = 4088, IDI_CLOSE_PRESSED = 4090 };

    CDialogEx(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialogEx() override;

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    void SetBackColor(COLORREF cr);
    COLORREF GetBackColor() const { return m_crBack; }
    void SetSystemIcon(UINT nIconId) { m_nSystemIcon = nIconId; }

    // The colour all dialogs take at construction (CLR_INVALID: none, the
    // framework's colours).
    static void SetDefaultBackColor(COLORREF cr);
    static COLORREF GetDefaultBackColor();
    // The dialog shown last that is still up; null when none.
    static CDialogEx* GetCurrentDialog();

    // The background a control gets (WM_CTLCOLOR): CLR_INVALID means the
    // framework's own.
    virtual COLORREF OnCtlColor(CWnd* pWnd, UINT nCtlColor);
    // Gives every child control the background OnCtlColor chooses.
    void ApplyControlColors();

    // Geometry in window coordinates.
    CRect GetCaptionRect() const;
    CRect GetIconBox() const;
    CRect GetCloseBox() const;
    BOOL HasCloseButton() const { return m_bHasClose; }
    BOOL IsClosePressed() const { return m_bClosePressed; }
    const std::vector<CWnd*>& GetPanels() const { return m_panels; }

protected:
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnNcPaint() override;
    BOOL OnNcActivate(BOOL bActive) override;
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p) override;
    LRESULT OnNcHitTest(CPoint point) override;
    void OnNcLButtonDown(UINT nHitTest, CPoint point) override;
    void OnNcMouseMove(UINT nHitTest, CPoint point) override;
    void OnNcLButtonUp(UINT nHitTest, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnDestroy() override;

    void DrawNonClient(BOOL bActive);
    // Sets the pressed look from the press point and the cursor (screen).
    void TrackClose(CPoint cursor);
    BOOL ShowsCloseButton() const;

    COLORREF m_crBack = CLR_INVALID;
    BOOL m_bActive = TRUE;
    UINT m_nSystemIcon = 0;
    BOOL m_bHasClose = FALSE;
    std::vector<CWnd*> m_panels;
    CPoint m_ptPress{-1, -1};
    BOOL m_bClosePressed = FALSE;
};
