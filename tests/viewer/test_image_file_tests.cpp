#include "viewer/image_file_tests.h"
#include "imaging/dib_bitmap.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(ImageFileTests, FoldersAndUnreadableFiles)
{
    EXPECT_EQ(GetProgramFolder().back(), '/');
    EXPECT_EQ(GetReaderFolder(), GetProgramFolder() + "Reader");
    // One spelling of the profiles folder everywhere.
    EXPECT_EQ(GetProfilesFolder(), GetProgramFolder() + "Profiles");
    qrtest::TempDir dir;
    std::ofstream(dir / "not_a_picture.jpg") << "text, not a picture";
    for (const std::string& p : {(dir / "missing.jpg").string(), (dir / "not_a_picture.jpg").string()}) {
        EXPECT_FALSE(IsImportableFile(p)) << p;
        EXPECT_FALSE(IsLoadableImageFile(p)) << p;
    }
}

TEST(ImageFileTests, BitmapSizeLimits)
{
    struct Row {
        int cx, cy;
        BOOL ok;
    } rows[] = {{3840, 8, TRUE}, {3841, 100, FALSE}, {7, 100, FALSE}, {8, 3840, TRUE}};
    for (const Row& r : rows) {
        CDibBitmap dib;
        ASSERT_TRUE(dib.CreateDib(CSize(r.cx, r.cy), 24));
        EXPECT_EQ(IsDibSizeSupported(dib), r.ok) << r.cx << "x" << r.cy;
    }
    EXPECT_FALSE(IsDibSizeSupported(CDibBitmap()));
}
