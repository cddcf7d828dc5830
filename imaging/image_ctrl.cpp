#include "imaging/image_ctrl.h"

#include "imaging/dib_bitmap.h"
#include "platform/framework/controls.h"
#include "platform/framework/menu.h"
#include "platform/framework/win_app.h"
#include "platform/gdi/dc.h"
#include "util/dither_highlight.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

IMPLEMENT_DYNCREATE(CImageCtrl, CWnd)

namespace {

constexpr UINT kOutlinePeriodMs = 300;
constexpr UINT kModifierPeriodMs = 150;

UINT KeysOf(Qt::KeyboardModifiers mods)
{
    UINT keys = 0;
    if (mods & Qt::ShiftModifier)
        keys |= kKeyShift;
    if (mods & Qt::ControlModifier)
        keys |= kKeyControl;
    if (mods & Qt::AltModifier)
        keys |= kKeyAlt;
    return keys;
}

QColor ColourOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect QtRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

} // namespace

// ---------------------------------------------------------------------------
// The widget: a scroll area whose viewport shows the picture. Its events go
// straight to the control; the scroll bars follow the model.

class CImageCtrl::View : public QAbstractScrollArea {
public:
    View(CImageCtrl* ctrl, QWidget* parent) : QAbstractScrollArea(parent), m_ctrl(ctrl)
    {
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        viewport()->setMouseTracking(true);
        // A click on the picture leaves the keyboard focus where it was.
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

protected:
    bool viewportEvent(QEvent* e) override
    {
        CImageCtrlModel& model = m_ctrl->m_model;
        switch (e->type()) {
        case QEvent::Paint: {
            QPainter painter(viewport());
            m_ctrl->Paint(painter);
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(e);
            const POINT pt{static_cast<LONG>(me->position().x()), static_cast<LONG>(me->position().y())};
            const UINT keys = KeysOf(me->modifiers());
            if (e->type() == QEvent::MouseMove) {
                // The cursor is chosen before the move is handled, and not during a drag.
                if (!model.IsDragging())
                    m_ctrl->ApplyCursor(model.ChooseCursor(pt, keys));
                model.OnMouseMove(pt, keys);
            } else if (me->button() == Qt::LeftButton) {
                if (e->type() == QEvent::MouseButtonPress)
                    model.OnLButtonDown(pt, keys);
                else if (e->type() == QEvent::MouseButtonDblClick)
                    model.OnLButtonDblClk(pt, keys);
                else
                    model.OnLButtonUp(pt, keys);
            } else if (me->button() == Qt::RightButton && e->type() == QEvent::MouseButtonPress) {
                model.OnRButtonDown(pt, keys);
            }
            return true;
        }
        case QEvent::Leave: model.OnMouseLeave(); return false;
        case QEvent::ContextMenu:
            m_ctrl->ShowContextMenu(static_cast<QContextMenuEvent*>(e)->globalPos());
            return true;
        default: return QAbstractScrollArea::viewportEvent(e);
        }
    }

    void scrollContentsBy(int, int) override
    {
        // A scroll bar moved by the user: the model decides and scrolls.
        if (m_ctrl->m_bSyncingBars)
            return;
        m_ctrl->m_model.Scroll(false, kScrollThumbTrack, horizontalScrollBar()->value());
        m_ctrl->m_model.Scroll(true, kScrollThumbTrack, verticalScrollBar()->value());
    }

    void changeEvent(QEvent* e) override
    {
        if (e->type() == QEvent::EnabledChange && m_ctrl->m_bGreyWhenDisabled)
            viewport()->update();
        QAbstractScrollArea::changeEvent(e);
    }

private:
    CImageCtrl* m_ctrl;
};

// What the model asks of the window.
class CImageCtrl::ModelHost : public CImageCtrlModel::Host {
public:
    explicit ModelHost(CImageCtrl* ctrl) : m_ctrl(ctrl) {}
    void Notify(int code, LPARAM param) override { m_ctrl->SendNotify(code, param); }
    void Invalidate() override
    {
        if (QWidget* v = m_ctrl->Viewport())
            v->update();
    }
    void ScrollContents(int dx, int dy) override
    {
        if (QWidget* v = m_ctrl->Viewport(); v && v->isVisible())
            v->scroll(dx, dy);
        else
            Invalidate();
    }
    void UpdateNow() override
    {
        if (QWidget* v = m_ctrl->Viewport(); v && v->isVisible())
            v->repaint();
    }
    void ScrollStateChanged() override { m_ctrl->ApplyScrollState(); }
    void SetCursor(ImageCursor cursor) override { m_ctrl->ApplyCursor(cursor); }

private:
    CImageCtrl* m_ctrl;
};

// ---------------------------------------------------------------------------

CImageCtrl::CImageCtrl() : m_host(std::make_unique<ModelHost>(this)) { m_model.SetHost(m_host.get()); }

CImageCtrl::~CImageCtrl()
{
    if (m_hWnd)
        DestroyWindow();
    m_model.SetHost(nullptr);
}

BOOL CImageCtrl::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID)
{
    m_pNotifyTarget = pParent;
    const DWORD exStyle = (style & WS_BORDER) ? DWORD(WS_EX_CLIENTEDGE) : DWORD(0);
    if (!CreateEx(exStyle, "CImageCtrl", "", style & ~WS_BORDER, rect, pParent, nID))
        return FALSE;
    m_dropTarget.Register(this);
    return TRUE;
}

HWND CImageCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    m_pView = new View(this, parent);
    m_pView->setFrameShape((cs.dwExStyle & WS_EX_CLIENTEDGE) ? QFrame::StyledPanel : QFrame::NoFrame);
    m_pView->setFrameShadow(QFrame::Sunken);
    QObject::connect(m_pView, &QObject::destroyed, m_pView, [this] { m_pView = nullptr; });
    return m_pView;
}

QWidget* CImageCtrl::Viewport() const { return m_pView ? m_pView->viewport() : nullptr; }

void CImageCtrl::OnDestroy()
{
    KillTimer(kOutlineTimer);
    KillTimer(kModifierTimer);
    m_dropTarget.Revoke();
    CWnd::OnDestroy();
}

void CImageCtrl::SendNotify(int code, LPARAM param)
{
    if (!m_pNotifyTarget || !m_pNotifyTarget->m_hWnd)
        return;
    NMIMAGECTRL record;
    record.hdr.hwndFrom = m_hWnd;
    record.hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    record.hdr.code = code;
    record.lParam = param;
    m_pNotifyTarget->SendMessage(WM_NOTIFY, WPARAM(m_hWnd), LPARAM(&record));
}

// ---- set-up

void CImageCtrl::SetBkColor(COLORREF colour)
{
    m_crBack = colour;
    Redraw();
}

void CImageCtrl::SetCursors(int cursor1, int cursor2, int cursor3)
{
    m_cursor[0] = cursor1;
    m_cursor[1] = cursor2;
    m_cursor[2] = cursor3;
    m_model.SetOwnerCursorsSet(cursor1 != -1, cursor2 != -1, cursor3 != -1);
}

void CImageCtrl::SetPreDrawCallback(ImagePreDrawFn fn, LPARAM user1, LPARAM user2)
{
    m_preDraw = fn;
    m_user[0][0] = user1;
    m_user[0][1] = user2;
}

void CImageCtrl::SetAreaDrawCallback(ImageAreaDrawFn fn, LPARAM user1, LPARAM user2)
{
    m_areaDraw = fn;
    m_user[1][0] = user1;
    m_user[1][1] = user2;
}

void CImageCtrl::SetOutlineStepCallback(ImageOutlineStepFn fn, LPARAM user1, LPARAM user2)
{
    m_outlineStep = fn;
    m_user[2][0] = user1;
    m_user[2][1] = user2;
}

void CImageCtrl::SetOverlayCallback(ImageOverlayFn fn, LPARAM user1, LPARAM user2)
{
    m_overlay = fn;
    m_user[3][0] = user1;
    m_user[3][1] = user2;
}

void CImageCtrl::EnableMouseTracking(BOOL on) { m_model.SetMouseTracking(on); }

void CImageCtrl::AddDropFormat(UINT format)
{
    if (format)
        m_dropTarget.m_formats.push_back(format);
}

void CImageCtrl::SetMode(int mode)
{
    m_model.SetMode(mode);
    if (mode < 0 || mode > 7)
        return;
    if (CImageCtrlModel::IsZoomTool(mode))
        SetTimer(kModifierTimer, kModifierPeriodMs);
    else
        KillTimer(kModifierTimer);
}

void CImageCtrl::SetZoomMode(int zoomed, BOOL scrollBars) { m_model.SetZoomMode(zoomed, scrollBars); }

void CImageCtrl::SetBorderWidth(int width)
{
    m_nBorderWidth = std::max(0, width);
    m_model.SetBorderWidth(m_nBorderWidth);
    m_model.RecalcLayout();
    Redraw();
}

void CImageCtrl::SetHighlightBorder(BOOL on)
{
    m_bHighlightBorder = on;
    Redraw();
}

void CImageCtrl::SetGreyWhenDisabled(BOOL on)
{
    m_bGreyWhenDisabled = on;
    Redraw();
}

void CImageCtrl::SetAnimatedOutline(BOOL on)
{
    m_bAnimatedOutline = on;
    Redraw();
}

BOOL CImageCtrl::SetEnlargeQuality(int quality)
{
    if (quality < 0 || quality > 2)
        return FALSE;
    m_nEnlargeQuality = quality;
    Redraw();
    return TRUE;
}

BOOL CImageCtrl::SetReduceQuality(int quality)
{
    if (quality < 0 || quality > 2)
        return FALSE;
    m_nReduceQuality = quality;
    Redraw();
    return TRUE;
}

// ---- picture

void CImageCtrl::SetImage(std::unique_ptr<CDibBitmap> picture, BOOL redrawNow)
{
    // A picture shown before goes only after the new one is in place.
    std::swap(m_ownedImage, picture);
    ShowImage(m_ownedImage.get(), redrawNow);
}

void CImageCtrl::SetBorrowedImage(CDibBitmap* picture, BOOL redrawNow)
{
    // The control's own picture handed back stays the control's.
    std::unique_ptr<CDibBitmap> previous;
    if (picture != m_ownedImage.get())
        previous = std::move(m_ownedImage);
    ShowImage(picture, redrawNow);
}

void CImageCtrl::ShowImage(CDibBitmap* picture, BOOL redrawNow)
{
    m_pImage = picture;
    PictureChanged();
    if (m_hWnd) {
        m_model.RecalcLayout();
        if (redrawNow) {
            Redraw();
            m_host->UpdateNow();
        }
    }
    m_model.UpdateVisibleRect();
}

void CImageCtrl::PictureChanged()
{
    ++m_generation;
    const bool valid = m_pImage && m_pImage->IsValid();
    m_model.SetPictureSize(valid ? m_pImage->GetSize() : CSize());
    if (!valid)
        m_displayCopy.Reset();
}

BOOL CImageCtrl::RotateImage(int degrees)
{
    if (!m_pImage || !m_pImage->IsValid())
        return FALSE;
    const CSize before = m_pImage->GetSize();
    if (!m_pImage->Rotate(degrees))
        return FALSE;
    PictureChanged();
    m_model.RotateAreas(before, degrees);
    m_model.RecalcLayout();
    SendNotify(ICN_ROTATED, 0);
    Redraw();
    m_model.UpdateVisibleRect();
    return TRUE;
}

// ---- window

void CImageCtrl::Redraw()
{
    // The picture is painted by the scroll area's viewport, which an update
    // of the control's own widget does not reach.
    m_host->Invalidate();
}

void CImageCtrl::UpdateWindowSize()
{
    if (!m_pView)
        return;
    m_model.SetScrollBarExtents(m_pView->verticalScrollBar()->sizeHint().width(),
                                m_pView->horizontalScrollBar()->sizeHint().height());
    const QRect room = m_pView->contentsRect();
    m_model.SetWindowSize(room.width(), room.height());
    ApplyScrollState();
}

void CImageCtrl::OnSize(UINT nType, int cx, int cy)
{
    UpdateWindowSize();
    CWnd::OnSize(nType, cx, cy);
}

void CImageCtrl::OnShowWindow(BOOL bShow, UINT nStatus)
{
    if (bShow)
        SetTimer(kOutlineTimer, kOutlinePeriodMs);
    else
        KillTimer(kOutlineTimer);
    CWnd::OnShowWindow(bShow, nStatus);
}

void CImageCtrl::ApplyScrollState()
{
    if (!m_pView)
        return;
    m_bSyncingBars = true;
    const bool bars = m_model.UsesScrollBars() != FALSE;
    struct Bar {
        QScrollBar* bar;
        const CImageCtrlModel::Axis& axis;
        bool vertical;
    } bars2[] = {{m_pView->horizontalScrollBar(), m_model.GetAxis(false), false},
                 {m_pView->verticalScrollBar(), m_model.GetAxis(true), true}};
    for (const Bar& b : bars2) {
        const bool shown = bars && b.axis.barShown;
        const Qt::ScrollBarPolicy policy = shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
        if (b.vertical ? m_pView->verticalScrollBarPolicy() != policy : m_pView->horizontalScrollBarPolicy() != policy) {
            if (b.vertical)
                m_pView->setVerticalScrollBarPolicy(policy);
            else
                m_pView->setHorizontalScrollBarPolicy(policy);
        }
        b.bar->setRange(b.axis.minPos, std::max(b.axis.minPos, b.axis.maxPos));
        b.bar->setPageStep(std::max(1, b.axis.page));
        b.bar->setValue(b.axis.pos);
    }
    m_pView->horizontalScrollBar()->setSingleStep(8);
    m_pView->verticalScrollBar()->setSingleStep(8);
    m_bSyncingBars = false;
}

void CImageCtrl::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kOutlineTimer) {
        AnimateOutline();
    } else if (nIDEvent == kModifierTimer) {
        ModifierChanged(KeysOf(QGuiApplication::queryKeyboardModifiers()));
    }
}

namespace {

// The modifiers as the key message being handled reports them.
UINT KeysOfMessage()
{
    return ((GetKeyState(VK_SHIFT) & 0x8000) ? kKeyShift : 0) | ((GetKeyState(VK_CONTROL) & 0x8000) ? kKeyControl : 0) |
           ((GetKeyState(VK_MENU) & 0x8000) ? kKeyAlt : 0);
}

} // namespace

void CImageCtrl::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_SHIFT || nChar == VK_CONTROL || nChar == VK_MENU)
        ModifierChanged(KeysOfMessage());
    CWnd::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CImageCtrl::OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_MENU)
        ModifierChanged(KeysOfMessage());
    CWnd::OnSysKeyDown(nChar, nRepCnt, nFlags);
}

void CImageCtrl::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_SHIFT || nChar == VK_CONTROL || nChar == VK_MENU)
        ModifierChanged(KeysOfMessage());
    CWnd::OnKeyUp(nChar, nRepCnt, nFlags);
}

void CImageCtrl::ModifierChanged(UINT keys)
{
    // The cursor follows the zoom modifier without a move of the mouse.
    if (!m_model.PollModifier(keys) || !CImageCtrlModel::IsZoomTool(m_model.GetMode()) || m_model.IsDragging())
        return;
    QWidget* v = Viewport();
    if (!v || !v->isVisible())
        return;
    const QPoint at = v->mapFromGlobal(QCursor::pos());
    if (v->rect().contains(at))
        ApplyCursor(m_model.ChooseCursor(POINT{at.x(), at.y()}, keys));
}

void CImageCtrl::ApplyCursor(ImageCursor cursor)
{
    QWidget* v = Viewport();
    if (!v)
        return;
    switch (cursor) {
    case ImageCursor::Unchanged: return;
    case ImageCursor::Owner1:
    case ImageCursor::Owner2:
    case ImageCursor::Owner3: {
        const int id = m_cursor[int(cursor) - int(ImageCursor::Owner1)];
        v->setCursor(id >= 0 ? LoadResCursor(UINT(id)) : QCursor(Qt::ArrowCursor));
        return;
    }
    case ImageCursor::SizeNWSE: v->setCursor(Qt::SizeFDiagCursor); return;
    case ImageCursor::SizeNESW: v->setCursor(Qt::SizeBDiagCursor); return;
    case ImageCursor::SizeNS: v->setCursor(Qt::SizeVerCursor); return;
    case ImageCursor::SizeWE: v->setCursor(Qt::SizeHorCursor); return;
    case ImageCursor::SizeAll: v->setCursor(Qt::SizeAllCursor); return;
    case ImageCursor::Cross: v->setCursor(Qt::CrossCursor); return;
    default: v->setCursor(Qt::ArrowCursor); return;
    }
}

void CImageCtrl::ShowContextMenu(QPoint global)
{
    if (!m_nContextMenu)
        return;
    CMenu menu;
    if (!menu.LoadMenu(m_nContextMenu))
        return;
    if (CMenu* popup = menu.GetSubMenu(0))
        popup->TrackPopupMenu(TPM_RIGHTBUTTON, global.x(), global.y(), AfxGetMainWnd());
}

// ---- painting

void CImageCtrl::Paint(QPainter& painter)
{
    CDC dc(&painter);
    CRect dest;
    if (!DrawImage(painter, dc, &dest))
        return;
    DrawBorder(dc);
    const CRect client = m_model.GetClientRect();
    if (m_overlay) {
        CRect inner = client;
        inner.DeflateRect(1, 1);
        const CRect visible = m_model.GetVisibleRect();
        m_overlay(&dc, inner, m_pImage, &visible, dest, m_user[3][0], m_user[3][1]);
    }
    DrawAreas(painter, dc);
}

bool CImageCtrl::DrawImage(QPainter& painter, CDC& dc, CRect* destOut)
{
    SendNotify(ICN_PREDRAW, 0);
    CRect dest;
    const CRect client = m_model.GetClientRect();
    if (m_pImage && m_pImage->IsValid()) {
        dest = m_model.GetVisiblePictureClientRect();
        if (!dest.IsRectEmpty()) {
            const CRect pictureRect = m_model.GetImageClientRect();
            resample::Kernel kernel;
            const int enlarge = m_model.IsPanning() ? 0 : m_nEnlargeQuality;
            if (!CDisplayCopy::KernelFor(m_pImage->GetSize().cx, pictureRect.Width(), enlarge, m_nReduceQuality, &kernel))
                return false;
            bool drawn;
            if (m_preDraw) {
                // The host sees (and may change) the visible part first: it is
                // made fresh for each paint.
                const CRect source = m_model.GetVisibleRect();
                CDibBitmap part;
                drawn = part.ExtractRect(*m_pImage, CRect(0, 0, source.Width(), source.Height()), source);
                if (drawn) {
                    m_preDraw(&part, m_user[0][0], m_user[0][1]);
                    CDisplayCopy once;
                    const CRect partRect = m_model.ImageRectToClient(source);
                    drawn = once.Draw(painter, part, 1, partRect, dest, kernel);
                }
            } else {
                // While panning any copy that covers the view will do.
                drawn = m_displayCopy.Draw(painter, *m_pImage, m_generation, pictureRect, dest, kernel,
                                           m_model.IsPanning());
            }
            if (!drawn)
                return false;
            if (m_bGreyWhenDisabled && !IsWindowEnabled())
                DitherHighlightRect(&dc, dest);
        }
    }
    QRegion background(QtRect(client));
    background -= QRegion(QtRect(dest));
    for (const QRect& r : background)
        painter.fillRect(r, ColourOf(m_crBack));
    *destOut = dest;
    return true;
}

void CImageCtrl::DrawBorder(CDC& dc)
{
    if (m_nBorderWidth <= 0)
        return;
    CRect ring = m_model.GetClientRect();
    dc.Draw3dRect(&ring, RGB(0, 0, 0), RGB(255, 255, 255));
    const COLORREF inner = m_bHighlightBorder ? GetSysColor(COLOR_HIGHLIGHT) : m_crBack;
    for (int i = 1; i < m_nBorderWidth; ++i) {
        ring.DeflateRect(1, 1);
        dc.Draw3dRect(&ring, inner, inner);
    }
}

void CImageCtrl::DrawAreas(QPainter& painter, CDC& dc)
{
    if (!m_pImage || !m_pImage->IsValid() || !IsWindowVisible())
        return;
    const int phase = m_model.GetOutlinePhase();
    for (int i = 0; i < m_model.GetAreaCount(); ++i) {
        const CImageQuad client = m_model.ImageQuadToClient(m_model.GetArea(i));
        if (m_areaDraw && m_areaDraw(&dc, i, client, phase, m_user[1][0], m_user[1][1]))
            continue;
        if (m_model.GetArea(i).IsEmpty())
            continue;
        DrawOutline(painter, client, m_bAnimatedOutline != FALSE);
    }
    const CImageQuad current = m_model.GetCurrentArea();
    if (m_outlineStep && m_bAnimatedOutline && !current.IsEmpty())
        m_outlineStep(&dc, m_model.ImageQuadToClient(current), m_nOldPhase, phase, m_user[2][0], m_user[2][1]);
}

namespace {

// Inverts the pixels of one upright or level edge from a to b (b not
// included), in dashes of 4 every 8 pixels moved on by phase, or whole.
void InvertEdge(QPainter& painter, POINT a, POINT b, int phase, bool dashed)
{
    const bool level = a.y == b.y;
    const int length = level ? b.x - a.x : b.y - a.y;
    if (length <= 0)
        return;
    auto run = [&](int from, int to) {
        from = std::max(from, 0);
        to = std::min(to, length);
        if (to <= from)
            return;
        if (level)
            painter.fillRect(QRect(a.x + from, a.y, to - from, 1), Qt::white);
        else
            painter.fillRect(QRect(a.x, a.y + from, 1, to - from), Qt::white);
    };
    if (!dashed) {
        run(0, length);
        return;
    }
    for (int start = phase - 8; start < length; start += 8)
        run(start, start + 4);
}

// A slanted edge: the first half of every 8 pixels along its longer axis.
void InvertSlantedEdge(QPainter& painter, POINT a, POINT b, bool dashed)
{
    if (!dashed) {
        painter.drawLine(a.x, a.y, b.x, b.y);
        return;
    }
    const int dx = b.x - a.x, dy = b.y - a.y;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    for (int s = 0; s < steps; s += 8) {
        const int e = std::min(s + 4, steps);
        painter.drawLine(QPointF(a.x + double(dx) * s / steps, a.y + double(dy) * s / steps),
                         QPointF(a.x + double(dx) * e / steps, a.y + double(dy) * e / steps));
    }
}

} // namespace

void CImageCtrl::DrawOutline(QPainter& painter, const CImageQuad& q, bool dashed)
{
    // Drawn as an inversion of what lies below, so it shows on any picture;
    // pixels inverted twice (the corners) come back.
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::white, 0));
    const CRect box = q.GetBoundingRect();
    const int phase = m_model.GetOutlinePhase();
    struct Edge {
        POINT a, b;
        bool drawn;
    };
    const Edge edges[] = {
        {q[0], q[1], true},
        {POINT{q[2].x, q[2].y - 1}, POINT{q[3].x, q[3].y - 1}, box.Height() > 1},
        {q[0], q[2], true},
        {POINT{q[1].x - 1, q[1].y}, POINT{q[3].x - 1, q[3].y - 1}, box.Width() > 1},
    };
    for (const Edge& e : edges) {
        if (!e.drawn)
            continue;
        if (e.a.x == e.b.x || e.a.y == e.b.y)
            InvertEdge(painter, e.a, e.b, phase, dashed);
        else
            InvertSlantedEdge(painter, e.a, e.b, dashed);
    }
    painter.restore();
}

void CImageCtrl::AnimateOutline()
{
    const CImageQuad current = m_model.GetCurrentArea();
    QWidget* v = Viewport();
    if (!m_bAnimatedOutline || current.IsEmpty() || !v || !v->isVisible() || !m_pImage || !m_pImage->IsValid())
        return;
    m_nOldPhase = m_model.AdvanceOutlinePhase();
    if (m_areaDraw && !m_outlineStep)
        return; // the host draws its areas and animates nothing
    const CImageQuad q = m_model.ImageQuadToClient(current);
    if (m_outlineStep) {
        CRect box = q.GetBoundingRect();
        box.InflateRect(2, 2);
        v->update(QtRect(box));
        return;
    }
    // Only the outline's band is painted again.
    QRegion band;
    const POINT ends[][2] = {{q[0], q[1]}, {q[2], q[3]}, {q[0], q[2]}, {q[1], q[3]}};
    for (const auto& e : ends) {
        CRect r(std::min(e[0].x, e[1].x), std::min(e[0].y, e[1].y), std::max(e[0].x, e[1].x),
                std::max(e[0].y, e[1].y));
        r.InflateRect(2, 2);
        band += QtRect(r);
    }
    v->update(band);
}

// ---- drops

CImageCtrl* CImageDropTarget::Target(CWnd* pWnd) const
{
    if (!m_pWnd || pWnd != m_pWnd)
        return nullptr;
    return m_pForward ? m_pForward : dynamic_cast<CImageCtrl*>(pWnd);
}

DROPEFFECT CImageDropTarget::OnDragEnter(CWnd* pWnd, COleDataObject* data, DWORD keyState, CPoint point)
{
    CImageCtrl* ctrl = Target(pWnd);
    return ctrl && IsAcceptedFormat(data) ? ctrl->DoDragEnter(data, keyState, point) : DROPEFFECT_NONE;
}

DROPEFFECT CImageDropTarget::OnDragOver(CWnd* pWnd, COleDataObject* data, DWORD keyState, CPoint point)
{
    CImageCtrl* ctrl = Target(pWnd);
    return ctrl && IsAcceptedFormat(data) ? ctrl->DoDragOver(data, keyState, point) : DROPEFFECT_NONE;
}

BOOL CImageDropTarget::OnDrop(CWnd* pWnd, COleDataObject* data, DROPEFFECT effect, CPoint point)
{
    CImageCtrl* ctrl = Target(pWnd);
    return ctrl && IsAcceptedFormat(data) ? ctrl->DoDrop(data, effect, point) : FALSE;
}

DROPEFFECT CImageDropTarget::OnDragScroll(CWnd* pWnd, DWORD keyState, CPoint point)
{
    CImageCtrl* ctrl = Target(pWnd);
    return ctrl ? ctrl->DoDragScroll(keyState, point) : DROPEFFECT_NONE;
}

DROPEFFECT CImageCtrl::DoDragEnter(COleDataObject* data, DWORD keyState, CPoint point)
{
    if (!m_bDropEnabled)
        return DROPEFFECT_NONE;
    return m_pDropListener ? m_pDropListener->DragEnter(data, keyState, point) : DROPEFFECT_COPY;
}

DROPEFFECT CImageCtrl::DoDragOver(COleDataObject* data, DWORD keyState, CPoint point)
{
    if (!m_bDropEnabled)
        return DROPEFFECT_NONE;
    return m_pDropListener ? m_pDropListener->DragOver(data, keyState, point) : DROPEFFECT_COPY;
}

DROPEFFECT CImageCtrl::DoDragScroll(DWORD keyState, CPoint point)
{
    if (!m_bDropEnabled)
        return DROPEFFECT_NONE;
    return m_pDropListener ? m_pDropListener->DragScroll(this, keyState, point) : DROPEFFECT_COPY;
}

BOOL CImageCtrl::DoDrop(COleDataObject* data, DROPEFFECT effect, CPoint point)
{
    if (m_pDropListener && !m_pDropListener->Drop(data, effect, point))
        return FALSE;
    m_pDropData = data;
    SendNotify(ICN_DROP, 0);
    m_pDropData = nullptr;
    return TRUE;
}
