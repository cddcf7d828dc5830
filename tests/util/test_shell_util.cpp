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

struct RecordedRunner {
    struct Call {
        std::string program;
        std::vector<std::string> args;
        bool wait;
    };
    std::vector<Call> calls;
    std::deque<ShellProcessResult> results;
    ShellProcessRunner previous;
    RecordedRunner()
    {
        previous = SetShellProcessRunner([this](const std::string& p, const std::vector<std::string>& a, bool w) {
            calls.push_back({p, a, w});
            ShellProcessResult r = results.empty() ? ShellProcessResult{} : results.front();
            if (!results.empty())
                results.pop_front();
            return r;
        });
    }
    ~RecordedRunner() { SetShellProcessRunner(previous); }
};

void Write(const fs::path& p, const std::string& text)
{
    qrtest::WriteBytes(p, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(ShellUtil, OpenWithAssociatedProgram)
{
    qrtest::TempDir dir;
    const std::string file = (dir / "photo.jpg").string();
    Write(file, "x");
    struct Case {
        ShellProcessResult opener;
        bool opened;
        bool noApplication;
        std::string box;
    } cases[] = {
        {{true, true, 0}, true, false, ""},
        {{true, true, 3}, false, true, "Unable to find the application to open the file."},
        {{true, true, 2}, false, false, "Unable to find file \"" + file + "\"."},
        {{true, true, 4}, false, false, "Unable to open file \"" + file + "\"."},
        {{false, false, -1}, false, false, "Unable to open file \"" + file + "\"."},
    };
    for (const Case& c : cases) {
        ScriptedBoxes boxes;
        RecordedRunner runner;
        runner.results = {c.opener};
        bool noApplication = !c.noApplication;
        EXPECT_EQ(OpenWithAssociatedProgram(file, &noApplication), c.opened);
        EXPECT_EQ(noApplication, c.noApplication);
        ASSERT_EQ(runner.calls.size(), 1u);
        EXPECT_EQ(runner.calls[0].program, "xdg-open");
        EXPECT_EQ(runner.calls[0].args, std::vector<std::string>{file});
        EXPECT_EQ(boxes.texts, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    }

    // A missing file is reported without asking the desktop; an empty path does nothing.
    ScriptedBoxes boxes;
    RecordedRunner runner;
    const std::string missing = (dir / "gone.jpg").string();
    EXPECT_FALSE(OpenWithAssociatedProgram(missing));
    EXPECT_FALSE(OpenWithAssociatedProgram(""));
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Unable to find file \"" + missing + "\"."});
}

TEST(ShellUtil, LaunchProgramTriesTheSearchPath)
{
    struct Case {
        std::deque<ShellProcessResult> results;
        size_t calls;
        bool started;
    } cases[] = {
        {{{true}}, 1, true},
        {{{false}, {true}}, 2, true},
        {{{false}, {false}}, 2, false},
    };
    for (const Case& c : cases) {
        ScriptedBoxes boxes;
        RecordedRunner runner;
        runner.results = c.results;
        bool failed = false;
        EXPECT_EQ(LaunchProgram("/opt/gone/viewer", "/p/a b.jpg", &failed), c.started);
        EXPECT_EQ(failed, !c.started);
        ASSERT_EQ(runner.calls.size(), c.calls);
        EXPECT_EQ(runner.calls[0].program, "/opt/gone/viewer");
        EXPECT_EQ(runner.calls[0].args, std::vector<std::string>{"/p/a b.jpg"});
        EXPECT_FALSE(runner.calls[0].wait);
        if (c.calls > 1) {
            EXPECT_EQ(runner.calls[1].program, "viewer");
        }
        EXPECT_EQ(boxes.texts.size(), c.started ? 0u : 1u);
        if (!c.started) {
            EXPECT_EQ(boxes.texts[0], "Unable to find the application to open the file. /opt/gone/viewer");
        }
    }
    RecordedRunner runner;
    runner.results = {{true}};
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
