#include "imaging/thumbnail_maker.h"

#include "util/geometry.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/jpeg_codec.h"
#include "imaging/program_folders.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/path.h"

#include <vector>

namespace {

// Companion thumbnails are small; anything larger is not one.
constexpr uint64_t kMaxCompanionBytes = 4u << 20;

std::string UpperExtension(const std::string& path)
{
    std::string e = ExtensionOf(path);
    for (char& c : e)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return e;
}

} // namespace

int GetImageFileKind(const std::string& path)
{
    const std::string e = UpperExtension(path);
    if (e == "JPEG" || e == "JPE" || e == "JFIF" || e == "JPG")
        return 0;
    if (e == "TIFF" || e == "TIF")
        return 1;
    if (e == "TKF")
        return 2;
    return 3;
}

bool LoadCompanionThumbnail(const std::string& path, CDibBitmap& target)
{
    const std::string companion = FindThmFile(path);
    if (companion.empty())
        return false;
    std::vector<uint8_t> bytes;
    try {
        CFile file(companion, CFile::modeRead);
        const uint64_t length = file.GetLength();
        if (length == 0 || length > kMaxCompanionBytes)
            return false;
        bytes.resize(static_cast<size_t>(length));
        if (file.Read(bytes.data(), bytes.size()) != bytes.size())
            return false;
    } catch (const CException&) {
        return false;
    }
    CDibBitmap bmp;
    return JpegDecodeToDibSection(bytes.data(), bytes.size(), bmp) && target.Attach(std::move(bmp)) &&
           target.IsValid();
}

bool LoadExifThumbnail(const std::string& path, CDibBitmap& target)
{
    const int kind = GetImageFileKind(path);
    if (kind > 2)
        return false;
    try {
        CFile file(path, CFile::modeRead);
        CExifFile exif;
        if (exif.Attach(&file, kind) != 0)
            return false;
        CDibBitmap bmp;
        return exif.GetThumbnail(bmp) == 1 && target.Attach(std::move(bmp)) && target.IsValid();
    } catch (const CException&) {
        return false;
    }
}

bool LoadFittedThumbnail(const std::string& importerPattern, const std::string& path, CDibBitmap& target,
                         int boundWidth, int boundHeight, int lockTimeoutMs, bool* lockBusy)
{
    CImageImporter importer(importerPattern);
    importer.SetOptionFlag1(0);
    CImageBuffer picture;
    const QrDecodeRect bound{0, 0, boundWidth, boundHeight};
    const bool decoded = importer.TryDecodeToBuffer(path, picture, &bound, lockTimeoutMs);
    if (lockBusy)
        *lockBusy = !decoded && importer.LockFailed();
    if (!decoded || !picture.IsValid())
        return false;
    return FitThumbnail(picture, target, boundWidth, boundHeight);
}

bool FitThumbnail(const CImageBuffer& picture, CDibBitmap& target, int boundWidth, int boundHeight)
{
    if (!picture.IsValid())
        return false;
    const RECT boundRect{0, 0, boundWidth, boundHeight};
    const RECT source{0, 0, picture.GetWidth(), picture.GetHeight()};
    RECT fitted{};
    FitRectKeepAspect(&boundRect, &source, &fitted, 0);
    const CRect fit(fitted);
    if (fit.IsRectEmpty())
        return false;
    try {
        CImageBuffer small;
        if (!small.Create(CImageBuffer::kHeap, CSize(fit.Width(), fit.Height()), picture.GetPixelType(),
                          picture.GetOrientation(), nullptr, picture.GetPaletteEntries()))
            return false;
        picture.ResampleInto(small, CImageBuffer::kBilinear);
        std::unique_ptr<CDibBitmap> bmp = small.CreateDib();
        return bmp && target.Attach(std::move(*bmp));
    } catch (const CException&) {
        return false;
    }
}

bool CThumbnailMaker::MakeThumbnail(const std::string& path, CDibBitmap& target)
{
    m_lockBusy = false;
    const int kind = GetImageFileKind(path);
    if ((kind == 1 || kind == 2) && LoadCompanionThumbnail(path, target))
        return true;
    if (LoadExifThumbnail(path, target))
        return true;
    if (LoadFittedThumbnail(m_importerPattern, path, target, m_boundWidth, m_boundHeight, m_lockTimeoutMs,
                            &m_lockBusy))
        return true;
    if (m_lockBusy)
        return true;
    target.CreateDib(CSize(64, 64), 24, nullptr, nullptr, RGB(0, 0, 0));
    return true;
}
