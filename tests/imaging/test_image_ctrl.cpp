#include "imaging/dib_bitmap.h"
#include "imaging/image_ctrl.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>

using namespace uitest;

namespace {

constexpr UINT kCtrlId = 2130;
constexpr COLORREF kPictureColour = RGB(200, 100, 50);

// The owner: records every notification of the control, with its parameter.
class Owner : public CWnd {
public:
    std::vector<int> codes;
    std::vector<CImageQuad> areas;
    std::vector<bool> dropDataSeen;
    CImageCtrl* ctrl = nullptr;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        const auto* n = reinterpret_cast<const NMIMAGECTRL*>(lParam);
        EXPECT_EQ(reinterpret_cast<HWND>(wParam), n->hdr.hwndFrom);
        EXPECT_EQ(n->hdr.idFrom, kCtrlId);
        codes.push_back(n->hdr.code);
        if (const CImageQuad* area = n->Area())
            areas.push_back(*area);
        if (n->hdr.code == ICN_DROP)
            dropDataSeen.push_back(ctrl && ctrl->GetDropData() != nullptr);
        *pResult = 0;
        return TRUE;
    }
    // The codes seen, without the paint notices.
    std::vector<int> Codes() const
    {
        std::vector<int> c;
        for (int code : codes)
            if (code != ICN_PREDRAW)
                c.push_back(code);
        return c;
    }
};

// A 24-bit picture of one colour.
std::unique_ptr<CDibBitmap> Picture(int width, int height, COLORREF colour = kPictureColour)
{
    auto dib = std::make_unique<CDibBitmap>();
    dib->CreateDib(CSize(width, height), 24, nullptr, nullptr, colour);
    return dib;
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods = {},
          Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : type == QEvent::MouseMove         ? Qt::MouseButtons()
                                                                      : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, mods);
    QApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = {})
{
    QMouseEvent e(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton, mods);
    QApplication::sendEvent(w, &e);
}

struct ImageCtrlTest : ::testing::Test {
    Owner owner;
    CImageCtrl ctrl;
    CursorParking parking;
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(nullptr, "owner", WS_OVERLAPPED, CRect(0, 0, 320, 240), nullptr, 0));
        ASSERT_TRUE(ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 200), &owner, kCtrlId));
        owner.ctrl = &ctrl;
        owner.ShowWindow(SW_SHOW);
        ctrl.SetImage(Picture(300, 200), FALSE);
        QApplication::processEvents();
        owner.codes.clear();
    }
    void TearDown() override
    {
        ctrl.DestroyWindow();
        owner.DestroyWindow();
    }
    QWidget* View() { return ctrl.Viewport(); }
    QImage Shot()
    {
        View()->repaint();
        return Grab(View());
    }
};

} // namespace

TEST_F(ImageCtrlTest, DrawingAnAreaWithTheMouseNotifiesInOrder)
{
    ctrl.SetMode(kImageModeArea);
    ctrl.EnableMouseTracking(TRUE);
    Send(View(), QEvent::MouseMove, QPoint(20, 20));
    Send(View(), QEvent::MouseButtonPress, QPoint(20, 20));
    Drag(View(), QPoint(80, 30), Qt::ShiftModifier); // the square key held
    Send(View(), QEvent::MouseButtonRelease, QPoint(80, 30), Qt::ShiftModifier);
    EXPECT_EQ(owner.Codes(), (std::vector<int>{ICN_CURSORNEWAREA, ICN_MOUSEENTER, ICN_LBUTTONDOWN, ICN_MOUSEMOVE,
                                               ICN_AREACHANGING, ICN_AREACHANGED}));
    ASSERT_EQ(owner.areas.size(), 2u);
    EXPECT_EQ(owner.areas.back().GetRect(), CRect(20, 20, 30, 30));
    EXPECT_EQ(View()->cursor().shape(), Qt::CrossCursor);
}

TEST_F(ImageCtrlTest, ZoomToolAsksTheOwnerWhenItDoesNotZoomItself)
{
    ctrl.SetMode(kImageModeZoomIn);
    ctrl.SetSelfZoom(FALSE);
    Send(View(), QEvent::MouseButtonPress, QPoint(50, 50));
    Send(View(), QEvent::MouseButtonRelease, QPoint(50, 50));
    EXPECT_EQ(owner.Codes(), (std::vector<int>{ICN_LBUTTONDOWN, ICN_ZOOMFORWARD}));
    owner.codes.clear();
    // With the zoom modifier (Control) held the owner is asked for the other way.
    Send(View(), QEvent::MouseButtonPress, QPoint(50, 50), Qt::ControlModifier);
    Send(View(), QEvent::MouseButtonRelease, QPoint(50, 50), Qt::ControlModifier);
    EXPECT_EQ(owner.Codes(), (std::vector<int>{ICN_LBUTTONDOWN, ICN_ZOOMBACKWARD}));
}

TEST_F(ImageCtrlTest, TheZoomModifierKeyChangesTheCursorWithoutAMove)
{
    QPixmap two(16, 16);
    two.fill(Qt::red);
    RegisterResCursor(9902, QCursor(two, 8, 8));
    ctrl.SetCursors(9901, 9902, -1);
    ctrl.SetMode(kImageModeZoomIn);
    ctrl.SetZoomMode(1, FALSE);
    ctrl.SetZoom(10000);
    QCursor::setPos(View()->mapToGlobal(QPoint(100, 100)));
    owner.codes.clear();
    // As the window system sends them: the modifiers before the key, which
    // the event turns into the state after it.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    QApplication::sendEvent(ctrl.m_hWnd, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(ctrl.m_hWnd, &release);
    EXPECT_EQ(owner.Codes(), (std::vector<int>{ICN_CURSOR2, ICN_CURSOR1}));
}

TEST_F(ImageCtrlTest, PanningScrollsAndScrollBarsFollowTheModel)
{
    ctrl.SetImage(Picture(1200, 900), FALSE);
    ctrl.SetZoomMode(1, TRUE);
    ctrl.SetZoom(10000);
    QApplication::processEvents();
    QScrollBar* h = static_cast<QAbstractScrollArea*>(ctrl.m_hWnd)->horizontalScrollBar();
    ASSERT_TRUE(h->isVisible());
    // The viewport is the model's client area.
    EXPECT_EQ(View()->width(), ctrl.GetViewRect().Width());
    EXPECT_EQ(View()->height(), ctrl.GetViewRect().Height());
    EXPECT_EQ(h->maximum(), 1200 - ctrl.GetViewRect().Width());
    ctrl.SetMode(kImageModePan);
    owner.codes.clear();
    Send(View(), QEvent::MouseButtonPress, QPoint(150, 100));
    Drag(View(), QPoint(110, 100));
    Send(View(), QEvent::MouseButtonRelease, QPoint(110, 100));
    EXPECT_EQ(owner.Codes(), (std::vector<int>{ICN_LBUTTONDOWN, ICN_PANSTART, ICN_HSCROLL, ICN_PANEND}));
    EXPECT_EQ(h->value(), 40);
    // The user moves the bar: the model follows and says so.
    owner.codes.clear();
    h->setValue(100);
    EXPECT_EQ(ctrl.Model().GetAxis(false).pos, 100);
    EXPECT_EQ(owner.Codes(), std::vector<int>{ICN_HSCROLL});
    EXPECT_EQ(ctrl.GetImageClientRect().left, -100);
}

TEST_F(ImageCtrlTest, ScreenshotOfTwoAreasWithTheCurrentOneDashed)
{
    // A landscape: sky, sun, hills.
    QImage scene(600, 400, QImage::Format_RGB888);
    {
        QPainter p(&scene);
        QLinearGradient sky(0, 0, 0, 260);
        sky.setColorAt(0, QColor(40, 90, 170));
        sky.setColorAt(1, QColor(200, 220, 240));
        p.fillRect(scene.rect(), sky);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 210, 80));
        p.drawEllipse(QPoint(450, 90), 45, 45);
        p.setBrush(QColor(70, 130, 60));
        p.drawEllipse(QRect(-150, 230, 600, 300));
        p.setBrush(QColor(50, 105, 45));
        p.drawEllipse(QRect(250, 260, 500, 260));
    }
    auto dib = std::make_unique<CDibBitmap>();
    ASSERT_TRUE(dib->CreateDib(CSize(600, 400), 24));
    for (int y = 0; y < 400; ++y) {
        const uchar* in = scene.constScanLine(y);
        BYTE* out = dib->GetBits() + (399 - y) * dib->GetStride();
        for (int x = 0; x < 600; ++x) {
            out[x * 3] = in[x * 3 + 2];
            out[x * 3 + 1] = in[x * 3 + 1];
            out[x * 3 + 2] = in[x * 3];
        }
    }
    ctrl.SetImage(std::move(dib), FALSE); // fitted at 50 %
    const QImage plain = Shot();
    ctrl.SetMultipleAreas(TRUE);
    ASSERT_TRUE(ctrl.AddArea(CImageQuad(CRect(40, 260, 280, 380)), FALSE));
    ASSERT_TRUE(ctrl.AddArea(CImageQuad(CRect(380, 30, 520, 150)), TRUE)); // the sun, current
    ASSERT_EQ(ctrl.GetCurrentAreaIndex(), 1);
    const QImage shot = Shot();
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    ASSERT_TRUE(shot.save(QString(QR_TEST_BUILD_DIR) + "/screenshots/image_ctrl_areas.png"));
    // The outline inverts the picture in dashes of four every eight pixels:
    // along the current area's top edge (client 190..260 at y 15).
    const int phase = ctrl.Model().GetOutlinePhase();
    for (int x = 192; x < 258; ++x) {
        const bool dash = ((x - 190 - phase) % 8 + 8) % 8 < 4;
        const QRgb below = plain.pixel(x, 15);
        const QRgb want = dash ? qRgb(255 - qRed(below), 255 - qGreen(below), 255 - qBlue(below)) : below;
        ASSERT_EQ(shot.pixel(x, 15), want) << x;
    }
    EXPECT_EQ(shot.pixel(225, 45), plain.pixel(225, 45)); // inside: the picture
    EXPECT_EQ(shot.pixel(80, 160), plain.pixel(80, 160));
    // The current area's outline moves on with the timer.
    ASSERT_TRUE(WaitFor([&] { return ctrl.Model().GetOutlinePhase() != phase; }));
}

TEST_F(ImageCtrlTest, FittedPictureIsAveragedNotAliased)
{
    // One-pixel black and white stripes shown at about a third of their size.
    auto stripes = std::make_unique<CDibBitmap>();
    stripes->CreateDib(CSize(900, 600), 24);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 900; ++x)
            std::memset(stripes->GetBits() + y * stripes->GetStride() + x * 3, x % 2 ? 255 : 0, 3);
    ctrl.SetImage(std::move(stripes), FALSE);
    const QImage shot = Shot();
    double sum = 0, squares = 0;
    int n = 0;
    for (int y = 20; y < 180; ++y)
        for (int x = 20; x < 280; ++x) {
            const double v = qRed(shot.pixel(x, y));
            sum += v;
            squares += v * v;
            ++n;
        }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 127.5, 3);
    EXPECT_LT(std::sqrt(squares / n - mean * mean), 5.0);
    // Painting again at the same scale copies from the display copy.
    const int builds = ctrl.DisplayCopy().Builds();
    Shot();
    EXPECT_EQ(ctrl.DisplayCopy().Builds(), builds);
    ctrl.SetZoomMode(1, FALSE);
    ctrl.SetZoom(5000);
    Shot();
    EXPECT_EQ(ctrl.DisplayCopy().Builds(), builds + 1);
}

TEST_F(ImageCtrlTest, RotationTurnsThePictureAndItsAreas)
{
    ASSERT_TRUE(ctrl.SetSelection(CImageQuad(CRect(10, 20, 50, 40)), TRUE));
    ASSERT_TRUE(ctrl.RotateImage(90));
    EXPECT_EQ(ctrl.GetImage()->GetSize(), CSize(200, 300));
    EXPECT_EQ(ctrl.GetCurrentArea().GetRect(), CRect(160, 10, 180, 50));
    EXPECT_EQ(owner.Codes(), std::vector<int>{ICN_ROTATED});
    ctrl.SetImage(nullptr, TRUE);
    EXPECT_FALSE(ctrl.RotateImage(90));
}

TEST_F(ImageCtrlTest, DroppedFilesReachTheOwnerWhenDroppingIsOn)
{
    ctrl.AddDropFormat(CF_HDROP);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/photo.jpg")});
    // Drags arrive where Qt sends them: at the scroll area's viewport.
    auto dropAt = [&](QPoint at) {
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ctrl.Viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ctrl.Viewport(), &drop);
        return drop.isAccepted();
    };
    EXPECT_FALSE(dropAt(QPoint(40, 40))); // dropping is off
    ctrl.EnableDrop(TRUE);
    EXPECT_TRUE(dropAt(QPoint(40, 40)));
    EXPECT_EQ(owner.Codes(), std::vector<int>{ICN_DROP});
    EXPECT_EQ(owner.dropDataSeen, std::vector<bool>{true});
    EXPECT_EQ(ctrl.GetDropData(), nullptr);
    // Formats not in the list are refused.
    QMimeData text;
    text.setText("words");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ctrl.Viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(ImageCtrlTest, PaintWithoutAPictureStillNotifiesAndFills)
{
    ctrl.SetImage(nullptr, FALSE);
    ctrl.SetBkColor(RGB(85, 127, 170));
    const QImage shot = Shot();
    EXPECT_EQ(owner.codes.front(), ICN_PREDRAW);
    EXPECT_EQ(Pixel(shot, 150, 100), RGB(85, 127, 170));
}

TEST_F(ImageCtrlTest, ABorrowedPictureStaysTheCallersAndAKeptOneGoesWithTheNext)
{
    // The sanitizers see a picture freed twice, used after it went, or never freed.
    const auto mine = Picture(300, 200, RGB(0, 0, 255));
    ctrl.SetBorrowedImage(mine.get(), FALSE); // the fixture's kept picture goes
    EXPECT_EQ(ctrl.GetImage(), mine.get());
    EXPECT_EQ(Pixel(Shot(), 150, 100), RGB(0, 0, 255));
    ctrl.SetImage(Picture(300, 200, RGB(0, 255, 0)), FALSE);
    EXPECT_EQ(mine->GetPixel(5, 5), RGB(0, 0, 255)); // still the caller's
    EXPECT_EQ(Pixel(Shot(), 150, 100), RGB(0, 255, 0));
    // The control's own picture lent back to it stays its own.
    CDibBitmap* kept = ctrl.GetImage();
    ctrl.SetBorrowedImage(kept, FALSE);
    EXPECT_EQ(ctrl.GetImage(), kept);
    EXPECT_EQ(Pixel(Shot(), 150, 100), RGB(0, 255, 0));
    ctrl.SetBorrowedImage(nullptr, FALSE);
    EXPECT_EQ(ctrl.GetImage(), nullptr);
}

TEST_F(ImageCtrlTest, BorderAndTheGreyOfADisabledControl)
{
    ctrl.SetBkColor(RGB(10, 20, 30));
    ctrl.SetBorderWidth(3);
    ctrl.SetGreyWhenDisabled(TRUE);
    QImage shot = Shot();
    EXPECT_EQ(Pixel(shot, 0, 0), RGB(0, 0, 0));         // the frame: dark top-left
    EXPECT_EQ(Pixel(shot, 299, 199), RGB(255, 255, 255)); // light bottom-right
    EXPECT_EQ(Pixel(shot, 1, 100), RGB(10, 20, 30));     // the rings inside it
    EXPECT_EQ(Pixel(shot, 150, 100), kPictureColour);
    ctrl.EnableWindow(FALSE);
    shot = Shot();
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_NE(Pixel(shot, 150, 100) == highlight, Pixel(shot, 151, 100) == highlight); // a checkerboard
    EXPECT_TRUE(Pixel(shot, 150, 100) == kPictureColour || Pixel(shot, 151, 100) == kPictureColour);
}
