#include "ui/text_draw.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"

#include <algorithm>
#include <cstdlib>

bool DrawTextGuarded(CDC* dc, const std::string& text, RECT& rc, UINT format)
{
    dc->DrawText(text, &rc, format);
    return rc.top < rc.bottom;
}

TextBand LayoutFootBand(CDC* dc, const std::string& text, const CRect& area, UINT format, int64_t askedHeight)
{
    CRect measured(area.left, area.top, area.right, area.top);
    dc->DrawText(text, &measured, format | DT_CALCRECT);
    int64_t height = measured.Height();
    if (!text.empty() && (height <= 0 || (askedHeight > kLargestFontPixels && height < askedHeight)))
        height = area.Height();
    height = std::clamp<int64_t>(height, 0, std::max<int64_t>(0, area.Height()));
    TextBand out;
    out.rect = CRect(area.left, LONG(area.bottom - height), area.right, area.bottom);
    out.rest = CRect(area.left, area.top, area.right, out.rect.top);
    out.textWidth = std::max<LONG>(0, measured.Width());
    return out;
}

void DrawTextShrinkToFit(CDC* dc, int dpi, const std::string& text, const RECT& rc, UINT format, const LOGFONT* lf)
{
    if (!lf)
        return;
    int height = std::abs(static_cast<int>(lf->lfHeight)) * dpi / kScreenDpi;
    const int step = dpi / kScreenDpi > 0 ? dpi / kScreenDpi : 1;
    while (height >= 2) {
        LOGFONT sized = *lf;
        sized.lfHeight = height; // a positive cell height
        CFont font;
        font.CreateFontIndirect(&sized);
        CFont* old = dc->SelectObject(&font);

        RECT measured = rc;
        if (DrawTextGuarded(dc, text, measured, format | DT_CALCRECT)) {
            const int needed = measured.bottom - measured.top;
            if (rc.top + needed <= rc.bottom) {
                RECT cut = rc;
                cut.bottom = rc.top + needed;
                dc->DrawText(text, &cut, format);
                dc->SelectObject(old);
                return;
            }
            // Close to fitting: a step smaller; far off: half the size.
            height = needed <= 2 * (rc.bottom - rc.top) ? height - step : height / 2;
        } else {
            if (measured.top <= measured.bottom) {
                dc->SelectObject(old);
                return; // nothing to draw at any size
            }
            height /= 2;
        }
        dc->SelectObject(old);
    }
}

namespace {

RECT Measure(CFont* font, const std::string& text)
{
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CFont* old = dc.SelectObject(font);
    RECT rc{};
    dc.DrawText(text, &rc, DT_CALCRECT | DT_NOPREFIX);
    dc.SelectObject(old);
    return rc;
}

} // namespace

int MeasureTextWidth(CFont* font, const std::string& text)
{
    const RECT rc = Measure(font, text);
    return rc.right - rc.left;
}

int MeasureTextHeight(CFont* font)
{
    const RECT rc = Measure(font, "123");
    return rc.bottom - rc.top;
}
