// The parts of a picture file around its tag directories: colour profile,
// APP2 content, maker-note quality and the directory-1 thumbnail's bytes.
#include "imaging/exif_file.h"

#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kIccSignature[] = "ICC_PROFILE";
// The profile piece starts this far behind the signature: the signature, its
// NUL, the sequence number and the segment count.
constexpr size_t kIccPieceOffset = 14;

// APP0 segments looked through for the Exif segment: a JFIF segment and its
// extension, with room for a writer that repeats one.
constexpr int kMaxLeadingApp0 = 8;

// read(at, out, n) fills out with the n bytes at at, or answers false.
template <class ReadAt>
std::optional<ExifSegment> LocateExifSegment(ReadAt read)
{
    BYTE b[9];
    if (!read(0, b, 2) || b[0] != 0xFF || b[1] != 0xD8)
        return std::nullopt;
    uint64_t at = 2;
    for (int app0 = 0; app0 <= kMaxLeadingApp0; ++app0) {
        if (!read(at, b, 9) || b[0] != 0xFF)
            return std::nullopt;
        const uint32_t length = uint32_t(b[2]) << 8 | b[3];
        if (b[1] == 0xE1) {
            if (b[4] != 'E' || b[5] != 'x')
                return std::nullopt;
            return ExifSegment{at, length};
        }
        const bool jfif = std::memcmp(b + 4, "JFIF\0", 5) == 0 || std::memcmp(b + 4, "JFXX\0", 5) == 0;
        if (b[1] != 0xE0 || !jfif || length < 7)
            return std::nullopt;
        at += 2 + uint64_t(length);
    }
    return std::nullopt;
}

} // namespace

std::optional<ExifSegment> FindExifSegment(std::span<const BYTE> file)
{
    const ByteReader reader(file);
    return LocateExifSegment([&](uint64_t at, BYTE* out, size_t n) {
        const auto bytes = reader.At(at, n);
        if (!bytes)
            return false;
        std::copy(bytes->begin(), bytes->end(), out);
        return true;
    });
}

std::optional<ExifSegment> FindExifSegment(CFile& file)
{
    const uint64_t start = file.GetPosition();
    return LocateExifSegment([&](uint64_t at, BYTE* out, size_t n) {
        file.Seek(static_cast<int64_t>(start + at), CFile::begin);
        return file.Read(out, n) == n;
    });
}

std::optional<size_t> CExifFile::FindBytes(const char* pattern, std::span<const BYTE> buffer)
{
    const size_t n = std::strlen(pattern);
    if (buffer.size() <= n)
        return std::nullopt;
    for (size_t at = 0; at + n < buffer.size(); ++at)
        if (std::memcmp(buffer.data() + at, pattern, n) == 0)
            return at;
    return std::nullopt;
}

std::optional<size_t> CExifFile::FindIccSignature(std::span<const BYTE> buffer)
{
    return FindBytes(kIccSignature, buffer);
}

std::span<const BYTE> CExifFile::GetApp2Prefix() const
{
    auto at = FindIccSignature(m_firstApp2);
    return std::span<const BYTE>(m_firstApp2).first(at ? *at : m_firstApp2.size());
}

std::vector<BYTE> JoinApp2PrefixAndProfile(std::span<const BYTE> prefix, std::span<const BYTE> profile)
{
    std::vector<BYTE> out;
    if (uint64_t(prefix.size()) + profile.size() < 0x10000)
        out.assign(prefix.begin(), prefix.end());
    out.insert(out.end(), profile.begin(), profile.end());
    return out;
}

void CExifFile::FlipRgbRows(int width, BYTE* pixels, int height)
{
    if (width <= 0 || height <= 0 || !pixels)
        return;
    const size_t row = size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        BYTE* p = pixels + row * size_t(y);
        for (size_t x = 0; x < row; x += 3)
            std::swap(p[x], p[x + 2]);
    }
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels + row * size_t(top), pixels + row * size_t(top) + row, pixels + row * size_t(bottom));
}

void CExifFile::CollectColorProfile(int kind)
{
    m_profile.clear();
    m_firstApp2.clear();
    if (kind == kExifTiff || kind == kExifRaw) {
        if (const CExifEntry* icc = FindEntry(kTagInterColorProfile, 0, 0))
            m_profile = icc->m_value;
        return;
    }
    if (kind != kExifJpeg || !m_stream)
        return;
    CFile& file = *m_stream;
    const uint64_t length = file.GetLength();
    BYTE marker[2];
    if (file.Read(marker, 2) != 2 || marker[0] != 0xFF || marker[1] != 0xD8)
        return;
    std::vector<BYTE> content;
    while (file.GetPosition() < length) {
        if (file.Read(marker, 2) != 2 || marker[0] != 0xFF)
            return;
        if (marker[1] == 0xFF) { // fill byte in front of a marker
            file.Seek(-1, CFile::current);
            continue;
        }
        // The compressed data follow the start of scan: no further segments.
        if (marker[1] == 0xD9 || marker[1] == 0xDA)
            return;
        if (marker[1] == 0x01 || (marker[1] >= 0xD0 && marker[1] <= 0xD7))
            continue; // markers without a length
        BYTE lengthBytes[2];
        if (file.Read(lengthBytes, 2) != 2)
            return;
        const size_t segment = size_t(lengthBytes[0]) << 8 | lengthBytes[1];
        if (segment < 2)
            return;
        const size_t bytes = segment - 2;
        if (marker[1] != 0xE2) {
            if (bytes > length - std::min(length, file.GetPosition()))
                return;
            file.Seek(static_cast<int64_t>(bytes), CFile::current);
            continue;
        }
        content.resize(bytes);
        if (file.Read(content.data(), bytes) != bytes)
            return;
        if (m_firstApp2.empty())
            m_firstApp2 = content;
        if (auto at = FindIccSignature(content); at && *at + kIccPieceOffset < content.size())
            m_profile.insert(m_profile.end(), content.begin() + static_cast<ptrdiff_t>(*at + kIccPieceOffset),
                             content.end());
    }
}

bool CExifFile::IsKnownMakerNote(std::span<const BYTE> value)
{
    // The version entry's value field stands at byte 10: count, tag, type, count.
    if (value.size() < 14)
        return false;
    const BYTE* v = value.data() + 10;
    return (v[0] == 'V' && v[1] == 'R') || (v[0] == 'v' && v[1] == 'r');
}

int CExifFile::GetQualityReduction() const
{
    const CExifEntry* settings = FindEntry(1, 0, kSubMaker);
    if (!settings)
        settings = FindEntry(3, 0, kSubMaker);
    if (!settings || settings->m_value.size() < 24)
        return 20;
    ByteReader reader(settings->m_value, m_bigEndian);
    switch (*reader.U32At(20)) {
    case 2: return 2;
    case 3: return 5;
    case 4: return 10;
    case 5: return 1;
    default: return 20;
    }
}

short CExifFile::GetThumbnailInfo(int& kind, DWORD& size) const
{
    kind = 0;
    const CExifEntry* compression = FindEntry(259, 1, kSubMain);
    // Some phones leave Compression out of a JPEG thumbnail's directory: its
    // offset and length tags say what it is all the same.
    const bool jpegTags = FindEntry(513, 1, kSubMain) && FindEntry(514, 1, kSubMain);
    if (!compression && !jpegTags)
        return -1;
    switch (compression ? compression->GetLong(0) : 6) {
    case 1: {
        kind = 1;
        const CExifEntry* offsets = FindEntry(273, 1, kSubMain);
        const CExifEntry* counts = FindEntry(279, 1, kSubMain);
        if (!offsets || offsets->m_count > 1 || !counts)
            return -1;
        size = counts->GetLong(0);
        return 0;
    }
    case 6: {
        kind = 2;
        const CExifEntry* jpegLength = FindEntry(514, 1, kSubMain);
        if (!jpegLength)
            return -1;
        size = jpegLength->GetLong(0);
        return 0;
    }
    default:
        return 0;
    }
}

short CExifFile::GetThumbnailSize(int& width, int& height) const
{
    const CExifEntry* w = FindEntry(256, 1, kSubMain);
    const CExifEntry* h = FindEntry(257, 1, kSubMain);
    if (!w || !h)
        return -1;
    width = static_cast<int>(std::min<DWORD>(w->GetLong(0), 0x7FFFFFFF));
    height = static_cast<int>(std::min<DWORD>(h->GetLong(0), 0x7FFFFFFF));
    return 0;
}

short CExifFile::ReadStripThumbnail(BYTE* buffer, size_t size) const
{
    const CExifEntry* offsets = FindEntry(273, 1, kSubMain);
    const CExifEntry* counts = FindEntry(279, 1, kSubMain);
    const CExifEntry* photometric = FindEntry(262, 1, kSubMain);
    if (!offsets || !counts || !photometric || photometric->GetLong(0) != 2 || !buffer)
        return -1;
    const uint64_t count = std::min<uint64_t>(counts->GetLong(0), size);
    ByteReader reader(m_tiff);
    auto bytes = reader.At(offsets->GetLong(0), count);
    if (!bytes)
        return -1;
    std::copy(bytes->begin(), bytes->end(), buffer);
    return 0;
}

short CExifFile::ReadJpegThumbnail(BYTE* buffer, size_t size) const
{
    const CExifEntry* offset = FindEntry(513, 1, kSubMain);
    const CExifEntry* length = FindEntry(514, 1, kSubMain);
    if (!offset || !length || !buffer)
        return -1;
    const uint64_t count = length->GetLong(0);
    ByteReader reader(m_tiff);
    auto bytes = reader.At(offset->GetLong(0), count);
    if (count > size || !bytes)
        return -1;
    std::copy(bytes->begin(), bytes->end(), buffer);
    return 0;
}
