#include "viewer/image_load_progress_dlog.h"
#include "app/image_save_progress_dlog.h"
#include "imaging/image_buffer.h"
#include "platform/file.h"
#include "platform/framework/message_box.h"
#include "platform/replace_file_calls.h"
#include "support/fake_plugin.h"
#include "support/test_support.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

const std::string kFakes = std::string(QR_TEST_BUILD_DIR) + "/tests/app_fakes";
const std::string kRealExporters = std::string(QR_BIN_DIR) + "/Exporter/*.gex";

class ImageJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        });
        ASSERT_TRUE(m_image.Create(CImageBuffer::kHeap, CSize(4, 3), 11));
    }
    void TearDown() override { SetMessageBoxHandler(std::move(m_previous)); }

    size_t FilesIn(const std::filesystem::path& dir)
    {
        size_t n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir))
            ++n;
        return n;
    }

    qrtest::TempDir m_dir;
    CImageBuffer m_image;
    std::vector<std::string> m_boxes;
    MessageBoxHandler m_previous;
};

TEST_F(ImageJobTest, FailedOverwriteKeepsTheOriginalFile)
{
    // The fake exporter answers every export with a failure.
    qrtest::FakePlugin writer(kFakes + "/Exporter/writer.gex");
    ASSERT_TRUE(writer.Loaded());
    writer.Set("export_result", 1);
    std::filesystem::path target = m_dir / "photo.OUT";
    qrtest::WriteBytes(target, {'o', 'l', 'd'});

    CMemFile meta1, meta2, meta3;
    CImageSaveProgressDlog job(nullptr, &m_image, kFakes + "/Exporter/*.gex", target.string(), &meta1, &meta2, &meta3,
                               target.string(), 1, 1, FALSE, 0);
    EXPECT_EQ(job.DoModal(), IDCANCEL);
    EXPECT_EQ(qrtest::ReadBytes(target), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(FilesIn(m_dir.path()), 1u); // no temporary file left behind
    ASSERT_EQ(m_boxes.size(), 1u);

    // A target no exporter writes: the message names it.
    m_boxes.clear();
    const std::string other = (m_dir / "photo.qqq").string();
    CImageSaveProgressDlog none(nullptr, &m_image, kRealExporters, other, &meta1, &meta2, &meta3, other, 1, 1, FALSE,
                                0);
    EXPECT_EQ(none.DoModal(), IDCANCEL);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Unable to save file. " + other});
}

TEST_F(ImageJobTest, SaveReplacesTheTargetOnlyWhenComplete)
{
    std::filesystem::path target = m_dir / "photo.bmp";
    qrtest::WriteBytes(target, {'o', 'l', 'd'});
    CMemFile meta1, meta2, meta3;
    CImageSaveProgressDlog job(nullptr, &m_image, kRealExporters, target.string(), &meta1, &meta2, &meta3,
                               target.string(), 1, 1, TRUE, 0);
    ASSERT_EQ(job.DoModal(), IDOK);
    EXPECT_TRUE(m_boxes.empty());
    std::vector<unsigned char> bytes = qrtest::ReadBytes(target);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(FilesIn(m_dir.path()), 1u);
}

// Each failure of the file writer ends in the program's message with the
// system's reason beneath it, and the old file as it was.
// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST_F(ImageJobTest, FailedSaveSaysWhy)
{
    static int s_fail = 0; // errno for the next fsync or anonymous open
    static bool s_atOpen = false;
    ReplaceFileCalls calls = SystemReplaceFileCalls();
    calls.fsync = [](int fd) {
        if (!s_atOpen && s_fail) {
            errno = s_fail;
            return -1;
        }
        return SystemReplaceFileCalls().fsync(fd);
    };
    calls.openat = [](int dir, const char* path, int flags, mode_t mode) {
        if (s_atOpen && s_fail) {
            errno = s_fail;
            return -1;
        }
        return SystemReplaceFileCalls().openat(dir, path, flags, mode);
    };
    struct Row {
        int err;
        bool atOpen;
        const char* message;
    };
    const Row rows[] = {
        {EIO, false, "Unable to save file."},
        {ENOSPC, true, "Disk is full."},
        {EROFS, true, "Unable to save file."},
    };
    const ReplaceFileCalls* previous = SetReplaceFileCalls(&calls);
    for (const Row& r : rows) {
        SCOPED_TRACE(std::strerror(r.err));
        s_fail = r.err;
        s_atOpen = r.atOpen;
        m_boxes.clear();
        std::filesystem::path target = m_dir / "photo.bmp";
        qrtest::WriteBytes(target, {'o', 'l', 'd'});
        CMemFile meta1, meta2, meta3;
        CImageSaveProgressDlog job(nullptr, &m_image, kRealExporters, target.string(), &meta1, &meta2, &meta3,
                                   target.string(), 1, 1, FALSE, 0);
        EXPECT_EQ(job.DoModal(), IDCANCEL);
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].rfind(r.message, 0), 0u) << m_boxes[0];
        EXPECT_NE(m_boxes[0].find("\n" + std::string(std::strerror(r.err))), std::string::npos) << m_boxes[0];
        EXPECT_EQ(qrtest::ReadBytes(target), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_EQ(FilesIn(m_dir.path()), 1u);
    }
    SetReplaceFileCalls(previous);
    s_fail = 0;
}
QR_GCC_IGNORE_END

TEST(ImageJobText, SavingStatusFollowsTheOrderOfTheFormat)
{
    EXPECT_EQ(CImageSaveProgressDlog::FormatSavingStatus("Saving \"%d/%d:%s\"...", 2, 5, "a.jpg"), "Saving \"2/5:a.jpg\"...");
    EXPECT_EQ(CImageSaveProgressDlog::FormatSavingStatus("%s (%d of %d)", 2, 5, "a.jpg"), "a.jpg (2 of 5)");
    EXPECT_EQ(CImageSaveProgressDlog::FormatSavingStatus("", 2, 5, "a.jpg"), "");
}

TEST(ImageJobText, LoadBarKeepsLargeTotalsAndItsShare)
{
    struct Row {
        int32_t position, total;
        int offset, scale;
        int upper, pos;
    } rows[] = {
        {10, 100, 0, 100, 100, 10},
        {10, 100, 0, 50, 200, 10},       // loading fills the first half
        {10, 100, 50, 100, 100, 60},     // matching the second
        {70000, 100000, 0, 100, 100000, 70000}, // beyond 16 bits, kept
        {5, -1, 0, 100, 0, 5},
    };
    for (const Row& r : rows) {
        int upper = -1, pos = -1;
        CImageLoadProgressDlog::BarFor(r.position, r.total, r.offset, r.scale, upper, pos);
        EXPECT_EQ(upper, r.upper);
        EXPECT_EQ(pos, r.pos);
    }
}

TEST_F(ImageJobTest, LoadFillsTheBufferOrFailsWhenNoPluginServesTheFile)
{
    const std::string home = std::string(QR_BIN_DIR) + "/";
    CImageBuffer picture;
    CImageLoadProgressDlog load(nullptr, IDD_PROGRESS_LOAD, home, FALSE, 0, qrtest::DataPath("scan_copy_16x8.jpg").string(),
                                &picture, 0, 1, TRUE);
    ASSERT_EQ(load.DoModal(), IDOK);
    EXPECT_EQ(picture.GetWidth(), 16);
    EXPECT_EQ(picture.GetHeight(), 8);

    std::filesystem::path other = m_dir / "notes.xyz";
    qrtest::WriteBytes(other, {'x'});
    CImageBuffer nothing;
    CImageLoadProgressDlog unserved(nullptr, IDD_PROGRESS_LOAD, home, FALSE, 0, other.string(), &nothing, 0, 1, TRUE);
    EXPECT_EQ(unserved.DoModal(), IDCANCEL);
    EXPECT_FALSE(unserved.IsLoaded());

    CImageLoadProgressDlog noTarget(nullptr, IDD_PROGRESS_LOAD, home, FALSE, 0, other.string(), nullptr, 0, 1, TRUE);
    EXPECT_EQ(noTarget.DoModal(), IDCANCEL);
}

} // namespace
