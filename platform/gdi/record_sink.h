#pragma once

#include "platform/gdi/gdi_defs.h"

#include <QFontMetrics>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <vector>

// The drawing state a recorded call is made in.
struct DCRecordState {
    LOGPEN pen;
    LOGBRUSH brush;
    LOGFONT font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    bool hasClip = false;
    QRegion clip; // device pixels
};

// What a recording context is told as it draws (the metafile writer): each
// call in the context's coordinates, with the state it is drawn in.
class CDCRecordSink {
public:
    enum class ShapeKind { rectangle, roundRect, ellipse };

    virtual ~CDCRecordSink() = default;
    virtual void SaveDC() = 0;
    // relative: -1 goes back to the state saved last, -2 to the one before.
    virtual void RestoreDC(int relative) = 0;
    virtual void Line(const DCRecordState& state, QPoint from, QPoint to) = 0;
    // box is [left, right) x [top, bottom); corner is the rounded corners' ellipse.
    virtual void Shape(const DCRecordState& state, ShapeKind kind, const QRect& box, QSize corner) = 0;
    virtual void Poly(const DCRecordState& state, const std::vector<QPoint>& points, bool closed) = 0;
    virtual void FillRect(const DCRecordState& state, const QRect& rect, COLORREF colour) = 0;
    // One line of text whose cell's top-left is at topLeft, measured with fm; clip limits it when given.
    virtual void Text(const DCRecordState& state, QPoint topLeft, const QString& text, const QFontMetrics& fm,
                      const QRect* clip) = 0;
    // src stretched into dst (the picture is already the right way round).
    virtual void Image(const DCRecordState& state, const QRect& dst, const QImage& src, DWORD rop) = 0;
};
