#include "ui/toolbar_ex.h"

#include "ui/draw_effects.h"
#include "ui/ui_services.h"
#include "resources/picture_resources.h"
#include "platform/framework/controls.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"
#include "platform/gdi/logfont.h"

#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <memory>

IMPLEMENT_DYNAMIC(CToolBarEx, CToolBar)

QImage LoadToolBarStrip(UINT bitmapId, COLORREF face)
{
    const std::vector<uint8_t> bytes = res::BinaryResource("bitmaps", bitmapId);
    QImage strip = QImage::fromData(bytes.data(), int(bytes.size())).convertToFormat(QImage::Format_RGB32);
    const QRgb magenta = qRgb(255, 0, 255), to = qRgb(GetRValue(face), GetGValue(face), GetBValue(face));
    for (int y = 0; y < strip.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x)
            if ((row[x] & 0xFFFFFF) == (magenta & 0xFFFFFF))
                row[x] = to;
    }
    return strip;
}

CToolBarEx::CToolBarEx()
{
    ReadColors();
    LOGFONT lf;
    if (CFont* gui = static_cast<CFont*>(CGdiObject::FromHandle(GetStockObject(DEFAULT_GUI_FONT)))) {
        gui->GetLogFont(&lf);
    } else {
        SetLogFontFaceName(lf, "MS Sans Serif");
        lf.lfWeight = 400;
    }
    lf.lfHeight = 6;
    lf.lfWidth = 0;
    m_font.CreateFontIndirect(&lf);
}

CToolBarEx::~CToolBarEx() = default;

BOOL CToolBarEx::CreateFrameBar(CWnd* pParent, UINT nID, const UINT* buttons, int count)
{
    if (!CreateEx(pParent, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY, CRect(0, 0, 0, 0),
                  nID))
        return FALSE;
    m_crFace = GetSchemeSysColor(15);
    SetButtons(buttons, count);
    SetSizes(CSize(31, 30), CSize(24, 24));
    return TRUE;
}

void CToolBarEx::ReadColors()
{
    m_crFace = GetSysColor(COLOR_3DFACE);
    m_crHilite = GetSysColor(COLOR_3DHILIGHT);
    m_crShadow = GetSysColor(COLOR_3DSHADOW);
    m_crLight = GetSysColor(COLOR_3DLIGHT);
    if (m_crLight == m_crFace)
        m_crLight = m_crHilite;
}

int CToolBarEx::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CToolBar::OnCreate(lpcs) == -1)
        return -1;
    m_hWndNotify = lpcs->pParent ? lpcs->pParent->m_hWnd : nullptr;
    // Room for the gripper before the first button.
    m_cxLeftBorder = 8;
    return 0;
}

void CToolBarEx::OnSysColorChange()
{
    CToolBar::OnSysColorChange();
    ReadColors();
}

LRESULT CToolBarEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT r = CToolBar::WindowProc(msg, wParam, lParam);
    if ((msg == TB_SETBUTTONSIZE || msg == TB_SETBITMAPSIZE) && r)
        RecalcImageOffset();
    return r;
}

void CToolBarEx::RecalcImageOffset()
{
    CSize button = GetButtonSize(), image = GetImageSize();
    if (HasButtonText())
        m_ptImageOffset = CPoint((button.cx - image.cx) / 2, m_cyTopBorder);
    else
        m_ptImageOffset = CPoint((button.cx - image.cx) / 2, (button.cy - image.cy) / 2);
}

void CToolBarEx::OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* p)
{
    CToolBar::OnNcCalcSize(bCalcValidRects, p);
    if (IsHorzDocked())
        p->rgrc[0].left += 4;
    else
        p->rgrc[0].top += 6;
}

void CToolBarEx::OnNcPaint()
{
    CToolBar::OnNcPaint();
    if (!m_bFlatDraw || IsFloating())
        return;
    CWindowDC dc(this);
    CRect w;
    GetWindowRect(&w);
    CRect win(0, 0, w.Width(), w.Height());
    CRect ins = GetNonClientInsets();
    // The strip before the buttons, then two raised bars in it.
    if (IsHorzDocked())
        dc.FillSolidRect(0, 0, ins.left + m_cxLeftBorder, win.Height(), m_crFace);
    else
        dc.FillSolidRect(0, 0, win.Width(), ins.top + m_cyTopBorder, m_crFace);
    CRect g = win;
    g.DeflateRect(4, 4);
    for (int i = 0; i < 2; ++i) {
        CRect bar = IsHorzDocked() ? CRect(g.left + 3 * i, g.top, g.left + 3 * i + 3, g.bottom)
                                   : CRect(g.left, g.top + 3 * i, g.right, g.top + 3 * i + 3);
        dc.Draw3dRect(&bar, m_crHilite, m_crShadow);
    }
}

BOOL CToolBarEx::OnEraseBkgnd(CDC* pDC)
{
    CRect rc;
    GetClientRect(&rc);
    int right = m_cxLeftBorder;
    for (int i = 0; i < GetCount(); ++i) {
        CRect b;
        GetItemRect(i, &b);
        right = std::max(right, int(b.right));
    }
    if (!pDC)
        return 0;
    if (right < rc.right)
        pDC->FillSolidRect(right, rc.top, rc.right - right, rc.Height(), m_crFace);
    // The borders round the buttons: nothing else paints them here.
    // (The strip left of the buttons is the gripper's, painted with the frame.)
    pDC->FillSolidRect(m_cxLeftBorder, 0, std::min<LONG>(right, rc.right) - m_cxLeftBorder, m_cyTopBorder, m_crFace);
    pDC->FillSolidRect(m_cxLeftBorder, m_cyTopBorder + GetButtonSize().cy, std::min<LONG>(right, rc.right) - m_cxLeftBorder,
                       rc.Height(), m_crFace);
    return 0;
}

LRESULT CToolBarEx::Notify(DWORD stage, CDC* pDC, const RECT& rc, DWORD_PTR item, UINT state)
{
    if (!m_hWndNotify)
        return 0;
    NMCUSTOMDRAW cd;
    cd.hdr.hwndFrom = m_hWnd;
    cd.hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    cd.hdr.code = NM_CUSTOMDRAW;
    cd.dwDrawStage = stage;
    cd.hdc = pDC;
    cd.rc = rc;
    cd.dwItemSpec = item;
    cd.uItemState = state;
    return ::SendMessage(m_hWndNotify, WM_NOTIFY, cd.hdr.idFrom, LPARAM(&cd));
}

void CToolBarEx::DrawSeparator(CDC* pDC, const CRect& rc)
{
    pDC->FillSolidRect(&rc, m_crFace);
    if (rc.Width() >= 9)
        return;
    if (IsHorzDocked()) {
        int x = rc.left + rc.Width() / 2 - 1;
        pDC->FillSolidRect(x, rc.top, 1, rc.Height(), m_crShadow);
        pDC->FillSolidRect(x + 1, rc.top, 1, rc.Height(), m_crHilite);
    } else {
        int y = (2 * rc.bottom + 5) / 2;
        int w = GetButtonSize().cx;
        pDC->FillSolidRect(rc.left - w, y, w, 1, m_crShadow);
        pDC->FillSolidRect(rc.left - w, y + 1, w, 1, m_crHilite);
    }
}

void CToolBarEx::DrawButton(CDC* pDC, int index, const CRect& rc, CImageList* images)
{
    const Button& b = GetButton(index);
    const BOOL enabled = (b.state & TBSTATE_ENABLED) != 0;
    const BOOL hot = index == m_nHotButton;
    const BOOL down = (b.state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
    CRect r(0, 0, rc.Width(), rc.Height());
    pDC->FillSolidRect(&r, down && !hot ? m_crLight : m_crFace);
    if (down) {
        pDC->Draw3dRect(&r, m_crShadow, m_crHilite);
        if (!hot) {
            CRect in = r;
            in.DeflateRect(1, 1);
            pDC->Draw3dRect(&in, m_crFace, m_crFace);
        }
    } else if (enabled) {
        if (hot)
            pDC->Draw3dRect(&r, m_crHilite, m_crShadow);
        else
            pDC->Draw3dRect(&r, m_crFace, m_crFace);
    }
    const CSize image = GetImageSize();
    const int shift = down ? 1 : 0;
    if (images && b.image >= 0 && b.image < images->GetImageCount()) {
        int x = (r.Width() - image.cx) / 2 + shift, y = m_ptImageOffset.y + shift;
        // Drawn transparent: the mask colour's pixels leave the face as it is.
        DrawImageTransparent(pDC, x, y, images->Image(b.image));
    }
    if (!b.text.empty()) {
        CRect t(3, m_ptImageOffset.y + image.cy + 1, r.right - 3, r.bottom - 3);
        t.OffsetRect(shift, shift);
        pDC->SetTextColor(RGB(0, 0, 0));
        pDC->SetBkMode(TRANSPARENT);
        pDC->DrawText(b.text, &t, DT_CENTER | DT_VCENTER | DT_NOCLIP);
    }
    if (!enabled)
        EmbossRectDisabled(pDC, r, m_crFace, m_crHilite, m_crShadow);
}

void CToolBarEx::OnPaint()
{
    if (!m_bFlatDraw) {
        CToolBar::OnPaint();
        return;
    }
    // The toolbar's own image list, or one cut from its bitmap for this paint.
    std::unique_ptr<CImageList> own;
    CImageList* images = GetImageList();
    m_bOwnImageList = FALSE;
    if (!images && !GetBitmap().isNull()) {
        const CSize image = GetImageSize();
        QImage bmp = GetBitmap();
        int width = (bmp.width() + 3) / 4 * 4;
        if (width != bmp.width()) {
            QImage wider(width, bmp.height(), QImage::Format_RGB32);
            wider.fill(QColor(GetRValue(m_crFace), GetGValue(m_crFace), GetBValue(m_crFace)));
            QPainter(&wider).drawImage(0, 0, bmp);
            bmp = wider;
        }
        own = std::make_unique<CImageList>();
        own->Create(image.cx, image.cy, ILC_MASK, 0, 0);
        own->SetBkColor(m_crFace);
        own->Add(bmp, m_crFace);
        images = own.get();
        m_bOwnImageList = TRUE;
    }
    if (!images) {
        CToolBar::OnPaint();
        return;
    }
    CPaintDC dc(this);
    CFont* oldFont = dc.SelectObject(&m_font);
    CRect client;
    GetClientRect(&client);
    LRESULT pre = Notify(CDDS_PREPAINT, &dc, client, 0, 0);
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = GetButton(i);
        if (b.state & TBSTATE_HIDDEN)
            continue;
        CRect rc;
        GetItemRect(i, &rc);
        if (b.style & TBSTYLE_SEP) {
            if ((b.state & TBSTATE_WRAP) && IsFloating())
                continue;
            DrawSeparator(&dc, rc);
            continue;
        }
        UINT state = 0;
        if (!(b.state & TBSTATE_ENABLED))
            state |= CDIS_DISABLED;
        if (b.state & (TBSTATE_CHECKED | TBSTATE_PRESSED))
            state |= CDIS_CHECKED;
        LRESULT item = (pre & CDRF_NOTIFYITEMDRAW) ? Notify(CDDS_ITEMPREPAINT, &dc, rc, b.id, state) : 0;
        if (!(item & CDRF_SKIPDEFAULT)) {
            // Each button is drawn in memory (the disabled look reads its pixels), then shown.
            QImage pic(rc.Width(), rc.Height(), QImage::Format_RGB32);
            {
                CDC mem(&pic);
                CFont* old = mem.SelectObject(&m_font);
                DrawButton(&mem, i, rc, images);
                mem.SelectObject(old);
            }
            dc.StretchImage(rc.left, rc.top, rc.Width(), rc.Height(), pic, 0, 0, rc.Width(), rc.Height(), SRCCOPY);
        }
        if (item & CDRF_NOTIFYPOSTPAINT)
            Notify(CDDS_ITEMPOSTPAINT, &dc, rc, b.id, state);
    }
    dc.SelectObject(oldFont);
    if (pre & CDRF_NOTIFYPOSTPAINT)
        Notify(CDDS_POSTPAINT, &dc, client, 0, 0);
}

void CToolBarEx::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler)
{
    if (!m_bFlatDraw) {
        CToolBar::OnUpdateCmdUI(pTarget, bDisableIfNoHndler);
        return;
    }
    m_arrLastStyle.resize(size_t(GetCount()));
    for (int i = 0; i < GetCount(); ++i)
        m_arrLastStyle[size_t(i)] = GetButtonStyle(i);
    CToolBar::OnUpdateCmdUI(pTarget, bDisableIfNoHndler);
    // Only the buttons whose state changed are drawn again.
    for (int i = 0; i < GetCount(); ++i) {
        if (GetButtonStyle(i) != m_arrLastStyle[size_t(i)]) {
            CRect rc;
            GetItemRect(i, &rc);
            InvalidateRect(&rc);
        }
    }
}

CPoint CToolBarEx::CursorPos() const
{
    QPoint g = QCursor::pos();
    CPoint p(g.x(), g.y());
    ScreenToClient(&p);
    return p;
}

void CToolBarEx::OnMouseMove(UINT nFlags, CPoint point)
{
    CToolBar::OnMouseMove(nFlags, point);
    if (!m_bFlatDraw)
        return;
    int old = m_nHotButton;
    int hot = -1;
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = GetButton(i);
        if ((b.style & TBSTYLE_SEP) || !(b.state & TBSTATE_ENABLED) || (b.state & TBSTATE_HIDDEN))
            continue;
        CRect rc;
        GetItemRect(i, &rc);
        if (rc.PtInRect(point)) {
            hot = i;
            break;
        }
    }
    if (hot != old) {
        m_nHotButton = hot;
        CRect rc;
        if (hot >= 0) {
            GetItemRect(hot, &rc);
            InvalidateRect(&rc);
        }
        if (old >= 0) {
            GetItemRect(old, &rc);
            InvalidateRect(&rc);
        }
    }
    if (m_nHotTimer)
        KillTimer(m_nHotTimer);
    m_nHotTimer = SetTimer(kHotTimer, kHotPeriodMs);
}

void CToolBarEx::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kHotTimer || !m_bFlatDraw) {
        CToolBar::OnTimer(nIDEvent);
        return;
    }
    if (m_nHotButton < 0)
        return;
    CRect client;
    GetClientRect(&client);
    CRect win;
    GetWindowRect(&win);
    ScreenToClient(&win);
    if (win.PtInRect(CursorPos()))
        return;
    CRect rc;
    GetItemRect(m_nHotButton, &rc);
    InvalidateRect(&rc);
    m_nHotButton = -1;
    KillTimer(m_nHotTimer);
    m_nHotTimer = 0;
}
