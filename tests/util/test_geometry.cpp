#include "util/geometry.h"

#include <gtest/gtest.h>

TEST(Geometry, SineTableInFixedPoint)
{
    const struct {
        int angle, sine;
    } rows[] = {{0, 0}, {32, 181}, {64, 256}, {128, 0}, {192, -256}, {255, -6}};
    for (const auto& r : rows)
        EXPECT_EQ(SinTable256(static_cast<BYTE>(r.angle)), r.sine) << r.angle;
    EXPECT_EQ(CosTable256(0), 256);
    EXPECT_EQ(CosTable256(64), 0);
    EXPECT_EQ(CosTable256(255), 255);
}

TEST(Geometry, FitKeepsAspect)
{
    const struct {
        CRect bound, src, fit, scale;
    } rows[] = {
        // A source that fits keeps its size, centred; scaling enlarges it.
        {{0, 0, 100, 100}, {0, 0, 40, 20}, {30, 40, 70, 60}, {0, 25, 100, 75}},
        // Wider than the bound: its width; taller: its height.
        {{0, 0, 100, 100}, {0, 0, 400, 100}, {0, 37, 100, 62}, {0, 37, 100, 62}},
        {{10, 10, 110, 60}, {0, 0, 100, 400}, {54, 10, 66, 60}, {54, 10, 66, 60}},
        // A very flat source is given the minimum thickness.
        {{0, 0, 100, 100}, {0, 0, 5000, 1}, {0, 49, 100, 51}, {0, 49, 100, 51}},
        // Empty sides give an empty result.
        {{0, 0, 100, 100}, {0, 0, 0, 10}, {}, {}},
        {{0, 0, 0, 100}, {0, 0, 10, 10}, {}, {}},
    };
    for (const auto& r : rows) {
        CRect out;
        FitRectKeepAspect(&r.bound, &r.src, &out, 2);
        EXPECT_EQ(out, r.fit) << r.src.Width() << "x" << r.src.Height();
        ScaleRectKeepAspect(&r.bound, &r.src, &out, 2);
        EXPECT_EQ(out, r.scale) << r.src.Width() << "x" << r.src.Height();
    }
}
