#include "browser/tree_pane.h"

#include "ui/drag_data_source.h"
#include "ui/folder_edit.h"
#include "ui/folder_tree_dlog.h"
#include "util/companion_files.h"
#include "util/path_util.h"
#include "util/shell_util.h"
#include "platform/clipboard.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "platform/path.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QCursor>

#include <algorithm>
#include <climits>
#include <iterator>
#include <cstdlib>
#include <sys/stat.h>

IMPLEMENT_DYNCREATE(CTreePane, CWnd)

BEGIN_MESSAGE_MAP(CTreePane, CWnd)
    ON_MESSAGE(WM_CONTEXTMENU, &CTreePane::OnContextMenu)
    ON_NOTIFY(TVN_SELCHANGED, IDC_TREE_PANE_TREE, &CTreePane::OnTreeSelChanged)
    ON_NOTIFY(TVN_BEGINLABELEDIT, IDC_TREE_PANE_TREE, &CTreePane::OnTreeBeginLabelEdit)
    ON_NOTIFY(TVN_ENDLABELEDIT, IDC_TREE_PANE_TREE, &CTreePane::OnTreeEndLabelEdit)
    ON_NOTIFY(TVN_BEGINDRAG, IDC_TREE_PANE_TREE, &CTreePane::OnTreeBeginDrag)
    ON_COMMAND(ID_EDIT_UNDO, &CTreePane::OnEditUndo)
    ON_UPDATE_COMMAND_UI(ID_EDIT_UNDO, &CTreePane::OnUpdateEditUndo)
END_MESSAGE_MAP()

namespace {

void RegisterTreePopup()
{
    static const bool once = [] {
        RegisterMenuResource(IDR_TREE_POPUP, {{MF_POPUP,
                                               0,
                                               "Tree",
                                               {{MF_STRING, ID_EDIT_CUT, "Cu&t", {}},
                                                {MF_STRING, ID_EDIT_COPY, "&Copy", {}},
                                                {MF_STRING, ID_EDIT_PASTE, "&Paste", {}},
                                                {MF_STRING, ID_TREE_DELETE, "&Delete", {}},
                                                {MF_SEPARATOR, 0, "", {}},
                                                {MF_STRING, ID_TREE_RENAME, "&Rename", {}},
                                                {MF_STRING, ID_TREE_NEW_FOLDER, "&New Folder", {}}}}});
        return true;
    }();
    (void)once;
}

bool Exists(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSameOrUnder(const std::string& path, const std::string& folder)
{
    if (path == folder)
        return true;
    if (folder == "/")
        return path.starts_with('/');
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

} // namespace

// A TIFF picture and a raw one of the same name cannot share a folder: their
// companions and the browser's pairs would mix.
bool HasRawTiffConflict(const std::vector<std::string>& sources, const std::string& target)
{
    CNamesakeIndex names;
    for (const std::string& source : sources) {
        const std::string there = JoinPath(target, LastNameOf(source));
        if (IsTiffFile(there) && !names.Find(there, IsTkfFile).empty())
            return true;
        if (IsTkfFile(there) && !names.Find(there, IsTiffFile).empty())
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Drop target

bool CTreeDropTarget::IsOurTree(CWnd* pWnd) const
{
    return m_pPane && pWnd == &m_pPane->Tree();
}

bool CTreeDropTarget::Offers(COleDataObject* pData) const
{
    return std::any_of(m_formats.begin(), m_formats.end(), [pData](UINT cf) { return pData->IsDataAvailable(cf); });
}

DROPEFFECT CTreeDropTarget::OnDragEnter(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point)
{
    // A drag the tree does not take at once is not offered to it again: the
    // entry decides as a move over it would.
    return OnDragOver(pWnd, pData, dwKeyState, point);
}

DROPEFFECT CTreeDropTarget::OnDragOver(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point)
{
    if (!IsOurTree(pWnd) || !Offers(pData))
        return DROPEFFECT_NONE;
    return m_pPane->DragOverFolder(pData, dwKeyState, point);
}

BOOL CTreeDropTarget::OnDrop(CWnd* pWnd, COleDataObject* pData, DROPEFFECT dropEffect, CPoint)
{
    if (!IsOurTree(pWnd))
        return FALSE;
    if (!Offers(pData)) {
        m_pPane->EndDragOver();
        return FALSE;
    }
    return m_pPane->DropOnFolder(pData, dropEffect);
}

void CTreeDropTarget::OnDragLeave(CWnd* pWnd)
{
    if (IsOurTree(pWnd))
        m_pPane->EndDragOver();
}

DROPEFFECT CTreeDropTarget::OnDragScroll(CWnd* pWnd, DWORD, CPoint point)
{
    return IsOurTree(pWnd) ? m_pPane->AutoScrollOnDrag(point) : DROPEFFECT_NONE;
}

// ---------------------------------------------------------------------------

CTreePane::CTreePane() : m_crBack(GetSysColor(COLOR_SCROLLBAR))
{
    m_tree.SetSelectOnRightClick(FALSE);
    m_dropTarget.m_pPane = this;
}

CTreePane::~CTreePane()
{
    m_dropTarget.Revoke();
}

BOOL CTreePane::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    RegisterTreePopup();
    if (!CWnd::Create(nullptr, "", dwStyle | WS_CHILD | WS_CLIPCHILDREN, rect, pParent, nID))
        return FALSE;
    CRect rc;
    GetClientRect(&rc);
    if (!m_tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | TVS_SHOWSELALWAYS, rc,
                       this, IDC_TREE_PANE_TREE))
        return FALSE;
    m_tree.Init(0, TRUE);
    m_dropTarget.Register(&m_tree);
    SetTimer(kPollTimer, kPollMs);
    return TRUE;
}

void CTreePane::SetAcceptedFormat(UINT cf)
{
    m_cfAccepted = cf;
    if (cf && std::find(m_dropTarget.m_formats.begin(), m_dropTarget.m_formats.end(), cf) == m_dropTarget.m_formats.end())
        m_dropTarget.m_formats.push_back(cf);
}

HTREEITEM CTreePane::TakePendingItem()
{
    HTREEITEM item = m_tree.GetRightClickItem();
    m_tree.ClearRightClickItem();
    return item ? item : m_tree.GetSelectedItem();
}

CWnd* CTreePane::CommandTarget() const
{
    CWnd* main = AfxGetMainWnd();
    return main ? main : GetParent();
}

void CTreePane::SelectFolder(const std::string& path)
{
    m_strFolder = path;
    m_tree.SelectPath(path);
}

std::string CTreePane::GetSelectedFolder()
{
    std::string path;
    BOOL fileSystem = FALSE;
    GetItemPath(TakePendingItem(), path, fileSystem);
    return path;
}

CEdit* CTreePane::EditSelectedLabel()
{
    HTREEITEM item = TakePendingItem();
    return item ? m_tree.EditLabel(item) : nullptr;
}

// ---------------------------------------------------------------------------
// Following the selection

void CTreePane::NotifyDirectoryChanged(const std::string& path)
{
    if (m_bSuppress)
        return;
    m_strNotified = path;
    if (path.size() >= PATH_MAX) {
        AfxMessageBox(IDS_PATH_TOO_LONG, MB_ICONEXCLAMATION);
        m_strFolder.clear();
    } else {
        m_strFolder = path;
    }
    if (CWnd* target = CommandTarget())
        target->SendMessage(WM_COMMAND, ID_DIRECTORYCHANGED);
}

void CTreePane::OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
    *pResult = 0;
    m_bFileSystem = FALSE;
    HTREEITEM item = nm->itemNew.hItem;
    if (!item)
        return;
    if (!m_bSuppress)
        m_tree.Expand(item, TVE_EXPAND);
    std::string path;
    GetItemPath(item, path, m_bFileSystem);
    NotifyDirectoryChanged(m_bFileSystem ? path : std::string());
}

void CTreePane::OnTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case kPollTimer: {
        // Catches what no notification told: a selected folder that got another name, say.
        std::string path;
        GetItemPath(m_tree.GetSelectedItem(), path, m_bFileSystem);
        if (path != m_strNotified)
            NotifyDirectoryChanged(path);
        break;
    }
    case kHoverTimer:
        KillTimer(kHoverTimer);
        if (m_hHoverItem && m_tree.GetItemNode(m_hHoverItem))
            m_tree.Expand(m_hHoverItem, TVE_EXPAND);
        break;
    case kScrollTimer:
        if (!(AutoScrollOnDrag(m_ptScroll) & DROPEFFECT_SCROLL))
            KillTimer(kScrollTimer);
        break;
    default: CWnd::OnTimer(nIDEvent); break;
    }
}

// ---------------------------------------------------------------------------
// Renaming, making and deleting folders

void CTreePane::OnTreeBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* info = reinterpret_cast<NMTVDISPINFO*>(pNMHDR);
    *pResult = m_tree.IsPlainFolder(info->item.hItem) ? 0 : 1;
}

void CTreePane::OnTreeEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    std::string newPath;
    if (RenameEditedFolder(m_tree, *reinterpret_cast<NMTVDISPINFO*>(pNMHDR), newPath) != FolderRename::renamed)
        return;
    m_bSuppress = TRUE;
    m_tree.ClearRightClickItem();
    m_tree.RefreshAll(newPath);
    m_strNotified = m_strFolder = newPath;
    m_tree.SelectPath(newPath);
    if (CWnd* target = CommandTarget())
        target->SendMessage(WM_COMMAND, ID_DIRECTORYRENAMED);
    *pResult = 1;
    m_bSuppress = FALSE;
}

BOOL CTreePane::NewFolder(const std::string& baseName)
{
    if (MakeNewFolderIn(m_tree, TakePendingItem(), baseName).empty())
        return FALSE;
    m_tree.SelectDropTarget(nullptr);
    return TRUE;
}

BOOL CTreePane::DeleteFolder()
{
    HTREEITEM item = TakePendingItem();
    std::string path;
    BOOL fileSystem = FALSE;
    // The user's and the system's own places are never deleted from here.
    if (!m_tree.IsPlainFolder(item) || !GetItemPath(item, path, fileSystem))
        return FALSE;
    if (!ShellDeleteFiles(CommandTarget(), IDS_DELETING, {path}) || Exists(path))
        return FALSE;
    m_tree.SelectDropTarget(nullptr);
    HTREEITEM parent = m_tree.GetParentItem(item);
    if (!parent)
        parent = m_tree.GetRootItem();
    m_tree.SelectItem(parent);
    m_tree.UpdateItem(parent, TRUE);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Menus and edits

LRESULT CTreePane::OnContextMenu(WPARAM, LPARAM lParam)
{
    HTREEITEM item = m_tree.GetRightClickItem();
    if (!item)
        return 0;
    std::string path;
    GetItemPath(item, path, m_bFileSystem);
    m_tree.SelectDropTarget(item);
    CMenu menu;
    if (menu.LoadMenu(IDR_TREE_POPUP))
        if (CMenu* popup = menu.GetSubMenu(0))
            popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                                  CommandTarget());
    // The pending item stays for the command chosen.
    m_tree.SelectDropTarget(nullptr);
    return 0;
}

void CTreePane::OnEditUndo()
{
    if (CEdit* edit = m_tree.GetEditControl())
        edit->Undo();
}

void CTreePane::OnUpdateEditUndo(CCmdUI* pCmdUI)
{
    CEdit* edit = m_tree.GetEditControl();
    pCmdUI->Enable(edit && edit->CanUndo());
}

void CTreePane::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (m_tree.m_hWnd)
        m_tree.MoveWindow(0, 0, cx, cy);
}

void CTreePane::OnSetFocus(CWnd* pOld)
{
    CWnd::OnSetFocus(pOld);
    if (m_tree.m_hWnd)
        m_tree.SetFocus();
}

void CTreePane::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, m_crBack);
}

// ---------------------------------------------------------------------------
// Dragging

void CTreePane::OnTreeBeginDrag(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
    *pResult = 0;
    std::string path;
    BOOL fileSystem = FALSE;
    // A plain folder only: home or a volume moved by a slip of the mouse would be a disaster.
    if (!m_tree.IsPlainFolder(nm->itemNew.hItem) || !GetItemPath(nm->itemNew.hItem, path, fileSystem))
        return;
    CDragDataSource source;
    source.SetPathList({path}, m_cfAccepted);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    source.Drag(DROPEFFECT_COPY | DROPEFFECT_MOVE, &m_tree);
    QApplication::restoreOverrideCursor();
}

DROPEFFECT CTreePane::DragOverFolder(COleDataObject* pData, DWORD dwKeyState, CPoint point)
{
    if (!m_cfAccepted || !pData->IsDataAvailable(m_cfAccepted))
        return DROPEFFECT_NONE;
    HTREEITEM item = m_tree.HitTest(point);
    std::string path;
    BOOL fileSystem = FALSE;
    if (!item || !GetItemPath(item, path, fileSystem)) {
        m_tree.SelectDropTarget(nullptr);
        KillTimer(kHoverTimer);
        m_hHoverItem = nullptr;
        return DROPEFFECT_NONE;
    }
    m_tree.SetFocus();
    // Resting on a folder opens it: the wait starts again when the drag moves on.
    if (item != m_hHoverItem || std::abs(point.x - m_ptHover.x) > kHoverSlack ||
        std::abs(point.y - m_ptHover.y) > kHoverSlack) {
        m_hHoverItem = item;
        m_ptHover = point;
        SetTimer(kHoverTimer, kHoverExpandMs);
    }
    m_tree.SelectDropTarget(item);
    // Copy or move is the Ctrl key's choice alone, whatever file systems are involved.
    return dwKeyState & MK_CONTROL ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

DROPEFFECT CTreePane::AutoScrollOnDrag(CPoint point)
{
    HTREEITEM item = m_tree.HitTest(point);
    CRect rc;
    m_tree.GetClientRect(&rc);
    if (!item || (point.y >= rc.top + kScrollEdge && point.y < rc.bottom - kScrollEdge)) {
        KillTimer(kScrollTimer);
        return DROPEFFECT_NONE;
    }
    HTREEITEM next = point.y < rc.top + kScrollEdge ? m_tree.GetPrevVisibleItem(item) : m_tree.GetNextVisibleItem(item);
    if (next)
        m_tree.EnsureVisible(next);
    // Scrolling goes on while the drag rests at the edge.
    if (m_ptScroll != point || !next) {
        m_ptScroll = point;
        SetTimer(kScrollTimer, kScrollMs);
    }
    return DROPEFFECT_SCROLL;
}

void CTreePane::StopDragTimers()
{
    KillTimer(kHoverTimer);
    KillTimer(kScrollTimer);
    m_hHoverItem = nullptr;
}

void CTreePane::EndDragOver()
{
    StopDragTimers();
    m_tree.SelectDropTarget(nullptr);
}

BOOL CTreePane::DropOnFolder(COleDataObject* pData, DROPEFFECT dropEffect)
{
    StopDragTimers();
    HTREEITEM target = m_tree.GetDropHilightItem();
    m_tree.SelectDropTarget(nullptr);
    if (!target || !m_tree.GetSelectedItem())
        return FALSE;
    const BOOL done = DropFiles(target, pData, dropEffect == DROPEFFECT_COPY ? 1 : 2);
    if (done)
        m_tree.RefreshAll();
    return done;
}

BOOL CTreePane::DropFiles(HTREEITEM hItem, const COleDataObject* pData, UINT nMode, std::vector<std::string>* pList,
                          std::string* pTarget)
{
    if (!hItem)
        hItem = TakePendingItem();
    if (!hItem || !pData || !m_cfAccepted || !pData->IsDataAvailable(m_cfAccepted))
        return FALSE;
    std::vector<std::string> paths;
    if (!ReadDropFilesBlock(pData->GetGlobalData(m_cfAccepted), paths) || paths.empty())
        return FALSE;
    std::string target;
    BOOL fileSystem = FALSE;
    if (!GetItemPath(hItem, target, fileSystem))
        return FALSE;
    // Nothing is moved onto itself, nor a folder into itself: a move onto the
    // folder the files are in does nothing. A copy there is a copy under a new
    // name, which no namesake can be in the way of.
    std::erase_if(paths, [&](const std::string& p) {
        return (nMode != 1 && ParentFolderOf(p) == target) || (IsFolder(p) && IsSameOrUnder(target, p));
    });
    if (paths.empty())
        return FALSE;
    std::vector<std::string> arriving;
    std::copy_if(paths.begin(), paths.end(), std::back_inserter(arriving),
                 [&](const std::string& p) { return ParentFolderOf(p) != target; });
    if (HasRawTiffConflict(arriving, target)) {
        AfxMessageBox(IDS_RAW_TIFF_CONFLICT, MB_ICONEXCLAMATION);
        return TRUE;
    }
    AddCompanionFiles(paths);
    CWnd* owner = CommandTarget();
    BOOL done = FALSE;
    if (nMode == 1) {
        done = ShellCopyFiles(owner, IDS_COPYING, paths, target);
        if (owner)
            owner->SendMessage(WM_COMMAND, ID_FILECOPIED);
    } else {
        done = ShellMoveFiles(owner, IDS_MOVING, paths, target);
        if (owner)
            owner->SendMessage(WM_COMMAND, ID_FILEMOVED);
    }
    if (pList)
        *pList = paths;
    if (pTarget)
        *pTarget = target;
    return done;
}
