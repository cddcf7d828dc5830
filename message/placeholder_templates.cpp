#include "message/placeholder_templates.h"

#include "imaging/viewer/image_file_tests.h"
#include "message/photo_content.h"
#include "platform/archive.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"

#include <QPainter>


IMPLEMENT_DYNCREATE(CEmptyDoc, CDocument)
IMPLEMENT_DYNCREATE(CEmptyPictureDoc, CEmptyDoc)
IMPLEMENT_DYNCREATE(CEmptyView, CView)
IMPLEMENT_DYNCREATE(CEmptyFrame, CZunFrameWnd)

namespace {

enum : UINT { IDR_MESSAGE = 129 };

// The framework's answer for an open file, or the template's own extension.
CDocTemplate::Confidence MatchOwnExtension(CDocTemplate* t, const std::string& path, CDocument*& rpDocMatch)
{
    CDocTemplate::Confidence c = t->CDocTemplate::MatchDocType(path, rpDocMatch);
    if (c == CDocTemplate::yesAlreadyOpen || c == CDocTemplate::yesAttemptNative)
        return c;
    return CDocTemplate::noAttempt;
}

BOOL DocumentMayClose(CDocument* doc, CFrameWnd* frame)
{
    if (!doc)
        return TRUE;
    if (frame)
        frame->ActivateFrame(-1);
    return doc->CanCloseFrame(frame);
}

} // namespace

CFrameWnd* FrameOfDocument(CDocument* pDoc)
{
    CView* v = pDoc ? pDoc->GetFirstView() : nullptr;
    return v ? v->GetParentFrame() : nullptr;
}

void CEmptyDoc::Serialize(CArchive&) {}

BOOL CEmptyPictureDoc::OnOpenDocument(const std::string& path)
{
    m_bMessage = IsMessageFileName(path);
    // The framework's open reports a missing, unreadable or damaged file.
    if (!CEmptyDoc::OnOpenDocument(path))
        return FALSE;
    if (!m_bMessage && !IsImportableFile(path)) {
        ReportSaveLoadException(path, nullptr, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    return TRUE;
}

void CEmptyPictureDoc::Serialize(CArchive& ar)
{
    if (!ar.IsLoading() || !m_bMessage)
        return;
    CAPhotoContent content(GetCompressionSetting());
    content.ReadBody(ar); // throws on damage
}

void CEmptyView::OnDraw(CDC*) {}

void CEmptyView::OnPaint()
{
    CPaintDC dc(this);
    if (QPainter* p = dc.Painter()) {
        CRect rc;
        GetClientRect(&rc);
        p->fillRect(QRect(0, 0, rc.Width(), rc.Height()), QColor(255, 255, 255));
    }
}

CEmptyFrame::CEmptyFrame() = default;

BOOL CEmptyFrame::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    SetSystemIcon(4083u);
    return CZunFrameWnd::LoadFrame(nIDResource, dwDefaultStyle, pParentWnd, pContext);
}

void CEmptyFrame::OnUpdateFrameTitle(BOOL)
{
    CDocument* doc = GetActiveDocument();
    std::string title = m_strTitle;
    if (doc && !doc->GetPathName().empty())
        title = doc->GetTitle() + " - " + m_strTitle;
    if (title != GetWindowText())
        SetWindowText(title);
}

CEmptyMessageTemplate::CEmptyMessageTemplate()
    : CMessageTemplateBase(IDR_MESSAGE, RUNTIME_CLASS(CEmptyPictureDoc), RUNTIME_CLASS(CEmptyFrame), RUNTIME_CLASS(CEmptyView))
{
}

BOOL CEmptyMessageTemplate::CanCloseDocument() { return DocumentMayClose(GetOnlyDocument(), GetFrame()); }

CDocument* CEmptyMessageTemplate::AddFile(const std::string& path, BOOL bMakeVisible)
{
    // Nothing to insert into yet: the picture opens as the message.
    return OpenDocumentFile(path, bMakeVisible);
}

CDocTemplate::Confidence CEmptyMessageTemplate::MatchDocType(const std::string& path, CDocument*& rpDocMatch)
{
    return MatchOwnExtension(this, path, rpDocMatch);
}
