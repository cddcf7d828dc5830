#pragma once

#include "imaging/image_buffer.h"
#include "platform/framework/document.h"

#include <cstdint>
#include <string>

class CFrameWnd;
class CViewerView;

// The viewer's document: one picture, with an optional version to show and
// one to print, and the time the picture was taken. A failed open keeps the
// picture that was there.
class CViewerDoc : public CDocument {
    DECLARE_DYNCREATE(CViewerDoc)
    DECLARE_MESSAGE_MAP()
public:
    CViewerDoc();
    ~CViewerDoc() override;

    BOOL OnNewDocument() override;
    BOOL OnOpenDocument(const std::string& path) override;
    BOOL OnSaveDocument(const std::string& path) override;
    BOOL DoFileSave() override;
    void DeleteContents() override;

    // Takes the valid buffers over (the caller's are left empty), sets the
    // title, clears the modified flag and shows them.
    void SetImages(const std::string& title, CImageBuffer* picture, CImageBuffer* display, CImageBuffer* print,
                   int64_t pictureTime);

    CImageBuffer& GetPicture() { return m_picture; }
    CImageBuffer& GetDisplayPicture() { return m_display; }
    CImageBuffer& GetPrintPicture() { return m_print; }
    int64_t GetPictureTime() const { return m_pictureTime; }
    int GetBitsPerPixel() const { return m_nBitsPerPixel; }

    // The frame that shows the document; null once it has gone.
    CFrameWnd* GetFrame() const { return m_pFrame; }
    void SetFrame(CFrameWnd* frame) { m_pFrame = frame; }
    CViewerView* GetViewerView() const;

    // The reader's viewer reads files straight through the importers and
    // never saves.
    BOOL IsReaderBuild() const;

protected:
    void OnFileOpen();
    void OnUpdateFileSave(CCmdUI* pCmdUI);

private:
    BOOL LoadPicture(const std::string& path, CImageBuffer& loaded);

    CImageBuffer m_picture;
    CImageBuffer m_display;
    CImageBuffer m_print;
    int64_t m_pictureTime = 0;
    int m_nBitsPerPixel = 0;
    CFrameWnd* m_pFrame = nullptr;
};
