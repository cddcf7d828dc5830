#pragma once

#include <string_view>

#include "ui/accel_table.h"
#include "platform/framework/control_bar.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"

// What the frame's menu bar offers it: the first look at every message.
class IFrameMessageFilter {
public:
    virtual ~IFrameMessageFilter() = default;
    virtual BOOL TranslateFrameMessage(MSG* pMsg) = 0;
};

// Where a main frame keeps, under the settings' preference section, its
// rectangle and whether its toolbar and its status bar show.
struct FrameSettingValues {
    const char* frame = nullptr;
    const char* toolBar = nullptr;
    const char* statusBar = nullptr;
};

// The frame window base of the program's main windows: a frameless window
// that draws its own caption band, borders and caption buttons in the
// program's colours and does its own hit testing, button presses and system
// menu. Window coordinates keep a band of BandHeight rows above the visible
// window (the rows the old system caption took), so the caption geometry
// reads the same as it always has.
class CHoverHelp;
class CMenuBar;

class CZunFrameWnd : public CFrameWnd {
    DECLARE_DYNCREATE(CZunFrameWnd)
    DECLARE_MESSAGE_MAP()
public:
    enum Button { kNone = -1, kMinimize = 0, kMaximize = 1, kClose = 2 };
    // Icon ids of the caption buttons.
    enum : UINT {
        IDI_MINIMIZE = 4086, IDI_MAXIMIZE = 4087, IDI_CLOSE = 4088, IDI_RESTORE = 4089,
        IDI_CLOSE_PRESSED = 4090, IDI_MAXIMIZE_PRESSED = 4091, IDI_RESTORE_PRESSED = 4092, IDI_MINIMIZE_PRESSED = 4093,
    };

    CZunFrameWnd();
    ~CZunFrameWnd() override;

    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    // The menu bar first, then the framework, then the frame's accelerators.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL DestroyWindow() override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DrawCaption(BOOL bActive);

    void SetMenuBar(IFrameMessageFilter* pMenuBar) { m_pMenuBar = pMenuBar; }
    void SetSystemIcon(UINT nIconId) { m_nSystemIcon = nIconId; }

    // Geometry in window coordinates (origin at the top of the hidden band).
    int GetBandHeight() const { return m_nBandHeight; }
    CRect GetBaseRect() const;
    CRect GetCaptionRect() const;
    CRect GetIconBox() const;
    CRect GetButtonBox(Button which) const;
    BOOL HasButton(Button which) const;
    BOOL IsButtonPressed(Button which) const { return which >= 0 && m_bPressed[which]; }
    BOOL IsCaptionActive() const { return m_bActive; }
    CMenu* GetSystemMenuPopup() { return &m_sysMenu; }

    // The window's rectangle as stored under the settings section and value,
    // when it lies on a display: the size always, the place where the display
    // server lets a window choose it.
    void RestorePlacement(std::string_view section, std::string_view value);
    // Shows or hides one of the frame's bars and lays the frame out again.
    void ShowBar(CControlBar& bar, BOOL show);
    // Makes the frame's menu bar (id nBarId) in the colour scheme's menu colour
    // from menu nMenuId, placed and bordered as dwPlace says, and lets it see
    // the frame's messages first.
    BOOL CreateFrameMenuBar(CMenuBar& bar, UINT nBarId, UINT nMenuId, DWORD dwPlace = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM);

    // The toolbar and status bar that the View menu shows and hides.
    BOOL IsToolBarShown() const { return m_bToolBarShown; }
    BOOL IsStatusBarShown() const { return m_bStatBarShown; }
    // Stores the frame's rectangle and whether each bar shows, under the
    // values the frame keeps them in; nothing for a frame that keeps none or
    // before its window is made.
    void SaveBarState();

    // The frame's status-bar hints, when it has them.
    virtual CHoverHelp* GetHoverHelp() const { return nullptr; }
    // The idle prompt lets the hover hints show (the prompt is empty); any
    // other, a menu entry's, stops them so that the prompt stays.
    void GetMessageString(UINT nID, std::string& rMessage) const override;

protected:
    static constexpr const char* kPreferenceSection = "Preference";

    // What a main frame remembers between runs; with values, the frame takes
    // its stored rectangle once made and stores it, with its bars, when it
    // closes or goes.
    void KeepSettings(const FrameSettingValues& values) { m_kept = values; }
    // The caption names the active document before the program, whatever
    // the frame style says.
    void SetDocumentInTitle(BOOL show) { m_bDocumentInTitle = show; }
    // The keyboard accelerators of table nAccelId, which the frame translates
    // after the menu bar and the framework.
    void LoadFrameAccelerators(UINT nAccelId) { m_accel.Load(this, nAccelId); }
    // The frame's two bars for the View menu's toggles, shown or hidden as
    // the kept values say (shown by default), and the frame laid out.
    void ShowKeptBars(CControlBar& toolBar, CControlBar& statusBar);
    // The View menu's toggles and their checks; a frame's message map names
    // them with its commands.
    void OnViewToolBar();
    void OnViewStatusBar();
    void OnUpdateViewToolBar(CCmdUI* pCmdUI);
    void OnUpdateViewStatusBar(CCmdUI* pCmdUI);

    void OnClose() override;
    void OnDestroy() override;
    HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent) override;
    void OnNcPaint() override;
    BOOL OnNcActivate(BOOL bActive) override;
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p) override;
    LRESULT OnNcHitTest(CPoint point) override;
    void OnNcLButtonDown(UINT nHitTest, CPoint point) override;
    void OnNcLButtonDblClk(UINT nHitTest, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnActivate(UINT nState, CWnd* pOther, BOOL bMinimized) override;
    void OnSettingChange(UINT uFlags, const char* lpszSection) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) override;
    void OnGetMinMaxInfo(MINMAXINFO* p) override;
    void OnSysRestore();
    void OnSysMinimize();
    void OnSysMaximize();
    void OnSysMove();
    void OnSysSize();
    void OnSysClose();

    // The box (window coordinates) as a screen rectangle.
    CRect ToScreen(const CRect& r) const;
    Button ButtonAt(CPoint screen) const;
    void DrawButtons(CDC* pDC);

    BOOL m_bActive = TRUE;
    CPoint m_ptPress{-1, -1};
    BOOL m_bHasClose = FALSE, m_bHasMinimize = FALSE, m_bHasMaximize = FALSE;
    UINT m_nSystemIcon = 0;
    int m_nBandHeight;
    BOOL m_bPressed[3] = {FALSE, FALSE, FALSE};
    Button m_nPressStart = kNone;
    IFrameMessageFilter* m_pMenuBar = nullptr;
    CMenu m_sysMenu;

private:
    FrameSettingValues m_kept;
    BOOL m_bDocumentInTitle = FALSE;
    CAccelTable m_accel;
    CControlBar* m_pToolBar = nullptr;
    CControlBar* m_pStatusBar = nullptr;
    BOOL m_bToolBarShown = TRUE;
    BOOL m_bStatBarShown = TRUE;
};
