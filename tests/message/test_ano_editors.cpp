#include "message_fixtures.h"
#include "pane_fixtures.h"

#include "viewer/image_file_tests.h"
#include "message/ano_editor.h"
#include "message/image_ano_editor.h"
#include "message/picture_jpeg.h"
#include "message/rec_dlog.h"
#include "message/sound_ano_editor.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "support/alsa_test_device.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTreeWidget>

#include <filesystem>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {

size_t Utf8Chars(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

bool ValidUtf8(const std::string& s) { return QString::fromStdString(s).toStdString() == s; }

void Touch(const fs::path& p, const std::vector<uint8_t>& bytes = {1})
{
    fs::create_directories(p.parent_path());
    qrtest::WriteBytes(p, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// The editors as the image pane holds them: children of a host window, their
// commands going to a frame that asks the editor itself what is enabled.
// Settings in hives of the test's own; the program's folder is a folder of
// the test too.
class AnoEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(home);
        ASSERT_TRUE(frame.Create(nullptr, "frame", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        ASSERT_TRUE(host.Create(nullptr, "host", WS_OVERLAPPED, CRect(0, 0, 420, 240), nullptr, 0));
        host.ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        host.DestroyWindow();
        frame.DestroyWindow();
    }
    // Made, placed and shown as the pane does; the frame follows this editor.
    void Make(CAnoEditor& editor, UINT templateId)
    {
        ASSERT_TRUE(editor.Create(templateId, &host));
        editor.SetFrame(&frame);
        editor.MoveWindow(CRect(0, 0, 420, 240));
        editor.ShowWindow(SW_SHOW);
        frame.canDo = [&editor](UINT id) { return editor.CanDoCommand(id); };
    }
    static bool Enabled(CDialog& d, int id) { return d.GetDlgItem(id)->IsWindowEnabled(); }
    static void Click(CDialog& d, int id)
    {
        QWidget* button = d.GetDlgItem(id)->m_hWnd;
        uitest::Click(button, button->rect().center());
    }
    static std::vector<std::string> Items(CFileAnoEditor& e)
    {
        std::vector<std::string> names;
        for (int i = 0; i < e.FileList().GetItemCount(); ++i)
            names.push_back(e.FileList().GetItemText(i));
        return names;
    }
    static int ItemNamed(CFileAnoEditor& e, const std::string& name)
    {
        for (int i = 0; i < e.FileList().GetItemCount(); ++i)
            if (e.FileList().GetItemText(i) == name)
                return i;
        return -1;
    }
    // What a user's double click on the item does.
    static void DoubleClick(CFileAnoEditor& e, int item)
    {
        auto* list = static_cast<QTreeWidget*>(e.FileList().m_hWnd);
        emit list->itemDoubleClicked(list->topLevelItem(item), 0);
    }
    static void Choose(CFileAnoEditor& e, int item)
    {
        e.FileList().SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    bool Said(const std::string& part) const { return settings.Said(part); }

    qrtest::TempDir dir;
    fs::path home = dir / "program";
    ScopedPaneSettings settings{home.string()};
    std::vector<std::string>& boxes = settings.boxes;
    CWinApp app{"editors"};
    RoutingFrame frame;
    CWnd host;
};

TEST_F(AnoEditorTest, TextKeeps512CharactersOfALongPasteAndNeverHalfOfOne)
{
    CTextAnoEditor editor;
    Make(editor, IDD_TEXT_ANO_EDITOR);
    EXPECT_FALSE(Enabled(editor, IDC_ANO_ADD));
    EXPECT_FALSE(Enabled(editor, IDC_ANO_CLEAR));

    // 600 characters of one, two and three bytes.
    std::string pasted;
    for (int i = 0; i < 200; ++i)
        pasted += "a\xC3\xA9\xE6\x97\xA5";
    ASSERT_EQ(Utf8Chars(pasted), 600u);
    QGuiApplication::clipboard()->setText(QString::fromStdString(pasted));
    QApplication::setActiveWindow(host.m_hWnd);
    editor.Edit().SetFocus();
    ASSERT_TRUE(uitest::WaitFor([&] { return CWnd::GetFocus() == &editor.Edit(); }));
    ASSERT_TRUE(editor.CanDoCommand(ID_EDIT_PASTE));
    EXPECT_FALSE(editor.CanDoCommand(ID_EDIT_COPY)); // nothing selected
    ASSERT_TRUE(editor.DoCommand(ID_EDIT_PASTE));

    const std::string kept = editor.GetContent();
    EXPECT_EQ(Utf8Chars(kept), CTextAnoEditor::kMaxChars);
    EXPECT_TRUE(ValidUtf8(kept));
    EXPECT_EQ(kept, pasted.substr(0, kept.size()));
    EXPECT_TRUE(Enabled(editor, IDC_ANO_ADD));
    EXPECT_TRUE(Enabled(editor, IDC_ANO_CLEAR));

    // Add asks the frame to add the comment; Clear empties the text and asks it to clear.
    Click(editor, IDC_ANO_ADD);
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ADDANOTATION) == 1; }));
    Click(editor, IDC_ANO_CLEAR);
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_CLEARANOTATION) == 1; }));
    EXPECT_EQ(editor.GetContent(), "");
    EXPECT_FALSE(Enabled(editor, IDC_ANO_ADD));
    // A Return stays in the text; Esc leaves the page up.
    MSG esc{editor.Edit().m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(editor.PreTranslateMessage(&esc));
    EXPECT_TRUE(editor.IsWindowVisible());
}

TEST_F(AnoEditorTest, ReadOnlyWordTurnsAddAndClearOffInEveryEditor)
{
    Touch(dir / "files/a.wav", WaveBytes(50));
    Touch(dir / "files/b.jpg");
    RegWriteString(IDS_REG_PREFERENCE, "SoundAnoDefault", (dir / "files").string());
    RegWriteString(IDS_REG_PREFERENCE, "ImageAnoDefault", (dir / "files").string());
    CTextAnoEditor text;
    CSoundAnoEditor sound;
    CImageAnoEditor image;
    Make(sound, IDD_SOUND_ANO_EDITOR);
    Choose(sound, ItemNamed(sound, "a.wav"));
    Make(image, IDD_IMAGE_ANO_EDITOR);
    Choose(image, ItemNamed(image, "b.jpg"));
    Make(text, IDD_TEXT_ANO_EDITOR);
    text.Edit().SetWindowText("words");
    for (CAnoEditor* e : {static_cast<CAnoEditor*>(&text), static_cast<CAnoEditor*>(&sound),
                          static_cast<CAnoEditor*>(&image)}) {
        frame.canDo = [e](UINT id) { return e->CanDoCommand(id); };
        e->UpdateButtons();
        EXPECT_TRUE(Enabled(*e, IDC_ANO_ADD)) << e->GetContentKind();
        e->SetReadOnly(1);
        EXPECT_FALSE(e->CanDoCommand(ID_ADDANOTATION)) << e->GetContentKind();
        EXPECT_FALSE(e->CanDoCommand(ID_CLEARANOTATION)) << e->GetContentKind();
        EXPECT_FALSE(Enabled(*e, IDC_ANO_ADD)) << e->GetContentKind();
        EXPECT_FALSE(Enabled(*e, IDC_ANO_CLEAR)) << e->GetContentKind();
    }
    EXPECT_FALSE(Enabled(sound, IDC_ANO_PLAY));
}

TEST_F(AnoEditorTest, FileEditorsListFoldersFirstThenTheirFilesAndGoUpToTheRoot)
{
    const fs::path pics = dir / "pics";
    for (const char* name : {"x.JPG", "y.jpeg", "c.Tif", "d.bmp", "e.jpe", "z.txt", "s.wav", ".hidden.jpg", "b/in.jpg"})
        Touch(pics / name);
    fs::create_directories(pics / "a");
    // The stored folder's trailing separator goes.
    RegWriteString(IDS_REG_PREFERENCE, "ImageAnoDefault", pics.string() + "/");
    {
        CImageAnoEditor image;
        Make(image, IDD_IMAGE_ANO_EDITOR);
        EXPECT_EQ(image.GetFolder(), pics.string());
        EXPECT_EQ(Items(image), (std::vector<std::string>{"a", "b", "c.Tif", "d.bmp", "e.jpe", "x.JPG", "y.jpeg"}));

        // A picture chosen is the content and gets a preview; double-clicking it changes nothing.
        const int picture = ItemNamed(image, "x.JPG");
        DoubleClick(image, picture);
        EXPECT_EQ(image.GetFolder(), pics.string());
        EXPECT_EQ(image.GetContent(), "");
        Choose(image, picture);
        EXPECT_EQ(image.GetContent(), (pics / "x.JPG").string());
        // A folder item is never content.
        Choose(image, ItemNamed(image, "a"));
        EXPECT_EQ(image.GetContent(), "");

        // A folder opens on a double click; Up goes back.
        DoubleClick(image, ItemNamed(image, "b"));
        EXPECT_EQ(image.GetFolder(), (pics / "b").string());
        EXPECT_EQ(Items(image), std::vector<std::string>{"in.jpg"});
        Click(image, IDC_ANO_UP);
        EXPECT_EQ(image.GetFolder(), pics.string());
        // Up stops at the root.
        for (int i = 0; i < 64; ++i)
            image.GoUp();
        EXPECT_EQ(image.GetFolder(), "/");
        EXPECT_FALSE(image.FileList().GetItemCount() == 0);
        image.OpenFolder((pics / "b").string());
    }
    // The folder last shown is kept for the next time.
    std::string kept;
    RegReadString(kept, IDS_REG_PREFERENCE, "ImageAnoDefault");
    EXPECT_EQ(kept, (pics / "b").string());

    // Without a stored folder the sound editor starts in the program's folder, listing sounds.
    Touch(home / "hello.WAV");
    Touch(home / "photo.jpg");
    CSoundAnoEditor sound;
    Make(sound, IDD_SOUND_ANO_EDITOR);
    EXPECT_EQ(sound.GetFolder() + "/", GetProgramFolder());
    EXPECT_EQ(Items(sound), std::vector<std::string>{"hello.WAV"});
}

TEST(AnoFolder, NormalizeKeepsTheRoot)
{
    struct Case {
        const char* folder;
        const char* normal;
    } cases[] = {
        {"/a/b", "/a/b"}, {"/a/b/", "/a/b"}, {"/a", "/a"}, {"/", "/"}, {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(anofolder::Normalize(c.folder), c.normal) << c.folder;
}

TEST_F(AnoEditorTest, ImageEditorRefusesAPictureOfASizeOutOfRange)
{
    RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
    std::vector<uint8_t> wide, fine;
    ASSERT_TRUE(msgjpeg::Encode(MakePicture(3900, 8), 80, wide));
    ASSERT_TRUE(msgjpeg::Encode(MakePicture(64, 48), 80, fine));
    Touch(dir / "pics/wide.jpg", wide);
    Touch(dir / "pics/fine.jpg", fine);
    RegWriteString(IDS_REG_PREFERENCE, "ImageAnoDefault", (dir / "pics").string());
    CImageAnoEditor image;
    Make(image, IDD_IMAGE_ANO_EDITOR);
    Choose(image, ItemNamed(image, "wide.jpg"));
    Click(image, IDC_ANO_ADD);
    EXPECT_TRUE(Said("Image size outside range."));
    boxes.clear();
    Choose(image, ItemNamed(image, "fine.jpg"));
    EXPECT_TRUE(image.GetPreview().IsValid());
    Click(image, IDC_ANO_ADD);
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ADDANOTATION) == 1; }));
    EXPECT_TRUE(boxes.empty());
    // Clear (enabled by the pane while a marquee is drawn) deselects and drops the preview.
    frame.canDo = [](UINT) { return TRUE; };
    image.UpdateButtons();
    Click(image, IDC_ANO_CLEAR);
    EXPECT_EQ(image.GetContent(), "");
    EXPECT_FALSE(image.GetPreview().IsValid());
}

// The recording dialog, answered as a user does: record the device's input, stop, OK.
void RecordAndKeep(CDialog* d, size_t samples)
{
    auto click = [d](int id) {
        QWidget* button = d->GetDlgItem(id)->m_hWnd;
        uitest::Click(button, button->rect().center());
    };
    click(IDC_REC_RECORD);
    auto* rec = static_cast<CRecDlog*>(d);
    ASSERT_TRUE(uitest::WaitFor([&] { return rec->GetTake().TotalSamples() >= samples; }));
    click(IDC_REC_STOP);
    click(IDOK);
}

TEST_F(AnoEditorTest, ATakeBecomesANewFileBesideTheOthersAndPlaysBackEqual)
{
    const std::vector<uint8_t> input = SampleRamp(20000);
    qrtest::AlsaTestDevice alsa(input);
    const fs::path sounds = dir / "sounds";
    Touch(sounds / "New.wav", WaveBytes(10));
    const std::vector<unsigned char> before = qrtest::ReadBytes(sounds / "New.wav");
    RegWriteString(IDS_REG_PREFERENCE, "SoundAnoDefault", sounds.string());
    CSoundAnoEditor sound;
    Make(sound, IDD_SOUND_ANO_EDITOR);
    EXPECT_TRUE(Enabled(sound, IDC_ANO_RECORD));
    EXPECT_FALSE(Enabled(sound, IDC_ANO_PLAY));
    EXPECT_FALSE(Enabled(sound, IDC_ANO_STOP));

    CDialog::SetModalObserver([&](CDialog* d) { RecordAndKeep(d, input.size()); });
    Click(sound, IDC_ANO_RECORD);
    CDialog::SetModalObserver(nullptr);

    // The existing "New.wav" stays as it was; the take is the next free name, chosen.
    EXPECT_EQ(qrtest::ReadBytes(sounds / "New.wav"), before);
    const std::string take = (sounds / "New~1.wav").string();
    ASSERT_TRUE(fs::exists(take));
    EXPECT_EQ(sound.GetContent(), take);
    EXPECT_TRUE(Enabled(sound, IDC_ANO_PLAY));
    CWave saved;
    ASSERT_TRUE(saved.LoadFile(take.c_str()));
    const std::vector<uint8_t> samples = SoundSamples(saved);
    ASSERT_GE(samples.size(), input.size());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), samples.begin()));

    // Played, the device hears the take.
    Click(sound, IDC_ANO_PLAY);
    EXPECT_TRUE(sound.GetWave().IsPlaying());
    ASSERT_TRUE(uitest::WaitFor([&] { return !sound.GetWave().IsPlaying(); }));
    ASSERT_TRUE(uitest::WaitFor([&] { return alsa.Played().size() >= samples.size(); }));
    const std::vector<unsigned char> played = alsa.Played();
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), played.begin()));
    EXPECT_FALSE(Enabled(sound, IDC_ANO_STOP));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AnoEditorTest, ATakeThatCannotBeWrittenIsReported)
{
    const std::vector<uint8_t> input = SampleRamp(3000);
    qrtest::AlsaTestDevice alsa(input);
    const fs::path sounds = dir / "gone";
    fs::create_directories(sounds);
    RegWriteString(IDS_REG_PREFERENCE, "SoundAnoDefault", sounds.string());
    CSoundAnoEditor sound;
    Make(sound, IDD_SOUND_ANO_EDITOR);
    // The folder goes while the user records.
    CDialog::SetModalObserver([&](CDialog* d) {
        fs::remove_all(sounds);
        RecordAndKeep(d, input.size());
    });
    sound.Record();
    CDialog::SetModalObserver(nullptr);
    EXPECT_TRUE(Said("The recording could not be saved as\n" + (sounds / "New.wav").string())) << boxes.size();
    EXPECT_FALSE(fs::exists(sounds));
}

} // namespace
