// The seven orders both ways, stable, with the current item kept; and the
// same order as placing items one by one with a binary search, and as a
// plain stable sort over the same keys.
#include "browser_fixture.h"

#include "browser/sort_key.h"

#include <algorithm>
#include <random>

using qrtest::BrowserTest;

namespace {

std::vector<CFileItem*> Items()
{
    std::vector<CFileItem*> v;
    for (int i = 0; i < GetFileItemCount(); ++i)
        v.push_back(GetFileItem(i));
    return v;
}

} // namespace

TEST_F(BrowserTest, EachOrderBothWays)
{
    // name, size in bytes, time, kind flags.
    struct File {
        const char* name;
        size_t bytes;
        int64_t time;
        bool message;
        bool second;
        bool maker8;
        const char* comment;
    } files[] = {
        {"c.jpg", 30, 300, false, false, false, "beach"}, {"B.jpg", 10, 100, false, true, false, "Alps"},
        {"a.jpg", 20, 200, false, false, true, ""},       {"z.bmp", 20, 200, false, false, false, "alps"},
        {"m.kvt", 5, 50, true, false, false, "cat"},      {"gone.jpg", 0, -1, false, false, false, ""},
    };
    std::vector<std::string> paths;
    for (const File& f : files) {
        if (f.time >= 0)
            qrtest::WriteBytes(Pics() / f.name, std::vector<unsigned char>(f.bytes, 'x'));
        paths.push_back(Pic(f.name));
    }
    Fill(paths);
    for (size_t i = 0; i < std::size(files); ++i) {
        CFileItem* item = GetFileItem(int(i));
        item->ReadFileTime();
        item->m_fileTime = files[i].time;
        item->m_bMessageFile = files[i].message;
        if (files[i].second)
            item->SetSecondName("second");
        item->m_makerFlags = files[i].maker8 ? 8 : 0;
        item->m_strInfoComment = files[i].comment;
        item->m_bInfoRead = TRUE; // no importer asked for these made-up files
    }
    struct Row {
        int mode;
        bool descending;
        std::vector<std::string> names;
    } rows[] = {
        {kSortByName, false, {"a.jpg", "B.jpg", "c.jpg", "gone.jpg", "m.kvt", "z.bmp"}},
        {kSortByName, true, {"z.bmp", "m.kvt", "gone.jpg", "c.jpg", "B.jpg", "a.jpg"}},
        // A file that cannot be found counts -1 bytes; equal sizes keep their order.
        {kSortBySize, false, {"gone.jpg", "m.kvt", "B.jpg", "z.bmp", "a.jpg", "c.jpg"}},
        {kSortBySize, true, {"c.jpg", "z.bmp", "a.jpg", "B.jpg", "m.kvt", "gone.jpg"}},
        {kSortByExtension, false, {"z.bmp", "a.jpg", "B.jpg", "c.jpg", "gone.jpg", "m.kvt"}},
        {kSortByExtension, true, {"m.kvt", "gone.jpg", "c.jpg", "B.jpg", "a.jpg", "z.bmp"}},
        {kSortByDate, false, {"gone.jpg", "m.kvt", "B.jpg", "a.jpg", "z.bmp", "c.jpg"}},
        {kSortByDate, true, {"c.jpg", "a.jpg", "z.bmp", "B.jpg", "m.kvt", "gone.jpg"}},
        {kSortByKind, false, {"B.jpg", "m.kvt", "a.jpg", "c.jpg", "z.bmp", "gone.jpg"}},
        {kSortByKind, true, {"c.jpg", "z.bmp", "gone.jpg", "a.jpg", "B.jpg", "m.kvt"}},
        {kSortByFoundOrder, false, {"c.jpg", "B.jpg", "a.jpg", "z.bmp", "m.kvt", "gone.jpg"}},
        // The picture's comment, without regard to case.
        {kSortByInfo, false, {"a.jpg", "gone.jpg", "B.jpg", "z.bmp", "c.jpg", "m.kvt"}},
        {kSortByInfo, true, {"m.kvt", "c.jpg", "B.jpg", "z.bmp", "a.jpg", "gone.jpg"}},
        {kSortByFoundOrder, false, {"c.jpg", "B.jpg", "a.jpg", "z.bmp", "m.kvt", "gone.jpg"}},
        {kSortByFoundOrder, true, {"gone.jpg", "m.kvt", "z.bmp", "a.jpg", "B.jpg", "c.jpg"}},
        // A stored order that is none of the seven: found order.
        {17, false, {"c.jpg", "B.jpg", "a.jpg", "z.bmp", "m.kvt", "gone.jpg"}},
        {-3, true, {"gone.jpg", "m.kvt", "z.bmp", "a.jpg", "B.jpg", "c.jpg"}},
    };
    for (const Row& r : rows) {
        // Each sort starts from the previous one's order: stability is seen on every row.
        SortFileItems(r.mode, r.descending);
        EXPECT_EQ(Names(), r.names) << r.mode << (r.descending ? " descending" : " ascending");
    }
}

TEST_F(BrowserTest, EqualKeysKeepTheirOrderAndTheCurrentItemStaysCurrent)
{
    Fill({Pic("x.jpg"), Pic("b.jpg"), Pic("X.JPG"), Pic("a.jpg")});
    SetCurrentIndex(2);
    CFileItem* current = GetFileItem(-1);
    SortFileItems(kSortByName, false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.jpg", "x.jpg", "X.JPG"}));
    EXPECT_EQ(GetFileItem(-1), current);
    EXPECT_EQ(GetCurrentIndex(), 3);
    SortFileItems(kSortByName, true);
    EXPECT_EQ(Names(), (std::vector<std::string>{"x.jpg", "X.JPG", "b.jpg", "a.jpg"}));
    EXPECT_EQ(GetCurrentIndex(), 1);

    SetCurrentIndex(-1);
    SortFileItems(kSortByFoundOrder, false);
    EXPECT_EQ(GetCurrentIndex(), -1);

    ClearFileItems(FALSE);
    SortFileItems(kSortByDate, true); // an empty store stays empty
    EXPECT_EQ(GetFileItemCount(), 0);
}

TEST_F(BrowserTest, SortMatchesPlacingOneByOneAndAPlainStableSort)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> small(0, 5);
    const char* stems[] = {"img", "IMG", "dsc", "a", "Zed"};
    const char* exts[] = {"jpg", "JPG", "tif", "bmp"};
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + int(rng() % 60);
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back("/nowhere/" + std::string(stems[rng() % 5]) + std::to_string(small(rng)) + "." +
                            exts[rng() % 4]);
        Fill(paths);
        for (CFileItem* item : Items()) {
            item->m_fileTime = small(rng);
            item->m_fileSize = small(rng);
            item->m_makerFlags = rng() % 2 ? 8 : 0;
            item->m_bMessageFile = small(rng) == 0;
            item->m_bInfoRead = TRUE;
        }
        // Start from a shuffled order, so that found order is no longer the array's.
        SortFileItems(kSortByName, rng() % 2);
        const int mode = int(rng() % kSortModeCount);
        const bool descending = rng() % 2;
        std::unique_ptr<CSortKey> key = MakeSortKey(mode);

        std::vector<CFileItem*> expected = Items();
        std::stable_sort(expected.begin(), expected.end(), [&](CFileItem* a, CFileItem* b) {
            const int c = CompareSortKeys(key->Value(a), key->Value(b));
            return descending ? c > 0 : c < 0;
        });

        // Placing the items one by one where the binary search says.
        std::vector<CFileItem*> work = Items();
        FileItemArray& array = GetFileItemArray();
        std::vector<std::unique_ptr<CFileItem>> owned;
        for (auto& slot : array)
            owned.push_back(std::move(slot));
        array.clear();
        for (CFileItem* item : work) {
            const int at = FindSortPosition(item, descending, *key);
            auto it = std::find_if(owned.begin(), owned.end(), [&](auto& p) { return p.get() == item; });
            array.insert(array.begin() + at, std::move(*it));
        }
        EXPECT_EQ(Items(), expected) << "placing, round " << round << " mode " << mode;

        // And the sort itself from the same start.
        for (auto& slot : array)
            slot.release();
        array.clear();
        for (CFileItem* item : work)
            array.emplace_back(item);
        SortFileItems(mode, descending);
        EXPECT_EQ(Items(), expected) << "sorting, round " << round << " mode " << mode;
    }
}
