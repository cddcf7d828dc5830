// Blocks of pixels: every ternary raster operation, worked out per pixel.
#include "platform/gdi/dc.h"

#include "platform/gdi/record_sink.h"

#include <QPaintEngine>
#include <QPainter>

namespace {

bool UsesSource(DWORD rop) { return (((rop >> 2) ^ rop) & 0x330000) != 0; }
bool UsesPattern(DWORD rop) { return (((rop >> 4) ^ rop) & 0x0F0000) != 0; }

QRgb Mono(QRgb c)
{
    // A colour drawn on a monochrome bitmap: the nearer of black and white.
    const int lum = (qRed(c) * 30 + qGreen(c) * 59 + qBlue(c) * 11) / 100;
    return lum >= 128 ? 0xFFFFFFFFu : 0xFF000000u;
}

} // namespace

BOOL CDC::BitBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, DWORD rop)
{
    return StretchBlt(x, y, w, h, src, xs, ys, w, h, rop);
}

BOOL CDC::PatBlt(int x, int y, int w, int h, DWORD rop)
{
    if (UsesSource(rop))
        return FALSE;
    const QRect dst = DeviceRect(x, y, x + w, y + h);
    return Blit(dst, nullptr, QRect(), false, 0, rop) ? TRUE : FALSE;
}

BOOL CDC::StretchBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, DWORD rop)
{
    if (!UsesSource(rop))
        return PatBlt(x, y, w, h, rop);
    if (!src)
        return FALSE;
    const QImage* image = src->m_memory ? (src->m_state.bitmap ? &src->m_state.bitmap->image : nullptr) : src->GetImage();
    if (!image)
        return FALSE;
    const QTransform toSource = src->LogicalToPainter();
    const QPointF s0 = toSource.map(QPointF(xs, ys)), s1 = toSource.map(QPointF(xs + ws, ys + hs));
    const bool mono = src->IsMonochrome();
    return StretchImage(x, y, w, h, *image, int(std::lround(s0.x())), int(std::lround(s0.y())),
                        int(std::lround(s1.x() - s0.x())), int(std::lround(s1.y() - s0.y())), rop, mono,
                        src->m_state.bkColor)
               ? TRUE
               : FALSE;
}

BOOL CDC::StretchImage(int x, int y, int w, int h, const QImage& image, int xs, int ys, int ws, int hs, DWORD rop,
                       bool mono, COLORREF monoBackground)
{
    if (!UsesSource(rop))
        return PatBlt(x, y, w, h, rop);
    if (image.isNull() || ws == 0 || hs == 0)
        return FALSE;
    const int dw = w, dh = h;
    if (dw == 0 || dh == 0)
        return TRUE;
    const QRect dst = DeviceRect(x, y, x + w, y + h);
    const QRect srcRect(QPoint(std::min(xs, xs + ws), std::min(ys, ys + hs)), QSize(std::abs(ws), std::abs(hs)));
    // Opposite signs of the two extents mirror the picture.
    const bool flipX = (dw < 0) != (ws < 0), flipY = (dh < 0) != (hs < 0);
    QImage part = image.copy(srcRect).convertToFormat(QImage::Format_RGB32);
    if (flipX || flipY)
        part = part.mirrored(flipX, flipY);
    if (!Blit(dst, &part, part.rect(), mono, monoBackground, rop))
        return FALSE;
    if (m_pSink)
        m_pSink->Image(RecordState(), dst, part, rop);
    return TRUE;
}

bool CDC::Blit(const QRect& dst, const QImage* src, const QRect& srcRect, bool srcMono, COLORREF srcBk, DWORD rop)
{
    if (dst.isEmpty())
        return true;
    if (!PrepareDevice())
        return false;
    const int w = dst.width(), h = dst.height();
    const bool destMono = IsMonochrome();

    // The source at the destination's size, in the destination's colours.
    QImage S;
    if (src) {
        S = src->copy(srcRect);
        if (S.size() != dst.size())
            S = S.scaled(dst.size(), Qt::IgnoreAspectRatio,
                         m_state.stretchMode == HALFTONE ? Qt::SmoothTransformation : Qt::FastTransformation);
        S = S.convertToFormat(QImage::Format_RGB32);
        const QRgb bk = 0xFF000000u | ToQColor(srcBk).rgb();
        const QRgb fg = 0xFF000000u | ToQColor(m_state.textColor).rgb();
        const QRgb bg = 0xFF000000u | ToQColor(m_state.bkColor).rgb();
        if (srcMono != destMono) {
            for (int yy = 0; yy < h; ++yy) {
                auto* row = reinterpret_cast<QRgb*>(S.scanLine(yy));
                for (int xx = 0; xx < w; ++xx) {
                    if (srcMono)
                        row[xx] = (row[xx] & 0xFFFFFF) ? bg : fg;
                    else
                        row[xx] = ((row[xx] | 0xFF000000u) == bk) ? 0xFFFFFFFFu : 0xFF000000u;
                }
            }
        }
        if (rop == SRCCOPY) {
            m_painter->setCompositionMode(QPainter::CompositionMode_Source);
            m_painter->drawImage(dst.topLeft(), S);
            m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
            return true;
        }
    }

    // The pattern: the selected brush, aligned with the device's pixels.
    QImage P;
    if (UsesPattern(rop)) {
        if (!m_state.brush || m_state.brush->brush.lbStyle == BS_NULL)
            return true;
        P = QImage(dst.size(), QImage::Format_RGB32);
        P.fill(ToQColor(m_state.bkColor));
        QBrush b = DeviceBrush(m_state.brush.get());
        b.setTransform(b.transform() * QTransform::fromTranslate(-dst.left(), -dst.top()));
        QPainter pp(&P);
        pp.setBackgroundMode(m_state.bkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
        pp.setBackground(ToQColor(m_state.bkColor));
        pp.fillRect(P.rect(), b);
        pp.end();
        if (destMono)
            for (int yy = 0; yy < h; ++yy) {
                auto* row = reinterpret_cast<QRgb*>(P.scanLine(yy));
                for (int xx = 0; xx < w; ++xx)
                    row[xx] = Mono(row[xx]);
            }
    }

    // result = c0 ^ (D & m): c0 is the result over a black destination and
    // m the bits where the destination shows through (kept or inverted).
    const unsigned code = (rop >> 16) & 0xFF;
    QImage C0(dst.size(), QImage::Format_RGB32), M(dst.size(), QImage::Format_RGB32);
    bool anyM = false, allM = true, anyC0 = false;
    for (int yy = 0; yy < h; ++yy) {
        const QRgb* ps = S.isNull() ? nullptr : reinterpret_cast<const QRgb*>(S.constScanLine(yy));
        const QRgb* pp = P.isNull() ? nullptr : reinterpret_cast<const QRgb*>(P.constScanLine(yy));
        auto* pc = reinterpret_cast<QRgb*>(C0.scanLine(yy));
        auto* pm = reinterpret_cast<QRgb*>(M.scanLine(yy));
        for (int xx = 0; xx < w; ++xx) {
            const uint32_t s = ps ? ps[xx] & 0xFFFFFF : 0, p = pp ? pp[xx] & 0xFFFFFF : 0;
            const uint32_t ns = ~s & 0xFFFFFF, np = ~p & 0xFFFFFF;
            const uint32_t t[4] = {np & ns, np & s, p & ns, p & s};
            uint32_t c0 = 0, c1 = 0;
            for (int i = 0; i < 4; ++i) {
                if (code & (1u << (2 * i)))
                    c0 |= t[i];
                if (code & (1u << (2 * i + 1)))
                    c1 |= t[i];
            }
            const uint32_t m = c0 ^ c1;
            pc[xx] = 0xFF000000u | c0;
            pm[xx] = 0xFF000000u | m;
            anyM |= m != 0;
            allM &= m == 0xFFFFFF;
            anyC0 |= c0 != 0;
        }
    }

    if (!anyM) {
        m_painter->setCompositionMode(QPainter::CompositionMode_Source);
        m_painter->drawImage(dst.topLeft(), C0);
    } else if (m_painter->paintEngine() && m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
        if (!allM) {
            m_painter->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            m_painter->drawImage(dst.topLeft(), M);
        }
        if (anyC0) {
            m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            m_painter->drawImage(dst.topLeft(), C0);
        }
    } else {
        // A device that cannot combine with what it holds (a printer, a
        // recorded picture): pixels that keep the destination stay out, the
        // rest take the value they would have over black.
        QImage A(dst.size(), QImage::Format_ARGB32);
        for (int yy = 0; yy < h; ++yy) {
            const auto* pc = reinterpret_cast<const QRgb*>(C0.constScanLine(yy));
            const auto* pm = reinterpret_cast<const QRgb*>(M.constScanLine(yy));
            auto* pa = reinterpret_cast<QRgb*>(A.scanLine(yy));
            for (int xx = 0; xx < w; ++xx)
                pa[xx] = ((pm[xx] & 0xFFFFFF) == 0xFFFFFF && (pc[xx] & 0xFFFFFF) == 0) ? 0u : pc[xx];
        }
        m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painter->drawImage(dst.topLeft(), A);
    }
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}
