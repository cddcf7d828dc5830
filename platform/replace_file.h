#pragma once

#include <cstdint>
#include <span>
#include <string>

// Replaces the file at path with the given bytes without ever leaving it half
// written: the new content goes to a temporary file in the same folder, is
// flushed, given the old file's permissions and renamed over the old one. A
// path that is a symbolic link replaces the file it points to. Throws
// CFileException; on failure the old file is untouched and no temporary is left.
void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes);
