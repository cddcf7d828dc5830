#include "ui/export_folder_dlog.h"
#include "ui/select_folder_dlog.h"
#include "ui/window_helpers.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "resources/string_table.h"
#include "support/command_recorder.h"
#include "support/shell_places.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// Each test runs one dialog: `during` acts in it while it is up, then the
// dialog ends with the button given. Message boxes are recorded and answered OK.
class FolderDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "home/Pictures/Trips");
        fs::create_directories(dir / "home/Pictures/Family");
        ASSERT_TRUE(main.Create(nullptr, "main", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        app.m_pMainWnd = &main;
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        SetMessageBoxHandler(previousBoxes);
        app.m_pMainWnd = nullptr;
        main.DestroyWindow();
        GetExportFolderMemory() = ExportFolderMemory();
    }

    INT_PTR Run(CFolderTreeDlog& dlg, std::function<void(CFolderTreeDlog&)> during, int end = IDOK)
    {
        CDialog::SetModalObserver([&dlg, during, end](CDialog*) {
            during(dlg);
            if (dlg.m_hWnd)
                dlg.EndDialog(end);
        });
        return dlg.DoModal();
    }

    HTREEITEM Item(CFolderTreeDlog& dlg, const std::string& path)
    {
        if (!dlg.Tree().SelectPath(path))
            return nullptr;
        return dlg.Tree().GetSelectedItem();
    }
    // Types a name into the item's label and ends the edit as Enter does.
    bool Rename(CFolderTreeDlog& dlg, HTREEITEM item, const std::string& name)
    {
        CEdit* edit = dlg.Tree().EditLabel(item);
        if (!edit)
            return false;
        auto* line = qobject_cast<QLineEdit*>(edit->m_hWnd);
        line->setText(QString::fromStdString(name));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(line, &enter);
        return true;
    }
    static bool Enabled(CFolderTreeDlog& dlg, int id) { return dlg.GetDlgItem(id)->IsWindowEnabled(); }

    qrtest::TempDir dir;
    std::string home = (dir / "home").string();
    std::string pictures = home + "/Pictures";
    qrtest::ScopedShellPlaces places{home};
    CWinApp app{"folders"};
    qrtest::CommandRecorder main;
    MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
};

TEST_F(FolderDialogTest, NewFolderThreeTimesMakesANumberedSeriesEachSelected)
{
    std::string folder;
    CSelectFolderDlog dlg(&main, folder, "Copy to Folder");
    std::vector<std::string> selected;
    std::string caption;
    ASSERT_EQ(Run(dlg,
                  [&](CFolderTreeDlog& d) {
                      caption = d.GetWindowText();
                      ASSERT_TRUE(d.Tree().SelectPath(pictures));
                      for (int i = 0; i < 3; ++i) {
                          d.Tree().SelectPath(pictures);
                          static_cast<CButton*>(d.GetDlgItem(IDC_NEW_FOLDER))->Click();
                          selected.push_back(folder);
                      }
                  }),
              IDOK);
    EXPECT_EQ(caption, "Copy to Folder");
    EXPECT_EQ(selected, (std::vector<std::string>{pictures + "/New Folder", pictures + "/New Folder(1)",
                                                  pictures + "/New Folder(2)"}));
    EXPECT_EQ(qrtest::FolderNames(pictures),
              (std::vector<std::string>{"Family", "New Folder", "New Folder(1)", "New Folder(2)", "Trips"}));
    EXPECT_EQ(folder, pictures + "/New Folder(2)");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FolderDialogTest, RenamingInPlaceChecksTheNameAndKeepsTheDialogOpen)
{
    std::string folder;
    CSelectFolderDlog dlg(&main, folder, "");
    bool openAfterEnter = false;
    struct Case {
        std::string from, typed, expectedBox, expectedPath;
    };
    const std::string exists = LoadResString(6139), invalid = LoadResString(6001);
    const std::vector<Case> cases = {
        {"Trips", "Family", exists, pictures + "/Trips"},      // a sibling's name
        {"Trips", "Trips", "", pictures + "/Trips"},           // its own name: nothing at all
        {"Trips", "a/b", invalid, pictures + "/Trips"},        // no separators in a name
        {"Trips", "..", invalid, pictures + "/Trips"},         // dots alone name no folder
        {"Trips", "Travels...", "", pictures + "/Travels"},   // trailing dots go
    };
    ASSERT_EQ(Run(dlg,
                  [&](CFolderTreeDlog& d) {
                      for (const Case& c : cases) {
                          boxes.clear();
                          HTREEITEM item = Item(d, pictures + "/" + c.from);
                          ASSERT_NE(item, nullptr) << c.from;
                          ASSERT_TRUE(Rename(d, item, c.typed)) << c.typed;
                          EXPECT_EQ(boxes, c.expectedBox.empty() ? std::vector<std::string>{}
                                                                 : std::vector<std::string>{c.expectedBox})
                              << c.typed;
                          EXPECT_TRUE(fs::is_directory(c.expectedPath)) << c.typed;
                      }
                      openAfterEnter = d.m_hWnd && d.m_hWnd->isVisible();
                  },
                  IDCANCEL),
              IDCANCEL);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(qrtest::FolderNames(pictures), (std::vector<std::string>{"Family", "Travels"}));
    // The browser hears of the one rename that happened.
    EXPECT_EQ(main.Count(ID_DIRECTORYRENAMED), 1u);
    EXPECT_EQ(folder, pictures + "/Travels");
}

TEST_F(FolderDialogTest, PlacesCannotBeRenamedAndVirtualOnesChooseNoFolder)
{
    std::string folder = "unchanged";
    CSelectFolderDlog dlg(&main, folder, "");
    ASSERT_EQ(Run(dlg,
                  [&](CFolderTreeDlog& d) {
                      CShellTreeCtrl& tree = d.Tree();
                      HTREEITEM root = tree.GetRootItem();
                      HTREEITEM homeItem = Item(d, home);
                      HTREEITEM computer = nullptr;
                      for (HTREEITEM c = tree.GetChildItem(root); c; c = tree.GetNextSiblingItem(c))
                          if (tree.GetItemText(c) == "Computer")
                              computer = c;
                      ASSERT_NE(computer, nullptr);
                      for (HTREEITEM place : {root, computer, homeItem})
                          EXPECT_EQ(tree.EditLabel(place), nullptr) << tree.GetItemText(place);

                      ASSERT_NE(Item(d, pictures), nullptr);
                      EXPECT_EQ(folder, pictures);
                      EXPECT_TRUE(Enabled(d, IDOK));
                      EXPECT_TRUE(Enabled(d, IDC_NEW_FOLDER));
                      tree.SelectItem(computer);
                      EXPECT_EQ(folder, "");
                      EXPECT_FALSE(Enabled(d, IDOK));
                      EXPECT_FALSE(Enabled(d, IDC_NEW_FOLDER));
                  }),
              IDOK);
    EXPECT_TRUE(fs::is_directory(home));
}

TEST_F(FolderDialogTest, ExportDialogStartsAtTheLastFolderAndHandsBackItsOptions)
{
    GetExportFolderMemory().lastFolder = pictures + "/Trips";
    const std::vector<std::string> types = {"JPEG (*.jpg)", "TIFF (*.tif)", "BMP (*.bmp)"};
    int quality = 95;
    std::string folder;
    CExportFolderDlog dlg(types, 0, &quality, 48, &folder, FALSE, 1, &main);
    int startPos = 0;
    std::string startValue, startSelected;
    bool jpegCompression = false, tiffCompression = true, tiffBits = false, nameFields = true;
    ASSERT_EQ(Run(dlg,
                  [&](CFolderTreeDlog& d) {
                      auto& e = static_cast<CExportFolderDlog&>(d);
                      // Every label, greyed or not, shows its whole text.
                      for (QLabel* label : e.m_hWnd->findChildren<QLabel*>()) {
                          if (label->isVisible() && !label->text().isEmpty()) {
                              EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                                        label->contentsRect().width())
                                  << label->text().toStdString();
                          }
                      }
                      QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
                      EXPECT_TRUE(uitest::Grab(e.m_hWnd).save(QString(QR_TEST_BUILD_DIR) +
                                                              "/screenshots/resize_all_folder_dialog.png"));
                      startSelected = folder;
                      auto* slider = static_cast<QSlider*>(e.GetDlgItem(IDC_EXPORT_QUALITY)->m_hWnd);
                      startPos = slider->value();
                      startValue = e.GetDlgItemText(IDC_EXPORT_QUALITY_VALUE);
                      jpegCompression = Enabled(d, IDC_EXPORT_QUALITY);
                      nameFields = Enabled(d, IDC_EXPORT_NAME);
                      // The user's moves of the slider.
                      slider->setValue(1);
                      auto* list = static_cast<CComboBox*>(e.GetDlgItem(IDC_EXPORT_TYPE));
                      list->SetCurSel(1);
                      e.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_EXPORT_TYPE, CBN_SELCHANGE), LPARAM(list->m_hWnd));
                      tiffCompression = Enabled(d, IDC_EXPORT_QUALITY);
                      tiffBits = Enabled(d, IDC_EXPORT_24BIT);
                      static_cast<CButton*>(e.GetDlgItem(IDC_EXPORT_24BIT))->Click();
                      static_cast<CButton*>(e.GetDlgItem(IDC_EXPORT_CHANGE_NAME))->Click();
                      EXPECT_TRUE(Enabled(d, IDC_EXPORT_NAME));
                      e.SetDlgItemText(IDC_EXPORT_NAME, "TRIP");
                      // Only digits stay in the first number.
                      e.SetDlgItemText(IDC_EXPORT_FIRST_NUMBER, "0a7x");
                      EXPECT_EQ(e.GetDlgItemText(IDC_EXPORT_FIRST_NUMBER), "07");
                      e.Tree().SelectPath(pictures + "/Family");
                      e.OnOK();
                  }),
              IDOK);
    EXPECT_EQ(startSelected, pictures + "/Trips");
    EXPECT_EQ(startPos, 6);
    EXPECT_EQ(startValue, "6");
    EXPECT_TRUE(jpegCompression);
    EXPECT_FALSE(nameFields);
    EXPECT_FALSE(tiffCompression);
    EXPECT_TRUE(tiffBits);
    EXPECT_EQ(quality, 100);
    EXPECT_EQ(dlg.m_nTypeIndex, 1);
    EXPECT_EQ(dlg.m_nBitDepth, 0);
    EXPECT_EQ(dlg.m_bChangeName, BST_CHECKED);
    EXPECT_EQ(folder, pictures + "/Family");
    const ExportFolderMemory& memory = GetExportFolderMemory();
    EXPECT_EQ(memory.nameBase, "TRIP");
    EXPECT_EQ(memory.firstNumber, "07");
    EXPECT_EQ(memory.lastFolder, pictures + "/Family");
}

TEST_F(FolderDialogTest, ExportDialogRefusesANameBaseNoFileMayHaveAndNarrowsToTheTree)
{
    const std::vector<std::string> types = {"JPEG (*.jpg)"};
    int quality = 80;
    std::string folder = pictures;
    CExportFolderDlog dlg(types, 0, &quality, 24, &folder, TRUE, 0, &main);
    bool stillOpen = false, forced = false, forcedEnabled = true;
    int clientWidth = 0, treeRight = 0, treeLeft = 0, cancelRight = 0;
    ASSERT_EQ(Run(dlg,
                  [&](CFolderTreeDlog& d) {
                      auto& e = static_cast<CExportFolderDlog&>(d);
                      forced = e.IsDlgButtonChecked(IDC_EXPORT_CHANGE_NAME) == BST_CHECKED;
                      forcedEnabled = Enabled(d, IDC_EXPORT_CHANGE_NAME);
                      CRect client, tree, cancel;
                      e.GetClientRect(&client);
                      GetDlgItemRectInParent(&tree, &e, IDC_FOLDER_TREE);
                      GetDlgItemRectInParent(&cancel, &e, IDCANCEL);
                      clientWidth = client.Width();
                      treeLeft = tree.left;
                      treeRight = tree.right;
                      cancelRight = cancel.right;
                      e.SetDlgItemText(IDC_EXPORT_NAME, "A*B");
                      e.OnOK();
                      stillOpen = e.m_hWnd != nullptr;
                  },
                  IDCANCEL),
              IDCANCEL);
    EXPECT_TRUE(forced);
    EXPECT_FALSE(forcedEnabled);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(boxes, std::vector<std::string>{LoadResString(6001)});
    EXPECT_EQ(cancelRight, treeRight);
    EXPECT_EQ(clientWidth, treeRight + treeLeft);
    EXPECT_EQ(quality, 80);
    EXPECT_EQ(GetExportFolderMemory().nameBase, "IMAGE");
}

} // namespace
