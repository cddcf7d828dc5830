#pragma once

#include "browser/tree_pane.h"
#include "ui/app_templates.h"
#include "platform/framework/document.h"

class CFrameWnd;
class CZunMainFrame;

enum : UINT {
    ID_DOC_NOOP = 32780,
    ID_DOC_VIEW_FLAG = 32858,
};

// The browser's document: no file list of its own (the items live in the
// item store); it turns the tree's folder change into an update hint and
// keeps a folder opened through it as the start folder.
class CZunMainDoc : public CDocument {
    DECLARE_DYNCREATE(CZunMainDoc)
    DECLARE_MESSAGE_MAP()
public:
    BOOL OnNewDocument() override;
    // Reads nothing: the path becomes "ScanFolder".
    BOOL OnOpenDocument(const std::string& path) override;

    DWORD m_nViewFlag = 0;

protected:
    void OnDirectoryChanged();
    void OnNoop() {}
    void OnUpdateNoop(CCmdUI* pCmdUI);
    void OnUpdateViewFlag(CCmdUI* pCmdUI);
};

// The browser's template (resource 128): at most one browser frame ever,
// which becomes the application's main window.
class CZunDocTemplate : public CBrowserTemplateBase {
public:
    CZunDocTemplate();

    CDocument* OpenDocumentFile(const std::string& path, BOOL bMakeVisible = TRUE) override;
    void RemoveDocument(CDocument* pDoc) override;
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;
    CFrameWnd* GetFrame() const override;
    BOOL QueryClose() override;
    void OpenPath(const std::string& path) override;
    void SelectStartFolder() override;
    // The frame tells the template when it goes.
    void FrameDestroyed(CFrameWnd* frame);

private:
    CZunMainFrame* m_pBrowserFrame = nullptr;
};
