#include "ui/status_bar_ex.h"

#include "ui/caption_fonts.h"
#include "util/draw_guards.h"
#include "ui/ui_services.h"
#include "platform/framework/controls.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"

IMPLEMENT_DYNAMIC(CStatusBarEx, CStatusBar)

void CStatusBarEx::ComputePaneRects(std::vector<CRect>& panes, CRect& corner) const
{
    CRect rc;
    GetClientRect(&rc);
    corner = CRect(rc.right - rc.Height(), rc.top, rc.right, rc.bottom);
    int rights[kMaxParts];
    int n = std::min(GetParts(kMaxParts, rights), kMaxParts);
    panes.clear();
    // The room the panes leave free goes to the first stretching pane; the
    // panes after it move along so that none overlaps the next.
    int free = corner.left - 4 - (n > 0 ? rights[n - 1] : 0);
    int extra = 0;
    for (int i = 0; i < n; ++i) {
        UINT id, style;
        int width;
        GetPaneInfo(i, id, style, width);
        int left = i == 0 ? 0 : rights[i - 1] + extra;
        if ((style & SBPS_STRETCH) && extra == 0 && free > 0)
            width += extra = free;
        panes.emplace_back(left, rc.top, left + width, rc.bottom);
    }
}

CRect CStatusBarEx::TextRect(const CRect& pane, const CRect& corner) const
{
    CRect t = pane;
    t.left = std::max<LONG>(t.left, 8);
    t.right = std::min<LONG>(t.right, corner.left - 8);
    return t;
}

void CStatusBarEx::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, kBackColor);
    std::vector<CRect> panes;
    CRect corner;
    ComputePaneRects(panes, corner);
    dc.FillSolidRect(&corner, GetSchemeSysColor(15));
    DrawResIcon(&dc, rc.right - 16, rc.bottom - 16, IDI_CORNER);

    QFont status = GetNonClientMetrics().lfStatusFont;
    LOGFONT lf = LogFontFromQFont(status, 400);
    CFont font;
    font.CreateFontIndirect(&lf);
    CFontSelection sel(&dc, &font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    for (size_t i = 0; i < panes.size(); ++i) {
        CRect t = TextRect(panes[i], corner);
        if (t.IsRectEmpty())
            continue;
        UINT format = DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | (i + 1 == panes.size() ? DT_RIGHT : DT_LEFT);
        dc.DrawText(GetPaneText(int(i)), &t, format);
    }
}
