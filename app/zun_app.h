#pragma once

#include "ui/app_shared.h"
#include "ui/app_templates.h"
#include "ui/command_line.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/instance.h"
#include "platform/registry.h"

#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CFrameWnd;
class CFrameInputBlock;
class IFileOperationProgress;

// Command ids the application handles.
enum : UINT {
    ID_APP_ABOUT = 57664,
    ID_FILE_NEW_FRAME = 57613,
    ID_FILE_PRINT_SETUP = 57606,
    ID_OPEN_IMAGE_OR_MESSAGE = 314,
    ID_HELP_CONTENTS = 227,
    ID_PREFCHANGED = 310,
    ID_CMCHANGED = 229,
    ID_PREFCHANGEDMSG = 189,
    ID_CMCHANGEDMSG = 190,
    ID_OPEN_HANDED_OVER_FILE = 349,
};

// What the program is built with above the application shell: the makers of
// the three templates and the start and end of the browser's item store. An
// empty maker gives the program's own template (the message editor's stand-in
// until the editor's own comes).
struct ZunAppParts {
    std::function<CBrowserTemplateBase*()> makeBrowserTemplate;
    std::function<CMessageTemplateBase*(UINT pathListFormat)> makeMessageTemplate;
    std::function<CViewerTemplateBase*(UINT pathListFormat)> makeViewerTemplate;
    std::function<void()> initFileItemStore;
    std::function<void()> exitFileItemStore;
};

// The main program's application object: starts it as the only running copy,
// shows the splash picture, makes the browser, message and viewer templates,
// starts the modules in order, and ends them in order at exit. Every message
// box of the program goes through it.
class CZunApp : public CWinApp, public IZunAppServices {
    DECLARE_MESSAGE_MAP()
public:
    explicit CZunApp(ZunAppParts parts = {});
    ~CZunApp() override;

    // The arguments after the program's name, before InitInstance.
    void SetArguments(std::vector<std::string> args) { m_args = std::move(args); }

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL ProcessShellCommand(const CCommandLineInfo& info);
    void AddToRecentFileList(const std::string& path) override;
    int DoMessageBox(const std::string& prompt, UINT type, UINT helpId);

    // Operations for the frames.
    CDocument* OpenInMessageEditor(const std::string& path, BOOL bAdd, uintptr_t callerValue) override;
    BOOL CanCloseAllDocuments() override;
    CDocument* OpenInViewer(const std::string& path) override;
    void PostToFrames(UINT nCommand);
    void EnableFrames(BOOL bEnable);
    void OpenImageOrMessage(BOOL bImport);

    CBrowserTemplateBase* GetBrowserTemplate() const { return m_pZunTemplate; }
    CMessageTemplateBase* GetMessageTemplate() const { return m_pAnoTemplate; }
    CViewerTemplateBase* GetViewerTemplate() const { return m_pViewerTemplate; }
    CFrameWnd* GetCmdLineFrame() const { return m_pCmdLineFrame; }
    // FALSE when another copy of the program was running and got the file.
    BOOL IsFirstInstance() const { return m_bFirstInstance; }
    // Files handed over by later starts that are still to be opened.
    BOOL IsHandOverPending() const { return !m_handedOver.empty(); }

    // Shows a box once the frames are blocked: (text, type with its icon) -> answer.
    // Tests replace it; the real one is the program's modal box.
    std::function<int(const std::string&, UINT)> m_showMessageBox;

    static constexpr const char* kSemaphoreName = "Tessaly.QX";
    // How long a later start tries to reach the running copy's socket, and
    // how long it then waits for an answer (a starting copy answers once its
    // main window is up).
    static constexpr int kConnectTimeoutMs = kInstanceConnectTimeoutMs;
    static constexpr int kHandOverTimeoutMs = kInstanceAnswerTimeoutMs;
    // While a box or dialog waits for the user, a handed-over file waits this
    // long before it looks again, so that its own questions never stack on it.
    static constexpr int kHandOverRetryMs = 200;

protected:
    void OnAppAbout();
    void OnFileNew();
    void OnFileNewFrame();
    void OnOpen();
    void OnImportImage();
    void OnHelp();
    void OnFilePrintSetup();
    void OnPrefChanged();
    void OnCMChanged();
    void OnOpenHandedOverFile();
    void OnRefreshSavedMessage();
    void OnColorPreferences();
    void OnUpdateAlwaysEnabled(CCmdUI* pCmdUI);

private:
    BOOL KeepSingleInstance(const CCommandLineInfo& cmd);
    void HandOver(const CCommandLineInfo& cmd);
    // Tells the user that the running copy cannot be reached (and that the
    // file, when one was named, was not opened).
    void ReportUnreachableInstance(const std::string& file);
    void OpenHandedOverFiles();
    void OpenHandedOverFile(const std::string& path);
    void CreateTemplates();
    void StartModules();

    ZunAppParts m_parts;
    std::vector<std::string> m_args;
    std::unique_ptr<CInstanceLock> m_pSemaphore;
    std::unique_ptr<CInstanceServer> m_pInstanceServer;
    const char* m_pszSemaphoreName = kSemaphoreName;
    CBrowserTemplateBase* m_pZunTemplate = nullptr;
    CMessageTemplateBase* m_pAnoTemplate = nullptr;
    CViewerTemplateBase* m_pViewerTemplate = nullptr;
    CFrameWnd* m_pCmdLineFrame = nullptr;
    std::unique_ptr<CFrameInputBlock> m_pInputBlock;
    MessageBoxHandler m_previousBoxHandler;
    IFileOperationProgress* m_pPreviousFileProgress = nullptr;
    BOOL m_bBusy = FALSE;
    std::deque<std::string> m_handedOver;
    std::unique_ptr<QTimer> m_pHandOverTimer;
    BOOL m_bOpeningHandedOver = FALSE;
    BOOL m_bFirstInstance = TRUE;
    BOOL m_bModulesStarted = FALSE;
};

CZunApp* GetZunApp();

std::string GetMessageFilterName();
std::string GetMessageFileExt();

// The file filter of Open (message files and pictures) or Import Image
// (pictures only): every type an importer plug-in reads, never movies.
std::string BuildImageOrMessageFilter(const std::string& importerSearchPath, BOOL bImport);
