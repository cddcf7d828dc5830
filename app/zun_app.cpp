#include "app/zun_app.h"
#include "ui/printer_dc.h"

#include "util/app_settings.h"
#include "ui/dialog_ex.h"
#include "ui/file_operation_dlog.h"
#include "util/file_filter.h"
#include "util/reg_settings.h"
#include "util/shell_util.h"
#include "util/string_util.h"
#include "message/about_dlog.h"
#include "viewer/image_file_tests.h"
#include "app/image_save_progress_dlog.h"
#include "browser/zun_doc_template.h"
#include "message/ano_doc_template.h"
#include "viewer/colour_pref_dlog.h"
#include "viewer/viewer_doc_template.h"
#include "ui/ui_services.h"
#include "imaging/colour_settings.h"
#include "imaging/image_importer.h"
#include "imaging/image_info_set.h"
#include "imaging/image_save.h"
#include "imaging/program_folders.h"
#include "message/message_mail.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/view.h"
#include "platform/registry.h"
#include "resources/program_icon.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <sys/stat.h>

BEGIN_MESSAGE_MAP(CZunApp, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, &CZunApp::OnAppAbout)
    ON_COMMAND(ID_FILE_NEW, &CZunApp::OnFileNew)
    ON_COMMAND(ID_FILE_NEW_FRAME, &CZunApp::OnFileNewFrame)
    ON_COMMAND(ID_OPEN_IMAGE_OR_MESSAGE, &CZunApp::OnOpen)
    ON_UPDATE_COMMAND_UI(ID_OPEN_IMAGE_OR_MESSAGE, &CZunApp::OnUpdateAlwaysEnabled)
    ON_COMMAND(ID_IMPORT_IMAGE, &CZunApp::OnImportImage)
    ON_COMMAND(ID_HELP_CONTENTS, &CZunApp::OnHelp)
    ON_COMMAND(ID_FILE_PRINT_SETUP, &CZunApp::OnFilePrintSetup)
    ON_UPDATE_COMMAND_UI(ID_HELP_CONTENTS, &CZunApp::OnUpdateAlwaysEnabled)
    ON_COMMAND(ID_PREFCHANGED, &CZunApp::OnPrefChanged)
    ON_COMMAND(ID_CMCHANGED, &CZunApp::OnCMChanged)
    ON_COMMAND(ID_OPEN_HANDED_OVER_FILE, &CZunApp::OnOpenHandedOverFile)
    ON_COMMAND(ID_REFRESH_SAVED_MESSAGE, &CZunApp::OnRefreshSavedMessage)
    ON_COMMAND(ID_COLOR_PREFERENCES, &CZunApp::OnColorPreferences)
    ON_UPDATE_COMMAND_UI(ID_COLOR_PREFERENCES, &CZunApp::OnUpdateAlwaysEnabled)
END_MESSAGE_MAP()

namespace {

HWND HandleOf(CWnd* w) { return w ? w->m_hWnd : nullptr; }

} // namespace

CZunApp* GetZunApp() { return dynamic_cast<CZunApp*>(AfxGetApp()); }

std::string GetMessageFilterName() { return GetDocStringPart(IDS_MESSAGE_DOC, 2); }

std::string GetMessageFileExt() { return GetDocStringPart(IDS_MESSAGE_DOC, 4); }

std::string BuildImageOrMessageFilter(const std::string& importerSearchPath, BOOL bImport)
{
    CImageImporter importer(importerSearchPath);
    std::vector<std::string> exclusions = {"MOV", "AVI"};
    if (bImport)
        exclusions.push_back("KVT");
    // No importer reads message files, so Open names their type itself.
    std::vector<std::string> names, exts;
    if (!bImport) {
        names.push_back(GetDocStringPart(IDS_MESSAGE_DOC, 3));
        exts.push_back(GetMessageFileExt());
    }
    std::string filter;
    importer.BuildOpenFilter(filter, false, false, bImport ? nullptr : &names, bImport ? nullptr : &exts, &exclusions);
    return filter;
}

// ---------------------------------------------------------------------------

CZunApp::CZunApp(ZunAppParts parts) : m_parts(std::move(parts))
{
    m_showMessageBox = [](const std::string& text, UINT type) { return ShowQtMessageBox(text, type); };
    m_loadRecentFiles = LoadRecentFiles;
    m_saveRecentFiles = SaveRecentFiles;
}

CZunApp::~CZunApp()
{
    if (m_pInputBlock) {
        SetMessageBoxHandler(std::move(m_previousBoxHandler));
        SetFileOperationProgress(m_pPreviousFileProgress);
    }
}

BOOL CZunApp::InitInstance()
{
    CWinApp::InitInstance();
    m_pszAppName = std::string(res::String(IDS_APP_TITLE));
    QApplication::setApplicationName(QString::fromStdString(m_pszAppName));
    SetProgramIdentity(res::kMainProgramName);
    m_pInputBlock = std::make_unique<CFrameInputBlock>();
    m_previousBoxHandler =
        SetMessageBoxHandler([this](const std::string& text, UINT type, UINT helpId) { return DoMessageBox(text, type, helpId); });
    // Copying, moving and deleting show their progress and offer Cancel.
    m_pPreviousFileProgress = InstallFileOperationProgressDlog();

    // Settings: the framework's own under Software\Quiram\7321, the program's
    // under the base path and its sections.
    SetRegFrameworkNames(GetRegistryPathPart(1), GetRegistryPathPart(2));
    SetRegRoot(HKEY_CURRENT_USER);
    SetRegBasePath(IDS_REG_KEYPATH);
    LoadStdProfileSettings(kRecentFileCount);
    CCommandLineInfo cmdInfo;
    cmdInfo.ParseCommandLine(m_args);
    SetRegRoot(HKEY_CURRENT_USER);
    SetRegBasePath(IDS_REG_BASEPATH);

    if (!KeepSingleInstance(cmdInfo))
        return FALSE;

    RegisterClipboardFormats();

    std::unique_ptr<CAboutDlog> splash = CAboutDlog::ShowSplash(cmdInfo.m_bShowSplash, 2500);

    CreateTemplates();
    CDialogEx::SetDefaultBackColor(GetSchemeSysColor(COLOR_BTNFACE));
    StartModules();

    splash.reset();

    OnFileNew();
    if (!ProcessShellCommand(cmdInfo))
        return FALSE;
    if (!m_pMainWnd)
        return FALSE;
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    if (m_pCmdLineFrame)
        m_pCmdLineFrame->ActivateFrame(-1);
    else if (m_pZunTemplate)
        m_pZunTemplate->SelectStartFolder();
    // Hand-overs that came during start-up are served now that the window is there.
    if (m_pInstanceServer)
        m_pInstanceServer->SetReady(TRUE);
    return TRUE;
}

BOOL CZunApp::KeepSingleInstance(const CCommandLineInfo& cmd)
{
    if (!CheckInstanceRuntimeFolder())
        return TRUE;
    m_pSemaphore = CInstanceLock::Acquire(m_pszSemaphoreName, 200);
    if (m_pSemaphore) {
        m_pInstanceServer = std::make_unique<CInstanceServer>(m_pszSemaphoreName);
        m_pInstanceServer->Listen();
        return TRUE;
    }
    m_bFirstInstance = FALSE;
    HandOver(cmd);
    return FALSE;
}

void CZunApp::HandOver(const CCommandLineInfo& cmd)
{
    const BOOL bFile = cmd.m_nShellCommand == CCommandLineInfo::FileOpen;
    CInstanceClient client(m_pszSemaphoreName);
    uint64_t id = 0;
    switch (BringRunningInstanceToFront(client, GetDocStringPart(IDS_BROWSER_DOC, 0), id)) {
    case RunningInstance::unreachable: ReportUnreachableInstance(bFile ? cmd.m_strFileName : std::string()); return;
    case RunningInstance::noWindow: return;
    case RunningInstance::broughtToFront: break;
    }
    if (bFile) {
        // One hand-over at a time: the value and its command belong together.
        CInstanceHandOverLock handOver(m_pszSemaphoreName);
        RegWriteString(IDS_REG_PREFERENCE, "ExOpenFile", cmd.m_strFileName);
        if (!client.SendCommand(id, ID_OPEN_HANDED_OVER_FILE, kHandOverTimeoutMs))
            ReportUnreachableInstance(cmd.m_strFileName);
    }
}

void CZunApp::ReportUnreachableInstance(const std::string& file)
{
    if (file.empty())
        AfxMessageBox(IDS_INSTANCE_NOT_ANSWERING, MB_OK);
    else
        AfxMessageBox(FormatWithStrings(res::String(IDS_INSTANCE_NOT_ANSWERING_FILE), {file}), MB_OK,
                      IDS_INSTANCE_NOT_ANSWERING_FILE);
}

void CZunApp::CreateTemplates()
{
    const UINT pathList = GetClipboardFormats().pathList;
    m_pZunTemplate = m_parts.makeBrowserTemplate ? m_parts.makeBrowserTemplate() : new CZunDocTemplate;
    if (m_pZunTemplate)
        AddDocTemplate(m_pZunTemplate);
    m_pAnoTemplate = m_parts.makeMessageTemplate ? m_parts.makeMessageTemplate(pathList) : new CAnoDocTemplate(pathList, 0);
    m_pViewerTemplate = m_parts.makeViewerTemplate ? m_parts.makeViewerTemplate(pathList) : new CViewerDocTemplate(pathList);
    if (m_pAnoTemplate)
        m_pAnoTemplate->m_pViewerTemplate = m_pViewerTemplate;
    if (m_pAnoTemplate)
        AddDocTemplate(m_pAnoTemplate);
    if (m_pViewerTemplate)
        AddDocTemplate(m_pViewerTemplate);
}

void CZunApp::StartModules()
{
    LoadAppSettings();
    LoadExportColorSettings();
    if (m_parts.initFileItemStore)
        m_parts.initFileItemStore();
    LoadInfoItemSettings();
    LoadColorSettings(GetHomePath(), 0, 0, 0x11);
    // Mails handed to the mail client long ago no longer need their files.
    SweepMailStaging(GetMailStagingRoot());
    // Pictures saved through the exporters run behind the save progress dialog.
    SetImageSaveJobRunner([](CImageSaveJob& job) {
        CImageSaveProgressDlog dlg(job.owner, job.image, job.exporterPattern, job.displayPath, job.blocks[0],
                                   job.blocks[1], job.blocks[2], job.targetPath, job.values.index, job.values.count,
                                   job.values.toggleBar, job.values.statusStringId);
        return dlg.DoModal() == IDOK ? 0 : 1;
    });
    m_bModulesStarted = TRUE;
}

int CZunApp::ExitInstance()
{
    if (m_pInstanceServer)
        m_pInstanceServer.reset();
    m_pSemaphore.reset();
    // A copy that handed its file over never loaded the settings: it must not
    // write its defaults over the running copy's.
    if (m_bModulesStarted) {
        SetImageSaveJobRunner(nullptr);
        if (m_parts.exitFileItemStore)
            m_parts.exitFileItemStore();
        SaveExportColorSettings();
        SaveColorSettings();
        SaveInfoItemSettings();
        SaveAppSettings();
        SaveStdProfileSettings();
        m_bModulesStarted = FALSE;
    }
    return CWinApp::ExitInstance();
}

BOOL CZunApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    if (info.m_nShellCommand == CCommandLineInfo::FileOpen) {
        CDocument* doc = OpenDocumentFile(info.m_strFileName);
        if (!doc)
            return TRUE;
        CView* view = doc->GetFirstView();
        m_pCmdLineFrame = view ? view->GetParentFrame() : nullptr;
        return m_pCmdLineFrame != nullptr;
    }
    if (info.m_nShellCommand == CCommandLineInfo::FileNew)
        OnFileNew();
    return TRUE;
}

void CZunApp::AddToRecentFileList(const std::string& path)
{
    if (IsMessageFileName(path))
        CWinApp::AddToRecentFileList(path);
}

int CZunApp::DoMessageBox(const std::string& prompt, UINT type, UINT helpId)
{
    EnableFrames(FALSE);
    int result = m_showMessageBox(prompt, MessageBoxTypeWithIcon(type));
    EnableFrames(TRUE);
    return result;
}

void CZunApp::EnableFrames(BOOL bEnable)
{
    if (!m_pInputBlock)
        return;
    if (bEnable) {
        m_pInputBlock->Release();
        return;
    }
    m_pInputBlock->Block({HandleOf(m_pMainWnd), HandleOf(m_pAnoTemplate ? m_pAnoTemplate->GetFrame() : nullptr),
                          HandleOf(m_pViewerTemplate ? m_pViewerTemplate->GetFrame() : nullptr)});
}

void CZunApp::PostToFrames(UINT nCommand)
{
    if (m_pMainWnd)
        m_pMainWnd->PostMessage(WM_COMMAND, nCommand, 0);
    if (CFrameWnd* f = m_pAnoTemplate ? m_pAnoTemplate->GetFrame() : nullptr)
        f->PostMessage(WM_COMMAND, nCommand, 0);
    if (CFrameWnd* f = m_pViewerTemplate ? m_pViewerTemplate->GetFrame() : nullptr)
        f->PostMessage(WM_COMMAND, nCommand, 0);
}

CDocument* CZunApp::OpenInMessageEditor(const std::string& path, BOOL bAdd, uintptr_t callerValue)
{
    if (m_bBusy || !m_pAnoTemplate)
        return nullptr;
    if (bAdd) {
        m_bBusy = TRUE;
        CDocument* doc = m_pAnoTemplate->AddFile(path, TRUE);
        m_bBusy = FALSE;
        return doc;
    }
    if (!m_pAnoTemplate->CanCloseDocument())
        return nullptr;
    m_pAnoTemplate->m_nOpenContext = callerValue;
    m_bBusy = TRUE;
    CDocument* doc = m_pAnoTemplate->OpenDocumentFile(path, TRUE);
    m_pAnoTemplate->m_nOpenContext = 0;
    m_bBusy = FALSE;
    return doc;
}

BOOL CZunApp::CanCloseAllDocuments()
{
    if (m_pZunTemplate && !m_pZunTemplate->QueryClose())
        return FALSE;
    if (m_pAnoTemplate && !m_pAnoTemplate->CanCloseDocument())
        return FALSE;
    if (m_pViewerTemplate && !m_pViewerTemplate->CloseViewer())
        return FALSE;
    return TRUE;
}

CDocument* CZunApp::OpenInViewer(const std::string& path)
{
    if (!m_pViewerTemplate)
        return nullptr;
    CFrameWnd* frame = m_pViewerTemplate->GetFrame();
    for (CDocument* d : m_pViewerTemplate->GetDocuments()) {
        // Two paths name one file only when they are equal byte for byte.
        if (frame && d->GetPathName() == path) {
            AfxMessageBox(IDS_ALREADY_IN_VIEWER);
            frame->ActivateFrame(-1);
            return nullptr;
        }
    }
    return m_pViewerTemplate->OpenDocumentFile(path, TRUE);
}

void CZunApp::OpenImageOrMessage(BOOL bImport)
{
    if (!m_pAnoTemplate)
        return;
    if (!bImport && !m_pAnoTemplate->CanCloseDocument())
        return;
    std::string filter = BuildImageOrMessageFilter(GetImporterSearchPath(), bImport);
    std::string path;
    if (!AfxPromptFileName(path, TRUE, std::string(), QtFileFilter(filter)))
        return;
    if (bImport)
        m_pAnoTemplate->AddFile(path, TRUE);
    else
        m_pAnoTemplate->OpenDocumentFile(path, TRUE);
}

// ---------------------------------------------------------------------------
// Commands

void CZunApp::OnAppAbout()
{
    CAboutDlog about(CWnd::GetFocus(), 1000, std::string());
    about.DoModal();
}

void CZunApp::OnFileNew()
{
    if (RestartActiveDocument())
        return;
    if (m_pZunTemplate)
        m_pZunTemplate->OpenDocumentFile(std::string(), TRUE);
}

void CZunApp::OnFileNewFrame() { OpenNewDocumentFrame(m_pAnoTemplate); }

void CZunApp::OnOpen() { OpenImageOrMessage(FALSE); }

void CZunApp::OnImportImage() { OpenImageOrMessage(TRUE); }

void CZunApp::OnColorPreferences() { RunColorPreferences(CWnd::GetActiveWindow()); }

void CZunApp::OnFilePrintSetup() { CPrinterDC::DoPrintSetup(m_pMainWnd); }

void CZunApp::OnHelp()
{
    // The help the program ships: HTML pages beside it, shown by the desktop's browser.
    OpenWithAssociatedProgram(GetHomePath() + "Help/index.html");
}

void CZunApp::OnPrefChanged() { PostToFrames(ID_PREFCHANGEDMSG); }

void CZunApp::OnCMChanged() { PostToFrames(ID_CMCHANGEDMSG); }

void CZunApp::OnOpenHandedOverFile()
{
    std::string path;
    RegReadString(path, IDS_REG_PREFERENCE, "ExOpenFile");
    if (path.empty())
        return;
    // The later start waits for this command: it has its answer at once, and
    // the file opens (with whatever it asks or reports) after it, one at a time.
    m_handedOver.push_back(path);
    if (!m_pHandOverTimer) {
        m_pHandOverTimer = std::make_unique<QTimer>();
        m_pHandOverTimer->setSingleShot(true);
        QObject::connect(m_pHandOverTimer.get(), &QTimer::timeout, [this] { OpenHandedOverFiles(); });
    }
    if (!m_pHandOverTimer->isActive())
        m_pHandOverTimer->start(0);
}

void CZunApp::OpenHandedOverFiles()
{
    if (m_bOpeningHandedOver)
        return;
    // A box or dialog that waits for the user is answered first.
    if (QApplication::activeModalWidget()) {
        m_pHandOverTimer->start(kHandOverRetryMs);
        return;
    }
    m_bOpeningHandedOver = TRUE;
    while (!m_handedOver.empty() && !QApplication::activeModalWidget()) {
        const std::string path = m_handedOver.front();
        m_handedOver.pop_front();
        OpenHandedOverFile(path);
    }
    m_bOpeningHandedOver = FALSE;
    if (!m_handedOver.empty())
        m_pHandOverTimer->start(kHandOverRetryMs);
}

void CZunApp::OpenHandedOverFile(const std::string& path)
{
    // A file that is not there is reported before anything open is asked to
    // close or is replaced: nothing is asked and nothing open changes for it.
    if (struct stat st{}; ::stat(path.c_str(), &st) != 0) {
        CFile probe;
        CFileException fe;
        if (!probe.Open(path, CFile::modeRead, &fe)) {
            CDocument::ReportFileFailure(path, &fe, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
            return;
        }
    }
    if (!IsMessageFileName(path) && !IsImportableFile(path)) {
        OpenDocumentFile(path);
        return;
    }
    if (m_pAnoTemplate && m_pAnoTemplate->CanCloseDocument())
        OpenDocumentFile(path);
}

void CZunApp::OnRefreshSavedMessage()
{
    if (!m_pAnoTemplate || !m_pZunTemplate)
        return;
    std::string path = m_pAnoTemplate->GetPathForBrowser();
    m_pAnoTemplate->ClearPathForBrowser();
    m_pZunTemplate->OpenPath(path);
}

void CZunApp::OnUpdateAlwaysEnabled(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }
