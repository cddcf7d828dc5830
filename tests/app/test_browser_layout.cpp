// What the browser shows is whole: pictures stay in their cells above their
// names, the grid fills the width, and the details view gives the names the
// room the other columns leave. Each case leaves a screenshot.
#include "browser_frame_fixture.h"

#include "message/aphoto_comment_pane.h"
#include "platform/framework/dialog.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QPainter>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeView>

using qrtest::BrowserFrameTest;
namespace fs = std::filesystem;

namespace {

const std::string kScreenshots = std::string(QR_TEST_BUILD_DIR) + "/screenshots";

void SaveShot(QWidget* w, const std::string& name)
{
    fs::create_directories(kScreenshots);
    ASSERT_TRUE(uitest::Grab(w).save(QString::fromStdString(kScreenshots + "/" + name)));
}

// A picture of one colour, so that its pixels are known wherever they land.
void MakePicture(const std::string& path, int w, int h, QColor colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    ASSERT_TRUE(img.save(QString::fromStdString(path), "JPG", 95));
}

bool IsGreen(QRgb p) { return qGreen(p) > 150 && qRed(p) < 90 && qBlue(p) < 90; }

class BrowserLayoutTest : public BrowserFrameTest {
protected:
    // A folder of landscape camera pictures and green portrait ones.
    std::string MixedFolder(int portraits)
    {
        const std::string folder = m_home + "/Pictures/Mixed";
        fs::create_directories(folder);
        for (int i = 0; i < 4; ++i)
            fs::copy_file(m_camera + "/photo0" + std::to_string(i) + ".jpg", folder + "/land" + std::to_string(i) + ".jpg");
        for (int i = 0; i < portraits; ++i)
            MakePicture(folder + "/tall" + std::to_string(i) + ".jpg", 120 + 10 * i, 240 + 40 * i, QColor(20, 200, 30));
        return folder;
    }
};

TEST_F(BrowserLayoutTest, TallThumbnailsStayInTheirCellsAboveTheirNamesAndTheGridFillsTheWidth)
{
    const std::string folder = MixedFolder(3);
    Frame()->MoveWindow(0, 0, 900, 640);
    View()->GetTreePane()->SelectFolder(folder);
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 7; }));
    ASSERT_TRUE(AllMade());
    // The desktop's font, then a large one whose caption lines need more
    // than the cells' fixed insets.
    for (int points : {0, 24})
    for (UINT size : {UINT(ID_THUMB_LARGE), UINT(ID_THUMB_MEDIUM), UINT(ID_THUMB_SMALL)}) {
        SCOPED_TRACE(std::to_string(size) + " at " + std::to_string(points) + " points");
        if (points) {
            View()->GetGallery()->SetCaptionFont(points * 10, "");
            // Picture information off and on again lays the cells out anew.
            Frame()->SendMessage(WM_COMMAND, ID_VIEW_IMAGEINFO, 0);
            Frame()->SendMessage(WM_COMMAND, ID_VIEW_IMAGEINFO, 0);
        }
        Frame()->SendMessage(WM_COMMAND, size, 0);
        ASSERT_TRUE(AllMade());
        CGalleryCtrl& gallery = *View()->GetGallery();
        const CGalleryModel& model = gallery.Model();
        const QImage shot = uitest::Grab(gallery.Viewport());
        if (size == ID_THUMB_LARGE)
            SaveShot(Frame()->m_hWnd, points ? "browser_gallery_large_font.png" : "browser_gallery_portrait_landscape.png");
        // The grid leaves less than a cell's width unused at the right.
        EXPECT_LT(model.GetClientSize().cx - model.GetColumns() * model.GetCellRect().Width(), model.GetCellRect().Width());
        for (int i = 0; i < GetFileItemCount(); ++i) {
            const CRect cell = model.GetCellRectOf(i);
            const CRect picture = model.GetPictureRect(i);
            const CRect band = model.GetCaptionRect(i);
            if (cell.bottom > shot.height())
                continue;
            EXPECT_GE(picture.top, cell.top) << i;
            EXPECT_LE(picture.bottom, band.top) << i;
            // No green of a tall picture in its name's band or below its cell.
            int green = 0;
            for (int y = band.top; y < band.bottom; ++y)
                for (int x = band.left; x < band.right; ++x)
                    green += IsGreen(shot.pixel(x, y)) ? 1 : 0;
            EXPECT_EQ(green, 0) << "item " << i;
            if (GetFileItem(i)->GetPath().find("tall") != std::string::npos) {
                EXPECT_TRUE(IsGreen(shot.pixel(picture.CenterPoint().x, picture.CenterPoint().y))) << i;
                EXPECT_GT(picture.Height(), picture.Width()) << i;
            }
        }
    }
}

TEST_F(BrowserLayoutTest, TheDetailsViewGivesTheNamesTheRoomTheOtherColumnsLeave)
{
    const std::string folder = m_home + "/Pictures/Long";
    fs::create_directories(folder);
    const std::string longest = "hubble_deep_field_ultra_violet_coverage_composite_2014.jpg";
    for (const std::string& name : {longest, std::string("andromeda_galaxy_in_hydrogen_alpha_mosaic.jpg"),
                                    std::string("moon.jpg")})
        fs::copy_file(m_camera + "/photo01.jpg", folder + "/" + name);
    Frame()->MoveWindow(0, 0, 1400, 600);
    View()->GetTreePane()->SelectFolder(folder);
    ASSERT_TRUE(uitest::WaitFor([&] { return GetFileItemCount() == 3; }));
    Frame()->SendMessage(WM_COMMAND, ID_VIEW_DETAILS, 0);
    QApplication::processEvents();
    QTreeView* report = nullptr;
    for (QTreeView* v : View()->GetList()->m_hWnd->findChildren<QTreeView*>())
        if (v->isVisible())
            report = v;
    ASSERT_NE(report, nullptr);
    SaveShot(Frame()->m_hWnd, "browser_details_long_names.png");
    int others = 0;
    for (int c = 1; c < report->header()->count(); ++c)
        others += report->columnWidth(c);
    // The names take the free width, which here is room enough for the longest.
    EXPECT_EQ(report->columnWidth(0) + others, report->viewport()->width());
    EXPECT_GT(report->columnWidth(0), QFontMetrics(report->font()).horizontalAdvance(QString::fromStdString(longest)));
    // A narrower window gives the names less, never less than their own width.
    Frame()->MoveWindow(0, 0, 500, 600);
    QApplication::processEvents();
    EXPECT_GE(report->columnWidth(0), 150);
}

// Where every shown widget of a window (not of a dialog over it) lies.
std::vector<std::pair<std::string, QRect>> Layout(QWidget* top)
{
    std::vector<std::pair<std::string, QRect>> all;
    for (QWidget* w : top->findChildren<QWidget*>())
        if (w->isVisible() && w->window() == top)
            all.emplace_back(w->metaObject()->className(), QRect(w->mapTo(top, QPoint(0, 0)), w->size()));
    return all;
}

// The window with the dialog drawn over it where it stands.
QImage WithDialog(QWidget* top, QWidget* dialog)
{
    QImage shot = uitest::Grab(top);
    QPainter painter(&shot);
    painter.drawImage(top->mapFromGlobal(dialog->mapToGlobal(QPoint(0, 0))), uitest::Grab(dialog));
    return shot;
}

TEST_F(BrowserLayoutTest, TheEditorKeepsItsLayoutWhileSaveAsOrThePrintPreviewIsOver)
{
    ASSERT_NE(m_app->OpenInMessageEditor(m_camera + "/photo00.jpg", FALSE, 0), nullptr);
    CFrameWnd* editor = m_app->GetMessageTemplate()->GetFrame();
    ASSERT_NE(editor, nullptr);
    editor->MoveWindow(0, 0, 1000, 700);
    QApplication::processEvents();
    const auto before = Layout(editor->m_hWnd);

    std::vector<std::pair<std::string, QRect>> during;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!fd || !fd->isVisible())
            return;
        QApplication::processEvents();
        during = Layout(editor->m_hWnd);
        fs::create_directories(kScreenshots);
        EXPECT_TRUE(WithDialog(editor->m_hWnd, fd).save(QString::fromStdString(kScreenshots + "/editor_save_as_open.png")));
        fd->reject();
    });
    poll.start(20);
    editor->SendMessage(WM_COMMAND, ID_FILE_SAVE_AS, 0);
    poll.stop();
    ASSERT_FALSE(during.empty());
    EXPECT_EQ(during, before);
    QApplication::processEvents();
    EXPECT_EQ(Layout(editor->m_hWnd), before);

    during.clear();
    CDialog::SetModalObserver([&](CDialog* d) {
        QApplication::processEvents();
        during = Layout(editor->m_hWnd);
        EXPECT_TRUE(WithDialog(editor->m_hWnd, d->m_hWnd)
                        .save(QString::fromStdString(kScreenshots + "/editor_print_preview_open.png")));
        d->EndDialog(IDCANCEL);
    });
    editor->SendMessage(WM_COMMAND, APhotoCommentPane::ID_FILE_PRINT_MESSAGE, 0);
    CDialog::SetModalObserver(nullptr);
    ASSERT_FALSE(during.empty());
    EXPECT_EQ(during, before);
    QApplication::processEvents();
    EXPECT_EQ(Layout(editor->m_hWnd), before);
}

} // namespace
