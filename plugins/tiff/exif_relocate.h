#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrplugin {

// Moves the Exif and GPS directories of an Intel-order block into a finished
// Intel-order TIFF file image. The block is either a TIFF structure (optionally
// behind an "Exif\0\0" prefix) or the headless form made for TIFF writers
// (the Exif directory at offset 0, its values, then the GPS directory). In the
// file image each directory and its out-of-line values are appended with
// their offsets rebased, and the first directory is rewritten at the end with
// the two pointer tags added. False (file untouched) when the block cannot be
// read; every offset and count is checked against the block.
bool RelocateExifIntoTiff(std::vector<uint8_t>& file, const uint8_t* block, size_t size);

} // namespace qrplugin
