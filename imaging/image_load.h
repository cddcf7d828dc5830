#pragma once

#include "platform/types.h"

#include <string>

class CDibBitmap;

// The loading front end's own renderings (the rest is CImageImporter::DecodeToDib).

// The first 65535 bytes of a text file (UTF-8, else Latin-1) drawn in black on
// a white 1-bit bitmap of the rectangle's size (300 x 300 without one).
bool RenderTextFileToDib(const std::string& path, CDibBitmap& target, const RECT* rect);
// For files nothing else reads: a 24-bit card with the file's icon and name.
bool RenderOleObjectToDib(const std::string& path, CDibBitmap& target);
// The file's icon at 32 x 32, 24 bits; the target stays empty without one.
void RenderFileIconToDib(const std::string& path, CDibBitmap& target);
