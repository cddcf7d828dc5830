#include "browser/zun_main_frame.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/zun_doc_template.h"
#include "browser/zun_func_pane.h"
#include "browser/zun_main_view.h"
#include "ui/app_templates.h"
#include "ui/ui_services.h"
#include "util/reg_settings.h"
#include "util/shell_util.h"
#include "util/string_util.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <sys/stat.h>

IMPLEMENT_DYNCREATE(CZunMainFrame, CZunFrameWnd)

BEGIN_MESSAGE_MAP(CZunMainFrame, CZunFrameWnd)
ON_COMMAND(ID_VIEW_TOOLBARS, &CZunMainFrame::OnViewToolBar)
ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBARS, &CZunMainFrame::OnUpdateViewToolBar)
ON_COMMAND(ID_VIEW_STATUS_BAR, &CZunMainFrame::OnViewStatusBar)
ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, &CZunMainFrame::OnUpdateViewStatusBar)
ON_COMMAND(ID_STOPWAVE, &CZunMainFrame::OnStopWave)
ON_COMMAND(ID_FUNC_ANOTAION, &CZunMainFrame::OnFuncAnotation)
ON_COMMAND(ID_FUNC_VIEWER, &CZunMainFrame::OnFuncViewer)
ON_COMMAND(ID_FUNC_WHITEBOARD, &CZunMainFrame::OnFuncWhiteboard)
ON_COMMAND(ID_FILEDCLICKED, &CZunMainFrame::OnFileDClicked)
ON_COMMAND(ID_SAVE_AS, &CZunMainFrame::OnSaveAs)
ON_COMMAND(ID_SAVE_AS_REPLACE, &CZunMainFrame::OnSaveAsReplace)
ON_UPDATE_COMMAND_UI(ID_FILEDCLICKED, &CZunMainFrame::OnUpdateAlwaysEnabled)
ON_COMMAND(ID_EDIT_PASTE, &CZunMainFrame::OnEditPaste)
ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE, &CZunMainFrame::OnUpdateEditPaste)
ON_COMMAND(ID_UPDATE_HINT_LAST, &CZunMainFrame::OnPostUpdate)
END_MESSAGE_MAP()

namespace {

constexpr const char* kRegShowStatusBar = "ShowStatusBar";
constexpr const char* kRegShowToolBar = "ShowBrowserBar";
constexpr const char* kRegMainFrame = "MainFrame";
constexpr const char* kRegSortMethod = "SortMethod";
constexpr const char* kSection = "Preference";
// The totals pane's least width; it grows with a longer text.
constexpr int kTotalsPaneWidth = 200;

constexpr UINT kToolBarButtons[] = {ID_NEW_FOLDER, ID_PRINT_SHEETS,  ID_EDIT_CUT,      ID_EDIT_COPY,
                                    ID_EDIT_PASTE, ID_EDIT_DELETE_FILES, ID_EDIT_UNDO, ID_VIEW_THUMBNAILS,
                                    ID_VIEW_ICONS, ID_VIEW_DETAILS};
// Each button's picture in the strip (picture 1 is not used by the bar).
constexpr int kToolBarImages[] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// The strip of the toolbar's buttons in button order, magenta turned into the face.
QImage ToolBarStrip(COLORREF face)
{
    const QImage all = LoadToolBarStrip(IDB_ZUN_TOOLBAR, face);
    QImage strip(24 * int(std::size(kToolBarImages)), 24, QImage::Format_RGB32);
    strip.fill(qRgb(GetRValue(face), GetGValue(face), GetBValue(face)));
    QPainter painter(&strip);
    for (size_t b = 0; b < std::size(kToolBarImages); ++b)
        painter.drawImage(QPoint(int(b) * 24, 0), all, QRect(kToolBarImages[b] * 24, 0, 24, 24));
    return strip;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

} // namespace

// ---- toolbar ---------------------------------------------------------------

BOOL CZunToolBar::CreateBar(CWnd* pParent)
{
    if (!CreateFrameBar(pParent, IDW_ZUN_TOOLBAR, kToolBarButtons, int(std::size(kToolBarButtons))))
        return FALSE;
    m_cxLeftBorder += 10;
    // Read once: a bar hidden at start is never shown, and showing it again
    // must not take back the sort chosen since.
    m_nSortMethod = RegReadInt(IDS_REG_PREFERENCE, kRegSortMethod, 0);
    return LoadBitmap(ToolBarStrip(m_crFace));
}

void CZunToolBar::OnDestroy()
{
    RegWriteInt(IDS_REG_PREFERENCE, kRegSortMethod, m_nSortMethod);
    CToolBarEx::OnDestroy();
}

// ---- frame -----------------------------------------------------------------

CZunMainFrame::CZunMainFrame()
{
    m_bShowToolBar = RegReadInt(IDS_REG_PREFERENCE, kRegShowToolBar, 1);
    m_bShowStatusBar = RegReadInt(IDS_REG_PREFERENCE, kRegShowStatusBar, 1);
}

CZunMainFrame::~CZunMainFrame() = default;

BOOL CZunMainFrame::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    RegisterBrowserResources();
    SetSystemIcon(IDI_ZUN_FRAME);
    if (!CZunFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext))
        return FALSE;
    RestorePlacement(kSection, kRegMainFrame);
    return TRUE;
}

int CZunMainFrame::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CZunFrameWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!CreateFrameMenuBar(m_wndMenuBar, IDW_ZUN_MENUBAR, IDR_ZUNTYPE, CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM))
        return -1;

    if (!m_wndToolBar.CreateBar(this))
        return -1;
    m_crToolBar = GetSchemeSysColor(15);
    m_wndToolBar.ShowWindow(m_bShowToolBar ? SW_SHOW : SW_HIDE);

    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP, IDW_ZUN_STATUSBAR))
        return -1;
    const UINT indicators[] = {ID_ZUN_INDICATOR, ID_ZUN_INDICATOR};
    m_wndStatusBar.SetIndicators(indicators, 2);
    m_wndStatusBar.SetPaneInfo(0, ID_ZUN_INDICATOR, SBPS_NORMAL, kTotalsPaneWidth);
    m_wndStatusBar.SetPaneInfo(1, ID_ZUN_INDICATOR, SBPS_STRETCH, 0);
    m_wndStatusBar.SendMessage(SB_SETBKCOLOR, 0, LPARAM(CStatusBarEx::kBackColor));
    m_wndStatusBar.ShowWindow(m_bShowStatusBar ? SW_SHOW : SW_HIDE);

    // The frame writes both panes itself on each tick.
    m_pHoverHelp = std::make_unique<CHoverHelp>(&m_wndStatusBar, -1);
    if (m_pView)
        m_pView->SetHoverHelp(m_pHoverHelp.get());
    m_accel.Load(this, IDR_ZUN_ACCEL);
    LoadFrameAccelerators(IDR_ZUNTYPE);
    SetTimer(kStatusTimer, kStatusMs);
    RecalcLayout();
    // The hints show from now on, until a menu's prompt stops them.
    SetMessageText(kIdleMessageId);
    return 0;
}

BOOL CZunMainFrame::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext)
{
    if (!pContext || !pContext->m_pNewViewClass)
        return FALSE;
    m_pView = dynamic_cast<CZunMainView*>(CreateView(pContext, AFX_IDW_PANE_FIRST));
    if (!m_pView)
        return FALSE;
    m_pView->SetFrameParts(&m_wndToolBar, this);
    return TRUE;
}

BOOL CZunMainFrame::PreTranslateMessage(MSG* pMsg)
{
    // Keys of the view's panes pass the view first (Return, Delete).
    if (m_pView && m_pView->m_hWnd && pMsg->hwnd &&
        (pMsg->hwnd == m_pView->m_hWnd || m_pView->m_hWnd->isAncestorOf(pMsg->hwnd)) && m_pView->PreTranslateMessage(pMsg))
        return TRUE;
    if (m_accel.Translate(pMsg))
        return TRUE;
    return CZunFrameWnd::PreTranslateMessage(pMsg);
}

void CZunMainFrame::OnUpdateFrameTitle(BOOL)
{
    // The browser's caption is the program's name alone: the running copy is
    // found by it.
    if (m_strTitle != GetWindowText())
        SetWindowText(m_strTitle);
}

void CZunMainFrame::OnGetMinMaxInfo(MINMAXINFO* p)
{
    p->ptMinTrackSize.x = 200;
    p->ptMinTrackSize.y = 200;
    CZunFrameWnd::OnGetMinMaxInfo(p);
}

void CZunMainFrame::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kStatusTimer && m_pHoverHelp) {
        const std::string text0 = m_pView ? m_pView->GetStatusText(0) : std::string();
        const std::string text1 = m_pView ? m_pView->GetStatusText(1) : std::string();
        m_pHoverHelp->Update();
        // The hint of what is under the mouse stands in for the first text;
        // while a menu is open its entry's prompt stays there instead.
        if (m_wndStatusBar.m_hWnd) {
            if (std::string shown; m_pHoverHelp->PaneText(text0, shown)) {
                if (m_wndStatusBar.GetPaneText(0) != shown) {
                    // The pane grows to show its whole text (totals or hint) in the desktop's font.
                    const int width =
                        QFontMetrics(m_wndStatusBar.GetFont()).horizontalAdvance(QString::fromStdString(shown));
                    m_wndStatusBar.SetPaneInfo(0, ID_ZUN_INDICATOR, SBPS_NORMAL, std::max(kTotalsPaneWidth, width + 12));
                    m_wndStatusBar.SetPaneText(0, shown);
                }
            }
            if (m_wndStatusBar.GetPaneText(1) != text1)
                m_wndStatusBar.SetPaneText(1, text1);
        }
    }
    CZunFrameWnd::OnTimer(nIDEvent);
}

void CZunMainFrame::SelectStartFolder()
{
    if (m_pView)
        m_pView->SelectStartFolder();
}

BOOL CZunMainFrame::PrepareToClose()
{
    m_wave.Stop();
    m_wave.Close();
    if (m_pView)
        m_pView->SaveSettings();
    return TRUE;
}

void CZunMainFrame::SaveFrameSettings()
{
    if (!m_hWnd)
        return;
    RegWriteInt(IDS_REG_PREFERENCE, kRegShowStatusBar, m_wndStatusBar.m_hWnd && m_wndStatusBar.IsWindowVisible());
    RegWriteInt(IDS_REG_PREFERENCE, kRegShowToolBar, m_bShowToolBar);
    RegSaveWindowRectAt(m_hWnd, kSection, kRegMainFrame);
}

void CZunMainFrame::OnClose()
{
    IZunAppServices* app = GetZunAppServices();
    if (app && !app->CanCloseAllDocuments())
        return;
    SaveFrameSettings();
    CZunFrameWnd::OnClose();
}

void CZunMainFrame::OnDestroy()
{
    KillTimer(kStatusTimer);
    m_wave.Stop();
    m_wave.Close();
    if (CDocument* doc = GetActiveDocument())
        if (auto* t = dynamic_cast<CZunDocTemplate*>(doc->GetDocTemplate()))
            t->FrameDestroyed(this);
    CZunFrameWnd::OnDestroy();
}

void CZunMainFrame::OnViewToolBar()
{
    m_bShowToolBar = !m_bShowToolBar;
    ShowBar(m_wndToolBar, m_bShowToolBar);
}

void CZunMainFrame::OnUpdateViewToolBar(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_pView && GetActiveView() == m_pView);
    pCmdUI->SetCheck(m_bShowToolBar ? 1 : 0);
}

void CZunMainFrame::OnViewStatusBar()
{
    m_bShowStatusBar = !m_bShowStatusBar;
    ShowBar(m_wndStatusBar, m_bShowStatusBar);
}

void CZunMainFrame::OnUpdateViewStatusBar(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bShowStatusBar ? 1 : 0); }

void CZunMainFrame::OnUpdateAlwaysEnabled(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CZunMainFrame::OnPostUpdate()
{
    if (m_pView && GetActiveView() == m_pView && IsWindowEnabled())
        PostMessage(WM_COMMAND, ID_VIEW_UPDATE, 0);
}

void CZunMainFrame::OnStopWave() { m_wave.Stop(); }

// ---- function commands -----------------------------------------------------

BOOL CZunMainFrame::CheckFileExists(const std::string& path)
{
    if (Exists(path))
        return TRUE;
    if (path.size() < 261)
        AfxMessageBox(FormatWithStrings(res::String(IDS_FILE_NOT_FOUND), {path}));
    else
        AfxMessageBox(IDS_NAME_TOO_LONG);
    return FALSE;
}

BOOL CZunMainFrame::OpenInEditor(const std::string& path, BOOL bAdd)
{
    IZunAppServices* app = GetZunAppServices();
    if (!app || !CheckFileExists(path))
        return FALSE;
    CThumbnailLoader* loader = m_pView ? &m_pView->Loader() : nullptr;
    if (loader)
        loader->Pause();
    const BOOL opened = app->OpenInMessageEditor(path, bAdd, 0) != nullptr;
    if (loader)
        loader->Resume();
    return opened;
}

BOOL CZunMainFrame::ViewComment()
{
    if (!m_pView)
        return FALSE;
    std::vector<std::string> paths = m_pView->SelectedMessagePaths();
    if (paths.empty())
        paths = m_pView->SelectedPicturePaths(TRUE);
    if (paths.empty() || paths.size() > 2)
        return FALSE;
    if (!OpenInEditor(paths[0], FALSE))
        return FALSE;
    if (paths.size() == 2 && Exists(paths[1]))
        OpenInEditor(paths[1], TRUE);
    return TRUE;
}

void CZunMainFrame::OpenInViewerChecked(const std::string& path)
{
    if (!CheckFileExists(path))
        return;
    if (path == m_strOpening) {
        AfxMessageBox(IDS_ALREADY_IN_VIEWER);
        return;
    }
    IZunAppServices* app = GetZunAppServices();
    if (!app)
        return;
    CThumbnailLoader* loader = m_pView ? &m_pView->Loader() : nullptr;
    if (loader)
        loader->Pause();
    m_strOpening = path;
    app->OpenInViewer(path);
    m_strOpening.clear();
    if (loader)
        loader->Resume();
}

void CZunMainFrame::OpenMovie(const std::string& path)
{
    if (!CheckFileExists(path))
        return;
    OpenWithAssociatedProgram(path, [](bool) { AfxMessageBox(IDS_NO_MOVIE_PLAYER); });
}

void CZunMainFrame::PlaySoundFile(const std::string& path)
{
    if (!CheckFileExists(path))
        return;
    m_wave.Stop();
    if (m_wave.LoadFile(path.c_str()))
        m_wave.Play(&CWave::SharedPlayer(), nullptr);
}

BOOL CZunMainFrame::ViewImage()
{
    if (!m_pView)
        return FALSE;
    const std::vector<std::string> pictures = m_pView->SelectedPicturePaths(FALSE);
    if (!pictures.empty()) {
        OpenInViewerChecked(pictures[0]);
        return TRUE;
    }
    const std::vector<std::string> movies = m_pView->SelectedMoviePaths();
    if (!movies.empty()) {
        OpenMovie(movies[0]);
        return TRUE;
    }
    const std::vector<std::string> sounds = m_pView->SelectedSoundPaths();
    if (!sounds.empty()) {
        PlaySoundFile(sounds[0]);
        return TRUE;
    }
    return FALSE;
}

void CZunMainFrame::CheckWhiteboard(const std::string& path)
{
    if (!CheckFileExists(path))
        return;
    if (path == m_strOpening)
        AfxMessageBox(IDS_ALREADY_IN_VIEWER);
}

void CZunMainFrame::OnFuncAnotation() { ViewComment(); }

void CZunMainFrame::OnFuncViewer() { ViewImage(); }

void CZunMainFrame::OnFuncWhiteboard()
{
    if (!m_pView)
        return;
    const std::vector<std::string> pictures = m_pView->SelectedPicturePaths(FALSE);
    if (!pictures.empty())
        CheckWhiteboard(pictures[0]);
}

void CZunMainFrame::OnFileDClicked()
{
    std::string path, linked;
    BOOL message = FALSE, whiteboard = FALSE, movie = FALSE, sound = FALSE;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        CFileItem* item = GetFileItem(-1);
        if (!item || item == GetSharedEmptyItem())
            return;
        path = item->GetPath();
        linked = item->GetSecondName();
        message = item->IsMessageFile();
        whiteboard = item->HasMakerFlag8();
        movie = item->IsMovie();
        sound = item->IsWav();
    }
    if (!linked.empty())
        OpenInEditor(linked, FALSE);
    else if (message)
        OpenInEditor(path, FALSE);
    else if (whiteboard)
        CheckWhiteboard(path);
    else if (movie)
        OpenMovie(path);
    else if (sound)
        PlaySoundFile(path);
    else
        OpenInEditor(path, FALSE);
}
