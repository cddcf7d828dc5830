#pragma once

#include "platform/types.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// Holds a lock for the length of a scope and never waits longer than its
// time-out (INFINITE waits without limit). Works with any lock that has
// lock, try_lock_for and unlock (CTimedMutex).
// Read IsLocked before touching what the lock guards.
template <class Lock>
class CTimedLock {
public:
    CTimedLock(Lock* lock, DWORD timeoutMs) : m_lock(lock)
    {
        if (!m_lock)
            return;
        if (timeoutMs == INFINITE) {
            m_lock->lock();
            m_locked = true;
        } else {
            m_locked = m_lock->try_lock_for(std::chrono::milliseconds(timeoutMs));
        }
    }
    ~CTimedLock()
    {
        if (m_locked)
            m_lock->unlock();
    }
    CTimedLock(const CTimedLock&) = delete;
    CTimedLock& operator=(const CTimedLock&) = delete;

    bool IsLocked() const { return m_locked; }

private:
    Lock* m_lock;
    bool m_locked = false;
};

// A mutex whose taking may time out. Not std::timed_mutex: its timed take
// goes through a call the thread checker does not follow, which then takes
// every hand-over through the lock for a race. This one is a mutex and a
// condition, which it follows.
class CTimedMutex {
public:
    void lock()
    {
        std::unique_lock<std::mutex> g(m_mutex);
        m_free.wait(g, [this] { return !m_held; });
        m_held = true;
    }
    bool try_lock_for(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> g(m_mutex);
        if (!m_free.wait_for(g, timeout, [this] { return !m_held; }))
            return false;
        m_held = true;
        return true;
    }
    void unlock()
    {
        {
            std::lock_guard<std::mutex> g(m_mutex);
            m_held = false;
        }
        m_free.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_held = false;
};
