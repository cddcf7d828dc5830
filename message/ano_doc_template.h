#pragma once

#include "ui/app_templates.h"

#include <cstdint>
#include <string>

class CAnoMainFrame;

// The message editor's template (document string 129): the message
// document, the editor frame and the message view. It opens messages and
// photographs (replacing the open message) and adds pictures to the open
// message.
class CAnoDocTemplate : public CMessageTemplateBase {
public:
    enum : UINT { IDR_MESSAGE = 129 };

    // dropFormat: the clipboard format the view's drops take (0: none);
    // readOnlyWord: nonzero opens every message read-only (the reader's build).
    CAnoDocTemplate(UINT dropFormat, uint32_t readOnlyWord);
    ~CAnoDocTemplate() override;

    CDocument* OpenDocumentFile(const std::string& path, BOOL bMakeVisible = TRUE) override;
    CDocument* AddFile(const std::string& path, BOOL bMakeVisible) override;
    BOOL CanCloseDocument() override;
    std::string GetPathForBrowser() const override;
    void ClearPathForBrowser() override;
    CFrameWnd* GetFrame() const override;
    CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther) override;
    void RemoveDocument(CDocument* pDoc) override;
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;

    // The part at index of string resource id, split at its line feeds.
    static std::string LoadDocStringPart(UINT id, int index);
    // The frame tells the template when it goes.
    void FrameDestroyed(CFrameWnd* pFrame);

private:
    CDocument* OpenCore(const std::string& path, BOOL bMakeVisible, BOOL bAdd);

    CAnoMainFrame* m_pFrame = nullptr;
    uint32_t m_nReadOnly;
    UINT m_nDropFormat;
};
