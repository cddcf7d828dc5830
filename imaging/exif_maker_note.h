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
    // kElsewhere: the values outside the note, as (offset from the TIFF header, bytes).
    std::vector<std::pair<uint64_t, uint64_t>> outside;

    bool CanMove() const { return offsets != kElsewhere; }
};

// Directories with more entries than this are taken for something else.
constexpr uint32_t kMaxMakerNoteEntries = 1024;

// The form of a note that stands at noteOffset from the TIFF header of a file
// in the given byte order.
MakerNoteForm ReadMakerNoteForm(std::span<const uint8_t> note, uint64_t noteOffset, bool fileBigEndian);

// The note's bytes for a place delta bytes away from where it stood: the value
// offsets of a TIFF-header form follow it; other forms come back unchanged.
std::vector<uint8_t> MoveMakerNote(std::span<const uint8_t> note, const MakerNoteForm& form, int64_t delta);
