#pragma once

#include "platform/framework/image_list.h"
#include "platform/framework/wnd.h"

#include <QImage>

#include <memory>
#include <string>
#include <vector>

class CFrameWnd;

// Bar styles (where a control bar sits in its frame).
enum : DWORD {
    CBRS_FLOATING = 0x0001,
    CBRS_TOOLTIPS = 0x0010,
    CBRS_FLYBY = 0x0020,
    CBRS_BORDER_TOP = 0x0200,
    CBRS_BORDER_BOTTOM = 0x0800,
    CBRS_ALIGN_LEFT = 0x1000,
    CBRS_ALIGN_TOP = 0x2000,
    CBRS_ALIGN_RIGHT = 0x4000,
    CBRS_ALIGN_BOTTOM = 0x8000,
    CBRS_ALIGN_ANY = 0xF000,
    CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM,
    CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP,
    CBRS_ORIENT_HORZ = CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM,
};

// A bar docked along an edge of its frame, which lays it out; its items get
// their state from the frame's update handlers.
class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)
public:
    CControlBar();
    ~CControlBar() override;
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) = 0;
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) = 0;
    DWORD GetBarStyle() const { return m_dwBarStyle; }
    BOOL IsFloating() const { return (m_dwBarStyle & CBRS_FLOATING) != 0; }
    BOOL IsVisible() const;
    // Docked at the top or bottom: the bar runs horizontally.
    BOOL IsHorzDocked() const { return (m_dwBarStyle & CBRS_ORIENT_HORZ) != 0; }

    int m_cxLeftBorder = 2, m_cxRightBorder = 0, m_cyTopBorder = 2, m_cyBottomBorder = 2;

protected:
    // Joins the frame's layout; called once the window exists.
    void RegisterWithFrame();
    void OnDestroy() override;
    DWORD m_dwBarStyle = 0;
    CFrameWnd* m_pDockFrame = nullptr;
};

// Toolbar button states and styles.
enum : UINT {
    TBSTATE_CHECKED = 0x01,
    TBSTATE_PRESSED = 0x02,
    TBSTATE_ENABLED = 0x04,
    TBSTATE_HIDDEN = 0x08,
    TBSTATE_INDETERMINATE = 0x10,
    TBSTATE_WRAP = 0x20,
    TBSTYLE_BUTTON = 0x0000,
    TBSTYLE_SEP = 0x0001,
    TBSTYLE_CHECK = 0x0002,
    TBSTYLE_GROUP = 0x0004,
    TBSTYLE_CHECKGROUP = TBSTYLE_GROUP | TBSTYLE_CHECK,
    TBSTYLE_FLAT = 0x0800,
    TBBS_BUTTON = 0x0000,
    TBBS_SEPARATOR = 0x0001,
    TBBS_CHECKBOX = 0x0002,
};
// Toolbar messages the bars answer.
enum : UINT { TB_SETBUTTONSIZE = WM_USER + 31, TB_SETBITMAPSIZE = WM_USER + 32, SB_SETBKCOLOR = 0x2001 };

// A row of command buttons. Buttons send WM_COMMAND with their id to the owner frame.
class CToolBar : public CControlBar {
    DECLARE_DYNAMIC(CToolBar)
public:
    struct Button {
        UINT id = 0;
        UINT style = TBSTYLE_BUTTON;
        UINT state = TBSTATE_ENABLED;
        int image = -1;
        int width = 8; // separators
        std::string text;
    };

    CToolBar();
    ~CToolBar() override;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT nID = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                  CRect rcBorders = CRect(0, 0, 0, 0), UINT nID = AFX_IDW_TOOLBAR);
    BOOL LoadBitmap(const QImage& bitmap);
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    void SetSizes(SIZE sizeButton, SIZE sizeImage);

    int GetCount() const { return int(m_buttons.size()); }
    void GetItemRect(int nIndex, RECT* lpRect) const;
    // The style word: the button's style with its state in the high 16 bits.
    UINT GetButtonStyle(int nIndex) const;
    void SetButtonStyle(int nIndex, UINT nStyle);
    UINT GetButtonState(int nIndex) const;
    void SetButtonState(int nIndex, UINT nState);
    const Button& GetButton(int nIndex) const { return m_buttons[size_t(nIndex)]; }
    BOOL HasButtonText() const;

    CImageList* GetImageList() const { return m_pImageList; }
    const QImage& GetBitmap() const { return m_bitmap; }
    CSize GetButtonSize() const { return m_sizeButton; }
    CSize GetImageSize() const { return m_sizeImage; }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnPaint() override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    int HitTestButton(CPoint point) const;
    void Layout();

    std::vector<Button> m_buttons;
    std::vector<CRect> m_rects;
    CSize m_sizeButton{23, 22};
    CSize m_sizeImage{16, 15};
    QImage m_bitmap;
    CImageList* m_pImageList = nullptr;
    DWORD m_dwCtrlStyle = 0;
    int m_nPressed = -1; // index of the button the mouse went down on
};

// Status pane styles.
enum : UINT {
    SBPS_NORMAL = 0x0000,
    SBPS_NOBORDERS = 0x0100,
    SBPS_POPOUT = 0x0200,
    SBPS_DISABLED = 0x04000000,
    SBPS_STRETCH = 0x08000000,
};

// A row of text panes along the bottom of a frame.
class CStatusBar : public CControlBar {
    DECLARE_DYNAMIC(CStatusBar)
public:
    struct Pane {
        UINT id = 0;
        UINT style = SBPS_NORMAL;
        int cxText = 0;
        std::string text;
    };
    CStatusBar();
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, UINT nID = AFX_IDW_STATUS_BAR);
    BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
    int GetCount() const { return int(m_panes.size()); }
    void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
    void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
    UINT GetPaneStyle(int nIndex) const;
    void SetPaneStyle(int nIndex, UINT nStyle);
    std::string GetPaneText(int nIndex) const;
    BOOL SetPaneText(int nIndex, const std::string& text, BOOL bUpdate = TRUE);
    // The right edges of the parts as the control keeps them (SB_GETPARTS):
    // each pane's width plus its borders, the panes one after another.
    int GetParts(int nParts, int* pRightEdges) const;
    void GetItemRect(int nIndex, RECT* lpRect) const;
    COLORREF GetBkColor() const { return m_crBk; }

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    static constexpr int kPaneBorder = 6; // left and right border of a part together
    static constexpr int kPaneGap = 2;

protected:
    void OnPaint() override;
    std::vector<Pane> m_panes;
    COLORREF m_crBk = 0xFF000000; // CLR_DEFAULT
};
