#pragma once

#include <string>

class CDibBitmap;
class CImageBuffer;

// File kinds by extension: 0 JPEG, 1 TIFF, 2 the raw format, 3 other.
int GetImageFileKind(const std::string& path);

// The ".THM" companion (any case of its extension) decoded as JPEG.
bool LoadCompanionThumbnail(const std::string& path, CDibBitmap& target);
// The thumbnail stored in the file's Exif data (JPEG, TIFF and raw files).
bool LoadExifThumbnail(const std::string& path, CDibBitmap& target);
// A decode through the importer plug-ins, shrunk to fit the bound. The
// import lock is waited for lockTimeoutMs (-1: without limit); lockBusy, when
// given, tells whether the decode failed only because it was not had in time.
bool LoadFittedThumbnail(const std::string& importerPattern, const std::string& path, CDibBitmap& target,
                         int boundWidth = 120, int boundHeight = 160, int lockTimeoutMs = -1,
                         bool* lockBusy = nullptr);
// The picture shrunk to fit the bound, aspect kept; false when it cannot be.
bool FitThumbnail(const CImageBuffer& picture, CDibBitmap& target, int boundWidth, int boundHeight);

// A small picture for an image file, from the cheapest source that has one:
// the companion file (TIFF and raw files), the Exif thumbnail, a fitted
// decode, else a black 64 x 64 placeholder.
class CThumbnailMaker {
public:
    explicit CThumbnailMaker(std::string importerPattern) : m_importerPattern(std::move(importerPattern)) {}
    // A decode fits the bound and waits lockTimeoutMs for the import lock.
    CThumbnailMaker(std::string importerPattern, int boundWidth, int boundHeight, int lockTimeoutMs)
        : m_importerPattern(std::move(importerPattern)), m_boundWidth(boundWidth), m_boundHeight(boundHeight),
          m_lockTimeoutMs(lockTimeoutMs)
    {
    }
    // Always true: the placeholder stands in when nothing else gives a
    // picture. Only when the import lock was busy the target stays empty
    // (LockWasBusy), so that the caller tries again later.
    bool MakeThumbnail(const std::string& path, CDibBitmap& target);
    bool LockWasBusy() const { return m_lockBusy; }

private:
    std::string m_importerPattern;
    int m_boundWidth = 120;
    int m_boundHeight = 160;
    int m_lockTimeoutMs = -1;
    bool m_lockBusy = false;
};
