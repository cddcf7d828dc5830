#pragma once

#include "platform/gdi/gdi_defs.h"
#include "platform/types.h"

#include <functional>

class CWnd;

// The standard font dialog (scalable fonts) on a font record whose height
// is in pixels of a 96-dots-per-inch screen: TRUE with the choice (face,
// height, weight, italics) on OK, the record untouched otherwise.
BOOL ChooseFontDialog(CWnd* pParent, LOGFONT& lf);

// Answers the dialog instead of a person (tests): it edits the record and
// returns TRUE for OK. An empty answer brings the real dialog back.
using FontDialogAnswer = std::function<BOOL(LOGFONT& lf)>;
FontDialogAnswer SetFontDialogAnswer(FontDialogAnswer answer);
