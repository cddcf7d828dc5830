// Text: DrawText and measuring.
#include "platform/gdi/dc.h"

#include "platform/gdi/logfont.h"

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

class Measure {
public:
    Measure(const QFontMetrics& fm, bool expandTabs) : m_fm(fm), m_expand(expandTabs)
    {
        m_tab = std::max(1, 8 * fm.averageCharWidth());
    }
    int Width(const QString& s) const
    {
        if (!m_expand || !s.contains(u'\t'))
            return m_fm.horizontalAdvance(s);
        int x = 0;
        const QStringList parts = s.split(u'\t');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            x += m_fm.horizontalAdvance(parts[i]);
            if (i + 1 < parts.size())
                x = (x / m_tab + 1) * m_tab;
        }
        return x;
    }
    int TabWidth() const { return m_expand ? m_tab : 0; }

private:
    const QFontMetrics& m_fm;
    bool m_expand;
    int m_tab;
};

// The largest k in [0, n] for which fits(k) holds (0 when none does). Width
// grows with the text kept, so a binary search stays fast on long lines.
template <typename Fits>
qsizetype LongestFit(qsizetype n, Fits fits)
{
    qsizetype lo = 0, hi = n;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Index just past the last character that keeps the text within width; never splits a surrogate pair.
qsizetype FitChars(const Measure& m, const QString& s, qsizetype from, int width)
{
    // More characters than pixels cannot fit.
    const qsizetype limit = std::min<qsizetype>(s.size() - from, std::max(width, 0));
    qsizetype keep = LongestFit(limit, [&](qsizetype k) { return m.Width(s.mid(from, k)) <= width; });
    if (keep > 0 && s[from + keep - 1].isHighSurrogate() && from + keep < s.size())
        --keep;
    return from + keep;
}

bool Blank(QChar c) { return c == u' ' || c == u'\t'; }

void WrapParagraph(const Measure& m, const Line& para, int width, bool breakWords, std::vector<Line>& out)
{
    const QString& s = para.text;
    const qsizetype n = s.size();
    if (s.isEmpty()) {
        out.push_back(para);
        return;
    }
    qsizetype start = 0;
    while (start < n) {
        // The longest run of whole words that fits.
        qsizetype lastFit = -1, pos = start;
        while (pos < n) {
            qsizetype wordEnd = pos;
            while (wordEnd < n && Blank(s[wordEnd]))
                ++wordEnd;
            while (wordEnd < n && !Blank(s[wordEnd]))
                ++wordEnd;
            // More characters than pixels cannot fit: no need to measure
            // (measuring a very long word again on every line is slow).
            if (wordEnd - start > width || m.Width(s.mid(start, wordEnd - start)) > width)
                break;
            lastFit = wordEnd;
            pos = wordEnd;
        }
        qsizetype lineEnd = lastFit;
        if (lastFit < 0) {
            if (breakWords) {
                lineEnd = std::max(FitChars(m, s, start, width), start + 1);
                if (s[lineEnd - 1].isHighSurrogate() && lineEnd < n)
                    ++lineEnd;
            } else {
                // A word wider than the line stays whole.
                lineEnd = start;
                while (lineEnd < n && Blank(s[lineEnd]))
                    ++lineEnd;
                while (lineEnd < n && !Blank(s[lineEnd]))
                    ++lineEnd;
            }
        }
        Line line;
        line.text = s.mid(start, lineEnd - start);
        if (para.underline >= start && para.underline < lineEnd)
            line.underline = int(para.underline - start);
        out.push_back(line);
        qsizetype next = lineEnd;
        while (next < n && Blank(s[next]))
            ++next;
        start = next;
    }
}

QString Ellipsis(const Measure& m, const QString& s, int width, UINT format)
{
    if (m.Width(s) <= width)
        return s;
    const QString dots = QStringLiteral("...");
    if (format & DT_PATH_ELLIPSIS) {
        // Keep the last part of a path and drop characters before it.
        qsizetype slash = std::max(s.lastIndexOf(u'/'), s.lastIndexOf(u'\\'));
        if (slash > 0) {
            const QString tail = s.mid(slash);
            const QString head = s.left(slash);
            qsizetype keep = LongestFit(head.size(), [&](qsizetype k) { return m.Width(head.left(k) + dots + tail) <= width; });
            if (keep > 0 && head[keep - 1].isHighSurrogate())
                --keep;
            if (keep > 0 || m.Width(dots + tail) <= width)
                return head.left(keep) + dots + tail;
        }
    }
    qsizetype keep = LongestFit(s.size(), [&](qsizetype k) { return m.Width(s.left(k) + dots) <= width; });
    if (keep > 0 && s[keep - 1].isHighSurrogate())
        --keep;
    if (format & DT_WORD_ELLIPSIS) {
        const qsizetype blank = s.left(keep).lastIndexOf(u' ');
        if (blank > 0)
            keep = blank;
    }
    return s.left(keep) + dots;
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

void CDC::DrawTextLine(const QString& line, QPointF origin, const QFontMetrics& fm, int tabWidth, int underline)
{
    const double baseline = origin.y() + fm.ascent();
    if (tabWidth <= 0 || !line.contains(u'\t')) {
        m_painter->drawText(QPointF(origin.x(), baseline), line);
    } else {
        int x = 0;
        const QStringList parts = line.split(u'\t');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            m_painter->drawText(QPointF(origin.x() + x, baseline), parts[i]);
            x += fm.horizontalAdvance(parts[i]);
            if (i + 1 < parts.size())
                x = (x / tabWidth + 1) * tabWidth;
        }
    }
    if (underline >= 0 && underline < line.size()) {
        const Measure m(fm, tabWidth > 0);
        const int x0 = m.Width(line.left(underline));
        const int w = std::max(1, fm.horizontalAdvance(line.mid(underline, 1)));
        m_painter->fillRect(QRectF(origin.x() + x0, baseline + fm.underlinePos(), w, std::max(1, fm.lineWidth())),
                            m_painter->pen().color());
    }
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
    const QFont font = CurrentQFont();
    const QFontMetrics fm = m_device ? QFontMetrics(font, m_device) : QFontMetrics(font);
    const Measure measure(fm, (format & DT_EXPANDTABS) != 0);
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
    std::vector<Line> lines;
    for (const QString& p : paragraphs) {
        Line para = (format & DT_NOPREFIX) ? Line{p, -1} : StripPrefix(p, keepMark);
        if ((format & DT_WORDBREAK) && !single)
            WrapParagraph(measure, para, rectWidth, (format & DT_EDITCONTROL) != 0, lines);
        else
            lines.push_back(para);
    }
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (Line& l : lines) {
            const QString cut = Ellipsis(measure, l.text, rectWidth, format);
            if (cut != l.text) {
                l.text = cut;
                if (l.underline >= cut.size() - 3)
                    l.underline = -1;
            }
        }

    const int lineHeight = fm.height() + ((format & DT_EXTERNALLEADING) ? std::max(0, fm.leading()) : 0);
    int widest = 0;
    for (const Line& l : lines)
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
    if (!(format & DT_NOCLIP))
        m_painter->setClipRect(QRect(box.left, box.top, box.Width(), box.Height()), Qt::IntersectClip);
    for (const Line& l : lines) {
        // An edit control shows no line that is cut at the bottom.
        if ((format & DT_EDITCONTROL) && !single && y + lineHeight > box.bottom && y != box.top)
            break;
        const int w = measure.Width(l.text);
        int x = box.left;
        if (format & DT_CENTER)
            x = box.left + (box.Width() - w) / 2;
        else if (format & DT_RIGHT)
            x = box.right - w;
        if (m_state.bkMode == OPAQUE)
            m_painter->fillRect(QRect(x, y, w, lineHeight), ToQColor(m_state.bkColor));
        m_painter->setPen(ToQColor(m_state.textColor));
        DrawTextLine(l.text, QPointF(x, y), fm, measure.TabWidth(), l.underline);
        y += lineHeight;
    }
    ClipChanged();
    return total;
}
