// Real camera files (tests/data/camera_*.jpg, see exif_fixtures.txt): their maker
// notes, previews included, must read the same in another Exif reader after
// this program rewrote the metadata around them.
#include "imaging/exif_file.h"
#include "imaging/exif_maker_note.h"
#include "platform/byte_reader.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"

#include <gtest/gtest.h>


namespace {

namespace fs = std::filesystem;
using exiftest::ExpectSameMakerNote;
using exiftest::MakerNoteTags;
using exiftest::TiffBuilder;
using exiftest::Warnings;

struct CameraFile {
    const char* name;
    bool preview;   // the note carries a preview picture
};

const CameraFile kCameraFiles[] = {
    {"camera_canon_sd1200is.jpg", false},   // Motorola file, Intel note, offsets from the TIFF header
    {"camera_canon_eos_t4i.jpg", false},
    {"camera_nikon_e3200.jpg", true},       // own TIFF header; the preview stands behind the note
    {"camera_nikon_d70s.jpg", true},        // Motorola order, preview inside the note
    {"camera_pentax_optio_s6.jpg", true},   // "AOC" header, offsets from the TIFF header
    {"camera_pentax_optio_s5z.jpg", true},  // the same in Motorola order
    {"camera_sony_dsc_w15.jpg", false},
    {"camera_sony_dsc_s600.jpg", false},
    {"camera_casio_ex_z70.jpg", true},
    {"camera_fujifilm_z1.jpg", false},      // offsets from its own header, Intel order always
    {"camera_olympus_fe370.jpg", false},
    {"camera_panasonic_fh25.jpg", false},
    {"camera_kodak_z710.jpg", false},       // fixed fields, no directory
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

// The JPEG with its APP1 segment replaced by the written block.
std::vector<BYTE> Replaced(const std::vector<BYTE>& jpeg, const std::vector<BYTE>& block)
{
    const size_t oldEnd = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    std::vector<BYTE> out = {0xFF, 0xD8, 0xFF, 0xE1, BYTE((block.size() + 2) >> 8), BYTE(block.size() + 2)};
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(oldEnd), jpeg.end());
    return out;
}

std::vector<BYTE> Rewritten(const std::vector<BYTE>& source, int kind)
{
    CMemFile in(source);
    CExifFile exif;
    if (exif.Attach(&in, kind) != 0)
        return {};
    const std::vector<BYTE> thumb = Thumbnail(exif);
    CMemFile out;
    DWORD size = 0;
    if (exif.WriteExif(&out, size, thumb.empty() ? nullptr : thumb.data(), DWORD(thumb.size()), 16, 12, 160, 120, 0,
                       -1) != 0)
        return {};
    return out.Data();
}

} // namespace

TEST(ExifCameraFiles, MakerNotesAndPreviewsReadTheSameAfterARewrite)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    qrtest::TempDir dir;
    std::vector<fs::path> files;
    for (const CameraFile& c : kCameraFiles) {
        const auto source = qrtest::ReadBytes(qrtest::DataPath(c.name));
        const auto block = Rewritten(source, kExifJpeg);
        ASSERT_FALSE(block.empty()) << c.name;
        files.push_back(qrtest::DataPath(c.name));
        files.push_back(dir / (std::string("rewritten_") + c.name));
        qrtest::WriteBytes(files.back(), Replaced(source, block));
    }
    const auto tags = MakerNoteTags(files);
    const auto warnings = Warnings(files);
    for (size_t i = 0; i < files.size(); i += 2) {
        const CameraFile& c = kCameraFiles[i / 2];
        const QJsonObject& before = tags.at(files[i].string());
        const QJsonObject& after = tags.at(files[i + 1].string());
        ExpectSameMakerNote(before, after, c.name);
        bool preview = false;
        for (auto it = after.begin(); it != after.end(); ++it)
            preview = preview || it.key().endsWith(":PreviewImage");
        EXPECT_EQ(preview, c.preview) << c.name;
        // The rewrite adds nothing for a validator to find.
        const auto& was = warnings.count(files[i].string()) ? warnings.at(files[i].string()) : std::set<std::string>{};
        if (warnings.count(files[i + 1].string())) {
            for (const std::string& w : warnings.at(files[i + 1].string())) {
                if (w.find("Validate") == std::string::npos) {
                    EXPECT_TRUE(was.count(w)) << c.name << ": " << w;
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
