#include "viewer/viewer_doc.h"

#include "imaging/image_importer.h"
#include "imaging/program_folders.h"
#include "viewer/image_file_tests.h"
#include "viewer/image_load_progress_dlog.h"
#include "viewer/viewer_doc_template.h"
#include "viewer/viewer_ids.h"
#include "viewer/viewer_view.h"
#include "util/path_util.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "resources/string_ids.h"

IMPLEMENT_DYNCREATE(CViewerDoc, CDocument)

BEGIN_MESSAGE_MAP(CViewerDoc, CDocument)
    ON_COMMAND(ID_FILE_OPEN, &CViewerDoc::OnFileOpen)
    ON_UPDATE_COMMAND_UI(ID_FILE_SAVE, &CViewerDoc::OnUpdateFileSave)
END_MESSAGE_MAP()

CViewerDoc::CViewerDoc() = default;

CViewerDoc::~CViewerDoc()
{
    // The template must not keep a frame that goes with its document.
    if (auto* t = dynamic_cast<CViewerDocTemplate*>(m_pDocTemplate); t && m_pFrame)
        t->FrameDestroyed(m_pFrame);
}

BOOL CViewerDoc::IsReaderBuild() const
{
    auto* t = dynamic_cast<CViewerDocTemplate*>(m_pDocTemplate);
    return t && t->IsReaderBuild();
}

CViewerView* CViewerDoc::GetViewerView() const
{
    for (CView* v : GetViews())
        if (auto* vv = dynamic_cast<CViewerView*>(v))
            return vv;
    return nullptr;
}

void CViewerDoc::DeleteContents()
{
    m_picture.Free();
    m_display.Free();
    m_print.Free();
    m_pictureTime = 0;
}

BOOL CViewerDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

BOOL CViewerDoc::LoadPicture(const std::string& path, CImageBuffer& loaded)
{
    if (IsReaderBuild()) {
        CImageImporter importer(GetImporterSearchPath());
        if (!importer.TryDecodeToBuffer(path, loaded, nullptr, -1) || !loaded.IsValid()) {
            loaded.Free();
            ReportSaveLoadException(path, nullptr, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
            return FALSE;
        }
        return TRUE;
    }
    CWnd* parent = m_pFrame ? static_cast<CWnd*>(m_pFrame) : AfxGetMainWnd();
    CImageLoadProgressDlog job(parent, IDD_VIEWER_LOAD_PROGRESS, GetHomePath(), FALSE, 0, path, &loaded, 0, 1, TRUE);
    if (job.DoModal() != IDOK || !loaded.IsValid()) {
        // The job has shown why, unless the user cancelled it.
        loaded.Free();
        return FALSE;
    }
    return TRUE;
}

BOOL CViewerDoc::OnOpenDocument(const std::string& path)
{
    CWaitCursor wait;
    {
        CFile file;
        CFileException fe;
        if (!file.Open(path, CFile::modeRead, &fe)) {
            ReportSaveLoadException(path, &fe, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
            return FALSE;
        }
    }
    // A file no importer reads is refused, not shown as an empty viewer.
    if (!IsImportableFile(path)) {
        AfxMessageBox(IDS_INVALID_FILE_TYPE, MB_ICONEXCLAMATION);
        return FALSE;
    }
    // Read aside: the picture shown so far stays until the new one is whole.
    CImageBuffer loaded;
    if (!LoadPicture(path, loaded))
        return FALSE;
    DeleteContents();
    m_picture.TakeOver(loaded);
    m_nBitsPerPixel = m_picture.GetBitsPerPixel();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CViewerDoc::OnSaveDocument(const std::string& path)
{
    if (IsReaderBuild())
        return FALSE;
    CViewerView* view = GetViewerView();
    if (!view || !view->CanSaveFileType())
        return FALSE;
    if (AfxMessageBox(IDS_REPLACE_FILE, MB_OKCANCEL) != IDOK)
        return FALSE;
    CWaitCursor wait;
    if (!view->SaveImage(path, 95))
        return FALSE;
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CViewerDoc::DoFileSave()
{
    if (IsReaderBuild())
        return FALSE;
    if (!m_strPathName.empty() && WarnIfReadOnly(m_strPathName))
        return FALSE;
    return DoSave(m_strPathName);
}

void CViewerDoc::SetImages(const std::string& title, CImageBuffer* picture, CImageBuffer* display,
                           CImageBuffer* print, int64_t pictureTime)
{
    DeleteContents();
    if (picture && picture->IsValid()) {
        m_nBitsPerPixel = picture->GetBitsPerPixel();
        m_picture.TakeOver(*picture);
        m_pictureTime = pictureTime;
        if (display && display->IsValid())
            m_display.TakeOver(*display);
        if (print && print->IsValid())
            m_print.TakeOver(*print);
    }
    SetTitle(title);
    SetModifiedFlag(FALSE);
    UpdateAllViews(nullptr);
}

void CViewerDoc::OnFileOpen()
{
    std::string filter;
    CImageImporter(GetImporterSearchPath()).BuildOpenFilter(filter, true, false, nullptr, nullptr, nullptr);
    std::string path;
    if (!AfxPromptFileName(path, TRUE, "Open", filter))
        return;
    if (CWinApp* app = AfxGetApp())
        app->OpenDocumentFile(path);
}

void CViewerDoc::OnUpdateFileSave(CCmdUI* pCmdUI)
{
    CViewerView* view = GetViewerView();
    pCmdUI->Enable(!IsReaderBuild() && view && view->CanSaveFileType());
}
