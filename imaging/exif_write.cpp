// Writing the entries back as an Exif block. A camera's maker note keeps its
// bytes and, where it can, its place: its offsets may count from the TIFF
// header, and values it points at may stand outside it.
#include "imaging/exif_file.h"

#include "imaging/exif_maker_note.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

// The block under construction, in the byte order chosen for it.
class BlockBytes {
public:
    explicit BlockBytes(bool big) : m_big(big) {}
    void Grow(uint64_t size)
    {
        if (size > m_bytes.size())
            m_bytes.resize(static_cast<size_t>(size), 0);
    }
    void Put16(uint64_t at, uint32_t v)
    {
        Grow(at + 2);
        for (int i = 0; i < 2; ++i)
            m_bytes[at + (m_big ? 1 - i : i)] = BYTE(v >> (8 * i));
    }
    void Put32(uint64_t at, uint32_t v)
    {
        Grow(at + 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[at + (m_big ? 3 - i : i)] = BYTE(v >> (8 * i));
    }
    void Copy(uint64_t at, std::span<const BYTE> bytes)
    {
        Grow(at + bytes.size());
        std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + static_cast<ptrdiff_t>(at));
    }
    bool Big() const { return m_big; }
    std::vector<BYTE>& Bytes() { return m_bytes; }

private:
    bool m_big;
    std::vector<BYTE> m_bytes;
};

uint64_t Even(uint64_t n) { return n + (n & 1); }

// Places pieces one after another from a cursor, stepping over the ranges
// that hold bytes kept where they stood.
class BlockSpace {
public:
    explicit BlockSpace(uint64_t start) : m_cursor(start) {}
    void Reserve(uint64_t at, uint64_t size)
    {
        auto range = std::pair{at, at + size};
        m_taken.insert(std::upper_bound(m_taken.begin(), m_taken.end(), range), range);
    }
    uint64_t Allocate(uint64_t size)
    {
        uint64_t at = Even(m_cursor);
        for (const auto& [from, to] : m_taken) {
            if (to <= at)
                continue;
            if (at + size <= from)
                break;
            at = Even(to);
        }
        m_cursor = at + size;
        return at;
    }

private:
    uint64_t m_cursor;
    std::vector<std::pair<uint64_t, uint64_t>> m_taken; // [from, to), by start
};

// The Exif version that introduced a tag; 0 for tags of every version.
struct TagVersion {
    WORD tag;
    uint32_t version; // four digits as a number: 220 is "0220"
};
constexpr TagVersion kTagVersions[] = {
    {0x9214, 220}, {0xa401, 220}, {0xa402, 220}, {0xa403, 220}, {0xa404, 220}, {0xa405, 220},
    {0xa406, 220}, {0xa407, 220}, {0xa408, 220}, {0xa409, 220}, {0xa40a, 220}, {0xa40b, 220},
    {0xa40c, 220}, {0xa420, 220}, {0xa500, 221}, {0x8830, 230}, {0x8831, 230}, {0x8832, 230},
    {0x8833, 230}, {0x8834, 230}, {0x8835, 230}, {0xa430, 230}, {0xa431, 230}, {0xa432, 230},
    {0xa433, 230}, {0xa434, 230}, {0xa435, 230}, {0x9010, 231}, {0x9011, 231}, {0x9012, 231},
    {0x9400, 231}, {0x9401, 231}, {0x9402, 231}, {0x9403, 231}, {0x9404, 231}, {0x9405, 231},
    {0xa460, 232}, {0xa461, 232}, {0xa462, 232},
};
constexpr uint32_t kDefaultExifVersion = 210;

// "0220" as 220; nullopt for anything but four digits in front.
std::optional<uint32_t> VersionNumber(const CExifEntry* e)
{
    if (!e || CExifEntry::GetUnitSize(e->m_type) != 1 || e->GetDataSize() < 4)
        return std::nullopt;
    uint32_t n = 0;
    for (size_t i = 0; i < 4; ++i) {
        const BYTE c = e->GetData()[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

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
        if (CExifEntry* e = FindEntry(tag, dir, sub))
            return std::pair{e, false};
        return std::pair{InsertEntry(std::make_unique<CExifEntry>(this, dir, sub, tag, type, count)), true};
    };

    // An entry of a type no reader knows (a damaged file) is not written back.
    std::vector<const CExifEntry*> invalid;
    for (const auto& e : m_entries)
        if (CExifEntry::GetUnitSize(e->m_type) == 0)
            invalid.push_back(e.get());
    for (const CExifEntry* e : invalid)
        RemoveEntry(e);
    // A version of another type or length becomes four UNDEFINED bytes with its digits.
    if (CExifEntry* e = FindEntry(36864, 0, kSubExif); e && (e->m_type != 7 || e->GetDataSize() != 4)) {
        const auto digits = VersionNumber(e);
        const std::vector<BYTE> text = digits ? std::vector<BYTE>(e->m_value.begin(), e->m_value.begin() + 4)
                                              : std::vector<BYTE>{'0', '0', '0', '0'};
        RemoveEntry(e);
        InsertEntry(std::make_unique<CExifEntry>(this, 0, kSubExif, 36864, 7, 4))->m_value = text;
    }

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
    SettleExifVersion();
    CExifEntry* version = FindEntry(36864, 0, kSubExif);
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
            RemoveEntry(e);
            e = InsertEntry(std::make_unique<CExifEntry>(this, 0, kSubExif, tag, 4, 1));
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

void CExifFile::SettleExifVersion()
{
    // A block says the version its tags need: the source's own when it covers
    // them, never an older one than a tag it holds.
    CExifEntry* version = FindEntry(36864, 0, kSubExif);
    if (!version)
        return;
    uint32_t need = 0;
    for (const auto& e : m_entries)
        if (e->m_directory == 0 && e->m_subDirectory == kSubExif)
            for (const TagVersion& t : kTagVersions)
                if (t.tag == e->m_tag)
                    need = std::max(need, t.version);
    const uint32_t have = VersionNumber(version).value_or(0);
    uint32_t written = have == 0 ? std::max(kDefaultExifVersion, need) : std::max(have, need);
    if (written == have)
        return;
    char text[5];
    std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(written % 10000));
    SetBytes(version, text, 4);
}

// ---- the maker note ---------------------------------------------------------------

struct CExifFile::BlockPlan {
    enum Note : int {
        kNone,    // nothing to write, or a note too broken to carry
        kRebuilt, // this system's own note, rebuilt as a directory
        kPinned,  // a camera's note at the offset it had
        kMoved,   // a camera's note at a new offset, its offsets rebased
    };
    Note note = kNone;
    uint64_t pinAt = 0;            // kRebuilt: its fixed offset (0: none); kPinned: its old offset
    MakerNoteForm form;
    bool bigEndian = false;        // the block's byte order
    std::vector<std::pair<uint64_t, std::vector<BYTE>>> kept; // bytes kept where they stood
};

std::vector<BYTE> CExifFile::EncodeMakerNote(uint32_t valueOffset) const
{
    std::vector<const CExifEntry*> entries;
    for (const auto& e : m_entries)
        if (e->m_directory == 0 && e->m_subDirectory == kSubMaker && e->m_tag != 129 && e->m_tag != 3584)
            entries.push_back(e.get());
    const size_t k = entries.size();
    BlockBytes out(false);
    out.Grow(12 * k + 6);
    out.Put16(0, static_cast<uint32_t>(k));
    for (size_t i = 0; i < k; ++i) {
        const CExifEntry& e = *entries[i];
        const size_t rec = 2 + 12 * i;
        out.Put16(rec, e.m_tag);
        out.Put16(rec + 2, e.m_type);
        out.Put32(rec + 4, e.m_count);
        std::vector<BYTE> value = e.EncodeIntel();
        if (e.m_tag == 0) {
            // The version is written in lower case: this program's Intel-order note.
            for (size_t j = 0; j < 4 && j < value.size(); ++j)
                value[j] = static_cast<BYTE>(std::tolower(value[j]));
            value.resize(std::min<size_t>(value.size(), 4));
            out.Copy(rec + 8, value);
        } else if (value.size() <= 4) {
            out.Copy(rec + 8, value);
        } else {
            const uint64_t at = Even(out.Bytes().size());
            out.Put32(rec + 8, static_cast<uint32_t>(valueOffset + at));
            out.Copy(at, value);
        }
    }
    out.Grow(Even(out.Bytes().size()));
    return std::move(out.Bytes());
}

std::vector<std::pair<uint64_t, std::vector<BYTE>>> CExifFile::UnclaimedRuns() const
{
    // Only a JPEG's structure is small and whole here; a TIFF's holds pictures.
    if (m_fileKind != kExifJpeg || m_tiff.size() <= 8)
        return {};
    std::vector<bool> claimed(m_tiff.size(), false);
    auto claim = [&](uint64_t at, uint64_t n) {
        for (uint64_t i = at; i < at + n && i < claimed.size(); ++i)
            claimed[static_cast<size_t>(i)] = true;
    };
    claim(0, 8);
    for (const auto& [at, n] : m_directorySpans)
        claim(at, n);
    for (const auto& e : m_entries)
        if (e->m_valueOffset >= 0)
            claim(static_cast<uint64_t>(e->m_valueOffset), e->GetDataSize());
    auto value = [&](WORD tag) {
        const CExifEntry* e = FindEntry(tag, 1, kSubMain);
        return e ? e->GetLong(0) : 0u;
    };
    claim(value(kTagJpegOffset), value(514));
    claim(value(273), value(279));
    // What is left, trimmed of the zeros that padding leaves.
    std::vector<std::pair<uint64_t, std::vector<BYTE>>> runs;
    for (size_t i = 0; i < claimed.size();) {
        if (claimed[i] || m_tiff[i] == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < claimed.size() && !claimed[end])
            ++end;
        size_t last = end;
        while (last > i && m_tiff[last - 1] == 0)
            --last;
        runs.emplace_back(i, std::vector<BYTE>(m_tiff.begin() + static_cast<ptrdiff_t>(i),
                                               m_tiff.begin() + static_cast<ptrdiff_t>(last)));
        i = end;
    }
    return runs;
}

CExifFile::BlockPlan CExifFile::PlanMakerNote(int outputKind) const
{
    BlockPlan plan;
    const CExifEntry* note = FindEntry(kTagMakerNote, 0, kSubExif);
    if (!note)
        return plan;
    if (FindEntry(0, 0, kSubMaker)) {
        plan.note = BlockPlan::kRebuilt;
        plan.pinAt = note->m_fixedValueOffset > 0 ? uint64_t(note->m_fixedValueOffset) : 0;
        return plan;
    }
    const uint64_t from = note->m_valueOffset >= 0 ? uint64_t(note->m_valueOffset) : 0;
    plan.form = ReadMakerNoteForm(note->m_value, from, m_bigEndian, m_tiff, m_fileKind == kExifJpeg);
    // A note whose numbers follow the structure around it reads right only in
    // the order it was written in: the block keeps the source's order then.
    plan.bigEndian = outputKind == 0 && m_bigEndian;
    // Where it stood, unless the TIFF block's offsets count from elsewhere.
    if (outputKind == 0 && note->m_valueOffset >= 8) {
        plan.note = BlockPlan::kPinned;
        plan.pinAt = from;
        // What it points at outside itself stays where it stood too, as far
        // as the structure read holds it.
        if (m_fileKind == kExifJpeg)
            for (const auto& [at, size] : plan.form.outside) {
                const uint64_t begin = std::max<uint64_t>(at, 8), end = std::min<uint64_t>(at + size, m_tiff.size());
                if (begin < end)
                    plan.kept.emplace_back(begin, std::vector<BYTE>(m_tiff.begin() + static_cast<ptrdiff_t>(begin),
                                                                    m_tiff.begin() + static_cast<ptrdiff_t>(end)));
            }
    } else if (plan.form.CanMove()) {
        plan.note = BlockPlan::kMoved;
    }
    return plan;
}

std::optional<std::vector<BYTE>> CExifFile::BuildBlock(const BlockPlan& plan, const BYTE* thumbnail,
                                                       DWORD thumbnailSize, int outputKind) const
{
    auto collect = [&](int dir, int sub) {
        std::vector<const CExifEntry*> v;
        for (const auto& e : m_entries)
            if (e->m_directory == dir && e->m_subDirectory == sub)
                v.push_back(e.get());
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
    if (plan.note == BlockPlan::kNone)
        exifDir = without(exifDir, kTagMakerNote);
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

    BlockBytes out(plan.bigEndian);
    BlockSpace space(kind0 ? 8 : 0);
    const CExifEntry* note = FindEntry(kTagMakerNote, 0, kSubExif);
    std::vector<BYTE> pinnedNote;
    uint64_t pinnedAt = 0;
    if (note && (plan.note == BlockPlan::kPinned || (plan.note == BlockPlan::kRebuilt && plan.pinAt > 0))) {
        pinnedAt = plan.pinAt;
        pinnedNote = plan.note == BlockPlan::kPinned ? note->m_value : EncodeMakerNote(static_cast<uint32_t>(pinnedAt));
        // The header and the main directory come first; a place among them is no place.
        const uint64_t mainEnd = kind0 ? 8 + 2 + 12ull * mainDir.size() + 4 : 0;
        if (pinnedAt < mainEnd) {
            if (plan.note == BlockPlan::kPinned)
                return std::nullopt;
            pinnedNote.clear(); // a rebuilt note flows with the rest then
            pinnedAt = 0;
        } else {
            space.Reserve(pinnedAt, pinnedNote.size());
            out.Copy(pinnedAt, pinnedNote);
        }
    }
    for (const auto& [at, bytes] : plan.kept) {
        space.Reserve(at, bytes.size());
        out.Copy(at, bytes);
    }

    std::optional<std::pair<uint64_t, uint64_t>> noteWritten; // a camera's note: where, how long
    auto writeDirectory = [&](const std::vector<const CExifEntry*>& entries, FieldMap& fields) {
        const size_t k = entries.size();
        const uint64_t pos = space.Allocate(2 + 12 * k + 4);
        out.Put16(pos, static_cast<uint32_t>(k));
        for (size_t i = 0; i < k; ++i) {
            const CExifEntry& e = *entries[i];
            const uint64_t rec = pos + 2 + 12 * i;
            out.Put16(rec, e.m_tag);
            out.Put16(rec + 2, e.m_type);
            DWORD count = e.m_count;
            std::vector<BYTE> value;
            std::optional<uint64_t> at;
            if (e.m_tag == kTagExifPointer || e.m_tag == kTagGpsPointer || e.m_tag == kTagInteropPointer ||
                (e.m_tag == kTagJpegOffset && e.m_directory == 1)) {
                // Pointers are one LONG, whatever the source said.
                fields[e.m_tag] = rec + 8;
                value.assign(4, 0);
                out.Put16(rec + 2, 4);
                count = 1;
            } else if (&e == note && !pinnedNote.empty()) {
                value = pinnedNote;
                at = pinnedAt;
                noteWritten = {pinnedAt, value.size()};
            } else if (&e == note && plan.note == BlockPlan::kRebuilt) {
                at = space.Allocate(EncodeMakerNote(0).size());
                value = EncodeMakerNote(static_cast<uint32_t>(*at));
            } else if (&e == note && plan.note == BlockPlan::kMoved && e.GetDataSize() > 4) {
                at = space.Allocate(e.GetDataSize());
                const int64_t delta = static_cast<int64_t>(*at) - std::max<int64_t>(e.m_valueOffset, 0);
                value = MoveMakerNote(e.m_value, plan.form, delta);
                noteWritten = {*at, value.size()};
            } else {
                value = e.Encode(out.Big());
                // The entry holds a UNICODE comment in Intel order whatever the file's.
                if (e.m_tag == kTagUserComment && out.Big() && CExifEntry::UserCommentCode(value) == 2)
                    for (size_t j = 8; j + 2 <= value.size(); j += 2)
                        std::swap(value[j], value[j + 1]);
            }
            if (&e == note && CExifEntry::GetUnitSize(e.m_type) == 1)
                count = static_cast<DWORD>(value.size());
            out.Put32(rec + 4, count);
            if (value.size() <= 4) {
                value.resize(4, 0);
                out.Copy(rec + 8, value);
                continue;
            }
            if (!at)
                at = space.Allocate(value.size());
            if (*at + value.size() > 0xFFFFFFFFull)
                throw CMemoryException();
            out.Put32(rec + 8, static_cast<uint32_t>(*at));
            out.Copy(*at, value);
        }
        out.Put32(pos + 2 + 12 * k, 0);
        return pos;
    };

    FieldMap mainFields, exifFields, thumbFields;
    uint64_t mainPos = 0;
    if (kind0) {
        out.Copy(0, std::vector<BYTE>{out.Big() ? BYTE('M') : BYTE('I'), out.Big() ? BYTE('M') : BYTE('I')});
        out.Put16(2, 42);
        mainPos = writeDirectory(mainDir, mainFields);
        out.Put32(4, static_cast<uint32_t>(mainPos));
    }
    if (!exifDir.empty()) {
        const uint64_t exifPos = writeDirectory(exifDir, exifFields);
        if (auto f = mainFields.find(kTagExifPointer); f != mainFields.end())
            out.Put32(f->second, static_cast<uint32_t>(exifPos));
    }
    if (writeInterop) {
        FieldMap unused;
        out.Put32(exifFields.at(kTagInteropPointer), static_cast<uint32_t>(writeDirectory(interopDir, unused)));
    }
    if (!gpsDir.empty()) {
        FieldMap unused;
        const uint64_t gpsPos = writeDirectory(gpsDir, unused);
        if (auto f = mainFields.find(kTagGpsPointer); f != mainFields.end())
            out.Put32(f->second, static_cast<uint32_t>(gpsPos));
    }
    if (writeThumb) {
        out.Put32(mainPos + 2 + 12 * mainDir.size(), static_cast<uint32_t>(writeDirectory(thumbDir, thumbFields)));
        const uint64_t at = space.Allocate(thumbnailSize);
        if (auto f = thumbFields.find(kTagJpegOffset); f != thumbFields.end())
            out.Put32(f->second, static_cast<uint32_t>(at));
        out.Copy(at, std::span<const BYTE>(thumbnail, thumbnailSize));
    }
    std::vector<BYTE>& block = out.Bytes();
    if (kind0) {
        if (block.size() + 6 > kMaxApp1Content)
            return std::nullopt;
        // The block takes the source's APP1 segment's place: what the note
        // keeps behind the picture moves with the segment's change in length.
        if (noteWritten && !plan.form.trailer.empty() && m_fileKind == kExifJpeg && m_app1Length >= 8) {
            const int64_t growth = int64_t(block.size() + 6) - int64_t(m_app1Length - 2);
            ShiftTrailerOffsets(std::span<BYTE>(block).subspan(noteWritten->first, noteWritten->second), plan.form,
                                growth);
        }
        block.insert(block.begin(), {'E', 'x', 'i', 'f', 0, 0});
    }
    return std::move(block);
}

short CExifFile::WriteExif(CFile* target, DWORD& size, const BYTE* thumbnail, DWORD thumbnailSize, int width,
                           int height, int thumbnailWidth, int thumbnailHeight, int outputKind, int16_t lightSource)
{
    size = 0;
    if (m_entries.empty() || !target || (outputKind != 0 && outputKind != 1))
        return -1;
    if (!thumbnail)
        thumbnailSize = 0;
    // What nothing written accounts for, as the source holds it now.
    auto unclaimed = outputKind == 0 ? UnclaimedRuns() : decltype(UnclaimedRuns()){};
    PrepareForWrite(thumbnailSize, width, height, thumbnailWidth, thumbnailHeight, outputKind, lightSource);

    // From the most kept to the least: the camera's data before the thumbnail
    // this program makes, for the thumbnail can be made again and they cannot.
    const BlockPlan first = PlanMakerNote(outputKind);
    std::vector<BlockPlan> plans;
    if (first.note == BlockPlan::kPinned) {
        if (!unclaimed.empty()) {
            BlockPlan withKept = first;
            withKept.kept.insert(withKept.kept.end(), unclaimed.begin(), unclaimed.end());
            plans.push_back(std::move(withKept));
        }
        plans.push_back(first);
        if (first.form.CanMove()) {
            BlockPlan moved = first;
            moved.note = BlockPlan::kMoved;
            moved.kept.clear();
            plans.push_back(moved);
        }
    } else {
        plans.push_back(first);
        if (first.note == BlockPlan::kRebuilt && first.pinAt > 0) {
            BlockPlan flowing = first;
            flowing.pinAt = 0;
            plans.push_back(flowing);
        }
    }
    if (first.note != BlockPlan::kNone && first.note != BlockPlan::kRebuilt)
        plans.push_back(BlockPlan{}); // in the end, without the note rather than with it broken

    std::optional<std::vector<BYTE>> block;
    try {
        for (const BlockPlan& plan : plans) {
            block = BuildBlock(plan, thumbnail, thumbnailSize, outputKind);
            // An APP1 segment holds at most 65533 bytes: drop the thumbnail before
            // writing a length that would cut the JPEG apart.
            if (!block && outputKind == 0 && thumbnailSize > 0)
                block = BuildBlock(plan, nullptr, 0, outputKind);
            if (block)
                break;
        }
    } catch (const CMemoryException&) {
        return -1;
    }
    if (!block || block->empty())
        return -1;
    try {
        target->Write(block->data(), block->size());
        size = static_cast<DWORD>(std::min<uint64_t>(target->GetLength(), 0xFFFFFFFFu));
    } catch (const CFileException&) {
        size = 0;
        return -1;
    }
    m_stream = target;
    return 0;
}
