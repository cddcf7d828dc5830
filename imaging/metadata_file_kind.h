#pragma once

#include "imaging/exif_file.h"

#include <string_view>

// The metadata reader's file kind of a path, by its extension: kExifJpeg,
// kExifTiff, kExifRaw or kExifUnsupported.
int GetMetadataFileKind(std::string_view path);
