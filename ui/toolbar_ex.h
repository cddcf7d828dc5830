#pragma once

#include "platform/framework/control_bar.h"
#include "platform/gdi/gdi_object.h"

#include <vector>

class QImage;

// Custom-draw stages and answers, as the common controls send them.
enum : DWORD {
    CDDS_PREPAINT = 0x00000001,
    CDDS_POSTPAINT = 0x00000002,
    CDDS_ITEMPREPAINT = 0x00010001,
    CDDS_ITEMPOSTPAINT = 0x00010002,
    CDRF_DODEFAULT = 0x00000000,
    CDRF_SKIPDEFAULT = 0x00000004,
    CDRF_NOTIFYPOSTPAINT = 0x00000010,
    CDRF_NOTIFYITEMDRAW = 0x00000020,
    CDIS_DISABLED = 0x0004,
    CDIS_CHECKED = 0x0008,
};

struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage = 0;
    CDC* hdc = nullptr;
    RECT rc{};
    DWORD_PTR dwItemSpec = 0;
    UINT uItemState = 0;
    LPARAM lItemlParam = 0;
};

// A toolbar's strip of images from a bitmap resource, its magenta turned into the bar's face.
QImage LoadToolBarStrip(UINT bitmapId, COLORREF face);

// The toolbar of all frames and panes: flat buttons it paints itself (a frame
// only under the mouse, sunken when checked), a hot button tracked with a
// timer, its own gripper and separators, and custom-draw notifications to the
// parent so that owners can draw or skip single buttons.
class CToolBarEx : public CToolBar {
    DECLARE_DYNAMIC(CToolBarEx)
public:
    enum : UINT_PTR { kHotTimer = 1 };
    static constexpr UINT kHotPeriodMs = 250;

    CToolBarEx();
    ~CToolBarEx() override;
    // The flat bar along the top of a frame, in the colour scheme's face
    // colour, with the buttons' 24 x 24 pictures in 31 x 30 boxes; the
    // pictures are loaded after (LoadBitmap).
    BOOL CreateFrameBar(CWnd* pParent, UINT nID, const UINT* buttons, int count);
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    BOOL m_bFlatDraw = TRUE;
    CPoint m_ptImageOffset;
    int m_nHotButton = -1;
    UINT_PTR m_nHotTimer = 0;
    std::vector<UINT> m_arrLastStyle;
    HWND m_hWndNotify = nullptr;
    BOOL m_bOwnImageList = FALSE;
    CFont m_font;
    COLORREF m_crFace, m_crHilite, m_crShadow, m_crLight;

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnSysColorChange() override;
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p) override;
    void OnNcPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnPaint() override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnTimer(UINT_PTR nIDEvent) override;

    void ReadColors();
    void RecalcImageOffset();
    // Sends one custom-draw stage; the parent's answer, 0 without a parent.
    LRESULT Notify(DWORD stage, CDC* pDC, const RECT& rc, DWORD_PTR item, UINT state);
    void DrawSeparator(CDC* pDC, const CRect& rc);
    void DrawButton(CDC* pDC, int index, const CRect& rc, CImageList* images);
    // Where the cursor is, in client coordinates.
    virtual CPoint CursorPos() const;
};
