// Resize All end to end: the size and folder dialogs answered as a user
// answers them, the pictures decoded and saved behind the real progress
// dialogs through the exporters, and every refusal, failure and cancel
// leaving the originals and the target folder whole.
#include "../browser/browser_fixture.h"

#include "app/image_save_progress_dlog.h"
#include "browser/image_size_dlog.h"
#include "browser/resize_all.h"
#include "ui/export_folder_dlog.h"
#include "util/reg_settings.h"
#include "util/string_util.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_save.h"
#include "imaging/jpeg_codec.h"
#include "viewer/image_load_progress_dlog.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/replace_file_calls.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "support/kill_part_way.h"
#include "support/small_file_system.h"

#include <QLineEdit>

#include <cmath>
#include <map>
#include <numeric>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Armed, a file written into this folder fails at its flush to disk.
std::string g_failFolder;
bool g_failArmed = false;

int FailingFsync(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096] = {};
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (g_failArmed && n > 0 && std::string(path, size_t(n)).rfind(g_failFolder + "/", 0) == 0) {
        errno = EIO;
        return -1;
    }
    return SystemReplaceFileCalls().fsync(fd);
}

class ResizeAllTest : public qrtest::BrowserTest {
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        RegWriteString(0, "HomePath", QR_BIN_DIR, HKEY_LOCAL_MACHINE);
        fs::create_directories(Target());
        SetImageSaveJobRunner([](CImageSaveJob& job) {
            CImageSaveProgressDlog dlg(job.owner, job.image, job.exporterPattern, job.displayPath, job.blocks[0],
                                       job.blocks[1], job.blocks[2], job.targetPath, job.values.index,
                                       job.values.count, job.values.toggleBar, job.values.statusStringId);
            return dlg.DoModal() == IDOK ? 0 : 1;
        });
        SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            m_boxes.push_back(text);
            return m_answer;
        });
        CDialog::SetModalObserver([this](CDialog* d) { Answer(d); });
        m_calls = SystemReplaceFileCalls();
        m_calls.fsync = FailingFsync;
        m_previousCalls = SetReplaceFileCalls(&m_calls);
        g_failFolder = Target().string();
    }
    void TearDown() override
    {
        SetReplaceFileCalls(m_previousCalls);
        g_failArmed = false;
        CDialog::SetModalObserver(nullptr);
        SetMessageBoxHandler(nullptr);
        SetImageSaveJobRunner(nullptr);
        SetResizeAllInterpolation(0);
        GetExportFolderMemory() = ExportFolderMemory();
        BrowserTest::TearDown();
    }

    fs::path Target() const { return m_dir / "out"; }

    // A 300 x 200 TIFF of one colour, written through the exporter.
    std::string Tiff(const std::string& name)
    {
        CImageBuffer image;
        EXPECT_TRUE(image.Create(CImageBuffer::kHeap, CSize(300, 200), 11));
        image.Fill(200);
        const std::string path = Pic(name);
        EXPECT_EQ(ExportImageFile(nullptr, image, nullptr, nullptr, nullptr, nullptr, path, path, {}), 0);
        return path;
    }
    void Store(const std::vector<std::string>& paths)
    {
        Fill(paths);
        for (int i = 0; i < GetFileItemCount(); ++i)
            ASSERT_EQ(GetFileItem(i)->ResetThumbnail(TRUE), 1) << paths[size_t(i)];
    }

    // The dialogs as the user answers them.
    void Answer(CDialog* d)
    {
        if (auto* size = dynamic_cast<CImageSizeDlog*>(d)) {
            m_sizeShown = size->GetDlgItemText(IDC_IMAGE_SIZE_WIDTH) + "x" + size->GetDlgItemText(IDC_IMAGE_SIZE_HEIGHT);
            size->SetDlgItemText(IDC_IMAGE_SIZE_WIDTH, m_width);
            size->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_IMAGE_SIZE_OK, BN_CLICKED), 0);
        } else if (auto* folder = dynamic_cast<CExportFolderDlog*>(d)) {
            folder->Tree().SelectPath(m_folder);
            if (m_changeName) {
                folder->CheckDlgButton(IDC_EXPORT_CHANGE_NAME, BST_CHECKED);
                folder->SetDlgItemText(IDC_EXPORT_NAME, "IMG");
                folder->SetDlgItemText(IDC_EXPORT_FIRST_NUMBER, "0001");
            }
            folder->OnOK();
        } else if (auto* load = dynamic_cast<CImageLoadProgressDlog*>(d)) {
            ++m_loads;
            if (m_loads == m_failSaveOf)
                g_failArmed = true;
            if (m_loads == m_cancelLoadOf)
                load->OnCancel();
        } else if (dynamic_cast<CImageSaveProgressDlog*>(d)) {
            ++m_saves;
        }
    }
    std::vector<unsigned char> Bytes(const std::string& path) const { return qrtest::ReadBytes(path); }
    CSize JpegSize(const fs::path& path) const
    {
        const std::vector<unsigned char> bytes = qrtest::ReadBytes(path);
        BITMAPINFOHEADER header{};
        if (!JpegReadHeader(bytes.data(), bytes.size(), &header))
            return CSize(0, 0);
        return CSize(header.biWidth, std::abs(header.biHeight));
    }

    std::vector<std::string> m_boxes;
    int m_answer = IDOK;
    std::string m_width = "150";
    std::string m_sizeShown;
    std::string m_folder = Target().string();
    bool m_changeName = false;
    int m_loads = 0, m_saves = 0;
    int m_failSaveOf = 0, m_cancelLoadOf = 0;
    ReplaceFileCalls m_calls{};
    const ReplaceFileCalls* m_previousCalls = nullptr;
};

TEST_F(ResizeAllTest, EveryPictureIsWrittenFittedIntoTheSizeUnderItsOwnName)
{
    const std::string wide = Jpeg("wide.jpg", 300, 200), tall = Jpeg("tall.JPG", 100, 200);
    Store({wide, tall});
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kDone);
    EXPECT_EQ(m_sizeShown, "300x200");
    EXPECT_TRUE(m_boxes.empty()) << m_boxes.front();
    EXPECT_EQ(m_loads, 2);
    EXPECT_EQ(m_saves, 2);
    // Pictures of the chosen type keep their own names.
    EXPECT_EQ(qrtest::FolderNames(Target()), (std::vector<std::string>{"tall.JPG", "wide.jpg"}));
    EXPECT_EQ(JpegSize(Target() / "wide.jpg"), CSize(150, 100));
    // A tall picture in a wide box: its height is the box's.
    EXPECT_EQ(JpegSize(Target() / "tall.JPG"), CSize(50, 100));
}

TEST_F(ResizeAllTest, NothingIsWrittenWhenTwoPicturesWouldLandOnOneFileOrOneOnAnother)
{
    const std::string jpeg = Jpeg("IMG1.JPG", 300, 200), tiff = Tiff("IMG1.TIF");
    Store({jpeg, tiff});
    const auto jpegBytes = Bytes(jpeg), tiffBytes = Bytes(tiff);

    // The JPEG type gives both the name IMG1.JPG.
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kRefused);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], FormatWithStrings(res::String(IDS_RESIZE_SAME_TARGET), {(Target() / "IMG1.JPG").string()}));
    EXPECT_TRUE(qrtest::FolderNames(Target()).empty());

    // In their own folder too, before a single question or decode.
    m_boxes.clear();
    m_folder = Pics().string();
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kRefused);
    EXPECT_EQ(m_boxes, std::vector<std::string>{FormatWithStrings(res::String(IDS_RESIZE_SAME_TARGET), {jpeg})});
    EXPECT_EQ(m_loads, 0);

    // Renamed in their own folder, the first copy would replace the second
    // picture before it is read: refused.
    const std::string second = Jpeg("IMG0001.JPG", 300, 200);
    Store({jpeg, second});
    const auto secondBytes = Bytes(second);
    m_boxes.clear();
    m_changeName = true;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kRefused);
    EXPECT_EQ(m_boxes, std::vector<std::string>{FormatWithStrings(res::String(IDS_RESIZE_OVER_OTHER), {second})});
    EXPECT_EQ(m_loads, 0);
    EXPECT_EQ(Bytes(jpeg), jpegBytes);
    EXPECT_EQ(Bytes(tiff), tiffBytes);
    EXPECT_EQ(Bytes(second), secondBytes);
    EXPECT_EQ(qrtest::FolderNames(Pics()), (std::vector<std::string>{"IMG0001.JPG", "IMG1.JPG", "IMG1.THM", "IMG1.TIF"}));
}

TEST_F(ResizeAllTest, IntoTheirOwnFolderThePicturesAreReplacedAfterOneQuestion)
{
    const std::string a = Jpeg("a.jpg", 300, 200), b = Jpeg("b.JPEG", 300, 200);
    Store({a, b});
    const auto aBytes = Bytes(a), bBytes = Bytes(b);
    m_folder = Pics().string();

    m_answer = IDCANCEL;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kNothing);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"File already exists. Replace?"});
    EXPECT_EQ(m_loads, 0);
    EXPECT_EQ(Bytes(a), aBytes);
    EXPECT_EQ(Bytes(b), bBytes);

    m_boxes.clear();
    m_answer = IDOK;
    std::vector<std::string> written;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}, &written), ResizeAllResult::kDone);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"File already exists. Replace?"});
    EXPECT_EQ(written, (std::vector<std::string>{a, b}));
    EXPECT_EQ(JpegSize(a), CSize(150, 100));
    EXPECT_EQ(JpegSize(b), CSize(150, 100));
    // Each replaced whole in place: nothing else is left in the folder.
    EXPECT_EQ(qrtest::FolderNames(Pics()), (std::vector<std::string>{"a.jpg", "b.JPEG"}));
}

TEST_F(ResizeAllTest, ExistingFilesAreReplacedOnlyAfterOneQuestion)
{
    const std::string a = Jpeg("a.jpg", 300, 200), b = Jpeg("b.jpg", 300, 200);
    Store({a, b});
    qrtest::WriteBytes(Target() / "a.jpg", {'o', 'l', 'd'});
    qrtest::WriteBytes(Target() / "b.jpg", {'o', 'l', 'd'});

    m_answer = IDCANCEL;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kNothing);
    EXPECT_EQ(m_boxes, std::vector<std::string>{LoadResString(6269)});
    EXPECT_EQ(Bytes((Target() / "a.jpg").string()), (std::vector<unsigned char>{'o', 'l', 'd'}));

    m_boxes.clear();
    m_answer = IDOK;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kDone);
    EXPECT_EQ(m_boxes, std::vector<std::string>{LoadResString(6269)});
    EXPECT_EQ(JpegSize(Target() / "a.jpg"), CSize(150, 100));
    EXPECT_EQ(JpegSize(Target() / "b.jpg"), CSize(150, 100));

    // The first picture's own size asks nothing more and writes nothing.
    m_boxes.clear();
    m_loads = 0;
    m_width = "300";
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1}), ResizeAllResult::kNothing);
    EXPECT_EQ(m_loads, 0);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ResizeAllTest, AFailedSaveOrACancelStopsTheRestAndLeavesNoPartialFile)
{
    const std::string jpeg = Jpeg("IMG1.JPG", 300, 200), tiff = Tiff("IMG1.TIF"), third = Jpeg("IMG2.JPG", 300, 200);
    Store({jpeg, tiff, third});
    const auto jpegBytes = Bytes(jpeg), tiffBytes = Bytes(tiff);
    m_changeName = true;

    // The second copy cannot be flushed to disk.
    m_failSaveOf = 2;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1, 2}), ResizeAllResult::kStopped);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind(LoadResString(6131), 0), 0u) << m_boxes[0];
    EXPECT_EQ(m_loads, 2);
    EXPECT_EQ(qrtest::FolderNames(Target()), std::vector<std::string>{"IMG0001.JPG"});
    EXPECT_EQ(JpegSize(Target() / "IMG0001.JPG"), CSize(150, 100));

    // Cancelled while the second picture loads: nothing more is written, nothing said.
    g_failArmed = false;
    m_failSaveOf = 0;
    m_boxes.clear();
    m_loads = 0;
    fs::remove(Target() / "IMG0001.JPG");
    m_cancelLoadOf = 2;
    EXPECT_EQ(ResizeAllPictures(nullptr, {0, 1, 2}), ResizeAllResult::kStopped);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(qrtest::FolderNames(Target()), std::vector<std::string>{"IMG0001.JPG"});

    EXPECT_EQ(Bytes(jpeg), jpegBytes);
    EXPECT_EQ(Bytes(tiff), tiffBytes);
    EXPECT_EQ(qrtest::FolderNames(Pics()), (std::vector<std::string>{"IMG1.JPG", "IMG1.THM", "IMG1.TIF", "IMG2.JPG"}));
}

// Killed at random moments over two hundred pictures: every original stays
// whole, and the target folder holds only whole copies under their own names.
TEST_F(ResizeAllTest, KilledAtRandomMomentsLeavesOriginalsWholeAndOnlyWholeCopies)
{
    constexpr int kPictures = 200;
    std::vector<std::string> paths;
    for (int i = 0; i < kPictures; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG%04d.JPG", i);
        paths.push_back(Jpeg(name, 60, 40, uint8_t(i)));
    }
    Store(paths);
    std::map<std::string, std::vector<unsigned char>> originals;
    for (const std::string& p : paths)
        originals[p] = Bytes(p);
    const std::vector<std::string> before = qrtest::FolderNames(Pics());
    std::vector<int> items(kPictures);
    std::iota(items.begin(), items.end(), 0);
    m_width = "30";
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    int killed = 0;
    for (int run = 0; run < 3; ++run) {
        fs::remove_all(Target());
        fs::create_directories(Target());
        // Early in the batch: each copy takes a while here, and a kill is a kill wherever it falls.
        const size_t at = random() % 40;
        SCOPED_TRACE("killed after " + std::to_string(at) + " copies");
        killed += qrtest::KillPartWay([&] { ResizeAllPictures(nullptr, items); },
                                      [&] { return qrtest::EntryCount(Target()) >= at; }, random);
        for (const auto& [path, bytes] : originals)
            ASSERT_EQ(Bytes(path), bytes) << path;
        EXPECT_EQ(qrtest::FolderNames(Pics()), before);
        for (const std::string& name : qrtest::FolderNames(Target())) {
            ASSERT_TRUE(originals.count(Pic(name))) << "not a copy's name: " << name;
            const auto copy = Bytes((Target() / name).string());
            EXPECT_EQ(JpegSize(Target() / name), CSize(30, 20)) << name;
            ASSERT_GE(copy.size(), 2u);
            EXPECT_TRUE(copy[copy.size() - 2] == 0xFF && copy.back() == 0xD9) << "unfinished copy " << name;
        }
    }
    EXPECT_GT(killed, 0);
}

// Into a folder on a file system that fills up part way, and into one that is
// read-only: the user is told why, the copies there are whole, the originals
// untouched. The file system is a small one of our own, mounted in a child's
// mount namespace where that is allowed (root).
TEST_F(ResizeAllTest, AFullOrReadOnlyFolderIsNamedAndNothingIsHalfWritten)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i)
        paths.push_back(Jpeg("IMG" + std::to_string(i) + ".JPG", 400, 300, uint8_t(40 * i)));
    Store(paths);
    std::map<std::string, std::vector<unsigned char>> originals;
    for (const std::string& p : paths)
        originals[p] = Bytes(p);
    m_width = "300";
    struct Case {
        const char* what;
        const char* options;
        bool readOnly;
        const char* reason;
    };
    for (const Case c : {Case{"full", "size=8k", false, "No space left on device"},
                         Case{"read-only", "size=1m", true, "Read-only file system"}}) {
        SCOPED_TRACE(c.what);
        const int code = qrtest::InChildOverSmallFileSystem(Target().string(), c.options, c.readOnly, [&] {
            std::vector<int> items(paths.size());
            std::iota(items.begin(), items.end(), 0);
            const ResizeAllResult result = ResizeAllPictures(nullptr, items);
            const std::string seen = "result " + std::to_string(int(result));
            if (result != ResizeAllResult::kStopped && result != ResizeAllResult::kRefused)
                return qrtest::ChildAnswer(1, seen, m_boxes);
            if (m_boxes.size() != 1 || m_boxes[0].find(c.reason) == std::string::npos)
                return qrtest::ChildAnswer(2, seen, m_boxes);
            for (const std::string& name : qrtest::FolderNames(Target())) {
                const auto copy = Bytes((Target() / name).string());
                if (!originals.count(Pic(name)) || JpegSize(Target() / name) != CSize(300, 225) || copy.size() < 2 ||
                    copy[copy.size() - 2] != 0xFF || copy.back() != 0xD9)
                    return qrtest::ChildAnswer(3, seen, m_boxes);
            }
            return 0;
        });
        ASSERT_NE(code, -1) << "the child got stuck";
        if (code == qrtest::kNoMountNamespace)
            GTEST_SKIP() << "no mount namespace here";
        EXPECT_EQ(code, 0) << "1: not stopped, 2: the cause not named once, 3: a copy not whole";
        for (const auto& [path, bytes] : originals)
            EXPECT_EQ(Bytes(path), bytes) << path;
    }
}

TEST(ResizeAllNames, TheNameIsTheSourcesOrTheBaseWithItsSerialNumber)
{
    EXPECT_EQ(ResizeAllTargetName("/p/IMG1.TIF", "jpg", false, "X", "1", 3), "IMG1.jpg");
    EXPECT_EQ(ResizeAllTargetName("/p/a.b.JPG", "tif", false, "X", "1", 0), "a.b.tif");
    // A picture already of the chosen type keeps its own name, letter case and spelling.
    EXPECT_EQ(ResizeAllTargetName("/p/a.jpeg", "JPG", false, "X", "1", 0), "a.jpeg");
    EXPECT_EQ(ResizeAllTargetName("/p/b.JPG", "jpg", false, "X", "1", 0), "b.JPG");
    EXPECT_EQ(ResizeAllTargetName("/p/c.tif", "TIF", false, "X", "1", 0), "c.tif");
    EXPECT_EQ(ResizeAllTargetName("/p/noext", "JPG", false, "X", "1", 0), "noext.JPG");
    EXPECT_EQ(ResizeAllTargetName("/p/IMG1.TIF", "jpg", true, "TRIP", "0001", 0), "TRIP0001.jpg");
    EXPECT_EQ(ResizeAllTargetName("/p/IMG1.TIF", "jpg", true, "TRIP", "0098", 3), "TRIP0101.jpg");
    EXPECT_EQ(ResizeAllTargetName("/p/IMG1.TIF", "jpg", true, "TRIP", "7", 12), "TRIP19.jpg");
}

} // namespace

namespace {

// Peak signal-to-noise ratio of two decoded JPEG files of one size, in dB.
double Psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    CDibBitmap x, y;
    if (!JpegDecodeToDibSection(a.data(), a.size(), x) || !JpegDecodeToDibSection(b.data(), b.size(), y) ||
        x.GetSize() != y.GetSize())
        return 0;
    double squares = 0;
    const size_t bytes = x.GetDibImageSize();
    for (size_t i = 0; i < bytes; ++i) {
        const double d = double(x.GetBits()[i]) - double(y.GetBits()[i]);
        squares += d * d;
    }
    return squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (squares / double(bytes)));
}

} // namespace

// A JPEG file is decoded reduced when the target is at most half its size:
// the copy has the size the whole decode gives and nearly its pixels.
TEST_F(ResizeAllTest, AReducedDecodeKeepsTheSizeAndThePicture)
{
    // Light and grain over an odd size, so the reductions round.
    const int w = 1203, h = 803;
    std::vector<uint8_t> rows(size_t(w) * 3 * h);
    uint32_t noise = 5;
    for (size_t i = 0; i < rows.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        const size_t x = i % (size_t(w) * 3) / 3, y = i / (size_t(w) * 3);
        rows[i] = uint8_t(x * 200 / w + y * 40 / h + (noise >> 29) + (i % 3) * 5);
    }
    std::vector<uint8_t> jpeg;
    size_t n = 0;
    JpegEncode(rows.data(), 11, false, w, h, 90, 72, 72, 0, nullptr, 0, nullptr, 0, jpeg, &n, nullptr, size_t(w) * 3);
    jpeg.resize(n);
    qrtest::WriteBytes(Pics() / "big.jpg", jpeg);
    Store({Pic("big.jpg")});
    struct Row {
        CSize bound;
        CSize expected;
    };
    for (const Row& r : {Row{{150, 150}, {150, 100}}, Row{{300, 300}, {300, 200}}, Row{{600, 400}, {599, 400}},
                         Row{{1000, 1000}, {1000, 667}}}) {
        const std::string reduced = (Target() / "reduced.jpg").string(), whole = (Target() / "whole.jpg").string();
        ASSERT_TRUE(ResizeOnePicture(nullptr, 0, reduced, r.bound, 0, true, 95, {}, true));
        ASSERT_TRUE(ResizeOnePicture(nullptr, 0, whole, r.bound, 0, true, 95, {}, false));
        EXPECT_EQ(JpegSize(reduced), r.expected) << r.bound.cx;
        EXPECT_EQ(JpegSize(whole), r.expected) << r.bound.cx;
        EXPECT_GE(Psnr(Bytes(reduced), Bytes(whole)), 40.0) << r.bound.cx;
    }
    EXPECT_TRUE(m_boxes.empty());
}
