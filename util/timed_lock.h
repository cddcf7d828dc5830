#pragma once

#include "platform/types.h"

#include <chrono>

// Holds a lock for the length of a scope and never waits longer than its
// time-out (INFINITE waits without limit). Works with any lock that has
// lock, try_lock_for and unlock (std::timed_mutex, std::recursive_timed_mutex).
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
