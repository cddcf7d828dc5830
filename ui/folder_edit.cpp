#include "ui/folder_edit.h"

#include "ui/shell_tree_ctrl.h"
#include "platform/framework/message_box.h"
#include "util/path_util.h"
#include "platform/file.h"
#include "platform/path.h"
#include "resources/string_ids.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <system_error>

namespace {

// Past this many numbered names something else is wrong with the folder.
constexpr int kMaxNewFolderNumber = 100000;

bool Exists(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}


} // namespace

std::string MakeNewFolder(const std::string& parent, const std::string& baseName)
{
    const std::string base = JoinPath(parent, baseName);
    for (int n = 0; n <= kMaxNewFolderNumber; ++n) {
        const std::string candidate = n == 0 ? base : base + "(" + std::to_string(n) + ")";
        if (::mkdir(candidate.c_str(), 0777) == 0)
            return candidate;
        if (errno != EEXIST) {
            AfxMessageBox(std::system_category().message(errno), MB_ICONEXCLAMATION);
            return {};
        }
    }
    AfxMessageBox(std::system_category().message(EEXIST), MB_ICONEXCLAMATION);
    return {};
}

FolderRename RenameFolder(const std::string& oldPath, const std::string& typedName, std::string& newPath)
{
    newPath = oldPath;
    std::string name = typedName;
    if (HasInvalidFileNameChar(name)) {
        AfxMessageBox(IDS_INVALID_NAME_CHARS, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    // "." and ".." would name the folder itself or its parent.
    if (name.empty()) {
        AfxMessageBox(IDS_INVALID_NAME_CHARS, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    const std::string parent = ParentFolderOf(oldPath);
    const std::string target = JoinPath(parent.empty() ? std::string("/") : parent, name);
    if (target == oldPath)
        return FolderRename::unchanged;
    if (target.size() >= PATH_MAX || name.size() > NAME_MAX) {
        AfxMessageBox(IDS_PATH_TOO_LONG, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    if (Exists(target)) {
        AfxMessageBox(IDS_FOLDER_EXISTS, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    const int error = RenameNoReplace(oldPath, target);
    if (error == EEXIST || error == ENOTEMPTY) {
        AfxMessageBox(IDS_FOLDER_EXISTS, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    if (error != 0) {
        AfxMessageBox(IDS_FOLDER_RENAME_FAILED, MB_ICONEXCLAMATION);
        return FolderRename::refused;
    }
    newPath = target;
    return FolderRename::renamed;
}

std::string MakeNewFolderIn(CShellTreeCtrl& tree, HTREEITEM hParent, const std::string& baseName)
{
    std::string folder;
    BOOL fileSystem = FALSE;
    if (!tree.GetItemPath(hParent, folder, fileSystem))
        return {};
    const std::string created = MakeNewFolder(folder, baseName);
    if (created.empty())
        return {};
    tree.RefreshAll(created);
    tree.Expand(hParent, TVE_EXPAND);
    tree.SelectChildByPath(hParent, created);
    return created;
}

FolderRename RenameEditedFolder(CShellTreeCtrl& tree, const NMTVDISPINFO& info, std::string& newPath)
{
    std::string oldPath;
    BOOL fileSystem = FALSE;
    if (!info.item.hItem || !info.item.pszText || !tree.IsPlainFolder(info.item.hItem) ||
        !tree.GetItemPath(info.item.hItem, oldPath, fileSystem))
        return FolderRename::unchanged;
    return RenameFolder(oldPath, info.item.pszText, newPath);
}
