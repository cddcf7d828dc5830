#pragma once

#include "platform/types.h"

#include <string>
#include <string_view>

class CFont;

class CDC;

// Small services many windows share: the private clipboard formats, the
// program's colour scheme, picture size limits, file-name tests, the rounded
// 3D frame and the reader's file names.

// The private clipboard formats, registered once at start-up in this order.
struct ClipboardFormats {
    UINT fileCopy = 0; // "TessalyZunFileCopyCF"
    UINT fileCut = 0;  // "TessalyZunFileCutCF"
    UINT folder = 0;   // "TessalyZunFolderCF"
    UINT pathList = 0; // "TessalyZunPathListCF"
};
void RegisterClipboardFormats();
const ClipboardFormats& GetClipboardFormats();

// The scheme's replacements of system colours; other indexes are the system's.
COLORREF GetSchemeSysColor(int index);
constexpr COLORREF SchemeColorTeal = RGB(0, 127, 170);
constexpr COLORREF SchemeColorCream = RGB(255, 251, 240);
constexpr COLORREF SchemeColorPaleGreen = RGB(192, 220, 192);
constexpr COLORREF SchemeColorDeepBlue = RGB(42, 31, 170);
constexpr COLORREF SchemeColorIndigo = RGB(42, 0, 85);
constexpr COLORREF SchemeColorSteelBlue = RGB(85, 127, 170);
constexpr COLORREF SchemeColorGreyBlue = RGB(95, 135, 175);

// A picture is accepted when each side is 8 to 3840 pixels.
constexpr int kMinImageSide = 8;
constexpr int kMaxImageSide = 3840;
BOOL IsImageSizeSupported(int width, int height);

// Extension tests: the text after the last "." of the last path component,
// compared without regard to letter case. A name without one fails.
BOOL IsMessageFileName(const std::string& path);
BOOL IsWaveFileName(const std::string& path);
BOOL IsMovieFileName(const std::string& path);

// A frame with cut corners inside rc (right and bottom exclusive). Each colour
// is optional: CLR_INVALID means not given.
void Draw3DRoundFrame(CDC* pDC, const RECT& rc, COLORREF crFill, COLORREF crCorner, COLORREF crOuterLight,
                      COLORREF crInnerLight, COLORREF crInnerDark, COLORREF crOuterDark);

// The teal caption band of frames and dialogs: the band filled, the title
// drawn in it in the given font, 24 pixels in from the left for the icon.
void DrawCaptionBand(CDC* pDC, const RECT& band, CFont* font, BOOL bActive, const std::string& title);

// Gives every window of the program (frames, dialogs, message boxes) the
// program's icon, and tells the desktop the name of its .desktop file.
void SetProgramIdentity(std::string_view name);

// The reader program's file name and its licence text's name (strings 6284
// and 6295); each is left as it was when its string is missing.
void LoadReaderFileNames(std::string& programName, std::string& licenceName);

// The "URL" value of "Preference" in the machine hive, or the product's
// own address when that is empty.
std::string GetWebLinkUrl();
