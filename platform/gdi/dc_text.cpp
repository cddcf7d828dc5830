// Text: DrawText and measuring.
#include "platform/gdi/dc.h"

#include "platform/gdi/logfont.h"
#include "platform/gdi/record_sink.h"
#include "platform/gdi/text_layout.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

QString FromUtf8(const char* text, int count)
{
    if (!text)
        return {};
    if (count < 0)
        count = int(strlen(text));
    return QString::fromUtf8(text, count);
}

struct Line {
    QString text;
    int underline = -1; // index of the character marked by '&'
};

// Removes the '&' marks: "&&" is one '&', "&x" marks x.
Line StripPrefix(const QString& s, bool keepMark)
{
    Line out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'&') {
            if (i + 1 >= s.size())
                break;
            ++i;
            if (s[i] != u'&' && keepMark && out.underline < 0)
                out.underline = int(out.text.size());
        }
        out.text += s[i];
    }
    return out;
}

} // namespace

QFont CDC::CurrentQFont() const
{
    if (m_qfontFor.get() != m_state.font.get()) {
        m_qfontFor = m_state.font;
        m_qfont = m_state.font ? QFontFromLogFont(m_state.font->font) : QFont();
    }
    return m_qfont;
}

void CDC::DrawTextLine(const QString& line, QPointF origin, const CTextLayout& layout, int underline, const QRect* clip)
{
    const QFontMetrics& fm = layout.Metrics();
    const double baseline = origin.y() + fm.ascent();
    const int tabWidth = layout.TabWidth();
    auto part = [&](const QString& text, double x) {
        m_painter->drawText(QPointF(x, baseline), text);
        if (m_pSink && !text.isEmpty())
            m_pSink->Text(RecordState(), QPoint(int(x), int(origin.y())), text, fm, clip);
    };
    if (tabWidth <= 0 || !line.contains(u'\t')) {
        part(line, origin.x());
    } else {
        int x = 0;
        const QStringList parts = line.split(u'\t');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            part(parts[i], origin.x() + x);
            x += fm.horizontalAdvance(parts[i]);
            if (i + 1 < parts.size())
                x = (x / tabWidth + 1) * tabWidth;
        }
    }
    if (underline >= 0 && underline < line.size()) {
        const int x0 = layout.Width(line.left(underline));
        const int w = std::max(1, fm.horizontalAdvance(line.mid(underline, 1)));
        const QRect mark(int(origin.x()) + x0, int(baseline) + fm.underlinePos(), w, std::max(1, fm.lineWidth()));
        m_painter->fillRect(mark, m_painter->pen().color());
        if (m_pSink)
            m_pSink->FillRect(RecordState(), mark, m_state.textColor);
    }
}

bool CDC::UsesSharedTextMetrics() const
{
    // Pages (printed, previewed or recorded) must break lines alike.
    return m_bPrinting || m_pSink || GetDeviceCaps(TECHNOLOGY) != DT_RASDISPLAY;
}

int CDC::DrawText(const std::string& text, RECT* rc, UINT format)
{
    return DrawText(text.data(), int(text.size()), rc, format);
}

int CDC::DrawText(const char* text, int count, RECT* rc, UINT format)
{
    if (!rc)
        return 0;
    const QString s = FromUtf8(text, count);
    const bool shared = UsesSharedTextMetrics();
    const QFont font = shared ? CTextLayout::SharedFont(CurrentQFont()) : CurrentQFont();
    const QFontMetrics fm = shared ? QFontMetrics(font) : m_device ? QFontMetrics(font, m_device) : QFontMetrics(font);
    const CTextLayout measure(fm, (format & DT_EXPANDTABS) != 0);
    const bool single = (format & DT_SINGLELINE) != 0;
    const bool keepMark = !(format & (DT_NOPREFIX | DT_HIDEPREFIX));
    const int rectWidth = std::max(0, int(rc->right - rc->left));

    // Paragraphs, then lines.
    QStringList paragraphs;
    if (single) {
        QString one = s;
        one.remove(u'\r');
        one.remove(u'\n');
        paragraphs << one;
    } else {
        QString t = s;
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        t.replace(u'\r', u'\n');
        paragraphs = t.split(u'\n');
    }
    std::vector<CTextLayout::Line> lines;
    for (const QString& p : paragraphs) {
        const Line para = (format & DT_NOPREFIX) ? Line{p, -1} : StripPrefix(p, keepMark);
        if ((format & DT_WORDBREAK) && !single)
            measure.WrapParagraph(para.text, para.underline, rectWidth, (format & DT_EDITCONTROL) != 0, lines);
        else
            lines.push_back(CTextLayout::Line{para.text, 0, para.text.size(), para.underline});
    }
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (CTextLayout::Line& l : lines) {
            const QString cut = measure.Ellipsis(l.text, rectWidth, (format & DT_PATH_ELLIPSIS) != 0,
                                                 (format & DT_WORD_ELLIPSIS) != 0);
            if (cut != l.text) {
                l.text = cut;
                if (l.underline >= cut.size() - 3)
                    l.underline = -1;
            }
        }

    const int lineHeight = fm.height() + ((format & DT_EXTERNALLEADING) ? std::max(0, fm.leading()) : 0);
    int widest = 0;
    for (const CTextLayout::Line& l : lines)
        widest = std::max(widest, measure.Width(l.text));
    const int total = lineHeight * int(lines.size());

    if (format & DT_CALCRECT) {
        rc->right = rc->left + widest;
        rc->bottom = rc->top + total;
        return total;
    }

    CRect box(*rc);
    int y = box.top;
    if (single) {
        if (format & DT_VCENTER)
            y = box.top + (box.Height() - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = box.bottom - lineHeight;
    }
    if (!PrepareDevice())
        return total;
    m_painter->setFont(font);
    const QRect boxRect(box.left, box.top, box.Width(), box.Height());
    const bool clipped = !(format & DT_NOCLIP);
    if (clipped)
        m_painter->setClipRect(boxRect, Qt::IntersectClip);
    for (const CTextLayout::Line& l : lines) {
        // An edit control shows no line that is cut at the bottom.
        if ((format & DT_EDITCONTROL) && !single && y + lineHeight > box.bottom && y != box.top)
            break;
        const int w = measure.Width(l.text);
        int x = box.left;
        if (format & DT_CENTER)
            x = box.left + (box.Width() - w) / 2;
        else if (format & DT_RIGHT)
            x = box.right - w;
        if (m_state.bkMode == OPAQUE) {
            m_painter->fillRect(QRect(x, y, w, lineHeight), ToQColor(m_state.bkColor));
            if (m_pSink)
                m_pSink->FillRect(RecordState(), QRect(x, y, w, lineHeight) & (clipped ? boxRect : QRect(x, y, w, lineHeight)),
                                  m_state.bkColor);
        }
        m_painter->setPen(ToQColor(m_state.textColor));
        DrawTextLine(l.text, QPointF(x, y), measure, l.underline, clipped ? &boxRect : nullptr);
        y += lineHeight;
    }
    ClipChanged();
    return total;
}
