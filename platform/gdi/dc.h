#pragma once

#include "platform/gdi/gdi_object.h"

#include <QFont>
#include <QTransform>

#include <memory>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;
class QPicture;
class CDCRecordSink;
class CTextLayout;
struct DCRecordState;

// Polygon fill modes.
enum : int { ALTERNATE = 1, WINDING = 2 };

// A recorded picture, made by CMetaFileDC::CloseEnhanced.
struct EnhMetaFile;
using HENHMETAFILE = EnhMetaFile*;
BOOL DeleteEnhMetaFile(HENHMETAFILE h);

// A device context: the drawing state (selected objects, colours, modes,
// clipping) over a QPainter that draws on a window, an image in memory, a
// printer page or a recorded picture. Drawing coordinates are logical units,
// device pixels unless a mapping mode scales them; clip regions are always in
// device pixels. Shapes follow the class library's pixel rules: right and
// bottom edges and the end point of a line are not drawn.
class CDC {
public:
    // No device yet: CreateCompatibleDC, AttachPainter or AttachDevice give it one.
    CDC();
    // Draws through a painter that the caller keeps (a window's paint handler):
    // its transform and clip at this moment become the device space and limit.
    explicit CDC(QPainter* painter);
    // Draws on a device through a painter of its own (an image, a printer, a picture).
    explicit CDC(QPaintDevice* device);
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    BOOL AttachPainter(QPainter* painter);
    BOOL AttachDevice(QPaintDevice* device);
    // Ends drawing: the painter is given back (or ended), selected objects let go.
    BOOL DeleteDC();
    // A memory context like pDC (the screen when null) that draws on the bitmap selected into it.
    BOOL CreateCompatibleDC(CDC* pDC);

    // The image drawn on, when the device is one; null otherwise.
    QImage* GetImage() const;
    // Drawing on a monochrome bitmap.
    bool IsMonochrome() const;
    BOOL IsPrinting() const { return m_bPrinting; }
    BOOL m_bPrinting = FALSE;

    // Objects. Each returns what was selected before (null on failure).
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    virtual CFont* SelectObject(CFont* font);
    // Null when the bitmap is selected into another context or this is not a memory context.
    CBitmap* SelectObject(CBitmap* bitmap);
    CGdiObject* SelectObject(CGdiObject* object);
    // A region selects a copy as the clip region; returns its kind.
    int SelectObject(CRgn* region) { return SelectClipRgn(region); }
    HGDIOBJ SelectObject(HGDIOBJ h);
    CPen* GetCurrentPen() const;
    CBrush* GetCurrentBrush() const;
    CFont* GetCurrentFont() const;
    CBitmap* GetCurrentBitmap() const;
    CPalette* GetCurrentPalette() const;
    // Every device here shows true colour: palettes are kept but change no pixels.
    CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
    UINT RealizePalette() { return 0; }

    // Attributes; each setter returns the previous value.
    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const { return m_state.textColor; }
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const { return m_state.bkColor; }
    int SetBkMode(int mode);
    int SetStretchBltMode(int mode);
    virtual int GetDeviceCaps(int index) const;

    // Mapping from logical units to device pixels. A recording context keeps MM_TEXT.
    int SetMapMode(int mode);
    int GetMapMode() const { return m_state.mapMode; }
    // Window and viewport extents count only in MM_ANISOTROPIC; each answers the previous one.
    CSize SetWindowExt(int cx, int cy);
    CSize SetViewportExt(int cx, int cy);
    CPoint SetViewportOrg(int x, int y);
    void LPtoDP(POINT* points, int count) const;
    void LPtoDP(RECT* rc) const;

    // Clipping.
    // A null region removes the clip (RGN_COPY) ; the result is the kind of the new clip region.
    int SelectClipRgn(CRgn* region);
    int SelectClipRgn(CRgn* region, int mode);
    int SelectClipRegion(const QRegion& deviceRegion, int mode = RGN_COPY);
    int IntersectClipRect(int l, int t, int r, int b);
    // The smallest rectangle round what can be drawn on.
    int GetClipBox(RECT* rc) const;
    // 1 and a copy of the clip (device pixels) in region when there is a clip, 0 when there is none.
    int GetClipRgn(CRgn* region) const;

    // Saved states: SaveDC answers the level; RestoreDC(-1) goes back one level.
    int SaveDC();
    BOOL RestoreDC(int saved);

    // Lines and shapes.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    BOOL RoundRect(int l, int t, int r, int b, int w, int h);
    BOOL RoundRect(const RECT* rc, POINT p) { return RoundRect(rc->left, rc->top, rc->right, rc->bottom, p.x, p.y); }
    // Outlined with the pen and filled with the brush.
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Ellipse(int l, int t, int r, int b);
    BOOL Polygon(const POINT* points, int count);
    // Also leaves clr as the background colour, as the class library's form does.
    void FillSolidRect(const RECT* rc, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    void Draw3dRect(const RECT* rc, COLORREF topLeft, COLORREF bottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
    COLORREF SetPixel(int x, int y, COLORREF c);
    COLORREF SetPixel(POINT p, COLORREF c) { return SetPixel(p.x, p.y, c); }
    // CLR_INVALID outside the device or when the device cannot be read (windows, printers).
    COLORREF GetPixel(int x, int y) const;
    COLORREF GetPixel(POINT p) const { return GetPixel(p.x, p.y); }

    // Text (UTF-8).
    // Answers the height of the text; with DT_CALCRECT measures into rc and draws nothing.
    int DrawText(const std::string& text, RECT* rc, UINT format);
    int DrawText(const char* text, int count, RECT* rc, UINT format);
    // The Qt font of the selected font, as this context draws it.
    QFont CurrentQFont() const;

    // Blocks of pixels. rop is a ternary raster operation over pattern
    // (the selected brush), source and destination. A monochrome source takes
    // the text colour for its 0 bits and the background colour for its 1 bits;
    // a colour source copied to a monochrome bitmap gives 1 where it has the
    // source's background colour and 0 elsewhere.
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, DWORD rop);
    BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, DWORD rop);
    BOOL PatBlt(int x, int y, int w, int h, DWORD rop);
    // A picture from outside any context, with the same rules; mono marks a
    // black-and-white source whose white is its background colour.
    BOOL StretchImage(int x, int y, int w, int h, const QImage& image, int xs, int ys, int ws, int hs, DWORD rop,
                      bool mono = false, COLORREF monoBackground = RGB(255, 255, 255));

protected:
    QPainter* GetPainter() const { return m_painter; }
    // A recording context hands every call it draws to its sink as well.
    void SetRecordSink(CDCRecordSink* sink) { m_pSink = sink; }
    DCRecordState RecordState() const;
    // Printed, previewed and recorded pages measure text alike (CTextLayout::SharedMetrics).
    bool UsesSharedTextMetrics() const;
    // Device size in pixels for the capabilities.
    virtual QSize DeviceSize() const;
    // Resolution the capabilities answer; the device's own unless set (memory contexts).
    int m_dpiX = 0;
    int m_dpiY = 0;

private:
    struct State {
        GdiRef pen;
        GdiRef brush;
        GdiRef font;
        GdiRef bitmap;
        GdiRef palette;
        COLORREF textColor = RGB(0, 0, 0);
        COLORREF bkColor = RGB(255, 255, 255);
        int bkMode = OPAQUE;
        int stretchMode = BLACKONWHITE;
        CPoint position;
        bool hasClip = false;
        QRegion clip; // device pixels
        int mapMode = MM_TEXT;
        CSize windowExt{1, 1};
        CSize viewportExt{1, 1};
        CPoint viewportOrg;
    };

    void InitState();
    void Release();
    void BeginPainter(QPaintDevice* device);
    void EndPainter();
    bool SelectBitmapData(const GdiRef& bitmap);
    void ClipChanged() { m_clipDirty = true; }
    // Readies the painter for drawing in device pixels (false when there is nothing to draw on).
    bool PrepareDevice();
    void ApplyClip();
    QPen DevicePen() const;
    QBrush DeviceBrush(GdiData* brush) const;
    QRect DeviceRect(int l, int t, int r, int b) const;
    // Logical units to device pixels, and on to the painter's space.
    QTransform Mapping() const;
    QTransform LogicalToPainter() const { return Mapping() * m_base; }
    QRegion DeviceLimit() const;
    // Readies pen and brush for a filled shape.
    bool PrepareShape();
    void UseBackground(bool styledPen);
    void FillDeviceRect(const QRect& r, const QBrush& brush);
    bool Blit(const QRect& dst, const QImage* src, const QRect& srcRect, bool srcMono, COLORREF srcBk, DWORD rop);
    void DrawTextLine(const QString& line, QPointF origin, const CTextLayout& layout, int underline, const QRect* clip);

    QPainter* m_painter = nullptr;
    std::unique_ptr<QPainter> m_ownPainter;
    QPaintDevice* m_device = nullptr;
    QTransform m_base;
    bool m_baseClipping = false;
    QRegion m_baseClip;
    bool m_memory = false;
    bool m_clipDirty = true;
    State m_state;
    std::vector<State> m_saved;
    CDCRecordSink* m_pSink = nullptr;
    mutable GdiRef m_qfontFor;
    mutable QFont m_qfont;

    friend class CMetaFileDC;
};
