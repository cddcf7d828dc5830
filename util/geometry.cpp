#include "util/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

// 256 steps of a turn and 64 more, so that the cosine is a later entry.
struct SineTable {
    int entry[320];
    SineTable()
    {
        const double step = 0.024543692609375;
        for (int i = 0; i < 320; ++i)
            entry[i] = static_cast<int>(std::sin(i * step) * 256);
    }
};

const SineTable& Sines()
{
    static const SineTable table;
    return table;
}

void FitRect(const RECT* bound, const RECT* src, RECT* out, int minThickness, bool enlarge)
{
    CRect b(*bound), s(*src);
    b.NormalizeRect();
    s.NormalizeRect();
    const int64_t bw = b.Width(), bh = b.Height(), sw = s.Width(), sh = s.Height();
    if (bw == 0 || bh == 0 || sw == 0 || sh == 0) {
        *out = CRect();
        return;
    }
    int64_t w, h;
    if (!enlarge && sw <= bw && sh <= bh) {
        w = sw;
        h = sh;
    } else if (static_cast<double>(sw) / sh < static_cast<double>(bw) / bh) {
        h = bh;
        w = sw * bh / sh;
    } else {
        w = bw;
        h = sh * bw / sw;
    }
    if (w == 0 && h != 0)
        w = minThickness;
    if (h == 0 && w != 0)
        h = minThickness;
    CRect r(static_cast<LONG>(b.left + (bw - w) / 2), static_cast<LONG>(b.top + (bh - h) / 2), 0, 0);
    r.right = static_cast<LONG>(r.left + w);
    r.bottom = static_cast<LONG>(r.top + h);
    // A bound given with its edges reversed gives a result that runs the same way.
    if (bound->left > bound->right)
        std::swap(r.left, r.right);
    if (bound->top > bound->bottom)
        std::swap(r.top, r.bottom);
    *out = r;
}

} // namespace

int SinTable256(BYTE angle)
{
    return Sines().entry[angle];
}

int CosTable256(BYTE angle)
{
    return Sines().entry[angle + 64];
}

void FitRectKeepAspect(const RECT* bound, const RECT* src, RECT* out, int minThickness)
{
    FitRect(bound, src, out, minThickness, false);
}

void ScaleRectKeepAspect(const RECT* bound, const RECT* src, RECT* out, int minThickness)
{
    FitRect(bound, src, out, minThickness, true);
}

void RotatePointDegrees(POINT* pt, const POINT* centre, int degrees)
{
    const auto step = static_cast<BYTE>(int64_t(degrees) * 256 / 360);
    const int64_t s = SinTable256(step), c = CosTable256(step);
    const int64_t dx = int64_t(pt->x) - centre->x, dy = int64_t(pt->y) - centre->y;
    // Divisions truncate towards zero.
    pt->x = static_cast<LONG>(centre->x + (c * dx - s * dy) / 256);
    pt->y = static_cast<LONG>(centre->y + (s * dx + c * dy) / 256);
}

void RotateRectDegrees(RECT* rc, const POINT* centre, int degrees)
{
    POINT a{rc->left, rc->top}, b{rc->right, rc->bottom};
    RotatePointDegrees(&a, centre, degrees);
    RotatePointDegrees(&b, centre, degrees);
    CRect r(a.x, a.y, b.x, b.y);
    r.NormalizeRect();
    *rc = r;
}

CRect BoundingRectOfPoints(const POINT* points, size_t count)
{
    if (!points || count == 0)
        return CRect();
    CRect box(points[0].x, points[0].y, points[0].x, points[0].y);
    for (size_t i = 1; i < count; ++i) {
        box.left = std::min(box.left, points[i].x);
        box.top = std::min(box.top, points[i].y);
        box.right = std::max(box.right, points[i].x);
        box.bottom = std::max(box.bottom, points[i].y);
    }
    return box;
}

void OffsetRectToCentre(const RECT* bound, const RECT* rect, RECT* out)
{
    const CRect b(*bound), r(*rect);
    CRect moved = r;
    moved.OffsetRect(b.left + (b.Width() - r.Width()) / 2 - r.left, b.top + (b.Height() - r.Height()) / 2 - r.top);
    *out = moved;
}
