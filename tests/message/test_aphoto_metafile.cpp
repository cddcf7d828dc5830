#include "message_fixtures.h"

#include "message/aphoto_metafile.h"
#include "message/aphoto_page_render.h"
#include "message/photo_content.h"
#include "platform/framework/message_box.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/emf_writer.h"
#include "platform/replace_file_calls.h"
#include "support/test_support.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kPageWidth = 794;
constexpr int kPageHeight = 1123;
constexpr char kTitle[] = "Harbour at dawn";
constexpr char kNote[] = "Fishing boats coming in";

uint32_t U32(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

struct Record {
    uint32_t type;
    size_t at;
    uint32_t size;
};

struct Parsed {
    std::vector<Record> records;
    std::vector<std::string> texts;
    std::string error;
};

// Walks the file record by record, checking each record's size and type
// and the header's totals, and collects the text records' strings.
Parsed Parse(const std::vector<unsigned char>& b)
{
    static const std::set<uint32_t> known = {
        EMR_HEADER, EMR_POLYGON, EMR_POLYLINE, EMR_EOF, EMR_SETMAPMODE, EMR_SETBKMODE, EMR_SETPOLYFILLMODE,
        EMR_SETSTRETCHBLTMODE, EMR_SETTEXTALIGN, EMR_SETTEXTCOLOR, EMR_SETBKCOLOR, EMR_SAVEDC, EMR_RESTOREDC,
        EMR_SELECTOBJECT, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_ELLIPSE, EMR_RECTANGLE, EMR_ROUNDRECT,
        EMR_EXTSELECTCLIPRGN, EMR_STRETCHDIBITS, EMR_EXTCREATEFONTINDIRECTW, EMR_EXTTEXTOUTW,
    };
    Parsed p;
    size_t at = 0;
    uint32_t handles = 0;
    while (at < b.size()) {
        if (b.size() - at < 8)
            return p.error = "short record at " + std::to_string(at), p;
        const uint32_t type = U32(b, at), size = U32(b, at + 4);
        if (size < 8 || size % 4 || size > b.size() - at)
            return p.error = "bad size " + std::to_string(size) + " at " + std::to_string(at), p;
        if (!known.count(type))
            return p.error = "unknown type " + std::to_string(type), p;
        if (p.records.empty() != (type == EMR_HEADER))
            return p.error = "the header is not first and alone", p;
        if (type == EMR_HEADER) {
            if (U32(b, at + 40) != 0x464D4520 || U32(b, at + 48) != b.size())
                return p.error = "header signature or byte count", p;
            handles = U32(b, at + 56) & 0xFFFF;
        }
        if ((type == EMR_CREATEPEN || type == EMR_CREATEBRUSHINDIRECT || type == EMR_EXTCREATEFONTINDIRECTW) &&
            (U32(b, at + 8) == 0 || U32(b, at + 8) >= handles))
            return p.error = "object handle out of the table", p;
        if (type == EMR_EXTCREATEFONTINDIRECTW && size != 332)
            return p.error = "font record size", p;
        if (type == EMR_EXTTEXTOUTW) {
            const uint32_t n = U32(b, at + 44), off = U32(b, at + 48);
            if (off + 2ull * n > size)
                return p.error = "text outside its record", p;
            QString s;
            for (uint32_t i = 0; i < n; ++i)
                s += QChar(char16_t(b[at + off + 2 * i] | b[at + off + 2 * i + 1] << 8));
            p.texts.push_back(s.toStdString());
        }
        if (type == EMR_STRETCHDIBITS) {
            const uint32_t offBmi = U32(b, at + 48), offBits = U32(b, at + 56), cbBits = U32(b, at + 60);
            if (offBmi + 40 > size || offBits + uint64_t(cbBits) > size)
                return p.error = "bitmap outside its record", p;
        }
        p.records.push_back({type, at, size});
        at += size;
    }
    if (p.records.empty() || p.records.back().type != EMR_EOF)
        return p.error = "no end record", p;
    if (U32(b, 52) != p.records.size())
        return p.error = "record count", p;
    return p;
}

struct MetafileTest : ::testing::Test {
    CAPhotoContent content{80};
    CAPhotoPrintOptions options;
    qrtest::TempDir dir;
    std::vector<std::string> boxes;
    MessageBoxHandler previous;

    void SetUp() override
    {
        previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
        CImageBuffer picture = msgtest::MakePicture(240, 180);
        content.TakeImage(picture);
        content.m_strPictureText = kTitle;
        auto add = [&](const char* text, CAreaMarquee area) {
            content.m_comments.emplace_back(0, std::make_unique<CAnoRecord>(msgtest::TextRecord(text, area)));
            options.printOrder.push_back(int32_t(content.m_comments.size() - 1));
        };
        add(kNote, CAreaMarquee(CRect(20, 20, 120, 90), CAreaMarquee::oval));
        add("A gull on the mast", CAreaMarquee(CRect(130, 30, 200, 100), CAreaMarquee::roundSquare));
        CAreaMarquee freehand;
        freehand.SetFreehand({CPoint(10, 120), CPoint(60, 110), CPoint(80, 170), CPoint(20, 160)});
        add("The old pier", freehand);
        add("Nets drying", CAreaMarquee(CRect(150, 120, 230, 170), CAreaMarquee::square));
        options.bDate = FALSE;
        options.nColumns = 3;
        options.strHeader = "Summer";
        options.strFooter = "Printed for the club";
    }
    void TearDown() override { SetMessageBoxHandler(previous); }

    bool Write(const std::string& path)
    {
        CAPhotoPageRender render(content, options);
        render.SetCurrentPage(1);
        return WritePageMetafile(render, path, CSize(kPageWidth, kPageHeight)) != FALSE;
    }
};

} // namespace

TEST_F(MetafileTest, RecordsAreWholeAndHoldThePhotographAndTheText)
{
    // Cards without area pictures show their colour markers.
    options.bImageDetail = FALSE;
    const auto path = dir / "page.emf";
    ASSERT_TRUE(Write(path.string()));
    const std::vector<unsigned char> bytes = qrtest::ReadBytes(path);
    const Parsed p = Parse(bytes);
    ASSERT_EQ(p.error, "");

    std::map<uint32_t, int> counts;
    for (const Record& r : p.records)
        ++counts[r.type];
    for (uint32_t type : {EMR_SETMAPMODE, EMR_SAVEDC, EMR_RESTOREDC, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT,
                          EMR_EXTCREATEFONTINDIRECTW, EMR_EXTTEXTOUTW, EMR_RECTANGLE, EMR_ROUNDRECT, EMR_ELLIPSE,
                          EMR_POLYGON, EMR_EXTSELECTCLIPRGN, EMR_STRETCHDIBITS})
        EXPECT_GT(counts[type], 0) << "no record of type " << type;
    EXPECT_EQ(counts[EMR_SAVEDC], counts[EMR_RESTOREDC]);

    // One text record a laid-out line: the title, the header, the footer and each card's lines.
    auto has = [&](const std::string& s) { return std::find(p.texts.begin(), p.texts.end(), s) != p.texts.end(); };
    EXPECT_TRUE(has(kTitle));
    EXPECT_TRUE(has(kNote));
    EXPECT_TRUE(has("Summer"));
    EXPECT_TRUE(has("1/2"));

    // The photograph: a bitmap of the picture's size whose pixels are the picture's.
    const CImageBuffer& picture = content.GetImage();
    bool found = false;
    for (const Record& r : p.records) {
        if (r.type != EMR_STRETCHDIBITS)
            continue;
        const size_t info = r.at + U32(bytes, r.at + 48), bits = r.at + U32(bytes, r.at + 56);
        const int w = int(U32(bytes, info + 4)), h = int(U32(bytes, info + 8));
        if (w != picture.GetWidth() || h != picture.GetHeight())
            continue;
        found = true;
        ASSERT_EQ(U32(bytes, info + 12) >> 16, 24u);
        const size_t stride = size_t(w * 3 + 3) / 4 * 4;
        int differing = 0;
        for (int y = 0; y < h; ++y) {
            const BYTE* row = picture.GetRowPointer(y);
            const unsigned char* stored = &bytes[bits + size_t(h - 1 - y) * stride];
            differing += std::memcmp(row, stored, size_t(w) * 3) != 0;
        }
        EXPECT_EQ(differing, 0);
    }
    EXPECT_TRUE(found);
}

TEST_F(MetafileTest, AnotherProgramShowsThePhotographAndTheText)
{
    QR_SKIP_WITHOUT_PROGRAM("inkscape");
    const QString inkscape = QStandardPaths::findExecutable("inkscape");
    const auto path = dir / "page.emf";
    const auto png = dir / "page.png";
    ASSERT_TRUE(Write(path.string()));
    QProcess run;
    run.start(inkscape, {"--export-type=png", "--export-background=white", "--export-background-opacity=1",
                         "--export-dpi=96", "--export-filename=" + QString::fromStdString(png.string()),
                         QString::fromStdString(path.string())});
    ASSERT_TRUE(run.waitForFinished(120000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QImage shown(QString::fromStdString(png.string()));
    ASSERT_FALSE(shown.isNull());
    std::filesystem::create_directories(std::filesystem::path(QR_TEST_BUILD_DIR) / "screenshots");
    shown = shown.convertToFormat(QImage::Format_RGB32);
    for (const auto& [from, name] : {std::pair{path, "message_page_metafile.emf"}, std::pair{png, "message_page_metafile.png"}})
        std::filesystem::copy_file(from, std::filesystem::path(QR_TEST_BUILD_DIR) / "screenshots" / name,
                                   std::filesystem::copy_options::overwrite_existing);

    // Where this page puts the photograph and the title, at the metafile's own size.
    CAPhotoPageRender render(content, options);
    render.SetPageGeometry(CSize(kPageWidth, kPageHeight), 0, 0, 96);
    QImage scratch(kPageWidth, kPageHeight, QImage::Format_RGB32);
    CDC dc(&scratch);
    dc.m_bPrinting = TRUE;
    render.Paginate(&dc);
    const auto layout = render.LayoutPage(&dc, CRect(0, 0, kPageWidth, kPageHeight), 1);
    ASSERT_NEAR(shown.width(), kPageWidth, 1);
    ASSERT_NEAR(shown.height(), kPageHeight, 1);
    // The picture's centre (a gradient, not white) at the picture box's centre.
    const CRect& photo = layout.photo;
    const QPoint centre(photo.CenterPoint().x, photo.top + (photo.Height() * 3 / 4) / 2);
    const CImageBuffer& picture = content.GetImage();
    const BYTE* mid = picture.GetRowPointer(picture.GetHeight() / 2) + 3 * (picture.GetWidth() / 2);
    const QColor seen(shown.pixel(centre));
    EXPECT_NEAR(seen.blue(), mid[0], 40);
    EXPECT_NEAR(seen.green(), mid[1], 40);
    EXPECT_NEAR(seen.red(), mid[2], 40);
    // Dark text pixels in the title's band under the picture.
    int dark = 0;
    for (int y = photo.top + photo.Height() * 3 / 4; y < photo.bottom; ++y)
        for (int x = photo.left; x < photo.right; ++x)
            dark += qGray(shown.pixel(x, y)) < 100;
    EXPECT_GT(dark, 30);
}

TEST_F(MetafileTest, AFailedWriteKeepsTheOldFileAndSaysWhichAndWhy)
{
    const auto path = dir / "page.emf";
    // The disk fills up while the new file is written; the file system fails
    // when the finished file is closed.
    ReplaceFileCalls full = SystemReplaceFileCalls();
    full.write = [](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    ReplaceFileCalls failingClose = SystemReplaceFileCalls();
    failingClose.close = [](int fd) {
        SystemReplaceFileCalls().close(fd);
        errno = EIO;
        return -1;
    };
    const struct Row {
        const ReplaceFileCalls* calls;
        std::string message;
    } rows[] = {
        {&full, "Disk is full.\n" + std::string(std::strerror(ENOSPC))},
        {&failingClose, "Unable to save file. " + path.string() + "\n" + std::strerror(EIO)},
    };
    for (const Row& row : rows) {
        qrtest::WriteBytes(path, {'o', 'l', 'd'});
        boxes.clear();
        const ReplaceFileCalls* before = SetReplaceFileCalls(row.calls);
        const bool written = Write(path.string());
        SetReplaceFileCalls(before);
        EXPECT_FALSE(written);
        EXPECT_EQ(qrtest::ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_EQ(boxes, std::vector<std::string>{row.message});
        EXPECT_EQ(qrtest::FolderNames(dir.path()), std::vector<std::string>{"page.emf"});
    }
    // Written again with room on the disk, it replaces the old file.
    EXPECT_TRUE(Write(path.string()));
    EXPECT_EQ(Parse(qrtest::ReadBytes(path)).error, "");
}

TEST_F(MetafileTest, AReadOnlyFileIsLeftAlone)
{
    const auto path = dir / "page.emf";
    qrtest::WriteBytes(path, {'o', 'l', 'd'});
    ::chmod(path.c_str(), 0400);
    const bool written = Write(path.string());
    ::chmod(path.c_str(), 0600);
    EXPECT_FALSE(written);
    EXPECT_EQ(qrtest::ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().find("only for reading"), std::string::npos);
}
