#include "platform/shell_namespace.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

ShellNode Folder(const std::string& path)
{
    ShellNode node;
    node.path = path;
    node.name = path.substr(path.find_last_of('/') + 1);
    return node;
}

std::vector<std::string> Names(std::vector<ShellNode> nodes)
{
    std::sort(nodes.begin(), nodes.end(), [](const ShellNode& a, const ShellNode& b) {
        return CShellNamespace::Compare(a, b) < 0;
    });
    std::vector<std::string> names;
    for (const ShellNode& n : nodes)
        names.push_back(n.name);
    return names;
}

class ShellNamespaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "home/Desktop/On the desktop");
        fs::create_directories(dir / "home/Pictures");
        fs::create_directories(dir / "home/b-folder");
        fs::create_directories(dir / "home/A-folder");
        fs::create_directories(dir / "home/.hidden");
        fs::create_directories(dir / "net/empty");
        fs::create_directories(dir / "usb/DCIM");
        fs::create_directory_symlink(dir / "home/Pictures", dir / "home/link-to-pictures");
        qrtest::WriteBytes(dir / "home/file.txt", {'x'});
        places.home = (dir / "home").string();
        places.desktop = (dir / "home/Desktop").string();
        places.userFolders.push_back({(dir / "home/Pictures").string(), "folder-pictures"});
        places.mounts = {{"/dev/vda", "/", "ext4"},
                         {"proc", "/proc", "proc"},
                         {"tmpfs", "/tmp", "tmpfs"},
                         {"server:/share", (dir / "net").string(), "nfs4"},
                         {"/dev/sdb1", (dir / "usb").string(), "vfat"},
                         {"/dev/sdc1", "/run/user/1000/doc", "fuse.portal"}};
        previous = ns.SetPlaces(places);
    }
    void TearDown() override { ns.SetPlaces(previous); }

    qrtest::TempDir dir;
    ShellPlaces places;
    std::optional<ShellPlaces> previous;
    CShellNamespace& ns = CShellNamespace::Instance();
};

TEST_F(ShellNamespaceTest, TheDesktopHoldsThePlacesThenItsOwnFolders)
{
    const ShellNode desktop = ns.Desktop();
    EXPECT_EQ(desktop.path, places.desktop);
    std::vector<ShellNode> children;
    ASSERT_TRUE(ns.EnumFolders(desktop, children));
    EXPECT_EQ(Names(children), (std::vector<std::string>{"Home", "Pictures", "Computer", "On the desktop"}));

    std::vector<ShellNode> volumes;
    ASSERT_TRUE(ns.EnumFolders(ns.Computer(), volumes));
    // Kernel views, memory file systems and the system's own mounts are no volumes.
    EXPECT_EQ(Names(volumes), (std::vector<std::string>{"File System", "net", "usb"}));
    EXPECT_FALSE(ns.Computer().IsFileSystem());
}

TEST_F(ShellNamespaceTest, FoldersListTheirVisibleSubFoldersOnly)
{
    std::vector<ShellNode> children;
    ASSERT_TRUE(ns.EnumFolders(Folder(places.home), children));
    EXPECT_EQ(Names(children),
              (std::vector<std::string>{"A-folder", "b-folder", "Desktop", "link-to-pictures", "Pictures"}));
    // A place met while browsing keeps its look.
    auto pictures = std::find_if(children.begin(), children.end(), [](const ShellNode& n) { return n.name == "Pictures"; });
    EXPECT_EQ(pictures->icon, "folder-pictures");
    EXPECT_FALSE(ns.EnumFolders(Folder((dir / "missing").string()), children));
}

TEST_F(ShellNamespaceTest, SubFoldersAreLookedForExceptOnNetworkFileSystems)
{
    EXPECT_TRUE(ns.HasSubFolders(Folder(places.home)));
    EXPECT_FALSE(ns.HasSubFolders(Folder(places.home + "/A-folder")));
    EXPECT_TRUE(ns.HasSubFolders(Folder((dir / "usb").string())));
    // The network folder is empty, but a slow server is not asked.
    EXPECT_TRUE(ns.HasSubFolders(Folder((dir / "net/empty").string())));
    EXPECT_TRUE(ns.HasSubFolders(ns.Computer()));
}

TEST_F(ShellNamespaceTest, PathsParseThroughTheVolumeTheyLieOn)
{
    const ShellIdList usb = ns.ParsePath((dir / "usb/DCIM/").string());
    ASSERT_EQ(usb.size(), 4u);
    EXPECT_EQ(usb[1].kind, ShellNodeKind::computer);
    EXPECT_EQ(usb[2].path, (dir / "usb").string());
    EXPECT_EQ(usb[3].path, (dir / "usb/DCIM").string());

    const ShellIdList home = ns.ParsePath(places.home + "/A-folder");
    ASSERT_GE(home.size(), 4u);
    EXPECT_EQ(home[2].path, "/");
    EXPECT_EQ(home.back().name, "A-folder");

    EXPECT_EQ(ns.ParsePath(places.desktop).size(), 1u);
    EXPECT_TRUE(ns.ParsePath(places.home + "/file.txt").empty());
    EXPECT_TRUE(ns.ParsePath("relative/path").empty());
}

TEST_F(ShellNamespaceTest, PlacesAreKnownWhereverTheyAreMet)
{
    for (const std::string& p : {places.home, places.desktop, places.userFolders[0].path, std::string("/"),
                                 (dir / "usb").string()})
        EXPECT_TRUE(ns.IsPlace(p)) << p;
    for (const std::string& p : {places.home + "/A-folder", (dir / "usb/DCIM").string(), std::string()})
        EXPECT_FALSE(ns.IsPlace(p)) << p;
}

} // namespace
