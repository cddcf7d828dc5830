#pragma once

#include "platform/types.h"

class CRgn;

// Hit codes of a point against an area: side bits (left 0x1000, top 0x100,
// right 0x10, bottom 0x1), with 0x10000 marking a corner and 0x100000 an edge.
enum : int {
    kHitNone = 0,
    kHitSideLeft = 0x1000,
    kHitSideTop = 0x100,
    kHitSideRight = 0x10,
    kHitSideBottom = 0x1,
    kHitCorner = 0x10000,
    kHitEdge = 0x100000,
    kHitTopLeft = 0x11100,
    kHitTopRight = 0x10110,
    kHitBottomLeft = 0x11001,
    kHitBottomRight = 0x10011,
    kHitLeft = 0x101000,
    kHitTop = 0x100100,
    kHitRight = 0x100010,
    kHitBottom = 0x100001,
    kHitInside = 0x1111,
};

// One area of a picture: four corners, top-left (0), top-right (1),
// bottom-left (2) and bottom-right (3). An axis-aligned quad is a rectangle
// from corner 0 to corner 3; a free-form one may have any four corners.
class CImageQuad {
public:
    CImageQuad() = default;
    // Corners (left, top), (right, top), (left, bottom), (right, bottom).
    explicit CImageQuad(const RECT& rc);
    CImageQuad(POINT topLeft, POINT topRight, POINT bottomLeft, POINT bottomRight);

    POINT& operator[](int corner) { return m_corner[corner & 3]; }
    const POINT& operator[](int corner) const { return m_corner[corner & 3]; }

    bool IsAxisAligned() const;
    // Axis-aligned: its rectangle is empty; otherwise its bounding rectangle
    // has no width or no height.
    bool IsEmpty() const;
    bool IsAllZero() const;
    // Corner 0 to corner 3.
    CRect GetRect() const;
    CRect GetBoundingRect() const;
    int Width() const { return GetBoundingRect().Width(); }
    int Height() const { return GetBoundingRect().Height(); }
    // The polygon of corners 0, 1, 3, 2 (winding fill), for clipping.
    BOOL CreateRegion(CRgn* region) const;

    void Offset(int dx, int dy);
    // Each corner limited to limit, right and bottom included.
    void Clamp(const RECT& limit);
    // x of corners 0 and 1 exchanged when 0 lies right of 1, the same for 2
    // and 3; y of corners 0 and 2, and of 1 and 3, likewise.
    void Normalize();

    // The hit code of a point (both in the same coordinates): corner boxes of
    // 5 pixels each side, then edges within 5 pixels, then the inside.
    int HitTest(POINT pt) const;
    // The point lies within the four edges (edges included).
    bool Contains(POINT pt) const;
    // Turned with the picture whose rectangle is given (before the turn), by
    // degrees clockwise, so that the result lies on the turned picture.
    void Rotate(const RECT& picture, int degrees);

    bool operator==(const CImageQuad& other) const;
    bool operator!=(const CImageQuad& other) const { return !(*this == other); }

private:
    POINT m_corner[4];
};
