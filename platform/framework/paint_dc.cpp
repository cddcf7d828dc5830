#include "platform/framework/paint_dc.h"

#include <QPainter>

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd) { Begin(Origin::Client); }

CPaintDC::CPaintDC(CWnd* pWnd, Origin origin) : m_pWnd(pWnd) { Begin(origin); }

void CPaintDC::Begin(Origin origin)
{
    QPainter* p = m_pWnd ? m_pWnd->GetPaintPainter() : nullptr;
    if (!p) {
        m_scratch = QImage(1, 1, QImage::Format_RGB32);
        AttachDevice(&m_scratch);
        if (m_pWnd && origin == Origin::Window)
            m_pWnd->RedrawNonClient();
        else if (m_pWnd)
            m_pWnd->Invalidate();
        return;
    }
    p->save();
    m_saved = p;
    CRect ins = m_pWnd->GetNonClientInsets();
    if (origin == Origin::Client) {
        p->translate(ins.left, ins.top - m_pWnd->GetHiddenTop());
        m_pWnd->GetClientRect(&m_rcPaint);
    } else {
        p->translate(0, -m_pWnd->GetHiddenTop());
        m_pWnd->GetWindowRect(&m_rcPaint);
        m_rcPaint = CRect(0, 0, m_rcPaint.right - m_rcPaint.left, m_rcPaint.bottom - m_rcPaint.top);
    }
    AttachPainter(p);
}

CPaintDC::~CPaintDC()
{
    DeleteDC();
    if (m_saved)
        m_saved->restore();
}
