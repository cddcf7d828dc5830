// Changing one tag of a picture file: in place when the new value is shorter,
// otherwise by appending a new Exif directory behind the existing structure.
// Nothing that stands in the file moves, so every offset in it (maker notes of
// any camera, thumbnails, strips) stays valid. The new file is built whole in
// memory and then replaces the old one.
#include "imaging/exif_file.h"

#include "imaging/exif_maker_note.h"
#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/replace_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kRawTiffBlock = 0x00545457;

uint32_t Be32(const BYTE* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void Put16(BYTE* p, uint32_t v, bool big)
{
    if (big) { p[0] = BYTE(v >> 8); p[1] = BYTE(v); }
    else { p[0] = BYTE(v); p[1] = BYTE(v >> 8); }
}

void Put32(BYTE* p, uint32_t v, bool big)
{
    for (int i = 0; i < 4; ++i)
        p[big ? 3 - i : i] = BYTE(v >> (8 * i));
}

// Where the TIFF structure of a whole file lies: [base, end).
struct Layout {
    size_t base = 0;
    size_t end = 0;
    size_t lengthAt = 0; // JPEG: the APP1 segment's length word
};

std::optional<Layout> LocateTiff(const std::vector<BYTE>& file, int kind)
{
    Layout l;
    if (kind == kExifJpeg) {
        const auto segment = FindExifSegment(file);
        if (!segment || segment->length < 16 || segment->End() > file.size())
            return std::nullopt;
        l.base = static_cast<size_t>(segment->Base());
        l.end = static_cast<size_t>(segment->End());
        l.lengthAt = static_cast<size_t>(segment->LengthAt());
        return l;
    }
    if (kind == kExifTiff) {
        l.end = file.size();
        return l;
    }
    if (kind != kExifRaw || file.size() < 8)
        return std::nullopt;
    const uint32_t magic = Be32(file.data());
    if (magic != 0x00544B51 && magic != 0x00544B4A)
        return std::nullopt;
    size_t at = 8;
    for (;;) {
        if (file.size() - at < 8)
            return std::nullopt;
        const uint32_t name = Be32(file.data() + at);
        const uint32_t length = Be32(file.data() + at + 4);
        at += 8;
        if (name == kRawTiffBlock)
            break;
        if (length > file.size() - at)
            return std::nullopt;
        at += length;
    }
    l.base = at;
    l.end = file.size();
    return l;
}

// A camera's note that keeps values behind the picture (a preview in the
// trailer), with offsets that count from the TIFF header.
struct NoteTrailer {
    uint64_t noteOffset = 0;
    MakerNoteForm form;
};

std::optional<NoteTrailer> FindNoteTrailer(const ByteReader& r, uint64_t exifOffset, uint32_t exifCount, bool big)
{
    for (uint32_t i = 0; i < exifCount; ++i) {
        const uint64_t record = exifOffset + 2 + 12ull * i;
        if (*r.U16At(record) != kTagMakerNote || CExifEntry::GetUnitSize(*r.U16At(record + 2)) != 1)
            continue;
        const uint32_t count = *r.U32At(record + 4);
        const uint32_t offset = *r.U32At(record + 8);
        auto note = r.At(offset, count);
        if (count <= 4 || !note)
            return std::nullopt;
        NoteTrailer t{offset, ReadMakerNoteForm(*note, offset, big, r.Bytes(), true)};
        if (t.form.trailer.empty())
            return std::nullopt;
        return t;
    }
    return std::nullopt;
}

// The segment in front of the trailer grew: the note's trailer offsets follow.
void FollowGrowth(std::vector<BYTE>& file, size_t base, const std::optional<NoteTrailer>& trailer, int64_t growth)
{
    if (trailer && growth != 0)
        ShiftTrailerOffsets(std::span<BYTE>(file).subspan(base + trailer->noteOffset), trailer->form, growth);
}

// The file with the tag set, or nullopt when its structure does not allow it.
std::optional<std::vector<BYTE>> RewriteWithTag(std::vector<BYTE> file, int kind, WORD tag, WORD type,
                                                std::span<const BYTE> value)
{
    const auto layout = LocateTiff(file, kind);
    if (!layout || layout->end - layout->base < 8)
        return std::nullopt;
    const size_t base = layout->base;
    std::span<const BYTE> tiff(file.data() + base, layout->end - base);
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    ByteReader r(tiff, big);

    const uint32_t first = *r.U32At(4);
    const uint64_t mainOffset = first ? first : 8;
    auto mainCount = r.U16At(mainOffset);
    if (!mainCount || !r.Fits(mainOffset, 2 + 12ull * *mainCount + 4))
        return std::nullopt;
    std::optional<uint64_t> pointerField;
    for (uint32_t i = 0; i < *mainCount && !pointerField; ++i)
        if (*r.U16At(mainOffset + 2 + 12ull * i) == kTagExifPointer)
            pointerField = mainOffset + 2 + 12ull * i + 8;
    // The pointer must be one LONG, as the reader takes it.
    if (!pointerField || *r.U16At(*pointerField - 6) != 4 || *r.U32At(*pointerField - 4) != 1)
        return std::nullopt;
    const uint64_t exifOffset = *r.U32At(*pointerField);
    auto exifCount = r.U16At(exifOffset);
    if (!exifCount || !r.Fits(exifOffset, 2 + 12ull * *exifCount + 4))
        return std::nullopt;

    const unsigned unit = CExifEntry::GetUnitSize(type);
    if (unit == 0 || value.size() % unit != 0 || value.size() / unit > 0xFFFFFFFFu)
        return std::nullopt;
    const auto trailer = kind == kExifJpeg ? FindNoteTrailer(r, exifOffset, *exifCount, big) : std::nullopt;
    const uint32_t newCount = static_cast<uint32_t>(value.size() / unit);

    std::optional<uint64_t> existing;
    for (uint32_t i = 0; i < *exifCount && !existing; ++i)
        if (*r.U16At(exifOffset + 2 + 12ull * i) == tag)
            existing = exifOffset + 2 + 12ull * i;

    if (existing) {
        const WORD storedType = *r.U16At(*existing + 2);
        const uint32_t storedCount = *r.U32At(*existing + 4);
        const uint64_t at = storedCount > 4 ? *r.U32At(*existing + 8) : *existing + 8;
        auto overlaps = [&](uint64_t from, uint64_t size) { return at < from + size && from < at + storedCount; };
        // In place only where the old value stands apart from the structure.
        const bool apart = storedCount <= 4 || (!overlaps(0, 8) && !overlaps(mainOffset, 2 + 12ull * *mainCount + 4) &&
                                                 !overlaps(exifOffset, 2 + 12ull * *exifCount + 4));
        if (CExifEntry::GetUnitSize(storedType) == 1 && unit == 1 && value.size() < storedCount && apart) {
            if (!r.Fits(at, storedCount))
                return std::nullopt;
            Put32(file.data() + base + *existing + 4, newCount, big);
            std::copy(value.begin(), value.end(), file.begin() + static_cast<ptrdiff_t>(base + at));
            return file;
        }
        // A value that ends the structure (as one this update appended does)
        // grows where it stands: nothing behind it has an offset to keep.
        const uint64_t storedEnd = at + storedCount + (storedCount & 1);
        if (CExifEntry::GetUnitSize(storedType) == 1 && unit == 1 && storedCount > 4 && value.size() > 4 && apart &&
            r.Fits(at, storedCount) && (storedEnd == tiff.size() || at + storedCount == tiff.size())) {
            const uint64_t newSize = at + value.size() + (value.size() & 1);
            if (newSize > 0xFFFFFFFFull || (kind == kExifJpeg && 8 + newSize > 0xFFFF))
                return std::nullopt;
            Put16(file.data() + base + *existing + 2, type, big);
            Put32(file.data() + base + *existing + 4, newCount, big);
            std::vector<BYTE> grown(value.begin(), value.end());
            grown.resize(static_cast<size_t>(newSize - at), 0);
            const auto from = file.begin() + static_cast<ptrdiff_t>(base + at);
            const auto to = file.begin() + static_cast<ptrdiff_t>(layout->end);
            file.insert(file.erase(from, to), grown.begin(), grown.end());
            if (kind == kExifJpeg) {
                file[layout->lengthAt] = BYTE((8 + newSize) >> 8);
                file[layout->lengthAt + 1] = BYTE(8 + newSize);
                FollowGrowth(file, base, trailer, int64_t(newSize) - int64_t(tiff.size()));
            }
            return file;
        }
    }

    // A new Exif directory, on an even offset behind everything, with the new
    // value right behind it; the old directory stays unreferenced.
    const uint64_t oldSize = tiff.size();
    const uint64_t dirPos = oldSize + (oldSize & 1);
    const uint32_t k = *exifCount + (existing ? 0 : 1);
    const uint64_t dirSize = 2 + 12ull * k + 4;
    const uint64_t valuePos = dirPos + dirSize;
    const uint64_t newSize = valuePos + (value.size() > 4 ? value.size() + (value.size() & 1) : 0);
    if (newSize > 0xFFFFFFFFull)
        return std::nullopt;
    std::vector<BYTE> added(static_cast<size_t>(newSize - oldSize), 0);
    BYTE* dir = added.data() + (dirPos - oldSize);
    Put16(dir, k, big);
    BYTE record[12];
    Put16(record, tag, big);
    Put16(record + 2, type, big);
    Put32(record + 4, newCount, big);
    std::memset(record + 8, 0, 4);
    if (value.size() <= 4)
        std::copy(value.begin(), value.end(), record + 8);
    else
        Put32(record + 8, static_cast<uint32_t>(valuePos), big);
    size_t out = 0;
    bool placed = false;
    for (uint32_t i = 0; i < *exifCount; ++i) {
        const uint64_t at = exifOffset + 2 + 12ull * i;
        if (existing && at == *existing) {
            std::memcpy(dir + 2 + 12 * out++, record, 12);
            placed = true;
            continue;
        }
        if (!placed && !existing && *r.U16At(at) > tag) {
            std::memcpy(dir + 2 + 12 * out++, record, 12);
            placed = true;
        }
        std::memcpy(dir + 2 + 12 * out++, tiff.data() + at, 12);
    }
    if (!placed)
        std::memcpy(dir + 2 + 12 * out++, record, 12);
    std::memcpy(dir + 2 + 12ull * k, tiff.data() + exifOffset + 2 + 12ull * *exifCount, 4);
    if (value.size() > 4)
        std::copy(value.begin(), value.end(), added.begin() + static_cast<ptrdiff_t>(valuePos - oldSize));

    Put32(file.data() + base + *pointerField, static_cast<uint32_t>(dirPos), big);
    if (kind != kExifJpeg) {
        file.insert(file.end(), added.begin(), added.end());
        return file;
    }
    const uint64_t segmentLength = 8 + newSize;
    if (segmentLength > 0xFFFF)
        return std::nullopt;
    file[layout->lengthAt] = BYTE(segmentLength >> 8);
    file[layout->lengthAt + 1] = BYTE(segmentLength);
    file.insert(file.begin() + static_cast<ptrdiff_t>(layout->end), added.begin(), added.end());
    FollowGrowth(file, base, trailer, int64_t(added.size()));
    return file;
}

} // namespace

bool CExifFile::ProbeByteOrder(int kind)
{
    bool found = false;
    try {
        m_stream->Seek(0, CFile::begin);
        TiffArea area;
        if (LoadTiffArea(kind, area, 2) && area.bytes.size() == 2) {
            m_bigEndian = area.bytes[0] == 'M' && area.bytes[1] == 'M';
            found = true;
        }
        m_stream->Seek(0, CFile::begin);
    } catch (const CFileException&) {
        return false;
    }
    return found;
}

short CExifFile::UpdateTag(int kind, WORD tag, WORD type, const BYTE* data, size_t size)
{
    if (!m_stream || (!data && size > 0))
        return -1;
    try {
        CFile& file = *m_stream;
        const uint64_t length = file.GetLength();
        if (length > MaxTiffBytes())
            return -1;
        std::vector<BYTE> bytes(static_cast<size_t>(length));
        file.Seek(0, CFile::begin);
        if (file.Read(bytes.data(), bytes.size()) != bytes.size())
            return -1;
        auto rewritten = RewriteWithTag(std::move(bytes), kind, tag, type, std::span<const BYTE>(data, size));
        if (!rewritten)
            return -1;
        {
            // A damaged file may give a result that does not read: keep the old one then.
            CMemFile check(*rewritten);
            CExifFile reader;
            if (reader.Attach(&check, kind) != 0 || !reader.FindEntry(tag, 0, kSubExif))
                return -1;
        }
        if (dynamic_cast<CMemFile*>(&file) == nullptr && file.IsOpen() && !file.GetFilePath().empty()) {
            const std::string path = file.GetFilePath();
            ReplaceFileContents(path, *rewritten);
            // The open stream still shows the old file: let it show the new one.
            if (!file.Open(path, CFile::modeReadWrite))
                file.Open(path, CFile::modeRead);
        } else {
            file.Seek(0, CFile::begin);
            file.Write(rewritten->data(), rewritten->size());
            file.SetLength(rewritten->size());
        }
        file.Seek(0, CFile::begin);
        return 0;
    } catch (const CException&) {
        return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

short CExifFile::SetUserComment(CFile* stream, int kind, int code, const BYTE* text, size_t length)
{
    static constexpr const char* kCodes[3] = {"ASCII", "JIS", "UNICODE"};
    if (!stream || code < 0 || code > 2 || (!text && length > 0))
        return -1;
    m_stream = stream;
    m_fileKind = kind;
    if (!ProbeByteOrder(kind))
        return -1;
    std::vector<BYTE> value(8 + length, 0);
    std::memcpy(value.data(), kCodes[code], std::strlen(kCodes[code]));
    if (length)
        std::memcpy(value.data() + 8, text, length);
    if (code == 2 && m_bigEndian)
        for (size_t at = 8; at + 2 <= value.size(); at += 2)
            std::swap(value[at], value[at + 1]);
    return UpdateTag(kind, kTagUserComment, 7, value.data(), value.size());
}
