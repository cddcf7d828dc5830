#include "browser/file_item.h"

#include "browser/file_item_store.h"

#include "util/geometry.h"
#include "util/path_util.h"
#include "ui/ui_services.h"
#include "imaging/exif_file.h"
#include "imaging/image_importer.h"
#include "imaging/jpeg_codec.h"
#include "imaging/program_folders.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/path.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {

uint64_t g_maxVerifiedJpegBytes = kMaxVerifiedJpegBytes;
// The date the picture was taken: "YYYY:MM:DD HH:MM:SS" and its zero.
constexpr size_t kDateTakenBytes = 20;

std::string& HomeFolder()
{
    static std::string folder;
    return folder;
}

std::string UpperExtension(const std::string& path)
{
    std::string ext = ExtensionOf(path);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

// The importer's raw information of a picture the browser shows; false for
// anything else. Without a host of the caller's, one is made for the call.
bool ReadPictureInfo(const std::string& path, CImageImporter* importer, QrRawImageInfo& info)
{
    // A sound or a message is never a picture: no need to ask every plug-in
    // again each time.
    if (path.empty() || IsWavFile(path) || IsMessageFileName(path))
        return false;
    std::unique_ptr<CImageImporter> own;
    if (!importer) {
        own = std::make_unique<CImageImporter>(GetItemImporterPattern());
        importer = own.get();
    }
    return importer->GetRawImageInfo(path, info) && IsBrowserPictureType(info.pixelType);
}

} // namespace

uint64_t MaxVerifiedJpegBytes() { return g_maxVerifiedJpegBytes; }

void SetMaxVerifiedJpegBytes(uint64_t bytes) { g_maxVerifiedJpegBytes = bytes; }

bool IsBrowserPictureType(int pixelType)
{
    return pixelType == 11 || pixelType == 13 || pixelType == 16 || pixelType == 18;
}

const std::string& GetItemHomeFolder()
{
    if (HomeFolder().empty())
        HomeFolder() = GetHomePath();
    return HomeFolder();
}

void SetItemHomeFolder(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    HomeFolder() = std::move(folder);
}

std::string GetItemImporterPattern() { return GetItemHomeFolder() + "Importer/*.gim"; }

CFileStamp CFileStamp::Of(const std::string& path)
{
    CFileStamp stamp;
    struct stat st{};
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.size = st.st_size;
    stamp.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}

CFileItem::CFileItem(int listIndex, const std::string& path)
    : m_nListIndex(listIndex), m_nImageSlot(listIndex), m_strPath(path)
{
}

CFileItem::~CFileItem() = default;

BOOL CFileItem::IsTkf() const { return IsTkfFile(m_strPath); }
BOOL CFileItem::IsWav() const { return IsWavFile(m_strPath); }
BOOL CFileItem::IsJpeg() const { return IsJpegFile(m_strPath); }
BOOL CFileItem::IsTiff() const { return IsTiffFile(m_strPath); }
BOOL CFileItem::IsBmp() const { return IsBmpFile(m_strPath); }
BOOL CFileItem::IsMovie() const { return IsMovieFile(m_strPath); }

int CFileItem::ProbeImageType() const
{
    const std::string e = UpperExtension(m_strPath);
    if (e == "JPEG" || e == "JPE" || e == "JFIF" || e == "JPG")
        return kProbeJpeg;
    if (e == "TIFF" || e == "TIF")
        return kProbeTiff;
    if (e == "TKF")
        return kProbeTkf;
    return kProbeOther;
}

void CFileItem::ReadFileTime()
{
    struct stat st{};
    if (!m_strPath.empty() && stat(m_strPath.c_str(), &st) == 0) {
        m_fileTime = st.st_mtim.tv_sec;
        m_fileSize = S_ISDIR(st.st_mode) ? 0 : st.st_size;
    }
}

bool CFileItem::ReadRawInfo(CImageImporter* importer)
{
    QrRawImageInfo info{};
    if (!ReadPictureInfo(m_strPath, importer, info))
        return false;
    m_nTypeCode = info.pixelType;
    m_pictureSize = CSize(info.width, info.height);
    m_importSize = m_pictureSize;
    m_nBitDepth = info.bitsFactor1 * info.bitsFactor2;
    const RECT bound{0, 0, kThumbnailBound, kThumbnailBound};
    const RECT picture{0, 0, info.width, info.height};
    RECT fitted{};
    FitRectKeepAspect(&bound, &picture, &fitted, 1);
    m_thumbSize = CSize(fitted.right - fitted.left, fitted.bottom - fitted.top);
    return true;
}

bool CFileItem::EnsureInfo(CImageImporter* importer)
{
    if (m_bInfoRead)
        return true;
    if (!ReadRawInfo(importer))
        return false;
    QueryImageFileInfo(m_strPath, m_exifInfo, m_makerInfo, &m_makerFlags, &m_makerCheck);
    // Kept apart: sorting by it would otherwise look it up at every sort.
    m_strInfoComment = m_exifInfo.IsValid() ? m_exifInfo.GetItemText(kExifItemComment) : std::string();
    m_bInfoRead = TRUE;
    return true;
}

int CFileItem::ResetThumbnail(BOOL readInfo, CImageImporter* importer)
{
    if (m_nListIndex >= GetFileItemCount())
        return 0;
    m_thumbSize = CSize(kThumbnailBound, 120);
    if (m_nListIndex < 0)
        return 0;
    // A message shows its photograph, which its own reader reads later.
    const bool picture = !IsWavFile(m_strPath) && !IsMovieFile(m_strPath) && !IsMessageFileName(m_strPath);
    if (picture && readInfo) {
        // Reading the information asks the importer the same question first.
        if (!EnsureInfo(importer))
            return 0;
    } else if (picture) {
        QrRawImageInfo info{};
        if (!ReadPictureInfo(m_strPath, importer, info))
            return 0;
    }
    m_outputSize = CSize(0, 0);
    // A scan gives the time it read with the folder's listing.
    if (m_fileTime < 0)
        ReadFileTime();
    if (readInfo && !picture)
        EnsureInfo(importer);
    m_bMessageFile = IsMessageFileName(m_strPath);
    return 1;
}

std::string CFileItem::FormatCaption(int index, BOOL withDetails) const
{
    std::string text = LastNameOf(m_strPath);
    if (!withDetails)
        return text;
    text += '\n';
    const time_t t = static_cast<time_t>(m_fileTime);
    struct tm local{};
    if (m_fileTime >= 0 && localtime_r(&t, &local)) {
        char date[32];
        std::snprintf(date, sizeof date, "%02d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        text += date;
    }
    text += '\n';
    if (m_pictureSize.cx > 0 && m_pictureSize.cy > 0)
        text += std::to_string(m_pictureSize.cx) + " x " + std::to_string(m_pictureSize.cy);
    return text;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes)
{
    try {
        CFile file(path, CFile::modeRead);
        if (file.GetLength() > maxBytes)
            return false;
        bytes = file.ReadUpTo(maxBytes);
        return true;
    } catch (const CException&) {
        return false;
    }
}

void VerifyItemImage(CFileItem* item)
{
    if (!item)
        return;
    item->m_verifyState = CFileItem::kVerifyImpossible;
    if (!IsJpegFile(item->GetPath()) || item->m_makerCheck == 0)
        return;
    uint32_t sum = 0;
    try {
        CFile file(item->GetPath(), CFile::modeRead);
        CExifFile exif;
        if (exif.Attach(&file, kExifJpeg) != 0)
            return;
        const CExifEntry* taken = exif.FindEntry(kTagDateTimeOriginal, 0, kSubAny);
        if (!taken || taken->GetDataSize() != kDateTakenBytes)
            return;
        for (size_t i = 0; i < kDateTakenBytes; ++i)
            sum += taken->GetData()[i];
    } catch (const CException&) {
        return;
    }
    if (sum == 0)
        return;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(item->GetPath(), bytes, g_maxVerifiedJpegBytes))
        return;
    std::optional<std::vector<uint8_t>> scan;
    try {
        scan = JpegCopyScanData(bytes.data(), bytes.size());
    } catch (const CException&) {
        return;
    }
    if (!scan)
        return;
    for (uint8_t b : *scan)
        sum += b;
    const uint32_t folded = (sum & 0xFF) + ((sum >> 8) & 0xFF) + ((sum >> 16) & 0xFF) + (sum >> 24);
    item->m_verifyState =
        static_cast<WORD>(~folded & 0xFFFF) == item->m_makerCheck ? CFileItem::kVerifyMatches : CFileItem::kVerifyDiffers;
}
