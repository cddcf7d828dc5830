#include "ui/shell_tree_ctrl.h"
#include "support/shell_places.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The tree's window: it records the selections the tree announces.
class Host : public CWnd {
public:
    std::vector<HTREEITEM> selections;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (CWnd::OnNotify(wParam, lParam, pResult))
            return TRUE;
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->code == TVN_SELCHANGED)
            selections.push_back(reinterpret_cast<NMTREEVIEW*>(lParam)->itemNew.hItem);
        return FALSE;
    }
};

// A home of its own with a few folders.
class ShellTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "home/Pictures/2024/June");
        fs::create_directories(dir / "home/Documents");
        fs::create_directories(dir / "home/.cache/deep");
        ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 320, 400), nullptr, 0));
        ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_EDITLABELS, CRect(0, 0, 320, 400), &host, 7));
        tree.Init();
        host.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        host.DestroyWindow();
    }

    HTREEITEM Child(HTREEITEM parent, const std::string& label)
    {
        for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
            if (tree.GetItemText(c) == label)
                return c;
        return nullptr;
    }
    std::vector<std::string> Labels(HTREEITEM parent)
    {
        std::vector<std::string> out;
        for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
            out.push_back(tree.GetItemText(c));
        return out;
    }
    std::string SelectedPath()
    {
        std::string path;
        BOOL fileSystem = FALSE;
        tree.GetItemPath(tree.GetSelectedItem(), path, fileSystem);
        return path;
    }

    qrtest::TempDir dir;
    std::string home = (dir / "home").string();
    qrtest::ScopedShellPlaces places{home};
    Host host;
    CShellTreeCtrl tree;
};

TEST_F(ShellTreeTest, DesktopShowsHomeUserFoldersAndComputerAndReadsChildrenOnExpansion)
{
    HTREEITEM root = tree.GetRootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.GetItemText(root), "Desktop");
    EXPECT_EQ(Labels(root), (std::vector<std::string>{"Home", "Pictures", "Computer"}));
    HTREEITEM homeItem = Child(root, "Home");
    // Children are announced before they are read.
    EXPECT_TRUE(tree.ItemHasChildren(homeItem));
    EXPECT_EQ(tree.GetChildItem(homeItem), nullptr);
    tree.Expand(homeItem, TVE_EXPAND);
    // Sorted by name; hidden folders are not shown.
    EXPECT_EQ(Labels(homeItem), (std::vector<std::string>{"Documents", "Pictures"}));
    // A folder without sub-folders loses its button once it is found empty.
    HTREEITEM docs = Child(homeItem, "Documents");
    EXPECT_FALSE(tree.ItemHasChildren(docs));
    HTREEITEM computer = Child(root, "Computer");
    tree.Expand(computer, TVE_EXPAND);
    EXPECT_EQ(Labels(computer), (std::vector<std::string>{"File System"}));
    std::string path;
    BOOL fileSystem = TRUE;
    EXPECT_FALSE(tree.GetItemPath(computer, path, fileSystem));
    EXPECT_FALSE(fileSystem);
    EXPECT_TRUE(tree.GetItemPath(Child(computer, "File System"), path, fileSystem));
    EXPECT_EQ(path, "/");
}

TEST_F(ShellTreeTest, SelectPathExpandsEachLevelAndSelectsTheFolder)
{
    const std::string deep = home + "/Pictures/2024/June";
    ASSERT_TRUE(tree.SelectPath(deep));
    EXPECT_EQ(SelectedPath(), deep);
    ASSERT_FALSE(host.selections.empty());
    EXPECT_EQ(host.selections.back(), tree.GetSelectedItem());
    // Through Home, opened level by level.
    HTREEITEM homeItem = Child(tree.GetRootItem(), "Home");
    HTREEITEM pictures = Child(homeItem, "Pictures");
    HTREEITEM year = Child(pictures, "2024");
    ASSERT_NE(year, nullptr);
    for (HTREEITEM level : {homeItem, pictures, year})
        EXPECT_TRUE(tree.GetItemState(level, TVIS_EXPANDED)) << tree.GetItemText(level);

    // Outside the home, the way goes through Computer and the file-system root.
    const std::string outside = (dir / "elsewhere/inner").string();
    fs::create_directories(outside);
    ASSERT_TRUE(tree.SelectPath(outside));
    EXPECT_EQ(SelectedPath(), outside);
    EXPECT_FALSE(tree.SelectPath((dir / "missing").string()));
}

TEST_F(ShellTreeTest, FoldersWhoseNamesDifferInCaseAreTwoFolders)
{
    fs::create_directories(dir / "home/Photos/a");
    fs::create_directories(dir / "home/photos/b");
    tree.RefreshAll();
    for (const std::string& path : {home + "/photos/b", home + "/Photos/a", home + "/photos", home + "/Photos"}) {
        ASSERT_TRUE(tree.SelectPath(path)) << path;
        EXPECT_EQ(SelectedPath(), path);
    }
}

TEST_F(ShellTreeTest, RefreshAllShowsFoldersMadeOutsideAndDropsRemovedOnes)
{
    ASSERT_TRUE(tree.SelectPath(home + "/Pictures/2024"));
    tree.Expand(tree.GetSelectedItem(), TVE_EXPAND);
    HTREEITEM homeItem = Child(tree.GetRootItem(), "Home");
    fs::create_directories(dir / "home/Projects");
    fs::create_directories(dir / "home/Pictures/2024/July");
    tree.RefreshAll();
    EXPECT_EQ(Labels(homeItem), (std::vector<std::string>{"Documents", "Pictures", "Projects"}));
    EXPECT_EQ(Labels(Child(Child(homeItem, "Pictures"), "2024")), (std::vector<std::string>{"July", "June"}));

    // The selected folder goes away outside the program: the selection moves to the root.
    fs::remove_all(dir / "home/Pictures/2024");
    tree.RefreshAll();
    EXPECT_EQ(Child(Child(homeItem, "Pictures"), "2024"), nullptr);
    EXPECT_EQ(tree.GetSelectedItem(), tree.GetRootItem());
    // A folder emptied outside loses its expand button.
    EXPECT_FALSE(tree.ItemHasChildren(Child(homeItem, "Pictures")));
}

TEST_F(ShellTreeTest, UpdateItemWaitingForAFolderThatNeverComesEnds)
{
    HTREEITEM homeItem = Child(tree.GetRootItem(), "Home");
    tree.Expand(homeItem, TVE_EXPAND);
    fs::create_directories(dir / "home/Real");
    // The parent waits for "Ghost", which is never listed: a few looks, then on.
    tree.UpdateItem(homeItem, FALSE, home + "/Ghost");
    EXPECT_NE(Child(homeItem, "Real"), nullptr);
}

TEST_F(ShellTreeTest, OnlyPlainFoldersArePlainNotTheNamespacesPlaces)
{
    HTREEITEM root = tree.GetRootItem();
    HTREEITEM homeItem = Child(root, "Home");
    tree.Expand(homeItem, TVE_EXPAND);
    HTREEITEM computer = Child(root, "Computer");
    tree.Expand(computer, TVE_EXPAND);
    EXPECT_FALSE(tree.IsPlainFolder(root));
    EXPECT_FALSE(tree.IsPlainFolder(homeItem));
    EXPECT_FALSE(tree.IsPlainFolder(Child(root, "Pictures")));
    EXPECT_FALSE(tree.IsPlainFolder(computer));
    EXPECT_FALSE(tree.IsPlainFolder(Child(computer, "File System")));
    // Home's Pictures is the user folder met again below Home.
    EXPECT_FALSE(tree.IsPlainFolder(Child(homeItem, "Pictures")));
    EXPECT_TRUE(tree.IsPlainFolder(Child(homeItem, "Documents")));
}

TEST_F(ShellTreeTest, RightClickNotesTheItemAndSelectsOnlyWhenAsked)
{
    HTREEITEM homeItem = Child(tree.GetRootItem(), "Home");
    RECT rc;
    ASSERT_TRUE(tree.GetItemRect(homeItem, &rc, TRUE));
    auto* view = static_cast<QTreeWidget*>(tree.m_hWnd);
    const QPoint on((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    uitest::Mouse(view->viewport(), QEvent::MouseButtonPress, on, Qt::RightButton);
    EXPECT_EQ(tree.GetRightClickItem(), homeItem);
    EXPECT_EQ(tree.GetSelectedItem(), homeItem);

    tree.SetSelectOnRightClick(FALSE);
    tree.SelectItem(tree.GetRootItem());
    uitest::Mouse(view->viewport(), QEvent::MouseButtonPress, on, Qt::RightButton);
    EXPECT_EQ(tree.GetRightClickItem(), homeItem);
    EXPECT_EQ(tree.GetSelectedItem(), tree.GetRootItem());
    // Empty space records no item.
    uitest::Mouse(view->viewport(), QEvent::MouseButtonPress, QPoint(5, 390), Qt::RightButton);
    EXPECT_EQ(tree.GetRightClickItem(), nullptr);
}

} // namespace
