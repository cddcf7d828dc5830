#include "platform/framework/view.h"

#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/paint_dc.h"

IMPLEMENT_DYNAMIC(CView, CWnd)

BEGIN_MESSAGE_MAP(CView, CWnd)
END_MESSAGE_MAP()

CView::CView() = default;

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return CWnd::PreCreateWindow(cs);
}

int CView::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    auto* ctx = static_cast<CCreateContext*>(lpcs->lpCreateParams);
    if (ctx && ctx->m_pCurrentDoc)
        ctx->m_pCurrentDoc->AddView(this);
    return 0;
}

void CView::OnPaint()
{
    CPaintDC dc(this);
    OnDraw(dc.GetDC());
}

void CView::OnDestroy()
{
    if (CFrameWnd* f = GetParentFrame(); f && f->GetActiveView() == this)
        f->SetActiveView(nullptr, FALSE);
    CWnd::OnDestroy();
}

void CView::PostNcDestroy()
{
    // Views live on the heap and go with their window.
    delete this;
}

void CView::OnLButtonDown(UINT nFlags, CPoint point)
{
    if (CFrameWnd* f = GetParentFrame())
        f->SetActiveView(this);
    CWnd::OnLButtonDown(nFlags, point);
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, LPARAM, CObject*) { Invalidate(); }

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra))
        return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode, pExtra);
}
