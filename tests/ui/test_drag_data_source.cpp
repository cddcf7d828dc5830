#include "ui/drag_data_source.h"

#include "util/path_util.h"
#include "ui/ui_services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QUrl>

namespace {

std::vector<uint8_t> Header(uint32_t offset, int32_t x, int32_t y, uint32_t nc, uint32_t wide)
{
    std::vector<uint8_t> b;
    for (uint32_t v : {offset, uint32_t(x), uint32_t(y), nc, wide})
        for (int s = 0; s < 32; s += 8)
            b.push_back(uint8_t(v >> s));
    return b;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::string& tail)
{
    a.insert(a.end(), tail.begin(), tail.end());
    return a;
}

TEST(DropFiles, BlockByteForByte)
{
    struct Row {
        std::vector<std::string> paths;
        int x, y;
        BOOL nc;
        std::vector<uint8_t> want;
    } rows[] = {
        {{"a", "bc"}, 0, 0, TRUE, Cat(Header(20, 0, 0, 1, 0), std::string("a\0bc\0\0", 6))},
        {{}, 0, 0, TRUE, Cat(Header(20, 0, 0, 1, 0), std::string(1, '\0'))},
        {{"/p/\xC3\xA9.jpg"}, 5, -1, FALSE, Cat(Header(20, 5, -1, 0, 0), std::string("/p/\xC3\xA9.jpg\0\0", 11))},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BuildDropFilesGlobal(r.paths, r.x, r.y, r.nc), r.want);
    EXPECT_EQ(BuildDropFilesGlobal({"a", "bc"}, 0, 0, TRUE).size(), 26u);
}

TEST(DropFiles, BlockSplitsBackIntoItsPaths)
{
    std::vector<uint8_t> block = BuildDropFilesGlobal({"a", "bc"}, 7, 9, TRUE);
    std::vector<std::string> paths;
    ASSERT_TRUE(ReadDropFilesBlock(block, paths));
    EXPECT_EQ(paths, (std::vector<std::string>{"a", "bc"}));
}

class DragSource : public ::testing::Test {
protected:
    void SetUp() override { RegisterClipboardFormats(); }
    const ClipboardFormats& f = GetClipboardFormats();
    const std::vector<std::string> paths{"/photos/a b.jpg", "/photos/c.kvt"};
};

TEST_F(DragSource, PathListRoundTripsThroughTheDragData)
{
    struct Row {
        UINT marker; // 0: a drag, else the private copy or cut format
        bool markerFirst;
        const char* gnome; // the copied-files form, or null
    } rows[] = {
        {0, false, nullptr},
        {f.fileCopy, true, "copy\nfile:///photos/a%20b.jpg\nfile:///photos/c.kvt"},
        {f.fileCut, false, "cut\nfile:///photos/a%20b.jpg\nfile:///photos/c.kvt"},
    };
    for (const Row& r : rows) {
        CDragDataSource src;
        const uint8_t one = 1;
        if (r.marker && r.markerFirst)
            src.SetData(r.marker, &one, 1);
        src.SetPathList(paths, f.pathList);
        if (r.marker && !r.markerFirst)
            src.SetData(r.marker, &one, 1);
        const QMimeData* data = src.GetMimeData();
        EXPECT_EQ(CDragDataSource::GetData(data, f.pathList), BuildDropFilesGlobal(paths, 0, 0, TRUE));
        std::vector<std::string> back;
        const std::vector<uint8_t> block = CDragDataSource::GetData(data, f.pathList);
        ASSERT_TRUE(ReadDropFilesBlock(block, back));
        EXPECT_EQ(back, paths);
        back.clear();
        GetDroppedFiles(data, back); // what a file manager's drop gives
        EXPECT_EQ(back, paths);
        if (r.marker) {
            EXPECT_EQ(CDragDataSource::GetData(data, r.marker), std::vector<uint8_t>{1});
        }
        const QByteArray gnome = data->data("x-special/gnome-copied-files");
        EXPECT_EQ(gnome.toStdString(), r.gnome ? r.gnome : "");
    }
}

TEST_F(DragSource, SystemFileListFormatKeepsItsBlock)
{
    CDragDataSource src;
    src.SetPathList(paths, CF_HDROP);
    EXPECT_EQ(CDragDataSource::GetData(src.GetMimeData(), CF_HDROP), BuildDropFilesGlobal(paths, 0, 0, TRUE));
    EXPECT_EQ(src.GetMimeData()->urls().size(), 2);
}

TEST_F(DragSource, PictureGoesOutAsDibAndImage)
{
    // A 2 x 1 picture, 24 bits, bottom-up: blue then red, rows padded to 4 bytes.
    std::vector<uint8_t> dib(40, 0);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            dib[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(0, 40, 4);
    put(4, 2, 4);
    put(8, 1, 4);
    put(12, 1, 2);
    put(14, 24, 2);
    put(20, 8, 4);
    for (uint8_t b : {255, 0, 0, 0, 0, 255, 0, 0})
        dib.push_back(b);
    CDragDataSource src;
    src.SetDib({});
    EXPECT_FALSE(src.GetMimeData()->hasImage());
    src.SetDib(dib);
    EXPECT_EQ(CDragDataSource::GetData(src.GetMimeData(), CF_DIB), dib);
    QImage img = qvariant_cast<QImage>(src.GetMimeData()->imageData());
    ASSERT_EQ(img.size(), QSize(2, 1));
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.pixel(1, 0) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(DragSource, ClipboardTakesTheData)
{
    CDragDataSource src;
    src.SetPathList(paths, f.pathList);
    src.SetClipboard();
    EXPECT_EQ(src.GetMimeData(), nullptr);
    const QMimeData* held = QApplication::clipboard()->mimeData();
    ASSERT_NE(held, nullptr);
    std::vector<std::string> back;
    const std::vector<uint8_t> block = CDragDataSource::GetData(held, f.pathList);
    ASSERT_TRUE(ReadDropFilesBlock(block, back));
    EXPECT_EQ(back, paths);
    src.SetData(f.fileCopy, "x", 1); // nothing left to offer into: ignored
    QApplication::clipboard()->clear();
}

} // namespace
