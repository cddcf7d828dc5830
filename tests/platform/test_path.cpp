#include "platform/path.h"

#include <gtest/gtest.h>

TEST(Path, ParentFolderEndsAtTheRoot)
{
    struct Case {
        const char* path;
        const char* parent;
        const char* toOpen;
    } cases[] = {
        {"/a/b", "/a", "/a"}, {"/a/b/", "/a", "/a"}, {"/a/b//", "/a", "/a"}, {"/a", "/", "/"},
        {"/", "", "/"},       {"//", "", "/"},       {"a", "", "."},         {"a/", "", "."},
        {"", "", "."},        {"//a", "/", "/"},     {"/a//b", "/a", "/a"},  {"a/b/c.jpg", "a/b", "a/b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParentFolderOf(c.path), c.parent) << c.path;
        EXPECT_EQ(ParentFolderToOpen(c.path), c.toOpen) << c.path;
    }
}

TEST(Path, LastNameAndItsExtension)
{
    struct Case {
        const char* path;
        const char* name;
        const char* dotted;
        const char* ext;
        const char* stem;
    } cases[] = {
        {"/a/b.jpg", "b.jpg", ".jpg", "jpg", "b"},
        {"/a/b/", "b", "", "", "b"}, // the same entry as "/a/b", as for ParentFolderOf
        {"/a/b.d//", "b.d", ".d", "d", "b"},
        {"/", "", "", "", ""},
        {"//", "", "", "", ""},
        {"", "", "", "", ""},
        {"b", "b", "", "", "b"},
        {".hidden", ".hidden", "", "", ".hidden"},
        {"/a/.hidden.jpg", ".hidden.jpg", ".jpg", "jpg", ".hidden"},
        {"a.tar.gz", "a.tar.gz", ".gz", "gz", "a.tar"},
        {"/a.b/c", "c", "", "", "c"}, // a dot in a folder's name is no extension
        {"name.", "name.", ".", "", "name"},
        {"/x/photo.JPG", "photo.JPG", ".JPG", "JPG", "photo"}, // case kept
        {"/a/b\\c.d\\e", "b\\c.d\\e", ".d\\e", "d\\e", "b\\c"}, // '\' is part of the name
        {"/a/..", "..", "", "", ".."},
        // 表: its Shift-JIS form ends in the byte of '\'; in UTF-8 no byte of it is one.
        {"/a/\xE8\xA1\xA8.wav", "\xE8\xA1\xA8.wav", ".wav", "wav", "\xE8\xA1\xA8"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LastNameOf(c.path), c.name) << c.path;
        EXPECT_EQ(DottedExtensionOf(c.path), c.dotted) << c.path;
        EXPECT_EQ(ExtensionOf(c.path), c.ext) << c.path;
        EXPECT_EQ(StemOf(c.path), c.stem) << c.path;
    }
}
