#include "platform/framework/splitter_wnd.h"

#include "platform/framework/paint_dc.h"
#include "platform/framework/view.h"

#include <QPainter>
#include <QWidget>

IMPLEMENT_DYNCREATE(CSplitterWnd, CWnd)

CSplitterWnd::CSplitterWnd() { m_crDefaultBack = GetSysColor(COLOR_3DFACE); }

BOOL CSplitterWnd::CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle, UINT nID)
{
    if (nRows < 1 || nCols < 1 || nRows > 16 || nCols > 16)
        return FALSE;
    m_nRows = m_nMaxRows = nRows;
    m_nCols = m_nMaxCols = nCols;
    m_pRowInfo.assign(size_t(nRows), CRowColInfo{});
    m_pColInfo.assign(size_t(nCols), CRowColInfo{});
    CRect rc(0, 0, 0, 0);
    if (pParentWnd) {
        pParentWnd->GetClientRect(&rc);
    }
    return Create(nullptr, "", dwStyle | WS_CHILD, rc, pParentWnd, nID);
}

BOOL CSplitterWnd::CreateView(int row, int col, const CRuntimeClass* pViewClass, SIZE sizeInit, CCreateContext* pContext)
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols || !pViewClass)
        return FALSE;
    m_pColInfo[size_t(col)].nIdealSize = sizeInit.cx;
    m_pRowInfo[size_t(row)].nIdealSize = sizeInit.cy;
    CObject* obj = pViewClass->CreateObject();
    auto* wnd = dynamic_cast<CWnd*>(obj);
    if (!wnd) {
        delete obj;
        return FALSE;
    }
    if (!wnd->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, UINT(IdFromRowCol(row, col)), pContext)) {
        delete wnd;
        return FALSE;
    }
    return TRUE;
}

CWnd* CSplitterWnd::GetPane(int row, int col) const { return GetDlgItem(IdFromRowCol(row, col)); }

void CSplitterWnd::GetColumnInfo(int col, int& cxCur, int& cxMin) const
{
    cxCur = cxMin = 0;
    if (col >= 0 && col < int(m_pColInfo.size())) {
        cxCur = m_pColInfo[size_t(col)].nCurSize;
        cxMin = m_pColInfo[size_t(col)].nMinSize;
    }
}

void CSplitterWnd::SetColumnInfo(int col, int cxIdeal, int cxMin)
{
    if (col >= 0 && col < int(m_pColInfo.size())) {
        m_pColInfo[size_t(col)].nIdealSize = cxIdeal;
        m_pColInfo[size_t(col)].nMinSize = cxMin;
    }
}

void CSplitterWnd::GetRowInfo(int row, int& cyCur, int& cyMin) const
{
    cyCur = cyMin = 0;
    if (row >= 0 && row < int(m_pRowInfo.size())) {
        cyCur = m_pRowInfo[size_t(row)].nCurSize;
        cyMin = m_pRowInfo[size_t(row)].nMinSize;
    }
}

void CSplitterWnd::SetRowInfo(int row, int cyIdeal, int cyMin)
{
    if (row >= 0 && row < int(m_pRowInfo.size())) {
        m_pRowInfo[size_t(row)].nIdealSize = cyIdeal;
        m_pRowInfo[size_t(row)].nMinSize = cyMin;
    }
}

void CSplitterWnd::LayoutRowCol(std::vector<CRowColInfo>& info, int nMax, int nSize, int nSizeSplitter)
{
    // Each pane but the last takes its ideal size while room is left (one
    // smaller than its minimum collapses to nothing); the last takes the rest.
    int left = nSize;
    for (int i = 0; i < nMax; ++i) {
        CRowColInfo& c = info[size_t(i)];
        if (i == nMax - 1) {
            c.nCurSize = std::max(0, left);
            break;
        }
        int size = std::min(c.nIdealSize, left);
        if (size < c.nMinSize)
            size = 0;
        c.nCurSize = std::max(0, size);
        left -= c.nCurSize + nSizeSplitter;
        if (left < 0)
            left = 0;
    }
}

CRect CSplitterWnd::PaneRect(int row, int col) const
{
    int x = m_cxBorder, y = m_cyBorder;
    for (int c = 0; c < col; ++c)
        x += m_pColInfo[size_t(c)].nCurSize + m_cxSplitterGap;
    for (int r = 0; r < row; ++r)
        y += m_pRowInfo[size_t(r)].nCurSize + m_cySplitterGap;
    return CRect(x, y, x + m_pColInfo[size_t(col)].nCurSize, y + m_pRowInfo[size_t(row)].nCurSize);
}

void CSplitterWnd::RecalcLayout()
{
    if (!m_hWnd || m_nCols < 1 || m_nRows < 1)
        return;
    CRect rc;
    GetClientRect(&rc);
    LayoutRowCol(m_pColInfo, m_nCols, rc.Width() - 2 * m_cxBorder, m_cxSplitterGap);
    LayoutRowCol(m_pRowInfo, m_nRows, rc.Height() - 2 * m_cyBorder, m_cySplitterGap);
    for (int r = 0; r < m_nRows; ++r)
        for (int c = 0; c < m_nCols; ++c)
            if (CWnd* pane = GetPane(r, c))
                pane->MoveWindow(PaneRect(r, c));
    Invalidate();
}

void CSplitterWnd::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    RecalcLayout();
}

void CSplitterWnd::OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect)
{
    if (!pDC) {
        RedrawWindow(&rect, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
        return;
    }
    if (nType == splitBorder) {
        pDC->Draw3dRect(&rect, GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHILIGHT));
        return;
    }
    pDC->FillSolidRect(&rect, GetSysColor(COLOR_3DFACE));
}

void CSplitterWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    for (int c = 0; c + 1 < m_nCols; ++c) {
        CRect pane = PaneRect(0, c);
        OnDrawSplitter(dc.GetDC(), splitBar, CRect(pane.right, 0, pane.right + m_cxSplitterGap, rc.bottom));
    }
    for (int r = 0; r + 1 < m_nRows; ++r) {
        CRect pane = PaneRect(r, 0);
        OnDrawSplitter(dc.GetDC(), splitBar, CRect(0, pane.bottom, rc.right, pane.bottom + m_cySplitterGap));
    }
    for (int r = 0; r < m_nRows; ++r)
        for (int c = 0; c < m_nCols; ++c) {
            CRect pane = PaneRect(r, c);
            pane.InflateRect(m_cxBorder, m_cyBorder);
            OnDrawSplitter(dc.GetDC(), splitBorder, pane);
        }
}

int CSplitterWnd::HitTestBar(CPoint point) const
{
    for (int c = 0; c + 1 < m_nCols; ++c) {
        CRect pane = PaneRect(0, c);
        if (point.x >= pane.right && point.x < pane.right + m_cxSplitterGap)
            return c;
    }
    for (int r = 0; r + 1 < m_nRows; ++r) {
        CRect pane = PaneRect(r, 0);
        if (point.y >= pane.bottom && point.y < pane.bottom + m_cySplitterGap)
            return 1000 + r;
    }
    return -1;
}

void CSplitterWnd::OnLButtonDown(UINT, CPoint point)
{
    m_nTracking = HitTestBar(point);
    if (m_nTracking < 0)
        return;
    m_ptTrackStart = point;
    m_nTrackStartSize = m_nTracking >= 1000 ? m_pRowInfo[size_t(m_nTracking - 1000)].nCurSize
                                            : m_pColInfo[size_t(m_nTracking)].nCurSize;
    SetCapture();
}

void CSplitterWnd::OnMouseMove(UINT, CPoint point)
{
    if (m_hWnd && m_nTracking < 0) {
        int bar = HitTestBar(point);
        m_hWnd->setCursor(bar < 0 ? Qt::ArrowCursor : bar >= 1000 ? Qt::SplitVCursor : Qt::SplitHCursor);
        return;
    }
    if (m_nTracking < 0)
        return;
    if (m_nTracking >= 1000) {
        auto& info = m_pRowInfo[size_t(m_nTracking - 1000)];
        info.nIdealSize = std::max(0, m_nTrackStartSize + point.y - m_ptTrackStart.y);
    } else {
        auto& info = m_pColInfo[size_t(m_nTracking)];
        info.nIdealSize = std::max(0, m_nTrackStartSize + point.x - m_ptTrackStart.x);
    }
    RecalcLayout();
}

void CSplitterWnd::OnLButtonUp(UINT, CPoint)
{
    if (m_nTracking < 0)
        return;
    m_nTracking = -1;
    if (GetCapture() == this)
        ReleaseCapture();
}
