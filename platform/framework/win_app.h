#pragma once

#include "platform/framework/cmd_target.h"
#include "platform/framework/doc_template.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWnd;
class CDocument;

// The recent-file list: the newest first, no name twice, at most its size.
class CRecentFileList {
public:
    // Menu names are shortened to this many characters.
    static constexpr int kDisplayLength = 30;

    explicit CRecentFileList(int nSize = 4) : m_nSize(nSize) {}
    void Add(const std::string& path);
    void Remove(int nIndex);
    int GetSize() const { return m_nSize; }
    int GetCount() const { return int(m_files.size()); }
    const std::string& operator[](int i) const { return m_files[size_t(i)]; }
    const std::vector<std::string>& Files() const { return m_files; }
    void SetFiles(std::vector<std::string> files);

    // The entry as the menu names it: the file name alone when it lies in
    // curDir, else the path shortened to maxChars characters ("/home/.../
    // photos/beach.kvt"), the file name alone when even that is too long.
    std::string GetDisplayName(int nIndex, const std::string& curDir, int maxChars = kDisplayLength) const;
    // Puts the entries into the menu in place of its first recent-file item,
    // numbered "&1 name", "&2 name"...; with no entries the item keeps the
    // menu's own text, greyed.
    void UpdateMenu(CCmdUI* pCmdUI);

private:
    int m_nSize;
    std::vector<std::string> m_files;
    std::string m_strOriginal; // the menu's own text of its recent-file item
};

// The application: owns the document templates, ends the program when asked,
// and is the last stop of every command.
class CWinApp : public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)
    DECLARE_MESSAGE_MAP()
public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // Runs the main loop until the main window is gone.
    virtual int Run();
    // Ends the main loop when it runs; the main window calls it as it goes.
    void EndRun();

    void AddDocTemplate(CDocTemplate* pTemplate);
    virtual CDocument* OpenDocumentFile(const std::string& path);
    virtual BOOL SaveAllModified();
    virtual void CloseAllDocuments(BOOL bEndSession);

    // The recent-file list (four entries); the store keeps it between runs.
    void LoadStdProfileSettings(UINT nMaxMRU = 4);
    virtual void AddToRecentFileList(const std::string& path);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }
    // Where the list lives between runs; installed by the application.
    std::function<std::vector<std::string>()> m_loadRecentFiles;
    std::function<void(const std::vector<std::string>&)> m_saveRecentFiles;
    void SaveStdProfileSettings();

    CWnd* m_pMainWnd = nullptr;
    std::string m_pszAppName;

protected:
    void OnFileNew();
    void OnFileOpen();
    void OnAppExit();
    BOOL OnOpenRecentFile(UINT nID);
    void OnUpdateRecentFileMenu(CCmdUI* pCmdUI);

    std::unique_ptr<CDocManager> m_pDocManager;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;

private:
    BOOL m_bRunning = FALSE;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
