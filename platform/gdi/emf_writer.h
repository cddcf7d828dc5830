#pragma once

#include "platform/gdi/record_sink.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// Enhanced metafile record types this writer makes (and its tests read).
enum EmfRecordType : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
};

// Writes an enhanced metafile record by record, little-endian field by
// field: the header, then what a recording context draws (objects are made
// once for each distinct pen, brush and font and selected as needed), then
// the end record. Coordinates are pixels of a page of the given size at
// the given resolution.
class CEmfWriter : public CDCRecordSink {
public:
    // The one-pixel-per-unit page; description may be empty.
    CEmfWriter(int width, int height, int dotsPerInch, const std::string& description);

    // The whole file: header and records with the end record. The writer is
    // finished afterwards (nothing more is recorded).
    std::vector<uint8_t> Finish();

    void SaveDC() override;
    void RestoreDC(int relative) override;
    void Line(const DCRecordState& state, QPoint from, QPoint to) override;
    void Shape(const DCRecordState& state, ShapeKind kind, const QRect& box, QSize corner) override;
    void Poly(const DCRecordState& state, const std::vector<QPoint>& points, bool closed) override;
    void FillRect(const DCRecordState& state, const QRect& rect, COLORREF colour) override;
    void Text(const DCRecordState& state, QPoint topLeft, const QString& text, const QFontMetrics& fm,
              const QRect* clip) override;
    void Image(const DCRecordState& state, const QRect& dst, const QImage& src, DWORD rop) override;

private:
    // What the player has selected, as far as this writer set it.
    struct Selected {
        uint32_t pen = 0, brush = 0, font = 0; // 0: not known
        int64_t textColor = -1, bkColor = -1, bkMode = -1;
        bool clipKnown = true;
        bool hasClip = false;
        QRegion clip;
    };

    void Begin(uint32_t type);
    void End();
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U16(uint16_t v);
    void Rect(const QRect& r); // as a RECTL, right and bottom exclusive
    void Simple(uint32_t type, uint32_t value);

    uint32_t ObjectFor(uint32_t createType, const std::vector<uint8_t>& body);
    void UsePen(const LOGPEN& pen);
    void UseBrush(const LOGBRUSH& brush);
    void UseNullPen();
    void UseNullBrush();
    void UseFont(const LOGFONT& font);
    void UseClip(const DCRecordState& state);
    void UseTextState(const DCRecordState& state);
    void Bounds(const QRect& r);

    int m_width, m_height, m_dpi;
    std::string m_description;
    std::vector<uint8_t> m_records; // everything after the header
    size_t m_recordStart = 0;
    uint32_t m_nRecords = 0;
    // Bodies by length, then bytes: only lookups use the order. (The vectors'
    // own order makes GCC 12 see a read past any object in Release.)
    struct BodyLess {
        bool operator()(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) const
        {
            return a.size() != b.size() ? a.size() < b.size() : !a.empty() && std::memcmp(a.data(), b.data(), a.size()) < 0;
        }
    };
    std::map<std::vector<uint8_t>, uint32_t, BodyLess> m_objects; // creation record body -> handle
    uint32_t m_nextHandle = 1;
    Selected m_sel;
    std::vector<Selected> m_saved;
    QRect m_bounds;
    bool m_finished = false;
};
