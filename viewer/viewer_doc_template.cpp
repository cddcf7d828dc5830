#include "viewer/viewer_doc_template.h"

#include "platform/gcc_warnings.h"

#include "imaging/image_importer.h"
#include "imaging/program_folders.h"
#include "viewer/image_file_tests.h"
#include "viewer/viewer_doc.h"
#include "viewer/viewer_ids.h"
#include "viewer/viewer_main_frame.h"
#include "viewer/viewer_view.h"
#include "ui/ui_services.h"
#include "platform/framework/message_box.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <strings.h>

CViewerDocTemplate::CViewerDocTemplate(UINT nOwnerWord, BOOL bReaderBuild)
    : CViewerTemplateBase(IDR_VIEWER, RUNTIME_CLASS(CViewerDoc), RUNTIME_CLASS(CViewerMainFrame),
                          RUNTIME_CLASS(CViewerView)),
      m_nOwnerWord(nOwnerWord), m_bReaderBuild(bReaderBuild)
{
    RegisterViewerResources();
}

CViewerDocTemplate::~CViewerDocTemplate() = default;

void CViewerDocTemplate::FrameDestroyed(CFrameWnd* frame)
{
    if (m_pFrame == frame)
        m_pFrame = nullptr;
    for (CDocument* d : GetDocuments())
        if (auto* vd = dynamic_cast<CViewerDoc*>(d); vd && vd->GetFrame() == frame)
            vd->SetFrame(nullptr);
}

CFrameWnd* CViewerDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther)
{
    CFrameWnd* frame = CViewerTemplateBase::CreateNewFrame(pDoc, pOther);
    if (frame) {
        m_pFrame = frame;
        if (auto* vd = dynamic_cast<CViewerDoc*>(pDoc))
            vd->SetFrame(frame);
    }
    return frame;
}

BOOL CViewerDocTemplate::CloseViewer()
{
    CDocument* doc = GetOnlyDocument();
    if (!doc)
        return TRUE;
    if (auto* f = dynamic_cast<CViewerMainFrame*>(m_pFrame)) {
        f->SaveBarState();
        f->ActivateFrame(-1);
    }
    return doc->CanCloseFrame(m_pFrame);
}

CDocument* CViewerDocTemplate::OpenDocumentFile(const std::string& path, BOOL bMakeVisible)
{
    // A file no importer reads goes on to the document, which says so.
    if (!path.empty() && IsImportableFile(path) && !IsLoadableImageFile(path)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return nullptr;
    }
    return CViewerTemplateBase::OpenDocumentFile(path, bMakeVisible);
}

CViewerDoc* CViewerDocTemplate::OpenImage(const std::string& title, CImageBuffer* picture, CImageBuffer* display,
                                          CImageBuffer* print, int64_t pictureTime)
{
    if (!picture || !IsBufferSizeSupported(*picture)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return nullptr;
    }
    auto* doc = dynamic_cast<CViewerDoc*>(OpenDocumentFile(std::string(), TRUE));
    if (doc)
        doc->SetImages(title, picture, display, print, pictureTime);
    return doc;
}

// GCC 12 sees an overlap in std::string's own copy of a short literal here: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
CDocTemplate::Confidence CViewerDocTemplate::MatchDocType(const std::string& path, CDocument*& rpDocMatch)
{
    Confidence c = CDocTemplate::MatchDocType(path, rpDocMatch);
    if (c == yesAlreadyOpen)
        return c;
    std::string own = DottedExtensionOf(path);
    if (own.size() < 2)
        return noAttempt;
    std::vector<std::string> exts;
    CImageImporter(GetImporterSearchPath()).CollectExtensions(exts, nullptr);
    for (std::string e : exts) {
        if (!e.empty() && e[0] != '.')
            e.insert(0, ".");
        if (strcasecmp(e.c_str(), own.c_str()) == 0)
            return yesAttemptNative;
    }
    return noAttempt;
}
QR_GCC_IGNORE_END
