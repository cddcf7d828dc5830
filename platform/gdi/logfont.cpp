#include "platform/gdi/logfont.h"

#include "platform/archive.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstring>

namespace {

void PutLong(BYTE* p, LONG v)
{
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<BYTE>(u);
    p[1] = static_cast<BYTE>(u >> 8);
    p[2] = static_cast<BYTE>(u >> 16);
    p[3] = static_cast<BYTE>(u >> 24);
}

LONG GetLong(const BYTE* p)
{
    return static_cast<LONG>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}

} // namespace

void LogFontToBytes(const LOGFONT& lf, BYTE out[LOGFONT_BYTES])
{
    PutLong(out + 0, lf.lfHeight);
    PutLong(out + 4, lf.lfWidth);
    PutLong(out + 8, lf.lfEscapement);
    PutLong(out + 12, lf.lfOrientation);
    PutLong(out + 16, lf.lfWeight);
    out[20] = lf.lfItalic;
    out[21] = lf.lfUnderline;
    out[22] = lf.lfStrikeOut;
    out[23] = lf.lfCharSet;
    out[24] = lf.lfOutPrecision;
    out[25] = lf.lfClipPrecision;
    out[26] = lf.lfQuality;
    out[27] = lf.lfPitchAndFamily;
    std::memcpy(out + 28, lf.lfFaceName, LF_FACESIZE);
}

std::vector<BYTE> LogFontToBytes(const LOGFONT& lf)
{
    std::vector<BYTE> bytes(LOGFONT_BYTES);
    LogFontToBytes(lf, bytes.data());
    return bytes;
}

LOGFONT LogFontFromBytes(const BYTE in[LOGFONT_BYTES])
{
    LOGFONT lf;
    lf.lfHeight = GetLong(in + 0);
    lf.lfWidth = GetLong(in + 4);
    lf.lfEscapement = GetLong(in + 8);
    lf.lfOrientation = GetLong(in + 12);
    lf.lfWeight = GetLong(in + 16);
    lf.lfItalic = in[20];
    lf.lfUnderline = in[21];
    lf.lfStrikeOut = in[22];
    lf.lfCharSet = in[23];
    lf.lfOutPrecision = in[24];
    lf.lfClipPrecision = in[25];
    lf.lfQuality = in[26];
    lf.lfPitchAndFamily = in[27];
    std::memcpy(lf.lfFaceName, in + 28, LF_FACESIZE);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return lf;
}

bool LogFontFromBytes(const std::vector<BYTE>& bytes, LOGFONT& lf)
{
    if (bytes.size() != LOGFONT_BYTES)
        return false;
    lf = LogFontFromBytes(bytes.data());
    return true;
}

void StoreLogFont(CArchive& ar, const LOGFONT& lf)
{
    BYTE bytes[LOGFONT_BYTES];
    LogFontToBytes(lf, bytes);
    ar.Write(bytes, sizeof bytes);
}

void LoadLogFont(CArchive& ar, LOGFONT& lf)
{
    BYTE bytes[LOGFONT_BYTES];
    ar.ReadExact(bytes, sizeof bytes);
    lf = LogFontFromBytes(bytes);
}

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

bool operator==(const LOGFONT& a, const LOGFONT& b)
{
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           std::memcmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
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
        font.setPixelSize(int(std::clamp<long>(-height, 1, 32767)));
    } else {
        // A cell height: find the character size whose ascent plus descent is that height.
        const int cell = int(std::clamp<long>(height, 1, 32767));
        font.setPixelSize(cell);
        const QFontMetrics fm(font);
        if (fm.height() > 0)
            font.setPixelSize(std::max(1, int(std::lround(double(cell) * cell / fm.height()))));
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
