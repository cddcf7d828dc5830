#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace qrtest {

// Ends the test program with a message when it is not dismissed within the
// bound: a test of a deadlock fails instead of hanging until ctest's timeout.
class Watchdog {
public:
    explicit Watchdog(std::string what, std::chrono::seconds bound = std::chrono::seconds(60))
    {
        m_thread = std::thread([this, what = std::move(what), bound] {
            std::unique_lock<std::mutex> g(m_lock);
            if (!m_done.wait_for(g, bound, [this] { return m_dismissed; })) {
                std::fprintf(stderr, "stuck: %s\n", what.c_str());
                std::abort();
            }
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_dismissed = true;
        }
        m_done.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_dismissed = false;
    std::thread m_thread;
};

} // namespace qrtest
