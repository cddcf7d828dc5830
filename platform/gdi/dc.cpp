#include "platform/gdi/dc.h"

#include "platform/gdi/logfont.h"
#include "platform/gdi/metafile_dc.h"
#include "platform/gdi/record_sink.h"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>

#include <cmath>

CDC::CDC()
{
    InitState();
}

CDC::CDC(QPainter* painter)
{
    InitState();
    AttachPainter(painter);
}

CDC::CDC(QPaintDevice* device)
{
    InitState();
    AttachDevice(device);
}

CDC::~CDC()
{
    Release();
}

void CDC::InitState()
{
    m_state = State();
    m_state.pen = GdiRef(GetStockObject(BLACK_PEN));
    m_state.brush = GdiRef(GetStockObject(WHITE_BRUSH));
    m_state.font = GdiRef(GetStockObject(SYSTEM_FONT));
    m_state.palette = GdiRef(GetStockObject(DEFAULT_PALETTE));
    m_saved.clear();
    m_clipDirty = true;
}

void CDC::Release()
{
    EndPainter();
    if (m_state.bitmap && m_state.bitmap->selectedIn == this)
        m_state.bitmap->selectedIn = nullptr;
    for (State& s : m_saved)
        if (s.bitmap && s.bitmap->selectedIn == this)
            s.bitmap->selectedIn = nullptr;
    m_saved.clear();
    m_state = State();
    m_device = nullptr;
    m_memory = false;
}

BOOL CDC::DeleteDC()
{
    const bool had = m_painter || m_memory;
    Release();
    InitState();
    return had ? TRUE : FALSE;
}

void CDC::BeginPainter(QPaintDevice* device)
{
    EndPainter();
    if (!device)
        return;
    m_ownPainter = std::make_unique<QPainter>();
    if (!m_ownPainter->begin(device)) {
        m_ownPainter.reset();
        return;
    }
    m_painter = m_ownPainter.get();
    m_device = device;
    m_base = QTransform();
    m_baseClipping = false;
    m_baseClip = QRegion();
    m_clipDirty = true;
}

void CDC::EndPainter()
{
    if (m_ownPainter) {
        if (m_ownPainter->isActive())
            m_ownPainter->end();
        m_ownPainter.reset();
    } else if (m_painter && m_painter->isActive()) {
        // A borrowed painter goes back as it came.
        m_painter->setTransform(m_base);
        if (m_baseClipping)
            m_painter->setClipRegion(m_baseClip);
        else
            m_painter->setClipping(false);
        m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    m_painter = nullptr;
}

BOOL CDC::AttachPainter(QPainter* painter)
{
    Release();
    InitState();
    if (!painter || !painter->isActive())
        return FALSE;
    m_painter = painter;
    m_device = painter->device();
    m_base = painter->worldTransform();
    m_baseClipping = painter->hasClipping();
    m_baseClip = m_baseClipping ? painter->clipRegion() : QRegion();
    return TRUE;
}

BOOL CDC::AttachDevice(QPaintDevice* device)
{
    Release();
    InitState();
    BeginPainter(device);
    return m_painter ? TRUE : FALSE;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    Release();
    InitState();
    m_memory = true;
    m_dpiX = pDC ? pDC->GetDeviceCaps(LOGPIXELSX) : ScreenDotsPerInchX();
    m_dpiY = pDC ? pDC->GetDeviceCaps(LOGPIXELSY) : ScreenDotsPerInchY();
    m_state.bitmap = GdiRef(StockBitmap());
    return TRUE;
}

QImage* CDC::GetImage() const
{
    if (m_device && m_device->devType() == QInternal::Image)
        return static_cast<QImage*>(m_device);
    return nullptr;
}

bool CDC::IsMonochrome() const
{
    return m_memory && m_state.bitmap && m_state.bitmap->bitsPixel == 1;
}

// ---------------------------------------------------------------------------
// Objects

namespace {

template <typename T>
T* Wrapper(const GdiRef& r)
{
    return static_cast<T*>(CGdiObject::FromHandle(r.get()));
}

} // namespace

CPen* CDC::SelectObject(CPen* pen)
{
    if (!pen || !pen->m_hObject || pen->m_hObject->kind != GdiKind::Pen)
        return nullptr;
    CPen* old = Wrapper<CPen>(m_state.pen);
    m_state.pen = GdiRef(pen->m_hObject);
    return old;
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    if (!brush || !brush->m_hObject || brush->m_hObject->kind != GdiKind::Brush)
        return nullptr;
    CBrush* old = Wrapper<CBrush>(m_state.brush);
    m_state.brush = GdiRef(brush->m_hObject);
    return old;
}

CFont* CDC::SelectObject(CFont* font)
{
    if (!font || !font->m_hObject || font->m_hObject->kind != GdiKind::Font)
        return nullptr;
    CFont* old = Wrapper<CFont>(m_state.font);
    m_state.font = GdiRef(font->m_hObject);
    return old;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    if (!bitmap || !bitmap->m_hObject)
        return nullptr;
    GdiRef old = m_state.bitmap;
    if (!SelectBitmapData(GdiRef(bitmap->m_hObject)))
        return nullptr;
    return Wrapper<CBitmap>(old);
}

bool CDC::SelectBitmapData(const GdiRef& bitmap)
{
    if (!m_memory || !bitmap || bitmap->kind != GdiKind::Bitmap)
        return false;
    if (bitmap.get() == m_state.bitmap.get())
        return true;
    // One bitmap is drawn on by one context at a time.
    if (bitmap->selectedIn && bitmap->selectedIn != this)
        return false;
    EndPainter();
    if (m_state.bitmap && m_state.bitmap->selectedIn == this)
        m_state.bitmap->selectedIn = nullptr;
    m_state.bitmap = bitmap;
    m_device = nullptr;
    if (!bitmap->stock) {
        bitmap->selectedIn = this;
        BeginPainter(&bitmap->image);
    }
    return true;
}

CGdiObject* CDC::SelectObject(CGdiObject* object)
{
    if (!object || !object->m_hObject)
        return nullptr;
    switch (object->m_hObject->kind) {
    case GdiKind::Pen: return SelectObject(static_cast<CPen*>(object));
    case GdiKind::Brush: return SelectObject(static_cast<CBrush*>(object));
    case GdiKind::Font: return SelectObject(static_cast<CFont*>(object));
    case GdiKind::Bitmap: return SelectObject(static_cast<CBitmap*>(object));
    case GdiKind::Palette: return SelectPalette(static_cast<CPalette*>(object), FALSE);
    default: return nullptr;
    }
}

HGDIOBJ CDC::SelectObject(HGDIOBJ h)
{
    CGdiObject* old = SelectObject(CGdiObject::FromHandle(h));
    return old ? old->m_hObject : nullptr;
}

CPen* CDC::GetCurrentPen() const { return Wrapper<CPen>(m_state.pen); }
CBrush* CDC::GetCurrentBrush() const { return Wrapper<CBrush>(m_state.brush); }
CFont* CDC::GetCurrentFont() const { return Wrapper<CFont>(m_state.font); }
CBitmap* CDC::GetCurrentBitmap() const { return Wrapper<CBitmap>(m_state.bitmap); }
CPalette* CDC::GetCurrentPalette() const { return Wrapper<CPalette>(m_state.palette); }

CPalette* CDC::SelectPalette(CPalette* palette, BOOL)
{
    if (!palette || !palette->m_hObject || palette->m_hObject->kind != GdiKind::Palette)
        return nullptr;
    CPalette* old = Wrapper<CPalette>(m_state.palette);
    m_state.palette = GdiRef(palette->m_hObject);
    return old;
}

// ---------------------------------------------------------------------------
// Attributes

COLORREF CDC::SetTextColor(COLORREF c) { return std::exchange(m_state.textColor, c & 0xFFFFFF); }
COLORREF CDC::SetBkColor(COLORREF c) { return std::exchange(m_state.bkColor, c & 0xFFFFFF); }

int CDC::SetBkMode(int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(m_state.bkMode, mode);
}

int CDC::SetStretchBltMode(int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(m_state.stretchMode, mode);
}

QSize CDC::DeviceSize() const
{
    if (m_memory)
        return m_state.bitmap ? m_state.bitmap->image.size() : QSize(1, 1);
    if (m_device)
        return QSize(m_device->width(), m_device->height());
    return {};
}

int CDC::GetDeviceCaps(int index) const
{
    const QSize size = DeviceSize();
    const int dpiX = m_dpiX > 0 ? m_dpiX : (m_device ? m_device->logicalDpiX() : ScreenDotsPerInchX());
    const int dpiY = m_dpiY > 0 ? m_dpiY : (m_device ? m_device->logicalDpiY() : ScreenDotsPerInchY());
    const bool printer = m_device && m_device->devType() == QInternal::Printer;
    const bool picture = m_device && m_device->devType() == QInternal::Picture;
    switch (index) {
    case DRIVERVERSION: return 0x400;
    case TECHNOLOGY: return printer ? DT_RASPRINTER : picture ? DT_METAFILE : DT_RASDISPLAY;
    case HORZSIZE: return dpiX > 0 ? int(std::lround(size.width() * 25.4 / dpiX)) : 0;
    case VERTSIZE: return dpiY > 0 ? int(std::lround(size.height() * 25.4 / dpiY)) : 0;
    case HORZRES:
    case PHYSICALWIDTH: return size.width();
    case VERTRES:
    case PHYSICALHEIGHT: return size.height();
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY: return 0;
    case BITSPIXEL: return IsMonochrome() ? 1 : 32;
    case PLANES: return 1;
    case NUMCOLORS: return IsMonochrome() ? 2 : -1;
    case SIZEPALETTE: return 0;
    case ASPECTX:
    case ASPECTY: return 36;
    case ASPECTXY: return 51;
    case LOGPIXELSX: return dpiX;
    case LOGPIXELSY: return dpiY;
    case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Coordinates

QRect CDC::DeviceRect(int l, int t, int r, int b) const
{
    const int x0 = std::min(l, r), x1 = std::max(l, r);
    const int y0 = std::min(t, b), y1 = std::max(t, b);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QTransform CDC::Mapping() const
{
    const State& st = m_state;
    QTransform map = QTransform::fromTranslate(st.viewportOrg.x, st.viewportOrg.y);
    if (st.mapMode == MM_ANISOTROPIC)
        map.scale(double(st.viewportExt.cx) / st.windowExt.cx, double(st.viewportExt.cy) / st.windowExt.cy);
    return map;
}

int CDC::SetMapMode(int mode)
{
    if ((mode != MM_TEXT && mode != MM_ANISOTROPIC) || m_pSink)
        return 0;
    const int previous = m_state.mapMode;
    m_state.mapMode = mode;
    return previous;
}

CSize CDC::SetWindowExt(int cx, int cy)
{
    const CSize previous = m_state.windowExt;
    if (m_state.mapMode == MM_ANISOTROPIC && cx != 0 && cy != 0)
        m_state.windowExt = CSize(cx, cy);
    return previous;
}

CSize CDC::SetViewportExt(int cx, int cy)
{
    const CSize previous = m_state.viewportExt;
    if (m_state.mapMode == MM_ANISOTROPIC && cx != 0 && cy != 0)
        m_state.viewportExt = CSize(cx, cy);
    return previous;
}

CPoint CDC::SetViewportOrg(int x, int y)
{
    const CPoint previous = m_state.viewportOrg;
    if (!m_pSink)
        m_state.viewportOrg = CPoint(x, y);
    return previous;
}

void CDC::LPtoDP(POINT* points, int count) const
{
    const QTransform map = Mapping();
    for (int i = 0; points && i < count; ++i) {
        const QPointF p = map.map(QPointF(points[i].x, points[i].y));
        points[i] = POINT{LONG(std::lround(p.x())), LONG(std::lround(p.y()))};
    }
}

void CDC::LPtoDP(RECT* rc) const { LPtoDP(reinterpret_cast<POINT*>(rc), 2); }

// ---------------------------------------------------------------------------
// Clipping

QRegion CDC::DeviceLimit() const
{
    const QSize size = DeviceSize();
    // Drawing through a scaling painter (a page shown small): the device in this context's units.
    if (m_base.isScaling() && m_base.isInvertible())
        return QRegion(m_base.inverted().mapRect(QRect(0, 0, size.width(), size.height())));
    return QRegion(0, 0, size.width(), size.height());
}

int CDC::SelectClipRgn(CRgn* region)
{
    return SelectClipRgn(region, RGN_COPY);
}

int CDC::SelectClipRgn(CRgn* region, int mode)
{
    if (!region || !region->m_hObject) {
        if (mode != RGN_COPY)
            return RGN_ERROR;
        m_state.hasClip = false;
        m_state.clip = QRegion();
        ClipChanged();
        return SIMPLEREGION;
    }
    return SelectClipRegion(region->m_hObject->region, mode);
}

int CDC::SelectClipRegion(const QRegion& deviceRegion, int mode)
{
    const QRegion current = m_state.hasClip ? m_state.clip : DeviceLimit();
    QRegion next;
    switch (mode) {
    case RGN_COPY: next = deviceRegion; break;
    case RGN_AND: next = current & deviceRegion; break;
    case RGN_OR: next = current | deviceRegion; break;
    case RGN_XOR: next = current ^ deviceRegion; break;
    case RGN_DIFF: next = current - deviceRegion; break;
    default: return RGN_ERROR;
    }
    m_state.hasClip = true;
    m_state.clip = next;
    ClipChanged();
    return RegionKind(next);
}

int CDC::IntersectClipRect(int l, int t, int r, int b)
{
    return SelectClipRegion(Mapping().map(QRegion(DeviceRect(l, t, r, b))), RGN_AND);
}

int CDC::GetClipBox(RECT* rc) const
{
    QRegion visible = m_state.hasClip ? m_state.clip : DeviceLimit();
    if (m_baseClipping)
        visible &= m_baseClip;
    // Answered in logical units.
    const QRect box = Mapping().inverted().mapRect(visible.boundingRect());
    const CRect out = visible.isEmpty() ? CRect() : FromQRect(box);
    if (rc)
        *rc = out;
    return RegionKind(visible);
}

int CDC::GetClipRgn(CRgn* region) const
{
    if (!m_state.hasClip)
        return 0;
    if (region) {
        if (region->m_hObject && region->m_hObject->kind == GdiKind::Region)
            region->m_hObject->region = m_state.clip;
        else
            region->CreateFromRegion(m_state.clip);
    }
    return 1;
}

void CDC::ApplyClip()
{
    if (!m_clipDirty || !m_painter)
        return;
    m_painter->setTransform(m_base);
    if (m_baseClipping) {
        m_painter->setClipRegion(m_baseClip);
        if (m_state.hasClip)
            m_painter->setClipRegion(m_state.clip, Qt::IntersectClip);
    } else if (m_state.hasClip) {
        m_painter->setClipRegion(m_state.clip);
    } else {
        m_painter->setClipping(false);
    }
    m_clipDirty = false;
}

bool CDC::PrepareDevice()
{
    if (!m_painter || !m_painter->isActive())
        return false;
    ApplyClip();
    m_painter->setTransform(LogicalToPainter());
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Text fills its own background when asked; a mode left by a styled pen must not do it again.
    m_painter->setBackgroundMode(Qt::TransparentMode);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setOpacity(1.0);
    return true;
}

// ---------------------------------------------------------------------------
// Saved states

DCRecordState CDC::RecordState() const
{
    DCRecordState st;
    if (m_state.pen)
        st.pen = m_state.pen->pen;
    if (m_state.brush)
        st.brush = m_state.brush->brush;
    if (m_state.font)
        st.font = m_state.font->font;
    st.textColor = m_state.textColor;
    st.bkColor = m_state.bkColor;
    st.bkMode = m_state.bkMode;
    st.hasClip = m_state.hasClip;
    st.clip = m_state.clip;
    return st;
}

int CDC::SaveDC()
{
    if (m_pSink)
        m_pSink->SaveDC();
    m_saved.push_back(m_state);
    return int(m_saved.size());
}

BOOL CDC::RestoreDC(int saved)
{
    const int level = saved < 0 ? int(m_saved.size()) + 1 + saved : saved;
    if (level < 1 || level > int(m_saved.size()))
        return FALSE;
    if (m_pSink)
        m_pSink->RestoreDC(level - int(m_saved.size()) - 1);
    State target = m_saved[size_t(level - 1)];
    m_saved.resize(size_t(level - 1));
    const GdiRef bitmap = target.bitmap;
    target.bitmap = m_state.bitmap;
    m_state = std::move(target);
    if (m_memory && bitmap)
        SelectBitmapData(bitmap);
    ClipChanged();
    return TRUE;
}

// ---------------------------------------------------------------------------
// Pens, brushes and shapes

QPen CDC::DevicePen() const
{
    const LOGPEN& lp = m_state.pen->pen;
    const int style = int(lp.lopnStyle & PS_STYLE_MASK);
    if (style == PS_NULL)
        return QPen(Qt::NoPen);
    QPen pen(ToQColor(lp.lopnColor));
    const LONG width = std::max<LONG>(lp.lopnWidth.x, 0);
    if (width <= 1) {
        pen.setWidth(0); // one device pixel
        pen.setCosmetic(true);
    } else {
        pen.setWidth(width);
    }
    switch (style) {
    case PS_DASH: pen.setStyle(Qt::DashLine); break;
    case PS_DOT: pen.setStyle(Qt::DotLine); break;
    case PS_DASHDOT: pen.setStyle(Qt::DashDotLine); break;
    case PS_DASHDOTDOT: pen.setStyle(Qt::DashDotDotLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
    }
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QBrush CDC::DeviceBrush(GdiData* b) const
{
    if (!b)
        return QBrush(Qt::NoBrush);
    QBrush brush;
    switch (b->brush.lbStyle) {
    case BS_SOLID: brush = QBrush(ToQColor(b->brush.lbColor)); break;
    case BS_PATTERN: {
        QImage pattern = b->brushPattern;
        if (b->patternMono) {
            // 0 bits take the text colour, 1 bits the background colour.
            const QRgb fg = 0xFF000000u | ToQColor(m_state.textColor).rgb();
            const QRgb bg = 0xFF000000u | ToQColor(m_state.bkColor).rgb();
            for (int y = 0; y < pattern.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(pattern.scanLine(y));
                for (int x = 0; x < pattern.width(); ++x)
                    row[x] = (row[x] & 0xFFFFFF) ? bg : fg;
            }
        }
        brush = QBrush(pattern);
        break;
    }
    default: return QBrush(Qt::NoBrush);
    }
    return brush;
}

void CDC::UseBackground(bool styledPen)
{
    // The background colour shows only in the gaps of styled pens; elsewhere
    // the painter stays transparent, which keeps its exact shape rasterisers.
    const bool opaque = m_state.bkMode == OPAQUE && styledPen;
    m_painter->setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
    m_painter->setBackground(ToQColor(m_state.bkColor));
}

bool CDC::PrepareShape()
{
    if (!PrepareDevice())
        return false;
    const QPen pen = DevicePen();
    const QBrush brush = DeviceBrush(m_state.brush.get());
    UseBackground(pen.style() != Qt::SolidLine && pen.style() != Qt::NoPen);
    m_painter->setPen(pen);
    m_painter->setBrush(brush);
    return true;
}

CPoint CDC::MoveTo(int x, int y)
{
    return std::exchange(m_state.position, CPoint(x, y));
}

BOOL CDC::LineTo(int x, int y)
{
    const QPoint a(m_state.position.x, m_state.position.y), b(x, y);
    m_state.position = CPoint(x, y);
    if (!PrepareDevice())
        return m_painter ? TRUE : FALSE;
    m_painter->setPen(DevicePen());
    // Flat caps leave the end point out, as the class library's lines do.
    m_painter->drawLine(a, b);
    if (m_pSink)
        m_pSink->Line(RecordState(), a, b);
    return TRUE;
}

namespace {

// The outline of a shape in [l, r) x [t, b): a one-pixel pen runs on the
// pixels just inside the right and bottom edges.
QRectF OutlineRect(const QRect& r)
{
    return QRectF(r.left(), r.top(), std::max(0, r.width() - 1), std::max(0, r.height() - 1));
}

} // namespace

BOOL CDC::RoundRect(int l, int t, int r, int b, int w, int h)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    if (PrepareShape()) {
        m_painter->drawRoundedRect(OutlineRect(rect), std::abs(w) / 2.0, std::abs(h) / 2.0);
        if (m_pSink)
            m_pSink->Shape(RecordState(), CDCRecordSink::ShapeKind::roundRect, rect, QSize(std::abs(w), std::abs(h)));
    }
    return TRUE;
}

BOOL CDC::Rectangle(int l, int t, int r, int b)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    if (PrepareShape()) {
        m_painter->drawRect(OutlineRect(rect));
        if (m_pSink)
            m_pSink->Shape(RecordState(), CDCRecordSink::ShapeKind::rectangle, rect, QSize());
    }
    return TRUE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    if (PrepareShape()) {
        m_painter->drawEllipse(OutlineRect(rect));
        if (m_pSink)
            m_pSink->Shape(RecordState(), CDCRecordSink::ShapeKind::ellipse, rect, QSize());
    }
    return TRUE;
}

namespace {

std::vector<QPoint> QPoints(const POINT* points, int count)
{
    std::vector<QPoint> out;
    if (points && count > 0)
        for (int i = 0; i < count; ++i)
            out.emplace_back(points[i].x, points[i].y);
    return out;
}

} // namespace

BOOL CDC::Polygon(const POINT* points, int count)
{
    if (!points || count < 2)
        return FALSE;
    const std::vector<QPoint> pts = QPoints(points, count);
    if (PrepareShape()) {
        m_painter->drawPolygon(pts.data(), int(pts.size()), Qt::OddEvenFill);
        if (m_pSink)
            m_pSink->Poly(RecordState(), pts, true);
    }
    return TRUE;
}

void CDC::FillDeviceRect(const QRect& r, const QBrush& brush)
{
    if (r.isEmpty() || !PrepareDevice())
        return;
    UseBackground(false);
    m_painter->fillRect(r, brush);
    if (m_pSink && brush.style() == Qt::SolidPattern)
        m_pSink->FillRect(RecordState(), r, FromQColor(brush.color()));
}

void CDC::FillSolidRect(const RECT* rc, COLORREF clr)
{
    if (!rc)
        return;
    SetBkColor(clr);
    FillDeviceRect(DeviceRect(rc->left, rc->top, rc->right, rc->bottom), QBrush(ToQColor(clr)));
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    const CRect rc(x, y, x + cx, y + cy);
    FillSolidRect(&rc, clr);
}

void CDC::Draw3dRect(const RECT* rc, COLORREF topLeft, COLORREF bottomRight)
{
    if (rc)
        Draw3dRect(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight)
{
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx, y, -1, cy, bottomRight);
    FillSolidRect(x, y + cy, cx, -1, bottomRight);
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c)
{
    if (!PrepareDevice())
        return CLR_INVALID;
    m_painter->fillRect(QRect(x, y, 1, 1), ToQColor(c));
    return c & 0xFFFFFF;
}

COLORREF CDC::GetPixel(int x, int y) const
{
    const QImage* img = GetImage();
    if (!img)
        return CLR_INVALID;
    const QPoint device = Mapping().map(QPoint(x, y));
    const QPoint p = m_base.map(device);
    if (!img->rect().contains(p))
        return CLR_INVALID;
    if (m_state.hasClip && !m_state.clip.contains(device))
        return CLR_INVALID;
    return FromQColor(QColor::fromRgb(img->pixel(p)));
}

// ---------------------------------------------------------------------------
// Recorded pictures

BOOL DeleteEnhMetaFile(HENHMETAFILE h)
{
    delete h;
    return h ? TRUE : FALSE;
}
