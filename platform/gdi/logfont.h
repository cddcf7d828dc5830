#pragma once

#include "platform/gdi/gdi_defs.h"

#include <QFont>

#include <string>

// Font records and Qt fonts. The 60-byte stored form of a record is in
// app/print_text_settings.h (LogFontToBytes, LogFontFromBytes).

// The face name as text, and setting it (cut to 31 bytes on a character boundary).
std::string LogFontFaceName(const LOGFONT& lf);
void SetLogFontFaceName(LOGFONT& lf, const std::string& face);

// The largest character size a font is made at, in pixels. Beyond about
// 16384 pixels of ascent the font engine's metrics wrap (a height comes back
// negative); this leaves room for faces whose ascent is twice their size.
constexpr int kLargestFontPixels = 8192;

// The Qt font a record describes. A negative height is the character height
// and a positive one the cell height (ascent plus descent), both in pixels of
// the device the font is drawn on, at most kLargestFontPixels; zero means a
// default of 12 pixels.
QFont QFontFromLogFont(const LOGFONT& lf);

// The record for a point size (in tenths) at a resolution in dots per inch:
// the height is the negative character height, rounded to the nearest pixel.
LOGFONT LogFontFromPointSize(int tenthsOfPoint, const std::string& face, int dotsPerInch);

// The resolution of the screen in dots per inch (96 when there is none).
int ScreenDotsPerInchY();
int ScreenDotsPerInchX();
