#pragma once

#include "ui/menu_bar_track.h"
#include "ui/subclass_wnd.h"
#include "ui/zun_frame_wnd.h"
#include "platform/framework/control_bar.h"
#include "platform/framework/menu.h"

// Bar styles beyond the framework's own.
enum : DWORD {
    CBRS_SIZE_FIXED = 0x0002,
    CBRS_BORDER_LEFT = 0x0100,
    CBRS_BORDER_RIGHT = 0x0400,
    CBRS_GRIPPER = 0x00400000,
    CBRS_BORDER_3D = 0x00800000,
};
// Layout modes.
enum : DWORD {
    LM_STRETCH = 0x01, LM_HORZ = 0x02, LM_MRUWIDTH = 0x04, LM_HORZDOCK = 0x08,
    LM_VERTDOCK = 0x10, LM_LENGTHY = 0x20, LM_COMMIT = 0x40,
};

// The frames' menu bar: draws the frame's menu itself as a row of flat
// buttons in the program's colours and opens the popups itself. The frame
// keeps no menu of its own; it asks the bar for it with "CMenuBar::WM_GETMENU".
// Single-document frames only: the multi-document items (child icon and
// caption buttons), floating and in-place-object paths have no user here.
class CMenuBar : public CControlBar, public IFrameMessageFilter {
    DECLARE_DYNAMIC(CMenuBar)
public:
    CMenuBar();
    ~CMenuBar() override;

    BOOL Create(CWnd* pParent, DWORD dwStyle, int cxLeft, int cyTop, int cxRight, int cyBottom, UINT nID);
    void SetBorders(int cxLeft, int cyTop, int cxRight, int cyBottom);
    // Loads the menu resource (destroying the one loaded before) and rebuilds the items.
    BOOL LoadFrameMenu(UINT nMenuId);
    // Shows a menu handed in; answers the previous one.
    CMenu* SetMenu(CMenu* pMenu, CMenu* pWindowMenu = nullptr);
    CMenu* GetMenu() const { return m_hMenu; }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    CSize CalcDynamicLayout(int nLength, DWORD dwMode);
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;
    void DoPaint(CDC* pDC);

    // Tracking (keyboard, mouse, popups).
    void SetTrackingState(int nState, int nIndex = -1);
    void TrackPopupLoop(int nIndex);
    // The frame's first look at its messages; TRUE when used up.
    BOOL TranslateFrameMessage(MSG* pMsg) override;
    // The input of an open popup; TRUE eats it.
    BOOL OnMenuInput(MSG* pMsg);
    // A message of the hooked frame; TRUE with the answer when it goes no further.
    BOOL OnFrameMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    const MenuBarItems& GetItems() const { return m_items; }
    CMenuBarTracker& Tracker() { return m_track; }
    int GetTrackState() const { return m_track.m_nTrackState; }
    int GetCurIndex() const { return m_track.m_nCurIndex; }
    CRect CalcInsideRect(CRect rect, BOOL bHorz) const;

    // The registered messages between frames and bars.
    static UINT WM_GETMENU();
    static UINT MB_SET_MENU_NULL();
    // The bar whose popup is open, and the index of the item opened last.
    static CMenuBar* GetTrackingBar();
    static int GetOpenMenuIndex();

    COLORREF m_crBack = 0xFFFFFFFF; // none: the system's face colour
    DWORD m_dwCreateStyle = 0;

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnDestroy() override;
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p) override;
    LRESULT OnNcHitTest(CPoint point) override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnPaint() override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    void RebuildItems();
    void RelayoutFrame();
    CSize CalcLayout(DWORD dwMode, int nLength);
    void CommitLayout();
    void RedrawMarks();
    void DrawBorders(CDC* pDC, const CRect& rcWindow);
    CWnd* GetTrackFrame() const;

    // The hook on the frame's window procedure, with a pointer back to the bar.
    class CFrameHook : public CSubclassWnd {
    public:
        CMenuBar* m_pBar = nullptr;
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    };

    MenuBarItems m_items;
    CMenuBarTracker m_track{m_items};
    CFrameHook m_frameHook;
    CMenu m_loadedMenu;          // the resource LoadFrameMenu loaded
    CMenu* m_hMenu = nullptr;    // the menu shown
    CMenu* m_hWindowMenu = nullptr;
    UINT_PTR m_nTimer = 0;
    BOOL m_bFrameActive = TRUE;
    BOOL m_bCommitLayout = TRUE;
};
