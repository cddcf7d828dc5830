#pragma once

#include "platform/gdi/gdi_defs.h"
#include "platform/types.h"

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
// Width in pixels of the text in the font, on the screen.
int MeasureTextWidth(CFont* font, const std::string& text);
// Height in pixels of one line in the font, on the screen.
int MeasureTextHeight(CFont* font);
