#include "platform/instance.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Env {
public:
    Env(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Env()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(InstanceLock, HeldOnceUntilReleased)
{
    qrtest::TempDir dir;
    Env runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    auto first = CInstanceLock::Acquire("Test.Lock", 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CInstanceLock::Acquire("Test.Lock", 50), nullptr);
    EXPECT_NE(CInstanceLock::Acquire("Other.Lock", 0), nullptr);
    first.reset();
    EXPECT_NE(CInstanceLock::Acquire("Test.Lock", 0), nullptr);
}

TEST(InstanceLock, RuntimeFolderWithoutSessionIsPrivate)
{
    qrtest::TempDir dir;
    Env runtime("XDG_RUNTIME_DIR", nullptr);
    Env tmp("TMPDIR", dir.path().c_str());
    Env home("HOME", dir.path().c_str());
    const std::string ours = (dir / ("quiram-" + std::to_string(getuid()))).string();
    EXPECT_EQ(InstanceRuntimeFolder(), ours);
    struct stat st {};
    ASSERT_EQ(stat(ours.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    // A folder of that name that others can reach is not used.
    chmod(ours.c_str(), 0777);
    EXPECT_EQ(InstanceRuntimeFolder(), (dir / ".quiram-runtime").string());
}

// The client blocks, so it runs on a thread of its own while the server's
// side is served here.
template <class F> bool AskFromThread(F ask)
{
    std::atomic<bool> finished{false};
    bool result = false;
    std::thread t([&]() {
        result = ask();
        finished = true;
    });
    QDeadlineTimer deadline(10000);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    t.join();
    return result;
}

TEST(InstanceServer, ListsItsWindowsAndRefusesUnknownOnes)
{
    qrtest::TempDir dir;
    Env runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    CInstanceServer server("Test.Server");
    ASSERT_TRUE(server.Listen());
    server.SetReady(TRUE);
    QWidget window;
    window.setWindowTitle("Listed window");
    std::vector<InstanceWindow> windows;
    EXPECT_TRUE(AskFromThread([&]() {
        CInstanceClient client("Test.Server");
        return client.Connect(5000) && client.ListWindows(windows, 5000);
    }));
    bool found = false;
    for (const InstanceWindow& w : windows)
        found = found || (w.title == "Listed window" && w.className == "Qt:QWidget");
    EXPECT_TRUE(found);
    // A window id that is not one of the server's top-level windows is refused.
    EXPECT_FALSE(AskFromThread([]() {
        CInstanceClient client("Test.Server");
        return client.Connect(5000) && client.SendCommand(12345, 349, 5000);
    }));
}

} // namespace
