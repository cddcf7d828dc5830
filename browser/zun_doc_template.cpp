#include "browser/zun_doc_template.h"

#include "browser/zun_main_frame.h"
#include "browser/zun_main_view.h"
#include "util/reg_settings.h"
#include "platform/framework/win_app.h"
#include "resources/string_ids.h"

IMPLEMENT_DYNCREATE(CZunMainDoc, CDocument)

BEGIN_MESSAGE_MAP(CZunMainDoc, CDocument)
ON_COMMAND(ID_DIRECTORYCHANGED, &CZunMainDoc::OnDirectoryChanged)
ON_COMMAND(ID_DOC_NOOP, &CZunMainDoc::OnNoop)
ON_UPDATE_COMMAND_UI(ID_DOC_NOOP, &CZunMainDoc::OnUpdateNoop)
ON_UPDATE_COMMAND_UI(ID_DOC_VIEW_FLAG, &CZunMainDoc::OnUpdateViewFlag)
END_MESSAGE_MAP()

BOOL CZunMainDoc::OnNewDocument() { return CDocument::OnNewDocument(); }

BOOL CZunMainDoc::OnOpenDocument(const std::string& path)
{
    if (!CDocument::OnNewDocument())
        return FALSE;
    RegWriteStringById(IDS_REG_PREFERENCE, IDS_REG_SCANFOLDER, path);
    return TRUE;
}

void CZunMainDoc::OnDirectoryChanged() { UpdateAllViews(nullptr, kHintDirectoryChanged, nullptr); }

void CZunMainDoc::OnUpdateNoop(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CZunMainDoc::OnUpdateViewFlag(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    pCmdUI->SetCheck(m_nViewFlag == 0);
}

CZunDocTemplate::CZunDocTemplate()
    : CBrowserTemplateBase(IDR_ZUNTYPE, RUNTIME_CLASS(CZunMainDoc), RUNTIME_CLASS(CZunMainFrame),
                           RUNTIME_CLASS(CZunMainView))
{
    RegisterBrowserResources();
}

CDocument* CZunDocTemplate::OpenDocumentFile(const std::string& path, BOOL bMakeVisible)
{
    // One browser: the first open makes the frame the program keeps.
    if (m_pBrowserFrame)
        return nullptr;
    CDocument* doc = CBrowserTemplateBase::OpenDocumentFile(path, bMakeVisible);
    m_pBrowserFrame = dynamic_cast<CZunMainFrame*>(AfxGetMainWnd());
    return doc;
}

void CZunDocTemplate::RemoveDocument(CDocument* pDoc)
{
    CBrowserTemplateBase::RemoveDocument(pDoc);
    m_pBrowserFrame = nullptr;
}

void CZunDocTemplate::FrameDestroyed(CFrameWnd* frame)
{
    if (m_pBrowserFrame == frame)
        m_pBrowserFrame = nullptr;
}

CDocTemplate::Confidence CZunDocTemplate::MatchDocType(const std::string& path, CDocument*& rpDocMatch)
{
    // The browser opens no file of its own kind from outside.
    const Confidence c = CDocTemplate::MatchDocType(path, rpDocMatch);
    return c == yesAlreadyOpen || c == yesAttemptNative ? c : noAttempt;
}

CFrameWnd* CZunDocTemplate::GetFrame() const { return m_pBrowserFrame; }

BOOL CZunDocTemplate::QueryClose()
{
    CDocument* doc = GetOnlyDocument();
    if (!doc)
        return TRUE;
    if (m_pBrowserFrame && !m_pBrowserFrame->PrepareToClose())
        return FALSE;
    return doc->CanCloseFrame(m_pBrowserFrame);
}

void CZunDocTemplate::OpenPath(const std::string& path)
{
    if (!m_pBrowserFrame)
        return;
    if (auto* view = dynamic_cast<CZunMainView*>(m_pBrowserFrame->GetActiveView()))
        view->RefreshLinkedMessage(path);
}

void CZunDocTemplate::SelectStartFolder()
{
    if (m_pBrowserFrame)
        m_pBrowserFrame->SelectStartFolder();
}
