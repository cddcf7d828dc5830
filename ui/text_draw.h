#pragma once

#include "platform/gdi/gdi_defs.h"
#include "platform/types.h"

#include <cstdint>
#include <string>

class CDC;
class CFont;

// Text on a device context: drawing that reports whether anything had room,
// drawing at the largest font that fits, and measuring in a font.

// DrawText (or, with DT_CALCRECT, its measurement into rc); true when rc then
// still has height (its top above its bottom).
bool DrawTextGuarded(CDC* dc, const std::string& text, RECT& rc, UINT format);
// Draws the text wrapped into rc at the largest font height, starting from
// the record's height scaled to dpi, whose text fits the rectangle's height;
// into the rectangle cut to the height the text needs. Nothing without a
// record or when no height of at least 2 fits.
void DrawTextShrinkToFit(CDC* dc, int dpi, const std::string& text, const RECT& rc, UINT format, const LOGFONT* lf);
// A band of text across the foot of an area, as a printed page puts a
// caption under its picture or its number under the page.
struct TextBand {
    CRect rect;          // as wide as the area, as high as the text, held to the area
    CRect rest;          // the area above the band
    LONG textWidth = 0;  // the widest line measured
};
// Measures the text in the font selected into dc (format's DrawText flags,
// at the area's width) and lays the band out at the area's foot. Its height
// never passes the area and is never negative: a text that measures no
// height, or less than askedHeight when that is beyond the largest font made
// (the font engine's metrics wrap there), is taller than any area and takes
// the whole of it. Empty text measures as the font's one line.
TextBand LayoutFootBand(CDC* dc, const std::string& text, const CRect& area, UINT format, int64_t askedHeight = 0);
// Width in pixels of the text in the font, on the screen.
int MeasureTextWidth(CFont* font, const std::string& text);
// Height in pixels of one line in the font, on the screen.
int MeasureTextHeight(CFont* font);
