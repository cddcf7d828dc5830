#include "ui/menu_bar.h"

#include "platform/framework/frame_wnd.h"
#include "platform/framework/system_metrics.h"
#include "platform/gdi/dc.h"

#include <QCursor>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNAMIC(CMenuBar, CControlBar)

namespace {
CMenuBar* g_pTrackingBar = nullptr;
int g_nOpenMenuIndex = -1;
constexpr UINT_PTR kHotTimer = 1;
constexpr UINT kHotTimerPeriod = 100;

BOOL MenuMessageFilter(int code, MSG* pMsg)
{
    if (code != MSGF_MENU || !g_pTrackingBar)
        return FALSE;
    return g_pTrackingBar->OnMenuInput(pMsg);
}
} // namespace

UINT CMenuBar::WM_GETMENU()
{
    static const UINT msg = RegisterWindowMessage("CMenuBar::WM_GETMENU");
    return msg;
}

UINT CMenuBar::MB_SET_MENU_NULL()
{
    static const UINT msg = RegisterWindowMessage("CMenuBar::MB_SET_MENU_NULL");
    return msg;
}

CMenuBar* CMenuBar::GetTrackingBar() { return g_pTrackingBar; }
int CMenuBar::GetOpenMenuIndex() { return g_nOpenMenuIndex; }

CMenuBar::CMenuBar()
{
    m_cxLeftBorder = m_cxRightBorder = m_cyTopBorder = m_cyBottomBorder = 0;
}

CMenuBar::~CMenuBar()
{
    m_frameHook.HookWindow(nullptr);
    if (g_pTrackingBar == this)
        g_pTrackingBar = nullptr;
}

LRESULT CMenuBar::CFrameHook::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT r = 0;
    if (m_pBar && m_pBar->OnFrameMessage(msg, wParam, lParam, &r))
        return r;
    return CSubclassWnd::WindowProc(msg, wParam, lParam);
}

BOOL CMenuBar::Create(CWnd* pParent, DWORD dwStyle, int cxLeft, int cyTop, int cxRight, int cyBottom, UINT nID)
{
    SetBorders(cxLeft, cyTop, cxRight, cyBottom);
    m_dwBarStyle = dwStyle & 0x0040FFFF;
    m_dwCreateStyle = dwStyle;
    if (!CWnd::Create(nullptr, "MenuBar", (dwStyle & ~0x0040FFFFu) | WS_CHILD, CRect(0, 0, 100, 20), pParent, nID))
        return FALSE;
    RegisterWithFrame();
    return TRUE;
}

void CMenuBar::SetBorders(int cxLeft, int cyTop, int cxRight, int cyBottom)
{
    m_cxLeftBorder = cxLeft;
    m_cyTopBorder = cyTop;
    m_cxRightBorder = cxRight;
    m_cyBottomBorder = cyBottom;
    if (m_hWnd)
        RecalcNonClient();
}

int CMenuBar::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CControlBar::OnCreate(lpcs) == -1)
        return -1;
    // The bar takes over the menu messages of its frame (the owner frame when it has one).
    if (CWnd* frame = GetTrackFrame(); frame && frame->m_hWnd) {
        m_frameHook.m_pBar = this;
        m_frameHook.HookWindow(frame->m_hWnd);
    }
    UpdateMenuMetrics(false);
    return 0;
}

void CMenuBar::OnDestroy()
{
    m_items.clear();
    m_track.m_nCurIndex = -1;
    if (m_nTimer) {
        KillTimer(m_nTimer);
        m_nTimer = 0;
    }
    m_loadedMenu.DestroyMenu();
    m_hMenu = nullptr;
    CControlBar::OnDestroy();
}

// ---------------------------------------------------------------------------
// Menu and items

BOOL CMenuBar::LoadFrameMenu(UINT nMenuId)
{
    m_items.clear();
    m_track.m_nCurIndex = -1;
    m_track.m_nTrackState = CMenuBarTracker::kNone;
    m_hMenu = nullptr;
    if (!m_loadedMenu.LoadMenu(nMenuId))
        return FALSE;
    m_hMenu = &m_loadedMenu;
    RebuildItems();
    return TRUE;
}

CMenu* CMenuBar::SetMenu(CMenu* pMenu, CMenu* pWindowMenu)
{
    CMenu* old = m_hMenu;
    m_hMenu = pMenu;
    RebuildItems();
    if (pMenu) {
        m_hWindowMenu = pWindowMenu;
        RelayoutFrame();
    }
    return old;
}

void CMenuBar::RebuildItems()
{
    m_items.clear();
    m_track.m_nCurIndex = -1;
    m_track.m_nTrackState = CMenuBarTracker::kNone;
    if (!m_hMenu)
        return;
    UpdateMenuMetrics(false);
    const MenuBarMetrics& m = GetMenuBarMetrics();
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CFont* old = nullptr;
    if (CFont* f = GetMenuBarFont(false))
        old = dc.SelectObject(f);
    auto width = [&](const std::string& text, UINT extra) {
        CRect rc(0, 0, 0, 0);
        dc.DrawText(text, &rc, DT_SINGLELINE | DT_CALCRECT | extra);
        return int(rc.Width());
    };
    for (int i = 0; i < m_hMenu->GetMenuItemCount(); ++i) {
        const CMenu::Item& src = m_hMenu->Items()[size_t(i)];
        CMenu* popup = m_hMenu->GetSubMenu(i);
        int id = popup ? -1 : int(m_hMenu->GetMenuItemID(i));
        auto b = std::make_unique<CMenuBarButton>(src.text, popup, id, m_crBack);
        b->m_size = MenuButtonSize(width(src.text, 0), m);
        MenuMnemonic mn = ParseMnemonic(src.text);
        if (mn.pos != std::string::npos) {
            // The underline of vertical drawing: across the marked character, margin from the edge.
            int from = width(src.text.substr(0, mn.pos), DT_NOPREFIX) + 5;
            int to = width(src.text.substr(0, mn.pos) + src.text.substr(mn.pos + 1, mn.len), DT_NOPREFIX) + 5;
            b->m_ptUnderline[0] = CPoint(m.textMargin, from);
            b->m_ptUnderline[1] = CPoint(m.textMargin, to);
        }
        if (!m_bFrameActive)
            b->m_state |= MBS_INACTIVE;
        m_items.push_back(std::move(b));
    }
    if (old)
        dc.SelectObject(old);
    m_bCommitLayout = TRUE;
}

void CMenuBar::RelayoutFrame()
{
    Invalidate();
    if (CFrameWnd* f = GetParentFrame())
        f->RecalcLayout();
}

// ---------------------------------------------------------------------------
// Layout

CRect CMenuBar::CalcInsideRect(CRect rect, BOOL bHorz) const
{
    const MenuBarMetrics& m = GetMenuBarMetrics();
    const DWORD s = m_dwBarStyle;
    if (s & CBRS_BORDER_LEFT)
        rect.left += m.cxBorder2;
    if (s & CBRS_BORDER_TOP)
        rect.top += m.cyBorder2;
    if (s & CBRS_BORDER_RIGHT)
        rect.right -= m.cxBorder2;
    if (s & CBRS_BORDER_BOTTOM)
        rect.bottom -= m.cyBorder2;
    if (bHorz) {
        rect.left += m_cxLeftBorder;
        rect.top += m_cyTopBorder;
        rect.right -= m_cxRightBorder;
        rect.bottom -= m_cyBottomBorder;
        if ((s & CBRS_GRIPPER) && !IsFloating())
            rect.left += 7;
    } else {
        rect.left += m_cyTopBorder;
        rect.top += m_cxLeftBorder;
        rect.right -= m_cyBottomBorder;
        rect.bottom -= m_cxRightBorder;
        if ((s & CBRS_GRIPPER) && !IsFloating())
            rect.top += 7;
    }
    return rect;
}

CSize CMenuBar::CalcLayout(DWORD dwMode, int)
{
    const BOOL bHorz = (dwMode & LM_HORZ) != 0;
    CSize size(0, 0);
    if (!m_items.empty()) {
        if (bHorz)
            WrapMenuBarItems(m_items, 32767); // the bar never wraps: it spans the frame
        size = PlaceMenuBarItems(m_items, bHorz, GetMenuBarMetrics().menuHeight);
    }
    CRect in = CalcInsideRect(CRect(0, 0, 0, 0), bHorz);
    size.cx -= in.Width();
    size.cy -= in.Height();
    // The framework's least size for a bar: the whole length when stretched.
    if ((dwMode & LM_STRETCH) && bHorz)
        size.cx = std::max<LONG>(size.cx, 32767);
    if ((dwMode & LM_STRETCH) && !bHorz)
        size.cy = std::max<LONG>(size.cy, 32767);
    return size;
}

CSize CMenuBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz)
{
    return CalcLayout((bStretch ? DWORD(LM_STRETCH) : 0u) | (bHorz ? DWORD(LM_HORZ) : 0u), -1);
}

CSize CMenuBar::CalcDynamicLayout(int nLength, DWORD dwMode)
{
    if (nLength == -1 && !(dwMode & (LM_MRUWIDTH | LM_COMMIT)) && (dwMode & (LM_HORZDOCK | LM_VERTDOCK)))
        return CalcFixedLayout(dwMode & LM_STRETCH, dwMode & LM_HORZDOCK);
    return CalcLayout(dwMode, nLength);
}

void CMenuBar::CommitLayout()
{
    m_bCommitLayout = FALSE;
    if (IsFloating())
        CalcDynamicLayout(0, LM_HORZ | LM_MRUWIDTH | LM_COMMIT);
    else if (IsHorzDocked())
        CalcDynamicLayout(0, LM_HORZ | LM_HORZDOCK | LM_COMMIT);
    else
        CalcDynamicLayout(0, LM_VERTDOCK | LM_COMMIT);
}

void CMenuBar::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* p)
{
    CRect in = CalcInsideRect(CRect(0, 0, 0, 0), IsHorzDocked());
    p->rgrc[0].left += in.left;
    p->rgrc[0].top += in.top;
    p->rgrc[0].right += in.right;
    p->rgrc[0].bottom += in.bottom;
}

LRESULT CMenuBar::OnNcHitTest(CPoint) { return HTCLIENT; }

void CMenuBar::OnUpdateCmdUI(CFrameWnd*, BOOL) {}

// ---------------------------------------------------------------------------
// Drawing

BOOL CMenuBar::OnEraseBkgnd(CDC* pDC)
{
    if (m_crBack == 0xFFFFFFFF)
        return CControlBar::OnEraseBkgnd(pDC);
    return TRUE; // the paint fills the whole window in the bar's colour
}

void CMenuBar::DrawBorders(CDC* pDC, const CRect& rc)
{
    if (!(m_dwCreateStyle & 0x01000000))
        return; // the framework's bars draw no border lines of their own
    const DWORD s = m_dwBarStyle;
    auto line = [&](int x1, int y1, int x2, int y2, int color) {
        pDC->FillSolidRect(x1, y1, std::max(1, x2 - x1), std::max(1, y2 - y1), GetSysColor(color));
    };
    if (s & CBRS_BORDER_LEFT)
        line(rc.left, rc.top, rc.left + 1, rc.bottom, COLOR_BTNFACE);
    if (s & CBRS_BORDER_TOP)
        line(rc.left, rc.top, rc.right, rc.top + 1, COLOR_BTNFACE);
    if (s & CBRS_BORDER_RIGHT)
        line(rc.right - 1, rc.top, rc.right, rc.bottom, COLOR_BTNSHADOW);
    if (s & CBRS_BORDER_BOTTOM)
        line(rc.left, rc.bottom - 1, rc.right, rc.bottom, COLOR_BTNSHADOW);
    if (s & CBRS_BORDER_3D) {
        if (s & CBRS_BORDER_LEFT)
            line(rc.left + 1, rc.top + 1, rc.left + 2, rc.bottom - 1, COLOR_BTNHIGHLIGHT);
        if (s & CBRS_BORDER_TOP)
            line(rc.left + 1, rc.top + 1, rc.right - 1, rc.top + 2, COLOR_BTNHIGHLIGHT);
        if (s & CBRS_BORDER_RIGHT)
            line(rc.right - 2, rc.top + 1, rc.right - 1, rc.bottom - 1, COLOR_BTNFACE);
        if (s & CBRS_BORDER_BOTTOM)
            line(rc.left + 1, rc.bottom - 2, rc.right - 1, rc.bottom - 1, COLOR_BTNFACE);
    }
    if ((s & CBRS_GRIPPER) && !IsFloating()) {
        if (IsHorzDocked())
            pDC->Draw3dRect(rc.left + 2, rc.top + m_cyTopBorder, 3, rc.Height() - m_cyTopBorder - m_cyBottomBorder,
                            GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
        else
            pDC->Draw3dRect(rc.left + m_cyTopBorder, rc.top + 2, rc.Width() - m_cyTopBorder - m_cyBottomBorder, 3,
                            GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    }
}

void CMenuBar::OnPaint()
{
    QPainter* p = GetPaintPainter();
    if (!p)
        return;
    const COLORREF back = m_crBack == 0xFFFFFFFF ? GetSysColor(COLOR_3DFACE) : m_crBack;
    const CRect ins = GetNonClientInsets();
    {
        // The non-client band: background, then the borders.
        CDC dc(p);
        CRect rcWindow(0, 0, m_hWnd->width(), m_hWnd->height());
        dc.FillSolidRect(&rcWindow, back);
        DrawBorders(&dc, rcWindow);
    }
    p->save();
    p->translate(ins.left, ins.top);
    {
        CDC dc(p);
        DoPaint(&dc);
    }
    p->restore();
}

void CMenuBar::DoPaint(CDC* pDC)
{
    if (m_bCommitLayout)
        CommitLayout();
    for (auto& it : m_items)
        it->Draw(pDC);
}

void CMenuBar::RedrawMarks()
{
    m_track.m_dirty.clear();
    if (m_hWnd)
        m_hWnd->update();
}

// ---------------------------------------------------------------------------
// Tracking

void CMenuBar::SetTrackingState(int nState, int nIndex)
{
    m_track.SetTrackingState(nState, nIndex);
    RedrawMarks();
}

CWnd* CMenuBar::GetTrackFrame() const
{
    if (m_pOwner)
        return m_pOwner;
    return GetParent();
}

void CMenuBar::OnMouseMove(UINT nFlags, CPoint point)
{
    const int hit = m_track.HitTest(point);
    if (hit >= 0 && m_items[size_t(hit)]->IsSelectable()) {
        if (hit != m_track.m_nCurIndex) {
            SetTrackingState(CMenuBarTracker::kHot, hit);
            if (!m_nTimer)
                m_nTimer = SetTimer(kHotTimer, kHotTimerPeriod);
        }
    } else if (m_track.m_nTrackState != CMenuBarTracker::kNone) {
        SetTrackingState(CMenuBarTracker::kNone);
    }
    CControlBar::OnMouseMove(nFlags, point);
}

void CMenuBar::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kHotTimer) {
        CControlBar::OnTimer(nIDEvent);
        return;
    }
    if (m_track.m_nTrackState == CMenuBarTracker::kHot) {
        CRect rc;
        GetWindowRect(&rc);
        QPoint c = QCursor::pos();
        if (!rc.PtInRect(CPoint(c.x(), c.y()))) {
            SetTrackingState(CMenuBarTracker::kNone);
            KillTimer(kHotTimer);
            m_nTimer = 0;
        }
    }
}

void CMenuBar::OnLButtonDown(UINT nFlags, CPoint point)
{
    const int hit = m_track.HitTest(point);
    if (hit >= 0 && m_items[size_t(hit)]->IsSelectable()) {
        TrackPopupLoop(hit);
        return;
    }
    CControlBar::OnLButtonDown(nFlags, point);
}

void CMenuBar::OnLButtonUp(UINT nFlags, CPoint point) { CControlBar::OnLButtonUp(nFlags, point); }

void CMenuBar::TrackPopupLoop(int nIndex)
{
    if (nIndex < 0 || nIndex >= int(m_items.size()))
        return;
    QPointer<QWidget> alive = m_hWnd;
    m_track.BeginLoop(nIndex);
    while (m_track.m_bReopen) {
        UpdateWindow();
        m_track.BeginPopup();
        RedrawMarks();
        g_pTrackingBar = this;
        CMenu::MessageFilterProc oldFilter = CMenu::SetMessageFilter(&MenuMessageFilter);
        g_nOpenMenuIndex = m_track.m_nCurIndex;
        m_items[size_t(m_track.m_nCurIndex)]->TrackPopup(this, GetTrackFrame());
        CMenu::SetMessageFilter(oldFilter);
        g_pTrackingBar = nullptr;
        if (!alive || CWnd::FromHandlePermanent(alive) != this)
            return; // the command closed the frame
        if (m_track.m_nCurIndex < 0 || m_track.m_nCurIndex >= int(m_items.size()))
            break;
    }
    m_track.EndLoop();
    RedrawMarks();
}

BOOL CMenuBar::OnMenuInput(MSG* pMsg)
{
    CPoint pt(GET_X_LPARAM(pMsg->lParam), GET_Y_LPARAM(pMsg->lParam));
    if (pMsg->message != WM_KEYDOWN && pMsg->message != WM_SYSKEYDOWN)
        ScreenToClient(&pt);
    MenuBarStep step = m_track.OnMenuInput(pMsg->message, UINT(pMsg->wParam), pt);
    if (step.action == MenuBarAction::ClosePopup)
        CMenu::EndMenu();
    if (!m_track.m_dirty.empty())
        RedrawMarks();
    return step.eaten;
}

BOOL CMenuBar::TranslateFrameMessage(MSG* pMsg)
{
    if (!m_hWnd)
        return FALSE;
    UINT message = pMsg->message;
    const UINT vk = UINT(pMsg->wParam);
    // F10 alone comes as a plain key here; it is a system key, as Alt is.
    if (vk == VK_F10 && message == WM_KEYDOWN)
        message = WM_SYSKEYDOWN;
    else if (vk == VK_F10 && message == WM_KEYUP)
        message = WM_SYSKEYUP;
    const BOOL alt = (HIWORD(DWORD(pMsg->lParam)) & KF_ALTDOWN) != 0;
    const BOOL shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const BOOL ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const BOOL toBar = pMsg->hwnd == m_hWnd;
    m_track.m_bHorzDocked = IsHorzDocked();
    MenuBarStep step = m_track.TranslateFrameMessage(message, vk, alt, shift, ctrl, toBar);
    if (!m_track.m_dirty.empty())
        RedrawMarks();
    if (step.action == MenuBarAction::OpenPopup)
        TrackPopupLoop(step.index);
    return step.eaten;
}

BOOL CMenuBar::OnFrameMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (!m_hWnd)
        return FALSE;
    if (msg == WM_SYSCOLORCHANGE || msg == WM_SETTINGCHANGE) {
        UpdateMenuMetrics(true);
        RebuildItems();
        RelayoutFrame();
        return FALSE;
    }
    if (msg == WM_NCACTIVATE) {
        CWnd* frame = GetTrackFrame();
        // While its popup is open the frame stays active, as in the system's menu mode.
        BOOL active = wParam != 0 || g_pTrackingBar == this;
        if (frame && !frame->IsWindowEnabled())
            active = FALSE;
        if (active != m_bFrameActive) {
            for (auto& it : m_items) {
                if (active)
                    it->m_state &= BYTE(~MBS_INACTIVE);
                else
                    it->m_state |= MBS_INACTIVE;
            }
            m_bFrameActive = active;
            Invalidate();
        }
        return FALSE;
    }
    if (msg == WM_MENUSELECT) {
        if (g_pTrackingBar == this && m_track.m_nCurIndex >= 0 && m_track.m_nCurIndex < int(m_items.size())) {
            auto* open = dynamic_cast<CMenuBarButton*>(m_items[size_t(m_track.m_nCurIndex)].get());
            const BOOL submenu = (HIWORD(DWORD(wParam)) & MF_POPUP) != 0;
            const BOOL cascade = !open || reinterpret_cast<CMenu*>(lParam) != open->m_pPopup;
            m_track.OnMenuSelect(submenu, cascade);
        }
        return FALSE;
    }
    if (msg == WM_GETMENU()) {
        *pResult = reinterpret_cast<LRESULT>(m_hMenu);
        return TRUE;
    }
    return FALSE;
}

LRESULT CMenuBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The frames here never hold a menu of their own, so there is nothing to remove.
    if (msg == MB_SET_MENU_NULL())
        return 0;
    return CControlBar::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Opening an item

void CMenuBarButton::TrackPopup(CMenuBar* pBar, CWnd* pFrame)
{
    if (!pFrame)
        return;
    if (!m_pPopup) {
        pFrame->SendMessage(WM_COMMAND, WPARAM(UINT(m_nCmdId) & 0xFFFF), reinterpret_cast<LPARAM>(pBar->m_hWnd));
        return;
    }
    CRect rc = m_rect;
    pBar->ClientToScreen(&rc);
    const BOOL vertical = !pBar->IsHorzDocked();
    const CPoint at = vertical ? CPoint(rc.right + 1, rc.top - 1) : CPoint(rc.left - 1, rc.bottom);
    m_pPopup->TrackPopupMenu(0, at.x, at.y, pFrame);
}
