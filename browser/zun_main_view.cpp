#include "browser/zun_main_view.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/folder_scan.h"
#include "browser/message_mark.h"
#include "browser/thumbnail_cache.h"
#include "browser/zun_main_frame.h"
#include "message/comment_search_dlog.h"
#include "ui/hover_help.h"
#include "ui/text_draw.h"
#include "ui/ui_services.h"
#include "util/reg_settings.h"
#include "util/string_util.h"
#include "imaging/dib_bitmap.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/dc.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QWidget>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

IMPLEMENT_DYNCREATE(CZunMainView, CView)

BEGIN_MESSAGE_MAP(CZunMainView, CView)
ON_COMMAND(ID_REFRESHTHUMBNAIL, &CZunMainView::OnRefreshThumbnail)
ON_COMMAND(ID_FILEMOVED, &CZunMainView::OnFileMoved)
ON_COMMAND(ID_VIEW_THUMBNAILS, &CZunMainView::OnViewThumbnails)
ON_COMMAND(ID_VIEW_ICONS, &CZunMainView::OnViewIcons)
ON_COMMAND(ID_VIEW_DETAILS, &CZunMainView::OnViewDetails)
ON_UPDATE_COMMAND_UI(ID_VIEW_THUMBNAILS, &CZunMainView::OnUpdateViewMode)
ON_UPDATE_COMMAND_UI(ID_VIEW_ICONS, &CZunMainView::OnUpdateViewMode)
ON_UPDATE_COMMAND_UI(ID_VIEW_DETAILS, &CZunMainView::OnUpdateViewMode)
ON_COMMAND(ID_RELOADINDEX, &CZunMainView::OnReloadIndex)
ON_COMMAND(ID_PLAY_SOUND, &CZunMainView::OnPlaySound)
ON_NOTIFY(GCN_ICONCLICK, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryIconClick)
// The list answers with the pane's id while it is shown in the gallery's place.
ON_NOTIFY(LVN_GETDISPINFO, IDC_BROWSER_GALLERY, &CZunMainView::OnListGetDispInfo)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_BROWSER_GALLERY, &CZunMainView::OnListItemChanged)
ON_NOTIFY(LVN_COLUMNCLICK, IDC_BROWSER_GALLERY, &CZunMainView::OnListColumnClick)
ON_NOTIFY(LVN_BEGINLABELEDIT, IDC_BROWSER_GALLERY, &CZunMainView::OnListBeginLabelEdit)
ON_NOTIFY(LVN_ENDLABELEDIT, IDC_BROWSER_GALLERY, &CZunMainView::OnListEndLabelEdit)
ON_NOTIFY(NM_DBLCLK, IDC_BROWSER_GALLERY, &CZunMainView::OnListDblClk)
ON_NOTIFY(LVN_BEGINDRAG, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryBeginDrag)
ON_COMMAND_RANGE(ID_THUMB_CUSTOM, ID_THUMB_SMALL, &CZunMainView::OnThumbSize)
ON_UPDATE_COMMAND_UI_RANGE(ID_THUMB_CUSTOM, ID_THUMB_SMALL, &CZunMainView::OnUpdateThumbSize)
ON_COMMAND(ID_VIEW_IMAGEINFO, &CZunMainView::OnViewImageInfo)
ON_UPDATE_COMMAND_UI(ID_VIEW_IMAGEINFO, &CZunMainView::OnUpdateViewImageInfo)
ON_NOTIFY(GCN_SELCHANGED, IDC_BROWSER_GALLERY, &CZunMainView::OnGallerySelChanged)
ON_NOTIFY(GCN_DBLCLK, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryDblClk)
ON_NOTIFY(GCN_SCROLLED, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryScrolled)
ON_NOTIFY(GCN_BEGINDRAG, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryBeginDrag)
ON_NOTIFY(GCN_LABELEDITED, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryLabelEdited)
ON_NOTIFY(GCN_ENDLABELEDIT, IDC_BROWSER_GALLERY, &CZunMainView::OnGalleryEndLabelEdit)
ON_COMMAND(ID_EDIT_RENAME_FILE, &CZunMainView::OnEditRename)
ON_COMMAND(ID_RENAME_ALL, &CZunMainView::OnRenameAll)
ON_COMMAND(ID_RESIZE_ALL, &CZunMainView::OnResizeAll)
ON_COMMAND(ID_MOVE_TO_FOLDER, &CZunMainView::OnMoveToFolder)
ON_COMMAND(ID_COPY_TO_FOLDER, &CZunMainView::OnCopyToFolder)
ON_COMMAND(ID_SORT_NAME, &CZunMainView::OnSortMethod)
ON_COMMAND(ID_SORT_EXTENSION, &CZunMainView::OnSortMethod)
ON_COMMAND(ID_SORT_DATE, &CZunMainView::OnSortMethod)
ON_COMMAND(ID_SORT_ATTRIBUTES, &CZunMainView::OnSortMethod)
ON_COMMAND(ID_SORT_LIST_ORDER, &CZunMainView::OnSortMethod)
ON_COMMAND(ID_SORT_ASCENDING, &CZunMainView::OnSortDirection)
ON_COMMAND(ID_SORT_DESCENDING, &CZunMainView::OnSortDirection)
ON_COMMAND(ID_SORT_TOGGLE, &CZunMainView::OnSortDirection)
ON_UPDATE_COMMAND_UI(ID_SORT_NAME, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_EXTENSION, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_DATE, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_ATTRIBUTES, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_LIST_ORDER, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_ASCENDING, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_DESCENDING, &CZunMainView::OnUpdateSort)
ON_UPDATE_COMMAND_UI(ID_SORT_TOGGLE, &CZunMainView::OnUpdateSort)
ON_COMMAND(ID_EDIT_UNDO, &CZunMainView::OnEditUndo)
ON_COMMAND(ID_EDIT_CUT, &CZunMainView::OnEditCut)
ON_COMMAND(ID_EDIT_COPY, &CZunMainView::OnEditCopy)
ON_COMMAND(ID_EDIT_PASTE, &CZunMainView::OnEditPaste)
ON_COMMAND(ID_EDIT_SELECT_ALL, &CZunMainView::OnEditSelectAll)
ON_COMMAND(ID_EDIT_DELETE_FILES, &CZunMainView::OnEditDelete)
ON_COMMAND(ID_NEW_FOLDER, &CZunMainView::OnNewFolder)
ON_COMMAND(ID_COPY_TO_CLIPBOARD, &CZunMainView::OnCopyToClipboard)
ON_COMMAND(ID_VIEW_UPDATE, &CZunMainView::OnViewUpdate)
ON_COMMAND(ID_DATA_VALIDATION, &CZunMainView::OnDataValidation)
ON_COMMAND(ID_FUNC_VALIDATION, &CZunMainView::OnDataValidation)
ON_COMMAND(ID_CLEAR_VALIDATION, &CZunMainView::OnClearValidation)
ON_COMMAND(ID_PRINT_SHEETS, &CZunMainView::OnPrintSheets)
ON_COMMAND(ID_EXPORT_CSV, &CZunMainView::OnExportInfoCsv)
ON_COMMAND(ID_EDIT_USER_COMMENT, &CZunMainView::OnEditUserComment)
ON_COMMAND(ID_CAMERA_COPIES, &CZunMainView::OnSaveCameraCopies)
ON_COMMAND(ID_PRINT_DIRECT, &CZunMainView::OnPrintDirect)
ON_COMMAND(ID_DIRECTORYRENAMED, &CZunMainView::OnDirectoryRenamed)
ON_MESSAGE(WM_CONTEXTMENU, &CZunMainView::OnContextMenu)
ON_UPDATE_COMMAND_UI(ID_NEW_FOLDER, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_DELETE_FILES, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_RENAME_FILE, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_MOVE_TO_FOLDER, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_COPY_TO_FOLDER, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EXPORT_CSV, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_USER_COMMENT, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EXPORT_UNUSED, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_RENAME_ALL, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_RESIZE_ALL, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_PLAY_SOUND, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_COPY_TO_CLIPBOARD, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_CAMERA_COPIES, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_SAVE_AS, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_SAVE_AS_REPLACE, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_DATA_VALIDATION, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_CLEAR_VALIDATION, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_FUNC_ANOTAION, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_FUNC_WHITEBOARD, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_FUNC_VIEWER, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_PRINT_SHEETS, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_UNDO, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_SELECT_ALL, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_CUT, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_VIEW_UPDATE, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_FILEMOVED, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_DIRECTORYRENAMED, &CZunMainView::OnUpdateCommand)
ON_UPDATE_COMMAND_UI(ID_COMMENT_SEARCH, &CZunMainView::OnUpdateCommand)
ON_COMMAND(ID_COMMENT_SEARCH, &CZunMainView::OnCommentSearch)
ON_COMMAND(ID_OPENSEARCHRESULT, &CZunMainView::OnOpenSearchResult)
END_MESSAGE_MAP()

namespace {

// Settings of the view (section "Preference").
constexpr const char* kRegViewMode = "ZunMainView";
constexpr const char* kRegThumbSize = "ThumbSize";
constexpr const char* kRegShowInfo = "ShowBrowserInfo";
constexpr const char* kRegSortOrder = "BrowserSortOrder";
constexpr const char* kRegTreeWidth = "DirTreeWidth";
constexpr const char* kRegTreeHeight = "DirTreeHeight";

// Cells of the three fixed thumbnail sizes (info off; info adds 26 rows).
struct ThumbSize {
    int width, height;
};
constexpr ThumbSize kSizes[] = {{180, 200}, {140, 160}, {100, 120}};
constexpr int kInfoExtra = 26;
constexpr int kCustomCaptionLines = 6;

int ShownCellCount(const CGalleryModel& m) { return m.GetColumns() * m.GetVisibleRows(); }

// A text of the string table with one %d.
std::string FormatCount(UINT id, int n)
{
    const std::string format = LoadResString(id);
    char buf[256];
    std::snprintf(buf, sizeof buf, format.c_str(), n);
    return buf;
}

std::string ThumbnailFont() { return LoadResString(IDS_LIST_FONT_FACE); }

} // namespace

CZunMainView::CZunMainView()
    : m_loader([this] {
          // The loader's one call: the view redraws on its own thread.
          if (m_hWnd)
              PostMessage(WM_COMMAND, ID_REFRESHTHUMBNAIL, 0);
      })
{
    m_bSortDescending = RegReadInt(IDS_REG_PREFERENCE, kRegSortOrder, 0) != 0;
    m_bShowInfo = RegReadInt(IDS_REG_PREFERENCE, kRegShowInfo, 1) != 0;
}

CZunMainView::~CZunMainView() { m_loader.Stop(); }

// ---- building the panes

void CZunMainView::OnInitialUpdate()
{
    CView::OnInitialUpdate();
    CRect client;
    GetClientRect(&client);
    m_wndSplitter.CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, IDC_BROWSER_SPLITTER);
    // The left column: the folder tree over the function pane.
    m_wndSplitter2.CreateStatic(&m_wndSplitter, 2, 1, WS_CHILD | WS_VISIBLE, UINT(m_wndSplitter.IdFromRowCol(0, 0)));
    m_treePane.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &m_wndSplitter2,
                      UINT(m_wndSplitter2.IdFromRowCol(0, 0)));
    m_pTreePane = &m_treePane;
    m_funcPane.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &m_wndSplitter2,
                      UINT(m_wndSplitter2.IdFromRowCol(1, 0)));
    m_pFuncPane = &m_funcPane;
    m_gallery.SetThumbnailCallback(&CZunMainView::Thumbnail);
    m_gallery.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &m_wndSplitter,
                     UINT(m_wndSplitter.IdFromRowCol(0, 1)));
    m_pGallery = &m_gallery;
    CreateList();
    m_wndSplitter.MoveWindow(client, FALSE);
    const int treeWidth = RegReadInt(IDS_REG_PREFERENCE, kRegTreeWidth, 200);
    const int treeHeight = RegReadInt(IDS_REG_PREFERENCE, kRegTreeHeight, client.Height() * 2 / 3);
    m_wndSplitter.SetColumnInfo(0, treeWidth, 0);
    m_wndSplitter2.SetColumnInfo(0, treeWidth, 0);
    m_wndSplitter2.SetRowInfo(0, treeHeight, 0);
    for (CSplitter* s : {&m_wndSplitter, &m_wndSplitter2})
        s->SetBarColors(GetSchemeSysColor(15), GetSchemeSysColor(4), SchemeColorTeal);
    m_wndSplitter.RecalcLayout();
    m_wndSplitter2.RecalcLayout();
    m_funcPane.Init(m_pMainFrame, GetClipboardFormats().pathList);
    // The panes give no hover hint: each one's hint is its window text, a blank.
    if (m_pHoverHelp)
        for (CWnd* pane : {static_cast<CWnd*>(m_pGallery), static_cast<CWnd*>(m_pList), static_cast<CWnd*>(m_pFuncPane)})
            if (pane && pane->m_hWnd) {
                m_pHoverHelp->AddWindowTextId(UINT(pane->GetDlgCtrlID()));
                pane->SetWindowText(LoadResString(IDS_BLANK_HINT));
            }
    // Files dropped or pasted on the tree come as the program's path list.
    m_treePane.SetAcceptedFormat(GetClipboardFormats().pathList);

    CGalleryCtrl& g = m_gallery;
    g.SetBkColor(GetSchemeSysColor(12));
    g.SetColours(SchemeColorCream, SchemeColorPaleGreen, CLR_INVALID, RGB(0, 0, 0), CLR_INVALID);
    g.SetCaptionFont(90, ThumbnailFont());
    g.SetOwner(this);
    g.SetUserValue(reinterpret_cast<LPARAM>(this));
    g.SetTextFormat(DT_END_ELLIPSIS);
    // The caption lives in the bottom inset.
    g.SetCaptionPlacement(kCaptionBottom, FALSE);
    g.Model().SetMultipleSelection(TRUE);
    g.Model().SetRubberBand(TRUE);
    g.Model().SetReselectOnClick(FALSE);
    g.Model().SetKeyboard(TRUE);
    g.SetLabelEditing(TRUE, 260, TRUE);
    g.SetImageSizeCallback(&CZunMainView::ImageSize);
    g.SetCaptionLines(1);

    m_nViewMode = 0;
    SetViewMode(RegReadInt(IDS_REG_PREFERENCE, kRegViewMode, 1));
    SetThumbnailSize(RegReadInt(IDS_REG_PREFERENCE, kRegThumbSize, 2), TRUE);
}

void CZunMainView::OnSize(UINT nType, int cx, int cy)
{
    CView::OnSize(nType, cx, cy);
    if (m_wndSplitter.m_hWnd)
        m_wndSplitter.MoveWindow(0, 0, cx, cy);
}

void CZunMainView::OnUpdate(CView*, LPARAM lHint, CObject*)
{
    if (lHint == kHintDirectoryChanged)
        ReloadFolder(FALSE);
}

// ---- the folder

void CZunMainView::ReloadFolder(BOOL quiet)
{
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_STOPWAVE, 0);
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    SetAllSelected(FALSE);
    const std::string folder = m_pTreePane ? m_pTreePane->GetCurrentFolder() : std::string();
    RegWriteStringById(IDS_REG_PREFERENCE, IDS_REG_SCANFOLDER, folder);
    m_bReloading = TRUE;
    // Nothing may paint or load the items the scan is about to replace: the
    // gallery and the loader let go of them first.
    m_loader.Clear();
    m_shown.clear();
    if (m_pGallery)
        m_pGallery->DeleteAllItems(TRUE);
    if (quiet) {
        ScanFolderSoundFiles(folder);
    } else {
        CFolderScanDlog dlg(AfxGetMainWnd(), folder, GetSortMethod(),
                            m_bSortDescending);
        dlg.DoModal();
    }
    RebuildList(quiet);
    UpdateTotals();
    m_bReloading = FALSE;
    if (CWnd* main = AfxGetMainWnd())
        main->PostMessage(WM_COMMAND, ID_AFTER_RELOAD, 0);
}

void CZunMainView::RebuildList(BOOL quiet)
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    FillGallery();
    if (m_bOwnIcons)
        m_mapIcons.clear();
    if (m_bListThumbnails && m_pList && m_pList->m_hWnd) {
        MakeListPictures();
        AttachListImages();
    }
    if (m_pList && m_pList->m_hWnd)
        m_pList->SetItemCountEx(GetFileItemCount(), DWORD(LVSICF_NOINVALIDATEALL) | (quiet ? DWORD(LVSICF_NOSCROLL) : 0u));
    if (!quiet)
        SelectItem(0, FALSE);
    else
        SyncListSelection();
}

void CZunMainView::FillGallery()
{
    if (!m_pGallery || !m_pGallery->m_hWnd)
        return;
    m_shown.clear();
    m_pGallery->DeleteAllItems(FALSE);
    const int count = GetFileItemCount();
    for (int i = 0; i < count; ++i) {
        m_pGallery->AddItem(GetItemFileName(i), FALSE);
        RefreshCaption(i);
    }
    m_loader.FillFromStore();
    m_pGallery->RecalcLayout(TRUE);
}

void CZunMainView::CountTotals()
{
    m_bTotalsStale = FALSE;
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    uint64_t total = 0, selected = 0;
    int remembered = -1;
    const int count = GetFileItemCount();
    for (int i = 0; i < count; ++i) {
        struct stat st {};
        if (::stat(GetFileItem(i)->GetPath().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        total += uint64_t(st.st_size);
        if (m_pGallery && m_pGallery->IsSelected(i)) {
            selected += uint64_t(st.st_size);
            remembered = i;
        }
    }
    m_strStatus0 = FormatCount(IDS_TOTAL_FILES, count) + FormatSizeSuffix(total);
    const int n = m_pGallery ? m_pGallery->GetSelectedCount() : 0;
    if (n == 0) {
        m_strStatus1.clear();
    } else if (n == 1) {
        m_strStatus1 = remembered >= 0 ? GetFileItem(remembered)->FormatCaption(remembered, TRUE) : std::string();
        std::replace(m_strStatus1.begin(), m_strStatus1.end(), '\n', ' ');
    } else {
        m_strStatus1 = FormatCount(IDS_SELECTED_FILES, n) + FormatSizeSuffix(selected);
    }
}

std::string CZunMainView::GetStatusText(int index)
{
    // Not while the folder scan's worker replaces the items: the reload counts them after.
    if (m_bTotalsStale && !m_bReloading)
        CountTotals();
    return index == 0 ? m_strStatus0 : index == 1 ? m_strStatus1 : std::string();
}

void CZunMainView::SelectStartFolder()
{
    if (m_pTreePane) {
        std::string folder;
        RegReadStringById(folder, IDS_REG_PREFERENCE, IDS_REG_SCANFOLDER);
        if (folder.empty())
            folder = ShellDesktopFolder();
        m_pTreePane->SelectFolder(folder);
    }
    m_bStarted = TRUE;
}

// ---- selection

void CZunMainView::SetAllSelected(BOOL state)
{
    if (!m_pGallery)
        return;
    m_pGallery->SelectAll(state);
    SetCurrentIndex(m_pGallery->GetFirstSelected());
    SyncListSelection();
    EnableFuncButtons();
}

void CZunMainView::SelectItem(int index, BOOL scroll)
{
    if (!m_pGallery)
        return;
    m_pGallery->SelectAll(FALSE);
    if (index < 0 || index >= m_pGallery->GetItemCount())
        index = 0;
    if (m_pGallery->SetSelected(index, TRUE) || m_pGallery->IsSelected(index))
        m_pGallery->Model().SetFocusItem(index);
    SetCurrentIndex(m_pGallery->GetFirstSelected());
    SyncListSelection();
    EnableFuncButtons();
    if (scroll && m_nViewMode == 1)
        m_pGallery->EnsureVisible(index);
    else if (scroll && m_pList)
        m_pList->EnsureVisible(index, FALSE);
}

void CZunMainView::OnGallerySelChanged(NMHDR*, LRESULT* pResult)
{
    StopSoundOfDeselected();
    SetCurrentIndex(m_pGallery->GetFirstSelected());
    EnableFuncButtons();
    UpdateTotals();
    *pResult = 0;
}

void CZunMainView::OnGalleryDblClk(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    OpenClickedItem(reinterpret_cast<NMGALLERY*>(pNMHDR)->iItem);
}

void CZunMainView::OpenClickedItem(int item)
{
    if (item < 0)
        return;
    SetCurrentIndex(item);
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_FILEDCLICKED, 0);
}

void CZunMainView::UpdateActivePane()
{
    const QWidget* focus = QApplication::focusWidget();
    for (CWnd* pane : {static_cast<CWnd*>(m_pGallery), static_cast<CWnd*>(m_pList), static_cast<CWnd*>(m_pTreePane),
                       static_cast<CWnd*>(m_pFuncPane)})
        if (pane && pane->m_hWnd && focus && (focus == pane->m_hWnd || pane->m_hWnd->isAncestorOf(focus))) {
            m_pActivePane = pane;
            return;
        }
}

BOOL CZunMainView::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
        UpdateActivePane();
        if (m_pActivePane == m_pGallery && m_pGallery->GetSelectedCount() < 3 && !m_pGallery->Model().IsEditing())
            if (CWnd* main = AfxGetMainWnd())
                main->PostMessage(WM_COMMAND, ID_FUNC_ANOTAION, 0);
    }
    // Delete removes the files or the folder, unless a label is being edited.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_DELETE && !(GetKeyState(VK_SHIFT) & 0x8000)) {
        UpdateActivePane();
        if (!GetVisibleEditor()) {
            OnEditDelete();
            return TRUE;
        }
    }
    return CView::PreTranslateMessage(pMsg);
}

// ---- display mode and sizes

void CZunMainView::OnViewThumbnails() { SetViewMode(1); }

void CZunMainView::SetThumbnailSize(int size, BOOL force)
{
    if (!m_pGallery || !m_pGallery->m_hWnd)
        return;
    if (!force && size == m_nThumbSize)
        return;
    CGalleryCtrl& g = *m_pGallery;
    const int info = m_bShowInfo ? kInfoExtra : 0;
    if (size >= 1 && size <= 3) {
        const ThumbSize& s = kSizes[size - 1];
        const int lines = m_bShowInfo ? 3 : 1;
        g.SetCellRect(CRect(0, 0, s.width, s.height + info));
        // The bottom inset keeps the picture (and its frame) above the caption
        // lines, which grow with the desktop's font where the inset would not.
        g.SetInsets(10, 4, 10, std::max(26 + info, lines * g.Model().GetLineHeight() + 3));
        g.SetCaptionLines(lines);
        g.SetOverlayCallback(&DrawMessageMark);
        g.SetCaptionDrawCallback(nullptr);
        g.SetCaptionExtraHeight(0);
        m_nThumbSize = size;
    } else if (size == 4) {
        const int h = MeasureTextHeight(g.GetCaptionFont());
        const int extra = kCustomCaptionLines * (h + 1) + 4;
        g.SetCellRect(CRect(0, 0, 140, 186 + extra));
        g.SetInsets(10, 4, 10, 26 + (m_bShowInfo ? kInfoExtra : 0) + extra);
        g.SetCaptionLines(m_bShowInfo ? 8 : 7);
        g.SetOverlayCallback(&CZunMainView::CustomOverlay);
        // The overlay draws the caption in its own layout.
        g.SetCaptionDrawCallback([](CDC*, int, const CRect&, const CRect&, CFont*, LPARAM) {});
        g.SetCaptionExtraHeight(4);
        m_nThumbSize = size;
    }
    RefreshCaptions();
    g.RecalcLayout(TRUE);
}

void CZunMainView::OnThumbSize(UINT nID)
{
    static constexpr int kByCommand[] = {4, 1, 2, 3}; // custom, large, medium, small
    SetThumbnailSize(kByCommand[nID - ID_THUMB_CUSTOM], FALSE);
}

void CZunMainView::OnUpdateThumbSize(CCmdUI* pCmdUI)
{
    static constexpr int kByCommand[] = {4, 1, 2, 3};
    pCmdUI->SetCheck(kByCommand[pCmdUI->m_nID - ID_THUMB_CUSTOM] == m_nThumbSize);
}

void CZunMainView::OnViewImageInfo()
{
    m_bShowInfo = !m_bShowInfo;
    SetThumbnailSize(m_nThumbSize, TRUE);
}

void CZunMainView::OnUpdateViewImageInfo(CCmdUI* pCmdUI) { pCmdUI->SetCheck(m_bShowInfo ? 1 : 0); }

void CZunMainView::PlaySoundFile(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    m_wave.Stop();
    if (m_wave.LoadFile(path.c_str()))
        m_wave.Play(nullptr, nullptr);
}

BOOL CZunMainView::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    if (nID == ID_EDIT_PASTE && !TakesPaste())
        return FALSE;
    if (m_pActivePane && m_pActivePane->m_hWnd && m_pActivePane->OnCmdMsg(nID, nCode, pExtra))
        return TRUE;
    return CView::OnCmdMsg(nID, nCode, pExtra);
}

void CZunMainView::SaveSettings()
{
    m_wave.Stop();
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_STOPWAVE, 0);
    RegWriteInt(IDS_REG_PREFERENCE, kRegSortOrder, m_bSortDescending ? 1 : 0);
    RegWriteInt(IDS_REG_PREFERENCE, kRegShowInfo, m_bShowInfo ? 1 : 0);
    if (m_wndSplitter.m_hWnd) {
        int width = 0, minimum = 0;
        m_wndSplitter.GetColumnInfo(0, width, minimum);
        if (width > 0)
            RegWriteInt(IDS_REG_PREFERENCE, kRegTreeWidth, width);
    }
    if (m_wndSplitter2.m_hWnd) {
        int height = 0, minimum = 0;
        m_wndSplitter2.GetRowInfo(0, height, minimum);
        if (height > 0)
            RegWriteInt(IDS_REG_PREFERENCE, kRegTreeHeight, height);
    }
    RegWriteInt(IDS_REG_PREFERENCE, kRegViewMode, m_nViewMode);
    RegWriteInt(IDS_REG_PREFERENCE, kRegThumbSize, m_nThumbSize);
}

// ---- gallery callbacks

BOOL CZunMainView::Thumbnail(int index, CDibBitmap& bitmap, LPARAM user)
{
    auto* view = reinterpret_cast<CZunMainView*>(user);
    if (auto it = view->m_shown.find(index); it != view->m_shown.end()) {
        bitmap = it->second;
        return TRUE;
    }
    if (!GetItemThumbnail(index, bitmap))
        return FALSE;
    view->m_shown.emplace(index, bitmap);
    view->ForgetHidden();
    return TRUE;
}

void CZunMainView::ForgetHidden()
{
    // Two screens' worth is kept; what has scrolled away goes first.
    const CGalleryModel& m = m_pGallery->Model();
    const size_t keep = size_t(std::max(2 * ShownCellCount(m), 1));
    if (m_shown.size() <= keep)
        return;
    const int first = m.GetFirstVisibleIndex();
    const int last = first + ShownCellCount(m);
    for (auto it = m_shown.begin(); it != m_shown.end() && m_shown.size() > keep;)
        it = it->first < first || it->first >= last ? m_shown.erase(it) : std::next(it);
}

void CZunMainView::ImageSize(CSize& size, int index) { size = GetItemThumbnailSize(index); }

void CZunMainView::RefreshCaption(int index)
{
    // The captions are kept in the gallery's items, so that painting never
    // waits for the item lock the loader holds while it makes a thumbnail.
    if (m_pGallery && index < m_pGallery->GetItemCount())
        m_pGallery->SetItemText(index, GetFileItem(index)->FormatCaption(index, m_nThumbSize == 4 || m_bShowInfo));
    // The status bar shows the selected item's caption too (a rename changes it).
    UpdateTotals();
}

void CZunMainView::RefreshCaptions()
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    for (int i = 0; m_pGallery && i < m_pGallery->GetItemCount(); ++i)
        RefreshCaption(i);
}

void CZunMainView::CustomOverlay(CGalleryCtrl* ctrl, CDC* dc, int index, const CRect& cell, const CRect& picture)
{
    // The custom size draws its caption itself: the first two lines centred,
    // then "label : value" rows in two columns.
    const std::string text = ctrl->GetItemText(index);
    const int lh = ctrl->Model().GetLineHeight();
    CFont* old = dc->SelectObject(ctrl->GetCaptionFont());
    dc->SetBkMode(TRANSPARENT);
    CRect band(cell.left + 2, picture.bottom + 6, cell.right - 2, picture.bottom + 6 + lh);
    size_t start = 0;
    for (int line = 0; start <= text.size(); ++line) {
        const size_t eol = text.find('\n', start);
        const std::string part = text.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
        if (line < 2) {
            CRect r = band;
            dc->DrawText(part, &r, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        } else {
            if (line == 2)
                band.DeflateRect(4, 0);
            const size_t colon = part.find(':');
            CRect label = band;
            dc->DrawText(part.substr(0, colon) + (colon == std::string::npos ? "" : " : "), &label,
                         DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
            if (colon != std::string::npos) {
                CRect value(band.left + 40, band.top, band.right, band.bottom);
                dc->DrawText(part.substr(colon + 1), &value, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
            }
        }
        band.OffsetRect(0, lh);
        if (eol == std::string::npos)
            break;
        start = eol + 1;
    }
    dc->SelectObject(old);
    DrawMessageMark(ctrl, dc, index, cell, picture);
}

// ---- the loader

void CZunMainView::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CView::OnShowWindow(bShow, nStatus);
    if (bShow && m_bListThumbnails && m_pList && m_pList->m_hWnd) {
        CWaitCursor wait;
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int i = 0; i < m_listImages.GetImageCount(); ++i)
            m_listImages.Replace(i, ListPicture(i));
    }
    if (bShow)
        m_loader.Start();
    else
        m_loader.Pause();
}

void CZunMainView::OnDestroy()
{
    if (m_pDlgSearch && m_pDlgSearch->m_hWnd)
        m_pDlgSearch->DestroyWindow();
    m_pDlgSearch.reset();
    m_loader.Stop();
    m_wave.Close();
    CView::OnDestroy();
}

void CZunMainView::OnRefreshThumbnail()
{
    if (m_bReloading)
        return;
    std::vector<int> ready;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        ready = m_loader.TakeFinished();
        // Making the thumbnail read the picture's size and date.
        for (int index : ready)
            RefreshCaption(index);
    }
    for (int index : ready) {
        m_shown.erase(index);
        if (m_pGallery && m_pGallery->IsWindowVisible())
            m_pGallery->DrawItem(index);
        RefreshListPicture(index);
    }
}

void CZunMainView::OnGalleryScrolled(NMHDR*, LRESULT* pResult)
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    m_loader.MoveTo(m_pGallery->Model().GetFirstVisibleIndex());
    *pResult = 0;
}

void CZunMainView::OnFileMoved() { RemoveVanishedFiles(); }

void CZunMainView::RemoveVanishedFiles()
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    bool removed = false;
    for (int i = GetFileItemCount() - 1; i >= 0; --i) {
        CFileItem* item = GetFileItem(i);
        struct stat st {};
        if (item == GetSharedEmptyItem() || ::stat(item->GetPath().c_str(), &st) == 0)
            continue;
        m_loader.ForgetItem(item);
        RemoveFileItem(i);
        if (m_pGallery)
            m_pGallery->DeleteItem(i);
        removed = true;
    }
    if (removed) {
        // Cells after a removed one show other items now.
        m_shown.clear();
        // The list's pictures follow the items' new indexes.
        if (m_bListThumbnails && m_pList && m_pList->m_hWnd)
            MakeListPictures();
        if (m_pList && m_pList->m_hWnd)
            m_pList->SetItemCountEx(GetFileItemCount(), LVSICF_NOINVALIDATEALL);
        SyncListSelection();
        UpdateTotals();
    }
}

// ---- the selection for the frame's commands

void CZunMainView::SetFrameParts(CZunToolBar* pToolBar, CFrameWnd* pFrame)
{
    m_pToolBar = pToolBar;
    m_pMainFrame = pFrame;
}

namespace {

bool IsPictureByExtension(const CFileItem* item) { return item->IsJpeg() || item->IsTiff() || item->IsBmp(); }

} // namespace

template <typename Take>
static std::vector<std::string> CollectSelected(CGalleryCtrl* gallery, Take take)
{
    std::vector<std::string> paths;
    if (!gallery)
        return paths;
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    const int count = std::min(gallery->GetItemCount(), GetFileItemCount());
    for (int i = 0; i < count; ++i)
        if (gallery->IsSelected(i))
            take(GetFileItem(i), paths);
    return paths;
}

BOOL CZunMainView::CollectSelectedPaths(std::vector<std::string>& paths)
{
    paths = CollectSelected(m_pGallery, [](CFileItem* item, std::vector<std::string>& out) {
        out.push_back(item->GetPath());
    });
    return !paths.empty();
}

std::vector<std::string> CZunMainView::SelectedMessagePaths()
{
    return CollectSelected(m_pGallery, [](CFileItem* item, std::vector<std::string>& out) {
        if (item->HasSecondName())
            out.push_back(item->GetSecondName());
        else if (item->IsMessageFile())
            out.push_back(item->GetPath());
    });
}

std::vector<std::string> CZunMainView::SelectedPicturePaths(BOOL skipLinked)
{
    return CollectSelected(m_pGallery, [skipLinked](CFileItem* item, std::vector<std::string>& out) {
        if (item->IsMessageFile() || item->IsMovie() || item->IsWav())
            return;
        if (skipLinked && item->HasSecondName())
            return;
        out.push_back(item->GetPath());
    });
}

std::vector<std::string> CZunMainView::SelectedMoviePaths()
{
    return CollectSelected(m_pGallery, [](CFileItem* item, std::vector<std::string>& out) {
        if (item->IsMovie())
            out.push_back(item->GetPath());
    });
}

std::vector<std::string> CZunMainView::SelectedSoundPaths()
{
    return CollectSelected(m_pGallery, [](CFileItem* item, std::vector<std::string>& out) {
        if (item->IsWav())
            out.push_back(item->GetPath());
    });
}

CZunMainView::SelectionKinds CZunMainView::GetSelectionKinds()
{
    SelectionKinds k;
    if (!m_pGallery)
        return k;
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    const int count = std::min(m_pGallery->GetItemCount(), GetFileItemCount());
    for (int i = 0; i < count; ++i) {
        if (!m_pGallery->IsSelected(i))
            continue;
        const CFileItem* item = GetFileItem(i);
        ++k.count;
        const bool linked = item->HasSecondName();
        if (IsPictureByExtension(item)) {
            ++k.pictures;
            if (!linked)
                ++k.unlinkedPictures;
        }
        if (item->IsMessageFile() || linked)
            ++k.messages;
        if (item->IsWav())
            ++k.sounds;
        if (item->IsMovie())
            ++k.movies;
        if (item->GetVerifyState() == CFileItem::kVerifyNotDone)
            k.anyUnverified = TRUE;
        else
            k.anyVerified = TRUE;
    }
    return k;
}

BOOL CZunMainView::CanViewComment(const SelectionKinds& k)
{
    if (k.count < 1 || k.count > 2 || k.sounds || k.movies || k.unlinkedPictures > 1)
        return FALSE;
    return k.unlinkedPictures == 0 || k.messages == 0;
}

BOOL CZunMainView::CanViewImage(const SelectionKinds& k)
{
    return k.count == 1 && (k.messages || k.pictures || k.movies);
}

BOOL CZunMainView::CanTextImage(const SelectionKinds& k) { return k.count == 1 && k.pictures == 1; }

void CZunMainView::EnableFuncButtons()
{
    if (!m_pFuncPane || !m_pFuncPane->m_hWnd)
        return;
    const SelectionKinds k = GetSelectionKinds();
    m_pFuncPane->EnableButtons(CanViewComment(k), CanTextImage(k), CanViewImage(k), k.anyUnverified);
}

void CZunMainView::RefreshLinkedMessage(const std::string& path)
{
    // The message the user just saved stays; only the link goes, and the
    // item shows its own picture again.
    std::vector<int> changed;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int i = 0; i < GetFileItemCount(); ++i) {
            CFileItem* item = GetFileItem(i);
            if (item != GetSharedEmptyItem() && item->HasSecondName() && item->GetSecondName() == path) {
                item->SetSecondName(nullptr);
                changed.push_back(i);
            }
        }
        // A listed message file of that path has a new picture.
        if (const int i = FindFileItemIndex(path); i >= 0) {
            GetFileItem(i)->ResetThumbnail(FALSE);
            RemoveItemBmpCache(i, FALSE);
            m_loader.FillFromStore();
            changed.push_back(i);
        }
    }
    for (int i : changed) {
        m_shown.erase(i);
        if (m_pGallery && m_pGallery->m_hWnd)
            m_pGallery->DrawItem(i);
    }
}

void CZunMainView::RefreshSavedItem(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    for (int i = 0; i < GetFileItemCount(); ++i) {
        if (GetFileItem(i)->GetPath() != path)
            continue;
        // The cached thumbnail and picture show the old contents.
        RemoveItemBmpCache(i, FALSE);
        RemoveItemRawCache(i, FALSE);
        RefreshItemInfo(i);
        RefreshCaption(i);
        m_shown.erase(i);
        if (m_pGallery)
            m_pGallery->DrawItem(i);
        return;
    }
}
