#pragma once

#include <QThreadPool>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qrtest {

// fork() for a child that goes on with Qt: the pool threads that painting
// started are ended first, as the child would have none of them and wait for
// them forever.
inline pid_t ForkWithoutPoolThreads()
{
    QThreadPool::globalInstance()->waitForDone();
    std::fflush(nullptr);
    return ::fork();
}

// Waits for the child to end, for at most the bound; a child still running
// then is killed, and false comes back.
inline bool WaitForChild(pid_t child, int& status, std::chrono::seconds bound = std::chrono::seconds(300))
{
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return false;
}

// Runs work in a child process and kills it with SIGKILL at a random moment
// soon after reached() says it has got that far (or lets it end when it ends
// first). True when the child was killed before it finished. A child that
// gets nowhere is killed at the bound all the same.
inline bool KillPartWay(const std::function<void()>& work, const std::function<bool()>& reached, std::mt19937& random)
{
    const pid_t child = ForkWithoutPoolThreads();
    if (child < 0)
        return false;
    if (child == 0) {
        work();
        ::_exit(0);
    }
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    while (!reached() && std::chrono::steady_clock::now() < bound) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A random moment within the next few milliseconds: mid-write as likely as between files.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// The entries of a folder, hidden ones too.
inline size_t EntryCount(const std::filesystem::path& folder)
{
    std::error_code ec;
    size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        ++n;
    return n;
}

} // namespace qrtest
