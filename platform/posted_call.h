#pragma once

#include <QObject>

#include <mutex>
#include <utility>

// Calls and events that other threads post to the GUI thread, in a form the
// thread checker (ThreadSanitizer) follows. Qt is not built with it, so the
// lock of Qt's posted-event queue is invisible to it: what a worker stored
// before posting would look unsynchronised when the GUI thread reads it, and
// every such report would have to be silenced along with real ones.

#if defined(__SANITIZE_THREAD__)
#define QR_THREAD_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QR_THREAD_CHECKER 1
#endif
#endif
#ifdef QR_THREAD_CHECKER
#include <sanitizer/tsan_interface.h>
#endif

namespace posted {

// MarkEvent: an event of ours, complete, about to be posted, is marked on its
// address. TakeEvent: before a receiver reads an event (any event: one never
// marked is no hand-over).
#ifdef QR_THREAD_CHECKER
inline void MarkEvent(const void* event) { __tsan_release(const_cast<void*>(event)); }
inline void TakeEvent(const void* event) { __tsan_acquire(const_cast<void*>(event)); }
#else
inline void MarkEvent(const void*) {}
inline void TakeEvent(const void*) {}
#endif

// Held by the poster while Qt takes a call in, and taken by the call before
// it runs or goes unrun: the hand-over of the call's own storage, which Qt
// fills inside invokeMethod, where no mark could follow. Recursive: the
// poster's moved-from copies end while it holds the lock.
inline std::recursive_mutex& CallLock()
{
    static std::recursive_mutex lock;
    return lock;
}

template <class F>
class Call {
public:
    explicit Call(F fn) : m_fn(std::move(fn)) {}
    Call(Call&& other) noexcept : m_fn(std::move(other.m_fn)) {}
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    Call& operator=(Call&&) = delete;
    ~Call() { Sync(); }
    void operator()()
    {
        Sync();
        m_fn();
    }

private:
    static void Sync() { std::lock_guard<std::recursive_mutex> g(CallLock()); }
    F m_fn;
};

} // namespace posted

// Runs fn on target's thread from its event loop; dropped with target.
template <class F>
void PostCall(QObject* target, F fn)
{
    std::lock_guard<std::recursive_mutex> g(posted::CallLock());
    QMetaObject::invokeMethod(target, posted::Call<F>(std::move(fn)), Qt::QueuedConnection);
}
