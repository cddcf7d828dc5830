#include "browser/gallery_ctrl.h"
#include "browser/file_item.h"
#include "imaging/dib_bitmap.h"
#include "browser_fixture.h"
#include "support/ui_test_util.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr UINT kGalleryId = 59649;
constexpr COLORREF kFace = RGB(255, 251, 240);
constexpr COLORREF kSelectedFace = RGB(192, 220, 192);

// The owner: keeps every notification; refuses captions beginning with "x".
class Owner : public CWnd {
public:
    std::vector<std::pair<int, int>> notes;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        const auto* n = reinterpret_cast<const NMGALLERY*>(lParam);
        EXPECT_EQ(reinterpret_cast<HWND>(wParam), n->hdr.hwndFrom);
        EXPECT_EQ(n->hdr.idFrom, kGalleryId);
        notes.emplace_back(n->hdr.code, n->iItem);
        if (n->hdr.code == GCN_LABELEDITED && gallery &&
            gallery->GetItemText(n->iItem).rfind("x", 0) == 0)
            *reinterpret_cast<int*>(n->lParam) = 0;
        *pResult = 0;
        return TRUE;
    }
    CGalleryCtrl* gallery = nullptr;
};

BOOL Thumbnail(int index, CDibBitmap& bitmap, LPARAM) { return GetItemThumbnail(index, bitmap); }
void ImageSize(CSize& size, int index) { size = GetItemThumbnailSize(index); }

COLORREF PixelAt(const QImage& img, int x, int y)
{
    const QColor c = img.pixelColor(x, y);
    return RGB(c.red(), c.green(), c.blue());
}

// The gallery in a window of its own over copies of the camera pictures,
// their thumbnails made by the item store as the loader would make them.
class GalleryCtrlTest : public qrtest::BrowserTest {
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        std::vector<std::string> paths;
        int n = 0;
        for (const auto& entry : fs::directory_iterator(QR_TEST_DATA_DIR))
            if (entry.path().filename().string().rfind("camera_", 0) == 0) {
                const std::string to = Pic("photo" + std::to_string(n++) + ".jpg");
                fs::copy_file(entry.path(), to);
                paths.push_back(to);
            }
        std::sort(paths.begin(), paths.end());
        Fill(paths);
        for (int i = 0; i < GetFileItemCount(); ++i)
            ASSERT_EQ(LoadItemThumbnail(i), 1) << paths[size_t(i)];
        ASSERT_TRUE(owner.Create(nullptr, "owner", WS_OVERLAPPED, CRect(0, 0, 440, 300), nullptr, 0));
        ASSERT_TRUE(gallery.Create(WS_VISIBLE, CRect(0, 0, 440, 300), &owner, kGalleryId));
        owner.gallery = &gallery;
        gallery.SetThumbnailCallback(&Thumbnail);
        gallery.SetImageSizeCallback(&ImageSize);
        gallery.SetBkColor(RGB(128, 128, 128));
        gallery.SetColours(kFace, kSelectedFace, CLR_INVALID, RGB(0, 0, 0), CLR_INVALID);
        gallery.SetTextFormat(DT_END_ELLIPSIS);
        gallery.SetCellRect(CRect(0, 0, 140, 160));
        gallery.SetInsets(10, 4, 10, 26);
        gallery.SetCaptionPlacement(kCaptionBottom, FALSE);
        gallery.Model().SetMultipleSelection(TRUE);
        gallery.Model().SetRubberBand(TRUE);
        gallery.Model().SetKeyboard(TRUE);
        gallery.SetLabelEditing(TRUE, 260, FALSE);
        for (int i = 0; i < GetFileItemCount(); ++i)
            ASSERT_EQ(gallery.AddItem(GetItemFileName(i), FALSE), i);
        owner.ShowWindow(SW_SHOW);
        gallery.RecalcLayout(TRUE);
        QApplication::processEvents();
        owner.notes.clear();
    }
    void TearDown() override
    {
        owner.DestroyWindow();
        BrowserTest::TearDown();
    }
    QWidget* Port() { return gallery.Viewport(); }
    QPoint Centre(int index)
    {
        const CRect r = gallery.Model().GetCellRectOf(index);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = {}, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(w, &press);
    }
    void Wheel(int delta)
    {
        QWheelEvent e(QPointF(50, 50), Port()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Port(), &e);
    }

    Owner owner;
    CGalleryCtrl gallery;
};

TEST_F(GalleryCtrlTest, ThumbnailsOfRealPhotosInAScreenshot)
{
    ASSERT_EQ(gallery.GetItemCount(), 13);
    ASSERT_EQ(gallery.Model().GetColumns(), 3);
    uitest::Click(Port(), Centre(1));
    const QImage shot = uitest::Grab(owner.m_hWnd);
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/gallery_camera_photos.png"));
    // Cell 0's face around its picture, cell 1's in the selected colour, the
    // background beyond the last column; the pictures are the photographs.
    EXPECT_EQ(PixelAt(shot, 3, 3), kFace);
    EXPECT_EQ(PixelAt(shot, 143, 3), kSelectedFace);
    EXPECT_EQ(PixelAt(shot, 421, 100), RGB(128, 128, 128));
    const CRect pic = gallery.Model().GetPictureRect(0);
    ASSERT_FALSE(pic.IsRectEmpty());
    EXPECT_EQ(pic.Width(), 120); // a landscape photo fills the width
    EXPECT_EQ(PixelAt(shot, pic.left - 1, pic.top - 1), RGB(0, 0, 0)); // the sunken frame
    int distinct = 0;
    QColor last;
    for (int x = pic.left; x < pic.right; x += 6) {
        const QColor c = shot.pixelColor(x, (pic.top + pic.bottom) / 2);
        distinct += c != last;
        last = c;
    }
    EXPECT_GT(distinct, 5);
    EXPECT_EQ(owner.notes, (std::vector<std::pair<int, int>>{{GCN_SELCHANGED, 1}}));
}

TEST_F(GalleryCtrlTest, WheelScrollBarAndKeys)
{
    // 13 items in 3 columns: 5 rows, one whole row a page.
    ASSERT_EQ(gallery.Model().GetLastFirstRow(), 4);
    auto* area = static_cast<QAbstractScrollArea*>(gallery.m_hWnd);
    EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    Wheel(-120);
    EXPECT_EQ(gallery.Model().GetFirstRow(), 1);
    EXPECT_EQ(area->verticalScrollBar()->value(), 1);
    Wheel(0);
    Wheel(-60);
    EXPECT_EQ(gallery.Model().GetFirstRow(), 1);
    Wheel(-60);
    EXPECT_EQ(gallery.Model().GetFirstRow(), 2);
    EXPECT_EQ(owner.notes, (std::vector<std::pair<int, int>>{{GCN_SCROLLED, 0}, {GCN_SCROLLED, 0}}));
    area->verticalScrollBar()->setValue(0);
    EXPECT_EQ(gallery.Model().GetFirstRow(), 0);
    EXPECT_EQ(owner.notes.size(), 3u); // the bar's move ends as a scroll does
    // Type-ahead and arrows from the keyboard.
    owner.notes.clear();
    gallery.m_hWnd->setFocus();
    Key(gallery.m_hWnd, Qt::Key_P, {}, "p");
    EXPECT_EQ(gallery.GetFirstSelected(), 0);
    Key(gallery.m_hWnd, Qt::Key_P, {}, "p");
    EXPECT_EQ(gallery.GetFirstSelected(), 1);
    Key(gallery.m_hWnd, Qt::Key_Down);
    Key(gallery.m_hWnd, Qt::Key_Down);
    Key(gallery.m_hWnd, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(gallery.GetFirstSelected(), 7);
    EXPECT_EQ(gallery.GetSelectedCount(), 2);
    EXPECT_EQ(gallery.Model().GetFirstRow(), 2);
}

TEST_F(GalleryCtrlTest, CaptionEditedInPlaceCommittedRefusedAndCancelled)
{
    const CRect band = gallery.Model().GetCaptionRect(0);
    const QPoint caption((band.left + band.right) / 2, band.top + 4);
    uitest::Click(Port(), caption);
    ASSERT_TRUE(gallery.IsSelected(0));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(caption), Port()->mapToGlobal(QPointF(caption)),
                    Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(Port(), &dbl);
    auto* edit = qobject_cast<QLineEdit*>(gallery.Editor().m_hWnd);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text().toStdString(), "photo0.jpg");
    EXPECT_EQ(edit->maxLength(), 260);
    edit->setText("harbour.jpg");
    Key(edit, Qt::Key_Return);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(gallery.GetItemText(0), "harbour.jpg");

    // The owner refuses: the old caption comes back.
    QApplication::sendEvent(Port(), &dbl);
    edit->setText("x.jpg");
    Key(edit, Qt::Key_Return);
    EXPECT_EQ(gallery.GetItemText(0), "harbour.jpg");
    // Escape drops the text.
    QApplication::sendEvent(Port(), &dbl);
    edit->setText("other.jpg");
    Key(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(gallery.GetItemText(0), "harbour.jpg");
    // A click elsewhere commits the edit first.
    QApplication::sendEvent(Port(), &dbl);
    edit->setText("quay.jpg");
    uitest::Click(Port(), Centre(4));
    EXPECT_EQ(gallery.GetItemText(0), "quay.jpg");
    std::vector<int> codes;
    for (auto& n : owner.notes)
        codes.push_back(n.first);
    EXPECT_EQ(codes, (std::vector<int>{GCN_SELCHANGED, GCN_BEGINLABELEDIT, GCN_LABELEDITED, GCN_ENDLABELEDIT,
                                       GCN_BEGINLABELEDIT, GCN_LABELEDITED, GCN_ENDLABELEDIT, GCN_BEGINLABELEDIT,
                                       GCN_BEGINLABELEDIT, GCN_LABELEDITED, GCN_ENDLABELEDIT, GCN_SELCHANGED}));
}

TEST_F(GalleryCtrlTest, DragStartRubberBandAndCellResizeByMouse)
{
    uitest::Click(Port(), Centre(0));
    owner.notes.clear();
    // A press on the selected item starts a drag for the owner.
    uitest::Mouse(Port(), QEvent::MouseButtonPress, Centre(0));
    uitest::Mouse(Port(), QEvent::MouseButtonRelease, Centre(0));
    EXPECT_EQ(owner.notes, (std::vector<std::pair<int, int>>{{GCN_BEGINDRAG, 0}}));
    // A band from the empty right edge over the first two rows' last column.
    uitest::Mouse(Port(), QEvent::MouseButtonPress, QPoint(430, 10));
    uitest::Mouse(Port(), QEvent::MouseMove, QPoint(400, 200));
    uitest::Mouse(Port(), QEvent::MouseButtonRelease, QPoint(400, 200));
    EXPECT_EQ(gallery.GetSelectedCount(), 2);
    EXPECT_TRUE(gallery.IsSelected(2));
    EXPECT_TRUE(gallery.IsSelected(5));
    // The corner of cell 0 resizes every cell.
    uitest::Mouse(Port(), QEvent::MouseButtonPress, QPoint(135, 155));
    uitest::Mouse(Port(), QEvent::MouseMove, QPoint(95, 125));
    uitest::Mouse(Port(), QEvent::MouseButtonRelease, QPoint(95, 125));
    EXPECT_EQ(gallery.Model().GetCellRect(), CRect(0, 0, 100, 130));
    EXPECT_EQ(gallery.Model().GetColumns(), 4);
}

} // namespace
