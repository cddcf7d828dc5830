#pragma once

#include "platform/framework/cmd_target.h"

#include <string>
#include <vector>

class CDocument;
class CFrameWnd;

// Makes a document with its frame and view from their runtime classes; the
// string resource of the template's id describes the document type
// ("window title\ndocument name\nnew name\nfilter name\nfilter extension\n...").
class CDocTemplate : public CCmdTarget {
    DECLARE_DYNAMIC(CDocTemplate)
public:
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
    enum Confidence { noAttempt, maybeAttemptForeign, maybeAttemptNative, yesAttemptForeign, yesAttemptNative, yesAlreadyOpen };

    CDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                 const CRuntimeClass* pViewClass);
    ~CDocTemplate() override;

    std::string GetDocString(DocStringIndex index) const;
    virtual CDocument* CreateNewDocument();
    virtual CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther);
    virtual void InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible = TRUE);
    virtual CDocument* OpenDocumentFile(const std::string& path, BOOL bMakeVisible = TRUE) = 0;
    virtual void AddDocument(CDocument* pDoc);
    virtual void RemoveDocument(CDocument* pDoc);
    virtual const std::vector<CDocument*>& GetDocuments() const { return m_docs; }
    virtual Confidence MatchDocType(const std::string& path, CDocument*& rpDocMatch);
    virtual BOOL SaveAllModified();
    virtual void CloseAllDocuments(BOOL bEndSession);
    virtual void SetDefaultTitle(CDocument* pDoc);

protected:
    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    std::vector<CDocument*> m_docs;
};

// A template of at most one document at a time: opening another file reuses
// the document and its frame after the old one agreed to go.
class CSingleDocTemplate : public CDocTemplate {
    DECLARE_DYNAMIC(CSingleDocTemplate)
public:
    using CDocTemplate::CDocTemplate;
    CDocument* OpenDocumentFile(const std::string& path, BOOL bMakeVisible = TRUE) override;
    CDocument* GetOnlyDocument() const { return m_docs.empty() ? nullptr : m_docs.front(); }
};

// The application's templates: opens a file with the template that matches it
// best, and asks every document before the program ends.
class CDocManager {
public:
    ~CDocManager();
    void AddDocTemplate(CDocTemplate* pTemplate);
    CDocument* OpenDocumentFile(const std::string& path);
    BOOL SaveAllModified();
    void CloseAllDocuments(BOOL bEndSession);
    void OnFileNew();
    void OnFileOpen();

private:
    std::vector<CDocTemplate*> m_templates; // owned
};
