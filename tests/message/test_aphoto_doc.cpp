#include "message_fixtures.h"

#include "message/ano_markup.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_save_dlog.h"
#include "message/aphoto_view_base.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "platform/replace_file_calls.h"
#include "support/test_support.h"
#include "ui/app_templates.h"
#include "util/app_settings.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {

// A small view of the message: it records what the document tells it and
// answers what the document asks.
class TestPhotoView : public CAPhotoViewBase {
    DECLARE_DYNCREATE(TestPhotoView)
public:
    void OnUpdate(CView*, LPARAM hint, CObject*) override { hints.push_back(hint); }
    BOOL CanClose() override { return mayClose; }
    BOOL InsertPicture(const std::string& path) override
    {
        inserted.push_back(path);
        return insertWorks;
    }
    std::vector<LPARAM> hints;
    std::vector<std::string> inserted;
    BOOL mayClose = TRUE;
    BOOL insertWorks = TRUE;
};
IMPLEMENT_DYNCREATE(TestPhotoView, CAPhotoViewBase)

class TestPhotoFrame : public CFrameWnd {
    DECLARE_DYNCREATE(TestPhotoFrame)
    DECLARE_MESSAGE_MAP()
public:
    void OnRefreshSaved() { ++refreshes; }
    int refreshes = 0;
};
IMPLEMENT_DYNCREATE(TestPhotoFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(TestPhotoFrame, CFrameWnd)
    ON_COMMAND(ID_REFRESH_SAVED_MESSAGE, &TestPhotoFrame::OnRefreshSaved)
END_MESSAGE_MAP()

std::vector<uint8_t> JpegOf(int w, int h)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(msgjpeg::Encode(MakePicture(w, h), 90, out));
    return out;
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(p.parent_path());
    qrtest::WriteBytes(p, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// The message read straight from a file.
void ReadFile(const fs::path& p, CAPhotoContent& content)
{
    CFile f(p.string(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    content.ReadBody(ar);
}

// The message document in a frame with the small view, opened through a
// template of document string 129; pictures load through the real importer
// plug-ins beside the test build; message boxes and the Save As dialog are
// answered by the test.
class PhotoDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
        userBefore = GetAppSettings().m_strUserName;
        GetAppSettings().m_strUserName = "Tester";
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            int answer = answers.empty() ? IDOK : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        });
        CAPhotoSaveDlog::SetAnswer([this](std::string& path, BOOL& readOnly) {
            proposals.push_back(path);
            if (saveAsPath.empty())
                return IDCANCEL;
            path = saveAsPath;
            readOnly = saveAsReadOnly;
            return IDOK;
        });
        tmpl = new CSingleDocTemplate(129, RUNTIME_CLASS(CAPhotoDoc), RUNTIME_CLASS(TestPhotoFrame),
                                      RUNTIME_CLASS(TestPhotoView));
        app.AddDocTemplate(tmpl);
        app.LoadStdProfileSettings(4);
        doc = static_cast<CAPhotoDoc*>(tmpl->OpenDocumentFile({}));
        ASSERT_NE(doc, nullptr);
        view = static_cast<TestPhotoView*>(doc->GetFirstView());
        frame = static_cast<TestPhotoFrame*>(view->GetParentFrame());
    }
    void TearDown() override
    {
        if (CDocument* d = tmpl->GetOnlyDocument()) {
            d->SetModifiedFlag(FALSE);
            d->OnCloseDocument();
        }
        CAPhotoSaveDlog::SetAnswer(nullptr);
        SetMessageBoxHandler(previousBoxes);
        GetAppSettings().m_strUserName = userBefore;
        SetRegistryStore(nullptr);
    }

    std::string Picture(const std::string& name, int w = 40, int h = 30)
    {
        WriteFile(dir / name, JpegOf(w, h));
        return (dir / name).string();
    }
    // A message file saved by a document of its own.
    std::string Message(const std::string& name, int comments)
    {
        CAPhotoContent c(95);
        CImageBuffer picture = MakePicture(24, 16);
        c.TakeImage(picture);
        c.m_strPictureText = "saved";
        for (int i = 0; i < comments; ++i)
            c.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(TextRecord("note", CAreaMarquee(CRect(1, 1, 5, 5), 1))));
        WriteFile(dir / name, WriteMessage(c));
        return (dir / name).string();
    }
    bool Said(const std::string& part) const
    {
        for (const std::string& b : boxes)
            if (b.find(part) != std::string::npos)
                return true;
        return false;
    }

    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives / "machine"};
    qrtest::TempDir dir;
    CWinApp app{"msgdoc"};
    CSingleDocTemplate* tmpl = nullptr;
    CAPhotoDoc* doc = nullptr;
    TestPhotoView* view = nullptr;
    TestPhotoFrame* frame = nullptr;
    MessageBoxHandler previousBoxes;
    std::string userBefore;
    std::vector<std::string> boxes;
    std::vector<int> answers;
    std::vector<std::string> proposals;
    std::string saveAsPath;
    BOOL saveAsReadOnly = FALSE;
};

TEST_F(PhotoDocTest, PhotographBecomesAMessageThatSavesAndReopensFieldForField)
{
    // A camera's picture with its Exif block opens as a new message.
    const fs::path photo = dir / "Beach Walk.jpg";
    fs::copy_file(qrtest::DataPath("camera_nikon_d70s.jpg"), photo);
    ASSERT_TRUE(doc->OpenByName(photo.string(), FALSE, TRUE));
    doc->SetPathName(photo.string());
    EXPECT_EQ(doc->GetPictureState(), CAPhotoDoc::pictureFromFile);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), "Beach Walk");
    EXPECT_EQ(doc->GetMessageTitle(), "Beach Walk");
    EXPECT_TRUE(doc->GetPathName().empty());
    EXPECT_EQ(doc->GetPicturePath(), photo.string());
    const CImageBuffer& image = doc->GetContent().GetImage();
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBitsPerPixel(), 24);
    EXPECT_EQ(doc->GetContent().m_nInfoValue, 0); // a JPEG file
    EXPECT_EQ(view->hints.back(), CAPhotoDoc::hintLoaded);
    // A picture is no message file: it does not enter the recent files.
    EXPECT_EQ(app.GetRecentFileList()->GetCount(), 0);

    // Comments of every kind, each with an area.
    CAreaMarquee freehand;
    freehand.SetFreehand({{1, 1}, {9, 2}, {5, 8}});
    doc->AddComment(std::make_unique<CAnoRecord>(TextRecord("the sea", CAreaMarquee(CRect(1, 1, 8, 6), 1))));
    doc->AddComment(std::make_unique<CAnoRecord>(SoundRecord(WaveBytes(300), CAreaMarquee(CRect(2, 2, 9, 9), 2))));
    doc->AddComment(std::make_unique<CAnoRecord>(ImageRecord(JpegOf(12, 8), CAreaMarquee(CRect(0, 3, 4, 11), 3))));
    doc->AddComment(std::make_unique<CAnoRecord>(TextRecord("a path", freehand)));
    EXPECT_EQ(view->hints.back(), CAPhotoDoc::hintCommentAdded);

    saveAsPath = (dir / "beach").string();
    view->hints.clear();
    ASSERT_TRUE(doc->DoSave({}));
    const fs::path saved = dir / "beach.kvt";
    EXPECT_EQ(doc->GetPathName(), saved.string());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(view->hints.front(), CAPhotoDoc::hintBeforeSave);
    ASSERT_EQ(app.GetRecentFileList()->GetCount(), 1);
    EXPECT_EQ((*app.GetRecentFileList())[0], saved.string());
    CAPhotoContent written(95);
    CImageBuffer picture(doc->GetContent().GetImage());
    written.TakeImage(picture);
    for (const CAnoElement& e : doc->GetContent().m_comments)
        written.m_comments.push_back(e);

    // Reopened, the message is the same, field for field.
    doc->OnNewDocument();
    EXPECT_TRUE(doc->GetContent().m_comments.empty());
    ASSERT_TRUE(doc->OpenByName(saved.string(), FALSE, TRUE));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPictureState(), CAPhotoDoc::pictureFromFile);
    EXPECT_EQ(doc->GetMessageTitle(), "Beach Walk");
    ASSERT_EQ(doc->GetContent().m_comments.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(CompareRecords(*written.m_comments[i].m_pRecord, *doc->GetContent().m_comments[i].m_pRecord), "") << i;
    EXPECT_TRUE(SamePixels(written.GetImage(), doc->GetContent().GetImage(), 12));
    EXPECT_EQ(doc->GetContent().m_comments[3].m_pRecord->m_area, freehand);

    // Saved again unchanged, the photograph goes out as the same JPEG bytes:
    // only the save time in the header may differ.
    doc->SetPathName(saved.string());
    const std::vector<unsigned char> first = qrtest::ReadBytes(saved);
    ASSERT_TRUE(doc->DoSave(saved.string()));
    const std::vector<unsigned char> second = qrtest::ReadBytes(saved);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(std::equal(first.begin() + 64, first.end(), second.begin() + 64));
}

TEST_F(PhotoDocTest, LockedMessageNeverBecomesModifiedAndRefusesEdits)
{
    ASSERT_TRUE(doc->OpenByName(Picture("lock.jpg"), FALSE, TRUE));
    // Save As with Read Only ticked asks first; Cancel saves nothing and keeps it editable.
    saveAsPath = (dir / "locked.kvt").string();
    saveAsReadOnly = TRUE;
    answers = {IDCANCEL};
    EXPECT_FALSE(doc->DoSave({}));
    EXPECT_TRUE(Said("Save as a file only for reading?"));
    EXPECT_FALSE(fs::exists(saveAsPath));
    EXPECT_FALSE(doc->IsReadOnly());
    answers = {IDOK};
    ASSERT_TRUE(doc->DoSave({}));
    EXPECT_TRUE(doc->IsReadOnly());

    doc->OnNewDocument();
    ASSERT_TRUE(doc->OpenByName(saveAsPath, FALSE, TRUE));
    doc->SetPathName(saveAsPath);
    EXPECT_TRUE(doc->IsReadOnly());
    doc->SetModifiedFlag(TRUE);
    EXPECT_FALSE(doc->IsModified());
    // No insertion, no opening into it, no Import Image.
    const std::string other = Picture("other.jpg");
    doc->SetPictureState(CAPhotoDoc::pictureFromFile);
    EXPECT_FALSE(doc->OpenOrInsert(other));
    EXPECT_FALSE(doc->InsertPicture(other));
    EXPECT_TRUE(view->inserted.empty());
    CCmdUI state;
    state.m_nID = ID_IMPORT_IMAGE;
    EXPECT_TRUE(doc->OnCmdMsg(ID_IMPORT_IMAGE, CN_UPDATE_COMMAND_UI, &state));
    EXPECT_FALSE(state.m_bEnabled);
    // The Save command still writes, after asking to replace the file.
    boxes.clear();
    const auto before = fs::last_write_time(saveAsPath);
    fs::last_write_time(saveAsPath, before - std::chrono::hours(1));
    frame->SendMessage(WM_COMMAND, ID_FILE_SAVE, 0);
    EXPECT_TRUE(Said("File already exists. Replace?"));
    EXPECT_GT(fs::last_write_time(saveAsPath), before - std::chrono::minutes(1));
    EXPECT_FALSE(doc->IsModified());
    CAPhotoContent back(95);
    ReadFile(saveAsPath, back);
    EXPECT_EQ(back.m_nReadOnly, 1);
}

TEST_F(PhotoDocTest, FailedSaveKeepsTheOldFileAndLeavesNothingBehind)
{
    ASSERT_TRUE(doc->OpenByName(Picture("photo.jpg", 300, 200), FALSE, TRUE));
    // Noise, so that the message does not pack into the room a limit leaves.
    CImageBuffer& noisy = doc->GetContent().EditImage();
    uint32_t seed = 7;
    for (int y = 0; y < noisy.GetHeight(); ++y) {
        BYTE* row = noisy.GetRowPointer(y);
        for (int x = 0; x < noisy.GetWidth() * 3; ++x)
            row[x] = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 24);
    }
    // The disk reports the write error when the data reach it.
    ReplaceFileCalls failing = SystemReplaceFileCalls();
    failing.fsync = [](int) {
        errno = EIO;
        return -1;
    };
    struct Row {
        const char* what;
        std::function<void()> before;
        std::function<void()> after;
        const char* reason;
    };
    rlimit oldLimit{};
    void (*oldHandler)(int) = nullptr;
    const Row rows[] = {
        {"write error", [&] { SetReplaceFileCalls(&failing); },
         [] { SetReplaceFileCalls(nullptr); }, "Input/output error"},
        {"full disk",
         [&] {
             getrlimit(RLIMIT_FSIZE, &oldLimit);
             oldHandler = std::signal(SIGXFSZ, SIG_IGN);
             rlimit small = oldLimit;
             small.rlim_cur = 4096;
             setrlimit(RLIMIT_FSIZE, &small);
         },
         [&] {
             setrlimit(RLIMIT_FSIZE, &oldLimit);
             std::signal(SIGXFSZ, oldHandler);
         },
         "File too large"},
        {"read-only folder",
         [&] {
             fs::permissions(dir.path(), fs::perms(0755));
             fs::permissions(dir / "folder", fs::perms(0555));
             // Root writes anywhere: this thread checks files as another user.
             if (::geteuid() == 0) {
                 setfsgid(65534);
                 setfsuid(65534);
             }
         },
         [&] {
             if (::geteuid() == 0) {
                 setfsuid(0);
                 setfsgid(0);
             }
             fs::permissions(dir / "folder", fs::perms(0755));
         },
         "Permission denied"},
    };
    fs::create_directories(dir / "folder");
    const fs::path target = dir / "folder" / "old.kvt";
    const std::vector<unsigned char> old = {'o', 'l', 'd', ' ', 'm', 'e', 's', 's', 'a', 'g', 'e'};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        qrtest::WriteBytes(target, old);
        fs::permissions(target, fs::perms(0644));
        boxes.clear();
        // Save As onto the old file, ticking Read Only: the lock goes back with the failure.
        saveAsPath = target.string();
        saveAsReadOnly = TRUE;
        answers = {IDOK};
        doc->SetModifiedFlag(TRUE);
        r.before();
        const BOOL saved = doc->DoSave({});
        r.after();
        EXPECT_FALSE(saved);
        EXPECT_EQ(qrtest::ReadBytes(target), old);
        EXPECT_EQ(qrtest::FolderNames(dir / "folder"), std::vector<std::string>{"old.kvt"});
        EXPECT_FALSE(doc->IsReadOnly());
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(doc->GetPathName().empty());
        EXPECT_TRUE(Said("Cannot save the file")) << (boxes.empty() ? "" : boxes.back());
        EXPECT_TRUE(Said(r.reason)) << (boxes.empty() ? "" : boxes.back());
    }
    // Nothing left over from the failures: the next save works.
    saveAsReadOnly = FALSE;
    ASSERT_TRUE(doc->DoSave({}));
    EXPECT_EQ(qrtest::FolderNames(dir / "folder"), std::vector<std::string>{"old.kvt"});
    CAPhotoContent back(95);
    ReadFile(target, back);
    EXPECT_EQ(back.GetImage().GetWidth(), 300);
}

// A card laid out as a camera writes it: ROOT/ANN0001/ANN0001.TXT names
// files below ROOT.
struct Card {
    explicit Card(const fs::path& top) : root(top / "ROOT"), markup(root / "ANN0001" / "ANN0001.TXT")
    {
        WriteFile(root / "MAIN.JPG", JpegOf(64, 48));
        WriteFile(root / "SND" / "VOICE.WAV", PlayableWaveBytes(200));
        WriteFile(root / "IMG" / "DETAIL.JPG", JpegOf(30, 20));
        WriteFile(top / "OUTSIDE.WAV", PlayableWaveBytes(50));
        fs::create_directory_symlink(top, root / "LINK");
    }
    void Write(const std::string& text) const
    {
        fs::create_directories(markup.parent_path());
        std::ofstream(markup, std::ios::binary) << text;
    }
    fs::path root;
    fs::path markup;
};

TEST_F(PhotoDocTest, AnnotationFileBuildsItsCommentsAndRefusesWhatLeavesItsTree)
{
    Card card(dir.path());
    card.Write("<Annotation mainImage=\"/DCIM/MAIN.JPG\">\n"
               "<posLink position=\"10 20\" areaSize=\"30 15\">\n"
               "  <linkedSnd source=\"SND/VOICE.WAV\"/>\n"
               "  <linkedImg source=\"IMG/DETAIL.JPG\"/>\n"
               "  <linkedSnd source=\"../OUTSIDE.WAV\"/>\n"
               "  <linkedSnd source=\"LINK/OUTSIDE.WAV\"/>\n"
               "</posLink>\n"
               "<posLink position=\"1 2\" areaSize=\"3 4\"><linkedImg source=\"IMG/MISSING.JPG\"/></posLink>\n"
               "</Annotation>");
    ASSERT_TRUE(doc->OpenByName(card.markup.string(), FALSE, TRUE));
    EXPECT_EQ(doc->GetSourcePath(), card.markup.string());
    EXPECT_EQ(doc->GetPicturePath(), (card.root / "MAIN.JPG").string());
    EXPECT_EQ(doc->GetMessageTitle(), "MAIN");
    EXPECT_EQ(doc->GetContent().GetImage().GetWidth(), 64);
    EXPECT_TRUE(doc->IsModified());
    const auto& comments = doc->GetContent().m_comments;
    ASSERT_EQ(comments.size(), 2u); // the references out of the tree and the missing file give none
    const CAnoRecord& sound = *comments[0].m_pRecord;
    EXPECT_EQ(sound.m_nKind, CAnoRecord::sound);
    EXPECT_EQ(sound.m_strContent, "VOICE");
    EXPECT_EQ(sound.Data(), PlayableWaveBytes(200));
    const CAnoRecord& image = *comments[1].m_pRecord;
    EXPECT_EQ(image.m_nKind, CAnoRecord::image);
    EXPECT_EQ(image.m_strContent, "DETAIL");
    EXPECT_TRUE(image.m_picture.IsValid());
    for (const CAnoElement& e : comments) {
        EXPECT_EQ(e.m_nDepth, 0);
        EXPECT_EQ(e.m_pRecord->m_area, CAreaMarquee(CRect(10, 20, 40, 35), CAreaMarquee::square));
        EXPECT_EQ(e.m_pRecord->m_strUserName, "Tester");
    }

    // Saving it tells the frame that the browser should show the file anew.
    saveAsPath = (dir / "card.kvt").string();
    ASSERT_TRUE(doc->DoSave({}));
    EXPECT_EQ(frame->refreshes, 1);

    // A markup whose photograph is missing opens nothing and says so; the
    // message that was open stays as it was.
    fs::remove(card.root / "MAIN.JPG");
    boxes.clear();
    EXPECT_FALSE(doc->OpenByName(card.markup.string(), FALSE, TRUE));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Said("cannot be found")) << boxes[0];
    EXPECT_EQ(doc->GetContent().m_comments.size(), 2u);
    EXPECT_EQ(doc->GetPathName(), saveAsPath);
}

TEST_F(PhotoDocTest, OpenAndSaveCases)
{
    const std::string jpeg = Picture("second.jpg");
    const std::string message = Message("note.KVT", 2);

    // A JPEG while the photograph came from a picture file is inserted.
    ASSERT_TRUE(doc->OpenByName(Picture("first.jpg"), FALSE, TRUE));
    doc->SetModifiedFlag(FALSE);
    ASSERT_TRUE(doc->OpenOrInsert(jpeg));
    EXPECT_EQ(view->inserted, std::vector<std::string>{jpeg});
    EXPECT_EQ(doc->GetPictureState(), CAPhotoDoc::pictureInserted);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetMessageTitle(), "first");
    // A view that cannot insert changes nothing.
    doc->SetPictureState(CAPhotoDoc::pictureFromFile);
    doc->SetModifiedFlag(FALSE);
    view->insertWorks = FALSE;
    EXPECT_FALSE(doc->OpenOrInsert(jpeg));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPictureState(), CAPhotoDoc::pictureFromFile);

    // Otherwise it opens as a new message, after the changed one was offered
    // for saving: Cancel keeps everything, No lets it go.
    doc->SetPictureState(CAPhotoDoc::pictureInserted);
    doc->SetModifiedFlag(TRUE);
    boxes.clear();
    answers = {IDCANCEL};
    EXPECT_FALSE(doc->OpenOrInsert(jpeg));
    EXPECT_TRUE(Said("Save changes"));
    EXPECT_EQ(doc->GetMessageTitle(), "first");
    answers = {IDNO};
    ASSERT_TRUE(doc->OpenOrInsert(jpeg));
    EXPECT_EQ(doc->GetMessageTitle(), "second");
    EXPECT_EQ(doc->GetPictureState(), CAPhotoDoc::pictureFromFile);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(view->inserted.size(), 2u);

    // A message file always opens, under its own name (any case of ".kvt").
    doc->SetModifiedFlag(FALSE);
    ASSERT_TRUE(doc->OpenOrInsert(message));
    EXPECT_EQ(doc->GetPathName(), message);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetContent().m_comments.size(), 2u);
    EXPECT_EQ(doc->GetMessageTitle(), "saved");
    EXPECT_EQ((*app.GetRecentFileList())[0], message);
    for (const auto& [path, isMessage] : {std::pair{"/m/a.kvt", true}, std::pair{"/m/a.KVT", true},
                                          std::pair{"/m.kvt/a", false}, std::pair{"/m/akvt", false},
                                          std::pair{"/m/a.kvt.jpg", false}})
        EXPECT_EQ(CAPhotoDoc::IsMessageFile(path), isMessage) << path;

    // Files the editor does not take: refused with their message, and the
    // open message stays.
    std::ofstream(dir / "notes.txt") << "plain text";
    WriteFile(dir / "tiny.jpg", JpegOf(7, 8));
    WriteFile(dir / "huge.jpg", JpegOf(3841, 8));
    WriteFile(dir / "damaged.kvt", {1, 2, 3, 4, 5, 6, 7, 8, 9});
    struct Row {
        std::string path;
        BOOL readOnlyWord;
        const char* message;
    };
    const Row rows[] = {
        {(dir / "notes.txt").string(), FALSE, "Invalid file type."},
        {(dir / "notes.txt").string(), TRUE, "Invalid file type."}, // no success for the reader's template either
        {(dir / "tiny.jpg").string(), FALSE, "Image size outside range."},
        {(dir / "huge.jpg").string(), FALSE, "Image size outside range."},
        {(dir / "damaged.kvt").string(), FALSE, ""}, // the framework's failed-open message
    };
    for (const Row& r : rows) {
        boxes.clear();
        EXPECT_FALSE(doc->OpenByName(r.path, r.readOnlyWord, TRUE)) << r.path;
        EXPECT_EQ(boxes.size(), 1u) << r.path;
        EXPECT_TRUE(Said(r.message)) << r.path << ": " << (boxes.empty() ? "" : boxes.back());
        EXPECT_EQ(doc->GetPathName(), message);
        EXPECT_EQ(doc->GetContent().m_comments.size(), 2u);
    }
    boxes.clear();
    EXPECT_FALSE(doc->OpenOrInsert((dir / "tiny.jpg").string()));
    EXPECT_TRUE(Said("Image size outside range."));

    // A picture no plug-in reads is a failed load, even straight through the importers.
    WriteFile(dir / "photo.xyz", JpegOf(20, 20));
    CImageBuffer image;
    int result = -1;
    EXPECT_FALSE(CAPhotoDoc::LoadPictureFile((dir / "photo.xyz").string(), image, TRUE, 0, &result));
    EXPECT_EQ(result, CAPhotoDoc::pictureNoImporter);
    EXPECT_FALSE(CAPhotoDoc::LoadPictureFile((dir / "gone.jpg").string(), image, TRUE, 0, &result));
    EXPECT_EQ(result, CAPhotoDoc::pictureMissing);
    boxes.clear();
    EXPECT_FALSE(doc->OnOpenDocument((dir / "photo.xyz").string()));
    EXPECT_EQ(boxes, std::vector<std::string>{"Invalid file type."});
    // Behind the loading progress dialog as straight.
    ASSERT_TRUE(CAPhotoDoc::LoadPictureFile(jpeg, image, FALSE, 0, &result));
    EXPECT_EQ(image.GetWidth(), 40);
}

// A message whose sound or picture comment has damaged bytes opens whole,
// tells the user which comment cannot be read and why, and saves those bytes
// as they came, for a mail too: the damage may be a reader's, and a sound or
// picture the program cannot read is not the program's to drop.
TEST_F(PhotoDocTest, ADamagedSoundOrPictureCommentIsNamedKeptAndSavedAsItCame)
{
    const std::vector<uint8_t> wave = PlayableWaveBytes(400); // fmt at 12, its tag at 20; data size at 40
    auto patched = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
        return b;
    };
    std::vector<uint8_t> floats = wave;
    floats[20] = 3;
    const std::vector<uint8_t> jpeg = JpegOf(12, 8);
    auto counted = [](const std::vector<uint8_t>& data, uint32_t count) {
        std::vector<uint8_t> b(4 + data.size());
        for (int i = 0; i < 4; ++i)
            b[size_t(i)] = uint8_t(count >> (8 * i));
        std::copy(data.begin(), data.end(), b.begin() + 4);
        return b;
    };
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(12, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    const std::vector<uint8_t> pngBytes(png.begin(), png.end());
    struct Row {
        const char* what;
        int32_t kind;
        std::vector<uint8_t> attachment; // as the record holds it
        std::string said;
    } rows[] = {
        {"a sound cut short", CAnoRecord::sound, std::vector<uint8_t>(wave.begin(), wave.begin() + 30),
         "This sound cannot be read: it is damaged at byte"},
        {"a sound whose fmt chunk runs past the end", CAnoRecord::sound, patched(wave, 16, 100000),
         "This sound cannot be read: it is damaged at byte"},
        {"a sound of float samples", CAnoRecord::sound, floats, "its samples are not PCM (format 3)"},
        {"a sound that is no wave file", CAnoRecord::sound, {'h', 'e', 'l', 'l', 'o'}, "it is not a wave file"},
        {"a sound with no bytes", CAnoRecord::sound, {}, "This sound cannot be read"},
        {"a picture cut short", CAnoRecord::image, counted({jpeg.begin(), jpeg.begin() + 40}, 40),
         "This picture cannot be read"},
        {"a picture count past its bytes", CAnoRecord::image, counted(jpeg, uint32_t(jpeg.size()) + 1),
         "This picture cannot be read"},
        {"a PNG picture", CAnoRecord::image, counted(pngBytes, uint32_t(pngBytes.size())),
         "This picture cannot be read"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const CAreaMarquee area(CRect(1, 1, 5, 5), 1);
        CAnoRecord damaged = row.kind == CAnoRecord::sound ? SoundRecord({}, area) : ImageRecord(jpeg, area);
        damaged.SetLength(0);
        damaged.Write(row.attachment.data(), row.attachment.size());
        damaged.SeekToBegin();
        CAPhotoContent c(95);
        CImageBuffer photo = MakePicture(24, 16);
        c.TakeImage(photo);
        c.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(TextRecord("before", area)));
        c.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(damaged));
        c.m_comments.emplace_back(1, std::make_unique<CAnoRecord>(TextRecord("after", area)));
        const fs::path message = dir / "damaged.kvt";
        WriteFile(message, WriteMessage(c));

        boxes.clear();
        ASSERT_TRUE(doc->OpenByName(message.string(), FALSE, TRUE));
        ASSERT_EQ(doc->GetContent().m_comments.size(), 3u);
        EXPECT_EQ(doc->GetContent().m_comments[0].m_pRecord->m_strContent, "before");
        EXPECT_EQ(doc->GetContent().m_comments[2].m_pRecord->m_strContent, "after");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find(row.said), std::string::npos) << boxes[0];
        // The comment by its name and author.
        EXPECT_NE(boxes[0].find("\"" + damaged.m_strContent + "\" ( " + damaged.m_strUserName), std::string::npos)
            << boxes[0];
        EXPECT_EQ(doc->GetContent().m_comments[1].m_pRecord->Data(), row.attachment);

        for (const bool mail : {false, true}) {
            const fs::path saved = dir / (mail ? "mail.kvt" : "saved.kvt");
            ASSERT_TRUE(mail ? doc->SaveForMail(saved.string(), TRUE) : doc->DoSave(saved.string()));
            CAPhotoContent back(95);
            ReadFile(saved, back);
            ASSERT_EQ(back.m_comments.size(), 3u);
            EXPECT_EQ(back.m_comments[1].m_pRecord->m_nKind, row.kind) << mail;
            EXPECT_EQ(back.m_comments[1].m_pRecord->Data(), row.attachment) << mail;
            EXPECT_EQ(back.m_comments[2].m_pRecord->m_strContent, "after") << mail;
        }
    }
    // A whole sound and picture say nothing.
    boxes.clear();
    CAPhotoContent whole(95);
    CImageBuffer photo = MakePicture(24, 16);
    whole.TakeImage(photo);
    whole.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(SoundRecord(wave, CAreaMarquee())));
    whole.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(ImageRecord(jpeg, CAreaMarquee())));
    WriteFile(dir / "whole.kvt", WriteMessage(whole));
    ASSERT_TRUE(doc->OpenByName((dir / "whole.kvt").string(), FALSE, TRUE));
    EXPECT_EQ(boxes, std::vector<std::string>{});
}

TEST_F(PhotoDocTest, SaveAsProposesANameFromTheMessageTitle)
{
    fs::create_directories(dir / "pictures");
    ASSERT_TRUE(doc->OpenByName(Picture("pictures/IMG_0001.jpg"), FALSE, TRUE));
    doc->SetPathName(doc->GetPicturePath());
    struct Row {
        const char* title;
        std::string proposal;
    };
    const Row rows[] = {
        {"beach", (dir / "pictures" / "beach").string()},
        {"sea: waves", (dir / "pictures" / "*").string()},
        {"", (dir / "pictures" / "*").string()},
    };
    for (const Row& r : rows) {
        doc->SetMessageTitle(r.title);
        proposals.clear();
        EXPECT_FALSE(doc->DoSave({}));
        ASSERT_EQ(proposals.size(), 1u);
        EXPECT_EQ(proposals[0], r.proposal) << r.title;
    }
    // A saved message proposes its own folder.
    doc->SetMessageTitle("beach");
    saveAsPath = (dir / "saved" / "trip").string();
    fs::create_directories(dir / "saved");
    ASSERT_TRUE(doc->DoSave({}));
    EXPECT_EQ(doc->GetPathName(), (dir / "saved" / "trip.kvt").string());
    saveAsPath.clear();
    proposals.clear();
    EXPECT_FALSE(doc->DoSave({}));
    EXPECT_EQ(proposals.at(0), (dir / "saved" / "beach").string());

    // The title holds 64 characters at most; a character of several bytes counts once.
    std::string longName;
    for (int i = 0; i < 70; ++i)
        longName += "\xC3\xA9"; // é
    doc->SetMessageTitle(longName);
    EXPECT_EQ(doc->GetMessageTitle(), longName.substr(0, 128));
    ASSERT_TRUE(doc->OpenByName(Picture(longName + ".jpg"), FALSE, TRUE));
    EXPECT_EQ(doc->GetTitle(), longName.substr(0, 128));
    // The mail attachment's name: the message file's, or the title's.
    EXPECT_EQ(doc->GetMailAttachmentName(), longName.substr(0, 128) + ".kvt");
    doc->SetPathName((dir / "saved" / "trip.kvt").string());
    EXPECT_EQ(doc->GetMailAttachmentName(), "trip.kvt");
    // A name longer than the file system takes is refused with its message.
    saveAsPath = (dir / std::string(300, 'n')).string();
    boxes.clear();
    EXPECT_FALSE(doc->DoSave({}));
    EXPECT_TRUE(Said("File name or path is too long."));
}

TEST_F(PhotoDocTest, MailSavesAShrunkCopyOnlyForThatSave)
{
    ASSERT_TRUE(doc->OpenByName(Picture("wide.jpg", 2048, 100), FALSE, TRUE));
    doc->AddComment(std::make_unique<CAnoRecord>(TextRecord("far right", CAreaMarquee(CRect(1800, 10, 1900, 60), 1))));
    doc->SetModifiedFlag(TRUE);
    const fs::path mail = dir / "mail.kvt";
    ASSERT_TRUE(doc->SaveForMail(mail.string(), TRUE));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPathName().empty());
    CAPhotoContent mailed(95);
    ReadFile(mail, mailed);
    EXPECT_EQ(mailed.GetImage().GetWidth(), 1024);
    EXPECT_EQ(mailed.m_comments.at(0).m_pRecord->m_area.m_rect.left, 900);
    // The next save writes the photograph whole.
    saveAsPath = (dir / "whole.kvt").string();
    ASSERT_TRUE(doc->DoSave({}));
    CAPhotoContent whole(95);
    ReadFile(saveAsPath, whole);
    EXPECT_EQ(whole.GetImage().GetWidth(), 2048);
    EXPECT_EQ(whole.m_comments.at(0).m_pRecord->m_area.m_rect.left, 1800);
    EXPECT_EQ(doc->GetContent().GetImage().GetWidth(), 2048);
}

TEST_F(PhotoDocTest, ViewMayKeepTheMessageOpenAndImportImageFollowsTheState)
{
    view->mayClose = FALSE;
    EXPECT_FALSE(doc->CanCloseFrame(frame));
    view->mayClose = TRUE;
    EXPECT_TRUE(doc->CanCloseFrame(frame));
    for (const auto& [state, enabled] : {std::pair{0, true}, std::pair{1, true}, std::pair{2, false}}) {
        doc->SetPictureState(state);
        CCmdUI ui;
        ui.m_nID = ID_IMPORT_IMAGE;
        doc->OnCmdMsg(ID_IMPORT_IMAGE, CN_UPDATE_COMMAND_UI, &ui);
        EXPECT_EQ(ui.m_bEnabled != FALSE, enabled) << state;
    }
    view->hints.clear();
    doc->SetDropFormat(0xC123);
    doc->SetReadOnly(TRUE);
    doc->SetMessageTitle("t");
    EXPECT_EQ(view->hints, (std::vector<LPARAM>{CAPhotoDoc::hintDropFormat, CAPhotoDoc::hintReadOnly, CAPhotoDoc::hintTitle}));
    EXPECT_EQ(doc->GetDropFormat(), 0xC123u);
}

} // namespace
