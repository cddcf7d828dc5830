#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CFileItem;

// The browser view's worker that makes the thumbnails of the loaded folder
// in the background, one item at a time under the item lock, visible items
// first. It touches no window: when thumbnails are ready it calls the ready
// function once (the view posts itself ID_REFRESHTHUMBNAIL) and the view
// takes them all with TakeFinished on the main thread.
//
// Entries are kept by item, not by index, so that removing a file item
// leaves the others' entries right; an entry whose item is no longer in the
// store is dropped. An item whose thumbnail cannot be made now (the importer
// busy) is tried again after a growing pause, a bounded number of times.
//
// The thread runs at the lowest priority, waits without waking while it has
// nothing to do, parks while the view is hidden (Pause returns once it is
// parked), and is stopped by a flag and joined. Whoever calls Pause or Stop
// must not hold the item lock: the thread may be waiting for it.
class CThumbnailLoader {
public:
    using LoadFn = std::function<int(int index)>;
    using ReadyFn = std::function<void()>;

    // Tries per item; the pause before a retry doubles from the first to the longest.
    static constexpr int kMaxTries = 8;
    static constexpr std::chrono::milliseconds kFirstRetryPause{100};
    static constexpr std::chrono::milliseconds kLongestRetryPause{3200};
    // Other pauses (tests that go through every try).
    void SetRetryPauses(std::chrono::milliseconds first, std::chrono::milliseconds longest)
    {
        m_firstPause = first;
        m_longestPause = longest;
    }

    // load makes one item's thumbnail (1 made, 0 try again later);
    // LoadItemThumbnail unless given.
    explicit CThumbnailLoader(ReadyFn ready, LoadFn load = {});
    ~CThumbnailLoader();
    CThumbnailLoader(const CThumbnailLoader&) = delete;
    CThumbnailLoader& operator=(const CThumbnailLoader&) = delete;

    // Starts the thread when there is none, and lets it run.
    void Start();
    // The thread parks after the item in hand; returns once it has.
    void Pause();
    void Resume();
    // Sets the stop flag, wakes the thread and joins it.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    bool IsParked() const;

    // ---- the queues; each caller holds the item lock.
    // Every item of the store, in store order; finished ones are forgotten.
    void FillFromStore();
    void Clear();
    // The next item loaded is the first pending one at or after that index (0 when none).
    void MoveTo(int firstVisibleIndex);
    // The item leaves the store: its entries go.
    void ForgetItem(const CFileItem* item);
    // The store indexes of the items made since the last call.
    std::vector<int> TakeFinished();
    int PendingCount() const;
    // The store index of the first item still waiting; -1 when none is.
    int FirstPendingIndex();

    // Passes of the thread's loop that took an item, for tests and benchmarks.
    uint64_t Iterations() const { return m_iterations.load(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        const CFileItem* item;
        int index; // where the item was last seen; removals move items down
        int tries;
        Clock::time_point due;
    };
    void Run();
    // The index of the next entry due now at or after the position, -1 when
    // none; sets wait to the earliest time one falls due.
    int NextDue(Clock::time_point now, Clock::time_point& wait);
    void Compact();
    // The item's index in the store now, found by its address only (a
    // removed item is never read), and kept in the entry; -1 when it is gone.
    static int IndexOf(Entry& e);

    ReadyFn m_ready;
    LoadFn m_load;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_parkedCv;
    bool m_stop = false;
    bool m_pause = false;
    bool m_parked = false;
    bool m_refreshPosted = false;
    // Pending entries in store order; done ones are null until compacted.
    std::vector<Entry> m_pending;
    size_t m_position = 0;
    size_t m_live = 0;
    std::vector<Entry> m_finished;
    std::atomic<uint64_t> m_iterations{0};
    std::chrono::milliseconds m_firstPause = kFirstRetryPause;
    std::chrono::milliseconds m_longestPause = kLongestRetryPause;
};
