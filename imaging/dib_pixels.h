#pragma once

#include "imaging/dib_bitmap.h"

// Per-pixel access to a bitmap of any depth, by stored row (0 is the bottom
// row). For the drawing and conversion paths, not for tight loops.
namespace dib {

// Colour of a pixel: palette entries for 8 bits or less, masks for bit fields.
COLORREF ReadPixel(const CDibBitmap& bmp, int x, int row);
// Stores a colour: the nearest palette entry for 8 bits or less.
void WritePixel(CDibBitmap& bmp, int x, int row, COLORREF colour);
// The palette entry nearest to colour (an exact match wins).
int NearestIndex(const std::vector<RGBQUAD>& palette, COLORREF colour);
// Fills rect (y counted from the top, clipped to the bitmap) with colour.
void FillRect(CDibBitmap& bmp, const CRect& rect, COLORREF colour);

} // namespace dib
