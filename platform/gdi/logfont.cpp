#include "platform/gdi/logfont.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstring>

std::string LogFontFaceName(const LOGFONT& lf)
{
    return std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
}

void SetLogFontFaceName(LOGFONT& lf, const std::string& face)
{
    size_t n = std::min(face.size(), size_t(LF_FACESIZE - 1));
    // Never end inside a UTF-8 sequence: back off over continuation bytes.
    if (n < face.size())
        while (n > 0 && (static_cast<unsigned char>(face[n]) & 0xC0) == 0x80)
            --n;
    std::memset(lf.lfFaceName, 0, LF_FACESIZE);
    std::memcpy(lf.lfFaceName, face.data(), n);
}

QFont QFontFromLogFont(const LOGFONT& lf)
{
    QFont font;
    const std::string face = LogFontFaceName(lf);
    if (!face.empty())
        font.setFamily(QString::fromUtf8(face.data(), qsizetype(face.size())));
    else if ((lf.lfPitchAndFamily & 0x03) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN)
        font.setStyleHint(QFont::Monospace);
    switch (lf.lfPitchAndFamily & 0xF0) {
    case FF_ROMAN: font.setStyleHint(QFont::Serif, QFont::PreferDefault); break;
    case FF_SWISS: font.setStyleHint(QFont::SansSerif, QFont::PreferDefault); break;
    case FF_MODERN: font.setStyleHint(QFont::Monospace, QFont::PreferDefault); break;
    default: break;
    }
    if (lf.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    if (lf.lfQuality == NONANTIALIASED_QUALITY)
        font.setStyleStrategy(QFont::NoAntialias);

    long height = lf.lfHeight == 0 ? -12 : lf.lfHeight;
    if (height < 0) {
        font.setPixelSize(int(std::clamp<long>(-height, 1, kLargestFontPixels)));
    } else {
        // A cell height: find the character size whose ascent plus descent is that height.
        const int cell = int(std::clamp<long>(height, 1, kLargestFontPixels));
        font.setPixelSize(cell);
        const QFontMetrics fm(font);
        if (fm.height() > 0)
            font.setPixelSize(std::clamp(int(std::lround(double(cell) * cell / fm.height())), 1, kLargestFontPixels));
    }
    if (lf.lfWidth > 0) {
        // An average character width asks for the font stretched to it.
        const QFontMetrics fm(font);
        if (fm.averageCharWidth() > 0)
            font.setStretch(std::clamp(int(std::lround(100.0 * lf.lfWidth / fm.averageCharWidth())), 1, 4000));
    }
    return font;
}

LOGFONT LogFontFromPointSize(int tenthsOfPoint, const std::string& face, int dotsPerInch)
{
    LOGFONT lf;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfWeight = FW_NORMAL;
    // tenths of a point -> pixels: dpi * tenths / 720, rounded to the nearest.
    lf.lfHeight = -std::abs(static_cast<LONG>(std::lround(double(dotsPerInch) * tenthsOfPoint / 720.0)));
    SetLogFontFaceName(lf, face);
    return lf;
}

int ScreenDotsPerInchY()
{
    if (qGuiApp)
        if (const QScreen* s = QGuiApplication::primaryScreen())
            return std::max(1, qRound(s->logicalDotsPerInchY()));
    return 96;
}

int ScreenDotsPerInchX()
{
    if (qGuiApp)
        if (const QScreen* s = QGuiApplication::primaryScreen())
            return std::max(1, qRound(s->logicalDotsPerInchX()));
    return 96;
}
