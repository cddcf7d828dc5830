// Paste in the browser window of a picture on the clipboard: the view leaves
// it to the frame, which saves the picture as a new file.
#include "browser_frame_fixture.h"

#include "platform/framework/ole_drop.h"
#include "resources/string_table.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>

using qrtest::BrowserFrameTest;
namespace fs = std::filesystem;

namespace {

class BrowserPasteTest : public BrowserFrameTest {
protected:
    void CtrlV()
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    static QImage Read(const std::string& path) { return QImage(QString::fromStdString(path), "JPEG"); }
    static bool Near(QRgb a, QRgb b)
    {
        return std::abs(qRed(a) - qRed(b)) < 16 && std::abs(qGreen(a) - qGreen(b)) < 16 &&
               std::abs(qBlue(a) - qBlue(b)) < 16;
    }
};

TEST_F(BrowserPasteTest, APictureOnTheClipboardIsSavedAsAFileThatReadsBack)
{
    Open(m_camera);
    ASSERT_TRUE(AllMade());
    qrtest::SaveDialogAnswers answer;
    answer.type = "JPEG";
    QClipboard* clipboard = QGuiApplication::clipboard();

    // The program's own form: a photograph the browser copied.
    Select({3});
    Frame()->SendMessage(WM_COMMAND, ID_COPY_TO_CLIPBOARD, 0);
    Focus(View()->GetGallery());
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    answer.target = (m_dir / "pasted.jpg").string();
    CtrlV();
    EXPECT_EQ(answer.dialogs, 1);
    const QImage pasted = Read(answer.target);
    const QImage source(QString::fromStdString(m_camera + "/photo03.jpg"));
    ASSERT_FALSE(pasted.isNull());
    EXPECT_EQ(pasted.size(), source.size());
    EXPECT_PRED2(Near, pasted.pixel(source.width() / 2, source.height() / 2),
                 source.pixel(source.width() / 2, source.height() / 2));

    // The desktop's form, from another program, with the tree pane active.
    QImage other(40, 30, QImage::Format_RGB32);
    other.fill(qRgb(30, 160, 220));
    clipboard->setImage(other);
    Focus(View()->GetTreePane());
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    answer.target = (m_dir / "other.jpg").string();
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_EQ(answer.dialogs, 2);
    const QImage back = Read(answer.target);
    ASSERT_EQ(back.size(), QSize(40, 30));
    EXPECT_PRED2(Near, back.pixel(20, 15), qRgb(30, 160, 220));

    // Cancelled: nothing is written.
    auto files = [&] {
        std::vector<fs::path> all;
        for (const auto& e : fs::recursive_directory_iterator(m_dir.path()))
            all.push_back(e.path());
        return all;
    };
    const std::vector<fs::path> before = files();
    answer.target.clear();
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_EQ(answer.dialogs, 3);
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(m_boxes.empty());

    // Damaged bytes in the program's own form: said so, and no dialog.
    auto* damaged = new QMimeData;
    damaged->setData(QString::fromStdString(COleDataObject::MimeTypeOf(CF_DIB)), QByteArray("\x28\0\0\0\xff", 5));
    clipboard->setMimeData(damaged);
    Frame()->SendMessage(WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_EQ(answer.dialogs, 3);
    EXPECT_EQ(m_boxes, std::vector<std::string>{std::string(res::String(6012))});

    // Nothing to paste: the command is off.
    clipboard->setText("just words");
    Focus(View()->GetGallery());
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
    clipboard->clear();
}

} // namespace

TEST_F(BrowserPasteTest, FilesPastedIntoTheirOwnFolderAreCopiesUnderNewNamesWithTheirVoiceNotes)
{
    const std::string note = m_camera + "/photo01.WAV";
    qrtest::WriteBytes(note, std::vector<unsigned char>(64, 7));
    Open(m_camera);
    Focus(View()->GetGallery());
    Select({1, 2});
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &copy);
    // Ctrl+V on the folder the files are in, as a file manager takes it.
    Focus(&View()->GetTreePane()->Tree());
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    CtrlV();
    EXPECT_TRUE(m_boxes.empty()) << m_boxes[0];
    for (const char* name : {"photo01 (copy).jpg", "photo01 (copy).WAV", "photo02 (copy).jpg"})
        EXPECT_TRUE(fs::exists(m_camera + "/" + name)) << name;
    EXPECT_EQ(fs::file_size(m_camera + "/photo01 (copy).jpg"), fs::file_size(m_camera + "/photo01.jpg"));
    // The folder shown lists the copies; a second paste makes second copies.
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 15; }));
    Focus(&View()->GetTreePane()->Tree());
    CtrlV();
    EXPECT_TRUE(fs::exists(m_camera + "/photo01 (copy 2).jpg"));
    EXPECT_TRUE(fs::exists(m_camera + "/photo01 (copy 2).WAV"));
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 17; }));
}
