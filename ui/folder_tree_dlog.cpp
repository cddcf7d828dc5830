#include "ui/folder_tree_dlog.h"

#include "ui/folder_edit.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

BEGIN_MESSAGE_MAP(CFolderTreeDlog, CDialogEx)
    ON_NOTIFY(TVN_SELCHANGED, IDC_FOLDER_TREE, &CFolderTreeDlog::OnTreeSelChanged)
    ON_NOTIFY(TVN_BEGINLABELEDIT, IDC_FOLDER_TREE, &CFolderTreeDlog::OnTreeBeginLabelEdit)
    ON_NOTIFY(TVN_ENDLABELEDIT, IDC_FOLDER_TREE, &CFolderTreeDlog::OnTreeEndLabelEdit)
    ON_BN_CLICKED(IDC_NEW_FOLDER, &CFolderTreeDlog::OnNewFolder)
END_MESSAGE_MAP()

CFolderTreeDlog::CFolderTreeDlog(UINT nIDTemplate, std::string* pResultFolder, CWnd* pParent)
    : CDialogEx(nIDTemplate, pParent), m_pResultFolder(pResultFolder)
{
}

void CFolderTreeDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_wndSelect);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
}

BOOL CFolderTreeDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    m_tree.SubclassDlgItem(IDC_FOLDER_TREE, this);
    m_tree.Init(0, TRUE);
    if (auto* button = dynamic_cast<CButton*>(GetDlgItem(IDC_NEW_FOLDER)))
        button->SetIcon(IDI_NEW_FOLDER);
    UpdateButtons();
    return TRUE;
}

void CFolderTreeDlog::UpdateButtons()
{
    for (int id : {int(IDC_NEW_FOLDER), int(IDOK)})
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(m_bFileSystem);
}

void CFolderTreeDlog::OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* nm = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
    std::string path;
    m_tree.GetItemPath(nm->itemNew.hItem, path, m_bFileSystem);
    if (m_bFileSystem)
        *m_pResultFolder = path;
    else if (!KeepsFolderOnPlaces())
        m_pResultFolder->clear();
    UpdateButtons();
    *pResult = 0;
}

void CFolderTreeDlog::OnTreeBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* info = reinterpret_cast<NMTVDISPINFO*>(pNMHDR);
    // Only plain folders take a new name: renaming the desktop, home or a
    // volume from here would move the user's or the system's own folders.
    if (!m_tree.IsPlainFolder(info->item.hItem)) {
        *pResult = 1;
        return;
    }
    BOOL fileSystem = FALSE;
    m_tree.GetItemPath(info->item.hItem, *m_pResultFolder, fileSystem);
    *pResult = 0;
}

void CFolderTreeDlog::OnTreeEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    std::string newPath;
    if (RenameEditedFolder(m_tree, *reinterpret_cast<NMTVDISPINFO*>(pNMHDR), newPath) != FolderRename::renamed)
        return;
    *m_pResultFolder = newPath;
    m_tree.RefreshAll(newPath);
    m_tree.SelectPath(newPath);
    OnFolderRenamed(newPath);
    *pResult = 1;
}

void CFolderTreeDlog::OnNewFolder()
{
    if (m_bFileSystem)
        MakeNewFolderIn(m_tree, m_tree.GetSelectedItem(), LoadResString(IDS_NEW_FOLDER));
}
