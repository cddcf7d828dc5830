#include "util/draw_guards.h"
#include "util/timed_lock.h"

#include "platform/gdi/metafile_dc.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QColor>

#include <future>
#include <mutex>
#include <thread>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct Canvas {
    explicit Canvas(int w = 40, int h = 40)
    {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateBitmap(w, h, 1, 32, nullptr);
        dc.SelectObject(&bitmap);
        dc.FillSolidRect(0, 0, w, h, kWhite);
    }
    COLORREF At(int x, int y) const { return FromQColor(QColor(bitmap.m_hObject->image.pixel(x, y))); }
    // The box round the red pixels, after filling everything red through the current clip.
    CRect PaintedBox(int extent = 40)
    {
        dc.FillSolidRect(0, 0, extent, extent, kRed);
        CRect box;
        bool any = false;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (At(x, y) == kRed) {
                    box = any ? CRect(std::min(box.left, LONG(x)), std::min(box.top, LONG(y)),
                                      std::max(box.right, LONG(x + 1)), std::max(box.bottom, LONG(y + 1)))
                              : CRect(x, y, x + 1, y + 1);
                    any = true;
                }
        dc.FillSolidRect(0, 0, extent, extent, kWhite); // clipped too: only what was painted is cleared
        return box;
    }
    CDC dc;
    CBitmap bitmap;
};

} // namespace

TEST(ClipGuards, ClipSelectionPutsBackTheClipThatWasThere)
{
    struct Case { const char* name; bool outer; CRect inner; int mode; CRect during; };
    const Case cases[] = {
        {"copy inside an outer clip", true, {5, 5, 30, 30}, RGN_COPY, {5, 5, 30, 30}},
        {"and with an outer clip", true, {5, 5, 30, 30}, RGN_AND, {5, 5, 20, 20}},
        {"copy without a clip", false, {5, 5, 30, 30}, RGN_COPY, {5, 5, 30, 30}},
    };
    for (const Case& k : cases) {
        Canvas c;
        if (k.outer)
            c.dc.IntersectClipRect(0, 0, 20, 20);
        const CRect before = c.PaintedBox();
        {
            CClipSelection guard(&c.dc, k.inner, k.mode);
            EXPECT_EQ(c.PaintedBox(), k.during) << k.name;
        }
        EXPECT_EQ(c.PaintedBox(), before) << k.name;
        EXPECT_EQ(c.dc.GetClipRgn(nullptr), k.outer ? 1 : 0) << k.name;
    }
}

TEST(ClipGuards, NullRegionLeavesTheClipAlone)
{
    Canvas c;
    c.dc.IntersectClipRect(0, 0, 10, 10);
    {
        CClipSelection guard(&c.dc, static_cast<CRgn*>(nullptr), RGN_COPY);
        EXPECT_EQ(c.PaintedBox(), CRect(0, 0, 10, 10));
    }
    EXPECT_EQ(c.PaintedBox(), CRect(0, 0, 10, 10));
}

TEST(ClipGuards, DeviceClipRegionClipsAScaledDrawingWhereTheRegionIsDrawn)
{
    // Logical regions scaled and moved as the context maps its drawing.
    struct Case {
        const char* name;
        CSize window, viewport;
        CPoint origin;
        CRect region, painted;
    };
    const Case cases[] = {
        {"twice, moved", {1, 1}, {2, 2}, {4, 2}, {3, 4, 10, 12}, {10, 10, 24, 26}},
        {"half", {40, 40}, {20, 20}, {0, 0}, {10, 20, 60, 60}, {5, 10, 30, 30}},
        {"three times across only, moved back", {1, 1}, {3, 1}, {-5, 6}, {5, 0, 12, 20}, {10, 6, 31, 26}},
    };
    for (const Case& k : cases) {
        Canvas c;
        c.dc.SetMapMode(MM_ANISOTROPIC);
        c.dc.SetWindowExt(k.window.cx, k.window.cy);
        c.dc.SetViewportExt(k.viewport.cx, k.viewport.cy);
        c.dc.SetViewportOrg(k.origin.x, k.origin.y);
        CRgn region;
        region.CreateRectRgnIndirect(&k.region);
        {
            CDeviceClipRegion guard(&c.dc, &region, RGN_COPY);
            EXPECT_TRUE(guard.IsActive()) << k.name;
            EXPECT_EQ(c.PaintedBox(200), k.painted) << k.name;
        }
        EXPECT_EQ(c.dc.GetClipRgn(nullptr), 0) << k.name;
        // The region the caller made is left as it was.
        CRect box;
        region.GetRgnBox(&box);
        EXPECT_EQ(box, k.region) << k.name;
    }
    Canvas c;
    CDeviceClipRegion none(&c.dc, nullptr, RGN_COPY);
    EXPECT_FALSE(none.IsActive());
    EXPECT_EQ(c.PaintedBox(), CRect(0, 0, 40, 40));
}

TEST(SelectionGuards, SelectAndPutBack)
{
    Canvas c;
    CFont font;
    font.CreatePointFont(90, qrtest::kTestFace);
    CPen pen(PS_SOLID, 1, kRed);
    CFont* oldFont = c.dc.GetCurrentFont();
    CPen* oldPen = c.dc.GetCurrentPen();
    CBitmap* oldBitmap = c.dc.GetCurrentBitmap();
    CBitmap other;
    other.CreateBitmap(2, 2, 1, 32, nullptr);
    {
        CFontSelection f(&c.dc, &font);
        CPenSelection p(&c.dc, &pen);
        CBitmapSelection b(&c.dc, &other);
        EXPECT_EQ(c.dc.GetCurrentFont(), &font);
        EXPECT_EQ(c.dc.GetCurrentPen(), &pen);
        EXPECT_EQ(c.dc.GetCurrentBitmap(), &other);
        CFontSelection none(&c.dc, nullptr);
        EXPECT_EQ(c.dc.GetCurrentFont(), &font);
    }
    EXPECT_EQ(c.dc.GetCurrentFont(), oldFont);
    EXPECT_EQ(c.dc.GetCurrentPen(), oldPen);
    EXPECT_EQ(c.dc.GetCurrentBitmap(), oldBitmap);
}

TEST(SelectionGuards, BitmapAndPaletteGuardsDoNothingOnARecordingOrTrueColourContext)
{
    CMetaFileDC meta;
    ASSERT_TRUE(meta.CreateEnhanced(nullptr, nullptr, nullptr, nullptr));
    CFont font;
    font.CreatePointFont(90, qrtest::kTestFace);
    CFont* before = meta.GetCurrentFont();
    {
        // The bitmap guard selects any object by handle, but not while recording.
        CBitmapSelection guard(&meta, &font);
        EXPECT_EQ(meta.GetCurrentFont(), before);
    }
    CPalette palette;
    ASSERT_TRUE(palette.CreateHalftonePalette(nullptr));
    Canvas c;
    CPalette* stock = c.dc.GetCurrentPalette();
    for (CDC* dc : {static_cast<CDC*>(&meta), &c.dc}) {
        CPalette* old = dc->GetCurrentPalette();
        {
            CPaletteSelection guard(dc, &palette, TRUE, FALSE);
            EXPECT_FALSE(guard.IsActive());
            EXPECT_EQ(dc->GetCurrentPalette(), old);
        }
        EXPECT_EQ(dc->GetCurrentPalette(), old);
    }
    EXPECT_EQ(c.dc.GetCurrentPalette(), stock);
    DeleteEnhMetaFile(meta.CloseEnhanced());
}

TEST(TimedLock, GivesUpAfterItsTimeOutAndUnlocksWhatItTook)
{
    CTimedMutex m;
    m.lock();
    auto busy = std::async(std::launch::async, [&] {
        CTimedLock lock(&m, 20);
        return lock.IsLocked();
    });
    EXPECT_FALSE(busy.get());
    // One waiting without a time-out gets the lock once it is given back.
    auto waiting = std::async(std::launch::async, [&] {
        CTimedLock lock(&m, INFINITE);
        return lock.IsLocked();
    });
    m.unlock();
    EXPECT_TRUE(waiting.get());
    {
        CTimedLock lock(&m, INFINITE);
        EXPECT_TRUE(lock.IsLocked());
        auto other = std::async(std::launch::async, [&] { return CTimedLock(&m, 0).IsLocked(); });
        EXPECT_FALSE(other.get());
    }
    EXPECT_TRUE(CTimedLock(&m, 0).IsLocked());
    CTimedLock<CTimedMutex> none(nullptr, INFINITE);
    EXPECT_FALSE(none.IsLocked());
}
