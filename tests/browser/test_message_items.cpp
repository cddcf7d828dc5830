// Message files among the browsed folder's items: listed with the pictures,
// shown by their photographs, and harmless when damaged.
#include "browser_fixture.h"

#include "browser/file_item.h"
#include "browser/folder_scan.h"
#include "browser/sort_key.h"
#include "browser/thumbnail_loader.h"
#include "imaging/dib_bitmap.h"
#include "ui/ui_services.h"
#include "support/message_files.h"
#include "support/ui_test_util.h"

#include <atomic>
#include <fstream>

using qrtest::BrowserTest;

namespace {

void Scan(const std::string& folder)
{
    std::atomic<uint32_t> total{0}, done{0};
    CFolderScanDlog::ScanFolder(folder, kSortByName, false, {}, total, done);
}

COLORREF CentreOf(int index)
{
    CDibBitmap shown;
    if (!GetItemThumbnail(index, shown))
        return CLR_INVALID;
    const CSize size = GetItemThumbnailSize(index);
    return shown.GetPixel(size.cx / 2, size.cy / 2);
}

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) < 12 && std::abs(GetGValue(a) - GetGValue(b)) < 12 &&
           std::abs(GetBValue(a) - GetBValue(b)) < 12;
}

} // namespace

TEST_F(BrowserTest, MessagesAreListedWithTheirPhotographsAndDamagedOnesDoNoHarm)
{
    Jpeg("a.jpg", 64, 48);
    qrtest::WriteMessageFile(Pics() / "Harbour.KVT", 200, 100, RGB(200, 30, 40), "Boats at dawn");
    qrtest::WriteMessageFile(Pics() / "tall.kvt", 60, 120, RGB(20, 40, 210));
    // A voice note beside a message stays an item of its own.
    qrtest::WriteBytes(Pics() / "tall.wav", {'R', 'I', 'F', 'F'});
    qrtest::WriteBytes(Pics() / "garbage.kvt", {'#', '7', '3', '2', '1', 0, 0, 0, 9});
    {
        // A real message cut in the middle of its photograph.
        qrtest::WriteMessageFile(Pics() / "whole.tmp", 200, 100, RGB(1, 2, 3));
        std::ifstream in(Pics() / "whole.tmp", std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
        bytes.resize(bytes.size() / 2);
        qrtest::WriteBytes(Pics() / "cut.kvt", bytes);
        std::filesystem::remove(Pics() / "whole.tmp");
    }
    qrtest::WriteBytes(Pics() / "empty.kvt", {});

    Scan(Pics().string());
    ASSERT_EQ(Names(), (std::vector<std::string>{"a.jpg", "cut.kvt", "empty.kvt", "garbage.kvt", "Harbour.KVT",
                                                  "tall.kvt", "tall.wav"}));
    for (int i = 0; i < GetFileItemCount(); ++i) {
        const CFileItem* item = GetFileItem(i);
        EXPECT_EQ(item->IsMessageFile() != FALSE, IsMessageFileName(item->GetPath()) != FALSE) << item->GetPath();
        EXPECT_EQ(item->m_strSoundPath, "") << item->GetPath();
    }

    // The browser's own loader thread makes every thumbnail.
    CThumbnailLoader loader([] {});
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader.FillFromStore();
    }
    loader.Start();
    ASSERT_TRUE(uitest::WaitFor([&] { return loader.PendingCount() == 0; }));
    loader.Stop();

    struct Expected {
        int index;
        CSize size;
        COLORREF centre;
    };
    const Expected rows[] = {
        {4, CSize(160, 80), RGB(200, 30, 40)}, // the photograph, fitted into 160 x 160
        {5, CSize(60, 120), RGB(20, 40, 210)}, // a small one is not enlarged
        {1, CSize(64, 64), RGB(0, 0, 0)}, // damaged ones: the placeholder of an unreadable picture
        {2, CSize(64, 64), RGB(0, 0, 0)},
        {3, CSize(64, 64), RGB(0, 0, 0)},
    };
    for (const Expected& row : rows) {
        EXPECT_TRUE(IsItemThumbnailStored(row.index)) << GetItemFileName(row.index);
        EXPECT_EQ(GetItemThumbnailSize(row.index), row.size) << GetItemFileName(row.index);
        EXPECT_PRED2(Near, CentreOf(row.index), row.centre) << GetItemFileName(row.index);
    }

    // The merge of what is new takes a message in the same way, once.
    qrtest::WriteMessageFile(Pics() / "new.kvt", 32, 32, RGB(0, 200, 0));
    ScanFolderSoundFiles(Pics().string());
    ScanFolderSoundFiles(Pics().string());
    ASSERT_EQ(GetFileItemCount(), 8);
    EXPECT_EQ(GetItemFileName(7), "new.kvt");
    EXPECT_TRUE(GetFileItem(7)->IsMessageFile());
}
