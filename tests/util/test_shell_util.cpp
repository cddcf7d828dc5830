#include "util/shell_util.h"

#include "platform/framework/message_box.h"
#include "platform/shell.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <deque>

namespace fs = std::filesystem;

namespace {

// Answers message boxes from a script, records their texts and the thread
// they came up on.
struct ScriptedBoxes {
    std::deque<int> answers;
    std::vector<std::string> texts;
    bool allOnGuiThread = true;
    MessageBoxHandler previous;
    ScriptedBoxes()
    {
        previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) -> int {
            texts.push_back(text);
            allOnGuiThread = allOnGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
            if (answers.empty())
                return IDOK;
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~ScriptedBoxes() { SetMessageBoxHandler(previous); }
};

// Records the programs started; the test ends them.
struct RecordedRunner {
    struct Call {
        std::string program;
        std::vector<std::string> args;
        ShellProcessEndHandler onEnd;
    };
    std::vector<Call> calls;
    std::deque<bool> startable;
    ShellProcessRunner previous;
    RecordedRunner()
    {
        previous = SetShellProcessRunner([this](const std::string& p, const std::vector<std::string>& a,
                                                ShellProcessEndHandler onEnd) {
            calls.push_back({p, a, std::move(onEnd)});
            const bool started = startable.empty() || startable.front();
            if (!startable.empty())
                startable.pop_front();
            return started;
        });
    }
    ~RecordedRunner() { SetShellProcessRunner(previous); }
};

void Write(const fs::path& p, const std::string& text)
{
    qrtest::WriteBytes(p, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(ShellUtil, OpenWithAssociatedProgramNeverWaits)
{
    qrtest::TempDir dir;
    const std::string file = (dir / "photo.jpg").string();
    Write(file, "x");
    struct Case {
        ShellProcessEnd opener;
        std::string box; // told when the opener has ended
        int failed;      // -1: onFailed not called; else its noApplication
    } cases[] = {
        {{0, 10}, "", -1},
        {{3, 10}, "Unable to find the application to open the file.", 1},
        {{2, 10}, "Unable to find file \"" + file + "\".", 0},
        {{4, 10}, "Unable to open file \"" + file + "\".", 0},
        {{1, 9000}, "", -1}, // ran the program itself: it did open
    };
    for (const Case& c : cases) {
        ScriptedBoxes boxes;
        RecordedRunner runner;
        int failed = -1;
        EXPECT_TRUE(OpenWithAssociatedProgram(file, [&](bool noApplication) { failed = noApplication; }));
        ASSERT_EQ(runner.calls.size(), 1u);
        EXPECT_EQ(runner.calls[0].program, "xdg-open");
        EXPECT_EQ(runner.calls[0].args, std::vector<std::string>{file});
        EXPECT_TRUE(boxes.texts.empty()); // nothing is known yet
        runner.calls[0].onEnd(c.opener);
        EXPECT_EQ(boxes.texts, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        EXPECT_EQ(failed, c.failed);
    }

    // Told at once: a missing file (the desktop is not asked), an opener that
    // cannot be started; an empty path does nothing.
    ScriptedBoxes boxes;
    RecordedRunner runner;
    runner.startable = {false};
    const std::string missing = (dir / "gone.jpg").string();
    int failed = -1;
    EXPECT_FALSE(OpenWithAssociatedProgram(missing, [&](bool noApplication) { failed = noApplication; }));
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_FALSE(OpenWithAssociatedProgram(file));
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_FALSE(OpenWithAssociatedProgram(""));
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Unable to find file \"" + missing + "\".",
                                                     "Unable to open file \"" + file + "\"."}));
}

TEST(ShellUtil, LaunchProgramTriesTheSearchPath)
{
    struct Case {
        std::deque<bool> startable;
        size_t calls;
        bool started;
    } cases[] = {
        {{true}, 1, true},
        {{false, true}, 2, true},
        {{false, false}, 2, false},
    };
    for (const Case& c : cases) {
        ScriptedBoxes boxes;
        RecordedRunner runner;
        runner.startable = c.startable;
        bool failed = false;
        EXPECT_EQ(LaunchProgram("/opt/gone/viewer", "/p/a b.jpg", &failed), c.started);
        EXPECT_EQ(failed, !c.started);
        ASSERT_EQ(runner.calls.size(), c.calls);
        EXPECT_EQ(runner.calls[0].program, "/opt/gone/viewer");
        EXPECT_EQ(runner.calls[0].args, std::vector<std::string>{"/p/a b.jpg"});
        EXPECT_FALSE(runner.calls[0].onEnd); // nobody waits for the program
        if (c.calls > 1) {
            EXPECT_EQ(runner.calls[1].program, "viewer");
        }
        EXPECT_EQ(boxes.texts.size(), c.started ? 0u : 1u);
        if (!c.started) {
            EXPECT_EQ(boxes.texts[0], "Unable to find the application to open the file. /opt/gone/viewer");
        }
    }
    RecordedRunner runner;
    LaunchProgram("viewer");
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_TRUE(runner.calls[0].args.empty());
}

TEST(ShellUtil, CopyIntoAFolderKeepsEachName)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "to");
    Write(dir / "a.jpg", "a");
    Write(dir / "b.wav", "b");
    ScriptedBoxes boxes;
    EXPECT_TRUE(ShellCopyFiles(nullptr, 6210, {(dir / "a.jpg").string(), (dir / "b.wav").string()},
                               (dir / "to").string()));
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/a.jpg"), qrtest::ReadBytes(dir / "a.jpg"));
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/b.wav"), qrtest::ReadBytes(dir / "b.wav"));
}

TEST(ShellUtil, QuestionsComeUpOnTheGuiThread)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "to");
    Write(dir / "a.jpg", "new");
    Write(dir / "to/a.jpg", "old");
    const std::string source = (dir / "a.jpg").string(), target = (dir / "to/a.jpg").string();

    {
        ScriptedBoxes boxes;
        boxes.answers = {IDNO};
        EXPECT_FALSE(ShellMoveFiles(nullptr, 6212, {source}, (dir / "to").string())); // declined: not a success
        EXPECT_EQ(boxes.texts, std::vector<std::string>{"\"" + target + "\" already exists.\nDo you want to replace it with \"" +
                                                        source + "\"?"});
        EXPECT_TRUE(boxes.allOnGuiThread);
        EXPECT_EQ(qrtest::ReadBytes(target), std::vector<unsigned char>({'o', 'l', 'd'}));
    }
    {
        ScriptedBoxes boxes;
        boxes.answers = {IDYES};
        EXPECT_TRUE(ShellMoveFiles(nullptr, 6212, {source}, (dir / "to").string()));
        EXPECT_TRUE(boxes.allOnGuiThread);
        EXPECT_FALSE(fs::exists(source));
        EXPECT_EQ(qrtest::ReadBytes(target), std::vector<unsigned char>({'n', 'e', 'w'}));
    }
    {
        ScriptedBoxes boxes;
        boxes.answers = {IDCANCEL, IDYES};
        EXPECT_FALSE(ShellDeleteFiles(nullptr, 6211, {target}));
        EXPECT_TRUE(fs::exists(target));
        EXPECT_TRUE(ShellDeleteFiles(nullptr, 6211, {target}));
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(boxes.texts[0], "Do you want to delete \"" + target + "\" for good?");
    }
    {
        ScriptedBoxes boxes;
        EXPECT_FALSE(ShellCopyFiles(nullptr, 6210, {source}, (dir / "to").string()));
        EXPECT_EQ(boxes.texts, std::vector<std::string>{"\"" + source + "\" cannot be found."});
        EXPECT_TRUE(boxes.allOnGuiThread);
    }
}

} // namespace
