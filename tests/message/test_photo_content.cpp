#include "message_fixtures.h"

#include "message/message_version.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace msgtest;

namespace {

std::vector<uint8_t> Jpeg(int w, int h)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(msgjpeg::Encode(MakePicture(w, h), 90, out));
    return out;
}

// The body behind the substitution.
std::vector<uint8_t> Unscramble(std::vector<uint8_t> file)
{
    CAPhotoContent c(95);
    ApplyByteTable(c.GetReadTable(), file.data(), file.size());
    return file;
}

std::vector<uint8_t> Scramble(std::vector<uint8_t> body)
{
    CAPhotoContent c(95);
    ApplyByteTable(c.GetWriteTable(), body.data(), body.size());
    return body;
}

// Hand-built bodies for the older layouts.
struct Body {
    CMemFile file;
    CArchive ar{&file, CArchive::store};

    Body& Header(const char* tag, const char* version)
    {
        ar << tag << version << "" << "2001/02/03/04/05/06";
        return *this;
    }
    std::vector<uint8_t> Bytes() { return file.Data(); }
};

void ExpectDamaged(const std::vector<uint8_t>& bytes, int cause = -1)
{
    CAPhotoContent c(95);
    try {
        ReadMessage(bytes, c);
        ADD_FAILURE() << "read succeeded";
    } catch (const CArchiveException& e) {
        if (cause >= 0) {
            EXPECT_EQ(e.m_cause, cause);
        }
    } catch (const CMemoryException&) {
    }
}

// Token lists of a written comment tree: records are skipped by reading them.
std::vector<std::vector<int32_t>> TreeTokens(CAPhotoContent& content)
{
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        content.WriteCommentTree(ar);
    }
    f.SeekToBegin();
    CArchive ar(&f, CArchive::load);
    int32_t count = 0;
    ar >> count;
    std::vector<std::vector<int32_t>> groups;
    for (int32_t i = 0; i < count; ++i) {
        std::vector<int32_t> g;
        int32_t t = 0;
        do {
            ar >> t;
            g.push_back(t);
        } while (t != 3);
        CAnoRecord r;
        r.Serialize(ar, msgver::kCurrent);
        groups.push_back(g);
    }
    EXPECT_EQ(ar.RemainingBytes(), 0u);
    return groups;
}

} // namespace

TEST(MessageFile, WrittenAndReadBackIsTheSameContent)
{
    CAPhotoContent original = FullContent(Jpeg(40, 30), Jpeg(8, 6));
    original.m_strReserved = "reserved";
    std::vector<uint8_t> file = WriteMessage(original);
    CAPhotoContent back(95);
    ReadMessage(file, back);
    EXPECT_EQ(CompareContents(original, back, 12), "");
    EXPECT_EQ(back.m_strVersion, "1.51");

    // Unchanged since read, the photograph goes out as the same JPEG: a second
    // round is exact, and a copy (as mail makes one) carries everything.
    CAPhotoContent again(95);
    ReadMessage(WriteMessage(back), again);
    EXPECT_EQ(CompareContents(back, again), "");
    CAPhotoContent copy(back);
    EXPECT_EQ(CompareContents(back, copy), "");
    EXPECT_TRUE(copy.m_strReserved.empty());
}

TEST(MessageFile, EmptyMessageHasNoTokens)
{
    CAPhotoContent empty(95);
    EXPECT_TRUE(TreeTokens(empty).empty());
    CAPhotoContent back(95);
    ReadMessage(WriteMessage(empty), back);
    EXPECT_TRUE(back.m_comments.empty());
    EXPECT_FALSE(back.GetImage().IsValid());
}

TEST(MessageFile, DepthsBecomeOneTokenPerLevel)
{
    struct Row {
        std::vector<int> depths;
        std::vector<std::vector<int32_t>> tokens;
        std::vector<int> readBack;
    };
    const Row rows[] = {
        {{0, 1, 2, 0}, {{3}, {1, 3}, {1, 3}, {2, 2, 3}}, {0, 1, 2, 0}},
        {{0, 2, 1}, {{3}, {1, 1, 3}, {2, 3}}, {0, 1, 0}}, // a jump of two is read as one level
        {{1, 0}, {{1, 3}, {2, 3}}, {1, 0}},
    };
    for (const Row& r : rows) {
        CAPhotoContent c(95);
        for (int d : r.depths)
            c.m_comments.emplace_back(d, std::make_unique<CAnoRecord>(TextRecord("t", CAreaMarquee())));
        EXPECT_EQ(TreeTokens(c), r.tokens);
        CAPhotoContent back(95);
        ReadMessage(WriteMessage(c), back);
        std::vector<int> depths;
        for (const auto& e : back.m_comments)
            depths.push_back(e.m_nDepth);
        EXPECT_EQ(depths, r.readBack);
    }
}

TEST(MessageFile, TreeReaderSkipsUnknownTokensAndRefusesNegativeDepth)
{
    CMemFile recordBytes;
    {
        CArchive ar(&recordBytes, CArchive::store);
        CAnoRecord r = TextRecord("x", CAreaMarquee());
        r.Serialize(ar, msgver::kCurrent);
    }
    auto file = [&](std::vector<int32_t> tokens) {
        Body b;
        b.Header("#7321", "1.51");
        uint8_t block[32] = {};
        b.ar.Write(block, 32);
        b.ar << "" << int32_t(0) << int32_t(1);
        for (int32_t t : tokens)
            b.ar << t;
        b.ar.Write(recordBytes.Data().data(), recordBytes.Data().size());
        b.ar << int32_t(0) << "" << int32_t(0) << int32_t(0) << int32_t(1);
        return Scramble(b.Bytes());
    };
    CAPhotoContent c(95);
    ReadMessage(file({7, 0, -1, 3}), c);
    ASSERT_EQ(c.m_comments.size(), 1u);
    EXPECT_EQ(c.m_comments[0].m_nDepth, 0);
    ExpectDamaged(file({2, 3}), CArchiveException::genericException);
}

TEST(MessageFile, PlainOldTagOpensWithoutTables)
{
    CAPhotoContent original = FullContent({}, Jpeg(8, 6));
    std::vector<uint8_t> body = Unscramble(WriteMessage(original));
    ASSERT_EQ(std::memcmp(body.data(), "\x05#7321", 6), 0);
    body[5] = '0';
    CAPhotoContent back(95);
    ReadMessage(body, back);
    EXPECT_EQ(CompareContents(original, back), "");
}

TEST(MessageFile, LargeAttachmentsRoundTripExactly)
{
    // Bodies larger than the blocks the file is written and read in, with
    // attachments that straddle them.
    CAPhotoContent original = FullContent(Jpeg(40, 30), Jpeg(8, 6));
    for (size_t samples : {size_t(70000), size_t(1500000), size_t(3)}) {
        std::vector<uint8_t> wave = WaveBytes(samples);
        for (size_t i = 44; i < wave.size(); ++i)
            wave[i] = static_cast<uint8_t>(i * 13);
        original.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(SoundRecord(wave, CAreaMarquee())));
    }
    std::vector<uint8_t> file = WriteMessage(original);
    ASSERT_GT(file.size(), 1u << 20);
    CAPhotoContent back(95);
    ReadMessage(file, back);
    EXPECT_EQ(CompareContents(original, back, 12), "");
    // And the old unsubstituted form of the same body.
    std::vector<uint8_t> plain = Unscramble(file);
    plain[5] = '0';
    CAPhotoContent old(95);
    ReadMessage(plain, old);
    EXPECT_EQ(CompareContents(original, old, 12), "");
}

TEST(MessageFile, BadTagIsABadIndex)
{
    Body b;
    b.Header("#7322", "1.51");
    ExpectDamaged(Scramble(b.Bytes()), CArchiveException::badIndex);
}

TEST(MessageFile, VersionOneLayout)
{
    const std::vector<uint8_t> photo = Jpeg(20, 10);
    Body b;
    b.Header("#7321", "1.0");
    b.ar << "old picture" << static_cast<int32_t>(photo.size());
    b.ar.Write(photo.data(), photo.size());
    b.ar << int32_t(1) << int32_t(3);
    b.ar << int32_t(1) << int32_t(2) << int32_t(3) << int32_t(4) << "first" << "03/8/5 9:7:6";
    b.ar << int32_t(0);  // no profile
    b.ar << int32_t(1);  // read-only, and no picture state
    CAPhotoContent c(95);
    ReadMessage(Scramble(b.Bytes()), c);
    EXPECT_EQ(c.m_strPictureText, "old picture");
    EXPECT_EQ(c.GetImage().GetWidth(), 20);
    EXPECT_EQ(c.m_nReadOnly, 1);
    EXPECT_EQ(c.m_nPictureState, 1);
    EXPECT_TRUE(c.m_strInfoText.empty());
    ASSERT_EQ(c.m_comments.size(), 1u);
    const CAnoRecord& r = *c.m_comments[0].m_pRecord;
    EXPECT_EQ(r.m_nKind, CAnoRecord::text);
    EXPECT_EQ(r.m_area.m_nKind, CAreaMarquee::square);
    EXPECT_EQ(r.m_area.m_rect, CRect(1, 2, 3, 4));
    EXPECT_EQ(r.m_strContent, "first");
    EXPECT_TRUE(r.m_strUserName.empty());
    EXPECT_EQ(r.FormatDate(), "2003/08/05 09:07:06");
    EXPECT_EQ(r.m_logFont.lfHeight, DefaultCommentFont().lfHeight);
    EXPECT_FALSE(r.m_picture.IsValid());
}

TEST(MessageFile, ProfileCountsAroundTheLimit)
{
    const std::pair<size_t, size_t> rows[] = {{0, 0}, {0x9FFFFF, 0x9FFFFF}, {0xA00000, 0}};
    for (const auto& [size, readBack] : rows) {
        CAPhotoContent c = FullContent({}, Jpeg(8, 6));
        std::vector<uint8_t> profile(size, 0x33);
        c.m_profile.Set(profile.data(), profile.size());
        CAPhotoContent back(95);
        ReadMessage(WriteMessage(c), back);
        EXPECT_EQ(static_cast<size_t>(back.m_profile.GetSize()), readBack) << size;
        EXPECT_EQ(back.m_strInfoText, "info text") << size; // still in step after the profile
    }
}

TEST(MessageFile, DamagedCountsAndShortFiles)
{
    ExpectDamaged({0x05, '#', '7', '3', '2'}, CArchiveException::endOfFile);
    ExpectDamaged({});
    auto withBlobCount = [](int32_t count) {
        Body b;
        b.Header("#7321", "1.51");
        uint8_t block[32] = {};
        b.ar.Write(block, 32);
        b.ar << "" << count << int32_t(0) << int32_t(0) << "" << int32_t(0) << int32_t(0) << int32_t(0);
        return Scramble(b.Bytes());
    };
    ExpectDamaged(withBlobCount(-1));
    ExpectDamaged(withBlobCount(1000), CArchiveException::endOfFile);
    ExpectDamaged(withBlobCount(4)); // four bytes that are no JPEG
    CAPhotoContent ok(95);
    ReadMessage(withBlobCount(0), ok);
    EXPECT_FALSE(ok.GetImage().IsValid());
}

TEST(MessageFile, SmallPictureBlobPromisingAHugePictureFailsCleanly)
{
    // About 700 bytes whose frame header says 14142 x 14142 (200 million
    // pixels, 600 MB of rows): refused before anything is allocated.
    std::vector<uint8_t> jpeg = Jpeg(8, 6);
    const uint8_t sof[] = {0xFF, 0xC0};
    auto at = std::search(jpeg.begin(), jpeg.end(), std::begin(sof), std::end(sof));
    ASSERT_NE(at, jpeg.end());
    const size_t frame = size_t(at - jpeg.begin());
    for (size_t side : {frame + 5, frame + 7}) {
        jpeg[side] = 14142 >> 8;
        jpeg[side + 1] = 14142 & 0xFF;
    }
    CImageBuffer image;
    EXPECT_THROW(msgjpeg::Decode(jpeg.data(), jpeg.size(), image), CArchiveException);
    EXPECT_FALSE(image.IsValid());

    // The same picture inside a message file fails the whole read.
    Body b;
    b.Header("#7321", "1.51");
    uint8_t block[32] = {};
    b.ar.Write(block, 32);
    b.ar << "" << int32_t(jpeg.size());
    b.ar.Write(jpeg.data(), jpeg.size());
    b.ar << int32_t(0) << int32_t(0) << "" << int32_t(0) << int32_t(0) << int32_t(0);
    ExpectDamaged(Scramble(b.Bytes()), CArchiveException::genericException);
}

TEST(MessageFile, ChangedPhotographIsEncodedAgain)
{
    CAPhotoContent c = FullContent(Jpeg(32, 24), Jpeg(8, 6));
    CAPhotoContent back(95);
    ReadMessage(WriteMessage(c), back);
    ASSERT_TRUE(back.HasOriginalJpeg());
    back.EditImage().Fill(255);
    EXPECT_FALSE(back.HasOriginalJpeg());
    CAPhotoContent again(95);
    ReadMessage(WriteMessage(back), again);
    EXPECT_EQ(again.GetImage().GetRowPointer(5)[7], 255);
}

TEST(MessageContent, RemoveRepliesKeepsTopComments)
{
    CAPhotoContent c(95);
    for (int d : {0, 1, 1, 0, 2})
        c.m_comments.emplace_back(d, std::make_unique<CAnoRecord>(TextRecord(std::to_string(d), CAreaMarquee())));
    c.RemoveReplies();
    ASSERT_EQ(c.m_comments.size(), 2u);
    EXPECT_EQ(c.m_comments[1].m_nDepth, 0);
}

TEST(MessageContent, ShrinkForMailMovesComments)
{
    CAPhotoContent c(95);
    CImageBuffer big = MakePicture(3000, 2000);
    c.TakeImage(big);
    c.m_comments.emplace_back(
        0, std::make_unique<CAnoRecord>(TextRecord("t", CAreaMarquee(CRect(300, 150, 303, 600), CAreaMarquee::square))));
    CImageBuffer attached = MakePicture(1600, 1200);
    auto image = std::make_unique<CAnoRecord>();
    ASSERT_TRUE(image->AttachImage("/x/shot.jpg", attached));
    c.m_comments.emplace_back(1, std::move(image));

    c.ShrinkForMail();
    EXPECT_EQ(c.GetImage().GetWidth(), 1024);
    EXPECT_EQ(c.GetImage().GetHeight(), 682);
    const CRect& r = c.m_comments[0].m_pRecord->m_area.m_rect;
    EXPECT_EQ(r, CRect(102, 51, 104, 204)); // width 3 * 1024 / 3000 = 1, at least 2
    CImageBuffer refit;
    ASSERT_TRUE(c.m_comments[1].m_pRecord->GetImage(refit));
    EXPECT_EQ(refit.GetWidth(), 640);
    EXPECT_EQ(c.m_comments[1].m_pRecord->m_strContent, "shot");
}

// The golden message pins the substitution tables and the layout: a file
// written today must read the same forever.
TEST(MessageFile, GoldenFileReadsBackAndWritesBackTheSameBytes)
{
    const auto path = qrtest::DataPath("message_golden.kvt");
    if (std::getenv("QR_WRITE_GOLDEN")) {
        CAPhotoContent golden = FullContent(Jpeg(16, 12), Jpeg(8, 6));
        qrtest::WriteBytes(path, WriteMessage(golden));
    }
    const std::vector<uint8_t> file = qrtest::ReadBytes(path);
    ASSERT_FALSE(file.empty());
    CAPhotoContent back(95);
    ReadMessage(file, back);

    // Pictures through JPEG are compared by size; the rest field for field.
    CAPhotoContent expected = FullContent({}, {});
    EXPECT_EQ(back.GetImage().GetWidth(), 16);
    EXPECT_EQ(back.GetImage().GetHeight(), 12);
    CImageBuffer attachment;
    ASSERT_TRUE(back.m_comments.at(2).m_pRecord->GetImage(attachment));
    EXPECT_EQ(attachment.GetWidth(), 8);
    std::vector<uint8_t> attached = back.m_comments[2].m_pRecord->Data();
    CAnoRecord expectedImage = ImageRecord(std::vector<uint8_t>(attached.begin() + 4, attached.end()), CAreaMarquee(CRect(0, 0, 16, 12), CAreaMarquee::oval));
    *expected.m_comments[2].m_pRecord = expectedImage;
    CImageBuffer picture(back.GetImage());
    expected.TakeImage(picture);
    EXPECT_EQ(CompareContents(expected, back), "");

    // Writing it again gives the same bytes but for the save time.
    std::vector<uint8_t> again = Unscramble(WriteMessage(back));
    std::vector<uint8_t> body = Unscramble(file);
    auto afterHeader = [](const std::vector<uint8_t>& bytes) {
        CMemFile f(bytes);
        CArchive ar(&f, CArchive::load);
        std::string skipped;
        for (int i = 0; i < 4; ++i)
            ar >> skipped; // tag, version, reserved (never read back), save time
        return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(f.GetPosition()), bytes.end());
    };
    EXPECT_TRUE(afterHeader(again) == afterHeader(body));
}

TEST(MessageFile, GoldenFileCutAtEveryOffsetFailsCleanly)
{
    const std::vector<uint8_t> file = qrtest::ReadBytes(qrtest::DataPath("message_golden.kvt"));
    ASSERT_FALSE(file.empty());
    for (size_t cut = 0; cut < file.size(); ++cut) {
        std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        CAPhotoContent c(95), comments(95);
        EXPECT_THROW(ReadMessage(part, c), CException) << cut;
        EXPECT_THROW(ReadMessage(part, comments, false), CException) << cut;
    }
}

// What reads only the comments' texts passes over the photograph and the
// attached data by their counts and gets the rest as a whole read does, in
// both layouts and in a file larger than the reader's blocks.
TEST(MessageFile, ReadForTheTextsPassesOverPicturesAndAttachments)
{
    const std::vector<uint8_t> photo = Jpeg(20, 10);
    Body old;
    old.Header("#7321", "1.0");
    old.ar << "old picture" << static_cast<int32_t>(photo.size());
    old.ar.Write(photo.data(), photo.size());
    old.ar << int32_t(1) << int32_t(3) << int32_t(1) << int32_t(2) << int32_t(3) << int32_t(4) << "first"
           << "03/8/5 9:7:6" << int32_t(0) << int32_t(1);
    // Noise: a photograph larger than the reader's blocks.
    CImageBuffer noise = MakePicture(640, 480);
    uint32_t seed = 3;
    for (uint64_t i = 0; i < noise.GetImageBytes(); ++i)
        noise.GetBits()[i] = static_cast<BYTE>((seed = seed * 1664525u + 1013904223u) >> 24);
    std::vector<uint8_t> noisy;
    ASSERT_TRUE(msgjpeg::Encode(noise, 90, noisy));
    CAPhotoContent large = FullContent(noisy, Jpeg(8, 6));
    const std::vector<uint8_t> files[] = {qrtest::ReadBytes(qrtest::DataPath("message_golden.kvt")),
                                          Scramble(old.Bytes()), WriteMessage(large)};
    ASSERT_GT(files[2].size(), 2 * CArchive::kBlockBytes);
    for (const std::vector<uint8_t>& file : files) {
        CAPhotoContent whole(95), comments(95);
        ReadMessage(file, whole);
        ReadMessage(file, comments, false);
        EXPECT_TRUE(whole.GetImage().IsValid());
        EXPECT_FALSE(comments.GetImage().IsValid());
        EXPECT_FALSE(comments.HasOriginalJpeg());
        ASSERT_EQ(comments.m_comments.size(), whole.m_comments.size());
        for (size_t i = 0; i < whole.m_comments.size(); ++i) {
            const CAnoRecord& a = *whole.m_comments[i].m_pRecord;
            const CAnoRecord& b = *comments.m_comments[i].m_pRecord;
            EXPECT_EQ(comments.m_comments[i].m_nDepth, whole.m_comments[i].m_nDepth);
            EXPECT_EQ(b.GetCaption(), a.GetCaption());
            EXPECT_EQ(b.m_nKind, a.m_nKind);
            EXPECT_TRUE(b.Data().empty());
            EXPECT_FALSE(b.m_picture.IsValid());
        }
        // In step to the trailer.
        EXPECT_EQ(comments.m_strPictureText, whole.m_strPictureText);
        EXPECT_EQ(comments.m_strInfoText, whole.m_strInfoText);
        EXPECT_EQ(comments.m_profile.GetSize(), whole.m_profile.GetSize());
        EXPECT_EQ(comments.m_nReadOnly, whole.m_nReadOnly);
        EXPECT_EQ(comments.m_nPictureState, whole.m_nPictureState);
    }
}

// Texts of messages written where the code page was Shift-JIS are read as
// such; UTF-8 and plain ASCII texts are read as they are. One text that is
// not UTF-8 makes the whole message Shift-JIS, so a short Shift-JIS text
// that happens to be valid UTF-8 goes with the rest.
TEST(MessageFile, ShiftJisTextsAreReadAsUtf8AndUtf8TextsAsTheyAre)
{
    struct Row {
        const char* what;
        std::string title, comment, user, face;          // as stored
        std::string titleRead, commentRead, userRead, faceRead; // as read
    };
    const std::string sjisTrip = "\x97\xB7\x8D\x73";               // 旅行
    const std::string sjisTable = "\x95\x5C\x82\xC6\x83\x5C\x83\x74\x83\x67"; // 表とソフト: 0x5C as a second byte
    const std::string sjisAnne = "\x83\x41\x83\x93";               // アン
    const std::string sjisFace = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E"; // ＭＳ ゴシック
    const std::string halfWidth = "\xB6\xD2\xD7";                   // ｶﾒﾗ
    const std::string looksUtf8 = "\xC3\xA8";                       // ﾃｨ in Shift-JIS, è in UTF-8
    const std::vector<Row> rows = {
        {"ASCII", "Trip", "Sea view", "Anne", "Arial", "Trip", "Sea view", "Anne", "Arial"},
        {"UTF-8", "旅行", "表とソフト", "アン", "ＭＳ ゴシック", "旅行", "表とソフト", "アン", "ＭＳ ゴシック"},
        {"Shift-JIS", sjisTrip, sjisTable, sjisAnne, sjisFace, "旅行", "表とソフト", "アン", "ＭＳ ゴシック"},
        {"Shift-JIS half-width kana", halfWidth, "Sea", "Anne", "Arial", "ｶﾒﾗ", "Sea", "Anne", "Arial"},
        {"Shift-JIS with a UTF-8 look-alike", sjisTrip, looksUtf8, "Anne", "Arial", "旅行", "ﾃｨ", "Anne", "Arial"},
        {"damaged Shift-JIS", "\x97", "Sea", "Anne", "Arial", "\xEF\xBF\xBD", "Sea", "Anne", "Arial"},
    };
    qrtest::TempDir dir;
    for (const Row& r : rows) {
        CAPhotoContent c(95);
        CImageBuffer picture = MakePicture(16, 12);
        c.TakeImage(picture);
        c.m_strPictureText = r.title;
        CAnoRecord record = TextRecord(r.comment, CAreaMarquee(CRect(1, 1, 8, 8), CAreaMarquee::square));
        record.m_strUserName = r.user;
        std::fill(std::begin(record.m_logFont.lfFaceName), std::end(record.m_logFont.lfFaceName), '\0');
        std::copy(r.face.begin(), r.face.end(), record.m_logFont.lfFaceName);
        c.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(record));
        const std::string path = (dir / "m.kvt").string();
        qrtest::WriteBytes(path, WriteMessage(c));

        CAPhotoContent back(95);
        ASSERT_TRUE(ReadMessageFile(path, back)) << r.what;
        ASSERT_EQ(back.m_comments.size(), 1u) << r.what;
        const CAnoRecord& read = *back.m_comments[0].m_pRecord;
        EXPECT_EQ(back.m_strPictureText, r.titleRead) << r.what;
        EXPECT_EQ(read.m_strContent, r.commentRead) << r.what;
        EXPECT_EQ(read.m_strUserName, r.userRead) << r.what;
        EXPECT_EQ(std::string(read.m_logFont.lfFaceName), r.faceRead) << r.what;
    }
}
