#include "browser/thumbnail_loader.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/thumbnail_cache.h"
#include "platform/gui_request.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

CThumbnailLoader::CThumbnailLoader(ReadyFn ready, LoadFn load)
    : m_ready(std::move(ready)), m_load(load ? std::move(load) : LoadFn([](int index) { return LoadItemThumbnail(index); }))
{
}

CThumbnailLoader::~CThumbnailLoader() { Stop(); }

void CThumbnailLoader::Start()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pause = false;
        m_stop = false;
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
    m_wake.notify_all();
}

void CThumbnailLoader::Pause()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_pause = true;
    m_wake.notify_all();
    if (m_thread.joinable())
        m_parkedCv.wait(lock, [this] { return m_parked || m_stop; });
}

void CThumbnailLoader::Resume()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pause = false;
    }
    m_wake.notify_all();
}

void CThumbnailLoader::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CThumbnailLoader::IsParked() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_parked;
}

// ---- the queues

void CThumbnailLoader::FillFromStore()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
    m_finished.clear();
    const int count = GetFileItemCount();
    m_pending.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const CFileItem* item = GetFileItem(i);
        if (item != GetSharedEmptyItem())
            m_pending.push_back(Entry{item, i, 0, Clock::time_point()});
    }
    m_live = m_pending.size();
    m_position = 0;
    m_wake.notify_all();
}

void CThumbnailLoader::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.clear();
    m_finished.clear();
    m_live = 0;
    m_position = 0;
}

void CThumbnailLoader::MoveTo(int firstVisibleIndex)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_position = 0;
    for (size_t i = 0; i < m_pending.size(); ++i)
        if (m_pending[i].item && IndexOf(m_pending[i]) >= firstVisibleIndex) {
            m_position = i;
            break;
        }
    m_wake.notify_all();
}

void CThumbnailLoader::ForgetItem(const CFileItem* item)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& e : m_pending)
        if (e.item == item) {
            e.item = nullptr;
            --m_live;
        }
    std::erase_if(m_finished, [item](const Entry& e) { return e.item == item; });
}

std::vector<int> CThumbnailLoader::TakeFinished()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<int> indexes;
    for (Entry& e : m_finished)
        if (const int index = IndexOf(e); index >= 0)
            indexes.push_back(index);
    m_finished.clear();
    m_refreshPosted = false;
    return indexes;
}

int CThumbnailLoader::PendingCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_live);
}

int CThumbnailLoader::FirstPendingIndex()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Entry& e : m_pending)
        if (e.item)
            return IndexOf(e);
    return -1;
}

int CThumbnailLoader::IndexOf(Entry& e)
{
    const int count = GetFileItemCount();
    for (int i = std::min(e.index, count - 1); i >= 0; --i)
        if (GetFileItem(i) == e.item) {
            e.index = i;
            return i;
        }
    return -1;
}

void CThumbnailLoader::Compact()
{
    if (m_live * 2 >= m_pending.size())
        return;
    size_t position = 0;
    std::vector<Entry> kept;
    kept.reserve(m_live);
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (i == m_position)
            position = kept.size();
        if (m_pending[i].item)
            kept.push_back(m_pending[i]);
    }
    m_position = m_position >= m_pending.size() ? 0 : position;
    m_pending = std::move(kept);
}

int CThumbnailLoader::NextDue(Clock::time_point now, Clock::time_point& wait)
{
    wait = Clock::time_point::max();
    if (m_live == 0)
        return -1;
    if (m_position >= m_pending.size())
        m_position = 0;
    const size_t n = m_pending.size();
    for (size_t k = 0; k < n; ++k) {
        const size_t i = (m_position + k) % n;
        const Entry& e = m_pending[i];
        if (!e.item)
            continue;
        if (e.due <= now)
            return static_cast<int>(i);
        wait = std::min(wait, e.due);
    }
    return -1;
}

// ---- the thread

void CThumbnailLoader::Run()
{
    // The lowest priority of the normal class: the user's clicks come first,
    // yet the thumbnails still come while other programs keep the processor busy.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    // The thread holds the item lock while it loads, which the GUI thread
    // takes too: it never waits for the GUI thread. An item whose making
    // needs it (a file's icon) is tried again once the GUI thread has made it.
    CGuiRequests gui;
    gui.SetWaits(false);
    CGuiRequests::Scope scope(gui);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_stop)
                break;
            if (m_pause) {
                m_parked = true;
                m_parkedCv.notify_all();
                m_wake.wait(lock, [this] { return !m_pause || m_stop; });
                m_parked = false;
                continue;
            }
            Clock::time_point wait;
            if (NextDue(Clock::now(), wait) < 0) {
                // Nothing to do: sleep until woken, or until a retry falls due.
                if (wait == Clock::time_point::max())
                    m_wake.wait(lock);
                else
                    m_wake.wait_until(lock, wait);
                continue;
            }
        }
        bool tell = false;
        {
            std::lock_guard<std::recursive_mutex> items(GetFileItemLock());
            std::unique_lock<std::mutex> lock(m_mutex);
            Clock::time_point wait;
            const int at = NextDue(Clock::now(), wait);
            if (at < 0 || m_stop || m_pause)
                continue;
            ++m_iterations;
            const Entry entry = m_pending[size_t(at)];
            const int index = IndexOf(m_pending[size_t(at)]);
            if (index < 0) {
                m_pending[size_t(at)].item = nullptr;
                --m_live;
                Compact();
                continue;
            }
            lock.unlock();
            // The item stays in the store while the item lock is held.
            const int made = m_load(index);
            lock.lock();
            if (size_t(at) >= m_pending.size() || m_pending[size_t(at)].item != entry.item)
                continue; // emptied meanwhile
            Entry& e = m_pending[size_t(at)];
            if (made || ++e.tries >= kMaxTries) {
                if (made) {
                    m_finished.push_back(e);
                    tell = !m_refreshPosted;
                    m_refreshPosted = true;
                }
                e.item = nullptr;
                --m_live;
                m_position = size_t(at) + 1;
                Compact();
            } else {
                const auto pause = std::min(m_longestPause, m_firstPause * (1 << (e.tries - 1)));
                e.due = Clock::now() + pause;
                m_position = size_t(at) + 1;
            }
        }
        if (tell && m_ready)
            m_ready();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parked = false;
    m_parkedCv.notify_all();
}
