// Mailing a message: the copy shrunk for mail, the names, the reader files,
// the note, the files staged for the mail client and the call it receives;
// the mail dialog and its settings; the client's failures; the sweep of old
// staged mails.
#include "message_doc_fixture.h"

#include "message/message_mail.h"
#include "message/send_mail_dlog.h"
#include "platform/archive.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"
#include "util/app_settings.h"
#include "util/reg_settings.h"

#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {


const std::string kReader = "Quiram Relayo Reader.exe";

class MailTest : public MessageDocTest {
protected:
    void SetUp() override
    {
        MessageDocTest::SetUp();
        fs::create_directories(home / "Reader");
        RegWriteString(0, "HomePath", home.path().string(), HKEY_LOCAL_MACHINE);
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$MAIL_CAPTURE.part\"\n"
                                 "mv \"$MAIL_CAPTURE.part\" \"$MAIL_CAPTURE\"\nexit ${MAIL_EXIT:-0}\n";
        fs::permissions(script, fs::perms::owner_all);
        // The desktop knows one mail program, and only the ones set up here.
        fs::create_directories(home / "data" / "applications");
        std::ofstream(MailProgramEntry()) << "[Desktop Entry]\nType=Application\nName=Test Mail\nExec=true %u\n"
                                             "MimeType=x-scheme-handler/mailto;\n";
        attachBefore = GetAppSettings().m_bAttachPlayer;
        resizeBefore = GetAppSettings().m_bResizeMailImage;
    }
    void TearDown() override
    {
        GetAppSettings().m_bAttachPlayer = attachBefore;
        GetAppSettings().m_bResizeMailImage = resizeBefore;
        MessageDocTest::TearDown();
    }
    void PutReaderFiles()
    {
        qrtest::WriteBytes(home / "Reader" / kReader, {'E', 'L', 'F'});
        qrtest::WriteBytes(home / "Reader" / "EULA.txt", {'L'});
    }
    // The arguments the mail command was called with.
    std::vector<std::string> Call()
    {
        EXPECT_TRUE(uitest::WaitFor([&] { return fs::exists(capture); }));
        const auto bytes = qrtest::ReadBytes(capture);
        std::vector<std::string> args;
        std::string arg;
        for (unsigned char c : bytes) {
            if (c == 0) {
                args.push_back(arg);
                arg.clear();
            } else {
                arg += char(c);
            }
        }
        fs::remove(capture);
        return args;
    }
    static std::vector<std::string> Attached(const std::vector<std::string>& args)
    {
        std::vector<std::string> files;
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--attach")
                files.push_back(args[i + 1]);
        return files;
    }

    fs::path MailProgramEntry() const { return home / "data" / "applications" / "test-mail.desktop"; }

    qrtest::TempDir home;
    fs::path script = home / "mail-command";
    fs::path capture = home / "call";
    std::string dataHome = (home / "data").string(), nowhere = (home / "none").string(),
                configHome = (home / "config").string();
    qrtest::EnvVar dataHomeVar{"XDG_DATA_HOME", dataHome.c_str()};
    qrtest::EnvVar dataDirs{"XDG_DATA_DIRS", nowhere.c_str()};
    qrtest::EnvVar configHomeVar{"XDG_CONFIG_HOME", configHome.c_str()};
    qrtest::EnvVar configDirs{"XDG_CONFIG_DIRS", nowhere.c_str()};
    qrtest::EnvVar desktop{"XDG_CURRENT_DESKTOP", nullptr};
    qrtest::EnvVar mailer{"MAILER", nullptr};
    qrtest::EnvVar command{"QR_MAIL_COMMAND", script.c_str()};
    qrtest::EnvVar captureVar{"MAIL_CAPTURE", capture.c_str()};
    std::string cacheHome = (home / "cache").string();
    qrtest::EnvVar cache{"XDG_CACHE_HOME", cacheHome.c_str()};
    BOOL attachBefore = FALSE, resizeBefore = FALSE;
};

} // namespace

TEST_F(MailTest, AShrunkMessageGoesWithTheReaderAndEveryFileStaysForTheClient)
{
    PutReaderFiles();
    SaveMessage("big.kvt", "Trip", 3000, 2000, {{0, TextRecord("here", CAreaMarquee(CRect(300, 300, 600, 450), 1))}});
    doc->SetModifiedFlag(TRUE);
    ASSERT_TRUE(doc->SendMail(TRUE, TRUE));
    const std::vector<std::string> args = Call();

    ASSERT_GE(args.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 5),
              (std::vector<std::string>{"--utf8", "--subject", "Trip", "--body",
                                        "This message was made with Quiram Relayo. Quiram Relayo Reader, attached "
                                        "with its licence (EULA.txt), opens the attached message file."}));
    const std::vector<std::string> files = Attached(args);
    ASSERT_EQ(files.size(), 3u);
    // Each under the name the recipient sees, still there after the call.
    EXPECT_EQ(fs::path(files[0]).filename(), "big.kvt");
    EXPECT_EQ(fs::path(files[1]).filename(), kReader);
    EXPECT_EQ(fs::path(files[2]).filename(), "EULA.txt");
    EXPECT_EQ(qrtest::ReadBytes(files[1]), (std::vector<unsigned char>{'E', 'L', 'F'}));
    EXPECT_EQ(fs::path(files[0]).parent_path().parent_path(), home / "cache" / "Quiram" / "Mail");

    CAPhotoContent mailed(95);
    {
        CFile f(files[0], CFile::modeRead);
        CArchive ar(&f, CArchive::load);
        mailed.ReadBody(ar);
    }
    EXPECT_EQ(mailed.GetImage().GetWidth(), 1024);
    // About 683: the fit into the bound truncates, as every picture fit does.
    EXPECT_EQ(mailed.GetImage().GetHeight(), 682);
    const CRect& area = mailed.m_comments.at(0).m_pRecord->m_area.m_rect;
    EXPECT_EQ(area.left, 102);
    EXPECT_EQ(area.top, 102);
    // The open message and its file are as they were.
    EXPECT_EQ(doc->GetContent().GetImage().GetWidth(), 3000);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(boxes, std::vector<std::string>{});
}

TEST_F(MailTest, ASavedMessageGoesAsItIsAndTheNoteSaysWhereTheReaderIs)
{
    const std::string path = SaveMessage("Holiday.kvt", "Sea", 40, 30, {});
    const auto before = qrtest::ReadBytes(path);
    // The reader is asked for but is not there: only the message goes.
    ASSERT_TRUE(doc->SendMail(TRUE, FALSE));
    const std::vector<std::string> args = Call();
    ASSERT_GE(args.size(), 5u);
    EXPECT_EQ(args[4], "This message was made with Quiram Relayo. To open the attached message file, get Quiram "
                       "Relayo Reader free of charge from https://www.quiram.example/relayo/");
    const std::vector<std::string> files = Attached(args);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0]).filename(), "Holiday.kvt");
    EXPECT_EQ(qrtest::ReadBytes(files[0]), before);
    EXPECT_EQ(qrtest::ReadBytes(path), before);

    // An unsaved message goes under its title, made a file name.
    for (const auto& [title, name] : {std::pair{"a/b: c", "a_b_ c.kvt"}, std::pair{"", "ANO.kvt"}}) {
        doc->SetModifiedFlag(FALSE);
        doc->OnNewDocument();
        CImageBuffer picture = MakePicture(20, 20);
        doc->GetContent().TakeImage(picture);
        doc->SetMessageTitle(title);
        ASSERT_TRUE(doc->SendMail(FALSE, FALSE));
        const auto sent = Attached(Call());
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(fs::path(sent[0]).filename(), name);
        EXPECT_TRUE(fs::is_regular_file(sent[0]));
    }
}

TEST_F(MailTest, TheClientsFailuresAreToldAndAHandedOverMailIsNot)
{
    SaveMessage("m.kvt", "M", 20, 20, {});
    struct Case {
        const char* exitCode;
        const char* said;
    };
    for (const Case& c : {Case{"3", "Unable to load mail system support."},
                          Case{"4", "Send Mail failed to send message."},
                          Case{"1", "Send Mail failed to send message."}}) {
        qrtest::EnvVar exit("MAIL_EXIT", c.exitCode);
        boxes.clear();
        ASSERT_TRUE(doc->SendMail(FALSE, FALSE));
        Call();
        EXPECT_TRUE(uitest::WaitFor([&] { return !boxes.empty(); })) << c.exitCode;
        EXPECT_EQ(boxes, std::vector<std::string>{c.said}) << c.exitCode;
    }
    // No mail command at all.
    boxes.clear();
    const std::string nowhere = (home / "no-such-command").string();
    qrtest::EnvVar missing("QR_MAIL_COMMAND", nowhere.c_str());
    EXPECT_FALSE(doc->SendMail(FALSE, FALSE));
    EXPECT_EQ(boxes, std::vector<std::string>{"Unable to load mail system support."});
}

TEST_F(MailTest, TheDialogStartsWithTheStoredChoicesAndKeepsTheConfirmedOnes)
{
    PutReaderFiles();
    SaveMessage("m.kvt", "M", 20, 20, {});
    GetAppSettings().m_bAttachPlayer = TRUE;
    GetAppSettings().m_bResizeMailImage = FALSE;

    bool attachShown = false, resizeShown = true;
    CDialog::SetModalObserver([&](CDialog* d) {
        auto* attach = dynamic_cast<CButton*>(d->GetDlgItem(IDC_MAIL_ATTACH_READER));
        auto* resize = dynamic_cast<CButton*>(d->GetDlgItem(IDC_MAIL_RESIZE));
        ASSERT_TRUE(attach && resize);
        attachShown = attach->GetCheck() == BST_CHECKED;
        resizeShown = resize->GetCheck() == BST_CHECKED;
        attach->SetCheck(BST_UNCHECKED);
        resize->SetCheck(BST_CHECKED);
        d->SendMessage(WM_COMMAND, IDOK, 0);
    });
    doc->OnCmdMsg(ID_FILE_SEND_MAIL, CN_COMMAND, nullptr);
    CDialog::SetModalObserver(nullptr);
    EXPECT_TRUE(attachShown);
    EXPECT_FALSE(resizeShown);
    EXPECT_FALSE(GetAppSettings().m_bAttachPlayer);
    EXPECT_TRUE(GetAppSettings().m_bResizeMailImage);
    // Resized: a copy is staged, not the message's own file; no reader.
    const auto files = Attached(Call());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(fs::path(files[0]).parent_path(), dir.path());

    // Cancel sends nothing and keeps the settings.
    CDialog::SetModalObserver([](CDialog* d) { d->SendMessage(WM_COMMAND, IDCANCEL, 0); });
    doc->OnCmdMsg(ID_FILE_SEND_MAIL, CN_COMMAND, nullptr);
    CDialog::SetModalObserver(nullptr);
    EXPECT_TRUE(GetAppSettings().m_bResizeMailImage);
    QCoreApplication::processEvents();
    EXPECT_FALSE(fs::exists(capture));
}

TEST_F(MailTest, OldStagedMailsAreSweptAndRecentOnesKept)
{
    const fs::path root = home / "staging";
    const std::string old = MakeMailStagingFolder(root.string());
    const std::string recent = MakeMailStagingFolder(root.string());
    ASSERT_FALSE(old.empty());
    ASSERT_NE(old, recent);
    qrtest::WriteBytes(fs::path(old) / "m.kvt", {'x'});
    fs::create_directories(root / "other");
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(old, longAgo);
    fs::last_write_time(root / "other", longAgo);
    EXPECT_EQ(SweepMailStaging(root.string()), 1);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(recent));
    EXPECT_TRUE(fs::exists(root / "other"));
}

// The build puts the reader and its licence in the "Reader" folder beside the
// program, and a mail with the reader asked for takes both from there; a
// licence that is missing makes the note say where the reader is.
TEST_F(MailTest, TheBuiltReaderAndItsLicenceGoAlongFromTheProgramsReaderFolder)
{
    const fs::path built = fs::path(QR_BIN_DIR) / "Reader";
    ASSERT_TRUE(fs::is_regular_file(built / kReader)) << "the build leaves the reader in " << built;
    ASSERT_TRUE(fs::is_regular_file(built / "EULA.txt"));
    // The program itself (large: compared by size and kind, not read whole).
    const fs::path program = fs::path(QR_BIN_DIR) / "quiram-relayo-reader";
    EXPECT_EQ(fs::file_size(built / kReader), fs::file_size(program));
    EXPECT_NE(fs::status(built / kReader).permissions() & fs::perms::owner_exec, fs::perms::none);
    RegWriteString(0, "HomePath", std::string(QR_BIN_DIR), HKEY_LOCAL_MACHINE);
    SaveMessage("m.kvt", "M", 20, 20, {});
    ASSERT_TRUE(doc->SendMail(TRUE, FALSE));
    std::vector<std::string> args = Call();
    ASSERT_GE(args.size(), 5u);
    EXPECT_NE(args[4].find("attached with its licence"), std::string::npos) << args[4];
    std::vector<std::string> files = Attached(args);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(fs::path(files[1]).filename(), kReader);
    EXPECT_EQ(fs::file_size(files[1]), fs::file_size(program));
    EXPECT_EQ(qrtest::ReadBytes(files[2]), qrtest::ReadBytes(built / "EULA.txt"));

    // The reader without its licence goes, and the note says where to get it.
    RegWriteString(0, "HomePath", home.path().string(), HKEY_LOCAL_MACHINE);
    qrtest::WriteBytes(home / "Reader" / kReader, {'E', 'L', 'F'});
    ASSERT_TRUE(doc->SendMail(TRUE, FALSE));
    args = Call();
    ASSERT_GE(args.size(), 5u);
    EXPECT_NE(args[4].find("free of charge from"), std::string::npos) << args[4];
    EXPECT_EQ(Attached(args).size(), 2u);
}

// With no mail program on the desktop, File/Mail starts nothing (the
// desktop's mail command would open a web browser) and says where the
// prepared message waits to be attached by hand.
TEST_F(MailTest, WithoutAMailProgramTheBoxNamesThePreparedMessage)
{
    if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
        GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed: the desktop cannot be asked for its mail program";
    fs::remove(MailProgramEntry());
    ASSERT_FALSE(HasMailProgram());
    SaveMessage("Harbour.kvt", "Harbour", 40, 30, {});
    GetAppSettings().m_bAttachPlayer = FALSE;
    GetAppSettings().m_bResizeMailImage = TRUE;
    CDialog::SetModalObserver([](CDialog* d) { d->SendMessage(WM_COMMAND, IDOK, 0); });
    doc->OnCmdMsg(ID_FILE_SEND_MAIL, CN_COMMAND, nullptr);
    CDialog::SetModalObserver(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    const std::string prefix = "No program for mail is set up on this computer, so no mail was started. The message "
                               "is saved here, ready to be attached to a mail by hand:\n";
    ASSERT_EQ(boxes[0].rfind(prefix, 0), 0u) << boxes[0];
    const fs::path prepared = boxes[0].substr(prefix.size());
    EXPECT_EQ(prepared.filename(), "Harbour.kvt");
    EXPECT_EQ(prepared.parent_path().parent_path(), home / "cache" / "Quiram" / "Mail");
    CAPhotoContent waiting(95);
    EXPECT_TRUE(ReadMessageFile(prepared.string(), waiting));
    EXPECT_EQ(waiting.m_strPictureText, "Harbour");
    QCoreApplication::processEvents();
    EXPECT_FALSE(fs::exists(capture));

    // A mail program named by MAILER counts, as the mail command takes it.
    qrtest::EnvVar named("MAILER", "true");
    EXPECT_TRUE(HasMailProgram());
}
