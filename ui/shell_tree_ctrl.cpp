#include "ui/shell_tree_ctrl.h"

#include "platform/framework/wait_cursor.h"
#include "platform/path.h"

#include <QString>

#include <algorithm>

BEGIN_MESSAGE_MAP(CShellTreeCtrl, CTreeCtrl)
    ON_NOTIFY_REFLECT(TVN_ITEMEXPANDING, &CShellTreeCtrl::OnItemExpanding)
    ON_NOTIFY_REFLECT(TVN_DELETEITEM, &CShellTreeCtrl::OnDeleteItem)
END_MESSAGE_MAP()

namespace {

bool IsUnder(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return false;
    if (folder == "/")
        return path.size() > 1 && path.front() == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool IsUnderIgnoringCase(const std::string& path, const std::string& folder)
{
    if (folder.empty() || folder == "/" || path.size() <= folder.size() || path[folder.size()] != '/')
        return IsUnder(path, folder);
    return SameIgnoringCase(path.substr(0, folder.size()), folder);
}

int CompareNodes(LPARAM a, LPARAM b, LPARAM)
{
    const auto* na = reinterpret_cast<const CShellTreeItem*>(a);
    const auto* nb = reinterpret_cast<const CShellTreeItem*>(b);
    if (!na || !nb)
        return 0; // a failed comparison counts as equal
    return CShellNamespace::Compare(na->Node(), nb->Node());
}

} // namespace

CShellTreeCtrl::CShellTreeCtrl() = default;
CShellTreeCtrl::~CShellTreeCtrl() = default;

void CShellTreeCtrl::Init(int, BOOL)
{
    if (!m_hWnd)
        return;
    CShellNamespace& ns = CShellNamespace::Instance();
    ns.Refresh();
    SetImageSource([](int index) { return CShellImageList::System(false).GetIcon(index); });
    SetBkColor(RGB(255, 255, 255));
    DeleteAllItems();
    HTREEITEM root = InsertNode({}, ns.Desktop(), TVI_ROOT, TVI_FIRST);
    if (root)
        Expand(root, TVE_EXPAND);
}

HTREEITEM CShellTreeCtrl::InsertNode(const ShellIdList& parentFull, const ShellNode& child, HTREEITEM hParent,
                                     HTREEITEM hAfter)
{
    ShellIdList full = parentFull;
    full.push_back(child);
    auto record = std::make_unique<CShellTreeItem>(std::move(full));
    const CShellTreeItem* key = record.get();
    TVINSERTSTRUCT ins;
    ins.hParent = hParent;
    ins.hInsertAfter = hAfter;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    ins.item.pszText = child.name.c_str();
    ins.item.iImage = CShellNamespace::IconIndex(child, false);
    ins.item.iSelectedImage = CShellNamespace::IconIndex(child, true);
    ins.item.lParam = LPARAM(key);
    // The expand button shows before the children are read.
    ins.item.cChildren = CShellNamespace::Instance().HasSubFolders(child) ? 1 : 0;
    m_nodes.emplace(key, std::move(record));
    HTREEITEM item = CTreeCtrl::InsertItem(&ins);
    if (!item)
        m_nodes.erase(key);
    return item;
}

const CShellTreeItem* CShellTreeCtrl::GetItemNode(HTREEITEM hItem) const
{
    if (!hItem)
        return nullptr;
    const auto* key = reinterpret_cast<const CShellTreeItem*>(GetItemData(hItem));
    return m_nodes.count(key) ? key : nullptr;
}

BOOL CShellTreeCtrl::GetItemPath(HTREEITEM hItem, std::string& path, BOOL& bFileSystem) const
{
    path.clear();
    bFileSystem = FALSE;
    const CShellTreeItem* node = GetItemNode(hItem);
    if (!node || !node->Node().IsFileSystem())
        return FALSE;
    bFileSystem = TRUE;
    path = node->Node().path;
    return TRUE;
}

BOOL CShellTreeCtrl::IsPlainFolder(HTREEITEM hItem) const
{
    const CShellTreeItem* node = GetItemNode(hItem);
    return node && node->ParentFolder() && node->Node().kind == ShellNodeKind::folder && node->Node().IsFileSystem() &&
           !node->Node().fixed && !CShellNamespace::Instance().IsPlace(node->Node().path);
}

HTREEITEM CShellTreeCtrl::FindChildByPath(HTREEITEM hParent, const std::string& path) const
{
    for (HTREEITEM child = GetChildItem(hParent); child; child = GetNextSiblingItem(child)) {
        const CShellTreeItem* node = GetItemNode(child);
        if (node && node->Node().path == path)
            return child;
    }
    return nullptr;
}

BOOL CShellTreeCtrl::SelectChildByPath(HTREEITEM hParent, const std::string& path)
{
    HTREEITEM child = FindChildByPath(hParent, path);
    return child ? SelectItem(child) : FALSE;
}

// ---------------------------------------------------------------------------
// Children

void CShellTreeCtrl::OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
    HTREEITEM item = nm->itemNew.hItem;
    *pResult = 0;
    CWaitCursor wait;
    if (nm->action == TVE_COLLAPSE) {
        if (!GetChildItem(item)) {
            TVITEM tv;
            tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
            tv.hItem = item;
            tv.cChildren = 0;
            SetItem(&tv);
        }
        return;
    }
    // A node whose children were never read is read now; so is one that found
    // none before, since a folder may have come into it since.
    if (nm->action == TVE_EXPAND && (!(GetItemState(item, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE) || !GetChildItem(item)))
        FillChildren(item);
}

void CShellTreeCtrl::OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
    if (nm->itemOld.hItem == m_hRightClickItem)
        m_hRightClickItem = nullptr;
    m_nodes.erase(reinterpret_cast<const CShellTreeItem*>(nm->itemOld.lParam));
    *pResult = 0;
}

BOOL CShellTreeCtrl::DiffChildren(HTREEITEM hItem, std::vector<ShellNode>& fresh, std::vector<HTREEITEM>& stale) const
{
    fresh.clear();
    stale.clear();
    const CShellTreeItem* node = GetItemNode(hItem);
    if (!node)
        return FALSE;
    std::vector<HTREEITEM> listed;
    for (HTREEITEM child = GetChildItem(hItem); child; child = GetNextSiblingItem(child))
        listed.push_back(child);
    std::vector<ShellNode> found;
    if (!CShellNamespace::Instance().EnumFolders(node->Node(), found))
        return FALSE;
    for (const ShellNode& f : found) {
        auto match = std::find_if(listed.begin(), listed.end(), [&](HTREEITEM child) {
            const CShellTreeItem* c = GetItemNode(child);
            return c && c->Node().SameItem(f);
        });
        if (match != listed.end())
            listed.erase(match);
        else
            fresh.push_back(f);
    }
    stale = std::move(listed);
    return TRUE;
}

void CShellTreeCtrl::InsertFresh(HTREEITEM hItem, const std::vector<ShellNode>& fresh)
{
    const CShellTreeItem* node = GetItemNode(hItem);
    if (!node)
        return;
    const ShellIdList parentFull = node->FullIdList();
    HTREEITEM after = TVI_LAST;
    for (const ShellNode& f : fresh)
        if (HTREEITEM inserted = InsertNode(parentFull, f, hItem, after))
            after = inserted;
}

void CShellTreeCtrl::DeleteStale(const std::vector<HTREEITEM>& stale)
{
    for (HTREEITEM item : stale) {
        // A selection in a folder that has gone moves to the root.
        for (HTREEITEM sel = GetSelectedItem(); sel; sel = GetParentItem(sel))
            if (sel == item) {
                SelectItem(GetRootItem());
                break;
            }
        DeleteItem(item);
    }
}

void CShellTreeCtrl::DeleteChildren(HTREEITEM hItem)
{
    Expand(hItem, TVE_COLLAPSE | TVE_COLLAPSERESET);
    TVITEM tv;
    tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = hItem;
    tv.cChildren = 0;
    SetItem(&tv);
}

void CShellTreeCtrl::FillChildren(HTREEITEM hItem)
{
    CWaitCursor wait;
    std::vector<ShellNode> fresh;
    std::vector<HTREEITEM> stale;
    if (!DiffChildren(hItem, fresh, stale) || (fresh.empty() && stale.empty())) {
        // An empty folder loses its expand button.
        DeleteChildren(hItem);
        return;
    }
    InsertFresh(hItem, fresh);
    DeleteStale(stale);
    SortChildren(hItem);
}

void CShellTreeCtrl::SortChildren(HTREEITEM hItem)
{
    TVSORTCB sort;
    sort.hParent = hItem;
    sort.lpfnCompare = CompareNodes;
    SortChildrenCB(&sort);
}

void CShellTreeCtrl::UpdateItem(HTREEITEM hItem, BOOL, const std::string& path)
{
    const CShellTreeItem* node = GetItemNode(hItem);
    if (!node)
        return;
    // The parent of a folder just made waits for it to be listed, a few looks at most.
    const bool holder = !path.empty() && node->Node().IsFileSystem() && node->Node().path == ParentFolderOf(path);
    const std::string wanted = LastNameOf(path);
    if (GetChildItem(hItem)) {
        std::vector<ShellNode> fresh;
        std::vector<HTREEITEM> stale;
        BOOL ok = FALSE;
        for (int look = 0; look < kMaxHolderLooks; ++look) {
            ok = DiffChildren(hItem, fresh, stale);
            if (!ok || !holder)
                break;
            const auto named = [&](const std::string& p) { return LastNameOf(p) == wanted; };
            bool listed = std::any_of(fresh.begin(), fresh.end(), [&](const ShellNode& f) { return named(f.path); });
            for (HTREEITEM child = GetChildItem(hItem); child && !listed; child = GetNextSiblingItem(child)) {
                const CShellTreeItem* c = GetItemNode(child);
                listed = c && named(c->Node().path) &&
                         std::find(stale.begin(), stale.end(), child) == stale.end();
            }
            if (listed)
                break;
        }
        if (!ok) {
            DeleteChildren(hItem);
        } else if (!fresh.empty() || !stale.empty()) {
            size_t children = 0;
            for (HTREEITEM child = GetChildItem(hItem); child; child = GetNextSiblingItem(child))
                ++children;
            if (stale.size() == children) {
                // Nothing listed is there any more: read again on the next expansion.
                for (HTREEITEM sel = GetSelectedItem(); sel; sel = GetParentItem(sel))
                    if (GetParentItem(sel) == hItem) {
                        SelectItem(GetRootItem());
                        break;
                    }
                Expand(hItem, TVE_COLLAPSE | TVE_COLLAPSERESET);
            } else {
                DeleteStale(stale);
                InsertFresh(hItem, fresh);
            }
        }
    }
    TVITEM tv;
    tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = hItem;
    tv.cChildren = CShellNamespace::Instance().HasSubFolders(node->Node()) ? 1 : 0;
    SetItem(&tv);
    SortChildren(hItem);
}

void CShellTreeCtrl::RefreshAll(const std::string& path)
{
    CWaitCursor wait;
    CShellNamespace::Instance().Refresh();
    for (HTREEITEM item = GetRootItem(); item; item = GetNextVisibleItem(item))
        UpdateItem(item, FALSE, path);
}

// ---------------------------------------------------------------------------
// Finding a folder

void CShellTreeCtrl::SelectAtTop(HTREEITEM hItem)
{
    SelectItem(hItem);
    SelectSetFirstVisible(hItem);
}

BOOL CShellTreeCtrl::SelectPath(const std::string& rawPath)
{
    const ShellIdList full = CShellNamespace::Instance().ParsePath(rawPath);
    if (full.empty())
        return FALSE;
    const std::string& path = full.back().path;
    HTREEITEM root = GetRootItem();
    if (!root)
        return FALSE;
    if (full.size() == 1) {
        SelectAtTop(root);
        return TRUE;
    }
    // Exact names first, along the tree and then along the namespace; a name
    // in another case only when neither finds the folder.
    return FindAndSelect(root, path, FALSE) || SelectByIdLevels(full) || FindAndSelect(root, path, TRUE);
}

BOOL CShellTreeCtrl::FindAndSelect(HTREEITEM hStart, const std::string& target, BOOL bIgnoreCase)
{
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = GetChildItem(hStart); child; child = GetNextSiblingItem(child))
        children.push_back(child);
    auto pathOf = [this](HTREEITEM item) {
        const CShellTreeItem* node = GetItemNode(item);
        return node ? node->Node().path : std::string();
    };
    if (!bIgnoreCase) {
        // Names are bytes: the folder itself, or the way down to it.
        for (HTREEITEM child : children) {
            const std::string path = pathOf(child);
            if (path.empty())
                continue;
            if (path == target) {
                SelectAtTop(child);
                return TRUE;
            }
            if (IsUnder(target, path)) {
                Expand(child, TVE_EXPAND);
                if (FindAndSelect(child, target, FALSE))
                    return TRUE;
            }
        }
        return FALSE;
    }
    // A name in another case (a file system that ignores case) is taken only
    // where no other name matches it as well.
    std::vector<HTREEITEM> same, above;
    for (HTREEITEM child : children) {
        const std::string path = pathOf(child);
        if (path.empty())
            continue;
        if (SameIgnoringCase(path, target))
            same.push_back(child);
        else if (IsUnderIgnoringCase(target, path))
            above.push_back(child);
    }
    if (same.size() == 1 && above.empty()) {
        SelectAtTop(same.front());
        return TRUE;
    }
    if (same.empty() && above.size() == 1) {
        Expand(above.front(), TVE_EXPAND);
        return FindAndSelect(above.front(), target, TRUE);
    }
    return FALSE;
}

BOOL CShellTreeCtrl::SelectByIdLevels(const ShellIdList& full)
{
    size_t built = 1;
    for (HTREEITEM item = GetRootItem(); item; item = GetNextVisibleItem(item)) {
        const CShellTreeItem* node = GetItemNode(item);
        if (!node || node->FullIdList().size() != built)
            continue;
        bool same = true;
        for (size_t i = 0; i < built && same; ++i)
            same = node->FullIdList()[i].SameItem(full[i]);
        if (!same)
            continue;
        if (built == full.size()) {
            SelectAtTop(item);
            return TRUE;
        }
        ++built;
        Expand(item, TVE_EXPAND);
    }
    return FALSE;
}

// ---------------------------------------------------------------------------

void CShellTreeCtrl::OnRButtonDown(UINT, CPoint point)
{
    // The owner shows its own menu (WM_CONTEXTMENU); the tree only notes the item.
    m_hRightClickItem = HitTest(point);
    if (m_bSelectOnRightClick && m_hRightClickItem)
        SelectItem(m_hRightClickItem);
}
