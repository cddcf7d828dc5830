#include "platform/byte_reader.h"
#include "imaging/exif_file.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

using exiftest::Tag;
using exiftest::TiffBuilder;

namespace {

std::vector<BYTE> Value(const CExifEntry* e) { return e ? e->EncodeIntel() : std::vector<BYTE>{}; }

// The block of kind 0 as a JPEG: the APP1 segment in front of the picture data
// of a fixture (everything behind that fixture's own APP1 segment).
// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
std::vector<BYTE> JpegWithBlock(const std::vector<BYTE>& block, const char* pictureFrom = "exif_intel.jpg")
{
    auto picture = qrtest::ReadBytes(qrtest::DataPath(pictureFrom));
    const size_t oldEnd = 4 + (size_t(picture[4]) << 8 | picture[5]);
    std::vector<BYTE> j = {0xFF, 0xD8, 0xFF, 0xE1, BYTE((block.size() + 2) >> 8), BYTE(block.size() + 2)};
    j.insert(j.end(), block.begin(), block.end());
    j.insert(j.end(), picture.begin() + static_cast<ptrdiff_t>(oldEnd), picture.end());
    return j;
}
QR_GCC_IGNORE_END

struct Written {
    short result = -1;
    DWORD size = 0;
    std::vector<BYTE> block;
};

Written Write(CExifFile& exif, int kind, const std::vector<BYTE>& thumbnail = {}, int width = 16, int height = 12)
{
    Written w;
    CMemFile out;
    w.result = exif.WriteExif(&out, w.size, thumbnail.empty() ? nullptr : thumbnail.data(),
                              DWORD(thumbnail.size()), width, height, 160, 120, kind, -1);
    w.block = out.Data();
    return w;
}

std::vector<BYTE> Thumbnail(CExifFile& exif)
{
    int kind = 0;
    DWORD size = 0;
    if (exif.GetThumbnailInfo(kind, size) != 0 || kind != 2)
        return {};
    std::vector<BYTE> t(size);
    exif.ReadJpegThumbnail(t.data(), t.size());
    return t;
}

} // namespace

TEST(ExifWrite, MotorolaSourceReadsBackTheSameInIntelOrder)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    for (const char* name : {"exif_motorola.jpg", "exif_intel.jpg"}) {
        CMemFile src(qrtest::ReadBytes(qrtest::DataPath(name)));
        CExifFile source;
        ASSERT_EQ(source.Attach(&src, kExifJpeg), 0);
        const std::vector<BYTE> thumb = Thumbnail(source);
        ASSERT_FALSE(thumb.empty());
        // What the reader saw before writing (writing changes some tags on purpose).
        struct Want { WORD tag; WORD sub; std::vector<BYTE> value; };
        std::vector<Want> want;
        for (const auto& e : source.GetEntries())
            if (e->m_directory == 0 && (e->m_subDirectory == kSubGps || e->m_tag == 271 || e->m_tag == 272 ||
                                        e->m_tag == 36867 || e->m_tag == 37510 || e->m_tag == 33434))
                want.push_back({e->m_tag, e->m_subDirectory, Value(e.get())});
        ASSERT_GT(want.size(), 8u);

        Written w = Write(source, 0, thumb);
        ASSERT_EQ(w.result, 0);
        EXPECT_EQ(w.size, w.block.size());
        ASSERT_EQ(std::string(w.block.begin(), w.block.begin() + 8), std::string("Exif\0\0II", 8));

        auto jpeg = JpegWithBlock(w.block);
        CMemFile again(jpeg);
        CExifFile back;
        ASSERT_EQ(back.Attach(&again, kExifJpeg), 0);
        EXPECT_FALSE(back.IsBigEndian());
        for (const Want& x : want)
            EXPECT_EQ(Value(back.FindEntry(x.tag, 0, x.sub)), x.value) << name << " tag " << x.tag;
        EXPECT_EQ(Thumbnail(back), thumb);
        EXPECT_EQ(back.FindEntry(40962, 0, kSubExif)->GetLong(0), 16u);

        // The outside reader agrees, and finds nothing wrong with the file.
        qrtest::TempDir dir;
        auto path = dir / "out.jpg";
        qrtest::WriteBytes(path, jpeg);
        EXPECT_EQ(exiftest::ValidationErrors(path), "") << name;
        EXPECT_EQ(exiftest::Exiftool(path, "ExifByteOrder", true), "II");
        EXPECT_EQ(exiftest::Exiftool(path, "Make"), "Quiram Test");
        EXPECT_EQ(exiftest::Exiftool(path, "DateTimeOriginal"), "2024:05:06 07:08:09");
        EXPECT_EQ(exiftest::Exiftool(path, "GPSLatitude", true), "51.5");
        EXPECT_EQ(exiftest::Exiftool(path, "GPSLongitude", true), "-0.125");
        EXPECT_EQ(exiftest::Exiftool(path, "UserComment"),
                  exiftest::Exiftool(qrtest::DataPath(name), "UserComment"));
        EXPECT_EQ(exiftest::Exiftool(path, "ThumbnailLength"), std::to_string(thumb.size()));
        EXPECT_EQ(exiftest::Exiftool(path, "ExifImageWidth"), "16");
        EXPECT_EQ(exiftest::Exiftool(path, "XResolution"), "300");
    }
}

TEST(ExifWrite, EdgeCases)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    struct Case {
        const char* name;
        std::vector<Tag> main;
        std::vector<Tag> exif;
        bool interopWritten;
        DWORD xResolution;
    };
    const Case cases[] = {
        {"0220 keeps interoperability", {{282, 5, {300, 1}}}, {{36864, 7, {}, "0220"}}, true, 300},
        {"0210 drops interoperability", {{282, 5, {0, 0}}}, {{36864, 7, {}, "0210"}}, false, 72},
        {"0000 becomes 0210 and drops it", {}, {{36864, 7, {}, "0000"}}, false, 72},
    };
    for (const Case& c : cases) {
        TiffBuilder b(true);
        auto main = c.main;
        main.push_back({34665, 4, {0}});
        main.push_back({40965, 4, {0}}); // misplaced pointer: never written from the main directory
        uint32_t mainDir = b.Dir(main);
        auto exif = c.exif;
        exif.push_back({40965, 4, {0}});
        uint32_t exifDir = b.Dir(exif);
        uint32_t interop = b.Dir({{1, 2, {}, std::string("R03\0", 4)}, {2, 7, {}, "0100"}});
        b.SetField(mainDir, 34665, exifDir);
        b.SetField(exifDir, 40965, interop);
        CMemFile mem(b.Tiff());
        CExifFile src;
        ASSERT_EQ(src.Attach(&mem, kExifTiff), 0) << c.name;
        Written w = Write(src, 0);
        ASSERT_EQ(w.result, 0) << c.name;
        auto jpeg = JpegWithBlock(w.block);
        CMemFile again(jpeg);
        CExifFile back;
        ASSERT_EQ(back.Attach(&again, kExifJpeg), 0) << c.name;
        EXPECT_EQ(back.FindEntry(1, 0, kSubInterop) != nullptr, c.interopWritten) << c.name;
        EXPECT_EQ(back.FindEntry(40965, 0, kSubExif) != nullptr, c.interopWritten) << c.name;
        EXPECT_EQ(back.FindEntry(40965, 0, kSubMain), nullptr) << c.name;
        DWORD n, d;
        int sign;
        back.FindEntry(282, 0, kSubMain)->GetRational(n, d, sign, 0);
        EXPECT_EQ(n, c.xResolution) << c.name;
        EXPECT_EQ(d, 1u) << c.name;
        qrtest::TempDir dir;
        qrtest::WriteBytes(dir / "x.jpg", jpeg);
        EXPECT_EQ(exiftest::ValidationErrors(dir / "x.jpg"), "") << c.name;
    }
}

TEST(ExifWrite, NothingToWrite)
{
    CExifFile empty;
    Written w = Write(empty, 0);
    EXPECT_EQ(w.result, -1);
    EXPECT_EQ(w.size, 0u);
    EXPECT_TRUE(w.block.empty());
}

TEST(ExifWrite, TiffBlockHoldsExifThenGps)
{
    CMemFile src(qrtest::ReadBytes(qrtest::DataPath("exif_motorola.tif")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&src, kExifTiff), 0);
    Written w = Write(exif, 1);
    ASSERT_EQ(w.result, 0);
    ByteReader r(w.block, false);
    // Base is the block's start; the Exif directory stands at offset 0.
    const int k = *r.U16At(0);
    ASSERT_EQ(k, exif.CountEntries(0, kSubExif));
    EXPECT_EQ(exif.FindEntry(40965, 0, kSubExif), nullptr);
    EXPECT_EQ(*r.U32At(2 + 12 * k), 0u);
    for (int i = 0; i < k; ++i)
        if (*r.U16At(2 + 12 * i + 0) == 37510) {
            auto at = *r.U32At(2 + 12 * i + 8);
            auto bytes = r.At(at, 8 + 12);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(std::string(bytes->begin(), bytes->end()), std::string("ASCII\0\0\0Tiff comment", 20));
        }
    // The GPS directory ends the block: its latitude reference reads "S".
    const CExifEntry* ref = exif.FindEntry(1, 0, kSubGps);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->GetByte(0), 'S');
    const size_t gpsCount = size_t(exif.CountEntries(0, kSubGps));
    bool found = false;
    for (size_t at = 0; at + 2 + 12 * gpsCount + 4 <= w.block.size(); at += 2)
        if (*r.U16At(at) == gpsCount && *r.U16At(at + 2) <= 1 && *r.U16At(at + 4) == 1 &&
            *r.U32At(at + 2 + 12 * gpsCount) == 0 && at > 0)
            found = true;
    EXPECT_TRUE(found);
}

TEST(ExifWrite, MakerNoteIsRebuiltAtItsFixedPlace)
{
    // A camera-like maker note: version, settings array, a preview to drop.
    auto makeSource = [](size_t settingsCount, size_t noteSlack) {
        TiffBuilder b(true);
        uint32_t mainDir = b.Dir({{271, 2, {}, "Maker"}, {34665, 4, {0}}});
        std::vector<uint64_t> settings(settingsCount, 0);
        settings[5] = 4;
        // The note's bytes, Motorola order, offsets counted from the TIFF base.
        const uint32_t exifDirAt = static_cast<uint32_t>(b.Tiff().size() + (b.Tiff().size() & 1));
        const uint32_t noteAt = exifDirAt + 2 + 12 * 1 + 4;
        std::vector<BYTE> note(2 + 12 * 3 + 4, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                note[at + i] = BYTE(v >> (24 - 8 * i));
        };
        note[1] = 3;
        note[2 + 1] = 0; note[2 + 3] = 7; put32(2 + 4, 4); note[2 + 8] = 'V'; note[2 + 9] = 'R'; note[2 + 10] = 'K'; note[2 + 11] = '0';
        note[14 + 1] = 1; note[14 + 3] = 4; put32(14 + 4, uint32_t(settingsCount)); put32(14 + 8, noteAt + uint32_t(note.size()));
        std::vector<BYTE> values;
        for (uint64_t s : settings)
            for (int i = 0; i < 4; ++i)
                values.push_back(BYTE(s >> (24 - 8 * i)));
        note[26 + 0] = 0; note[26 + 1] = 129; note[26 + 3] = 7; put32(26 + 4, 4); note[26 + 8] = 0xFF;
        note.insert(note.end(), values.begin(), values.end());
        note.resize(note.size() + noteSlack, 0);
        uint32_t exifDir = b.Dir({{37500, 7, {}, std::string(note.begin(), note.end())}});
        EXPECT_EQ(exifDir, exifDirAt);
        b.SetField(mainDir, 34665, exifDir);
        return b.Tiff();
    };

    struct Case { const char* name; size_t slack; int32_t fixed; bool rebuilt; bool atFixed; };
    const Case cases[] = {
        {"rebuilt at its fixed offset", 0, 1148, true, true},
        {"fixed offset behind written data is ignored", 0, 8, true, false},
        {"no fixed offset", 0, 0, true, false},
    };
    for (const Case& c : cases) {
        CMemFile mem(makeSource(7, c.slack));
        CExifFile src;
        ASSERT_EQ(src.Attach(&mem, kExifTiff), 0);
        ASSERT_EQ(src.GetQualityReduction(), 10) << c.name;
        CExifEntry* note = src.FindEntry(37500, 0, kSubExif);
        note->m_fixedValueOffset = c.fixed;
        Written w = Write(src, 0);
        ASSERT_EQ(w.result, 0) << c.name;
        auto jpeg = JpegWithBlock(w.block);
        CMemFile again(jpeg);
        CExifFile back;
        ASSERT_EQ(back.Attach(&again, kExifJpeg), 0) << c.name;
        const CExifEntry* version = back.FindEntry(0, 0, kSubMaker);
        ASSERT_NE(version, nullptr) << c.name;
        EXPECT_EQ(std::string(version->m_value.begin(), version->m_value.end()), "vrk0") << c.name;
        EXPECT_EQ(back.FindEntry(129, 0, kSubMaker), nullptr) << c.name;
        EXPECT_EQ(back.GetQualityReduction(), 10) << c.name;
        // Where the note's value landed, base-relative.
        const CExifEntry* backNote = back.FindEntry(37500, 0, kSubExif);
        const int64_t field = backNote->m_fileOffset + 8;
        const uint32_t at = jpeg[field] | jpeg[field + 1] << 8 | jpeg[field + 2] << 16 | uint32_t(jpeg[field + 3]) << 24;
        EXPECT_EQ(at == 1148u, c.atFixed) << c.name;
        // Whatever follows the note comes behind it.
        for (const auto& e : back.GetEntries())
            if (e->m_directory == 0 && e->m_subDirectory == kSubExif && e->GetDataSize() > 4 && e.get() != backNote) {
                const int64_t f = e->m_fileOffset + 8;
                const uint32_t v = jpeg[f] | jpeg[f + 1] << 8 | jpeg[f + 2] << 16 | uint32_t(jpeg[f + 3]) << 24;
                EXPECT_TRUE(v < at || v >= at + backNote->GetDataSize()) << c.name << " tag " << e->m_tag;
            }
    }
}

TEST(ExifWrite, OversizedThumbnailIsDroppedNotTheJpeg)
{
    CMemFile src(qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&src, kExifJpeg), 0);
    std::vector<BYTE> thumb(65000, 0x11);
    thumb[0] = 0xFF;
    thumb[1] = 0xD8;
    Written w = Write(exif, 0, thumb);
    ASSERT_EQ(w.result, 0);
    EXPECT_LE(w.block.size(), CExifFile::kMaxApp1Content);
    auto jpeg = JpegWithBlock(w.block);
    CMemFile again(jpeg);
    CExifFile back;
    ASSERT_EQ(back.Attach(&again, kExifJpeg), 0);
    EXPECT_EQ(back.CountEntries(1, kSubMain), 0);
    EXPECT_NE(back.FindEntry(271, 0, kSubMain), nullptr);
}

TEST(ExifWrite, OldExifVersionLosesInteroperabilityInExiftoolToo)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    CMemFile src(qrtest::ReadBytes(qrtest::DataPath("exif_version_0210.jpg")));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&src, kExifJpeg), 0);
    ASSERT_NE(exif.FindEntry(1, 0, kSubInterop), nullptr);
    Written w = Write(exif, 0, Thumbnail(exif));
    ASSERT_EQ(w.result, 0);
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "o.jpg", JpegWithBlock(w.block));
    EXPECT_EQ(exiftest::ValidationErrors(dir / "o.jpg"), "");
    EXPECT_EQ(exiftest::Exiftool(dir / "o.jpg", "InteropIndex"), "");
    EXPECT_EQ(exiftest::Exiftool(dir / "o.jpg", "ExifVersion"), "0210");
    EXPECT_EQ(exiftest::Exiftool(dir / "o.jpg", "Model"), "QT-1");
}

TEST(ExifWrite, ExifVersionCoversTheTagsWritten)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    struct Case {
        const char* name;
        std::vector<Tag> exif;
        const char* version;
    };
    const Case cases[] = {
        {"no version: the oldest written", {{33434, 5, {1, 125}}}, "0210"},
        {"no version, a 2.2 tag", {{33434, 5, {1, 125}}, {0xA402, 3, {0}}}, "0220"},
        {"0210 with a 2.3 tag", {{36864, 7, {}, "0210"}, {0xA434, 2, {}, "Lens"}}, "0230"},
        {"0221 kept", {{33434, 5, {1, 125}}, {36864, 7, {}, "0221"}, {0xA402, 3, {0}}}, "0221"},
        {"as text", {{36864, 2, {}, std::string("0220\0", 5)}}, "0220"},
        {"no digits", {{36864, 7, {}, "abcd"}, {0xA402, 3, {0}}}, "0220"},
    };
    for (const Case& c : cases) {
        TiffBuilder b(false);
        uint32_t mainDir = b.Dir({{271, 2, {}, std::string("Maker\0", 6)}, {34665, 4, {0}}});
        b.SetField(mainDir, 34665, b.Dir(c.exif));
        CMemFile mem(b.Tiff());
        CExifFile src;
        ASSERT_EQ(src.Attach(&mem, kExifTiff), 0) << c.name;
        Written w = Write(src, 0);
        ASSERT_EQ(w.result, 0) << c.name;
        qrtest::TempDir dir;
        qrtest::WriteBytes(dir / "v.jpg", JpegWithBlock(w.block));
        // The version, then what a validator says: no tag needs a newer one.
        const std::string out =
            qrtest::ExifTool({"-s3", "-a", "-ExifVersion", "-validate", "-warning", (dir / "v.jpg").string()}).out;
        EXPECT_EQ(out.substr(0, 5), std::string(c.version) + "\n") << c.name;
        EXPECT_EQ(out.find("requires"), std::string::npos) << c.name << ": " << out;
    }
}

TEST(ExifWrite, EntriesOfUnknownTypesAreNotWrittenBack)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    TiffBuilder b(true);
    uint32_t mainDir = b.Dir({{271, 2, {}, std::string("Maker\0", 6)},
                              {700, 0, {}, "abcd", 4},
                              {701, 13, {}, "abcd", 1},
                              {702, 99, {}, "abcd", 1},
                              {34665, 4, {0}}});
    b.SetField(mainDir, 34665, b.Dir({{33434, 5, {1, 125}}, {703, 14, {}, "ab", 2}}));
    CMemFile mem(b.Tiff());
    CExifFile src;
    ASSERT_EQ(src.Attach(&mem, kExifTiff), 0);
    ASSERT_NE(src.FindEntry(702, 0, kSubMain), nullptr);
    Written w = Write(src, 0);
    ASSERT_EQ(w.result, 0);
    auto jpeg = JpegWithBlock(w.block);
    CMemFile again(jpeg);
    CExifFile back;
    ASSERT_EQ(back.Attach(&again, kExifJpeg), 0);
    for (WORD tag : {700, 701, 702, 703})
        EXPECT_EQ(back.FindEntry(tag, 0, 0), nullptr) << tag;
    EXPECT_NE(back.FindEntry(33434, 0, kSubExif), nullptr);
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "t.jpg", jpeg);
    const std::string check = qrtest::ExifTool({"-validate", "-warning", "-a", "-s", (dir / "t.jpg").string()}).out;
    EXPECT_EQ(QString::fromStdString(check).indexOf("format", 0, Qt::CaseInsensitive), -1) << check;
}
