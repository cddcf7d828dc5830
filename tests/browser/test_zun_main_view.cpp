#include "browser/zun_main_view.h"
#include "browser/file_item.h"
#include "browser/zun_main_frame.h"
#include "imaging/dib_bitmap.h"
#include "ui/text_draw.h"
#include "util/reg_settings.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "platform/framework/win_app.h"
#include "browser_fixture.h"
#include "support/command_recorder.h"
#include "support/shell_places.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QDir>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The view in a window of its own, under a main window that keeps the
// commands it is sent, over a home of the test's own whose Camera folder
// holds the camera pictures.
class BrowserViewTest : public qrtest::BrowserTest {
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        fs::create_directories(camera);
        fs::create_directories(home + "/Pictures/Empty");
        int n = 0;
        for (const auto& entry : fs::directory_iterator(QR_TEST_DATA_DIR))
            if (entry.path().filename().string().rfind("camera_", 0) == 0)
            {
                fs::copy_file(entry.path(), camera + (n < 10 ? "/photo0" : "/photo") + std::to_string(n) + ".jpg");
                ++n;
            }
        ASSERT_TRUE(main.Create(nullptr, "main", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        app.m_pMainWnd = &main;
        ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 760, 480), nullptr, 0));
        view = new CZunMainView;
        ASSERT_TRUE(view->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 760, 480), &host, AFX_IDW_PANE_FIRST,
                                 nullptr));
        view->OnInitialUpdate();
        host.ShowWindow(SW_SHOW);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        host.DestroyWindow(); // the view goes with its window
        app.m_pMainWnd = nullptr;
        main.DestroyWindow();
        BrowserTest::TearDown();
    }
    // The folder chosen in the tree, as the document passes it on.
    void Open(const std::string& folder)
    {
        view->GetTreePane()->SelectFolder(folder);
        ASSERT_EQ(view->GetTreePane()->GetCurrentFolder(), folder);
        view->OnUpdate(nullptr, kHintDirectoryChanged, nullptr);
    }
    // Every thumbnail made and redrawn.
    bool AllMade()
    {
        if (!uitest::WaitFor([&] { return view->Loader().PendingCount() == 0; }))
            return false;
        QApplication::processEvents(); // the refresh the loader posted
        return true;
    }
    CGalleryCtrl& Gallery() { return *view->GetGallery(); }
    QPoint Centre(int index)
    {
        const CRect r = Gallery().Model().GetCellRectOf(index);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    std::string home = (m_dir / "home").string();
    std::string camera = home + "/Pictures/Camera";
    qrtest::ScopedShellPlaces places{home};
    CWinApp app{"browser"};
    qrtest::CommandRecorder main;
    CWnd host;
    CZunMainView* view = nullptr;
};

TEST_F(BrowserViewTest, ThumbnailsOfARealFolderAppearAndTheTotalsFollowTheSelection)
{
    Open(camera);
    EXPECT_EQ(main.Count(ID_STOPWAVE), 1u);
    ASSERT_EQ(GetFileItemCount(), 13);
    ASSERT_EQ(Gallery().GetItemCount(), 13);
    ASSERT_TRUE(AllMade());
    ASSERT_TRUE(uitest::WaitFor([&] { return main.Count(ID_AFTER_RELOAD) == 1; }));
    QApplication::processEvents();
    // The default medium size with information: 140 x 186 cells, three caption lines.
    EXPECT_EQ(Gallery().Model().GetCellRect(), CRect(0, 0, 140, 186));
    EXPECT_EQ(Gallery().Model().GetCaptionLines(), 3);
    EXPECT_NE(Gallery().GetItemText(0).find("photo00.jpg\n"), std::string::npos);
    uitest::Click(Gallery().Viewport(), Centre(2));
    const QImage shot = uitest::Grab(host.m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_view_camera.png"));
    // The first cell shows its photograph, not the pending picture.
    CDibBitmap made, pending;
    ASSERT_TRUE(GetItemThumbnail(0, made));
    ASSERT_TRUE(pending.LoadFromResource(IDB_THUMBNAIL_PENDING));
    bool differs = false;
    for (int y = 0; y < 120 && !differs; y += 7)
        for (int x = 0; x < 160 && !differs; x += 7)
            differs = made.GetPixel(x, y) != pending.GetPixel(x, y);
    EXPECT_TRUE(differs);
    EXPECT_GE(view->HeldThumbnailCount(), 1u);

    // One item: its caption on one line; two: the count and their size.
    uint64_t bytes = 0;
    for (int i : {2, 5})
        bytes += fs::file_size(GetFileItem(i)->GetPath());
    std::string one = GetFileItem(2)->FormatCaption(2, TRUE);
    std::replace(one.begin(), one.end(), '\n', ' ');
    EXPECT_EQ(view->GetStatusText(1), one);
    QMouseEvent ctrl(QEvent::MouseButtonPress, QPointF(Centre(5)), Gallery().Viewport()->mapToGlobal(QPointF(Centre(5))),
                     Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Gallery().Viewport(), &ctrl);
    EXPECT_EQ(view->GetStatusText(1), "2 file" + FormatSizeSuffix(bytes));
    uint64_t total = 0;
    for (const auto& e : fs::directory_iterator(camera))
        total += e.file_size();
    EXPECT_EQ(view->GetStatusText(0), "Total number of files: 13" + FormatSizeSuffix(total));
    EXPECT_EQ(view->GetStatusText(2), "");
    EXPECT_EQ(GetCurrentIndex(), 2);

    // Return hands up to two selected pictures to the message editor.
    host.m_hWnd->activateWindow();
    Gallery().m_hWnd->setFocus();
    ASSERT_TRUE(uitest::WaitFor([&] { return Gallery().m_hWnd->hasFocus(); }));
    MSG msg{};
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_RETURN;
    view->PreTranslateMessage(&msg);
    ASSERT_TRUE(uitest::WaitFor([&] { return main.Count(ID_FUNC_ANOTAION) == 1; }));
    view->SetAllSelected(TRUE);
    view->PreTranslateMessage(&msg);
    QApplication::processEvents();
    EXPECT_EQ(main.Count(ID_FUNC_ANOTAION), 1u);
    // A double click makes the item current and opens it.
    uitest::Mouse(Gallery().Viewport(), QEvent::MouseButtonDblClick, Centre(7));
    EXPECT_EQ(GetCurrentIndex(), 7);
    EXPECT_EQ(main.Count(ID_FILEDCLICKED), 1u);
}

TEST_F(BrowserViewTest, AnEmptyFolderAndFilesThatVanish)
{
    Open(home + "/Pictures/Empty");
    EXPECT_EQ(Gallery().GetItemCount(), 0);
    EXPECT_EQ(view->GetStatusText(0), "Total number of files: 0" + FormatSizeSuffix(0));
    EXPECT_EQ(view->GetStatusText(1), "");

    Open(camera);
    ASSERT_TRUE(AllMade());
    // Files deleted behind the view's back go with their cells; the later
    // items keep their own thumbnails.
    const std::string last = GetFileItem(12)->GetPath();
    fs::remove(GetFileItem(1)->GetPath());
    fs::remove(GetFileItem(4)->GetPath());
    view->SendMessage(WM_COMMAND, ID_FILEMOVED, 0);
    EXPECT_EQ(GetFileItemCount(), 11);
    EXPECT_EQ(Gallery().GetItemCount(), 11);
    EXPECT_EQ(GetFileItem(10)->GetPath(), last);
    EXPECT_NE(Gallery().GetItemText(10).find("photo12.jpg"), std::string::npos);
    EXPECT_EQ(view->GetStatusText(0).rfind("Total number of files: 11", 0), 0u);
}

TEST_F(BrowserViewTest, ThumbnailSizesInformationAndSettings)
{
    Open(camera);
    CGalleryModel& m = Gallery().Model();
    struct Row {
        UINT command;
        BOOL info;
        CRect cell;
        int bottomInset;
        int lines;
    } rows[] = {{ID_THUMB_LARGE, TRUE, CRect(0, 0, 180, 226), 52, 3},
                {ID_THUMB_SMALL, TRUE, CRect(0, 0, 100, 146), 52, 3},
                {ID_VIEW_IMAGEINFO, FALSE, CRect(0, 0, 100, 120), 26, 1},
                {ID_THUMB_MEDIUM, FALSE, CRect(0, 0, 140, 160), 26, 1}};
    for (const Row& r : rows) {
        view->SendMessage(WM_COMMAND, r.command, 0);
        EXPECT_EQ(view->IsShowingInfo(), r.info) << r.command;
        EXPECT_EQ(m.GetCellRect(), r.cell) << r.command;
        // The inset of the size, or more where the caption lines need it.
        EXPECT_EQ(m.GetInsets(), CRect(10, 4, 10, std::max(r.bottomInset, r.lines * m.GetLineHeight() + 3))) << r.command;
        EXPECT_EQ(m.GetCaptionLines(), r.lines) << r.command;
    }
    EXPECT_EQ(Gallery().GetItemText(0), "photo00.jpg");
    // Custom with the information off: seven lines and six more in the bottom inset.
    const int h = MeasureTextHeight(Gallery().GetCaptionFont());
    view->SendMessage(WM_COMMAND, ID_THUMB_CUSTOM, 0);
    EXPECT_EQ(view->GetThumbnailSize(), 4);
    EXPECT_EQ(m.GetCaptionLines(), 7);
    EXPECT_EQ(m.GetInsets().bottom, 26 + 6 * (h + 1) + 4);
    EXPECT_EQ(m.GetCellRect().Height(), 186 + 6 * (h + 1) + 4);
    ASSERT_TRUE(AllMade());
    const QImage shot = uitest::Grab(host.m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_view_custom.png"));

    view->SaveSettings();
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ThumbSize", 0), 4);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ShowBrowserInfo", 1), 0);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ZunMainView", 0), 1);
    EXPECT_GT(RegReadInt(IDS_REG_PREFERENCE, "DirTreeWidth", 0), 0);
    std::string scanned;
    RegReadString(scanned, IDS_REG_PREFERENCE, "ScanFolder");
    EXPECT_EQ(scanned, camera);
}

TEST_F(BrowserViewTest, VoiceNotesPlayAndMissingOnesAreSkipped)
{
    CWave note;
    ASSERT_TRUE(note.Create(8000, 16, 4000));
    const std::string path = camera + "/note.wav";
    ASSERT_TRUE(note.WriteWav(path));
    view->PlaySoundFile(camera + "/missing.wav");
    view->PlaySoundFile("");
    EXPECT_EQ(view->Wave().TotalSamples(), 0u);
    view->PlaySoundFile(path);
    EXPECT_EQ(view->Wave().TotalSamples(), 4000u);
    EXPECT_TRUE(view->Wave().IsPlaying());
    view->SaveSettings(); // stops it
    EXPECT_TRUE(uitest::WaitFor([&] { return !view->Wave().IsPlaying(); }));
}

TEST_F(BrowserViewTest, HiddenViewParksTheLoaderAndAClosedOneStopsIt)
{
    host.ShowWindow(SW_HIDE);
    QApplication::processEvents();
    EXPECT_TRUE(view->Loader().IsRunning());
    EXPECT_TRUE(view->Loader().IsParked());
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        view->GetTreePane()->SelectFolder(camera);
    }
    view->ReloadFolder(TRUE);
    ASSERT_EQ(GetFileItemCount(), 13);
    QApplication::processEvents();
    EXPECT_EQ(view->Loader().PendingCount(), 13);
    host.ShowWindow(SW_SHOW);
    ASSERT_TRUE(AllMade());
    host.ShowWindow(SW_HIDE);
    EXPECT_TRUE(view->Loader().IsParked());
    // Destroyed while parked: the thread ends and is joined.
    host.DestroyWindow();
    view = nullptr;
}

// ---- the icon and details list

// The list's form the user sees, and a press on one of its rows.
QAbstractItemView* ShownList(CListCtrl& list)
{
    for (QAbstractItemView* v : list.m_hWnd->findChildren<QAbstractItemView*>())
        if (v->isVisible())
            return v;
    return nullptr;
}

void ClickRow(CListCtrl& list, int row, Qt::KeyboardModifiers mods = {}, QEvent::Type type = QEvent::MouseButtonPress)
{
    QAbstractItemView* v = ShownList(list);
    ASSERT_NE(v, nullptr);
    const QPoint at = v->visualRect(v->model()->index(row, 0)).center();
    std::vector<QEvent::Type> events{QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
    // A double click follows a click on the same row.
    if (type == QEvent::MouseButtonDblClick)
        events.insert(events.end(), {type, QEvent::MouseButtonRelease});
    for (QEvent::Type t : events) {
        QMouseEvent e(t, QPointF(at), v->viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, mods);
        QApplication::sendEvent(v->viewport(), &e);
    }
}

std::vector<int> GallerySelection(CGalleryCtrl& g)
{
    std::vector<int> out;
    for (int i = 0; i < g.GetItemCount(); ++i)
        if (g.IsSelected(i))
            out.push_back(i);
    return out;
}

std::vector<int> ListSelection(CListCtrl& list)
{
    std::vector<int> out;
    for (int i = list.GetNextItem(-1, LVNI_SELECTED); i >= 0; i = list.GetNextItem(i, LVNI_SELECTED))
        out.push_back(i);
    return out;
}

TEST_F(BrowserViewTest, TheListShowsTheGalleryItemsInIconsOrDetails)
{
    Open(camera);
    ASSERT_TRUE(AllMade());
    CListCtrl& list = *view->GetList();
    EXPECT_FALSE(list.IsWindowVisible());
    view->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    EXPECT_EQ(view->GetViewMode(), 3);
    EXPECT_EQ(list.GetViewStyle(), DWORD(LVS_REPORT));
    EXPECT_TRUE(list.IsWindowVisible());
    EXPECT_FALSE(Gallery().IsWindowVisible());
    ASSERT_EQ(list.GetItemCount(), 13);
    // The folder's first item came selected and stays so in the list.
    EXPECT_EQ(ListSelection(list), std::vector<int>{0});
    EXPECT_EQ(list.GetItemState(0, LVIS_FOCUSED), UINT(LVIS_FOCUSED));
    const std::string path = GetFileItem(4)->GetPath();
    EXPECT_EQ(list.GetItemText(4, 0), "photo04.jpg");
    EXPECT_EQ(list.GetItemText(4, 1), FormatFileSizeText(path));
    EXPECT_EQ(list.GetItemText(4, 2), GetShellTypeName(path));
    EXPECT_EQ(list.GetItemText(4, 3), FormatFileWriteTime(path));
    EXPECT_EQ(list.GetItemText(4, 3).size(), std::string("2021/07/04 09:08:07").size());

    // Reload Index lists the store as it stands, unsorted, from its first item.
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        std::swap(GetFileItemArray()[0], GetFileItemArray()[12]);
    }
    view->SendMessage(WM_COMMAND, ID_RELOADINDEX, 0);
    EXPECT_EQ(list.GetItemText(0, 0), "photo12.jpg");
    EXPECT_NE(Gallery().GetItemText(0).find("photo12.jpg"), std::string::npos);
    EXPECT_EQ(ListSelection(list), std::vector<int>{0});

    view->SendMessage(WM_COMMAND, ID_VIEW_ICONS, 0);
    EXPECT_EQ(list.GetViewStyle(), DWORD(LVS_ICON));
    EXPECT_TRUE(list.IsWindowVisible());
    EXPECT_EQ(ListSelection(list), std::vector<int>{0});
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(uitest::Grab(host.m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_view_icons.png"));
    view->SendMessage(WM_COMMAND, ID_VIEW_THUMBNAILS, 0);
    EXPECT_TRUE(Gallery().IsWindowVisible());
    EXPECT_FALSE(list.IsWindowVisible());
    // A stored mode out of range shows the thumbnails.
    view->SetViewMode(7);
    EXPECT_EQ(view->GetViewMode(), 1);
}

TEST_F(BrowserViewTest, TheTypeColumnAsksTheShellOncePerExtensionInAnyCase)
{
    std::map<std::string, std::string> names;
    std::vector<std::string> asked;
    auto ask = [&](const std::string& path) {
        asked.push_back(path);
        return "type of " + path;
    };
    struct Row {
        const char* path;
        const char* name;
    } rows[] = {{"/p/a.jpg", "type of /p/a.jpg"},
                {"/p/b.jpg", "type of /p/a.jpg"},
                {"/p/C.JPG", "type of /p/a.jpg"},
                {"/p/d.png", "type of /p/d.png"},
                {"/p/e.Png", "type of /p/d.png"}};
    for (const Row& r : rows)
        EXPECT_EQ(CZunMainView::LookUpTypeName(names, r.path, ask), r.name) << r.path;
    EXPECT_EQ(asked, (std::vector<std::string>{"/p/a.jpg", "/p/d.png"}));
    EXPECT_EQ(names.count("JPG"), 1u);
}

TEST_F(BrowserViewTest, ASelectionMadeInTheListReachesTheGalleryAndTheFunctionPane)
{
    Open(camera);
    CListCtrl& list = *view->GetList();
    view->SetViewMode(3);
    struct Step {
        int row;
        Qt::KeyboardModifiers mods;
        std::vector<int> selected;
        int current;
    } steps[] = {{3, {}, {3}, 3},
                 {5, Qt::ControlModifier, {3, 5}, 5},
                 {8, Qt::ShiftModifier, {5, 6, 7, 8}, 8},
                 {6, Qt::ControlModifier, {5, 7, 8}, 6},
                 {1, {}, {1}, 1}};
    for (const Step& s : steps) {
        ClickRow(list, s.row, s.mods);
        EXPECT_EQ(GallerySelection(Gallery()), s.selected) << s.row;
        EXPECT_EQ(ListSelection(list), s.selected) << s.row;
        EXPECT_EQ(GetCurrentIndex(), s.current) << s.row;
    }
    // One picture: the function pane offers it, and the status shows its caption.
    EXPECT_TRUE(view->GetFuncPane()->Button(0).IsWindowEnabled());
    EXPECT_NE(view->GetStatusText(1).find("photo01.jpg"), std::string::npos);
    ClickRow(list, 2, Qt::ControlModifier);
    EXPECT_EQ(view->GetStatusText(1).rfind("2 file", 0), 0u);

    // Select All and a program's own selection show in the list too; a
    // plain click in a selection keeps that one item.
    view->SendMessage(WM_COMMAND, ID_EDIT_SELECT_ALL, 0);
    EXPECT_EQ(ListSelection(list).size(), 13u);
    ClickRow(list, 3);
    EXPECT_EQ(ListSelection(list), std::vector<int>{3});
    EXPECT_EQ(GallerySelection(Gallery()), std::vector<int>{3});
    view->SendMessage(WM_COMMAND, ID_EDIT_SELECT_ALL, 0);
    view->SelectItem(9, TRUE);
    EXPECT_EQ(ListSelection(list), std::vector<int>{9});
    // A double click makes the row current and opens it.
    ClickRow(list, 4, {}, QEvent::MouseButtonDblClick);
    EXPECT_EQ(GetCurrentIndex(), 4);
    EXPECT_EQ(main.Count(ID_FILEDCLICKED), 1u);
}

TEST_F(BrowserViewTest, PlayTakesTheVoiceNoteOrOpensTheItemAndAnotherSelectionStopsIt)
{
    // A voice note beside photo03.jpg, and a sound of its own that lists first.
    CWave note;
    ASSERT_TRUE(note.Create(8000, 16, 40000));
    ASSERT_TRUE(note.WriteWav(camera + "/photo03.WAV"));
    ASSERT_TRUE(note.WriteWav(camera + "/alone.wav"));
    Open(camera);
    ASSERT_EQ(GetItemFileName(0), "alone.wav");
    ASSERT_EQ(GetItemSoundPath(4), camera + "/photo03.WAV");
    view->SetViewMode(3);
    CListCtrl& list = *view->GetList();
    // Two items: nothing; a sound item opens as a double click would; a
    // picture plays its note.
    struct Row {
        std::vector<int> selected;
        bool plays;
        size_t opened;
    } rows[] = {{{3, 4}, false, 0}, {{0}, false, 1}, {{4}, true, 1}};
    for (const Row& r : rows) {
        view->SetAllSelected(FALSE);
        for (int i : r.selected)
            Gallery().SetSelected(i, TRUE);
        SetCurrentIndex(r.selected[0]);
        view->SendMessage(WM_COMMAND, ID_PLAY_SOUND, 0);
        EXPECT_EQ(view->Wave().IsPlaying(), r.plays) << r.selected.size();
        EXPECT_EQ(main.Count(ID_FILEDCLICKED), r.opened) << r.selected.size();
    }
    // Another item chosen in the list ends the note.
    ClickRow(list, 7);
    EXPECT_TRUE(uitest::WaitFor([&] { return !view->Wave().IsPlaying(); }));
    // A click on the item's mark plays its note; a selection that keeps the
    // item lets it play on, one without it ends it.
    ClickRow(list, 4);
    NMGALLERY click;
    click.hdr.code = GCN_ICONCLICK;
    click.hdr.idFrom = IDC_BROWSER_GALLERY;
    click.iItem = 4;
    view->SendMessage(WM_NOTIFY, IDC_BROWSER_GALLERY, LPARAM(&click.hdr));
    ASSERT_TRUE(view->Wave().IsPlaying());
    ClickRow(list, 6, Qt::ControlModifier);
    EXPECT_TRUE(view->Wave().IsPlaying());
    ClickRow(list, 6);
    EXPECT_TRUE(uitest::WaitFor([&] { return !view->Wave().IsPlaying(); }));
}

TEST_F(BrowserViewTest, ARowOfTheListIsRenamedInPlaceWithItsVoiceNote)
{
    CWave note;
    ASSERT_TRUE(note.Create(8000, 16, 400));
    ASSERT_TRUE(note.WriteWav(camera + "/photo01.WAV"));
    Open(camera);
    view->SetViewMode(3);
    CListCtrl& list = *view->GetList();
    host.m_hWnd->activateWindow();
    list.SetFocus();
    ASSERT_TRUE(uitest::WaitFor([&] { return list.m_hWnd->isAncestorOf(QApplication::focusWidget()); }));
    ClickRow(list, 1);
    view->UpdateActivePane();
    ASSERT_EQ(view->GetActivePane(), &list);
    view->SendMessage(WM_COMMAND, ID_EDIT_RENAME_FILE, 0);
    CEdit* editor = list.GetEditControl();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(view->GetActiveEditor(), editor);
    editor->SetWindowText("Holiday");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor->m_hWnd, &enter);
    EXPECT_EQ(list.GetEditControl(), nullptr);
    EXPECT_TRUE(fs::exists(camera + "/Holiday.jpg"));
    EXPECT_TRUE(fs::exists(camera + "/Holiday.WAV"));
    EXPECT_FALSE(fs::exists(camera + "/photo01.jpg"));
    EXPECT_EQ(list.GetItemText(1, 0), "Holiday.jpg");
    EXPECT_EQ(Gallery().GetItemText(1).substr(0, 11), "Holiday.jpg");
}

} // namespace
