#pragma once

#include "ui/app_templates.h"

#include <cstdint>
#include <string>

class CImageBuffer;
class CViewerDoc;

// The image viewer's template (document string 130): one document in one
// frame, opened from a file whose extension an importer lists or from
// pictures another window hands over, each guarded by the picture size limits.
class CViewerDocTemplate : public CViewerTemplateBase {
public:
    // The owner word is the path-list clipboard format; the reader's build
    // loads files straight through the importers and cannot save.
    explicit CViewerDocTemplate(UINT nOwnerWord, BOOL bReaderBuild = FALSE);
    ~CViewerDocTemplate() override;

    // The message editor's road: the pictures become the document's (the
    // caller's buffers are emptied). Null when the size is refused or nothing opened.
    CViewerDoc* OpenImage(const std::string& title, CImageBuffer* picture, CImageBuffer* display,
                          CImageBuffer* print, int64_t pictureTime);

    CFrameWnd* GetFrame() const override { return m_pFrame; }
    // The frame tells the template when it goes.
    void FrameDestroyed(CFrameWnd* frame);
    BOOL CloseViewer() override;
    CDocument* OpenDocumentFile(const std::string& path, BOOL bMakeVisible = TRUE) override;
    CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther) override;
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;

    UINT GetOwnerWord() const { return m_nOwnerWord; }
    BOOL IsReaderBuild() const { return m_bReaderBuild; }

private:
    UINT m_nOwnerWord;
    BOOL m_bReaderBuild;
    CFrameWnd* m_pFrame = nullptr;
};
