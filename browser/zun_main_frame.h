#pragma once

#include "message/wave.h"
#include "ui/folder_tree_dlog.h"
#include "ui/accel_table.h"
#include "ui/hover_help.h"
#include "ui/menu_bar.h"
#include "ui/status_bar_ex.h"
#include "ui/toolbar_ex.h"
#include "ui/zun_frame_wnd.h"

#include <memory>
#include <string>
#include <vector>

class CZunMainView;

// Commands and resources of the browser's frame.
enum : UINT {
    IDR_ZUNTYPE = 128,
    IDR_ZUN_ACCEL = 143,
    IDR_THUMBNAIL_POPUP = 153,
    IDB_ZUN_TOOLBAR = 1020,
    IDI_ZUN_FRAME = 4082,
    IDW_ZUN_MENUBAR = 59398,
    IDW_ZUN_TOOLBAR = 59392,
    IDW_ZUN_STATUSBAR = 59393,
    ID_ZUN_INDICATOR = 32852,
    ID_VIEW_TOOLBARS = 32772,
    ID_VIEW_STATUS_BAR = 59393,
    ID_NEW_FOLDER = 32809,
    ID_EDIT_DELETE_FILES = 32788,
    ID_EDIT_RENAME_FILE = 32816,
    ID_COPY_TO_FOLDER = 32782,
    ID_MOVE_TO_FOLDER = 32808,
    ID_COPY_TO_CLIPBOARD = 32781,
    ID_VIEW_UPDATE = 32863,
    ID_COMMENT_SEARCH = 184,
    ID_DATA_VALIDATION = 185,
    ID_CLEAR_VALIDATION = 186,
    ID_SAVE_AS_REPLACE = 32823,
    ID_SAVE_AS = 32824,
    ID_PRINT_SHEETS = 57609,
    ID_PRINT_DIRECT = 57607,
    ID_RENAME_ALL = 32861,
    ID_RESIZE_ALL = 32859,
    ID_PLAY_SOUND = 32812,
    ID_EXPORT_CSV = 32825,
    ID_EDIT_USER_COMMENT = 32901,
    ID_EXPORT_UNUSED = 32784,
    ID_CAMERA_COPIES = 173,
    ID_SORT_ASCENDING = 32846,
    ID_SORT_DESCENDING = 32850,
    ID_SORT_TOGGLE = 2288,
    ID_SORT_NAME = 32849,
    ID_SORT_EXTENSION = 32848,
    ID_SORT_DATE = 32847,
    ID_SORT_ATTRIBUTES = 201,
    ID_SORT_LIST_ORDER = 32810,
    ID_COLOR_PREFS = 170,
    ID_EDIT_SELECT_ALL = 57642,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_UPDATE_HINT_LAST = 32905,
};

// The browser's toolbar: ten buttons, and the browser's sort method, which
// it reads when shown and writes when it goes.
class CZunToolBar : public CToolBarEx {
public:
    BOOL CreateBar(CWnd* pParent);
    int GetSortMethod() const { return m_nSortMethod; }
    void SetSortMethod(int method) { m_nSortMethod = method; }

protected:
    void OnDestroy() override;

private:
    int m_nSortMethod = 0;
};

// The browser's main window: menu bar with menu 128, the toolbar, the status
// bar with two texts refreshed every 300 ms, and the browser view as its
// only view. It hands the selected files to the message editor, the viewer,
// the associated program or the sound player, and remembers its place and
// which bars are shown.
class CZunMainFrame : public CZunFrameWnd {
    DECLARE_DYNCREATE(CZunMainFrame)
    DECLARE_MESSAGE_MAP()
public:
    static constexpr UINT_PTR kStatusTimer = 1;
    static constexpr UINT kStatusMs = 300;

    CZunMainFrame();
    ~CZunMainFrame() override;

    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr) override;
    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;

    void SelectStartFolder();
    // Stops the sound, lets the view save its layout; always TRUE.
    BOOL PrepareToClose();
    void SaveFrameSettings();
    // Reports a missing file (or an over-long path) and answers FALSE.
    static BOOL CheckFileExists(const std::string& path);

    CZunMainView* GetView() const { return m_pView; }
    CZunToolBar& GetToolBar() { return m_wndToolBar; }
    CStatusBarEx& GetStatusBar() { return m_wndStatusBar; }
    CMenuBar& GetMenuBar() { return m_wndMenuBar; }
    CHoverHelp* GetHoverHelp() const override { return m_pHoverHelp.get(); }
    BOOL IsToolBarShown() const { return m_bShowToolBar; }
    BOOL IsStatusBarShown() const { return m_bShowStatusBar; }
    CWave& Wave() { return m_wave; }

    // The function commands, answering whether something opened.
    BOOL ViewComment();
    BOOL ViewImage();
    // The message editor with the file (added to the open message with bAdd),
    // the thumbnails paused meanwhile; a missing file is reported.
    BOOL OpenInEditor(const std::string& path, BOOL bAdd);

protected:
    int OnCreate(LPCREATESTRUCT lpcs) override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnGetMinMaxInfo(MINMAXINFO* p) override;
    void OnViewToolBar();
    void OnUpdateViewToolBar(CCmdUI* pCmdUI);
    void OnViewStatusBar();
    void OnUpdateViewStatusBar(CCmdUI* pCmdUI);
    void OnStopWave();
    void OnFuncAnotation();
    void OnFuncViewer();
    void OnFuncWhiteboard();
    void OnFileDClicked();
    // Save As of the selected picture; the first asks before writing over a
    // file that is no JPEG or raw file, and then writes over it.
    void OnSaveAs();
    void OnSaveAsReplace();
    void SaveSelectedItem(BOOL replace);
    void OnUpdateAlwaysEnabled(CCmdUI* pCmdUI);
    // Paste that the view leaves to the frame: the picture on the clipboard
    // saved as a file.
    void OnEditPaste();
    void OnUpdateEditPaste(CCmdUI* pCmdUI);
    void OnPostUpdate();

private:
    void PlaySoundFile(const std::string& path);
    void OpenInViewerChecked(const std::string& path);
    void CheckWhiteboard(const std::string& path);
    void OpenMovie(const std::string& path);

    CStatusBarEx m_wndStatusBar;
    CZunToolBar m_wndToolBar;
    CMenuBar m_wndMenuBar;
    COLORREF m_crToolBar = 0;
    CZunMainView* m_pView = nullptr;
    CAccelTable m_accel;
    BOOL m_bShowToolBar = TRUE;
    BOOL m_bShowStatusBar = TRUE;
    std::unique_ptr<CHoverHelp> m_pHoverHelp;
    CWave m_wave;
    std::string m_strOpening;
};

// Registers menus 128 and 153 and accelerator tables 128 and 143 once.
void RegisterBrowserResources();
