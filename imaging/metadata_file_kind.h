#pragma once

#include <string_view>

// The metadata reader's file kinds, by a path's extension.
enum MetadataFileKind : int { kMetadataJpeg = 0, kMetadataTiff = 1, kMetadataRaw = 2, kMetadataOther = 3 };

int GetMetadataFileKind(std::string_view path);
