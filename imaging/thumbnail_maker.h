#pragma once

#include <string>

class CDibBitmap;

// File kinds by extension: 0 JPEG, 1 TIFF, 2 the raw format, 3 other.
int GetImageFileKind(const std::string& path);

// The ".THM" companion (any case of its extension) decoded as JPEG.
bool LoadCompanionThumbnail(const std::string& path, CDibBitmap& target);
// The thumbnail stored in the file's Exif data (JPEG, TIFF and raw files).
bool LoadExifThumbnail(const std::string& path, CDibBitmap& target);
// A decode through the importer plug-ins, shrunk to fit the bound.
bool LoadFittedThumbnail(const std::string& importerPattern, const std::string& path, CDibBitmap& target,
                         int boundWidth = 120, int boundHeight = 160);

// A small picture for an image file, from the cheapest source that has one:
// the companion file (TIFF and raw files), the Exif thumbnail, a fitted
// decode, else a black 64 x 64 placeholder.
class CThumbnailMaker {
public:
    explicit CThumbnailMaker(std::string importerPattern) : m_importerPattern(std::move(importerPattern)) {}
    // Always true: the placeholder stands in when nothing else gives a picture.
    bool MakeThumbnail(const std::string& path, CDibBitmap& target);

private:
    std::string m_importerPattern;
    int m_boundWidth = 120;
    int m_boundHeight = 160;
};
