// Writing the entries back as an Intel-order Exif block.
#include "imaging/exif_file.h"

#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace {


struct NewEntry {
    WORD directory, subDirectory, tag, type;
    DWORD count;
    const char* fill; // text for ASCII/UNDEFINED; nullptr for zero
    DWORD number;     // for SHORT fills
};

// Entries a written block always carries, with their fill when they are new.
constexpr NewEntry kRequired[] = {
    {0, 1, 270, 2, 20, "                   ", 0},
    {0, 1, 271, 2, 20, "                   ", 0},
    {0, 1, 272, 2, 20, "                   ", 0},
    {0, 1, 274, 3, 1, nullptr, 1},
    {0, 1, 282, 5, 1, nullptr, 0},
    {0, 1, 283, 5, 1, nullptr, 0},
    {0, 1, 296, 3, 1, nullptr, 2},
    {0, 1, 531, 3, 1, nullptr, 0},
    {0, 1, 34665, 4, 1, nullptr, 0},
    {0, 2, 36864, 7, 4, "0000", 0},
    {0, 2, 36867, 2, 20, "                   ", 0},
    {0, 2, 36868, 2, 20, "                   ", 0},
    {0, 2, 37121, 7, 4, nullptr, 0},
    {0, 2, 40960, 7, 4, "0000", 0},
    {0, 2, 40961, 3, 1, nullptr, 1},
    {0, 2, 40962, 4, 1, nullptr, 0},
    {0, 2, 40963, 4, 1, nullptr, 0},
    {0, 2, 40965, 4, 1, nullptr, 0},
    {0, 4, 1, 2, 4, nullptr, 0},
    {0, 4, 2, 7, 4, "0000", 0},
};

// Main-directory tags of the source picture's own image data; their offsets
// mean nothing in the new file (tiles, sub-images and JPEG tables included).
constexpr WORD kDropMainKind0[] = {256, 257, 258, 259, 273, 262, 277, 284, 530, 278, 279, 34675, 34377, 50341,
                                   324, 325, 330, 347};
constexpr WORD kDropExifKind1[] = {37121, 37122, 40962, 40963, 40965, 50341};
constexpr WORD kDropThumbnail[] = {256, 257, 258, 273, 262, 284, 530, 278, 279, 34377, 277};

bool BytesAre(const CExifEntry* e, const char* text)
{
    return e && e->GetDataSize() >= std::strlen(text) && std::memcmp(e->GetData(), text, std::strlen(text)) == 0;
}

void SetBytes(CExifEntry* e, const char* text, size_t n)
{
    if (!e)
        return;
    for (size_t i = 0; i < n && i < e->GetDataSize(); ++i)
        e->GetData()[i] = static_cast<BYTE>(text[i]);
}

void Put16(std::vector<BYTE>& out, size_t at, uint32_t v)
{
    out[at] = BYTE(v);
    out[at + 1] = BYTE(v >> 8);
}

void Put32(std::vector<BYTE>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = BYTE(v >> (8 * i));
}

uint64_t Even(uint64_t n) { return n + (n & 1); }

// Value-field positions of the pointer tags of the directories written so far.
using FieldMap = std::unordered_map<WORD, size_t>;

} // namespace

void CExifFile::PrepareForWrite(DWORD thumbnailSize, int width, int height, int /*thumbnailWidth*/,
                                int /*thumbnailHeight*/, int outputKind, int16_t lightSource)
{
    auto removeAll = [&](WORD tag, int dir, int sub) {
        while (CExifEntry* e = FindEntry(tag, dir, sub))
            RemoveEntry(e);
    };
    auto addIfAbsent = [&](WORD dir, WORD sub, WORD tag, WORD type, DWORD count) {
        CExifEntry* e = FindEntry(tag, dir, sub);
        if (!e) {
            e = new CExifEntry(this, dir, sub, tag, type, count);
            InsertEntry(e);
            return std::pair{e, true};
        }
        return std::pair{e, false};
    };

    if (outputKind == 0)
        for (WORD tag : kDropMainKind0)
            removeAll(tag, 0, kSubMain);
    else
        for (WORD tag : kDropExifKind1)
            removeAll(tag, 0, kSubExif);

    for (const NewEntry& n : kRequired) {
        if (outputKind != 0 && n.tag != 36864 && n.tag != 40960 && n.tag != 40961)
            continue;
        auto [e, added] = addIfAbsent(n.directory, n.subDirectory, n.tag, n.type, n.count);
        if (!added)
            continue;
        if (n.fill)
            SetBytes(e, n.fill, std::strlen(n.fill));
        else if (n.type == 3)
            e->SetShort(static_cast<WORD>(n.number), 0);
    }

    if (outputKind == 0)
        if (CExifEntry* e = FindEntry(531, 0, kSubMain))
            e->SetShort(2, 0);
    for (WORD tag : {WORD(282), WORD(283)}) {
        CExifEntry* e = FindEntry(tag, 0, kSubMain);
        DWORD n, d;
        int sign;
        if (e && (e->GetRational(n, d, sign, 0), n == 0))
            e->SetRational(72, 1, 1, 0);
    }
    CExifEntry* version = FindEntry(36864, 0, kSubExif);
    if (BytesAre(version, "0000"))
        SetBytes(version, "0210", 4);
    if (CExifEntry* e = FindEntry(37121, 0, kSubExif))
        SetBytes(e, "\x01\x02\x03\x00", 4);
    if (CExifEntry* e = FindEntry(40960, 0, kSubExif); BytesAre(e, "0000"))
        SetBytes(e, "0100", 4);
    for (auto [tag, value] : {std::pair{WORD(40962), width}, std::pair{WORD(40963), height}}) {
        CExifEntry* e = FindEntry(tag, 0, kSubExif);
        if (!e)
            continue;
        // A SHORT cannot hold a dimension above 65535: make it a LONG then.
        if (e->m_type == 3 && (value < 0 || value > 0xFFFF)) {
            CExifEntry* wide = new CExifEntry(this, 0, kSubExif, tag, 4, 1);
            RemoveEntry(e);
            InsertEntry(wide);
            e = wide;
        }
        e->SetLong(static_cast<DWORD>(value), 0);
    }
    if (CExifEntry* e = FindEntry(1, 0, kSubInterop))
        SetBytes(e, "R98\0", 4);
    if (CExifEntry* e = FindEntry(2, 0, kSubInterop); BytesAre(e, "0000"))
        SetBytes(e, "0100", 4);
    if (version && version->GetDataSize() >= 4) {
        const BYTE* v = version->GetData();
        const uint32_t number = uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24;
        if (number <= 0x30323030) {
            removeAll(kTagInteropPointer, 0, kSubExif);
            removeAll(1, 0, kSubInterop);
            removeAll(2, 0, kSubInterop);
        }
    }
    if (lightSource >= 0)
        if (CExifEntry* e = FindEntry(37384, 0, kSubExif))
            e->SetShort(static_cast<WORD>(lightSource), 0);

    if (outputKind == 0 && thumbnailSize > 0) {
        addIfAbsent(1, 1, 259, 3, 1);
        addIfAbsent(1, 1, 282, 5, 1);
        addIfAbsent(1, 1, 283, 5, 1);
        if (auto [e, added] = addIfAbsent(1, 1, 296, 3, 1); added)
            e->SetShort(2, 0);
        addIfAbsent(1, 1, 513, 4, 1);
        addIfAbsent(1, 1, 514, 4, 1);
        for (WORD tag : kDropThumbnail)
            removeAll(tag, 1, kSubMain);
        // The thumbnail written is always JPEG, whatever the source held.
        FindEntry(259, 1, kSubMain)->SetShort(6, 0);
        FindEntry(282, 1, kSubMain)->SetRational(72, 1, 1, 0);
        FindEntry(283, 1, kSubMain)->SetRational(72, 1, 1, 0);
        FindEntry(513, 1, kSubMain)->SetLong(0, 0);
        FindEntry(514, 1, kSubMain)->SetLong(thumbnailSize, 0);
    }
}

std::vector<BYTE> CExifFile::EncodeMakerNote(const CExifEntry& makerNote, uint32_t valueOffset) const
{
    std::vector<const CExifEntry*> entries;
    for (const CExifEntry* e = m_head; e; e = e->m_next)
        if (e->m_directory == 0 && e->m_subDirectory == kSubMaker && e->m_tag != 129 && e->m_tag != 3584)
            entries.push_back(e);
    const size_t k = entries.size();
    const size_t dataStart = 12 * k + 6;
    std::vector<BYTE> out(dataStart, 0);
    Put16(out, 0, static_cast<uint32_t>(k));
    for (size_t i = 0; i < k; ++i) {
        const CExifEntry& e = *entries[i];
        const size_t rec = 2 + 12 * i;
        Put16(out, rec, e.m_tag);
        Put16(out, rec + 2, e.m_type);
        Put32(out, rec + 4, e.m_count);
        std::vector<BYTE> value = e.EncodeIntel();
        if (e.m_tag == 0) {
            // The version is written in lower case: this program's Intel-order note.
            for (size_t j = 0; j < 4 && j < value.size(); ++j)
                out[rec + 8 + j] = static_cast<BYTE>(std::tolower(value[j]));
        } else if (value.size() <= 4) {
            std::copy(value.begin(), value.end(), out.begin() + static_cast<ptrdiff_t>(rec + 8));
        } else {
            Put32(out, rec + 8, static_cast<uint32_t>(valueOffset + out.size()));
            out.insert(out.end(), value.begin(), value.end());
            if (out.size() & 1)
                out.push_back(0);
        }
    }
    (void)makerNote;
    return out;
}

std::vector<BYTE> CExifFile::BuildBlock(const BYTE* thumbnail, DWORD thumbnailSize, int outputKind) const
{
    auto collect = [&](int dir, int sub) {
        std::vector<const CExifEntry*> v;
        for (const CExifEntry* e = m_head; e; e = e->m_next)
            if (e->m_directory == dir && e->m_subDirectory == sub)
                v.push_back(e);
        return v;
    };
    auto without = [](std::vector<const CExifEntry*> v, WORD tag) {
        v.erase(std::remove_if(v.begin(), v.end(), [tag](const CExifEntry* e) { return e->m_tag == tag; }), v.end());
        return v;
    };
    const bool kind0 = outputKind == 0;
    std::vector<const CExifEntry*> mainDir = kind0 ? collect(0, kSubMain) : std::vector<const CExifEntry*>{};
    std::vector<const CExifEntry*> exifDir = collect(0, kSubExif);
    std::vector<const CExifEntry*> interopDir = collect(0, kSubInterop);
    std::vector<const CExifEntry*> gpsDir = collect(0, kSubGps);
    std::vector<const CExifEntry*> thumbDir = collect(1, kSubMain);
    const bool writeInterop = kind0 && FindEntry(1, 0, kSubInterop) && !interopDir.empty();
    const bool writeThumb = kind0 && thumbnail && thumbnailSize > 0 && !thumbDir.empty();
    // A pointer to a directory that is not written would point into nothing.
    if (exifDir.empty())
        mainDir = without(mainDir, kTagExifPointer);
    if (gpsDir.empty())
        mainDir = without(mainDir, kTagGpsPointer);
    if (!writeInterop)
        exifDir = without(exifDir, kTagInteropPointer);
    mainDir = without(mainDir, kTagInteropPointer);
    const bool hasMakerDirectory = FindEntry(0, 0, kSubMaker) != nullptr;

    std::vector<BYTE> out;
    auto writeDirectory = [&](const std::vector<const CExifEntry*>& entries, size_t pos, FieldMap& fields) {
        const size_t k = entries.size();
        uint64_t data = pos + 2 + 12 * k + 4;
        out.resize(std::max<size_t>(out.size(), static_cast<size_t>(data)), 0);
        Put16(out, pos, static_cast<uint32_t>(k));
        for (size_t i = 0; i < k; ++i) {
            const CExifEntry& e = *entries[i];
            const size_t rec = pos + 2 + 12 * i;
            Put16(out, rec, e.m_tag);
            Put16(out, rec + 2, e.m_type);
            DWORD count = e.m_count;
            std::vector<BYTE> value;
            uint64_t at = data;
            // A fixed place is kept only when it lies behind what is already written.
            if (e.m_fixedValueOffset > 0 && uint64_t(e.m_fixedValueOffset) >= data &&
                uint64_t(e.m_fixedValueOffset) <= data + kMaxApp1Content && e.GetDataSize() > 4)
                at = uint64_t(e.m_fixedValueOffset);
            if (e.m_tag == kTagExifPointer || e.m_tag == kTagGpsPointer || e.m_tag == kTagInteropPointer ||
                (e.m_tag == kTagJpegOffset && e.m_directory == 1)) {
                // Pointers are one LONG, whatever the source said.
                fields[e.m_tag] = rec + 8;
                value.assign(4, 0);
                Put16(out, rec + 2, 4);
                count = 1;
            } else if (e.m_tag == kTagMakerNote && hasMakerDirectory && e.m_subDirectory == kSubExif) {
                value = EncodeMakerNote(e, static_cast<uint32_t>(at));
                // A rebuilt note that outgrows the space the camera gave it keeps its bytes.
                if (value.size() > std::max<size_t>(e.GetDataSize(), 4))
                    value = e.EncodeIntel();
                else if (CExifEntry::GetUnitSize(e.m_type) == 1)
                    count = static_cast<DWORD>(value.size());
                value.resize(std::max<size_t>(value.size(), e.GetDataSize()), 0);
            } else {
                value = e.EncodeIntel();
            }
            Put32(out, rec + 4, count);
            if (value.size() <= 4) {
                value.resize(4, 0);
                std::copy(value.begin(), value.end(), out.begin() + static_cast<ptrdiff_t>(rec + 8));
                continue;
            }
            const uint64_t end = at + Even(value.size());
            if (end > 0xFFFFFFFFull)
                throw CMemoryException();
            Put32(out, rec + 8, static_cast<uint32_t>(at));
            out.resize(std::max<size_t>(out.size(), static_cast<size_t>(end)), 0);
            std::copy(value.begin(), value.end(), out.begin() + static_cast<ptrdiff_t>(at));
            data = end;
        }
        Put32(out, pos + 2 + 12 * k, 0);
        return static_cast<size_t>(data);
    };

    FieldMap mainFields, exifFields, thumbFields;
    size_t end = 0;
    size_t mainPos = 0;
    if (kind0) {
        out = {'I', 'I', 42, 0, 8, 0, 0, 0};
        mainPos = 8;
        end = writeDirectory(mainDir, mainPos, mainFields);
    }
    const size_t exifPos = end;
    if (!exifDir.empty()) {
        if (auto f = mainFields.find(kTagExifPointer); f != mainFields.end())
            Put32(out, f->second, static_cast<uint32_t>(exifPos));
        end = writeDirectory(exifDir, exifPos, exifFields);
    }
    if (writeInterop) {
        FieldMap unused;
        Put32(out, exifFields.at(kTagInteropPointer), static_cast<uint32_t>(end));
        end = writeDirectory(interopDir, end, unused);
    }
    if (!gpsDir.empty()) {
        FieldMap unused;
        if (auto f = mainFields.find(kTagGpsPointer); f != mainFields.end())
            Put32(out, f->second, static_cast<uint32_t>(end));
        end = writeDirectory(gpsDir, end, unused);
    }
    if (writeThumb) {
        Put32(out, mainPos + 2 + 12 * mainDir.size(), static_cast<uint32_t>(end));
        end = writeDirectory(thumbDir, end, thumbFields);
        if (auto f = thumbFields.find(kTagJpegOffset); f != thumbFields.end())
            Put32(out, f->second, static_cast<uint32_t>(end));
        out.insert(out.end(), thumbnail, thumbnail + thumbnailSize);
    }
    if (kind0)
        out.insert(out.begin(), {'E', 'x', 'i', 'f', 0, 0});
    return out;
}

short CExifFile::WriteExif(CFile* target, DWORD& size, const BYTE* thumbnail, DWORD thumbnailSize, int width,
                           int height, int thumbnailWidth, int thumbnailHeight, int outputKind, int16_t lightSource)
{
    size = 0;
    if (!m_head || !target || (outputKind != 0 && outputKind != 1))
        return -1;
    if (!thumbnail)
        thumbnailSize = 0;
    PrepareForWrite(thumbnailSize, width, height, thumbnailWidth, thumbnailHeight, outputKind, lightSource);
    std::vector<BYTE> block;
    try {
        block = BuildBlock(thumbnail, thumbnailSize, outputKind);
        // An APP1 segment holds at most 65533 bytes: drop the thumbnail before
        // writing a length that would cut the JPEG apart.
        if (outputKind == 0 && block.size() > kMaxApp1Content && thumbnailSize > 0)
            block = BuildBlock(nullptr, 0, outputKind);
    } catch (const CMemoryException&) {
        return -1;
    }
    if (block.empty() || (outputKind == 0 && block.size() > kMaxApp1Content))
        return -1;
    try {
        target->Write(block.data(), block.size());
        size = static_cast<DWORD>(std::min<uint64_t>(target->GetLength(), 0xFFFFFFFFu));
    } catch (const CFileException&) {
        size = 0;
        return -1;
    }
    m_stream = target;
    return 0;
}
