#include "platform/framework/paint_dc.h"

#include <QPainter>

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd)
{
    m_painter = pWnd ? pWnd->GetPaintPainter() : nullptr;
    if (m_painter) {
        m_painter->save();
        CRect ins = pWnd->GetNonClientInsets();
        m_painter->translate(ins.left, ins.top - pWnd->GetHiddenTop());
        pWnd->GetClientRect(&m_rcPaint);
    }
}

CPaintDC::~CPaintDC()
{
    if (m_painter)
        m_painter->restore();
}
