#pragma once

#include "ui/folder_tree_dlog.h"

#include <string>

enum : UINT { IDD_SELECT_FOLDER = 3010 };

// Picks the destination folder of Move to Folder and Copy to Folder. The
// result folder is the selected folder's path, empty while the selection is
// no file-system folder. A folder renamed here is announced to the main
// window (ID_DIRECTORYRENAMED), so that the browser follows it.
class CSelectFolderDlog : public CFolderTreeDlog {
public:
    CSelectFolderDlog(CWnd* pParent, std::string& resultFolder, const std::string& caption);
    BOOL OnInitDialog() override;

protected:
    void OnFolderRenamed(const std::string& newPath) override;

private:
    std::string m_strCaption;
};
