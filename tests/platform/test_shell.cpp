#include "platform/shell.h"

#include <gtest/gtest.h>

namespace {

TEST(Shell, RealRunnerGivesTheExitCode)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        bool started;
        int exitCode;
    } cases[] = {
        {"true", {}, true, 0},
        {"false", {}, true, 1},
        // One argument stays one argument: nothing is read by a shell.
        {"sh", {"-c", "exit $#", "zero", "a b; exit 9", "*"}, true, 2},
        {"/no/such/program-qr", {}, false, -1},
    };
    for (const Case& c : cases) {
        const ShellProcessResult r = RunShellProcess(c.program, c.args, true);
        EXPECT_EQ(r.started, c.started) << c.program;
        EXPECT_EQ(r.finished, c.started) << c.program;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.program;
    }
    EXPECT_TRUE(RunShellProcess("true", {}, false).started);
    EXPECT_FALSE(RunShellProcess("/no/such/program-qr", {}, false).started);
}

TEST(Shell, OpeningHandsTheAbsolutePathToTheOpener)
{
    struct Call {
        std::string program;
        std::vector<std::string> args;
        bool wait;
    };
    std::vector<Call> calls;
    struct Case {
        ShellProcessResult answer;
        ShellOpenResult result;
    } cases[] = {
        {{true, true, 0}, ShellOpenResult::opened},
        {{true, false, -1}, ShellOpenResult::opened}, // still running the program it started
        {{true, true, 2}, ShellOpenResult::fileNotFound},
        {{true, true, 3}, ShellOpenResult::noAssociation},
        {{true, true, 4}, ShellOpenResult::failed},
        {{false, false, -1}, ShellOpenResult::failed},
    };
    for (const Case& c : cases) {
        calls.clear();
        ShellProcessRunner old = SetShellProcessRunner(
            [&](const std::string& program, const std::vector<std::string>& args, bool wait) {
                calls.push_back({program, args, wait});
                return c.answer;
            });
        EXPECT_EQ(ShellOpenFile("/tmp/-a b;$(x).jpg"), c.result);
        SetShellProcessRunner(old);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].program, "xdg-open");
        EXPECT_EQ(calls[0].args, (std::vector<std::string>{"/tmp/-a b;$(x).jpg"}));
        EXPECT_TRUE(calls[0].wait);
    }

    // A relative path goes as an absolute one, so it can never read as an option.
    SetShellProcessRunner([&](const std::string& program, const std::vector<std::string>& args, bool wait) {
        calls.push_back({program, args, wait});
        return ShellProcessResult{true, true, 0};
    });
    calls.clear();
    ShellOpenFile("-x.jpg");
    SetShellProcessRunner({});
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_FALSE(calls[0].args[0].empty());
    EXPECT_EQ(calls[0].args[0].front(), '/');
    EXPECT_EQ(calls[0].args[0].substr(calls[0].args[0].size() - 7), "/-x.jpg");
}

} // namespace
