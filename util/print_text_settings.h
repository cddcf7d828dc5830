#pragma once

#include "platform/types.h"

// The text drawn over printed and exported pictures: where it goes, its font
// and colour, and which lines it has. The browser's item store keeps one,
// loads it at start and saves it at exit (section "Preference").
class CPrintTextSettings {
public:
    CPrintTextSettings();
    virtual ~CPrintTextSettings() = default;

    void Load();
    void Save() const;

    // The 9-point font of the default face (string 38), sized for the screen.
    static LOGFONT DefaultFont();

    BOOL m_bInsideSelection = FALSE; // "PTInsideSelection"
    LOGFONT m_logFont;               // "PTFont", 60-byte block
    COLORREF m_color = 0;            // "PTColor", 4-byte block
    int m_nLocation = 3;             // "PTLoc": the corner, 3 bottom right
    BOOL m_bDateTime = TRUE;         // "PTDateTime"
    BOOL m_bFileName = TRUE;         // "PTFileName"
    BOOL m_bComment = TRUE;          // "PTComment"
    int m_nOverlayOn = 0;            // not stored
    CRect m_rcArea;                  // not stored: the selection in picture coordinates
};

// The 60-byte stored form of a font, field by field, little-endian.
inline constexpr size_t kLogFontBytes = 60;
void LogFontToBytes(const LOGFONT& font, uint8_t (&bytes)[kLogFontBytes]);
LOGFONT LogFontFromBytes(const uint8_t (&bytes)[kLogFontBytes]);
