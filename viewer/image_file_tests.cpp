#include "viewer/image_file_tests.h"

#include "ui/ui_services.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/program_folders.h"

#include <cstdlib>

namespace {

bool ReadInfo(const std::string& path, QrRawImageInfo& info)
{
    CImageImporter importer(GetImporterSearchPath());
    return importer.GetRawImageInfo(path, info);
}

} // namespace

BOOL IsBufferSizeSupported(const CImageBuffer& buffer)
{
    return buffer.IsValid() && IsImageSizeSupported(buffer.GetWidth(), buffer.GetHeight());
}

BOOL IsDibSizeSupported(const CDibBitmap& bitmap)
{
    return bitmap.IsValid() && IsImageSizeSupported(bitmap.GetSize().cx, std::abs(int(bitmap.GetSize().cy)));
}

BOOL IsLoadableImageFile(const std::string& path)
{
    QrRawImageInfo info{};
    return ReadInfo(path, info) && IsImageSizeSupported(info.width, info.height);
}

BOOL IsImportableFile(const std::string& path)
{
    QrRawImageInfo info{};
    return ReadInfo(path, info);
}

std::string GetProgramFolder() { return GetHomePath(); }
std::string GetReaderFolder() { return GetProgramFolder() + "Reader"; }
std::string GetProfilesFolder() { return GetProgramFolder() + "Profiles"; }
