#pragma once

#include "platform/gdi/gdi_object.h"

#include <QFont>

// The bold caption fonts that all frames and all dialogs share.

// The record of a Qt font, in pixels of the screen, with the given weight.
LOGFONT LogFontFromQFont(const QFont& font, int weight);

// The frames' caption font: the system caption font made bold. Made on first
// use; RemakeFrameCaptionFont makes it again from the current system font.
CFont* GetFrameCaptionFont();
void RemakeFrameCaptionFont();

// The dialogs' caption font: the system menu font made bold, made once.
CFont* GetDialogCaptionFont();
