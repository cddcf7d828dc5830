#include "reader/zun_reader_app.h"

#include "message/about_dlog.h"
#include "imaging/image_info_set.h"
#include "imaging/program_folders.h"
#include "viewer/viewer_doc_template.h"
#include "message/ano_doc_template.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/private_file.h"
#include "resources/help_resource.h"
#include "resources/program_icon.h"
#include "resources/string_table.h"
#include "ui/app_shared.h"
#include "ui/dialog_ex.h"
#include "ui/printer_dc.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"
#include "util/file_filter.h"
#include "util/path_util.h"
#include "util/reg_settings.h"
#include "util/shell_util.h"
#include "resources/string_ids.h"

#include <QApplication>

#include <climits>

BEGIN_MESSAGE_MAP(CZunReaderApp, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, &CZunReaderApp::OnAppAbout)
    ON_COMMAND(ID_FILE_NEW_FRAME, &CZunReaderApp::OnFileNewFrame)
    ON_COMMAND(ID_FILE_NEW, &CZunReaderApp::OnFileNew)
    ON_COMMAND(ID_FILE_PRINT_SETUP, &CZunReaderApp::OnFilePrintSetup)
    ON_COMMAND(ID_OPEN_MESSAGE, &CZunReaderApp::OnFileOpen)
    ON_UPDATE_COMMAND_UI(ID_OPEN_MESSAGE, &CZunReaderApp::OnUpdateAlwaysEnabled)
    ON_COMMAND(ID_HELP_CONTENTS, &CZunReaderApp::OnHelp)
    ON_UPDATE_COMMAND_UI(ID_HELP_CONTENTS, &CZunReaderApp::OnUpdateAlwaysEnabled)
    ON_COMMAND(ID_PREFCHANGED, &CZunReaderApp::OnPrefChanged)
    ON_COMMAND(ID_APP_QUIT, &CZunReaderApp::OnAppQuit)
END_MESSAGE_MAP()

namespace {

HWND HandleOf(CWnd* w) { return w ? w->m_hWnd : nullptr; }

} // namespace

CZunReaderApp* GetZunReaderApp() { return dynamic_cast<CZunReaderApp*>(AfxGetApp()); }

CZunReaderApp::CZunReaderApp()
{
    // Every string the shared classes load is the reader's from here on.
    res::SetReaderRole(true);
    m_showMessageBox = [](const std::string& text, UINT type) { return ShowQtMessageBox(text, type); };
    m_loadRecentFiles = LoadRecentFiles;
    m_saveRecentFiles = SaveRecentFiles;
}

CZunReaderApp::~CZunReaderApp()
{
    if (m_bBoxHandlerSet)
        SetMessageBoxHandler({});
    res::SetReaderRole(false);
}

BOOL CZunReaderApp::InitInstance()
{
    CWinApp::InitInstance();
    m_pszAppName = std::string(res::String(IDS_APP_TITLE));
    QApplication::setApplicationName(QString::fromStdString(m_pszAppName));
    SetProgramIdentity(res::kReaderProgramName);
    m_pInputBlock = std::make_unique<CFrameInputBlock>();
    SetMessageBoxHandler([this](const std::string& text, UINT type, UINT helpId) { return DoMessageBox(text, type, helpId); });
    m_bBoxHandlerSet = TRUE;

    // The framework's settings under Software\Quiram\DARuderi, the reader's own
    // under SOFTWARE\Quiram\DARuderi and its sections.
    SetRegFrameworkNames(GetRegistryPathPart(1), GetRegistryPathPart(2));
    LoadStdProfileSettings(kRecentFileCount);
    CCommandLineInfo cmdInfo;
    cmdInfo.ParseCommandLine(m_args);
    SetRegRoot(HKEY_CURRENT_USER);
    SetRegBasePath(IDS_REG_BASEPATH);

    if (IsAlreadyRunning())
        return FALSE;

    RegisterClipboardFormats();

    std::unique_ptr<CAboutDlog> splash = CAboutDlog::ShowSplash(cmdInfo.m_bShowSplash, 2500);

    CreateTemplates();
    CDialogEx::SetDefaultBackColor(GetSchemeSysColor(COLOR_BTNFACE));
    LoadAppSettings();
    LoadInfoItemSettings();
    m_bSettingsLoaded = TRUE;

    splash.reset();

    // The desktop learns that ".kvt" files open here from the installed
    // desktop entry and type, never from a change made at run time.
    if (!ProcessShellCommand(cmdInfo) || !m_pMainWnd)
        return FALSE;
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    if (m_pInstanceServer)
        m_pInstanceServer->SetReady(TRUE);
    return TRUE;
}

BOOL CZunReaderApp::IsAlreadyRunning()
{
    if (!CheckInstanceRuntimeFolder())
        return FALSE;
    m_pSemaphore = CInstanceLock::Acquire(kSemaphoreName, 200);
    if (m_pSemaphore) {
        m_pInstanceServer = std::make_unique<CInstanceServer>(kSemaphoreName);
        m_pInstanceServer->Listen();
        return FALSE;
    }
    // A later start passes no file on: it only brings the running reader forward.
    m_bFirstInstance = FALSE;
    CInstanceClient client(kSemaphoreName);
    uint64_t id = 0;
    BringRunningInstanceToFront(client, GetDocStringPart(IDS_MESSAGE_DOC, 0), id);
    return TRUE;
}

void CZunReaderApp::CreateTemplates()
{
    const UINT pathList = GetClipboardFormats().pathList;
    // The reader opens every message read-only.
    m_pAnoTemplate = new CAnoDocTemplate(pathList, 1);
    m_pViewerTemplate = new CViewerDocTemplate(pathList, TRUE);
    m_pAnoTemplate->m_pViewerTemplate = m_pViewerTemplate;
    AddDocTemplate(m_pAnoTemplate);
    AddDocTemplate(m_pViewerTemplate);
}

BOOL CZunReaderApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen)
        return m_pAnoTemplate->OpenDocumentFile(info.m_strFileName, TRUE) != nullptr;
    return m_pAnoTemplate->OpenDocumentFile(std::string(), TRUE) != nullptr;
}

int CZunReaderApp::ExitInstance()
{
    m_pInstanceServer.reset();
    m_pSemaphore.reset();
    // A later start never loaded the settings: it must not write defaults
    // over the running reader's.
    if (m_bSettingsLoaded) {
        SaveInfoItemSettings();
        SaveAppSettings();
        SaveStdProfileSettings();
        m_bSettingsLoaded = FALSE;
    }
    return CWinApp::ExitInstance();
}

void CZunReaderApp::AddToRecentFileList(const std::string& path)
{
    if (IsMessageFileName(path))
        CWinApp::AddToRecentFileList(path);
}

int CZunReaderApp::DoMessageBox(const std::string& prompt, UINT type, UINT)
{
    m_pInputBlock->Block({HandleOf(m_pMainWnd), HandleOf(m_pAnoTemplate ? m_pAnoTemplate->GetFrame() : nullptr),
                          HandleOf(m_pViewerTemplate ? m_pViewerTemplate->GetFrame() : nullptr)});
    int result = m_showMessageBox(prompt, MessageBoxTypeWithIcon(type));
    m_pInputBlock->Release();
    return result;
}

void CZunReaderApp::PostToFrames(UINT nCommand)
{
    CWnd* frame = m_pAnoTemplate ? m_pAnoTemplate->GetFrame() : nullptr;
    if (m_pMainWnd)
        m_pMainWnd->PostMessage(WM_COMMAND, nCommand, 0);
    if (frame && frame != m_pMainWnd)
        frame->PostMessage(WM_COMMAND, nCommand, 0);
}

// ---------------------------------------------------------------------------
// Commands

void CZunReaderApp::OnAppAbout()
{
    CAboutDlog about(m_pMainWnd, 1000, std::string());
    about.DoModal();
}

void CZunReaderApp::OnFileNew()
{
    if (RestartActiveDocument())
        return;
    if (m_pAnoTemplate)
        m_pAnoTemplate->OpenDocumentFile(std::string(), TRUE);
}

void CZunReaderApp::OnFileNewFrame() { OpenNewDocumentFrame(m_pAnoTemplate); }

void CZunReaderApp::OnFilePrintSetup() { CPrinterDC::DoPrintSetup(m_pMainWnd); }

void CZunReaderApp::OnFileOpen()
{
    if (!m_pAnoTemplate || !m_pAnoTemplate->CanCloseDocument())
        return;
    std::string filter(res::String(IDS_OPEN_FILTER));
    if (filter.empty())
        filter = "Quiram Relayo(*.KVT)|*.KVT||";
    std::string path;
    if (!AfxPromptFileName(path, TRUE, std::string(), QtFileFilter(filter)))
        return;
    // The file system's own limit: PATH_MAX counts the closing zero.
    if (path.size() >= PATH_MAX) {
        AfxMessageBox(IDS_NAME_TOO_LONG);
        return;
    }
    m_pAnoTemplate->OpenDocumentFile(path, TRUE);
}

std::string CZunReaderApp::HelpFolder()
{
    const std::string cache = GetCacheFolder();
    return cache.empty() ? std::string() : JoinPath(cache, "Help");
}

void CZunReaderApp::OnHelp()
{
    // Written into the user's own folder, never the shared temporary one,
    // where anyone could have put a link under the name.
    const QByteArray help = res::HelpResource(kHelpResourceId);
    if (help.isEmpty())
        return;
    const std::string path = WritePrivateFile(HelpFolder(), kHelpFileName, std::span<const char>(help.data(), size_t(help.size())));
    if (!path.empty())
        OpenWithAssociatedProgram(path);
}

void CZunReaderApp::OnPrefChanged() { PostToFrames(ID_PREFCHANGEDMSG); }

void CZunReaderApp::OnAppQuit()
{
    if (m_pAnoTemplate && !m_pAnoTemplate->CanCloseDocument())
        return;
    if (m_pMainWnd)
        m_pMainWnd->SendMessage(WM_CLOSE, 0, 0);
}

void CZunReaderApp::OnUpdateAlwaysEnabled(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }
