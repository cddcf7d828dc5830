#include "platform/framework/document.h"

#include "platform/archive.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/file_dialog.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/view.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

BEGIN_MESSAGE_MAP(CDocument, CCmdTarget)
    ON_COMMAND(ID_FILE_SAVE, &CDocument::OnFileSave)
    ON_COMMAND(ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs)
    ON_COMMAND(ID_FILE_CLOSE, &CDocument::OnFileClose)
END_MESSAGE_MAP()

namespace {

FileDialogHandler g_fileDialog = nullptr;

std::string Format1(std::string text, const std::string& arg)
{
    auto p = text.find("%1");
    if (p != std::string::npos)
        text.replace(p, 2, arg);
    return text;
}

} // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) { return std::exchange(g_fileDialog, handler); }

BOOL AfxPromptFileName(std::string& path, BOOL bOpen, const std::string& title, const std::string& filter)
{
    if (g_fileDialog)
        return g_fileDialog(path, bOpen, title, filter);
    QFileDialog dlg(nullptr, QString::fromStdString(title), QString(), QString::fromStdString(filter));
    dlg.setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // A path names the folder to start in, and the file to propose when it is not a folder.
    if (!path.empty()) {
        const QFileInfo start(QString::fromStdString(path));
        if (start.isDir()) {
            dlg.setDirectory(start.absoluteFilePath());
        } else {
            dlg.setDirectory(start.absolutePath());
            dlg.selectFile(start.fileName());
        }
    }
    if (ExecFileDialog(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return FALSE;
    path = dlg.selectedFiles().front().toStdString();
    return TRUE;
}

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* v : m_views)
        v->m_pDocument = nullptr;
    if (m_pDocTemplate)
        m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(const std::string& title)
{
    m_strTitle = title;
    for (CView* v : m_views)
        if (CFrameWnd* f = v->GetParentFrame())
            f->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(const std::string& path, BOOL bAddToMRU)
{
    m_strPathName = path;
    SetTitle(LastNameOf(path));
    if (bAddToMRU)
        if (CWinApp* app = AfxGetApp())
            app->AddToRecentFileList(path);
}

void CDocument::AddView(CView* pView)
{
    if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end())
        return;
    m_views.push_back(pView);
    pView->m_pDocument = this;
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView)
{
    auto it = std::find(m_views.begin(), m_views.end(), pView);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    pView->m_pDocument = nullptr;
    OnChangedViewList();
}

void CDocument::OnChangedViewList()
{
    // The last view gone takes the document with it.
    if (m_views.empty() && m_bAutoDelete)
        OnCloseDocument();
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, CObject* pHint)
{
    for (CView* v : std::vector<CView*>(m_views))
        if (v != pSender)
            v->OnUpdate(pSender, lHint, pHint);
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const std::string& path)
{
    CFile file;
    CFileException fe;
    if (!file.Open(path, CFile::modeRead, &fe)) {
        ReportSaveLoadException(path, &fe, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    DeleteContents();
    SetModifiedFlag(TRUE);
    try {
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
    } catch (const CException& e) {
        file.Close();
        DeleteContents();
        ReportSaveLoadException(path, &e, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const std::string& path)
{
    // The old file stays as it was until the new one is complete.
    CReplaceFile out;
    try {
        if (!out.Open(path))
            throw out.Error();
        CFile file(out.WritePath(), CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        Serialize(ar);
        ar.Flush();
        file.Close();
        if (!out.Commit())
            throw out.Error();
    } catch (const CException& e) {
        out.Abandon();
        ReportSaveLoadException(path, &e, TRUE, AFX_IDP_FAILED_TO_SAVE_DOC);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::ReportSaveLoadException(const std::string& path, const CException* e, BOOL bSaving, UINT nIDPDefault)
{
    ReportFileFailure(path, e, bSaving, nIDPDefault);
}

void CDocument::ReportFileFailure(const std::string& path, const CException* e, BOOL bSaving, UINT nIDPDefault)
{
    // The document has told the user already.
    if (dynamic_cast<const CUserException*>(e))
        return;
    std::string text = res::HasString(nIDPDefault) ? std::string(res::String(nIDPDefault))
                                                   : std::string(bSaving ? "Failed to save document." : "Failed to open document.");
    text = Format1(text, path);
    AfxMessageBox(e ? WithSystemReason(text, *e) : text, MB_ICONEXCLAMATION);
}

void CDocument::OnCloseDocument()
{
    BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE; // the frames' views going must not delete us twice
    std::vector<CFrameWnd*> frames;
    for (CView* v : m_views)
        if (CFrameWnd* f = v->GetParentFrame(); f && std::find(frames.begin(), frames.end(), f) == frames.end())
            frames.push_back(f);
    for (CFrameWnd* f : frames)
        f->DestroyWindow();
    m_bAutoDelete = autoDelete;
    DeleteContents();
    if (m_bAutoDelete)
        delete this;
}

BOOL CDocument::SaveModified()
{
    if (!IsModified())
        return TRUE;
    std::string name = m_strPathName.empty() ? m_strTitle : m_strPathName;
    if (name.empty())
        name = "Untitled";
    std::string prompt = res::HasString(AFX_IDP_ASK_TO_SAVE) ? std::string(res::String(AFX_IDP_ASK_TO_SAVE)) : std::string("Save changes to %1?");
    switch (AfxMessageBox(Format1(prompt, name), MB_YESNOCANCEL, AFX_IDP_ASK_TO_SAVE)) {
    case IDCANCEL: return FALSE;
    case IDYES: return DoFileSave();
    default: return TRUE;
    }
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrame)
{
    // Other frames still show the document: this one may close without asking.
    for (CView* v : m_views)
        if (CFrameWnd* f = v->GetParentFrame(); f && f != pFrame)
            return TRUE;
    return SaveModified();
}

BOOL CDocument::DoSave(const std::string& path, BOOL bReplace)
{
    std::string target = path;
    if (target.empty()) {
        target = m_strPathName.empty() ? m_strTitle : m_strPathName;
        std::string filter;
        if (m_pDocTemplate)
            filter = m_pDocTemplate->GetDocString(CDocTemplate::filterName);
        if (!AfxPromptFileName(target, FALSE, "Save As", filter))
            return FALSE;
    }
    if (!OnSaveDocument(target))
        return FALSE;
    if (bReplace)
        SetPathName(target);
    return TRUE;
}

BOOL CDocument::DoFileSave()
{
    // A file that exists but cannot be written is saved under a new name.
    if (m_strPathName.empty() || (access(m_strPathName.c_str(), F_OK) == 0 && access(m_strPathName.c_str(), W_OK) != 0))
        return DoSave({});
    return DoSave(m_strPathName);
}

void CDocument::OnFileSave() { DoFileSave(); }
void CDocument::OnFileSaveAs() { DoSave({}); }

void CDocument::OnFileClose()
{
    if (!SaveModified())
        return;
    OnCloseDocument();
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra))
        return TRUE;
    return m_pDocTemplate && m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra);
}
