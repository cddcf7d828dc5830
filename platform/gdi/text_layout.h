#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <vector>

// Breaking text into lines and measuring it: one code for every device, so
// that a printed page, its preview and its metafile break a text at the
// same places when they measure with the same metrics (SharedMetrics).
class CTextLayout {
public:
    struct Line {
        QString text;
        qsizetype start = 0; // where the line begins in the text that was broken
        qsizetype end = 0;   // just past its last character
        int underline = -1;  // index in text of the character marked by '&'
    };

    CTextLayout(const QFontMetrics& fm, bool expandTabs);

    // The metrics of font as every device gets them: unhinted and not tied
    // to a device's resolution (the font's size is in pixels).
    static QFont SharedFont(const QFont& font);
    static QFontMetrics SharedMetrics(const QFont& font) { return QFontMetrics(SharedFont(font)); }

    int Width(const QString& s) const;
    // 0 when tabs are not expanded.
    int TabWidth() const { return m_expand ? m_tab : 0; }
    int LineHeight() const { return m_fm.height(); }
    const QFontMetrics& Metrics() const { return m_fm; }

    // Index just past the last character from 'from' that keeps the text
    // within width; never splits a surrogate pair.
    qsizetype FitChars(const QString& s, qsizetype from, int width) const;
    // Where a line may end in a paragraph, as the script allows: offsets
    // between characters, ascending; the paragraph's end is the last.
    static std::vector<qsizetype> BreakPositions(const QString& para);
    // One paragraph (no line breaks) broken into lines within width, each
    // ending where the script allows (BreakPositions): whole words in Latin
    // text, between characters in Japanese. A run wider than the line is cut
    // when breakWords is set (as an edit control does), else it stays whole.
    // Blanks at a break are dropped.
    // Line positions count from base.
    void WrapParagraph(const QString& para, int underline, int width, bool breakWords, std::vector<Line>& out,
                       qsizetype base = 0) const;
    // A text with line breaks ("\r\n", "\r" or "\n") broken into lines within
    // width, each line's position counted in the text.
    std::vector<Line> Break(const QString& text, int width, bool breakWords) const;
    // s cut to width with "..." at its end (or, for a path, before its last part).
    QString Ellipsis(const QString& s, int width, bool path, bool word) const;

private:
    QFontMetrics m_fm;
    bool m_expand;
    int m_tab;
};
