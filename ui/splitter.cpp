#include "ui/splitter.h"

#include "platform/gdi/dc.h"

IMPLEMENT_DYNCREATE(CSplitter, CSplitterWnd)

CSplitter::CSplitter() = default;

void CSplitter::SetBarColors(COLORREF face, COLORREF hilite, COLORREF shadow)
{
    m_crFace = face;
    m_crHilite = hilite;
    m_crShadow = shadow;
    Invalidate();
}

int CSplitter::GetColumnIdealWidth(int nCol) const
{
    return nCol >= 0 && nCol < int(m_pColInfo.size()) ? m_pColInfo[size_t(nCol)].nIdealSize : 0;
}

void CSplitter::RecalcLayout()
{
    if (m_pLayoutGuard && !m_pLayoutGuard->CanRecalcLayout())
        return;
    CSplitterWnd::RecalcLayout();
}

BOOL CSplitter::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (CSplitterWnd::OnNotify(wParam, lParam, pResult))
        return TRUE;
    if (CWnd* parent = GetParent()) {
        *pResult = parent->SendMessage(WM_NOTIFY, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

void CSplitter::ShowHiddenColumn()
{
    if (m_nHiddenCol < 0 || m_nCols >= int(m_pColInfo.size()))
        return;
    const int oldCols = m_nCols, hidden = std::min(m_nHiddenCol, oldCols);
    const int saved = m_pColInfo[size_t(oldCols)].nIdealSize;
    ++m_nCols;
    m_nHiddenCol = -1;
    for (int row = 0; row < m_nRows; ++row) {
        CWnd* parked = GetDlgItem(IdFromRowCol(row, oldCols));
        if (parked)
            parked->ShowWindow(SW_SHOWNA);
        // The panes from the hidden position on move one column right, the last first.
        for (int col = oldCols - 1; col >= hidden; --col)
            if (CWnd* pane = GetDlgItem(IdFromRowCol(row, col)); pane && pane != parked)
                pane->SetDlgCtrlID(IdFromRowCol(row, col + 1));
        if (parked)
            parked->SetDlgCtrlID(IdFromRowCol(row, hidden));
    }
    for (int col = oldCols; col > hidden; --col)
        m_pColInfo[size_t(col)].nIdealSize = m_pColInfo[size_t(col - 1)].nCurSize;
    m_pColInfo[size_t(hidden)].nIdealSize = saved;
    RecalcLayout();
}

BOOL CSplitter::ReplacePaneWindow(int nRow, int nCol, CWnd* pNew)
{
    if (m_nHiddenRow >= 0 && m_nHiddenRow <= nRow)
        --nRow;
    if (m_nHiddenCol >= 0 && m_nHiddenCol <= nCol)
        --nCol;
    if (!pNew || nRow < 0 || nCol < 0 || nRow >= m_nRows || nCol >= m_nCols)
        return FALSE;
    const int id = IdFromRowCol(nRow, nCol);
    if (CWnd* old = GetDlgItem(id); old && old != pNew) {
        old->SetDlgCtrlID(0);
        old->ShowWindow(SW_HIDE);
    }
    if (pNew->GetParent() != this)
        pNew->SetParent(this);
    pNew->SetDlgCtrlID(id);
    pNew->ShowWindow(SW_SHOW);
    // The sizes stay as they are.
    CRowColInfo& row = m_pRowInfo[size_t(nRow)];
    CRowColInfo& col = m_pColInfo[size_t(nCol)];
    if (row.nCurSize >= 0)
        row.nIdealSize = row.nCurSize;
    if (col.nCurSize >= 0)
        col.nIdealSize = col.nCurSize;
    RecalcLayout();
    return TRUE;
}

void CSplitter::OnSize(UINT nType, int cx, int cy)
{
    const bool fixedCol = m_nFixedCol >= 0 && m_nFixedCol < m_nCols;
    const bool fixedRow = m_nFixedRow >= 0 && m_nFixedRow < m_nRows;
    const int savedWidth = fixedCol ? m_pColInfo[size_t(m_nFixedCol)].nCurSize : 0;
    const int savedHeight = fixedRow ? m_pRowInfo[size_t(m_nFixedRow)].nCurSize : 0;
    CSplitterWnd::OnSize(nType, cx, cy);
    // The pane before the fixed one takes the change; sizes never go below 0.
    auto keepFixed = [](std::vector<CRowColInfo>& info, int at, int saved) {
        CRowColInfo& prev = info[size_t(at - 1)];
        CRowColInfo& fixed = info[size_t(at)];
        prev.nIdealSize = std::max(0, prev.nCurSize + (fixed.nCurSize - saved));
        fixed.nIdealSize = std::max(0, saved);
        prev.nMinSize = std::max(0, prev.nMinSize);
        fixed.nMinSize = std::max(0, fixed.nMinSize);
    };
    const bool colKept = fixedCol && m_nFixedCol > 0;
    const bool rowKept = fixedRow && m_nFixedRow > 0;
    if (colKept)
        keepFixed(m_pColInfo, m_nFixedCol, savedWidth);
    if (rowKept)
        keepFixed(m_pRowInfo, m_nFixedRow, savedHeight);
    if (colKept || rowKept)
        RecalcLayout();
}

void CSplitter::OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect)
{
    if (!pDC) {
        RedrawWindow(&rect, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
        return;
    }
    CRect r = rect;
    switch (nType) {
    case splitBox:
        pDC->Draw3dRect(&r, Face(), GetSysColor(COLOR_WINDOW));
        r.DeflateRect(1, 1);
        pDC->Draw3dRect(&r, Hilite(), Shadow());
        r.DeflateRect(1, 1);
        pDC->FillSolidRect(&r, Face());
        break;
    case splitBorder:
        pDC->Draw3dRect(&r, Shadow(), Hilite());
        r.DeflateRect(1, 1);
        pDC->Draw3dRect(&r, GetSysColor(COLOR_WINDOWFRAME), Face());
        break;
    default: pDC->FillSolidRect(&r, Face()); break;
    }
}
