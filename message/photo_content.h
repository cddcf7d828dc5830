#pragma once

#include "imaging/icc_profile_data.h"
#include "imaging/image_buffer.h"
#include "message/ano_record.h"
#include "message/byte_tables.h"
#include "platform/archive.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One comment in the comment tree: its depth (0 on the photograph, 1 a reply,
// ...) and the record. Copies copy the record whole.
struct CAnoElement {
    CAnoElement() = default;
    CAnoElement(int32_t depth, std::unique_ptr<CAnoRecord> record) : m_nDepth(depth), m_pRecord(std::move(record)) {}
    CAnoElement(const CAnoElement& o)
        : m_nDepth(o.m_nDepth), m_pRecord(o.m_pRecord ? std::make_unique<CAnoRecord>(*o.m_pRecord) : nullptr)
    {
    }
    CAnoElement& operator=(const CAnoElement& o)
    {
        if (this != &o) {
            m_nDepth = o.m_nDepth;
            m_pRecord = o.m_pRecord ? std::make_unique<CAnoRecord>(*o.m_pRecord) : nullptr;
        }
        return *this;
    }
    CAnoElement(CAnoElement&&) noexcept = default;
    CAnoElement& operator=(CAnoElement&&) noexcept = default;

    int32_t m_nDepth = 0;
    std::unique_ptr<CAnoRecord> m_pRecord;
};

// The whole content of one message: the photograph, the comment tree in tree
// order (a comment, then its replies) and the few values of the message file.
// The document owns one; printing, the web page writer and comment search
// build their own. It knows no document or window.
class CAPhotoContent {
public:
    // Files shorter than this cannot hold a header; longer than the cap are refused unread.
    static constexpr uint64_t kMinFileBytes = 6;
    static constexpr uint64_t kMaxFileBytes = 2ull << 30;
    static constexpr int kMailWidth = 1024;
    static constexpr int kMailHeight = 768;
    static constexpr int kMailAttachWidth = 640;
    static constexpr int kMailAttachHeight = 480;

    explicit CAPhotoContent(int quality);
    // The reserved text is not copied.
    CAPhotoContent(const CAPhotoContent& other);
    CAPhotoContent& operator=(const CAPhotoContent&) = delete;
    virtual ~CAPhotoContent();

    // Everything of other moves here (the tables stay); other is left empty.
    // Lets a message be read whole aside and then replace this one, so a
    // failed read leaves this content as it was.
    void TakeOver(CAPhotoContent& other);

    // The message file: the body, every byte through the writing table.
    bool WriteBody(CArchive& ar);
    // Reads a message file (substituted, or the plain "#7320" form). Throws
    // CArchiveException or CMemoryException on damage; the content then holds
    // what was read so far and the caller discards it. Not whole, only the
    // comments' texts are read: the photograph and the comments' attached
    // data and pictures are passed over by their counts, undecoded.
    void ReadBody(CArchive& ar, bool whole = true);

    // The parts of the body, each both ways on one archive.
    void SerializeHeader(CArchive& ar);
    void SerializeMainImage(CArchive& ar, uint8_t (*block)[32] = nullptr);
    void SerializeComments(CArchive& ar);
    void WriteCommentTree(CArchive& ar);
    void ReadCommentTree(CArchive& ar);
    void WriteInfo(CArchive& ar);
    void ReadInfo(CArchive& ar);
    void SerializeTrailer(CArchive& ar);
    // The main picture as a 32-bit count and JPEG data.
    void StoreImageBlob(CArchive& ar);
    void FetchImageBlob(CArchive& ar);

    // The texts of a message read as UTF-8 when every one of them is; a
    // message written where the code page was Shift-JIS holds some that are
    // not, and then all of them are read as Shift-JIS.
    void TakeTextsAsUtf8();

    void BuildByteTables();
    const ByteTable& GetWriteTable() const { return m_writeTable; }
    const ByteTable& GetReadTable() const { return m_readTable; }

    // The photograph. While it is unchanged since it was read, saving writes
    // back the JPEG data that were read, so a message loses no quality by
    // being saved again; any change goes through EditImage or TakeImage.
    const CImageBuffer& GetImage() const { return m_image; }
    CImageBuffer& EditImage();
    void TakeImage(CImageBuffer& image);
    bool HasOriginalJpeg() const { return !m_originalJpeg.empty(); }

    // The version read, in hundredths.
    int GetVersionNumber() const;

    void RemoveAllComments() { m_comments.clear(); }
    // Keeps only the comments on the photograph (depth 0).
    void RemoveReplies();
    // Fits the photograph into 1024 x 768 and moves the comments with it;
    // image attachments are refitted into 640 x 480.
    void ShrinkForMail();

    std::string m_strReserved;
    std::string m_strVersion;
    int32_t m_nReadOnly = 0;
    int32_t m_nPictureState = 0;
    std::string m_strPictureText;
    CIccProfileData m_profile;
    std::string m_strInfoText;
    int32_t m_nInfoValue = 0;
    int32_t m_nQuality;
    std::vector<CAnoElement> m_comments;

private:
    CImageBuffer m_image;
    ReadBuffer m_originalJpeg; // the data m_image was decoded from, while unchanged
    ByteTable m_writeTable{};
    ByteTable m_readTable{};
    bool m_bTextOnly = false; // while a body is read for its comments' texts
};

// Reads the message file at path whole into content. False when it cannot
// be opened or read, or is damaged; content then holds a part and is
// discarded. The content's reader checks every count against the bytes
// there and refuses files past its size limit before allocating.
bool ReadMessageFile(const std::string& path, CAPhotoContent& content, bool whole = true);
