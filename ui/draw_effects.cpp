#include "ui/draw_effects.h"

namespace {

// Pattern where the source is white, destination where it is black.
constexpr DWORD kPatternThroughWhite = 0x00E20746;

} // namespace

void EmbossRectDisabled(CDC* dc, const RECT& rc, COLORREF crFace, COLORREF crHilite, COLORREF crShadow)
{
    const CRect r(rc);
    if (!dc || r.IsRectEmpty())
        return;
    // A monochrome copy: the face colour becomes white, everything else black.
    CDC mono;
    mono.CreateCompatibleDC(dc);
    CBitmap bits;
    if (!bits.CreateBitmap(r.Width(), r.Height(), 1, 1, nullptr))
        return;
    CBitmap* oldBits = mono.SelectObject(&bits);
    const COLORREF oldBk = dc->SetBkColor(crFace);
    if (!mono.BitBlt(0, 0, r.Width(), r.Height(), dc, r.left, r.top, SRCCOPY)) {
        // A device whose pixels cannot be read keeps its picture rather than turning all shadow.
        dc->SetBkColor(oldBk);
        mono.SelectObject(oldBits);
        return;
    }

    dc->FillSolidRect(&r, crFace);
    // Mono to colour takes white for the 0 bits (not face) and black for the
    // 1 bits (face): the operation then paints only where the picture was not face.
    const COLORREF oldText = dc->SetTextColor(RGB(255, 255, 255));
    dc->SetBkColor(RGB(0, 0, 0));
    CBrush hilite(crHilite), shadow(crShadow);
    CBrush* oldBrush = dc->SelectObject(&hilite);
    dc->BitBlt(r.left + 1, r.top + 1, r.Width(), r.Height(), &mono, 0, 0, kPatternThroughWhite);
    dc->SelectObject(&shadow);
    dc->BitBlt(r.left, r.top, r.Width(), r.Height(), &mono, 0, 0, kPatternThroughWhite);
    dc->SelectObject(oldBrush);
    dc->SetTextColor(oldText);
    dc->SetBkColor(oldBk);
    mono.SelectObject(oldBits);
}

void CopySwapRedBlue32(void* dst, const void* src, size_t count)
{
    auto* d = static_cast<BYTE*>(dst);
    const auto* s = static_cast<const BYTE*>(src);
    for (size_t i = 0; i < count; ++i, d += 4, s += 4) {
        const BYTE b0 = s[0], b1 = s[1], b2 = s[2], b3 = s[3];
        d[0] = b2;
        d[1] = b1;
        d[2] = b0;
        d[3] = b3;
    }
}
