#pragma once

#include "platform/gdi/gdi_defs.h"
#include "platform/types.h"

class CWnd;

// The font dialog: a face, a style and a size chosen for a font record. The
// record's height counts pixels at the resolution the caller names.
class CFontDialog {
public:
    CFontDialog(const LOGFONT& initial, int dotsPerInch, CWnd* pParent = nullptr);
    // IDOK when a font was chosen.
    INT_PTR DoModal();
    void GetCurrentFont(LOGFONT* lf) const { *lf = m_logFont; }

private:
    LOGFONT m_logFont;
    int m_nDotsPerInch;
    CWnd* m_pParent;
};
