// The thumbnail cache: its file names, memory cells below 384 items and
// files from 384 on, files that follow their items' list indexes, clearing,
// the sources of a thumbnail, and the thumbnail files' size limit.
#include "browser_fixture.h"

#include "browser/folder_scan.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_importer.h"
#include "support/exif_thumbnail_block.h"
#include "platform/gcc_warnings.h"

#include <fstream>
#include <future>
#include <thread>

using qrtest::BrowserTest;

namespace {

bool SamePixels(const CDibBitmap& a, const CDibBitmap& b)
{
    if (a.GetSize() != b.GetSize())
        return false;
    for (int y = 0; y < a.GetSize().cy; ++y)
        for (int x = 0; x < a.GetSize().cx; ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return false;
    return true;
}

CDibBitmap Solid(int w, int h, COLORREF colour)
{
    CDibBitmap b;
    b.CreateDib(CSize(w, h), 24, nullptr, nullptr, colour);
    return b;
}

CDibBitmap Pending()
{
    CDibBitmap b;
    b.LoadFromResource(IDB_THUMBNAIL_PENDING);
    return b;
}

} // namespace

TEST_F(BrowserTest, CacheFilesAreNamedByListIndex)
{
    const std::string cache = Cache().string();
    struct Row {
        int n;
        const char* raw;
        const char* bmp;
    } rows[] = {{0, "/IDX00.raw", "/S_IDX00.bmp"},
                {5, "/IDX05.raw", "/S_IDX05.bmp"},
                {7, "/IDX07.raw", "/S_IDX07.bmp"},
                {100, "/IDX100.raw", "/S_IDX100.bmp"},
                {383, "/IDX383.raw", "/S_IDX383.bmp"}};
    for (const Row& r : rows) {
        EXPECT_EQ(FormatRawCachePath(r.n), cache + r.raw);
        EXPECT_EQ(FormatBmpCachePath(r.n), cache + r.bmp);
    }
    Fill({Pic("a.jpg"), Pic("b.jpg")});
    GetFileItem(1)->m_nListIndex = 7;
    EXPECT_EQ(GetItemRawCachePath(1), cache + "/IDX07.raw");
    EXPECT_EQ(GetItemBmpCachePath(9), cache + "/S_IDX00.bmp"); // past the end: the empty item's
}

// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST_F(BrowserTest, FewerThan384ItemsStayInMemoryFromThenOnFiles)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 384; ++i)
        paths.push_back(Pic("p" + std::to_string(i) + ".jpg"));

    paths.pop_back();
    Fill(paths);
    EXPECT_TRUE(IsThumbnailMemoryMode());
    EXPECT_EQ(GetThumbnailCellCount(), 383);
    for (int i : {0, 200, 382}) {
        GetFileItem(i)->m_thumbSize = CSize(160, 120);
        CDibBitmap shown;
        ASSERT_TRUE(GetItemThumbnail(i, shown));
        EXPECT_TRUE(SamePixels(shown, Pending())) << i;
    }
    // Made-up files: no importer is asked for their information.
    for (int i = 0; i < 383; ++i) {
        GetFileItem(i)->m_bInfoRead = TRUE;
        CDibBitmap t = Solid(40, 30, RGB(200, 10, 10));
        StoreItemThumbnail(i, t);
    }
    EXPECT_TRUE(qrtest::FolderNames(Cache()).empty());

    paths.push_back(Pic("p383.jpg"));
    Fill(paths);
    EXPECT_FALSE(IsThumbnailMemoryMode());
    EXPECT_EQ(GetThumbnailCellCount(), 0);
    for (int i = 0; i < 384; ++i) {
        GetFileItem(i)->m_bInfoRead = TRUE;
        CDibBitmap t = Solid(40, 30, RGB(0, 0, 200));
        StoreItemThumbnail(i, t);
    }
    const std::vector<std::string> names = qrtest::FolderNames(Cache());
    ASSERT_EQ(names.size(), 384u);
    EXPECT_EQ(names.front(), "S_IDX00.bmp");
    EXPECT_EQ(names.back(), "S_IDX99.bmp"); // sorted as text: S_IDX383.bmp comes earlier
    EXPECT_TRUE(std::filesystem::exists(Cache() / "S_IDX383.bmp"));
    CDibBitmap shown;
    ASSERT_TRUE(GetItemThumbnail(383, shown));
    EXPECT_EQ(shown.GetSize(), CSize(40, 30));
    EXPECT_EQ(shown.GetPixel(5, 5), RGB(0, 0, 200));
    EXPECT_FALSE(GetItemThumbnail(384, shown));
}
QR_GCC_IGNORE_END

TEST_F(BrowserTest, RemovingAnItemMovesTheLaterFilesDown)
{
    // Disk mode for five items, as a folder of 384 or more would have it.
    PrepareThumbnailList(400);
    for (int i = 0; i < 5; ++i)
        CreateFileItemAt(i, Pic(std::to_string(i) + ".jpg"));
    TruncateFileItems(5);
    CImageBuffer raw;
    ASSERT_TRUE(raw.Create(CImageBuffer::kHeap, CSize(4, 4), 11));
    for (int i = 0; i < 5; ++i) {
        qrtest::WriteBytes(Pics() / (std::to_string(i) + ".jpg"), qrtest::JpegBytes(8, 8));
        CDibBitmap t = Solid(10 + i, 10, RGB(i * 40, 0, 0));
        StoreItemThumbnail(i, t);
        raw.Fill(BYTE(i * 40));
        ASSERT_TRUE(SaveItemRawCache(i, raw));
    }
    RemoveFileItem(2);
    EXPECT_EQ(qrtest::FolderNames(Cache()),
              (std::vector<std::string>{"IDX00.raw", "IDX01.raw", "IDX02.raw", "IDX03.raw", "S_IDX00.bmp",
                                        "S_IDX01.bmp", "S_IDX02.bmp", "S_IDX03.bmp"}));
    // The former items 3 and 4 still find their own thumbnails and pictures.
    for (int i = 2; i < 4; ++i) {
        CDibBitmap shown;
        GetItemThumbnail(i, shown);
        EXPECT_EQ(shown.GetSize().cx, 10 + i + 1) << i;
        CImageBuffer back;
        ASSERT_TRUE(LoadItemRawCache(i, back)) << i;
        EXPECT_EQ(back.GetRowPointer(0)[0], BYTE((i + 1) * 40)) << i;
    }
}

TEST_F(BrowserTest, ClearingTakesThumbnailAndRawFilesOfAnyCaseOnly)
{
    for (const char* name : {"S_IDX00.bmp", "S_IDX01.BMP", "IDX02.raw", "IDX03.Raw", "notes.txt", ".hidden.bmp"})
        qrtest::WriteBytes(Cache() / name, {'x'});
    std::filesystem::create_directories(Cache() / "folder.bmp");
    ClearThumbnailCache();
    EXPECT_EQ(qrtest::FolderNames(Cache()), (std::vector<std::string>{".hidden.bmp", "folder.bmp", "notes.txt"}));

    // Start-up and exit empty the folder too.
    qrtest::WriteBytes(Cache() / "S_IDX07.bmp", {'x'});
    ExitFileItemStore();
    EXPECT_FALSE(std::filesystem::exists(Cache() / "S_IDX07.bmp"));
    qrtest::WriteBytes(Cache() / "IDX07.raw", {'x'});
    InitFileItemStore(Cache().string(), qrtest::kHome);
    EXPECT_FALSE(std::filesystem::exists(Cache() / "IDX07.raw"));
}

TEST_F(BrowserTest, LargeThumbnailsAreFittedIntoTheirCell)
{
    Fill({Pic("a.jpg"), Pic("b.jpg")});
    CDibBitmap big = Solid(200, 150, RGB(10, 200, 30));
    StoreItemThumbnail(0, big);
    EXPECT_EQ(GetItemThumbnailSize(0), CSize(160, 120));
    CDibBitmap small = Solid(50, 80, RGB(250, 0, 250));
    StoreItemThumbnail(1, small);
    EXPECT_EQ(GetItemThumbnailSize(1), CSize(50, 80));
    CDibBitmap shown;
    GetItemThumbnail(0, shown);
    EXPECT_EQ(shown.GetSize(), CSize(160, 120));
    EXPECT_EQ(shown.GetPixel(159, 119), RGB(10, 200, 30));

    // Fitted and centred on white for another size.
    CDibBitmap fitted;
    ASSERT_TRUE(GetItemThumbnailFitted(1, fitted, 100, 100));
    EXPECT_EQ(fitted.GetSize(), CSize(100, 100));
    EXPECT_EQ(fitted.GetPixel(50, 50), RGB(250, 0, 250));
    EXPECT_EQ(fitted.GetPixel(5, 50), RGB(255, 255, 255));
}

TEST_F(BrowserTest, MergedItemsGetCellsOfTheirOwn)
{
    // A merge after a scan used to give a new item the cell of the item
    // count, which a removal had left to another item.
    const std::string a = Jpeg("a.jpg"), b = Jpeg("b.jpg"), c = Jpeg("c.jpg");
    Fill({a, b, c});
    RemoveFileItem(0); // b and c now have list indexes 0 and 1, cells 1 and 2
    const std::string d = Jpeg("d.jpg");
    std::filesystem::remove(a);
    ScanFolderSoundFiles(Pics().string());
    ASSERT_EQ(Names(), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg"}));
    EXPECT_EQ(GetFileItem(2)->m_nImageSlot, 3);
    CDibBitmap red = Solid(20, 20, RGB(255, 0, 0)), blue = Solid(20, 20, RGB(0, 0, 255));
    StoreItemThumbnail(1, red);
    StoreItemThumbnail(2, blue);
    CDibBitmap shown;
    GetItemThumbnail(1, shown);
    EXPECT_EQ(shown.GetPixel(1, 1), RGB(255, 0, 0));
    GetItemThumbnail(2, shown);
    EXPECT_EQ(shown.GetPixel(1, 1), RGB(0, 0, 255));
    // Nothing new the second time.
    ScanFolderSoundFiles(Pics().string());
    EXPECT_EQ(GetFileItemCount(), 3);
}

TEST_F(BrowserTest, ThumbnailsComeFromTheCheapestSource)
{
    auto save = [&](const std::string& name, int w, int h, const std::vector<uint8_t>& exif = {}) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(w, h), 11));
        image.Fill(90);
        CImageExporter exporter(qrtest::kExporters);
        exporter.Export(Pic(name), image, exif.empty() ? nullptr : exif.data(), uint32_t(exif.size()), nullptr, 0,
                        nullptr, 0, exif.empty());
    };
    save("scan.tif", 640, 480, qrtest::ExifBlockWithThumbnail(qrtest::JpegBytes(80, 60)));
    qrtest::WriteBytes(Pics() / "scan.thm", qrtest::JpegBytes(48, 36)); // any case of the extension
    save("camera.jpg", 640, 480, qrtest::ExifBlockWithThumbnail(qrtest::JpegBytes(80, 60)));
    qrtest::WriteBytes(Pics() / "camera.THM", qrtest::JpegBytes(32, 24)); // never for a JPEG
    Jpeg("plain.jpg", 800, 600);
    qrtest::WriteBytes(Pics() / "voice.wav", {'R', 'I', 'F', 'F'});
    qrtest::WriteBytes(Pics() / "broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
    Fill({Pic("scan.tif"), Pic("camera.jpg"), Pic("plain.jpg"), Pic("voice.wav"), Pic("broken.jpg")});
    for (int i = 0; i < 5; ++i)
        GetFileItem(i)->ResetThumbnail(FALSE);

    struct Row {
        int index;
        CSize size;
    } rows[] = {{0, {48, 36}}, {1, {80, 60}}, {2, {160, 120}}};
    for (const Row& r : rows) {
        ASSERT_EQ(LoadItemThumbnail(r.index), 1) << r.index;
        EXPECT_EQ(GetItemThumbnailSize(r.index), r.size) << r.index;
        // The output size is the picture's once a thumbnail was stored.
        EXPECT_EQ(GetFileItem(r.index)->m_outputSize, GetFileItem(r.index)->GetImageSize()) << r.index;
    }
    CDibBitmap sound, expected;
    MakeItemThumbnail(GetFileItem(3), sound);
    expected.LoadFromResource(IDB_SOUND_FILE);
    EXPECT_TRUE(expected.IsValid());
    EXPECT_TRUE(SamePixels(sound, expected));
    CDibBitmap broken;
    MakeItemThumbnail(GetFileItem(4), broken);
    EXPECT_EQ(broken.GetSize(), CSize(64, 64));
    EXPECT_EQ(broken.GetPixel(30, 30), RGB(0, 0, 0));
    EXPECT_EQ(LoadItemThumbnail(5), 0); // past the end
}

TEST_F(BrowserTest, BusyImporterLeavesTheItemForLater)
{
    Jpeg("plain.jpg", 800, 600);
    Fill({Pic("plain.jpg")});
    GetFileItem(0)->ResetThumbnail(FALSE);
    // Another decode holds the importers meanwhile.
    std::promise<void> held, release;
    std::thread other([&] {
        ImportLock().lock();
        held.set_value();
        release.get_future().wait();
        ImportLock().unlock();
    });
    held.get_future().wait();
    const int stored = LoadItemThumbnail(0);
    release.set_value();
    other.join();
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(GetItemThumbnailSize(0), CSize(160, 120));
    EXPECT_EQ(LoadItemThumbnail(0), 1);
}

TEST_F(BrowserTest, ThumbnailFilesAreReadUpToTheirLimit)
{
    PrepareThumbnailList(400);
    CreateFileItemAt(0, Pic("a.jpg"));
    TruncateFileItems(1);
    CDibBitmap t = Solid(40, 30, RGB(1, 2, 3));
    StoreItemThumbnail(0, t);
    const auto bytes = std::filesystem::file_size(Cache() / "S_IDX00.bmp");
    CDibBitmap shown;
    SetMaxThumbnailFileBytes(bytes);
    GetItemThumbnail(0, shown);
    EXPECT_EQ(shown.GetSize(), CSize(40, 30));
    SetMaxThumbnailFileBytes(bytes - 1);
    GetItemThumbnail(0, shown);
    EXPECT_TRUE(SamePixels(shown, Pending()));
    // A damaged file shows the pending picture too.
    SetMaxThumbnailFileBytes(kMaxThumbnailFileBytes);
    qrtest::WriteBytes(Cache() / "S_IDX00.bmp", {'B', 'M', 0xFF, 0xFF, 0xFF, 0x7F});
    GetItemThumbnail(0, shown);
    EXPECT_TRUE(SamePixels(shown, Pending()));
}
