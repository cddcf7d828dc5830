#pragma once

#include "ui/shell_tree_ctrl.h"
#include "platform/framework/ole_drop.h"

#include <string>
#include <vector>

enum : UINT {
    IDC_TREE_PANE_TREE = 2312,
    IDR_TREE_POPUP = 155,
    ID_DIRECTORYCHANGED = 32789,
    ID_FILECOPIED = 32794,
    ID_FILEMOVED = 32797,
    ID_TREE_DELETE = 32788,
    ID_TREE_NEW_FOLDER = 32809,
    ID_TREE_RENAME = 32816,
};

class CTreePane;

// Whether moving or copying the sources into the target folder would put a
// TIFF picture and a raw one of the same name together (their companions
// would mix).
bool HasRawTiffConflict(const std::vector<std::string>& sources, const std::string& target);

// The pane's drop target on its tree: drags that offer one of the accepted
// formats go to the pane.
class CTreeDropTarget : public COleDropTarget {
public:
    std::vector<UINT> m_formats;
    CTreePane* m_pPane = nullptr;

    DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point) override;
    DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pData, DWORD dwKeyState, CPoint point) override;
    BOOL OnDrop(CWnd* pWnd, COleDataObject* pData, DROPEFFECT dropEffect, CPoint point) override;
    void OnDragLeave(CWnd* pWnd) override;
    DROPEFFECT OnDragScroll(CWnd* pWnd, DWORD dwKeyState, CPoint point) override;

private:
    bool Offers(COleDataObject* pData) const;
    bool IsOurTree(CWnd* pWnd) const;
};

// The browser's folder pane: the folder tree, the folder it follows (told to
// the main window as ID_DIRECTORYCHANGED), renaming, making and deleting
// folders in place, dragging folders out, and files dropped or pasted onto a
// folder moved or copied there with their companions.
//
// The pending item is the one last right-clicked: the folder operations
// that are given no item take it once, else the selection.
class CTreePane : public CWnd {
    DECLARE_DYNCREATE(CTreePane)
    DECLARE_MESSAGE_MAP()
public:
    CTreePane();
    ~CTreePane() override;

    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);

    // The format drops and pastes must offer (the browser's path list).
    void SetAcceptedFormat(UINT cf);
    void SelectFolder(const std::string& path);
    std::string GetSelectedFolder();
    std::string GetCurrentFolder() const { return m_strFolder; }
    std::string GetLastNotifiedPath() const { return m_strNotified; }
    BOOL IsFileSystemFolderSelected() const { return m_bFileSystem; }
    CEdit* EditSelectedLabel();
    void RefreshTree(const std::string& path = {}) { m_tree.RefreshAll(path); }
    CEdit* GetEditControl() const { return m_tree.GetEditControl(); }
    CShellTreeCtrl& Tree() { return m_tree; }

    // The first free folder of the series base, base(1), ... in the target folder, selected.
    BOOL NewFolder(const std::string& baseName);
    BOOL DeleteFolder();
    // Moves (mode 2, any mode but 1) or copies (mode 1) the files of the data
    // into the item's folder (null: the pending item, else the selection),
    // with their companions. Files already in that folder, and folders
    // dropped into themselves, are left out; when nothing is left nothing
    // happens (FALSE). pList and pTarget, when given, receive what was done.
    BOOL DropFiles(HTREEITEM hItem, const COleDataObject* pData, UINT nMode, std::vector<std::string>* pList = nullptr,
                   std::string* pTarget = nullptr);
    BOOL GetItemPath(HTREEITEM hItem, std::string& path, BOOL& bFileSystem) const
    {
        return m_tree.GetItemPath(hItem, path, bFileSystem);
    }

    // The drop target's side.
    DROPEFFECT DragOverFolder(COleDataObject* pData, DWORD dwKeyState, CPoint point);
    DROPEFFECT AutoScrollOnDrag(CPoint point);
    BOOL DropOnFolder(COleDataObject* pData, DROPEFFECT dropEffect);
    void EndDragOver();

    static constexpr UINT kPollMs = 300;
    // A drag that rests this long on a folder (within 2 pixels) opens it.
    static constexpr UINT kHoverExpandMs = 600;
    static constexpr int kHoverSlack = 2;
    // A drag this close to the top or bottom edge scrolls, a row every kScrollMs.
    static constexpr int kScrollEdge = 10;
    static constexpr UINT kScrollMs = 100;

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    void OnSetFocus(CWnd* pOld) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeBeginDrag(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditUndo();
    void OnUpdateEditUndo(CCmdUI* pCmdUI);

private:
    enum : UINT_PTR { kPollTimer = 1, kHoverTimer = 2, kScrollTimer = 3 };
    HTREEITEM TakePendingItem();
    void NotifyDirectoryChanged(const std::string& path);
    CWnd* CommandTarget() const;
    void StopDragTimers();

    std::string m_strFolder;
    CShellTreeCtrl m_tree;
    std::string m_strNotified;
    BOOL m_bFileSystem = FALSE;
    CTreeDropTarget m_dropTarget;
    UINT m_cfAccepted = 0;
    BOOL m_bSuppress = FALSE;
    COLORREF m_crBack;
    // A drag over the tree: the item it rests on, where, and the scroll point.
    HTREEITEM m_hHoverItem = nullptr;
    CPoint m_ptHover;
    CPoint m_ptScroll;
};
