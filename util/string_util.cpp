#include "util/string_util.h"

#include <QDate>
#include <QLocale>
#include <QChar>
#include <QString>
#include <QStringDecoder>
#include <QTime>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/utsname.h>

size_t CharLenAt(std::string_view text, size_t offset)
{
    if (offset >= text.size())
        return 0;
    const auto lead = static_cast<unsigned char>(text[offset]);
    size_t len = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (len == 1 || offset + len > text.size())
        return 1;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(text[offset + i]) & 0xC0) != 0x80)
            return 1;
    return len;
}

size_t CountChars(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += CharLenAt(text, i))
        ++count;
    return count;
}

size_t CharCountInBytes(std::string_view text, size_t n)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += CharLenAt(text, i)) {
        if (i == n)
            return count;
        ++count;
    }
    return count;
}

size_t ByteIndexAfterChars(std::string_view text, size_t n)
{
    size_t i = 0;
    for (size_t count = 0; count < n; ++count) {
        if (i >= text.size())
            return n;
        i += CharLenAt(text, i);
    }
    return i;
}

size_t TruncateToChars(std::string& text, size_t maxChars)
{
    const size_t count = CountChars(text);
    if (count <= maxChars)
        return count;
    text.resize(ByteIndexAfterChars(text, maxChars));
    return maxChars;
}

void SplitString(std::string_view text, std::vector<std::string>& out, std::string_view separators, bool skipEmpty,
                 bool quotes)
{
    std::string token;
    bool inQuotes = false;
    for (char c : text) {
        if (quotes && c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && separators.find(c) != std::string_view::npos) {
            if (!skipEmpty || !token.empty())
                out.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        out.push_back(std::move(token));
}

void SplitAtChar(std::string_view text, std::vector<std::string>& out, char separator, bool skipEmpty)
{
    out.clear();
    SplitString(text, out, std::string_view(&separator, 1), skipEmpty, false);
}

std::string JoinStrings(const std::vector<std::string>& items, char separator)
{
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            joined += separator;
        joined += items[i];
    }
    return joined;
}

void RemoveCharAll(std::string& text, char ch)
{
    std::string kept;
    kept.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t len = CharLenAt(text, i);
        if (!(len == 1 && text[i] == ch))
            kept.append(text, i, len);
        i += len;
    }
    text = std::move(kept);
}

bool IsUtf8Text(std::string_view bytes) { return QByteArrayView(bytes.data(), qsizetype(bytes.size())).isValidUtf8(); }

std::string ShiftJisToUtf8(std::string_view bytes)
{
    // Qt decodes it through ICU, whose table for this name is code page 932.
    QStringDecoder decode("CP932");
    if (!decode.isValid())
        return std::string(bytes);
    // A lead byte at the very end, its second byte missing, is dropped by the
    // decoder without a word: it is a character that cannot be read.
    size_t whole = 0;
    while (whole < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[whole]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && whole + 1 == bytes.size())
            break;
        whole += lead ? 2 : 1;
    }
    QString text = decode(QByteArrayView(bytes.data(), qsizetype(whole)));
    if (whole < bytes.size())
        text += QChar::ReplacementCharacter;
    // ICU stands in U+001A for a byte that is no character; a stored text
    // never holds that control, so it is the replacement character here.
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    return text.toStdString();
}

std::string JisToShiftJis(const void* bytes, size_t length)
{
    const auto* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    bool kanji = false;
    size_t i = 0;
    while (i < length) {
        const unsigned c1 = in[i];
        if (c1 == 0x1B) {
            kanji = i + 1 < length && in[i + 1] == '$';
            i += 3; // ESC $ B, ESC ( B, ESC ( J
        } else if (kanji) {
            if (i + 1 >= length)
                break; // half a pair: nothing to convert
            const unsigned c2 = in[i + 1];
            unsigned s2 = (c1 & 1) ? (c2 + 31) & 0xFF : (c2 + 125) & 0xFF;
            if (s2 >= 127)
                s2 = (s2 + 1) & 0xFF;
            unsigned s1 = (((c1 - 33) >> 1) + 129) & 0xFF;
            if (s1 > 159)
                s1 = (s1 + 64) & 0xFF;
            out += static_cast<char>(s1);
            out += static_cast<char>(s2);
            i += 2;
        } else {
            // The last one-byte character is kept too: it is text like any other.
            out += static_cast<char>(c1);
            ++i;
        }
    }
    return out;
}

std::string WideBytesToString(const char16_t* text, size_t byteLength)
{
    if (!text)
        return {};
    const QString s = QString::fromUtf16(text, static_cast<qsizetype>(byteLength / 2));
    return s.toStdString();
}

size_t AnsiToUnicode(const char* text, char16_t* buffer, size_t bufferChars)
{
    if (!text || !buffer)
        return 0;
    const QString s = QString::fromUtf8(text, static_cast<qsizetype>(std::strlen(text)));
    const auto units = static_cast<size_t>(s.size());
    if (units > bufferChars)
        return 0;
    std::memcpy(buffer, s.utf16(), units * sizeof(char16_t));
    return units;
}

std::string FormatWithStrings(std::string_view format, std::initializer_list<std::string_view> args)
{
    std::string out;
    auto arg = args.begin();
    size_t i = 0;
    for (size_t at; arg != args.end() && (at = format.find("%s", i)) != std::string_view::npos; ++arg) {
        out.append(format, i, at - i);
        out.append(*arg);
        i = at + 2;
    }
    out.append(format.substr(i));
    return out;
}

std::string FormatSizeText(uint64_t bytes)
{
    char buf[64];
    const uint64_t kb = bytes / 1024;
    if (kb == 0)
        std::snprintf(buf, sizeof buf, "%" PRIu64 " B", bytes);
    else if (kb / 1024 == 0)
        std::snprintf(buf, sizeof buf, "%" PRIu64 " KB", kb);
    else
        std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(kb) / 1024.0);
    return buf;
}

std::string FormatSizeSuffix(uint64_t bytes) { return " (" + FormatSizeText(bytes) + ")"; }

SYSTEMTIME GetCurrentLocalTime()
{
    SYSTEMTIME st;
    COleDateTime::GetCurrentTime().GetAsSystemTime(st);
    return st;
}

std::string FormatDateTimeLocale(const COleDateTime& time, bool withDate, bool withTime)
{
    if (time.GetStatus() != COleDateTime::valid)
        return {};
    const QLocale locale;
    QString date, clock;
    if (withDate)
        date = locale.toString(QDate(time.GetYear(), time.GetMonth(), time.GetDay()), QLocale::ShortFormat);
    if (withTime) {
        // The user's time of day with seconds, without the zone the long form adds.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QLatin1Char('t'));
        clock = locale.toString(QTime(time.GetHour(), time.GetMinute(), time.GetSecond()), format.trimmed());
    }
    if (!date.isEmpty() && !clock.isEmpty())
        return (date + QLatin1Char(' ') + clock).toStdString();
    return (date + clock).toStdString();
}

std::string FormatDateTimeLocaleYmdHms(int year, int month, int day, int hour, int minute, int second)
{
    return FormatDateTimeLocale(COleDateTime(year, month, day, hour, minute, second), true, true);
}

void GetOsVersion(DWORD* major, DWORD* minor)
{
    DWORD ma = 0, mi = 0;
    utsname u{};
    if (uname(&u) == 0) {
        char* end = nullptr;
        ma = static_cast<DWORD>(std::strtoul(u.release, &end, 10));
        if (end && *end == '.')
            mi = static_cast<DWORD>(std::strtoul(end + 1, nullptr, 10));
    }
    if (major)
        *major = ma;
    if (minor)
        *minor = mi;
}

namespace {

unsigned char FoldAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

} // namespace

int CompareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(a[i]), y = FoldAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::string UpperKeepingOffsets(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    for (uint u : s.toUcs4()) {
        const char32_t c = u;
        const char32_t upper = QChar::toUpper(c);
        const QByteArray a = QString::fromUcs4(&c, 1).toUtf8();
        const QByteArray b = QString::fromUcs4(&upper, 1).toUtf8();
        out.append(b.size() == a.size() ? b.constData() : a.constData(), size_t(a.size()));
    }
    // Bytes that are not UTF-8 decode to replacement characters of another
    // length: such a text is searched as it is.
    return out.size() == text.size() ? out : std::string(text);
}
