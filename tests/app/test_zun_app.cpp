#include "ui/command_line.h"
#include "app/program_parts.h"
#include "browser/file_item_store.h"
#include "imaging/colour_settings.h"
#include "imaging/colour_space_desc.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "viewer/viewer_doc.h"
#include "viewer/viewer_doc_template.h"
#include "platform/datetime.h"
#include "message/ano_commands.h"
#include "ui/drag_data_source.h"
#include "resources/string_table.h"
#include "ui/hover_help.h"
#include "ui/menu_bar.h"
#include "message/ano_main_frame.h"
#include "message/ano_record.h"
#include "message/ano_search_dlog.h"
#include "message/aphoto_comment_pane.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_img_pane.h"
#include "message/aphoto_view.h"
#include "app/zun_app.h"
#include "platform/framework/dialog.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"
#include "platform/framework/view.h"
#include "ui/zun_frame_wnd.h"
#include "util/app_settings.h"
#include "util/reg_settings.h"
#include "platform/registry.h"
#include "resources/program_icon.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <unistd.h>
#include <fstream>

namespace {

const std::string kScreenshots = std::string(QR_TEST_BUILD_DIR) + "/screenshots";

QImage Grab(QWidget* w)
{
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}

void SaveScreenshot(const QImage& img, const std::string& name)
{
    std::filesystem::create_directories(kScreenshots);
    ASSERT_TRUE(img.save(QString::fromStdString(kScreenshots + "/" + name)));
}

TEST(MessageBoxIcons, BoxesWithoutIconGetTheExclamationMarkByButtonSet)
{
    struct Row {
        UINT type;
        UINT expected;
    } rows[] = {
        {MB_OK, MB_OK | MB_ICONEXCLAMATION},
        {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION},
        {MB_YESNO, MB_YESNO | MB_ICONEXCLAMATION},
        {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
        {MB_RETRYCANCEL, MB_RETRYCANCEL},
        {MB_OK | MB_ICONINFORMATION, MB_OK | MB_ICONINFORMATION},
        {MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION},
        {MB_RETRYCANCEL | MB_ICONHAND, MB_RETRYCANCEL | MB_ICONHAND},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MessageBoxTypeWithIcon(r.type), r.expected) << "type " << r.type;
}

TEST(RunningInstance, WindowMatchesByTitleAndFrameworkClassAndTheLastOneWins)
{
    std::vector<InstanceWindow> windows = {
        {1, "Untitled - Quiram Relayo", "Afx:CZunMainFrame"},
        {2, "Quiram Relayo", "#32770"},               // a dialog
        {3, "Untitled - Quiram Relay", "Afx:Frame"},  // title changed
        {4, "x - Quiram Relayo", "afx:CZunMainFrame"}, // class must start exactly "Afx:"
        {5, "Quiram Relayo 2", "Afx:Other"},
    };
    const InstanceWindow* w = FindRunningInstanceWindow(windows, "Quiram Relayo");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->id, 5u);
    windows.pop_back();
    EXPECT_EQ(FindRunningInstanceWindow(windows, "Quiram Relayo")->id, 1u);
    windows.erase(windows.begin());
    EXPECT_EQ(FindRunningInstanceWindow(windows, "Quiram Relayo"), nullptr);
}

TEST(StringParts, RegistryAndDocumentStringsSplitAtTheirSeparators)
{
    EXPECT_EQ(GetRegistryPathPart(0), "SOFTWARE");
    EXPECT_EQ(GetRegistryPathPart(1), "Quiram");
    EXPECT_EQ(GetRegistryPathPart(2), "7321");
    EXPECT_THROW(GetRegistryPathPart(3), std::invalid_argument);
    EXPECT_EQ(GetDocStringPart(128, 0), "Quiram Relayo");
    EXPECT_EQ(GetDocStringPart(128, 1), "");
    EXPECT_EQ(GetMessageFilterName(), "Quiram Relayo2.0");
    EXPECT_EQ(GetMessageFileExt(), ".kvt");
    EXPECT_THROW(GetDocStringPart(129, 7), std::invalid_argument);
}

TEST(OpenFilters, OpenListsMessagesAndPicturesImportOnlyPicturesNeitherMovies)
{
    const std::string pattern = std::string(QR_TEST_BUILD_DIR) + "/tests/app_fakes/Importer/*.gim";
    std::string open = BuildImageOrMessageFilter(pattern, FALSE);
    std::string import = BuildImageOrMessageFilter(pattern, TRUE);
    for (const std::string& f : {open, import}) {
        EXPECT_NE(f.find("*.PIC"), std::string::npos) << f;
        EXPECT_EQ(f.find("MOV"), std::string::npos) << f;
        EXPECT_EQ(f.find("AVI"), std::string::npos) << f;
    }
    EXPECT_NE(open.find("*.kvt"), std::string::npos) << open;
    EXPECT_EQ(import.find("KVT"), std::string::npos) << import;
    EXPECT_EQ(import.find("kvt"), std::string::npos) << import;
}

class ZunAppTest : public ::testing::Test {
protected:
    virtual ZunAppParts Parts() { return {}; }
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir / "rt");
        std::filesystem::permissions(m_dir / "rt", std::filesystem::perms::owner_all); // a runtime folder is private
        std::filesystem::create_directories(m_dir / "reg");
        m_savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
        setenv("XDG_RUNTIME_DIR", (m_dir / "rt").c_str(), 1);
        m_store = std::make_unique<CRegistryStore>(m_dir / "reg", m_dir / "reg");
        SetRegistryStore(m_store.get());
        // The program's own importer plug-ins read the pictures.
        const std::string home = QR_BIN_DIR;
        m_store->SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quiram\\7321", "HomePath", REG_SZ, home.c_str(), home.size() + 1);
        m_app = std::make_unique<CZunApp>(Parts());
        m_app->SetArguments(m_arguments);
        m_app->m_showMessageBox = [this](const std::string& text, UINT type) {
            m_boxes.push_back({text, type});
            // The frames keep their looks while the box is up.
            m_framesEnabledDuringBox = m_app->m_pMainWnd && m_app->m_pMainWnd->m_hWnd->isEnabled();
            if (m_onBox)
                m_onBox();
            return IDOK;
        };
        ASSERT_TRUE(m_app->InitInstance());
    }

    void TearDown() override
    {
        m_app->CloseAllDocuments(FALSE);
        m_app->ExitInstance();
        m_app.reset();
        SetRegistryStore(nullptr);
        setenv("XDG_RUNTIME_DIR", m_savedRuntime.c_str(), 1);
    }

    std::string MakeFile(const std::string& name)
    {
        std::string path = (m_dir / name).string();
        std::ofstream(path) << "x";
        return path;
    }

    // A real message file under the name.
    std::string MakeMessage(const std::string& name)
    {
        std::filesystem::copy_file(qrtest::DataPath("message_golden.kvt"), m_dir / name);
        return (m_dir / name).string();
    }

    std::string MakePicture(const std::string& name, int width, int height)
    {
        QImage img(width, height, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(img.save(QString::fromStdString(path), "JPG"));
        return path;
    }

    // Starts the program again with these arguments after the program's name.
    void Restart(std::vector<std::string> args)
    {
        TearDown();
        m_boxes.clear();
        m_arguments = std::move(args);
        SetUp();
    }

    struct Box {
        std::string text;
        UINT type;
    };
    qrtest::TempDir m_dir;
    std::vector<std::string> m_arguments = {"-Embedding"};
    std::string m_savedRuntime;
    std::unique_ptr<CRegistryStore> m_store;
    std::unique_ptr<CZunApp> m_app;
    std::vector<Box> m_boxes;
    bool m_framesEnabledDuringBox = false;
    std::function<void()> m_onBox;
};

// Counts the mouse presses that reach a window.
class PressCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

void Press(QWidget* w)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 40), w->mapToGlobal(QPointF(20, 40)), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(w, &press);
}

TEST_F(ZunAppTest, StartsWithTheBrowserFrameAsMainWindow)
{
    ASSERT_NE(m_app->m_pMainWnd, nullptr);
    EXPECT_EQ(m_app->m_pMainWnd, m_app->GetBrowserTemplate()->GetFrame());
    EXPECT_TRUE(m_app->m_pMainWnd->IsWindowVisible());
    EXPECT_NE(m_app->m_pMainWnd->GetWindowText().find("Quiram Relayo"), std::string::npos);
    EXPECT_EQ(m_app->GetMessageTemplate()->m_pViewerTemplate, m_app->GetViewerTemplate());
    // The program's own icon, and the name the desktop knows it by.
    EXPECT_EQ(m_app->m_pMainWnd->m_hWnd->windowIcon().pixmap(32, 32).toImage(),
              res::ProgramIcon(res::kMainProgramName).pixmap(32, 32).toImage());
    EXPECT_EQ(QGuiApplication::desktopFileName(), "quiram-relayo");
    // The browser's own icon in the caption's icon box: its white frame line.
    auto* frame = dynamic_cast<CZunFrameWnd*>(m_app->m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    const CRect icon = frame->GetIconBox();
    const QImage shot = Grab(frame->m_hWnd);
    EXPECT_EQ(shot.pixel(icon.left + 5, icon.top - frame->GetBandHeight() + 3), qRgb(255, 255, 255));
    SaveScreenshot(Grab(m_app->m_pMainWnd->m_hWnd), "browser_frame.png");
}

TEST_F(ZunAppTest, MessageBoxesGoThroughTheApplicationWithTheIconRule)
{
    EXPECT_EQ(AfxMessageBox("plain"), IDOK);
    AfxMessageBox("retry", MB_RETRYCANCEL);
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(m_boxes[1].type, UINT(MB_RETRYCANCEL));
    EXPECT_TRUE(m_framesEnabledDuringBox);

    // While a box is up the frames take no input; afterwards they do again.
    PressCounter counter;
    QWidget* frame = m_app->m_pMainWnd->m_hWnd;
    frame->installEventFilter(&counter);
    m_onBox = [&]() { Press(frame); };
    AfxMessageBox("blocked");
    EXPECT_EQ(counter.presses, 0);
    Press(frame);
    EXPECT_EQ(counter.presses, 1);
    frame->removeEventFilter(&counter);
}

TEST_F(ZunAppTest, RecentFileListTakesOnlyMessageFiles)
{
    m_app->AddToRecentFileList("/p/photo.jpg");
    m_app->AddToRecentFileList("/p/browser.zun");
    m_app->AddToRecentFileList("/p/a.kvt");
    m_app->AddToRecentFileList("/p.kvt/b.KVT");
    m_app->AddToRecentFileList("/p.kvt/c");
    ASSERT_NE(m_app->GetRecentFileList(), nullptr);
    EXPECT_EQ(m_app->GetRecentFileList()->Files(), (std::vector<std::string>{"/p.kvt/b.KVT", "/p/a.kvt"}));
}

TEST(RecentFiles, StoredValuesInOrder)
{
    auto text = [](const std::string& s) { return RegValue{REG_SZ, std::vector<uint8_t>(s.begin(), s.end())}; };
    const std::optional<RegValue> values[] = {
        text(std::string("/p/a.kvt\0", 9)),
        std::nullopt,
        RegValue{REG_BINARY, {'/', 'x', 0}},
        text(std::string(1, '\0')),
        text("/p/b.kvt"),  // a fifth value is not the list's
    };
    EXPECT_EQ(RecentFilesFromValues(values), (std::vector<std::string>{"/p/a.kvt"}));
    EXPECT_EQ(RecentFilesFromValues(std::span(values).last(1)), (std::vector<std::string>{"/p/b.kvt"}));
}

TEST_F(ZunAppTest, ViewerRefusesOnlyTheVerySamePathTwice)
{
    std::string upper = MakePicture("Photo.JPG", 16, 8);
    std::string lower = MakePicture("photo.jpg", 16, 8);
    ASSERT_NE(m_app->OpenInViewer(upper), nullptr);
    EXPECT_EQ(m_app->OpenInViewer(upper), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "This picture is already open in the viewer.");
    // Another spelling is another file here.
    EXPECT_NE(m_app->OpenInViewer(lower), nullptr);
}

// The viewer's File menu (and any frame's command 170) opens the colour
// preferences; the viewer shows a picture opened by its path.
TEST_F(ZunAppTest, ViewerOpensPicturesAndReachesTheColourPreferences)
{
    const std::string file = MakePicture("view me.jpg", 64, 48);
    CDocument* doc = m_app->OpenInViewer(file);
    ASSERT_NE(doc, nullptr);
    CFrameWnd* viewer = m_app->GetViewerTemplate()->GetFrame();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->IsWindowVisible());
    EXPECT_NE(viewer->GetWindowText().find("view me.jpg"), std::string::npos);
    std::string shown;
    CDialog::SetModalObserver([&](CDialog* dlg) {
        shown = dlg->GetWindowText();
        dlg->EndDialog(IDCANCEL);
    });
    viewer->SendMessage(WM_COMMAND, 170, 0);
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(shown, "Color Preferences");
}

TEST_F(ZunAppTest, EachFrameOpensAtItsOwnFirstSize)
{
    // The browser and the editor take the desktop's size for a new window, the viewer its own.
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const CSize desktop(std::max(640, avail.width() * 3 / 4), std::max(480, avail.height() * 3 / 4));
    auto sizeOf = [](CWnd* frame) {
        CRect r;
        frame->GetWindowRect(&r);
        return CSize(r.Width(), r.Height());
    };
    EXPECT_EQ(sizeOf(m_app->m_pMainWnd), desktop);
    ASSERT_NE(m_app->OpenInViewer(MakePicture("first.jpg", 64, 48)), nullptr);
    ASSERT_NE(m_app->GetViewerTemplate()->GetFrame(), nullptr);
    EXPECT_EQ(sizeOf(m_app->GetViewerTemplate()->GetFrame()), CSize(640, 480));
    RegWriteString(7, "ExOpenFile", MakeMessage("first.kvt"));
    m_app->m_pMainWnd->SendMessage(WM_COMMAND, ID_OPEN_HANDED_OVER_FILE, 0);
    ASSERT_TRUE(uitest::WaitFor([&] { return !m_app->IsHandOverPending(); }));
    ASSERT_NE(m_app->GetMessageTemplate()->GetFrame(), nullptr);
    EXPECT_EQ(sizeOf(m_app->GetMessageTemplate()->GetFrame()), desktop);
}

TEST_F(ZunAppTest, HandedOverMessageOpensInTheEditor)
{
    std::string file = MakeMessage("sent.kvt");
    m_app->OnCmdMsg(ID_OPEN_HANDED_OVER_FILE, 0, nullptr); // nothing handed over yet
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), nullptr);
    RegWriteString(7, "ExOpenFile", file);
    m_app->m_pMainWnd->SendMessage(WM_COMMAND, ID_OPEN_HANDED_OVER_FILE, 0);
    // The command is answered at once; the file opens right after it.
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), nullptr);
    ASSERT_TRUE(uitest::WaitFor([&] { return !m_app->IsHandOverPending(); }));
    ASSERT_NE(m_app->GetMessageTemplate()->GetDocument(), nullptr);
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument()->GetPathName(), file);
}

// A later start's missing file over a changed message: the failure is told
// on its own, nothing is asked, and the open message keeps its name.
TEST_F(ZunAppTest, AMissingHandedOverFileLeavesTheOpenMessageAsItWas)
{
    ASSERT_NE(m_app->OpenInMessageEditor(MakePicture("rocket.jpg", 80, 60), FALSE, 0), nullptr);
    CDocument* doc = m_app->GetMessageTemplate()->GetDocument();
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(TRUE);
    CFrameWnd* frame = m_app->GetMessageTemplate()->GetFrame();
    ASSERT_NE(frame, nullptr);
    frame->OnUpdateFrameTitle(TRUE);
    const std::string title = frame->GetWindowText();
    EXPECT_EQ(title.rfind("rocket", 0), 0u) << title;
    m_boxes.clear();
    for (const char* gone : {"gone.jpg", "gone.kvt"}) {
        SCOPED_TRACE(gone);
        RegWriteString(7, "ExOpenFile", (m_dir / gone).string());
        m_app->m_pMainWnd->SendMessage(WM_COMMAND, ID_OPEN_HANDED_OVER_FILE, 0);
        ASSERT_TRUE(uitest::WaitFor([&] { return !m_app->IsHandOverPending(); }));
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_NE(m_boxes[0].text.find("No such file or directory"), std::string::npos) << m_boxes[0].text;
        m_boxes.clear();
        EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), doc);
        EXPECT_TRUE(doc->IsModified());
        frame->OnUpdateFrameTitle(TRUE);
        EXPECT_EQ(frame->GetWindowText(), title);
    }
}

// The program as it starts: the browser's item store comes and goes with it.
class ProgramTest : public ZunAppTest {
protected:
    ZunAppParts Parts() override { return MakeProgramParts(); }
    void SetUp() override
    {
        m_savedCache = std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
        setenv("XDG_CACHE_HOME", (m_cache.path()).c_str(), 1);
        std::filesystem::create_directories(m_cache / "Quiram/Cache");
        qrtest::WriteBytes(m_cache / "Quiram/Cache/S_IDX00.bmp", {'x'});
        ZunAppTest::SetUp();
    }
    void TearDown() override
    {
        ZunAppTest::TearDown();
        setenv("XDG_CACHE_HOME", m_savedCache.c_str(), 1);
    }
    qrtest::TempDir m_cache;
    std::string m_savedCache;
};

TEST_F(ProgramTest, ItemStoreStartsEmptyAndItsSettingsAreSavedAtExit)
{
    EXPECT_TRUE(qrtest::FolderNames(m_cache / "Quiram/Cache").empty());
    EXPECT_EQ(GetFileItemCount(), 0);
    GetPrintTextSettings().m_nLocation = 1;
    qrtest::WriteBytes(m_cache / "Quiram/Cache/IDX03.raw", {'x'});
    m_app->ExitInstance();
    EXPECT_TRUE(qrtest::FolderNames(m_cache / "Quiram/Cache").empty());
    CPrintTextSettings stored;
    stored.Load();
    EXPECT_EQ(stored.m_nLocation, 1);
}

TEST(SecondStart, SaysSoAtOnceWhenTheRunningCopyCannotBeReached)
{
    qrtest::TempDir dir;
    std::filesystem::create_directories(dir / "rt");
    std::filesystem::permissions(dir / "rt", std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir / "reg");
    const std::string savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", (dir / "rt").c_str(), 1);
    CRegistryStore store(dir / "reg", dir / "reg");
    SetRegistryStore(&store);
    {
        // A running copy that holds the lock but has lost its socket.
        auto running = CInstanceLock::Acquire(CZunApp::kSemaphoreName, 0);
        ASSERT_NE(running, nullptr);
        const std::string file = (dir / "sent.kvt").string();
        std::ofstream(file) << "x";
        struct Row {
            std::vector<std::string> args;
            std::string text;
        } rows[] = {
            {{}, "Quiram Relayo is already running but does not answer.\n"
                 "Close it, or wait until it answers, then start the program again."},
            {{file}, "Quiram Relayo is already running but does not answer, so \"" + file +
                         "\" was not opened.\nClose it, or wait until it answers, then open the file again."},
        };
        for (const Row& r : rows) {
            std::vector<std::string> boxes;
            UINT type = 0;
            {
                CZunApp app;
                app.SetArguments(r.args);
                app.m_showMessageBox = [&](const std::string& text, UINT t) {
                    boxes.push_back(text);
                    type = t;
                    return IDOK;
                };
                EXPECT_FALSE(app.InitInstance());
                EXPECT_FALSE(app.IsFirstInstance());
                app.ExitInstance();
            }
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], r.text);
            EXPECT_EQ(type, UINT(MB_OK | MB_ICONEXCLAMATION));
            std::string handed;
            RegReadString(handed, 7, "ExOpenFile");
            EXPECT_EQ(handed, "");
        }
    }
    SetRegistryStore(nullptr);
    setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
}

// Each way a person closes the main frame ends the program's loop cleanly
// and saves the settings on the way out.
TEST_F(ZunAppTest, ClosingTheMainFrameEachWayEndsTheProgramAndSavesTheSettings)
{
    enum Way { kCaptionButton, kSystemMenu, kAltF4, kWindowManager };
    for (Way way : {kCaptionButton, kSystemMenu, kAltF4, kWindowManager}) {
        SCOPED_TRACE(int(way));
        if (way != kCaptionButton) {
            TearDown();
            SetUp();
        }
        auto* frame = dynamic_cast<CZunFrameWnd*>(m_app->m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        QPointer<QWidget> widget = frame->m_hWnd;
        const std::string name = "closed " + std::to_string(int(way));
        GetAppSettings().m_strUserName = name;
        auto close = [&]() {
            const int band = frame->GetBandHeight();
            switch (way) {
            case kCaptionButton: {
                CPoint c = frame->GetButtonBox(CZunFrameWnd::kClose).CenterPoint();
                uitest::Click(widget, QPoint(c.x, c.y - band));
                break;
            }
            case kSystemMenu: {
                CMenu::SetChooser([](CMenu*) -> UINT { return SC_CLOSE; });
                CPoint c = frame->GetIconBox().CenterPoint();
                uitest::Click(widget, QPoint(c.x, c.y - band));
                CMenu::SetChooser(nullptr);
                break;
            }
            case kAltF4: {
                // The key goes where the keyboard focus is, inside the frame.
                QWidget* view = frame->GetActiveView() ? frame->GetActiveView()->m_hWnd : widget.data();
                QKeyEvent press(QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier);
                QApplication::sendEvent(view, &press);
                break;
            }
            case kWindowManager: {
                QCloseEvent e;
                QApplication::sendEvent(widget->windowHandle(), &e);
                break;
            }
            }
        };
        QTimer::singleShot(0, qApp, close);
        // A frame that never closes must not hang the suite.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, qApp, []() { QCoreApplication::exit(99); });
        watchdog.start(60000);
        EXPECT_EQ(m_app->Run(), 0);
        watchdog.stop();
        EXPECT_TRUE(widget.isNull());
        EXPECT_EQ(m_app->m_pMainWnd, nullptr);
        // Read back from the hive file, not from memory.
        CRegistryStore fresh(m_dir / "reg", m_dir / "reg");
        auto saved = fresh.QueryValue(HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "UserName");
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(std::string(saved->data.begin(), saved->data.end()).c_str(), name);
    }
}

// A file that cannot be opened, named on the command line or handed over by a
// later start, gets the message of a failed open and leaves nothing open: the
// browser frame stays the only window.
TEST_F(ZunAppTest, FailedOpensFromTheCommandLineAndHandOversShowTheirMessageAndLeaveNothingOpen)
{
    const std::string failed = "Failed to open document.";
    std::filesystem::create_directories(m_dir / "folder.kvt");
    struct Row {
        std::string arg;
        std::string text;
        const char* reason; // the system's reason on the second line, or null
    } rows[] = {
        {(m_dir / "missing.kvt").string(), failed, "No such file or directory"},
        {(m_dir / "folder.kvt").string(), failed, "Is a directory"},
        {MakeFile("damaged.kvt"), failed, nullptr},
        // A picture no importer reads is no empty viewer but a wrong file type.
        {MakeFile("damaged.jpg"), "Invalid file type.", nullptr},
        // The message editor tries any other file, and its document knows no such type.
        {MakeFile("notes.xyz"), "Invalid file type.", nullptr},
        {MakePicture("tiny.jpg", 4, 4), "Image size outside range.", nullptr},
        {"file://" + m_dir.path().string() + "/gone%20away.jpg", failed, "No such file or directory"},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    if (::geteuid() != 0) { // the superuser reads any file
        const std::string locked = MakeMessage("locked.kvt");
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        all.push_back({locked, failed, "Permission denied"});
    }
    for (const Row& r : all) {
        for (bool handOver : {false, true}) {
            SCOPED_TRACE(r.arg + (handOver ? " handed over" : " on the command line"));
            if (handOver) {
                // What a later start hands over: its command line's file.
                CCommandLineInfo later;
                later.ParseCommandLine({r.arg});
                m_boxes.clear();
                RegWriteString(7, "ExOpenFile", later.m_strFileName);
                m_app->m_pMainWnd->SendMessage(WM_COMMAND, ID_OPEN_HANDED_OVER_FILE, 0);
                ASSERT_TRUE(uitest::WaitFor([&] { return !m_app->IsHandOverPending(); }));
            } else {
                Restart({"-Embedding", r.arg});
            }
            ASSERT_EQ(m_boxes.size(), 1u);
            const std::string& text = m_boxes[0].text;
            EXPECT_EQ(text.substr(0, text.find('\n')), r.text);
            if (r.reason)
                EXPECT_NE(text.find(r.reason), std::string::npos) << text;
            else
                EXPECT_EQ(text.find('\n'), std::string::npos) << text;
            EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), nullptr);
            EXPECT_TRUE(m_app->GetViewerTemplate()->GetDocuments().empty());
            EXPECT_EQ(m_app->GetCmdLineFrame(), nullptr);
            ASSERT_NE(m_app->m_pMainWnd, nullptr);
            EXPECT_TRUE(m_app->m_pMainWnd->IsWindowVisible());
        }
    }
}

TEST_F(ZunAppTest, FileAddressOnTheCommandLineOpensItsFile)
{
    const std::string file = MakeMessage("a message ä.kvt");
    Restart({"-Embedding", "file://" + m_dir.path().string() + "/a%20message%20%C3%A4.kvt"});
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_NE(m_app->GetMessageTemplate()->GetDocument(), nullptr);
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument()->GetPathName(), file);
    ASSERT_NE(m_app->GetCmdLineFrame(), nullptr);
    EXPECT_NE(m_app->GetCmdLineFrame()->GetWindowText().find("a message ä.kvt"), std::string::npos);
}

TEST(CommandLine, FileAddressesAreTheirPathsPercentDecodedByteForByte)
{
    const std::string cwd = std::filesystem::current_path().string();
    struct Row {
        const char* arg;
        std::string path;
    } rows[] = {
        {"file:///tmp/a%20b.kvt", "/tmp/a b.kvt"},
        {"FILE:///tmp/x.jpg", "/tmp/x.jpg"},
        {"file://localhost/tmp/x.jpg", "/tmp/x.jpg"},
        {"file:///tmp/%C3%A4%FF.jpg", "/tmp/\xC3\xA4\xFF.jpg"}, // any bytes, not only UTF-8
        {"file:///tmp/a.kvt%00.jpg", cwd + "/file:/tmp/a.kvt%00.jpg"}, // a zero byte names no file
        {"file://otherhost/tmp/x.jpg", cwd + "/file:/otherhost/tmp/x.jpg"}, // another machine's: not opened
        {"/tmp/./y/../z.kvt", "/tmp/z.kvt"},
        {"rel.kvt", cwd + "/rel.kvt"},
    };
    for (const Row& r : rows) {
        CCommandLineInfo info;
        info.ParseCommandLine({"-Embedding", r.arg});
        EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen) << r.arg;
        EXPECT_EQ(info.m_strFileName, r.path) << r.arg;
        EXPECT_FALSE(info.m_bShowSplash);
    }
}

} // namespace

// The message editor as a user meets it: a camera picture opened from the
// program, a text comment added on an area, the message saved, closed and
// opened again from the recent-file list.
TEST_F(ProgramTest, MessageEditorOpensAddsSavesAndReopensAMessage)
{
    // A photograph-like picture: sky, a hill and a sun.
    QImage scene(480, 360, QImage::Format_RGB32);
    {
        QPainter p(&scene);
        QLinearGradient sky(0, 0, 0, 360);
        sky.setColorAt(0, QColor(70, 130, 200));
        sky.setColorAt(1, QColor(220, 235, 250));
        p.fillRect(scene.rect(), sky);
        p.setBrush(QColor(60, 140, 60));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(200, 420), 420, 180);
        p.setBrush(QColor(250, 210, 60));
        p.drawEllipse(QPoint(380, 80), 40, 40);
    }
    const std::string photo = (m_dir / "camera.jpg").string();
    ASSERT_TRUE(scene.save(QString::fromStdString(photo), "JPG", 90));
    CDocument* opened = m_app->OpenInMessageEditor(photo, FALSE, 0);
    ASSERT_NE(opened, nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    frame->m_hWnd->resize(900, 640);
    auto* view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->HasPicture());
    const CSize size = view->GetPicture().GetSize();
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->GetToolBar().GetCount(), 13);

    // An area, a text, then Comment/Add from the menu's command.
    const CRect area(340, 40, 420, 120);
    view->GetImagePane()->SetMarquee(CAreaMarquee(area, 1));
    view->GetImagePane()->SelectTab(APhotoImgPane::kTabText);
    view->GetImagePane()->TextEditor().Edit().SetWindowText("The old bridge");
    frame->SendMessage(WM_COMMAND, ID_ADDANOTATION, 0);
    ASSERT_EQ(view->GetCommentPane()->GetTree().GetCount(), 1);
    CAPhotoDoc* doc = dynamic_cast<CAPhotoDoc*>(view->GetDocument());
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsModified());
    // Comment Search from the menu finds it and makes it the current comment.
    frame->SendMessage(WM_COMMAND, CAPhotoView::ID_COMMENT_SEARCH, 0);
    ASSERT_NE(view->GetSearchDialog(), nullptr);
    EXPECT_TRUE(view->GetSearchDialog()->IsWindowVisible());
    view->GetSearchDialog()->m_strSearchText = "OLD BRIDGE";
    view->SendMessage(WM_COMMAND, ID_ANOFINDNEXT, 0);
    EXPECT_EQ(view->GetCommentPane()->GetCurrentIndex(), 0);
    view->GetSearchDialog()->ShowWindow(SW_HIDE);
    view->GetCommentPane()->ClearSelection(FALSE);

    // Selected, the comment shows its area on the photograph.
    view->GetCommentPane()->GetTree().SetCurrent(1, FALSE, TRUE);
    frame->SendMessage(WM_COMMAND, ID_COMMENTSELCHANGED, 0);
    EXPECT_EQ(view->GetImagePane()->GetMarquee().m_rect, area);
    frame->StatusStep();
    EXPECT_EQ(frame->GetStatusBar().GetPaneText(0), std::to_string(size.cx) + " x " + std::to_string(size.cy));
    std::filesystem::create_directories(QR_TEST_BUILD_DIR "/screenshots");
    SaveScreenshot(Grab(frame->m_hWnd), "message_editor.png");

    const std::string saved = (m_dir / "bridge.kvt").string();
    ASSERT_TRUE(doc->DoSave(saved));
    EXPECT_FALSE(doc->IsModified());
    frame->SendMessage(WM_CLOSE, 0, 0);
    QApplication::processEvents();
    EXPECT_EQ(m_app->GetMessageTemplate()->GetDocument(), nullptr);

    // Back from the recent-file list: the photograph, the comment and its area.
    ASSERT_NE(m_app->GetRecentFileList(), nullptr);
    ASSERT_EQ((*m_app->GetRecentFileList())[0], saved);
    m_app->OnCmdMsg(ID_FILE_MRU_FILE1, CN_COMMAND, nullptr);
    frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetPicture().GetSize(), size);
    ASSERT_EQ(view->GetCommentPane()->GetTree().GetCount(), 1);
    const CAnoRecord record = view->GetCommentPane()->GetRecordCopy(1);
    EXPECT_EQ(record.m_strContent, "The old bridge");
    EXPECT_EQ(record.m_area.m_rect, area);
}

// Turning, inserting a second picture and undoing it, through the editor's own commands.
TEST_F(ProgramTest, MessageEditorTurnsInsertsAndUndoesPictures)
{
    const std::string first = MakePicture("wide.jpg", 200, 50);
    const std::string second = MakePicture("tall.jpg", 100, 80);
    ASSERT_NE(m_app->OpenInMessageEditor(first, FALSE, 0), nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    auto* view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    const CRect area(10, 10, 60, 40);
    view->GetImagePane()->SetMarquee(CAreaMarquee(area, 1));
    view->GetImagePane()->TextEditor().Edit().SetWindowText("left");
    frame->SendMessage(WM_COMMAND, ID_ADDANOTATION, 0);
    ASSERT_EQ(view->GetCommentPane()->GetTree().GetCount(), 1);
    auto areaOf = [&] { return view->GetCommentPane()->GetRecordCopy(1).m_area.m_rect; };
    auto bytes = [&] {
        const CImageBuffer& p = view->GetPicture();
        std::vector<uint8_t> out;
        for (int y = 0; y < p.GetHeight(); ++y)
            out.insert(out.end(), p.GetRowPointer(y), p.GetRowPointer(y) + p.GetWidth() * 3);
        return out;
    };
    const std::vector<uint8_t> before = bytes();

    for (UINT command : {UINT(ID_ROTATE_CW), UINT(ID_ROTATE_CCW)}) {
        for (int turn = 0; turn < 4; ++turn) {
            frame->SendMessage(WM_COMMAND, command, 0);
            EXPECT_EQ(view->GetRotation(), turn == 3 ? 0 : (command == ID_ROTATE_CW ? 90 : 270) * (turn + 1) % 360);
            if (turn == 0) {
                EXPECT_EQ(view->GetPicture().GetSize(), CSize(50, 200));
            }
        }
        EXPECT_EQ(view->GetPicture().GetSize(), CSize(200, 50));
        EXPECT_EQ(areaOf(), area);
        EXPECT_EQ(bytes(), before);
    }

    ASSERT_NE(m_app->OpenInMessageEditor(second, TRUE, 0), nullptr);
    EXPECT_EQ(view->GetPicture().GetSize(), CSize(420, 80));
    EXPECT_EQ(areaOf(), CRect(10, 25, 60, 55));
    EXPECT_TRUE(view->HasUndoPicture());
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO, 0);
    EXPECT_EQ(view->GetPicture().GetSize(), CSize(200, 50));
    EXPECT_EQ(areaOf(), area);
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO, 0);
    EXPECT_EQ(view->GetPicture().GetSize(), CSize(420, 80));
    EXPECT_EQ(areaOf(), CRect(10, 25, 60, 55));
}

// Colour matching of the editor's photograph follows the colour settings:
// each switch off in turn gives the picture without that match.
TEST_F(ProgramTest, MessageEditorMatchesColoursAndEachSwitchOffGivesThePlainPicture)
{
    QImage scene(64, 48, QImage::Format_RGB32);
    scene.fill(QColor(20, 200, 40));
    const std::string photo = (m_dir / "green.png").string();
    ASSERT_TRUE(scene.save(QString::fromStdString(photo), "BMP"));
    const std::string bmp = (m_dir / "green.bmp").string();
    std::filesystem::rename(photo, bmp);
    ColorSettings saved;
    GetColorSettings(saved);
    auto apply = [&](int input, int display) {
        ColorSettings s = saved;
        s.doInputCM = input;
        s.doDispCM = display;
        s.colorSpace = kColorSpaceAdobeRgb;
        ApplyColorSettings(s);
    };
    apply(1, 0);
    ASSERT_NE(m_app->OpenInMessageEditor(bmp, FALSE, 0), nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    auto* view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    auto* doc = dynamic_cast<CAPhotoDoc*>(view->GetDocument());
    const COLORREF plain = doc->GetContent().GetImage().CreateDib()->GetPixel(10, 10);
    auto screen = [&] { return view->GetScreenBitmap()->GetPixel(10, 10); };

    // Input matching on: the photograph in the working space is what shows.
    ASSERT_TRUE(view->GetDisplayedPicture().IsValid());
    const COLORREF working = view->GetDisplayedPicture().CreateDib()->GetPixel(10, 10);
    EXPECT_NE(working, plain);
    EXPECT_EQ(screen(), working);

    // Display matching on as well: the screen gets its own match.
    apply(1, 1);
    frame->SendMessage(WM_COMMAND, 229, 0);
    EXPECT_TRUE(view->GetDisplayedPicture().IsValid());
    EXPECT_NE(screen(), working);

    // Display off again: the working-space picture unmatched for the screen.
    apply(1, 0);
    frame->SendMessage(WM_COMMAND, 229, 0);
    EXPECT_EQ(screen(), working);

    // Printing matches the working-space picture to the printer, apart from the screen's.
    ColorSettings print = saved;
    print.doInputCM = 1;
    print.doPrintCM = 1;
    print.colorSpace = kColorSpaceAdobeRgb;
    ApplyColorSettings(print);
    ASSERT_TRUE(view->PrintMatch());
    ASSERT_TRUE(view->GetPrintPicture().IsValid());
    EXPECT_NE(view->GetPrintPicture().CreateDib()->GetPixel(10, 10), working);
    EXPECT_EQ(view->GetDisplayedPicture().CreateDib()->GetPixel(10, 10), working);
    apply(1, 0);
    ASSERT_TRUE(view->PrintMatch());
    EXPECT_FALSE(view->GetPrintPicture().IsValid());

    // Input off: the photograph as stored, nothing matched.
    apply(0, 1);
    frame->SendMessage(WM_COMMAND, 229, 0);
    EXPECT_FALSE(view->GetDisplayedPicture().IsValid());
    EXPECT_EQ(screen(), plain);
    // The stored photograph itself never changes.
    EXPECT_EQ(doc->GetContent().GetImage().CreateDib()->GetPixel(10, 10), plain);
    ApplyColorSettings(saved);
}

// Greyscale photographs and 1- or 4-bit pictures open in the message editor
// like any other photograph.
TEST_F(ProgramTest, MessageEditorOpensGreyAndShortPalettePictures)
{
    struct Case {
        const char* name;
        QImage::Format format;
        const char* kind;
    };
    const Case cases[] = {{"grey.jpg", QImage::Format_Grayscale8, "JPG"},
                          {"mono.bmp", QImage::Format_Mono, "BMP"},
                          {"indexed.bmp", QImage::Format_Indexed8, "BMP"}};
    for (const Case& c : cases) {
        QImage img(40, 30, c.format);
        if (c.format == QImage::Format_Indexed8)
            img.setColorTable({qRgb(0, 0, 0), qRgb(200, 40, 40)});
        if (c.format == QImage::Format_Mono)
            img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        img.fill(c.format == QImage::Format_Grayscale8 ? 90 : 1);
        const std::string path = (m_dir / c.name).string();
        ASSERT_TRUE(img.save(QString::fromStdString(path), c.kind)) << c.name;
        m_boxes.clear();
        ASSERT_NE(m_app->OpenInMessageEditor(path, FALSE, 0), nullptr) << c.name;
        EXPECT_TRUE(m_boxes.empty()) << c.name << ": " << (m_boxes.empty() ? "" : m_boxes[0].text);
        auto* doc = dynamic_cast<CAPhotoDoc*>(m_app->GetMessageTemplate()->GetDocument());
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetContent().GetImage().GetSize(), CSize(40, 30)) << c.name;
        EXPECT_EQ(doc->GetContent().GetImage().GetBitsPerPixel(), 24) << c.name;
        doc->SetModifiedFlag(FALSE);
    }
}

// An image comment goes to the viewer (176) matched as the photograph is:
// into the working space, with its own screen and printer matches, and with
// the comment's date; with matching off it goes as stored.
TEST_F(ProgramTest, ImageCommentOpensInTheViewerWithItsColourMatches)
{
    QImage scene(64, 48, QImage::Format_RGB32);
    scene.fill(QColor(20, 200, 40));
    const std::string detail = (m_dir / "detail.jpg").string();
    ASSERT_TRUE(scene.save(QString::fromStdString(detail), "JPG", 100));
    ASSERT_NE(m_app->OpenInMessageEditor(MakePicture("photo.jpg", 80, 60), FALSE, 0), nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    auto* view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    SYSTEMTIME when{};
    when.wYear = 2024;
    when.wMonth = 5;
    when.wDay = 17;
    when.wHour = 9;
    when.wMinute = 30;
    CAnoRecord record(CAnoRecord::text, "Ann", when, CAreaMarquee(CRect(5, 5, 30, 30), CAreaMarquee::square));
    CImageBuffer picture;
    ASSERT_TRUE(CAPhotoDoc::LoadPictureFile(detail, picture, TRUE));
    ASSERT_TRUE(record.AttachImage(detail, picture));
    APhotoCommentPane* pane = view->GetCommentPane();
    const int item = pane->AddComment(record);
    ASSERT_GT(item, 0);
    pane->GetTree().SetCurrent(item, TRUE, FALSE);
    const COLORREF plain = picture.CreateDib()->GetPixel(10, 10);

    ColorSettings saved;
    GetColorSettings(saved);
    auto openInViewer = [&](int input, int display, int print) -> CViewerDoc* {
        ColorSettings s = saved;
        s.doInputCM = input;
        s.doDispCM = display;
        s.doPrintCM = print;
        s.colorSpace = kColorSpaceAdobeRgb;
        ApplyColorSettings(s);
        frame->SendMessage(WM_COMMAND, ID_OPENIMAGEANO, 0);
        CFrameWnd* viewer = m_app->GetViewerTemplate()->GetFrame();
        return viewer ? dynamic_cast<CViewerDoc*>(viewer->GetActiveDocument()) : nullptr;
    };
    auto pixel = [](CImageBuffer& b) { return b.CreateDib()->GetPixel(10, 10); };

    CViewerDoc* doc = openInViewer(1, 1, 1);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "detail");
    EXPECT_EQ(doc->GetPictureTime(), LocalTimeToSeconds(2024, 5, 17, 9, 30, 0));
    ASSERT_TRUE(doc->GetPicture().IsValid());
    const COLORREF working = pixel(doc->GetPicture());
    EXPECT_NE(working, plain);
    ASSERT_TRUE(doc->GetDisplayPicture().IsValid());
    ASSERT_TRUE(doc->GetPrintPicture().IsValid());
    EXPECT_NE(pixel(doc->GetDisplayPicture()), working);
    EXPECT_NE(pixel(doc->GetPrintPicture()), working);

    // Only the input match: no screen or printer pictures.
    doc = openInViewer(1, 0, 0);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(pixel(doc->GetPicture()), working);
    EXPECT_FALSE(doc->GetDisplayPicture().IsValid());
    EXPECT_FALSE(doc->GetPrintPicture().IsValid());

    // Matching off: the comment's picture as stored.
    doc = openInViewer(0, 1, 1);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(pixel(doc->GetPicture()), plain);
    EXPECT_FALSE(doc->GetDisplayPicture().IsValid());
    ApplyColorSettings(saved);

    // A comment whose picture does not decode opens nothing and says which it is.
    CAnoRecord damaged(record);
    const std::vector<uint8_t> cut(record.Data().begin(), record.Data().begin() + 40);
    damaged.SetLength(0);
    damaged.Write(cut.data(), cut.size());
    damaged.SeekToBegin();
    const int damagedItem = pane->AddComment(damaged);
    pane->GetTree().SetCurrent(damagedItem, TRUE, FALSE);
    m_app->GetViewerTemplate()->CloseAllDocuments(FALSE);
    m_boxes.clear();
    frame->SendMessage(WM_COMMAND, ID_OPENIMAGEANO, 0);
    EXPECT_EQ(m_app->GetViewerTemplate()->GetFrame(), nullptr);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text.rfind("This picture cannot be read", 0), 0u) << m_boxes[0].text;
    EXPECT_NE(m_boxes[0].text.find("\"" + record.m_strContent + "\" ( Ann"), std::string::npos) << m_boxes[0].text;
}

// The message editor open on a photograph with nothing to save.
class OpenMessageTest : public ProgramTest {
protected:
    void OpenSavedMessage(CAnoMainFrame*& frame, CAPhotoView*& view)
    {
        ASSERT_NE(m_app->OpenInMessageEditor(MakePicture("first.jpg", 64, 48), FALSE, 0), nullptr);
        frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
        ASSERT_NE(frame, nullptr);
        view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
        ASSERT_NE(view, nullptr);
        view->GetDocument()->SetModifiedFlag(FALSE);
    }
};

// A picture copied from another program starts a new message on Paste.
TEST_F(OpenMessageTest, MessageEditorPastesAPictureAsANewMessage)
{
    CAnoMainFrame* frame = nullptr;
    CAPhotoView* view = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavedMessage(frame, view));
    std::vector<uint8_t> bits;
    for (int i = 0; i < 40 * 30; ++i)
        bits.insert(bits.end(), {30, 30, 200}); // blue, green, red; rows of 120 bytes need no padding
    CDibBitmap copied;
    ASSERT_TRUE(copied.CreateDib(CSize(40, 30), 24, bits.data()));
    ASSERT_EQ(copied.GetPixel(5, 5), RGB(200, 30, 30));
    CDragDataSource source;
    source.SetDib(copied.CopyToGlobal());
    source.SetClipboard();
    frame->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_EQ(view->GetPicture().GetSize(), CSize(40, 30));
    EXPECT_EQ(view->GetPicture().CreateDib()->GetPixel(5, 5), RGB(200, 30, 30));
    EXPECT_EQ(view->GetDocument()->GetTitle(), "New");
    EXPECT_TRUE(view->GetDocument()->IsModified());
    EXPECT_EQ(view->GetScreenBitmap()->GetPixel(5, 5), RGB(200, 30, 30));
    QGuiApplication::clipboard()->clear();
}

// Another program's picture arrives in the desktop's image form only; its
// transparent parts paste as white.
TEST_F(OpenMessageTest, MessageEditorPastesAnotherProgramsPicture)
{
    CAnoMainFrame* frame = nullptr;
    CAPhotoView* view = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavedMessage(frame, view));
    QImage image(50, 20, QImage::Format_ARGB32);
    image.fill(qRgb(10, 120, 240));
    for (int x = 40; x < 50; ++x) // the top right corner, which shows a flipped or shifted picture
        for (int y = 0; y < 10; ++y)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    QGuiApplication::clipboard()->setImage(image);
    CCmdUI paste;
    paste.m_nID = ID_EDIT_PASTE;
    paste.m_bEnabled = FALSE;
    view->OnCmdMsg(ID_EDIT_PASTE, CN_UPDATE_COMMAND_UI, &paste);
    EXPECT_TRUE(paste.m_bEnabled);
    frame->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    ASSERT_EQ(view->GetPicture().GetSize(), CSize(50, 20));
    const std::unique_ptr<CDibBitmap> pasted = view->GetPicture().CreateDib();
    EXPECT_EQ(pasted->GetPixel(3, 17), RGB(10, 120, 240));
    EXPECT_EQ(pasted->GetPixel(45, 5), RGB(255, 255, 255));
    EXPECT_EQ(pasted->GetPixel(45, 15), RGB(10, 120, 240));
    EXPECT_EQ(view->GetDocument()->GetTitle(), "New");
    EXPECT_TRUE(view->GetDocument()->IsModified());
    QGuiApplication::clipboard()->clear();
}

// While no menu is open the status bar shows the hover hints; a menu entry's
// prompt stops them until the menu closes.
TEST_F(OpenMessageTest, MessageEditorShowsMenuPromptsAndOtherwiseHoverHints)
{
    CAnoMainFrame* frame = nullptr;
    CAPhotoView* view = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavedMessage(frame, view));
    CHoverHelp* help = frame->GetHoverHelp();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->IsEnabled());
    const std::string prompt(res::PromptPart(ID_FILE_OPEN));
    ASSERT_FALSE(prompt.empty());
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_FILE_OPEN, 0), 0);
    EXPECT_FALSE(help->IsEnabled());
    EXPECT_EQ(frame->GetStatusBar().GetPaneText(0), prompt);
    ASSERT_TRUE(uitest::OpenAndCloseMenu(frame, ID_FILE_OPEN, "&Open..."));
    EXPECT_TRUE(help->IsEnabled());
    EXPECT_EQ(frame->GetStatusBar().GetPaneText(0), "");

    // Over a toolbar button its hint stands in for the picture's size, which
    // comes back once the cursor is elsewhere.
    uitest::CursorParking parking;
    CToolBarEx& bar = frame->GetToolBar();
    CRect button;
    int hinted = -1;
    for (int i = 0; i < bar.GetCount(); ++i)
        if (!res::PromptPart(bar.GetButton(i).id).empty() && bar.GetButton(i).id != ID_SEPARATOR)
            hinted = i;
    ASSERT_GE(hinted, 0);
    bar.GetItemRect(hinted, &button);
    frame->m_hWnd->raise(); // above the browser, which takes the same place
    QCursor::setPos(bar.m_hWnd->mapToGlobal(QPoint(button.CenterPoint().x, button.CenterPoint().y)));
    const std::string hint(res::PromptPart(bar.GetButton(hinted).id));
    EXPECT_TRUE(uitest::WaitFor([&] {
        QApplication::processEvents();
        frame->StatusStep();
        return frame->GetStatusBar().GetPaneText(0) == hint;
    })) << frame->GetStatusBar().GetPaneText(0);
    uitest::CursorParking::Park();
    frame->StatusStep();
    EXPECT_EQ(frame->GetStatusBar().GetPaneText(0), "64 x 48");
}

namespace {

// The File menu of the editor opened from its menu bar, as the user sees it:
// the texts of its entries, and the frame photographed with the menu open.
struct OpenFileMenu {
    static inline CAnoMainFrame* frame = nullptr;
    static inline QStringList texts;
    static inline QImage shot;
    static void Step()
    {
        QMenu* popup = CMenu::GetOpenPopup();
        if (!popup || !popup->isVisible()) {
            QTimer::singleShot(10, &Step);
            return;
        }
        for (QAction* a : popup->actions())
            if (!a->isSeparator())
                texts << a->text() + (a->isEnabled() ? "" : " (grey)");
        shot = uitest::GrabWithPopup(frame->m_hWnd, popup);
        CMenu::EndMenu();
    }
    static QStringList Open(CAnoMainFrame* f)
    {
        frame = f;
        texts.clear();
        shot = QImage();
        QTimer::singleShot(0, &Step);
        f->GetMenuBar().TrackPopupLoop(0);
        return texts;
    }
};

} // namespace

// Two messages opened one after the other stand in the editor's File menu,
// the newest first, numbered; choosing one opens it, and one that has gone
// is reported and leaves the list.
TEST_F(ProgramTest, EditorFileMenuListsRecentMessagesOpensThemAndDropsAGoneOne)
{
    const std::string harbour = MakeMessage("harbour.kvt");
    const std::string market = MakeMessage("market & square.kvt");
    ASSERT_NE(m_app->OpenInMessageEditor(harbour, FALSE, 0), nullptr);
    ASSERT_NE(m_app->OpenInMessageEditor(market, FALSE, 0), nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    frame->m_hWnd->resize(640, 480);
    frame->m_hWnd->activateWindow();
    ASSERT_TRUE(uitest::WaitFor([&] { return frame->m_hWnd->isActiveWindow(); }));

    QStringList texts = OpenFileMenu::Open(frame);
    ASSERT_FALSE(OpenFileMenu::shot.isNull());
    SaveScreenshot(OpenFileMenu::shot, "editor_recent_files.png");
    // The names are shortened; the temporary folder's name is long.
    auto entry = [&](const QString& start, const QString& end) {
        return std::count_if(texts.begin(), texts.end(), [&](const QString& t) { return t.startsWith(start) && t.endsWith(end); });
    };
    EXPECT_EQ(entry("&1 ", "market && square.kvt"), 1) << texts.join('|').toStdString();
    EXPECT_EQ(entry("&2 ", "harbour.kvt"), 1) << texts.join('|').toStdString();
    EXPECT_FALSE(texts.contains("Recent File"));
    for (const QString& t : texts)
        if (t.size() > 1 && t[0] == u'&' && t[1].isDigit()) { // "&1 " and at most the shortened name, "&&" once
            EXPECT_LE(t.size(), 3 + CRecentFileList::kDisplayLength + 1) << t.toStdString();
        }
    // Opened again the menu holds the two once each.
    texts = OpenFileMenu::Open(frame);
    EXPECT_EQ(entry("&", ".kvt"), 2) << texts.join('|').toStdString();

    // The second entry chosen from the menu: the harbour message opens.
    CMenu::SetChooser([](CMenu*) -> UINT { return ID_FILE_MRU_FILE1 + 1; });
    frame->GetMenuBar().TrackPopupLoop(0);
    CMenu::SetChooser(nullptr);
    ASSERT_TRUE(uitest::WaitFor([&] {
        CDocument* doc = m_app->GetMessageTemplate()->GetDocument();
        return doc && doc->GetPathName() == harbour;
    }));
    EXPECT_EQ(m_app->GetRecentFileList()->Files(), (std::vector<std::string>{harbour, market}));

    // The market message is gone: choosing it says the open failed and drops it.
    std::filesystem::remove(market);
    m_boxes.clear();
    CMenu::SetChooser([](CMenu*) -> UINT { return ID_FILE_MRU_FILE1 + 1; });
    frame->GetMenuBar().TrackPopupLoop(0);
    CMenu::SetChooser(nullptr);
    ASSERT_TRUE(uitest::WaitFor([&] { return !m_boxes.empty(); }));
    EXPECT_EQ(m_app->GetRecentFileList()->Files(), std::vector<std::string>{harbour});
    frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);
    texts = OpenFileMenu::Open(frame);
    EXPECT_EQ(entry("&1 ", "harbour.kvt"), 1) << texts.join('|').toStdString();
    EXPECT_EQ(entry("&2 ", ".kvt"), 0) << texts.join('|').toStdString();
}
