#pragma once

// Builds TIFF structures byte by byte in either order, so tests can make the
// damaged and unusual files that no camera writes; and asks exiftool about files.
#include "imaging/exif_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace exiftest {

// One entry: bytes for the byte-sized types, numbers for the others
// (rationals as numerator, denominator pairs).
struct Tag {
    uint16_t tag;
    uint16_t type;
    std::vector<uint64_t> nums = {};
    std::string bytes = {};
    int64_t count = -1; // the count written when >= 0, else the value's own
};

inline unsigned Unit(uint16_t type) { return CExifEntry::GetUnitSize(type); }

class TiffBuilder {
public:
    explicit TiffBuilder(bool big) : m_big(big)
    {
        m_out = big ? std::vector<uint8_t>{'M', 'M', 0, 42} : std::vector<uint8_t>{'I', 'I', 42, 0};
        Put32Back(8);
    }

    // A directory at the (even) end with its values behind it; its offset.
    uint32_t Dir(const std::vector<Tag>& tags, uint32_t next = 0)
    {
        if (m_out.size() & 1)
            m_out.push_back(0);
        const uint32_t at = static_cast<uint32_t>(m_out.size());
        m_out.resize(at + 2 + 12 * tags.size() + 4, 0);
        Set16(at, static_cast<uint16_t>(tags.size()));
        for (size_t i = 0; i < tags.size(); ++i) {
            const Tag& t = tags[i];
            const size_t rec = at + 2 + 12 * i;
            std::vector<uint8_t> v = Encode(t);
            const unsigned unit = Unit(t.type);
            const uint32_t count = t.count >= 0 ? uint32_t(t.count) : uint32_t(unit ? v.size() / unit : t.nums.size());
            Set16(rec, t.tag);
            Set16(rec + 2, t.type);
            Set32(rec + 4, count);
            if (v.size() <= 4) {
                for (size_t j = 0; j < v.size(); ++j)
                    m_out[rec + 8 + j] = v[j];
            } else {
                Set32(rec + 8, Blob(v));
            }
        }
        Set32(at + 2 + 12 * tags.size(), next);
        return at;
    }

    uint32_t Blob(const std::vector<uint8_t>& bytes)
    {
        if (m_out.size() & 1)
            m_out.push_back(0);
        const uint32_t at = static_cast<uint32_t>(m_out.size());
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        return at;
    }

    // Writes a 32-bit value into the value field of the entry with the tag.
    void SetField(uint32_t dir, uint16_t tag, uint32_t value)
    {
        const uint16_t n = Get16(dir);
        for (uint16_t i = 0; i < n; ++i)
            if (Get16(dir + 2 + 12 * i) == tag)
                Set32(dir + 2 + 12 * i + 8, value);
    }
    void SetNext(uint32_t dir, uint32_t next) { Set32(dir + 2 + 12 * Get16(dir), next); }
    void SetFirst(uint32_t offset) { Set32(4, offset); }

    const std::vector<uint8_t>& Tiff() const { return m_out; }

    // The TIFF wrapped in an APP1 segment, followed by the given bytes.
    std::vector<uint8_t> Jpeg(const std::vector<uint8_t>& tail = {0xFF, 0xD9}) const
    {
        const size_t length = m_out.size() + 8;
        std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
        j.insert(j.end(), m_out.begin(), m_out.end());
        j.insert(j.end(), tail.begin(), tail.end());
        return j;
    }

    std::vector<uint8_t> Encode(const Tag& t) const
    {
        std::vector<uint8_t> v;
        const unsigned unit = Unit(t.type);
        if (unit == 1 || unit == 0)
            return std::vector<uint8_t>(t.bytes.begin(), t.bytes.end());
        const unsigned width = (t.type == 5 || t.type == 10) ? 4 : unit;
        for (uint64_t n : t.nums)
            for (unsigned i = 0; i < width; ++i)
                v.push_back(uint8_t(n >> (8 * (m_big ? width - 1 - i : i))));
        return v;
    }

private:
    void Put32Back(uint32_t v)
    {
        m_out.resize(m_out.size() + 4);
        Set32(m_out.size() - 4, v);
    }
    void Set16(size_t at, uint16_t v)
    {
        m_out[at + (m_big ? 0 : 1)] = uint8_t(v >> 8);
        m_out[at + (m_big ? 1 : 0)] = uint8_t(v);
    }
    void Set32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_out[at + (m_big ? 3 - i : i)] = uint8_t(v >> (8 * i));
    }
    uint16_t Get16(size_t at) const
    {
        return m_big ? uint16_t(m_out[at] << 8 | m_out[at + 1]) : uint16_t(m_out[at + 1] << 8 | m_out[at]);
    }

    bool m_big;
    std::vector<uint8_t> m_out;
};

// An APP2 segment carrying one profile piece.
inline std::vector<uint8_t> IccSegment(uint8_t sequence, uint8_t total, const std::vector<uint8_t>& piece)
{
    std::vector<uint8_t> s = {0xFF, 0xE2, 0, 0};
    const std::string sig = "ICC_PROFILE";
    s.insert(s.end(), sig.begin(), sig.end());
    s.push_back(0);
    s.push_back(sequence);
    s.push_back(total);
    s.insert(s.end(), piece.begin(), piece.end());
    const size_t length = s.size() - 2;
    s[2] = uint8_t(length >> 8);
    s[3] = uint8_t(length);
    return s;
}

// The output of a command (stdout), and its exit status.
inline std::string Run(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int rc = pclose(p);
    if (status)
        *status = rc;
    return out;
}

// One tag's printed value as exiftool gives it (-s3, numbers with -n).
inline std::string Exiftool(const std::filesystem::path& file, const std::string& tag, bool numeric = false)
{
    std::string out = Run("exiftool -s3 " + std::string(numeric ? "-n " : "") + "-" + tag + " '" + file.string() + "'");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// exiftool's errors (not warnings) when it validates the file; empty when none.
inline std::string ValidationErrors(const std::filesystem::path& file)
{
    std::string out = Run("exiftool -validate -error -warning -a -s '" + file.string() + "'");
    std::string errors;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("Error", 0) == 0)
            errors += line + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return errors;
}

} // namespace exiftest
