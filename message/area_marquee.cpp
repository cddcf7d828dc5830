#include "message/area_marquee.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"

#include <algorithm>
#include <climits>

namespace {

// x' = to.left + to.width * (x - from.left) / from.width, in 64 bits so that
// large photographs cannot overflow the product.
LONG MapCoord(LONG v, LONG fromLow, LONG fromHigh, LONG toLow, LONG toHigh)
{
    int64_t span = static_cast<int64_t>(fromHigh) - fromLow;
    int64_t r = toLow + (static_cast<int64_t>(toHigh) - toLow) * (static_cast<int64_t>(v) - fromLow) / span;
    return static_cast<LONG>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}

std::vector<CPoint> MapBetween(const std::vector<CPoint>& points, const CRect& from, const CRect& to)
{
    std::vector<CPoint> out;
    if (from.right - from.left <= 0 || from.bottom - from.top <= 0)
        return out;
    out.reserve(points.size());
    for (const CPoint& p : points)
        out.emplace_back(MapCoord(p.x, from.left, from.right, to.left, to.right),
                         MapCoord(p.y, from.top, from.bottom, to.top, to.bottom));
    return out;
}

} // namespace

void CAreaMarquee::SetFreehand(std::vector<CPoint> points)
{
    m_points = std::move(points);
    m_nKind = freehand;
    m_rect = GetPointsBoundingBox();
}

CRect CAreaMarquee::GetPointsBoundingBox() const
{
    if (m_points.empty())
        return {};
    CRect box(m_points[0].x, m_points[0].y, m_points[0].x, m_points[0].y);
    for (const CPoint& p : m_points) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    return box;
}

std::vector<CPoint> CAreaMarquee::MapPoints(const CRect& target) const
{
    return MapBetween(m_points, GetPointsBoundingBox(), target);
}

CAreaMarquee CAreaMarquee::MappedCopy(const CRect& from, const CRect& to) const
{
    CAreaMarquee copy(*this);
    // A degenerate source cannot be mapped from; the points then stay as they are.
    if (from.right - from.left > 0 && from.bottom - from.top > 0)
        copy.m_points = MapBetween(m_points, from, to);
    return copy;
}

LONG CAreaMarquee::RoundCorner(const CRect& rect)
{
    return std::min(rect.Width(), rect.Height()) / 3;
}

bool CAreaMarquee::CreateRegion(CRgn& region, const CRect& rect) const
{
    switch (m_nKind) {
    case square:
        return region.CreateRectRgnIndirect(&rect);
    case roundSquare: {
        const LONG corner = RoundCorner(rect);
        return region.CreateRoundRectRgn(rect.left, rect.top, rect.right, rect.bottom, corner, corner);
    }
    case oval:
        return region.CreateEllipticRgnIndirect(&rect);
    case freehand: {
        const std::vector<CPoint> mapped = MapPoints(rect);
        if (mapped.empty())
            return false;
        return region.CreatePolygonRgn(mapped.data(), static_cast<int>(mapped.size()), WINDING);
    }
    default:
        return false;
    }
}

void CAreaMarquee::DrawFreehand(CDC& dc, const CRect& rect) const
{
    const std::vector<CPoint> mapped = MapPoints(rect);
    if (mapped.empty())
        return;
    dc.MoveTo(mapped[0]);
    for (size_t i = 1; i < mapped.size(); ++i)
        dc.LineTo(mapped[i]);
}
