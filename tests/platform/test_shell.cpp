#include "platform/shell.h"

#include "support/test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Pumps events until the program's end has been reported, with a generous bound.
bool WaitForEnd(const std::optional<ShellProcessEnd>& end)
{
    QDeadlineTimer deadline(60000);
    while (!end && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return end.has_value();
}

TEST(Shell, StartedProgramsReportTheirEndLater)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"true", {}, 0},
        {"false", {}, 1},
        // One argument stays one argument: nothing is read by a shell.
        {"sh", {"-c", "exit $#", "zero", "a b; exit 9", "*"}, 2},
        {"sh", {"-c", "kill -9 $$"}, -1},
    };
    for (const Case& c : cases) {
        std::optional<ShellProcessEnd> end;
        ASSERT_TRUE(StartShellProcess(c.program, c.args, [&](const ShellProcessEnd& e) { end = e; })) << c.program;
        EXPECT_FALSE(end) << "reported before the start returned";
        ASSERT_TRUE(WaitForEnd(end)) << c.program;
        EXPECT_EQ(end->exitCode, c.exitCode) << c.program;
        EXPECT_GE(end->runMs, 0);
    }
    EXPECT_FALSE(StartShellProcess("/no/such/program-qr", {}));
    EXPECT_FALSE(StartShellProcess("no-such-program-qr", {}));
}

TEST(Shell, NobodyWaitsForAStartedProgram)
{
    // The program waits for a line the test writes only after the start has
    // returned; a start that waited would never return. Its input is
    // /dev/null, so it cannot read the test's terminal either.
    qrtest::TempDir dir;
    const std::string fifo = (dir / "go").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::optional<ShellProcessEnd> end;
    ASSERT_TRUE(StartShellProcess("timeout", {"60", "sh", "-c", "read line < \"$0\" && read none && exit 7", fifo},
                                  [&](const ShellProcessEnd& e) { end = e; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(end);
    const int fd = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "go\n", 3), 3);
    close(fd);
    ASSERT_TRUE(WaitForEnd(end));
    EXPECT_EQ(end->exitCode, 1); // stdin was empty: the second read failed
}

TEST(Shell, OpeningHandsTheAbsolutePathToTheOpener)
{
    struct Call {
        std::string program;
        std::vector<std::string> args;
        ShellProcessEndHandler onEnd;
    };
    std::vector<Call> calls;
    bool startable = true;
    struct Restore {
        ~Restore() { SetShellProcessRunner({}); }
    } restore;
    SetShellProcessRunner([&](const std::string& program, const std::vector<std::string>& args,
                              ShellProcessEndHandler onEnd) {
        calls.push_back({program, args, std::move(onEnd)});
        return startable;
    });
    struct Case {
        ShellProcessEnd end;
        ShellOpenResult result;
    } cases[] = {
        {{0, 10}, ShellOpenResult::opened},
        {{2, 10}, ShellOpenResult::fileNotFound},
        {{3, 10}, ShellOpenResult::noAssociation},
        {{4, 10}, ShellOpenResult::failed},
        {{-1, 10}, ShellOpenResult::failed},
        // The generic opener ran the program in the foreground: it has opened.
        {{1, 5000}, ShellOpenResult::opened},
        {{3, 7200000}, ShellOpenResult::opened},
    };
    for (const Case& c : cases) {
        calls.clear();
        std::optional<ShellOpenResult> result;
        EXPECT_TRUE(ShellOpenFile("/tmp/-a b;$(x).jpg", [&](ShellOpenResult r) { result = r; }));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].program, "xdg-open");
        EXPECT_EQ(calls[0].args, (std::vector<std::string>{"/tmp/-a b;$(x).jpg"}));
        EXPECT_FALSE(result); // only when the opener ends
        calls[0].onEnd(c.end);
        EXPECT_EQ(result, c.result);
    }

    // A relative path goes as an absolute one, so it can never read as an option.
    calls.clear();
    EXPECT_TRUE(ShellOpenFile("-x.jpg"));
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_FALSE(calls[0].args[0].empty());
    EXPECT_EQ(calls[0].args[0].front(), '/');
    EXPECT_EQ(calls[0].args[0].substr(calls[0].args[0].size() - 7), "/-x.jpg");
    calls[0].onEnd({0, 1}); // nobody asked for the answer

    startable = false;
    EXPECT_FALSE(ShellOpenFile("/tmp/a.jpg", [](ShellOpenResult) { ADD_FAILURE() << "no answer without an opener"; }));
}

} // namespace
