#include "reader/zun_reader_app.h"

#include "viewer/viewer_doc_template.h"
#include "message/ano_commands.h"
#include "message/ano_main_frame.h"
#include "message/aphoto_comment_pane.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_img_pane.h"
#include "message/aphoto_view.h"
#include "message/picture_jpeg.h"
#include "message/wave.h"
#include "platform/framework/dialog.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"
#include "platform/instance.h"
#include "platform/private_file.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "resources/help_resource.h"
#include "resources/string_table.h"
#include "ui/app_shared.h"
#include "ui/app_templates.h"
#include "ui/menu_bar.h"
#include "message/message_fixtures.h"
#include "support/alsa_test_device.h"
#include "support/scratch_process.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "platform/gcc_warnings.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kScreenshots = std::string(QR_TEST_BUILD_DIR) + "/screenshots";
const std::string kReaderTitle = "Quiram Relayo Reader";

// Every program the desktop is asked to start, none started.
struct RecordedOpens {
    std::vector<std::vector<std::string>> calls;
    ShellProcessRunner previous;
    RecordedOpens()
    {
        previous = SetShellProcessRunner([this](const std::string&, const std::vector<std::string>& a, ShellProcessEndHandler) {
            calls.push_back(a);
            return true;
        });
    }
    ~RecordedOpens() { SetShellProcessRunner(previous); }
};

class ReaderAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "rt");
        fs::permissions(m_dir / "rt", fs::perms::owner_all);
        fs::create_directories(m_dir / "reg");
        fs::create_directories(m_dir / "cache");
        m_store = std::make_unique<CRegistryStore>(m_dir / "reg", m_dir / "reg");
        SetRegistryStore(m_store.get());
    }

    void Start(std::vector<std::string> args = {})
    {
        m_app = std::make_unique<CZunReaderApp>();
        args.insert(args.begin(), "-Embedding");
        m_app->SetArguments(args);
        m_app->m_showMessageBox = [this](const std::string& text, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        };
        ASSERT_TRUE(m_app->InitInstance());
    }

    void TearDown() override
    {
        if (m_app) {
            m_app->CloseAllDocuments(FALSE);
            m_app->ExitInstance();
            m_app.reset();
        }
        SetRegistryStore(nullptr);
    }

    std::string MakeMessage(const fs::path& path)
    {
        fs::copy_file(qrtest::DataPath("message_golden.kvt"), path);
        return path.string();
    }

    std::string MainTitle() const { return m_app->m_pMainWnd ? m_app->m_pMainWnd->GetWindowText() : std::string(); }
    CDocument* OpenMessage() const { return m_app->GetMessageTemplate()->GetDocument(); }
    void Command(UINT id) { m_app->m_pMainWnd->SendMessage(WM_COMMAND, id, 0); }

    qrtest::TempDir m_dir;
    qrtest::EnvVar m_runtime{"XDG_RUNTIME_DIR", (m_dir / "rt").c_str()};
    qrtest::EnvVar m_cache{"XDG_CACHE_HOME", (m_dir / "cache").c_str()};
    std::unique_ptr<CRegistryStore> m_store;
    std::unique_ptr<CZunReaderApp> m_app;
    std::vector<std::string> m_boxes;
};

TEST_F(ReaderAppTest, OpensAMessageUnderItsOwnTitleKeyAndTemplates)
{
    const std::string file = MakeMessage(m_dir / "holiday.kvt");
    Start({file});
    ASSERT_NE(OpenMessage(), nullptr);
    EXPECT_EQ(OpenMessage()->GetPathName(), file);
    EXPECT_NE(MainTitle().find(kReaderTitle), std::string::npos) << MainTitle();
    EXPECT_NE(MainTitle().find("holiday.kvt"), std::string::npos) << MainTitle();
    EXPECT_TRUE(m_app->IsFirstInstance());
    auto* viewer = dynamic_cast<CViewerDocTemplate*>(m_app->GetViewerTemplate());
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->IsReaderBuild());
    EXPECT_EQ(m_app->GetMessageTemplate()->m_pViewerTemplate, viewer);

    // The reader's settings and recent files live under its own key, never the main program's.
    m_app->CloseAllDocuments(FALSE);
    m_app->ExitInstance();
    m_app.reset();
    EXPECT_TRUE(m_store->QueryValue(HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\DARuderi\\Preference", "ShowDateTime"));
    auto recent = m_store->QueryValue(HKEY_CURRENT_USER, "Software\\Quiram\\DARuderi\\Recent File List", "File1");
    ASSERT_TRUE(recent);
    EXPECT_STREQ(reinterpret_cast<const char*>(recent->data.data()), file.c_str());
    EXPECT_FALSE(m_store->QueryValue(HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ShowDateTime"));
    EXPECT_FALSE(res::IsReaderRole());
}

// A message as the main program writes it: a photograph with text, sound
// and image comments, each marking an area, one a reply; not locked.
CAPhotoContent SharedMessage()
{
    CAPhotoContent c(95);
    std::vector<uint8_t> photo, attach;
    EXPECT_TRUE(msgjpeg::Encode(msgtest::MakePicture(640, 480), 90, photo));
    EXPECT_TRUE(msgjpeg::Encode(msgtest::MakePicture(32, 24), 90, attach));
    CImageBuffer image;
    msgjpeg::Decode(photo.data(), photo.size(), image);
    c.TakeImage(image);
    c.m_strPictureText = "harbour";
    CAreaMarquee freehand;
    freehand.SetFreehand({{400, 300}, {600, 320}, {520, 460}});
    auto add = [&](int depth, CAnoRecord r) { c.m_comments.emplace_back(depth, std::make_unique<CAnoRecord>(std::move(r))); };
    add(0, msgtest::TextRecord("The boats come in at six", CAreaMarquee(CRect(40, 30, 260, 200), CAreaMarquee::square)));
    CWave voice;
    EXPECT_TRUE(voice.Create(8000, 8, 4000));
    add(1, msgtest::SoundRecord(voice.GetWavBytes(), CAreaMarquee(CRect(300, 60, 420, 180), CAreaMarquee::oval)));
    add(0, msgtest::ImageRecord(attach, CAreaMarquee(CRect(80, 260, 300, 440), CAreaMarquee::roundSquare)));
    add(0, msgtest::TextRecord("The lighthouse", freehand));
    c.m_nReadOnly = 0;
    return c;
}

TEST_F(ReaderAppTest, AMessageOfTheMainProgramOpensWholeAndReadOnly)
{
    qrtest::AlsaTestDevice alsa;
    CAPhotoContent written = SharedMessage();
    const fs::path file = m_dir / "harbour.kvt";
    {
        const std::vector<uint8_t> bytes = msgtest::WriteMessage(written);
        qrtest::WriteBytes(file, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    Start({file.string()});
    auto* doc = dynamic_cast<CAPhotoDoc*>(OpenMessage());
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsReadOnly());
    ASSERT_EQ(doc->GetContent().m_comments.size(), written.m_comments.size());
    for (size_t i = 0; i < written.m_comments.size(); ++i) {
        EXPECT_EQ(doc->GetContent().m_comments[i].m_nDepth, written.m_comments[i].m_nDepth) << i;
        EXPECT_EQ(msgtest::CompareRecords(*doc->GetContent().m_comments[i].m_pRecord, *written.m_comments[i].m_pRecord), "") << i;
    }

    auto* frame = dynamic_cast<CFrameWnd*>(m_app->m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    auto* view = dynamic_cast<CAPhotoView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    // The photograph without the comment editors below it.
    ASSERT_NE(view->GetImagePane(), nullptr);
    EXPECT_EQ(view->GetImagePane()->GetCurrentEditor(), nullptr);
    EXPECT_EQ(view->GetImagePane()->GetDlgItem(APhotoImgPane::IDC_TABS), nullptr);
    APhotoCommentPane* pane = view->GetCommentPane();
    ASSERT_EQ(pane->GetTree().GetCount(), int(written.m_comments.size()));
    EXPECT_EQ(pane->GetTopLevelCount(), 3);
    for (size_t i = 0; i < written.m_comments.size(); ++i)
        EXPECT_EQ(pane->GetMarqueeAt(int(i)), written.m_comments[i].m_pRecord->m_area) << i;

    // Nothing that changes the message is offered; showing and printing are.
    auto enabled = [&](UINT id) {
        CCmdUI ui;
        ui.m_nID = id;
        ui.DoUpdate(frame, TRUE);
        return ui.m_bEnabled;
    };
    for (UINT id : {UINT(ID_FILE_SAVE), UINT(ID_FILE_SAVE_AS), UINT(ID_EDIT_CUT), UINT(ID_EDIT_PASTE), UINT(ID_ADDANOTATION),
                    UINT(APhotoCommentPane::ID_COMMENT_DELETE), UINT(ID_CLEARANOTATION)})
        EXPECT_FALSE(enabled(id)) << id;
    for (UINT id : {UINT(ID_ENLARGE), UINT(APhotoCommentPane::ID_FILE_PRINT_MESSAGE), UINT(CZunReaderApp::ID_HELP_CONTENTS),
                    UINT(CZunReaderApp::ID_OPEN_MESSAGE)})
        EXPECT_TRUE(enabled(id)) << id;

    // The sound comment plays its own bytes.
    pane->GetTree().SetCurrent(2, TRUE, FALSE);
    ASSERT_TRUE(enabled(CAPhotoView::ID_PLAYBACK));
    frame->SendMessage(WM_COMMAND, CAPhotoView::ID_PLAYBACK, 0);
    EXPECT_TRUE(pane->GetSound().IsPlaying());
    EXPECT_TRUE(uitest::WaitFor([&] { return !pane->GetSound().IsPlaying(); }));
    pane->CloseSound();
    EXPECT_FALSE(alsa.Played().empty());

    // The first comment chosen: its area shows on the photograph.
    pane->GetTree().SetCurrent(1, TRUE, FALSE);
    frame->m_hWnd->resize(1000, 700);
    QCoreApplication::processEvents();
    fs::create_directories(kScreenshots);
    ASSERT_TRUE(uitest::Grab(frame->m_hWnd).save(QString::fromStdString(kScreenshots + "/reader_message.png")));
}

TEST_F(ReaderAppTest, EveryMenuOfTheReaderGivesEachEntryALetterOfItsOwn)
{
    Start({MakeMessage(m_dir / "letters.kvt")});
    ASSERT_NE(OpenMessage(), nullptr);
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame->GetMenuBar().GetMenu(), nullptr);
    std::string faults;
    for (const std::string& f : uitest::MnemonicFaults(*frame->GetMenuBar().GetMenu(), "reader"))
        faults += f + "\n";
    EXPECT_EQ(faults, "");
}

TEST_F(ReaderAppTest, AboutNewAndQuitActOnTheReadersWindow)
{
    const std::string file = MakeMessage(m_dir / "walk.kvt");
    Start({file});
    CWnd* main = m_app->m_pMainWnd;
    ASSERT_NE(main, nullptr);

    // About: the program's picture over the reader's window; a click ends it.
    QWidget* parent = nullptr;
    CDialog::SetModalObserver([&](CDialog* dlg) {
        parent = dlg->m_hWnd->parentWidget();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), dlg->m_hWnd->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(dlg->m_hWnd, &press);
    });
    Command(CZunReaderApp::ID_APP_ABOUT);
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(parent, main->m_hWnd);

    // New: the window stays, its message starts again empty.
    ASSERT_NE(OpenMessage(), nullptr);
    main->m_hWnd->activateWindow();
    QApplication::setActiveWindow(main->m_hWnd);
    Command(ID_FILE_NEW);
    ASSERT_NE(OpenMessage(), nullptr);
    EXPECT_EQ(OpenMessage()->GetPathName(), "");
    EXPECT_EQ(m_app->m_pMainWnd, main);

    // Quit closes the reader's window.
    QPointer<QWidget> window = main->m_hWnd;
    Command(CZunReaderApp::ID_APP_QUIT);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isNull() || !window->isVisible());
    EXPECT_EQ(m_app->m_pMainWnd, nullptr);
}

TEST_F(ReaderAppTest, RecentFilesKeepOnlyMessageFilesInAnyCase)
{
    Start();
    for (const char* name : {"/a/one.kvt", "/a/two.KVT", "/a/three.Kvt", "/a/photo.jpg", "/a/kvt", "/a/x.kvt.wav", "/a/voice.wav"})
        m_app->AddToRecentFileList(name);
    CRecentFileList* list = m_app->GetRecentFileList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ((*list)[0], "/a/three.Kvt");
    EXPECT_EQ((*list)[1], "/a/two.KVT");
    EXPECT_EQ((*list)[2], "/a/one.kvt");
}

// The reader's File menu, opened from its menu bar, lists the last four
// messages, the newest first, and opens the one chosen.
TEST_F(ReaderAppTest, FileMenuListsTheLastFourMessagesAndOpensTheChosenOne)
{
    std::vector<std::string> files;
    for (const char* name : {"one.kvt", "two.kvt", "three.kvt", "four.kvt", "five.kvt"})
        files.push_back(MakeMessage(m_dir / name));
    Start({files[0]});
    for (size_t i = 1; i < files.size(); ++i)
        ASSERT_NE(m_app->OpenDocumentFile(files[i]), nullptr) << files[i];
    auto* frame = dynamic_cast<CAnoMainFrame*>(m_app->GetMessageTemplate()->GetFrame());
    ASSERT_NE(frame, nullptr);

    static std::vector<std::string> shown;
    shown.clear();
    CMenu::SetChooser([](CMenu* menu) -> UINT {
        for (const CMenu::Item& item : menu->Items())
            if (item.id >= ID_FILE_MRU_FILE1 && item.id <= ID_FILE_MRU_FILE4 && !(item.flags & MF_SEPARATOR))
                shown.push_back(item.text);
        return ID_FILE_MRU_FILE1 + 2;
    });
    frame->GetMenuBar().TrackPopupLoop(0);
    CMenu::SetChooser(nullptr);
    ASSERT_EQ(shown.size(), 4u);
    const char* expected[] = {"&1 ", "&2 ", "&3 ", "&4 "};
    const char* names[] = {"five.kvt", "four.kvt", "three.kvt", "two.kvt"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(shown[i].rfind(expected[i], 0), 0u) << shown[i];
        EXPECT_TRUE(shown[i].ends_with(names[i])) << shown[i];
    }
    ASSERT_TRUE(uitest::WaitFor([&] { return OpenMessage() && OpenMessage()->GetPathName() == files[2]; }));
    EXPECT_EQ(m_app->GetRecentFileList()->GetCount(), 4);
    EXPECT_TRUE(m_boxes.empty());
}

// A real path of exactly `length` bytes ending in ".kvt", its folders made.
// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
std::string PathOfLength(const fs::path& base, size_t length, bool create)
{
    std::string path = base.string();
    while (length - path.size() > 250) {
        path += "/" + std::string(std::min<size_t>(200, length - path.size() - 250), 'd');
        if (create)
            fs::create_directory(path);
    }
    path += "/" + std::string(length - path.size() - 5, 'm') + ".kvt";
    return path;
}
QR_GCC_IGNORE_END

TEST_F(ReaderAppTest, OpenTakesPathsUpToTheSystemLimitAndRefusesLonger)
{
    Start();
    const std::string atLimit = PathOfLength(m_dir.path(), PATH_MAX - 1, true);
    ASSERT_EQ(atLimit.size(), size_t(PATH_MAX - 1));
    fs::copy_file(qrtest::DataPath("message_golden.kvt"), atLimit);
    const std::string past = PathOfLength(m_dir.path(), PATH_MAX, false);
    static std::string offered;
    static std::string filterSeen;
    FileDialogHandler previous = SetFileDialogHandler([](std::string& path, BOOL bOpen, const std::string&, const std::string& filter) {
        filterSeen = filter;
        path = offered;
        return bOpen;
    });

    offered = atLimit;
    Command(CZunReaderApp::ID_OPEN_MESSAGE);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_NE(filterSeen.find("*.KVT"), std::string::npos) << filterSeen;
    ASSERT_NE(OpenMessage(), nullptr);
    EXPECT_EQ(OpenMessage()->GetPathName(), atLimit);

    offered = past;
    Command(CZunReaderApp::ID_OPEN_MESSAGE);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"File name or path is too long."});
    EXPECT_EQ(OpenMessage()->GetPathName(), atLimit);
    SetFileDialogHandler(previous);
}

TEST_F(ReaderAppTest, AFileNoImporterReadsIsRefusedAndTheOpenMessageStays)
{
    // Opened read-only, such a file still fails: taking it as opened would
    // put its name on an empty window in place of the open message.
    const std::string message = MakeMessage(m_dir / "holiday.kvt");
    Start({message});
    ASSERT_NE(OpenMessage(), nullptr);
    const std::string notes = (m_dir / "notes.xyz").string();
    qrtest::WriteBytes(notes, {'n', 'o', 't', 'e', 's'});
    static std::string offered;
    offered = notes;
    FileDialogHandler previous = SetFileDialogHandler([](std::string& path, BOOL bOpen, const std::string&, const std::string&) {
        path = offered;
        return bOpen;
    });
    Command(CZunReaderApp::ID_OPEN_MESSAGE);
    SetFileDialogHandler(previous);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Invalid file type."});
    ASSERT_NE(OpenMessage(), nullptr);
    EXPECT_EQ(OpenMessage()->GetPathName(), message);
    EXPECT_EQ(MainTitle().find("notes.xyz"), std::string::npos) << MainTitle();
    CRecentFileList* recent = m_app->GetRecentFileList();
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(recent->Files(), std::vector<std::string>{message});
}

TEST_F(ReaderAppTest, HelpWritesItsPageAnewEachTimeInAPrivateFolder)
{
    Start();
    RecordedOpens opens;
    const fs::path help = fs::path(CZunReaderApp::HelpFolder()) / CZunReaderApp::kHelpFileName;
    const QByteArray page = res::HelpResource(CZunReaderApp::kHelpResourceId);
    ASSERT_FALSE(page.isEmpty());
    const std::vector<unsigned char> expected(page.begin(), page.end());

    Command(CZunReaderApp::ID_HELP_CONTENTS);
    ASSERT_EQ(opens.calls.size(), 1u);
    EXPECT_EQ(opens.calls[0], std::vector<std::string>{help.string()});
    EXPECT_EQ(qrtest::ReadBytes(help), expected);
    struct stat st {};
    ASSERT_EQ(stat(help.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Twice: a page spoiled in between is written whole again.
    qrtest::WriteBytes(help, {'x'});
    Command(CZunReaderApp::ID_HELP_CONTENTS);
    EXPECT_EQ(opens.calls.size(), 2u);
    EXPECT_EQ(qrtest::ReadBytes(help), expected);

    // A link planted under the page's name is replaced, its target untouched.
    const fs::path victim = m_dir / "victim.txt";
    qrtest::WriteBytes(victim, {'v'});
    fs::remove(help);
    fs::create_symlink(victim, help);
    Command(CZunReaderApp::ID_HELP_CONTENTS);
    EXPECT_EQ(opens.calls.size(), 3u);
    EXPECT_FALSE(fs::is_symlink(help));
    EXPECT_EQ(qrtest::ReadBytes(help), expected);
    EXPECT_EQ(qrtest::ReadBytes(victim), std::vector<unsigned char>{'v'});
}

TEST(PrivateFile, RefusesFoldersThatAreLinksOrOpenToOthers)
{
    qrtest::TempDir dir;
    const std::string bytes = "page";
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directory(elsewhere);

    // A link in the folder's place: nothing is written through it.
    fs::create_directory_symlink(elsewhere, dir / "linked");
    EXPECT_EQ(WritePrivateFile((dir / "linked").string(), "p.html", bytes), "");
    EXPECT_TRUE(qrtest::FolderNames(elsewhere).empty());

    // A folder others may enter or write in is not private.
    fs::create_directory(dir / "open");
    fs::permissions(dir / "open", fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    EXPECT_EQ(WritePrivateFile((dir / "open").string(), "p.html", bytes), "");
    EXPECT_TRUE(qrtest::FolderNames(dir / "open").empty());

    // A missing folder is made private; a name with a separator is refused.
    const std::string made = WritePrivateFile((dir / "new").string(), "p.html", bytes);
    EXPECT_EQ(made, (dir / "new" / "p.html").string());
    EXPECT_EQ(fs::status(dir / "new").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(WritePrivateFile((dir / "new").string(), "../p.html", bytes), "");
}

TEST(ReaderStrings, TheReaderRoleTakesItsOwnKeyDocumentStringAndFilter)
{
    EXPECT_EQ(GetRegistryPathPart(2), "7321");
    res::SetReaderRole(true);
    EXPECT_EQ(GetRegistryPathPart(1), "Quiram");
    EXPECT_EQ(GetRegistryPathPart(2), "DARuderi");
    EXPECT_EQ(GetDocStringPart(129, 0), kReaderTitle);
    EXPECT_EQ(GetDocStringPart(129, 4), ".kvt");
    EXPECT_EQ(res::String(6077), "Quiram Relayo(*.KVT)|*.KVT||");
    EXPECT_EQ(res::String(10), "SOFTWARE\\Quiram\\DARuderi");
    // Strings the reader does not replace are the shared ones.
    EXPECT_EQ(res::String(61700), "Failed to create empty document.");
    res::SetReaderRole(false);
    EXPECT_EQ(GetDocStringPart(129, 0), "Annotation");
}

// Two real reader programs: the second brings the first forward and ends.
class ReaderTwoProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* d : {"rt", "config", "data", "cache", "home"})
            fs::create_directories(m_dir / d);
        fs::permissions(m_dir / "rt", fs::perms::owner_all);
    }
    void TearDown() override
    {
        if (m_first) {
            m_first->kill();
            m_first->waitForFinished(10000);
        }
    }
    QProcessEnvironment Environment() const { return qrtest::ScratchProcessEnvironment(m_dir.path()); }
    std::vector<InstanceWindow> Windows()
    {
        CInstanceClient client(CZunReaderApp::kSemaphoreName);
        std::vector<InstanceWindow> out;
        EXPECT_TRUE(client.Connect(30000));
        EXPECT_TRUE(client.ListWindows(out, 60000));
        return out;
    }
    std::vector<std::string> ReaderTitles()
    {
        std::vector<std::string> titles;
        for (const InstanceWindow& w : Windows())
            if (w.className.rfind("Afx:", 0) == 0 && w.title.find(kReaderTitle) != std::string::npos)
                titles.push_back(w.title);
        return titles;
    }

    qrtest::TempDir m_dir;
    qrtest::EnvVar m_runtime{"XDG_RUNTIME_DIR", (m_dir / "rt").c_str()};
    std::unique_ptr<QProcess> m_first;
};

TEST_F(ReaderTwoProcessTest, SecondStartBringsTheFirstForwardAndEndsAndTheFirstKeepsItsMessage)
{
    const std::string first = (m_dir / "first.kvt").string();
    const std::string second = (m_dir / "second.kvt").string();
    fs::copy_file(qrtest::DataPath("message_golden.kvt"), first);
    fs::copy_file(qrtest::DataPath("message_golden.kvt"), second);

    m_first = std::make_unique<QProcess>();
    m_first->setProcessEnvironment(Environment());
    m_first->setProcessChannelMode(QProcess::ForwardedChannels);
    m_first->start(QR_BIN_DIR "/quiram-relayo-reader", {"-Embedding", QString::fromStdString(first)});
    ASSERT_TRUE(m_first->waitForStarted(10000));
    std::vector<std::string> before = ReaderTitles();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NE(before[0].find("first.kvt"), std::string::npos) << before[0];

    QProcess later;
    later.setProcessEnvironment(Environment());
    later.setProcessChannelMode(QProcess::ForwardedChannels);
    later.start(QR_BIN_DIR "/quiram-relayo-reader", {"-Embedding", QString::fromStdString(second)});
    ASSERT_TRUE(later.waitForStarted(10000));
    ASSERT_TRUE(later.waitForFinished(60000));
    EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later.exitCode(), 0);

    // The file of the later start was not passed on: the first shows its own still.
    EXPECT_EQ(ReaderTitles(), before);
    EXPECT_EQ(m_first->state(), QProcess::Running);
}

} // namespace
