#include "message/area_marquee.h"

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
