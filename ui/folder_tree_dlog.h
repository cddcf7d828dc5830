#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"
#include "ui/shell_tree_ctrl.h"

#include <string>

enum : UINT {
    IDC_FOLDER_TREE = 2105,
    IDC_NEW_FOLDER = 2195,
    IDI_NEW_FOLDER = 4025,
    ID_DIRECTORYRENAMED = 32790,
};

// What the folder dialogs share: the folder tree rooted at the desktop, the
// chosen folder following the selection, New Folder, and renaming a folder
// in place. Select and New Folder are enabled while a file-system folder is
// selected.
class CFolderTreeDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    CShellTreeCtrl& Tree() { return m_tree; }
    BOOL IsFileSystemFolderSelected() const { return m_bFileSystem; }

protected:
    CFolderTreeDlog(UINT nIDTemplate, std::string* pResultFolder, CWnd* pParent);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnTreeEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnNewFolder();

    // Select and New Folder follow the selection.
    virtual void UpdateButtons();
    // Whether the chosen folder stays when a place that is no folder is selected.
    virtual BOOL KeepsFolderOnPlaces() const { return FALSE; }
    virtual void OnFolderRenamed(const std::string& newPath) {}

    CShellTreeCtrl m_tree;
    CButtonEx m_wndSelect;
    CButtonEx m_wndCancel;
    std::string* m_pResultFolder;
    BOOL m_bFileSystem = FALSE;
};
