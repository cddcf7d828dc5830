#pragma once

#include "platform/gdi/dc.h"

// Drawing effects shared by buttons, bars and menus.

// What is drawn in rc becomes the etched disabled look: pixels of the face
// colour stay face, every other pixel takes crShadow, with a crHilite copy one
// pixel right and down. The context must be one whose pixels can be read
// (an image or a memory context).
void EmbossRectDisabled(CDC* dc, const RECT& rc, COLORREF crFace, COLORREF crHilite, COLORREF crShadow);

// Copies count 4-byte pixels, swapping bytes 0 and 2; dst may be src.
void CopySwapRedBlue32(void* dst, const void* src, size_t count);
