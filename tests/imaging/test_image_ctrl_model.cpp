#include "imaging/image_ctrl_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records what the model tells its window.
struct Recorder : CImageCtrlModel::Host {
    std::vector<int> codes;
    std::vector<CImageQuad> areas; // the area of each 1006 and 1007
    std::vector<POINT> points;     // the point of each 1008 and 1009
    ImageCursor cursor = ImageCursor::Unchanged;
    int scrolledX = 0, scrolledY = 0;
    void Notify(int code, LPARAM param) override
    {
        codes.push_back(code);
        if (code == ICN_AREACHANGING || code == ICN_AREACHANGED)
            areas.push_back(*reinterpret_cast<const CImageQuad*>(param));
        if (code == ICN_MOUSEENTER || code == ICN_MOUSEMOVE)
            points.push_back(*reinterpret_cast<const POINT*>(param));
    }
    void SetCursor(ImageCursor c) override { cursor = c; }
    void ScrollContents(int dx, int dy) override
    {
        scrolledX += dx;
        scrolledY += dy;
    }
};

// A model showing a picture of the given size in a window of the given size.
struct Fixture {
    Recorder host;
    CImageCtrlModel model{&host};
    Fixture(CSize picture, int width, int height)
    {
        model.SetPictureSize(picture);
        model.SetWindowSize(width, height);
        host.codes.clear();
    }
};

CRect RectOf(const CImageQuad& q) { return q.GetRect(); }

} // namespace

TEST(ImageCtrlModel, FitZoomOfPicturesAndRectangles)
{
    struct Row {
        CSize picture;
        int width, height;
        CRect rect; // empty: the whole picture
        int64_t zoom;
    } rows[] = {
        {CSize(1, 1), 200, 100, CRect(), 1000000}, // 10000 x 100: not limited by the maximum zoom
        {CSize(400, 200), 200, 100, CRect(), 5000},
        {CSize(400, 200), 200, 100, CRect(10, 10, 10, 50), 1}, // no width
        {CSize(400, 200), 200, 100, CRect(0, 0, 20, 10), 100000},
        {CSize(), 200, 100, CRect(), 10000}, // no picture
    };
    for (const Row& r : rows) {
        Fixture f(r.picture, r.width, r.height);
        const int64_t zoom = r.rect.IsRectNull() ? f.model.CalcFitZoom() : f.model.CalcZoomToFitRect(r.rect);
        EXPECT_EQ(zoom, r.zoom) << r.picture.cx << "x" << r.picture.cy << " rect " << r.rect.Width();
    }
}

TEST(ImageCtrlModel, ZoomIsClampedAtAPointAndRefusedBelowOne)
{
    Fixture f(CSize(400, 300), 200, 200);
    f.model.SetZoomMode(1, TRUE);
    f.model.ZoomAt(5, 10, 10);
    EXPECT_EQ(f.model.GetZoom(), 10);
    ASSERT_TRUE(f.model.SetZoom(5));
    EXPECT_EQ(f.model.GetZoom(), 5);
    // Zero or negative zooms would divide by zero later: they are refused.
    EXPECT_FALSE(f.model.SetZoom(0));
    EXPECT_FALSE(f.model.SetZoom(-2500, TRUE));
    EXPECT_EQ(f.model.GetZoom(), 5);
    EXPECT_FALSE(f.model.SetZoomLimits(0, 100));
    EXPECT_FALSE(f.model.SetZoomLimits(500, 100));
}

TEST(ImageCtrlModel, ScrollRangesWithAndWithoutOverscroll)
{
    struct Row {
        bool bars, overscroll;
        CSize picture;
        bool hScrolls, vScrolls, hBar, vBar;
    } rows[] = {
        {true, false, CSize(1000, 500), true, true, true, true},
        {true, false, CSize(1000, 100), true, false, true, false},
        {false, false, CSize(1000, 500), true, true, false, false}, // own ranges, no bars
        {true, true, CSize(1000, 500), true, true, true, true},
        {true, true, CSize(300, 200), false, false, false, false},  // fits: centred, no scrolling
    };
    for (const Row& r : rows) {
        Fixture f(r.picture, 400, 300);
        f.model.SetScrollBarExtents(16, 16);
        f.model.SetZoomMode(1, r.bars);
        f.model.SetOverscroll(r.overscroll);
        f.model.SetZoom(10000);
        const auto& h = f.model.GetAxis(false);
        const auto& v = f.model.GetAxis(true);
        const CRect client = f.model.GetClientRect();
        SCOPED_TRACE(testing::Message() << "bars " << r.bars << " overscroll " << r.overscroll << " picture "
                                        << r.picture.cx << "x" << r.picture.cy);
        EXPECT_EQ(h.scrolls, r.hScrolls);
        EXPECT_EQ(v.scrolls, r.vScrolls);
        if (!r.overscroll) {
            EXPECT_EQ(h.barShown, r.hBar);
            EXPECT_EQ(v.barShown, r.vBar);
        }
        EXPECT_EQ(client.Width(), 400 - (v.barShown ? 16 : 0));
        EXPECT_EQ(client.Height(), 300 - (h.barShown ? 16 : 0));
        if (!r.hScrolls) {
            // Centred in the window.
            const CRect pic = f.model.GetImageClientRect();
            EXPECT_EQ(pic.left, (client.Width() - r.picture.cx) / 2);
            EXPECT_FALSE(f.model.Scroll(false, kScrollLineDown));
            continue;
        }
        if (r.overscroll) {
            // The picture's left edge reaches the middle at one end, its right edge at the other.
            EXPECT_EQ(f.model.GetOverscrollMargins().cx, client.Width() / 2);
            f.model.Scroll(false, kScrollTop);
            EXPECT_EQ(f.model.GetImageClientRect().left, client.Width() - client.Width() / 2);
            f.model.Scroll(false, kScrollBottom);
            EXPECT_EQ(f.model.GetImageClientRect().right, client.Width() / 2);
        } else {
            EXPECT_EQ(h.minPos, 0);
            EXPECT_EQ(h.maxPos, r.picture.cx - client.Width());
            f.model.Scroll(false, kScrollBottom);
            EXPECT_EQ(f.model.GetImageClientRect().right, client.Width()); // flush with the far edge
            f.host.codes.clear();
            f.host.scrolledX = 0;
            EXPECT_TRUE(f.model.Scroll(false, kScrollLineUp));
            EXPECT_EQ(h.pos, h.maxPos - 8);
            EXPECT_EQ(f.host.codes, std::vector<int>{ICN_HSCROLL});
            EXPECT_EQ(f.host.scrolledX, 8);
        }
    }
}

TEST(ImageCtrlModel, ResizeBelowFivePixelsChangesNothing)
{
    Fixture f(CSize(400, 300), 200, 150);
    const CRect before = f.model.GetImageClientRect();
    f.model.SetWindowSize(4, 300);
    f.model.SetWindowSize(300, 3);
    EXPECT_EQ(f.model.GetImageClientRect(), before);
    EXPECT_EQ(f.model.GetClientRect(), CRect(0, 0, 200, 150));
}

TEST(ImageCtrlModel, MappingBetweenClientAndImage)
{
    Fixture f(CSize(400, 200), 200, 200); // fitted at 50 %, centred vertically
    EXPECT_EQ(f.model.GetImageClientRect(), CRect(0, 50, 200, 150));
    POINT p;
    EXPECT_TRUE(f.model.ClientToImage(100, 100, &p));
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 100);
    EXPECT_FALSE(f.model.ClientToImage(100, 20, &p)); // above the picture: clamped, not inside
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(f.model.ImageToClient(POINT{200, 100}), CPoint(100, 100));
    EXPECT_EQ(f.model.GetVisibleRect(), CRect(0, 0, 400, 200));
    CImageCtrlModel empty;
    EXPECT_FALSE(empty.ClientToImage(1, 1, &p));
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, -1);
}

TEST(ImageCtrlModel, DrawingNewAreas)
{
    // A 100 x 100 picture shown at 100 % in a 100 x 100 window.
    struct Row {
        POINT from, to;
        UINT keys;
        CRect area;
    } rows[] = {
        {{10, 10}, {50, 20}, kKeyShift, CRect(10, 10, 20, 20)}, // the square key keeps it square
        {{10, 10}, {50, 20}, 0, CRect(10, 10, 50, 20)},
        {{40, 10}, {40, 60}, 0, CRect(39, 10, 40, 60)},         // only vertically: one pixel wide, right side at the press
        {{40, 60}, {20, 10}, 0, CRect(20, 10, 40, 60)},         // drawn backwards
        {{90, 90}, {150, 150}, 0, CRect(90, 90, 100, 100)},     // the cursor leaves: clamped to the picture
    };
    for (const Row& r : rows) {
        Fixture f(CSize(100, 100), 100, 100);
        f.model.SetMode(kImageModeArea);
        f.model.OnLButtonDown(r.from, r.keys);
        ASSERT_TRUE(f.model.IsCreating());
        f.model.OnMouseMove(r.to, r.keys);
        f.model.OnLButtonUp(r.to, r.keys);
        EXPECT_EQ(RectOf(f.model.GetCurrentArea()), r.area) << r.to.x << "," << r.to.y;
        EXPECT_EQ(f.host.codes, (std::vector<int>{ICN_LBUTTONDOWN, ICN_AREACHANGING, ICN_AREACHANGED}));
    }
}

TEST(ImageCtrlModel, ResizingByCornersAndEdges)
{
    struct Row {
        POINT press, to;
        UINT keys;
        CRect area;
    } rows[] = {
        {{60, 60}, {70, 80}, 0, CRect(20, 20, 70, 80)},         // bottom-right corner
        {{20, 20}, {10, 15}, 0, CRect(10, 15, 60, 60)},         // top-left corner
        {{20, 40}, {70, 40}, 0, CRect(59, 20, 60, 60)},         // the left edge stops a minimum short of the right
        {{40, 60}, {40, 90}, 0, CRect(20, 20, 60, 90)},         // bottom edge
        {{60, 60}, {90, 70}, kKeyShift, CRect(20, 20, 70, 70)}, // corner, squared: wider, so the right side gives
    };
    for (const Row& r : rows) {
        Fixture f(CSize(100, 100), 100, 100);
        f.model.SetMode(kImageModeArea);
        ASSERT_TRUE(f.model.AddArea(CImageQuad(CRect(20, 20, 60, 60)), FALSE));
        f.model.OnLButtonDown(r.press, r.keys);
        ASSERT_TRUE(f.model.IsResizing()) << r.press.x << "," << r.press.y;
        f.model.OnMouseMove(r.to, r.keys);
        f.model.OnLButtonUp(r.to, r.keys);
        EXPECT_EQ(RectOf(f.model.GetCurrentArea()), r.area) << r.press.x << "," << r.press.y;
    }
}

TEST(ImageCtrlModel, MovedAreaStopsFlushWithThePictureEdge)
{
    Fixture f(CSize(100, 100), 100, 100);
    f.model.SetMode(kImageModeArea);
    f.model.AddArea(CImageQuad(CRect(10, 10, 30, 30)), FALSE);
    f.model.OnLButtonDown(POINT{20, 20}, 0);
    ASSERT_TRUE(f.model.IsMoving());
    const int steps[] = {60, 85, 95, 99};
    for (int x : steps)
        f.model.OnMouseMove(POINT{x, 20}, 0);
    EXPECT_EQ(RectOf(f.model.GetCurrentArea()), CRect(80, 10, 100, 30));
    // Every step that reached a new image point reported, the stopped ones too.
    ASSERT_EQ(f.host.areas.size(), 4u);
    EXPECT_EQ(RectOf(f.host.areas[1]), CRect(75, 10, 95, 30));
    EXPECT_EQ(RectOf(f.host.areas[3]), CRect(80, 10, 100, 30));
    f.model.OnLButtonUp(POINT{99, 20}, 0);
    EXPECT_EQ(f.host.codes.back(), ICN_AREACHANGED);
}

TEST(ImageCtrlModel, QuarterTurnsKeepCornerZeroTopLeft)
{
    // A 200 x 100 picture; each turn gives the area its place on the turned picture.
    struct Row {
        int degrees;
        CRect area;
    } rows[] = {
        {90, CRect(60, 10, 80, 50)},
        {180, CRect(150, 60, 190, 80)},
        {270, CRect(20, 150, 40, 190)},
        {-90, CRect(20, 150, 40, 190)},
    };
    for (const Row& r : rows) {
        Fixture f(CSize(200, 100), 200, 200);
        f.model.AddArea(CImageQuad(CRect(10, 20, 50, 40)), FALSE);
        const CSize before = f.model.GetPictureSize();
        f.model.SetPictureSize(r.degrees % 180 == 0 ? before : CSize(before.cy, before.cx));
        f.model.RotateAreas(before, r.degrees);
        const CImageQuad q = f.model.GetArea(0);
        EXPECT_TRUE(q.IsAxisAligned()) << r.degrees;
        EXPECT_EQ(RectOf(q), r.area) << r.degrees;
    }
    // A free-form quad keeps its corner roles: corner 0 is the new top-left.
    CImageQuad quad(POINT{10, 20}, POINT{50, 22}, POINT{12, 40}, POINT{48, 44});
    quad.Rotate(CRect(0, 0, 200, 100), 90);
    EXPECT_LT(quad[0].x, quad[1].x);
    EXPECT_LT(quad[0].y, quad[2].y);
    EXPECT_EQ(quad[0].x, 100 - 40);
    EXPECT_EQ(quad[0].y, 12);
}

TEST(ImageCtrlModel, ZoomToolClicks)
{
    // Self zoom off, fit mode: the owner is asked, nothing else happens.
    struct Row {
        UINT keys;
        int ask;
    } rows[] = {{0, ICN_ZOOMFORWARD}, {kKeyControl, ICN_ZOOMBACKWARD}};
    for (const Row& r : rows) {
        Fixture f(CSize(100, 100), 100, 100);
        f.model.SetMode(kImageModeZoomIn);
        f.model.SetSelfZoom(FALSE);
        f.model.OnLButtonDown(POINT{50, 50}, r.keys);
        f.model.OnLButtonUp(POINT{50, 50}, r.keys);
        EXPECT_EQ(f.host.codes, (std::vector<int>{ICN_LBUTTONDOWN, r.ask}));
    }
    // Self zoom on, zoomed: one step in, the clicked point stays under the cursor.
    Fixture f(CSize(1000, 1000), 200, 200);
    f.model.SetScrollBarExtents(0, 0);
    f.model.SetZoomMode(1, TRUE);
    f.model.SetZoom(10000);
    f.model.SetMode(kImageModeZoomIn);
    f.model.Scroll(false, kScrollThumbPosition, 300);
    POINT before;
    f.model.ClientToImage(50, 60, &before);
    f.host.codes.clear();
    f.model.OnLButtonDown(POINT{50, 60}, 0);
    EXPECT_EQ(f.model.GetZoom(), 11000);
    POINT after;
    f.model.ClientToImage(50, 60, &after);
    EXPECT_NEAR(after.x, before.x, 1);
    EXPECT_NEAR(after.y, before.y, 1);
    EXPECT_EQ(f.host.codes.front(), ICN_LBUTTONDOWN);
    EXPECT_EQ(f.host.codes.back(), ICN_ZOOMCLICK);
}

TEST(ImageCtrlModel, ZoomLimitsAndTheCursorThatSaysSo)
{
    Fixture f(CSize(100, 100), 100, 100);
    f.model.SetZoomMode(1, FALSE);
    f.model.SetZoom(60000);
    f.model.SetMode(kImageModeZoomDouble);
    f.model.SetOwnerCursorsSet(true, true, true);
    // 120000 would pass the maximum of 100000.
    EXPECT_FALSE(f.model.CanZoom(false));
    EXPECT_TRUE(f.model.CanZoom(true));
    EXPECT_EQ(f.model.ChooseCursor(POINT{50, 50}, 0), ImageCursor::Owner3);
    EXPECT_EQ(f.host.codes.back(), ICN_CURSOR3);
    EXPECT_EQ(f.model.ChooseCursor(POINT{50, 50}, kKeyControl), ImageCursor::Owner2);
    EXPECT_EQ(f.host.codes.back(), ICN_CURSOR2);
    // Without cursor 3 nothing changes and nothing is said.
    f.model.SetOwnerCursorsSet(true, true, false);
    f.host.codes.clear();
    EXPECT_EQ(f.model.ChooseCursor(POINT{50, 50}, 0), ImageCursor::Unchanged);
    EXPECT_TRUE(f.host.codes.empty());
}

TEST(ImageCtrlModel, AreaToolCursors)
{
    struct Row {
        CRect area; // empty: none
        BOOL mayCreate;
        POINT at;
        ImageCursor cursor;
        int code;
    } rows[] = {
        {CRect(), FALSE, {50, 50}, ImageCursor::Arrow, ICN_CURSORARROW},
        {CRect(), TRUE, {50, 50}, ImageCursor::Cross, ICN_CURSORNEWAREA},
        {CRect(20, 20, 60, 60), TRUE, {40, 40}, ImageCursor::SizeAll, ICN_CURSORMOVE},
        {CRect(20, 20, 60, 60), TRUE, {20, 21}, ImageCursor::SizeNWSE, ICN_CURSORHANDLE},
        {CRect(20, 20, 60, 60), TRUE, {59, 21}, ImageCursor::SizeNESW, ICN_CURSORHANDLE},
        {CRect(20, 20, 60, 60), TRUE, {40, 61}, ImageCursor::SizeNS, ICN_CURSORHANDLE},
        {CRect(20, 20, 60, 60), TRUE, {18, 40}, ImageCursor::SizeWE, ICN_CURSORHANDLE},
        {CRect(0, 0, 100, 100), TRUE, {40, 40}, ImageCursor::Cross, ICN_CURSORHANDLE}, // the whole picture never moves
    };
    for (const Row& r : rows) {
        Fixture f(CSize(100, 100), 100, 100);
        f.model.SetMode(kImageModeArea);
        f.model.SetMayCreateAreas(r.mayCreate);
        if (!r.area.IsRectEmpty())
            f.model.AddArea(CImageQuad(r.area), FALSE);
        EXPECT_EQ(f.model.ChooseCursor(r.at, 0), r.cursor) << r.at.x << "," << r.at.y;
        EXPECT_EQ(f.host.codes, std::vector<int>{r.code}) << r.at.x << "," << r.at.y;
        if (r.area.IsRectEmpty() && !r.mayCreate) {
            f.model.OnLButtonDown(r.at, 0);
            EXPECT_FALSE(f.model.IsDragging());
        }
    }
}

TEST(ImageCtrlModel, AreaListRules)
{
    Fixture f(CSize(100, 80), 100, 80);
    EXPECT_TRUE(f.model.GetArea(-1).IsAllZero());
    EXPECT_TRUE(f.model.GetArea(0).IsAllZero());
    // Clamped to the picture; what clamps to nothing is refused.
    EXPECT_TRUE(f.model.AddArea(CImageQuad(CRect(-10, -10, 50, 50)), FALSE));
    EXPECT_EQ(RectOf(f.model.GetArea(0)), CRect(0, 0, 50, 50));
    EXPECT_FALSE(f.model.AddArea(CImageQuad(CRect(120, 10, 150, 50)), FALSE));
    EXPECT_EQ(f.model.GetAreaCount(), 1);
    EXPECT_TRUE(f.model.AddArea(CImageQuad(CRect(60, 10, 90, 50)), FALSE));
    EXPECT_EQ(f.model.GetCurrentIndex(), 1);
    EXPECT_TRUE(f.model.GetArea(2).IsAllZero());
    EXPECT_FALSE(f.model.SetArea(2, CImageQuad(CRect(1, 1, 5, 5)), FALSE));
    EXPECT_FALSE(f.model.SetArea(-1, CImageQuad(CRect(1, 1, 5, 5)), FALSE));
    // One area at a time: setting the current area empties the list.
    f.model.SelectAll();
    EXPECT_EQ(f.model.GetAreaCount(), 1);
    EXPECT_EQ(RectOf(f.model.GetCurrentArea()), CRect(0, 0, 100, 80));
    f.model.ClearSelection();
    EXPECT_EQ(f.model.GetAreaCount(), 0);
    EXPECT_EQ(f.model.GetCurrentIndex(), -1);
    // SetAreas stops at the first refusal.
    EXPECT_FALSE(f.model.SetAreas({CImageQuad(CRect(1, 1, 5, 5)), CImageQuad(CRect(200, 1, 250, 5)),
                                   CImageQuad(CRect(10, 10, 20, 20))},
                                  FALSE));
    EXPECT_EQ(f.model.GetAreaCount(), 1);
    CImageCtrlModel none;
    EXPECT_FALSE(none.AddArea(CImageQuad(CRect(1, 1, 5, 5)), FALSE));
    EXPECT_FALSE(none.SetSelection(CImageQuad(CRect(1, 1, 5, 5)), TRUE));
}

TEST(ImageCtrlModel, FreehandPointsMakeTheirBoundingArea)
{
    Fixture f(CSize(100, 100), 100, 100);
    f.model.SetMode(kImageModePoints);
    f.model.OnLButtonDown(POINT{10, 10}, 0);
    ASSERT_TRUE(f.model.IsPlacingPoints());
    f.model.OnMouseMove(POINT{20, 30}, 0);
    EXPECT_EQ(f.model.GetAreaCount(), 0); // one point: the all-zero area, which is no area
    f.model.OnMouseMove(POINT{40, 15}, 0);
    f.model.OnMouseMove(POINT{120, 50}, 0); // limited to the picture
    f.model.OnLButtonUp(POINT{120, 50}, 0);
    ASSERT_EQ(f.model.GetPathPoints().size(), 3u);
    EXPECT_EQ(f.model.GetPathPoints()[2].x, 100);
    EXPECT_EQ(RectOf(f.model.GetCurrentArea()), CRect(20, 15, 100, 50));
    EXPECT_EQ(f.host.codes.back(), ICN_AREACHANGED);
}

TEST(ImageCtrlModel, PanningKeepsTheGrabbedPointUnderTheCursor)
{
    Fixture f(CSize(1000, 1000), 200, 200);
    f.model.SetZoomMode(1, FALSE);
    f.model.SetZoom(20000);
    f.model.SetMode(kImageModePan);
    f.model.OnLButtonDown(POINT{100, 100}, 0);
    POINT grabbed;
    f.model.ClientToImage(100, 100, &grabbed);
    f.model.OnMouseMove(POINT{60, 70}, 0);
    POINT now;
    f.model.ClientToImage(60, 70, &now);
    EXPECT_NEAR(now.x, grabbed.x, 1);
    EXPECT_NEAR(now.y, grabbed.y, 1);
    f.model.OnLButtonUp(POINT{60, 70}, 0);
    EXPECT_EQ(f.host.codes,
              (std::vector<int>{ICN_LBUTTONDOWN, ICN_PANSTART, ICN_HSCROLL, ICN_VSCROLL, ICN_PANEND}));
    EXPECT_EQ(f.host.cursor, ImageCursor::Arrow);
}

TEST(ImageCtrlModel, MouseTrackingReportsEnterMoveAndLeave)
{
    Fixture f(CSize(100, 100), 100, 100);
    f.model.SetMouseTracking(TRUE);
    f.model.SetMode(kImageModeNone);
    f.model.OnMouseMove(POINT{10, 20}, 0);
    f.model.OnMouseMove(POINT{11, 20}, 0);
    f.model.OnMouseLeave();
    f.model.OnMouseLeave();
    EXPECT_EQ(f.host.codes, (std::vector<int>{ICN_MOUSEENTER, ICN_MOUSEMOVE, ICN_MOUSELEAVE}));
    ASSERT_EQ(f.host.points.size(), 2u);
    EXPECT_EQ(f.host.points[1].x, 11);
}

TEST(ImageQuad, HitCodesAndEmptiness)
{
    const CImageQuad q(CRect(20, 20, 60, 60));
    struct Row {
        POINT at;
        int code;
    } rows[] = {
        {{20, 20}, kHitTopLeft}, {{59, 20}, kHitTopRight},  {{16, 63}, kHitBottomLeft}, {{64, 64}, kHitBottomRight},
        {{18, 40}, kHitLeft},    {{40, 17}, kHitTop},       {{63, 40}, kHitRight},      {{40, 62}, kHitBottom},
        {{40, 30}, kHitInside},  {{30, 50}, kHitInside},    {{80, 80}, kHitNone},       {{65, 20}, kHitNone},
    };
    for (const Row& r : rows)
        EXPECT_EQ(q.HitTest(r.at), r.code) << r.at.x << "," << r.at.y;
    EXPECT_TRUE(CImageQuad(CRect(5, 5, 5, 9)).IsEmpty());
    EXPECT_TRUE(CImageQuad(POINT{0, 0}, POINT{10, 0}, POINT{3, 0}, POINT{12, 0}).IsEmpty()); // no height
    EXPECT_FALSE(CImageQuad(POINT{0, 0}, POINT{10, 1}, POINT{0, 9}, POINT{10, 10}).IsEmpty());
}

TEST(ImageCtrlModel, FreeFormQuadsAndBounds)
{
    // Free-form: a corner goes where it is dragged, an edge moves its two corners.
    struct Row {
        POINT press, to;
        CImageQuad quad;
    } rows[] = {
        {{60, 60}, {70, 65}, CImageQuad(POINT{20, 20}, POINT{60, 20}, POINT{20, 60}, POINT{70, 65})},
        {{20, 40}, {10, 40}, CImageQuad(POINT{10, 20}, POINT{60, 20}, POINT{10, 60}, POINT{60, 60})},
    };
    for (const Row& r : rows) {
        Fixture f(CSize(100, 100), 100, 100);
        f.model.SetMode(kImageModeArea);
        f.model.SetFreeFormQuads(TRUE);
        f.model.AddArea(CImageQuad(CRect(20, 20, 60, 60)), FALSE);
        f.model.OnLButtonDown(r.press, 0);
        ASSERT_TRUE(f.model.IsResizing());
        f.model.OnMouseMove(r.to, 0);
        f.model.OnLButtonUp(r.to, 0);
        EXPECT_TRUE(f.model.GetCurrentArea() == r.quad) << r.press.x << "," << r.press.y;
    }
    // Bounds: areas stay inside them, and a point counts as inside only there.
    Fixture f(CSize(100, 100), 100, 100);
    f.model.SetBounds(CRect(10, 10, 50, 50));
    EXPECT_TRUE(f.model.AddArea(CImageQuad(CRect(0, 0, 80, 30)), FALSE));
    EXPECT_EQ(RectOf(f.model.GetArea(0)), CRect(10, 10, 50, 30));
    POINT p;
    EXPECT_TRUE(f.model.ClientToImage(20, 20, &p));
    EXPECT_FALSE(f.model.ClientToImage(70, 20, &p));
    EXPECT_EQ(p.x, 70); // not clamped to the picture when bounds are set
}
