#pragma once

#include "imaging/exif_text_formatter.h"
#include "imaging/image_info_set.h"
#include "platform/framework/runtime_class.h"
#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CImageImporter;

// Pixel types of the pictures the browser shows (24- and 48-bit colour).
bool IsBrowserPictureType(int pixelType);

// The home folder (ending in "/") whose importer plug-ins read the items'
// files ("<home>/Importer/*.gim"). The item store sets it at start-up;
// tests point it at their own build.
const std::string& GetItemHomeFolder();
void SetItemHomeFolder(std::string folder);
std::string GetItemImporterPattern();

// What identifies one version of a file's contents: a save over it (always
// a new file renamed into place) or an outside edit changes at least one.
struct CFileStamp {
    int64_t size = -1;
    int64_t modifiedNs = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    bool operator==(const CFileStamp&) const = default;
    // The file's stamp now; size -1 when it cannot be read.
    static CFileStamp Of(const std::string& path);
};

// One entry of the browsed folder: a picture, a movie or a sound file, with
// what the browser has learned about it so far. Items belong to the item
// store; their fields are read and written under the browser's item lock.
class CFileItem : public CObject {
public:
    // Verification states of VerifyItemImage.
    enum : WORD { kVerifyNotDone = 0, kVerifyMatches = 1, kVerifyDiffers = 2, kVerifyImpossible = 3 };
    // Kinds of ProbeImageType.
    enum : int { kProbeJpeg = 0, kProbeTiff = 1, kProbeTkf = 2, kProbeOther = 3 };
    // Thumbnails are made to fit this square.
    static constexpr int kThumbnailBound = 160;

    CFileItem(int listIndex, const std::string& path);
    ~CFileItem() override;
    CFileItem(const CFileItem&) = delete;
    CFileItem& operator=(const CFileItem&) = delete;

    const std::string& GetPath() const { return m_strPath; }
    const std::string& GetSecondName() const { return m_strSecondName; }
    void SetSecondName(const char* name) { m_strSecondName = name ? name : ""; }
    BOOL HasSecondName() const { return !m_strSecondName.empty(); }
    BOOL IsMessageFile() const { return m_bMessageFile; }
    int GetBitDepth() const { return m_nBitDepth; }
    // The picture's comment (information item 7034), as the information read gave it.
    const std::string& GetInfoComment() const { return m_strInfoComment; }
    BOOL HasMakerFlag8() const { return (m_makerFlags & 8) != 0; }
    WORD GetVerifyState() const { return m_verifyState; }
    void ClearVerifyState() { m_verifyState = kVerifyNotDone; }
    CSize GetImageSize() const { return m_pictureSize; }

    BOOL IsTkf() const;
    BOOL IsWav() const;
    BOOL IsJpeg() const;
    BOOL IsTiff() const;
    BOOL IsBmp() const;
    BOOL IsMovie() const;
    // 0 JPEG, 1 TIFF, 2 the raw format, 3 anything else, by extension.
    int ProbeImageType() const;

    // The file's last-write time and length; unchanged when the file cannot be read.
    void ReadFileTime();
    // The importer's raw information of a picture the browser shows: type,
    // sizes, depth and the fitted thumbnail size. False (nothing changed)
    // for anything else. A scan passes its one host so that the plug-ins are
    // loaded once; without one the item makes its own.
    bool ReadRawInfo(CImageImporter* importer = nullptr);
    // Reads the raw information and the picture information once; false (to
    // be tried again) while the raw information cannot be read.
    bool EnsureInfo(CImageImporter* importer = nullptr);
    // Takes the item in as a fresh candidate of a folder scan; 0 when it is
    // not an item the browser shows. The file's time is read unless the
    // scan has set it from the folder's listing.
    int ResetThumbnail(BOOL readInfo, CImageImporter* importer = nullptr);
    // The thumbnail's caption: the file name, and with details the file date
    // "yyyy/mm/dd" and "w x h" on lines of their own.
    std::string FormatCaption(int index, BOOL withDetails) const;

    // Fields, as the scan, the cache, the sort and the output read them.
    int m_nTypeCode = 0;
    std::string m_strSoundPath;
    int m_nListIndex;
    int m_nImageSlot;
    CSize m_outputSize;
    int m_nResampleMode = 0;
    int64_t m_fileTime = -1;
    // The file's length, read with its time; -1 until read.
    int64_t m_fileSize = -1;
    CSize m_pictureSize;
    CSize m_importSize;
    std::string m_strPath;
    int m_nBitDepth = 0;
    // Set by the thumbnail loader's thread, read by painting without the item lock.
    std::atomic<CSize> m_thumbSize;
    int m_bMirrorH = 0;
    int m_bMirrorV = 0;
    int m_nRotation = 0;
    CExifTextFormatter m_formatter;
    CExifInfoSet m_exifInfo{&m_formatter};
    CMakerInfoSet m_makerInfo{&m_formatter};
    BOOL m_bMessageFile = FALSE;
    BYTE m_makerFlags = 0;
    WORD m_makerCheck = 0;
    WORD m_verifyState = kVerifyNotDone;
    int m_nSaveMode = 0;
    BOOL m_bInfoRead = FALSE;
    std::string m_strSecondName;
    std::string m_strInfoComment;
    // The file as it was when its decoded picture went into the raw cache.
    CFileStamp m_rawCacheStamp;
};

// Checks a camera JPEG's pictures against the check word its maker note
// carries, and stores the answer in the item's verification state.
void VerifyItemImage(CFileItem* item);
// The whole file is read for the check; nothing a camera writes comes near this.
inline constexpr uint64_t kMaxVerifiedJpegBytes = 256ull << 20;
// The limit in force: kMaxVerifiedJpegBytes unless set otherwise.
uint64_t MaxVerifiedJpegBytes();
void SetMaxVerifiedJpegBytes(uint64_t bytes);

// A whole file read into memory, at most maxBytes; false when it cannot be
// read or is larger.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes);
