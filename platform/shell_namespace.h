#pragma once

#include "platform/mount_table.h"
#include "platform/shell.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The folders the program's folder trees show: a namespace of our own in
// place of the desktop shell's, with the desktop on top.
//
//   Desktop        the user's desktop folder (a place of its own when there is none)
//     Home         the home folder
//     Documents .. the desktop's user folders that exist
//     Computer     the file-system root and every mounted volume that is not
//                  a kernel view or a memory file system
//     ...          the desktop folder's own sub-folders
//
// Below those, folders hold their sub-folders. Hidden folders (names that
// start with '.') are left out, as the desktop's file managers do; so are
// the trash and network places.

enum class ShellNodeKind : uint8_t { desktop, computer, folder };

// One item of the namespace: a folder, or a place of the namespace's own.
struct ShellNode {
    ShellNodeKind kind = ShellNodeKind::folder;
    std::string path; // the folder; empty for a place that is no folder
    std::string name; // what a tree shows
    std::string icon; // the theme's icon name
    ShellIconKind iconFallback = ShellIconKind::folder;
    // A place the namespace puts there (home, user folders, volumes): its
    // folder belongs to the user or the system and is not renamed from a tree.
    bool fixed = false;
    // Its place among its siblings before names count (the desktop's own places first).
    int rank = 0;

    bool IsFileSystem() const { return !path.empty(); }
    // The same item: the same place, or the same folder byte for byte.
    bool SameItem(const ShellNode& other) const { return kind == other.kind && path == other.path; }
};

// An item and every item above it, from the desktop down.
using ShellIdList = std::vector<ShellNode>;

// Where the namespace finds the user's places.
struct ShellPlaces {
    std::string home;
    std::string desktop; // empty when the user has no desktop folder
    struct UserFolder {
        std::string path;
        std::string icon;
    };
    std::vector<UserFolder> userFolders; // in the order they are shown
    std::vector<MountEntry> mounts;
};
// The places of the running session: the home folder, the XDG user folders
// that exist and the mount table.
ShellPlaces ReadShellPlaces();

// The namespace of the process; used on the GUI thread.
class CShellNamespace {
public:
    static CShellNamespace& Instance();

    // Tests give places of their own; nullopt goes back to the session's.
    // Returns the places given before (nullopt: none were).
    std::optional<ShellPlaces> SetPlaces(std::optional<ShellPlaces> places);
    // Reads the session's places again (volumes come and go).
    void Refresh();
    const ShellPlaces& Places() const { return m_places; }

    ShellNode Desktop() const;
    ShellNode Computer() const;
    // The folders inside a node, in no set order; false when the node cannot be read.
    bool EnumFolders(const ShellNode& node, std::vector<ShellNode>& out) const;
    // Whether the node holds a folder. Listing stops at the first one; on a
    // network or FUSE file system the answer is yes without listing, since
    // its server may be slow or away.
    bool HasSubFolders(const ShellNode& node) const;
    // The items from the desktop to an existing folder: the desktop itself
    // for the desktop folder, else through Computer and the volume the folder
    // lies on. Empty when the path is no folder.
    ShellIdList ParsePath(const std::string& path) const;

    // Whether the folder is one of the namespace's places wherever it is met:
    // the desktop, home, a user folder, the file-system root or a volume.
    bool IsPlace(const std::string& path) const;

    // The order of siblings: rank, then name without regard to case, then bytes.
    static int Compare(const ShellNode& a, const ShellNode& b);
    // The node's icon in the shell's icon list; open: the look of a folder
    // that is the selection.
    static int IconIndex(const ShellNode& node, bool open);

private:
    ShellNode FolderNode(const std::string& path, const std::string& name) const;
    std::vector<ShellNode> Volumes() const;

    ShellPlaces m_places;
    std::optional<ShellPlaces> m_given;
    bool m_read = false;
};
