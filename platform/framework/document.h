#pragma once

#include "platform/framework/cmd_target.h"

#include <string>
#include <vector>

class CArchive;
class CException;
class CView;
class CFrameWnd;
class CDocTemplate;

// The framework's prompt for a document that could not be opened.
constexpr UINT AFX_IDP_FAILED_TO_OPEN_DOC = 0xF101;

// A document: the data behind the views of one frame, read from and written to
// one file through Serialize.
class CDocument : public CCmdTarget {
    DECLARE_DYNAMIC(CDocument)
    DECLARE_MESSAGE_MAP()
public:
    CDocument();
    ~CDocument() override;

    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title);
    const std::string& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const std::string& path, BOOL bAddToMRU = TRUE);
    void ClearPathName() { m_strPathName.clear(); }
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_views; }
    CView* GetFirstView() const { return m_views.empty() ? nullptr : m_views.front(); }
    void UpdateAllViews(CView* pSender, LPARAM lHint = 0, CObject* pHint = nullptr);

    virtual BOOL OnNewDocument();
    virtual BOOL OnOpenDocument(const std::string& path);
    virtual BOOL OnSaveDocument(const std::string& path);
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual void Serialize(CArchive& ar) {}
    virtual void OnChangedViewList();

    // Asks to save a modified document: TRUE when it may go (saved, or the user
    // said no), FALSE when the user cancelled or the save failed.
    virtual BOOL SaveModified();
    virtual BOOL CanCloseFrame(CFrameWnd* pFrame);
    virtual BOOL DoSave(const std::string& path, BOOL bReplace = TRUE);
    virtual BOOL DoFileSave();
    // The program's message for a failed open or save, with the system's reason when e has one.
    virtual void ReportSaveLoadException(const std::string& path, const CException* e, BOOL bSaving, UINT nIDPDefault);
    // The box the default report shows, for a file no document has read yet.
    static void ReportFileFailure(const std::string& path, const CException* e, BOOL bSaving, UINT nIDPDefault);

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override;

    BOOL m_bAutoDelete = TRUE;
    CDocTemplate* m_pDocTemplate = nullptr;

protected:
    void OnFileSave();
    void OnFileSaveAs();
    void OnFileClose();

    std::string m_strTitle;
    std::string m_strPathName;
    BOOL m_bModified = FALSE;
    std::vector<CView*> m_views;
};

// Prompts for a file name (open or save); replaceable so that tests answer it.
// Returns FALSE when the user cancelled.
using FileDialogHandler = BOOL (*)(std::string& path, BOOL bOpen, const std::string& title, const std::string& filter);
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
BOOL AfxPromptFileName(std::string& path, BOOL bOpen, const std::string& title, const std::string& filter);
