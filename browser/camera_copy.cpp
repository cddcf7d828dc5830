#include "browser/camera_copy.h"

#include "browser/item_output.h"
#include "imaging/colour_matcher.h"
#include "imaging/exif_file.h"
#include "imaging/exif_thumbnail.h"
#include "imaging/icc_profile_data.h"
#include "imaging/image_buffer.h"
#include "imaging/image_save.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/pelkor_engine.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "resources/picture_resources.h"
#include "resources/string_table.h"
#include "util/file_filter.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

enum : WORD {
    kTagDateTime = 306,
    kTagDateTimeDigitized = 36868,
    // The maker directory's byte that marks a picture as one to play back.
    kTagPlayable = 0x0D00,
};

// Where the maker note stands in a copy's Exif block, from the TIFF header:
// the place the camera reads it from.
constexpr int32_t kMakerNoteAtJpeg = 1148;
constexpr int32_t kMakerNoteAtTiff = 1156;

// An Exif date: 19 characters and the terminating zero.
constexpr DWORD kDateBytes = 20;

void SetDate(CExifFile& exif, WORD tag, WORD subDirectory, const std::string& text)
{
    CExifEntry* e = exif.FindEntry(tag, 0, subDirectory);
    if (e && e->m_type != 2) {
        exif.RemoveEntry(e);
        e = nullptr;
    }
    if (!e)
        e = exif.InsertEntry(std::make_unique<CExifEntry>(&exif, 0, subDirectory, tag, 2, kDateBytes));
    e->m_count = kDateBytes;
    e->m_value.assign(kDateBytes, 0);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), kDateBytes - 1), e->m_value.begin());
}

// The date the source was taken, as its Exif block says; empty when it says nothing.
std::string ShootingDate(const CExifFile& source)
{
    const CExifEntry* e = source.FindEntry(kTagDateTimeOriginal, 0, kSubExif);
    if (!e)
        return {};
    std::string text = e->GetText();
    if (text.size() > kDateBytes)
        text.resize(kDateBytes);
    return text.find_first_not_of(' ') == std::string::npos ? std::string() : text;
}

} // namespace

std::string ExifDateNow()
{
    const SYSTEMTIME t = GetCurrentLocalTime();
    char text[64];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

bool IsCameraName(const std::string& path)
{
    const fs::path name(UpperKeepingOffsets(fs::path(path).filename().string()));
    const std::string stem = name.stem().string();
    return name.extension() == ".JPG" && stem.size() == 8 && stem.compare(0, 4, "PICT") == 0 &&
           std::all_of(stem.begin() + 4, stem.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string NextCameraName(const std::string& savedPath)
{
    const fs::path path(savedPath);
    const std::string stem = path.stem().string();
    int number = 0;
    if (stem.size() >= 4)
        std::from_chars(stem.data() + stem.size() - 4, stem.data() + stem.size(), number);
    char name[32];
    std::snprintf(name, sizeof name, "PICT%04d", number + 1);
    return (path.parent_path() / name).string();
}

DWORD BuildCameraExif(CFile& templ, CFile& target, const CImageBuffer& image, const std::string& shootingDate,
                      int kind)
{
    const std::string now = ExifDateNow();
    CExifFile exif;
    if (exif.Attach(&templ, kExifJpeg) != 0)
        return 0;
    if (CExifEntry* playable = exif.FindEntry(kTagPlayable, 0, kSubMaker))
        playable->SetByte(1, 0);
    SetDate(exif, kTagDateTime, kSubMain, now);
    SetDate(exif, kTagDateTimeOriginal, kSubExif, shootingDate.empty() ? now : shootingDate);
    SetDate(exif, kTagDateTimeDigitized, kSubExif, now);

    CExifEntry* note = exif.FindEntry(kTagMakerNote, 0, kSubExif);
    DWORD size = 0;
    if (kind == kExifJpeg) {
        if (note)
            note->m_fixedValueOffset = kMakerNoteAtJpeg;
        CMemFile thumbnail;
        CSize thumbSize;
        const DWORD thumbBytes = MakeExifThumbnail(image, thumbSize, thumbnail);
        if (thumbBytes > 0)
            exif.WriteExif(&target, size, thumbnail.Data().data(), thumbBytes, image.GetWidth(), image.GetHeight(),
                           thumbSize.cx, thumbSize.cy, kExifJpeg, -1);
    } else if (kind == kExifTiff) {
        if (note)
            note->m_fixedValueOffset = kMakerNoteAtTiff;
        exif.WriteExif(&target, size, nullptr, 0, image.GetWidth(), image.GetHeight(), 0, 0, kExifTiff, -1);
    }
    return size;
}

bool SaveCameraCopy(CWnd* parent, const std::string& source, std::string& suggestion)
{
    CImageBuffer picture;
    CItemDecodeResult result;
    if (!DecodeItemWithProgress(parent, -1, picture, source, 0, TRUE, &result)) {
        ReportDecodeFailure(result);
        return false;
    }
    picture.ConvertToBitsPerPixel(24);

    std::string target;
    for (;;) {
        target = suggestion;
        if (!AfxPromptFileName(target, FALSE, std::string(), QtFileFilter(LoadResString(IDS_CAMERA_FILTER))) ||
            target.empty())
            return false;
        const bool extensionAdded = !fs::path(target).has_extension();
        std::string named = extensionAdded ? target + ".JPG" : target;
        if (!IsCameraName(named)) {
            AfxMessageBox(IDS_NOT_CAMERA_NAME);
            continue;
        }
        if (!CompleteSaveName(target, ".JPG"))
            continue;
        break;
    }

    // The source's own metadata: the date it was taken, the part of its
    // profile segment the copy keeps, and its main tags.
    const int sourceKind = GetMetadataFileKind(source);
    CFile sourceFile;
    CExifFile metadata;
    const bool parsed = sourceKind != kExifUnsupported && sourceFile.Open(source, CFile::modeRead) &&
                        metadata.Attach(&sourceFile, sourceKind) == 0;
    const std::string shootingDate =
        parsed && (sourceKind == kExifJpeg || sourceKind == kExifTiff) ? ShootingDate(metadata) : std::string();
    CIccProfileData profile;
    {
        CPelkorEngine engine;
        CColorMatcher(&engine).GetInputProfile(profile, source);
    }

    // The copy is a JPEG whatever the source was, so its Exif block is one
    // for a JPEG file: a TIFF-form block there would read as garbage.
    const std::vector<uint8_t> templateBytes = res::BinaryResource("JPEG", kCameraTemplateId);
    CMemFile templ(templateBytes);
    CMemFile exifBlock;
    // Without its camera block the copy is no copy a camera plays: none is written.
    if (BuildCameraExif(templ, exifBlock, picture, shootingDate, GetMetadataFileKind(target)) == 0) {
        AfxMessageBox(IDS_UNABLE_TO_SAVE);
        return false;
    }
    CMemFile profileBlock;
    CMemFile mainTags;
    WriteExifAndProfile(profileBlock, parsed && sourceKind == kExifJpeg ? &metadata : nullptr, &profile);
    if (parsed)
        CopyMainTags(mainTags, metadata);
    if (ExportImageFile(parent, picture, &profile, &exifBlock, &profileBlock, &mainTags, source, target,
                        ImageSaveValues{}) != 0)
        return false;
    suggestion = target;
    return true;
}
