#pragma once

#include "platform/framework/win_app.h"
#include "platform/instance.h"
#include "ui/command_line.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFrameInputBlock;
class CFrameWnd;
class CMessageTemplateBase;
class CViewerTemplateBase;

// The reader program's application object: one running copy under its own
// settings key, the message template (every message read-only) and the
// viewer template built for the reader, and the application's commands.
class CZunReaderApp : public CWinApp {
    DECLARE_MESSAGE_MAP()
public:
    enum : UINT {
        ID_APP_ABOUT = 57664,
        ID_FILE_NEW_FRAME = 57613,
        ID_FILE_PRINT_SETUP = 57606,
        ID_APP_QUIT = 57665,
        ID_OPEN_MESSAGE = 314,
        ID_HELP_CONTENTS = 227,
        ID_PREFCHANGED = 310,
        ID_PREFCHANGEDMSG = 189,
    };
    static constexpr const char* kSemaphoreName = "Tessaly.DARuderi";
    // The help file, written anew into the user's own folder each time.
    static constexpr const char* kHelpFileName = "VI2_Rarazi.html";
    static constexpr UINT kHelpResourceId = 256;

    CZunReaderApp();
    ~CZunReaderApp() override;

    // The arguments after the program's name, before InitInstance.
    void SetArguments(std::vector<std::string> args) { m_args = std::move(args); }

    BOOL InitInstance() override;
    int ExitInstance() override;
    void AddToRecentFileList(const std::string& path) override;
    int DoMessageBox(const std::string& prompt, UINT type, UINT helpId);

    // FALSE when another copy was running: it was brought to the front.
    BOOL IsFirstInstance() const { return m_bFirstInstance; }
    CMessageTemplateBase* GetMessageTemplate() const { return m_pAnoTemplate; }
    CViewerTemplateBase* GetViewerTemplate() const { return m_pViewerTemplate; }
    // Where Help writes its file; empty without a cache folder.
    static std::string HelpFolder();

    // Shows a box once the frames are blocked: (text, type with its icon) -> answer.
    std::function<int(const std::string&, UINT)> m_showMessageBox;

protected:
    void OnAppAbout();
    void OnFileNewFrame();
    void OnFileNew();
    void OnFilePrintSetup();
    void OnFileOpen();
    void OnHelp();
    void OnPrefChanged();
    void OnAppQuit();
    void OnUpdateAlwaysEnabled(CCmdUI* pCmdUI);

private:
    BOOL IsAlreadyRunning();
    void CreateTemplates();
    void PostToFrames(UINT nCommand);
    BOOL ProcessShellCommand(const CCommandLineInfo& info);

    std::vector<std::string> m_args;
    std::unique_ptr<CInstanceLock> m_pSemaphore;
    std::unique_ptr<CInstanceServer> m_pInstanceServer;
    std::unique_ptr<CFrameInputBlock> m_pInputBlock;
    CMessageTemplateBase* m_pAnoTemplate = nullptr;
    CViewerTemplateBase* m_pViewerTemplate = nullptr;
    BOOL m_bFirstInstance = TRUE;
    BOOL m_bSettingsLoaded = FALSE;
    BOOL m_bBoxHandlerSet = FALSE;
};

CZunReaderApp* GetZunReaderApp();
