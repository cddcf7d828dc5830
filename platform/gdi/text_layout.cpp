#include "platform/gdi/text_layout.h"

#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

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

bool Blank(QChar c) { return c == u' ' || c == u'\t'; }

} // namespace

CTextLayout::CTextLayout(const QFontMetrics& fm, bool expandTabs) : m_fm(fm), m_expand(expandTabs)
{
    m_tab = std::max(1, 8 * fm.averageCharWidth());
}

QFont CTextLayout::SharedFont(const QFont& font)
{
    QFont shared(font);
    shared.setHintingPreference(QFont::PreferNoHinting);
    shared.setKerning(false);
    return shared;
}

int CTextLayout::Width(const QString& s) const
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

qsizetype CTextLayout::FitChars(const QString& s, qsizetype from, int width) const
{
    // More characters than pixels cannot fit.
    const qsizetype limit = std::min<qsizetype>(s.size() - from, std::max(width, 0));
    qsizetype keep = LongestFit(limit, [&](qsizetype k) { return Width(s.mid(from, k)) <= width; });
    if (keep > 0 && s[from + keep - 1].isHighSurrogate() && from + keep < s.size())
        --keep;
    return from + keep;
}

std::vector<qsizetype> CTextLayout::BreakPositions(const QString& s)
{
    // Where the script lets a line end: after the blanks behind a word, and
    // between the characters of scripts written without blanks (Japanese,
    // Chinese), keeping closing marks with what they close.
    std::vector<qsizetype> out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, s);
    for (qsizetype p = finder.toNextBoundary(); p > 0; p = finder.toNextBoundary())
        if (p < s.size() && (finder.boundaryReasons() & QTextBoundaryFinder::BreakOpportunity))
            out.push_back(p);
    out.push_back(s.size());
    return out;
}

void CTextLayout::WrapParagraph(const QString& s, int underline, int width, bool breakWords, std::vector<Line>& out,
                                qsizetype base) const
{
    const qsizetype n = s.size();
    if (s.isEmpty()) {
        out.push_back(Line{s, base, base, underline});
        return;
    }
    const std::vector<qsizetype> breaks = BreakPositions(s);
    // A line ends at a break, without the blanks before it.
    auto visibleEnd = [&](qsizetype at) {
        while (at > 0 && Blank(s[at - 1]))
            --at;
        return at;
    };
    size_t next = 0; // the first break not yet passed
    qsizetype start = 0;
    while (start < n) {
        while (next < breaks.size() && visibleEnd(breaks[next]) <= start)
            ++next;
        // The longest run up to a break that fits. More characters than
        // pixels cannot fit: no need to measure (a very long run measured
        // again on every line is slow).
        const auto fits = [&](qsizetype k) {
            const qsizetype end = visibleEnd(breaks[next + size_t(k) - 1]);
            return end - start <= width && Width(s.mid(start, end - start)) <= width;
        };
        const qsizetype fitting = LongestFit(qsizetype(breaks.size() - next), fits);
        qsizetype lineEnd = -1;
        if (fitting > 0) {
            next += size_t(fitting);
            lineEnd = visibleEnd(breaks[next - 1]);
        }
        if (lineEnd < 0) {
            if (breakWords) {
                lineEnd = std::max(FitChars(s, start, width), start + 1);
                if (s[lineEnd - 1].isHighSurrogate() && lineEnd < n)
                    ++lineEnd;
            } else {
                // What is wider than the line up to the next break stays whole.
                lineEnd = next < breaks.size() ? visibleEnd(breaks[next]) : n;
                if (lineEnd <= start)
                    lineEnd = n;
            }
        }
        Line line;
        line.text = s.mid(start, lineEnd - start);
        line.start = base + start;
        line.end = base + lineEnd;
        if (underline >= start && underline < lineEnd)
            line.underline = int(underline - start);
        out.push_back(line);
        qsizetype following = lineEnd;
        while (following < n && Blank(s[following]))
            ++following;
        start = following;
    }
}

std::vector<CTextLayout::Line> CTextLayout::Break(const QString& text, int width, bool breakWords) const
{
    std::vector<Line> lines;
    qsizetype start = 0;
    while (true) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        WrapParagraph(text.mid(start, end - start), -1, width, breakWords, lines, start);
        if (end >= text.size())
            break;
        start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
    return lines;
}

QString CTextLayout::Ellipsis(const QString& s, int width, bool path, bool word) const
{
    if (Width(s) <= width)
        return s;
    const QString dots = QStringLiteral("...");
    if (path) {
        // Keep the last part of a path and drop characters before it.
        qsizetype slash = std::max(s.lastIndexOf(u'/'), s.lastIndexOf(u'\\'));
        if (slash > 0) {
            const QString tail = s.mid(slash);
            const QString head = s.left(slash);
            qsizetype keep = LongestFit(head.size(), [&](qsizetype k) { return Width(head.left(k) + dots + tail) <= width; });
            if (keep > 0 && head[keep - 1].isHighSurrogate())
                --keep;
            if (keep > 0 || Width(dots + tail) <= width)
                return head.left(keep) + dots + tail;
        }
    }
    qsizetype keep = LongestFit(s.size(), [&](qsizetype k) { return Width(s.left(k) + dots) <= width; });
    if (keep > 0 && s[keep - 1].isHighSurrogate())
        --keep;
    if (word) {
        const qsizetype blank = s.left(keep).lastIndexOf(u' ');
        if (blank > 0)
            keep = blank;
    }
    return s.left(keep) + dots;
}
