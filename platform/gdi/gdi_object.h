#pragma once

#include "platform/gdi/gdi_defs.h"

#include <QColor>
#include <QImage>
#include <QRegion>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CGdiObject;
class CDC;

enum class GdiKind { None, Pen, Brush, Font, Bitmap, Palette, Region };

// What a handle points to. Shared between the object that made it and every
// device context it is selected into, so that a context never draws with a
// freed object: each holder keeps a reference.
struct GdiData {
    explicit GdiData(GdiKind k) : kind(k) {}
    GdiData(const GdiData&) = delete;
    GdiData& operator=(const GdiData&) = delete;
    ~GdiData();

    const GdiKind kind;
    std::atomic<int> refs{0};
    bool stock = false;
    // The object that owns this handle, or null once it has let go.
    CGdiObject* owner = nullptr;
    // A wrapper made by FromHandle for a handle without owner; lives as long as the data.
    std::unique_ptr<CGdiObject> temporary;
    // The thread's pool of temporary objects holds a reference (see FromHandle).
    std::atomic<bool> inTemporaryPool{false};

    LOGPEN pen;
    LOGBRUSH brush;
    QImage brushPattern;   // pattern brushes: the bitmap's pixels
    bool patternMono = false;
    LOGFONT font;
    QImage image;          // bitmaps; a monochrome bitmap holds only black and white
    int bitsPixel = 32;
    CDC* selectedIn = nullptr;
    std::vector<PALETTEENTRY> palette;
    QRegion region;
};

// Keeps a reference to handle data.
class GdiRef {
public:
    GdiRef() = default;
    GdiRef(GdiData* d) : m_d(d) { if (m_d) ++m_d->refs; }
    GdiRef(const GdiRef& o) : GdiRef(o.m_d) {}
    GdiRef& operator=(const GdiRef& o)
    {
        GdiRef copy(o);
        std::swap(m_d, copy.m_d);
        return *this;
    }
    ~GdiRef() { Reset(); }
    void Reset();
    GdiData* get() const { return m_d; }
    GdiData* operator->() const { return m_d; }
    explicit operator bool() const { return m_d != nullptr; }

private:
    GdiData* m_d = nullptr;
};

// Base of pens, brushes, fonts, bitmaps, palettes and regions: owns one handle.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    GdiKind Kind() const { return m_hObject ? m_hObject->kind : GdiKind::None; }

    // Lets go of the handle; a context that still has it selected keeps drawing with it.
    BOOL DeleteObject();

    // The object that owns h, or a temporary wrapper of the right class. A
    // temporary wrapper stays valid at least until the thread's temporary
    // objects are let go: on the next pass of the event loop, on
    // GdiDeleteTempObjects, or when the thread ends.
    static CGdiObject* FromHandle(HGDIOBJ h);

    HGDIOBJ m_hObject = nullptr;

protected:
    // Takes new handle data as this object's own (the old one is let go).
    void Own(GdiData* data);

private:
    GdiRef m_ref;
};

// Lets go of this thread's temporary objects.
void GdiDeleteTempObjects();

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
    BOOL CreatePen(int style, int width, COLORREF colour);
    BOOL CreatePenIndirect(const LOGPEN* lp);
    static CPen* FromHandle(HPEN h) { return static_cast<CPen*>(CGdiObject::FromHandle(h)); }
};

class CBitmap;

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }
    explicit CBrush(CBitmap* bitmap) { CreatePatternBrush(bitmap); }
    BOOL CreateSolidBrush(COLORREF colour);
    // A monochrome pattern draws its 0 bits in the text colour and its 1 bits
    // in the background colour of the context it is used on.
    BOOL CreatePatternBrush(CBitmap* bitmap);
    static CBrush* FromHandle(HBRUSH h) { return static_cast<CBrush*>(CGdiObject::FromHandle(h)); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONT* lf);
    // pointSize in tenths of a point; the height is worked out for dc (the screen when null).
    BOOL CreatePointFont(int pointSize, const char* faceName, CDC* dc = nullptr);
    // lf->lfHeight in tenths of a point.
    BOOL CreatePointFontIndirect(const LOGFONT* lf, CDC* dc = nullptr);
    int GetLogFont(LOGFONT* lf) const;
    static CFont* FromHandle(HFONT h) { return static_cast<CFont*>(CGdiObject::FromHandle(h)); }
};

class CBitmap : public CGdiObject {
public:
    // bitsPerPixel 1 gives a monochrome bitmap; bits (may be null) are rows
    // padded to 16 bits, as the class library's form has them.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    DWORD SetBitmapBits(DWORD count, const void* bits);
    static CBitmap* FromHandle(HBITMAP h) { return static_cast<CBitmap*>(CGdiObject::FromHandle(h)); }
};

class CPalette : public CGdiObject {
public:
    BOOL CreatePalette(const std::vector<PALETTEENTRY>& entries);
    BOOL CreateHalftonePalette(CDC* dc);
    static CPalette* FromHandle(HPALETTE h) { return static_cast<CPalette*>(CGdiObject::FromHandle(h)); }
};

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int l, int t, int r, int b);
    BOOL CreateRectRgnIndirect(const RECT* rc);
    BOOL CreateEllipticRgn(int l, int t, int r, int b);
    BOOL CreateEllipticRgnIndirect(const RECT* rc);
    BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h);
    BOOL CreatePolygonRgn(const POINT* pts, int count, int fillMode);
    BOOL CreateFromRegion(const QRegion& region);
    int GetRgnBox(RECT* rc) const;
    BOOL PtInRegion(int x, int y) const;
    BOOL PtInRegion(POINT p) const { return PtInRegion(p.x, p.y); }
    QRegion Region() const;
    static CRgn* FromHandle(HRGN h) { return static_cast<CRgn*>(CGdiObject::FromHandle(h)); }
};

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int RegionKind(const QRegion& region);

// The stock object of an index (WHITE_BRUSH ... DC_PEN); null for an unknown index.
HGDIOBJ GetStockObject(int index);
// The one-pixel monochrome bitmap a new memory context starts with.
HBITMAP StockBitmap();

// Qt forms of the records.
inline QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }
inline CRect FromQRect(const QRect& r) { return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()); }
