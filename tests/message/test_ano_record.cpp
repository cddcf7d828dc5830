#include "message_fixtures.h"

#include "util/string_util.h"
#include "message/message_version.h"
#include "message/picture_jpeg.h"
#include "imaging/dib_bitmap.h"
#include "platform/archive.h"
#include "platform/gdi/dc.h"
#include "support/test_support.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace msgtest;

namespace {

// A record as a file of the given version lays it out: every field written,
// the reader must take exactly those its version has.
std::vector<uint8_t> RecordLayout(int version, int32_t attachCount = 3, uint32_t points = 1)
{
    CMemFile f;
    CArchive ar(&f, CArchive::store);
    if (version > 101)
        ar << int32_t(2) << int32_t(3);
    ar << int32_t(5) << int32_t(6) << int32_t(7) << int32_t(8) << "content";
    if (version > 100)
        ar << "user";
    ar << "2004/05/06 07:08:09";
    if (version > 120) {
        ar << attachCount;
        for (int i = 0; i < 3; ++i)
            ar << uint8_t(0xA0 + i);
    }
    if (version > 130) {
        std::vector<uint8_t> fontBytes(60, 0);
        fontBytes[0] = 0xD6; // -42
        std::fill(fontBytes.begin() + 1, fontBytes.begin() + 4, 0xFF);
        ar.Write(fontBytes.data(), 60);
        ar << uint32_t(0x00112233);
    }
    if (version > 140) {
        ar.WriteCount(points);
        ar << int32_t(11) << int32_t(12);
    }
    if (version > 120)
        ar << int32_t(0);
    return f.Detach();
}

CAnoRecord ReadRecord(const std::vector<uint8_t>& bytes, int version)
{
    CMemFile f(bytes);
    CArchive ar(&f, CArchive::load);
    CAnoRecord r;
    r.Serialize(ar, version);
    EXPECT_EQ(ar.RemainingBytes(), 0u) << version;
    return r;
}

} // namespace

TEST(AnoRecord, EveryKindRoundTrips)
{
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(msgjpeg::Encode(MakePicture(8, 6), 90, jpeg));
    CAreaMarquee freehand;
    freehand.SetFreehand({{1, 1}, {5, 9}});
    const CAnoRecord records[] = {
        TextRecord("text", CAreaMarquee(CRect(1, 2, 3, 4), CAreaMarquee::square)),
        SoundRecord(WaveBytes(10), CAreaMarquee(CRect(1, 2, 3, 4), CAreaMarquee::roundSquare)),
        ImageRecord(jpeg, CAreaMarquee(CRect(-5, 0, 3, 4), CAreaMarquee::oval)),
        TextRecord("", freehand),
        TextRecord(std::string(70000, 'l'), CAreaMarquee()),
    };
    for (const CAnoRecord& r : records) {
        CMemFile f;
        {
            CArchive ar(&f, CArchive::store);
            const_cast<CAnoRecord&>(r).Serialize(ar, msgver::kCurrent);
        }
        CAnoRecord back = ReadRecord(f.Data(), msgver::kCurrent);
        EXPECT_EQ(CompareRecords(r, back), "");
        CAnoRecord copy(r);
        EXPECT_EQ(CompareRecords(r, copy), "");
        copy = copy;
        EXPECT_EQ(CompareRecords(r, copy), "");
    }
}

TEST(AnoRecord, ReaderTakesTheFieldsOfItsVersion)
{
    struct Row {
        int version;
        bool kinds, user, attachment, font, points;
    };
    const Row rows[] = {
        {100, false, false, false, false, false}, {101, false, true, false, false, false},
        {102, true, true, false, false, false},   {120, true, true, false, false, false},
        {121, true, true, true, false, false},    {130, true, true, true, false, false},
        {131, true, true, true, true, false},     {140, true, true, true, true, false},
        {141, true, true, true, true, true},      {151, true, true, true, true, true},
    };
    for (const Row& row : rows) {
        CAnoRecord r = ReadRecord(RecordLayout(row.version), row.version);
        EXPECT_EQ(r.m_nKind, row.kinds ? 2 : 1) << row.version;
        EXPECT_EQ(r.m_area.m_nKind, row.kinds ? 3 : 1) << row.version;
        EXPECT_EQ(r.m_area.m_rect, CRect(5, 6, 7, 8)) << row.version;
        EXPECT_EQ(r.m_strContent, "content") << row.version;
        EXPECT_EQ(r.m_strUserName, row.user ? "user" : "") << row.version;
        EXPECT_EQ(r.FormatDate(), "2004/05/06 07:08:09") << row.version;
        EXPECT_EQ(r.Data().size(), row.attachment ? 3u : 0u) << row.version;
        EXPECT_EQ(r.m_logFont.lfHeight, row.font ? -42 : DefaultCommentFont().lfHeight) << row.version;
        EXPECT_EQ(r.m_color, row.font ? 0x00112233u : 0u) << row.version;
        EXPECT_EQ(r.m_area.m_points.size(), row.points ? 1u : 0u) << row.version;
    }
}

TEST(AnoRecord, DamagedCountsAreRefused)
{
    for (auto bytes : {RecordLayout(151, -1), RecordLayout(151, 100000), RecordLayout(151, 3, 0x10000)}) {
        CMemFile f(bytes);
        CArchive ar(&f, CArchive::load);
        CAnoRecord r;
        EXPECT_THROW(r.Serialize(ar, 151), CArchiveException);
    }
    // A picture count past the end, and one whose bytes are no raw image.
    for (int32_t count : {100, 4}) {
        auto bytes = RecordLayout(151);
        bytes.resize(bytes.size() - 4);
        CMemFile f(bytes);
        f.SeekToEnd();
        {
            CArchive w(&f, CArchive::store);
            w << count << int32_t(0);
        }
        f.SeekToBegin();
        CArchive ar(&f, CArchive::load);
        CAnoRecord r;
        EXPECT_THROW(r.Serialize(ar, 151), CArchiveException) << count;
    }
}

TEST(AnoRecord, DateTexts)
{
    const SYSTEMTIME now = GetCurrentLocalTime();
    struct Row {
        const char* text;
        int y, mo, d, h, mi, s; // -1: from the current time
    };
    const Row rows[] = {
        {"03/8/5 9:7:6", 2003, 8, 5, 9, 7, 6},
        {"1999/12/31 23:59:59", 1999, 12, 31, 23, 59, 59},
        {"(2010/01/02 03:04:05)", 2010, 1, 2, 3, 4, 5},
        {"2011/3/4", 2011, 3, 4, -1, -1, -1},
    };
    for (const Row& r : rows) {
        CAnoRecord rec;
        rec.ParseDate(r.text);
        EXPECT_EQ(rec.m_date.wYear, r.y) << r.text;
        EXPECT_EQ(rec.m_date.wMonth, r.mo) << r.text;
        EXPECT_EQ(rec.m_date.wDay, r.d) << r.text;
        if (r.h >= 0) {
            EXPECT_EQ(rec.m_date.wHour, r.h) << r.text;
            EXPECT_EQ(rec.m_date.wSecond, r.s) << r.text;
        }
    }
    // Not a date at all: the current time, whole.
    CAnoRecord bad;
    bad.ParseDate("2003/02/30 10:00:00");
    EXPECT_EQ(bad.m_date.wYear, now.wYear);
    EXPECT_NE(bad.m_date.wMonth * 100 + bad.m_date.wDay, 230);

    CAnoRecord r;
    r.m_date = Date(2003, 8, 5, 9, 7, 6);
    EXPECT_EQ(r.FormatDate(), "2003/08/05 09:07:06");
    const std::string caption = r.GetCaption();
    EXPECT_EQ(caption.rfind("(  ", 0), 0u) << caption; // no content, no user: both spaces stay
    EXPECT_EQ(caption.substr(caption.size() - 2), " )");
    r.SetText("Look");
    r.m_strUserName = "Anne";
    EXPECT_EQ(r.GetCaption().rfind("Look\r\n( Anne  ", 0), 0u) << r.GetCaption();
}

TEST(AnoRecord, Attachments)
{
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "voice.wav", WaveBytes(100));
    qrtest::WriteBytes(dir / "empty.wav", {});
    CAnoRecord r;
    EXPECT_TRUE(r.AttachSound((dir / "voice.wav").string()));
    EXPECT_EQ(r.m_nKind, CAnoRecord::sound);
    EXPECT_EQ(r.m_strContent, "voice");
    EXPECT_EQ(r.Data(), WaveBytes(100));
    EXPECT_TRUE(r.AttachSound((dir / "empty.wav").string()));
    EXPECT_TRUE(r.Data().empty());
    EXPECT_FALSE(r.AttachSound((dir / "missing.wav").string()));
    EXPECT_EQ(r.m_strContent, "missing");

    // A paletted picture goes in as 24 bits; the thumbnail fits 120 x 90.
    CImageBuffer paletted = MakePicture(300, 100, PixelType::Palette8);
    ASSERT_TRUE(r.AttachImage("/some/where/pic.one.png", paletted));
    EXPECT_EQ(r.m_strContent, "pic.one");
    EXPECT_EQ(r.m_picture.GetSize(), CSize(120, 40));
    CImageBuffer decoded;
    ASSERT_TRUE(r.GetImage(decoded));
    EXPECT_EQ(decoded.GetSize(), CSize(300, 100));
    CMemFile side;
    ASSERT_TRUE(r.WriteContent(side));
    EXPECT_EQ(side.Data().size() + 4, r.Data().size());
    EXPECT_EQ(side.Data()[0], 0xFF); // bare JPEG data
    EXPECT_TRUE(r.IsValid());

    EXPECT_FALSE(r.AttachImage("/x/none.jpg", CImageBuffer()));
    EXPECT_FALSE(r.IsValid());
    CMemFile none;
    EXPECT_FALSE(r.WriteContent(none));
}

TEST(AnoRecord, ScaleUsesTheWidthRatio)
{
    CAnoRecord r = TextRecord("t", CAreaMarquee(CRect(300, 600, 900, 601), CAreaMarquee::oval));
    r.Scale(3000, 2000, 1000, 500, 640, 480);
    EXPECT_EQ(r.m_area.m_rect, CRect(100, 200, 300, 202));
    r.Scale(0, 0, 10, 10, 640, 480); // nothing to scale from
    EXPECT_EQ(r.m_area.m_rect, CRect(100, 200, 300, 202));
}

TEST(AnoRecord, CardLayoutPlacesMarkThumbnailAndText)
{
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    CDC dc(&page);
    const CRect bound(10, 10, 390, 290);
    const UINT format = DT_LEFT | DT_WORDBREAK;

    CAnoRecord text = TextRecord("A comment", CAreaMarquee());
    const CRect textCard = text.LayoutCard(dc, bound, format | DT_CALCRECT, 96);
    EXPECT_EQ(textCard.TopLeft(), CPoint(10, 10));
    EXPECT_GT(textCard.Height(), 0);

    CAnoRecord sound = SoundRecord(WaveBytes(4), CAreaMarquee());
    const CRect soundCard = sound.LayoutCard(dc, bound, format | DT_CALCRECT, 96);
    EXPECT_GE(soundCard.Height(), 24); // the mark is 24 pixels at 96 dpi
    EXPECT_EQ(sound.LayoutCard(dc, bound, format | DT_CALCRECT, 192).Height() >= 48, true);

    CAnoRecord image = ImageRecord({}, CAreaMarquee());
    const CRect imageCard = image.LayoutCard(dc, bound, format | DT_CALCRECT, 96);
    EXPECT_EQ(imageCard.Height(), textCard.Height() + 6); // thumbnail of 6 rows above the text

    // Measuring draws nothing; drawing puts the mark in the record's colour.
    EXPECT_EQ(page.pixel(12, 12), qRgb(255, 255, 255));
    sound.LayoutCard(dc, bound, format, 96);
    EXPECT_EQ(page.pixel(12, 12), qRgb(0, 128, 0));
}

TEST(AnoRecord, ImageBitmapFitsTheScreenSize)
{
    CAnoRecord r;
    EXPECT_EQ(r.CreateImageBitmap(), nullptr);
    ASSERT_TRUE(r.AttachImage("/x/big.jpg", MakePicture(1280, 720)));
    auto dib = r.CreateImageBitmap();
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->GetSize(), CSize(640, 360));
}
