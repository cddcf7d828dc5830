#pragma once

#include "platform/gdi/gdi_defs.h"

#include <QFont>

#include <string>
#include <vector>

class CArchive;

// The stored form of a font record: 60 bytes, five 32-bit little-endian
// numbers (height, width, escapement, orientation, weight), eight single
// bytes (italic, underline, strike-out, character set, output precision,
// clip precision, quality, pitch and family) and the face name in 32 bytes,
// zero-padded. Written and read field by field, never as a struct dump.
constexpr size_t LOGFONT_BYTES = 60;

void LogFontToBytes(const LOGFONT& lf, BYTE out[LOGFONT_BYTES]);
std::vector<BYTE> LogFontToBytes(const LOGFONT& lf);
// The face name always ends in a zero, even when the stored 32 bytes had none.
LOGFONT LogFontFromBytes(const BYTE in[LOGFONT_BYTES]);
// False (and lf untouched) unless bytes holds exactly 60 bytes.
bool LogFontFromBytes(const std::vector<BYTE>& bytes, LOGFONT& lf);

void StoreLogFont(CArchive& ar, const LOGFONT& lf);
// Throws the archive's end-of-file exception when fewer than 60 bytes are left.
void LoadLogFont(CArchive& ar, LOGFONT& lf);

// The face name as text, and setting it (cut to 31 bytes on a character boundary).
std::string LogFontFaceName(const LOGFONT& lf);
void SetLogFontFaceName(LOGFONT& lf, const std::string& face);

bool operator==(const LOGFONT& a, const LOGFONT& b);

// The Qt font a record describes. A negative height is the character height
// and a positive one the cell height (ascent plus descent), both in pixels of
// the device the font is drawn on; zero means a default of 12 pixels.
QFont QFontFromLogFont(const LOGFONT& lf);

// The record for a point size (in tenths) at a resolution in dots per inch:
// the height is the negative character height, rounded to the nearest pixel.
LOGFONT LogFontFromPointSize(int tenthsOfPoint, const std::string& face, int dotsPerInch);

// The resolution of the screen in dots per inch (96 when there is none).
int ScreenDotsPerInchY();
int ScreenDotsPerInchX();
