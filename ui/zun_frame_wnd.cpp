#include "ui/zun_frame_wnd.h"

#include "ui/menu_bar.h"

#include "ui/caption_fonts.h"
#include "ui/hover_help.h"
#include "ui/ui_services.h"
#include "platform/framework/control_bar.h"
#include "platform/framework/controls.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd_bridge.h"
#include "resources/string_table.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

#include <QWidget>

IMPLEMENT_DYNCREATE(CZunFrameWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(CZunFrameWnd, CFrameWnd)
    ON_COMMAND(SC_RESTORE, &CZunFrameWnd::OnSysRestore)
    ON_COMMAND(SC_MINIMIZE, &CZunFrameWnd::OnSysMinimize)
    ON_COMMAND(SC_MAXIMIZE, &CZunFrameWnd::OnSysMaximize)
    ON_COMMAND(SC_MOVE, &CZunFrameWnd::OnSysMove)
    ON_COMMAND(SC_SIZE, &CZunFrameWnd::OnSysSize)
    ON_COMMAND(SC_CLOSE, &CZunFrameWnd::OnSysClose)
END_MESSAGE_MAP()

CZunFrameWnd::CZunFrameWnd() : m_nBandHeight(GetSystemMetrics(SM_CYSIZE) + 8)
{
    GetFrameCaptionFont();
    SetHiddenTop(m_nBandHeight);
    SetOwnNonClient(TRUE);
    m_sysMenu.CreatePopupMenu();
    for (UINT id : {UINT(SC_RESTORE), UINT(SC_MOVE), UINT(SC_SIZE), UINT(SC_MINIMIZE), UINT(SC_MAXIMIZE)})
        m_sysMenu.AppendMenu(MF_STRING, id, std::string(res::String(id)));
    m_sysMenu.AppendMenu(MF_SEPARATOR);
    m_sysMenu.AppendMenu(MF_STRING, SC_CLOSE, std::string(res::String(SC_CLOSE)));
}

CZunFrameWnd::~CZunFrameWnd() = default;

HWND CZunFrameWnd::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    // The system draws no frame: the caption and borders are ours.
    return new CWndWidget(parent, Qt::Window | Qt::FramelessWindowHint);
}

BOOL CZunFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style |= 0x0001 | 0x0002;
    // Toggled off the default frame style: the title shows no document name.
    cs.style ^= FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
}

BOOL CZunFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    if (!CFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext))
        return FALSE;
    DWORD style = GetStyle();
    m_bHasClose = (style & WS_SYSMENU) != 0;
    m_bHasMinimize = (style & WS_MINIMIZEBOX) != 0;
    m_bHasMaximize = (style & WS_MAXIMIZEBOX) != 0;
    if (m_kept.frame)
        RestorePlacement(kPreferenceSection, m_kept.frame);
    return TRUE;
}

BOOL CZunFrameWnd::PreTranslateMessage(MSG* pMsg)
{
    if (m_pMenuBar && m_pMenuBar->TranslateFrameMessage(pMsg))
        return TRUE;
    if (CFrameWnd::PreTranslateMessage(pMsg))
        return TRUE;
    return m_accel.Translate(pMsg) != 0;
}

void CZunFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    if (m_bDocumentInTitle)
        ShowTitle(GetActiveDocument());
    else
        CFrameWnd::OnUpdateFrameTitle(bAddToTitle);
}

LRESULT CZunFrameWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCPAINT) {
        DrawCaption(m_bActive);
        return 1;
    }
    return CFrameWnd::DefWindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Geometry

CRect CZunFrameWnd::GetBaseRect() const
{
    CRect w;
    GetWindowRect(&w);
    return CRect(0, m_nBandHeight, w.Width(), w.Height());
}

CRect CZunFrameWnd::GetCaptionRect() const
{
    CRect r = GetBaseRect();
    r.DeflateRect(GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
    r.DeflateRect(GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME));
    r.InflateRect(1, 0);
    r.bottom = r.top + GetSystemMetrics(SM_CYSIZE);
    return r;
}

CRect CZunFrameWnd::GetIconBox() const
{
    CRect cap = GetCaptionRect();
    int top = cap.top + 1 + (cap.Height() - 16) / 2;
    return CRect(cap.left + 1, top, cap.left + 17, top + 16);
}

CRect CZunFrameWnd::GetButtonBox(Button which) const
{
    CRect w;
    GetWindowRect(&w);
    int f = (GetStyle() & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME);
    int R = w.Width() - f;
    int top = GetIconBox().top;
    switch (which) {
    case kMinimize: return CRect(R - 52, top, R - 36, top + 16);
    case kMaximize: return CRect(R - 36, top, R - 20, top + 16);
    // The close button keeps its place whether or not the other two are there.
    case kClose: return CRect(R - 18, top, R - 2, top + 16);
    default: return CRect();
    }
}

BOOL CZunFrameWnd::HasButton(Button which) const
{
    DWORD style = GetStyle();
    switch (which) {
    case kMinimize: return m_bHasMinimize || (style & WS_MINIMIZEBOX);
    case kMaximize: return m_bHasMaximize || (style & WS_MAXIMIZEBOX);
    case kClose: return m_bHasClose || (style & WS_SYSMENU);
    default: return FALSE;
    }
}

CRect CZunFrameWnd::ToScreen(const CRect& r) const
{
    CRect w;
    GetWindowRect(&w);
    CRect s = r;
    s.OffsetRect(w.left, w.top);
    return s;
}

CZunFrameWnd::Button CZunFrameWnd::ButtonAt(CPoint screen) const
{
    for (Button b : {kMinimize, kMaximize, kClose})
        if (HasButton(b) && ToScreen(GetButtonBox(b)).PtInRect(screen))
            return b;
    return kNone;
}

// ---------------------------------------------------------------------------
// Drawing

void CZunFrameWnd::OnNcPaint() { DrawCaption(m_bActive); }

void CZunFrameWnd::DrawCaption(BOOL bActive)
{
    if (!IsPainting()) {
        // Drawing happens in the next paint.
        RedrawNonClient();
        return;
    }
    CWindowDC dc(this);
    CRect base = GetBaseRect();
    if (base.IsRectNull())
        return;
    const COLORREF light = GetSchemeSysColor(10), dark = SchemeColorDeepBlue, face = GetSchemeSysColor(15);
    if (!base.IsRectEmpty()) {
        CRect r = base;
        for (int i = 0; i < GetSystemMetrics(SM_CXBORDER) + 2; ++i) {
            dc.Draw3dRect(&r, light, dark);
            r.DeflateRect(1, 1);
        }
        CRect in = base;
        in.DeflateRect(2 + GetSystemMetrics(SM_CXBORDER), 2 + GetSystemMetrics(SM_CYBORDER));
        const int top = GetSystemMetrics(SM_CYFRAME) - 2, side = GetSystemMetrics(SM_CXFRAME) - 3,
                  bottom = GetSystemMetrics(SM_CYFRAME) - 3;
        dc.FillSolidRect(in.left, in.top, in.Width(), top, face);
        dc.FillSolidRect(in.left, in.top, side, in.Height(), face);
        dc.FillSolidRect(in.right - side, in.top, side, in.Height(), face);
        dc.FillSolidRect(in.left, in.bottom - bottom, in.Width(), bottom, face);
    }
    DrawCaptionBand(&dc, GetCaptionRect(), GetFrameCaptionFont(), bActive, GetWindowText());
    DrawButtons(&dc);
}

void CZunFrameWnd::DrawButtons(CDC* pDC)
{
    if (m_nSystemIcon)
        DrawResIcon(pDC, GetIconBox().left, GetIconBox().top, m_nSystemIcon, GetIconBox().Size());
    if (HasButton(kMinimize)) {
        CRect b = GetButtonBox(kMinimize);
        DrawResIcon(pDC, b.left, b.top, m_bPressed[kMinimize] ? IDI_MINIMIZE_PRESSED : IDI_MINIMIZE);
    }
    if (HasButton(kMaximize)) {
        CRect b = GetButtonBox(kMaximize);
        UINT id = IsZoomed() ? (m_bPressed[kMaximize] ? IDI_RESTORE_PRESSED : IDI_RESTORE)
                             : (m_bPressed[kMaximize] ? IDI_MAXIMIZE_PRESSED : IDI_MAXIMIZE);
        DrawResIcon(pDC, b.left, b.top, id);
    }
    if (HasButton(kClose)) {
        CRect b = GetButtonBox(kClose);
        DrawResIcon(pDC, b.left, b.top, m_bPressed[kClose] ? IDI_CLOSE_PRESSED : IDI_CLOSE);
    }
}

// ---------------------------------------------------------------------------
// Non-client messages

void CZunFrameWnd::OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p)
{
    CFrameWnd::OnNcCalcSize(bCalcValidRects, p);
    if (bCalcValidRects)
        p->rgrc[0].top += m_nBandHeight;
}

void CZunFrameWnd::OnGetMinMaxInfo(MINMAXINFO* p)
{
    CFrameWnd::OnGetMinMaxInfo(p);
    p->ptMaxSize.y += m_nBandHeight;
    p->ptMinTrackSize.y += m_nBandHeight;
    p->ptMaxTrackSize.y += m_nBandHeight;
}

LRESULT CZunFrameWnd::OnNcHitTest(CPoint point)
{
    CRect w;
    GetWindowRect(&w);
    const int B = m_nBandHeight;
    const int F = (GetStyle() & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME);
    if (ToScreen(GetIconBox()).PtInRect(point))
        return HTSYSMENU;
    for (Button b : {kMinimize, kMaximize, kClose})
        if (ToScreen(GetButtonBox(b)).PtInRect(point))
            return HTCAPTION;
    CRect cap = ToScreen(GetCaptionRect());
    cap.top = w.top + B + F;
    cap.right = w.right - F;
    if (cap.PtInRect(point))
        return HTCAPTION;
    if (CRect(w.left, w.top + B, w.left + 16, w.top + B + 16).PtInRect(point))
        return HTTOPLEFT;
    if (CRect(w.left + 16, w.top + B, w.right - 16, w.top + B + F).PtInRect(point))
        return HTTOP;
    if (CRect(w.right - 16, w.top + B, w.right, w.top + B + 16).PtInRect(point))
        return HTTOPRIGHT;
    return CFrameWnd::OnNcHitTest(point);
}

void CZunFrameWnd::OnNcLButtonDown(UINT nHitTest, CPoint point)
{
    m_ptPress = point;
    if (ToScreen(GetIconBox()).PtInRect(point)) {
        CRect icon = ToScreen(GetIconBox());
        m_sysMenu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, icon.left, icon.bottom, this);
        return;
    }
    Button b = ButtonAt(point);
    if (b != kNone) {
        m_nPressStart = b;
        m_bPressed[b] = TRUE;
        RedrawNonClient();
        SetCapture();
        return;
    }
    CFrameWnd::OnNcLButtonDown(nHitTest, point);
}

void CZunFrameWnd::OnMouseMove(UINT nFlags, CPoint point)
{
    if (GetCapture() != this || m_nPressStart == kNone) {
        CFrameWnd::OnMouseMove(nFlags, point);
        return;
    }
    ClientToScreen(&point);
    BOOL over = ButtonAt(point) == m_nPressStart;
    if (m_bPressed[m_nPressStart] != over) {
        m_bPressed[m_nPressStart] = over;
        RedrawNonClient();
    }
}

void CZunFrameWnd::OnLButtonUp(UINT nFlags, CPoint point)
{
    if (GetCapture() != this || m_nPressStart == kNone) {
        CFrameWnd::OnLButtonUp(nFlags, point);
        return;
    }
    ReleaseCapture();
    Button start = m_nPressStart;
    m_nPressStart = kNone;
    m_bPressed[kMinimize] = m_bPressed[kMaximize] = m_bPressed[kClose] = FALSE;
    RedrawNonClient();
    ClientToScreen(&point);
    m_ptPress = CPoint(-1, -1);
    if (ButtonAt(point) != start)
        return;
    switch (start) {
    case kMinimize: ShowWindow(SW_SHOWMINIMIZED); break;
    case kMaximize: ShowWindow(IsZoomed() ? SW_RESTORE : SW_MAXIMIZE); break;
    case kClose: PostMessage(WM_CLOSE); break;
    default: break;
    }
}

void CZunFrameWnd::OnNcLButtonDblClk(UINT nHitTest, CPoint point)
{
    if (ToScreen(GetCaptionRect()).PtInRect(point)) {
        ShowWindow(IsZoomed() ? SW_RESTORE : SW_MAXIMIZE);
        return;
    }
    CFrameWnd::OnNcLButtonDblClk(nHitTest, point);
}

BOOL CZunFrameWnd::OnNcActivate(BOOL bActive)
{
    BOOL r = CFrameWnd::OnNcActivate(bActive);
    m_bActive = bActive;
    DrawCaption(m_bActive);
    return r;
}

void CZunFrameWnd::OnActivate(UINT nState, CWnd* pOther, BOOL bMinimized)
{
    CFrameWnd::OnActivate(nState, pOther, bMinimized);
    if (nState == WA_ACTIVE) {
        Invalidate();
        UpdateWindow();
    }
}

void CZunFrameWnd::OnSettingChange(UINT uFlags, const char* lpszSection)
{
    CFrameWnd::OnSettingChange(uFlags, lpszSection);
    RemakeFrameCaptionFont();
    RedrawNonClient();
}

void CZunFrameWnd::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CFrameWnd::OnShowWindow(bShow, nStatus);
    DrawCaption(m_bActive);
}

void CZunFrameWnd::OnSize(UINT nType, int cx, int cy)
{
    CFrameWnd::OnSize(nType, cx, cy);
    // The visible window is the base rectangle: nothing to cut away.
    RedrawNonClient();
    Invalidate();
}

// ---------------------------------------------------------------------------
// System menu

void CZunFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
{
    if (pPopupMenu != &m_sysMenu) {
        CFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
        return;
    }
    const BOOL zoomed = IsZoomed(), iconic = IsIconic();
    auto gray = [&](UINT id, BOOL off) { m_sysMenu.EnableMenuItem(id, off ? MF_GRAYED : MF_ENABLED); };
    gray(SC_RESTORE, !(zoomed || iconic));
    gray(SC_MOVE, zoomed);
    gray(SC_SIZE, zoomed);
    gray(SC_MAXIMIZE, zoomed);
    gray(SC_MINIMIZE, iconic);
    gray(SC_CLOSE, FALSE);
}

void CZunFrameWnd::OnSysRestore() { ShowWindow(SW_RESTORE); }
void CZunFrameWnd::OnSysMinimize() { ShowWindow(SW_SHOWMINIMIZED); }
void CZunFrameWnd::OnSysMaximize() { ShowWindow(SW_MAXIMIZE); }
void CZunFrameWnd::OnSysMove() { SendMessage(WM_SYSCOMMAND, SC_MOVE, MAKELPARAM(m_ptPress.x, m_ptPress.y)); }
void CZunFrameWnd::OnSysSize() { SendMessage(WM_SYSCOMMAND, SC_SIZE, MAKELPARAM(m_ptPress.x, m_ptPress.y)); }
void CZunFrameWnd::OnSysClose() { PostMessage(WM_CLOSE); }

void CZunFrameWnd::RestorePlacement(std::string_view section, std::string_view value)
{
    RECT stored{};
    if (!RegReadRectAt(section, value, stored) || !IsRectOnDisplay(stored))
        return;
    const CRect r(stored);
    m_hWnd->resize(r.Width(), r.Height());
    m_hWnd->move(r.left, r.top);
}

void CZunFrameWnd::ShowBar(CControlBar& bar, BOOL show)
{
    bar.ShowWindow(show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
}

BOOL CZunFrameWnd::CreateFrameMenuBar(CMenuBar& bar, UINT nBarId, UINT nMenuId, DWORD dwPlace)
{
    bar.m_crBack = GetSchemeSysColor(4);
    const DWORD style = WS_CHILD | WS_VISIBLE | dwPlace | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_FIXED;
    if (!bar.Create(this, style, 0, 0, 0, 0, nBarId) || !bar.LoadFrameMenu(nMenuId))
        return FALSE;
    bar.SetBorders(4, 2, 4, 2);
    SetMenuBar(&bar);
    return TRUE;
}

void CZunFrameWnd::GetMessageString(UINT nID, std::string& rMessage) const
{
    if (CHoverHelp* help = GetHoverHelp(); help && help->OnMessageString(nID))
        rMessage.clear();
    else
        CFrameWnd::GetMessageString(nID, rMessage);
}

// ---------------------------------------------------------------------------
// Kept settings and bars

void CZunFrameWnd::SaveBarState()
{
    if (!m_hWnd || !m_kept.frame)
        return;
    RegWriteInt(IDS_REG_PREFERENCE, m_kept.toolBar, m_bToolBarShown ? 1 : 0);
    RegWriteInt(IDS_REG_PREFERENCE, m_kept.statusBar, m_bStatBarShown ? 1 : 0);
    RegSaveWindowRectAt(m_hWnd, kPreferenceSection, m_kept.frame);
}

void CZunFrameWnd::ShowKeptBars(CControlBar& toolBar, CControlBar& statusBar)
{
    m_pToolBar = &toolBar;
    m_pStatusBar = &statusBar;
    if (m_kept.frame) {
        m_bToolBarShown = RegReadInt(IDS_REG_PREFERENCE, m_kept.toolBar, 1) != 0;
        m_bStatBarShown = RegReadInt(IDS_REG_PREFERENCE, m_kept.statusBar, 1) != 0;
    }
    toolBar.ShowWindow(m_bToolBarShown ? SW_SHOW : SW_HIDE);
    statusBar.ShowWindow(m_bStatBarShown ? SW_SHOW : SW_HIDE);
    RecalcLayout();
}

void CZunFrameWnd::OnViewToolBar()
{
    m_bToolBarShown = !m_bToolBarShown;
    if (m_pToolBar)
        ShowBar(*m_pToolBar, m_bToolBarShown);
}

void CZunFrameWnd::OnViewStatusBar()
{
    m_bStatBarShown = !m_bStatBarShown;
    if (m_pStatusBar)
        ShowBar(*m_pStatusBar, m_bStatBarShown);
}

void CZunFrameWnd::OnUpdateViewToolBar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bToolBarShown ? 1 : 0); }
void CZunFrameWnd::OnUpdateViewStatusBar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bStatBarShown ? 1 : 0); }

void CZunFrameWnd::OnClose()
{
    SaveBarState();
    CFrameWnd::OnClose();
}

BOOL CZunFrameWnd::DestroyWindow()
{
    SaveBarState();
    return CFrameWnd::DestroyWindow();
}

void CZunFrameWnd::OnDestroy()
{
    // The menu bar goes with the frame's children.
    SetMenuBar(nullptr);
    CFrameWnd::OnDestroy();
}
