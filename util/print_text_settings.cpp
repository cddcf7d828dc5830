#include "util/print_text_settings.h"

#include "util/reg_settings.h"
#include "platform/archive.h"
#include "platform/byte_reader.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/gdi/logfont.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kPointSizeTenths = 90;

} // namespace

void LogFontToBytes(const LOGFONT& f, uint8_t (&b)[kLogFontBytes])
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    ar << f.lfHeight << f.lfWidth << f.lfEscapement << f.lfOrientation << f.lfWeight;
    ar << f.lfItalic << f.lfUnderline << f.lfStrikeOut << f.lfCharSet << f.lfOutPrecision << f.lfClipPrecision
       << f.lfQuality << f.lfPitchAndFamily;
    ar.Write(f.lfFaceName, LF_FACESIZE);
    std::memcpy(b, file.Data().data(), kLogFontBytes);
}

// Five 32-bit numbers, eight bytes, the face name field.
static_assert(kLogFontBytes == 5 * 4 + 8 + LF_FACESIZE);

LOGFONT LogFontFromBytes(const uint8_t (&b)[kLogFontBytes])
{
    LOGFONT f;
    ByteReader r(b);
    for (LONG* field : {&f.lfHeight, &f.lfWidth, &f.lfEscapement, &f.lfOrientation, &f.lfWeight})
        *field = r.I32().value_or(0);
    for (BYTE* field : {&f.lfItalic, &f.lfUnderline, &f.lfStrikeOut, &f.lfCharSet, &f.lfOutPrecision,
                        &f.lfClipPrecision, &f.lfQuality, &f.lfPitchAndFamily})
        *field = r.U8().value_or(0);
    const auto face = r.Take(LF_FACESIZE);
    std::copy(face->begin(), face->end(), f.lfFaceName);
    // A stored face name without its terminating zero must not run past the field.
    f.lfFaceName[LF_FACESIZE - 1] = '\0';
    return f;
}

CPrintTextSettings::CPrintTextSettings() : m_logFont(DefaultFont()) {}

LOGFONT CPrintTextSettings::DefaultFont()
{
    LOGFONT f;
    double dpi = kScreenDpi;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        dpi = s->logicalDotsPerInchY();
    // Character height in pixels, negative as a point size asks for it.
    f.lfHeight = -static_cast<LONG>(std::lround(kPointSizeTenths * dpi / 720.0));
    f.lfCharSet = DEFAULT_CHARSET;
    const std::string_view face = res::String(IDS_PRINTTEXT_FACE);
    std::memcpy(f.lfFaceName, face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1));
    return f;
}

void CPrintTextSettings::Load()
{
    m_logFont = DefaultFont();
    m_bInsideSelection = RegReadInt(IDS_REG_PREFERENCE, "PTInsideSelection", 0);
    // The stored blocks are read over the current bytes, so a block that is
    // missing or of another type leaves the field as it was.
    uint8_t font[kLogFontBytes];
    LogFontToBytes(m_logFont, font);
    if (RegReadBinary(IDS_REG_PREFERENCE, "PTFont", font, sizeof font))
        m_logFont = LogFontFromBytes(font);
    COLORREF color = qToLittleEndian(m_color);
    if (RegReadBinary(IDS_REG_PREFERENCE, "PTColor", &color, sizeof color))
        m_color = qFromLittleEndian(color);
    m_nLocation = RegReadInt(IDS_REG_PREFERENCE, "PTLoc", 3);
    m_bDateTime = RegReadInt(IDS_REG_PREFERENCE, "PTDateTime", 1);
    m_bFileName = RegReadInt(IDS_REG_PREFERENCE, "PTFileName", 1);
    m_bComment = RegReadInt(IDS_REG_PREFERENCE, "PTComment", 1);
}

void CPrintTextSettings::Save() const
{
    RegWriteInt(IDS_REG_PREFERENCE, "PTInsideSelection", m_bInsideSelection);
    uint8_t font[kLogFontBytes];
    LogFontToBytes(m_logFont, font);
    RegWriteBinary(IDS_REG_PREFERENCE, "PTFont", font, sizeof font);
    const COLORREF color = qToLittleEndian(m_color);
    RegWriteBinary(IDS_REG_PREFERENCE, "PTColor", &color, sizeof color);
    RegWriteInt(IDS_REG_PREFERENCE, "PTLoc", m_nLocation);
    RegWriteInt(IDS_REG_PREFERENCE, "PTDateTime", m_bDateTime);
    RegWriteInt(IDS_REG_PREFERENCE, "PTFileName", m_bFileName);
    RegWriteInt(IDS_REG_PREFERENCE, "PTComment", m_bComment);
}
