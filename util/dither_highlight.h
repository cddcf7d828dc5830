#pragma once

#include "platform/gdi/dc.h"

// Every other pixel of rc, in a checkerboard aligned to the device's pixels,
// becomes the highlight colour: the look of a disabled picture. The
// context's colours are left as they were.
void DitherHighlightRect(CDC* dc, const RECT& rc);
