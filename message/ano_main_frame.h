#pragma once

#include "ui/menu_bar.h"
#include "ui/status_bar_ex.h"
#include "ui/toolbar_ex.h"
#include "ui/zun_frame_wnd.h"

#include <memory>

class CDocTemplate;
class CHoverHelp;

// The message editor's window: the menu bar with menu 129, a toolbar of
// thirteen buttons, a status bar of three panes with hover help in its first,
// and the message view. It remembers its place and whether each bar is
// shown, and opens an image comment's picture in the image viewer.
class CAnoMainFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(CAnoMainFrame)
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT {
        IDR_MESSAGE = 129,
        IDB_TOOLBAR = 179,
        IDI_FRAME = 4083,
        IDW_MENUBAR = 59398,
        IDW_TOOLBAR = 59392,
        IDW_STATUSBAR = 59393,
        ID_INDICATOR_SIZE = 32790,
        ID_INDICATOR_EMPTY = 32852,
        ID_OPENSOUNDANO = 177,
        kStatusTimer = 1,
        kStatusTimerMs = 300,
    };
    static constexpr const char* kFrameValue = "AnoFrame";
    static constexpr const char* kToolBarValue = "AnoToolBar";
    static constexpr const char* kStatBarValue = "AnoStatBar";
    static constexpr const char* kReadOnlyText = "Read only";

    CAnoMainFrame();
    ~CAnoMainFrame() override;

    void SetViewerTemplate(CDocTemplate* pTemplate) { m_pViewerTemplate = pTemplate; }
    CHoverHelp* GetHoverHelp() const override { return m_pHoverHelp.get(); }
    CMenuBar& GetMenuBar() { return m_wndMenuBar; }
    CToolBarEx& GetToolBar() { return m_wndToolBar; }
    CStatusBarEx& GetStatusBar() { return m_wndStatusBar; }
    // One step of the status timer: hover help and the panes.
    void StatusStep();

protected:
    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnGetMinMaxInfo(MINMAXINFO* p) override;
    void OnOpenImageComment();
    void OnOpenSoundComment() {}
    void OnUpdateHelp(CCmdUI* pCmdUI);

private:
    BOOL CreateToolBar();
    BOOL CreateStatusBar();

    CStatusBarEx m_wndStatusBar;
    std::unique_ptr<CHoverHelp> m_pHoverHelp;
    CToolBarEx m_wndToolBar;
    CDocTemplate* m_pViewerTemplate = nullptr;
    CMenuBar m_wndMenuBar;
};

// Menu 129 and accelerator table 129, registered once.
void RegisterMessageEditorResources();
