#include "platform/framework/control_bar.h"

#include "platform/framework/frame_wnd.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"
#include "resources/string_table.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>


IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CToolBar, CControlBar)
IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)

namespace {

QColor Q(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Update requests for one toolbar button.
class CToolCmdUI : public CCmdUI {
public:
    CToolBar* bar = nullptr;
    void Enable(BOOL bOn) override
    {
        CCmdUI::Enable(bOn);
        UINT s = bar->GetButtonState(int(m_nIndex));
        bar->SetButtonState(int(m_nIndex), bOn ? (s | TBSTATE_ENABLED) : (s & ~(TBSTATE_ENABLED | TBSTATE_PRESSED)));
    }
    void SetCheck(int nCheck) override
    {
        CCmdUI::SetCheck(nCheck);
        UINT s = bar->GetButtonState(int(m_nIndex)) & ~(TBSTATE_CHECKED | TBSTATE_INDETERMINATE);
        if (nCheck == 1)
            s |= TBSTATE_CHECKED;
        else if (nCheck == 2)
            s |= TBSTATE_INDETERMINATE;
        bar->SetButtonState(int(m_nIndex), s);
    }
};

class CStatusCmdUI : public CCmdUI {
public:
    CStatusBar* bar = nullptr;
    void Enable(BOOL bOn) override
    {
        CCmdUI::Enable(bOn);
        UINT s = bar->GetPaneStyle(int(m_nIndex));
        bar->SetPaneStyle(int(m_nIndex), bOn ? (s & ~SBPS_DISABLED) : (s | SBPS_DISABLED));
    }
    void SetCheck(int nCheck) override
    {
        CCmdUI::SetCheck(nCheck);
        UINT s = bar->GetPaneStyle(int(m_nIndex));
        bar->SetPaneStyle(int(m_nIndex), nCheck ? (s | SBPS_POPOUT) : (s & ~SBPS_POPOUT));
    }
    void SetText(const std::string& text) override { bar->SetPaneText(int(m_nIndex), text); }
};

} // namespace

// ---------------------------------------------------------------------------

CControlBar::CControlBar() { m_crDefaultBack = GetSysColor(COLOR_3DFACE); }

CControlBar::~CControlBar()
{
    if (m_pDockFrame)
        m_pDockFrame->RemoveControlBar(this);
}

BOOL CControlBar::IsVisible() const { return m_hWnd && !m_hWnd->isHidden(); }

void CControlBar::RegisterWithFrame()
{
    CWnd* p = GetParent();
    m_pDockFrame = p && p->IsKindOf(RUNTIME_CLASS(CFrameWnd)) ? static_cast<CFrameWnd*>(p) : nullptr;
    if (m_pDockFrame) {
        m_pDockFrame->AddControlBar(this);
        m_pDockFrame->RecalcLayout();
    }
    if (!m_pOwner)
        m_pOwner = p;
}

void CControlBar::OnDestroy()
{
    if (m_pDockFrame)
        m_pDockFrame->RemoveControlBar(this);
    m_pDockFrame = nullptr;
    CWnd::OnDestroy();
}

// ---------------------------------------------------------------------------
// CToolBar

CToolBar::CToolBar() = default;
CToolBar::~CToolBar() = default;

BOOL CToolBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    return CreateEx(pParentWnd, 0, dwStyle, CRect(0, 0, 0, 0), nID);
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect, UINT nID)
{
    m_dwCtrlStyle = dwCtrlStyle;
    m_dwBarStyle = dwStyle & CBRS_ALIGN_ANY ? (dwStyle & 0xFFFF) : CBRS_TOP;
    DWORD wndStyle = (dwStyle & 0xFFFF0000u) | WS_CHILD;
    if (!CWnd::Create(nullptr, "", wndStyle, CRect(0, 0, 100, 30), pParentWnd, nID, pParentWnd))
        return FALSE;
    RegisterWithFrame();
    return TRUE;
}

BOOL CToolBar::LoadBitmap(const QImage& bitmap)
{
    if (bitmap.isNull())
        return FALSE;
    m_bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    Invalidate();
    return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount)
{
    m_buttons.clear();
    int image = 0;
    for (int i = 0; i < nIDCount; ++i) {
        Button b;
        b.id = lpIDArray ? lpIDArray[i] : 0;
        if (b.id == ID_SEPARATOR) {
            b.style = TBSTYLE_SEP;
            b.state = 0;
        } else {
            b.image = image++;
        }
        m_buttons.push_back(b);
    }
    Layout();
    if (m_pDockFrame)
        m_pDockFrame->RecalcLayout();
    return TRUE;
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage)
{
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(sizeImage.cx, sizeImage.cy));
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(sizeButton.cx, sizeButton.cy));
}

LRESULT CToolBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case TB_SETBUTTONSIZE: {
        CSize s(LOWORD(DWORD(lParam)), HIWORD(DWORD(lParam)));
        if (s.cx <= 0 || s.cy <= 0)
            return FALSE;
        m_sizeButton = s;
        Layout();
        return TRUE;
    }
    case TB_SETBITMAPSIZE: {
        CSize s(LOWORD(DWORD(lParam)), HIWORD(DWORD(lParam)));
        if (s.cx <= 0 || s.cy <= 0)
            return FALSE;
        m_sizeImage = s;
        return TRUE;
    }
    default: return CControlBar::WindowProc(msg, wParam, lParam);
    }
}

BOOL CToolBar::HasButtonText() const
{
    for (const Button& b : m_buttons)
        if (!b.text.empty())
            return TRUE;
    return FALSE;
}

void CToolBar::Layout()
{
    m_rects.assign(m_buttons.size(), CRect());
    int x = m_cxLeftBorder;
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const Button& b = m_buttons[i];
        if (b.state & TBSTATE_HIDDEN) {
            m_rects[i] = CRect(x, m_cyTopBorder, x, m_cyTopBorder + m_sizeButton.cy);
            continue;
        }
        int w = (b.style & TBSTYLE_SEP) ? b.width : m_sizeButton.cx;
        m_rects[i] = CRect(x, m_cyTopBorder, x + w, m_cyTopBorder + m_sizeButton.cy);
        x += w;
    }
}

void CToolBar::GetItemRect(int nIndex, RECT* lpRect) const
{
    *lpRect = nIndex >= 0 && nIndex < int(m_rects.size()) ? m_rects[size_t(nIndex)] : CRect();
}

UINT CToolBar::GetButtonStyle(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetCount())
        return 0;
    const Button& b = m_buttons[size_t(nIndex)];
    return (b.style & 0xFFFF) | (b.state << 16);
}

void CToolBar::SetButtonStyle(int nIndex, UINT nStyle)
{
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Button& b = m_buttons[size_t(nIndex)];
    UINT old = GetButtonStyle(nIndex);
    b.style = nStyle & 0xFFFF;
    b.state = nStyle >> 16;
    if (old != nStyle) {
        Layout();
        InvalidateRect(&m_rects[size_t(nIndex)]);
    }
}

UINT CToolBar::GetButtonState(int nIndex) const
{
    return nIndex >= 0 && nIndex < GetCount() ? m_buttons[size_t(nIndex)].state : 0;
}

void CToolBar::SetButtonState(int nIndex, UINT nState)
{
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Button& b = m_buttons[size_t(nIndex)];
    if (b.state == nState)
        return;
    bool hiddenChanged = ((b.state ^ nState) & TBSTATE_HIDDEN) != 0;
    b.state = nState;
    if (hiddenChanged)
        Layout();
    // The bar's own repaint policy decides what to redraw (flat bars repaint
    // only the buttons whose style word changed).
}

CSize CToolBar::CalcFixedLayout(BOOL, BOOL)
{
    CRect ins = GetNonClientInsets();
    return CSize(32767, m_sizeButton.cy + m_cyTopBorder + m_cyBottomBorder + ins.top + ins.bottom);
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler)
{
    CToolCmdUI state;
    state.bar = this;
    state.m_pOther = this;
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = m_buttons[size_t(i)];
        if (b.style & TBSTYLE_SEP)
            continue;
        UINT before = b.state;
        state.m_nIndex = UINT(i);
        state.m_nID = b.id;
        state.DoUpdate(pTarget, bDisableIfNoHndler);
        if (m_buttons[size_t(i)].state != before)
            InvalidateRect(&m_rects[size_t(i)]);
    }
}

int CToolBar::HitTestButton(CPoint point) const
{
    for (int i = 0; i < int(m_rects.size()); ++i) {
        const Button& b = m_buttons[size_t(i)];
        if (!(b.style & TBSTYLE_SEP) && !(b.state & TBSTATE_HIDDEN) && m_rects[size_t(i)].PtInRect(point))
            return i;
    }
    return -1;
}

void CToolBar::OnLButtonDown(UINT, CPoint point)
{
    int i = HitTestButton(point);
    if (i < 0 || !(m_buttons[size_t(i)].state & TBSTATE_ENABLED))
        return;
    m_nPressed = i;
    m_buttons[size_t(i)].state |= TBSTATE_PRESSED;
    InvalidateRect(&m_rects[size_t(i)]);
    SetCapture();
}

void CToolBar::OnMouseMove(UINT nFlags, CPoint point)
{
    if (m_nPressed >= 0) {
        Button& b = m_buttons[size_t(m_nPressed)];
        bool over = HitTestButton(point) == m_nPressed;
        UINT s = over ? (b.state | TBSTATE_PRESSED) : (b.state & ~TBSTATE_PRESSED);
        if (s != b.state) {
            b.state = s;
            InvalidateRect(&m_rects[size_t(m_nPressed)]);
        }
    }
    int hot = HitTestButton(point);
    if (m_hWnd) {
        std::string tip = hot >= 0 ? std::string(res::TooltipPart(m_buttons[size_t(hot)].id)) : std::string();
        m_hWnd->setToolTip(QString::fromStdString(tip));
    }
}

void CToolBar::OnLButtonUp(UINT, CPoint point)
{
    if (m_nPressed < 0)
        return;
    int i = m_nPressed;
    m_nPressed = -1;
    if (GetCapture() == this)
        ReleaseCapture();
    Button& b = m_buttons[size_t(i)];
    b.state &= ~TBSTATE_PRESSED;
    InvalidateRect(&m_rects[size_t(i)]);
    if (HitTestButton(point) != i)
        return;
    if (b.style & TBSTYLE_CHECK)
        b.state ^= TBSTATE_CHECKED;
    CWnd* target = GetOwner();
    if (target)
        target->SendMessage(WM_COMMAND, MAKEWPARAM(int(b.id), 0), 0);
}

void CToolBar::OnPaint()
{
    CPaintDC dc(this);
    QPainter* p = dc.Painter();
    if (!p)
        return;
    CRect rc;
    GetClientRect(&rc);
    p->fillRect(QRect(0, 0, rc.Width(), rc.Height()), Q(GetSysColor(COLOR_3DFACE)));
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = m_buttons[size_t(i)];
        const CRect& r = m_rects[size_t(i)];
        if ((b.style & TBSTYLE_SEP) || (b.state & TBSTATE_HIDDEN))
            continue;
        bool down = b.state & (TBSTATE_CHECKED | TBSTATE_PRESSED);
        QColor tl = Q(GetSysColor(down ? COLOR_3DSHADOW : COLOR_3DHILIGHT));
        QColor br = Q(GetSysColor(down ? COLOR_3DHILIGHT : COLOR_3DSHADOW));
        p->fillRect(QRect(r.left, r.top, r.Width(), 1), tl);
        p->fillRect(QRect(r.left, r.top, 1, r.Height()), tl);
        p->fillRect(QRect(r.left, r.bottom - 1, r.Width(), 1), br);
        p->fillRect(QRect(r.right - 1, r.top, 1, r.Height()), br);
        if (!m_bitmap.isNull() && b.image >= 0) {
            int x = r.left + (r.Width() - m_sizeImage.cx) / 2 + (down ? 1 : 0);
            int y = r.top + (r.Height() - m_sizeImage.cy) / 2 + (down ? 1 : 0);
            p->drawImage(QPoint(x, y), m_bitmap, QRect(b.image * m_sizeImage.cx, 0, m_sizeImage.cx, m_sizeImage.cy));
        }
    }
}

// ---------------------------------------------------------------------------
// CStatusBar

CStatusBar::CStatusBar() = default;

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    m_dwBarStyle = (dwStyle & CBRS_ALIGN_ANY) ? (dwStyle & 0xFFFF) : CBRS_BOTTOM;
    DWORD wndStyle = (dwStyle & 0xFFFF0000u) | WS_CHILD;
    if (!CWnd::Create(nullptr, "", wndStyle, CRect(0, 0, 100, 20), pParentWnd, nID, nullptr))
        return FALSE;
    SetFont(GetNonClientMetrics().lfStatusFont, FALSE);
    RegisterWithFrame();
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount)
{
    m_panes.clear();
    QFontMetrics fm(GetFont());
    for (int i = 0; i < nIDCount; ++i) {
        Pane p;
        p.id = lpIDArray ? lpIDArray[i] : 0;
        if (p.id != ID_SEPARATOR) {
            p.text = std::string(res::String(p.id));
            p.cxText = fm.horizontalAdvance(QString::fromStdString(p.text));
        } else if (i == 0) {
            p.style = SBPS_NOBORDERS | SBPS_STRETCH;
            p.cxText = 1;
        }
        m_panes.push_back(p);
    }
    Invalidate();
    return TRUE;
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const
{
    if (nIndex < 0 || nIndex >= GetCount()) {
        nID = nStyle = 0;
        cxWidth = 0;
        return;
    }
    const Pane& p = m_panes[size_t(nIndex)];
    nID = p.id;
    nStyle = p.style;
    cxWidth = p.cxText;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth)
{
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Pane& p = m_panes[size_t(nIndex)];
    p.id = nID;
    p.style = nStyle;
    p.cxText = std::max(0, cxWidth);
    Invalidate();
}

UINT CStatusBar::GetPaneStyle(int nIndex) const { return nIndex >= 0 && nIndex < GetCount() ? m_panes[size_t(nIndex)].style : 0; }

void CStatusBar::SetPaneStyle(int nIndex, UINT nStyle)
{
    if (nIndex < 0 || nIndex >= GetCount() || m_panes[size_t(nIndex)].style == nStyle)
        return;
    m_panes[size_t(nIndex)].style = nStyle;
    Invalidate();
}

std::string CStatusBar::GetPaneText(int nIndex) const
{
    return nIndex >= 0 && nIndex < GetCount() ? m_panes[size_t(nIndex)].text : std::string();
}

BOOL CStatusBar::SetPaneText(int nIndex, const std::string& text, BOOL bUpdate)
{
    if (nIndex < 0 || nIndex >= GetCount())
        return FALSE;
    if (m_panes[size_t(nIndex)].text == text)
        return TRUE;
    m_panes[size_t(nIndex)].text = text;
    if (bUpdate)
        Invalidate();
    return TRUE;
}

int CStatusBar::GetParts(int nParts, int* pRightEdges) const
{
    int x = 0;
    int n = 0;
    for (const Pane& p : m_panes) {
        int right = x + p.cxText + kPaneBorder;
        if (n < nParts && pRightEdges)
            pRightEdges[n] = right;
        ++n;
        x = right + kPaneGap;
    }
    return n;
}

void CStatusBar::GetItemRect(int nIndex, RECT* lpRect) const
{
    std::vector<int> rights(m_panes.size());
    GetParts(int(rights.size()), rights.data());
    if (nIndex < 0 || nIndex >= GetCount()) {
        *lpRect = CRect();
        return;
    }
    CRect rc;
    GetClientRect(&rc);
    int left = nIndex == 0 ? 0 : rights[size_t(nIndex - 1)] + kPaneGap;
    *lpRect = CRect(left, 0, rights[size_t(nIndex)], rc.Height());
}

CSize CStatusBar::CalcFixedLayout(BOOL, BOOL)
{
    QFontMetrics fm(GetFont());
    return CSize(32767, std::max(20, fm.height() + 6));
}

void CStatusBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler)
{
    CStatusCmdUI state;
    state.bar = this;
    state.m_pOther = this;
    for (int i = 0; i < GetCount(); ++i) {
        state.m_nIndex = UINT(i);
        state.m_nID = m_panes[size_t(i)].id;
        if (state.m_nID == ID_SEPARATOR)
            continue;
        // Panes without a handler keep their text.
        state.DoUpdate(pTarget, FALSE);
    }
}

LRESULT CStatusBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == SB_SETBKCOLOR) {
        COLORREF old = m_crBk;
        m_crBk = COLORREF(lParam);
        Invalidate();
        return LRESULT(old);
    }
    return CControlBar::WindowProc(msg, wParam, lParam);
}

void CStatusBar::OnPaint()
{
    CPaintDC dc(this);
    QPainter* p = dc.Painter();
    if (!p)
        return;
    CRect rc;
    GetClientRect(&rc);
    COLORREF back = m_crBk == 0xFF000000 ? GetSysColor(COLOR_3DFACE) : m_crBk;
    p->fillRect(QRect(0, 0, rc.Width(), rc.Height()), Q(back));
    p->setFont(GetFont());
    for (int i = 0; i < GetCount(); ++i) {
        CRect r;
        GetItemRect(i, &r);
        if (!(m_panes[size_t(i)].style & SBPS_DISABLED))
            p->drawText(QRect(r.left + 3, r.top, r.Width() - 6, r.Height()), Qt::AlignVCenter | Qt::AlignLeft,
                        QString::fromStdString(m_panes[size_t(i)].text));
    }
}
