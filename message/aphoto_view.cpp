#include "message/aphoto_view.h"

#include "imaging/dib_bitmap.h"
#include "viewer/colour_pref_dlog.h"
#include "viewer/image_file_tests.h"
#include "message/ano_commands.h"
#include "message/ano_doc_template.h"
#include "message/ano_record.h"
#include "message/ano_search_dlog.h"
#include "message/cm_progress_dlog.h"
#include "imaging/colour_matcher.h"
#include "imaging/pelkor_engine.h"
#include "message/aphoto_comment_pane.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_img_pane.h"
#include "message/aphoto_page_render.h"
#include "message/aphoto_print_dlog.h"
#include "message/photo_content.h"
#include "message/web_page_save_dlog.h"
#include "platform/clipboard.h"
#include "platform/datetime.h"
#include "platform/exceptions.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/ole_drop.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "ui/app_templates.h"
#include "ui/drag_data_source.h"
#include "ui/export_folder_dlog.h"
#include "ui/font_dialog.h"
#include "ui/hover_help.h"
#include "ui/ui_services.h"
#include "ui/zun_frame_wnd.h"
#include "util/app_settings.h"
#include "util/path_util.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

IMPLEMENT_DYNCREATE(CAPhotoView, CAPhotoViewBase)

namespace {

enum : UINT {
    ID_PRINT_LOOP = 57607,
    ID_PRINT_DIRECT = 57608,
    ID_COMMENT_MOUSE_LEAVE = 161,
    ID_PREF_CHANGED = 310,
    ID_PREF_CHANGED_MSG = 189,
    ID_CM_CHANGED = 229,
    ID_CM_CHANGED_MSG = 190,
};

// The folder Save as Web Page chose last while the program runs.
std::string& LastWebPageFolder()
{
    static std::string folder;
    return folder;
}

bool IsPictureFileName(const std::string& path)
{
    std::string ext = DottedExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    for (const char* e : {".JPG", ".JPEG", ".JPE", ".TIF", ".TIFF", ".BMP"})
        if (ext == e)
            return true;
    return false;
}

} // namespace

BEGIN_MESSAGE_MAP(CAPhotoView, CAPhotoViewBase)
    ON_COMMAND(ID_EDIT_COPY, &CAPhotoView::OnEditCopy)
    ON_COMMAND(ID_EDIT_PASTE, &CAPhotoView::OnEditPaste)
    ON_COMMAND(ID_EDIT_UNDO, &CAPhotoView::OnEditUndo)
    ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, &CAPhotoView::OnUpdateEditCopy)
    ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE, &CAPhotoView::OnUpdateEditPaste)
    ON_UPDATE_COMMAND_UI(ID_EDIT_UNDO, &CAPhotoView::OnUpdateEditUndo)
    ON_UPDATE_COMMAND_UI(ID_EDIT_CUT, &CAPhotoView::OnUpdateEditCut)
    ON_COMMAND_RANGE(ID_ROTATE_CW, ID_ROTATE_CCW, &CAPhotoView::OnRotate)
    ON_UPDATE_COMMAND_UI_RANGE(ID_ROTATE_CW, ID_ROTATE_CCW, &CAPhotoView::OnUpdateImagePaneCommand)
    ON_COMMAND_RANGE(ID_ZOOMTOMARQUEE, ID_ZOOMFIT, &CAPhotoView::OnImagePaneCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_ZOOMTOMARQUEE, ID_ZOOMFIT, &CAPhotoView::OnUpdateImagePaneCommand)
    ON_COMMAND_RANGE(ID_ENLARGE, ID_REDUCE, &CAPhotoView::OnImagePaneCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_ENLARGE, ID_REDUCE, &CAPhotoView::OnUpdateImagePaneCommand)
    ON_COMMAND(ID_ZOOM, &CAPhotoView::OnImagePaneCommand)
    ON_UPDATE_COMMAND_UI(ID_ZOOM, &CAPhotoView::OnUpdateImagePaneCommand)
    ON_COMMAND(ID_UPDATE_UI, &CAPhotoView::OnImagePaneCommand)
    ON_UPDATE_COMMAND_UI(ID_UPDATE_UI, &CAPhotoView::OnUpdateAlways)
    ON_COMMAND_RANGE(ID_TOOL_SQUARE, ID_TOOL_GRAB, &CAPhotoView::OnImagePaneCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_TOOL_SQUARE, ID_TOOL_GRAB, &CAPhotoView::OnUpdateTool)
    ON_UPDATE_COMMAND_UI(ID_FILE_SAVE, &CAPhotoView::OnUpdateSave)
    ON_UPDATE_COMMAND_UI(ID_FILE_SAVE_AS, &CAPhotoView::OnUpdateSave)
    ON_UPDATE_COMMAND_UI(ID_FILE_SEND_MAIL, &CAPhotoView::OnUpdateNeedsPicture)
    ON_COMMAND(APhotoCommentPane::ID_FILE_PRINT_MESSAGE, &CAPhotoView::OnPrint)
    ON_UPDATE_COMMAND_UI(APhotoCommentPane::ID_FILE_PRINT_MESSAGE, &CAPhotoView::OnUpdateNeedsPicture)
    ON_COMMAND(ID_PRINT_DIRECT, &CAPhotoView::OnPrint)
    ON_UPDATE_COMMAND_UI(ID_PRINT_DIRECT, &CAPhotoView::OnUpdateNeedsPicture)
    ON_COMMAND(ID_DATE_USERNAME, &CAPhotoView::OnDateUserName)
    ON_UPDATE_COMMAND_UI(ID_DATE_USERNAME, &CAPhotoView::OnUpdateDateUserName)
    ON_COMMAND(ID_FONT, &CAPhotoView::OnFont)
    ON_UPDATE_COMMAND_UI(ID_FONT, &CAPhotoView::OnUpdateFont)
    ON_COMMAND(ID_PLAYBACK, &CAPhotoView::OnPlayback)
    ON_UPDATE_COMMAND_UI(ID_PLAYBACK, &CAPhotoView::OnUpdatePlayback)
    ON_COMMAND(ID_ADDANOTATION, &CAPhotoView::OnAddComment)
    ON_UPDATE_COMMAND_UI(ID_ADDANOTATION, &CAPhotoView::OnUpdateAddComment)
    ON_COMMAND(APhotoCommentPane::ID_COMMENT_DELETE, &CAPhotoView::OnDeleteComment)
    ON_UPDATE_COMMAND_UI(APhotoCommentPane::ID_COMMENT_DELETE, &CAPhotoView::OnUpdateDeleteComment)
    ON_COMMAND(APhotoCommentPane::ID_COMMENT_DELETE_KEY, &CAPhotoView::OnDeleteComment)
    ON_UPDATE_COMMAND_UI(APhotoCommentPane::ID_COMMENT_DELETE_KEY, &CAPhotoView::OnUpdateDeleteComment)
    ON_COMMAND(APhotoCommentPane::ID_SAVE_WEBPAGE, &CAPhotoView::OnSaveWebPage)
    ON_UPDATE_COMMAND_UI(APhotoCommentPane::ID_SAVE_WEBPAGE, &CAPhotoView::OnUpdateAlways)
    ON_COMMAND(APhotoCommentPane::ID_WRITE_TO_FILE, &CAPhotoView::OnWriteToFile)
    ON_COMMAND(ID_COLOR_PREFS, &CAPhotoView::OnColorPreferences)
    ON_UPDATE_COMMAND_UI(ID_COLOR_PREFS, &CAPhotoView::OnUpdateAlways)
    ON_COMMAND(ID_COMMENT_SEARCH, &CAPhotoView::OnCommentSearch)
    ON_UPDATE_COMMAND_UI(ID_COMMENT_SEARCH, &CAPhotoView::OnUpdateAlways)
    ON_COMMAND(ID_ANOFINDNEXT, &CAPhotoView::OnFindNext)
    ON_COMMAND(ID_CLEARANOTATION, &CAPhotoView::OnClear)
    ON_UPDATE_COMMAND_UI(ID_CLEARANOTATION, &CAPhotoView::OnUpdateClear)
    ON_COMMAND(ID_COMMENTSELCHANGED, &CAPhotoView::OnSelectionChanged)
    ON_COMMAND(ID_MOUSEONCOMMENT, &CAPhotoView::OnAreaChanged)
    ON_COMMAND(ID_COMMENT_MOUSE_LEAVE, &CAPhotoView::OnAreaChanged)
    ON_COMMAND(ID_PREF_CHANGED, &CAPhotoView::OnPrefChanged)
    ON_COMMAND(ID_PREF_CHANGED_MSG, &CAPhotoView::OnPrefChanged)
    ON_COMMAND(ID_DESELECTCOMMENT, &CAPhotoView::OnDeselect)
    ON_COMMAND(ID_STARTCOMMENTEDIT, &CAPhotoView::OnAreaModeOff)
    ON_COMMAND(ID_ENDCOMMENTEDIT, &CAPhotoView::OnAreaModeOn)
    ON_COMMAND(ID_TITLECHANGED, &CAPhotoView::OnCommentEdited)
    ON_COMMAND(ID_COMMENTCHANGED, &CAPhotoView::OnModified)
    ON_COMMAND(ID_FILEDROPPED, &CAPhotoView::OnFilesDropped)
    ON_COMMAND(ID_CM_CHANGED, &CAPhotoView::OnColourChanged)
    ON_COMMAND(ID_CM_CHANGED_MSG, &CAPhotoView::OnColourChanged)
    ON_UPDATE_COMMAND_UI(ID_STATUS_SIZE, &CAPhotoView::OnUpdateStatusSize)
END_MESSAGE_MAP()

CAPhotoView::CAPhotoView() = default;

CAPhotoView::~CAPhotoView() = default;

CAPhotoDoc* CAPhotoView::GetPhotoDoc() const { return dynamic_cast<CAPhotoDoc*>(GetDocument()); }

CAPhotoContent* CAPhotoView::Content() const
{
    CAPhotoDoc* doc = GetPhotoDoc();
    return doc ? &doc->GetContent() : nullptr;
}

void CAPhotoView::SetFrameAndHoverHelp(CFrameWnd* pFrame, CHoverHelp* pHoverHelp)
{
    m_pFrame = pFrame;
    m_pHoverHelp = pHoverHelp;
}

CWnd* CAPhotoView::GetFrame() const
{
    if (m_pFrame)
        return m_pFrame;
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

// ---- panes -----------------------------------------------------------------

BOOL CAPhotoView::CreatePanes(BOOL bRebind)
{
    if (!m_hWnd)
        return FALSE;
    if (!m_wndSplitter.IsCreated()) {
        const int width = RegReadInt(IDS_REG_PREFERENCE, kImageWidthValue, kDefaultImageWidth);
        if (!m_wndSplitter.CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, IDC_SPLITTER))
            return FALSE;
        // The reader shows the photograph without the comment editors.
        m_imagePane = std::make_unique<APhotoImgPane>(!res::IsReaderRole());
        m_commentPane = std::make_unique<APhotoCommentPane>();
        if (!m_imagePane->Create(&m_wndSplitter, UINT(m_wndSplitter.IdFromRowCol(0, 0))) ||
            !m_commentPane->Create(&m_wndSplitter, UINT(m_wndSplitter.IdFromRowCol(0, 1))))
            return FALSE;
        m_wndSplitter.SetColumnInfo(0, std::max(width, kMinImageWidth), 0);
        m_wndSplitter.SetColumnInfo(1, 100, 0);
        m_wndSplitter.SetBarColors(GetSchemeSysColor(15), GetSchemeSysColor(4), SchemeColorTeal);
        m_wndSplitter.m_pLayoutGuard = &m_columnGuard;
        CRect client;
        GetClientRect(&client);
        m_wndSplitter.MoveWindow(client, FALSE);
        m_pImagePane = m_imagePane.get();
        m_pCommentPane = m_commentPane.get();
        bRebind = TRUE;
    }
    if (bRebind) {
        m_pImagePane->Attach(GetFrame());
        m_pCommentPane->Attach(GetFrame());
    }
    m_pImagePane->ShowWindow(SW_SHOW);
    m_pCommentPane->ShowWindow(SW_SHOW);
    if (m_pHoverHelp)
        m_pHoverHelp->AddHint(IDC_AREA_HINT, LoadResString(IDS_AREA_HINT_ON));
    m_wndSplitter.RecalcLayout();
    return TRUE;
}

BOOL CAPhotoView::CColumnGuard::CanRecalcLayout()
{
    CAPhotoView* v = m_pView;
    if (!v->m_pCommentPane || !v->m_wndSplitter.m_hWnd)
        return TRUE;
    int current = 0, minimum = 0;
    v->m_wndSplitter.GetColumnInfo(0, current, minimum);
    int ideal = v->m_wndSplitter.GetColumnIdealWidth(0);
    MINMAXINFO info{};
    v->m_pCommentPane->GetMinTrackSize(&info);
    CRect client;
    v->m_wndSplitter.GetClientRect(&client);
    const int shortfall = int(info.ptMinTrackSize.x) - (client.Width() - ideal - v->m_wndSplitter.m_cxSplitter);
    if (shortfall > 0)
        ideal -= shortfall;
    ideal = std::max(ideal, kMinImageWidth);
    v->m_wndSplitter.SetColumnInfo(0, ideal, minimum);
    return TRUE;
}

void CAPhotoView::OnInitialUpdate()
{
    // Later initial updates come with every open or add: the panes already
    // show what the loads told them, and may hold comments not yet stored.
    const bool first = !m_wndSplitter.IsCreated();
    CreatePanes(first);
    if (first)
        RefreshAfterLoad();
}

void CAPhotoView::ClearPanes()
{
    if (!m_pImagePane)
        return;
    m_pImagePane->SetImage(nullptr, TRUE);
    m_pImagePane->Attach(GetFrame());
    m_pCommentPane->Attach(GetFrame());
    m_pCommentPane->SetOpen(FALSE);
}

void CAPhotoView::OnSize(UINT nType, int cx, int cy)
{
    CAPhotoViewBase::OnSize(nType, cx, cy);
    if (cx > 0 && cy > 0 && m_wndSplitter.m_hWnd)
        m_wndSplitter.MoveWindow(0, 0, cx, cy);
}

void CAPhotoView::OnDestroy()
{
    if (m_pCommentPane)
        m_pCommentPane->CloseSound();
    if (m_pImagePane && m_pCommentPane && m_wndSplitter.m_hWnd) {
        m_wndSplitter.ShowHiddenColumn();
        int width = 0, minimum = 0;
        m_wndSplitter.GetColumnInfo(0, width, minimum);
        if (width > 0)
            RegWriteInt(IDS_REG_PREFERENCE, kImageWidthValue, width);
    }
    m_wndSplitter.m_pLayoutGuard = nullptr;
    if (m_pSearch && m_pSearch->m_hWnd)
        m_pSearch->DestroyWindow();
    m_pSearch.reset();
    if (m_pImagePane)
        m_pImagePane->SetImage(nullptr, FALSE);
    CAPhotoViewBase::OnDestroy();
    m_pImagePane = nullptr;
    m_pCommentPane = nullptr;
    if (m_imagePane && m_imagePane->m_hWnd)
        m_imagePane->DestroyWindow();
    if (m_commentPane && m_commentPane->m_hWnd)
        m_commentPane->DestroyWindow();
}

void CAPhotoView::GetMinTrackSize(MINMAXINFO* pInfo)
{
    if (!m_pImagePane || !m_pCommentPane)
        return;
    MINMAXINFO comment{};
    m_pCommentPane->GetMinTrackSize(&comment);
    const CSize image = m_pImagePane->GetMinTrackSize();
    const int width = std::max<int>(image.cx, kMinImageWidth) + int(comment.ptMinTrackSize.x) +
                      m_wndSplitter.m_cxSplitter + 4 * m_wndSplitter.m_cxBorder;
    const int height = std::max<int>(image.cy, int(comment.ptMinTrackSize.y)) + 2 * m_wndSplitter.m_cyBorder;
    pInfo->ptMinTrackSize.x = std::max<LONG>(pInfo->ptMinTrackSize.x, width);
    pInfo->ptMinTrackSize.y = std::max<LONG>(pInfo->ptMinTrackSize.y, height);
}

// ---- the document's pictures -------------------------------------------------

const CImageBuffer& CAPhotoView::GetPicture() const
{
    if (m_displayPicture.IsValid())
        return m_displayPicture;
    static const CImageBuffer none;
    CAPhotoContent* content = Content();
    return content ? content->GetImage() : none;
}

BOOL CAPhotoView::HasPicture() const { return GetPicture().IsValid(); }

void CAPhotoView::ResetPicture()
{
    m_displayPicture.Free();
    if (m_pImagePane)
        m_pImagePane->SetImage(nullptr, FALSE);
    m_pScreenBitmap.reset();
}

// The picture that counts goes to the image pane.
void CAPhotoView::ShowPicture()
{
    if (!m_pImagePane)
        return;
    m_pImagePane->SetImage(nullptr, FALSE);
    m_pScreenBitmap = HasPicture() ? GetPicture().CreateDib() : nullptr;
    m_pImagePane->SetImage(m_pScreenBitmap.get(), TRUE);
}

BOOL CAPhotoView::RunColourJobs(void* input, void* display, void* print)
{
    CPelkorEngine engine;
    CColorMatcher matcher(&engine);
    CCMProgressDlog dlg(this, matcher, static_cast<CCMProgressDlog::Job*>(input),
                        static_cast<CCMProgressDlog::Job*>(display), static_cast<CCMProgressDlog::Job*>(print));
    const BOOL done = dlg.DoModal() == IDOK && !dlg.MatchFailed();
    // Told here, on the main thread, once the worker has been joined.
    if (dlg.MatchFailed())
        AfxMessageBox("Color matching failed.", MB_ICONEXCLAMATION);
    return done;
}

BOOL CAPhotoView::MatchContentPicture()
{
    m_displayPicture.Free();
    CAPhotoContent* content = Content();
    // The reader has no colour management: it shows the photograph as stored.
    if (!content || !content->GetImage().IsValid() || res::IsReaderRole())
        return TRUE;
    {
        CPelkorEngine engine;
        if (!CColorMatcher(&engine).IsInputMatchingOn())
            return TRUE;
    }
    CImageBuffer copy(content->GetImage());
    m_displayPicture.TakeOver(copy);
    CCMProgressDlog::Job job;
    job.profile = content->m_profile;
    job.picture = &m_displayPicture;
    if (RunColourJobs(&job, nullptr))
        return TRUE;
    // The unmatched photograph is shown instead.
    m_displayPicture.Free();
    return FALSE;
}

BOOL CAPhotoView::PrintMatch()
{
    m_printPicture.Free();
    CAPhotoContent* content = Content();
    if (!content || !HasPicture() || res::IsReaderRole())
        return TRUE;
    {
        CPelkorEngine engine;
        if (!CColorMatcher(&engine).IsPrintMatchingOn())
            return TRUE;
    }
    CImageBuffer copy(GetPicture());
    m_printPicture.TakeOver(copy);
    CCMProgressDlog::Job job;
    job.profile = content->m_profile;
    job.picture = &m_printPicture;
    if (RunColourJobs(nullptr, nullptr, &job))
        return TRUE;
    m_printPicture.Free();
    return FALSE;
}

void CAPhotoView::RefreshScreen(BOOL bRedraw)
{
    if (!m_pImagePane)
        return;
    m_pImagePane->SetImage(nullptr, FALSE);
    m_pScreenBitmap = HasPicture() ? GetPicture().CreateDib() : nullptr;
    if (m_displayPicture.IsValid() && m_pScreenBitmap) {
        CPelkorEngine engine;
        if (CColorMatcher(&engine).IsDisplayMatchingOn()) {
            CCMProgressDlog::Job job;
            job.profile = Content() ? Content()->m_profile : CIccProfileData();
            job.bitmap = m_pScreenBitmap.get();
            if (!RunColourJobs(nullptr, &job))
                m_pScreenBitmap = GetPicture().CreateDib();
        }
    }
    m_pImagePane->SetImage(m_pScreenBitmap.get(), bRedraw);
}

void CAPhotoView::RefreshAfterLoad()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !CreatePanes(FALSE))
        return;
    ResetPicture();
    m_nRotation = 0;
    MatchContentPicture();
    RefreshScreen(TRUE);
    m_pCommentPane->SetTitle(doc->GetMessageTitle());
    m_pCommentPane->LoadRecords(doc->GetContent());
    m_pCommentPane->SetOpen(HasPicture());
    SetReadOnlyDisplay(doc->IsReadOnly());
    OnSelectionChanged();
}

void CAPhotoView::SetReadOnlyDisplay(BOOL bReadOnly)
{
    if (!CreatePanes(FALSE))
        return;
    m_pCommentPane->SetReadOnly(bReadOnly);
    m_pImagePane->SetReadOnly(bReadOnly);
}

void CAPhotoView::FillContent(CAPhotoContent& content)
{
    if (!m_pCommentPane)
        return;
    content.m_strPictureText = m_pCommentPane->GetTitle();
    m_pCommentPane->CollectRecords(content);
}

std::string CAPhotoView::GetMessageTitle() { return m_pCommentPane ? m_pCommentPane->GetTitle() : std::string(); }

BOOL CAPhotoView::CanClose() { return TRUE; }

void CAPhotoView::OnUpdate(CView*, LPARAM lHint, CObject*)
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !m_hWnd)
        return;
    switch (lHint) {
    case CAPhotoDoc::hintCleared:
        ResetPicture();
        m_undoPicture.Free();
        m_nRotation = 0;
        ClearPanes();
        break;
    case CAPhotoDoc::hintLoaded:
        m_undoPicture.Free();
        RefreshAfterLoad();
        break;
    case CAPhotoDoc::hintCommentAdded:
        if (CreatePanes(FALSE)) {
            m_pCommentPane->LoadRecords(doc->GetContent());
            OnSelectionChanged();
        }
        break;
    case CAPhotoDoc::hintReadOnly: SetReadOnlyDisplay(doc->IsReadOnly()); break;
    case CAPhotoDoc::hintTitle:
        if (m_pCommentPane && m_pCommentPane->GetTitle() != doc->GetMessageTitle())
            m_pCommentPane->SetTitle(doc->GetMessageTitle());
        break;
    case CAPhotoDoc::hintDropFormat:
        if (m_pImagePane && doc->GetDropFormat())
            m_pImagePane->ImageCtrl().AddDropFormat(doc->GetDropFormat());
        break;
    case CAPhotoDoc::hintBeforeSave: FillContent(doc->GetContent()); break;
    default: break;
    }
}

void CAPhotoView::SetModified()
{
    if (CAPhotoDoc* doc = GetPhotoDoc())
        doc->SetModifiedFlag(TRUE);
}

// ---- command routing ---------------------------------------------------------

BOOL CAPhotoView::CommentPaneCan(UINT nID)
{
    UINT messageId = 0;
    return m_pCommentPane && m_pCommentPane->CanDoCommand(nID, messageId);
}

BOOL CAPhotoView::ImagePaneCan(UINT nID) { return m_pImagePane && m_pImagePane->CanDoCommand(nID); }

BOOL CAPhotoView::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    // The editing commands are the panes' first.
    if (nCode == CN_COMMAND &&
        (nID == ID_EDIT_CUT || nID == ID_EDIT_COPY || nID == ID_EDIT_PASTE || nID == ID_EDIT_UNDO)) {
        if (m_pCommentPane && m_pCommentPane->OnEditCommand(nID))
            return TRUE;
        if (m_pImagePane && m_pImagePane->DoCommand(nID))
            return TRUE;
        if (nID == ID_EDIT_CUT)
            return TRUE;
    }
    return CAPhotoViewBase::OnCmdMsg(nID, nCode, pExtra);
}

void CAPhotoView::OnUpdateEditCut(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CommentPaneCan(ID_EDIT_CUT) || ImagePaneCan(ID_EDIT_CUT));
}

void CAPhotoView::OnUpdateEditCopy(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CommentPaneCan(ID_EDIT_COPY) || ImagePaneCan(ID_EDIT_COPY) ||
                   (m_pScreenBitmap && m_pScreenBitmap->IsValid()));
}

void CAPhotoView::OnUpdateEditPaste(CCmdUI* pCmdUI)
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    pCmdUI->Enable(CommentPaneCan(ID_EDIT_PASTE) || ImagePaneCan(ID_EDIT_PASTE) ||
                   COleDataObject(data).IsDataAvailable(CF_DIB));
}

void CAPhotoView::OnUpdateEditUndo(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CommentPaneCan(ID_EDIT_UNDO) || ImagePaneCan(ID_EDIT_UNDO) || m_undoPicture.IsValid());
}

void CAPhotoView::OnEditCopy()
{
    if (!m_pScreenBitmap || !m_pScreenBitmap->IsValid())
        return;
    std::unique_ptr<CDibBitmap> part;
    const CAreaMarquee marquee = m_pImagePane ? m_pImagePane->GetMarquee() : CAreaMarquee();
    if (!marquee.m_rect.IsRectEmpty())
        part = GetPicture().CreateDibRect(marquee.m_rect);
    CDragDataSource source;
    source.SetDib((part ? *part : *m_pScreenBitmap).CopyToGlobal());
    source.SetClipboard();
}

// A picture on the clipboard becomes the photograph of a new message.
void CAPhotoView::OnEditPaste()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    CDibBitmap pasted;
    if (!doc || !pasted.ReadFromGlobal(CDragDataSource::GetData(QGuiApplication::clipboard()->mimeData(), CF_DIB)))
        return;
    if (!IsDibSizeSupported(pasted) || (pasted.GetBitsPerPixel() != 24 && !pasted.ConvertBitDepth(24))) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return;
    }
    if (!doc->SaveModified() || !doc->OnNewDocument())
        return;
    CImageBuffer photo;
    if (!photo.Create(CImageBuffer::kMapping, pasted.GetSize(), pasted.GetPixelType(), 1, pasted.GetBits()))
        return;
    ResetPicture();
    doc->GetContent().TakeImage(photo);
    const std::string name = CAnoDocTemplate::LoadDocStringPart(CAnoDocTemplate::IDR_MESSAGE, CDocTemplate::docName);
    doc->SetMessageTitle(name);
    doc->SetTitle(name);
    doc->SetReadOnly(FALSE);
    doc->SetModifiedFlag(TRUE);
    doc->SetPictureState(CAPhotoDoc::pictureFromFile);
    RefreshAfterLoad();
}

void CAPhotoView::OnEditUndo()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !m_undoPicture.IsValid() || !m_pCommentPane)
        return;
    CImageBuffer current(doc->GetContent().GetImage());
    CImageBuffer previous(m_undoPicture);
    // The picture and its colour profile go back together.
    std::swap(doc->GetContent().m_profile, m_undoProfile);
    ResetPicture();
    doc->GetContent().TakeImage(previous);
    m_undoPicture.TakeOver(current);
    const int state = doc->GetPictureState() == CAPhotoDoc::pictureInserted ? CAPhotoDoc::pictureFromFile
                                                                            : CAPhotoDoc::pictureInserted;
    doc->SetPictureState(state);
    m_pCommentPane->SetAllMarquees(state == CAPhotoDoc::pictureFromFile ? m_beforeAreas : m_afterAreas);
    doc->SetModifiedFlag(TRUE);
    MatchContentPicture();
    RefreshScreen(TRUE);
    OnSelectionChanged();
}

// ---- picture commands ----------------------------------------------------------

void CAPhotoView::OnImagePaneCommand(UINT nID)
{
    if (!m_pImagePane)
        return;
    if (nID >= ID_TOOL_SQUARE && nID <= ID_TOOL_GRAB) {
        m_pImagePane->SetTool(nID);
        return;
    }
    if (nID == ID_UPDATE_UI) {
        m_pImagePane->ImageCtrl().Invalidate();
        return;
    }
    m_pImagePane->DoCommand(nID);
}

void CAPhotoView::OnUpdateImagePaneCommand(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(ImagePaneCan(pCmdUI->m_nID));
    if (pCmdUI->m_nID == ID_ZOOM)
        pCmdUI->SetCheck(m_pImagePane && m_pImagePane->IsZoomed() ? 1 : 0);
}

void CAPhotoView::OnUpdateTool(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    pCmdUI->SetCheck(m_pImagePane && m_pImagePane->GetTool() == pCmdUI->m_nID ? 1 : 0);
}

void CAPhotoView::OnRotate(UINT nID)
{
    CAPhotoContent* content = Content();
    if (!content || !m_pImagePane || !HasPicture())
        return;
    CWaitCursor wait;
    const bool clockwise = nID == ID_ROTATE_CW;
    const CSize size = GetPicture().GetSize();
    m_nRotation = (m_nRotation + (clockwise ? 90 : 270)) % 360;
    m_pCommentPane->RotateAllMarquees(clockwise ? 90 : 270, size.cx, size.cy);
    if (m_displayPicture.IsValid())
        m_displayPicture.Rotate(clockwise ? 90 : 270);
    content->EditImage().Rotate(clockwise ? 90 : 270);
    m_pImagePane->DoCommand(nID);
    ShowPicture();
    OnSelectionChanged();
    SetModified();
}

BOOL CAPhotoView::InsertPicture(const std::string& path)
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !HasPicture() || !m_pCommentPane)
        return FALSE;
    CImageBuffer loaded;
    if (!CAPhotoDoc::LoadPictureFile(path, loaded, TRUE))
        return FALSE;
    if (!IsBufferSizeSupported(loaded)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return FALSE;
    }
    CImageBuffer added;
    if (!CAPhotoDoc::MakeMessagePicture(loaded, added))
        return FALSE;
    CImageBuffer old(GetPicture());
    if (!old.IsValid())
        return FALSE;
    const InsertLayout layout = LayOutInsert(old.GetSize(), added.GetSize());
    CImageBuffer composite;
    if (!composite.Create(CImageBuffer::kMapping, layout.composite, old.GetPixelType(), old.GetOrientation()) ||
        !composite.Fill(255))
        return FALSE;
    auto place = [&composite](CImageBuffer& picture, const CRect& rect) {
        if (picture.GetSize() != rect.Size() && !picture.Resize(rect.Width(), rect.Height(), 1))
            return false;
        return picture.PasteInto(composite, rect);
    };
    CImageBuffer undo(old);
    const int undoWidth = old.GetWidth();
    std::vector<CAreaMarquee> before;
    m_pCommentPane->CollectMarquees(before);
    if (!place(old, layout.oldRect) || !place(added, layout.newRect))
        return FALSE;

    m_undoPicture.TakeOver(undo);
    m_undoProfile = doc->GetContent().m_profile;
    m_beforeAreas = before;
    ResetPicture();
    doc->GetContent().TakeImage(composite);
    doc->GetContent().m_profile = CIccProfileData();
    m_pCommentPane->ScaleAllMarquees(undoWidth, layout.oldRect.Width());
    m_pCommentPane->OffsetAllMarquees(layout.oldRect.left, layout.oldRect.top);
    m_pCommentPane->CollectMarquees(m_afterAreas);
    MatchContentPicture();
    RefreshScreen(TRUE);
    OnSelectionChanged();
    return TRUE;
}

CAPhotoView::InsertLayout CAPhotoView::LayOutInsert(CSize oldSize, CSize newSize)
{
    auto compute = [](CSize a, CSize b, int& w, int& h, int& gap) {
        w = std::max(a.cx, b.cx);
        h = std::max(a.cy, b.cy);
        gap = w / 10;
        return 2 * w + gap;
    };
    int w = 0, h = 0, gap = 0;
    int width = compute(oldSize, newSize, w, h, gap);
    if (width > CAPhotoDoc::kMaxPictureSide || h > CAPhotoDoc::kMaxPictureSide) {
        const int64_t from = width;
        auto scale = [from](LONG v) { return LONG(std::max<int64_t>(1, int64_t(v) * CAPhotoDoc::kMaxPictureSide / from)); };
        oldSize = CSize(scale(oldSize.cx), scale(oldSize.cy));
        newSize = CSize(scale(newSize.cx), scale(newSize.cy));
        width = compute(oldSize, newSize, w, h, gap);
    }
    InsertLayout out;
    out.composite = CSize(width, h);
    const int ox = (w - oldSize.cx) / 2, oy = (h - oldSize.cy) / 2;
    out.oldRect = CRect(ox, oy, ox + oldSize.cx, oy + oldSize.cy);
    const int nx = w + gap + (w - newSize.cx) / 2, ny = (h - newSize.cy) / 2;
    out.newRect = CRect(nx, ny, nx + newSize.cx, ny + newSize.cy);
    return out;
}

// ---- enable rules of the document's and the view's own commands -----------------

void CAPhotoView::OnUpdateAlways(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CAPhotoView::OnUpdateNeedsPicture(CCmdUI* pCmdUI) { pCmdUI->Enable(HasPicture()); }

void CAPhotoView::OnUpdateSave(CCmdUI* pCmdUI)
{
    CAPhotoDoc* doc = GetPhotoDoc();
    pCmdUI->Enable(HasPicture() && doc && !doc->IsReadOnly());
}

void CAPhotoView::OnDateUserName()
{
    GetAppSettings().m_bShowDateTime = !GetAppSettings().m_bShowDateTime;
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd)
        app->m_pMainWnd->PostMessage(WM_COMMAND, ID_PREF_CHANGED, 0);
    else
        OnPrefChanged();
}

void CAPhotoView::OnUpdateDateUserName(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    pCmdUI->SetCheck(GetAppSettings().m_bShowDateTime ? 1 : 0);
}

void CAPhotoView::OnPrefChanged()
{
    if (m_pImagePane) {
        m_pImagePane->RefreshDateFlag();
        m_pImagePane->Invalidate();
    }
    if (m_pCommentPane) {
        m_pCommentPane->ApplyShowDateTime();
        m_pCommentPane->Invalidate();
    }
}

// ---- comments -------------------------------------------------------------------

void CAPhotoView::OnUpdateAddComment(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CommentPaneCan(ID_ADDANOTATION) && ImagePaneCan(ID_ADDANOTATION));
}

void CAPhotoView::OnAddComment()
{
    UINT messageId = 0;
    if (!m_pCommentPane || !m_pImagePane)
        return;
    if (!m_pCommentPane->CanDoCommand(ID_ADDANOTATION, messageId)) {
        if (messageId)
            AfxMessageBox(messageId, MB_ICONEXCLAMATION);
        return;
    }
    CAnoRecord record;
    if (!m_pImagePane->BuildNewComment(record) || !record.IsValid())
        return;
    m_undoPicture.Free();
    m_pCommentPane->AddComment(record);
    m_pImagePane->ResetEditors();
    SetModified();
    OnSelectionChanged();
}

void CAPhotoView::OnUpdateDeleteComment(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(CommentPaneCan(APhotoCommentPane::ID_COMMENT_DELETE_KEY));
}

void CAPhotoView::OnDeleteComment()
{
    if (!m_pCommentPane || !m_pCommentPane->DeleteSelectedComments())
        return;
    SetModified();
    OnSelectionChanged();
}

void CAPhotoView::OnUpdateClear(CCmdUI* pCmdUI) { pCmdUI->Enable(ImagePaneCan(ID_CLEARANOTATION)); }

void CAPhotoView::OnClear()
{
    if (!m_pCommentPane)
        return;
    m_pCommentPane->ClearSelection(FALSE);
    OnSelectionChanged();
}

void CAPhotoView::OnDeselect()
{
    if (m_pCommentPane)
        m_pCommentPane->ClearSelection(TRUE);
}

void CAPhotoView::OnUpdatePlayback(CCmdUI* pCmdUI)
{
    const int32_t kind = m_pCommentPane && m_pCommentPane->GetCurrentIndex() >= 0
                             ? m_pCommentPane->GetCurrentRecord().m_nKind
                             : 0;
    pCmdUI->Enable(kind == CAnoRecord::sound || kind == CAnoRecord::image);
}

void CAPhotoView::OnPlayback()
{
    if (m_pCommentPane)
        m_pCommentPane->PlayCurrent();
}

void CAPhotoView::OnUpdateFont(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_pCommentPane && m_pCommentPane->GetCurrentIndex() >= 0);
}

void CAPhotoView::OnFont()
{
    if (!m_pCommentPane || m_pCommentPane->GetCurrentIndex() < 0)
        return;
    CAnoRecord record = m_pCommentPane->GetCurrentRecord();
    LOGFONT lf = record.m_logFont;
    if (!ChooseFontDialog(this, lf))
        return;
    record.m_logFont = lf;
    m_pCommentPane->SetCurrentRecord(record);
    SetModified();
}

// The selected comment's area shows on the picture, and area editing follows.
void CAPhotoView::OnSelectionChanged()
{
    if (!m_pCommentPane || !m_pImagePane)
        return;
    const CAreaMarquee area = m_pCommentPane->GetCurrentMarquee();
    const bool none = area.m_rect.IsRectEmpty();
    if (none)
        m_pImagePane->SetMarquees({});
    else
        m_pImagePane->SetMarquee(area);
    if (m_pHoverHelp)
        m_pHoverHelp->AddHint(IDC_AREA_HINT, LoadResString(none ? IDS_AREA_HINT_OFF : IDS_AREA_HINT_ON));
    m_pImagePane->SetAreaMode(none ? FALSE : TRUE);
    m_pImagePane->Invalidate();
}

void CAPhotoView::OnAreaChanged()
{
    if (!m_pCommentPane || !m_pImagePane)
        return;
    const CAreaMarquee area = m_pCommentPane->GetCurrentMarquee();
    const CAreaMarquee shown = m_pImagePane->GetMarquee();
    if (area.m_rect != shown.m_rect) {
        if (area.m_rect.IsRectEmpty())
            m_pImagePane->SetMarquees({});
        else
            m_pImagePane->SetMarquee(area);
        m_pImagePane->Invalidate();
    }
}

void CAPhotoView::OnAreaModeOff()
{
    if (m_pImagePane)
        m_pImagePane->SetAreaMode(FALSE);
}

void CAPhotoView::OnAreaModeOn()
{
    if (m_pImagePane)
        m_pImagePane->SetAreaMode(TRUE);
}

void CAPhotoView::OnCommentEdited()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !HasPicture())
        return;
    if (m_pCommentPane)
        doc->SetMessageTitle(m_pCommentPane->GetTitle());
    SetModified();
}

void CAPhotoView::OnModified() { SetModified(); }

BOOL CAPhotoView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (!hdr || hdr->idFrom != APhotoImgPane::IDC_IMAGE || !m_pCommentPane || !m_pImagePane)
        return CAPhotoViewBase::OnNotify(wParam, lParam, pResult);
    *pResult = 0;
    switch (int(hdr->code)) {
    case ICN_AREACHANGING:
        if (!m_pCommentPane->IsEditing()) {
            m_pCommentPane->ClearSelection(FALSE);
            m_pImagePane->SetAreaMode(FALSE);
        }
        return TRUE;
    case ICN_AREACHANGED: {
        const CAreaMarquee marquee = m_pImagePane->GetMarquee();
        if (!marquee.m_rect.IsRectEmpty()) {
            if (m_pCommentPane->GetCurrentIndex() >= 0) {
                m_pCommentPane->SetCurrentMarquee(marquee);
                if (HasPicture())
                    SetModified();
            }
        } else if (!m_pCommentPane->IsEditing()) {
            m_pImagePane->SetAreaMode(TRUE);
        }
        m_pImagePane->Invalidate();
        return TRUE;
    }
    case ICN_MOUSEMOVE: {
        const POINT* at = reinterpret_cast<const NMIMAGECTRL*>(lParam)->Point();
        if (!at)
            return TRUE;
        std::vector<int> hits;
        m_pCommentPane->HitTestMarquees(at->x, at->y, hits);
        std::vector<CAreaMarquee> shown;
        for (int index : hits)
            shown.push_back(m_pCommentPane->GetMarqueeAt(index));
        m_pImagePane->SetMarquees(shown);
        m_pImagePane->Invalidate();
        return TRUE;
    }
    case ICN_MOUSELEAVE:
        m_pImagePane->SetMarquees({});
        m_pImagePane->Invalidate();
        return TRUE;
    default: return CAPhotoViewBase::OnNotify(wParam, lParam, pResult);
    }
}

// ---- printing, writing and the web page --------------------------------------------

void CAPhotoView::OnPrint()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !HasPicture())
        return;
    // A failed or cancelled match to the printer prints nothing.
    if (!PrintMatch())
        return;
    FillContent(doc->GetContent());
    CAPhotoPageRender render(doc->GetContent(), m_printOptions);
    render.SetPicture(&m_printPicture);
    PrintMessage(this, *doc, render, m_pHoverHelp);
}

void CAPhotoView::OnWriteToFile()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !HasPicture())
        return;
    UINT messageId = 0;
    if (m_pCommentPane && !m_pCommentPane->CanDoCommand(APhotoCommentPane::ID_WRITE_TO_FILE, messageId))
        return;
    FillContent(doc->GetContent());
    CAPhotoPageRender render(doc->GetContent(), m_printOptions);
    WriteMessageToFile(this, *doc, render, m_pHoverHelp);
}

void CAPhotoView::OnSaveWebPage()
{
    CAPhotoDoc* doc = GetPhotoDoc();
    if (!doc || !HasPicture())
        return;
    UINT messageId = 0;
    if (m_pCommentPane && !m_pCommentPane->CanDoCommand(APhotoCommentPane::ID_SAVE_WEBPAGE, messageId))
        return;
    CAPhotoContent content(GetCompressionSetting());
    FillContent(content);
    content.m_nQuality = GetCompressionSetting();
    std::string name;
    if (!doc->GetPathName().empty()) {
        name = StemOf(doc->GetPathName());
    } else {
        name = GetMessageTitle();
        if (HasInvalidFileNameChar(name)) {
            AfxMessageBox(IDS_INVALID_NAME_CHARS, MB_ICONEXCLAMATION);
            return;
        }
    }
    content.m_strPictureText = content.m_strPictureText.empty() ? name : content.m_strPictureText;
    int quality = GetCompressionSetting();
    std::string folder = LastWebPageFolder();
    CExportFolderDlog dlg({}, 0, &quality, 24, &folder, FALSE, 0, this);
    if (dlg.DoModal() != IDOK)
        return;
    LastWebPageFolder() = folder;
    SaveMessageAsWebPage(this, GetPicture(), content, folder);
}

void CAPhotoView::OnColorPreferences()
{
    CColorPrefDlog dlg(this);
    dlg.DoModal();
}

void CAPhotoView::OnCommentSearch()
{
    if (!m_pSearch) {
        auto dlg = std::make_unique<CAnoSearchDlog>();
        if (!dlg->Create(this))
            return;
        m_pSearch = std::move(dlg);
    }
    m_pSearch->ShowWindow(SW_SHOW);
    m_pSearch->SetFocus();
}

void CAPhotoView::OnFindNext()
{
    if (!m_pSearch || !m_pCommentPane || m_pSearch->m_strSearchText.empty())
        return;
    m_pCommentPane->FindNext(m_pSearch->m_strSearchText, m_pSearch->IsDown(), m_pSearch->m_bCaseSensitive,
                             m_pSearch->m_bWildcards);
    OnSelectionChanged();
}

void CAPhotoView::OnColourChanged()
{
    MatchContentPicture();
    RefreshScreen(FALSE);
    if (m_pImagePane)
        m_pImagePane->Invalidate();
}

void CAPhotoView::OnUpdateStatusSize(CCmdUI* pCmdUI)
{
    std::string size;
    if (HasPicture())
        size = std::to_string(GetPicture().GetWidth()) + " x " + std::to_string(GetPicture().GetHeight());
    // A hover hint stands in for the size; a menu's prompt keeps the pane.
    auto* frame = dynamic_cast<CZunFrameWnd*>(GetParentFrame());
    CHoverHelp* help = frame ? frame->GetHoverHelp() : nullptr;
    std::string shown = size;
    if (help && !help->PaneText(size, shown))
        return;
    pCmdUI->SetText(shown);
}

// ---- image comments for the viewer ------------------------------------------------

BOOL CAPhotoView::PrepareCommentPicture(CImageBuffer& picture, CImageBuffer& display, CImageBuffer& print,
                                        std::string& text, int64_t& date)
{
    display.Free();
    print.Free();
    date = 0;
    if (!m_pCommentPane || m_pCommentPane->GetCurrentIndex() < 0)
        return FALSE;
    CAnoRecord record = m_pCommentPane->GetCurrentRecord();
    if (record.m_nKind != CAnoRecord::image)
        return FALSE;
    bool decoded = false;
    try {
        decoded = record.GetImage(picture) && picture.IsValid();
    } catch (const CException&) {
    }
    if (!decoded) {
        AfxMessageBox(record.UnreadableText(), MB_ICONEXCLAMATION);
        return FALSE;
    }
    text = record.m_strContent;
    const SYSTEMTIME& d = record.m_date;
    if (d.wYear >= 1900)
        date = std::max<int64_t>(0, LocalTimeToSeconds(d.wYear, d.wMonth, d.wDay, d.wHour, d.wMinute, d.wSecond));
    if (res::IsReaderRole())
        return TRUE;
    {
        CPelkorEngine engine;
        CColorMatcher matcher(&engine);
        if (!matcher.IsInputMatchingOn() && !matcher.IsDisplayMatchingOn() && !matcher.IsPrintMatchingOn())
            return TRUE;
    }
    // The match runs on a copy: a failed or cancelled one hands the viewer
    // the comment's picture as stored, never a half-converted one.
    CImageBuffer working(picture);
    CCMProgressDlog::Job input, screen, printer;
    input.profile = Content() ? Content()->m_profile : CIccProfileData();
    input.picture = &working;
    screen.profile = printer.profile = input.profile;
    screen.picture = &display;
    printer.picture = &print;
    if (!RunColourJobs(&input, &screen, &printer)) {
        display.Free();
        print.Free();
        return TRUE;
    }
    picture.TakeOver(working);
    return TRUE;
}

// ---- drops ---------------------------------------------------------------------------

CAPhotoView::DropAction CAPhotoView::ClassifyDrop(const std::vector<std::string>& paths)
{
    int messages = 0, pictures = 0;
    for (const std::string& p : paths) {
        if (CAPhotoDoc::IsMessageFile(p))
            ++messages;
        else if (IsPictureFileName(p))
            ++pictures;
    }
    if (messages && pictures)
        return dropNone;
    if (messages == 1 && !pictures)
        return dropMessage;
    if (pictures == 1 && !messages)
        return dropPicture;
    if (pictures == 2 && !messages)
        return dropTwoPictures;
    return dropNone;
}

void CAPhotoView::OnFilesDropped()
{
    const COleDataObject* data = m_pImagePane ? m_pImagePane->ImageCtrl().GetDropData() : nullptr;
    if (!data || !data->GetMimeData())
        return;
    std::vector<std::string> paths;
    GetDroppedFiles(data->GetMimeData(), paths);
    DropPaths(paths);
}

void CAPhotoView::DropPaths(const std::vector<std::string>& paths)
{
    CAPhotoDoc* doc = GetPhotoDoc();
    auto* tmpl = doc ? dynamic_cast<CMessageTemplateBase*>(doc->GetDocTemplate()) : nullptr;
    if (!tmpl)
        return;
    std::vector<std::string> used;
    for (const std::string& p : paths)
        if (CAPhotoDoc::IsMessageFile(p) || IsPictureFileName(p))
            used.push_back(p);
    switch (ClassifyDrop(paths)) {
    case dropMessage:
        if (tmpl->CanCloseDocument())
            tmpl->OpenDocumentFile(used[0], TRUE);
        break;
    case dropPicture:
        if (doc->GetPictureState() == CAPhotoDoc::pictureFromFile)
            tmpl->AddFile(used[0], TRUE);
        else if (tmpl->CanCloseDocument())
            tmpl->OpenDocumentFile(used[0], TRUE);
        break;
    case dropTwoPictures:
        if (tmpl->CanCloseDocument() && tmpl->OpenDocumentFile(used[0], TRUE))
            tmpl->AddFile(used[1], TRUE);
        break;
    case dropNone: break;
    }
}
