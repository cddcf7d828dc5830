#include "platform/framework/win_app.h"

#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"

#include <QApplication>

#include <algorithm>

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_FILE_NEW, &CWinApp::OnFileNew)
    ON_COMMAND(ID_FILE_OPEN, &CWinApp::OnFileOpen)
    ON_COMMAND(ID_APP_EXIT, &CWinApp::OnAppExit)
    ON_COMMAND_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4, &CWinApp::OnOpenRecentFile)
    ON_UPDATE_COMMAND_UI_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4, &CWinApp::OnUpdateRecentFileMenu)
END_MESSAGE_MAP()

namespace {
CWinApp* g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    m_files.erase(std::remove(m_files.begin(), m_files.end(), path), m_files.end());
    m_files.insert(m_files.begin(), path);
    if (int(m_files.size()) > m_nSize)
        m_files.resize(size_t(m_nSize));
}

void CRecentFileList::Remove(int nIndex)
{
    if (nIndex >= 0 && nIndex < int(m_files.size()))
        m_files.erase(m_files.begin() + nIndex);
}

void CRecentFileList::SetFiles(std::vector<std::string> files)
{
    m_files.clear();
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        Add(*it);
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName ? appName : "")
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::Run()
{
    int code = 0;
    if (m_pMainWnd) {
        // The main window's end ends the program, not Qt's last-window rule
        // (which would also close every other window behind the documents' backs).
        QApplication::setQuitOnLastWindowClosed(false);
        m_bRunning = TRUE;
        code = QApplication::exec();
        m_bRunning = FALSE;
    }
    int exitCode = ExitInstance();
    return code ? code : exitCode;
}

void CWinApp::EndRun()
{
    // Not quit(): that asks every window to close first, while the documents
    // are closing them already. Without a running loop there is nothing to end,
    // and exit() would leave the next loop ended before it starts.
    if (m_bRunning)
        QCoreApplication::exit(0);
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate)
{
    if (!m_pDocManager)
        m_pDocManager = std::make_unique<CDocManager>();
    m_pDocManager->AddDocTemplate(pTemplate);
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path)
{
    return m_pDocManager ? m_pDocManager->OpenDocumentFile(path) : nullptr;
}

BOOL CWinApp::SaveAllModified() { return m_pDocManager ? m_pDocManager->SaveAllModified() : TRUE; }

void CWinApp::CloseAllDocuments(BOOL bEndSession)
{
    if (m_pDocManager)
        m_pDocManager->CloseAllDocuments(bEndSession);
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU)
{
    m_pRecentFileList = std::make_unique<CRecentFileList>(int(nMaxMRU));
    if (m_loadRecentFiles)
        m_pRecentFileList->SetFiles(m_loadRecentFiles());
}

void CWinApp::SaveStdProfileSettings()
{
    if (m_pRecentFileList && m_saveRecentFiles)
        m_saveRecentFiles(m_pRecentFileList->Files());
}

void CWinApp::AddToRecentFileList(const std::string& path)
{
    if (m_pRecentFileList)
        m_pRecentFileList->Add(path);
}

void CWinApp::OnFileNew()
{
    if (m_pDocManager)
        m_pDocManager->OnFileNew();
}

void CWinApp::OnFileOpen()
{
    if (m_pDocManager)
        m_pDocManager->OnFileOpen();
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd)
        m_pMainWnd->SendMessage(WM_CLOSE);
}

BOOL CWinApp::OnOpenRecentFile(UINT nID)
{
    if (!m_pRecentFileList)
        return FALSE;
    int index = int(nID) - int(ID_FILE_MRU_FILE1);
    if (index < 0 || index >= m_pRecentFileList->GetCount())
        return FALSE;
    std::string path = (*m_pRecentFileList)[index];
    // A file that no longer opens leaves the list.
    if (!OpenDocumentFile(path))
        m_pRecentFileList->Remove(index);
    return TRUE;
}

void CWinApp::OnUpdateRecentFileMenu(CCmdUI* pCmdUI)
{
    int index = int(pCmdUI->m_nID) - int(ID_FILE_MRU_FILE1);
    pCmdUI->Enable(m_pRecentFileList && index < m_pRecentFileList->GetCount());
}
