#include "ui/dialog_ex.h"

#include "ui/caption_fonts.h"
#include "ui/ui_services.h"
#include "platform/framework/controls.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd_bridge.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>

IMPLEMENT_DYNAMIC(CDialogEx, CDialog)

namespace {

COLORREF g_defaultBack = CLR_INVALID;

// The dialogs that are up, the one shown last at the back.
std::vector<CDialogEx*>& Shown()
{
    static std::vector<CDialogEx*> v;
    return v;
}

void Forget(CDialogEx* dlg)
{
    auto& v = Shown();
    v.erase(std::remove(v.begin(), v.end(), dlg), v.end());
}

QColor Q(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

} // namespace

void CDialogEx::SetDefaultBackColor(COLORREF cr) { g_defaultBack = cr; }
COLORREF CDialogEx::GetDefaultBackColor() { return g_defaultBack; }
CDialogEx* CDialogEx::GetCurrentDialog() { return Shown().empty() ? nullptr : Shown().back(); }

CDialogEx::CDialogEx(UINT nIDTemplate, CWnd* pParentWnd) : CDialog(nIDTemplate, pParentWnd)
{
    if (g_defaultBack != CLR_INVALID)
        SetBackColor(g_defaultBack);
}

CDialogEx::~CDialogEx() { Forget(this); }

INT_PTR CDialogEx::DoModal() { return CDialog::DoModal(); }

HWND CDialogEx::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    // A child dialog (a pane's page) has no caption or frame of its own.
    if (cs.style & WS_CHILD)
        return new CWndWidget(parent);
    SetOwnNonClient(TRUE);
    return new CWndWidget(parent, Qt::Window | Qt::FramelessWindowHint);
}

void CDialogEx::SetBackColor(COLORREF cr)
{
    m_crBack = cr;
    m_crDefaultBack = cr;
    if (m_hWnd) {
        ApplyControlColors();
        Invalidate();
    }
}

BOOL CDialogEx::OnInitDialog()
{
    CDialog::OnInitDialog();
    GetDialogCaptionFont();
    DWORD style = GetStyle();
    if ((style & WS_SYSMENU) && (style & (WS_BORDER | WS_DLGFRAME)))
        m_bHasClose = TRUE;
    ModifyStyle(WS_SYSMENU, 0);
    m_panels.clear();
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        // Only a plain group box, without any further style bit, becomes a panel.
        DWORD s = child->GetStyle();
        if (child->GetParent() == this && (s == (DWORD(WS_CHILD) | BS_GROUPBOX) || s == (DWORD(WS_CHILD | WS_VISIBLE) | BS_GROUPBOX)) &&
            qobject_cast<QGroupBox*>(child->m_hWnd)) {
            child->ShowWindow(SW_HIDE);
            m_panels.push_back(child);
        }
    }
    RecalcNonClient();
    ApplyControlColors();
    return TRUE;
}

// ---------------------------------------------------------------------------
// Colours

COLORREF CDialogEx::OnCtlColor(CWnd* pWnd, UINT nCtlColor)
{
    switch (nCtlColor) {
    case CTLCOLOR_BTN:
    case CTLCOLOR_STATIC: {
        CRect rc;
        pWnd->GetWindowRect(&rc);
        for (CWnd* panel : m_panels) {
            CRect pr;
            panel->GetWindowRect(&pr);
            if (rc.left >= pr.left && rc.top >= pr.top && rc.right <= pr.right && rc.bottom <= pr.bottom)
                return SchemeColorCream;
        }
        return m_crBack;
    }
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX: return CLR_INVALID;
    default: return m_crBack; // message boxes, scroll bars, the dialog, type 7
    }
}

void CDialogEx::ApplyControlColors()
{
    if (!m_hWnd)
        return;
    for (CWnd* child = GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
        QWidget* w = child->m_hWnd;
        UINT type = qobject_cast<QLabel*>(w) ? CTLCOLOR_STATIC
                    : (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w)) ? CTLCOLOR_BTN
                                                                                          : CTLCOLOR_EDIT;
        COLORREF cr = OnCtlColor(child, type);
        if (cr == CLR_INVALID || type == CTLCOLOR_EDIT)
            continue;
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, Q(cr));
        pal.setColor(QPalette::Button, Q(cr));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    }
}

BOOL CDialogEx::OnEraseBkgnd(CDC* pDC)
{
    if (m_crBack == CLR_INVALID)
        m_crDefaultBack = GetSysColor(COLOR_3DFACE);
    CDialog::OnEraseBkgnd(pDC);
    if (!pDC)
        return FALSE;
    QFont font = GetFont();
    LOGFONT lf = LogFontFromQFont(font, font.bold() ? 700 : 400);
    CFont dlgFont;
    dlgFont.CreateFontIndirect(&lf);
    for (CWnd* panel : m_panels) {
        CRect r;
        panel->GetWindowRect(&r);
        ScreenToClient(&r);
        pDC->RoundRect(&r, CPoint(6, 6));
        r.DeflateRect(4, 2);
        CFont* old = pDC->SelectObject(&dlgFont);
        COLORREF oldBk = pDC->SetBkColor(SchemeColorCream);
        pDC->DrawText(panel->GetWindowText(), &r, DT_SINGLELINE);
        pDC->SetBkColor(oldBk);
        pDC->SelectObject(old);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Caption

CRect CDialogEx::GetCaptionRect() const
{
    CRect w;
    GetWindowRect(&w);
    CRect r(0, 0, w.Width(), w.Height());
    r.DeflateRect(GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
    r.DeflateRect(GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME));
    r.bottom = r.top + GetSystemMetrics(SM_CYSIZE);
    return r;
}

CRect CDialogEx::GetIconBox() const
{
    CRect cap = GetCaptionRect();
    int top = cap.top + 1 + (cap.Height() - 16) / 2;
    return CRect(cap.left + 1, top, cap.left + 17, top + 16);
}

CRect CDialogEx::GetCloseBox() const
{
    CRect w;
    GetWindowRect(&w);
    int f = (GetStyle() & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME);
    NONCLIENTMETRICS m = GetNonClientMetrics();
    int left = w.Width() - f - 18, top = GetIconBox().top;
    return CRect(left, top, left + m.iCaptionWidth - 4, top + m.iCaptionHeight - 4);
}

BOOL CDialogEx::ShowsCloseButton() const
{
    DWORD s = GetStyle();
    return m_bHasClose || ((s & WS_SYSMENU) && (s & (WS_BORDER | WS_DLGFRAME)));
}

void CDialogEx::OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p)
{
    CDialog::OnNcCalcSize(bCalcValidRects, p);
    // The client area starts below the drawn caption.
    if (GetStyle() & (WS_BORDER | WS_DLGFRAME))
        p->rgrc[0].top = std::max(p->rgrc[0].top, GetCaptionRect().bottom);
}

void CDialogEx::OnNcPaint() { DrawNonClient(m_bActive); }

BOOL CDialogEx::OnNcActivate(BOOL bActive)
{
    BOOL r = CDialog::OnNcActivate(bActive);
    m_bActive = bActive;
    RedrawNonClient();
    return r;
}

void CDialogEx::DrawNonClient(BOOL bActive)
{
    if (!IsPainting()) {
        RedrawNonClient();
        return;
    }
    CWindowDC dc(this);
    const DWORD style = GetStyle();
    CRect w;
    GetWindowRect(&w);
    CRect r(0, 0, w.Width(), w.Height());
    if ((style & (WS_BORDER | WS_DLGFRAME)) || (GetExStyle() & WS_EX_WINDOWEDGE)) {
        CRect f = r;
        for (int i = 0; i < GetSystemMetrics(SM_CXBORDER) + 2; ++i) {
            dc.Draw3dRect(&f, GetSchemeSysColor(10), SchemeColorDeepBlue);
            f.DeflateRect(1, 1);
        }
        CRect in = r;
        in.DeflateRect(2 + GetSystemMetrics(SM_CXBORDER), 2 + GetSystemMetrics(SM_CYBORDER));
        const int h = GetSystemMetrics(SM_CYFRAME) - 2, v = GetSystemMetrics(SM_CXFRAME) - 2;
        const COLORREF face = GetSchemeSysColor(15);
        dc.FillSolidRect(in.left, in.top, in.Width(), h, face);
        dc.FillSolidRect(in.left, in.bottom - h, in.Width(), h, face);
        dc.FillSolidRect(in.left, in.top, v, in.Height(), face);
        dc.FillSolidRect(in.right - v, in.top, v, in.Height(), face);
    }
    if (style & (WS_BORDER | WS_DLGFRAME)) {
        DrawCaptionBand(&dc, GetCaptionRect(), GetDialogCaptionFont(), bActive, GetWindowText());
        if (m_nSystemIcon)
            DrawResIcon(&dc, GetIconBox().left, GetIconBox().top, m_nSystemIcon, GetIconBox().Size());
        if (ShowsCloseButton())
            DrawResIcon(&dc, GetCloseBox().left, GetCloseBox().top, m_bClosePressed ? IDI_CLOSE_PRESSED : IDI_CLOSE);
    }
}

// ---------------------------------------------------------------------------
// The close button

LRESULT CDialogEx::OnNcHitTest(CPoint point)
{
    if (m_bHasClose) {
        CRect w;
        GetWindowRect(&w);
        CRect box = GetCloseBox();
        box.OffsetRect(w.left, w.top);
        if (box.PtInRect(point))
            return HTSYSMENU;
    }
    return CDialog::OnNcHitTest(point);
}

void CDialogEx::TrackClose(CPoint cursor)
{
    CRect w;
    GetWindowRect(&w);
    CRect box = GetCloseBox();
    box.OffsetRect(w.left, w.top);
    BOOL pressed = m_ptPress.x != -1 && box.PtInRect(m_ptPress) && box.PtInRect(cursor);
    if (pressed != m_bClosePressed) {
        m_bClosePressed = pressed;
        RedrawNonClient();
    }
}

void CDialogEx::OnNcLButtonDown(UINT nHitTest, CPoint point)
{
    m_ptPress = point;
    TrackClose(point);
    if (nHitTest != HTSYSMENU)
        CDialog::OnNcLButtonDown(nHitTest, point);
}

void CDialogEx::OnNcMouseMove(UINT nHitTest, CPoint point)
{
    TrackClose(point);
    CDialog::OnNcMouseMove(nHitTest, point);
}

void CDialogEx::OnMouseMove(UINT nFlags, CPoint point)
{
    CPoint s = point;
    ClientToScreen(&s);
    TrackClose(s);
    CDialog::OnMouseMove(nFlags, point);
}

void CDialogEx::OnLButtonUp(UINT nFlags, CPoint point)
{
    CPoint s = point;
    ClientToScreen(&s);
    TrackClose(s);
    CDialog::OnLButtonUp(nFlags, point);
}

void CDialogEx::OnNcLButtonUp(UINT nHitTest, CPoint point)
{
    m_bClosePressed = FALSE;
    RedrawNonClient();
    CRect w;
    GetWindowRect(&w);
    CRect box = GetCloseBox();
    box.OffsetRect(w.left, w.top);
    bool pressOn = m_ptPress.x != -1 && box.PtInRect(m_ptPress), releaseOn = box.PtInRect(point);
    m_ptPress = CPoint(-1, -1);
    if (pressOn && releaseOn)
        PostMessage(WM_CLOSE);
    else if (!pressOn && !releaseOn)
        CDialog::OnNcLButtonUp(nHitTest, point);
}

// ---------------------------------------------------------------------------

void CDialogEx::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CDialog::OnShowWindow(bShow, nStatus);
    if (bShow) {
        Forget(this);
        Shown().push_back(this);
    } else {
        // A hidden dialog owns no message boxes; the one under it does again.
        Forget(this);
    }
}

void CDialogEx::OnDestroy()
{
    Forget(this);
    CDialog::OnDestroy();
}
