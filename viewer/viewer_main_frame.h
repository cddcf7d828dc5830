#pragma once

#include "ui/menu_bar.h"
#include "ui/status_bar_ex.h"
#include "ui/toolbar_ex.h"
#include "ui/zun_frame_wnd.h"

#include <string>

class CViewerMainFrame;

// The viewer's status bar: one pane with the picture's information.
class CViewerStatBar : public CStatusBarEx {
    DECLARE_DYNAMIC(CViewerStatBar)
public:
    CViewerMainFrame* m_pFrame = nullptr;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
};

// The viewer's window: the program's caption, the menu bar with menu 130,
// a toolbar of twelve buttons and the status bar. It remembers its place
// and whether each bar is shown.
class CViewerMainFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(CViewerMainFrame)
    DECLARE_MESSAGE_MAP()
public:
    static constexpr const char* kFrameValue = "ViewerFrame";
    static constexpr const char* kToolBarValue = "ViewerToolBar";
    static constexpr const char* kStatBarValue = "ViewerStatBar";
    static constexpr int kDefaultWidth = 640;
    static constexpr int kDefaultHeight = 480;

    CViewerMainFrame();
    ~CViewerMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

    CMenuBar& GetMenuBar() { return m_wndMenuBar; }
    CToolBarEx& GetToolBar() { return m_wndToolBar; }
    CViewerStatBar& GetStatusBar() { return m_wndStatusBar; }

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnDestroy() override;

private:
    BOOL CreateToolBar();

    CViewerStatBar m_wndStatusBar;
    CToolBarEx m_wndToolBar;
    CMenuBar m_wndMenuBar;
};
