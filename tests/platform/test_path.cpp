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
