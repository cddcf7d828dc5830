#include "platform/framework/wnd.h"

#include <QPainter>
#include <QWidget>

// The background erase before a window paints.

void CWnd::EraseForPaint()
{
    OnEraseBkgnd(nullptr);
}

BOOL CWnd::OnEraseBkgnd(CDC*)
{
    QPainter* p = GetPaintPainter();
    if (!p)
        return FALSE;
    CRect rc;
    GetClientRect(&rc);
    QPoint o(m_ncInsets.left, m_ncInsets.top - m_nHiddenTop);
    p->fillRect(QRect(o.x(), o.y(), rc.Width(), rc.Height()),
                QColor(GetRValue(m_crDefaultBack), GetGValue(m_crDefaultBack), GetBValue(m_crDefaultBack)));
    return TRUE;
}
