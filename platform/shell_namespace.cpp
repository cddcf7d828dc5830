#include "platform/shell_namespace.h"

#include "platform/path.h"

#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>

namespace {

// Ranks of the desktop's own places; the desktop folder's sub-folders come after.
constexpr int kRankHome = 0;
constexpr int kRankUserFolder = 1;
constexpr int kRankComputer = 2;
constexpr int kRankFolder = 10;

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string StripTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsUnder(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path.front() == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// Mount points the system keeps for itself; volumes a user plugs in show
// under /run/media and /media.
bool IsSystemMountPoint(const std::string& mountPoint)
{
    if (IsUnder(mountPoint, "/run/media"))
        return false;
    for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker", "/var/snap"})
        if (mountPoint == system || IsUnder(mountPoint, system))
            return true;
    return false;
}

// Lists a folder's visible sub-folders; stops early when asked to.
template <class F> bool ForEachSubFolder(const std::string& folder, F&& onFolder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue;
        bool folderEntry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            folderEntry = IsFolder(Join(folder, name));
        if (folderEntry && !onFolder(std::string(name)))
            break;
    }
    ::closedir(dir);
    return true;
}

} // namespace

ShellPlaces ReadShellPlaces()
{
    ShellPlaces places;
    places.home = StripTrailingSlashes(QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString());
    const std::string desktop =
        StripTrailingSlashes(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString());
    // A desktop that is the home folder itself (no desktop configured) is no desktop folder.
    if (!desktop.empty() && desktop != places.home && IsFolder(desktop))
        places.desktop = desktop;
    const std::pair<QStandardPaths::StandardLocation, const char*> folders[] = {
        {QStandardPaths::DocumentsLocation, "folder-documents"}, {QStandardPaths::DownloadLocation, "folder-download"},
        {QStandardPaths::MusicLocation, "folder-music"},         {QStandardPaths::PicturesLocation, "folder-pictures"},
        {QStandardPaths::MoviesLocation, "folder-videos"},
    };
    for (const auto& [location, icon] : folders) {
        const std::string path = StripTrailingSlashes(QStandardPaths::writableLocation(location).toStdString());
        if (path.empty() || path == places.home || path == places.desktop || !IsFolder(path))
            continue;
        if (std::any_of(places.userFolders.begin(), places.userFolders.end(),
                        [&](const ShellPlaces::UserFolder& f) { return f.path == path; }))
            continue;
        places.userFolders.push_back({path, icon});
    }
    places.mounts = ReadMountTable();
    return places;
}

CShellNamespace& CShellNamespace::Instance()
{
    static CShellNamespace instance;
    if (!instance.m_read)
        instance.Refresh();
    return instance;
}

std::optional<ShellPlaces> CShellNamespace::SetPlaces(std::optional<ShellPlaces> places)
{
    std::optional<ShellPlaces> previous = std::exchange(m_given, std::move(places));
    Refresh();
    return previous;
}

void CShellNamespace::Refresh()
{
    m_places = m_given ? *m_given : ReadShellPlaces();
    m_read = true;
}

ShellNode CShellNamespace::Desktop() const
{
    ShellNode node;
    node.kind = ShellNodeKind::desktop;
    node.path = m_places.desktop;
    node.name = "Desktop";
    node.icon = "user-desktop";
    node.iconFallback = ShellIconKind::desktop;
    node.fixed = true;
    return node;
}

ShellNode CShellNamespace::Computer() const
{
    ShellNode node;
    node.kind = ShellNodeKind::computer;
    node.name = "Computer";
    node.icon = "computer";
    node.iconFallback = ShellIconKind::computer;
    node.fixed = true;
    node.rank = kRankComputer;
    return node;
}

ShellNode CShellNamespace::FolderNode(const std::string& path, const std::string& name) const
{
    ShellNode node;
    node.path = path;
    node.name = name;
    node.icon = "folder";
    node.rank = kRankFolder;
    // A user's place met while browsing looks as it does on the desktop.
    if (path == m_places.home)
        node.icon = "user-home";
    else if (path == m_places.desktop)
        node.icon = "user-desktop";
    for (const ShellPlaces::UserFolder& f : m_places.userFolders)
        if (f.path == path)
            node.icon = f.icon;
    return node;
}

std::vector<ShellNode> CShellNamespace::Volumes() const
{
    std::vector<ShellNode> volumes;
    ShellNode root = FolderNode("/", "File System");
    root.icon = "drive-harddisk";
    root.iconFallback = ShellIconKind::drive;
    root.fixed = true;
    root.rank = 0;
    volumes.push_back(root);
    for (const MountEntry& m : m_places.mounts) {
        const std::string& point = m.mountPoint;
        if (point == "/" || IsPseudoFileSystem(m.type) || IsSystemMountPoint(point))
            continue;
        const bool remote = IsRemoteFileSystem(m.type);
        // Files mounted over files (a container's /etc/hosts) are no volumes;
        // a remote one is not asked, since its server may be away.
        if (!remote && !IsFolder(point))
            continue;
        // A point mounted twice is one volume: the last mount is what shows there.
        auto same = std::find_if(volumes.begin(), volumes.end(), [&](const ShellNode& v) { return v.path == point; });
        ShellNode v = FolderNode(point, LastNameOf(point));
        v.fixed = true;
        v.rank = 1;
        v.iconFallback = ShellIconKind::drive;
        if (remote)
            v.icon = "folder-remote";
        else if (IsUnder(point, "/media") || IsUnder(point, "/run/media"))
            v.icon = "drive-removable-media";
        else
            v.icon = "drive-harddisk";
        if (same != volumes.end())
            *same = v;
        else
            volumes.push_back(v);
    }
    return volumes;
}

bool CShellNamespace::EnumFolders(const ShellNode& node, std::vector<ShellNode>& out) const
{
    switch (node.kind) {
    case ShellNodeKind::desktop: {
        ShellNode home = FolderNode(m_places.home, "Home");
        home.fixed = true;
        home.rank = kRankHome;
        home.icon = "user-home";
        if (!m_places.home.empty())
            out.push_back(home);
        for (const ShellPlaces::UserFolder& f : m_places.userFolders) {
            ShellNode n = FolderNode(f.path, LastNameOf(f.path));
            n.fixed = true;
            n.rank = kRankUserFolder;
            out.push_back(n);
        }
        out.push_back(Computer());
        if (node.path.empty())
            return true;
        break;
    }
    case ShellNodeKind::computer: {
        std::vector<ShellNode> volumes = Volumes();
        out.insert(out.end(), volumes.begin(), volumes.end());
        return true;
    }
    case ShellNodeKind::folder: break;
    }
    return ForEachSubFolder(node.path, [&](const std::string& name) {
        out.push_back(FolderNode(Join(node.path, name), name));
        return true;
    });
}

bool CShellNamespace::HasSubFolders(const ShellNode& node) const
{
    if (node.kind != ShellNodeKind::folder)
        return true;
    if (const MountEntry* m = FindMountOf(m_places.mounts, node.path); m && IsRemoteFileSystem(m->type))
        return true;
    bool found = false;
    ForEachSubFolder(node.path, [&](const std::string&) {
        found = true;
        return false;
    });
    return found;
}

ShellIdList CShellNamespace::ParsePath(const std::string& rawPath) const
{
    const std::string path = StripTrailingSlashes(rawPath);
    if (path.empty() || path.front() != '/' || !IsFolder(path))
        return {};
    ShellIdList list{Desktop()};
    if (path == m_places.desktop)
        return list;
    list.push_back(Computer());
    // Through the volume the folder lies on: the deepest one that holds it.
    const std::vector<ShellNode> volumes = Volumes();
    const ShellNode* volume = &volumes.front();
    for (const ShellNode& v : volumes)
        if ((v.path == path || IsUnder(path, v.path)) && v.path.size() > volume->path.size())
            volume = &v;
    list.push_back(*volume);
    std::string at = volume->path;
    size_t pos = at == "/" ? 1 : at.size() + 1;
    while (pos < path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        if (end > pos) {
            const std::string name = path.substr(pos, end - pos);
            at = Join(at, name);
            list.push_back(FolderNode(at, name));
        }
        pos = end + 1;
    }
    return list;
}

bool CShellNamespace::IsPlace(const std::string& path) const
{
    if (path.empty())
        return false;
    if (path == m_places.home || path == m_places.desktop)
        return true;
    for (const ShellPlaces::UserFolder& f : m_places.userFolders)
        if (f.path == path)
            return true;
    const std::vector<ShellNode> volumes = Volumes();
    return std::any_of(volumes.begin(), volumes.end(), [&](const ShellNode& v) { return v.path == path; });
}

int CShellNamespace::Compare(const ShellNode& a, const ShellNode& b)
{
    if (a.rank != b.rank)
        return a.rank < b.rank ? -1 : 1;
    const int byName = QString::fromStdString(a.name).compare(QString::fromStdString(b.name), Qt::CaseInsensitive);
    if (byName != 0)
        return byName < 0 ? -1 : 1;
    const int byBytes = a.name.compare(b.name);
    return byBytes < 0 ? -1 : byBytes > 0 ? 1 : 0;
}

int CShellNamespace::IconIndex(const ShellNode& node, bool open)
{
    if (open && node.icon == "folder")
        return CShellImageList::IndexForThemeIcon("folder-open", node.iconFallback);
    return CShellImageList::IndexForThemeIcon(node.icon, node.iconFallback);
}
