#pragma once

// Builds TIFF structures byte by byte in either order, so tests can make the
// damaged and unusual files that no camera writes; and asks exiftool about files.
#include "imaging/exif_file.h"
#include "support/exif_tool.h"
#include "support/test_support.h"
#include "platform/gcc_warnings.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
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

// A JPEG segment: marker, length word, content.
// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
inline std::vector<uint8_t> Segment(uint8_t marker, const std::string& content)
{
    const size_t length = content.size() + 2;
    std::vector<uint8_t> s = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
    s.insert(s.end(), content.begin(), content.end());
    return s;
}
QR_GCC_IGNORE_END

// A JFIF APP0 segment as cameras and editors write it (version 1.01, 72 dpi).
inline std::vector<uint8_t> JfifSegment()
{
    return Segment(0xE0, std::string("JFIF\0\x01\x01\x01\0\x48\0\x48\0\0", 14));
}

// The JPEG with the segments placed directly behind its start marker.
// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
inline std::vector<uint8_t> WithLeadingSegments(const std::vector<uint8_t>& jpeg,
                                                const std::vector<std::vector<uint8_t>>& segments)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& s : segments)
        out.insert(out.end(), s.begin(), s.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}
QR_GCC_IGNORE_END

// One tag's printed value as exiftool gives it (-s3, numbers with -n).
inline std::string Exiftool(const std::filesystem::path& file, const std::string& tag, bool numeric = false)
{
    std::vector<std::string> args{"-s3"};
    if (numeric)
        args.push_back("-n");
    args.push_back("-" + tag);
    args.push_back(file.string());
    std::string out = qrtest::ExifTool(args).out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// exiftool's errors (not warnings) when it validates the file; empty when none.
inline std::string ValidationErrors(const std::filesystem::path& file)
{
    const std::string out = qrtest::ExifTool({"-validate", "-error", "-warning", "-a", "-s", file.string()}).out;
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

// The tags of the selection exiftool finds in each file, by group and name,
// numbers as numbers and binary values (embedded pictures) as their bytes.
inline std::map<std::string, QJsonObject> JsonTags(const std::vector<std::filesystem::path>& files,
                                                   const std::vector<std::string>& selection)
{
    std::vector<std::string> args{"-j", "-b", "-a", "-u", "-G1", "-n"};
    args.insert(args.end(), selection.begin(), selection.end());
    for (const std::filesystem::path& f : files)
        args.push_back(f.string());
    const std::string out = qrtest::ExifTool(args).out;
    std::map<std::string, QJsonObject> tags;
    for (const QJsonValue& v : QJsonDocument::fromJson(QByteArray::fromStdString(out)).array()) {
        QJsonObject o = v.toObject();
        const std::string file = o.take("SourceFile").toString().toStdString();
        tags[file] = o;
    }
    return tags;
}

// Every maker-note tag exiftool finds in each file, binary values included.
inline std::map<std::string, QJsonObject> MakerNoteTags(const std::vector<std::filesystem::path>& files)
{
    return JsonTags(files, {"-MakerNotes:all"});
}

// Every Exif and maker-note tag, thumbnail and previews included.
inline std::map<std::string, QJsonObject> MetadataTags(const std::vector<std::filesystem::path>& files)
{
    return JsonTags(files, {"-EXIF:all", "-MakerNotes:all"});
}

// exiftool's validation warnings and errors for each file.
inline std::map<std::string, std::set<std::string>> Warnings(const std::vector<std::filesystem::path>& files)
{
    std::vector<std::string> args{"-validate", "-warning", "-error", "-a", "-s"};
    for (const std::filesystem::path& f : files)
        args.push_back(f.string());
    // One file gives no "========" line: name it here.
    std::string out = (files.size() == 1 ? "======== " + files[0].string() + "\n" : "") + qrtest::ExifTool(args).out;
    std::map<std::string, std::set<std::string>> warnings;
    std::string current;
    size_t start = 0;
    while (start < out.size()) {
        const size_t end = std::min(out.find('\n', start), out.size());
        const std::string line = out.substr(start, end - start);
        if (line.rfind("======== ", 0) == 0)
            current = line.substr(9);
        else if (line.rfind("Warning", 0) == 0 || line.rfind("Error", 0) == 0)
            warnings[current].insert(line);
        start = end + 1;
    }
    return warnings;
}

// positions: exiftool gives where a preview starts in the file, which moves
// with the note; the preview's bytes are compared all the same.
inline void ExpectSameMakerNote(const QJsonObject& before, const QJsonObject& after, const std::string& what,
                         bool positionsMove = false)
{
    EXPECT_FALSE(before.isEmpty()) << what;
    for (auto it = before.begin(); it != before.end(); ++it) {
        const std::string key = it.key().toStdString();
        if (positionsMove && it.key().endsWith("ImageStart"))
            continue;
        ASSERT_TRUE(after.contains(it.key())) << what << ": " << key << " is gone";
        EXPECT_EQ(after.value(it.key()), it.value()) << what << ": " << key;
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        EXPECT_TRUE(before.contains(it.key())) << what << ": " << it.key().toStdString() << " is new";
}

} // namespace exiftest
