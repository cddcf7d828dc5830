#include "imaging/exif_file.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>

using exiftest::Tag;
using exiftest::TiffBuilder;

namespace {

std::string Text(const CExifEntry* e)
{
    if (!e)
        return "<none>";
    std::string s(e->m_value.begin(), e->m_value.end());
    return s.substr(0, s.find('\0'));
}

// A TIFF with a main directory holding an Exif pointer and the given Exif entries.
std::vector<BYTE> WithExif(bool big, const std::vector<Tag>& exif, std::vector<Tag> main = {})
{
    TiffBuilder b(big);
    main.push_back({34665, 4, {0}});
    uint32_t mainDir = b.Dir(main);
    uint32_t exifDir = b.Dir(exif);
    b.SetField(mainDir, 34665, exifDir);
    return b.Tiff();
}

} // namespace

TEST(ExifRead, FilesAndTheirResults)
{
    TiffBuilder loop(false);
    uint32_t d0 = loop.Dir({{271, 2, {}, "Make"}});
    loop.SetNext(d0, d0); // the chain points back at itself

    TiffBuilder manyCount(true);
    uint32_t huge = manyCount.Dir({{271, 2, {}, "Make"}});
    std::vector<BYTE> hugeCount = manyCount.Tiff();
    hugeCount[huge] = 0xFF; // 65535 entries claimed in a few bytes
    hugeCount[huge + 1] = 0xFF;

    TiffBuilder badValue(false);
    uint32_t bv = badValue.Dir({{271, 2, {}, "Make of camera"}, {272, 2, {}, "Md"}, {34665, 4, {0}}});
    uint32_t bvExif = badValue.Dir({{36864, 7, {}, "0220"}});
    badValue.SetField(bv, 34665, bvExif);
    badValue.SetField(bv, 271, 0x7FFFFFF0); // value far past the end

    std::vector<BYTE> raw = {0, 'T', 'K', 'Q', 0, 0, 0, 0, 'B', 'L', 'K', '1', 0, 0, 0, 2, 9, 9, 0, 'T', 'T', 'W', 0, 0, 0, 0};
    std::vector<BYTE> rawTiff = WithExif(true, {{36864, 7, {}, "0221"}});
    raw.insert(raw.end(), rawTiff.begin(), rawTiff.end());
    std::vector<BYTE> badRaw = raw;
    badRaw[3] = 'X';

    // Exif behind JFIF and JFXX segments is read; behind anything else it is not.
    using exiftest::JfifSegment;
    using exiftest::Segment;
    using exiftest::WithLeadingSegments;
    const std::vector<BYTE> intel = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    const std::vector<BYTE> jfxx = Segment(0xE0, std::string("JFXX\0\x13", 6));
    const std::vector<BYTE> notJfif = Segment(0xE0, std::string("AVI1\0\0\0\0", 8));
    const std::vector<BYTE> xmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
    const std::vector<BYTE> comment = Segment(0xFE, "made by hand");
    int intelEntries = 0;
    {
        CMemFile mem(intel);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&mem, kExifJpeg), 0);
        intelEntries = static_cast<int>(exif.GetEntries().size());
    }

    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
        int kind;
        short result;
        int entries;
    };
    const Case cases[] = {
        {"jfif first", qrtest::ReadBytes(qrtest::DataPath("exif_jfif_first.jpg")), kExifJpeg, 0, -1},
        {"jfif and jfxx first", WithLeadingSegments(intel, {JfifSegment(), jfxx}), kExifJpeg, 0, intelEntries},
        {"another app0 first", WithLeadingSegments(intel, {notJfif}), kExifJpeg, -1, 0},
        {"jfif then a comment first", WithLeadingSegments(intel, {JfifSegment(), comment}), kExifJpeg, -1, 0},
        {"xmp first", WithLeadingSegments(intel, {xmp}), kExifJpeg, -1, 0},
        {"jfif cut short", WithLeadingSegments({0xFF, 0xD8}, {JfifSegment()}), kExifJpeg, -1, 0},
        {"tiff without exif keeps main", qrtest::ReadBytes(qrtest::DataPath("exif_none.tif")), kExifTiff, -1, 9},
        {"intel jpeg", qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg")), kExifJpeg, 0, -1},
        {"looping chain stops", loop.Tiff(), kExifTiff, -1, 1},
        {"count past the end", hugeCount, kExifTiff, -1, 1},
        {"value past the end dropped", badValue.Tiff(), kExifTiff, 0, 3},
        {"raw format", raw, kExifRaw, 0, 2},
        {"raw with wrong magic", badRaw, kExifRaw, -1, 0},
        {"unsupported kind", raw, kExifUnsupported, -1, 0},
        {"empty", {}, kExifJpeg, -1, 0},
        {"truncated header", {0xFF, 0xD8, 0xFF, 0xE1, 0x00}, kExifJpeg, -1, 0},
        {"app1 too short for a tiff", {0xFF, 0xD8, 0xFF, 0xE1, 0, 8, 'E', 'x', 'i', 'f', 0, 0}, kExifJpeg, -1, 0},
    };
    for (const Case& c : cases) {
        CMemFile mem(c.bytes);
        CExifFile exif;
        EXPECT_EQ(exif.Attach(&mem, c.kind), c.result) << c.name;
        const int n = static_cast<int>(exif.GetEntries().size());
        if (c.entries >= 0) {
            EXPECT_EQ(n, c.entries) << c.name;
        }
        EXPECT_EQ(mem.GetPosition(), 0u) << c.name;
    }
}

TEST(ExifRead, MotorolaAndIntelFixturesReadAlike)
{
    for (const char* name : {"exif_intel.jpg", "exif_motorola.jpg"}) {
        auto bytes = qrtest::ReadBytes(qrtest::DataPath(name));
        CMemFile mem(bytes);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&mem, kExifJpeg), 0) << name;
        EXPECT_EQ(exif.IsBigEndian(), std::string(name) == "exif_motorola.jpg");
        EXPECT_EQ(Text(exif.FindEntry(271, 0, kSubMain)), "Quiram Test");
        EXPECT_EQ(Text(exif.FindEntry(36867, 0, kSubExif)), "2024:05:06 07:08:09");
        EXPECT_EQ(exif.FindEntry(36867, 0, kSubExif)->m_count, 20u);
        DWORD n, d;
        int sign;
        exif.FindEntry(282, 0, kSubMain)->GetRational(n, d, sign, 0);
        EXPECT_EQ(n / d, 300u);
        exif.FindEntry(2, 0, kSubGps)->GetRational(n, d, sign, 0); // latitude degrees
        EXPECT_EQ(n / d, 51u);
        EXPECT_EQ(Text(exif.FindEntry(1, 0, kSubInterop)), "R98");
        EXPECT_EQ(exif.FindEntry(37384, 0, kSubExif)->GetShort(0), 1); // daylight
        int kind = -1;
        DWORD size = 0;
        EXPECT_EQ(exif.GetThumbnailInfo(kind, size), 0);
        EXPECT_EQ(kind, 2);
        std::vector<BYTE> thumb(size);
        ASSERT_EQ(exif.ReadJpegThumbnail(thumb.data(), thumb.size()), 0);
        EXPECT_EQ(thumb[0], 0xFF);
        EXPECT_EQ(thumb[1], 0xD8);
        EXPECT_EQ(exif.ReadJpegThumbnail(thumb.data(), thumb.size() - 1), -1); // buffer too small
    }
}

TEST(ExifRead, UserCommentsOfBothOrders)
{
    CMemFile intel(qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg")));
    CExifFile a;
    ASSERT_EQ(a.Attach(&intel, kExifJpeg), 0);
    int code = -1;
    EXPECT_EQ(a.FindEntry(37510, 0, kSubExif)->GetUserComment(code), "Hello from the camera");
    EXPECT_EQ(code, 0);

    // A UNICODE comment of a Motorola file is held as Intel-order units.
    CMemFile motorola(qrtest::ReadBytes(qrtest::DataPath("exif_motorola.jpg")));
    CExifFile b;
    ASSERT_EQ(b.Attach(&motorola, kExifJpeg), 0);
    auto text = b.FindEntry(37510, 0, kSubExif)->GetUserComment(code);
    EXPECT_EQ(code, 2);
    ASSERT_TRUE(text && text->size() >= 2);
    EXPECT_EQ((*text)[0], 'G');
    EXPECT_EQ((*text)[1], '\0');
}

TEST(ExifRead, TextEntriesKeepTheCountStored)
{
    // A count is read as the file gives it: a date without its NUL is 19
    // characters, not a made-up 20, and an entry of no values has no value.
    const std::string date = "2001:02:03 04:05:06";
    struct Case { const char* name; Tag tag; std::string expect; DWORD count; };
    const Case cases[] = {
        {"date without its NUL", {36867, 2, {}, date}, date, 19},
        {"date with its NUL", {36867, 2, {}, date + std::string(1, '\0')}, date, 20},
        {"count 32 at an offset", {36867, 2, {}, date + std::string(13, '\0')}, date, 32},
        {"inline count 3 stays inline", {36867, 2, {}, std::string("ab\0", 3)}, "ab", 3},
        {"count 0", {36867, 2, {}, "", 0}, "", 0},
    };
    for (const Case& c : cases) {
        auto bytes = WithExif(true, {c.tag});
        CMemFile mem(bytes);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&mem, kExifTiff), 0) << c.name;
        const CExifEntry* e = exif.FindEntry(36867, 0, kSubExif);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->m_count, c.count) << c.name;
        EXPECT_EQ(e->GetDataSize(), c.count) << c.name;
        EXPECT_EQ(Text(e), c.expect) << c.name;
    }
}

namespace {

// A Motorola-order file whose maker note has the given version and settings.
std::vector<BYTE> WithMakerNote(const std::string& version, uint32_t quality, bool withPreview)
{
    TiffBuilder b(true);
    uint32_t mainDir = b.Dir({{271, 2, {}, "Make"}, {34665, 4, {0}}});
    // The maker note: its own directory, offsets from the TIFF base.
    TiffBuilder note(true);
    std::vector<Tag> tags = {{0, 7, {}, version}, {1, 4, {0, 0, 0, 0, 0, quality, 0}}};
    if (withPreview)
        tags.push_back({128, 7, {}, std::string("\x00\xD8\xFF\xD9", 4)});
    // Build the note where it will stand: behind the Exif directory.
    const uint32_t exifDirAt = static_cast<uint32_t>(b.Tiff().size());
    const uint32_t exifDirSize = 2 + 12 * 2 + 4;
    uint32_t noteAt = exifDirAt + exifDirSize;
    std::vector<BYTE> noteBytes;
    {
        const size_t k = tags.size();
        noteBytes.assign(2 + 12 * k + 4, 0);
        noteBytes[1] = uint8_t(k);
        for (size_t i = 0; i < k; ++i) {
            std::vector<BYTE> v = note.Encode(tags[i]);
            BYTE* r = &noteBytes[2 + 12 * i];
            r[0] = uint8_t(tags[i].tag >> 8); r[1] = uint8_t(tags[i].tag);
            r[2] = 0; r[3] = uint8_t(tags[i].type);
            uint32_t count = uint32_t(v.size() / exiftest::Unit(tags[i].type));
            r[4] = uint8_t(count >> 24); r[5] = uint8_t(count >> 16); r[6] = uint8_t(count >> 8); r[7] = uint8_t(count);
            if (v.size() <= 4) {
                std::copy(v.begin(), v.end(), r + 8);
            } else {
                uint32_t at = noteAt + uint32_t(noteBytes.size());
                r[8] = uint8_t(at >> 24); r[9] = uint8_t(at >> 16); r[10] = uint8_t(at >> 8); r[11] = uint8_t(at);
                noteBytes.insert(noteBytes.end(), v.begin(), v.end());
            }
        }
    }
    uint32_t exifDir = b.Dir({{36864, 7, {}, "0220"}, {37500, 7, {}, std::string(noteBytes.begin(), noteBytes.end())}});
    EXPECT_EQ(exifDir, exifDirAt);
    b.SetField(mainDir, 34665, exifDir);
    return b.Tiff();
}

} // namespace

TEST(ExifRead, MakerNoteQuality)
{
    struct Case { std::string version; uint32_t setting; int reduction; };
    const Case cases[] = {
        {"VRK0", 2, 2}, {"VRK0", 3, 5}, {"VRK0", 4, 10}, {"VRK0", 5, 1}, {"VRK0", 9, 20}, {"vrk0", 4, 10},
        {"ABCD", 4, 20}, // not a maker note this program knows: no maker directory
    };
    for (const Case& c : cases) {
        auto bytes = WithMakerNote(c.version, c.setting, false);
        CMemFile mem(bytes);
        CExifFile exif;
        ASSERT_EQ(exif.Attach(&mem, kExifTiff), 0);
        EXPECT_EQ(exif.GetQualityReduction(), c.reduction) << c.version << " " << c.setting;
        EXPECT_EQ(exif.FindEntry(0, 0, kSubMaker) != nullptr, c.version != "ABCD");
    }
    EXPECT_FALSE(CExifFile::IsKnownMakerNote(std::vector<BYTE>(13, 'V'))); // too short to hold a version
}

TEST(ExifRead, ThumbnailDirectoryKinds)
{
    struct Case { const char* name; std::vector<Tag> dir1; short info; int kind; DWORD size; };
    const Case cases[] = {
        {"jpeg", {{259, 3, {6}}, {513, 4, {100}}, {514, 4, {5000}}}, 0, 2, 5000},
        {"strip", {{259, 3, {1}}, {273, 4, {100}}, {279, 4, {57600}}}, 0, 1, 57600},
        {"two strips", {{259, 3, {1}}, {273, 4, {100, 200}}, {279, 4, {10, 10}}}, -1, 1, 0},
        {"jpeg without length", {{259, 3, {6}}, {513, 4, {100}}}, -1, 2, 0},
        {"other compression", {{259, 3, {7}}}, 0, 0, 0},
        {"no compression", {{256, 3, {8}}}, -1, 0, 0},
        {"jpeg tags without compression", {{513, 4, {100}}, {514, 4, {5000}}}, 0, 2, 5000},
        {"jpeg offset alone", {{513, 4, {100}}}, -1, 0, 0},
    };
    for (const Case& c : cases) {
        TiffBuilder b(false);
        uint32_t d0 = b.Dir({{271, 2, {}, "Make"}});
        b.SetNext(d0, b.Dir(c.dir1));
        CMemFile mem(b.Tiff());
        CExifFile exif;
        exif.Attach(&mem, kExifTiff);
        int kind = -1;
        DWORD size = 0;
        EXPECT_EQ(exif.GetThumbnailInfo(kind, size), c.info) << c.name;
        EXPECT_EQ(kind, c.kind) << c.name;
        EXPECT_EQ(size, c.size) << c.name;
    }
}

TEST(ExifRead, StripThumbnailBytesAreBounded)
{
    TiffBuilder b(true);
    uint32_t d0 = b.Dir({{271, 2, {}, "Make"}});
    std::vector<BYTE> strip(2 * 2 * 3);
    for (size_t i = 0; i < strip.size(); ++i)
        strip[i] = BYTE(i + 1);
    uint32_t at = b.Blob(strip);
    uint32_t d1 = b.Dir({{256, 3, {2}}, {257, 3, {2}}, {259, 3, {1}}, {262, 3, {2}}, {273, 4, {at}},
                         {279, 4, {1000000}}}); // claims far more than the file holds
    b.SetNext(d0, d1);
    CMemFile mem(b.Tiff());
    CExifFile exif;
    exif.Attach(&mem, kExifTiff);
    std::vector<BYTE> buf(strip.size());
    EXPECT_EQ(exif.ReadStripThumbnail(buf.data(), buf.size()), 0); // the buffer bounds the read
    EXPECT_EQ(buf, strip);
    std::vector<BYTE> big(2000000);
    EXPECT_EQ(exif.ReadStripThumbnail(big.data(), big.size()), -1); // past the end of the file
    int w = 0, h = 0;
    EXPECT_EQ(exif.GetThumbnailSize(w, h), 0);
    EXPECT_EQ(w * h, 4);
}

TEST(ExifRead, FlipRgbRowsMakesBottomUpBgr)
{
    // Two rows of two pixels, top-down RGB.
    std::vector<BYTE> px = {1, 2, 3, 4, 5, 6, /* row 1 */ 7, 8, 9, 10, 11, 12};
    CExifFile::FlipRgbRows(2, px.data(), 2);
    EXPECT_EQ(px, (std::vector<BYTE>{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(ExifRead, ColourProfiles)
{
    std::vector<BYTE> profile(300);
    for (size_t i = 0; i < profile.size(); ++i)
        profile[i] = BYTE(i * 7);
    auto piece = [&](size_t from, size_t to) { return std::vector<BYTE>(profile.begin() + from, profile.begin() + to); };
    auto jpeg = [](std::vector<std::vector<BYTE>> segments) {
        std::vector<BYTE> j = {0xFF, 0xD8};
        for (auto& s : segments)
            j.insert(j.end(), s.begin(), s.end());
        j.insert(j.end(), {0xFF, 0xD9});
        return j;
    };
    std::vector<BYTE> plainApp2 = {0xFF, 0xE2, 0, 6, 'A', 'B', 'C', 'D'};
    std::vector<BYTE> sos = {0xFF, 0xDA, 0, 2};
    std::vector<BYTE> comment = {0xFF, 0xFE, 0, 5, 'x', 'y', 'z'};
    std::vector<BYTE> stored213;
    for (auto [from, to] : {std::pair{100, 200}, {0, 100}, {200, 300}}) {
        auto p = piece(from, to);
        stored213.insert(stored213.end(), p.begin(), p.end());
    }

    struct Case { const char* name; std::vector<BYTE> file; std::vector<BYTE> profile; std::vector<BYTE> firstApp2; };
    const Case cases[] = {
        {"chunks stored 2, 1, 3 keep that order",
         jpeg({comment, exiftest::IccSegment(2, 3, piece(100, 200)), exiftest::IccSegment(1, 3, piece(0, 100)),
               exiftest::IccSegment(3, 3, piece(200, 300))}),
         stored213, {}},
        {"app2 without signature is kept, adds nothing",
         jpeg({plainApp2, exiftest::IccSegment(1, 1, profile)}), profile, {'A', 'B', 'C', 'D'}},
        {"scan stops at the start of scan",
         jpeg({exiftest::IccSegment(1, 2, piece(0, 100)), sos, exiftest::IccSegment(2, 2, piece(100, 300))}),
         piece(0, 100), {}},
        {"not a jpeg", {0x00, 0x01, 0xFF, 0xE2}, {}, {}},
        {"segment length past the end", {0xFF, 0xD8, 0xFF, 0xE2, 0xFF, 0xFF, 'I', 'C', 'C'}, {}, {}},
    };
    for (const Case& c : cases) {
        CMemFile mem(c.file);
        CExifFile exif;
        EXPECT_EQ(exif.Attach(&mem, kExifJpeg), -1) << c.name; // no Exif in these
        auto got = exif.GetColorProfile();
        EXPECT_EQ(std::vector<BYTE>(got.begin(), got.end()), c.profile) << c.name;
        if (!c.firstApp2.empty()) {
            auto first = exif.GetFirstApp2();
            EXPECT_EQ(std::vector<BYTE>(first.begin(), first.end()), c.firstApp2) << c.name;
        }
    }

    // A TIFF keeps the profile of tag 34675 and no APP2 content.
    CMemFile tif(qrtest::ReadBytes(qrtest::DataPath("exif_motorola.tif")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&tif, kExifTiff), 0);
    auto icc = qrtest::ReadBytes(qrtest::DataPath("exif_test_srgb.icc"));
    auto got = exif.GetColorProfile();
    EXPECT_EQ(std::vector<BYTE>(got.begin(), got.end()), icc);
    EXPECT_TRUE(exif.GetFirstApp2().empty());
}

TEST(ExifRead, ProfileMatchesExiftool)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    auto path = qrtest::DataPath("exif_intel.jpg");
    CFile file(path.string(), CFile::modeRead);
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&file, kExifJpeg), 0);
    std::string fromExiftool = qrtest::ExifTool({"-b", "-ICC_Profile", path.string()}).out;
    auto got = exif.GetColorProfile();
    ASSERT_FALSE(fromExiftool.empty());
    EXPECT_EQ(std::string(got.begin(), got.end()), fromExiftool);
}

TEST(ExifRead, App2PrefixAndProfileJoin)
{
    std::vector<BYTE> prefix(6000, 'p');
    EXPECT_EQ(JoinApp2PrefixAndProfile(prefix, std::vector<BYTE>(60000, 'q')).size(), 60000u);
    EXPECT_EQ(JoinApp2PrefixAndProfile(prefix, std::vector<BYTE>(50000, 'q')).size(), 56000u);
}

TEST(ExifRead, ChainLengthLimit)
{
    for (int directories : {CExifFile::kMaxChainDirectories, CExifFile::kMaxChainDirectories + 1}) {
        TiffBuilder b(false);
        uint32_t previous = 0;
        for (int n = 0; n < directories; ++n) {
            uint32_t d = b.Dir({{271, 2, {}, "Make"}});
            if (n > 0)
                b.SetNext(previous, d);
            previous = d;
        }
        CMemFile mem(b.Tiff());
        CExifFile exif;
        exif.Attach(&mem, kExifTiff);
        EXPECT_EQ(exif.CountEntries(CExifFile::kMaxChainDirectories - 1, kSubMain), 1);
        EXPECT_EQ(exif.CountEntries(CExifFile::kMaxChainDirectories, kSubMain), 0);
    }
}

TEST(ExifRead, TiffSizeLimit)
{
    // The whole structure is read: a file of exactly the limit is, one byte
    // more is not read at all.
    std::vector<BYTE> tif = qrtest::ReadBytes(qrtest::DataPath("exif_intel.tif"));
    const uint64_t limit = tif.size() + 100;
    tif.resize(limit, 0);
    const uint64_t saved = CExifFile::MaxTiffBytes();
    CExifFile::SetMaxTiffBytes(limit);
    CMemFile atLimit(tif);
    CExifFile read;
    EXPECT_EQ(read.Attach(&atLimit, kExifTiff), 0);
    EXPECT_GT(read.CountEntries(0, kSubMain), 0);
    tif.push_back(0);
    CMemFile past(tif);
    CExifFile refused;
    EXPECT_EQ(refused.Attach(&past, kExifTiff), -1);
    EXPECT_EQ(refused.CountEntries(0, kSubMain), 0);
    CExifFile::SetMaxTiffBytes(saved);

    // The program's own limit, on a sparse file one byte past it: refused
    // before anything of it is read.
    qrtest::TempDir dir;
    const std::string path = (dir / "huge.tif").string();
    tif.resize(1024);
    qrtest::WriteBytes(path, tif);
    std::filesystem::resize_file(path, CExifFile::kMaxTiffBytes + 1);
    CFile huge(path, CFile::modeRead);
    CExifFile notRead;
    EXPECT_EQ(notRead.Attach(&huge, kExifTiff), -1);
}
