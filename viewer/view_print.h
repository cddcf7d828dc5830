#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>

// The viewer's page layout choices, kept by the view for the next print.
struct CViewPrintSettings {
    CViewPrintSettings();
    BOOL m_bByResolution = TRUE; // FALSE: "Size to Page"
    BOOL m_bShowCaption = TRUE;  // FALSE: the caption is the document's title
    LOGFONT m_captionFont;       // its height counts at 96 dots per inch
    int m_nPrinterResolution = 96;
    int m_nPictureWidth = 0;
    int m_nPictureHeight = 0;
    int m_nResolution = 96;
    int m_nPrintedWidth = 1024; // printer dots
    int m_nPrintedHeight = 768;
};

// The print dialog's arithmetic, in printer dots; every product is taken in
// 64 bits and every quotient guards its divisor.
namespace viewprint {

// The edits take at most this many digits.
inline constexpr int kMaxDigits = 6;

// Millimetres shown for a size: dots x 25.4 / dpi + 0.3, truncated.
int MillimetresOf(int64_t dots, int dpi);
// Dots of an entered size: mm x dpi x 10 / 254, truncated.
int DotsOf(int64_t millimetres, int dpi);

struct Limits {
    int largestWidth = 0;
    int largestHeight = 0;
    int leastResolution = 0;
};
// The picture (pixels) scaled into the picture area keeping its aspect,
// and the resolution at which it would fill that width.
Limits ComputeLimits(int pictureWidth, int pictureHeight, const RECT& pictureArea, int dpi);
// The printed side for a resolution: side x dpi / r, from 1 to the largest;
// the largest for r below 1.
int SideFromResolution(int64_t resolution, int pictureSide, int dpi, int largest);
// pictureSide x dpi / printed, 0 for nothing printed.
int ResolutionOf(int pictureSide, int dpi, int printed);
// The value of a digits-only text, at most kMaxDigits of them; 0 when empty.
int64_t NumberOf(const std::string& text);

} // namespace viewprint
