#include "ui/accel_table.h"

#include "platform/framework/wnd.h"

void CAccelTable::Load(CWnd* pWnd, UINT nAccelId)
{
    m_pWnd = pWnd;
    m_hAccel = LoadAccelerators(nAccelId);
}

int CAccelTable::Translate(MSG* pMsg)
{
    if (!m_pWnd || !m_hAccel || !m_pWnd->m_hWnd)
        return 0;
    return TranslateAccelerator(m_pWnd->m_hWnd, m_hAccel, pMsg);
}
