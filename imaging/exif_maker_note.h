#pragma once

// A camera's maker note as a block of bytes whose layout only its maker
// knows. Most hold a tag directory behind a short header; what the directory's
// value offsets count from (the TIFF header around the note, or the note's own
// header) differs by maker. Knowing that decides whether the note may move.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

struct MakerNoteForm {
    enum Offsets : int {
        kNoOffsets,  // no directory, or every value stands in its record
        kOwnHeader,  // offsets count from the note itself: it moves as it is
        kTiffHeader, // offsets count from the TIFF header: moving means rebasing
        kElsewhere,  // values stand outside the note: it must stay where it is
    };
    bool directory = false;
    size_t directoryAt = 0; // where the note's directory starts
    bool bigEndian = false; // the directory's byte order
    Offsets offsets = kNoOffsets;
    // What the note's entries point at outside the note but inside the
    // structure around it (values, sub-directories with their values), as
    // (offset from the TIFF header, bytes). Such bytes stay where they are.
    std::vector<std::pair<uint64_t, uint64_t>> outside;
    // Values behind the structure, in the file's trailer (a preview behind
    // the picture): (position of the offset field in the note, its offset).
    // They count from the TIFF header, so they follow the segment's length.
    std::vector<std::pair<uint64_t, uint32_t>> trailer;

    bool CanMove() const { return offsets != kElsewhere && outside.empty(); }
};

// Directories with more entries than this are taken for something else.
constexpr uint32_t kMaxMakerNoteEntries = 1024;

// The form of a note that stands at noteOffset from the TIFF header of a file
// in the given byte order. structure is the TIFF structure from its header on,
// for what the note points at outside itself (empty: not looked at); when it
// ends the segment it stands in (a JPEG's APP1), values behind it are trailer.
MakerNoteForm ReadMakerNoteForm(std::span<const uint8_t> note, uint64_t noteOffset, bool fileBigEndian,
                                std::span<const uint8_t> structure = {}, bool structureEndsSegment = false);

// The note's bytes for a place delta bytes away from where it stood: the value
// offsets of a TIFF-header form follow it; other forms come back unchanged.
// Trailer offsets stay as they were.
std::vector<uint8_t> MoveMakerNote(std::span<const uint8_t> note, const MakerNoteForm& form, int64_t delta);

// Adds growth (the change in length of the segment in front of the trailer)
// to the trailer offsets of a note laid out at note.
void ShiftTrailerOffsets(std::span<uint8_t> note, const MakerNoteForm& form, int64_t growth);
