#pragma once

#include "platform/framework/doc_template.h"

#include <cstdint>
#include <string>

class CDocument;
class CFrameWnd;

// What the application object asks of the three document templates. The
// browser, the message editor and the viewer live above or beside the
// application shell, so the shell knows them only through these bases; each
// template derives from its base and answers for its own frame and document.

// What the browser's frame asks of the application object, which lives above
// it: the message editor and the viewer open through the application, and the
// program ends only when every template agrees.
class IZunAppServices {
public:
    virtual ~IZunAppServices() = default;
    virtual CDocument* OpenInMessageEditor(const std::string& path, BOOL bAdd, uintptr_t callerValue) = 0;
    virtual CDocument* OpenInViewer(const std::string& path) = 0;
    virtual BOOL CanCloseAllDocuments() = 0;
};
// The running application's services; null when the application is not the program's.
IZunAppServices* GetZunAppServices();

// The photo browser's template (document string 128).
class CBrowserTemplateBase : public CSingleDocTemplate {
public:
    using CSingleDocTemplate::CSingleDocTemplate;
    // The browser frame; null until it exists.
    virtual CFrameWnd* GetFrame() const = 0;
    // TRUE when the browser may close: no document, or its frame and then its
    // document agree.
    virtual BOOL QueryClose() = 0;
    // The browser drops and redraws the thumbnail of every listed item whose
    // file is exactly this path.
    virtual void OpenPath(const std::string& path) = 0;
    // Selects the "ScanFolder" of the settings, or a standard folder, in the
    // browser frame's folder tree.
    virtual void SelectStartFolder() = 0;
};

// Commands between the message editor and the application: File/Import
// Image (the application asks for the picture, the message document decides
// whether it may be added), and the message document's word after a save
// that the browser should show the saved file again.
enum : UINT {
    ID_IMPORT_IMAGE = 165,
    ID_REFRESH_SAVED_MESSAGE = 351,
};

// The message editor's template (document string 129).
class CMessageTemplateBase : public CSingleDocTemplate {
public:
    using CSingleDocTemplate::CSingleDocTemplate;
    CDocument* GetDocument() const { return GetOnlyDocument(); }
    // The editor frame; null when none.
    virtual CFrameWnd* GetFrame() const = 0;
    // TRUE when there is no document or it agreed to close (the user may be
    // asked to save); FALSE when the user refused and nothing was closed.
    virtual BOOL CanCloseDocument() = 0;
    // Inserts the picture into the open message instead of replacing it;
    // the document, or null on failure.
    virtual CDocument* AddFile(const std::string& path, BOOL bMakeVisible) = 0;
    // The path the open message recorded for the browser at its last save.
    virtual std::string GetPathForBrowser() const = 0;
    virtual void ClearPathForBrowser() = 0;

    // Set once during start-up, before the template is added to the application.
    CDocTemplate* m_pViewerTemplate = nullptr;
    // Set by the application for the length of one OpenDocumentFile call; 0 otherwise.
    uintptr_t m_nOpenContext = 0;
};

// The image viewer's template (document string 130).
class CViewerTemplateBase : public CSingleDocTemplate {
public:
    using CSingleDocTemplate::CSingleDocTemplate;
    // The viewer frame; null when none.
    virtual CFrameWnd* GetFrame() const = 0;
    // TRUE when the viewer has no picture or it agreed to close.
    virtual BOOL CloseViewer() = 0;
};
