#include "browser/tree_pane.h"
#include "ui/drag_data_source.h"
#include "ui/file_operation_dlog.h"
#include "ui/folder_edit.h"
#include "ui/folder_tree_dlog.h"
#include "ui/ui_services.h"
#include "util/shell_util.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "support/command_recorder.h"
#include "support/shell_places.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "resources/string_ids.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& p) { qrtest::WriteBytes(p, {'x'}); }

// The pane in a window of its own over a home of the test's own; copying and
// moving run behind the program's progress dialog; questions are answered Yes.
class TreePaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "home/Pictures/Inbox");
        fs::create_directories(dir / "home/Pictures/Album/2024");
        fs::create_directories(dir / "home/Documents");
        RegisterClipboardFormats();
        previousProgress = InstallFileOperationProgressDlog();
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT type, UINT) {
            boxes.push_back(text);
            return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDYES;
        });
        ASSERT_TRUE(main.Create(nullptr, "main", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        app.m_pMainWnd = &main;
        ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 260, 360), nullptr, 0));
        ASSERT_TRUE(pane.Create(WS_VISIBLE, CRect(0, 0, 260, 360), &host, 59648));
        pane.SetAcceptedFormat(GetClipboardFormats().pathList);
        host.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        CMenu::SetChooser(nullptr);
        host.DestroyWindow();
        app.m_pMainWnd = nullptr;
        main.DestroyWindow();
        SetMessageBoxHandler(previousBoxes);
        SetFileOperationProgress(previousProgress);
    }

    CShellTreeCtrl& Tree() { return pane.Tree(); }
    QWidget* Viewport() { return static_cast<QTreeWidget*>(Tree().m_hWnd)->viewport(); }
    HTREEITEM Item(const std::string& path)
    {
        Tree().SelectPath(path);
        return Tree().GetSelectedItem();
    }
    QPoint Center(HTREEITEM item)
    {
        RECT rc;
        Tree().GetItemRect(item, &rc, TRUE);
        return QPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    std::unique_ptr<QMimeData> PathList(const std::vector<std::string>& paths)
    {
        CDragDataSource source;
        source.SetPathList(paths, GetClipboardFormats().pathList);
        auto data = std::make_unique<QMimeData>();
        for (const QString& f : source.GetMimeData()->formats())
            data->setData(f, source.GetMimeData()->data(f));
        return data;
    }
    // A drag that enters the tree, moves onto the item and drops there.
    Qt::DropAction DragMove(const QMimeData* data, QPoint at, Qt::KeyboardModifiers keys = {})
    {
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(Viewport(), &move);
        return move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    }
    Qt::DropAction Drop(const QMimeData* data, HTREEITEM target, Qt::KeyboardModifiers keys = {})
    {
        const QPoint at = Center(target);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(Viewport(), &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        DragMove(data, at, keys);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, keys);
        drop.setDropAction(keys & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
        QCoreApplication::sendEvent(Viewport(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

    qrtest::TempDir dir;
    std::string home = (dir / "home").string();
    std::string pictures = home + "/Pictures";
    qrtest::ScopedShellPlaces places{home};
    CWinApp app{"pane"};
    qrtest::CommandRecorder main;
    CWnd host;
    CTreePane pane;
    IFileOperationProgress* previousProgress = nullptr;
    MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
};

TEST_F(TreePaneTest, DroppedPicturesMoveWithTheirCompanionsInAnyCaseEachOnce)
{
    const fs::path inbox = dir / "home/Pictures/Inbox";
    for (const char* name : {"IMG_1.JPG", "IMG_1.wav", "IMG_1.TIF", "IMG_1.thm", "IMG_2.tif", "IMG_2.THM", "NOTE.WAV",
                             "NOTE.thm", "OTHER.JPG", "OTHER.wav"})
        Touch(inbox / name);
    const std::string album = pictures + "/Album";
    Tree().SelectPath(pictures);
    HTREEITEM target = Item(album);
    Tree().SelectPath(pictures);
    auto data = PathList({(inbox / "IMG_1.JPG").string(), (inbox / "IMG_1.TIF").string(),
                          (inbox / "IMG_2.tif").string(), (inbox / "NOTE.WAV").string()});
    EXPECT_EQ(Drop(data.get(), target), Qt::MoveAction);
    EXPECT_EQ(qrtest::FolderNames(album), (std::vector<std::string>{"2024", "IMG_1.JPG", "IMG_1.TIF", "IMG_1.thm",
                                                                    "IMG_1.wav", "IMG_2.THM", "IMG_2.tif", "NOTE.WAV"}));
    // What was not dropped stays: a WAV file has no companions, another picture is not one.
    EXPECT_EQ(qrtest::FolderNames(inbox), (std::vector<std::string>{"NOTE.thm", "OTHER.JPG", "OTHER.wav"}));
    EXPECT_EQ(main.Count(ID_FILEMOVED), 1u);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(TreePaneTest, CtrlCopiesAndADropOntoTheFilesOwnFolderOrIntoItselfDoesNothing)
{
    const fs::path inbox = dir / "home/Pictures/Inbox";
    Touch(inbox / "a.jpg");
    Touch(inbox / "a.WAV");
    HTREEITEM inboxItem = Item(inbox.string());
    auto own = PathList({(inbox / "a.jpg").string()});
    EXPECT_EQ(Drop(own.get(), inboxItem), Qt::IgnoreAction);
    // A folder onto a folder inside it.
    HTREEITEM year = Item(pictures + "/Album/2024");
    auto album = PathList({pictures + "/Album"});
    EXPECT_EQ(Drop(album.get(), year), Qt::IgnoreAction);
    EXPECT_EQ(main.Count(ID_FILEMOVED), 0u);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(qrtest::FolderNames(inbox), (std::vector<std::string>{"a.WAV", "a.jpg"}));

    HTREEITEM docs = Item(home + "/Documents");
    Tree().SelectPath(pictures);
    EXPECT_EQ(Drop(own.get(), docs, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(qrtest::FolderNames(home + "/Documents"), (std::vector<std::string>{"a.WAV", "a.jpg"}));
    EXPECT_EQ(qrtest::FolderNames(inbox), (std::vector<std::string>{"a.WAV", "a.jpg"}));
    EXPECT_EQ(main.Count(ID_FILECOPIED), 1u);
}

TEST_F(TreePaneTest, ARawAndATiffOfOneNameNeverShareAFolder)
{
    Touch(dir / "home/Pictures/Inbox/shot.tif");
    Touch(dir / "home/Documents/shot.TKF");
    HTREEITEM docs = Item(home + "/Documents");
    Tree().SelectPath(pictures);
    auto data = PathList({pictures + "/Inbox/shot.tif"});
    Drop(data.get(), docs);
    EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(IDS_RAW_TIFF_CONFLICT)});
    EXPECT_TRUE(fs::exists(dir / "home/Pictures/Inbox/shot.tif"));
}

TEST_F(TreePaneTest, DragsOpenAFolderTheyRestOnAndScrollAtTheEdges)
{
    for (int i = 0; i < 40; ++i)
        fs::create_directories(dir / ("home/Documents/f" + std::to_string(100 + i)));
    HTREEITEM docs = Item(home + "/Documents");
    Tree().Expand(docs, TVE_COLLAPSE);
    // Selecting a folder opens it: Album is shown, closed, below the selected Pictures.
    HTREEITEM album = Tree().FindChildByPath(Item(pictures), pictures + "/Album");
    ASSERT_NE(album, nullptr);
    ASSERT_FALSE(Tree().GetItemState(album, TVIS_EXPANDED));
    auto data = PathList({pictures + "/Inbox"});
    QDragEnterEvent enter(Center(album), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(Viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_EQ(DragMove(data.get(), Center(album)), Qt::MoveAction);
    EXPECT_EQ(Tree().GetDropHilightItem(), album);
    ASSERT_TRUE(uitest::WaitFor([&] { return Tree().GetItemState(album, TVIS_EXPANDED) != 0; }));

    // Resting at the bottom edge scrolls on, row by row.
    Tree().Expand(docs, TVE_EXPAND);
    Tree().SelectSetFirstVisible(Tree().GetRootItem());
    HTREEITEM first = Tree().GetFirstVisibleItem();
    const QPoint bottom(40, Viewport()->height() - 3);
    DragMove(data.get(), bottom);
    ASSERT_TRUE(uitest::WaitFor([&] {
        int steps = 0;
        for (HTREEITEM i = first; i && i != Tree().GetFirstVisibleItem(); i = Tree().GetNextVisibleItem(i))
            ++steps;
        return steps >= 3;
    }));
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(Viewport(), &leave);
    EXPECT_EQ(Tree().GetDropHilightItem(), nullptr);
}

TEST_F(TreePaneTest, TheFolderFollowsTheSelectionAndFolderEditsTellTheBrowser)
{
    HTREEITEM inbox = Item(pictures + "/Inbox");
    EXPECT_EQ(pane.GetCurrentFolder(), pictures + "/Inbox");
    EXPECT_EQ(pane.GetLastNotifiedPath(), pictures + "/Inbox");
    EXPECT_TRUE(pane.IsFileSystemFolderSelected());
    EXPECT_GE(main.Count(ID_DIRECTORYCHANGED), 1u);

    // Rename in place: the browser hears of it, and the pane follows.
    CEdit* edit = Tree().EditLabel(inbox);
    ASSERT_NE(edit, nullptr);
    qobject_cast<QLineEdit*>(edit->m_hWnd)->setText("Incoming");
    Tree().EndEditLabelNow(FALSE);
    EXPECT_TRUE(fs::is_directory(pictures + "/Incoming"));
    EXPECT_EQ(main.Count(ID_DIRECTORYRENAMED), 1u);
    EXPECT_EQ(pane.GetCurrentFolder(), pictures + "/Incoming");

    // New Folder on the folder right-clicked, through the pane's context menu.
    HTREEITEM album = Item(pictures + "/Album");
    Tree().SelectPath(pictures + "/Incoming");
    uitest::Mouse(Viewport(), QEvent::MouseButtonPress, Center(album), Qt::RightButton);
    CMenu::SetChooser([](CMenu*) -> UINT { return ID_TREE_NEW_FOLDER; });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, Center(album), Viewport()->mapToGlobal(Center(album)));
    QCoreApplication::sendEvent(Viewport(), &menu);
    ASSERT_TRUE(uitest::WaitFor([&] { return main.Count(ID_TREE_NEW_FOLDER) == 1; }));
    // The main window's New Folder asks the pane, which takes the pending item.
    ASSERT_TRUE(pane.NewFolder(LoadResString(IDS_NEW_FOLDER)));
    EXPECT_TRUE(fs::is_directory(pictures + "/Album/New Folder"));
    EXPECT_EQ(pane.GetCurrentFolder(), pictures + "/Album/New Folder");

    // Delete, asked and answered: the parent is selected.
    ASSERT_TRUE(pane.DeleteFolder());
    EXPECT_FALSE(fs::exists(pictures + "/Album/New Folder"));
    EXPECT_EQ(pane.GetCurrentFolder(), pictures + "/Album");
    ASSERT_EQ(boxes.size(), 1u);

    // The user's own places are never deleted from the tree.
    Item(home);
    EXPECT_FALSE(pane.DeleteFolder());
    EXPECT_TRUE(fs::is_directory(home));
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(TreePaneTest, ScreenshotOfTheTreeWithHomeExpanded)
{
    fs::create_directories(dir / "home/Music");
    fs::create_directories(dir / "home/Videos/Holidays");
    Tree().RefreshAll();
    HTREEITEM homeItem = Item(home);
    Tree().Expand(homeItem, TVE_EXPAND);
    Tree().SelectItem(Item(pictures + "/Album"));
    Tree().Expand(homeItem, TVE_EXPAND);
    QImage shot = uitest::Grab(host.m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/folder_tree_home.png"));
    // Home's folders are listed under it, with icons.
    std::vector<std::string> labels;
    for (HTREEITEM c = Tree().GetChildItem(homeItem); c; c = Tree().GetNextSiblingItem(c))
        labels.push_back(Tree().GetItemText(c));
    EXPECT_EQ(labels, (std::vector<std::string>{"Documents", "Music", "Pictures", "Videos"}));
    auto* view = static_cast<QTreeWidget*>(Tree().m_hWnd);
    EXPECT_FALSE(view->currentItem()->icon(0).isNull());
}

} // namespace
