#include "platform/framework/frame_wnd.h"

#include "platform/framework/control_bar.h"
#include "platform/framework/document.h"
#include "platform/framework/menu.h"
#include "platform/framework/win_app.h"
#include "platform/framework/wnd_bridge.h"
#include "resources/string_table.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_MESSAGE(WM_MENUSELECT, &CFrameWnd::OnMenuSelect)
    ON_MESSAGE(WM_EXITMENULOOP, &CFrameWnd::OnExitMenuLoop)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() { m_crDefaultBack = GetSysColor(COLOR_3DFACE); }

CFrameWnd::~CFrameWnd()
{
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) { return CWnd::PreCreateWindow(cs); }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    m_nIDHelp = nIDResource;
    std::string title(res::String(nIDResource));
    title = title.substr(0, title.find('\n'));
    m_strTitle = title;
    // Place and size are the desktop's unless the frame's PreCreateWindow gives them.
    return Create(nullptr, title, dwDefaultStyle & ~WS_VISIBLE, CRect(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0), pParentWnd, 0,
                  pContext);
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!OnCreateClient(lpcs, static_cast<CCreateContext*>(lpcs->lpCreateParams)))
        return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext)
{
    if (pContext && pContext->m_pNewViewClass)
        return CreateView(pContext, AFX_IDW_PANE_FIRST) != nullptr;
    return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID)
{
    if (!pContext || !pContext->m_pNewViewClass)
        return nullptr;
    CObject* obj = pContext->m_pNewViewClass->CreateObject();
    auto* wnd = dynamic_cast<CWnd*>(obj);
    if (!wnd) {
        delete obj;
        return nullptr;
    }
    if (!wnd->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, nID, pContext)) {
        delete wnd; // a view that failed its creation never gets PostNcDestroy
        return nullptr;
    }
    return wnd;
}

void CFrameWnd::AddControlBar(CControlBar* pBar)
{
    if (std::find(m_bars.begin(), m_bars.end(), pBar) == m_bars.end())
        m_bars.push_back(pBar);
}

void CFrameWnd::RemoveControlBar(CControlBar* pBar) { m_bars.erase(std::remove(m_bars.begin(), m_bars.end(), pBar), m_bars.end()); }

CControlBar* CFrameWnd::GetControlBar(UINT nID) const
{
    for (CControlBar* b : m_bars)
        if (UINT(b->GetDlgCtrlID()) == nID)
            return b;
    return nullptr;
}

void CFrameWnd::RecalcLayout(BOOL)
{
    if (!m_hWnd || m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = TRUE;
    CRect rc;
    GetClientRect(&rc);
    for (CControlBar* bar : m_bars) {
        if (!bar->m_hWnd || !bar->IsVisible())
            continue;
        CSize sz = bar->CalcFixedLayout(TRUE, TRUE);
        // A bar that may sit at the top or the bottom (the menu bar) takes the top.
        const DWORD align = bar->GetBarStyle() & CBRS_ALIGN_ANY;
        if ((align & CBRS_ALIGN_BOTTOM) && !(align & CBRS_ALIGN_TOP)) {
            bar->MoveWindow(rc.left, rc.bottom - sz.cy, rc.Width(), sz.cy);
            rc.bottom -= sz.cy;
        } else {
            bar->MoveWindow(rc.left, rc.top, rc.Width(), sz.cy);
            rc.top += sz.cy;
        }
    }
    if (CWnd* pane = GetDlgItem(AFX_IDW_PANE_FIRST))
        pane->MoveWindow(rc.left, rc.top, std::max(0L, long(rc.Width())), std::max(0L, long(rc.Height())));
    m_bInRecalcLayout = FALSE;
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify)
{
    CView* old = m_pViewActive;
    if (old == pViewNew)
        return;
    m_pViewActive = pViewNew;
    if (bNotify && old)
        old->OnActivateView(FALSE, pViewNew, old);
    if (bNotify && pViewNew)
        pViewNew->OnActivateView(TRUE, pViewNew, old);
}

CDocument* CFrameWnd::GetActiveDocument() { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible)
{
    if (!m_pViewActive)
        if (auto* v = dynamic_cast<CView*>(GetDlgItem(AFX_IDW_PANE_FIRST)))
            SetActiveView(v, FALSE);
    if (pDoc)
        for (CView* v : std::vector<CView*>(pDoc->GetViews()))
            if (v->GetParentFrame() == this)
                v->OnInitialUpdate();
    OnUpdateFrameTitle(TRUE);
    if (bMakeVisible)
        ActivateFrame();
    UpdateCommandUI();
}

void CFrameWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1)
        nCmdShow = IsIconic() ? SW_RESTORE : SW_SHOW;
    ShowWindow(nCmdShow);
    if (m_hWnd) {
        m_hWnd->raise();
        m_hWnd->activateWindow();
    }
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    CDocument* doc = GetActiveDocument();
    ShowTitle(bAddToTitle && (GetStyle() & FWS_ADDTOTITLE) ? doc : nullptr);
}

void CFrameWnd::ShowTitle(CDocument* doc)
{
    std::string title = m_strTitle;
    if (doc && !doc->GetTitle().empty())
        title = doc->GetTitle() + " - " + m_strTitle;
    if (title != GetWindowText())
        SetWindowText(title);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra))
        return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode, pExtra))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra);
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    QPointer<QWidget> self = m_hWnd;
    BOOL r = CWnd::OnCommand(wParam, lParam);
    if (self && IsWindow(self))
        DelayUpdateCommandUI();
    return r;
}

void CFrameWnd::UpdateCommandUI()
{
    m_bUpdatePending = FALSE;
    for (CControlBar* bar : std::vector<CControlBar*>(m_bars))
        if (bar->m_hWnd)
            bar->OnUpdateCmdUI(this, TRUE);
}

void CFrameWnd::DelayUpdateCommandUI()
{
    if (m_bUpdatePending || !m_hWnd)
        return;
    m_bUpdatePending = TRUE;
    QPointer<QWidget> w = m_hWnd;
    QTimer::singleShot(0, m_hWnd, [this, w]() {
        if (w && CWnd::FromHandlePermanent(w) == this)
            UpdateCommandUI();
    });
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
{
    CWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
    if (bSysMenu || !pPopupMenu)
        return;
    // The update handlers set each command's state before the popup shows.
    // A handler may put items in or take them out (the recent-file list
    // does): it moves the index and the count along.
    CMenuCmdUI state;
    state.m_pMenu = pPopupMenu;
    state.m_nIndexMax = UINT(pPopupMenu->GetMenuItemCount());
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        const CMenu::Item& item = pPopupMenu->Items()[state.m_nIndex];
        if (item.flags & (MF_SEPARATOR | MF_POPUP))
            continue;
        state.m_nID = item.id;
        state.m_bEnableChanged = FALSE;
        state.DoUpdate(this, TRUE);
    }
}

void CFrameWnd::OnActivate(UINT nState, CWnd* pOther, BOOL bMinimized)
{
    CWnd::OnActivate(nState, pOther, bMinimized);
    if (nState != WA_INACTIVE)
        DelayUpdateCommandUI();
}

void CFrameWnd::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CWnd::OnShowWindow(bShow, nStatus);
    if (bShow)
        DelayUpdateCommandUI();
}

void CFrameWnd::OnClose()
{
    CWinApp* app = AfxGetApp();
    CDocument* doc = GetActiveDocument();
    if (app && app->m_pMainWnd == this) {
        // The main window takes every document with it.
        if (!app->SaveAllModified())
            return;
        QPointer<QWidget> self = m_hWnd;
        app->CloseAllDocuments(FALSE);
        if (!self || !IsWindow(self))
            return;
    } else if (doc && !doc->CanCloseFrame(this)) {
        return;
    }
    DestroyWindow();
}

void CFrameWnd::OnDestroy()
{
    m_pViewActive = nullptr;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        app->EndRun();
    }
    CWnd::OnDestroy();
}

void CFrameWnd::PostNcDestroy()
{
    // Frames live on the heap and go with their window.
    delete this;
}

void CFrameWnd::GetMessageString(UINT nID, std::string& rMessage) const { rMessage = std::string(res::PromptPart(nID)); }

void CFrameWnd::SetMessageText(UINT nID)
{
    auto* bar = dynamic_cast<CStatusBar*>(GetControlBar(AFX_IDW_STATUS_BAR));
    if (!bar || !bar->m_hWnd)
        return;
    std::string text;
    GetMessageString(nID, text);
    bar->SetPaneText(0, text);
}

LRESULT CFrameWnd::OnMenuSelect(WPARAM wParam, LPARAM)
{
    const UINT id = LOWORD(DWORD(wParam));
    // Cascades have no prompt of their own.
    if (id && !(HIWORD(DWORD(wParam)) & MF_POPUP))
        SetMessageText(id);
    return 0;
}

LRESULT CFrameWnd::OnExitMenuLoop(WPARAM, LPARAM)
{
    SetMessageText(kIdleMessageId);
    return 0;
}
