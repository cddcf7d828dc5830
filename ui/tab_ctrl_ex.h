#pragma once

#include "platform/framework/controls.h"

// An owner-drawn tab control with a settable background and per-tab text
// colours (each tab's item data is its text colour).
class CTabCtrlEx : public CTabCtrl {
    DECLARE_DYNAMIC(CTabCtrlEx)
public:
    CTabCtrlEx();
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    COLORREF m_crBack;
    COLORREF m_crBand;

protected:
    BOOL OnEraseBkgnd(CDC* pDC) override;
};
