// Renaming a picture with its voice note and camera thumbnail, and Rename All's names.
#include "browser/file_item.h"
#include "browser/file_rename.h"
#include "browser_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

class RenameTest : public qrtest::BrowserTest {
protected:
    // Files of the names in the pictures folder; the first is the store's item 0.
    void Make(std::initializer_list<const char*> names)
    {
        for (const char* n : names)
            std::ofstream(Pic(n)) << n;
        AppendFileItem(Pic(*names.begin()));
    }
    bool Has(const char* name) const { return fs::exists(Pics() / name); }
    std::string error;
};

TEST(SerialNames, KeepTheNumbersWidthAndGrowPastIt)
{
    EXPECT_EQ(MakeSerialName(0, "Trip", "0098"), "Trip0098");
    EXPECT_EQ(MakeSerialName(1, "Trip", "0098"), "Trip0099");
    EXPECT_EQ(MakeSerialName(2, "Trip", "0098"), "Trip0100");
    EXPECT_EQ(MakeSerialName(1, "A", "99"), "A100");
    EXPECT_EQ(MakeSerialName(3, "B", ""), "B3");
    std::string name, number;
    ProposeSerialName("/p/DSC01234.JPG", name, number);
    EXPECT_EQ(name, "DSC");
    EXPECT_EQ(number, "01234");
    ProposeSerialName("/p/ABCDEFGHIJKLM.JPG", name, number);
    EXPECT_EQ(name, "ABCDEFGHIJ");
    EXPECT_EQ(number, "");
    ProposeSerialName("/p/IMG123456.JPG", name, number);
    EXPECT_EQ(name, "IMG1");
    EXPECT_EQ(number, "23456");
}

TEST_F(RenameTest, APictureTakesItsVoiceNoteAlong)
{
    Make({"IMG1.JPG", "IMG1.WAV"});
    ASSERT_TRUE(RenameItem(0, "Holiday\n2026/12/11", error)) << error;
    EXPECT_TRUE(Has("Holiday.JPG"));
    EXPECT_TRUE(Has("Holiday.WAV"));
    EXPECT_FALSE(Has("IMG1.JPG"));
    EXPECT_FALSE(Has("IMG1.WAV"));
    EXPECT_EQ(GetFileItem(0)->GetPath(), Pic("Holiday.JPG"));
}

TEST_F(RenameTest, ATypedExtensionOfAnotherKindBecomesPartOfTheName)
{
    Make({"IMG1.TIF", "IMG1.WAV", "IMG1.THM"});
    ASSERT_TRUE(RenameItem(0, "Holiday.jpg", error)) << error;
    EXPECT_TRUE(Has("Holiday.jpg.TIF"));
    EXPECT_TRUE(Has("Holiday.jpg.WAV"));
    EXPECT_TRUE(Has("Holiday.jpg.THM"));
    EXPECT_EQ(GetFileItem(0)->GetPath(), Pic("Holiday.jpg.TIF"));
}

TEST_F(RenameTest, RefusalsTouchNoFile)
{
    Make({"a.jpg", "a.WAV", "b.WAV"});
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"b", "A file with the same name already exists. Overwrite?"}, // the voice note's new name is taken
        {"x:y", nullptr},                                             // no such character in a name
        {".jpg", "A file name needs a name before its extension."},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(RenameItem(0, c.text, error)) << c.text;
        if (c.error)
            EXPECT_EQ(error, c.error);
        else
            EXPECT_NE(error.find("cannot be used in file names"), std::string::npos);
        EXPECT_TRUE(Has("a.jpg"));
        EXPECT_TRUE(Has("a.WAV"));
        EXPECT_EQ(GetFileItem(0)->GetPath(), Pic("a.jpg"));
    }
    // The same name in other letters is another name here: renamed, voice note too.
    EXPECT_TRUE(RenameItem(0, "A.JPG", error)) << error;
    EXPECT_TRUE(Has("A.JPG"));
    EXPECT_TRUE(Has("A.WAV"));
    EXPECT_FALSE(Has("a.jpg"));
    EXPECT_EQ(GetFileItem(0)->GetPath(), Pic("A.JPG"));
    // The very same name: nothing to do.
    EXPECT_TRUE(RenameItem(0, "A.JPG", error));
    EXPECT_TRUE(Has("A.JPG"));
}

TEST_F(RenameTest, ARenameThatFailsPartWayPutsBackWhatItDid)
{
    Make({"IMG1.TIF", "IMG1.WAV", "IMG1.THM"});
    // The thumbnail's new name turns out taken when its turn comes: a link to
    // nothing, which the check before does not see as a file.
    fs::create_symlink(Pics() / "gone", Pics() / "Trip.THM");
    EXPECT_FALSE(RenameItem(0, "Trip", error));
    EXPECT_FALSE(error.empty());
    for (const char* name : {"IMG1.TIF", "IMG1.WAV", "IMG1.THM"})
        EXPECT_TRUE(Has(name)) << name;
    EXPECT_FALSE(Has("Trip.TIF"));
    EXPECT_FALSE(Has("Trip.WAV"));
    EXPECT_TRUE(fs::is_symlink(Pics() / "Trip.THM"));
    EXPECT_EQ(GetFileItem(0)->GetPath(), Pic("IMG1.TIF"));
}

TEST_F(RenameTest, RenameAllTakesEachPicturesCompanionsAsTheFolderIsThen)
{
    // Two pictures share a name in other letters and one voice note: the
    // first takes it, the second finds it gone; names in other letters count
    // only when they are the only ones.
    for (const char* n : {"IMG_1.JPG", "img_1.wav", "Img_1.tif", "IMG_1.THM", "IMG_2.jpg", "IMG_2.WAV", "IMG_2.wav"})
        std::ofstream(Pic(n)) << n;
    for (const char* n : {"IMG_1.JPG", "Img_1.tif", "IMG_2.jpg"})
        AppendFileItem(Pic(n));
    ASSERT_TRUE(RenameItems({0, 1, 2}, "Trip", "0001", error)) << error;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Pics()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Trip0001.JPG", "Trip0001.wav", "Trip0002.tif", "Trip0002.THM",
                                            "Trip0003.jpg", "Trip0003.WAV", "Trip0003.wav"}));
    EXPECT_EQ(GetFileItem(1)->GetPath(), Pic("Trip0002.tif"));
    // A name taken stops the run where it is.
    std::ofstream(Pic("Next0002.tif")) << "taken";
    EXPECT_FALSE(RenameItems({0, 1, 2}, "Next", "0001", error));
    EXPECT_TRUE(Has("Next0001.JPG"));
    EXPECT_TRUE(Has("Trip0002.tif"));
    EXPECT_TRUE(Has("Trip0003.jpg"));
}

} // namespace
