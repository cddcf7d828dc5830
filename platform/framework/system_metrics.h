#pragma once

#include "platform/framework/gdi_include.h"

#include <QFont>

// What the window system reports about itself: frame and caption sizes,
// system colours and the fonts of captions, menus and status bars. The
// values are the classic desktop ones the program's drawing was laid out
// for; the fonts follow the desktop's general font.

int GetSystemMetrics(int index);

struct NONCLIENTMETRICS {
    int iBorderWidth = 1;
    int iScrollWidth = 16;
    int iScrollHeight = 16;
    int iCaptionWidth = 18;
    int iCaptionHeight = 18;
    int iSmCaptionWidth = 12;
    int iSmCaptionHeight = 15;
    int iMenuWidth = 18;
    int iMenuHeight = 18;
    QFont lfCaptionFont;
    QFont lfSmCaptionFont;
    QFont lfMenuFont;
    QFont lfStatusFont;
    QFont lfMessageFont;
};

// SystemParametersInfo(SPI_GETNONCLIENTMETRICS).
NONCLIENTMETRICS GetNonClientMetrics();
// Changes the caption font the system reports and tells every top-level
// window (WM_SETTINGCHANGE), as a desktop settings change would.
void SetSystemCaptionFont(const QFont& font);

// The default GUI font (DEFAULT_GUI_FONT).
QFont GetDefaultGuiFont();

// Tick count in milliseconds (a monotonic clock).
DWORD GetTickCount();
