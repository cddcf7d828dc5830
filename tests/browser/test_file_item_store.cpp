// The item store: the shared empty item, the current item, removal and its
// renumbering, lookups by path, captions, renamed folders, and the check of
// a camera picture against its maker's check word.
#include "browser_fixture.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "platform/gcc_warnings.h"

#include <ctime>
#include <utime.h>

using qrtest::BrowserTest;

namespace {

std::vector<int> ListIndexes()
{
    std::vector<int> v;
    for (int i = 0; i < GetFileItemCount(); ++i)
        v.push_back(GetFileItem(i)->m_nListIndex);
    return v;
}

std::vector<int> Slots()
{
    std::vector<int> v;
    for (int i = 0; i < GetFileItemCount(); ++i)
        v.push_back(GetFileItem(i)->m_nImageSlot);
    return v;
}

} // namespace

TEST_F(BrowserTest, EveryIndexThatNamesNoItemGivesTheSharedEmptyItem)
{
    CFileItem* empty = GetSharedEmptyItem();
    EXPECT_EQ(GetFileItem(-1), empty);
    Fill({Pic("a.jpg"), Pic("b.jpg")});
    EXPECT_EQ(GetFileItem(2), empty);
    EXPECT_EQ(GetFileItem(57, TRUE), empty);
    EXPECT_EQ(GetItemFileName(2), "");
    EXPECT_EQ(GetItemFileTime(2), -1);
    EXPECT_EQ(GetItemThumbnailSize(5), CSize(0, 0));

    // A slot the scan has not filled yet.
    PrepareThumbnailList(3);
    CreateFileItemAt(0, Pic("a.jpg"));
    EXPECT_EQ(GetFileItem(1), empty);

    // Nothing written through -1 with no current item reaches it.
    SetCurrentIndex(-1);
    EXPECT_FALSE(SetFileItemPath(-1, Pic("x.kvt")));
    SetCurrentItemSaveMode(7);
    EXPECT_EQ(empty->GetPath(), "");
    EXPECT_EQ(empty->m_nSaveMode, 0);
    EXPECT_EQ(GetItemFileName(9), "");
}

TEST_F(BrowserTest, CurrentIndexFollowsTheRules)
{
    SetCurrentIndex(4); // an empty store keeps the index, with no item
    EXPECT_EQ(GetCurrentIndex(), 4);
    EXPECT_EQ(GetFileItem(-1), GetSharedEmptyItem());

    Fill({Pic("a.jpg"), Pic("b.jpg"), Pic("c.jpg")});
    struct Row {
        int set, index;
        const char* name;
    } rows[] = {{1, 1, "b.jpg"}, {-1, -1, ""}, {3, 0, "a.jpg"}, {99, 0, "a.jpg"}, {2, 2, "c.jpg"}};
    for (const Row& r : rows) {
        SetCurrentIndex(r.set);
        EXPECT_EQ(GetCurrentIndex(), r.index) << r.set;
        EXPECT_EQ(GetItemFileName(-1), r.name) << r.set;
    }

    ClearFileItems(FALSE);
    EXPECT_EQ(GetCurrentIndex(), 2); // left as it was
    EXPECT_EQ(GetFileItem(-1), GetSharedEmptyItem());
}

TEST_F(BrowserTest, RemovalRenumbersListIndexesButNotCellsAndKeepsTheCurrentItem)
{
    Fill({Pic("0.jpg"), Pic("1.jpg"), Pic("2.jpg"), Pic("3.jpg"), Pic("4.jpg"), Pic("5.jpg")});
    SetCurrentIndex(5);
    CFileItem* current = GetFileItem(-1);
    RemoveFileItem(3);
    EXPECT_EQ(ListIndexes(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Slots(), (std::vector<int>{0, 1, 2, 4, 5}));
    EXPECT_EQ(GetFileItem(-1), current);
    EXPECT_EQ(GetCurrentIndex(), 4);

    // The current item itself goes: no item is current, nothing dangles.
    RemoveFileItem(4);
    EXPECT_EQ(GetFileItem(-1), GetSharedEmptyItem());
    EXPECT_EQ(GetCurrentIndex(), -1);
    RemoveFileItem(17); // nothing there
    EXPECT_EQ(GetFileItemCount(), 4);
}

TEST_F(BrowserTest, PathLookupsDifferOnlyInLetterCase)
{
    Fill({Pic("Photo.JPG"), Pic("photo.jpg")});
    EXPECT_EQ(FindFileItemByPath(Pic("PHOTO.jpg")), GetFileItem(0));
    EXPECT_EQ(FindFileItemIndex(Pic("PHOTO.jpg")), -1);
    EXPECT_EQ(FindFileItemIndex(Pic("photo.jpg")), 1);
    EXPECT_EQ(FindFileItemByPath(Pic("other.jpg")), nullptr);
}

TEST_F(BrowserTest, ProbedKindsAndPathTests)
{
    struct Row {
        const char* name;
        int kind;
    } rows[] = {{"a.jpeg", 0}, {"b.JPG", 0}, {"c.jfif", 0}, {"d.Tif", 1}, {"e.tiff", 1},
                {"f.tkf", 2},  {"g.txt", 3}, {"noext", 3},   {"dir.jpg/x", 3}};
    for (const Row& r : rows)
        EXPECT_EQ(CFileItem(0, Pic(r.name)).ProbeImageType(), r.kind) << r.name;
    EXPECT_TRUE(CFileItem(0, Pic("n.Wav")).IsWav());
    EXPECT_TRUE(CFileItem(0, Pic("m.MOV")).IsMovie());
}

TEST_F(BrowserTest, ScanCandidatesAreTakenInOnlyWhenTheBrowserShowsThem)
{
    const std::string colour = Jpeg("colour.jpg", 1600, 1200);
    qrtest::WriteBytes(Pics() / "grey.gif", {'G', 'I', 'F', '8', '9', 'a'});
    qrtest::WriteBytes(Pics() / "voice.WAV", {'R', 'I', 'F', 'F'});
    qrtest::WriteBytes(Pics() / "notes.txt", {'x'});
    Fill({colour, Pic("grey.gif"), Pic("voice.WAV"), Pic("notes.txt"), Pic("gone.jpg")});
    EXPECT_EQ(GetFileItem(0)->ResetThumbnail(TRUE), 1);
    EXPECT_EQ(GetFileItem(0)->GetImageSize(), CSize(1600, 1200));
    EXPECT_EQ(GetFileItem(0)->m_thumbSize, CSize(160, 120));
    EXPECT_EQ(GetFileItem(0)->GetBitDepth(), 24);
    EXPECT_EQ(GetFileItem(0)->m_nTypeCode, 11);
    EXPECT_EQ(GetFileItem(1)->ResetThumbnail(FALSE), 0);
    EXPECT_EQ(GetFileItem(2)->ResetThumbnail(FALSE), 1); // sounds need no importer
    EXPECT_GE(GetFileItem(2)->m_fileTime, 0);
    EXPECT_EQ(GetFileItem(3)->ResetThumbnail(FALSE), 0);
    EXPECT_EQ(GetFileItem(4)->ResetThumbnail(FALSE), 0);
    EXPECT_EQ(GetFileItem(4)->m_fileTime, -1);
    // An item whose list index lies past the array is not a candidate.
    GetFileItem(0)->m_nListIndex = 5;
    EXPECT_EQ(GetFileItem(0)->ResetThumbnail(FALSE), 0);
}

TEST_F(BrowserTest, CaptionWithDetailsHasDateAndSize)
{
    const std::string path = Jpeg("IMG_0042.JPG", 1600, 1200);
    struct tm when{};
    when.tm_year = 2004 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 12;
    when.tm_isdst = -1;
    const time_t t = mktime(&when);
    const utimbuf times{t, t};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    Fill({path});
    CFileItem* item = GetFileItem(0);
    EXPECT_EQ(item->FormatCaption(0, TRUE), "IMG_0042.JPG\n\n"); // nothing read yet
    ASSERT_EQ(item->ResetThumbnail(TRUE), 1);
    EXPECT_EQ(item->FormatCaption(0, TRUE), "IMG_0042.JPG\n2004/03/05\n1600 x 1200");
    EXPECT_EQ(item->FormatCaption(0, FALSE), "IMG_0042.JPG");
}

TEST_F(BrowserTest, RenamedFolderMovesPathsAndVoiceNotesUnderTheirRealNames)
{
    Fill({"/pics/Old/a.jpg", "/pics/Old/b.jpg"});
    GetFileItem(0)->m_strSoundPath = "/pics/Old/A.WAV";
    RebaseFileItemPaths("/pics/New/");
    EXPECT_EQ(GetFileItem(0)->GetPath(), "/pics/New/a.jpg");
    EXPECT_EQ(GetFileItem(0)->m_strSoundPath, "/pics/New/A.WAV");
    EXPECT_EQ(GetFileItem(1)->GetPath(), "/pics/New/b.jpg");
    EXPECT_EQ(GetFileItem(1)->m_strSoundPath, "");
}

TEST_F(BrowserTest, PathEditsAndSaveModeReachTheItem)
{
    Fill({Pic("a.jpg")});
    SetCurrentIndex(0);
    EXPECT_TRUE(SetFileItemPath(-1, Pic("a.KVT")));
    EXPECT_TRUE(GetFileItem(0)->IsMessageFile());
    EXPECT_FALSE(SetFileItemPath(0, Pic("a.jpg")));
    GetFileItem(0)->m_bMirrorH = 1;
    GetFileItem(0)->m_nRotation = 90;
    ResetItemEdits(-1);
    EXPECT_EQ(GetFileItem(0)->m_bMirrorH, 0);
    EXPECT_EQ(GetFileItem(0)->m_nRotation, 0);
    SetCurrentItemSaveMode(2);
    EXPECT_EQ(GetFileItem(0)->m_nSaveMode, 2);
}

namespace {

// An Exif block (Intel order) whose Exif directory holds the date taken.
std::vector<uint8_t> ExifWithDateTaken(const char (&date)[20])
{
    std::vector<uint8_t> b{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto p16 = [&](uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto p32 = [&](uint32_t v) { p16(uint16_t(v)); p16(uint16_t(v >> 16)); };
    p16(1);                                  // directory 0 at 8
    p16(34665); p16(4); p32(1); p32(26);     // Exif pointer
    p32(0);
    p16(1);                                  // Exif directory at 26
    p16(36867); p16(2); p32(20); p32(44);    // date taken, 20 bytes at 44
    p32(0);
    b.insert(b.end(), date, date + 20);
    return b;
}

// The sum the check covers, worked out here from the file's own bytes: the
// date's bytes and every byte between the scan header and the end marker.
uint16_t CheckWordOf(const std::vector<uint8_t>& jpeg, const char (&date)[20])
{
    uint32_t sum = 0;
    for (char c : date)
        sum += static_cast<uint8_t>(c);
    size_t i = 2;
    while (i + 4 < jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA))
        i += 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    i += 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    for (; i + 1 < jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xD9); ++i)
        sum += jpeg[i];
    const uint32_t folded = (sum & 0xFF) + (sum >> 8 & 0xFF) + (sum >> 16 & 0xFF) + (sum >> 24);
    return static_cast<uint16_t>(~folded);
}

} // namespace

// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
TEST_F(BrowserTest, PictureIsCheckedAgainstItsMakersCheckWord)
{
    static const char date[20] = "2004:03:05 12:34:56";
    // A camera's file: the Exif segment right behind the start of the picture.
    const std::vector<uint8_t> app1 = ExifWithDateTaken(date), plain = qrtest::JpegBytes(64, 48, 30, 160, 220);
    std::vector<uint8_t> jpeg(plain.begin(), plain.begin() + 2);
    jpeg.insert(jpeg.end(), {0xFF, 0xE1, uint8_t((app1.size() + 2) >> 8), uint8_t(app1.size() + 2)});
    jpeg.insert(jpeg.end(), app1.begin(), app1.end());
    jpeg.insert(jpeg.end(), plain.begin() + 2, plain.end());
    qrtest::WriteBytes(Pics() / "cam.jpg", jpeg);
    qrtest::WriteBytes(Pics() / "cam.tif", jpeg);
    qrtest::WriteBytes(Pics() / "plain.jpg", qrtest::JpegBytes(64, 48));
    const uint16_t word = CheckWordOf(jpeg, date);

    struct Row {
        const char* name;
        uint16_t check;
        WORD state;
    } rows[] = {
        {"cam.jpg", word, CFileItem::kVerifyMatches},
        {"cam.jpg", uint16_t(word + 1), CFileItem::kVerifyDiffers},
        {"cam.jpg", 0, CFileItem::kVerifyImpossible},   // no check word
        {"cam.tif", word, CFileItem::kVerifyImpossible}, // not a JPEG name
        {"plain.jpg", word, CFileItem::kVerifyImpossible}, // no date taken
        {"gone.jpg", word, CFileItem::kVerifyImpossible},
    };
    for (const Row& r : rows) {
        CFileItem item(0, Pic(r.name));
        item.m_makerCheck = r.check;
        VerifyItemImage(&item);
        EXPECT_EQ(item.GetVerifyState(), r.state) << r.name << " " << r.check;
    }

    // The file is read whole up to its limit, and not one byte beyond.
    CFileItem item(0, Pic("cam.jpg"));
    item.m_makerCheck = word;
    SetMaxVerifiedJpegBytes(jpeg.size());
    VerifyItemImage(&item);
    EXPECT_EQ(item.GetVerifyState(), CFileItem::kVerifyMatches);
    SetMaxVerifiedJpegBytes(jpeg.size() - 1);
    VerifyItemImage(&item);
    SetMaxVerifiedJpegBytes(kMaxVerifiedJpegBytes);
    EXPECT_EQ(item.GetVerifyState(), CFileItem::kVerifyImpossible);
}
QR_GCC_IGNORE_END
