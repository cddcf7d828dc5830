#include "imaging/image_quad.h"

#include "platform/gdi/dc.h"
#include "util/geometry.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kHandleReach = 5;

// x of the line through a and b at height y; x itself when the line is level.
double XAt(POINT a, POINT b, double x, double y)
{
    if (a.y == b.y)
        return x;
    return a.x + (y - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y);
}

// y of the line through a and b at x; y itself when the line is upright.
double YAt(POINT a, POINT b, double x, double y)
{
    if (a.x == b.x)
        return y;
    return a.y + (x - a.x) * (b.y - a.y) / static_cast<double>(b.x - a.x);
}

bool Between(LONG v, LONG a, LONG b) { return v >= std::min(a, b) && v <= std::max(a, b); }

} // namespace

CImageQuad::CImageQuad(const RECT& rc)
    : m_corner{{rc.left, rc.top}, {rc.right, rc.top}, {rc.left, rc.bottom}, {rc.right, rc.bottom}}
{
}

CImageQuad::CImageQuad(POINT topLeft, POINT topRight, POINT bottomLeft, POINT bottomRight)
    : m_corner{topLeft, topRight, bottomLeft, bottomRight}
{
}

bool CImageQuad::IsAxisAligned() const
{
    const POINT* c = m_corner;
    return c[0].x == c[2].x && c[1].x == c[3].x && c[0].y == c[1].y && c[2].y == c[3].y;
}

bool CImageQuad::IsEmpty() const
{
    if (IsAxisAligned())
        return GetRect().IsRectEmpty();
    const CRect box = GetBoundingRect();
    return box.Width() == 0 || box.Height() == 0;
}

bool CImageQuad::IsAllZero() const
{
    return std::all_of(std::begin(m_corner), std::end(m_corner), [](const POINT& p) { return p.x == 0 && p.y == 0; });
}

CRect CImageQuad::GetRect() const { return CRect(m_corner[0].x, m_corner[0].y, m_corner[3].x, m_corner[3].y); }

CRect CImageQuad::GetBoundingRect() const { return BoundingRectOfPoints(m_corner, 4); }

BOOL CImageQuad::CreateRegion(CRgn* region) const
{
    if (!region)
        return FALSE;
    const POINT polygon[4] = {m_corner[0], m_corner[1], m_corner[3], m_corner[2]};
    return region->CreatePolygonRgn(polygon, 4, WINDING);
}

void CImageQuad::Offset(int dx, int dy)
{
    for (POINT& p : m_corner) {
        p.x += dx;
        p.y += dy;
    }
}

void CImageQuad::Clamp(const RECT& limit)
{
    for (POINT& p : m_corner) {
        p.x = std::clamp(p.x, limit.left, std::max(limit.left, limit.right));
        p.y = std::clamp(p.y, limit.top, std::max(limit.top, limit.bottom));
    }
}

void CImageQuad::Normalize()
{
    POINT* c = m_corner;
    if (c[0].x > c[1].x)
        std::swap(c[0].x, c[1].x);
    if (c[2].x > c[3].x)
        std::swap(c[2].x, c[3].x);
    if (c[0].y > c[2].y)
        std::swap(c[0].y, c[2].y);
    if (c[1].y > c[3].y)
        std::swap(c[1].y, c[3].y);
}

int CImageQuad::HitTest(POINT pt) const
{
    const POINT* c = m_corner;
    // Corner boxes first, in the order 0, 2, 1, 3.
    static const struct {
        int corner;
        int code;
    } boxes[] = {{0, kHitTopLeft}, {2, kHitBottomLeft}, {1, kHitTopRight}, {3, kHitBottomRight}};
    for (const auto& b : boxes) {
        const CRect box(c[b.corner].x - kHandleReach, c[b.corner].y - kHandleReach, c[b.corner].x + kHandleReach,
                        c[b.corner].y + kHandleReach);
        if (box.PtInRect(pt))
            return b.code;
    }
    const double x = pt.x, y = pt.y;
    const double leftX = XAt(c[0], c[2], x, y);
    const double topY = YAt(c[0], c[1], x, y);
    const double rightX = XAt(c[1], c[3], x, y);
    const double bottomY = YAt(c[2], c[3], x, y);
    if (std::abs(x - leftX) < kHandleReach && Between(pt.y, c[0].y, c[2].y))
        return kHitLeft;
    if (std::abs(y - topY) < kHandleReach && Between(pt.x, c[0].x, c[1].x))
        return kHitTop;
    if (std::abs(x - rightX) < kHandleReach && Between(pt.y, c[1].y, c[3].y))
        return kHitRight;
    if (std::abs(y - bottomY) < kHandleReach && Between(pt.x, c[2].x, c[3].x))
        return kHitBottom;
    // Inside: the triangle above the diagonal from corner 0 to corner 3 is
    // bounded by the top and right edges, the one below by the left and bottom.
    const double diagonalY = YAt(c[0], c[3], x, y);
    const bool upper = y > topY && x < rightX && y <= diagonalY;
    const bool lower = x > leftX && y < bottomY && y >= diagonalY;
    return upper || lower ? kHitInside : kHitNone;
}

void CImageQuad::Rotate(const RECT& picture, int degrees)
{
    const CRect pic(picture);
    const POINT centre = pic.CenterPoint();
    RECT turned = pic;
    RotateRectDegrees(&turned, &centre, degrees);
    const POINT offset{turned.left, turned.top};
    if (IsAxisAligned()) {
        RECT rc = GetRect();
        RotateRectDegrees(&rc, &centre, degrees);
        CRect moved(rc);
        moved.OffsetRect(-offset.x, -offset.y);
        *this = CImageQuad(moved);
        return;
    }
    for (POINT& p : m_corner) {
        RotatePointDegrees(&p, &centre, degrees);
        p.x -= offset.x;
        p.y -= offset.y;
    }
    // Each quarter turn hands the corner roles on: the old bottom-left
    // becomes the top-left, and so round.
    const int turns = ((degrees % 360) + 360) % 360 / 90;
    for (int i = 0; i < turns; ++i) {
        const POINT old0 = m_corner[0];
        m_corner[0] = m_corner[2];
        m_corner[2] = m_corner[3];
        m_corner[3] = m_corner[1];
        m_corner[1] = old0;
    }
}

bool CImageQuad::operator==(const CImageQuad& other) const
{
    for (int i = 0; i < 4; ++i)
        if (m_corner[i].x != other.m_corner[i].x || m_corner[i].y != other.m_corner[i].y)
            return false;
    return true;
}

bool CImageQuad::Contains(POINT pt) const
{
    const POINT* c = m_corner;
    const double x = pt.x, y = pt.y;
    const double leftX = XAt(c[0], c[2], x, y), rightX = XAt(c[1], c[3], x, y);
    const double topY = YAt(c[0], c[1], x, y), bottomY = YAt(c[2], c[3], x, y);
    return x >= leftX && x <= rightX && y >= topY && y <= bottomY;
}
