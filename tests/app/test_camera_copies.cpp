// Camera copies from the browser as a user makes them: a camera name asked
// for until one is given, one save dialog for each selected picture, copies
// whose Exif block a camera takes for its own; and Save As over a picture
// that is no JPEG, which asks before it replaces the file.
#include "app/browser_frame_fixture.h"
#include "browser/camera_copy.h"
#include "browser/thumbnail_loader.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/exif_text_formatter.h"
#include "imaging/image_info_set.h"
#include "imaging/metadata_file_kind.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/menu.h"
#include "platform/replace_file_calls.h"
#include "support/exif_tool.h"
#include "support/kill_part_way.h"
#include "support/small_file_system.h"

#include <QImage>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <random>
#include <regex>

namespace fs = std::filesystem;

namespace {

const std::string kNotCameraName = "Name a file as PICT****.JPG using a 4 digit serial number for ****.";

// What the save dialogs offered, and their answers, one a dialog: a path,
// "" for Cancel, or "=" for the offered name as it is.
std::vector<std::string> g_offered;
std::deque<std::string> g_answers;
BOOL AnswerSaveDialog(std::string& path, BOOL bOpen, const std::string&, const std::string&)
{
    g_offered.push_back(path);
    if (bOpen || g_answers.empty())
        return FALSE;
    const std::string answer = g_answers.front();
    g_answers.pop_front();
    if (answer.empty())
        return FALSE;
    if (answer != "=")
        path = answer;
    return TRUE;
}

// A date entry of the file's Exif block; "(none)" when it has none.
std::string ExifText(const std::string& path, WORD tag, WORD sub)
{
    CFile file;
    CExifFile exif;
    if (!file.Open(path, CFile::modeRead) || exif.Attach(&file, GetMetadataFileKind(path)) != 0)
        return "(unreadable)";
    const CExifEntry* e = exif.FindEntry(tag, 0, sub);
    if (!e)
        return "(none)";
    return e->GetText();
}

// What makes a copy one a camera plays: its Exif block reads, with the
// source's shooting date, a 160 x 120 thumbnail and the maker's playback byte.
void ExpectCameraCopy(const std::string& copy, const std::string& taken)
{
    EXPECT_EQ(ExifText(copy, kTagDateTimeOriginal, kSubExif), taken) << copy;
    CFile file;
    CExifFile exif;
    ASSERT_TRUE(file.Open(copy, CFile::modeRead));
    ASSERT_EQ(exif.Attach(&file, kExifJpeg), 0) << copy;
    CDibBitmap thumbnail;
    ASSERT_EQ(exif.GetThumbnail(thumbnail), 1) << copy;
    EXPECT_EQ(thumbnail.GetSize(), CSize(160, 120));
    CExifTextFormatter formatter;
    CExifInfoSet info(&formatter);
    CMakerInfoSet maker(&formatter);
    BYTE playable = 0;
    ASSERT_TRUE(QueryImageFileInfo(copy, info, maker, &playable, nullptr)) << copy;
    EXPECT_EQ(playable, 1);
    if (qrtest::FindProgram("exiftool").empty())
        return; // the checks above stand without it
    const qrtest::ExifToolAnswer check = qrtest::ExifTool({"-validate", "-warning", "-a", copy});
    EXPECT_TRUE(QByteArray::fromStdString(check.out).simplified().endsWith("Validate : OK")) << copy << check.out;
}

class CameraCopiesTest : public qrtest::BrowserFrameTest {
protected:
    void SetUp() override
    {
        qrtest::BrowserFrameTest::SetUp();
        m_previous = SetFileDialogHandler(AnswerSaveDialog);
        fs::create_directories(m_card);
    }
    void TearDown() override
    {
        SetFileDialogHandler(m_previous);
        g_offered.clear();
        g_answers.clear();
        qrtest::BrowserFrameTest::TearDown();
    }
    // The camera folder chosen with files in it besides the photographs.
    void OpenWith(int files)
    {
        View()->GetTreePane()->SelectFolder(m_camera);
        ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == files; }));
    }
    int IndexOf(const std::string& name)
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int i = 0; i < GetFileItemCount(); ++i)
            if (GetItemFileName(i) == name)
                return i;
        return -1;
    }
    // The command over the selection, the dialogs answered in turn.
    void CopySelected(std::initializer_list<int> items, std::vector<std::string> answers)
    {
        Select(items);
        ASSERT_TRUE(Enabled(ID_CAMERA_COPIES));
        g_offered.clear();
        g_answers.assign(answers.begin(), answers.end());
        m_boxes.clear();
        Frame()->SendMessage(WM_COMMAND, ID_CAMERA_COPIES, 0);
    }

    // The command over every picture of the open folder, the first copy named
    // into the card and each next one where the dialog offers it.
    void CopyAllInto(int pictures)
    {
        CGalleryCtrl& g = *View()->GetGallery();
        g.SelectAll(FALSE);
        for (int i = 0; i < GetFileItemCount(); ++i)
            if (GetItemFileName(i).ends_with(".JPG"))
                g.SetSelected(i, TRUE);
        g_answers.assign(size_t(pictures), "=");
        g_answers.front() = m_card + "/PICT0001.JPG";
        g_offered.clear();
        m_boxes.clear();
        Frame()->SendMessage(WM_COMMAND, ID_CAMERA_COPIES, 0);
    }

    std::string m_card = (m_dir / "card" / "DCIM").string();
    FileDialogHandler m_previous = nullptr;
};

// The thumbnail thread parked for as long as it lives, so that a child forked
// meanwhile does not find the item lock held by a thread it does not have.
class ParkedThumbnails {
public:
    explicit ParkedThumbnails(CThumbnailLoader& loader) : m_loader(loader) { m_loader.Pause(); }
    ~ParkedThumbnails() { m_loader.Resume(); }
    ParkedThumbnails(const ParkedThumbnails&) = delete;
    ParkedThumbnails& operator=(const ParkedThumbnails&) = delete;

private:
    CThumbnailLoader& m_loader;
};

// Copies go PICT0001.JPG, PICT0002.JPG and so on: the copies in the card
// folder must be the first ones of that run, each of them whole (a JPEG to
// its end, of its picture's size). Answers the names that are not.
std::vector<std::string> NotWholeCopies(const std::string& card, const std::vector<QSize>& sizes)
{
    std::vector<std::string> bad;
    const std::vector<std::string> names = qrtest::FolderNames(card);
    for (size_t i = 0; i < names.size(); ++i) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "PICT%04zu.JPG", i + 1);
        const std::vector<unsigned char> bytes = qrtest::ReadBytes(card + "/" + names[i]);
        const bool whole = names[i] == expected && i < sizes.size() && bytes.size() > 4 && bytes[0] == 0xFF &&
                           bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF && bytes.back() == 0xD9 &&
                           QImage(QString::fromStdString(card + "/" + names[i])).size() == sizes[i];
        if (!whole)
            bad.push_back(names[i]);
    }
    return bad;
}

// The writer without unnamed temporary files, as on a file system that has
// none: its temporary files then have names in the folder.
int OpenWithoutTmpfile(int dirFd, const char* path, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return SystemReplaceFileCalls().openat(dirFd, path, flags, mode);
}

} // namespace

TEST_F(CameraCopiesTest, TheNameIsAskedForUntilItIsACameraNameAndTheCopyIsOneACameraPlays)
{
    // The command is on the Tools menu.
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_ZUNTYPE));
    ASSERT_NE(menu.GetSubMenu(4), nullptr);
    const auto& tools = menu.GetSubMenu(4)->Items();
    EXPECT_TRUE(std::any_of(tools.begin(), tools.end(), [](const CMenu::Item& i) {
        return i.id == ID_CAMERA_COPIES && i.text == "Ca&mera Copies...";
    }));

    Open(m_camera);
    const std::string source = m_camera + "/photo03.jpg";
    const std::string taken = ExifText(source, kTagDateTimeOriginal, kSubExif);
    ASSERT_EQ(taken.size(), 19u) << taken;

    const std::string before = ExifDateNow();
    CopySelected({3}, {m_card + "/PICT12.JPG", m_card + "/PICT0012.JPEG", m_card + "/pict0012.jpg"});
    const std::string after = ExifDateNow();
    // The same name is offered again after each refusal.
    EXPECT_EQ(g_offered, std::vector<std::string>(3, m_camera + "/PICT0001"));
    EXPECT_EQ(m_boxes, std::vector<std::string>(2, kNotCameraName));
    ASSERT_EQ(qrtest::FolderNames(m_card), std::vector<std::string>{"pict0012.jpg"});

    const std::string copy = m_card + "/pict0012.jpg";
    ExpectCameraCopy(copy, taken);
    const std::string changed = ExifText(copy, 306, kSubMain);
    EXPECT_TRUE(changed >= before && changed <= after) << changed;
    const CSize size = GetItemPictureSize(3);
    EXPECT_EQ(QImage(QString::fromStdString(copy)).size(), QSize(size.cx, size.cy));
}

TEST_F(CameraCopiesTest, EachSelectedPictureHasItsOwnSaveDialogAndACancelEndsTheCommand)
{
    Open(m_camera);
    const struct {
        std::vector<std::string> answers;
        std::vector<std::string> offered;
        std::vector<std::string> written;
    } cases[] = {
        // After PICT0041 the next is PICT0042, where the one before went; Cancel
        // ends the command and the copy made stays.
        {{m_card + "/PICT0041.JPG", ""}, {m_camera + "/PICT0001", m_card + "/PICT0042"}, {m_card + "/PICT0041.JPG"}},
        {{"=", "=", "="},
         {m_camera + "/PICT0001", m_camera + "/PICT0002", m_camera + "/PICT0003"},
         {m_camera + "/PICT0001.JPG", m_camera + "/PICT0002.JPG", m_camera + "/PICT0003.JPG"}},
    };
    for (const auto& c : cases) {
        CopySelected({4, 5, 6}, c.answers);
        EXPECT_EQ(g_offered, c.offered);
        for (const std::string& path : c.written)
            EXPECT_TRUE(fs::exists(path)) << path;
        EXPECT_TRUE(m_boxes.empty());
    }
    EXPECT_EQ(qrtest::FolderNames(m_card), std::vector<std::string>{"PICT0041.JPG"});

    // A name typed without its extension is given ".JPG", and a file of that
    // name is replaced only once the user agrees; refused, the name is asked again.
    const std::vector<unsigned char> kept = qrtest::ReadBytes(m_card + "/PICT0041.JPG");
    m_app->m_showMessageBox = [&](const std::string& text, UINT) {
        m_boxes.push_back(text);
        return IDCANCEL;
    };
    CopySelected({4}, {m_card + "/PICT0041", ""});
    EXPECT_EQ(g_offered.size(), 2u);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"File already exists. Replace?"});
    EXPECT_EQ(qrtest::ReadBytes(m_card + "/PICT0041.JPG"), kept);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ExifText(m_camera + "/PICT000" + std::to_string(i + 1) + ".JPG", kTagDateTimeOriginal, kSubExif),
                  ExifText(m_camera + "/photo0" + std::to_string(i + 4) + ".jpg", kTagDateTimeOriginal, kSubExif));
}

TEST_F(CameraCopiesTest, APictureThatDoesNotLoadOrACopyThatCannotBeWrittenEndsTheCommand)
{
    fs::copy_file(fs::path(QR_TEST_DATA_DIR) / "exif_intel.tif", m_camera + "/scan.tif");
    OpenWith(14);

    // The picture after the one copied no longer loads: the copy stays.
    std::ofstream(m_camera + "/photo01.jpg", std::ios::trunc) << "no picture any more";
    CopySelected({0, 1}, {m_card + "/PICT0001.JPG", "="});
    EXPECT_EQ(g_offered.size(), 1u);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Unable to open file. "});
    EXPECT_EQ(qrtest::FolderNames(m_card), std::vector<std::string>{"PICT0001.JPG"});

    // A copy that cannot be written says so and asks for no more.
    CopySelected({2, 3}, {(m_dir / "missing" / "PICT0002.JPG").string(), "="});
    EXPECT_EQ(g_offered.size(), 1u);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind("Unable to save file. ", 0), 0u) << m_boxes[0];
    EXPECT_FALSE(fs::exists(m_dir / "missing"));

    // A TIFF's copy is a JPEG with the camera's Exif block, the TIFF's date in it.
    CopySelected({IndexOf("scan.tif")}, {m_card + "/PICT0003.JPG"});
    EXPECT_TRUE(m_boxes.empty());
    ExpectCameraCopy(m_card + "/PICT0003.JPG", "2024:05:06 07:08:09");
}

TEST_F(CameraCopiesTest, SaveAsOverAPictureThatIsNoJpegReplacesItOnlyWhenTheUserAgrees)
{
    const std::string path = m_camera + "/scan.bmp";
    QImage scan(64, 48, QImage::Format_RGB32);
    scan.fill(QColor(200, 120, 40));
    ASSERT_TRUE(scan.save(QString::fromStdString(path), "BMP"));
    OpenWith(14);
    const int index = IndexOf("scan.bmp");
    auto inode = [&] {
        struct stat st{};
        stat(path.c_str(), &st);
        return st.st_ino;
    };
    const std::vector<unsigned char> before = qrtest::ReadBytes(path);
    const auto oldInode = inode();
    const std::vector<std::string> names = qrtest::FolderNames(m_camera);
    const struct {
        int answer;
        bool replaced;
    } cases[] = {{IDCANCEL, false}, {IDOK, true}};
    for (const auto& c : cases) {
        m_boxes.clear();
        m_app->m_showMessageBox = [&](const std::string& text, UINT) {
            m_boxes.push_back(text);
            return c.answer;
        };
        View()->SelectItem(index, FALSE);
        ASSERT_TRUE(Enabled(ID_SAVE_AS_REPLACE));
        Frame()->SendMessage(WM_COMMAND, ID_SAVE_AS_REPLACE, 0);
        EXPECT_EQ(m_boxes, std::vector<std::string>{"File already exists. Replace?"});
        // Replaced through the file writer: a whole new file put in the old
        // one's place, and nothing left beside it.
        EXPECT_EQ(inode() != oldInode, c.replaced);
        if (!c.replaced) {
            EXPECT_EQ(qrtest::ReadBytes(path), before);
        }
        EXPECT_EQ(qrtest::FolderNames(m_camera), names);
    }
    EXPECT_EQ(QImage(QString::fromStdString(path)).size(), QSize(64, 48));
}

// Camera copies of two hundred pictures, some with a sound and a camera
// thumbnail beside them, killed at random moments: the pictures and their
// companions stay whole where they were, the card holds only whole copies
// under the camera's names, and a temporary file of the writer that a kill
// leaves never passes for a photograph.
TEST_F(CameraCopiesTest, KilledAtRandomMomentsLeavesOriginalsWholeAndOnlyWholeCopies)
{
    constexpr int kPictures = 200;
    const std::string shoot = (m_dir / "shoot").string();
    fs::create_directories(shoot);
    std::map<std::string, std::vector<unsigned char>> originals; // name -> bytes
    std::vector<QSize> sizes;
    for (int i = 1; i <= kPictures; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", i);
        const QString stem = QString::fromStdString(shoot + "/DSC_" + number);
        QImage picture(48 + i % 7, 32 + i % 5, QImage::Format_RGB32);
        picture.fill(QColor(i % 256, (i * 7) % 256, 90));
        ASSERT_TRUE(picture.save(stem + ".JPG", "JPEG"));
        sizes.push_back(picture.size());
        if (i % 3 == 0) {
            qrtest::WriteBytes((stem + ".WAV").toStdString(), std::vector<unsigned char>(700 + size_t(i), uint8_t(i)));
        }
        if (i % 5 == 0) {
            ASSERT_TRUE(picture.scaled(16, 12).save(stem + ".THM", "JPEG"));
        }
    }
    for (const std::string& name : qrtest::FolderNames(shoot))
        originals[name] = qrtest::ReadBytes(shoot + "/" + name);
    View()->GetTreePane()->SelectFolder(shoot);
    ASSERT_TRUE(uitest::WaitFor([&] {
        int n = 0;
        for (int i = 0; i < GetFileItemCount(); ++i)
            n += GetItemFileName(i).ends_with(".JPG");
        return n == kPictures;
    }));
    ASSERT_TRUE(AllMade());

    ReplaceFileCalls named = SystemReplaceFileCalls();
    named.openat = OpenWithoutTmpfile;
    const std::regex photoLike("[A-Za-z_]+[0-9]+\\.(JPG|JPEG|TIF|WAV|THM)", std::regex::icase);
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    int killed = 0;
    for (const bool unnamed : {true, false, true}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary files" : "named temporary files");
        fs::remove_all(m_card);
        fs::create_directories(m_card);
        const ReplaceFileCalls* previous = SetReplaceFileCalls(unnamed ? nullptr : &named);
        // Early in the batch: each copy takes a while here, and a kill is a kill wherever it falls.
        const size_t at = random() % 40;
        SCOPED_TRACE("killed after " + std::to_string(at) + " copies");
        const ParkedThumbnails parked(View()->Loader());
        killed += qrtest::KillPartWay([&] { CopyAllInto(kPictures); },
                                      [&] { return qrtest::EntryCount(m_card) >= at; }, random);
        SetReplaceFileCalls(previous);

        // Every picture and companion whole where it was, nothing beside them.
        EXPECT_EQ(qrtest::FolderNames(shoot).size(), originals.size());
        for (const auto& [name, bytes] : originals)
            ASSERT_EQ(qrtest::ReadBytes(shoot + "/" + name), bytes) << name;
        // The writer's own hidden temporary files may stay (a later write
        // sweeps them); anything else is a whole copy.
        std::vector<std::string> copies;
        for (const std::string& name : qrtest::FolderNames(m_card)) {
            if (name.rfind(".qr-save-", 0) == 0) {
                EXPECT_FALSE(unnamed) << name;
                EXPECT_FALSE(std::regex_match(name, photoLike)) << name;
                fs::remove(m_card + "/" + name);
                continue;
            }
            copies.push_back(name);
        }
        EXPECT_EQ(NotWholeCopies(m_card, sizes), std::vector<std::string>{}) << copies.size() << " copies";
    }
    EXPECT_GT(killed, 0);
}

// A card that fills up part way, and one that is read-only: the command stops
// at the first copy that cannot be written and says why, the copies made are
// whole, nothing half-written stays, and the pictures are untouched. The card
// is a small file system of our own, in a child's mount namespace where that
// is allowed (root).
TEST_F(CameraCopiesTest, AFullOrReadOnlyCardStopsTheCopiesAndSaysWhy)
{
    Open(m_camera);
    std::map<std::string, std::vector<unsigned char>> originals;
    std::vector<QSize> sizes;
    for (int i = 0; i < 6; ++i) {
        const std::string path = m_camera + "/photo0" + std::to_string(i) + ".jpg";
        originals[path] = qrtest::ReadBytes(path);
        sizes.push_back(QImage(QString::fromStdString(path)).size());
    }
    struct Case {
        const char* what;
        const char* options;
        bool readOnly;
        const char* reason;
    };
    for (const Case c : {Case{"full", "size=12k", false, "No space left on device"},
                         Case{"read-only", "size=1m", true, "Read-only file system"}}) {
        SCOPED_TRACE(c.what);
        const ParkedThumbnails parked(View()->Loader());
        const int code = qrtest::InChildOverSmallFileSystem(m_card, c.options, c.readOnly, [&] {
            Select({0, 1, 2, 3, 4, 5});
            g_offered.clear();
            g_answers.assign(6, "=");
            g_answers.front() = m_card + "/PICT0001.JPG";
            m_boxes.clear();
            Frame()->SendMessage(WM_COMMAND, ID_CAMERA_COPIES, 0);
            const size_t made = qrtest::FolderNames(m_card).size();
            const std::string seen = std::to_string(made) + " copies, " + std::to_string(g_offered.size()) + " dialogs";
            if (made >= 6 || g_offered.size() != made + 1)
                return qrtest::ChildAnswer(1, seen, m_boxes);
            if (m_boxes.size() != 1 || m_boxes[0].find(c.reason) == std::string::npos)
                return qrtest::ChildAnswer(2, seen, m_boxes);
            if (!NotWholeCopies(m_card, sizes).empty())
                return qrtest::ChildAnswer(3, seen, m_boxes);
            return 0;
        });
        ASSERT_NE(code, -1) << "the child got stuck";
        if (code == qrtest::kNoMountNamespace)
            GTEST_SKIP() << "no mount namespace here";
        EXPECT_EQ(code, 0)
            << "1: not stopped at the copy that failed, 2: the cause not named once, 3: a copy not whole";
        for (const auto& [path, bytes] : originals)
            EXPECT_EQ(qrtest::ReadBytes(path), bytes) << path;
    }
}
