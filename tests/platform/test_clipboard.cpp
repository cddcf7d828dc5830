#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QUrl>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A drop-files header: list offset, drop point, non-client flag, wide flag.
std::string Header(uint32_t offset, uint32_t wide = 0)
{
    std::string h;
    for (uint32_t v : {offset, 0u, 0u, 0u, wide})
        for (int s = 0; s < 32; s += 8)
            h.push_back(char(uint8_t(v >> s)));
    return h;
}

TEST(DropFilesBlock, BrokenBlocksGiveNoPaths)
{
    using namespace std::string_literals;
    struct Row {
        const char* what;
        std::string block;
        bool ok;
        std::vector<std::string> paths;
    } rows[] = {
        {"two paths", Header(20) + "/a\0/b c\0\0"s, true, {"/a", "/b c"}},
        {"no paths", Header(20) + "\0"s, true, {}},
        {"list further on", Header(24) + "junk/a\0\0"s, true, {"/a"}},
        {"header cut", Header(20).substr(0, 19), false, {}},
        {"wide characters", Header(20, 1) + "/\0a\0\0\0\0\0"s, false, {}},
        {"list inside the header", Header(19) + "/a\0\0"s, false, {}},
        {"list past the end", Header(30) + "/a\0\0"s, false, {}},
        {"list at the very end", Header(23) + "/a\0"s, false, {}},
        {"path without its zero", Header(20) + "/a\0/b"s, false, {}},
        {"no closing empty path", Header(20) + "/a\0"s, false, {}},
    };
    for (const Row& r : rows) {
        std::vector<std::string> paths{"left over"};
        EXPECT_EQ(ReadDropFilesBlock(Bytes(r.block), paths), r.ok) << r.what;
        EXPECT_EQ(paths, r.paths) << r.what;
    }
}

TEST(UriList, LocalFilesInOrder)
{
    struct Row {
        const char* what;
        std::string list;
        std::vector<std::string> paths;
    } rows[] = {
        {"CR LF lines", "file:///a/b.jpg\r\nfile:///c%20d.kvt\r\n", {"/a/b.jpg", "/c d.kvt"}},
        {"LF lines, last unended", "file:///a\nfile:///b", {"/a", "/b"}},
        {"comments and blank lines", "# from a file manager\r\n\r\n  file:///a  \r\n", {"/a"}},
        {"other schemes left out", "https://example.invalid/x.jpg\nfile:///a\nmailto:x@y\n", {"/a"}},
        {"ended by a zero byte", std::string("file:///a\r\n\0", 12), {"/a"}},
        {"an encoded zero byte", "file:///a/photo.jpg%00.txt\nfile:///b", {"/b"}},
        {"a file address without a path", "file:\nfile:///b", {"/b"}},
        {"UTF-8 names", "file:///p/%C3%A9t%C3%A9.jpg", {"/p/\xC3\xA9t\xC3\xA9.jpg"}},
        {"nothing", "", {}},
        {"only a zero", std::string(1, '\0'), {}},
    };
    for (const Row& r : rows) {
        const std::vector<uint8_t> bytes = Bytes(r.list);
        EXPECT_EQ(ReadUriListPaths(bytes), r.paths) << r.what;
    }
}

TEST(UriList, MimeDataOfADrop)
{
    EXPECT_TRUE(GetMimeFilePaths(nullptr).empty());
    QMimeData none;
    none.setText("file:///not/a/list");
    EXPECT_TRUE(GetMimeFilePaths(&none).empty());

    QMimeData set;
    set.setUrls({QUrl::fromLocalFile("/photos/a b.jpg"), QUrl("https://example.invalid/x"),
                 QUrl::fromLocalFile("/photos/c.kvt")});
    EXPECT_EQ(GetMimeFilePaths(&set), (std::vector<std::string>{"/photos/a b.jpg", "/photos/c.kvt"}));

    QMimeData raw; // as another program's drop arrives
    raw.setData(kUriListMimeType, "file:///x/1.jpg\r\n#c\r\nfile:///x/2.jpg\r\n");
    EXPECT_EQ(GetMimeFilePaths(&raw), (std::vector<std::string>{"/x/1.jpg", "/x/2.jpg"}));
}

} // namespace
