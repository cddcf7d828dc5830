#include "platform/gdi/emf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr uint32_t kEmfVersion = 0x00010000;
constexpr uint32_t kHeaderBytes = 108;          // the header with both extensions
constexpr uint32_t kStockNullBrush = 0x80000005;
constexpr uint32_t kStockNullPen = 0x80000008;
constexpr uint32_t kMapText = 1;                // MM_TEXT: one unit a device pixel
constexpr uint32_t kAlternate = 1;
constexpr uint32_t kColorOnColor = 3;
constexpr uint32_t kGraphicsCompatible = 1;
constexpr uint32_t kTextClipped = 0x0004;       // ETO_CLIPPED
constexpr uint32_t kLogFontPanoseBytes = 320;
constexpr uint32_t kFaceChars = 32;

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Patch32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = static_cast<uint8_t>(v >> (8 * i));
}

float Float(double v) { return static_cast<float>(v); }

uint32_t FloatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void PutRectInclusive(std::vector<uint8_t>& out, const QRect& r)
{
    Put32(out, uint32_t(r.left()));
    Put32(out, uint32_t(r.top()));
    Put32(out, uint32_t(r.right()));
    Put32(out, uint32_t(r.bottom()));
}

} // namespace

CEmfWriter::CEmfWriter(int width, int height, int dotsPerInch, const std::string& description)
    : m_width(std::max(1, width)), m_height(std::max(1, height)), m_dpi(std::max(1, dotsPerInch)),
      m_description(description)
{
    // A known starting state for every player.
    Simple(EMR_SETMAPMODE, kMapText);
    Simple(EMR_SETBKMODE, TRANSPARENT);
    Simple(EMR_SETTEXTALIGN, 0); // TA_TOP | TA_LEFT: text is placed by its cell's top-left corner
    Simple(EMR_SETPOLYFILLMODE, kAlternate);
    Simple(EMR_SETSTRETCHBLTMODE, kColorOnColor);
    m_sel.bkMode = TRANSPARENT;
}

void CEmfWriter::Begin(uint32_t type)
{
    m_recordStart = m_records.size();
    U32(type);
    U32(0); // the size, set by End
}

void CEmfWriter::End()
{
    while ((m_records.size() - m_recordStart) % 4)
        m_records.push_back(0);
    Patch32(m_records, m_recordStart + 4, uint32_t(m_records.size() - m_recordStart));
    ++m_nRecords;
}

void CEmfWriter::U32(uint32_t v) { Put32(m_records, v); }
void CEmfWriter::U16(uint16_t v) { Put16(m_records, v); }

void CEmfWriter::Rect(const QRect& r)
{
    I32(r.left());
    I32(r.top());
    I32(r.left() + r.width());
    I32(r.top() + r.height());
}

void CEmfWriter::Simple(uint32_t type, uint32_t value)
{
    if (m_finished)
        return;
    Begin(type);
    U32(value);
    End();
}

void CEmfWriter::Bounds(const QRect& r)
{
    m_bounds |= r.normalized() & QRect(0, 0, m_width, m_height);
}

uint32_t CEmfWriter::ObjectFor(uint32_t createType, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> key = body;
    Put32(key, createType);
    if (auto it = m_objects.find(key); it != m_objects.end())
        return it->second;
    // Each distinct object is made once and kept to the end, so a restored
    // state never selects an object that is gone.
    const uint32_t handle = m_nextHandle++;
    Begin(createType);
    U32(handle);
    m_records.insert(m_records.end(), body.begin(), body.end());
    End();
    m_objects.emplace(std::move(key), handle);
    return handle;
}

void CEmfWriter::UsePen(const LOGPEN& pen)
{
    std::vector<uint8_t> body;
    Put32(body, pen.lopnStyle);
    Put32(body, uint32_t(pen.lopnWidth.x));
    Put32(body, 0);
    Put32(body, pen.lopnColor & 0xFFFFFF);
    const uint32_t h = (pen.lopnStyle & PS_STYLE_MASK) == PS_NULL ? kStockNullPen : ObjectFor(EMR_CREATEPEN, body);
    if (m_sel.pen != h) {
        Simple(EMR_SELECTOBJECT, h);
        m_sel.pen = h;
    }
}

void CEmfWriter::UseBrush(const LOGBRUSH& brush)
{
    if (brush.lbStyle != BS_SOLID) {
        // Pattern brushes are not recorded: the shape is drawn hollow.
        UseNullBrush();
        return;
    }
    std::vector<uint8_t> body;
    Put32(body, BS_SOLID);
    Put32(body, brush.lbColor & 0xFFFFFF);
    Put32(body, 0);
    const uint32_t h = ObjectFor(EMR_CREATEBRUSHINDIRECT, body);
    if (m_sel.brush != h) {
        Simple(EMR_SELECTOBJECT, h);
        m_sel.brush = h;
    }
}

void CEmfWriter::UseNullPen()
{
    if (m_sel.pen != kStockNullPen) {
        Simple(EMR_SELECTOBJECT, kStockNullPen);
        m_sel.pen = kStockNullPen;
    }
}

void CEmfWriter::UseNullBrush()
{
    if (m_sel.brush != kStockNullBrush) {
        Simple(EMR_SELECTOBJECT, kStockNullBrush);
        m_sel.brush = kStockNullBrush;
    }
}

void CEmfWriter::UseFont(const LOGFONT& lf)
{
    // The wide-character form with the full-name, style and panose fields.
    std::vector<uint8_t> body;
    Put32(body, uint32_t(lf.lfHeight));
    Put32(body, uint32_t(lf.lfWidth));
    Put32(body, uint32_t(lf.lfEscapement));
    Put32(body, uint32_t(lf.lfOrientation));
    Put32(body, uint32_t(lf.lfWeight));
    for (BYTE b : {lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfOutPrecision, lf.lfClipPrecision,
                   lf.lfQuality, lf.lfPitchAndFamily})
        body.push_back(b);
    const QString face = QString::fromUtf8(lf.lfFaceName, qsizetype(strnlen(lf.lfFaceName, LF_FACESIZE)));
    for (uint32_t i = 0; i < kFaceChars; ++i)
        Put16(body, i + 1 < kFaceChars && i < uint32_t(face.size()) ? face[i].unicode() : 0);
    body.resize(kLogFontPanoseBytes, 0);
    const uint32_t h = ObjectFor(EMR_EXTCREATEFONTINDIRECTW, body);
    if (m_sel.font != h) {
        Simple(EMR_SELECTOBJECT, h);
        m_sel.font = h;
    }
}

void CEmfWriter::UseClip(const DCRecordState& state)
{
    if (m_sel.clipKnown && m_sel.hasClip == state.hasClip && (!state.hasClip || m_sel.clip == state.clip))
        return;
    Begin(EMR_EXTSELECTCLIPRGN);
    if (!state.hasClip) {
        U32(0); // no region: the whole page again
        U32(RGN_COPY);
    } else {
        const uint32_t count = uint32_t(state.clip.rectCount());
        U32(32 + 16 * count);
        U32(RGN_COPY);
        U32(32);    // the region header's size
        U32(1);     // RDH_RECTANGLES
        U32(count);
        U32(16 * count);
        Rect(state.clip.boundingRect());
        for (const QRect& r : state.clip)
            Rect(r);
    }
    End();
    m_sel.clipKnown = true;
    m_sel.hasClip = state.hasClip;
    m_sel.clip = state.clip;
}

void CEmfWriter::UseTextState(const DCRecordState& state)
{
    const COLORREF colour = state.textColor & 0xFFFFFF;
    if (m_sel.textColor != int64_t(colour)) {
        Simple(EMR_SETTEXTCOLOR, colour);
        m_sel.textColor = colour;
    }
    // The context fills a text's background itself (as a rectangle).
    if (m_sel.bkMode != TRANSPARENT) {
        Simple(EMR_SETBKMODE, TRANSPARENT);
        m_sel.bkMode = TRANSPARENT;
    }
}

void CEmfWriter::SaveDC()
{
    if (m_finished)
        return;
    m_saved.push_back(m_sel);
    Begin(EMR_SAVEDC);
    End();
}

void CEmfWriter::RestoreDC(int relative)
{
    if (m_finished || relative >= 0 || size_t(-relative) > m_saved.size())
        return;
    const size_t level = m_saved.size() - size_t(-relative);
    m_sel = m_saved[level];
    m_saved.resize(level);
    Simple(EMR_RESTOREDC, uint32_t(relative));
}

void CEmfWriter::Line(const DCRecordState& state, QPoint from, QPoint to)
{
    Poly(state, {from, to}, false);
}

void CEmfWriter::Shape(const DCRecordState& state, ShapeKind kind, const QRect& box, QSize corner)
{
    if (m_finished)
        return;
    UseClip(state);
    UsePen(state.pen);
    UseBrush(state.brush);
    Begin(kind == ShapeKind::rectangle ? EMR_RECTANGLE : kind == ShapeKind::ellipse ? EMR_ELLIPSE : EMR_ROUNDRECT);
    Rect(box);
    if (kind == ShapeKind::roundRect) {
        I32(corner.width());
        I32(corner.height());
    }
    End();
    Bounds(box);
}

void CEmfWriter::Poly(const DCRecordState& state, const std::vector<QPoint>& points, bool closed)
{
    if (m_finished || points.size() < 2)
        return;
    UseClip(state);
    UsePen(state.pen);
    if (closed)
        UseBrush(state.brush);
    QRect box(points.front(), points.front());
    for (const QPoint& p : points)
        box |= QRect(p, p);
    Begin(closed ? EMR_POLYGON : EMR_POLYLINE);
    PutRectInclusive(m_records, box);
    U32(uint32_t(points.size()));
    for (const QPoint& p : points) {
        I32(p.x());
        I32(p.y());
    }
    End();
    Bounds(box.adjusted(0, 0, 1, 1));
}

void CEmfWriter::FillRect(const DCRecordState& state, const QRect& rect, COLORREF colour)
{
    if (m_finished || rect.isEmpty())
        return;
    UseClip(state);
    UseNullPen();
    LOGBRUSH brush;
    brush.lbColor = colour;
    UseBrush(brush);
    // Without a pen a rectangle leaves out its right and bottom edges.
    Begin(EMR_RECTANGLE);
    Rect(rect.adjusted(0, 0, 1, 1));
    End();
    Bounds(rect);
}

void CEmfWriter::Text(const DCRecordState& state, QPoint topLeft, const QString& text, const QFontMetrics& fm,
                      const QRect* clip)
{
    if (m_finished || text.isEmpty())
        return;
    UseClip(state);
    UseFont(state.font);
    UseTextState(state);
    const uint32_t n = uint32_t(text.size());
    // Each character's advance, so every player spaces the line as it was laid out.
    std::vector<int32_t> dx(n, 0);
    int previous = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (text[qsizetype(i)].isHighSurrogate() && i + 1 < n)
            continue; // the pair's advance goes on its second unit
        const int upTo = fm.horizontalAdvance(text.left(qsizetype(i) + 1));
        dx[i] = upTo - previous;
        previous = upTo;
    }
    const QRect cell(topLeft, QSize(std::max(1, previous), fm.height()));
    const QRect bounds = clip ? (cell & *clip) : cell;
    constexpr uint32_t kStringOffset = 76;
    const uint32_t stringBytes = (n * 2 + 3) / 4 * 4;
    Begin(EMR_EXTTEXTOUTW);
    Rect(bounds.isEmpty() ? QRect(topLeft, QSize(0, 0)) : bounds);
    U32(kGraphicsCompatible);
    U32(FloatBits(Float(2540.0 / m_dpi)));
    U32(FloatBits(Float(2540.0 / m_dpi)));
    I32(topLeft.x());
    I32(topLeft.y());
    U32(n);
    U32(kStringOffset);
    U32(clip ? kTextClipped : 0);
    Rect(clip ? *clip : QRect());
    U32(kStringOffset + stringBytes);
    for (uint32_t i = 0; i < n; ++i)
        U16(text[qsizetype(i)].unicode());
    if (n % 2)
        U16(0);
    for (int32_t d : dx)
        I32(d);
    End();
    Bounds(bounds);
}

void CEmfWriter::Image(const DCRecordState& state, const QRect& dst, const QImage& src, DWORD rop)
{
    if (m_finished || src.isNull() || dst.isEmpty())
        return;
    UseClip(state);
    const QImage rgb = src.convertToFormat(QImage::Format_RGB888);
    const uint32_t w = uint32_t(rgb.width()), h = uint32_t(rgb.height());
    const uint32_t stride = (w * 3 + 3) / 4 * 4;
    const uint32_t bitsBytes = stride * h;
    constexpr uint32_t kInfoOffset = 80, kInfoBytes = 40;
    Begin(EMR_STRETCHDIBITS);
    PutRectInclusive(m_records, dst);
    I32(dst.left());
    I32(dst.top());
    I32(0);
    I32(0);
    I32(int32_t(w));
    I32(int32_t(h));
    U32(kInfoOffset);
    U32(kInfoBytes);
    U32(kInfoOffset + kInfoBytes);
    U32(bitsBytes);
    U32(0); // DIB_RGB_COLORS
    U32(rop);
    I32(dst.width());
    I32(dst.height());
    // BITMAPINFOHEADER of a bottom-up 24-bit picture.
    U32(kInfoBytes);
    I32(int32_t(w));
    I32(int32_t(h));
    U16(1);
    U16(24);
    U32(0);
    U32(bitsBytes);
    U32(0);
    U32(0);
    U32(0);
    U32(0);
    m_records.reserve(m_records.size() + bitsBytes);
    for (uint32_t row = h; row-- > 0;) {
        const uchar* line = rgb.constScanLine(int(row));
        for (uint32_t x = 0; x < w; ++x) {
            m_records.push_back(line[3 * x + 2]);
            m_records.push_back(line[3 * x + 1]);
            m_records.push_back(line[3 * x]);
        }
        for (uint32_t pad = w * 3; pad < stride; ++pad)
            m_records.push_back(0);
    }
    End();
    Bounds(dst);
}

std::vector<uint8_t> CEmfWriter::Finish()
{
    if (m_finished)
        return {};
    // The end record: no palette.
    Begin(EMR_EOF);
    U32(0);
    U32(16);
    U32(20);
    End();
    m_finished = true;

    std::vector<uint8_t> out;
    const QString desc = QString::fromUtf8(m_description.data(), qsizetype(m_description.size()));
    // A description ends with two terminating characters.
    const uint32_t descChars = desc.isEmpty() ? 0 : uint32_t(desc.size()) + 2;
    const uint32_t descBytes = (descChars * 2 + 3) / 4 * 4;
    const uint32_t headerSize = kHeaderBytes + descBytes;
    const uint32_t total = headerSize + uint32_t(m_records.size());
    const QRect bounds = m_bounds.isEmpty() ? QRect(0, 0, 0, 0) : m_bounds;
    Put32(out, EMR_HEADER);
    Put32(out, headerSize);
    if (m_bounds.isEmpty()) {
        // Nothing drawn: an empty bounds rectangle.
        Put32(out, 0);
        Put32(out, 0);
        Put32(out, uint32_t(-1));
        Put32(out, uint32_t(-1));
    } else {
        PutRectInclusive(out, bounds);
    }
    // The frame: the whole page in hundredths of a millimetre.
    // Rounded up, so that no player makes the page a pixel smaller.
    const auto hundredthsMm = [this](int pixels) { return uint32_t((int64_t(pixels) * 2540 + m_dpi - 1) / m_dpi); };
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, hundredthsMm(m_width) - 1);
    Put32(out, hundredthsMm(m_height) - 1);
    Put32(out, kEmfSignature);
    Put32(out, kEmfVersion);
    Put32(out, total);
    Put32(out, m_nRecords + 1);
    Put16(out, uint16_t(std::min<uint32_t>(m_nextHandle, 0xFFFF)));
    Put16(out, 0);
    Put32(out, descChars);
    Put32(out, descChars ? kHeaderBytes : 0);
    Put32(out, 0); // palette entries
    Put32(out, uint32_t(m_width));
    Put32(out, uint32_t(m_height));
    Put32(out, uint32_t(std::lround(m_width * 25.4 / m_dpi)));
    Put32(out, uint32_t(std::lround(m_height * 25.4 / m_dpi)));
    Put32(out, 0); // no pixel format
    Put32(out, 0);
    Put32(out, 0); // not OpenGL
    Put32(out, uint32_t(int64_t(m_width) * 25400 / m_dpi));
    Put32(out, uint32_t(int64_t(m_height) * 25400 / m_dpi));
    for (qsizetype i = 0; i < desc.size(); ++i)
        Put16(out, desc[i].unicode());
    while (out.size() < headerSize)
        out.push_back(0);
    out.insert(out.end(), m_records.begin(), m_records.end());
    m_records.clear();
    return out;
}
