#include "message/photo_content.h"

#include "util/string_util.h"
#include "message/message_version.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr char kTag[] = "#7321";
constexpr char kOldTag[] = "#7320";

enum Token : int32_t { kDeeper = 1, kShallower = 2, kRecord = 3 };

[[noreturn]] void Damaged(CArchive& ar, int cause = CArchiveException::genericException)
{
    throw CArchiveException(cause, ar.GetFilePath());
}

// Bytes substituted at once on their way in or out: few enough that they are
// still in the processor's cache when the system copies them.
constexpr size_t kSubstitutionStep = 256u << 10;

// The message body on its way to the file: every byte through the writing
// table as it is copied into a block, and the block written when it is full,
// so that the body is never held whole in memory nor copied twice.
class CSubstitutingFile : public CFile {
public:
    static constexpr size_t kBlockBytes = kSubstitutionStep;

    CSubstitutingFile(CArchive& target, const ByteTable& table)
        : m_target(target), m_substitution(table), m_block(new uint8_t[kBlockBytes])
    {
        m_path = target.GetFilePath();
    }

    bool Open(const std::string&, unsigned, CFileException*) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    size_t Read(void*, size_t) override { throw CArchiveException(CArchiveException::writeOnly, m_path); }
    void Write(const void* data, size_t count) override
    {
        const auto* from = static_cast<const uint8_t*>(data);
        while (count > 0) {
            const size_t n = std::min(count, kBlockBytes - m_used);
            m_substitution.Apply(from, m_block.get() + m_used, n);
            m_used += n;
            m_written += n;
            from += n;
            count -= n;
            if (m_used == kBlockBytes)
                Flush();
        }
    }
    uint64_t Seek(int64_t, SeekPosition) override { throw CFileException(CFileException::badSeek, 0, m_path); }
    uint64_t GetPosition() const override { return m_written; }
    uint64_t GetLength() const override { return m_written; }
    void SetLength(uint64_t) override { throw CFileException(CFileException::badSeek, 0, m_path); }
    void Flush() override
    {
        m_target.Write(m_block.get(), m_used);
        m_used = 0;
    }

private:
    CArchive& m_target;
    const CByteSubstitution m_substitution;
    std::unique_ptr<uint8_t[]> m_block;
    size_t m_used = 0;
    uint64_t m_written = 0;
};

// The message file on its way in: every byte through the reading table as it
// is read, straight into the memory that keeps it, so that the file is never
// held whole nor copied twice. The oldest files, recognised by their first
// bytes, were written without the substitution.
class CMessageFileReader : public CFile {
public:
    CMessageFileReader(CArchive& source, const ByteTable& table, uint64_t length)
        : m_source(source), m_substitution(table), m_length(length)
    {
        m_path = source.GetFilePath();
        source.ReadExact(m_head, sizeof m_head);
        m_substituted = std::memcmp(m_head + 1, kOldTag, 5) != 0;
        if (m_substituted)
            m_substitution.Apply(m_head, m_head, sizeof m_head);
    }

    bool Open(const std::string&, unsigned, CFileException*) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    size_t Read(void* buffer, size_t count) override
    {
        auto* to = static_cast<uint8_t*>(buffer);
        size_t done = 0;
        if (m_position < sizeof m_head) {
            done = std::min(count, sizeof m_head - static_cast<size_t>(m_position));
            std::memcpy(to, m_head + m_position, done);
        }
        // A step at a time, each substituted as soon as it is read.
        while (done < count) {
            const size_t asked = std::min(count - done, kSubstitutionStep);
            const size_t n = m_source.Read(to + done, asked);
            if (m_substituted)
                m_substitution.Apply(to + done, to + done, n);
            done += n;
            if (n < asked)
                break;
        }
        m_position += done;
        return done;
    }
    void Write(const void*, size_t) override { throw CArchiveException(CArchiveException::readOnly, m_path); }
    // Forward only, from where it is: what is passed over needs no substitution.
    uint64_t Seek(int64_t offset, SeekPosition from) override
    {
        if (from != current || offset < 0)
            throw CFileException(CFileException::badSeek, 0, m_path);
        uint64_t count = static_cast<uint64_t>(offset);
        if (m_position < sizeof m_head) {
            const uint64_t inHead = std::min<uint64_t>(count, sizeof m_head - m_position);
            m_position += inHead;
            count -= inHead;
        }
        m_source.Skip(count);
        m_position += count;
        return m_position;
    }
    uint64_t GetPosition() const override { return m_position; }
    uint64_t GetLength() const override { return m_length; }
    void SetLength(uint64_t) override { throw CFileException(CFileException::badSeek, 0, m_path); }
    void Flush() override {}

private:
    CArchive& m_source;
    const CByteSubstitution m_substitution;
    uint64_t m_length;
    uint64_t m_position = 0;
    uint8_t m_head[CAPhotoContent::kMinFileBytes];
    bool m_substituted = true;
};

} // namespace

CAPhotoContent::CAPhotoContent(int quality) : m_strVersion(msgver::kCurrentText), m_nQuality(quality)
{
    BuildByteTables();
}

CAPhotoContent::CAPhotoContent(const CAPhotoContent& other)
    : m_strVersion(other.m_strVersion),
      m_nReadOnly(other.m_nReadOnly),
      m_nPictureState(other.m_nPictureState),
      m_strPictureText(other.m_strPictureText),
      m_profile(other.m_profile),
      // Carried through unchanged like everything else of the message, so a
      // copy made for mail does not lose them.
      m_strInfoText(other.m_strInfoText),
      m_nInfoValue(other.m_nInfoValue),
      m_nQuality(other.m_nQuality),
      m_comments(other.m_comments),
      m_originalJpeg(other.m_originalJpeg)
{
    BuildByteTables();
    if (other.m_image.IsValid() &&
        !m_image.CopyRect(other.m_image, CRect(0, 0, other.m_image.GetWidth(), other.m_image.GetHeight())))
        throw CMemoryException();
}

CAPhotoContent::~CAPhotoContent() = default;

void CAPhotoContent::TakeOver(CAPhotoContent& other)
{
    if (this == &other)
        return;
    m_strReserved = std::exchange(other.m_strReserved, {});
    m_strVersion = std::exchange(other.m_strVersion, std::string(msgver::kCurrentText));
    m_nReadOnly = std::exchange(other.m_nReadOnly, 0);
    m_nPictureState = std::exchange(other.m_nPictureState, 0);
    m_strPictureText = std::exchange(other.m_strPictureText, {});
    m_profile = other.m_profile;
    other.m_profile.Free();
    m_strInfoText = std::exchange(other.m_strInfoText, {});
    m_nInfoValue = std::exchange(other.m_nInfoValue, 0);
    m_nQuality = other.m_nQuality;
    m_comments = std::exchange(other.m_comments, {});
    m_image.TakeOver(other.m_image);
    m_originalJpeg = std::exchange(other.m_originalJpeg, {});
}

void CAPhotoContent::BuildByteTables()
{
    MessageByteTables t = MakeMessageByteTables();
    m_writeTable = t.write;
    m_readTable = t.read;
}

CImageBuffer& CAPhotoContent::EditImage()
{
    m_originalJpeg.clear();
    return m_image;
}

void CAPhotoContent::TakeImage(CImageBuffer& image)
{
    m_originalJpeg.clear();
    m_image.TakeOver(image);
}

int CAPhotoContent::GetVersionNumber() const
{
    return msgver::Parse(m_strVersion);
}

bool CAPhotoContent::WriteBody(CArchive& ar)
{
    CSubstitutingFile body(ar, m_writeTable);
    CArchive out(&body, CArchive::store);
    SerializeHeader(out);
    SerializeMainImage(out);
    SerializeComments(out);
    SerializeTrailer(out);
    body.Flush();
    return true;
}

void CAPhotoContent::ReadBody(CArchive& ar, bool whole)
{
    m_bTextOnly = !whole;
    RemoveAllComments();
    const uint64_t length = ar.RemainingBytes();
    if (length < kMinFileBytes)
        Damaged(ar, CArchiveException::endOfFile);
    if (length > kMaxFileBytes)
        Damaged(ar);
    CMessageFileReader body(ar, m_readTable, length);
    CArchive in(&body, CArchive::load);
    SerializeHeader(in);
    SerializeMainImage(in);
    SerializeComments(in);
    SerializeTrailer(in);
    TakeTextsAsUtf8();
}

void CAPhotoContent::TakeTextsAsUtf8()
{
    std::vector<std::string*> texts{&m_strPictureText, &m_strInfoText};
    std::vector<CAnoRecord*> records;
    for (CAnoElement& e : m_comments)
        if (e.m_pRecord) {
            records.push_back(e.m_pRecord.get());
            texts.push_back(&e.m_pRecord->m_strContent);
            texts.push_back(&e.m_pRecord->m_strUserName);
        }
    if (std::all_of(texts.begin(), texts.end(), [](const std::string* t) { return IsUtf8Text(*t); }) &&
        std::all_of(records.begin(), records.end(), [](const CAnoRecord* r) { return IsUtf8Text(r->m_logFont.lfFaceName); }))
        return;
    for (std::string* t : texts)
        *t = ShiftJisToUtf8(*t);
    for (CAnoRecord* r : records) {
        // The face name field keeps whole characters and its terminating zero.
        const std::string face = ShiftJisToUtf8(r->m_logFont.lfFaceName);
        size_t keep = 0;
        while (keep < face.size() && keep + CharLenAt(face, keep) < size_t(LF_FACESIZE))
            keep += CharLenAt(face, keep);
        std::fill(std::begin(r->m_logFont.lfFaceName), std::end(r->m_logFont.lfFaceName), '\0');
        std::copy_n(face.data(), keep, r->m_logFont.lfFaceName);
    }
}

bool ReadMessageFile(const std::string& path, CAPhotoContent& content, bool whole)
{
    try {
        CFile file;
        if (!file.Open(path, CFile::modeRead))
            return false;
        CArchive ar(&file, CArchive::load);
        content.ReadBody(ar, whole);
    } catch (const CException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CAPhotoContent::SerializeHeader(CArchive& ar)
{
    if (ar.IsStoring()) {
        const SYSTEMTIME now = GetCurrentLocalTime();
        char saved[64];
        std::snprintf(saved, sizeof saved, "%4d/%02d/%02d/%02d/%02d/%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute, now.wSecond);
        ar << kTag << msgver::kCurrentText.data() << m_strReserved << saved;
        return;
    }
    std::string tag, skipped;
    ar >> tag;
    if (tag != kTag && tag != kOldTag)
        Damaged(ar, CArchiveException::badIndex);
    ar >> m_strVersion;
    ar >> skipped; // reserved
    ar >> skipped; // save time
}

void CAPhotoContent::SerializeMainImage(CArchive& ar, uint8_t (*block)[32])
{
    if (ar.IsStoring()) {
        float xRes = 96.0f, yRes = 96.0f;
        m_image.GetResolution(&xRes, &yRes);
        ar << static_cast<int32_t>(m_image.GetPixelType()) << static_cast<int32_t>(m_image.GetOrientation())
           << static_cast<int32_t>(m_image.GetWidth()) << static_cast<int32_t>(m_image.GetHeight()) << xRes << yRes
           << static_cast<int32_t>(m_image.GetSamplesPerPixel()) << static_cast<int32_t>(m_image.GetBitsPerSample());
        return;
    }
    if (GetVersionNumber() < 110) {
        ar >> m_strPictureText;
        FetchImageBlob(ar);
        return;
    }
    uint8_t discarded[32];
    ar.ReadExact(block ? *block : discarded, 32);
}

void CAPhotoContent::SerializeComments(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_strPictureText;
        StoreImageBlob(ar);
        WriteCommentTree(ar);
        WriteInfo(ar);
        return;
    }
    if (GetVersionNumber() >= 110) {
        ar >> m_strPictureText;
        FetchImageBlob(ar);
    }
    ReadCommentTree(ar);
    ReadInfo(ar);
}

void CAPhotoContent::WriteCommentTree(CArchive& ar)
{
    ar << static_cast<int32_t>(m_comments.size());
    int32_t previous = 0;
    for (const CAnoElement& e : m_comments) {
        const int32_t depth = std::max(e.m_nDepth, 0);
        // One token per level, so that the reader can follow any change of depth.
        for (int32_t d = previous; d < depth; ++d)
            ar << static_cast<int32_t>(kDeeper);
        for (int32_t d = depth; d < previous; ++d)
            ar << static_cast<int32_t>(kShallower);
        ar << static_cast<int32_t>(kRecord);
        e.m_pRecord->Serialize(ar, msgver::kCurrent);
        previous = depth;
    }
}

void CAPhotoContent::ReadCommentTree(CArchive& ar)
{
    const int version = GetVersionNumber();
    int32_t count = 0;
    ar >> count;
    if (count < 0)
        Damaged(ar);
    int32_t depth = 0;
    int32_t previous = 0;
    for (int32_t read = 0; read < count;) {
        int32_t token = 0;
        ar >> token;
        if (token == kDeeper) {
            ++depth;
        } else if (token == kShallower) {
            --depth;
        } else if (token == kRecord) {
            if (depth < 0)
                Damaged(ar);
            // A reply is at most one level below the comment before it; a
            // deeper jump is taken as one level.
            depth = std::min(depth, previous + 1);
            auto record = std::make_unique<CAnoRecord>();
            record->Serialize(ar, version, !m_bTextOnly);
            m_comments.emplace_back(depth, std::move(record));
            previous = depth;
            ++read;
        }
        // Any other token is skipped.
    }
}

void CAPhotoContent::WriteInfo(CArchive& ar)
{
    m_profile.Store(ar);
    ar << m_strInfoText << m_nInfoValue;
}

void CAPhotoContent::ReadInfo(CArchive& ar)
{
    m_profile.Load(ar);
    if (GetVersionNumber() > 150) {
        ar >> m_strInfoText >> m_nInfoValue;
    } else {
        m_strInfoText.clear();
        m_nInfoValue = 0;
    }
}

void CAPhotoContent::SerializeTrailer(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_nReadOnly << m_nPictureState;
        return;
    }
    ar >> m_nReadOnly;
    if (GetVersionNumber() >= 120)
        ar >> m_nPictureState;
    else
        m_nPictureState = 1;
}

void CAPhotoContent::StoreImageBlob(CArchive& ar)
{
    if (!m_originalJpeg.empty()) {
        ar << static_cast<int32_t>(m_originalJpeg.size());
        ar.Write(m_originalJpeg.data(), m_originalJpeg.size());
        return;
    }
    if (!m_image.IsValid()) {
        ar << static_cast<int32_t>(0);
        return;
    }
    // Writing the message without its photograph would lose it: fail the save.
    // Room for the encoding up front, so that it is not copied as it grows:
    // reserved memory costs nothing until it is written.
    std::vector<uint8_t> jpeg;
    jpeg.reserve(static_cast<size_t>(std::min<uint64_t>(m_image.GetImageBytes(), INT32_MAX)));
    if (!msgjpeg::Encode(m_image, m_nQuality, jpeg) || jpeg.size() > INT32_MAX)
        throw CArchiveException(CArchiveException::genericException, ar.GetFilePath());
    ar << static_cast<int32_t>(jpeg.size());
    ar.Write(jpeg.data(), jpeg.size());
}

void CAPhotoContent::FetchImageBlob(CArchive& ar)
{
    m_image.Free();
    m_originalJpeg.clear();
    int32_t count = 0;
    ar >> count;
    if (count < 0)
        Damaged(ar);
    if (count == 0)
        return;
    if (m_bTextOnly) {
        ar.Skip(static_cast<uint64_t>(count));
        return;
    }
    ReadBuffer jpeg;
    ar.ReadBytes(jpeg, static_cast<uint64_t>(count));
    msgjpeg::Decode(jpeg.data(), jpeg.size(), m_image);
    m_originalJpeg = std::move(jpeg);
}

void CAPhotoContent::RemoveReplies()
{
    for (size_t i = m_comments.size(); i-- > 0;)
        if (m_comments[i].m_nDepth != 0)
            m_comments.erase(m_comments.begin() + static_cast<std::ptrdiff_t>(i));
}

void CAPhotoContent::ShrinkForMail()
{
    const int oldWidth = m_image.GetWidth();
    const int oldHeight = m_image.GetHeight();
    if (!m_image.IsValid())
        return;
    m_image.ResizeToFit(kMailWidth, kMailHeight, CImageBuffer::kBilinear);
    if (m_image.GetWidth() != oldWidth || m_image.GetHeight() != oldHeight)
        m_originalJpeg.clear();
    for (CAnoElement& e : m_comments)
        e.m_pRecord->Scale(oldWidth, oldHeight, m_image.GetWidth(), m_image.GetHeight(), kMailAttachWidth,
                           kMailAttachHeight);
}
