#pragma once

#include "ui/app_templates.h"
#include "platform/framework/document.h"
#include "ui/zun_frame_wnd.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/view.h"

// Stand-ins for the browser, message and viewer templates while those parts
// of the program are not there: each opens its frame with an empty view, so
// that the program starts, opens files and ends as it will with them.

class CEmptyDoc : public CDocument {
    DECLARE_DYNCREATE(CEmptyDoc)
public:
    // A file opens when it can be read; nothing of it is kept.
    BOOL OnOpenDocument(const std::string& path) override;
};

class CEmptyView : public CView {
    DECLARE_DYNCREATE(CEmptyView)
public:
    void OnDraw(CDC* pDC) override;

protected:
    void OnPaint() override;
};

class CEmptyFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(CEmptyFrame)
public:
    CEmptyFrame();
    // The view shows nothing yet: the title names the open file.
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
};

CFrameWnd* FrameOfDocument(CDocument* pDoc);

class CEmptyBrowserTemplate : public CBrowserTemplateBase {
public:
    CEmptyBrowserTemplate();
    CFrameWnd* GetFrame() const override { return FrameOfDocument(GetOnlyDocument()); }
    BOOL QueryClose() override;
    void OpenPath(const std::string& path) override {}
    void SelectStartFolder() override {}
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;
};

class CEmptyMessageTemplate : public CMessageTemplateBase {
public:
    CEmptyMessageTemplate();
    CFrameWnd* GetFrame() const override { return FrameOfDocument(GetOnlyDocument()); }
    BOOL CanCloseDocument() override;
    CDocument* AddFile(const std::string& path, BOOL bMakeVisible) override;
    std::string GetPathForBrowser() const override { return {}; }
    void ClearPathForBrowser() override {}
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;
};

class CEmptyViewerTemplate : public CViewerTemplateBase {
public:
    CEmptyViewerTemplate();
    CFrameWnd* GetFrame() const override { return FrameOfDocument(GetOnlyDocument()); }
    BOOL CloseViewer() override;
    // Pictures that an importer plug-in lists by extension.
    Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch) override;
};
