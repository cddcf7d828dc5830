// Real camera files (tests/data/camera_*.jpg and jfif_camera_*.jpg, see
// exif_fixtures.txt) and two built like real ones: their tags, maker
// notes, previews included, must read the same in another Exif reader after
// this program rewrote the metadata around them.
#include "imaging/exif_file.h"
#include "imaging/exif_maker_note.h"
#include "platform/byte_reader.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>


namespace {

namespace fs = std::filesystem;
using exiftest::ExpectSameMakerNote;
using exiftest::MakerNoteTags;
using exiftest::Tag;
using exiftest::TiffBuilder;
using exiftest::Warnings;

struct CameraFile {
    const char* name;
    bool preview;   // the note carries a preview picture
};

// Photographs of eleven makers; see exif_fixtures.txt for where each came from.
const CameraFile kCameraFiles[] = {
    {"camera_canon_sd1200is.jpg", false},   // Motorola file, Intel note, offsets from the TIFF header
    {"camera_canon_eos_t4i.jpg", false},
    {"camera_nikon_e3200.jpg", true},       // own TIFF header; the preview stands behind the note
    {"camera_nikon_d70s.jpg", true},        // Motorola order, preview inside the note
    {"jfif_camera_nikon_d2h.jpg", false},   // JFIF and Photoshop segments around the Exif segment
    {"camera_pentax_optio_s6.jpg", true},   // "AOC" header, offsets from the TIFF header
    {"camera_pentax_optio_s5z.jpg", true},  // the same in Motorola order
    {"camera_sony_dsc_w15.jpg", false},
    {"camera_sony_dsc_s600.jpg", false},
    {"camera_casio_ex_z70.jpg", true},
    {"camera_fujifilm_z1.jpg", false},      // offsets from its own header, Intel order always
    {"camera_olympus_fe370.jpg", false},
    {"camera_panasonic_fh25.jpg", false},
    {"camera_kodak_z710.jpg", false},       // fixed fields, no directory
    {"jfif_camera_apple_iphone4s.jpg", false}, // a phone's: JFIF first, then Exif and XMP
    {"jfif_camera_htc_one_m8.jpg", false},
};

// The source's own thumbnail, as a save passes one.
std::vector<BYTE> Thumbnail(CExifFile& exif)
{
    int kind = 0;
    DWORD size = 0;
    if (exif.GetThumbnailInfo(kind, size) != 0 || kind != 2 || size == 0)
        return {};
    std::vector<BYTE> t(size);
    if (exif.ReadJpegThumbnail(t.data(), t.size()) != 0)
        return {};
    return t;
}

// The JPEG with its Exif segment replaced, where it stood, by the written block.
std::vector<BYTE> Replaced(const std::vector<BYTE>& jpeg, const std::vector<BYTE>& block)
{
    const auto segment = FindExifSegment(jpeg);
    if (!segment)
        return {};
    std::vector<BYTE> out(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(segment->marker));
    out.insert(out.end(), {0xFF, 0xE1, BYTE((block.size() + 2) >> 8), BYTE(block.size() + 2)});
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(segment->End()), jpeg.end());
    return out;
}

// The Exif block a save writes for the source, with the source's thumbnail and
// picture size, so that nothing but the layout has a reason to change.
std::vector<BYTE> Rewritten(const std::vector<BYTE>& source, int kind)
{
    CMemFile in(source);
    CExifFile exif;
    if (exif.Attach(&in, kind) != 0)
        return {};
    const std::vector<BYTE> thumb = Thumbnail(exif);
    auto dimension = [&](WORD tag, int fallback) {
        const CExifEntry* e = exif.FindEntry(tag, 0, kSubExif);
        return e ? static_cast<int>(e->GetLong(0)) : fallback;
    };
    CMemFile out;
    DWORD size = 0;
    if (exif.WriteExif(&out, size, thumb.empty() ? nullptr : thumb.data(), DWORD(thumb.size()), dimension(40962, 16),
                       dimension(40963, 12), 160, 120, 0, -1) != 0)
        return {};
    return out.Data();
}

// The picture of a small JPEG: everything behind its Exif segment.
std::vector<BYTE> Picture()
{
    const auto jpeg = qrtest::ReadBytes(qrtest::DataPath("exif_motorola.jpg"));
    return {jpeg.begin() + static_cast<ptrdiff_t>(FindExifSegment(jpeg)->End()), jpeg.end()};
}

std::vector<BYTE> SmallJpeg()
{
    std::vector<BYTE> jpeg = Picture();
    jpeg.insert(jpeg.begin(), {0xFF, 0xD8});
    return jpeg;
}

std::string Z(const char* text) { return std::string(text) + '\0'; }

// Main directory, Exif directory with the note, thumbnail directory: a
// camera's JPEG in Intel order. behindNote stands directly behind the note.
std::vector<BYTE> CameraJpeg(const char* make, const char* model, const std::string& note,
                             const std::vector<BYTE>& behindNote, const std::vector<BYTE>& trailer)
{
    TiffBuilder b(false);
    const uint32_t mainDir = b.Dir({{271, 2, {}, Z(make)}, {272, 2, {}, Z(model)}, {274, 3, {1}}, {282, 5, {300, 1}},
                                    {283, 5, {300, 1}}, {296, 3, {2}}, {531, 3, {2}}, {34665, 4, {0}}});
    const uint32_t exifDir =
        b.Dir({{33434, 5, {1, 60}}, {33437, 5, {56, 10}}, {36864, 7, {}, "0221"}, {36867, 2, {}, Z("2007:03:04 05:06:07")},
               {37121, 7, {}, std::string("\1\2\3\0", 4)}, {37500, 7, {}, note}, {40960, 7, {}, "0100"},
               {40961, 3, {1}}, {40962, 4, {3872}}, {40963, 4, {2592}}});
    // The note is the directory's last value: what follows stands right behind it.
    if (!behindNote.empty())
        b.Blob(behindNote);
    const std::vector<BYTE> thumb = SmallJpeg();
    const uint32_t thumbDir = b.Dir({{259, 3, {6}}, {282, 5, {72, 1}}, {283, 5, {72, 1}}, {296, 3, {2}}, {513, 4, {0}},
                                     {514, 4, {thumb.size()}}});
    b.SetField(thumbDir, 513, b.Blob(thumb));
    b.SetField(mainDir, 34665, exifDir);
    b.SetNext(mainDir, thumbDir);
    std::vector<BYTE> jpeg = b.Jpeg(Picture());
    jpeg.insert(jpeg.end(), trailer.begin(), trailer.end());
    return jpeg;
}

// A Nikon photograph as the maker's scan software leaves it: the note points
// (tag 0x0e10) at a scan directory that stands just behind the note, outside
// its byte count. No packaged photograph carries one, so it is built here the
// way such files are laid out.
std::vector<BYTE> NikonWithScanDirectory()
{
    TiffBuilder inner(false); // the note's own TIFF header: its offsets count from there
    const uint32_t noteDir = inner.Dir({{1, 7, {}, "0210"}, {2, 3, {0, 200}}, {4, 2, {}, Z("FINE ")},
                                        {5, 2, {}, Z("AUTO       ")}, {0x0e10, 4, {0}}});
    const size_t noteEnd = inner.Tiff().size() + (inner.Tiff().size() & 1);
    const uint32_t scanDir = inner.Dir({{0x02, 2, {}, Z("Color Negative")}, {0x40, 10, {3, 2}}, {0x50, 2, {}, Z("Fine")}});
    inner.SetField(noteDir, 0x0e10, scanDir);
    std::string note("Nikon\0\x02\x10\0\0", 10);
    note.append(inner.Tiff().begin(), inner.Tiff().begin() + static_cast<ptrdiff_t>(noteEnd));
    const std::vector<BYTE> scan(inner.Tiff().begin() + static_cast<ptrdiff_t>(noteEnd), inner.Tiff().end());
    return CameraJpeg("NIKON CORPORATION", "NIKON D200", note, scan, {});
}

// A Sony photograph whose note holds its large preview behind the picture,
// offsets counted from the TIFF header, as the maker's interchangeable-lens
// cameras write it (a 32-byte header, then the JPEG with its first byte
// cleared). Built here the same way, for want of a packaged one.
std::vector<BYTE> SonyWithTrailerPreview()
{
    std::vector<BYTE> preview = SmallJpeg();
    preview[0] = 0;
    preview.insert(preview.begin(), 32, 0);
    auto note = [&](uint32_t noteAt, uint32_t previewAt) {
        TiffBuilder d(false);
        const uint32_t textAt = noteAt + 12 + 2 + 3 * 12 + 4;
        const uint32_t dir = d.Dir({{0x0102, 4, {2}}, {0x2001, 7, {}, std::string(4, '\0'), int64_t(preview.size())},
                                    {0xb020, 2, {}, std::string(4, '\0'), 9}});
        d.SetField(dir, 0x2001, previewAt);
        d.SetField(dir, 0xb020, textAt);
        std::string n("SONY DSC \0\0\0", 12);
        n.append(d.Tiff().begin() + dir, d.Tiff().end());
        n.append(Z("Standard"));
        n.push_back('\0');
        return n;
    };
    const std::string draft = note(0, 0);
    const std::vector<BYTE> laidOut = CameraJpeg("SONY", "DSLR-A700", draft, {}, {});
    const std::string magic = "SONY DSC ";
    const auto at = std::search(laidOut.begin(), laidOut.end(), magic.begin(), magic.end());
    const uint32_t noteAt = static_cast<uint32_t>(at - laidOut.begin()) - 12;
    return CameraJpeg("SONY", "DSLR-A700", note(noteAt, static_cast<uint32_t>(laidOut.size() - 12)), {}, preview);
}

// Tags a save sets by its own rules, whatever the source held.
bool SetBySave(const QString& key)
{
    // Positioning 2 for JPEG, a version no older than the tags need, 72 dpi
    // for the thumbnail, which stands elsewhere in the new block.
    static const QStringList kRuled = {"IFD0:YCbCrPositioning", "ExifIFD:ExifVersion", "IFD1:ThumbnailOffset",
                                       "IFD1:XResolution", "IFD1:YResolution"};
    return kRuled.contains(key);
}

std::string Show(const QJsonValue& v)
{
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).left(120).toStdString();
}

// Every tag of before reads the same in after, but those the rewrite sets.
void ExpectSameTags(const QJsonObject& before, const QJsonObject& after, const std::string& what,
                    const std::function<bool(const QString&)>& changes)
{
    EXPECT_FALSE(before.isEmpty()) << what;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (changes(it.key()))
            continue;
        const std::string key = it.key().toStdString();
        ASSERT_TRUE(after.contains(it.key())) << what << ": " << key << " is gone";
        EXPECT_TRUE(after.value(it.key()) == it.value())
            << what << ": " << key << " was " << Show(it.value()) << ", is " << Show(after.value(it.key()));
    }
}

} // namespace

TEST(ExifCameraFiles, EveryTagAndPictureReadsTheSameAfterARewrite)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    // Two rewrites of each photograph: the Exif block a save writes, put where
    // the old segment stood, and a new user comment written into the file.
    struct Case {
        std::string name;
        std::vector<BYTE> bytes;
        bool preview;
        const char* mustHave; // a tag that shows the case is what it claims to be
    };
    std::vector<Case> cases;
    for (const CameraFile& c : kCameraFiles)
        cases.push_back({c.name, qrtest::ReadBytes(qrtest::DataPath(c.name)), c.preview, nullptr});
    cases.push_back({"nikon_scan.jpg", NikonWithScanDirectory(), false, "NikonScan:FilmType"});
    cases.push_back({"sony_trailer.jpg", SonyWithTrailerPreview(), true, "Sony:PreviewImage"});

    qrtest::TempDir dir;
    std::vector<fs::path> files; // source, saved, commented
    size_t jfifFirst = 0;
    for (const Case& c : cases) {
        jfifFirst += c.bytes.size() > 3 && c.bytes[3] == 0xE0;
        files.push_back(dir / ("source_" + c.name));
        qrtest::WriteBytes(files.back(), c.bytes);
        const auto block = Rewritten(c.bytes, kExifJpeg);
        ASSERT_FALSE(block.empty()) << c.name;
        files.push_back(dir / ("saved_" + c.name));
        qrtest::WriteBytes(files.back(), Replaced(c.bytes, block));
        files.push_back(dir / ("commented_" + c.name));
        qrtest::WriteBytes(files.back(), c.bytes);
        CFile file(files.back().string(), CFile::modeReadWrite);
        const std::string text = "A comment longer than any a camera leaves in its files";
        CExifFile exif;
        ASSERT_EQ(exif.SetUserComment(&file, kExifJpeg, 0, reinterpret_cast<const BYTE*>(text.data()), text.size()),
                  0)
            << c.name;
    }
    EXPECT_GE(jfifFirst, 3u);

    const auto tags = exiftest::MetadataTags(files);
    const auto warnings = Warnings(files);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const QJsonObject& before = tags.at(files[3 * i].string());
        if (c.mustHave) {
            EXPECT_TRUE(before.contains(c.mustHave)) << c.name;
        }
        bool preview = false;
        for (auto it = before.begin(); it != before.end(); ++it)
            preview = preview || it.key().endsWith(":PreviewImage");
        EXPECT_EQ(preview, c.preview) << c.name;
        ExpectSameTags(before, tags.at(files[3 * i + 1].string()), c.name + " saved", SetBySave);
        ExpectSameTags(before, tags.at(files[3 * i + 2].string()), c.name + " commented",
                       [](const QString& key) { return key == "ExifIFD:UserComment"; });
        // Neither rewrite adds anything for a validator to find.
        const auto& was = warnings.count(files[3 * i].string()) ? warnings.at(files[3 * i].string())
                                                                : std::set<std::string>{};
        for (size_t k = 1; k <= 2; ++k) {
            if (!warnings.count(files[3 * i + k].string()))
                continue;
            for (const std::string& w : warnings.at(files[3 * i + k].string())) {
                if (w.find("Validate") == std::string::npos) {
                    EXPECT_TRUE(was.count(w)) << files[3 * i + k].filename() << ": " << w;
                }
            }
        }
    }
}

TEST(ExifCameraFiles, NotesFarIntoATiffMoveWithTheirOffsets)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    // The camera's note at the end of a TIFF beyond what an APP1 segment can
    // reach: the JPEG block must move it, rebasing offsets that count from the
    // TIFF header and leaving alone those that count from the note's own.
    const char* kNames[] = {"camera_canon_eos_t4i.jpg", "camera_panasonic_fh25.jpg", "camera_nikon_d70s.jpg",
                            "camera_fujifilm_z1.jpg"};
    qrtest::TempDir dir;
    std::vector<fs::path> files;
    for (const char* name : kNames) {
        const auto jpeg = qrtest::ReadBytes(qrtest::DataPath(name));
        CMemFile in(jpeg);
        CExifFile camera;
        ASSERT_EQ(camera.Attach(&in, kExifJpeg), 0) << name;
        const CExifEntry* note = camera.FindEntry(kTagMakerNote, 0, kSubExif);
        ASSERT_NE(note, nullptr) << name;
        const MakerNoteForm form = ReadMakerNoteForm(note->m_value, uint64_t(note->m_valueOffset), camera.IsBigEndian());
        ASSERT_TRUE(form.directory) << name;
        ASSERT_TRUE(form.CanMove()) << name;
        auto text = [&](WORD tag) {
            const CExifEntry* e = camera.FindEntry(tag, 0, kSubMain);
            return std::string(e->m_value.begin(), e->m_value.end());
        };

        TiffBuilder b(camera.IsBigEndian());
        const uint32_t mainDir = b.Dir({{271, 2, {}, text(271)}, {272, 2, {}, text(272)}, {34665, 4, {0}}});
        b.Blob(std::vector<uint8_t>(70000, 0x55));
        const uint32_t exifAt = uint32_t(b.Tiff().size() + (b.Tiff().size() & 1));
        const uint32_t noteAt = exifAt + 2 + 12 + 4;
        const auto moved = MoveMakerNote(note->m_value, form, int64_t(noteAt) - note->m_valueOffset);
        ASSERT_EQ(b.Dir({{kTagMakerNote, 7, {}, std::string(moved.begin(), moved.end())}}), exifAt);
        b.SetField(mainDir, 34665, exifAt);
        files.push_back(dir / (std::string(name) + ".tif"));
        qrtest::WriteBytes(files.back(), b.Tiff());

        const auto block = Rewritten(b.Tiff(), kExifTiff);
        ASSERT_FALSE(block.empty()) << name;
        files.push_back(dir / (std::string("from_tiff_") + name));
        qrtest::WriteBytes(files.back(), Replaced(jpeg, block));
        files.push_back(qrtest::DataPath(name));
    }
    const auto tags = MakerNoteTags(files);
    for (size_t i = 0; i < files.size(); i += 3) {
        const std::string name = kNames[i / 3];
        // The TIFF made here reads as the camera's file does, and so does the JPEG written from it.
        ExpectSameMakerNote(tags.at(files[i + 2].string()), tags.at(files[i].string()), name + " in a TIFF", true);
        ExpectSameMakerNote(tags.at(files[i].string()), tags.at(files[i + 1].string()), name + " written", true);
    }
}
