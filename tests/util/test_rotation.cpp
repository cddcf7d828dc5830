#include "util/geometry.h"

#include <gtest/gtest.h>

TEST(Rotation, PointsTurnAboutTheCentreInWholeTableSteps)
{
    const POINT centre{100, 50};
    struct Case { int degrees; POINT in; POINT out; };
    const Case cases[] = {
        {0, {110, 50}, {110, 50}},
        {360, {110, 50}, {110, 50}},
        {720, {123, 41}, {123, 41}},
        {90, {110, 50}, {100, 60}},
        {-90, {110, 50}, {100, 40}},
        {450, {110, 50}, {100, 60}},
        {180, {110, 50}, {90, 50}},
        {45, {110, 50}, {107, 57}},   // 181 x 10 / 256 = 7.07
        {-45, {110, 50}, {107, 43}},  // -7.07 truncates towards zero
        {1, {110, 50}, {110, 50}},    // less than one step of the table
        {36000, {110, 50}, {110, 50}}, // a hundred turns
    };
    for (const Case& k : cases) {
        POINT p = k.in;
        RotatePointDegrees(&p, &centre, k.degrees);
        EXPECT_EQ(p.x, k.out.x) << k.degrees;
        EXPECT_EQ(p.y, k.out.y) << k.degrees;
    }
}

TEST(Rotation, RectanglesComeBackNormalised)
{
    RECT r{0, 0, 10, 20};
    const POINT origin{0, 0};
    RotateRectDegrees(&r, &origin, 90);
    EXPECT_EQ(CRect(r), CRect(-20, 0, 0, 10));
}

TEST(Rotation, OffsetToCentre)
{
    struct Case { CRect bound; CRect rect; CRect out; };
    const Case cases[] = {
        {{0, 0, 100, 50}, {0, 0, 20, 10}, {40, 20, 60, 30}},
        {{0, 0, 100, 50}, {500, 500, 520, 510}, {40, 20, 60, 30}},
        {{10, 10, 20, 20}, {0, 0, 30, 30}, {0, 0, 30, 30}},
    };
    for (const Case& k : cases) {
        RECT out;
        OffsetRectToCentre(&k.bound, &k.rect, &out);
        EXPECT_EQ(CRect(out), k.out);
    }
}
