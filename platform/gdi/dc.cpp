#include "platform/gdi/dc.h"

#include "platform/gdi/logfont.h"
#include "platform/gdi/metafile_dc.h"

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

CGdiObject* CDC::SelectStockObject(int index)
{
    return SelectObject(CGdiObject::FromHandle(GetStockObject(index)));
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

int CDC::SetROP2(int rop)
{
    if (rop < R2_BLACK || rop > R2_WHITE)
        return 0;
    return std::exchange(m_state.rop2, rop);
}

int CDC::SetStretchBltMode(int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(m_state.stretchMode, mode);
}

UINT CDC::SetTextAlign(UINT align) { return std::exchange(m_state.textAlign, align); }

int CDC::SetPolyFillMode(int mode)
{
    if (mode != ALTERNATE && mode != WINDING)
        return 0;
    return std::exchange(m_state.polyFillMode, mode);
}

CPoint CDC::SetBrushOrg(int x, int y) { return std::exchange(m_state.brushOrg, CPoint(x, y)); }

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
// Mapping

int CDC::SetMapMode(int mode)
{
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
        return 0;
    const int old = m_state.mapMode;
    m_state.mapMode = mode;
    const int dx = GetDeviceCaps(LOGPIXELSX), dy = GetDeviceCaps(LOGPIXELSY);
    auto set = [&](int units, int wx, int wy) {
        m_state.windowExt = CSize(units, units);
        m_state.viewportExt = CSize(wx, wy);
    };
    switch (mode) {
    case MM_TEXT: set(1, 1, 1); break;
    case MM_LOMETRIC: set(254, dx, -dy); break;
    case MM_HIMETRIC: set(2540, dx, -dy); break;
    case MM_LOENGLISH: set(100, dx, -dy); break;
    case MM_HIENGLISH: set(1000, dx, -dy); break;
    case MM_TWIPS: set(1440, dx, -dy); break;
    case MM_ISOTROPIC:
        // Starts like MM_LOMETRIC, as the class library's does.
        if (old != MM_ANISOTROPIC && old != MM_ISOTROPIC)
            set(254, dx, -dy);
        break;
    default: break;
    }
    return old;
}

CPoint CDC::SetWindowOrg(int x, int y) { return std::exchange(m_state.windowOrg, CPoint(x, y)); }
CPoint CDC::SetViewportOrg(int x, int y) { return std::exchange(m_state.viewportOrg, CPoint(x, y)); }

CPoint CDC::OffsetWindowOrg(int dx, int dy)
{
    const CPoint old = m_state.windowOrg;
    m_state.windowOrg.Offset(dx, dy);
    return old;
}

CPoint CDC::OffsetViewportOrg(int dx, int dy)
{
    const CPoint old = m_state.viewportOrg;
    m_state.viewportOrg.Offset(dx, dy);
    return old;
}

CSize CDC::SetWindowExt(int cx, int cy)
{
    const CSize old = m_state.windowExt;
    if ((m_state.mapMode == MM_ISOTROPIC || m_state.mapMode == MM_ANISOTROPIC) && cx != 0 && cy != 0)
        m_state.windowExt = CSize(cx, cy);
    return old;
}

CSize CDC::SetViewportExt(int cx, int cy)
{
    const CSize old = GetViewportExt();
    if ((m_state.mapMode == MM_ISOTROPIC || m_state.mapMode == MM_ANISOTROPIC) && cx != 0 && cy != 0)
        m_state.viewportExt = CSize(cx, cy);
    return old;
}

CSize CDC::GetViewportExt() const
{
    if (m_state.mapMode != MM_ISOTROPIC)
        return m_state.viewportExt;
    // Equal units both ways: the smaller scale wins, the signs stay.
    const double sx = double(m_state.viewportExt.cx) / m_state.windowExt.cx;
    const double sy = double(m_state.viewportExt.cy) / m_state.windowExt.cy;
    CSize ext = m_state.viewportExt;
    if (std::abs(sx) > std::abs(sy))
        ext.cx = LONG(std::lround(m_state.windowExt.cx * std::abs(sy) * (sx < 0 ? -1 : 1)));
    else if (std::abs(sy) > std::abs(sx))
        ext.cy = LONG(std::lround(m_state.windowExt.cy * std::abs(sx) * (sy < 0 ? -1 : 1)));
    return ext;
}

QTransform CDC::MappingTransform() const
{
    const CSize vp = GetViewportExt();
    const double sx = double(vp.cx) / m_state.windowExt.cx;
    const double sy = double(vp.cy) / m_state.windowExt.cy;
    return QTransform(sx, 0, 0, sy, m_state.viewportOrg.x - m_state.windowOrg.x * sx,
                      m_state.viewportOrg.y - m_state.windowOrg.y * sy);
}

void CDC::LPtoDP(POINT* pts, int count) const
{
    if (m_state.mapMode == MM_TEXT) {
        for (int i = 0; i < count; ++i) {
            pts[i].x += m_state.viewportOrg.x - m_state.windowOrg.x;
            pts[i].y += m_state.viewportOrg.y - m_state.windowOrg.y;
        }
        return;
    }
    const QTransform t = MappingTransform();
    for (int i = 0; i < count; ++i) {
        const QPointF p = t.map(QPointF(pts[i].x, pts[i].y));
        pts[i].x = LONG(std::lround(p.x()));
        pts[i].y = LONG(std::lround(p.y()));
    }
}

void CDC::DPtoLP(POINT* pts, int count) const
{
    if (m_state.mapMode == MM_TEXT) {
        for (int i = 0; i < count; ++i) {
            pts[i].x -= m_state.viewportOrg.x - m_state.windowOrg.x;
            pts[i].y -= m_state.viewportOrg.y - m_state.windowOrg.y;
        }
        return;
    }
    const QTransform t = MappingTransform().inverted();
    for (int i = 0; i < count; ++i) {
        const QPointF p = t.map(QPointF(pts[i].x, pts[i].y));
        pts[i].x = LONG(std::lround(p.x()));
        pts[i].y = LONG(std::lround(p.y()));
    }
}

void CDC::LPtoDP(SIZE* size) const
{
    const CSize vp = GetViewportExt();
    size->cx = LONG(std::lround(double(size->cx) * std::abs(double(vp.cx) / m_state.windowExt.cx)));
    size->cy = LONG(std::lround(double(size->cy) * std::abs(double(vp.cy) / m_state.windowExt.cy)));
}

void CDC::DPtoLP(SIZE* size) const
{
    const CSize vp = GetViewportExt();
    size->cx = LONG(std::lround(double(size->cx) * std::abs(double(m_state.windowExt.cx) / vp.cx)));
    size->cy = LONG(std::lround(double(size->cy) * std::abs(double(m_state.windowExt.cy) / vp.cy)));
}

QPoint CDC::ToDevice(int x, int y) const
{
    POINT p{x, y};
    LPtoDP(&p);
    return {p.x, p.y};
}

QRect CDC::DeviceRect(int l, int t, int r, int b) const
{
    POINT p[2] = {{l, t}, {r, b}};
    LPtoDP(p, 2);
    const int x0 = std::min(p[0].x, p[1].x), x1 = std::max(p[0].x, p[1].x);
    const int y0 = std::min(p[0].y, p[1].y), y1 = std::max(p[0].y, p[1].y);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QPolygon CDC::DevicePolygon(const POINT* pts, int count) const
{
    QPolygon poly;
    poly.reserve(count);
    for (int i = 0; i < count; ++i)
        poly << ToDevice(pts[i].x, pts[i].y);
    return poly;
}

// ---------------------------------------------------------------------------
// Clipping

QRegion CDC::DeviceLimit() const
{
    const QSize size = DeviceSize();
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
    return SelectClipRegion(QRegion(DeviceRect(l, t, r, b)), RGN_AND);
}

int CDC::ExcludeClipRect(int l, int t, int r, int b)
{
    return SelectClipRegion(QRegion(DeviceRect(l, t, r, b)), RGN_DIFF);
}

int CDC::OffsetClipRgn(int dx, int dy)
{
    if (!m_state.hasClip)
        return SIMPLEREGION;
    SIZE s{dx, dy};
    LPtoDP(&s);
    m_state.clip.translate(s.cx, s.cy);
    ClipChanged();
    return RegionKind(m_state.clip);
}

int CDC::GetClipBox(RECT* rc) const
{
    QRegion visible = m_state.hasClip ? m_state.clip : DeviceLimit();
    if (m_baseClipping)
        visible &= m_baseClip;
    const QRect box = visible.boundingRect();
    CRect out = visible.isEmpty() ? CRect() : FromQRect(box);
    DPtoLP(&out);
    out.NormalizeRect();
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

BOOL CDC::PtVisible(int x, int y) const
{
    const QPoint p = ToDevice(x, y);
    QRegion visible = m_state.hasClip ? m_state.clip : DeviceLimit();
    if (m_baseClipping)
        visible &= m_baseClip;
    return visible.contains(p);
}

BOOL CDC::RectVisible(const RECT* rc) const
{
    QRegion visible = m_state.hasClip ? m_state.clip : DeviceLimit();
    if (m_baseClipping)
        visible &= m_baseClip;
    return visible.intersects(DeviceRect(rc->left, rc->top, rc->right, rc->bottom));
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
    m_painter->setTransform(m_base);
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Text fills its own background when asked; a mode left by a hatched fill must not do it again.
    m_painter->setBackgroundMode(Qt::TransparentMode);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setOpacity(1.0);
    return true;
}

bool CDC::PrepareLogical()
{
    if (!PrepareDevice())
        return false;
    m_painter->setTransform(MappingTransform() * m_base);
    return true;
}

// ---------------------------------------------------------------------------
// Saved states

int CDC::SaveDC()
{
    m_saved.push_back(m_state);
    return int(m_saved.size());
}

BOOL CDC::RestoreDC(int saved)
{
    const int level = saved < 0 ? int(m_saved.size()) + 1 + saved : saved;
    if (level < 1 || level > int(m_saved.size()))
        return FALSE;
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
    SIZE w{std::max<LONG>(lp.lopnWidth.x, 0), 0};
    LPtoDP(&w);
    if (w.cx <= 1) {
        pen.setWidth(0); // one device pixel, whatever the mapping
        pen.setCosmetic(true);
    } else {
        pen.setWidth(w.cx);
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
    case BS_HATCHED: {
        Qt::BrushStyle style = Qt::HorPattern;
        switch (int(b->brush.lbHatch)) {
        case HS_VERTICAL: style = Qt::VerPattern; break;
        case HS_FDIAGONAL: style = Qt::FDiagPattern; break;
        case HS_BDIAGONAL: style = Qt::BDiagPattern; break;
        case HS_CROSS: style = Qt::CrossPattern; break;
        case HS_DIAGCROSS: style = Qt::DiagCrossPattern; break;
        default: break;
        }
        brush = QBrush(ToQColor(b->brush.lbColor), style);
        break;
    }
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
    brush.setTransform(QTransform::fromTranslate(m_state.brushOrg.x, m_state.brushOrg.y));
    return brush;
}

bool CDC::ApplyRop2()
{
    // Binary raster operations work where the device keeps its pixels.
    const bool raster = m_painter->paintEngine() && m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_state.rop2) {
    case R2_NOP: return false;
    case R2_XORPEN: mode = QPainter::RasterOp_SourceXorDestination; break;
    case R2_NOTXORPEN: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case R2_NOT: mode = QPainter::RasterOp_NotDestination; break;
    case R2_MASKPEN: mode = QPainter::RasterOp_SourceAndDestination; break;
    case R2_MERGEPEN: mode = QPainter::RasterOp_SourceOrDestination; break;
    case R2_NOTCOPYPEN: mode = QPainter::RasterOp_NotSource; break;
    case R2_NOTMASKPEN: mode = QPainter::RasterOp_NotSourceOrNotDestination; break;
    case R2_NOTMERGEPEN: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case R2_MASKPENNOT: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case R2_MASKNOTPEN: mode = QPainter::RasterOp_NotSourceAndDestination; break;
    case R2_MERGEPENNOT: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    default: break;
    }
    if (raster)
        m_painter->setCompositionMode(mode);
    return true;
}

void CDC::UseBackground(bool styledPen, const QBrush& brush)
{
    // The background colour shows only in the gaps of styled pens and hatches;
    // elsewhere the painter stays transparent, which keeps its exact shape rasterisers.
    const bool hatched = brush.style() >= Qt::Dense1Pattern && brush.style() <= Qt::DiagCrossPattern;
    const bool opaque = m_state.bkMode == OPAQUE && (styledPen || hatched);
    m_painter->setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
    m_painter->setBackground(ToQColor(m_state.bkColor));
}

bool CDC::PrepareShape()
{
    if (!PrepareDevice() || !ApplyRop2())
        return false;
    QPen pen = DevicePen();
    QBrush brush = DeviceBrush(m_state.brush.get());
    if (m_state.rop2 == R2_BLACK || m_state.rop2 == R2_WHITE) {
        const QColor c = m_state.rop2 == R2_BLACK ? Qt::black : Qt::white;
        if (pen.style() != Qt::NoPen)
            pen.setColor(c);
        if (brush.style() != Qt::NoBrush)
            brush = QBrush(c);
    }
    UseBackground(pen.style() != Qt::SolidLine && pen.style() != Qt::NoPen, brush);
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
    const QPoint a = ToDevice(m_state.position.x, m_state.position.y), b = ToDevice(x, y);
    m_state.position = CPoint(x, y);
    if (!PrepareDevice() || !ApplyRop2())
        return m_painter ? TRUE : FALSE;
    m_painter->setPen(DevicePen());
    // Flat caps leave the end point out, as the class library's lines do.
    m_painter->drawLine(a, b);
    return TRUE;
}

BOOL CDC::Polyline(const POINT* pts, int count)
{
    if (!pts || count < 2)
        return FALSE;
    if (!PrepareDevice() || !ApplyRop2())
        return m_painter ? TRUE : FALSE;
    m_painter->setPen(DevicePen());
    m_painter->drawPolyline(DevicePolygon(pts, count));
    return TRUE;
}

BOOL CDC::Polygon(const POINT* pts, int count)
{
    if (!pts || count < 2)
        return FALSE;
    if (PrepareShape())
        m_painter->drawPolygon(DevicePolygon(pts, count), m_state.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
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

BOOL CDC::Rectangle(int l, int t, int r, int b)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    if (PrepareShape())
        m_painter->drawRect(OutlineRect(rect));
    return TRUE;
}

BOOL CDC::RoundRect(int l, int t, int r, int b, int w, int h)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    SIZE corner{std::abs(w), std::abs(h)};
    LPtoDP(&corner);
    if (PrepareShape())
        m_painter->drawRoundedRect(OutlineRect(rect), corner.cx / 2.0, corner.cy / 2.0);
    return TRUE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b)
{
    const QRect rect = DeviceRect(l, t, r, b);
    if (rect.isEmpty())
        return TRUE;
    // The integer form takes the rasteriser's exact ellipse.
    if (PrepareShape())
        m_painter->drawEllipse(OutlineRect(rect).toRect());
    return TRUE;
}

void CDC::FillDeviceRect(const QRect& r, const QBrush& brush)
{
    if (r.isEmpty() || !PrepareDevice())
        return;
    UseBackground(false, brush);
    m_painter->fillRect(r, brush);
}

void CDC::FillRect(const RECT* rc, CBrush* brush)
{
    if (!rc || !brush || !brush->m_hObject)
        return;
    FillDeviceRect(DeviceRect(rc->left, rc->top, rc->right, rc->bottom), DeviceBrush(brush->m_hObject));
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

void CDC::FrameRect(const RECT* rc, CBrush* brush)
{
    if (!rc || !brush || !brush->m_hObject)
        return;
    const QRect r = DeviceRect(rc->left, rc->top, rc->right, rc->bottom);
    if (r.isEmpty())
        return;
    const QBrush b = DeviceBrush(brush->m_hObject);
    FillDeviceRect(QRect(r.left(), r.top(), r.width(), 1), b);
    FillDeviceRect(QRect(r.left(), r.bottom(), r.width(), 1), b);
    FillDeviceRect(QRect(r.left(), r.top(), 1, r.height()), b);
    FillDeviceRect(QRect(r.right(), r.top(), 1, r.height()), b);
}

void CDC::InvertRect(const RECT* rc)
{
    if (!rc)
        return;
    PatBlt(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, DSTINVERT);
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

void CDC::DrawFocusRect(const RECT* rc)
{
    if (!rc)
        return;
    const QRect r = DeviceRect(rc->left, rc->top, rc->right, rc->bottom);
    if (r.isEmpty() || !PrepareDevice())
        return;
    // A dotted frame drawn with exclusive-or, so that drawing it twice removes it.
    QRegion dots;
    auto add = [&](int x, int y) {
        if (((x + y) & 1) == 0)
            dots += QRect(x, y, 1, 1);
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        add(x, r.top());
        if (r.height() > 1)
            add(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        add(r.left(), y);
        if (r.width() > 1)
            add(r.right(), y);
    }
    if (m_painter->paintEngine() && m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (const QRect& d : dots)
        m_painter->fillRect(d, Qt::white);
}

BOOL CDC::FillRgn(CRgn* region, CBrush* brush)
{
    if (!region || !region->m_hObject || !brush || !brush->m_hObject || !PrepareDevice())
        return FALSE;
    const QBrush b = DeviceBrush(brush->m_hObject);
    for (const QRect& r : region->m_hObject->region)
        m_painter->fillRect(r, b);
    return TRUE;
}

BOOL CDC::FrameRgn(CRgn* region, CBrush* brush, int w, int h)
{
    if (!region || !region->m_hObject || !brush || !brush->m_hObject || !PrepareDevice())
        return FALSE;
    const QRegion inside = region->m_hObject->region;
    QRegion shrunk = inside;
    // What is left after moving the region by w and h each way is its inside.
    shrunk &= inside.translated(w, 0);
    shrunk &= inside.translated(-w, 0);
    shrunk &= inside.translated(0, h);
    shrunk &= inside.translated(0, -h);
    const QBrush b = DeviceBrush(brush->m_hObject);
    for (const QRect& r : inside - shrunk)
        m_painter->fillRect(r, b);
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c)
{
    if (!PrepareDevice())
        return CLR_INVALID;
    const QPoint p = ToDevice(x, y);
    m_painter->fillRect(QRect(p, QSize(1, 1)), ToQColor(c));
    return c & 0xFFFFFF;
}

COLORREF CDC::GetPixel(int x, int y) const
{
    const QImage* img = GetImage();
    if (!img)
        return CLR_INVALID;
    QPoint p = m_base.map(ToDevice(x, y));
    if (!img->rect().contains(p))
        return CLR_INVALID;
    if (m_state.hasClip && !m_state.clip.contains(ToDevice(x, y)))
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

BOOL CDC::PlayMetaFile(HENHMETAFILE h, const RECT* rc)
{
    if (!h || !rc || !PrepareLogical())
        return FALSE;
    const QRect bounds = h->picture.boundingRect();
    if (bounds.isEmpty())
        return TRUE;
    const QRectF target(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top);
    m_painter->save();
    m_painter->translate(target.topLeft());
    m_painter->scale(target.width() / bounds.width(), target.height() / bounds.height());
    m_painter->translate(-bounds.topLeft());
    m_painter->drawPicture(0, 0, h->picture);
    m_painter->restore();
    ClipChanged();
    return TRUE;
}
