// The main program as a user meets it: the browser frame over a folder of
// photographs, its bars, status texts, function pane and remembered state.
#include "browser_frame_fixture.h"

#include "message/aphoto_doc.h"
#include "app/program_parts.h"
#include "app/zun_app.h"
#include "browser/contact_sheet_dlog.h"
#include "ui/printer_dc.h"
#include "browser/file_item_store.h"
#include "browser/zun_doc_template.h"
#include "browser/zun_main_frame.h"
#include "browser/zun_main_view.h"
#include "platform/framework/document.h"
#include "platform/framework/menu.h"
#include "ui/select_folder_dlog.h"
#include "ui/text_entry_dlog.h"
#include "util/path_util.h"
#include "util/reg_settings.h"
#include "platform/registry.h"
#include "support/shell_places.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPixmap>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QFileDialog>
#include <QTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <filesystem>

namespace fs = std::filesystem;

using qrtest::BrowserFrameTest;

namespace {

TEST_F(BrowserFrameTest, TheProgramOpensOnTheBrowserWithTreeThumbnailsFunctionPaneAndStatusTexts)
{
    CZunMainFrame* frame = Frame();
    EXPECT_EQ(frame->GetWindowText(), "Quiram Relayo");
    EXPECT_TRUE(frame->IsWindowVisible());
    // One browser ever: a second open makes nothing.
    EXPECT_EQ(m_app->GetBrowserTemplate()->OpenDocumentFile(std::string(), TRUE), nullptr);
    EXPECT_EQ(m_app->GetBrowserTemplate()->GetFrame(), frame);

    Open(m_camera);
    ASSERT_TRUE(AllMade());
    // The user clicks the third photograph.
    CGalleryCtrl& gallery = *View()->GetGallery();
    const CRect cell = gallery.Model().GetCellRectOf(2);
    uitest::Click(gallery.Viewport(), QPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    // The status timer brings the view's texts into the two panes.
    ASSERT_TRUE(uitest::WaitFor([&] {
        QApplication::processEvents();
        return frame->GetStatusBar().GetPaneText(0).rfind("Total number of files: 13", 0) == 0 &&
               frame->GetStatusBar().GetPaneText(1).find("photo02.jpg") != std::string::npos;
    }));
    // The totals pane shows its whole text in the desktop's font.
    {
        const std::string totals = frame->GetStatusBar().GetPaneText(0);
        UINT id = 0, style = 0;
        int width = 0;
        frame->GetStatusBar().GetPaneInfo(0, id, style, width);
        EXPECT_GE(width, QFontMetrics(frame->GetStatusBar().GetFont()).horizontalAdvance(QString::fromStdString(totals)));
        EXPECT_GE(width, 200);
    }
    // The function pane: its one shown button, enabled for one picture.
    CZunFuncPane* pane = View()->GetFuncPane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->Button(0).IsWindowVisible());
    EXPECT_TRUE(pane->Button(0).IsWindowEnabled());
    EXPECT_FALSE(pane->Button(1).IsWindowVisible());
    EXPECT_TRUE(frame->GetToolBar().IsWindowVisible());
    EXPECT_EQ(frame->GetToolBar().GetCount(), 10);

    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    const QImage shot = uitest::Grab(frame->m_hWnd);
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_main_window.png"));

    // The button hands the picture to the message editor.
    pane->Button(0).Click();
    CDocument* doc = m_app->GetMessageTemplate()->GetDocument();
    ASSERT_NE(doc, nullptr);
    // A picture is the photograph of a new message, which has no file yet.
    auto* message = dynamic_cast<CAPhotoDoc*>(doc);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetPicturePath(), m_camera + "/photo02.jpg");
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(BrowserFrameTest, TheFolderTheBarsAndThePlaceComeBackAtTheNextStart)
{
    Open(m_camera);
    Frame()->SendMessage(WM_COMMAND, ID_SORT_EXTENSION, 0);
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_TOOLBARS, 0);
    EXPECT_FALSE(Frame()->GetToolBar().IsWindowVisible());
    Frame()->m_hWnd->resize(820, 560);
    Restart();
    EXPECT_FALSE(Frame()->IsToolBarShown());
    EXPECT_FALSE(Frame()->GetToolBar().IsWindowVisible());
    EXPECT_TRUE(Frame()->GetStatusBar().IsWindowVisible());
    EXPECT_EQ(Frame()->m_hWnd->size(), QSize(820, 560));
    // The folder shown last is shown again.
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 13; }));
    EXPECT_EQ(View()->GetTreePane()->GetCurrentFolder(), m_camera);
    // The sort comes back with the toolbar hidden, and showing the bar again
    // keeps the sort chosen since.
    EXPECT_EQ(Frame()->GetToolBar().GetSortMethod(), 2);
    Frame()->SendMessage(WM_COMMAND, ID_SORT_DATE, 0);
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_TOOLBARS, 0);
    EXPECT_TRUE(Frame()->GetToolBar().IsWindowVisible());
    EXPECT_EQ(Frame()->GetToolBar().GetSortMethod(), 3);
}

TEST_F(BrowserFrameTest, MissingFilesAreReportedBeforeAnythingOpens)
{
    Open(m_camera);
    View()->SelectItem(0, FALSE);
    const std::string gone = GetFileItem(0)->GetPath();
    fs::remove(gone);
    Frame()->SendMessage(WM_COMMAND, ID_FUNC_ANOTAION, 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "File or folder not found. (" + gone + ")");
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), nullptr);
    // An over-long path that is not there gets its own message.
    m_boxes.clear();
    EXPECT_FALSE(CZunMainFrame::CheckFileExists("/" + std::string(300, 'x')));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "File name or path is too long.");
}

TEST_F(BrowserFrameTest, CommandStatesFollowThePaneAndWhatIsSelected)
{
    const std::string mixed = m_home + "/Pictures/Mixed";
    fs::create_directories(mixed);
    fs::copy_file(m_camera + "/photo00.jpg", mixed + "/a.jpg");
    fs::copy_file(m_camera + "/photo01.jpg", mixed + "/b.jpg");
    View()->GetTreePane()->SelectFolder(mixed);
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 2; }));
    // b.jpg has been made into a message.
    GetFileItem(1)->SetSecondName((mixed + "/b.kvt").c_str());
    Focus(View()->GetGallery());
    View()->UpdateActivePane();
    ASSERT_EQ(View()->GetActivePane(), View()->GetGallery());

    struct Row {
        std::initializer_list<int> selected;
        UINT id;
        BOOL enabled;
    };
    const Row rows[] = {
        {{0}, ID_FUNC_ANOTAION, TRUE},      {{0}, ID_FUNC_WHITEBOARD, TRUE},    {{0}, ID_FUNC_VIEWER, TRUE},
        {{0}, ID_EDIT_RENAME_FILE, TRUE},   {{0}, ID_COPY_TO_CLIPBOARD, TRUE},  {{0}, ID_EDIT_COPY, TRUE},
        {{0}, ID_EDIT_DELETE_FILES, TRUE},  {{0}, ID_RESIZE_ALL, TRUE},         {{0}, ID_EDIT_PASTE, FALSE},
        {{0, 1}, ID_FUNC_ANOTAION, FALSE}, {{0, 1}, ID_FUNC_VIEWER, FALSE},    {{0, 1}, ID_EDIT_RENAME_FILE, FALSE},
        {{0, 1}, ID_COPY_TO_CLIPBOARD, FALSE}, {{0, 1}, ID_RENAME_ALL, TRUE},   {{0, 1}, ID_RESIZE_ALL, TRUE},
        {{1}, ID_FUNC_ANOTAION, TRUE},      {{1}, ID_FUNC_VIEWER, TRUE},        {{0, 1}, ID_CAMERA_COPIES, TRUE},
        {{}, ID_EDIT_DELETE_FILES, FALSE},  {{}, ID_EDIT_CUT, FALSE},           {{}, ID_MOVE_TO_FOLDER, FALSE},
        {{}, ID_EDIT_SELECT_ALL, TRUE},     {{}, ID_PRINT_SHEETS, TRUE},        {{}, ID_DATA_VALIDATION, FALSE},
    };
    for (const Row& r : rows) {
        Select(r.selected);
        EXPECT_EQ(Enabled(r.id), r.enabled) << "command " << r.id << " with " << r.selected.size() << " selected";
    }

    // The tree: its folder is what file commands act on; paste waits for files on the clipboard.
    Select({0});
    Focus(&View()->GetTreePane()->Tree());
    View()->UpdateActivePane();
    ASSERT_EQ(View()->GetActivePane(), View()->GetTreePane());
    EXPECT_TRUE(Enabled(ID_EDIT_DELETE_FILES));
    EXPECT_TRUE(Enabled(ID_EDIT_RENAME_FILE));
    EXPECT_FALSE(Enabled(ID_RENAME_ALL));
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_COPY, 0);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    QGuiApplication::clipboard()->clear();
}

TEST_F(BrowserFrameTest, FilesCopiedAndCutInTheBrowserTravelInTheFileManagersFormsAndBack)
{
    const std::string target = m_home + "/Pictures/Target";
    fs::create_directories(target);
    Open(m_camera);
    Focus(View()->GetGallery());
    Select({0, 1});
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_COPY, 0);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 2);
    EXPECT_EQ(urls[0].toLocalFile().toStdString(), m_camera + "/photo00.jpg");
    EXPECT_EQ(urls[1].toLocalFile().toStdString(), m_camera + "/photo01.jpg");
    const QByteArray gnome = data->data("x-special/gnome-copied-files");
    EXPECT_TRUE(gnome.startsWith("copy\nfile://")) << gnome.toStdString();

    // Pasted on a folder of the tree: copies there, the originals stay.
    View()->GetTreePane()->SelectFolder(target);
    Focus(&View()->GetTreePane()->Tree());
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_TRUE(fs::exists(target + "/photo00.jpg"));
    EXPECT_TRUE(fs::exists(target + "/photo01.jpg"));
    EXPECT_TRUE(fs::exists(m_camera + "/photo00.jpg"));
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 2; }));

    // A file manager's copy: addresses only.
    auto* outside = new QMimeData;
    outside->setUrls({QUrl::fromLocalFile(QString::fromStdString(m_camera + "/photo02.jpg"))});
    QGuiApplication::clipboard()->setMimeData(outside);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_TRUE(fs::exists(target + "/photo02.jpg"));
    EXPECT_TRUE(fs::exists(m_camera + "/photo02.jpg"));

    // A file manager's cut moves, once.
    auto* cut = new QMimeData;
    cut->setUrls({QUrl::fromLocalFile(QString::fromStdString(m_camera + "/photo03.jpg"))});
    cut->setData("x-special/gnome-copied-files",
                 "cut\n" + QUrl::fromLocalFile(QString::fromStdString(m_camera + "/photo03.jpg")).toEncoded());
    QGuiApplication::clipboard()->setMimeData(cut);
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_TRUE(fs::exists(target + "/photo03.jpg"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo03.jpg"));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));

    // The browser's own cut: the files leave the folder they were cut from.
    View()->GetTreePane()->SelectFolder(m_camera);
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 12; }));
    Focus(View()->GetGallery());
    Select({4});
    const std::string moved = GetFileItem(4)->GetPath();
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_CUT, 0);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files").startsWith("cut\n"));
    View()->GetTreePane()->SelectFolder(target);
    Focus(&View()->GetTreePane()->Tree());
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_FALSE(fs::exists(moved));
    EXPECT_TRUE(fs::exists(target + "/" + fs::path(moved).filename().string()));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
}

TEST_F(BrowserFrameTest, DeleteTakesTheSelectedPicturesWithTheirVoiceNotes)
{
    std::ofstream(m_camera + "/photo05.WAV") << "RIFF";
    Open(m_camera);
    Focus(View()->GetGallery());
    Select({5, 6});
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_DELETE_FILES, 0);
    EXPECT_FALSE(fs::exists(m_camera + "/photo05.jpg"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo05.WAV"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo06.jpg"));
    EXPECT_EQ(GetFileItemCount(), 11);
    EXPECT_EQ(View()->GetGallery()->GetItemCount(), 11);
    EXPECT_TRUE(fs::exists(m_camera + "/photo07.jpg"));
}

TEST_F(BrowserFrameTest, AMessageSavedFromAPictureKeepsItsFileAndThePictureLosesTheLink)
{
    Open(m_camera);
    const std::string message = m_camera + "/photo00.kvt";
    fs::copy_file(qrtest::DataPath("message_golden.kvt"), message);
    GetFileItem(0)->SetSecondName(message.c_str());
    GetFileItem(1)->SetSecondName((m_camera + "/other.kvt").c_str());
    // What the application does when the message editor reports a save.
    m_app->GetBrowserTemplate()->OpenPath(message);
    EXPECT_TRUE(fs::exists(message));
    EXPECT_FALSE(GetFileItem(0)->HasSecondName());
    EXPECT_TRUE(GetFileItem(1)->HasSecondName());
}

TEST_F(BrowserFrameTest, SortingCarriesTheSelectionAlongAndShowsTheMethodAndDirection)
{
    Open(m_camera);
    Select({2});
    Frame()->SendMessage(WM_COMMAND, ID_SORT_NAME, 0);
    Frame()->SendMessage(WM_COMMAND, ID_SORT_DESCENDING, 0);
    EXPECT_EQ(GetItemFileName(0), "photo12.jpg");
    EXPECT_EQ(View()->GetGallery()->GetItemText(0).substr(0, 11), "photo12.jpg");
    ASSERT_EQ(View()->GetGallery()->GetSelectedCount(), 1);
    EXPECT_EQ(GetItemFileName(View()->GetGallery()->GetFirstSelected()), "photo02.jpg");
    EXPECT_EQ(GetCurrentIndex(), 10);
    CCmdUI ui;
    ui.m_nID = ID_SORT_DESCENDING;
    ui.DoUpdate(Frame(), TRUE);
    EXPECT_EQ(ui.m_nCheck, 1);
    ui.m_nID = ID_SORT_NAME;
    ui.DoUpdate(Frame(), TRUE);
    EXPECT_EQ(ui.m_nCheck, 1);
    ui.m_nID = ID_SORT_DATE;
    ui.DoUpdate(Frame(), TRUE);
    EXPECT_EQ(ui.m_nCheck, 0);
    Frame()->SendMessage(WM_COMMAND, ID_SORT_ASCENDING, 0);
    EXPECT_EQ(GetItemFileName(0), "photo00.jpg");
}

} // namespace

namespace {

// A press and release on a row of the list's shown form, or on a heading.
void PressAt(QWidget* w, QPoint at, Qt::KeyboardModifiers mods, bool twice = false)
{
    std::vector<QEvent::Type> events{QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
    if (twice)
        events.insert(events.end(), {QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease});
    for (QEvent::Type t : events) {
        QMouseEvent e(t, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, mods);
        QApplication::sendEvent(w, &e);
    }
}

QAbstractItemView* ShownList(CListCtrl& list)
{
    for (QAbstractItemView* v : list.m_hWnd->findChildren<QAbstractItemView*>())
        if (v->isVisible())
            return v;
    return nullptr;
}

void ClickRow(CListCtrl& list, int row, Qt::KeyboardModifiers mods = {}, bool twice = false)
{
    QAbstractItemView* v = ShownList(list);
    ASSERT_NE(v, nullptr);
    PressAt(v->viewport(), v->visualRect(v->model()->index(row, 0)).center(), mods, twice);
}

void ClickHeading(CListCtrl& list, int column)
{
    auto* header = list.m_hWnd->findChild<QHeaderView*>();
    ASSERT_NE(header, nullptr);
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    PressAt(header->viewport(), QPoint(x, header->height() / 2), {});
}

std::vector<std::string> SelectedNames(CListCtrl& list)
{
    std::vector<std::string> names;
    for (int i = list.GetNextItem(-1, LVNI_SELECTED); i >= 0; i = list.GetNextItem(i, LVNI_SELECTED))
        names.push_back(list.GetItemText(i, 0));
    return names;
}

std::string FocusedName(CListCtrl& list)
{
    for (int i = 0; i < list.GetItemCount(); ++i)
        if (list.GetItemState(i, LVIS_FOCUSED))
            return list.GetItemText(i, 0);
    return {};
}

} // namespace

TEST_F(BrowserFrameTest, TheDetailsViewSelectsSortsByItsHeadingsOpensAndComesBackAtTheNextStart)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    CListCtrl* list = View()->GetList();
    ASSERT_TRUE(list->IsWindowVisible());
    CCmdUI ui;
    for (UINT id : {ID_VIEW_THUMBNAILS, ID_VIEW_ICONS, ID_VIEW_DETAILS}) {
        ui.m_nID = id;
        ui.DoUpdate(Frame(), TRUE);
        EXPECT_EQ(ui.m_nCheck, id == ID_VIEW_DETAILS ? 1 : 0) << id;
    }

    // The user picks photo02, then photo05 with Ctrl: both reach the status bar.
    ClickRow(*list, 2);
    ClickRow(*list, 5, Qt::ControlModifier);
    ASSERT_TRUE(uitest::WaitFor([&] {
        QApplication::processEvents();
        return Frame()->GetStatusBar().GetPaneText(1).rfind("2 file", 0) == 0;
    }));
    // Heading clicks: the current method's inverts the direction, another
    // takes its method and keeps the direction; the same files stay
    // selected and the focus stays on photo05.
    struct Step {
        int column;
        int method;
        BOOL descending;
        const char* first;
    } steps[] = {{0, 0, TRUE, "photo12.jpg"}, {1, 1, TRUE, nullptr}, {1, 1, FALSE, nullptr}, {0, 0, FALSE, "photo00.jpg"}};
    for (const Step& s : steps) {
        ClickHeading(*list, s.column);
        EXPECT_EQ(Frame()->GetToolBar().GetSortMethod(), s.method) << s.column;
        EXPECT_EQ(View()->IsSortDescending(), s.descending) << s.column;
        if (s.first) {
            EXPECT_EQ(list->GetItemText(0, 0), s.first) << s.column;
        }
        std::vector<std::string> selected = SelectedNames(*list);
        std::sort(selected.begin(), selected.end());
        EXPECT_EQ(selected, (std::vector<std::string>{"photo02.jpg", "photo05.jpg"})) << s.column;
        EXPECT_EQ(FocusedName(*list), "photo05.jpg") << s.column;
    }
    // Keys in the list reach the frame's commands: Ctrl+C copies the files.
    Focus(list);
    QAbstractItemView* rows = ShownList(*list);
    ASSERT_TRUE(rows->hasFocus());
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(rows, &copy);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    std::vector<std::string> copied;
    for (const QUrl& url : data->urls())
        copied.push_back(url.toLocalFile().toStdString());
    std::sort(copied.begin(), copied.end());
    EXPECT_EQ(copied, (std::vector<std::string>{m_camera + "/photo02.jpg", m_camera + "/photo05.jpg"}));
    QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(rows, &all);
    EXPECT_EQ(View()->GetGallery()->GetSelectedCount(), 13);
    EXPECT_EQ(SelectedNames(*list).size(), 13u);

    ClickHeading(*list, 0); // descending by name
    ClickRow(*list, 3);
    ASSERT_TRUE(uitest::WaitFor([&] {
        QApplication::processEvents();
        return Frame()->GetStatusBar().GetPaneText(1).find("photo09.jpg") != std::string::npos;
    }));
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(uitest::Grab(Frame()->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_details_view.png"));

    // The next start shows the details again, over the same folder.
    Restart();
    ASSERT_EQ(View()->GetViewMode(), 3);
    list = View()->GetList();
    ASSERT_TRUE(uitest::WaitFor([&] { return list->GetItemCount() == 13; }));
    EXPECT_TRUE(list->IsWindowVisible());
    EXPECT_FALSE(View()->GetGallery()->IsWindowVisible());
    EXPECT_EQ(list->GetItemText(0, 0), "photo12.jpg");
    // A double click opens the row's picture in the message editor.
    ClickRow(*list, 4, {}, true);
    auto* message = dynamic_cast<CAPhotoDoc*>(m_app->GetMessageTemplate()->GetDocument());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetPicturePath(), m_camera + "/photo08.jpg");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(BrowserFrameTest, AfterARenameTheStatusBarShowsTheNewName)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    CStatusBarEx& status = Frame()->GetStatusBar();
    auto shows = [&](const std::string& name) {
        return uitest::WaitFor([&] { return status.GetPaneText(1).find(name) != std::string::npos; });
    };
    CGalleryCtrl& gallery = *View()->GetGallery();
    const CRect cell = gallery.Model().GetCellRectOf(2);
    uitest::Click(gallery.Viewport(), QPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    ASSERT_TRUE(shows("photo02.jpg"));
    // F2 in the gallery, a new name, Enter.
    Focus(&gallery);
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &f2);
    auto* edit = qobject_cast<QLineEdit*>(gallery.Editor().m_hWnd);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    edit->setText("harbour.jpg");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    ASSERT_TRUE(fs::exists(m_camera + "/harbour.jpg"));
    EXPECT_TRUE(shows("harbour.jpg")) << status.GetPaneText(1);

    // The same in the details view.
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    CListCtrl& list = *View()->GetList();
    Focus(&list);
    QApplication::sendEvent(QApplication::focusWidget(), &f2);
    CEdit* editor = list.GetEditControl();
    ASSERT_NE(editor, nullptr);
    editor->SetWindowText("lighthouse.jpg");
    QApplication::sendEvent(editor->m_hWnd, &enter);
    ASSERT_TRUE(fs::exists(m_camera + "/lighthouse.jpg"));
    EXPECT_TRUE(shows("lighthouse.jpg")) << status.GetPaneText(1);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(BrowserFrameTest, InTheListARefusedRenameSaysWhyAndDeletedFilesLeaveTheirRows)
{
    Open(m_camera);
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    CListCtrl& list = *View()->GetList();
    Focus(&list);
    ClickRow(list, 1);
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_RENAME_FILE, 0);
    CEdit* editor = list.GetEditControl();
    ASSERT_NE(editor, nullptr);
    editor->SetWindowText("a:b");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor->m_hWnd, &enter);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind("The following characters cannot be used in file names.", 0), 0u);
    EXPECT_TRUE(fs::exists(m_camera + "/photo01.jpg"));
    EXPECT_EQ(list.GetItemText(1, 0), "photo01.jpg");

    ClickRow(list, 3);
    ClickRow(list, 4, Qt::ControlModifier);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(ShownList(list), &del);
    EXPECT_FALSE(fs::exists(m_camera + "/photo03.jpg"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo04.jpg"));
    EXPECT_EQ(list.GetItemCount(), 11);
    EXPECT_EQ(list.GetItemText(3, 0), "photo05.jpg");
    EXPECT_EQ(View()->GetGallery()->GetItemCount(), 11);
}

TEST_F(BrowserFrameTest, TheContextMenuOfTheGalleryAndOfTheListActsOnTheirSelection)
{
    Open(m_camera);
    CMenu::SetChooser([](CMenu*) -> UINT { return ID_EDIT_COPY; });
    auto copied = [] {
        std::vector<std::string> paths;
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData())
            for (const QUrl& url : data->urls())
                paths.push_back(url.toLocalFile().toStdString());
        return paths;
    };
    struct Row {
        UINT mode;
        int item;
    } rows[] = {{ID_VIEW_THUMBNAILS, 3}, {ID_VIEW_DETAILS, 6}, {ID_VIEW_ICONS, 8}};
    for (const Row& r : rows) {
        Frame()->SendMessage(WM_COMMAND, r.mode, 0);
        QWidget* surface = nullptr;
        QPoint at;
        if (r.mode == ID_VIEW_THUMBNAILS) {
            CGalleryCtrl& gallery = *View()->GetGallery();
            const CRect cell = gallery.Model().GetCellRectOf(r.item);
            surface = gallery.Viewport();
            at = QPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
            uitest::Click(surface, at);
        } else {
            QAbstractItemView* rowsView = ShownList(*View()->GetList());
            ASSERT_NE(rowsView, nullptr);
            surface = rowsView->viewport();
            at = rowsView->visualRect(rowsView->model()->index(r.item, 0)).center();
            ClickRow(*View()->GetList(), r.item);
        }
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, surface->mapToGlobal(at));
        QApplication::sendEvent(surface, &menu);
        const std::string expected = m_camera + "/photo0" + std::to_string(r.item) + ".jpg";
        EXPECT_TRUE(uitest::WaitFor([&] { return copied() == std::vector<std::string>{expected}; })) << r.mode;
    }
    CMenu::SetChooser(nullptr);
}

TEST_F(BrowserFrameTest, ReturnInTheGalleryOpensThePictureInTheMessageEditor)
{
    Open(m_camera);
    CGalleryCtrl& gallery = *View()->GetGallery();
    Focus(&gallery);
    Select({6});
    SetCurrentIndex(6);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(gallery.m_hWnd, &enter);
    ASSERT_TRUE(uitest::WaitFor([&] { return m_app->GetMessageTemplate()->GetDocument() != nullptr; }));
    auto* message = dynamic_cast<CAPhotoDoc*>(m_app->GetMessageTemplate()->GetDocument());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetPicturePath(), m_camera + "/photo06.jpg");
}

namespace {
std::string g_sheetPdf;
} // namespace

TEST_F(BrowserFrameTest, PrintShowsTheContactSheetsAndPrintsThemAndCtrlPPrintsAtOnce)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    CMainPrintDlog::SetPrinterFactory([] { return std::make_unique<CPrinterDC>(g_sheetPdf); });
    int shown = 0;
    CDialog::SetModalObserver([&](CDialog* d) {
        if (dynamic_cast<CMainPrintDlog*>(d)) {
            ++shown;
            d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_SHEET_PRINT, BN_CLICKED), 0);
        }
    });

    // 13 photographs on sheets of 3 x 3: two pages.
    g_sheetPdf = (m_dir / "sheets.pdf").string();
    Frame()->SendMessage(WM_COMMAND, ID_PRINT_SHEETS, 0);
    EXPECT_EQ(shown, 1);
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    EXPECT_EQ(uitest::RenderPdf(g_sheetPdf, 20).size(), 2u);

    g_sheetPdf = (m_dir / "direct.pdf").string();
    Frame()->SendMessage(WM_COMMAND, ID_PRINT_DIRECT, 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(uitest::RenderPdf(g_sheetPdf, 20).size(), 2u);

    CDialog::SetModalObserver(nullptr);
    CMainPrintDlog::SetPrinterFactory(nullptr);
    EXPECT_TRUE(m_boxes.empty());
}

namespace {

// The save dialog's answer for the commands that write a file of their own:
// the path, or a cancel when it is empty.
std::string g_answerPath;
BOOL AnswerSaveDialog(std::string& path, BOOL bOpen, const std::string&, const std::string&)
{
    if (bOpen || g_answerPath.empty())
        return FALSE;
    path = g_answerPath;
    return TRUE;
}
struct ScopedSaveAnswers {
    ScopedSaveAnswers() : previous(SetFileDialogHandler(AnswerSaveDialog)) {}
    ~ScopedSaveAnswers()
    {
        SetFileDialogHandler(previous);
        g_answerPath.clear();
    }
    FileDialogHandler previous;
};

} // namespace

TEST_F(BrowserFrameTest, ExportCsvWritesTheSelectedPicturesInformationWithQuotesDoubled)
{
    fs::rename(m_camera + "/photo02.jpg", m_camera + "/photo02 \"b\".jpg");
    Open(m_camera);
    ScopedSaveAnswers answers;
    const std::string csv = (m_dir / "info.csv").string();
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    // Nothing selected: the command is off, and run anyway it leaves no file.
    Select({});
    EXPECT_FALSE(Enabled(ID_EXPORT_CSV));
    g_answerPath = csv;
    Frame()->SendMessage(WM_COMMAND, ID_EXPORT_CSV, 0);
    EXPECT_FALSE(fs::exists(csv));

    Select({0, 2});
    ASSERT_TRUE(Enabled(ID_EXPORT_CSV));
    Frame()->SendMessage(WM_COMMAND, ID_EXPORT_CSV, 0);
    const std::string text = read(csv);
    // One block per picture in gallery order, an empty line after each.
    const size_t gap = text.find("\n\n");
    ASSERT_NE(gap, std::string::npos) << text;
    EXPECT_EQ(text.rfind("\n\n"), text.size() - 2);
    EXPECT_EQ(text.rfind("\"Name\",\"photo00.jpg\"\n", 0), 0u) << text;
    EXPECT_NE(text.find("\"Name\",\"photo02 \"\"b\"\".jpg\"\n", gap), std::string::npos) << text;
    // The camera's information follows the file's.
    std::string key, taken;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        key = GetFileItem(0)->m_exifInfo.GetItemKey(kExifItemDateTaken);
        taken = GetFileItem(0)->m_exifInfo.GetItemText(kExifItemDateTaken);
    }
    ASSERT_FALSE(taken.empty());
    EXPECT_NE(text.substr(0, gap).find("\"" + key + "\",\"" + taken + "\"\n"), std::string::npos) << text;
    EXPECT_TRUE(m_boxes.empty());

    // A place that cannot be written says so, and the file written before stays.
    g_answerPath = (m_dir / "missing" / "info.csv").string();
    Frame()->SendMessage(WM_COMMAND, ID_EXPORT_CSV, 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Unable to open file.");
    // Cancelled: nothing changes.
    g_answerPath.clear();
    Select({0});
    Frame()->SendMessage(WM_COMMAND, ID_EXPORT_CSV, 0);
    EXPECT_EQ(read(csv), text);

    // A name typed without its extension gets ".CSV"; a file already under that
    // name is replaced only when the user agrees, else the name is asked again.
    const std::string notes = (m_dir / "notes.CSV").string();
    qrtest::WriteBytes(notes, {'o', 'l', 'd'});
    static std::vector<std::string> names;
    for (int agree : {IDCANCEL, IDOK}) {
        names = {(m_dir / "notes").string(), ""};
        const FileDialogHandler before = SetFileDialogHandler([](std::string& path, BOOL, const std::string&, const std::string&) {
            if (names.empty())
                return FALSE;
            path = names.front();
            names.erase(names.begin());
            return path.empty() ? FALSE : TRUE;
        });
        m_boxes.clear();
        m_app->m_showMessageBox = [this, agree](const std::string& box, UINT) {
            m_boxes.push_back(box);
            return agree;
        };
        Frame()->SendMessage(WM_COMMAND, ID_EXPORT_CSV, 0);
        SetFileDialogHandler(before);
        EXPECT_EQ(m_boxes, std::vector<std::string>{"File already exists. Replace?"}) << agree;
        EXPECT_EQ(names.empty(), agree == IDCANCEL) << agree; // refused: the dialog came again
        EXPECT_EQ(read(notes) == "old", agree == IDCANCEL) << agree;
    }
}

TEST_F(BrowserFrameTest, TheUserCommentIsWrittenIntoTheSelectedPicturesAndClearedAsBlanks)
{
    Open(m_camera);
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto fileComment = [](const std::string& path) {
        CExifTextFormatter formatter;
        CExifInfoSet exif(&formatter);
        CMakerInfoSet maker(&formatter);
        EXPECT_TRUE(QueryImageFileInfo(path, exif, maker, nullptr, nullptr));
        return exif.GetItemText(kExifItemComment);
    };
    std::string answer;
    int shown = 0;
    std::string shownText;
    CDialog::SetModalObserver([&](CDialog* d) {
        if (!dynamic_cast<CTextEntryDlog*>(d))
            return;
        ++shown;
        shownText = d->GetDlgItem(IDC_TEXT_ENTRY_EDIT)->GetWindowText();
        d->GetDlgItem(IDC_TEXT_ENTRY_EDIT)->SetWindowText(answer);
        d->SendMessage(WM_COMMAND, answer == "cancel" ? IDCANCEL : IDOK, 0);
    });
    const std::string first = m_camera + "/photo00.jpg", second = m_camera + "/photo01.jpg";

    Select({0, 1});
    ASSERT_TRUE(Enabled(ID_EDIT_USER_COMMENT));
    answer = "Grüße \"am Meer\"";
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_USER_COMMENT, 0);
    EXPECT_EQ(shown, 1);
    for (const std::string& path : {first, second}) {
        EXPECT_EQ(fileComment(path), answer) << path;
        EXPECT_NE(read(path).find(std::string("UNICODE\0", 8)), std::string::npos) << path;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        EXPECT_EQ(GetFileItem(0)->GetInfoComment(), answer);
        EXPECT_EQ(GetFileItem(1)->GetInfoComment(), answer);
    }

    // Cancelled, or unchanged: the files stay as they are. The dialog shows the first one's comment.
    const std::string before = read(first);
    for (const char* a : {"cancel", "Grüße \"am Meer\""}) {
        answer = a;
        Frame()->SendMessage(WM_COMMAND, ID_EDIT_USER_COMMENT, 0);
        EXPECT_EQ(shownText, "Grüße \"am Meer\"");
        EXPECT_EQ(read(first), before);
    }

    // Cleared: 32 blanks in ASCII, shown as no comment.
    answer.clear();
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_USER_COMMENT, 0);
    for (const std::string& path : {first, second}) {
        EXPECT_EQ(fileComment(path), "") << path;
        EXPECT_NE(read(path).find(std::string("ASCII\0\0\0", 8) + std::string(32, ' ')), std::string::npos) << path;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        EXPECT_EQ(GetFileItem(0)->GetInfoComment(), "");
    }
    // The pictures are still whole JPEGs the browser reads after a reload.
    View()->ReloadFolder(TRUE);
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 13; }));
    EXPECT_TRUE(AllMade());
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        EXPECT_TRUE(GetFileItem(0, TRUE)->m_exifInfo.IsValid());
        EXPECT_EQ(GetFileItem(0)->GetInfoComment(), "");
    }
    CDialog::SetModalObserver(nullptr);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(BrowserFrameTest, SaveAsWritesTheSelectedPictureWithItsMetadataAndRefreshesAListedTarget)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    // The user types the target into the save dialog and accepts it.
    qrtest::SaveDialogAnswers answer;
    std::string& target = answer.target;
    const int& dialogs = answer.dialogs;
    auto takenOf = [](const std::string& path) {
        CExifTextFormatter formatter;
        CExifInfoSet exif(&formatter);
        CMakerInfoSet maker(&formatter);
        EXPECT_TRUE(QueryImageFileInfo(path, exif, maker, nullptr, nullptr)) << path;
        return exif.GetItemText(kExifItemDateTaken);
    };

    // Two selected: Save As does nothing.
    Select({3, 4});
    Frame()->SendMessage(WM_COMMAND, ID_SAVE_AS, 0);
    EXPECT_EQ(dialogs, 0);

    Select({3});
    ASSERT_TRUE(Enabled(ID_SAVE_AS));
    target = (m_dir / "copy.jpg").string();
    Frame()->SendMessage(WM_COMMAND, ID_SAVE_AS, 0);
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(fs::exists(target));
    const std::string taken = takenOf(m_camera + "/photo03.jpg");
    EXPECT_FALSE(taken.empty());
    EXPECT_EQ(takenOf(target), taken);
    QImage copy(QString::fromStdString(target));
    ASSERT_FALSE(copy.isNull());
    const CSize size = GetItemPictureSize(3);
    EXPECT_EQ(copy.size(), QSize(size.cx, size.cy));

    // Cancelled: nothing written. A JPEG's Save As asks no replace question.
    target.clear();
    const auto before = fs::last_write_time(m_camera + "/photo03.jpg");
    Frame()->SendMessage(WM_COMMAND, ID_SAVE_AS_REPLACE, 0);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(fs::last_write_time(m_camera + "/photo03.jpg"), before);
    EXPECT_TRUE(m_boxes.empty());
    m_boxes.clear();

    // Saved over another listed picture: that item shows the new contents.
    target = m_camera + "/photo05.jpg";
    Frame()->SendMessage(WM_COMMAND, ID_SAVE_AS, 0);
    EXPECT_EQ(dialogs, 3);
    // The one question: the replace of the listed file.
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(GetItemPictureSize(5), size);
    EXPECT_EQ(takenOf(target), taken);
}

TEST_F(BrowserFrameTest, CopyAndMoveToFolderTakeTheSelectedPicturesWithTheirVoiceNotes)
{
    const std::string album = m_home + "/Pictures/Album";
    fs::create_directories(album);
    std::ofstream(m_camera + "/photo03.WAV") << "RIFF";
    Open(m_camera);
    Focus(View()->GetGallery());
    std::string caption;
    int shown = 0;
    CDialog::SetModalObserver([&](CDialog* d) {
        auto* dlg = dynamic_cast<CSelectFolderDlog*>(d);
        if (!dlg)
            return;
        ++shown;
        caption = dlg->GetWindowText();
        ASSERT_TRUE(dlg->Tree().SelectPath(album));
        dlg->SendMessage(WM_COMMAND, IDOK, 0);
    });

    Select({1, 2});
    ASSERT_TRUE(Enabled(ID_COPY_TO_FOLDER));
    Frame()->SendMessage(WM_COMMAND, ID_COPY_TO_FOLDER, 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(caption, "Copy to Folder");
    for (const char* name : {"photo01.jpg", "photo02.jpg"}) {
        EXPECT_TRUE(fs::exists(album + "/" + name)) << name;
        EXPECT_EQ(fs::file_size(album + "/" + name), fs::file_size(m_camera + "/" + name)) << name;
    }
    EXPECT_EQ(GetFileItemCount(), 13);

    // A move takes the picture's voice note along, and the browser lets the item go.
    Select({3});
    ASSERT_TRUE(Enabled(ID_MOVE_TO_FOLDER));
    Frame()->SendMessage(WM_COMMAND, ID_MOVE_TO_FOLDER, 0);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(caption, "Move to Folder");
    EXPECT_TRUE(fs::exists(album + "/photo03.jpg"));
    EXPECT_TRUE(fs::exists(album + "/photo03.WAV"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo03.jpg"));
    EXPECT_FALSE(fs::exists(m_camera + "/photo03.WAV"));
    EXPECT_EQ(GetFileItemCount(), 12);
    EXPECT_EQ(View()->GetGallery()->GetItemCount(), 12);
    CDialog::SetModalObserver(nullptr);
    EXPECT_TRUE(m_boxes.empty());
}

// The picture the list shows for a row of its shown form.
QImage RowPicture(CListCtrl& list, int row, int size)
{
    QAbstractItemView* v = ShownList(list);
    if (!v)
        return {};
    const QIcon icon = v->model()->data(v->model()->index(row, 0), Qt::DecorationRole).value<QIcon>();
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(BrowserFrameTest, SwitchedOnTheListShowsEachItemsThumbnailAndKeepsItWithTheItem)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    EXPECT_FALSE(View()->IsListThumbnails());
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    CListCtrl* list = View()->GetList();
    View()->SetListThumbnails(TRUE);
    const CImageList& pictures = View()->ListImages();
    ASSERT_EQ(pictures.GetImageCount(), 13);
    EXPECT_EQ(pictures.GetImageSize(), CSize(18, 18));
    // Each row shows its own item's thumbnail: photographs, not a blank or an icon.
    std::vector<QImage> before;
    for (int i = 0; i < 13; ++i) {
        const QImage shown = RowPicture(*list, i, 18);
        ASSERT_EQ(shown, pictures.Image(i).convertToFormat(QImage::Format_ARGB32)) << i;
        before.push_back(shown);
    }
    EXPECT_NE(before[0], before[12]);
    EXPECT_NE(before[0].pixel(9, 9), qRgb(255, 255, 255));
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(uitest::Grab(Frame()->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_list_thumbnails.png"));

    // Sorted the other way, the pictures follow their items.
    ClickHeading(*list, 0);
    ASSERT_TRUE(View()->IsSortDescending());
    EXPECT_EQ(list->GetItemText(0, 0), "photo12.jpg");
    EXPECT_EQ(RowPicture(*list, 0, 18), before[12]);
    EXPECT_EQ(RowPicture(*list, 12, 18), before[0]);
    // The icons form shows them too.
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_ICONS, 0);
    EXPECT_EQ(RowPicture(*list, 0, 18), before[12]);
}

TEST_F(BrowserFrameTest, SwitchedOnTheListAsksTheShellForTheIconOfEachFileTypeOnce)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    View()->SetOwnIcons(TRUE);
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_ICONS, 0);
    CListCtrl* list = View()->GetList();
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(uitest::Grab(Frame()->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_own_icons.png"));
    // Every row drawn asked; thirteen JPEGs keep one entry, the shell's icon of the type.
    int jpegIcon = -1;
    ASSERT_TRUE(GetShellIconIndex(m_camera + "/photo00.jpg", jpegIcon));
    EXPECT_EQ(View()->OwnIcons(), (std::map<std::string, int>{{"JPG", jpegIcon}}));
    EXPECT_FALSE(RowPicture(*list, 12, 32).isNull());
}
