#include "platform/gdi/gdi_object.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"

#include <QApplication>
#include <QPalette>
#include <QPolygon>
#include <QThread>

#include <array>
#include <cstring>
#include <mutex>

GdiData::~GdiData() = default;

void GdiRef::Reset()
{
    if (m_d && --m_d->refs == 0)
        delete m_d;
    m_d = nullptr;
}

// ---------------------------------------------------------------------------
// Stock objects: made once, never freed, each with a permanent wrapper.

namespace {

struct StockSet {
    std::array<GdiData*, DC_PEN + 1> data{};
    std::array<std::unique_ptr<CGdiObject>, DC_PEN + 1> wrappers{};
};

GdiData* MakeStock(GdiKind kind)
{
    auto* d = new GdiData(kind);
    d->stock = true;
    d->refs = 1; // never reaches zero
    return d;
}

StockSet& Stock()
{
    static StockSet* set = [] {
        auto* s = new StockSet;
        auto brush = [&](int i, UINT style, COLORREF c) {
            GdiData* d = MakeStock(GdiKind::Brush);
            d->brush.lbStyle = style;
            d->brush.lbColor = c;
            s->data[i] = d;
            s->wrappers[i] = std::make_unique<CBrush>();
        };
        auto pen = [&](int i, int style, COLORREF c) {
            GdiData* d = MakeStock(GdiKind::Pen);
            d->pen.lopnStyle = UINT(style);
            d->pen.lopnWidth.x = 1;
            d->pen.lopnColor = c;
            s->data[i] = d;
            s->wrappers[i] = std::make_unique<CPen>();
        };
        auto font = [&](int i, const char* face, int height, bool fixed) {
            GdiData* d = MakeStock(GdiKind::Font);
            d->font.lfHeight = height;
            d->font.lfWeight = FW_NORMAL;
            d->font.lfCharSet = DEFAULT_CHARSET;
            d->font.lfPitchAndFamily = fixed ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS);
            SetLogFontFaceName(d->font, face);
            s->data[i] = d;
            s->wrappers[i] = std::make_unique<CFont>();
        };
        brush(WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255));
        brush(LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192));
        brush(GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128));
        brush(DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64));
        brush(BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0));
        brush(NULL_BRUSH, BS_NULL, 0);
        brush(DC_BRUSH, BS_SOLID, RGB(255, 255, 255));
        pen(WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
        pen(BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
        pen(NULL_PEN, PS_NULL, 0);
        pen(DC_PEN, PS_SOLID, RGB(0, 0, 0));
        font(OEM_FIXED_FONT, "Monospace", 12, true);
        font(ANSI_FIXED_FONT, "Monospace", 12, true);
        font(ANSI_VAR_FONT, "Sans Serif", 13, false);
        font(SYSTEM_FONT, "Sans Serif", 16, false);
        font(DEVICE_DEFAULT_FONT, "Sans Serif", 16, false);
        font(SYSTEM_FIXED_FONT, "Monospace", 16, true);
        font(DEFAULT_GUI_FONT, "Sans Serif", -11, false);
        {
            GdiData* d = MakeStock(GdiKind::Palette);
            // The twenty static colours.
            static const BYTE colours[20][3] = {
                {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128},
                {192, 192, 192}, {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
                {0, 255, 255}, {255, 255, 255}};
            for (const auto& c : colours)
                d->palette.push_back({c[0], c[1], c[2], 0});
            s->data[DEFAULT_PALETTE] = d;
            s->wrappers[DEFAULT_PALETTE] = std::make_unique<CPalette>();
        }
        for (size_t i = 0; i < s->data.size(); ++i)
            if (s->data[i]) {
                s->wrappers[i]->m_hObject = s->data[i];
                s->data[i]->owner = s->wrappers[i].get();
            }
        return s;
    }();
    return *set;
}

std::mutex& TemporaryMutex()
{
    static std::mutex m;
    return m;
}

// Keeps handles that only a temporary wrapper names alive for a while, so that
// "old = dc.SelectObject(&x); ... dc.SelectObject(old);" stays safe when the
// old object's owner has gone meanwhile.
struct TemporaryPool {
    std::vector<GdiRef> refs;
    bool flushPosted = false;
    ~TemporaryPool() { Clear(); }
    void Clear()
    {
        std::vector<GdiRef> held;
        held.swap(refs);
        for (GdiRef& r : held)
            r->inTemporaryPool = false;
        held.clear();
    }
};

TemporaryPool& Pool()
{
    thread_local TemporaryPool pool;
    return pool;
}

void KeepTemporary(GdiData* h)
{
    if (h->stock || h->inTemporaryPool.exchange(true))
        return;
    TemporaryPool& pool = Pool();
    pool.refs.emplace_back(h);
    if (!pool.flushPosted && qApp && QThread::currentThread() == qApp->thread()) {
        pool.flushPosted = true;
        QMetaObject::invokeMethod(qApp, [] { GdiDeleteTempObjects(); }, Qt::QueuedConnection);
    }
}

} // namespace

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index > DC_PEN)
        return nullptr;
    return Stock().data[size_t(index)];
}

// The default bitmap of a memory context: one black pixel, monochrome.
HBITMAP StockBitmap()
{
    static GdiData* d = [] {
        GdiData* b = MakeStock(GdiKind::Bitmap);
        b->image = QImage(1, 1, QImage::Format_RGB32);
        b->image.fill(Qt::black);
        b->bitsPixel = 1;
        return b;
    }();
    return d;
}

// ---------------------------------------------------------------------------

CGdiObject::~CGdiObject()
{
    DeleteObject();
}

void CGdiObject::Own(GdiData* data)
{
    DeleteObject();
    m_ref = GdiRef(data);
    m_hObject = data;
    data->owner = this;
}

BOOL CGdiObject::DeleteObject()
{
    // Stock and temporary wrappers hold no reference and own nothing.
    if (!m_hObject || !m_ref)
        return FALSE;
    if (m_ref && m_hObject->owner == this)
        m_hObject->owner = nullptr;
    m_hObject = nullptr;
    m_ref.Reset();
    return TRUE;
}

void GdiDeleteTempObjects()
{
    Pool().flushPosted = false;
    Pool().Clear();
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ h)
{
    if (!h)
        return nullptr;
    std::lock_guard lock(TemporaryMutex());
    if (h->owner)
        return h->owner;
    KeepTemporary(h);
    if (!h->temporary) {
        std::unique_ptr<CGdiObject> w;
        switch (h->kind) {
        case GdiKind::Pen: w = std::make_unique<CPen>(); break;
        case GdiKind::Brush: w = std::make_unique<CBrush>(); break;
        case GdiKind::Font: w = std::make_unique<CFont>(); break;
        case GdiKind::Bitmap: w = std::make_unique<CBitmap>(); break;
        case GdiKind::Palette: w = std::make_unique<CPalette>(); break;
        case GdiKind::Region: w = std::make_unique<CRgn>(); break;
        case GdiKind::None: w = std::make_unique<CGdiObject>(); break;
        }
        // Holds no reference: it lives inside the data it names.
        w->m_hObject = h;
        h->temporary = std::move(w);
    }
    return h->temporary.get();
}

// ---------------------------------------------------------------------------

BOOL CPen::CreatePen(int style, int width, COLORREF colour)
{
    LOGPEN lp;
    lp.lopnStyle = UINT(style);
    lp.lopnWidth.x = width;
    lp.lopnColor = colour;
    return CreatePenIndirect(&lp);
}

BOOL CPen::CreatePenIndirect(const LOGPEN* lp)
{
    if (!lp)
        return FALSE;
    auto* d = new GdiData(GdiKind::Pen);
    d->pen = *lp;
    Own(d);
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF colour)
{
    auto* d = new GdiData(GdiKind::Brush);
    d->brush.lbStyle = BS_SOLID;
    d->brush.lbColor = colour;
    Own(d);
    return TRUE;
}

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap)
{
    if (!bitmap || !bitmap->m_hObject || bitmap->m_hObject->kind != GdiKind::Bitmap)
        return FALSE;
    auto* d = new GdiData(GdiKind::Brush);
    d->brush.lbStyle = BS_PATTERN;
    // The brush keeps its own copy: later changes to the bitmap do not reach it.
    d->brushPattern = bitmap->m_hObject->image.copy();
    d->patternMono = bitmap->m_hObject->bitsPixel == 1;
    Own(d);
    return TRUE;
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lf)
{
    if (!lf)
        return FALSE;
    auto* d = new GdiData(GdiKind::Font);
    d->font = *lf;
    d->font.lfFaceName[LF_FACESIZE - 1] = 0;
    Own(d);
    return TRUE;
}

BOOL CFont::CreatePointFont(int pointSize, const char* faceName, CDC* dc)
{
    LOGFONT lf;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = pointSize;
    SetLogFontFaceName(lf, faceName ? faceName : "");
    return CreatePointFontIndirect(&lf, dc);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONT* lf, CDC* dc)
{
    if (!lf)
        return FALSE;
    LOGFONT out = *lf;
    const int dpi = dc ? dc->GetDeviceCaps(LOGPIXELSY) : ScreenDotsPerInchY();
    out.lfHeight = -std::abs(LONG(std::lround(double(dpi) * lf->lfHeight / 720.0)));
    return CreateFontIndirect(&out);
}

int CFont::GetLogFont(LOGFONT* lf) const
{
    if (!m_hObject || m_hObject->kind != GdiKind::Font || !lf)
        return 0;
    *lf = m_hObject->font;
    return int(sizeof(LOGFONT));
}

// ---------------------------------------------------------------------------

namespace {

int MonoStride(int width) { return ((width + 15) / 16) * 2; }

void ImageFromMonoBits(QImage& img, const BYTE* bits, size_t count)
{
    const int stride = MonoStride(img.width());
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const size_t at = size_t(y) * stride + size_t(x / 8);
            const bool on = at < count && (bits[at] & (0x80 >> (x % 8)));
            row[x] = on ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
}

} // namespace

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (width <= 0 || height <= 0 || planes != 1 || int64_t(width) * height > (int64_t(1) << 28))
        return FALSE;
    auto* d = new GdiData(GdiKind::Bitmap);
    d->image = QImage(width, height, QImage::Format_RGB32);
    if (d->image.isNull()) {
        delete d;
        return FALSE;
    }
    d->image.fill(Qt::black);
    d->bitsPixel = bitsPerPixel == 1 ? 1 : 32;
    Own(d);
    if (bits) {
        const size_t count = size_t(bitsPerPixel == 1 ? MonoStride(width) : width * 4) * size_t(height);
        SetBitmapBits(DWORD(count), bits);
    }
    return TRUE;
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits)
{
    if (!m_hObject || m_hObject->kind != GdiKind::Bitmap || !bits)
        return 0;
    QImage& img = m_hObject->image;
    const auto* in = static_cast<const BYTE*>(bits);
    if (m_hObject->bitsPixel == 1) {
        const size_t total = std::min<size_t>(count, size_t(MonoStride(img.width())) * size_t(img.height()));
        ImageFromMonoBits(img, in, total);
        return DWORD(total);
    }
    const size_t stride = size_t(img.width()) * 4;
    const size_t total = std::min<size_t>(count, stride * size_t(img.height()));
    for (size_t done = 0; done < total;) {
        const size_t y = done / stride, x = done % stride;
        const size_t n = std::min(stride - x, total - done);
        std::memcpy(img.scanLine(int(y)) + x, in + done, n);
        done += n;
    }
    // The fourth byte of each pixel is not alpha here: keep the picture opaque.
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            row[x] |= 0xFF000000u;
    }
    return DWORD(total);
}

// ---------------------------------------------------------------------------

BOOL CPalette::CreatePalette(const std::vector<PALETTEENTRY>& entries)
{
    if (entries.empty())
        return FALSE;
    auto* d = new GdiData(GdiKind::Palette);
    d->palette = entries;
    Own(d);
    return TRUE;
}

BOOL CPalette::CreateHalftonePalette(CDC*)
{
    // A 6 x 6 x 6 colour cube with the static colours around it.
    std::vector<PALETTEENTRY> entries = static_cast<GdiData*>(GetStockObject(DEFAULT_PALETTE))->palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                entries.push_back({BYTE(r * 51), BYTE(g * 51), BYTE(b * 51), 0});
    return CreatePalette(entries);
}

// ---------------------------------------------------------------------------

int RegionKind(const QRegion& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

namespace {

QRect NormalRect(int l, int t, int r, int b)
{
    return QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1));
}

} // namespace

BOOL CRgn::CreateFromRegion(const QRegion& region)
{
    auto* d = new GdiData(GdiKind::Region);
    d->region = region;
    Own(d);
    return TRUE;
}

BOOL CRgn::CreateRectRgn(int l, int t, int r, int b)
{
    return CreateFromRegion(QRegion(NormalRect(l, t, r, b)));
}

BOOL CRgn::CreateRectRgnIndirect(const RECT* rc)
{
    return rc && CreateRectRgn(rc->left, rc->top, rc->right, rc->bottom);
}

BOOL CRgn::CreateEllipticRgn(int l, int t, int r, int b)
{
    return CreateFromRegion(QRegion(NormalRect(l, t, r, b), QRegion::Ellipse));
}

BOOL CRgn::CreateEllipticRgnIndirect(const RECT* rc)
{
    return rc && CreateEllipticRgn(rc->left, rc->top, rc->right, rc->bottom);
}

BOOL CRgn::CreateRoundRectRgn(int l, int t, int r, int b, int w, int h)
{
    const QRect rect = NormalRect(l, t, r, b);
    const int rw = std::clamp(std::abs(w), 0, rect.width()), rh = std::clamp(std::abs(h), 0, rect.height());
    if (rw < 2 || rh < 2)
        return CreateFromRegion(QRegion(rect));
    // The middle cross and four quarter ellipses at the corners.
    QRegion region(rect.adjusted(rw / 2, 0, -(rw / 2), 0));
    region += QRegion(rect.adjusted(0, rh / 2, 0, -(rh / 2)));
    const QRect corner(0, 0, rw, rh);
    region += QRegion(corner.translated(rect.topLeft()), QRegion::Ellipse);
    region += QRegion(corner.translated(rect.right() + 1 - rw, rect.top()), QRegion::Ellipse);
    region += QRegion(corner.translated(rect.left(), rect.bottom() + 1 - rh), QRegion::Ellipse);
    region += QRegion(corner.translated(rect.right() + 1 - rw, rect.bottom() + 1 - rh), QRegion::Ellipse);
    return CreateFromRegion(region & QRegion(rect));
}

BOOL CRgn::CreatePolygonRgn(const POINT* pts, int count, int fillMode)
{
    if (!pts || count < 3)
        return FALSE;
    QPolygon poly;
    for (int i = 0; i < count; ++i)
        poly << QPoint(pts[i].x, pts[i].y);
    return CreateFromRegion(QRegion(poly, fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill));
}

int CRgn::GetRgnBox(RECT* rc) const
{
    if (!m_hObject || m_hObject->kind != GdiKind::Region || !rc)
        return RGN_ERROR;
    *rc = m_hObject->region.isEmpty() ? CRect() : FromQRect(m_hObject->region.boundingRect());
    return RegionKind(m_hObject->region);
}

BOOL CRgn::PtInRegion(int x, int y) const
{
    return m_hObject && m_hObject->region.contains(QPoint(x, y));
}

QRegion CRgn::Region() const
{
    return m_hObject ? m_hObject->region : QRegion();
}

// ---------------------------------------------------------------------------

COLORREF GetSysColor(int index)
{
    if (!qApp)
        return 0;
    const QPalette pal = QApplication::palette();
    auto c = [&](QPalette::ColorGroup g, QPalette::ColorRole r) { return FromQColor(pal.color(g, r)); };
    switch (index) {
    case COLOR_SCROLLBAR: return c(QPalette::Active, QPalette::Button);
    case COLOR_BACKGROUND: return c(QPalette::Active, QPalette::Dark);
    case COLOR_ACTIVECAPTION:
    case COLOR_GRADIENTACTIVECAPTION:
    case COLOR_HIGHLIGHT:
    case COLOR_MENUHILIGHT:
    case COLOR_HOTLIGHT: return c(QPalette::Active, QPalette::Highlight);
    case COLOR_INACTIVECAPTION:
    case COLOR_GRADIENTINACTIVECAPTION: return c(QPalette::Inactive, QPalette::Highlight);
    case COLOR_MENU:
    case COLOR_MENUBAR:
    case COLOR_BTNFACE:
    case COLOR_ACTIVEBORDER:
    case COLOR_INACTIVEBORDER: return c(QPalette::Active, QPalette::Button);
    case COLOR_WINDOW: return c(QPalette::Active, QPalette::Base);
    case COLOR_WINDOWFRAME:
    case COLOR_3DDKSHADOW: return c(QPalette::Active, QPalette::Shadow);
    case COLOR_MENUTEXT:
    case COLOR_WINDOWTEXT: return c(QPalette::Active, QPalette::Text);
    case COLOR_CAPTIONTEXT:
    case COLOR_HIGHLIGHTTEXT: return c(QPalette::Active, QPalette::HighlightedText);
    case COLOR_INACTIVECAPTIONTEXT: {
        // The desktop's inactive selection text. Many palettes give it the
        // active colour; an inactive title must still read as inactive, so it
        // is then faded halfway towards the inactive selection.
        const QColor text = pal.color(QPalette::Inactive, QPalette::HighlightedText);
        if (text != pal.color(QPalette::Active, QPalette::HighlightedText))
            return FromQColor(text);
        const QColor back = pal.color(QPalette::Inactive, QPalette::Highlight);
        return RGB((text.red() + back.red()) / 2, (text.green() + back.green()) / 2, (text.blue() + back.blue()) / 2);
    }
    case COLOR_APPWORKSPACE: return c(QPalette::Active, QPalette::Mid);
    case COLOR_BTNSHADOW: return c(QPalette::Active, QPalette::Dark);
    case COLOR_GRAYTEXT: return c(QPalette::Disabled, QPalette::Text);
    case COLOR_BTNTEXT: return c(QPalette::Active, QPalette::ButtonText);
    case COLOR_BTNHIGHLIGHT: return c(QPalette::Active, QPalette::Light);
    case COLOR_3DLIGHT: return c(QPalette::Active, QPalette::Midlight);
    case COLOR_INFOTEXT: return c(QPalette::Active, QPalette::ToolTipText);
    case COLOR_INFOBK: return c(QPalette::Active, QPalette::ToolTipBase);
    default: return 0;
    }
}
