#pragma once

#include "platform/framework/wnd.h"

#include <vector>

struct CCreateContext;

// A static splitter: rows and columns of panes (child windows with the pane
// ids) separated by bars the user drags.
class CSplitterWnd : public CWnd {
    DECLARE_DYNCREATE(CSplitterWnd)
public:
    enum ESplitType { splitBox, splitBar, splitIntersection, splitBorder };
    struct CRowColInfo {
        int nMinSize = 0;
        int nIdealSize = 0;
        int nCurSize = 0;
    };

    CSplitterWnd();
    BOOL CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle = WS_CHILD | WS_VISIBLE,
                      UINT nID = AFX_IDW_PANE_FIRST);
    virtual BOOL CreateView(int row, int col, const CRuntimeClass* pViewClass, SIZE sizeInit, CCreateContext* pContext);
    CWnd* GetPane(int row, int col) const;
    int IdFromRowCol(int row, int col) const { return int(AFX_IDW_PANE_FIRST) + row * 16 + col; }
    int GetColumnCount() const { return m_nCols; }
    void GetColumnInfo(int col, int& cxCur, int& cxMin) const;
    void SetColumnInfo(int col, int cxIdeal, int cxMin);
    void GetRowInfo(int row, int& cyCur, int& cyMin) const;
    void SetRowInfo(int row, int cyIdeal, int cyMin);
    virtual void RecalcLayout();
    virtual void OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect);

    // Sizes of the bars and the borders round each pane.
    int m_cxSplitter = 7, m_cySplitter = 7;
    int m_cxSplitterGap = 7, m_cySplitterGap = 7;
    int m_cxBorder = 2, m_cyBorder = 2;

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    void OnPaint() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    // The bar under a client point: column bar index, or row bar index + 1000; -1 none.
    int HitTestBar(CPoint point) const;
    static void LayoutRowCol(std::vector<CRowColInfo>& info, int nMax, int nSize, int nSizeSplitter);
    CRect PaneRect(int row, int col) const;

    int m_nRows = 0, m_nCols = 0;
    int m_nMaxRows = 0, m_nMaxCols = 0;
    std::vector<CRowColInfo> m_pRowInfo;
    std::vector<CRowColInfo> m_pColInfo;
    int m_nTracking = -1;
    CPoint m_ptTrackStart;
    int m_nTrackStartSize = 0;
};
