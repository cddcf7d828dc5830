#include "imaging/image_save.h"

#include "util/reg_settings.h"
#include "imaging/exif_file.h"
#include "imaging/icc_profile_data.h"
#include "imaging/image_info_set.h"
#include "imaging/image_buffer.h"
#include "imaging/pixel_types.h"
#include "imaging/program_folders.h"
#include "platform/file.h"
#include "platform/framework/message_box.h"
#include "platform/registry.h"
#include "platform/replace_file.h"
#include "support/test_support.h"
#include "tests/imaging/exif_test_util.h"
#include "resources/string_ids.h"
#include "platform/gcc_warnings.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Saves go through the real exporters beside the test build's programs;
// message boxes are answered and remembered; a test may put its own job in
// place of the real one.
class ImageSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
        previousBoxes = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            messages.push_back(text);
            return IDOK;
        });
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(64, 48), PixelType::Bgr24));
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                BYTE* p = image.GetRowPointer(y) + 3 * x;
                p[0] = static_cast<BYTE>(x * 4);
                p[1] = static_cast<BYTE>(y * 5);
                p[2] = 200;
            }
    }
    void TearDown() override
    {
        SetImageSaveJobRunner(nullptr);
        SetMessageBoxHandler(previousBoxes);
        SetRegistryStore(nullptr);
    }

    // Every entry of the folder, by name.
    std::set<std::string> Folder() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.insert(e.path().filename().string());
        return names;
    }

    static QSize PictureSize(const fs::path& path) { return QImage(QString::fromStdString(path.string())).size(); }

    // A tag of a TIFF file's first directory, as plain text.
    static std::string TagOf(const fs::path& path, WORD tag)
    {
        CFile file;
        if (!file.Open(path.string(), CFile::modeRead))
            return "<unreadable>";
        CExifFile exif;
        exif.Attach(&file, kExifTiff); // a file without an Exif directory keeps what was read
        const CExifEntry* e = exif.FindEntry(tag, 0, kSubAny);
        return e ? FormatTagValue(*e, 0) : "<none>";
    }

    qrtest::TempDir dir;
    qrtest::TempDir hives;
    CRegistryStore store{hives.path(), hives / "machine"};
    MessageBoxHandler previousBoxes;
    std::vector<std::string> messages;
    CImageBuffer image;
};

// A job that writes part of a file and then fails or is cancelled.
// A job that fails part way through writing: what it wrote never reaches the target.
int BrokenJob(CImageSaveJob& job)
{
    CReplaceFile out;
    if (out.Open(job.targetPath))
        out.Write("part", 4);
    return 1;
}

} // namespace

TEST_F(ImageSaveTest, SavingOverItsOwnSourceKeepsThePhotographUntilDone)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    const fs::path photo = dir / "photo.jpg";
    fs::copy_file(qrtest::DataPath("exif_intel.jpg"), photo);
    const auto original = qrtest::ReadBytes(photo);

    // A job that fails or is cancelled halfway, and a real exporter that
    // refuses the picture: the photograph stays as it was, nothing is left beside it.
    CImageBuffer refused;
    ASSERT_TRUE(refused.Create(CImageBuffer::kHeap, CSize(8, 8), PixelType::Cmyk32));
    struct Row {
        const char* what;
        ImageSaveJobRunner runner;
        CImageBuffer* picture;
        std::vector<std::string> messages;
    };
    const Row rows[] = {
        {"job fails", BrokenJob, &image, {}},
        {"exporter refuses", nullptr, &refused, {"Unable to save file. " + photo.string()}},
    };
    for (const Row& r : rows) {
        messages.clear();
        std::string written;
        SetImageSaveJobRunner([&](CImageSaveJob& job) {
            written = job.targetPath;
            return r.runner ? r.runner(job) : RunImageSaveJobDirectly(job);
        });
        EXPECT_NE(ExportImageWithMetadata(nullptr, *r.picture, nullptr, photo.string(), photo.string(), {}), 0)
            << r.what;
        EXPECT_EQ(written, photo.string()) << r.what;
        EXPECT_EQ(qrtest::ReadBytes(photo), original) << r.what;
        EXPECT_EQ(Folder(), std::set<std::string>{"photo.jpg"}) << r.what;
        EXPECT_EQ(messages, r.messages) << r.what;
    }

    // Saved for real: the new picture with the source's Exif data, in place.
    SetImageSaveJobRunner(nullptr);
    messages.clear();
    EXPECT_EQ(ExportImageWithMetadata(nullptr, image, nullptr, photo.string(), photo.string(), {}), 0);
    EXPECT_EQ(PictureSize(photo), QSize(64, 48));
    EXPECT_EQ(exiftest::Exiftool(photo, "Model"), "QT-1");
    EXPECT_EQ(exiftest::Exiftool(photo, "LightSource"), "Daylight"); // not the save job's words
    EXPECT_EQ(exiftest::Exiftool(photo, "ExifImageWidth"), "64");
    EXPECT_EQ(Folder(), std::set<std::string>{"photo.jpg"});
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(fs::status(photo).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST_F(ImageSaveTest, AnotherNameIsWrittenDirectlyUnlessSomethingIsThere)
{
    const fs::path source = dir / "source.jpg";
    fs::copy_file(qrtest::DataPath("exif_intel.jpg"), source);
    const fs::path target = dir / "copy.jpg";
    std::string written;
    SetImageSaveJobRunner([&](CImageSaveJob& job) {
        written = job.targetPath;
        EXPECT_EQ(job.displayPath, target.string());
        return RunImageSaveJobDirectly(job);
    });
    EXPECT_EQ(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), target.string(), {}), 0);
    EXPECT_EQ(written, target.string());
    EXPECT_EQ(PictureSize(target), QSize(64, 48));

    // Now the target exists: a failed save keeps it.
    const auto saved = qrtest::ReadBytes(target);
    SetImageSaveJobRunner(BrokenJob);
    EXPECT_NE(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), target.string(), {}), 0);
    EXPECT_EQ(qrtest::ReadBytes(target), saved);
    EXPECT_EQ(Folder(), (std::set<std::string>{"copy.jpg", "source.jpg"}));

    // An extension no exporter writes.
    SetImageSaveJobRunner(nullptr);
    EXPECT_NE(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), (dir / "x.qqq").string(), {}), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Unable to save file. " + (dir / "x.qqq").string()});
    EXPECT_EQ(Folder(), (std::set<std::string>{"copy.jpg", "source.jpg"}));
}

TEST_F(ImageSaveTest, TiffTargetsAndTheirCompanions)
{
    const fs::path source = dir / "source.jpg";
    fs::copy_file(qrtest::DataPath("exif_intel.jpg"), source);
    const fs::path tiff = dir / "out.tif";

    // A cancelled save of a new TIFF leaves neither the file nor a companion.
    SetImageSaveJobRunner(BrokenJob);
    EXPECT_NE(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), tiff.string(), {}), 0);
    EXPECT_EQ(Folder(), std::set<std::string>{"source.jpg"});

    // Saved: the TIFF and a 160 x 120 JPEG companion.
    SetImageSaveJobRunner(nullptr);
    EXPECT_EQ(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), tiff.string(), {}), 0);
    EXPECT_EQ(Folder(), (std::set<std::string>{"out.THM", "out.tif", "source.jpg"}));
    EXPECT_EQ(PictureSize(dir / "out.THM"), QSize(160, 120));
    EXPECT_EQ(TagOf(tiff, 272), "QT-1"); // the main tags come through block 3

    // Over itself, with an old companion of another spelling: a failure keeps
    // both; a success replaces both.
    fs::rename(dir / "out.THM", dir / "out.thm");
    const auto picture = qrtest::ReadBytes(tiff);
    const auto companion = qrtest::ReadBytes(dir / "out.thm");
    SetImageSaveJobRunner(BrokenJob);
    EXPECT_NE(ExportImageWithMetadata(nullptr, image, nullptr, tiff.string(), tiff.string(), {}), 0);
    EXPECT_EQ(qrtest::ReadBytes(tiff), picture);
    EXPECT_EQ(qrtest::ReadBytes(dir / "out.thm"), companion);
    EXPECT_EQ(Folder(), (std::set<std::string>{"out.thm", "out.tif", "source.jpg"}));

    SetImageSaveJobRunner(nullptr);
    CImageBuffer small;
    ASSERT_TRUE(small.Create(CImageBuffer::kHeap, CSize(20, 10), PixelType::Bgr24));
    EXPECT_EQ(ExportImageWithMetadata(nullptr, small, nullptr, tiff.string(), tiff.string(), {}), 0);
    EXPECT_EQ(Folder(), (std::set<std::string>{"out.THM", "out.tif", "source.jpg"}));
    EXPECT_EQ(TagOf(tiff, 256), "20");
    EXPECT_EQ(TagOf(tiff, 257), "10");
}

// GCC 12 sees the vectors grown by insert written past their storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
TEST_F(ImageSaveTest, MetadataBlocksFromTheSource)
{
    // A source whose first APP2 segment holds 6,000 bytes before its profile.
    const std::vector<uint8_t> before(6000, 'x');
    std::vector<uint8_t> app2 = {0xFF, 0xE2, 0, 0};
    app2.insert(app2.end(), before.begin(), before.end());
    const char signature[] = "ICC_PROFILE\0\x01\x01";
    app2.insert(app2.end(), signature, signature + 14);
    app2.insert(app2.end(), 10, 'p');
    app2[2] = static_cast<uint8_t>((app2.size() - 2) >> 8);
    app2[3] = static_cast<uint8_t>(app2.size() - 2);
    auto jpeg = qrtest::ReadBytes(qrtest::DataPath("exif_intel.jpg"));
    ASSERT_EQ(jpeg[3], 0xE1); // behind the Exif segment, which must stay first
    const size_t afterApp1 = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    jpeg.insert(jpeg.begin() + afterApp1, app2.begin(), app2.end());
    const fs::path source = dir / "with_app2.jpg";
    qrtest::WriteBytes(source, jpeg);

    std::vector<uint8_t> blocks[3];
    SetImageSaveJobRunner([&](CImageSaveJob& job) {
        for (int i = 0; i < 3; ++i) {
            auto* mem = dynamic_cast<CMemFile*>(job.blocks[i]);
            blocks[i] = mem ? mem->Data() : std::vector<uint8_t>{};
        }
        return 1;
    });
    struct Row {
        size_t profileSize;
        bool prefixKept;
    };
    // The prefix goes only while prefix and profile stay below 0x10000 bytes.
    for (const Row& r : {Row{60000, false}, Row{50000, true}, Row{0x10000 - 6001, true}, Row{0x10000 - 6000, false}}) {
        std::vector<uint8_t> bytes(r.profileSize, 'P');
        CIccProfileData profile;
        profile.Set(bytes.data(), bytes.size());
        ExportImageWithMetadata(nullptr, image, &profile, source.string(), (dir / "out.jpg").string(), {});
        std::vector<uint8_t> expected = r.prefixKept ? before : std::vector<uint8_t>{};
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(blocks[1], expected) << r.profileSize;
    }

    // Block 1: the Exif block of a JPEG target; block 3: the main tags.
    ASSERT_GT(blocks[0].size(), 100u);
    EXPECT_EQ(std::memcmp(blocks[0].data(), "Exif\0\0", 6), 0);
    ASSERT_EQ(blocks[2].size() % 68, 0u);
    std::vector<std::pair<uint32_t, std::string>> records;
    for (size_t at = 0; at < blocks[2].size(); at += 68) {
        uint32_t tag = 0;
        std::memcpy(&tag, &blocks[2][at], 4);
        records.push_back({tag, reinterpret_cast<const char*>(&blocks[2][at + 4])});
    }
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0], std::make_pair(271u, std::string("Quiram Test")));
    EXPECT_EQ(records[1], std::make_pair(272u, std::string("QT-1")));
    EXPECT_EQ(records[2].first, 282u);
    uint32_t resolution[3];
    std::memcpy(resolution, &blocks[2][2 * 68 + 4], 12);
    EXPECT_EQ(resolution[0], 300u);
    EXPECT_EQ(resolution[1], 1u);
    EXPECT_EQ(resolution[2], 1u);
    EXPECT_EQ(records[3].first, 283u);

    // A source that is neither JPEG, TIFF nor raw gives neither block.
    const fs::path png = dir / "source.png";
    fs::copy_file(qrtest::DataPath("exif_intel.jpg"), png);
    ExportImageWithMetadata(nullptr, image, nullptr, png.string(), (dir / "out.jpg").string(), {});
    EXPECT_TRUE(blocks[0].empty());
    EXPECT_TRUE(blocks[1].empty());
    EXPECT_TRUE(blocks[2].empty());
}
QR_GCC_IGNORE_END

TEST_F(ImageSaveTest, TiffSourceTagsWithStaleOffsetsStayBehind)
{
    // A tiled TIFF source: its tile, sub-image and table offsets point into
    // the old file and must not reach the Exif block of either target kind.
    exiftest::TiffBuilder b(false);
    const uint32_t main = b.Dir({{256, 3, {8}},
                                 {257, 3, {8}},
                                 {271, 2, {}, std::string("Maker\0", 6)},
                                 {324, 4, {5000}},
                                 {325, 4, {64}},
                                 {330, 4, {6000}},
                                 {347, 7, {}, "tables"},
                                 {34665, 4, {0}}});
    b.SetField(main, 34665, b.Dir({{33434, 5, {1, 50}}}));
    const fs::path source = dir / "tiled.tif";
    qrtest::WriteBytes(source, b.Tiff());
    std::vector<uint8_t> block;
    SetImageSaveJobRunner([&](CImageSaveJob& job) {
        block = dynamic_cast<CMemFile*>(job.blocks[0])->Data();
        return 1;
    });
    // A JPEG target's block is a whole TIFF structure behind "Exif\0\0".
    ExportImageWithMetadata(nullptr, image, nullptr, source.string(), (dir / "out.jpg").string(), {});
    ASSERT_GT(block.size(), 6u);
    CMemFile file(std::vector<uint8_t>(block.begin() + 6, block.end()));
    CExifFile exif;
    ASSERT_EQ(exif.Attach(&file, kExifTiff), 0);
    for (WORD tag : {324, 325, 330, 347})
        EXPECT_EQ(exif.FindEntry(tag, 0, kSubAny), nullptr) << tag;
    EXPECT_NE(exif.FindEntry(271, 0, kSubMain), nullptr);
    EXPECT_NE(exif.FindEntry(33434, 0, kSubExif), nullptr);
    // A TIFF target's block opens with the Exif directory and holds no main one.
    ExportImageWithMetadata(nullptr, image, nullptr, source.string(), (dir / "out.tif").string(), {});
    ASSERT_GT(block.size(), 14u);
    const size_t count = block[0] | block[1] << 8;
    ASSERT_GE(block.size(), 2 + 12 * count);
    std::set<int> tags;
    for (size_t i = 0; i < count; ++i)
        tags.insert(block[2 + 12 * i] | block[3 + 12 * i] << 8);
    EXPECT_TRUE(tags.count(33434));
    for (int tag : {271, 324, 325, 330, 347})
        EXPECT_FALSE(tags.count(tag)) << tag;
}

TEST(ImageSaveMessages, ByExportCode)
{
    const std::pair<int, UINT> rows[] = {{-10000, 6066}, {-10007, 6066}, {-10001, 6131},
                                         {-10004, 6131}, {-10006, 6071}, {-10003, 6071}};
    for (auto [code, message] : rows)
        EXPECT_EQ(SaveFailureMessage(code), message) << code;
}

// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST(ImageSaveMessages, FileFailuresSayTheSystemsReason)
{
    const std::pair<CFileException, const char*> rows[] = {
        {CFileException(CFileException::diskFull, ENOSPC, "/p/a.jpg"), "Disk is full."},
        {CFileException(CFileException::diskFull, EDQUOT, "/p/a.jpg"), "Disk is full."},
        {CFileException(CFileException::accessDenied, EROFS, "/p/a.jpg"), "Unable to save file. /p/a.jpg"},
        {CFileException(CFileException::accessDenied, EACCES, "/p/a.jpg"), "Unable to save file. /p/a.jpg"},
        {CFileException(CFileException::hardIO, EIO, "/p/a.jpg"), "Unable to save file. /p/a.jpg"},
        {CFileException(CFileException::genericException, 0, "/p/a.jpg"), "Unable to save file. /p/a.jpg"},
    };
    for (const auto& [e, message] : rows) {
        const std::string reason = e.m_lOsError ? "\n" + std::string(std::strerror(e.m_lOsError)) : "";
        EXPECT_EQ(SaveFailureText(e), message + reason);
    }
}
QR_GCC_IGNORE_END

TEST_F(ImageSaveTest, TiffTargetKeepsTheSourcesExifAndGpsDirectories)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    const fs::path source = dir / "camera.jpg";
    fs::copy_file(qrtest::DataPath("exif_intel.jpg"), source);
    const fs::path target = dir / "camera.tif";
    ASSERT_EQ(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), target.string(), {}), 0);
    EXPECT_EQ(exiftest::Exiftool(target, "DateTimeOriginal"), "2024:05:06 07:08:09");
    EXPECT_EQ(exiftest::Exiftool(target, "ExposureTime"), "1/125");
    EXPECT_EQ(exiftest::Exiftool(target, "GPSLatitudeRef"), "North");
    EXPECT_EQ(exiftest::Exiftool(target, "Make"), "Quiram Test");
    EXPECT_EQ(exiftest::ValidationErrors(target), "");
}

TEST_F(ImageSaveTest, CameraMakerNotesSurviveExportsToJpegAndTiff)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    // Offsets from the TIFF header (Canon, Panasonic) and from the note's own
    // header (Nikon, with its preview; Fujifilm; Apple, behind a JFIF
    // segment), through the real exporters.
    const char* kNames[] = {"camera_canon_eos_t4i.jpg", "camera_panasonic_fh25.jpg", "camera_nikon_d70s.jpg",
                            "camera_fujifilm_z1.jpg", "jfif_camera_apple_iphone4s.jpg"};
    std::vector<fs::path> files;
    for (const char* name : kNames) {
        const fs::path source = dir / name;
        fs::copy_file(qrtest::DataPath(name), source);
        files.push_back(source);
        for (const char* extension : {".jpg", ".tif"}) {
            files.push_back(dir / (std::string("export_") + name + extension));
            ASSERT_EQ(ExportImageWithMetadata(nullptr, image, nullptr, source.string(), files.back().string(), {}), 0)
                << files.back();
        }
    }
    const auto tags = exiftest::MakerNoteTags(files);
    const auto warnings = exiftest::Warnings(files);
    for (size_t i = 0; i < files.size(); i += 3) {
        for (size_t k = 1; k <= 2; ++k) {
            const std::string what = files[i + k].filename().string();
            // A TIFF holds the note elsewhere: where a preview starts moves with it.
            exiftest::ExpectSameMakerNote(tags.at(files[i].string()), tags.at(files[i + k].string()), what, k == 2);
            if (k == 1) {
                // The JPEG written carries its Exif segment first, whatever stood in front of it.
                const auto written = qrtest::ReadBytes(files[i + k]);
                ASSERT_GT(written.size(), 4u);
                EXPECT_EQ(written[3], 0xE1) << what;
            }
            if (!warnings.count(files[i + k].string()))
                continue;
            for (const std::string& w : warnings.at(files[i + k].string())) {
                if (w.find("Validate") == std::string::npos && w.find("maker notes") != std::string::npos) {
                    ADD_FAILURE() << what << ": " << w;
                }
            }
        }
    }
}
