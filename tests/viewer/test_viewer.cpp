#include "viewer/viewer_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>

#include <algorithm>
#include <ctime>
#include <fstream>

using namespace viewertest;

namespace {

TEST(ViewerZoom, StepsOfTheTable)
{
    struct Row {
        int64_t zoom;
        bool larger;
        int64_t expected;
    } rows[] = {{30000, true, 40000}, {30000, false, 20000}, {2600, false, 2500}, {2400, true, 2500},
                {40000, true, 40000}, {2500, false, 2500},   {50000, false, 40000}, {1000, true, 2500},
                {7500, true, 10000},  {10000, false, 7500}};
    for (const Row& r : rows)
        EXPECT_EQ(CViewerView::NextZoomStep(r.zoom, r.larger), r.expected) << r.zoom << (r.larger ? " up" : " down");
}

// Open a camera picture, zoom, turn, Save As PNG, open that again: the
// picture comes back turned, pixel for pixel.
TEST_F(ViewerTest, CameraPictureZoomedTurnedSavedAsPngAndReopened)
{
    const fs::path photo = dir / "Nikon Shot.jpg";
    fs::copy_file(qrtest::DataPath("camera_nikon_d70s.jpg"), photo);
    CViewerDoc* doc = Open(photo.string());
    ASSERT_NE(doc, nullptr) << (boxes.empty() ? "" : boxes[0]);
    ASSERT_NE(Frame(), nullptr);
    EXPECT_EQ(doc->GetFrame(), Frame());
    const CSize before(doc->GetPicture().GetWidth(), doc->GetPicture().GetHeight());
    CImageCtrl& ctrl = View()->GetImageCtrl();
    ASSERT_NE(ctrl.GetImage(), nullptr);

    // The fixed zooms, the table's steps and fit, through the frame's commands.
    Command(ID_VIEWER_ACTUAL_SIZE);
    EXPECT_EQ(ctrl.GetZoom(), 10000);
    Command(ID_VIEWER_ENLARGE);
    EXPECT_EQ(ctrl.GetZoom(), 20000);
    Command(ID_VIEWER_ZOOM_75);
    EXPECT_EQ(ctrl.GetZoom(), 7500);
    Command(ID_VIEWER_REDUCE);
    EXPECT_EQ(ctrl.GetZoom(), 5000);
    Command(ID_VIEWER_FIT);
    EXPECT_EQ(ctrl.GetZoom(), ctrl.CalcFitZoom());

    // The picture's own information in the status bar: its Exif date.
    const std::string info = View()->GetInfoText();
    EXPECT_EQ(info.rfind("Nikon Shot.jpg 2099/08/12 ", 0), 0u) << info;
    EXPECT_NE(info.find(std::to_string(before.cx) + "x" + std::to_string(before.cy)), std::string::npos) << info;
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->GetStatusBar().GetPaneText(0), info);

    Command(ID_VIEWER_ROTATE_CW);
    EXPECT_EQ(View()->GetRotation(), 90);
    EXPECT_TRUE(doc->IsModified()); // a JPEG can be written again
    CImageBuffer turned;
    ASSERT_TRUE(View()->GetSaveImage(turned));
    EXPECT_EQ(turned.GetWidth(), before.cy);

    const fs::path png = dir / "turned.png";
    SetViewerSaveAsAnswer([&](std::string& path, int& quality) {
        path = png.string();
        return TRUE;
    });
    Command(ID_VIEWER_SAVE_AS);
    ASSERT_TRUE(fs::exists(png));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), png.string());

    CViewerDoc* again = Open(png.string());
    ASSERT_EQ(again, doc); // one document, one frame
    EXPECT_EQ(doc->GetPicture().GetWidth(), before.cy);
    EXPECT_EQ(doc->GetPicture().GetHeight(), before.cx);
    EXPECT_EQ(Samples(doc->GetPicture()), Samples(turned));
    EXPECT_EQ(View()->GetRotation(), 0);
    EXPECT_TRUE(boxes.empty()) << boxes[0];
}

TEST_F(ViewerTest, FrameShowsMenuToolbarPictureAndStatusBar)
{
    const std::string path = MakeJpeg(dir / "harbour.jpg", 320, 200);
    ASSERT_NE(Open(path), nullptr);
    CViewerMainFrame* f = Frame();
    ASSERT_NE(f, nullptr);
    f->MoveWindow(0, 0, 640, 480);
    QApplication::processEvents();
    f->UpdateCommandUI();
    EXPECT_EQ(f->GetToolBar().GetCount(), 12);
    EXPECT_EQ(f->GetToolBar().GetButton(11).id, UINT(ID_VIEWER_ROTATE_CW));
    EXPECT_EQ(f->GetMenuBar().GetItems().size(), 3u);
    EXPECT_TRUE(f->GetStatusBar().IsWindowVisible());
    EXPECT_NE(f->GetStatusBar().GetPaneText(0).find("harbour.jpg 20"), std::string::npos);
    const QImage shot = uitest::Grab(f->m_hWnd);
    fs::create_directories(kScreenshots);
    ASSERT_TRUE(shot.save(QString::fromStdString(kScreenshots + "/viewer_frame.png")));
    // The picture fills the middle: red on the left, blue on the right.
    CRect view;
    View()->GetWindowRect(&view);
    const QPoint centre = f->m_hWnd->mapFromGlobal(QPoint(view.CenterPoint().x, view.CenterPoint().y));
    const QColor left = shot.pixelColor(centre.x() - 40, centre.y());
    const QColor right = shot.pixelColor(centre.x() + 40, centre.y());
    EXPECT_GT(left.red(), 150);
    EXPECT_GT(right.blue(), 150);
}

// What the window shows now: the pixels it last put on the screen, not a
// fresh paint, so that a turn the control never repaints shows as such.
QImage OnScreen(QWidget* top)
{
    QApplication::processEvents();
    return top->screen()->grabWindow(top->winId()).toImage();
}

TEST_F(ViewerTest, AQuarterTurnShowsTheTurnedPictureAndItsSizeAtOnce)
{
    // At its own size the picture fits the view either way round: no scroll
    // bar comes or goes that would repaint it anyway.
    ASSERT_NE(Open(MakeJpeg(dir / "wide.jpg", 240, 160)), nullptr);
    CViewerMainFrame* f = Frame();
    f->MoveWindow(0, 0, 640, 480);
    f->ShowWindow(SW_SHOW);
    Command(ID_VIEWER_ACTUAL_SIZE);
    f->UpdateCommandUI();
    EXPECT_NE(f->GetStatusBar().GetPaneText(0).find(" 240x160"), std::string::npos);
    CRect view;
    View()->GetWindowRect(&view);
    const QPoint c = f->m_hWnd->mapFromGlobal(QPoint(view.CenterPoint().x, view.CenterPoint().y));
    // Red is the left half, blue the right: below the middle, left of it, is red.
    const QPoint above(c.x() - 10, c.y() - 40), below(c.x() - 10, c.y() + 40);
    auto red = [](const QImage& img, QPoint p) { return img.pixelColor(p).red() > 150 && img.pixelColor(p).blue() < 100; };
    auto blue = [](const QImage& img, QPoint p) { return img.pixelColor(p).blue() > 150 && img.pixelColor(p).red() < 100; };
    ASSERT_TRUE(uitest::WaitFor([&] {
        const QImage shown = OnScreen(f->m_hWnd);
        return red(shown, above) && red(shown, below);
    }));

    // The toolbar's clockwise turn: the left half goes up.
    Command(ID_VIEWER_ROTATE_CW);
    EXPECT_TRUE(uitest::WaitFor([&] {
        const QImage shown = OnScreen(f->m_hWnd);
        return red(shown, above) && blue(shown, below);
    }));
    fs::create_directories(kScreenshots);
    OnScreen(f->m_hWnd).save(QString::fromStdString(kScreenshots + "/viewer_turned.png"));
    f->UpdateCommandUI();
    EXPECT_NE(f->GetStatusBar().GetPaneText(0).find(" 160x240"), std::string::npos)
        << f->GetStatusBar().GetPaneText(0);
    EXPECT_EQ(View()->GetImageCtrl().GetImage()->GetSize(), CSize(160, 240));

    // Back the other way.
    Command(ID_VIEWER_ROTATE_CCW);
    EXPECT_TRUE(uitest::WaitFor([&] {
        const QImage shown = OnScreen(f->m_hWnd);
        return red(shown, above) && red(shown, below);
    }));
    f->UpdateCommandUI();
    EXPECT_NE(f->GetStatusBar().GetPaneText(0).find(" 240x160"), std::string::npos);
}

TEST_F(ViewerTest, FourQuarterTurnsGiveThePictureBackAndLeaveItModified)
{
    ASSERT_NE(Open(MakeJpeg(dir / "a.jpg", 40, 24)), nullptr);
    CImageBuffer original;
    ASSERT_TRUE(View()->GetSaveImage(original));
    EXPECT_FALSE(Doc()->IsModified());
    for (UINT id : {ID_VIEWER_ROTATE_CW, ID_VIEWER_ROTATE_CW, ID_VIEWER_ROTATE_CCW, ID_VIEWER_ROTATE_CCW})
        Command(id);
    EXPECT_EQ(View()->GetRotation(), 0);
    for (int i = 0; i < 4; ++i)
        View()->Rotate(90);
    EXPECT_EQ(View()->GetRotation(), 0);
    CImageBuffer back;
    ASSERT_TRUE(View()->GetSaveImage(back));
    EXPECT_EQ(Samples(back), Samples(original));
    EXPECT_TRUE(Doc()->IsModified());
    // Turned once the picture is taller than wide, and so is the control's.
    View()->Rotate(270);
    EXPECT_EQ(View()->GetImageCtrl().GetImage()->GetSize(), CSize(24, 40));
    EXPECT_EQ(View()->GetRotatedSize(), CSize(24, 40));
}

TEST_F(ViewerTest, SaveOverTheOpenFileAsksFirstAndWritesTheTurnedPicture)
{
    const std::string path = MakeJpeg(dir / "over.jpg", 40, 24);
    ASSERT_NE(Open(path), nullptr);
    Command(ID_VIEWER_ROTATE_CW);
    const auto bytes = qrtest::ReadBytes(path);
    answers = {IDCANCEL};
    EXPECT_FALSE(Doc()->DoFileSave());
    EXPECT_EQ(boxes.back(), "File already exists. Replace?");
    EXPECT_EQ(qrtest::ReadBytes(path), bytes);
    EXPECT_TRUE(Doc()->IsModified());
    answers = {IDOK};
    EXPECT_TRUE(Doc()->DoFileSave());
    EXPECT_FALSE(Doc()->IsModified());
    CImageBuffer reread;
    ASSERT_TRUE(CImageImporter(GetImporterSearchPath()).TryDecodeToBuffer(path, reread, nullptr, -1));
    EXPECT_EQ(reread.GetWidth(), 24);
    EXPECT_EQ(reread.GetHeight(), 40);
}

// A picture of 16-bit samples is written from the buffer at its own depth,
// not through an 8-bit bitmap.
TEST_F(ViewerTest, TurnedSixteenBitPictureStaysSixteenBit)
{
    ASSERT_NE(tmpl->OpenDocumentFile(std::string()), nullptr);
    CImageBuffer deep;
    ASSERT_TRUE(deep.Create(CImageBuffer::kHeap, CSize(20, 10), PixelType::Rgb48));
    ASSERT_TRUE(deep.Fill(0x80));
    ASSERT_NE(tmpl->OpenImage("deep", &deep, nullptr, nullptr, 0), nullptr);
    View()->Rotate(90);
    CImageBuffer out;
    ASSERT_TRUE(View()->GetSaveImage(out));
    EXPECT_EQ(out.GetPixelType(), PixelType::Rgb48);
    EXPECT_EQ(out.GetBitsPerSample(), 16);
    EXPECT_EQ(out.GetWidth(), 10);
    EXPECT_EQ(out.GetHeight(), 20);
}

TEST_F(ViewerTest, FailedOpenKeepsThePictureThatWasShown)
{
    const std::string good = MakeJpeg(dir / "good.jpg", 40, 24);
    ASSERT_NE(Open(good), nullptr);
    CImageBuffer shown;
    ASSERT_TRUE(View()->GetSaveImage(shown));
    std::ofstream(dir / "damaged.jpg") << "not a picture";
    std::ofstream(dir / "notes.txt") << "text";
    struct Row {
        std::string path;
        const char* message;
    } rows[] = {
        {(dir / "damaged.jpg").string(), "Invalid file type."},
        {(dir / "notes.txt").string(), "Invalid file type."},
        {(dir / "missing.jpg").string(), "Failed to open document."},
        {MakeJpeg(dir / "tiny.jpg", 7, 8), "Image size outside range."},
        {MakeJpeg(dir / "wide.jpg", 3841, 100), "Image size outside range."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        boxes.clear();
        EXPECT_EQ(Open(r.path), nullptr);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].substr(0, boxes[0].find('\n')), r.message);
        ASSERT_NE(Doc(), nullptr);
        EXPECT_EQ(Doc()->GetPathName(), good);
        EXPECT_EQ(Samples(Doc()->GetPicture()), Samples(shown));
        EXPECT_NE(View()->GetImageCtrl().GetImage(), nullptr);
    }
    // The smallest picture there is opens.
    boxes.clear();
    EXPECT_NE(Open(MakeJpeg(dir / "small.jpg", 8, 8)), nullptr);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ViewerTest, SecondFileWhileTurnedAsksToSaveFirst)
{
    ASSERT_NE(Open(MakeJpeg(dir / "first.jpg", 40, 24)), nullptr);
    Command(ID_VIEWER_ROTATE_CW);
    answers = {IDCANCEL};
    EXPECT_EQ(Open(MakeJpeg(dir / "second.jpg", 30, 20)), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("first.jpg"), std::string::npos) << boxes[0];
    EXPECT_EQ(Doc()->GetPathName(), (dir / "first.jpg").string());
}

TEST_F(ViewerTest, OnlyExtensionsOfTheImportersAreTheViewers)
{
    CDocument* match = nullptr;
    EXPECT_EQ(tmpl->MatchDocType("/x/photo.JPG", match), CDocTemplate::yesAttemptNative);
    EXPECT_EQ(tmpl->MatchDocType("/x/photo.png", match), CDocTemplate::yesAttemptNative);
    EXPECT_EQ(tmpl->MatchDocType("/x/notes.xyz", match), CDocTemplate::noAttempt);
    EXPECT_EQ(tmpl->MatchDocType("/x/noextension", match), CDocTemplate::noAttempt);
    EXPECT_EQ(tmpl->MatchDocType("/x/message.kvt", match), CDocTemplate::noAttempt);
}

TEST_F(ViewerTest, DroppedFilesOpenOnlyWhenExactlyOneIsAPicture)
{
    const std::string a = MakeJpeg(dir / "a.jpg", 40, 24);
    const std::string b = MakeJpeg(dir / "b.jpg", 30, 20);
    std::ofstream(dir / "t.txt") << "text";
    const std::string text = (dir / "t.txt").string();
    ASSERT_NE(Open(a), nullptr);
    EXPECT_FALSE(View()->OpenDroppedFiles({a, b}));
    EXPECT_FALSE(View()->OpenDroppedFiles({text}));
    EXPECT_EQ(Doc()->GetPathName(), a);
    // Through the control, as a file manager drops it.
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(b))});
    COleDataObject data(&drop);
    CImageCtrl& ctrl = View()->GetImageCtrl();
    ASSERT_TRUE(ctrl.DoDrop(&data, DROPEFFECT_COPY, CPoint(10, 10)));
    ASSERT_TRUE(uitest::WaitFor([&] { return Doc() && Doc()->GetPathName() == b; }));
}

TEST_F(ViewerTest, CopyOfASlantedAreaIsItsBoundingBoxWithWhiteCorners)
{
    ASSERT_NE(Open(MakeJpeg(dir / "red.jpg", 40, 40)), nullptr);
    CImageCtrl& ctrl = View()->GetImageCtrl();
    Frame()->UpdateCommandUI();
    // A diamond inside the red half.
    ctrl.SetFreeFormQuads(TRUE);
    ASSERT_TRUE(ctrl.SetSelection(CImageQuad(POINT{10, 2}, POINT{18, 10}, POINT{2, 10}, POINT{10, 18}), FALSE));
    CDibBitmap copy;
    ASSERT_TRUE(View()->GetSelectionBitmap(copy));
    EXPECT_EQ(copy.GetSize(), CSize(16, 16));
    EXPECT_EQ(copy.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(copy.GetPixel(15, 15), RGB(255, 255, 255));
    const COLORREF centre = copy.GetPixel(8, 8);
    EXPECT_GT(GetRValue(centre), 150);
    EXPECT_LT(GetBValue(centre), 100);
    // Copy puts it on the clipboard as a picture too.
    QApplication::clipboard()->clear();
    Command(ID_EDIT_COPY);
    const QImage pasted = QApplication::clipboard()->image();
    EXPECT_EQ(pasted.size(), QSize(16, 16));
    // Select All covers the picture.
    Command(ID_VIEWER_SELECT_ALL);
    EXPECT_EQ(ctrl.GetCurrentArea().GetBoundingRect().Width(), 40);
}

TEST_F(ViewerTest, HandedOverPicturesShowTheDisplayVersionAndSaveThePicture)
{
    CImageBuffer picture, display;
    ASSERT_TRUE(picture.Create(CImageBuffer::kHeap, CSize(30, 20), PixelType::Bgr24));
    ASSERT_TRUE(picture.Fill(0));
    ASSERT_TRUE(display.Create(CImageBuffer::kHeap, CSize(30, 20), PixelType::Bgr24));
    ASSERT_TRUE(display.Fill(255));
    const int64_t when = 1262304000; // 2010-01-01 UTC
    CViewerDoc* doc = tmpl->OpenImage("Comment picture", &picture, &display, nullptr, when);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(picture.IsValid()); // taken over
    EXPECT_EQ(doc->GetTitle(), "Comment picture");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(View()->GetImageCtrl().GetImage()->GetPixel(5, 5), RGB(255, 255, 255));
    CImageBuffer saved;
    ASSERT_TRUE(View()->GetSaveImage(saved));
    EXPECT_EQ(Samples(saved).front(), RGB(0, 0, 0));
    // Without a file there is nothing to save over.
    EXPECT_FALSE(View()->CanSaveFileType());
    // Too small a picture is refused before anything opens.
    CImageBuffer tiny;
    ASSERT_TRUE(tiny.Create(CImageBuffer::kHeap, CSize(7, 20), PixelType::Bgr24));
    EXPECT_EQ(tmpl->OpenImage("tiny", &tiny, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(boxes.back(), "Image size outside range.");
    EXPECT_EQ(doc->GetTitle(), "Comment picture");
}

TEST_F(ViewerTest, HiddenToolbarStaysHiddenWhenTheViewerOpensAgain)
{
    const std::string path = MakeJpeg(dir / "bars.jpg", 40, 24);
    ASSERT_NE(Open(path), nullptr);
    EXPECT_TRUE(Frame()->IsToolBarShown());
    Command(ID_VIEWER_TOOLBAR);
    EXPECT_FALSE(Frame()->GetToolBar().IsWindowVisible());
    Frame()->MoveWindow(30, 40, 500, 300);
    Doc()->OnCloseDocument();
    EXPECT_EQ(tmpl->GetFrame(), nullptr);
    ASSERT_NE(Open(path), nullptr);
    EXPECT_FALSE(Frame()->IsToolBarShown());
    EXPECT_FALSE(Frame()->GetToolBar().IsWindowVisible());
    EXPECT_TRUE(Frame()->GetStatusBar().IsWindowVisible());
    const QSize kept = Frame()->m_hWnd->size();
    Doc()->OnCloseDocument();
    ASSERT_NE(Open(path), nullptr);
    EXPECT_EQ(Frame()->m_hWnd->size(), kept);
    Command(ID_VIEWER_TOOLBAR);
}

TEST_F(ViewerTest, KeysOfTheViewerReachItsCommands)
{
    ASSERT_NE(Open(MakeJpeg(dir / "keys.jpg", 40, 24)), nullptr);
    QWidget* target = View()->GetImageCtrl().Viewport();
    QKeyEvent rotate(QEvent::KeyPress, Qt::Key_R, Qt::ControlModifier);
    QApplication::sendEvent(target, &rotate);
    EXPECT_EQ(View()->GetRotation(), 90);
    Command(ID_VIEWER_ACTUAL_SIZE);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
    QApplication::sendEvent(target, &up);
    EXPECT_EQ(View()->GetImageCtrl().GetZoom(), 20000);
}

TEST(ViewerPictureTime, ExifDateOrFileTime)
{
    qrtest::TempDir dir;
    const fs::path photo = dir / "camera.jpg";
    fs::copy_file(qrtest::DataPath("camera_nikon_d70s.jpg"), photo);
    const int64_t t = CViewerView::PictureTimeFromFile(photo.string());
    const time_t tt = time_t(t);
    std::tm local{};
    ASSERT_NE(localtime_r(&tt, &local), nullptr);
    // The camera's date (the fixture's is 2099:08:12 19:59:29), not the file's time.
    EXPECT_EQ(local.tm_year + 1900, 2099);
    EXPECT_EQ(local.tm_mon + 1, 8);
    EXPECT_EQ(local.tm_mday, 12);
    EXPECT_EQ(local.tm_hour, 19);
    std::ofstream(dir / "plain.bmp") << "x";
    EXPECT_GT(CViewerView::PictureTimeFromFile((dir / "plain.bmp").string()), 1600000000);
    EXPECT_EQ(CViewerView::PictureTimeFromFile((dir / "missing.jpg").string()), -1);
}


// A camera date of zeros says nothing: the picture is shown as taken on
// 2003/01/01; a date out of range is no date either, never a wrong time.
TEST(ViewerPictureTime, ZeroAndOutOfRangeExifDatesShowTheFixedDay)
{
    qrtest::TempDir dir;
    const auto original = qrtest::ReadBytes(qrtest::DataPath("camera_nikon_d70s.jpg"));
    const std::string stored = "2099:08:12 19:59:29";
    for (const std::string date : {"0000:00:00 00:00:00", "2099:13:45 99:99:99"}) {
        SCOPED_TRACE(date);
        auto bytes = original;
        auto at = std::search(bytes.begin(), bytes.end(), stored.begin(), stored.end());
        ASSERT_NE(at, bytes.end());
        for (; at != bytes.end(); at = std::search(at, bytes.end(), stored.begin(), stored.end()))
            std::copy(date.begin(), date.end(), at);
        const fs::path photo = dir / "zero.jpg";
        qrtest::WriteBytes(photo, bytes);
        const time_t t = time_t(CViewerView::PictureTimeFromFile(photo.string()));
        std::tm local{};
        ASSERT_NE(localtime_r(&t, &local), nullptr);
        EXPECT_EQ(local.tm_year + 1900, 2003);
        EXPECT_EQ(local.tm_mon, 0);
        EXPECT_EQ(local.tm_mday, 1);
        EXPECT_EQ(local.tm_hour, 0);
    }
}

TEST_F(ViewerTest, RightButtonMenuAndClosingTheWindow)
{
    ASSERT_NE(Open(MakeJpeg(dir / "menu.jpg", 40, 24)), nullptr);
    Command(ID_VIEWER_ACTUAL_SIZE);
    static std::vector<UINT> offered;
    offered.clear();
    CMenu::SetChooser([](CMenu* menu) -> UINT {
        for (const CMenu::Item& item : menu->Items())
            offered.push_back(item.id);
        return UINT(ID_VIEWER_ENLARGE);
    });
    NMHDR hdr{};
    hdr.code = ICN_RBUTTONDOWN;
    hdr.idFrom = IDC_VIEWER_IMAGE;
    hdr.hwndFrom = View()->GetImageCtrl().m_hWnd;
    View()->SendMessage(WM_NOTIFY, WPARAM(hdr.hwndFrom), LPARAM(&hdr));
    CMenu::SetChooser(nullptr);
    QApplication::processEvents();
    EXPECT_EQ(offered, (std::vector<UINT>{ID_FILE_CLOSE, ID_EDIT_COPY, ID_VIEWER_ENLARGE, ID_VIEWER_REDUCE, ID_VIEWER_FIT}));
    EXPECT_EQ(View()->GetImageCtrl().GetZoom(), 20000);
    // Closing the window takes the view, the control and the document with
    // it, and nothing keeps the window afterwards.
    Frame()->SendMessage(WM_CLOSE, 0, 0);
    QApplication::processEvents();
    EXPECT_EQ(tmpl->GetOnlyDocument(), nullptr);
    EXPECT_EQ(tmpl->GetFrame(), nullptr);
}


// The reader's build reads the file straight through the importers and offers no saving.
TEST_F(ViewerTest, ReaderBuildDecodesDirectlyAndCannotSave)
{
    auto* reader = new CViewerDocTemplate(0, TRUE);
    app.AddDocTemplate(reader);
    auto* doc = dynamic_cast<CViewerDoc*>(reader->OpenDocumentFile(MakeJpeg(dir / "read.jpg", 40, 24)));
    ASSERT_NE(doc, nullptr);
    CViewerView* view = doc->GetViewerView();
    ASSERT_TRUE(doc->GetPicture().IsValid());
    view->Rotate(90);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(view->CanSaveFileType());
    EXPECT_FALSE(doc->DoFileSave());
    CCmdUI state;
    state.m_nID = ID_VIEWER_SAVE_AS;
    state.DoUpdate(view, TRUE);
    EXPECT_FALSE(state.m_bEnabled);
    doc->OnCloseDocument();
    EXPECT_EQ(reader->GetFrame(), nullptr);
}


TEST_F(ViewerTest, WithoutAStoredPlaceOnTheDisplayTheViewerOpensAt640By480)
{
    const std::string path = MakeJpeg(dir / "place.jpg", 40, 24);
    struct Case {
        const char* what;
        RECT stored;
        bool taken;
        QSize expected;
    } cases[] = {
        {"nothing stored", {}, false, QSize(640, 480)}, // closing stores its place from here on
        {"wholly off the display", {-9000, -9000, -8700, -8800}, false, QSize(640, 480)},
        {"on the display", {20, 30, 520, 430}, true, QSize(500, 400)},
    };
    for (const Case& c : cases) {
        if (c.stored.right > c.stored.left)
            RegWriteRectAt("Preference", "ViewerFrame", c.stored);
        ASSERT_NE(Open(path), nullptr) << c.what;
        // A new window is 640 x 480 with its hidden caption band; a stored place is what shows.
        CRect window;
        Frame()->GetWindowRect(&window);
        const QSize size = c.taken ? Frame()->m_hWnd->size() : QSize(window.Width(), window.Height());
        EXPECT_EQ(size, c.expected) << c.what;
        Doc()->OnCloseDocument();
    }
}

} // namespace
