#include "platform/framework/doc_template.h"

#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/view.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <strings.h>

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

CDocTemplate::CDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                           const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass)
{
}

CDocTemplate::~CDocTemplate()
{
    for (CDocument* d : std::vector<CDocument*>(m_docs)) {
        d->m_pDocTemplate = nullptr;
    }
}

std::string CDocTemplate::GetDocString(DocStringIndex index) const
{
    std::string_view s = res::String(m_nIDResource);
    int i = 0;
    size_t start = 0;
    while (i < int(index)) {
        size_t nl = s.find('\n', start);
        if (nl == std::string_view::npos)
            return {};
        start = nl + 1;
        ++i;
    }
    size_t end = s.find('\n', start);
    return std::string(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

CDocument* CDocTemplate::CreateNewDocument()
{
    if (!m_pDocClass)
        return nullptr;
    CObject* obj = m_pDocClass->CreateObject();
    auto* doc = dynamic_cast<CDocument*>(obj);
    if (!doc) {
        delete obj;
        return nullptr;
    }
    AddDocument(doc);
    return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther)
{
    if (!m_pFrameClass)
        return nullptr;
    CCreateContext ctx;
    ctx.m_pCurrentFrame = pOther;
    ctx.m_pCurrentDoc = pDoc;
    ctx.m_pNewViewClass = m_pViewClass;
    ctx.m_pNewDocTemplate = this;
    CObject* obj = m_pFrameClass->CreateObject();
    auto* frame = dynamic_cast<CFrameWnd*>(obj);
    if (!frame) {
        delete obj;
        return nullptr;
    }
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &ctx)) {
        // A frame whose window was made went with it (PostNcDestroy).
        return nullptr;
    }
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible)
{
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

void CDocTemplate::AddDocument(CDocument* pDoc)
{
    pDoc->m_pDocTemplate = this;
    if (std::find(m_docs.begin(), m_docs.end(), pDoc) == m_docs.end())
        m_docs.push_back(pDoc);
}

void CDocTemplate::RemoveDocument(CDocument* pDoc)
{
    m_docs.erase(std::remove(m_docs.begin(), m_docs.end(), pDoc), m_docs.end());
    pDoc->m_pDocTemplate = nullptr;
}

CDocTemplate::Confidence CDocTemplate::MatchDocType(const std::string& path, CDocument*& rpDocMatch)
{
    rpDocMatch = nullptr;
    for (CDocument* d : m_docs) {
        if (!d->GetPathName().empty() && d->GetPathName() == path) {
            rpDocMatch = d;
            return yesAlreadyOpen;
        }
    }
    std::string ext = GetDocString(filterExt);
    if (!ext.empty()) {
        std::string fileExt = DottedExtensionOf(path);
        // The filter may list several extensions separated by ';'.
        size_t start = 0;
        while (start <= ext.size()) {
            size_t end = ext.find(';', start);
            std::string one = ext.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!one.empty() && one[0] == '*')
                one.erase(0, 1);
            if (!one.empty() && strcasecmp(one.c_str(), fileExt.c_str()) == 0)
                return yesAttemptNative;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return yesAttemptForeign;
}

BOOL CDocTemplate::SaveAllModified()
{
    for (CDocument* d : std::vector<CDocument*>(m_docs))
        if (!d->SaveModified())
            return FALSE;
    return TRUE;
}

void CDocTemplate::CloseAllDocuments(BOOL)
{
    for (CDocument* d : std::vector<CDocument*>(m_docs))
        d->OnCloseDocument();
}

void CDocTemplate::SetDefaultTitle(CDocument* pDoc)
{
    std::string name = GetDocString(docName);
    if (name.empty())
        name = "Untitled";
    pDoc->SetTitle(name);
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string& path, BOOL bMakeVisible)
{
    CDocument* doc = GetOnlyDocument();
    CFrameWnd* frame = nullptr;
    bool created = false;
    if (doc) {
        // The open document must agree to make room.
        if (!doc->SaveModified())
            return nullptr;
        if (CView* v = doc->GetFirstView())
            frame = v->GetParentFrame();
    } else {
        doc = CreateNewDocument();
        if (!doc) {
            AfxMessageBox("Failed to create empty document.", MB_ICONEXCLAMATION);
            return nullptr;
        }
        created = true;
        BOOL autoDelete = doc->m_bAutoDelete;
        doc->m_bAutoDelete = FALSE; // a failing frame must not take the document
        frame = CreateNewFrame(doc, nullptr);
        doc->m_bAutoDelete = autoDelete;
        if (!frame) {
            delete doc;
            return nullptr;
        }
    }
    QPointer<QWidget> frameWidget = frame ? frame->m_hWnd : nullptr;
    const BOOL wasModified = doc->IsModified();
    if (path.empty()) {
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            if (created && frameWidget)
                frame->DestroyWindow();
            return nullptr;
        }
    } else {
        if (!doc->OnOpenDocument(path)) {
            if (created) {
                if (frameWidget)
                    frame->DestroyWindow(); // takes the new document with it
            } else if (!doc->IsModified()) {
                doc->SetModifiedFlag(wasModified); // the open document is untouched
            } else {
                // The failed read emptied the open document: it becomes a new
                // one rather than an empty one under the old file's name.
                SetDefaultTitle(doc);
                doc->OnNewDocument();
                doc->UpdateAllViews(nullptr);
            }
            return nullptr;
        }
        doc->SetPathName(path);
    }
    if (frame && frameWidget) {
        if (CWinApp* app = AfxGetApp(); app && created && !app->m_pMainWnd)
            app->m_pMainWnd = frame;
        InitialUpdateFrame(frame, doc, bMakeVisible);
    }
    return doc;
}

CDocManager::~CDocManager()
{
    for (CDocTemplate* t : m_templates)
        delete t;
}

void CDocManager::AddDocTemplate(CDocTemplate* pTemplate) { m_templates.push_back(pTemplate); }

CDocument* CDocManager::OpenDocumentFile(const std::string& path)
{
    CDocTemplate* best = nullptr;
    CDocTemplate::Confidence bestMatch = CDocTemplate::noAttempt;
    CDocument* open = nullptr;
    for (CDocTemplate* t : m_templates) {
        CDocument* match = nullptr;
        CDocTemplate::Confidence c = t->MatchDocType(path, match);
        if (c > bestMatch) {
            bestMatch = c;
            best = t;
            open = match;
        }
        if (c == CDocTemplate::yesAlreadyOpen)
            break;
    }
    if (bestMatch == CDocTemplate::yesAlreadyOpen && open) {
        if (CView* v = open->GetFirstView())
            if (CFrameWnd* f = v->GetParentFrame())
                f->ActivateFrame();
        return open;
    }
    if (!best) {
        // No kind of document of the program is this file.
        AfxMessageBox(AFX_IDP_FAILED_TO_OPEN_DOC, MB_ICONEXCLAMATION);
        return nullptr;
    }
    return best->OpenDocumentFile(path);
}

BOOL CDocManager::SaveAllModified()
{
    for (CDocTemplate* t : m_templates)
        if (!t->SaveAllModified())
            return FALSE;
    return TRUE;
}

void CDocManager::CloseAllDocuments(BOOL bEndSession)
{
    for (CDocTemplate* t : m_templates)
        t->CloseAllDocuments(bEndSession);
}

void CDocManager::OnFileNew()
{
    if (!m_templates.empty())
        m_templates.front()->OpenDocumentFile({});
}

void CDocManager::OnFileOpen()
{
    std::string path;
    std::string filter;
    for (CDocTemplate* t : m_templates) {
        std::string name = t->GetDocString(CDocTemplate::filterName);
        if (!name.empty()) {
            if (!filter.empty())
                filter += ";;";
            filter += name;
        }
    }
    if (AfxPromptFileName(path, TRUE, "Open", filter))
        if (CWinApp* app = AfxGetApp())
            app->OpenDocumentFile(path);
}
