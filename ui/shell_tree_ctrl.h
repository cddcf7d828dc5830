#pragma once

#include "platform/framework/tree_ctrl.h"
#include "platform/shell_namespace.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The record behind every item of a CShellTreeCtrl: the item's node and
// every node above it, from the desktop down.
class CShellTreeItem {
public:
    explicit CShellTreeItem(ShellIdList full) : m_full(std::move(full)) {}
    const ShellIdList& FullIdList() const { return m_full; }
    const ShellNode& Node() const { return m_full.back(); }
    // The folder the item was listed in; null for the root.
    const ShellNode* ParentFolder() const { return m_full.size() > 1 ? &m_full[m_full.size() - 2] : nullptr; }

private:
    ShellIdList m_full;
};

// The folders of the desktop's namespace as a tree: folders only, each
// node's children read the first time it is expanded, the desktop's icons,
// a file-system path found and selected level by level, and the shown nodes
// brought up to date with the disk on request. The browser's folder pane
// and the folder dialogs host it.
class CShellTreeCtrl : public CTreeCtrl {
    DECLARE_MESSAGE_MAP()
public:
    CShellTreeCtrl();
    ~CShellTreeCtrl() override;

    // Roots the tree at the desktop (the only root there is: nRootFolder 0)
    // and expands the root one level. After the window exists.
    void Init(int nRootFolder = 0, BOOL bUnused = TRUE);
    // Expands the tree along the path of an existing folder and selects it
    // (TVN_SELCHANGED reaches the owner). Folder names are matched byte for
    // byte; a name that differs in case only is taken when it is the only one.
    BOOL SelectPath(const std::string& path);
    // Brings every shown node up to date with the disk: folders made
    // elsewhere appear, removed ones go. path: a folder just made or renamed,
    // which its parent waits a little to see listed.
    void RefreshAll(const std::string& path = {});
    // Re-reads one node's sub-folders and whether it has any.
    void UpdateItem(HTREEITEM hItem, BOOL bWithChildren, const std::string& path = {});

    const CShellTreeItem* GetItemNode(HTREEITEM hItem) const;
    // The item's folder: TRUE with its path when it is a file-system folder;
    // FALSE (and an empty path) for the namespace's own places and no item.
    BOOL GetItemPath(HTREEITEM hItem, std::string& path, BOOL& bFileSystem) const;
    // A plain sub-folder: the only kind a tree renames, deletes or drags
    // away. Never the root, Computer, Home, the user folders or a volume,
    // which are the user's or the system's own places.
    BOOL IsPlainFolder(HTREEITEM hItem) const;
    // The child whose folder is the path (byte for byte), or null.
    HTREEITEM FindChildByPath(HTREEITEM hParent, const std::string& path) const;
    // Selects that child; FALSE when there is none.
    BOOL SelectChildByPath(HTREEITEM hParent, const std::string& path);

    // The item the right button last went down on (null when it hit none).
    HTREEITEM GetRightClickItem() const { return m_hRightClickItem; }
    void ClearRightClickItem() { m_hRightClickItem = nullptr; }
    // Whether a right click also selects (the folder dialogs' way; the pane's is not).
    void SetSelectOnRightClick(BOOL bSelect) { m_bSelectOnRightClick = bSelect; }

    // How often a refresh looks again for a folder just made before it goes on without it.
    static constexpr int kMaxHolderLooks = 8;

protected:
    void OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
    void OnRButtonDown(UINT nFlags, CPoint point) override;

private:
    HTREEITEM InsertNode(const ShellIdList& parentFull, const ShellNode& child, HTREEITEM hParent, HTREEITEM hAfter);
    BOOL DiffChildren(HTREEITEM hItem, std::vector<ShellNode>& fresh, std::vector<HTREEITEM>& stale) const;
    void FillChildren(HTREEITEM hItem);
    void DeleteChildren(HTREEITEM hItem);
    void InsertFresh(HTREEITEM hItem, const std::vector<ShellNode>& fresh);
    void DeleteStale(const std::vector<HTREEITEM>& stale);
    void SortChildren(HTREEITEM hItem);
    BOOL FindAndSelect(HTREEITEM hStart, const std::string& target, BOOL bIgnoreCase);
    BOOL SelectByIdLevels(const ShellIdList& full);
    void SelectAtTop(HTREEITEM hItem);

    std::unordered_map<const CShellTreeItem*, std::unique_ptr<CShellTreeItem>> m_nodes;
    BOOL m_bSelectOnRightClick = TRUE;
    HTREEITEM m_hRightClickItem = nullptr;
};
