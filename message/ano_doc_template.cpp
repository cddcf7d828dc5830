#include "message/ano_doc_template.h"

#include "message/ano_main_frame.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_view.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "platform/path.h"
#include "resources/string_table.h"
#include "ui/ui_services.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace {


// Extensions the editor takes as its own besides the message file's.
constexpr const char* kPictureExtensions[] = {".JPG", ".JPEG", ".JPE", ".BMP", ".TIF", ".TIFF"};

void ReportFailedToCreate() { AfxMessageBox("Failed to create empty document.", MB_ICONEXCLAMATION); }

} // namespace

CAnoDocTemplate::CAnoDocTemplate(UINT dropFormat, uint32_t readOnlyWord)
    : CMessageTemplateBase(IDR_MESSAGE, RUNTIME_CLASS(CAPhotoDoc), RUNTIME_CLASS(CAnoMainFrame),
                           RUNTIME_CLASS(CAPhotoView)),
      m_nReadOnly(readOnlyWord), m_nDropFormat(dropFormat)
{
}

CAnoDocTemplate::~CAnoDocTemplate() = default;

CFrameWnd* CAnoDocTemplate::GetFrame() const { return m_pFrame; }

std::string CAnoDocTemplate::LoadDocStringPart(UINT id, int index)
{
    const std::string text = LoadResString(id);
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            return {};
        start = nl + 1;
    }
    return text.substr(start, text.find('\n', start) - start);
}

CDocTemplate::Confidence CAnoDocTemplate::MatchDocType(const std::string& path, CDocument*& rpDocMatch)
{
    const Confidence c = CDocTemplate::MatchDocType(path, rpDocMatch);
    if (c == yesAlreadyOpen)
        return c;
    std::string ext = DottedExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
    std::string own = LoadDocStringPart(IDR_MESSAGE, filterExt);
    std::transform(own.begin(), own.end(), own.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
    if (!ext.empty() && ext == own)
        return yesAttemptNative;
    for (const char* e : kPictureExtensions)
        if (ext == e)
            return yesAttemptNative;
    return yesAttemptForeign;
}

CFrameWnd* CAnoDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther)
{
    CFrameWnd* frame = CMessageTemplateBase::CreateNewFrame(pDoc, pOther);
    m_pFrame = dynamic_cast<CAnoMainFrame*>(frame);
    if (m_pFrame)
        m_pFrame->SetViewerTemplate(m_pViewerTemplate);
    return frame;
}

void CAnoDocTemplate::RemoveDocument(CDocument* pDoc)
{
    CMessageTemplateBase::RemoveDocument(pDoc);
    m_pFrame = nullptr;
}

void CAnoDocTemplate::FrameDestroyed(CFrameWnd* pFrame)
{
    if (m_pFrame == pFrame)
        m_pFrame = nullptr;
}

CDocument* CAnoDocTemplate::OpenDocumentFile(const std::string& path, BOOL bMakeVisible)
{
    return OpenCore(path, bMakeVisible, FALSE);
}

CDocument* CAnoDocTemplate::AddFile(const std::string& path, BOOL bMakeVisible)
{
    return OpenCore(path, bMakeVisible, TRUE);
}

CDocument* CAnoDocTemplate::OpenCore(const std::string& path, BOOL bMakeVisible, BOOL bAdd)
{
    auto* doc = dynamic_cast<CAPhotoDoc*>(GetOnlyDocument());
    CFrameWnd* frame = doc ? m_pFrame : nullptr;
    bool created = false;
    if (!doc) {
        doc = dynamic_cast<CAPhotoDoc*>(CreateNewDocument());
        if (!doc) {
            ReportFailedToCreate();
            return nullptr;
        }
        created = true;
    }
    if (!frame) {
        const BOOL autoDelete = doc->m_bAutoDelete;
        doc->m_bAutoDelete = FALSE;
        frame = CreateNewFrame(doc, nullptr);
        doc->m_bAutoDelete = autoDelete;
        if (!frame) {
            ReportFailedToCreate();
            if (created)
                delete doc;
            return nullptr;
        }
    }
    QPointer<QWidget> frameWidget = frame->m_hWnd;
    if (path.empty()) {
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            if (created && frameWidget)
                frame->DestroyWindow();
            return nullptr;
        }
    } else {
        CWaitCursor wait;
        if (created)
            doc->SetModifiedFlag(FALSE);
        const BOOL wasModified = doc->IsModified();
        if (bAdd) {
            // A picture that could not be added leaves the message as it was, and says so.
            if (!doc->OpenOrInsert(path)) {
                if (created && frameWidget)
                    frame->DestroyWindow();
                return nullptr;
            }
        } else if (!doc->OpenByName(path, m_nReadOnly != 0, TRUE)) {
            if (created) {
                if (frameWidget)
                    frame->DestroyWindow();
            } else if (!doc->IsModified()) {
                doc->SetModifiedFlag(wasModified);
            } else {
                SetDefaultTitle(doc);
                doc->OnNewDocument();
            }
            return nullptr;
        } else {
            doc->SetPathName(path);
        }
    }
    if (!frameWidget)
        return nullptr;
    if (CWinApp* app = AfxGetApp(); app && created && !app->m_pMainWnd)
        app->m_pMainWnd = frame;
    InitialUpdateFrame(frame, doc, bMakeVisible);
    if (m_nDropFormat)
        doc->SetDropFormat(m_nDropFormat);
    if (m_nReadOnly)
        doc->SetReadOnly(TRUE);
    return doc;
}

BOOL CAnoDocTemplate::CanCloseDocument()
{
    CDocument* doc = GetOnlyDocument();
    if (!doc)
        return TRUE;
    if (m_pFrame) {
        m_pFrame->SaveBarState();
        m_pFrame->ActivateFrame(-1);
    }
    return doc->CanCloseFrame(m_pFrame);
}

std::string CAnoDocTemplate::GetPathForBrowser() const
{
    auto* doc = dynamic_cast<CAPhotoDoc*>(GetOnlyDocument());
    return doc ? doc->GetSourcePath() : std::string();
}

void CAnoDocTemplate::ClearPathForBrowser()
{
    if (auto* doc = dynamic_cast<CAPhotoDoc*>(GetOnlyDocument()))
        doc->SetSourcePath({});
}
