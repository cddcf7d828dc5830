#include "browser/gallery_ctrl.h"

#include "ui/text_draw.h"
#include "imaging/dib_bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"
#include "platform/framework/wnd_bridge.h"

#include <QAbstractScrollArea>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QContextMenuEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

IMPLEMENT_DYNCREATE(CGalleryCtrl, CWnd)

BEGIN_MESSAGE_MAP(CGalleryCtrl, CWnd)
ON_CONTROL(EN_KILLFOCUS, CGalleryCtrl::IDC_GALLERY_EDIT, &CGalleryCtrl::OnEditKillFocus)
END_MESSAGE_MAP()

namespace {

// Shift and Ctrl as mouse messages carry them (the model's kKeyShift, kKeyControl).
UINT KeysOf(Qt::KeyboardModifiers mods) { return fwdetail::MouseFlags({}, mods) & (MK_SHIFT | MK_CONTROL); }

// The virtual key of a Qt key the gallery acts on; 0 for others.
UINT VirtualKeyOf(int key)
{
    switch (key) {
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    default: break;
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return UINT(key); // the same codes as the virtual keys
    return 0;
}

QRect QtRect(const CRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// The grey dotted frame of the rubber band and of a cell being resized.
void DrawDottedFrame(QPainter& painter, const CRect& r)
{
    if (r.Width() <= 0 && r.Height() <= 0)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.left, r.top, std::max<int>(r.Width() - 1, 0), std::max<int>(r.Height() - 1, 0));
    painter.restore();
}

} // namespace

// ---------------------------------------------------------------------------
// The widget: a scroll area whose viewport shows the cells.

class CGalleryCtrl::View : public QAbstractScrollArea {
public:
    View(CGalleryCtrl* ctrl, QWidget* parent) : QAbstractScrollArea(parent), m_ctrl(ctrl)
    {
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        viewport()->setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

protected:
    bool viewportEvent(QEvent* e) override
    {
        if (!m_ctrl)
            return QAbstractScrollArea::viewportEvent(e);
        switch (e->type()) {
        case QEvent::Paint: {
            QPainter painter(viewport());
            m_ctrl->Paint(painter, static_cast<QPaintEvent*>(e)->rect());
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: m_ctrl->Mouse(e); return true;
        case QEvent::ContextMenu: {
            // The gallery shows no menu itself: its owners may.
            const QPoint g = static_cast<QContextMenuEvent*>(e)->globalPos();
            m_ctrl->SendMessage(WM_CONTEXTMENU, WPARAM(m_ctrl->m_hWnd), MAKELPARAM(g.x(), g.y()));
            return true;
        }
        case QEvent::Wheel: {
            auto* we = static_cast<QWheelEvent*>(e);
            m_ctrl->m_model.Wheel(we->angleDelta().y());
            return true;
        }
        case QEvent::Resize: {
            const QSize s = viewport()->size();
            m_ctrl->m_model.SetClientSize(CSize(s.width(), s.height()));
            m_ctrl->m_model.RecalcLayout(FALSE);
            return QAbstractScrollArea::viewportEvent(e);
        }
        default: return QAbstractScrollArea::viewportEvent(e);
        }
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        const UINT vk = VirtualKeyOf(e->key());
        if (!m_ctrl || !vk || !m_ctrl->m_model.KeyDown(vk, KeysOf(e->modifiers())))
            QAbstractScrollArea::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent* e) override
    {
        if (!m_ctrl)
            return QAbstractScrollArea::focusInEvent(e);
        m_ctrl->m_bHasFocus = true;
        if (m_ctrl->m_bFocusHandling)
            viewport()->update();
        QAbstractScrollArea::focusInEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        if (!m_ctrl)
            return QAbstractScrollArea::focusOutEvent(e);
        m_ctrl->m_bHasFocus = false;
        if (m_ctrl->m_bFocusHandling)
            viewport()->update();
        QAbstractScrollArea::focusOutEvent(e);
    }
    void scrollContentsBy(int, int) override
    {
        // The user moved the bar: the model decides and scrolls.
        if (m_ctrl && !m_ctrl->m_bSyncingBar) {
            m_ctrl->m_model.Scroll(kScrollThumbTrack, verticalScrollBar()->value());
            // Each move of the bar ends there: the owner hears of it as of a scroll's end.
            m_ctrl->m_model.Scroll(kScrollEnd);
        }
    }

public:
    // The control went first; the widget only waits for Qt to delete it.
    void Detach() { m_ctrl = nullptr; }

private:
    CGalleryCtrl* m_ctrl;
};

class CGalleryCtrl::ModelHost : public CGalleryModel::Host {
public:
    explicit ModelHost(CGalleryCtrl* ctrl) : m_ctrl(ctrl) {}
    LRESULT Notify(int code, int item, LPARAM value) override { return m_ctrl->SendNotify(code, item, value); }
    void InvalidateItem(int index) override
    {
        if (QWidget* v = m_ctrl->Viewport())
            v->update(QtRect(m_ctrl->m_model.GetCellRectOf(index)));
    }
    void InvalidateAll() override
    {
        if (QWidget* v = m_ctrl->Viewport())
            v->update();
    }
    void ScrollGrid(int dy) override
    {
        QWidget* v = m_ctrl->Viewport();
        if (!v)
            return;
        const CGalleryModel& m = m_ctrl->m_model;
        const CRect cell = m.GetCellRect();
        const QRect grid(0, 0, m.GetColumns() * cell.Width(), m.GetVisibleRows() * cell.Height());
        if (v->isVisible())
            v->scroll(0, dy, grid);
        else
            v->update();
        m_ctrl->ApplyScrollState();
    }
    void ScrollRangeChanged(int, bool) override { m_ctrl->ApplyScrollState(); }
    CSize PictureSize(int index) override
    {
        CSize size;
        if (m_ctrl->m_imageSize)
            m_ctrl->m_imageSize(size, index);
        return size;
    }
    bool CaptionText(int index, std::string& text) override
    {
        return m_ctrl->m_caption && m_ctrl->m_caption(index, text, m_ctrl->m_user);
    }
    void ShowEditor(const CRect& r, const std::string& text) override
    {
        CGalleryEdit& edit = m_ctrl->m_edit;
        if (!edit.m_hWnd)
            return;
        edit.SetWindowText(text);
        MoveEditor(r);
        edit.ShowWindow(SW_SHOW);
        edit.SetFocus();
        edit.SetSel(0, -1);
    }
    void MoveEditor(const CRect& r) override
    {
        if (m_ctrl->m_edit.m_hWnd)
            m_ctrl->m_edit.m_hWnd->setGeometry(QtRect(r));
    }
    void HideEditor() override
    {
        CGalleryEdit& edit = m_ctrl->m_edit;
        if (!edit.m_hWnd)
            return;
        const bool hadFocus = edit.m_hWnd->hasFocus();
        edit.ShowWindow(SW_HIDE);
        if (hadFocus && m_ctrl->m_pView)
            m_ctrl->m_pView->setFocus();
    }
    std::string EditorText() override { return m_ctrl->m_edit.m_hWnd ? m_ctrl->m_edit.GetWindowText() : std::string(); }
    void BandChanged() override { InvalidateAll(); }
    void TakeCapture(bool take) override
    {
        if (take)
            m_ctrl->SetCapture();
        else if (CWnd::GetCapture() == m_ctrl)
            ReleaseCapture();
    }

private:
    CGalleryCtrl* m_ctrl;
};

void CGalleryEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (m_pGallery && (nChar == VK_RETURN || nChar == VK_ESCAPE)) {
        m_pGallery->OnEditorKey(nChar);
        return;
    }
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}

// ---------------------------------------------------------------------------

CGalleryCtrl::CGalleryCtrl()
    : m_host(std::make_unique<ModelHost>(this)), m_crBack(GetSysColor(COLOR_APPWORKSPACE)),
      m_crFace(GetSysColor(COLOR_BTNFACE)), m_crSelected(GetSysColor(COLOR_HIGHLIGHT)),
      m_crInactive(GetSysColor(COLOR_BTNSHADOW)), m_crSelectedText(GetSysColor(COLOR_HIGHLIGHTTEXT)),
      m_crText(GetSysColor(COLOR_BTNTEXT)), m_nTextFormat(DT_PATH_ELLIPSIS)
{
    m_model.SetHost(m_host.get());
}

CGalleryCtrl::~CGalleryCtrl()
{
    if (m_pView)
        m_pView->Detach();
    if (m_hWnd)
        DestroyWindow();
    m_model.SetHost(nullptr);
}

BOOL CGalleryCtrl::Create(DWORD style, const RECT& rect, CWnd* pParent, UINT nID)
{
    if (!m_pNotify)
        m_pNotify = pParent;
    return CWnd::Create("CGalleryCtrl", "", style | WS_CHILD, rect, pParent, nID);
}

HWND CGalleryCtrl::CreateWidget(const CREATESTRUCT&, QWidget* parent)
{
    auto* view = new View(this, parent);
    m_pView = view;
    return view;
}

QWidget* CGalleryCtrl::Viewport() const { return m_pView ? m_pView->viewport() : nullptr; }

int CGalleryCtrl::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    SetCaptionFont(kCaptionPoints * 10, "");
    m_edit.m_pGallery = this;
    if (!m_edit.Create(WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, CRect(0, 0, 10, 10), this, IDC_GALLERY_EDIT))
        return -1;
    // The editor lies over the cells, in the viewport's coordinates.
    m_edit.m_hWnd->setParent(Viewport());
    m_edit.m_hWnd->hide();
    if (auto* line = qobject_cast<QLineEdit*>(m_edit.m_hWnd))
        line->setAlignment(Qt::AlignCenter);
    ApplyEditorFont();
    m_icons.Create(24, 24, ILC_COLOR24, 32, 32);
    m_model.SetIconSize(CSize(24, 24));
    const CRect r(lpcs->x, lpcs->y, lpcs->x + lpcs->cx, lpcs->y + lpcs->cy);
    m_model.SetClientSize(CSize(r.Width(), r.Height()));
    return 0;
}

void CGalleryCtrl::OnDestroy()
{
    m_model.EndEdit(true);
    m_model.DeleteAllItems();
    CWnd::OnDestroy();
}

void CGalleryCtrl::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (QWidget* v = Viewport())
        m_model.SetClientSize(CSize(v->width(), v->height()));
    m_model.RecalcLayout(FALSE);
}

LRESULT CGalleryCtrl::SendNotify(int code, int item, LPARAM value)
{
    if (!m_pNotify || !m_pNotify->m_hWnd)
        return 0;
    NMGALLERY record;
    record.hdr.hwndFrom = m_hWnd;
    record.hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    record.hdr.code = code;
    record.iItem = item;
    record.lParam = value;
    return m_pNotify->SendMessage(WM_NOTIFY, WPARAM(m_hWnd), LPARAM(&record));
}

// ---- items

int CGalleryCtrl::AddItem(const std::string& text, BOOL redraw)
{
    if (!m_thumbnail)
        return -1;
    const int index = m_model.AddItem(text);
    if (redraw)
        RecalcLayout(TRUE);
    return index;
}

void CGalleryCtrl::DeleteItem(int index) { m_model.DeleteItem(index); }

void CGalleryCtrl::DeleteAllItems(BOOL updateScrollBar)
{
    m_model.DeleteAllItems();
    m_icons = CImageList();
    m_icons.Create(24, 24, ILC_COLOR24, 32, 32);
    if (updateScrollBar)
        m_model.RecalcLayout(TRUE);
}

void CGalleryCtrl::SetItemText(int index, const std::string& text, const std::string& secondText)
{
    m_model.SetItemText(index, text, secondText);
}

void CGalleryCtrl::AddIcon(int index, const QImage& icon)
{
    if (index < 0 || index >= GetItemCount())
        return;
    const int slot = m_icons.Add(icon.scaled(24, 24), CLR_INVALID);
    if (slot >= 0)
        m_model.SetItemIcon(index, slot);
}

// ---- set-up

void CGalleryCtrl::SetCellRect(const CRect& cell)
{
    m_model.SetCellRect(cell);
    InvalidateAll();
}

void CGalleryCtrl::SetInsets(int left, int top, int right, int bottom)
{
    m_model.SetInsets(left, top, right, bottom);
    InvalidateAll();
}

void CGalleryCtrl::SetCaptionLines(int lines)
{
    m_model.SetCaptionLines(lines);
    InvalidateAll();
}

void CGalleryCtrl::SetCaptionPlacement(int placement, BOOL shown)
{
    m_model.SetCaptionPlacement(placement);
    m_model.SetCaptionsShown(shown);
    InvalidateAll();
}

void CGalleryCtrl::SetCaptionExtraHeight(int height)
{
    m_model.SetCaptionExtraHeight(height);
    InvalidateAll();
}

void CGalleryCtrl::SetBkColor(COLORREF colour)
{
    m_crBack = colour;
    InvalidateAll();
}

void CGalleryCtrl::SetColours(COLORREF face, COLORREF selected, COLORREF inactive, COLORREF selectedText, COLORREF text)
{
    for (auto [to, from] : {std::pair{&m_crFace, face}, {&m_crSelected, selected}, {&m_crInactive, inactive},
                            {&m_crSelectedText, selectedText}, {&m_crText, text}})
        if (from != CLR_INVALID)
            *to = from;
    InvalidateAll();
}

void CGalleryCtrl::SetLabelEditing(BOOL enabled, int limit, BOOL singleClick)
{
    m_model.SetLabelEditing(enabled, limit, singleClick);
    if (m_edit.m_hWnd)
        m_edit.LimitText(limit);
}

void CGalleryCtrl::SetCaptionFont(int pointTenths, const std::string& face)
{
    m_font.DeleteObject();
    m_font.CreatePointFont(pointTenths, face.c_str());
    m_model.SetLineHeight(MeasureTextHeight(&m_font) + 1);
    ApplyEditorFont();
    InvalidateAll();
}

void CGalleryCtrl::ApplyEditorFont()
{
    LOGFONT lf{};
    if (m_edit.m_hWnd && m_font.GetLogFont(&lf))
        m_edit.SetFont(QFontFromLogFont(lf), FALSE);
}

// ---- layout and drawing

void CGalleryCtrl::RecalcLayout(BOOL redraw)
{
    if (QWidget* v = Viewport())
        m_model.SetClientSize(CSize(v->width(), v->height()));
    m_model.RecalcLayout(redraw);
}

void CGalleryCtrl::DrawItem(int index) { m_host->InvalidateItem(index); }

void CGalleryCtrl::InvalidateAll()
{
    if (QWidget* v = Viewport())
        v->update();
}

void CGalleryCtrl::ApplyScrollState()
{
    if (!m_pView)
        return;
    m_bSyncingBar = true;
    const int last = m_model.GetLastFirstRow();
    const Qt::ScrollBarPolicy policy = last > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (m_pView->verticalScrollBarPolicy() != policy)
        m_pView->setVerticalScrollBarPolicy(policy);
    QScrollBar* bar = m_pView->verticalScrollBar();
    bar->setRange(0, last);
    bar->setPageStep(1);
    bar->setSingleStep(1);
    bar->setValue(m_model.GetFirstRow());
    m_bSyncingBar = false;
}

void CGalleryCtrl::Mouse(QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    const POINT pt{static_cast<LONG>(me->position().x()), static_cast<LONG>(me->position().y())};
    const UINT keys = KeysOf(me->modifiers());
    switch (e->type()) {
    case QEvent::MouseMove:
        if (QWidget* v = Viewport())
            v->setCursor(!m_model.IsBandActive() && (m_model.IsResizing() || m_model.HitResizeHandle(pt))
                             ? Qt::SizeFDiagCursor
                             : Qt::ArrowCursor);
        m_model.MouseMove(pt, keys);
        break;
    case QEvent::MouseButtonPress:
        if (me->button() == Qt::LeftButton) {
            if (m_bFocusHandling && m_pView)
                m_pView->setFocus();
            m_model.LButtonDown(pt, keys);
        } else if (me->button() == Qt::RightButton) {
            m_model.RButtonDown(pt, keys);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (me->button() == Qt::LeftButton)
            m_model.LButtonUp(pt, keys);
        break;
    case QEvent::MouseButtonDblClick:
        if (me->button() == Qt::LeftButton)
            m_model.LButtonDblClk(pt);
        break;
    default: break;
    }
}

void CGalleryCtrl::OnEditKillFocus()
{
    // The editor loses the focus as it is hidden too; only a visible one commits.
    if (m_model.IsEditing() && m_edit.m_hWnd && m_edit.m_hWnd->isVisible())
        m_model.EndEdit(false);
}

void CGalleryCtrl::OnEditorKey(UINT vk) { m_model.KeyDown(vk, 0); }

void CGalleryCtrl::Paint(QPainter& painter, const QRect& update)
{
    painter.fillRect(update, QColor(GetRValue(m_crBack), GetGValue(m_crBack), GetBValue(m_crBack)));
    CDC dc(&painter);
    m_pPainter = &painter;
    const int first = m_model.GetFirstVisibleIndex();
    const int last = std::min(m_model.GetItemCount(), first + m_model.GetColumns() * m_model.GetVisibleRows());
    for (int i = first; i < last; ++i)
        if (QtRect(m_model.GetCellRectOf(i)).intersects(update))
            PaintCell(dc, i);
    dc.DeleteDC();
    m_pPainter = nullptr;
    DrawDottedFrame(painter, m_model.GetBandRect());
    if (m_model.IsResizing())
        DrawDottedFrame(painter, m_model.GetResizeRect());
}

void CGalleryCtrl::PaintCell(CDC& dc, int index)
{
    const CRect cell = m_model.GetCellRectOf(index);
    const CRect picture = m_model.GetPictureRect(index);
    const BOOL selected = m_model.IsSelected(index);
    const COLORREF face = !selected                                ? m_crFace
                          : !m_bFocusHandling || m_bHasFocus         ? m_crSelected
                                                                     : m_crInactive;
    // The face around the picture, which is drawn over it anyway.
    {
        CRect inner = cell;
        inner.DeflateRect(1, 1);
        CRect hole = picture;
        hole.InflateRect(1, 1);
        QRegion region(QtRect(inner));
        region -= QRegion(QtRect(hole));
        dc.SaveDC();
        dc.SelectClipRegion(region);
        dc.FillSolidRect(&inner, face);
        dc.RestoreDC(-1);
    }
    // A sunken one-pixel frame, then the picture.
    if (!picture.IsRectEmpty()) {
        CRect frame = picture;
        frame.InflateRect(1, 1);
        dc.Draw3dRect(&frame, RGB(0, 0, 0), RGB(255, 255, 255));
        if (m_thumbnailDraw) {
            m_thumbnailDraw(&dc, index, picture);
        } else if (m_thumbnail) {
            CDibBitmap bitmap;
            if (m_thumbnail(index, bitmap, m_user) && bitmap.IsValid()) {
                const CRect source(CPoint(0, 0), bitmap.GetSize());
                if (m_nDrawMode == 1)
                    bitmap.DrawResampled(&dc, source, picture);
                else if (m_nDrawMode == 2)
                    bitmap.DrawResampledEx(&dc, source, picture);
                else
                    bitmap.Draw(&dc, picture);
            }
        }
    }
    // The caption.
    const CRect band = m_model.GetCaptionRect(index);
    const CRect icon = m_model.GetIconRect(index);
    if (m_captionDraw) {
        m_captionDraw(&dc, index, band, icon, &m_font, m_user);
    } else if (!band.IsRectEmpty()) {
        std::vector<COLORREF> colours{selected ? m_crSelectedText : m_crText};
        if (m_colours)
            m_colours(index, colours);
        CFont* old = dc.SelectObject(&m_font);
        dc.SetBkMode(TRANSPARENT);
        const std::string text = m_model.GetItemText(index);
        if (m_model.GetCaptionLines() <= 1) {
            CRect r = band;
            dc.SetTextColor(colours[0]);
            dc.DrawText(text.substr(0, text.find('\n')), &r, m_nTextFormat | DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE | DT_CENTER);
        } else {
            const int lh = m_model.GetLineHeight();
            size_t start = 0;
            for (int line = 0; start <= text.size() && line < m_model.GetCaptionLines(); ++line) {
                const size_t eol = text.find('\n', start);
                const std::string part = text.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
                CRect r(band.left, band.top + line * lh, band.right, band.top + (line + 1) * lh);
                dc.SetTextColor(colours[std::min<size_t>(size_t(line), colours.size() - 1)]);
                dc.DrawText(part, &r, m_nTextFormat | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
                if (eol == std::string::npos)
                    break;
                start = eol + 1;
            }
        }
        dc.SelectObject(old);
    }
    if (const CGalleryItem* item = m_model.Item(index); item && item->iconSlot >= 0 && item->iconSlot < m_icons.GetImageCount())
        if (m_pPainter)
            m_pPainter->drawImage(QPoint(icon.left, icon.top), m_icons.Image(item->iconSlot));
    if (m_overlay)
        m_overlay(this, &dc, index, cell, picture);
}
