#pragma once

#include "platform/types.h"

class CDC;
class CRgn;

#include <cstdint>
#include <vector>

// The marked area of the photograph that a comment points to, in photograph
// pixel coordinates. Freehand areas keep their outline as points.
class CAreaMarquee {
public:
    enum Kind : int32_t { none = 0, square = 1, roundSquare = 2, oval = 3, freehand = 4 };

    CAreaMarquee() = default;
    CAreaMarquee(const CRect& rect, int32_t kind) : m_rect(rect), m_nKind(kind) {}

    // A freehand outline: kind 4, the rectangle becomes the points' bounding box.
    void SetFreehand(std::vector<CPoint> points);

    // The smallest rectangle holding every point; empty for no points.
    CRect GetPointsBoundingBox() const;

    // The points moved from their bounding box into target (integer arithmetic,
    // product first); none when the box has no width or no height.
    std::vector<CPoint> MapPoints(const CRect& target) const;

    // A copy whose points are mapped from one rectangle to another.
    CAreaMarquee MappedCopy(const CRect& from, const CRect& to) const;

    // The region of the area placed on rect (the area as it shows on screen):
    // rectangle, rounded rectangle, ellipse or the freehand polygon. false for
    // an area of no known kind or a freehand outline that cannot be mapped.
    bool CreateRegion(CRgn& region, const CRect& rect) const;
    // Draws the freehand outline mapped into rect; nothing without points.
    void DrawFreehand(CDC& dc, const CRect& rect) const;

    // Width and height of the corner ellipse of a rounded area drawn on rect.
    static LONG RoundCorner(const CRect& rect);

    bool operator==(const CAreaMarquee& o) const
    {
        return m_rect == o.m_rect && m_nKind == o.m_nKind && m_points == o.m_points;
    }

    CRect m_rect;
    int32_t m_nKind = none;
    std::vector<CPoint> m_points;
};
