#include "imaging/exif_file.h"

#include "imaging/exif_types.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// The user comment's character codes, each padded with NULs to 8 bytes.
constexpr const char* kCommentCodes[4] = {"ASCII", "JIS", "UNICODE", ""};

} // namespace

CExifEntry::CExifEntry(CExifFile* owner, WORD directory, WORD subDirectory, WORD tag, WORD type, DWORD count)
    : m_tag(tag), m_type(type), m_count(count), m_directory(directory), m_subDirectory(subDirectory), m_owner(owner)
{
    m_value.assign(static_cast<size_t>(GetTypeSize(type, count)), 0);
}

unsigned CExifEntry::GetUnitSize(WORD type)
{
    return ExifTypeUnitSize(type);
}

uint64_t CExifEntry::GetTypeSize(WORD type, uint64_t count)
{
    return count * GetUnitSize(type); // count is 32-bit in the file: no overflow in 64 bits
}

bool CExifEntry::BigEndian() const
{
    return m_owner && m_owner->IsBigEndian();
}

std::optional<size_t> CExifEntry::Slot(int index, unsigned unit) const
{
    if (index < 0 || unit == 0)
        return std::nullopt;
    uint64_t at = uint64_t(index) * unit;
    if (at + unit > m_value.size())
        return std::nullopt;
    return static_cast<size_t>(at);
}

uint16_t CExifEntry::Load16(size_t at) const
{
    const BYTE* p = m_value.data() + at;
    return BigEndian() ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t CExifEntry::Load32(size_t at) const
{
    const BYTE* p = m_value.data() + at;
    return BigEndian() ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                       : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

uint64_t CExifEntry::Load64(size_t at) const
{
    uint64_t a = Load32(at), b = Load32(at + 4);
    return BigEndian() ? (a << 32 | b) : (b << 32 | a);
}

void CExifEntry::Store16(size_t at, uint16_t v)
{
    BYTE* p = m_value.data() + at;
    if (BigEndian()) { p[0] = BYTE(v >> 8); p[1] = BYTE(v); }
    else { p[0] = BYTE(v); p[1] = BYTE(v >> 8); }
}

void CExifEntry::Store32(size_t at, uint32_t v)
{
    BYTE* p = m_value.data() + at;
    if (BigEndian()) { p[0] = BYTE(v >> 24); p[1] = BYTE(v >> 16); p[2] = BYTE(v >> 8); p[3] = BYTE(v); }
    else { p[0] = BYTE(v); p[1] = BYTE(v >> 8); p[2] = BYTE(v >> 16); p[3] = BYTE(v >> 24); }
}

BYTE CExifEntry::GetByte(int index) const
{
    if (GetUnitSize(m_type) != 1)
        return 0;
    auto at = Slot(index, 1);
    return at ? m_value[*at] : 0;
}

WORD CExifEntry::GetShort(int index) const
{
    if (m_type != 3 && m_type != 8)
        return 0;
    auto at = Slot(index, 2);
    return at ? Load16(*at) : 0;
}

int16_t CExifEntry::GetSShort(int index) const
{
    return static_cast<int16_t>(GetShort(index));
}

DWORD CExifEntry::GetLong(int index) const
{
    if (m_type == 3)
        return GetShort(index);
    if (m_type != 4 && m_type != 9)
        return 0;
    auto at = Slot(index, 4);
    return at ? Load32(*at) : 0;
}

LONG CExifEntry::GetSLong(int index) const
{
    if (m_type != 9)
        return 0;
    auto at = Slot(index, 4);
    return at ? static_cast<LONG>(Load32(*at)) : 0;
}

void CExifEntry::GetRational(DWORD& numerator, DWORD& denominator, int& sign, int index) const
{
    numerator = denominator = 0;
    sign = 0;
    if (m_type != 5 && m_type != 10)
        return;
    auto at = Slot(index, 8);
    if (!at)
        return;
    uint32_t n = Load32(*at), d = Load32(*at + 4);
    sign = 1;
    if (m_type == 10) {
        int negatives = 0;
        // Magnitudes in unsigned arithmetic, so INT_MIN does not overflow.
        if (static_cast<int32_t>(n) < 0) { n = 0u - n; ++negatives; }
        if (static_cast<int32_t>(d) < 0) { d = 0u - d; ++negatives; }
        if (negatives == 1)
            sign = -1;
    }
    numerator = n;
    denominator = d;
}

float CExifEntry::GetFloat(int index) const
{
    if (m_type != 11)
        return 0;
    auto at = Slot(index, 4);
    if (!at)
        return 0;
    uint32_t bits = Load32(*at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

double CExifEntry::GetDouble(int index) const
{
    if (m_type != 12)
        return 0;
    auto at = Slot(index, 8);
    if (!at)
        return 0;
    uint64_t bits = Load64(*at);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void CExifEntry::SetByte(BYTE value, int index)
{
    if (GetUnitSize(m_type) != 1)
        return;
    if (index < 0) {
        std::fill(m_value.begin(), m_value.end(), value);
        return;
    }
    if (auto at = Slot(index, 1))
        m_value[*at] = value;
}

void CExifEntry::SetChar(char value, int index)
{
    if (m_type != 2 || m_value.empty())
        return;
    if (index < 0) {
        std::fill(m_value.begin(), m_value.end() - 1, static_cast<BYTE>(value));
        m_value.back() = 0;
        return;
    }
    if (auto at = Slot(index, 1))
        m_value[*at] = static_cast<BYTE>(value);
}

void CExifEntry::SetShort(WORD value, int index)
{
    if (m_type != 3 && m_type != 8)
        return;
    if (index < 0) {
        for (size_t at = 0; at + 2 <= m_value.size(); at += 2)
            Store16(at, value);
        return;
    }
    if (auto at = Slot(index, 2))
        Store16(*at, value);
}

void CExifEntry::Set32(uint32_t value, int index)
{
    if (index < 0) {
        for (size_t at = 0; at + 4 <= m_value.size(); at += 4)
            Store32(at, value);
        return;
    }
    if (auto at = Slot(index, 4))
        Store32(*at, value);
}

void CExifEntry::SetLong(DWORD value, int index)
{
    if (m_type == 3)
        SetShort(static_cast<WORD>(value), index);
    else if (m_type == 4)
        Set32(value, index);
}

void CExifEntry::SetSLong(LONG value, int index)
{
    if (m_type == 8)
        SetShort(static_cast<WORD>(value), index);
    else if (m_type == 9)
        Set32(static_cast<uint32_t>(value), index);
}

void CExifEntry::SetRational(DWORD numerator, DWORD denominator, int /*sign*/, int index)
{
    if (m_type != 5 && m_type != 10)
        return;
    if (auto at = Slot(index, 8)) {
        Store32(*at, numerator);
        Store32(*at + 4, denominator);
    }
}

void CExifEntry::SetValue(LONG number, int index)
{
    switch (m_type) {
    case 2: SetChar(static_cast<char>(number), index); break;
    case 3: SetShort(static_cast<WORD>(number), index); break;
    case 4: SetLong(static_cast<DWORD>(number), index); break;
    case 7: SetByte(static_cast<BYTE>(number), index); break;
    case 8: SetShort(static_cast<WORD>(number), index); break;
    case 9: SetSLong(number, index); break;
    default: break;
    }
}

int CExifEntry::UserCommentCode(std::span<const BYTE> value)
{
    if (value.size() < 8)
        return -1;
    for (int code = 0; code < 4; ++code) {
        // Compared as strings: up to the name's NUL.
        const char* name = kCommentCodes[code];
        size_t n = std::strlen(name);
        if (std::memcmp(value.data(), name, n) == 0 && value[n] == 0)
            return code;
    }
    return -1;
}

std::optional<std::string> CExifEntry::GetUserComment(int& code) const
{
    code = UserCommentCode(m_value);
    if (code < 0)
        return std::nullopt;
    return std::string(m_value.begin() + 8, m_value.end());
}

void CExifEntry::NormalizeUserComment()
{
    if (UserCommentCode(m_value) != 2 || !BigEndian())
        return;
    for (size_t at = 8; at + 2 <= m_value.size(); at += 2)
        std::swap(m_value[at], m_value[at + 1]);
}

std::string CExifEntry::GetText() const
{
    return std::string(m_value.begin(), std::find(m_value.begin(), m_value.end(), BYTE(0)));
}

void CExifEntry::GetDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second) const
{
    std::string text = m_type == 2 ? GetText() : std::string();
    int* out[6] = {&year, &month, &day, &hour, &minute, &second};
    for (int* field : out) {
        size_t first = text.find_first_not_of(" \t\r\n");
        size_t last = text.find_last_not_of(" \t\r\n");
        text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
        size_t stop = text.find_first_of(": /");
        std::string digits = text.substr(0, stop);
        long value = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                break;
            value = value * 10 + (c - '0');
            if (value > 1000000)
                break;
        }
        *field = static_cast<int>(value);
        text.erase(0, stop == std::string::npos ? text.size() : stop);
        if (!text.empty() && text[0] == ':')
            text.erase(0, 1);
    }
}

std::vector<BYTE> CExifEntry::Encode(bool bigEndian) const
{
    std::vector<BYTE> out(m_value.size());
    auto put = [&](size_t at, uint64_t v, unsigned n) {
        for (unsigned i = 0; i < n; ++i)
            out[at + (bigEndian ? n - 1 - i : i)] = BYTE(v >> (8 * i));
    };
    switch (m_type) {
    case 3: case 8:
        for (size_t at = 0; at + 2 <= m_value.size(); at += 2)
            put(at, Load16(at), 2);
        break;
    case 4: case 9: case 11:
        for (size_t at = 0; at + 4 <= m_value.size(); at += 4)
            put(at, Load32(at), 4);
        break;
    case 5:
        for (size_t at = 0; at + 8 <= m_value.size(); at += 8) {
            put(at, Load32(at), 4);
            put(at + 4, Load32(at + 4), 4);
        }
        break;
    case 10:
        for (size_t i = 0; (i + 1) * 8 <= m_value.size(); ++i) {
            DWORD n, d;
            int sign;
            GetRational(n, d, sign, static_cast<int>(i));
            put(i * 8, static_cast<uint32_t>(sign < 0 ? 0u - n : n), 4);
            put(i * 8 + 4, d, 4);
        }
        break;
    case 12:
        for (size_t at = 0; at + 8 <= m_value.size(); at += 8)
            put(at, Load64(at), 8);
        break;
    default:
        out = m_value;
        break;
    }
    return out;
}
