#include "message/area_marquee.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(AreaMarquee, FreehandTakesTheBoundingBoxOfItsPoints)
{
    CAreaMarquee m;
    EXPECT_EQ(m.m_nKind, CAreaMarquee::none);
    EXPECT_TRUE(m.GetPointsBoundingBox().IsRectNull());
    m.SetFreehand({{10, 40}, {30, 5}, {-2, 20}});
    EXPECT_EQ(m.m_nKind, CAreaMarquee::freehand);
    EXPECT_EQ(m.m_rect, CRect(-2, 5, 30, 40));
}

TEST(AreaMarquee, PointsMapIntoTargetTruncating)
{
    CAreaMarquee m;
    m.SetFreehand({{0, 0}, {10, 10}, {5, 3}});
    auto mapped = m.MapPoints(CRect(100, 200, 103, 207));
    ASSERT_EQ(mapped.size(), 3u);
    EXPECT_EQ(mapped[0], CPoint(100, 200));
    EXPECT_EQ(mapped[1], CPoint(103, 207));
    EXPECT_EQ(mapped[2], CPoint(101, 202)); // 3*5/10 = 1, 7*3/10 = 2

    // All points on one vertical line: nothing can be mapped.
    CAreaMarquee line;
    line.SetFreehand({{4, 1}, {4, 9}});
    EXPECT_TRUE(line.MapPoints(CRect(0, 0, 50, 50)).empty());

    // Photograph-sized coordinates do not overflow the product.
    CAreaMarquee big;
    big.SetFreehand({{0, 0}, {60000, 60000}, {30000, 30000}});
    EXPECT_EQ(big.MapPoints(CRect(0, 0, 60000, 60000))[2], CPoint(30000, 30000));
}

TEST(AreaMarquee, MappedCopyAndRoundCorner)
{
    CAreaMarquee m;
    m.SetFreehand({{10, 10}, {20, 30}});
    CAreaMarquee c = m.MappedCopy(CRect(0, 0, 100, 100), CRect(0, 0, 50, 200));
    EXPECT_EQ(c.m_points[0], CPoint(5, 20));
    EXPECT_EQ(c.m_points[1], CPoint(10, 60));
    EXPECT_EQ(m.MappedCopy(CRect(0, 0, 0, 10), CRect(0, 0, 5, 5)).m_points, m.m_points);

    EXPECT_EQ(CAreaMarquee::RoundCorner(CRect(0, 0, 90, 30)), 10);
    EXPECT_EQ(CAreaMarquee::RoundCorner(CRect(0, 0, 8, 100)), 2);
}

TEST(AreaMarquee, RegionsFollowTheKind)
{
    const CRect on(10, 10, 100, 40);
    struct Row {
        int32_t kind;
        bool created;
        bool cornerInside; // the very corner of the rectangle
    };
    const Row rows[] = {{CAreaMarquee::square, true, true},
                        {CAreaMarquee::roundSquare, true, false},
                        {CAreaMarquee::oval, true, false},
                        {CAreaMarquee::none, false, false},
                        {7, false, false}};
    for (const Row& r : rows) {
        CAreaMarquee m(CRect(0, 0, 5, 5), r.kind);
        CRgn region;
        EXPECT_EQ(m.CreateRegion(region, on), r.created) << r.kind;
        if (r.created) {
            EXPECT_TRUE(region.PtInRegion(55, 25)) << r.kind;
            EXPECT_EQ(region.PtInRegion(10, 10) != 0, r.cornerInside) << r.kind;
        }
    }
    CAreaMarquee triangle;
    triangle.SetFreehand({{0, 0}, {10, 0}, {0, 10}});
    CRgn region;
    ASSERT_TRUE(triangle.CreateRegion(region, CRect(0, 0, 100, 100)));
    EXPECT_TRUE(region.PtInRegion(20, 20));
    EXPECT_FALSE(region.PtInRegion(80, 80));
    CAreaMarquee line;
    line.SetFreehand({{4, 1}, {4, 9}});
    EXPECT_FALSE(line.CreateRegion(region, CRect(0, 0, 100, 100)));
}

TEST(AreaMarquee, FreehandDrawsItsMappedOutline)
{
    auto draw = [](const CAreaMarquee& m) {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            CDC dc(&image);
            m.DrawFreehand(dc, CRect(0, 0, 40, 40));
        }
        int dark = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    CAreaMarquee diagonal;
    diagonal.SetFreehand({{0, 0}, {10, 10}});
    EXPECT_GE(draw(diagonal), 30);
    CAreaMarquee line;
    line.SetFreehand({{4, 1}, {4, 9}});
    EXPECT_EQ(draw(line), 0);
}
