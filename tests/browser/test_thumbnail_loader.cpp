#include "browser/thumbnail_loader.h"
#include "imaging/dib_bitmap.h"
#include "browser_fixture.h"
#include "support/ui_test_util.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

namespace {

// Counts the loader's calls of the ready function.
struct Ready {
    std::atomic<int> calls{0};
    CThumbnailLoader::ReadyFn Fn()
    {
        return [this] { ++calls; };
    }
};

class ThumbnailLoaderTest : public qrtest::BrowserTest {
protected:
    // n real JPEGs in the store.
    // GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
    QR_GCC_IGNORE_BEGIN("-Wrestrict")
    void FillJpegs(int n)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(Jpeg("p" + std::to_string(i) + ".jpg", 64 + i, 48, uint8_t(20 * i)));
        Fill(paths);
    }
    QR_GCC_IGNORE_END
    static bool Wait(const std::function<bool()>& cond) { return uitest::WaitFor(cond); }
    std::vector<int> Take(CThumbnailLoader& loader)
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        std::vector<int> taken = loader.TakeFinished();
        std::sort(taken.begin(), taken.end());
        return taken;
    }
};

TEST_F(ThumbnailLoaderTest, ThumbnailsOfShiftedItemsAreMadeAfterARemovalAndOneRefreshIsPosted)
{
    FillJpegs(6);
    Ready ready;
    CThumbnailLoader loader(ready.Fn());
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader.FillFromStore();
        // Items 1 and 2 go before anything is made: the others move down.
        for (int i : {2, 1}) {
            loader.ForgetItem(GetFileItem(i));
            RemoveFileItem(i);
        }
    }
    ASSERT_EQ(GetFileItemCount(), 4);
    loader.Start();
    ASSERT_TRUE(Wait([&] { return loader.PendingCount() == 0; }));
    // One refresh for every thumbnail made until the view took them.
    EXPECT_EQ(ready.calls.load(), 1);
    EXPECT_EQ(Take(loader), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(loader.Iterations(), 4u);
    for (int i = 0; i < 4; ++i) {
        // Each item has its own picture's thumbnail: the width follows the file.
        CDibBitmap made;
        ASSERT_TRUE(GetItemThumbnail(i, made));
        const int fileNumber = i == 0 ? 0 : i + 2;
        EXPECT_EQ(made.GetSize().cx, 64 + fileNumber) << i;
    }
    EXPECT_TRUE(Take(loader).empty());
}

TEST_F(ThumbnailLoaderTest, StaleAndFailingEntriesDoNotSpin)
{
    FillJpegs(5);
    Ready ready;
    std::mutex m;
    std::vector<int> calls;
    // Item 3 can never be made.
    CThumbnailLoader loader(ready.Fn(), [&](int index) {
        std::lock_guard<std::mutex> lock(m);
        calls.push_back(index);
        return index == 3 ? 0 : 1;
    });
    loader.SetRetryPauses(std::chrono::milliseconds(1), std::chrono::milliseconds(8));
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader.FillFromStore();
        // A removal the loader is not told of: the entry is stale and dropped.
        RemoveFileItem(0);
    }
    loader.Start();
    ASSERT_TRUE(Wait([&] { return loader.PendingCount() == 0; }));
    // Three made, one dropped as stale, the failing one tried a bounded number of times.
    EXPECT_EQ(loader.Iterations(), 3u + 1u + CThumbnailLoader::kMaxTries);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), 3), CThumbnailLoader::kMaxTries);
    EXPECT_EQ(std::set<int>(calls.begin(), calls.end()), (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(Take(loader), (std::vector<int>{0, 1, 2}));
}

TEST_F(ThumbnailLoaderTest, PauseWaitsForTheItemInHandAndStopEndsAParkedThread)
{
    FillJpegs(4);
    Ready ready;
    std::mutex m;
    std::condition_variable cv;
    bool inside = false, release = false;
    int made = 0;
    auto loader = std::make_unique<CThumbnailLoader>(ready.Fn(), [&](int) {
        std::unique_lock<std::mutex> lock(m);
        inside = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        ++made;
        return 1;
    });
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader->FillFromStore();
    }
    loader->Start();
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return inside; }));
    }
    // Hidden while a thumbnail is being made: the pause returns once that one is done and the thread parked.
    std::atomic<bool> paused{false};
    std::thread hide([&] {
        loader->Pause();
        paused = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(paused.load());
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    hide.join();
    EXPECT_TRUE(loader->IsParked());
    EXPECT_EQ(made, 1);
    EXPECT_EQ(loader->PendingCount(), 3);
    // Shown again: the rest is made.
    loader->Resume();
    ASSERT_TRUE(Wait([&] { return loader->PendingCount() == 0; }));
    EXPECT_EQ(made, 4);
    // Parked, then the view goes: the thread ends and is joined.
    loader->Pause();
    EXPECT_TRUE(loader->IsParked());
    loader.reset();
}

TEST_F(ThumbnailLoaderTest, MovingToTheFirstVisibleItemLoadsItFirst)
{
    FillJpegs(6);
    Ready ready;
    std::mutex m;
    std::vector<int> order;
    CThumbnailLoader loader(ready.Fn(), [&](int index) {
        std::lock_guard<std::mutex> lock(m);
        order.push_back(index);
        return 1;
    });
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader.FillFromStore();
        loader.MoveTo(4);
        EXPECT_EQ(loader.FirstPendingIndex(), 0);
    }
    loader.Start();
    ASSERT_TRUE(Wait([&] { return loader.PendingCount() == 0; }));
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(order, (std::vector<int>{4, 5, 0, 1, 2, 3}));
    }
    // Every pending item before the first visible one: the position goes back to the start.
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        loader.FillFromStore();
        loader.MoveTo(9);
        std::lock_guard<std::mutex> lock2(m);
        order.clear();
    }
    ASSERT_TRUE(Wait([&] { return loader.PendingCount() == 0; }));
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

} // namespace
