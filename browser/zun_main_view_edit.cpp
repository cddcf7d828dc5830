// The browser view's command states and its edit commands: which pane they
// act on, an open label editor first, and files through the clipboard.
#include "browser/zun_main_view.h"

#include "browser/contact_sheet_dlog.h"
#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/file_rename.h"
#include "browser/item_output.h"
#include "browser/resize_all.h"
#include "browser/sort_key.h"
#include "browser/thumbnail_cache.h"
#include "browser/zun_doc_template.h"
#include "browser/zun_main_frame.h"
#include "ui/drag_data_source.h"
#include "ui/rename_all_dlog.h"
#include "ui/select_folder_dlog.h"
#include "util/path_util.h"
#include "util/reg_settings.h"
#include "ui/ui_services.h"
#include "ui/window_helpers.h"
#include "util/companion_files.h"
#include "util/shell_util.h"
#include "imaging/dib_bitmap.h"
#include "platform/clipboard.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "platform/framework/wait_cursor.h"
#include "platform/framework/win_app.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <unordered_set>

namespace {

const QMimeData* ClipboardData()
{
    QClipboard* cb = QGuiApplication::clipboard();
    return cb ? cb->mimeData() : nullptr;
}

// What a paste would do with the clipboard's files: 1 copy, 2 move, 0 nothing.
// The program's own markers decide; a desktop file manager's list is copied
// unless its copied-files form says it was cut.
int ClipboardFileMode(const QMimeData* data)
{
    if (!data)
        return 0;
    const ClipboardFormats& f = GetClipboardFormats();
    COleDataObject obj(data);
    if (obj.IsDataAvailable(f.pathList) || !GetMimeFilePaths(data).empty()) {
        if (obj.IsDataAvailable(f.fileCopy))
            return 1;
        if (obj.IsDataAvailable(f.fileCut))
            return 2;
    }
    if (obj.IsDataAvailable(f.fileCopy) || obj.IsDataAvailable(f.fileCut) || GetMimeFilePaths(data).empty())
        return 0;
    const QByteArray gnome = data->data("x-special/gnome-copied-files");
    return gnome.startsWith("cut\n") || gnome == "cut" ? 2 : 1;
}

} // namespace

BOOL CZunMainView::IsFilePaneActive() const
{
    return m_pActivePane && (m_pActivePane == m_pGallery || m_pActivePane == m_pList);
}

BOOL CZunMainView::IsTreePaneActive() const { return m_pActivePane && m_pActivePane == m_pTreePane; }

BOOL CZunMainView::TreeState() const { return m_pTreePane && m_pTreePane->IsFileSystemFolderSelected(); }

CEdit* CZunMainView::GetActiveEditor()
{
    if (m_pActivePane && m_pActivePane == m_pGallery)
        return &m_pGallery->Editor();
    if (m_pActivePane && m_pActivePane == m_pList)
        return m_pList->GetEditControl();
    if (m_pActivePane && m_pActivePane == m_pTreePane)
        return m_pTreePane->GetEditControl();
    return nullptr;
}

CEdit* CZunMainView::GetVisibleEditor()
{
    CEdit* e = GetActiveEditor();
    return e && e->m_hWnd && e->IsWindowVisible() ? e : nullptr;
}

BOOL CZunMainView::TakesPaste()
{
    UpdateActivePane();
    return GetVisibleEditor() ||
           (IsTreePaneActive() && TreeState() && ClipboardFileMode(ClipboardData()) != 0);
}

BOOL CZunMainView::FileCommandAllowed()
{
    if (IsFilePaneActive())
        return m_pGallery->GetSelectedCount() > 0;
    if (IsTreePaneActive())
        return TreeState();
    return FALSE;
}

void CZunMainView::OnUpdateCommand(CCmdUI* pCmdUI)
{
    UpdateActivePane();
    const int n = m_pGallery ? m_pGallery->GetSelectedCount() : 0;
    CEdit* editor = GetVisibleEditor();
    switch (pCmdUI->m_nID) {
    case ID_NEW_FOLDER:
        pCmdUI->Enable(m_pTreePane && TreeState());
        break;
    case ID_EDIT_DELETE_FILES:
    case ID_MOVE_TO_FOLDER:
    case ID_COPY_TO_FOLDER:
        pCmdUI->Enable(FileCommandAllowed());
        break;
    case ID_EDIT_RENAME_FILE:
        pCmdUI->Enable(IsFilePaneActive() ? n == 1 : IsTreePaneActive() && TreeState());
        break;
    case ID_EXPORT_CSV:
    case ID_EXPORT_UNUSED:
        pCmdUI->Enable(n > 0);
        break;
    case ID_EDIT_USER_COMMENT: {
        // An item's information is read once, when first asked for.
        BOOL any = FALSE;
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int i : SelectedIndices())
            if ((any = GetFileItem(i, TRUE)->m_exifInfo.IsValid()))
                break;
        pCmdUI->Enable(any);
        break;
    }
    case ID_RENAME_ALL:
        pCmdUI->Enable(IsFilePaneActive() && n > 0);
        break;
    case ID_RESIZE_ALL: {
        const SelectionKinds k = GetSelectionKinds();
        pCmdUI->Enable(IsFilePaneActive() && n > 0 && k.pictures == k.count);
        break;
    }
    case ID_CAMERA_COPIES: {
        const SelectionKinds k = GetSelectionKinds();
        pCmdUI->Enable(n > 0 && k.pictures == k.count);
        break;
    }
    case ID_PLAY_SOUND: {
        BOOL can = FALSE;
        if (n == 1) {
            const int i = m_pGallery->GetFirstSelected();
            std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
            can = !GetItemSoundPath(i).empty() || GetFileItem(i)->IsWav();
        }
        pCmdUI->Enable(can);
        break;
    }
    case ID_COPY_TO_CLIPBOARD: {
        const SelectionKinds k = GetSelectionKinds();
        pCmdUI->Enable(k.count == 1 && k.pictures == 1);
        break;
    }
    case ID_SAVE_AS:
    case ID_SAVE_AS_REPLACE: {
        const SelectionKinds k = GetSelectionKinds();
        pCmdUI->Enable(n > 0 && k.sounds == 0);
        break;
    }
    case ID_DATA_VALIDATION:
        pCmdUI->Enable(GetSelectionKinds().anyUnverified);
        break;
    case ID_CLEAR_VALIDATION:
        pCmdUI->Enable(GetSelectionKinds().anyVerified);
        break;
    case ID_FUNC_ANOTAION:
        pCmdUI->Enable(CanViewComment(GetSelectionKinds()));
        break;
    case ID_FUNC_WHITEBOARD:
        pCmdUI->Enable(CanTextImage(GetSelectionKinds()));
        break;
    case ID_FUNC_VIEWER:
        pCmdUI->Enable(CanViewImage(GetSelectionKinds()));
        break;
    case ID_PRINT_SHEETS:
        pCmdUI->Enable(GetFileItemCount() > 0);
        break;
    case ID_EDIT_UNDO:
        pCmdUI->Enable(editor && editor->CanUndo());
        break;
    case ID_EDIT_SELECT_ALL:
        pCmdUI->Enable(editor || (m_pGallery && m_pGallery->GetItemCount() > 0));
        break;
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
        pCmdUI->Enable(editor ? HasEditSelection(editor) : FileCommandAllowed());
        break;
    case ID_EDIT_PASTE:
        if (editor)
            pCmdUI->Enable(ClipboardHasText(this));
        else
            pCmdUI->Enable(IsTreePaneActive() && TreeState() && ClipboardFileMode(ClipboardData()) != 0);
        break;
    default:
        pCmdUI->Enable(TRUE);
        break;
    }
}

// ---- edit commands

void CZunMainView::OnEditUndo()
{
    if (CEdit* e = GetVisibleEditor())
        e->Undo();
}

void CZunMainView::OnEditCut()
{
    if (CEdit* e = GetVisibleEditor())
        e->Cut();
    else
        PutFilesOnClipboard(TRUE);
}

void CZunMainView::OnEditCopy()
{
    if (CEdit* e = GetVisibleEditor())
        e->Copy();
    else
        PutFilesOnClipboard(FALSE);
}

void CZunMainView::OnEditPaste()
{
    if (CEdit* e = GetVisibleEditor()) {
        e->Paste();
        return;
    }
    PasteFiles();
}

void CZunMainView::OnEditSelectAll()
{
    if (CEdit* e = GetVisibleEditor()) {
        e->SetSel(0, -1);
        return;
    }
    SetAllSelected(TRUE);
    UpdateTotals();
}

BOOL CZunMainView::CollectCommandPaths(std::vector<std::string>& paths)
{
    paths.clear();
    if (IsFilePaneActive())
        return CollectSelectedPaths(paths);
    if (IsTreePaneActive() && TreeState()) {
        const std::string folder = m_pTreePane->GetSelectedFolder();
        if (!folder.empty())
            paths.push_back(folder);
    }
    return !paths.empty();
}

void CZunMainView::PutFilesOnClipboard(BOOL cut)
{
    std::vector<std::string> paths;
    if (!CollectCommandPaths(paths))
        return;
    const ClipboardFormats& f = GetClipboardFormats();
    CDragDataSource source;
    source.SetPathList(paths, f.pathList);
    const uint8_t marker = 0;
    source.SetData(cut ? f.fileCut : f.fileCopy, &marker, 1);
    if (IsTreePaneActive())
        source.SetData(f.folder, &marker, 1);
    source.SetClipboard();
}

BOOL CZunMainView::PasteFiles()
{
    if (!IsTreePaneActive() || !TreeState())
        return FALSE;
    const QMimeData* data = ClipboardData();
    const int mode = ClipboardFileMode(data);
    if (mode == 0)
        return FALSE;
    const ClipboardFormats& f = GetClipboardFormats();
    COleDataObject clip(data);
    const BOOL fromTree = clip.IsDataAvailable(f.folder);
    // A file manager's list arrives as addresses: the tree takes the program's own block.
    QMimeData own;
    if (!clip.IsDataAvailable(f.pathList)) {
        const std::vector<uint8_t> block = BuildDropFilesGlobal(GetMimeFilePaths(data), 0, 0, TRUE);
        SetMimeBytes(&own, COleDataObject::MimeTypeOf(f.pathList), block.data(), block.size());
    } else {
        const std::vector<uint8_t> block = clip.GetGlobalData(f.pathList);
        SetMimeBytes(&own, COleDataObject::MimeTypeOf(f.pathList), block.data(), block.size());
    }
    COleDataObject obj(&own);
    std::string target;
    const BOOL done = m_pTreePane->DropFiles(nullptr, &obj, mode == 1 ? 1 : 2, nullptr, &target);
    if (!target.empty() && target == m_pTreePane->GetCurrentFolder())
        ReloadFolder(TRUE);
    // A cut is pasted once.
    if (mode == 2)
        if (QClipboard* cb = QGuiApplication::clipboard())
            cb->clear();
    if (fromTree) {
        if (auto* doc = dynamic_cast<CZunMainDoc*>(GetDocument()))
            doc->UpdateAllViews(nullptr, kHintDirectoryChanged, nullptr);
        m_pTreePane->RefreshTree();
    }
    return done;
}

void CZunMainView::OnEditDelete()
{
    if (IsTreePaneActive()) {
        if (TreeState())
            m_pTreePane->DeleteFolder();
        return;
    }
    if (!IsFilePaneActive())
        return;
    std::vector<std::string> paths;
    if (!CollectSelectedPaths(paths))
        return;
    AddCompanionFiles(paths);
    ShellDeleteFiles(AfxGetMainWnd(), IDS_DELETING, paths);
    RemoveVanishedFiles();
}

void CZunMainView::OnNewFolder()
{
    if (m_pTreePane)
        m_pTreePane->NewFolder("New Folder");
}

void CZunMainView::OnCopyToClipboard()
{
    if (!m_pGallery)
        return;
    const int first = m_pGallery->GetFirstSelected();
    if (first < 0)
        return;
    CDibBitmap bitmap;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        if (!LoadItemImage(first, bitmap))
            return;
    }
    CDragDataSource source;
    source.SetDib(bitmap.CopyToGlobal());
    source.SetClipboard();
}

void CZunMainView::OnViewUpdate()
{
    if (m_pTreePane) {
        if (CEdit* e = m_pTreePane->GetEditControl(); e && e->m_hWnd && e->IsWindowVisible()) {
            e->SetFocus();
            return;
        }
    }
    if (auto* doc = GetDocument())
        doc->UpdateAllViews(nullptr, kHintDirectoryChanged, nullptr);
    else
        ReloadFolder(FALSE);
    if (m_pTreePane)
        m_pTreePane->RefreshTree();
}

void CZunMainView::ValidateSelection(BOOL clear)
{
    {
        CWaitCursor wait;
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int i = 0; m_pGallery && i < std::min(m_pGallery->GetItemCount(), GetFileItemCount()); ++i) {
            if (!m_pGallery->IsSelected(i))
                continue;
            if (clear)
                GetFileItem(i)->ClearVerifyState();
            else
                VerifyItemImage(GetFileItem(i));
        }
    }
    if (m_pGallery)
        m_pGallery->Invalidate();
    EnableFuncButtons();
}

void CZunMainView::OnDataValidation() { ValidateSelection(FALSE); }

void CZunMainView::OnClearValidation() { ValidateSelection(TRUE); }

void CZunMainView::OnPrintSheets()
{
    if (GetFileItemCount() > 0)
        PrintContactSheets(this, m_contactSheet);
}

void CZunMainView::OnPrintDirect()
{
    if (GetFileItemCount() > 0)
        PrintContactSheetsNow(m_contactSheet);
}

void CZunMainView::OnGalleryBeginDrag(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    std::vector<std::string> paths;
    if (!CollectSelectedPaths(paths))
        return;
    CDragDataSource source;
    source.SetPathList(paths, GetClipboardFormats().pathList);
    // A move is the receiver's work: here only the files that went leave the gallery.
    CWnd* from = m_nViewMode == 1 ? static_cast<CWnd*>(m_pGallery) : static_cast<CWnd*>(m_pList);
    if (source.Drag(DROPEFFECT_COPY | DROPEFFECT_MOVE, from) == DROPEFFECT_MOVE)
        RemoveVanishedFiles();
}

void CZunMainView::OnDirectoryRenamed()
{
    if (m_pTreePane)
        RebaseFileItemPaths(m_pTreePane->GetLastNotifiedPath());
}

LRESULT CZunMainView::OnContextMenu(WPARAM, LPARAM lParam)
{
    const CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    CWnd* pane = m_nViewMode == 1 ? static_cast<CWnd*>(m_pGallery) : static_cast<CWnd*>(m_pList);
    m_pActivePane = pane;
    if (pane)
        pane->SetFocus();
    if (!m_pGallery || m_pGallery->GetSelectedCount() == 0)
        return 0;
    CMenu menu;
    if (menu.LoadMenu(IDR_THUMBNAIL_POPUP))
        if (CMenu* popup = menu.GetSubMenu(0))
            popup->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, AfxGetMainWnd());
    return 0;
}

// ---- renaming and moving

void CZunMainView::OnGalleryLabelEdited(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    auto* n = reinterpret_cast<NMGALLERY*>(pNMHDR);
    int* answer = reinterpret_cast<int*>(n->lParam);
    if (!answer)
        return;
    if (n->iItem < 0) {
        *answer = 0;
        return;
    }
    const std::string text = m_pGallery->GetItemText(n->iItem);
    *answer = RenameItem(n->iItem, text, m_strRenameError) ? 1 : 0;
    if (*answer) {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        RefreshCaption(n->iItem);
    }
}

void CZunMainView::OnGalleryEndLabelEdit(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    if (m_strRenameError.empty())
        return;
    const std::string error = std::move(m_strRenameError);
    m_strRenameError.clear();
    AfxMessageBox(error);
}

void CZunMainView::OnEditRename()
{
    if (IsTreePaneActive()) {
        if (TreeState())
            m_pTreePane->EditSelectedLabel();
        return;
    }
    if (!IsFilePaneActive())
        return;
    if (m_pGallery->GetSelectedCount() == 1 && m_pActivePane == m_pList) {
        m_pList->EditLabel(GetCurrentIndex());
        return;
    }
    if (m_pGallery->GetSelectedCount() == 1) {
        m_pGallery->SetFocus();
        m_pGallery->Model().BeginEdit(m_pGallery->GetFirstSelected());
        return;
    }
    OnRenameAll();
}

std::vector<int> CZunMainView::SelectedIndices()
{
    std::vector<int> items;
    for (int i = 0; m_pGallery && i < std::min(m_pGallery->GetItemCount(), GetFileItemCount()); ++i)
        if (m_pGallery->IsSelected(i))
            items.push_back(i);
    return items;
}

void CZunMainView::OnRenameAll()
{
    const std::vector<int> items = SelectedIndices();
    if (items.empty())
        return;
    std::string name, number;
    ProposeSerialName(GetFileItem(items[0])->GetPath(), name, number);
    CRenameAllDlog dlg(name, number, AfxGetMainWnd());
    if (dlg.DoModal() != IDOK)
        return;
    if (!RenameItems(items, dlg.m_strNameBase, dlg.m_strFirstNumber, m_strRenameError)) {
        AfxMessageBox(m_strRenameError.empty() ? LoadResString(IDS_RENAME_ALL_EXISTS_REPLACE) : m_strRenameError);
        m_strRenameError.clear();
    }
    RefreshCaptions();
    m_pGallery->Invalidate();
}

void CZunMainView::OnResizeAll()
{
    const std::vector<int> items = SelectedIndices();
    if (items.empty())
        return;
    std::vector<std::string> written;
    ResizeAllPictures(AfxGetMainWnd(), items, &written);
    // Copies written over pictures of this folder show their new contents.
    for (const std::string& path : written)
        RefreshSavedItem(path);
}

void CZunMainView::MoveOrCopyToFolder(BOOL move)
{
    UpdateActivePane();
    std::vector<std::string> paths;
    if (!CollectCommandPaths(paths))
        return;
    const BOOL folder = IsTreePaneActive();
    if (!folder)
        AddCompanionFiles(paths);
    std::string target;
    CSelectFolderDlog dlg(AfxGetMainWnd(), target,
                          LoadResString(move ? (folder ? IDS_MOVE_FOLDER : IDS_MOVE_TO_FOLDER)
                                             : (folder ? IDS_COPY_FOLDER : IDS_COPY_TO_FOLDER)));
    if (dlg.DoModal() != IDOK || target.empty())
        return;
    if (HasRawTiffConflict(paths, target)) {
        AfxMessageBox(IDS_RAW_TIFF_CONFLICT, MB_ICONEXCLAMATION);
        return;
    }
    const bool done = move ? ShellMoveFiles(AfxGetMainWnd(), IDS_MOVING, paths, target)
                           : ShellCopyFiles(AfxGetMainWnd(), IDS_COPYING, paths, target);
    if (folder) {
        if (done && move) {
            const std::string name = LastNameOf(paths[0]);
            m_pTreePane->RefreshTree();
            // The moved folder is shown at its new place.
            m_pTreePane->SelectFolder(JoinPath(target, name));
        } else {
            m_pTreePane->RefreshTree();
        }
        return;
    }
    if (move)
        RemoveVanishedFiles();
}

void CZunMainView::OnMoveToFolder() { MoveOrCopyToFolder(TRUE); }

void CZunMainView::OnCopyToFolder() { MoveOrCopyToFolder(FALSE); }

// ---- sorting

int CZunMainView::GetSortMethod() const
{
    return m_pToolBar ? m_pToolBar->GetSortMethod() : RegReadInt(IDS_REG_PREFERENCE, "SortMethod", 0);
}

void CZunMainView::Resort()
{
    if (!m_pGallery || !m_pGallery->m_hWnd)
        return;
    CWaitCursor wait;
    SetFocus();
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    // The selection follows its items to their new places.
    std::unordered_set<const CFileItem*> selected;
    const CFileItem* focus = nullptr;
    const int count = std::min(m_pGallery->GetItemCount(), GetFileItemCount());
    for (int i = 0; i < count; ++i) {
        if (!m_pGallery->IsSelected(i))
            continue;
        selected.insert(GetFileItem(i));
        if (i == m_pGallery->Model().GetFocusItem())
            focus = GetFileItem(i);
    }
    SortFileItems(GetSortMethod(), m_bSortDescending);
    m_loader.MoveTo(0);
    RebuildList(FALSE);
    m_pGallery->SelectAll(FALSE);
    for (int i = 0; i < GetFileItemCount(); ++i) {
        const CFileItem* item = GetFileItem(i);
        if (selected.count(item))
            m_pGallery->SetSelected(i, TRUE);
        if (item == focus)
            m_pGallery->Model().SetFocusItem(i);
    }
    SetCurrentIndex(m_pGallery->GetFirstSelected());
    SyncListSelection();
    EnableFuncButtons();
    UpdateTotals();
    m_pGallery->Invalidate();
}

void CZunMainView::OnSortMethod(UINT nID)
{
    int method = 0;
    switch (nID) {
    case ID_SORT_NAME: method = 0; break;
    case ID_SORT_EXTENSION: method = 2; break;
    case ID_SORT_DATE: method = 3; break;
    case ID_SORT_ATTRIBUTES: method = 4; break;
    case ID_SORT_LIST_ORDER: method = 5; break;
    default: method = 6; break;
    }
    if (m_pToolBar)
        m_pToolBar->SetSortMethod(method);
    Resort();
}

void CZunMainView::OnSortDirection(UINT nID)
{
    const BOOL descending = nID == ID_SORT_TOGGLE ? !m_bSortDescending : nID == ID_SORT_DESCENDING;
    if (descending == m_bSortDescending && nID != ID_SORT_TOGGLE)
        return;
    m_bSortDescending = descending;
    Resort();
}

void CZunMainView::OnUpdateSort(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    int shown = m_pToolBar ? m_pToolBar->GetSortMethod() : 5;
    if (shown < 0 || shown > 6)
        shown = 5;
    switch (pCmdUI->m_nID) {
    case ID_SORT_ASCENDING: pCmdUI->SetCheck(!m_bSortDescending); break;
    case ID_SORT_DESCENDING:
    case ID_SORT_TOGGLE: pCmdUI->SetCheck(m_bSortDescending); break;
    case ID_SORT_NAME: pCmdUI->SetCheck(shown == 0); break;
    case ID_SORT_EXTENSION: pCmdUI->SetCheck(shown == 2); break;
    case ID_SORT_DATE: pCmdUI->SetCheck(shown == 3); break;
    case ID_SORT_ATTRIBUTES: pCmdUI->SetCheck(shown == 4); break;
    case ID_SORT_LIST_ORDER: pCmdUI->SetCheck(shown == 5); break;
    default: break;
    }
}
