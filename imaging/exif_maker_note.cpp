#include "imaging/exif_maker_note.h"

#include "imaging/exif_types.h"
#include "platform/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr size_t kNone = SIZE_MAX;

// Headers that makers put in front of their note's directory. A byte-order
// mark, where there is one, says the directory's order; a header of its own
// kind makes the offsets count from the note (or from a TIFF header inside it).
enum class Locate { kFixed, kTiffHeaderInside, kOffsetAt8, kNoDirectory };

struct NoteHeader {
    const char* magic;
    size_t magicLength;
    Locate locate;
    size_t directoryAt;
    size_t orderAt;    // "II" or "MM" here, or kNone
    bool ownBase;      // offsets count from the note's start (plus baseAt)
    size_t baseAt;
};

// Makers whose notes point at sub-directories through LONG entries (type 13
// says so by itself).
struct SubDirectoryTag {
    const char* magic;
    size_t magicLength;
    uint16_t tag;
};
constexpr SubDirectoryTag kSubDirectoryTags[] = {
    {"Nikon\0", 6, 0x0011}, // preview directory
    {"Nikon\0", 6, 0x0e10}, // scan directory, often just behind the note
};

constexpr NoteHeader kHeaders[] = {
    {"Nikon\0\x02", 7, Locate::kTiffHeaderInside, kNone, 10, true, 10}, // a TIFF header of its own at 10
    {"Nikon\0\x01", 7, Locate::kFixed, 8, kNone, false, 0},
    {"OLYMPUS\0", 8, Locate::kFixed, 12, 8, true, 0},
    {"OM SYSTEM\0", 10, Locate::kFixed, 16, 12, true, 0},
    {"Apple iOS\0", 10, Locate::kFixed, 14, 12, true, 0},
    {"FUJIFILM", 8, Locate::kOffsetAt8, kNone, kNone, true, 0}, // directory offset at 8, always Intel order
    {"GENERALE", 8, Locate::kOffsetAt8, kNone, kNone, true, 0},
    {"PENTAX \0", 8, Locate::kFixed, 10, 8, true, 0},
    {"RICOH\0II", 8, Locate::kFixed, 8, 6, true, 0},
    {"RICOH\0MM", 8, Locate::kFixed, 8, 6, true, 0},
    {"AOC\0", 4, Locate::kFixed, 6, 4, false, 0},
    {"Panasonic\0\0\0", 12, Locate::kFixed, 12, kNone, false, 0},
    {"SONY DSC \0\0\0", 12, Locate::kFixed, 12, kNone, false, 0},
    {"SONY CAM \0\0\0", 12, Locate::kFixed, 12, kNone, false, 0},
    {"QVC\0", 4, Locate::kFixed, 6, kNone, false, 0},
    {"DCI\0", 4, Locate::kFixed, 6, kNone, false, 0},
    {"OLYMP\0", 6, Locate::kFixed, 8, kNone, false, 0},
    {"EPSON\0", 6, Locate::kFixed, 8, kNone, false, 0},
    {"MINOL\0", 6, Locate::kFixed, 8, kNone, false, 0},
    {"CAMER\0", 6, Locate::kFixed, 8, kNone, false, 0},
    {"SANYO\0", 6, Locate::kFixed, 8, kNone, false, 0},
    {"SIGMA\0\0\0", 8, Locate::kFixed, 10, kNone, false, 0},
    {"FOVEON\0\0", 8, Locate::kFixed, 10, kNone, false, 0},
    {"LEICA\0\0\0", 8, Locate::kFixed, 8, kNone, false, 0},
    {"KDK", 3, Locate::kNoDirectory, kNone, kNone, false, 0}, // fixed fields, no directory
};

unsigned UnitSize(uint16_t type)
{
    return ExifTypeUnitSize(type);
}

// True when a directory of plausible size and types stands at the place in
// that byte order.
bool LooksLikeDirectory(std::span<const uint8_t> note, size_t at, bool big)
{
    ByteReader r(note, big);
    auto count = r.U16At(at);
    if (!count || *count == 0 || *count > kMaxMakerNoteEntries || !r.Fits(at + 2, 12ull * *count))
        return false;
    uint32_t valid = 0;
    for (uint32_t i = 0; i < *count; ++i)
        if (UnitSize(*r.U16At(at + 2 + 12ull * i + 2)) != 0)
            ++valid;
    // A damaged entry or two, not a block of something else.
    return valid * 10 >= *count * 9ull;
}

struct Value {
    uint64_t field; // position of the record's value field in the note
    uint64_t offset;
    uint64_t size;
};

std::vector<Value> OutOfLineValues(std::span<const uint8_t> note, const MakerNoteForm& form)
{
    std::vector<Value> values;
    ByteReader r(note, form.bigEndian);
    const uint16_t count = *r.U16At(form.directoryAt);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t record = form.directoryAt + 2 + 12ull * i;
        const uint64_t size = uint64_t(UnitSize(*r.U16At(record + 2))) * *r.U32At(record + 4);
        if (size > 4)
            values.push_back({record + 8, *r.U32At(record + 8), size});
    }
    return values;
}

bool IsSubDirectoryPointer(std::span<const uint8_t> note, uint16_t tag, uint16_t type, uint32_t count)
{
    if (count != 1)
        return false;
    if (type == 13)
        return true;
    if (type != 4)
        return false;
    for (const SubDirectoryTag& t : kSubDirectoryTags)
        if (t.tag == tag && note.size() >= t.magicLength && std::memcmp(note.data(), t.magic, t.magicLength) == 0)
            return true;
    return false;
}

} // namespace

MakerNoteForm ReadMakerNoteForm(std::span<const uint8_t> note, uint64_t noteOffset, bool fileBigEndian,
                                std::span<const uint8_t> structure, bool structureEndsSegment)
{
    MakerNoteForm form;
    const NoteHeader* header = nullptr;
    for (const NoteHeader& h : kHeaders)
        if (note.size() >= h.magicLength && std::memcmp(note.data(), h.magic, h.magicLength) == 0) {
            header = &h;
            break;
        }
    ByteReader r(note, fileBigEndian);
    size_t directoryAt = header ? header->directoryAt : 0;
    std::optional<bool> order;
    if (header && header->orderAt != kNone) {
        if (auto mark = r.At(header->orderAt, 2)) {
            if ((*mark)[0] == 'M' && (*mark)[1] == 'M')
                order = true;
            else if ((*mark)[0] == 'I' && (*mark)[1] == 'I')
                order = false;
        }
    }
    if (header && header->locate != Locate::kFixed) {
        if (header->locate == Locate::kTiffHeaderInside) {
            // Behind the TIFF header's order word and 42: its first directory's offset.
            if (!order)
                return form;
            r.SetBigEndian(*order);
            auto first = r.U32At(header->baseAt + 4);
            if (!first)
                return form;
            directoryAt = static_cast<size_t>(std::min<uint64_t>(header->baseAt + uint64_t(*first), note.size()));
        } else if (header->locate == Locate::kOffsetAt8) {
            order = false;
            r.SetBigEndian(false);
            auto at = r.U32At(8);
            if (!at)
                return form;
            directoryAt = static_cast<size_t>(std::min<uint64_t>(*at, note.size()));
        } else {
            return form;
        }
    }
    // Without a mark, the order that gives a sensible directory: most notes
    // follow the file, some makers write theirs in one order always.
    if (!order) {
        if (LooksLikeDirectory(note, directoryAt, fileBigEndian))
            order = fileBigEndian;
        else if (LooksLikeDirectory(note, directoryAt, !fileBigEndian))
            order = !fileBigEndian;
        else
            return form;
    } else if (!LooksLikeDirectory(note, directoryAt, *order)) {
        return form;
    }
    form.directory = true;
    form.directoryAt = directoryAt;
    form.bigEndian = *order;

    // Bytes from here on stand behind the structure, in the file's trailer.
    const uint64_t trailerFrom = structureEndsSegment ? structure.size() : UINT64_MAX;
    const bool ownBase = header && header->ownBase;
    const uint64_t ownAt = noteOffset + (ownBase ? header->baseAt : 0);
    auto insideNote = [&](uint64_t at, uint64_t size) {
        return at >= noteOffset && at - noteOffset <= note.size() && size <= note.size() - (at - noteOffset);
    };
    const std::vector<Value> values = OutOfLineValues(note, form);
    // Which base the offsets count from: the one under which every value
    // (trailer values aside, which fit any) stands inside the note.
    auto allInside = [&](uint64_t base) {
        for (const Value& v : values)
            if (base + v.offset < trailerFrom && !insideNote(base + v.offset, v.size))
                return false;
        return true;
    };
    if (!values.empty()) {
        const bool own = allInside(ownAt);
        const bool tiff = allInside(0);
        if (ownBase)
            form.offsets = own ? MakerNoteForm::kOwnHeader : tiff ? MakerNoteForm::kTiffHeader : MakerNoteForm::kElsewhere;
        else
            form.offsets = tiff ? MakerNoteForm::kTiffHeader : own ? MakerNoteForm::kOwnHeader : MakerNoteForm::kElsewhere;
    }
    // A note of the elsewhere kind is taken as its header says, wherever that leads.
    const uint64_t base = form.offsets == MakerNoteForm::kOwnHeader ? ownAt
                          : form.offsets == MakerNoteForm::kTiffHeader ? 0
                          : ownBase ? ownAt : 0;
    auto pointedAt = [&](const Value& v) {
        const uint64_t at = base + v.offset;
        if (at >= trailerFrom)
            return;
        if (!insideNote(at, v.size))
            form.outside.emplace_back(at, v.size);
    };
    for (const Value& v : values) {
        if (base + v.offset >= trailerFrom)
            form.trailer.emplace_back(v.field, static_cast<uint32_t>(v.offset));
        else
            pointedAt(v);
    }

    // Sub-directories outside the note, with the values they hold.
    r.SetBigEndian(form.bigEndian);
    const uint16_t count = *r.U16At(form.directoryAt);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t record = form.directoryAt + 2 + 12ull * i;
        if (!IsSubDirectoryPointer(note, *r.U16At(record), *r.U16At(record + 2), *r.U32At(record + 4)))
            continue;
        const uint64_t at = base + *r.U32At(record + 8);
        if (insideNote(at, 2) || at >= trailerFrom || !LooksLikeDirectory(structure, static_cast<size_t>(at), form.bigEndian))
            continue;
        ByteReader s(structure, form.bigEndian);
        form.outside.emplace_back(at, 2 + 12ull * *s.U16At(at) + 4);
        MakerNoteForm sub;
        sub.directoryAt = static_cast<size_t>(at);
        sub.bigEndian = form.bigEndian;
        for (const Value& v : OutOfLineValues(structure, sub))
            pointedAt(v);
    }
    return form;
}

std::vector<uint8_t> MoveMakerNote(std::span<const uint8_t> note, const MakerNoteForm& form, int64_t delta)
{
    std::vector<uint8_t> out(note.begin(), note.end());
    if (form.offsets != MakerNoteForm::kTiffHeader || delta == 0)
        return out;
    auto inTrailer = [&](uint64_t field) {
        return std::any_of(form.trailer.begin(), form.trailer.end(), [&](const auto& t) { return t.first == field; });
    };
    for (const Value& v : OutOfLineValues(note, form)) {
        if (inTrailer(v.field))
            continue;
        const uint32_t moved = static_cast<uint32_t>(static_cast<int64_t>(v.offset) + delta);
        for (int i = 0; i < 4; ++i)
            out[v.field + (form.bigEndian ? 3 - i : i)] = uint8_t(moved >> (8 * i));
    }
    return out;
}

void ShiftTrailerOffsets(std::span<uint8_t> note, const MakerNoteForm& form, int64_t growth)
{
    for (const auto& [field, offset] : form.trailer) {
        if (field + 4 > note.size())
            continue;
        const uint32_t shifted = static_cast<uint32_t>(static_cast<int64_t>(offset) + growth);
        for (int i = 0; i < 4; ++i)
            note[field + (form.bigEndian ? 3 - i : i)] = uint8_t(shifted >> (8 * i));
    }
}
