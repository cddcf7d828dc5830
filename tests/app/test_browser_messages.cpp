// Message files in the browser window: listed with their photographs,
// opened in the message editor by a double click.
#include "browser_frame_fixture.h"

#include "message/aphoto_doc.h"
#include "platform/framework/document.h"
#include "support/message_files.h"

#include <QDir>

using qrtest::BrowserFrameTest;
namespace fs = std::filesystem;

namespace {

class BrowserMessagesTest : public BrowserFrameTest {
protected:
    // A folder of two photographs, two messages and a damaged message, shown
    // in the browser with every thumbnail made.
    void OpenTrip()
    {
        fs::create_directories(m_trip);
        fs::copy_file(m_camera + "/photo00.jpg", m_trip + "/beach.jpg");
        fs::copy_file(m_camera + "/photo01.jpg", m_trip + "/dunes.jpg");
        qrtest::WriteMessageFile(m_trip + "/harbour.kvt", 320, 240, RGB(200, 30, 40), "Boats at dawn");
        qrtest::WriteMessageFile(m_trip + "/lighthouse.kvt", 240, 320, RGB(20, 40, 210), "Lamp lit at dusk");
        qrtest::WriteBytes(m_trip + "/broken.kvt", {'#', '7', '3', '2', '1', 1, 2, 3});
        View()->GetTreePane()->SelectFolder(m_trip);
        ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 5; }));
        ASSERT_TRUE(AllMade());
    }
    int IndexOf(const std::string& name)
    {
        for (int i = 0; i < GetFileItemCount(); ++i)
            if (GetItemFileName(i) == name)
                return i;
        return -1;
    }
    QPoint CentreOfCell(int index)
    {
        const CRect cell = View()->GetGallery()->Model().GetCellRectOf(index);
        return QPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    }

    std::string m_trip = m_home + "/Pictures/Trip";
};

TEST_F(BrowserMessagesTest, MessagesShowTheirPhotographsAndADoubleClickOpensOneInTheEditor)
{
    OpenTrip();
    const int harbour = IndexOf("harbour.kvt");
    ASSERT_GE(harbour, 0);
    EXPECT_TRUE(GetFileItem(harbour)->IsMessageFile());
    EXPECT_EQ(GetItemThumbnailSize(harbour), CSize(160, 120));
    EXPECT_EQ(GetItemThumbnailSize(IndexOf("lighthouse.kvt")), CSize(120, 160));

    // What the user sees: the message's photograph in its cell.
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    QApplication::processEvents();
    const QImage shot = uitest::Grab(Frame()->m_hWnd);
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/browser_message_files.png"));
    QWidget* viewport = View()->GetGallery()->Viewport();
    const QImage cells = uitest::Grab(viewport);
    const QPoint centre = CentreOfCell(harbour);
    const COLORREF shown = uitest::Pixel(cells, centre.x(), centre.y());
    EXPECT_GT(GetRValue(shown), 150);
    EXPECT_LT(GetBValue(shown), 90);

    // A double click on the message opens that message itself in the editor.
    uitest::Mouse(viewport, QEvent::MouseButtonPress, centre);
    uitest::Mouse(viewport, QEvent::MouseButtonRelease, centre);
    uitest::Mouse(viewport, QEvent::MouseButtonDblClick, centre);
    uitest::Mouse(viewport, QEvent::MouseButtonRelease, centre);
    CDocument* doc = m_app->GetMessageTemplate()->GetDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), m_trip + "/harbour.kvt");
    auto* message = dynamic_cast<CAPhotoDoc*>(doc);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->GetContent().GetImage().GetWidth(), 320);
    EXPECT_TRUE(m_boxes.empty());
}

} // namespace
