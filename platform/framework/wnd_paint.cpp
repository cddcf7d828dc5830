#include "platform/framework/paint_dc.h"
#include "platform/framework/wnd.h"

// The background erase before a window paints.

void CWnd::EraseForPaint()
{
    CPaintDC dc(this);
    OnEraseBkgnd(&dc);
}

BOOL CWnd::OnEraseBkgnd(CDC* pDC)
{
    if (!pDC)
        return FALSE;
    CRect rc;
    GetClientRect(&rc);
    pDC->FillSolidRect(&rc, m_crDefaultBack);
    return TRUE;
}
