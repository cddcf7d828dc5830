#pragma once

#include "platform/types.h"

#include <cstddef>

// The fixed-point sine table and rectangle fitting that drawing, rotation and
// thumbnail code share.

// sin(a / 256 of a turn) x 256, truncated towards zero; built on first use.
int SinTable256(BYTE angle);
// cos(a / 256 of a turn) x 256: the sine entry 64 steps further on.
int CosTable256(BYTE angle);

// src's aspect fitted into bound: a src that fits keeps its size, a larger
// one is shrunk to the largest size of its aspect that fits; the result is
// centred in bound. A zero-width or zero-height result of a non-empty side
// is given minThickness. Either rectangle empty gives (0, 0, 0, 0).
void FitRectKeepAspect(const RECT* bound, const RECT* src, RECT* out, int minThickness);
// The same, but a small src is enlarged to the largest fit too.
void ScaleRectKeepAspect(const RECT* bound, const RECT* src, RECT* out, int minThickness);

// Rotates pt about centre by degrees, in whole steps of the sine table
// (degrees x 256 / 360, truncated, taken as a byte: any angle wraps).
void RotatePointDegrees(POINT* pt, const POINT* centre, int degrees);
// Rotates both corners and normalises the result.
void RotateRectDegrees(RECT* rc, const POINT* centre, int degrees);
// The smallest rectangle whose edges pass through the outermost points
// (right and bottom on the points themselves); empty for no points.
CRect BoundingRectOfPoints(const POINT* points, size_t count);
// rect moved so that its centre lies on bound's centre.
void OffsetRectToCentre(const RECT* bound, const RECT* rect, RECT* out);
