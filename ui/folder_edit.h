#pragma once

#include "platform/framework/tree_ctrl.h"

#include <string>

class CShellTreeCtrl;

// Making and renaming folders from a folder tree, with the program's messages.

// Makes the first free folder of the series "base", "base(1)", "base(2)", ...
// in the parent folder and answers its path. When it cannot, the system's
// reason is shown and the answer is empty.
std::string MakeNewFolder(const std::string& parent, const std::string& baseName);

enum class FolderRename {
    unchanged, // the same name: nothing done, nothing said
    renamed,
    refused, // told to the user; nothing changed
};
// Gives the folder the name typed, without its trailing dots. Refused with a
// message: a character no file name may hold, a name of dots only (6001), a
// path too long (6214), a name a file or folder has already (6139), or a
// failure of the rename (6016). newPath is the folder's path afterwards.
FolderRename RenameFolder(const std::string& oldPath, const std::string& typedName, std::string& newPath);

// The same on a folder tree.

// Makes the new folder in the item's folder, brings the tree up to date and
// selects it there. Empty when the item is no file-system folder or the
// folder could not be made (then told).
std::string MakeNewFolderIn(CShellTreeCtrl& tree, HTREEITEM hParent, const std::string& baseName);
// The end of a label edit: renames the item's folder to the text typed,
// when the edit was not cancelled and the item is a plain folder (the
// user's and the system's places are never renamed).
FolderRename RenameEditedFolder(CShellTreeCtrl& tree, const NMTVDISPINFO& info, std::string& newPath);
