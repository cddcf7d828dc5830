#pragma once

#include "platform/types.h"

#include <string>

class CImageBuffer;
class CDibBitmap;

// The shared UI services that need the imaging layer: picture-size tests of
// buffers, bitmaps and files, and the program's own folders.

// The buffer is valid and each side is 8 to 3840 pixels.
BOOL IsBufferSizeSupported(const CImageBuffer& buffer);
BOOL IsDibSizeSupported(const CDibBitmap& bitmap);
// An importer reads the file's picture information and its size is accepted.
BOOL IsLoadableImageFile(const std::string& path);
// An importer reads the file's picture information, whatever its size.
BOOL IsImportableFile(const std::string& path);

// The home folder, ending in a separator.
std::string GetProgramFolder();
std::string GetReaderFolder();
// The colour profiles' folder: "Profiles", the spelling the colour engine uses.
std::string GetProfilesFolder();
