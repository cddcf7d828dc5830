// Message files in the browser window: listed with their photographs,
// opened in the message editor by a double click.
#include "browser_frame_fixture.h"

#include "message/aphoto_doc.h"
#include "message/comment_search_dlog.h"
#include "platform/framework/list_ctrl.h"
#include "platform/framework/document.h"
#include "support/message_files.h"

#include <QDir>
#include <QKeyEvent>

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

    std::string OpenMessagePath()
    {
        CDocument* doc = m_app->GetMessageTemplate()->GetDocument();
        return doc ? doc->GetPathName() : std::string();
    }
    // The user double-clicks the search result of that name.
    static void ChooseResult(CCommentSearchDlog& dlg, const std::string& name)
    {
        auto& list = *dynamic_cast<CListCtrl*>(dlg.GetDlgItem(IDC_SEARCH_RESULTS));
        NMITEMACTIVATE nm{};
        nm.hdr.idFrom = IDC_SEARCH_RESULTS;
        nm.hdr.code = NM_DBLCLK;
        nm.hdr.hwndFrom = list.m_hWnd;
        nm.iItem = -1;
        for (int i = 0; i < list.GetItemCount(); ++i)
            if (list.GetItemText(i) == name)
                nm.iItem = i;
        ASSERT_GE(nm.iItem, 0) << name;
        dlg.SendMessage(WM_NOTIFY, IDC_SEARCH_RESULTS, LPARAM(&nm));
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
    // Messages carry the message mark over their picture's bottom-left corner;
    // photographs do not.
    auto markEdge = [&](int index) {
        const CRect picture = View()->GetGallery()->Model().GetPictureRect(index);
        return uitest::Pixel(cells, picture.left - 5 + 10, picture.bottom - 10 + 2);
    };
    EXPECT_EQ(markEdge(harbour), RGB(30, 46, 140));
    EXPECT_NE(markEdge(IndexOf("beach.jpg")), RGB(30, 46, 140));

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

TEST_F(BrowserMessagesTest, CtrlFSearchesTheFolderMessagesCommentsAndOpensTheOneChosen)
{
    OpenTrip();
    Focus(View()->GetGallery());
    QKeyEvent ctrlF(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &ctrlF);
    CCommentSearchDlog* dlg = View()->GetSearchDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsWindowVisible());
    // The menu command shows the same dialog again.
    Frame()->SendMessage(WM_COMMAND, ID_COMMENT_SEARCH, 0);
    EXPECT_EQ(View()->GetSearchDialog(), dlg);

    dlg->GetDlgItem(IDC_SEARCH_TEXT)->SetWindowText(" AT D");
    dlg->SendMessage(WM_COMMAND, IDC_SEARCH_START, 0);
    auto& list = *dynamic_cast<CListCtrl*>(dlg->GetDlgItem(IDC_SEARCH_RESULTS));
    ASSERT_TRUE(uitest::WaitFor([&] { return !dlg->IsSearching() && list.GetItemCount() == 2; }));

    // The chosen message is selected in the gallery and opens in the editor.
    ChooseResult(*dlg, "lighthouse.kvt");
    ASSERT_TRUE(uitest::WaitFor([&] { return OpenMessagePath() == m_trip + "/lighthouse.kvt"; }));
    const int lighthouse = GetCurrentIndex();
    EXPECT_EQ(GetItemFileName(lighthouse), "lighthouse.kvt");
    EXPECT_TRUE(View()->GetGallery()->IsSelected(lighthouse));

    // Once the browser shows another folder, a result that is no item there
    // still opens that message, not the first file of the new folder.
    Open(m_camera);
    ChooseResult(*dlg, "harbour.kvt");
    ASSERT_TRUE(uitest::WaitFor([&] { return OpenMessagePath() == m_trip + "/harbour.kvt"; }));
    EXPECT_TRUE(m_boxes.empty());
}

} // namespace
