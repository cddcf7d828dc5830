#pragma once

#include "platform/framework/splitter_wnd.h"

// An owner object that may hold back re-layout (for example while it moves
// its panes itself).
class ISplitterLayoutGuard {
public:
    virtual ~ISplitterLayoutGuard() = default;
    virtual BOOL CanRecalcLayout() = 0;
};

// The splitter of the message editor and the browser: a column can be parked
// out of view and put back, one column and one row keep their size when the
// window is resized, the bars take the owner's colours, unhandled
// notifications go on to the parent and a pane can show another window.
class CSplitter : public CSplitterWnd {
    DECLARE_DYNCREATE(CSplitter)
public:
    CSplitter();
    void SetBarColors(COLORREF face, COLORREF hilite, COLORREF shadow);
    void SetFixedRow(int nRow) { m_nFixedRow = nRow; }
    void ShowHiddenColumn();
    BOOL IsCreated() const { return !m_pColInfo.empty(); }
    int GetColumnIdealWidth(int nCol) const;
    BOOL ReplacePaneWindow(int nRow, int nCol, CWnd* pNew);
    void RecalcLayout() override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect) override;

    int m_nHiddenCol = -1;
    int m_nHiddenRow = -1;
    int m_nFixedCol = -1;
    int m_nFixedRow = -1;
    COLORREF m_crFace = CLR_INVALID;
    COLORREF m_crHilite = CLR_INVALID;
    COLORREF m_crShadow = CLR_INVALID;
    ISplitterLayoutGuard* m_pLayoutGuard = nullptr;

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    COLORREF Face() const { return m_crFace == CLR_INVALID ? GetSysColor(COLOR_3DFACE) : m_crFace; }
    COLORREF Hilite() const { return m_crHilite == CLR_INVALID ? GetSysColor(COLOR_3DHILIGHT) : m_crHilite; }
    COLORREF Shadow() const { return m_crShadow == CLR_INVALID ? GetSysColor(COLOR_3DSHADOW) : m_crShadow; }
};
