#include "message_fixtures.h"
#include "pane_fixtures.h"

#include "imaging/dib_bitmap.h"
#include "message/aphoto_doc.h"
#include "message/aphoto_img_pane.h"
#include "message/aphoto_view_base.h"
#include "message/picture_jpeg.h"
#include "message/rec_dlog.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/registry.h"
#include "resources/string_table.h"
#include "support/alsa_test_device.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"
#include "util/reg_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {

class PaneTestView : public CAPhotoViewBase {
    DECLARE_DYNCREATE(PaneTestView)
public:
    BOOL InsertPicture(const std::string&) override { return FALSE; }
};
IMPLEMENT_DYNCREATE(PaneTestView, CAPhotoViewBase)

class PaneTestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(PaneTestFrame)
};
IMPLEMENT_DYNCREATE(PaneTestFrame, CFrameWnd)

void Mouse(QWidget* w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, {});
    QApplication::sendEvent(w, &e);
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(p.parent_path());
    qrtest::WriteBytes(p, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> JpegOf(int w, int h)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(msgjpeg::Encode(MakePicture(w, h), 90, out));
    return out;
}

// The view's part: the notifications the pane passes on.
class NotifyHost : public CWnd {
public:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        codes.push_back(int(hdr->code));
        senders.push_back(reinterpret_cast<HWND>(wParam));
        *pResult = 0;
        return TRUE;
    }
    std::vector<int> codes;
    std::vector<HWND> senders;
};

// The image pane as the message view holds it: a child of a host window, its
// commands and its editors' going to a frame that asks the pane what is
// enabled and, for Add, has the pane build the comment. The picture plug-ins
// and settings of the test build; message boxes answered by the test.
class ImgPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterClipboardFormats();
        userBefore = GetAppSettings().m_strUserName;
        GetAppSettings().m_strUserName = "Tester";
        frame.canDo = [this](UINT id) { return pane.CanDoCommand(id); };
        frame.onCommand = [this](UINT id) {
            if (id == ID_ADDANOTATION) {
                CAnoRecord record;
                if (pane.BuildNewComment(record))
                    built.push_back(record);
            } else {
                pane.DoCommand(id);
            }
        };
        ASSERT_TRUE(frame.Create(nullptr, "frame", WS_OVERLAPPED, CRect(0, 0, 100, 100), nullptr, 0));
        ASSERT_TRUE(host.Create(nullptr, "view", WS_OVERLAPPED, CRect(0, 0, 440, 680), nullptr, 0));
        ASSERT_TRUE(pane.Create(&host, 59648));
        pane.MoveWindow(CRect(0, 0, 440, 680));
        pane.ShowWindow(SW_SHOW);
        pane.Attach(&frame);
        picture = MakePicture(320, 240).CreateDib();
        pane.SetImage(picture.get(), TRUE);
        host.ShowWindow(SW_SHOW);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        CMenu::SetChooser(nullptr);
        host.DestroyWindow();
        frame.DestroyWindow();
        GetAppSettings().m_strUserName = userBefore;
    }
    QWidget* View() { return pane.ImageCtrl().Viewport(); }
    // Client points of image points.
    QPoint At(int x, int y)
    {
        const CPoint p = pane.ImageCtrl().ImageToClient(POINT{x, y});
        return QPoint(p.x, p.y);
    }
    // A marquee drawn from one image point to another.
    void DrawArea(POINT from, POINT to)
    {
        Mouse(View(), QEvent::MouseButtonPress, At(from.x, from.y));
        Mouse(View(), QEvent::MouseMove, At((from.x + to.x) / 2, (from.y + to.y) / 2));
        Mouse(View(), QEvent::MouseMove, At(to.x, to.y));
        Mouse(View(), QEvent::MouseButtonRelease, At(to.x, to.y));
    }
    // Add, as the editor's button sends it, carried out by the frame.
    void Add()
    {
        const size_t before = frame.Count(ID_ADDANOTATION);
        CWnd* button = pane.GetCurrentEditor()->GetDlgItem(IDC_ANO_ADD);
        pane.GetCurrentEditor()->UpdateButtons();
        ASSERT_TRUE(button->IsWindowEnabled());
        uitest::Click(button->m_hWnd, button->m_hWnd->rect().center());
        ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ADDANOTATION) > before; }));
    }
    bool Said(const std::string& part) const { return settings.Said(part); }
    void Screenshot(const char* name)
    {
        QApplication::processEvents();
        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(host.m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/" + name));
    }

    ScopedPaneSettings settings{QR_BIN_DIR};
    std::vector<std::string>& boxes = settings.boxes;
    qrtest::TempDir dir;
    CWinApp app{"imgpane"};
    RoutingFrame frame;
    NotifyHost host;
    APhotoImgPane pane;
    std::unique_ptr<CDibBitmap> picture;
    std::vector<CAnoRecord> built;
    std::string userBefore;
};

TEST_F(ImgPaneTest, EachToolBuildsACommentOfItsKindOnTheAreaDrawn)
{
    pane.TextEditor().Edit().SetWindowText("a note");
    struct Case {
        UINT tool;
        int kind;
    } cases[] = {{ID_TOOL_SQUARE, CAreaMarquee::square},
                 {ID_TOOL_ROUNDSQUARE, CAreaMarquee::roundSquare},
                 {ID_TOOL_OVAL, CAreaMarquee::oval}};
    for (const Case& c : cases) {
        pane.SetTool(c.tool);
        EXPECT_EQ(pane.ImageCtrl().GetMode(), kImageModeArea);
        DrawArea({40, 30}, {200, 150});
        const CRect drawn = pane.ImageCtrl().GetCurrentArea().GetRect();
        EXPECT_FALSE(drawn.IsRectEmpty());
        CAnoRecord record;
        ASSERT_TRUE(pane.BuildNewComment(record));
        EXPECT_EQ(record.m_area.m_nKind, c.kind) << c.tool;
        EXPECT_EQ(record.m_area.m_rect, drawn) << c.tool;
        EXPECT_EQ(record.m_nKind, CAnoRecord::text);
        EXPECT_EQ(record.m_strContent, "a note");
        EXPECT_EQ(record.m_strUserName, "Tester");
    }
    EXPECT_TRUE(boxes.empty());
    // The grab tool and command 262 mark no kind of area.
    for (UINT tool : {UINT(ID_TOOL_GRAB), UINT(ID_TOOL_NONE), 999u})
        EXPECT_EQ(APhotoImgPane::MarqueeKindOfTool(tool), CAreaMarquee::none) << tool;
    pane.SetTool(ID_TOOL_GRAB);
    EXPECT_EQ(pane.ImageCtrl().GetMode(), kImageModePan);
}

TEST_F(ImgPaneTest, AreaDragsReachTheViewAndMouseMovesOnlyInAreaMode)
{
    host.codes.clear();
    DrawArea({40, 30}, {200, 150});
    ASSERT_FALSE(host.codes.empty());
    EXPECT_EQ(host.codes.back(), ICN_AREACHANGED);
    EXPECT_EQ(std::count(host.codes.begin(), host.codes.end(), ICN_AREACHANGED), 1);
    EXPECT_TRUE(std::all_of(host.senders.begin(), host.senders.end(), [&](HWND h) { return h == pane.m_hWnd; }));
    EXPECT_EQ(std::count(host.codes.begin(), host.codes.end(), ICN_MOUSEMOVE), 0);
    pane.SetAreaMode(TRUE);
    Mouse(View(), QEvent::MouseMove, At(10, 10));
    Mouse(View(), QEvent::MouseMove, At(12, 12));
    EXPECT_GE(std::count(host.codes.begin(), host.codes.end(), ICN_MOUSEMOVE), 1);
    // A click on the pane itself deselects the comment.
    uitest::Click(pane.m_hWnd, QPoint(1, 1));
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_DESELECTCOMMENT) == 1; }));
}

TEST_F(ImgPaneTest, APressInsideTheAreaDrawsANewOneInsteadOfMovingIt)
{
    // Image points pass through the fitted view's pixels: a pixel either way.
    auto near = [](const CRect& a, const CRect& b) {
        return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 && std::abs(a.right - b.right) <= 1 &&
               std::abs(a.bottom - b.bottom) <= 1;
    };
    DrawArea({40, 30}, {200, 150});
    EXPECT_PRED2(near, pane.GetMarquee().m_rect, CRect(40, 30, 200, 150));
    DrawArea({100, 80}, {250, 200});
    EXPECT_PRED2(near, pane.ImageCtrl().GetCurrentArea().GetRect(), CRect(100, 80, 250, 200));
    EXPECT_PRED2(near, pane.GetMarquee().m_rect, CRect(100, 80, 250, 200));
    EXPECT_EQ(pane.ImageCtrl().GetAreaCount(), 1);
}

TEST_F(ImgPaneTest, ThePaneStartsOnItsOwnZoomWithTheEnlargeQualityOfTheSettings)
{
    const BOOL before = GetAppSettings().m_bHiFiImage;
    for (BOOL hifi : {TRUE, FALSE}) {
        GetAppSettings().m_bHiFiImage = hifi;
        APhotoImgPane fresh;
        ASSERT_TRUE(fresh.Create(&host, 59649));
        EXPECT_EQ(fresh.ImageCtrl().IsZoomedMode(), 1) << hifi;
        EXPECT_EQ(fresh.ImageCtrl().GetEnlargeQuality(), hifi ? 1 : 0);
        // Attached to its frame, it shows the picture fitted.
        fresh.Attach(&frame);
        EXPECT_EQ(fresh.ImageCtrl().IsZoomedMode(), 0);
        fresh.DestroyWindow();
    }
    GetAppSettings().m_bHiFiImage = before;
}

TEST_F(ImgPaneTest, TheRightButtonOffersCopyEnlargeAndReduceToTheFrame)
{
    std::vector<UINT> offered;
    static std::vector<UINT>* seen;
    seen = &offered;
    CMenu::SetChooser([](CMenu* menu) -> UINT {
        for (const CMenu::Item& item : menu->Items())
            seen->push_back(item.id);
        return ID_ENLARGE;
    });
    const int64_t fit = pane.ImageCtrl().CalcFitZoom();
    const QPoint at = At(100, 100);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), View()->mapToGlobal(QPointF(at)), Qt::RightButton,
                      Qt::RightButton, {});
    QApplication::sendEvent(View(), &press);
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ENLARGE) == 1; }));
    EXPECT_EQ(offered, (std::vector<UINT>{ID_EDIT_COPY, ID_ENLARGE, ID_REDUCE}));
    EXPECT_EQ(pane.ImageCtrl().GetZoom(), fit * 10 / 9);
}

TEST_F(ImgPaneTest, AFreehandOutlineIsClosedWhenTheDragEnds)
{
    pane.SetTool(ID_TOOL_FREEHAND);
    EXPECT_EQ(pane.ImageCtrl().GetMode(), kImageModePoints);
    const POINT path[] = {{50, 50}, {150, 60}, {160, 160}, {60, 140}};
    Mouse(View(), QEvent::MouseButtonPress, At(path[0].x, path[0].y));
    for (size_t i = 1; i < std::size(path); ++i)
        Mouse(View(), QEvent::MouseMove, At(path[i].x, path[i].y));
    // While dragging, the outline has the points placed so far.
    const size_t dragging = pane.GetMarquee().m_points.size();
    EXPECT_EQ(dragging, pane.ImageCtrl().GetPathPoints().size());
    EXPECT_GE(dragging, 2u);
    Mouse(View(), QEvent::MouseButtonRelease, At(path[3].x, path[3].y));
    const CAreaMarquee done = pane.GetMarquee();
    ASSERT_EQ(done.m_points.size(), pane.ImageCtrl().GetPathPoints().size() + 1);
    EXPECT_EQ(done.m_points.back(), done.m_points.front());
    EXPECT_EQ(done.m_nKind, CAreaMarquee::freehand);
    CAnoRecord record;
    ASSERT_TRUE(pane.BuildNewComment(record));
    EXPECT_EQ(record.m_area, done);
}

TEST_F(ImgPaneTest, WithoutAMarqueeTheCommentMarksTheWholePictureAndSaysSo)
{
    pane.TextEditor().Edit().SetWindowText("everything");
    CAnoRecord record;
    ASSERT_TRUE(pane.BuildNewComment(record));
    EXPECT_EQ(record.m_area, CAreaMarquee(CRect(0, 0, 320, 240), CAreaMarquee::square));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], res::String(6262));
    EXPECT_NE(boxes[0].find("whole picture"), std::string::npos);
    // Without a picture the area is empty.
    pane.SetImage(nullptr, TRUE);
    ASSERT_TRUE(pane.BuildNewComment(record));
    EXPECT_EQ(record.m_area.m_rect, CRect(0, 0, 0, 0));
}

TEST_F(ImgPaneTest, TurningTheMarqueeTurnsFreehandPointsAndFourTurnsGiveThemBack)
{
    CAreaMarquee outline;
    outline.SetFreehand({{10, 20}, {300, 25}, {150, 230}, {10, 20}});
    const CAreaMarquee turned = APhotoImgPane::RotateMarquee(outline, CSize(320, 240), 90);
    EXPECT_EQ(turned.m_points, (std::vector<CPoint>{{220, 10}, {215, 300}, {10, 150}, {220, 10}}));
    EXPECT_EQ(turned.m_rect, CRect(10, 10, 220, 300));
    EXPECT_EQ(APhotoImgPane::RotateMarquee(CAreaMarquee(CRect(10, 20, 50, 60), 1), CSize(320, 240), 90).m_rect,
              CRect(180, 10, 220, 50));
    EXPECT_EQ(APhotoImgPane::RotateMarquee(CAreaMarquee(CRect(10, 20, 50, 60), 1), CSize(320, 240), 270).m_rect,
              CRect(20, 270, 60, 310));

    // Through the pane: four quarter turns each way give the outline and the picture back.
    pane.SetMarquee(outline);
    for (UINT command : {UINT(ID_ROTATE_CW), UINT(ID_ROTATE_CCW)}) {
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(pane.DoCommand(command));
            EXPECT_EQ(picture->GetSize(), i % 2 ? CSize(320, 240) : CSize(240, 320));
        }
        EXPECT_EQ(pane.GetMarquee(), outline);
    }
    pane.SetImage(nullptr, TRUE);
    EXPECT_FALSE(pane.CanDoCommand(ID_ROTATE_CW));
    EXPECT_FALSE(pane.CanDoCommand(ID_ENLARGE));
}

TEST_F(ImgPaneTest, ZoomStepsLandOnTheFitViewAndStopAtTheMinimum)
{
    CImageCtrl& ctrl = pane.ImageCtrl();
    const int64_t fit = ctrl.CalcFitZoom();
    ASSERT_GT(fit, 0);
    EXPECT_FALSE(pane.CanDoCommand(ID_ZOOMFIT));
    EXPECT_EQ(pane.GetMinZoom(), fit - fit / 10);

    // Enlarge: a ninth more, zoomed.
    ASSERT_TRUE(pane.DoCommand(ID_ENLARGE));
    EXPECT_EQ(ctrl.GetZoom(), fit * 10 / 9);
    EXPECT_TRUE(pane.IsZoomed());
    EXPECT_TRUE(pane.CanDoCommand(ID_ZOOMFIT));
    // Reduce past the fit view lands on it.
    ASSERT_TRUE(pane.DoCommand(ID_REDUCE));
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ZOOMFIT) == 1; }));
    EXPECT_EQ(ctrl.GetZoom(), fit);
    EXPECT_FALSE(pane.IsZoomed());

    // Below the fit view by a tenth, and no further.
    ASSERT_TRUE(pane.DoCommand(ID_REDUCE));
    EXPECT_EQ(ctrl.GetZoom(), fit - fit / 10);
    EXPECT_FALSE(pane.CanDoCommand(ID_REDUCE));
    EXPECT_FALSE(pane.DoCommand(ID_REDUCE));
    EXPECT_EQ(ctrl.GetZoom(), fit - fit / 10);
    // Enlarge from below the fit view that would pass it lands exactly on it.
    ASSERT_TRUE(pane.DoCommand(ID_ENLARGE));
    ASSERT_TRUE(uitest::WaitFor([&] { return frame.Count(ID_ZOOMFIT) == 2; }));
    EXPECT_EQ(ctrl.GetZoom(), fit);

    // Zoom to the marquee: the grab tool, and the fit view back with the square tool.
    pane.SetMarquee(CAreaMarquee(CRect(100, 80, 140, 110), CAreaMarquee::oval));
    ASSERT_TRUE(pane.CanDoCommand(ID_ZOOMTOMARQUEE));
    ASSERT_TRUE(pane.DoCommand(ID_ZOOM));
    EXPECT_TRUE(pane.IsZoomed());
    EXPECT_EQ(pane.GetTool(), UINT(ID_TOOL_GRAB));
    EXPECT_GT(ctrl.GetZoom(), fit * 3);
    EXPECT_FALSE(pane.CanDoCommand(ID_ZOOMTOMARQUEE));
    EXPECT_FALSE(pane.CanDoCommand(ID_EDIT_COPY));
    ASSERT_TRUE(pane.DoCommand(ID_ZOOMFIT));
    EXPECT_EQ(ctrl.GetZoom(), fit);
    EXPECT_EQ(pane.GetTool(), UINT(ID_TOOL_SQUARE));
    EXPECT_EQ(ctrl.GetMode(), kImageModeArea);
}

TEST(ImgPaneDrop, OneMessageFileOrOneOrTwoPicturesWhileTheMessageMayChange)
{
    struct Case {
        std::vector<std::string> paths;
        DWORD readOnly;
        BOOL accepted;
    } cases[] = {
        {{"/p/a.jpg"}, 0, TRUE},
        {{"/p/a.JPG", "/p/b.tiff"}, 0, TRUE},
        {{"/p/a.jpg", "/p/b.bmp", "/p/c.jpe"}, 0, FALSE},
        {{"/p/a.jpg", "/p/notes.txt"}, 0, TRUE},
        {{"/p/notes.txt"}, 0, FALSE},
        {{}, 0, FALSE},
        {{"/p/m.kvt"}, 0, TRUE},
        {{"/p/m.KVT"}, 1, TRUE},
        {{"/p/m.kvt", "/p/a.jpg"}, 0, FALSE},
        {{"/p/m.kvt", "/p/n.kvt"}, 0, FALSE},
        {{"/p/a.jpg"}, 1, FALSE},
    };
    for (const Case& c : cases) {
        std::string all;
        for (const std::string& p : c.paths)
            all += p + " ";
        EXPECT_EQ(APhotoImgPane::AcceptsDrop(c.paths, c.readOnly), c.accepted) << all << c.readOnly;
    }
}

TEST_F(ImgPaneTest, DragsOfTwoPicturesAreTakenAndTellTheFrameThreeAreRefused)
{
    auto drop = [&](const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &enter);
        if (!enter.isAccepted() || enter.dropAction() == Qt::IgnoreAction)
            return false;
        QDropEvent dropped(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &dropped);
        return dropped.isAccepted();
    };
    EXPECT_TRUE(drop({"/p/a.jpg", "/p/b.jpg"}));
    EXPECT_EQ(frame.Count(ID_FILEDROPPED), 1u);
    EXPECT_FALSE(drop({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}));
    pane.SetReadOnly(1);
    EXPECT_FALSE(drop({"/p/a.jpg"}));
    EXPECT_EQ(frame.Count(ID_FILEDROPPED), 1u);
}

TEST_F(ImgPaneTest, TabsShowTheirEditorsAndOtherIndexesMeanText)
{
    EXPECT_TRUE(pane.TextEditor().IsWindowVisible());
    pane.SelectTab(APhotoImgPane::kTabAudio);
    EXPECT_TRUE(pane.SoundEditor().IsWindowVisible());
    EXPECT_FALSE(pane.TextEditor().IsWindowVisible());
    EXPECT_EQ(pane.GetCurrentEditor(), &pane.SoundEditor());
    pane.SelectTab(APhotoImgPane::kTabImage);
    EXPECT_TRUE(pane.ImageEditor().IsWindowVisible());
    EXPECT_FALSE(pane.SoundEditor().IsWindowVisible());
    for (int tab : {-1, 0, 3, 7})
        EXPECT_EQ(pane.EditorOfTab(tab), &pane.TextEditor()) << tab;
    // A click on a tab shows its editor.
    CRect audio;
    pane.Tabs().GetItemRect(APhotoImgPane::kTabAudio, &audio);
    uitest::Click(pane.Tabs().m_hWnd, QPoint(audio.CenterPoint().x, audio.CenterPoint().y));
    EXPECT_TRUE(pane.SoundEditor().IsWindowVisible());
    EXPECT_FALSE(pane.ImageEditor().IsWindowVisible());
    // The read-only word reaches every editor.
    pane.SetReadOnly(1);
    EXPECT_EQ(pane.TextEditor().GetReadOnly(), 1u);
    EXPECT_EQ(pane.SoundEditor().GetReadOnly(), 1u);
    EXPECT_EQ(pane.ImageEditor().GetReadOnly(), 1u);
    // Clear is there while a marquee is; Add needs the editor's content too.
    pane.SetReadOnly(0);
    pane.SelectTab(APhotoImgPane::kTabText);
    EXPECT_FALSE(pane.CanDoCommand(ID_CLEARANOTATION));
    pane.SetMarquee(CAreaMarquee(CRect(1, 1, 9, 9), 1));
    EXPECT_TRUE(pane.CanDoCommand(ID_CLEARANOTATION));
    EXPECT_FALSE(pane.CanDoCommand(ID_ADDANOTATION));
    pane.TextEditor().Edit().SetWindowText("x");
    EXPECT_TRUE(pane.CanDoCommand(ID_ADDANOTATION));
}

// Add lights up when an area is drawn after the comment was typed, and goes
// out again with the area.
TEST_F(ImgPaneTest, AddFollowsTheAreaDrawnAfterTheContent)
{
    pane.SelectTab(APhotoImgPane::kTabText);
    CWnd* add = pane.TextEditor().GetDlgItem(IDC_ANO_ADD);
    pane.TextEditor().Edit().SetWindowText("x");
    EXPECT_FALSE(add->IsWindowEnabled());
    DrawArea({10, 10}, {40, 30});
    EXPECT_TRUE(add->IsWindowEnabled());
    pane.SetMarquees({});
    EXPECT_FALSE(add->IsWindowEnabled());
}

TEST_F(ImgPaneTest, ASoundThatCannotBeAttachedWholeIsRefused)
{
    WriteFile(dir / "sounds/empty.wav", {});
    WriteFile(dir / "sounds/broken.wav", {'R', 'I', 'F', 'F', 9, 9});
    RegWriteString(IDS_REG_PREFERENCE, "SoundAnoDefault", (dir / "sounds").string());
    // A sound editor reading the folder now.
    pane.SoundEditor().OpenFolder((dir / "sounds").string());
    pane.SelectTab(APhotoImgPane::kTabAudio);
    pane.SetMarquee(CAreaMarquee(CRect(1, 1, 9, 9), CAreaMarquee::oval));
    for (const char* name : {"broken.wav", "empty.wav"}) {
        pane.SoundEditor().SelectByName((dir / "sounds" / name).string());
        boxes.clear();
        CAnoRecord record;
        EXPECT_FALSE(pane.BuildNewComment(record)) << name;
        EXPECT_TRUE(Said("This sound cannot become a comment")) << name;
    }
}

// A photograph with a square text comment, an oval sound comment recorded in
// the sound editor and an image comment chosen in the image editor, all made
// through the pane, saved as a message and read back equal.
TEST_F(ImgPaneTest, CommentsMadeInThePaneSaveAndReopenEqual)
{
    const std::vector<uint8_t> input = SampleRamp(15000);
    qrtest::AlsaTestDevice alsa(input);
    WriteFile(dir / "Harbour.jpg", JpegOf(320, 240));
    WriteFile(dir / "pictures/boat.jpg", JpegOf(64, 48));
    fs::create_directories(dir / "sounds");
    auto* tmpl = new CSingleDocTemplate(129, RUNTIME_CLASS(CAPhotoDoc), RUNTIME_CLASS(PaneTestFrame),
                                        RUNTIME_CLASS(PaneTestView));
    app.AddDocTemplate(tmpl);
    auto* doc = static_cast<CAPhotoDoc*>(tmpl->OpenDocumentFile({}));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->OpenByName((dir / "Harbour.jpg").string(), FALSE, TRUE));
    std::unique_ptr<CDibBitmap> photo = doc->GetContent().GetImage().CreateDib();
    pane.SetImage(photo.get(), TRUE);
    frame.onCommand = [&](UINT id) {
        CAnoRecord record;
        if (id == ID_ADDANOTATION && pane.BuildNewComment(record)) {
            built.push_back(record);
            doc->AddComment(std::make_unique<CAnoRecord>(record));
            std::vector<CAreaMarquee> areas;
            for (const CAnoRecord& r : built)
                areas.push_back(r.m_area);
            pane.SetMarquees(areas);
        }
    };

    // A square area and a text.
    pane.SetTool(ID_TOOL_SQUARE);
    DrawArea({20, 20}, {120, 90});
    pane.TextEditor().Edit().SetWindowText("The harbour at dawn");
    Add();

    // An oval area and a take recorded in the sound editor.
    pane.SelectTab(APhotoImgPane::kTabAudio);
    pane.SoundEditor().OpenFolder((dir / "sounds").string());
    CDialog::SetModalObserver([&](CDialog* d) {
        auto click = [d](int id) {
            QWidget* button = d->GetDlgItem(id)->m_hWnd;
            uitest::Click(button, button->rect().center());
        };
        click(IDC_REC_RECORD);
        ASSERT_TRUE(uitest::WaitFor([&] { return static_cast<CRecDlog*>(d)->GetTake().TotalSamples() >= input.size(); }));
        click(IDC_REC_STOP);
        click(IDOK);
    });
    pane.SoundEditor().Record();
    CDialog::SetModalObserver(nullptr);
    ASSERT_EQ(pane.SoundEditor().GetContent(), (dir / "sounds/New.wav").string());
    Screenshot("image_pane_audio.png");
    pane.SetTool(ID_TOOL_OVAL);
    DrawArea({150, 100}, {300, 220});
    Add();

    // A rounded area and a picture chosen in the image editor.
    pane.SelectTab(APhotoImgPane::kTabImage);
    pane.ImageEditor().OpenFolder((dir / "pictures").string());
    pane.ImageEditor().SelectByName((dir / "pictures/boat.jpg").string());
    pane.SetTool(ID_TOOL_ROUNDSQUARE);
    DrawArea({200, 10}, {310, 80});
    Screenshot("image_pane_image.png");
    Add();

    ASSERT_EQ(built.size(), 3u);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_EQ(built[0].m_nKind, CAnoRecord::text);
    EXPECT_EQ(built[0].m_area.m_nKind, CAreaMarquee::square);
    EXPECT_EQ(built[1].m_nKind, CAnoRecord::sound);
    EXPECT_EQ(built[1].m_area.m_nKind, CAreaMarquee::oval);
    EXPECT_EQ(built[2].m_nKind, CAnoRecord::image);
    EXPECT_EQ(built[2].m_area.m_nKind, CAreaMarquee::roundSquare);
    // The sound comment holds the take.
    CWave heard;
    ASSERT_TRUE(heard.ReadFromMemory(built[1].Data()));
    const std::vector<uint8_t> samples = SoundSamples(heard);
    ASSERT_GE(samples.size(), input.size());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), samples.begin()));

    // The three areas in red on the photograph.
    pane.SelectTab(APhotoImgPane::kTabText);
    Screenshot("image_pane.png");
    const QImage shot = uitest::Grab(View());
    for (const CAnoRecord& r : built) {
        const CRect client = pane.ImageCtrl().ImageRectToClient(r.m_area.m_rect);
        const QPoint top(client.CenterPoint().x, client.top);
        bool red = false;
        for (int dy = -1; dy <= 1 && !red; ++dy)
            red = shot.pixel(top.x(), top.y() + dy) == qRgb(255, 0, 0);
        EXPECT_TRUE(red) << r.m_area.m_nKind;
    }

    // Saved and reopened, the comments are the same.
    const std::string saved = (dir / "harbour.kvt").string();
    ASSERT_TRUE(doc->DoSave(saved));
    doc->OnNewDocument();
    ASSERT_TRUE(doc->OpenByName(saved, FALSE, TRUE));
    ASSERT_EQ(doc->GetContent().m_comments.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(CompareRecords(built[i], *doc->GetContent().m_comments[i].m_pRecord), "") << i;
    doc->SetModifiedFlag(FALSE);
    doc->OnCloseDocument();
}

TEST_F(ImgPaneTest, TheReadersPaneHasNoEditorsAndStillMarksAreas)
{
    APhotoImgPane reader(FALSE);
    ASSERT_TRUE(reader.Create(&host, 59649));
    reader.MoveWindow(CRect(0, 0, 300, 300));
    reader.Attach(&frame);
    reader.SetImage(picture.get(), TRUE);
    EXPECT_EQ(reader.GetCurrentEditor(), nullptr);
    EXPECT_EQ(reader.Tabs().m_hWnd, nullptr);
    reader.SetMarquee(CAreaMarquee(CRect(5, 5, 50, 50), CAreaMarquee::oval));
    EXPECT_FALSE(reader.CanDoCommand(ID_ADDANOTATION));
    EXPECT_TRUE(reader.CanDoCommand(ID_ZOOMTOMARQUEE));
    EXPECT_TRUE(reader.DoCommand(ID_ROTATE_CW));
    EXPECT_EQ(reader.GetMarquee().m_rect, CRect(190, 5, 235, 50));
    reader.DestroyWindow();
}

} // namespace
