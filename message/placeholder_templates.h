#pragma once

#include "ui/app_templates.h"
#include "platform/framework/document.h"
#include "ui/zun_frame_wnd.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/view.h"

// The stand-in for the message editor's template while that part of the
// program is not there: it opens its frame with an empty view, so that the
// program opens files and ends as it will with the editor.

// A file opens when it can be read; nothing of it is kept. A file that
// cannot be read is reported as the framework reports a failed open.
class CEmptyDoc : public CDocument {
    DECLARE_DYNCREATE(CEmptyDoc)
public:
    void Serialize(CArchive& ar) override;
};

// The message editor's stand-in: a message file opens when
// the message reader reads it whole, a picture when an importer reads its
// picture information. Anything else is reported and leaves nothing open.
class CEmptyPictureDoc : public CEmptyDoc {
    DECLARE_DYNCREATE(CEmptyPictureDoc)
public:
    BOOL OnOpenDocument(const std::string& path) override;
    void Serialize(CArchive& ar) override;

private:
    BOOL m_bMessage = FALSE;
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
    // The caption's icon box shows the message editor's icon.
    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;
    // The view shows nothing yet: the title names the open file.
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
};

CFrameWnd* FrameOfDocument(CDocument* pDoc);


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
