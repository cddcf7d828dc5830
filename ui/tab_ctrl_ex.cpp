#include "ui/tab_ctrl_ex.h"

#include "platform/gdi/dc.h"

IMPLEMENT_DYNAMIC(CTabCtrlEx, CTabCtrl)

CTabCtrlEx::CTabCtrlEx() : m_crBack(GetSysColor(COLOR_3DFACE)), m_crBand(GetSysColor(COLOR_3DFACE)) {}

BOOL CTabCtrlEx::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CTabCtrl::Create(dwStyle | TCS_OWNERDRAWFIXED, rect, pParent, nID);
}

BOOL CTabCtrlEx::OnEraseBkgnd(CDC* pDC)
{
    if (!pDC)
        return FALSE;
    CRect all;
    for (int i = 0; i < GetItemCount(); ++i) {
        CRect r;
        GetItemRect(i, &r);
        all.UnionRect(all, r);
    }
    CRect client;
    GetClientRect(&client);
    pDC->FillSolidRect(&client, m_crBack);
    pDC->FillSolidRect(client.left, client.top, client.Width(), all.bottom - client.top, m_crBand);
    for (int i = 0; i < GetItemCount(); ++i) {
        CRect r;
        GetItemRect(i, &r);
        pDC->FillSolidRect(&r, m_crBack);
    }
    return TRUE;
}

void CTabCtrlEx::DrawItem(LPDRAWITEMSTRUCT dis)
{
    if (!dis || !dis->pDC)
        return;
    TCITEM item;
    item.mask = TCIF_TEXT;
    GetItem(int(dis->itemID), &item);
    std::string text = item.pszText.substr(0, 256);
    CRect r(dis->rcItem);
    if (!(dis->itemState & ODS_SELECTED))
        r.top += 3;
    COLORREF oldText = dis->pDC->SetTextColor(COLORREF(dis->itemData));
    COLORREF oldBk = dis->pDC->SetBkColor(m_crBack);
    dis->pDC->DrawText(text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    dis->pDC->SetBkColor(oldBk);
    dis->pDC->SetTextColor(oldText);
}
