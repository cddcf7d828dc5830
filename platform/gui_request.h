#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

// A worker's requests to the GUI thread. A request is posted, never sent with
// a blocking queued call, and the worker waits on a condition that Cancel also
// wakes: an owner on the GUI thread that cancels its worker and then joins it
// can never wait on a worker that is waiting for it. A request whose event is
// dropped (the application going) wakes its worker too.
//
// A worker names its channel for the requests made on its thread with a
// Scope; calls without one use a channel of the process that nothing cancels.
// A channel that does not wait (SetWaits(false)) posts its request and returns
// at once with no answer: for a worker holding a lock the GUI thread also takes.
class CGuiRequests {
public:
    CGuiRequests();
    ~CGuiRequests();
    CGuiRequests(const CGuiRequests&) = delete;
    CGuiRequests& operator=(const CGuiRequests&) = delete;

    // From any thread: every waiting request returns without an answer, and
    // so does every later one.
    void Cancel();
    bool Cancelled() const;
    void SetWaits(bool waits);

    // Runs fn on the GUI thread (at once when called there, or when there is
    // no application) and gives its answer; nothing when cancelled, dropped or
    // not waited for. fn must own what it uses: it may run after the caller
    // has stopped waiting.
    template <typename Fn>
    auto Ask(Fn fn) -> std::optional<decltype(fn())>
    {
        using T = decltype(fn());
        auto answer = std::make_shared<std::optional<T>>();
        if (!Run([fn = std::move(fn), answer]() mutable { *answer = fn(); }))
            return std::nullopt;
        return std::move(*answer);
    }

    // The channel of the requests made on this thread while it lives.
    class Scope {
    public:
        explicit Scope(CGuiRequests& requests);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CGuiRequests* m_previous;
    };
    // The calling thread's channel.
    static CGuiRequests& Current();

    struct State;

private:
    // True once job has run on the GUI thread.
    bool Run(std::function<void()> job);

    std::shared_ptr<State> m_state;
};

// Current().Ask(fn).
template <typename Fn>
auto AskGuiThread(Fn fn)
{
    return CGuiRequests::Current().Ask(std::move(fn));
}
