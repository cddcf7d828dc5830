#include "platform/framework/win_app.h"

#include "platform/framework/document.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "platform/gcc_warnings.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>

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

namespace {

// Characters of UTF-8 text: every byte that does not continue a sequence.
int CountUtf8Chars(std::string_view s)
{
    return int(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The path cut to maxChars: its first folder, "/...", and as many of its last
// parts as fit; the file name alone when not even that fits.
std::string AbbreviatePath(const std::string& path, int maxChars)
{
    if (CountUtf8Chars(path) <= maxChars)
        return path;
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash == std::string::npos || slash == 0)
        return name;
    // The head is the first folder; a file directly in it has nothing to leave out.
    const size_t headEnd = path.find('/', 1);
    if (headEnd == std::string::npos || headEnd >= slash)
        return name;
    const std::string head = path.substr(0, headEnd);
    const int headChars = CountUtf8Chars(head);
    if (headChars + 5 + CountUtf8Chars(name) > maxChars)
        return name;
    size_t tail = headEnd;
    while (headChars + 4 + CountUtf8Chars(std::string_view(path).substr(tail)) > maxChars)
        tail = path.find('/', tail + 1);
    return head + "/..." + path.substr(tail);
}

} // namespace

std::string CRecentFileList::GetDisplayName(int nIndex, const std::string& curDir, int maxChars) const
{
    if (nIndex < 0 || nIndex >= GetCount())
        return {};
    const std::string& path = m_files[size_t(nIndex)];
    const size_t slash = path.rfind('/');
    std::string shown;
    if (slash != std::string::npos && !curDir.empty() && path.compare(0, slash, curDir) == 0 && slash == curDir.size())
        shown = path.substr(slash + 1);
    else
        shown = AbbreviatePath(path, maxChars);
    // A menu takes "&" for its mnemonic mark.
    std::string text;
    for (char c : shown) {
        if (c == '&')
            text += '&';
        text += c;
    }
    return text;
}

// GCC 12 sees overlapping copies in "&" + std::to_string(n), inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
void CRecentFileList::UpdateMenu(CCmdUI* pCmdUI)
{
    auto* ui = dynamic_cast<CMenuCmdUI*>(pCmdUI);
    if (!ui || !ui->m_pMenu || ui->m_nIndex >= UINT(ui->m_pMenu->GetMenuItemCount())) {
        pCmdUI->Enable(GetCount() > 0);
        return;
    }
    CMenu* menu = ui->m_pMenu;
    if (m_strOriginal.empty())
        m_strOriginal = menu->Items()[ui->m_nIndex].text;
    // Every item the last update put in goes; the entries come in its place.
    for (int i = 0; i < m_nSize; ++i)
        while (menu->DeleteMenu(UINT(ID_FILE_MRU_FILE1 + i), MF_BYCOMMAND)) {
        }
    const UINT at = ui->m_nIndex;
    if (m_files.empty()) {
        menu->InsertMenu(at, MF_BYPOSITION | MF_STRING | MF_GRAYED, ID_FILE_MRU_FILE1, m_strOriginal);
    } else {
        std::error_code ec;
        const std::string here = std::filesystem::current_path(ec).string();
        for (int i = 0; i < GetCount(); ++i) {
            const std::string number = i < 9 ? "&" + std::to_string(i + 1) : i == 9 ? "1&0" : std::to_string(i + 1);
            menu->InsertMenu(at + UINT(i), MF_BYPOSITION | MF_STRING, ID_FILE_MRU_FILE1 + UINT(i),
                             number + " " + GetDisplayName(i, here));
        }
    }
    ui->m_nIndex = at + UINT(std::max(GetCount(), 1)) - 1;
    ui->m_nIndexMax = UINT(menu->GetMenuItemCount());
    ui->m_bEnableChanged = TRUE;
}
QR_GCC_IGNORE_END

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
    // The commands reach as far as the fourth entry.
    const int size = std::min(int(nMaxMRU), int(ID_FILE_MRU_FILE4 - ID_FILE_MRU_FILE1) + 1);
    m_pRecentFileList = std::make_unique<CRecentFileList>(size);
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
    if (!m_pRecentFileList) {
        pCmdUI->Enable(FALSE);
        return;
    }
    // The first item stands for the whole list in a menu.
    if (pCmdUI->m_nID == ID_FILE_MRU_FILE1) {
        m_pRecentFileList->UpdateMenu(pCmdUI);
        return;
    }
    const int index = int(pCmdUI->m_nID) - int(ID_FILE_MRU_FILE1);
    pCmdUI->Enable(index < m_pRecentFileList->GetCount());
}
