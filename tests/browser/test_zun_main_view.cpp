#include "browser/zun_main_view.h"
#include "browser/file_item.h"
#include "imaging/dib_bitmap.h"
#include "ui/text_draw.h"
#include "util/reg_settings.h"
#include "util/string_util.h"
#include "platform/framework/win_app.h"
#include "browser_fixture.h"
#include "support/command_recorder.h"
#include "support/shell_places.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

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
        EXPECT_EQ(m.GetInsets(), CRect(10, 4, 10, r.bottomInset)) << r.command;
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

} // namespace
