#include "util/dither_highlight.h"

namespace {

// Pattern AND destination; pattern OR destination.
constexpr DWORD kPatternAndDest = 0x00A000C9;
constexpr DWORD kPatternOrDest = 0x00FA0089;

} // namespace

void DitherHighlightRect(CDC* dc, const RECT& rc)
{
    const CRect r(rc);
    if (!dc || r.IsRectEmpty())
        return;
    static const WORD kRows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    CBitmap pattern;
    pattern.CreateBitmap(8, 8, 1, 1, kRows);
    CBrush brush;
    brush.CreatePatternBrush(&pattern);
    CBrush* oldBrush = dc->SelectObject(&brush);
    const COLORREF oldBk = dc->SetBkColor(RGB(255, 255, 255));
    const COLORREF oldText = dc->SetTextColor(RGB(0, 0, 0));
    // The 0 bits clear the pixel to black, then take the highlight colour.
    dc->PatBlt(r.left, r.top, r.Width(), r.Height(), kPatternAndDest);
    dc->SetBkColor(RGB(0, 0, 0));
    dc->SetTextColor(GetSysColor(COLOR_HIGHLIGHT));
    dc->PatBlt(r.left, r.top, r.Width(), r.Height(), kPatternOrDest);
    dc->SetBkColor(oldBk);
    dc->SetTextColor(oldText);
    dc->SelectObject(oldBrush);
}
