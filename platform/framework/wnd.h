#pragma once

#include "platform/framework/cmd_target.h"
#include "platform/framework/gdi_include.h"
#include "platform/framework/wnd_defs.h"

#include <QFont>
#include <QPoint>

#include <map>
#include <memory>
#include <string>

class QEvent;
class QObject;
class QTimer;
class CDC;
class CMenu;
class CScrollBar;
class CFrameWnd;

struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    CWnd* pParent = nullptr;
    UINT nID = 0;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    DWORD style = 0;
    std::string lpszName;
    std::string lpszClass;
    DWORD dwExStyle = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
};

// The window procedure form, for windows whose messages another object hooks.
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Sends a message through the window's procedure (its hooks first, then its
// own handling) and returns the answer.
LRESULT SendMessage(HWND hWnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues the message; it is handled after the current one, on the main
// thread. Safe to call from any thread. FALSE when the window is gone.
BOOL PostMessage(HWND hWnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Installs a window procedure (nullptr restores the window's own) and returns
// the previous one; the window's own procedure is the one returned first.
WNDPROC SetWindowProc(HWND hWnd, WNDPROC proc);
// Calls a procedure returned by SetWindowProc.
LRESULT CallWindowProc(WNDPROC proc, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The message being handled now on this thread.
const MSG* AfxGetCurrentMessage();
// A message number unique to the name (the same name gives the same number).
UINT RegisterWindowMessage(const char* name);
BOOL IsWindow(HWND hWnd);

// The window base: one object per QWidget. Qt events arrive as the window
// messages the classes handle (virtual On... handlers, whose base versions
// let Qt's own handling go on); commands, notifications, timers and posted
// messages arrive through WindowProc and the dispatch tables.
class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
    DECLARE_MESSAGE_MAP()
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object of a window: its own, or a wrapper that lives as long as the window.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Creation. A child (WS_CHILD) is placed at rect in the parent's client
    // coordinates; a top-level window at rect on the screen. Not virtual:
    // controls and bars have their own Create with other arguments, and a
    // class changes its window through PreCreateWindow and CreateWidget.
    BOOL Create(const char* className, const std::string& windowName, DWORD style, const RECT& rect,
                        CWnd* pParent, UINT nID, void* pContext = nullptr);
    BOOL CreateEx(DWORD exStyle, const char* className, const std::string& windowName, DWORD style,
                  const RECT& rect, CWnd* pParent, UINT nID, void* pParam = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    BOOL Attach(HWND hWnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    virtual BOOL DestroyWindow();
    // A wrapper that its window owns (a dialog item made from a template):
    // takes the item's styles and text and goes with the window.
    void SetupOwnedItem(DWORD style, DWORD exStyle, const std::string& text);

    // Messages.
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendMessageToDescendants(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE);
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // A control's own notification, offered to it before its owner.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Lets Qt's own handling of the current event go on (a handler's base version does this).
    void Default();

    // Timers with ids the caller chooses; WM_TIMER reaches OnTimer.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // Family.
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    CWnd* GetTopLevelParent() const;
    CFrameWnd* GetParentFrame() const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    int SetDlgCtrlID(int nID);
    CWnd* GetWindow(UINT nCmd) const;
    CWnd* SetParent(CWnd* pNewParent);
    static CWnd* GetFocus();
    CWnd* SetFocus();
    static CWnd* GetCapture();
    CWnd* SetCapture();
    static CWnd* GetActiveWindow();
    CWnd* ChildWindowFromPoint(POINT pt, UINT nFlags = 0) const;

    // State and looks.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsZoomed() const;
    BOOL IsIconic() const;
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const { return m_dwExStyle; }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT nFlags = 0);
    void SetFont(const QFont& font, BOOL bRedraw = TRUE);
    QFont GetFont() const;

    // Geometry. Window rectangles are on the screen; client rectangles start at 0, 0.
    void GetWindowRect(RECT* r) const;
    void GetClientRect(RECT* r) const;
    void ClientToScreen(POINT* p) const;
    void ClientToScreen(RECT* r) const;
    void ScreenToClient(POINT* p) const;
    void ScreenToClient(RECT* r) const;
    void MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE);
    void MoveWindow(const RECT& r, BOOL bRepaint = TRUE) { MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, bRepaint); }
    BOOL SetWindowPos(const CWnd* pAfter, int x, int y, int cx, int cy, UINT nFlags);
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    // Drawing.
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(const RECT* r, BOOL bErase = TRUE);
    void UpdateWindow();
    BOOL RedrawWindow(const RECT* r = nullptr, void* rgn = nullptr, UINT flags = 0);
    // Redraws the non-client area (SetWindowPos with SWP_FRAMECHANGED).
    void RedrawNonClient();

    // The size of the non-client border on each side, in window coordinates
    // (left, top, right, bottom thickness), as OnNcCalcSize last gave it.
    CRect GetNonClientInsets() const { return m_ncInsets; }
    // Rows of the window above its visible top (frames that hide a band of
    // their window keep its coordinates); window y = widget y + this.
    int GetHiddenTop() const { return m_nHiddenTop; }
    // Recomputes the client area (WM_NCCALCSIZE) and lays the children out again.
    void RecalcNonClient();

    // Scroll bars of the window (WS_HSCROLL, WS_VSCROLL).
    struct ScrollState {
        int nMin = 0, nMax = 100, nPage = 0, nPos = 0, nTrackPos = 0;
    };
    ScrollState& ScrollInfo(int nBar) { return nBar == 1 ? m_vScroll : m_hScroll; }

    // The painting in progress: what CPaintDC draws on.
    class QPainter* GetPaintPainter();
    BOOL IsPainting() const { return m_bInPaint; }

protected:
    // Window messages.
    virtual int OnCreate(LPCREATESTRUCT lpcs);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void PostNcDestroy();
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* pDC);
    virtual void OnNcPaint();
    virtual BOOL OnNcActivate(BOOL bActive);
    virtual void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p);
    virtual LRESULT OnNcHitTest(CPoint point);
    virtual void OnNcLButtonDown(UINT nHitTest, CPoint point);
    virtual void OnNcLButtonUp(UINT nHitTest, CPoint point);
    virtual void OnNcLButtonDblClk(UINT nHitTest, CPoint point);
    virtual void OnNcMouseMove(UINT nHitTest, CPoint point);
    virtual void OnNcRButtonDown(UINT nHitTest, CPoint point);
    virtual void OnGetMinMaxInfo(MINMAXINFO* p);
    virtual void OnActivate(UINT nState, CWnd* pOther, BOOL bMinimized);
    virtual void OnShowWindow(BOOL bShow, UINT nStatus);
    virtual void OnSetFocus(CWnd* pOld);
    virtual void OnKillFocus(CWnd* pNew);
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
    virtual void OnRButtonDown(UINT nFlags, CPoint point);
    virtual void OnRButtonUp(UINT nFlags, CPoint point);
    virtual void OnMouseMove(UINT nFlags, CPoint point);
    virtual BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    virtual void OnMouseLeave();
    virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual void OnSettingChange(UINT uFlags, const char* lpszSection);
    virtual void OnSysColorChange();
    virtual void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    virtual void OnDropFiles(void* hDropInfo);

    // Makes the QWidget that shows this window (controls make their Qt control).
    virtual HWND CreateWidget(const CREATESTRUCT& cs, QWidget* parent);
    // Text of the widget, for controls whose Qt widget holds it.
    virtual void SetWidgetText(const std::string& text);
    virtual std::string GetWidgetText() const;
    // The window shows its own non-client area (a frameless top-level window
    // that draws its caption and borders).
    void SetOwnNonClient(BOOL bOwn) { m_bOwnNonClient = bOwn; }
    void SetHiddenTop(int rows) { m_nHiddenTop = rows; }
    // The colour the default background erase fills the client area with.
    COLORREF m_crDefaultBack;

    DWORD m_dwStyle = 0;
    DWORD m_dwExStyle = 0;
    CWnd* m_pOwner = nullptr;
    std::string m_strText;
    BOOL m_bAutoDelete = FALSE; // a wrapper made by FromHandle

private:
    friend class CWndBridge;
    friend LRESULT AfxWndProcBase(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT SendMessage(HWND, UINT, WPARAM, LPARAM);
    bool HandleEvent(QObject* obj, QEvent* e);
    bool HandleMouse(QEvent* e);
    bool HandlePaint(QEvent* e);
    void AttachBridge();
    void DoNcDestroy();
    void EraseForPaint();
    void SendDestroyTree();
    CPoint WidgetToClient(int x, int y) const;

    std::unique_ptr<class CWndBridge> m_bridge;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> m_timers;
    CRect m_ncInsets;
    int m_nHiddenTop = 0;
    BOOL m_bOwnNonClient = FALSE;
    BOOL m_bInPaint = FALSE;
    BOOL m_bEraseBackground = FALSE; // the window's own widget: nothing paints it but us
    BOOL m_bDefaultCalled = FALSE;
    BOOL m_bNcTracking = FALSE; // a non-client press is in progress
    // A press on the caption moves the window only once the mouse leaves the
    // press point: handing the pointer to the window manager at once would
    // take the release and the double click from us.
    enum class CaptionDrag { none, pending, manual };
    CaptionDrag m_captionDrag = CaptionDrag::none;
    CPoint m_ptCaptionPress;
    QPoint m_ptWindowAtPress;
    std::unique_ptr<class QPainter> m_paintPainter;
    ScrollState m_hScroll, m_vScroll;
};

BOOL ReleaseCapture();
// The state of Shift, Ctrl or Alt (VK_SHIFT, VK_CONTROL, VK_MENU) as the input
// message being handled reports it: 0x8000 when held, else 0.
int16_t GetKeyState(int vk);
// KF_ALTDOWN in the high word of a key message's data.
enum : UINT { KF_ALTDOWN = 0x2000 };

// The window's own procedure: what runs after every hook of a window.
LRESULT AfxWndProcBase(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

enum : UINT { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };
enum : UINT { CWP_ALL = 0, CWP_SKIPINVISIBLE = 1, CWP_SKIPDISABLED = 2, CWP_SKIPTRANSPARENT = 4 };
enum : UINT {
    SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004, SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020, SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080,
};
enum : UINT { RDW_INVALIDATE = 0x0001, RDW_ERASE = 0x0004, RDW_FRAME = 0x0400, RDW_NOCHILDREN = 0x0040, RDW_UPDATENOW = 0x0100 };
