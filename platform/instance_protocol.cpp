#include "platform/instance_protocol.h"

#include <algorithm>

namespace {

// The fields of a line between single spaces; empty fields count too.
std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    for (;;) {
        size_t sp = line.find(' ', start);
        if (sp == std::string_view::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, sp - start));
        start = sp + 1;
    }
}

// A plain decimal number that fits in 64 bits.
bool ParseNumber(std::string_view s, uint64_t& value)
{
    if (s.empty() || s.size() > 20)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = uint64_t(c - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string Encode(std::string_view s)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (IsUnreserved(c)) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Decode(std::string_view s, std::string& out)
{
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (s.size() - i < 3)
            return false;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

// At most maxBytes of s, not ending inside a UTF-8 character (a character
// has at most four bytes; bytes that are no UTF-8 are cut where they fall).
std::string_view Cut(std::string_view s, size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    size_t end = maxBytes;
    while (end > 0 && maxBytes - end < 3 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    if ((static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        end = maxBytes;
    return s.substr(0, end);
}

} // namespace

InstanceRequest ParseInstanceRequest(std::string_view line)
{
    InstanceRequest r;
    std::vector<std::string_view> f = SplitFields(line);
    uint64_t command = 0;
    if (f.size() == 1 && f[0] == "LIST") {
        r.kind = InstanceRequest::List;
    } else if (f.size() == 2 && f[0] == "FRONT" && ParseNumber(f[1], r.window)) {
        r.kind = InstanceRequest::Front;
    } else if (f.size() == 3 && f[0] == "COMMAND" && ParseNumber(f[1], r.window) && ParseNumber(f[2], command) &&
               command <= 0xFFFF) {
        r.kind = InstanceRequest::Command;
        r.command = UINT(command);
    } else {
        r = InstanceRequest();
    }
    return r;
}

std::string FormatInstanceRequest(const InstanceRequest& request)
{
    switch (request.kind) {
    case InstanceRequest::List: return "LIST";
    case InstanceRequest::Front: return "FRONT " + std::to_string(request.window);
    case InstanceRequest::Command:
        if (request.command > 0xFFFF)
            return {};
        return "COMMAND " + std::to_string(request.window) + " " + std::to_string(request.command);
    case InstanceRequest::Invalid: break;
    }
    return {};
}

std::string FormatInstanceWindowLine(const InstanceWindow& window)
{
    return "W " + std::to_string(window.id) + " " + Encode(Cut(window.className, kInstanceMaxClassName)) + " " +
           Encode(Cut(window.title, kInstanceMaxTitle));
}

bool ParseInstanceWindowLine(std::string_view line, InstanceWindow& window)
{
    std::vector<std::string_view> f = SplitFields(line);
    InstanceWindow w;
    if (f.size() != 4 || f[0] != "W" || !ParseNumber(f[1], w.id) || !Decode(f[2], w.className) ||
        !Decode(f[3], w.title))
        return false;
    window = std::move(w);
    return true;
}

// ---------------------------------------------------------------------------

void CInstanceLineBuffer::Append(const char* data, size_t size)
{
    if (m_bOverflow || size == 0)
        return;
    // What was taken already goes before it piles up in front.
    if (m_start > 0 && m_start >= m_data.size() / 2) {
        m_data.erase(0, m_start);
        m_searched -= std::min(m_searched, m_start);
        m_start = 0;
    }
    m_data.append(data, size);
    // An unfinished line past the limit ends it here, before more is kept.
    const std::string_view added(data, size);
    const size_t nl = added.rfind('\n');
    m_unfinished = nl == std::string_view::npos ? m_unfinished + size : size - nl - 1;
    if (m_unfinished > m_maxLine)
        SetOverflow();
}

bool CInstanceLineBuffer::Next(std::string& line)
{
    if (m_bOverflow)
        return false;
    // Bytes looked through before hold no newline: a line that comes a byte
    // at a time is searched once, not again for every byte.
    const size_t nl = m_data.find('\n', std::max(m_start, m_searched));
    if (nl == std::string::npos) {
        m_searched = m_data.size();
        return false;
    }
    if (nl - m_start > m_maxLine) {
        SetOverflow();
        return false;
    }
    line.assign(m_data, m_start, nl - m_start);
    m_start = nl + 1;
    m_searched = m_start;
    return true;
}

void CInstanceLineBuffer::SetOverflow()
{
    m_bOverflow = true;
    m_data.clear();
    m_start = 0;
    m_searched = 0;
    m_unfinished = 0;
}

// ---------------------------------------------------------------------------

CInstanceReplyReader::State CInstanceReplyReader::Feed(const char* data, size_t size)
{
    if (m_state != Waiting) {
        // Nothing may follow the end of an answer.
        if (size > 0)
            m_state = Failed;
        return m_state;
    }
    m_lines.Append(data, size);
    std::string line;
    while (m_state == Waiting && m_lines.Next(line)) {
        InstanceWindow w;
        if (m_bList && line == "END")
            m_state = Done;
        else if (!m_bList && line == "OK")
            m_state = Done;
        else if (m_bList && m_windows.size() < kInstanceMaxWindows && ParseInstanceWindowLine(line, w))
            m_windows.push_back(std::move(w));
        else
            m_state = Failed;
    }
    if (m_lines.Overflowed() || (m_state == Done && m_lines.Pending() > 0))
        m_state = Failed;
    return m_state;
}
