#include "message/ano_main_frame.h"

#include "imaging/image_buffer.h"
#include "viewer/viewer_doc_template.h"
#include "message/ano_commands.h"
#include "message/ano_doc_template.h"
#include "message/aphoto_comment_pane.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_view.h"
#include "platform/framework/accel.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/menu.h"
#include "platform/framework/wait_cursor.h"
#include "ui/edit_commands.h"
#include "ui/hover_help.h"
#include "ui/ui_services.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QFontMetrics>
#include <QWidget>

IMPLEMENT_DYNCREATE(CAnoMainFrame, CZunFrameWnd)

namespace {

enum : UINT {
    ID_HELP = 227,
    ID_OPEN = 314,
    ID_IMPORT = 165,
    ID_PRINT_DIRECT = 57608,
    ID_FIND_NEXT = 200,
    ID_ABOUT = 57664,
};

constexpr UINT kToolBarButtons[] = {
    ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,       ID_EDIT_UNDO,    CAPhotoView::ID_FONT,
    ID_REDUCE,   ID_ENLARGE,   ID_ZOOM,             ID_TOOL_SQUARE,  ID_TOOL_ROUNDSQUARE,
    ID_TOOL_OVAL, ID_TOOL_FREEHAND, ID_TOOL_GRAB,
};

} // namespace

void RegisterMessageEditorResources()
{
    static const bool once = [] {
        const UINT S = MF_STRING;
        const MenuResourceItem sep{MF_SEPARATOR, 0, "", {}};
        RegisterMenuResource(
            CAnoMainFrame::IDR_MESSAGE,
            {{MF_POPUP,
              0,
              "&File",
              {{S, ID_OPEN, "&Open...\tCtrl+O", {}},
               {S, ID_IMPORT, "&Import Image...", {}},
               sep,
               {S, ID_FILE_SAVE, "&Save\tCtrl+S", {}},
               {S, ID_FILE_SAVE_AS, "Save &As...", {}},
               {S, APhotoCommentPane::ID_SAVE_WEBPAGE, "Save as &Web Page...", {}},
               {S, APhotoCommentPane::ID_WRITE_TO_FILE, "Write to &File...", {}},
               sep,
               {S, APhotoCommentPane::ID_FILE_PRINT_MESSAGE, "&Print...\tCtrl+P", {}},
               {S, ID_FILE_SEND_MAIL, "&Mail...", {}},
               sep,
               {S, CAPhotoView::ID_COLOR_PREFS, "Color Pr&eferences...", {}},
               sep,
               {S, ID_FILE_MRU_FILE1, "Rece&nt File", {}},
               sep,
               {S, ID_APP_EXIT, "&Quit\tCtrl+Q", {}}}},
             EditMenu({sep, {S, CAPhotoView::ID_COMMENT_SEARCH, "Comment &Search...\tCtrl+F", {}}}),
             {MF_POPUP,
              0,
              "&View",
              {{S, CAnoMainFrame::IDW_TOOLBAR, "&Toolbars", {}},
               {S, CAnoMainFrame::IDW_STATUSBAR, "&Status Bar", {}},
               sep,
               {S, ID_ZOOM, "&Zoom", {}},
               {S, ID_ENLARGE, "&Enlarge\tCtrl+Up", {}},
               {S, ID_REDUCE, "Re&duce\tCtrl+Down", {}},
               sep,
               {S, ID_ROTATE_CW, "Rotate 90 Degrees &Clockwise\tCtrl+R", {}},
               {S, ID_ROTATE_CCW, "Rotate 90 Degrees C&ounterclockwise\tCtrl+Shift+R", {}},
               sep,
               {MF_POPUP,
                0,
                "&Area Marquee",
                {{S, ID_TOOL_SQUARE, "&Square", {}},
                 {S, ID_TOOL_ROUNDSQUARE, "&Rounded Square", {}},
                 {S, ID_TOOL_OVAL, "&Oval", {}},
                 {S, ID_TOOL_FREEHAND, "&Freehand", {}}}},
               {S, ID_TOOL_GRAB, "&Grab Tool", {}},
               sep,
               {S, CAPhotoView::ID_DATE_USERNAME, "Date and &User Name", {}}}},
             {MF_POPUP,
              0,
              "&Comment",
              {{S, ID_ADDANOTATION, "&Add\tCtrl+Enter", {}},
               {S, APhotoCommentPane::ID_COMMENT_DELETE, "&Delete", {}},
               sep,
               {S, CAPhotoView::ID_FONT, "&Font...", {}},
               {S, CAPhotoView::ID_PLAYBACK, "Audio/Image &Playback", {}}}},
             {MF_POPUP, 0, "&Help", {{S, ID_HELP, "&Help\tF1", {}}, {S, ID_ABOUT, "&About...", {}}}}});
        const BYTE C = FVIRTKEY | FCONTROL, CS = FVIRTKEY | FCONTROL | FSHIFT;
        RegisterAcceleratorResource(CAnoMainFrame::IDR_MESSAGE, WithClipboardKeys({
                                                                    {C, 'O', ID_OPEN},
                                                                    {C, 'S', ID_FILE_SAVE},
                                                                    {C, 'P', APhotoCommentPane::ID_FILE_PRINT_MESSAGE},
                                                                    {C, 'Q', ID_APP_EXIT},
                                                                    {C, 'Z', ID_EDIT_UNDO},
                                                                    {C, 'F', CAPhotoView::ID_COMMENT_SEARCH},
                                                                    {FVIRTKEY, 0x72, ID_FIND_NEXT},
                                                                    {C, VK_RETURN, ID_ADDANOTATION},
                                                                    {C, 'R', ID_ROTATE_CW},
                                                                    {CS, 'R', ID_ROTATE_CCW},
                                                                    {C, VK_UP, ID_ENLARGE},
                                                                    {C, VK_DOWN, ID_REDUCE},
                                                                    {FVIRTKEY, VK_F1, ID_HELP},
                                                                }));
        return true;
    }();
    (void)once;
}

BEGIN_MESSAGE_MAP(CAnoMainFrame, CZunFrameWnd)
    // The toggles and their checks are the base frame's.
    ON_COMMAND(IDW_TOOLBAR, &CAnoMainFrame::OnViewToolBar)
    ON_COMMAND(IDW_STATUSBAR, &CAnoMainFrame::OnViewStatusBar)
    ON_UPDATE_COMMAND_UI(IDW_TOOLBAR, &CAnoMainFrame::OnUpdateViewToolBar)
    ON_UPDATE_COMMAND_UI(IDW_STATUSBAR, &CAnoMainFrame::OnUpdateViewStatusBar)
    ON_COMMAND(ID_OPENIMAGEANO, &CAnoMainFrame::OnOpenImageComment)
    ON_COMMAND(ID_OPENSOUNDANO, &CAnoMainFrame::OnOpenSoundComment)
    ON_UPDATE_COMMAND_UI(ID_HELP, &CAnoMainFrame::OnUpdateHelp)
END_MESSAGE_MAP()

CAnoMainFrame::CAnoMainFrame()
{
    SetSystemIcon(IDI_FRAME);
    KeepSettings({kFrameValue, kToolBarValue, kStatBarValue});
    SetDocumentInTitle(TRUE);
}

CAnoMainFrame::~CAnoMainFrame() = default;

BOOL CAnoMainFrame::OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext)
{
    if (!CZunFrameWnd::OnCreateClient(lpcs, pContext))
        return FALSE;
    auto* view = dynamic_cast<CAPhotoView*>(GetDlgItem(AFX_IDW_PANE_FIRST));
    if (!view)
        return FALSE;
    SetActiveView(view, FALSE);
    // The hover help comes with the status bar, later in the creation.
    view->SetFrameAndHoverHelp(this, nullptr);
    return TRUE;
}

int CAnoMainFrame::OnCreate(LPCREATESTRUCT lpcs)
{
    RegisterMessageEditorResources();
    if (CZunFrameWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!CreateFrameMenuBar(m_wndMenuBar, IDW_MENUBAR, IDR_MESSAGE) || !CreateToolBar() || !CreateStatusBar())
        return -1;
    // The size pane shows the hints; the view puts them there with its size text.
    m_pHoverHelp = std::make_unique<CHoverHelp>(&m_wndStatusBar, -1);
    if (auto* view = dynamic_cast<CAPhotoView*>(GetActiveView()))
        view->SetFrameAndHoverHelp(this, m_pHoverHelp.get());
    LoadFrameAccelerators(IDR_MESSAGE);
    ShowKeptBars(m_wndToolBar, m_wndStatusBar);
    SetMessageText(kIdleMessageId);
    SetTimer(kStatusTimer, kStatusTimerMs);
    return 0;
}

BOOL CAnoMainFrame::CreateToolBar()
{
    return m_wndToolBar.CreateFrameBar(this, IDW_TOOLBAR, kToolBarButtons, int(std::size(kToolBarButtons))) &&
           m_wndToolBar.LoadBitmap(LoadToolBarStrip(IDB_TOOLBAR, m_wndToolBar.m_crFace));
}

BOOL CAnoMainFrame::CreateStatusBar()
{
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, IDW_STATUSBAR))
        return FALSE;
    const UINT indicators[] = {ID_INDICATOR_EMPTY, ID_INDICATOR_EMPTY, ID_INDICATOR_EMPTY};
    m_wndStatusBar.SetIndicators(indicators, 3);
    m_wndStatusBar.SetPaneInfo(0, ID_INDICATOR_SIZE, SBPS_STRETCH, 100);
    m_wndStatusBar.SendMessage(SB_SETBKCOLOR, 0, LPARAM(CStatusBarEx::kBackColor));
    const int readOnlyWidth = QFontMetrics(m_wndStatusBar.m_hWnd->font()).horizontalAdvance(kReadOnlyText) + 4;
    m_wndStatusBar.SetPaneInfo(1, ID_INDICATOR_EMPTY, SBPS_NORMAL, 80);
    m_wndStatusBar.SetPaneInfo(2, ID_INDICATOR_EMPTY, SBPS_NORMAL, readOnlyWidth);
    return TRUE;
}

void CAnoMainFrame::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kStatusTimer)
        StatusStep();
    CZunFrameWnd::OnTimer(nIDEvent);
}

void CAnoMainFrame::StatusStep()
{
    if (!m_wndStatusBar.m_hWnd)
        return;
    if (m_pHoverHelp)
        m_pHoverHelp->Update();
    m_wndStatusBar.SetPaneText(1, {});
    auto* doc = dynamic_cast<CAPhotoDoc*>(GetActiveDocument());
    m_wndStatusBar.SetPaneText(2, doc && doc->IsReadOnly() ? kReadOnlyText : "");
    // The size pane (the view's) follows the hint under the cursor.
    m_wndStatusBar.OnUpdateCmdUI(this, FALSE);
}

void CAnoMainFrame::OnClose()
{
    KillTimer(kStatusTimer);
    CZunFrameWnd::OnClose();
}

void CAnoMainFrame::OnDestroy()
{
    KillTimer(kStatusTimer);
    auto* view = dynamic_cast<CView*>(GetDlgItem(AFX_IDW_PANE_FIRST));
    if (CDocument* doc = view ? view->GetDocument() : nullptr)
        if (auto* t = dynamic_cast<CAnoDocTemplate*>(doc->GetDocTemplate()))
            t->FrameDestroyed(this);
    if (auto* photoView = dynamic_cast<CAPhotoView*>(view))
        photoView->SetFrameAndHoverHelp(this, nullptr);
    CZunFrameWnd::OnDestroy();
}

void CAnoMainFrame::OnGetMinMaxInfo(MINMAXINFO* p)
{
    auto* view = dynamic_cast<CAPhotoView*>(GetActiveView());
    if (!view) {
        CZunFrameWnd::OnGetMinMaxInfo(p);
        return;
    }
    MINMAXINFO inner{};
    view->GetMinTrackSize(&inner);
    CRect frame, client;
    GetWindowRect(&frame);
    view->GetClientRect(&client);
    p->ptMinTrackSize.x = inner.ptMinTrackSize.x + (frame.Width() - client.Width());
    p->ptMinTrackSize.y = inner.ptMinTrackSize.y + (frame.Height() - client.Height());
}

void CAnoMainFrame::OnUpdateHelp(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CAnoMainFrame::OnOpenImageComment()
{
    auto* view = dynamic_cast<CAPhotoView*>(GetActiveView());
    auto* viewer = dynamic_cast<CViewerDocTemplate*>(m_pViewerTemplate);
    if (!view || !viewer)
        return;
    CWaitCursor wait;
    CImageBuffer picture, display, print;
    std::string text;
    int64_t date = 0;
    if (!view->PrepareCommentPicture(picture, display, print, text, date))
        return;
    viewer->OpenImage(LastNameOf(text), &picture, &display, &print, date);
}
