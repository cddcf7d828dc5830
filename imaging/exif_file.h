#pragma once

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CFile;
class CExifFile;
class ByteReader;
class CDibBitmap;

// File kinds the metadata reader knows.
enum ExifFileKind : int { kExifJpeg = 0, kExifTiff = 1, kExifRaw = 2, kExifUnsupported = 3 };

// Sub-directory numbers: where in the file a directory-0 entry lives.
enum ExifSubDirectory : WORD {
    kSubAny = 0,
    kSubMain = 1,
    kSubExif = 2,
    kSubGps = 3,
    kSubInterop = 4,
    kSubMaker = 5,
};

// Tags the metadata code itself acts on.
enum ExifTag : WORD {
    kTagJpegOffset = 513,
    kTagExifPointer = 34665,
    kTagGpsPointer = 34853,
    kTagDateTimeOriginal = 36867,
    kTagMakerNote = 37500,
    kTagUserComment = 37510,
    kTagInteropPointer = 40965,
    kTagInterColorProfile = 34675,
};

// One tag of a picture's tag directories. The value block keeps the byte order
// of the owning file; every accessor converts, so callers see native numbers.
class CExifEntry {
public:
    // A new entry with a zero-filled value of GetTypeSize(type, count) bytes.
    CExifEntry(CExifFile* owner, WORD directory, WORD subDirectory, WORD tag, WORD type, DWORD count);
    virtual ~CExifEntry() = default;
    CExifEntry(const CExifEntry&) = delete;
    CExifEntry& operator=(const CExifEntry&) = delete;

    // Bytes of count values of a type; 0 for unknown types.
    static uint64_t GetTypeSize(WORD type, uint64_t count);
    static unsigned GetUnitSize(WORD type);

    BYTE* GetData() { return m_value.empty() ? nullptr : m_value.data(); }
    const BYTE* GetData() const { return m_value.empty() ? nullptr : m_value.data(); }
    size_t GetDataSize() const { return m_value.size(); }

    BYTE GetByte(int index) const;
    WORD GetShort(int index) const;
    int16_t GetSShort(int index) const;
    DWORD GetLong(int index) const;
    LONG GetSLong(int index) const;
    // Magnitudes and a sign (+1/-1); 0, 0, 0 for types other than RATIONAL/SRATIONAL.
    void GetRational(DWORD& numerator, DWORD& denominator, int& sign, int index) const;
    float GetFloat(int index) const;
    double GetDouble(int index) const;

    // A negative index sets every value.
    void SetByte(BYTE value, int index);
    void SetChar(char value, int index);
    void SetShort(WORD value, int index);
    void SetLong(DWORD value, int index);
    void SetSLong(LONG value, int index);
    void SetRational(DWORD numerator, DWORD denominator, int sign, int index);
    void SetValue(LONG number, int index);

    // The text behind the 8-byte character code and the code's index
    // (0 ASCII, 1 JIS, 2 UNICODE, 3 undefined); nullopt and -1 when no code matches.
    std::optional<std::string> GetUserComment(int& code) const;
    static int UserCommentCode(std::span<const BYTE> value);
    // A UNICODE comment read from a Motorola-order file is held in Intel order.
    void NormalizeUserComment();
    void GetDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second) const;
    // The value's bytes up to its first zero byte (all of them when it has
    // none), as the text of an ASCII entry.
    std::string GetText() const;

    // The value in the given byte order, converted value by value.
    std::vector<BYTE> Encode(bool bigEndian) const;
    std::vector<BYTE> EncodeIntel() const { return Encode(false); }

    WORD m_tag = 0;
    WORD m_type = 0;
    DWORD m_count = 0;
    WORD m_directory = 0;
    WORD m_subDirectory = 0;
    std::vector<BYTE> m_value;
    CExifFile* m_owner = nullptr;
    int64_t m_fileOffset = -1;
    // Base-relative place of a value read from outside its record; -1 otherwise.
    int64_t m_valueOffset = -1;
    // 0, or the base-relative offset at which the writer places the value.
    int32_t m_fixedValueOffset = 0;

private:
    friend class CExifFile;
    CExifEntry() = default;
    bool BigEndian() const;
    // Byte offset of value index of unit size, or nullopt when it is not there.
    std::optional<size_t> Slot(int index, unsigned unit) const;
    uint16_t Load16(size_t at) const;
    uint32_t Load32(size_t at) const;
    uint64_t Load64(size_t at) const;
    void Store16(size_t at, uint16_t v);
    void Store32(size_t at, uint32_t v);
    void Set32(uint32_t value, int index);
};

// The entries of a picture in list order; the list owns them.
using ExifEntryList = std::vector<std::unique_ptr<CExifEntry>>;

// The Exif/TIFF tag directories of one JPEG, TIFF or raw-format picture as one
// list of entries, with the picture's colour profile, first APP2 segment, maker
// note and thumbnail. Never throws on bad input: results are 0 or -1.
class CExifFile {
public:
    // Chains longer than this are cut: real files hold a handful of directories.
    static constexpr int kMaxChainDirectories = 256;
    static constexpr size_t kMaxEntries = 65536;
    // A TIFF structure is held in memory whole while its metadata are read,
    // so larger streams are not read for them. The largest camera pictures
    // saved as 16-bit TIFFs (150 million pixels, about 900 MB) stay under it.
    static constexpr uint64_t kMaxTiffBytes = 1ull << 30;
    // The limit in force: kMaxTiffBytes unless set otherwise.
    static uint64_t MaxTiffBytes();
    static void SetMaxTiffBytes(uint64_t bytes);
    // Content of an APP1 segment: 65535 minus the length word.
    static constexpr size_t kMaxApp1Content = 65533;
    // Thumbnails of more pixels than this are not decoded.
    static constexpr uint64_t kMaxThumbnailPixels = 4096ull * 4096ull;

    CExifFile();
    virtual ~CExifFile();
    CExifFile(const CExifFile&) = delete;
    CExifFile& operator=(const CExifFile&) = delete;

    short Parse(int kind);
    // Remembers the stream (the caller keeps it) and parses it.
    short Attach(CFile* stream, int kind);
    CFile* GetStream() const { return m_stream; }
    int GetFileKind() const { return m_fileKind; }

    // 1 when the directory-1 thumbnail was decoded into the bitmap, else 0.
    int GetThumbnail(CDibBitmap& bitmap);
    BOOL GetMakerPreview(CDibBitmap& bitmap);

    // Entries. A sub-directory of 0 matches any.
    const ExifEntryList& GetEntries() const { return m_entries; }
    CExifEntry* FindFirstEntry(int directory, int subDirectory, const CExifEntry* start = nullptr) const;
    CExifEntry* GetFirstEntry() const { return m_entries.empty() ? nullptr : m_entries.front().get(); }
    CExifEntry* FindLastEntryOfDirectory(int directory) const;
    CExifEntry* GetLastEntry() const { return m_entries.empty() ? nullptr : m_entries.back().get(); }
    CExifEntry* FindEntry(WORD tag, int directory, int subDirectory) const;
    int CountEntries(int directory, int subDirectory) const;
    void RemoveEntry(const CExifEntry* entry);
    // Placed by tag order inside its directory's run; the entry, now owned here.
    CExifEntry* InsertEntry(std::unique_ptr<CExifEntry> entry);
    void RemoveAllEntries();

    bool IsBigEndian() const { return m_bigEndian; }
    int64_t GetBase() const { return m_base; }

    // The attached stream, in the file's byte order.
    short ReadU16(WORD& out);
    short ReadU32(DWORD& out);
    size_t Read(void* buffer, size_t count);
    // Origin 0 start, 1 current, 2 base.
    void Seek(int64_t position, int origin);
    uint64_t GetPosition() const;
    size_t Write(const void* buffer, size_t count);
    uint64_t GetLength() const;
    void SetLength(uint64_t length);

    // Thumbnail of directory 1: kind 1 uncompressed strip, 2 JPEG.
    short GetThumbnailInfo(int& kind, DWORD& size) const;
    short GetThumbnailSize(int& width, int& height) const;
    short ReadStripThumbnail(BYTE* buffer, size_t size) const;
    short ReadJpegThumbnail(BYTE* buffer, size_t size) const;

    // Colour profile (joined APP2 pieces or TIFF tag 34675) and the first APP2 content.
    std::span<const BYTE> GetColorProfile() const { return m_profile; }
    std::span<const BYTE> GetFirstApp2() const { return m_firstApp2; }
    // The part of the first APP2 content in front of "ICC_PROFILE".
    std::span<const BYTE> GetApp2Prefix() const;
    void CollectColorProfile(int kind);

    static bool IsKnownMakerNote(std::span<const BYTE> value);
    // 1 to 20; the browser shows 100 minus it as the picture's quality.
    int GetQualityReduction() const;

    // Writes the whole Exif block (kind 0: APP1 content; kind 1: the block for a
    // TIFF writer) to the target, which becomes the attached stream. The block
    // is in Intel order, but an APP1 block that carries a camera's maker note
    // keeps the source's order and the note's place (see exif_write.cpp).
    short WriteExif(CFile* target, DWORD& size, const BYTE* thumbnail, DWORD thumbnailSize, int width, int height,
                    int thumbnailWidth, int thumbnailHeight, int outputKind, int16_t lightSource);
    void PrepareForWrite(DWORD thumbnailSize, int width, int height, int thumbnailWidth, int thumbnailHeight,
                         int outputKind, int16_t lightSource);

    // Replaces one tag of the Exif directory of the attached file.
    short UpdateTag(int kind, WORD tag, WORD type, const BYTE* data, size_t size);
    // Code 0 ASCII, 1 JIS, 2 UNICODE (text as 16-bit units in Intel order).
    short SetUserComment(CFile* stream, int kind, int code, const BYTE* text, size_t length);

    static std::optional<size_t> FindBytes(const char* pattern, std::span<const BYTE> buffer);
    static std::optional<size_t> FindIccSignature(std::span<const BYTE> buffer);
    // Swaps red and blue of each 3-byte pixel and reverses the row order.
    static void FlipRgbRows(int width, BYTE* pixels, int height);

private:
    friend class CExifEntry;

    // Where the TIFF structure of a file stands.
    struct TiffArea {
        std::vector<BYTE> bytes;    // from the TIFF header on
        int64_t base = 0;           // stream position of the TIFF header
        uint32_t app1Length = 0;    // JPEG: the APP1 segment's length word
    };
    // Reads the container header of the kind from the stream position and at
    // most limit bytes of the TIFF area behind it; false when the container
    // does not match.
    bool LoadTiffArea(int kind, TiffArea& area, uint64_t limit);
    short ReadMetadata(int kind);
    // Reads one directory at offset; its entries go in at list index at (at the
    // end when at is npos). next receives the next-directory offset.
    short ReadDirectoryAt(ByteReader& reader, uint32_t offset, WORD directory, WORD subDirectory, size_t at,
                          uint32_t& next);
    std::unique_ptr<CExifEntry> ReadEntryAt(ByteReader& reader, uint64_t record, WORD directory, WORD subDirectory);
    // The list index behind the first run of the directory's entries; 0 when it has none.
    size_t EndOfFirstRun(int directory) const;
    bool ProbeByteOrder(int kind);
    struct BlockPlan;
    BlockPlan PlanMakerNote(int outputKind) const;
    std::vector<std::pair<uint64_t, std::vector<BYTE>>> UnclaimedRuns() const;
    std::optional<std::vector<BYTE>> BuildBlock(const BlockPlan& plan, const BYTE* thumbnail, DWORD thumbnailSize,
                                                int outputKind) const;
    std::vector<BYTE> EncodeMakerNote(uint32_t valueOffset) const;
    void SettleExifVersion();

    CFile* m_stream = nullptr;
    int m_fileKind = kExifUnsupported;
    bool m_bigEndian = true;
    int64_t m_base = 0;
    ExifEntryList m_entries;
    std::vector<BYTE> m_tiff;   // the TIFF structure as read, for thumbnails
    uint32_t m_app1Length = 0;  // JPEG: the Exif segment's length word
    // Where the directories read stand (offset, bytes), so a rewrite knows
    // which bytes of the structure nothing it writes accounts for.
    std::vector<std::pair<uint64_t, uint64_t>> m_directorySpans;
    std::vector<BYTE> m_profile;
    std::vector<BYTE> m_firstApp2;
    uint64_t m_valueBytes = 0;  // value bytes allocated while reading
};

// Where a JPEG's Exif APP1 segment stands, positions from the file's start.
struct ExifSegment {
    uint64_t marker = 0;  // its FF E1
    uint32_t length = 0;  // its length word, which counts itself
    uint64_t LengthAt() const { return marker + 2; }
    uint64_t Base() const { return marker + 10; } // the TIFF header, behind "Exif" and two NULs
    uint64_t End() const { return marker + 2 + length; }
};
// The one rule for where a JPEG keeps its Exif data: an APP1 segment whose
// identifier begins "Ex", directly behind the start marker or behind JFIF and
// JFXX APP0 segments only. Any other segment in front of it means no Exif.
std::optional<ExifSegment> FindExifSegment(std::span<const BYTE> file);
// The same over a stream, from its position (the positions then count from
// there); the stream is left anywhere.
std::optional<ExifSegment> FindExifSegment(CFile& file);

// The bytes a saved JPEG's APP2 segments receive: the first APP2 content's part
// in front of its profile signature, then the profile; the prefix is left out
// when the two together would reach 0x10000 bytes.
std::vector<BYTE> JoinApp2PrefixAndProfile(std::span<const BYTE> prefix, std::span<const BYTE> profile);
