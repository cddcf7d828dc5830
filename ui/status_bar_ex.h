#pragma once

#include "platform/framework/control_bar.h"

#include <vector>

// The frames' status bar: every pane painted as white text on a dark band,
// with the program's corner icon at the right end.
class CStatusBarEx : public CStatusBar {
    DECLARE_DYNAMIC(CStatusBarEx)
public:
    enum : UINT { IDI_CORNER = 229 };
    static constexpr int kMaxParts = 20;
    static constexpr COLORREF kBackColor = RGB(42, 0, 85);

    // The panes' rectangles as they are painted (at most 20), and the corner square.
    void ComputePaneRects(std::vector<CRect>& panes, CRect& corner) const;
    // The rectangle a pane's text is drawn in.
    CRect TextRect(const CRect& pane, const CRect& corner) const;

protected:
    void OnPaint() override;
};
