// Camera copies from the browser as a user makes them: a camera name asked
// for until one is given, one save dialog for each selected picture, copies
// whose Exif block a camera takes for its own; and Save As over a picture
// that is no JPEG, which asks before it replaces the file.
#include "app/browser_frame_fixture.h"
#include "browser/camera_copy.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/exif_text_formatter.h"
#include "imaging/image_info_set.h"
#include "imaging/metadata_file_kind.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/menu.h"
#include "support/exif_tool.h"

#include <QImage>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>

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

    std::string m_card = (m_dir / "card" / "DCIM").string();
    FileDialogHandler m_previous = nullptr;
};

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
