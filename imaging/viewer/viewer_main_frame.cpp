#include "imaging/viewer/viewer_main_frame.h"

#include "imaging/viewer/viewer_doc.h"
#include "imaging/viewer/viewer_doc_template.h"
#include "imaging/viewer/viewer_ids.h"
#include "resources/picture_resources.h"
#include "ui/ui_services.h"
#include "util/reg_settings.h"
#include "platform/framework/doc_template.h"

#include <QImage>
#include <QScreen>
#include <QWidget>

IMPLEMENT_DYNAMIC(CViewerStatBar, CStatusBarEx)
IMPLEMENT_DYNCREATE(CViewerMainFrame, CZunFrameWnd)

BEGIN_MESSAGE_MAP(CViewerMainFrame, CZunFrameWnd)
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

// The toolbar's images with the magenta of the resource turned into the bar's face.
QImage LoadToolBarStrip(UINT bitmapId, COLORREF face)
{
    const std::vector<uint8_t> bytes = res::BinaryResource("bitmaps", bitmapId);
    QImage strip = QImage::fromData(bytes.data(), int(bytes.size())).convertToFormat(QImage::Format_RGB32);
    const QRgb magenta = qRgb(255, 0, 255), to = qRgb(GetRValue(face), GetGValue(face), GetBValue(face));
    for (int y = 0; y < strip.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x)
            if ((row[x] & 0xFFFFFF) == (magenta & 0xFFFFFF))
                row[x] = to;
    }
    return strip;
}

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

CViewerMainFrame::CViewerMainFrame() = default;
CViewerMainFrame::~CViewerMainFrame() = default;

BOOL CViewerMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    // A stored rectangle on the display replaces this once the frame is made.
    cs.cx = kDefaultWidth;
    cs.cy = kDefaultHeight;
    return CZunFrameWnd::PreCreateWindow(cs);
}

BOOL CViewerMainFrame::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    SetSystemIcon(IDI_VIEWER_FRAME);
    if (!CZunFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext))
        return FALSE;
    RestorePlacement(kSection, kFrameValue);
    return TRUE;
}

int CViewerMainFrame::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CZunFrameWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!CreateMenuBar() || !CreateToolBar())
        return -1;
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, IDW_VIEWER_STATUSBAR))
        return -1;
    const UINT indicator = ID_VIEWER_INDICATOR_INFO;
    m_wndStatusBar.SetIndicators(&indicator, 1);
    m_wndStatusBar.SetPaneInfo(0, ID_VIEWER_INDICATOR_INFO, SBPS_STRETCH, 100);
    m_wndStatusBar.m_pFrame = this;
    m_accel.Load(this, IDR_VIEWER);
    m_bToolBarShown = RegReadInt(IDS_REG_PREFERENCE, kToolBarValue, 1) != 0;
    m_bStatBarShown = RegReadInt(IDS_REG_PREFERENCE, kStatBarValue, 1) != 0;
    m_wndToolBar.ShowWindow(m_bToolBarShown ? SW_SHOW : SW_HIDE);
    m_wndStatusBar.ShowWindow(m_bStatBarShown ? SW_SHOW : SW_HIDE);
    RecalcLayout();
    return 0;
}

BOOL CViewerMainFrame::CreateMenuBar()
{
    RegisterViewerResources();
    return CreateFrameMenuBar(m_wndMenuBar, IDW_VIEWER_MENUBAR, IDR_VIEWER);
}

BOOL CViewerMainFrame::CreateToolBar()
{
    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY,
                               CRect(0, 0, 0, 0), IDW_VIEWER_TOOLBAR))
        return FALSE;
    const COLORREF face = GetSchemeSysColor(15);
    m_wndToolBar.m_crFace = face;
    m_wndToolBar.SetButtons(kToolBarButtons, int(std::size(kToolBarButtons)));
    m_wndToolBar.SetSizes(CSize(31, 30), CSize(24, 24));
    m_wndToolBar.m_cxLeftBorder += 10;
    return m_wndToolBar.LoadBitmap(LoadToolBarStrip(IDB_VIEWER_TOOLBAR, face));
}

BOOL CViewerMainFrame::PreTranslateMessage(MSG* pMsg)
{
    if (CZunFrameWnd::PreTranslateMessage(pMsg))
        return TRUE;
    return m_accel.Translate(pMsg) != 0;
}

void CViewerMainFrame::OnUpdateFrameTitle(BOOL)
{
    CDocument* doc = GetActiveDocument();
    std::string title = m_strTitle;
    if (doc && !doc->GetTitle().empty())
        title = doc->GetTitle() + " - " + m_strTitle;
    if (title != GetWindowText())
        SetWindowText(title);
}

void CViewerMainFrame::SaveBarState()
{
    if (!m_hWnd)
        return;
    RegWriteInt(IDS_REG_PREFERENCE, kToolBarValue, m_bToolBarShown ? 1 : 0);
    RegWriteInt(IDS_REG_PREFERENCE, kStatBarValue, m_bStatBarShown ? 1 : 0);
    RegSaveWindowRectAt(m_hWnd, kSection, kFrameValue);
}

void CViewerMainFrame::OnClose()
{
    SaveBarState();
    CZunFrameWnd::OnClose();
}

BOOL CViewerMainFrame::DestroyWindow()
{
    SaveBarState();
    return CZunFrameWnd::DestroyWindow();
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
    SetMenuBar(nullptr);
    CZunFrameWnd::OnDestroy();
}

void CViewerMainFrame::OnViewToolBar()
{
    m_bToolBarShown = !m_bToolBarShown;
    ShowBar(m_wndToolBar, m_bToolBarShown);
}

void CViewerMainFrame::OnViewStatusBar()
{
    m_bStatBarShown = !m_bStatBarShown;
    ShowBar(m_wndStatusBar, m_bStatBarShown);
}

void CViewerMainFrame::OnUpdateViewToolBar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bToolBarShown ? 1 : 0); }
void CViewerMainFrame::OnUpdateViewStatusBar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bStatBarShown ? 1 : 0); }
