#include "viewer/viewer_main_frame.h"

#include "viewer/viewer_doc.h"
#include "viewer/viewer_doc_template.h"
#include "viewer/viewer_ids.h"
#include "resources/picture_resources.h"
#include "ui/ui_services.h"
#include "platform/framework/doc_template.h"

#include <QWidget>

IMPLEMENT_DYNAMIC(CViewerStatBar, CStatusBarEx)
IMPLEMENT_DYNCREATE(CViewerMainFrame, CZunFrameWnd)

BEGIN_MESSAGE_MAP(CViewerMainFrame, CZunFrameWnd)
    // The toggles and their checks are the base frame's.
    ON_COMMAND(ID_VIEWER_TOOLBAR, &CViewerMainFrame::OnViewToolBar)
    ON_COMMAND(ID_VIEWER_STATUS_BAR, &CViewerMainFrame::OnViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_TOOLBAR, &CViewerMainFrame::OnUpdateViewToolBar)
    ON_UPDATE_COMMAND_UI(ID_VIEWER_STATUS_BAR, &CViewerMainFrame::OnUpdateViewStatusBar)
END_MESSAGE_MAP()

namespace {

constexpr UINT kToolBarButtons[] = {
    ID_FILE_CLOSE,        ID_FILE_SAVE,         ID_VIEWER_PRINT,      ID_VIEWER_AREA_TOOL,
    ID_VIEWER_MAGNIFIER,  ID_VIEWER_GRAB_TOOL,  ID_VIEWER_REDUCE,     ID_VIEWER_ENLARGE,
    ID_VIEWER_FIT,        ID_VIEWER_ACTUAL_SIZE, ID_VIEWER_ROTATE_CCW, ID_VIEWER_ROTATE_CW,
};

} // namespace

// ---- status bar ------------------------------------------------------------

int CViewerStatBar::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CStatusBarEx::OnCreate(lpcs) == -1)
        return -1;
    SendMessage(SB_SETBKCOLOR, 0, LPARAM(kBackColor));
    return 0;
}

void CViewerStatBar::OnKeyDown(UINT, UINT, UINT) {}

LRESULT CViewerStatBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The bar does nothing on keys.
    if (msg == WM_KEYDOWN)
        return 0;
    return CStatusBarEx::WindowProc(msg, wParam, lParam);
}

// ---- frame -----------------------------------------------------------------

CViewerMainFrame::CViewerMainFrame()
{
    SetSystemIcon(IDI_VIEWER_FRAME);
    KeepSettings({kFrameValue, kToolBarValue, kStatBarValue});
    SetDocumentInTitle(TRUE);
}

CViewerMainFrame::~CViewerMainFrame() = default;

BOOL CViewerMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    // A stored rectangle on the display replaces this once the frame is made.
    cs.cx = kDefaultWidth;
    cs.cy = kDefaultHeight;
    return CZunFrameWnd::PreCreateWindow(cs);
}

int CViewerMainFrame::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CZunFrameWnd::OnCreate(lpcs) == -1)
        return -1;
    RegisterViewerResources();
    if (!CreateFrameMenuBar(m_wndMenuBar, IDW_VIEWER_MENUBAR, IDR_VIEWER) || !CreateToolBar())
        return -1;
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, IDW_VIEWER_STATUSBAR))
        return -1;
    const UINT indicator = ID_VIEWER_INDICATOR_INFO;
    m_wndStatusBar.SetIndicators(&indicator, 1);
    m_wndStatusBar.SetPaneInfo(0, ID_VIEWER_INDICATOR_INFO, SBPS_STRETCH, 100);
    m_wndStatusBar.m_pFrame = this;
    LoadFrameAccelerators(IDR_VIEWER);
    ShowKeptBars(m_wndToolBar, m_wndStatusBar);
    return 0;
}

BOOL CViewerMainFrame::CreateToolBar()
{
    if (!m_wndToolBar.CreateFrameBar(this, IDW_VIEWER_TOOLBAR, kToolBarButtons, int(std::size(kToolBarButtons))))
        return FALSE;
    m_wndToolBar.m_cxLeftBorder += 10;
    return m_wndToolBar.LoadBitmap(LoadToolBarStrip(IDB_VIEWER_TOOLBAR, m_wndToolBar.m_crFace));
}

void CViewerMainFrame::OnDestroy()
{
    // Nothing may keep this frame once it goes: the template and the
    // document forget it now, while both are still there, before the view
    // and then the document go with the frame's children.
    auto* view = dynamic_cast<CView*>(GetDlgItem(AFX_IDW_PANE_FIRST));
    if (CDocument* doc = view ? view->GetDocument() : nullptr) {
        if (auto* vd = dynamic_cast<CViewerDoc*>(doc); vd && vd->GetFrame() == this)
            vd->SetFrame(nullptr);
        if (auto* t = dynamic_cast<CViewerDocTemplate*>(doc->GetDocTemplate()))
            t->FrameDestroyed(this);
    }
    CZunFrameWnd::OnDestroy();
}
