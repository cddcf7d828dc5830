#pragma once

#include "platform/framework/view.h"
#include "platform/framework/wnd.h"

#include <vector>

class CControlBar;
class CDocument;

// A frame: a top-level window holding control bars and the view of one
// document. Commands go to the active view (and its document) first, then to
// the frame, then to the application.
class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
    DECLARE_MESSAGE_MAP()
public:
    CFrameWnd();
    ~CFrameWnd() override;

    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    CWnd* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);
    virtual BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    virtual void ActivateFrame(int nCmdShow = -1);
    virtual void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
    virtual CDocument* GetActiveDocument();

    // Control bars register themselves with their frame and are laid out in
    // the order they were made.
    void AddControlBar(CControlBar* pBar);
    void RemoveControlBar(CControlBar* pBar);
    CControlBar* GetControlBar(UINT nID) const;
    // Runs the update handlers of every bar's items now.
    void UpdateCommandUI();
    // The same, once the current message is done.
    void DelayUpdateCommandUI();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;

    // The status-bar prompt of a command id (its string's text before the
    // line break); kIdleMessageId gives what shows while no menu is open.
    virtual void GetMessageString(UINT nID, std::string& rMessage) const;
    // The id's prompt into the first pane of the frame's status bar.
    void SetMessageText(UINT nID);
    static constexpr UINT kIdleMessageId = 57345;

    UINT m_nIDHelp = 0;
    std::string m_strTitle;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnClose() override;
    void OnDestroy() override;
    void PostNcDestroy() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnActivate(UINT nState, CWnd* pOther, BOOL bMinimized) override;
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) override;
    // A menu entry under the mouse shows its prompt; a closed menu the idle text.
    LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam);
    LRESULT OnExitMenuLoop(WPARAM wParam, LPARAM lParam);
    // The window text: the title, after the document's name when doc has one.
    void ShowTitle(CDocument* doc);

    CView* m_pViewActive = nullptr;
    std::vector<CControlBar*> m_bars;
    BOOL m_bUpdatePending = FALSE;
    BOOL m_bInRecalcLayout = FALSE;
};
