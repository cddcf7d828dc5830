#include "platform/gui_request.h"

#include "platform/posted_call.h"

#include <QCoreApplication>
#include <QThread>

#include <condition_variable>
#include <mutex>

struct CGuiRequests::State {
    std::mutex lock;
    std::condition_variable wake;
    bool cancelled = false;
    bool waits = true;
};

namespace {

thread_local CGuiRequests* t_current = nullptr;

// One request. Its end is told when the event that carries it goes, run or
// dropped, so that the worker never waits for an event that no longer exists.
struct Ticket {
    std::shared_ptr<CGuiRequests::State> state;
    bool ended = false;
    bool ran = false;
};

struct PostedRequest {
    std::shared_ptr<CGuiRequests::State> state;
    std::shared_ptr<Ticket> ticket;
    std::function<void()> job;

    PostedRequest(std::shared_ptr<CGuiRequests::State> s, std::shared_ptr<Ticket> t, std::function<void()> j)
        : state(std::move(s)), ticket(std::move(t)), job(std::move(j))
    {
    }
    PostedRequest(PostedRequest&& other) noexcept = default;
    PostedRequest(const PostedRequest&) = delete;
    PostedRequest& operator=(const PostedRequest&) = delete;
    ~PostedRequest() { End(false); }

    void operator()()
    {
        {
            std::lock_guard<std::mutex> g(state->lock);
            if (state->cancelled || ticket->ended)
                return; // nobody waits for it any more: a late question is not asked
        }
        job();
        End(true);
    }

    void End(bool ran)
    {
        if (!state)
            return; // moved from
        {
            std::lock_guard<std::mutex> g(state->lock);
            if (ticket->ended)
                return;
            ticket->ended = true;
            ticket->ran = ran;
        }
        state->wake.notify_all();
    }
};

} // namespace

CGuiRequests::CGuiRequests() : m_state(std::make_shared<State>()) {}

CGuiRequests::~CGuiRequests() { Cancel(); }

void CGuiRequests::Cancel()
{
    {
        std::lock_guard<std::mutex> g(m_state->lock);
        m_state->cancelled = true;
    }
    m_state->wake.notify_all();
}

bool CGuiRequests::Cancelled() const
{
    std::lock_guard<std::mutex> g(m_state->lock);
    return m_state->cancelled;
}

void CGuiRequests::SetWaits(bool waits)
{
    std::lock_guard<std::mutex> g(m_state->lock);
    m_state->waits = waits;
}

bool CGuiRequests::Run(std::function<void()> job)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        job();
        return true;
    }
    bool waits = true;
    {
        std::lock_guard<std::mutex> g(m_state->lock);
        if (m_state->cancelled)
            return false;
        waits = m_state->waits;
    }
    auto ticket = std::make_shared<Ticket>();
    PostCall(app, PostedRequest(m_state, ticket, std::move(job)));
    if (!waits)
        return false;
    std::unique_lock<std::mutex> g(m_state->lock);
    m_state->wake.wait(g, [&] { return ticket->ended || m_state->cancelled; });
    // Cancelled while the answer is on its way: the answer is not waited for,
    // and a request not yet begun will not run.
    ticket->ended = true;
    return ticket->ran;
}

CGuiRequests::Scope::Scope(CGuiRequests& requests) : m_previous(t_current) { t_current = &requests; }

CGuiRequests::Scope::~Scope() { t_current = m_previous; }

CGuiRequests& CGuiRequests::Current()
{
    if (t_current)
        return *t_current;
    static CGuiRequests process;
    return process;
}
