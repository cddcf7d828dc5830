#include "platform/instance.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Env = qrtest::EnvVar;

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
    uitest::WaitFor([&] { return finished.load(); });
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
    std::optional<uint64_t> id;
    for (const InstanceWindow& w : windows)
        if (w.title == "Listed window" && w.className == "Qt:QWidget")
            id = w.id;
    ASSERT_TRUE(id);
    // The id tells nothing of the process's memory, stays the window's, and reaches it.
    EXPECT_NE(*id, uint64_t(reinterpret_cast<uintptr_t>(&window)));
    for (const InstanceWindow& w : ListOwnTopLevelWindows()) {
        if (w.title == "Listed window") {
            EXPECT_EQ(w.id, *id);
        }
    }
    EXPECT_TRUE(AskFromThread([&]() {
        CInstanceClient client("Test.Server");
        return client.Connect(5000) && client.BringToFront(*id, 5000);
    }));
    // A window id that is not one of the server's top-level windows is refused.
    EXPECT_FALSE(AskFromThread([]() {
        CInstanceClient client("Test.Server");
        return client.Connect(5000) && client.SendCommand(uint64_t(1) << 60, 349, 5000);
    }));
}

// The runtime folder must be ours alone, the session's as much as a fall-back:
// in any other the lock, the server and the client refuse to work.
TEST(InstanceLock, RuntimeFolderOthersCanReachIsRefused)
{
    struct Case {
        mode_t mode;
        bool used;
    };
    for (const Case c : {Case{0700, true}, Case{0750, false}, Case{0707, false}, Case{0777, false}, Case{01777, false}}) {
        SCOPED_TRACE(c.mode);
        qrtest::TempDir dir;
        ASSERT_EQ(chmod(dir.path().c_str(), c.mode), 0);
        Env runtime("XDG_RUNTIME_DIR", dir.path().c_str());
        std::string refused;
        EXPECT_EQ(InstanceRuntimeFolder(&refused), c.used ? dir.path().string() : std::string());
        EXPECT_EQ(refused, c.used ? std::string() : dir.path().string());
        EXPECT_EQ(CInstanceLock::Acquire("Test.Private", 0) != nullptr, c.used);
        CInstanceServer server("Test.Private");
        EXPECT_EQ(bool(server.Listen()), c.used);
        if (!c.used) {
            EXPECT_TRUE(fs::is_empty(dir.path())) << "nothing made in a folder others can reach";
        }
    }
}

// Links put in the place of the lock files are not followed, and what they
// point to stays as it was.
TEST(InstanceLock, LinkInPlaceOfTheLockFileIsNotFollowed)
{
    qrtest::TempDir dir, elsewhere;
    ASSERT_EQ(chmod(dir.path().c_str(), 0700), 0);
    Env runtime("XDG_RUNTIME_DIR", dir.path().c_str());
    const fs::path victim = elsewhere / "victim";
    qrtest::WriteBytes(victim, {'k', 'e', 'e', 'p'});
    fs::create_symlink(victim, dir / "Test.Link.lock");
    fs::create_symlink(elsewhere / "absent", dir / "Other.Link.lock");
    EXPECT_EQ(CInstanceLock::Acquire("Test.Link", 0), nullptr);
    EXPECT_EQ(CInstanceLock::Acquire("Other.Link", 0), nullptr);
    EXPECT_EQ(qrtest::ReadBytes(victim), std::vector<unsigned char>({'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::exists(elsewhere / "absent"));
    // A socket path that is a link is not connected to.
    CInstanceServer server("Test.Link");
    ASSERT_TRUE(server.Listen());
    fs::create_symlink(server.SocketPath(), dir / "Linked.socket");
    CInstanceClient client("Linked");
    EXPECT_FALSE(client.Connect(0));
}

TEST(InstanceProtocol, RequestLines)
{
    using R = InstanceRequest;
    struct Row {
        const char* line;
        R expected;
    } rows[] = {
        {"LIST", {R::List}},
        {"FRONT 94812345678912", {R::Front, 94812345678912u}},
        {"FRONT 18446744073709551615", {R::Front, UINT64_MAX}},
        {"FRONT 18446744073709551616", {}}, // past 64 bits
        {"COMMAND 7 349", {R::Command, 7, 349}},
        {"COMMAND 7 65535", {R::Command, 7, 65535}},
        {"COMMAND 7 65536", {}}, // not a command id
        {"", {}},
        {"list", {}},
        {"LIST ", {}},
        {" LIST", {}},
        {"LIST\r", {}},
        {"FRONT", {}},
        {"FRONT  7", {}},
        {"FRONT -7", {}},
        {"FRONT +7", {}},
        {"COMMAND 7", {}},
        {"COMMAND 7 349 1", {}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ParseInstanceRequest(r.line), r.expected) << r.line;
        if (r.expected.kind != R::Invalid) {
            EXPECT_EQ(FormatInstanceRequest(r.expected), r.line);
        }
    }
    EXPECT_EQ(FormatInstanceRequest({R::Command, 7, 65536}), "");
}

TEST(InstanceProtocol, WindowLinesKeepEveryByteAndStayWithinTheirLimit)
{
    const InstanceWindow windows[] = {
        {94812345678912u, "Quiram Relayo - Photos", "Afx:CZunMainFrame"},
        {1, "", "#32770"}, // an untitled window: the last field is empty
        {2, "", ""},
        {3, "100% sure\n%41 \xff\xfe", "Qt:QMenu"},
    };
    for (const InstanceWindow& w : windows) {
        const std::string line = FormatInstanceWindowLine(w);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        InstanceWindow back;
        ASSERT_TRUE(ParseInstanceWindowLine(line, back)) << line;
        EXPECT_EQ(back, w) << line;
    }
    // A title at its limit is kept; a longer one is cut without splitting a
    // character, and the line stays within the answer's limit.
    InstanceWindow at{4, std::string(kInstanceMaxTitle, 'a'), std::string(kInstanceMaxClassName, 'c')};
    InstanceWindow back;
    ASSERT_TRUE(ParseInstanceWindowLine(FormatInstanceWindowLine(at), back));
    EXPECT_EQ(back, at);
    std::string wide;
    while (wide.size() <= kInstanceMaxTitle)
        wide += "\xe3\x81\x82"; // three bytes a character, none of them unreserved
    InstanceWindow past{5, wide, std::string(kInstanceMaxClassName + 1, '\x80')};
    const std::string line = FormatInstanceWindowLine(past);
    EXPECT_LE(line.size(), kInstanceMaxReplyLine);
    ASSERT_TRUE(ParseInstanceWindowLine(line, back));
    EXPECT_EQ(back.title.size() % 3, 0u);
    EXPECT_LE(back.title.size(), kInstanceMaxTitle);
    EXPECT_EQ(wide.compare(0, back.title.size(), back.title), 0);
    EXPECT_EQ(back.className.size(), kInstanceMaxClassName);

    for (const char* bad : {"W 1 a", "W 1 a b c", "X 1 a b", "W x a b", "W 1 %4 b", "W 1 a %zz", "W 1 a %"})
        EXPECT_FALSE(ParseInstanceWindowLine(bad, back)) << bad;
}

TEST(InstanceProtocol, LinesAtTheirLimitPassAndOneByteMoreEndsTheTalk)
{
    const size_t limit = 16;
    std::string line;
    CInstanceLineBuffer at(limit);
    const std::string full(limit, 'x');
    at.Append(full.data(), 10);
    EXPECT_FALSE(at.Next(line));
    at.Append(full.data() + 10, limit - 10);
    at.Append("\nshort\n", 7);
    ASSERT_TRUE(at.Next(line));
    EXPECT_EQ(line, full);
    ASSERT_TRUE(at.Next(line));
    EXPECT_EQ(line, "short");
    EXPECT_FALSE(at.Overflowed());

    // One byte more, unfinished or finished, in one piece or two.
    const std::string over(limit + 1, 'x');
    for (const std::string& bytes : {over, over + "\n"}) {
        for (size_t split : {size_t(0), size_t(5)}) {
            CInstanceLineBuffer past(limit);
            past.Append(bytes.data(), split);
            past.Append(bytes.data() + split, bytes.size() - split);
            EXPECT_FALSE(past.Next(line));
            EXPECT_TRUE(past.Overflowed());
            past.Append("LIST\n", 5);
            EXPECT_FALSE(past.Next(line));
        }
    }
}

TEST(InstanceProtocol, WindowListAnswers)
{
    using S = CInstanceReplyReader::State;
    struct Row {
        std::string bytes;
        bool list;
        S state;
        size_t windows;
    } rows[] = {
        {"W 1 Afx%3Ax Quiram%20Relayo\nW 2 %2332770 \nEND\n", true, S::Done, 2},
        {"END\n", true, S::Done, 0},
        {"W 1 Afx%3Ax Quiram%20Relayo\n", true, S::Waiting, 1},
        {"ERR\n", true, S::Failed, 0},
        {"OK\n", true, S::Failed, 0},
        {"W 1 a\nEND\n", true, S::Failed, 0},
        {"END\nW 2 a b\n", true, S::Failed, 0}, // nothing follows the end
        {"OK\n", false, S::Done, 0},
        {"ERR\n", false, S::Failed, 0},
        {"END\n", false, S::Failed, 0},
        {"W 1 a b\nOK\n", false, S::Failed, 0},
        {std::string(kInstanceMaxReplyLine + 1, 'W'), true, S::Failed, 0},
    };
    for (const Row& r : rows) {
        CInstanceReplyReader reader(r.list);
        for (char c : r.bytes) // byte by byte, as slowly as a socket may give them
            reader.Feed(&c, 1);
        EXPECT_EQ(reader.GetState(), r.state) << r.bytes.substr(0, 40);
        EXPECT_EQ(reader.Windows().size(), r.windows) << r.bytes.substr(0, 40);
    }

    // As many windows as a list may hold, and one more.
    for (size_t count : {kInstanceMaxWindows, kInstanceMaxWindows + 1}) {
        std::string answer;
        for (size_t i = 0; i < count; ++i)
            answer += FormatInstanceWindowLine({i, "t", "c"}) + "\n";
        answer += "END\n";
        CInstanceReplyReader reader(true);
        EXPECT_EQ(reader.Feed(answer.data(), answer.size()), count <= kInstanceMaxWindows ? S::Done : S::Failed);
    }
}

// ---------------------------------------------------------------------------
// The server over its real socket, driven from this thread by a plain client.

// Serves events until the condition holds, for at most ten seconds.
template <class F> bool PumpUntil(F cond)
{
    QDeadlineTimer deadline(10000);
    while (!cond() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return cond();
}

// A non-blocking connection that this thread writes and reads between
// serving the server's events.
class RawClient {
public:
    explicit RawClient(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0)
            return;
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
        m_bConnected = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsConnected() const { return m_bConnected; }

    // Writes all of it while the server runs; false when the server hung up.
    bool Send(std::string_view bytes)
    {
        return PumpUntil([&]() {
            if (bytes.empty() || m_bHungUp)
                return true;
            ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0)
                bytes.remove_prefix(size_t(n));
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                m_bHungUp = true;
            return bytes.empty() || m_bHungUp;
        }) && !m_bHungUp;
    }
    // Whether n answers ("END", "OK" or "ERR") came, serving the server meanwhile.
    bool WaitForAnswers(size_t n)
    {
        return PumpUntil([&]() {
            Receive();
            return m_nAnswers >= n || m_bHungUp;
        }) && m_nAnswers >= n;
    }
    // Whether the server hung up, reading (and dropping) what it sent.
    bool WaitForHangUp()
    {
        return PumpUntil([&]() {
            Receive();
            return m_bHungUp;
        });
    }
    // Whether the server hung up, leaving what it sent unread.
    bool WaitForHangUpUnread()
    {
        return PumpUntil([&]() {
            pollfd p {m_fd, 0, 0};
            return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
        });
    }
    size_t Answers() const { return m_nAnswers; }
    void Receive()
    {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                m_bHungUp = true;
            if (n <= 0)
                return;
            m_lines.append(buffer, size_t(n));
            size_t start = 0;
            for (size_t nl; (nl = m_lines.find('\n', start)) != std::string::npos; start = nl + 1) {
                std::string_view l(m_lines.data() + start, nl - start);
                m_nAnswers += (l == "END" || l == "OK" || l == "ERR");
            }
            m_lines.erase(0, start);
        }
    }

private:
    int m_fd = -1;
    bool m_bConnected = false;
    bool m_bHungUp = false;
    std::string m_lines;
    size_t m_nAnswers = 0;
};

class InstanceServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Listen());
        m_server.SetReady(TRUE);
    }
    // A later start's own client, asking from a thread of its own.
    bool Answers()
    {
        std::vector<InstanceWindow> windows;
        return AskFromThread([&]() {
            CInstanceClient client("Test.Server");
            return client.Connect(5000) && client.ListWindows(windows, 5000);
        });
    }

    qrtest::TempDir m_dir;
    Env m_runtime{"XDG_RUNTIME_DIR", m_dir.path().c_str()};
    CInstanceServer m_server{"Test.Server"};
};

// Lowers this process's descriptor limit to a little above the descriptors it
// has open now, and puts the old limit back when it goes.
class LowDescriptorLimit {
public:
    explicit LowDescriptorLimit(rlim_t headroom)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_old);
        int highest = 2;
        if (DIR* d = ::opendir("/proc/self/fd")) {
            const int own = ::dirfd(d);
            while (dirent* e = ::readdir(d))
                if (e->d_name[0] != '.' && std::atoi(e->d_name) != own)
                    highest = std::max(highest, std::atoi(e->d_name));
            ::closedir(d);
        }
        // Free numbers below the highest are filled, so that exactly the
        // headroom is left.
        for (;;) {
            const int fill = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fill < 0)
                break;
            if (fill > highest) {
                ::close(fill);
                break;
            }
            m_fills.push_back(fill);
        }
        rlimit low = m_old;
        low.rlim_cur = std::min<rlim_t>(m_old.rlim_cur, rlim_t(highest) + 1 + headroom);
        m_bSet = ::setrlimit(RLIMIT_NOFILE, &low) == 0;
    }
    ~LowDescriptorLimit()
    {
        ::setrlimit(RLIMIT_NOFILE, &m_old);
        for (int fd : m_fills)
            ::close(fd);
    }
    bool IsSet() const { return m_bSet; }

private:
    rlimit m_old {};
    std::vector<int> m_fills;
    bool m_bSet = false;
};

TEST_F(InstanceServerTest, KeepsAnsweringAfterABurstPastTheDescriptorLimit)
{
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, m_server.SocketPath().c_str(), sizeof(addr.sun_path) - 1);
    {
        LowDescriptorLimit limit(32);
        ASSERT_TRUE(limit.IsSet());
        // Callers until no descriptor is left: the server cannot take them.
        std::vector<int> burst;
        burst.reserve(100000);
        int error = 0;
        while (burst.size() < burst.capacity()) {
            int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0) {
                error = errno;
                break;
            }
            burst.push_back(fd);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
        }
        // The server sees them waiting and fails to take them. (Nothing here
        // may need a descriptor until they are closed.)
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        for (int fd : burst)
            ::close(fd);
        EXPECT_EQ(error, EMFILE);
        EXPECT_TRUE(m_server.IsAcceptPaused());
        // Once it takes the waiting callers again, it leaves the program
        // descriptors of its own.
        ASSERT_TRUE(uitest::WaitFor([&] { return m_server.ConnectionCount() > 0; }));
        const int own = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        EXPECT_GE(own, 0);
        if (own >= 0)
            ::close(own);
        // Still under the low limit, with descriptors free again.
        EXPECT_TRUE(Answers());
    }
    EXPECT_TRUE(Answers());
}

TEST_F(InstanceServerTest, ClientThatNeverReadsIsDroppedAndOthersAreStillServed)
{
    // Answers read as they come: many requests are fine.
    RawClient reader(m_server.SocketPath());
    ASSERT_TRUE(reader.IsConnected());
    std::string many;
    for (int i = 0; i < 2000; ++i)
        many += "LIST\n";
    ASSERT_TRUE(reader.Send(many));
    EXPECT_TRUE(reader.WaitForAnswers(2000));

    // Requests whose answers are never read: once the unread answers pass
    // their limit the caller is dropped, long before its requests run out.
    std::vector<std::unique_ptr<QWidget>> windows;
    for (int i = 0; i < 4; ++i) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setWindowTitle(QString(1000, QChar('t')));
    }
    RawClient deaf(m_server.SocketPath());
    ASSERT_TRUE(deaf.IsConnected());
    // Each answer holds some 4 KB, so 10,000 of them are far past the limit
    // and the socket's own buffers.
    std::string requests;
    for (int i = 0; i < 10000; ++i)
        requests += "LIST\n";
    deaf.Send(requests);
    EXPECT_TRUE(deaf.WaitForHangUpUnread());
    EXPECT_TRUE(PumpUntil([&]() { return m_server.ConnectionCount() == 1; }));
    EXPECT_TRUE(reader.Send("LIST\n"));
    EXPECT_TRUE(reader.WaitForAnswers(2001));
}

TEST_F(InstanceServerTest, RequestLineAtItsLimitIsAnsweredAndOneByteMoreIsDropped)
{
    RawClient at(m_server.SocketPath());
    ASSERT_TRUE(at.Send(std::string(kInstanceMaxRequestLine, 'x') + "\n"));
    EXPECT_TRUE(at.WaitForAnswers(1)); // "ERR": not a request, but a line

    RawClient past(m_server.SocketPath());
    past.Send(std::string(kInstanceMaxRequestLine + 1, 'x'));
    EXPECT_TRUE(past.WaitForHangUp());
    EXPECT_EQ(past.Answers(), 0u);
}

TEST_F(InstanceServerTest, RequestsBeforeReadyWaitUpToTheirLimit)
{
    m_server.SetReady(FALSE);
    std::string requests;
    for (size_t i = 0; i < CInstanceServer::kMaxQueuedRequests; ++i)
        requests += "LIST\n";
    RawClient at(m_server.SocketPath());
    ASSERT_TRUE(at.Send(requests));
    RawClient past(m_server.SocketPath());
    past.Send(requests + "LIST\n");
    EXPECT_TRUE(past.WaitForHangUp());
    EXPECT_EQ(past.Answers(), 0u);

    m_server.SetReady(TRUE);
    EXPECT_TRUE(at.WaitForAnswers(CInstanceServer::kMaxQueuedRequests));
}

TEST_F(InstanceServerTest, ConnectionsPastTheLimitWaitTheirTurn)
{
    std::vector<std::unique_ptr<RawClient>> held;
    for (size_t i = 0; i < CInstanceServer::kMaxConnections; ++i)
        held.push_back(std::make_unique<RawClient>(m_server.SocketPath()));
    ASSERT_TRUE(PumpUntil([&]() { return m_server.ConnectionCount() == CInstanceServer::kMaxConnections; }));
    EXPECT_TRUE(m_server.IsAcceptPaused());
    ASSERT_TRUE(held.back()->Send("LIST\n"));
    EXPECT_TRUE(held.back()->WaitForAnswers(1));

    RawClient next(m_server.SocketPath());
    ASSERT_TRUE(next.IsConnected()); // waiting in the backlog
    ASSERT_TRUE(next.Send("LIST\n"));
    held.front().reset();
    EXPECT_TRUE(next.WaitForAnswers(1));
}

} // namespace
