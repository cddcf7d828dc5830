#include "util/shell_util.h"

#include "platform/framework/message_box.h"
#include "platform/shell.h"
#include "support/test_support.h"
#include "support/kill_part_way.h"
#include "support/watchdog.h"
#include "util/companion_files.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <map>
#include <random>
#include <sys/stat.h>
#include <memory>
#include <thread>

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
    fs::create_directory(dir / "album");
    Write(dir / "album/c.jpg", "c");
    ScriptedBoxes boxes;
    // A folder named with a trailing '/' is still copied under its own name.
    EXPECT_TRUE(ShellCopyFiles(nullptr, 6210,
                               {(dir / "a.jpg").string(), (dir / "b.wav").string(), (dir / "album").string() + "/"},
                               (dir / "to").string()));
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/a.jpg"), qrtest::ReadBytes(dir / "a.jpg"));
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/b.wav"), qrtest::ReadBytes(dir / "b.wav"));
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/album/c.jpg"), qrtest::ReadBytes(dir / "album/c.jpg"));
    EXPECT_FALSE(fs::exists(dir / "to/c.jpg"));
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

// The job's owner goes while the job's question waits for the GUI thread: the
// owner's join does not wait for an answer that can never come, the question is
// not asked afterwards, and the file stays as it was.
TEST(ShellUtil, AnOwnerGoingWhileAQuestionIsPendingDoesNotWaitForIt)
{
    struct NotingPrompt : CMessageBoxFileOperationPrompt {
        std::atomic<bool> asking{false};
        FileOpAnswer ConfirmReplace(const std::string& target, const std::string& source, bool folder) override
        {
            asking = true;
            return CMessageBoxFileOperationPrompt::ConfirmReplace(target, source, folder);
        }
    };
    qrtest::TempDir dir;
    fs::create_directory(dir / "to");
    Write(dir / "a.jpg", "new");
    Write(dir / "to/a.jpg", "old");
    ScriptedBoxes boxes;
    NotingPrompt prompt;
    {
        qrtest::Watchdog watchdog("the file operation's owner waited for its pending question");
        auto job = std::make_unique<CFileOperation>(
            FileOperationRequest{FO_COPY, {(dir / "a.jpg").string()}, {(dir / "to/a.jpg").string()}}, prompt);
        job->Start();
        while (!prompt.asking)
            std::this_thread::yield();
        job.reset(); // on the GUI thread, which has not handled the question
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(qrtest::ReadBytes(dir / "to/a.jpg"), std::vector<unsigned char>({'o', 'l', 'd'}));
}

// Move and Copy to Folder over two hundred pictures, half of them with a
// sound comment, killed at random moments: every file is whole wherever it is,
// none is lost, nothing else is left in either folder, and at most the one
// picture in hand at the kill is parted from its companion.
TEST(ShellUtil, MoveAndCopyKilledAtRandomMomentsLoseNothingAndLeaveNoPartialFile)
{
    constexpr int kPictures = 200;
    struct Case {
        const char* what;
        bool move;
        const char* targetRoot; // another file system when given
    };
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    for (const Case c : {Case{"copy", false, nullptr}, Case{"move", true, nullptr}, Case{"move across", true, "/dev/shm"}}) {
        SCOPED_TRACE(c.what);
        qrtest::TempDir dir;
        fs::path to = dir / "to";
        if (c.targetRoot) {
            struct stat here {}, there {};
            if (stat(dir.path().c_str(), &here) != 0 || stat(c.targetRoot, &there) != 0 || here.st_dev == there.st_dev)
                continue; // no second file system on this machine
            const std::string pattern = std::string(c.targetRoot) + "/qrtest-XXXXXX";
            std::string made = pattern;
            ASSERT_NE(mkdtemp(made.data()), nullptr);
            to = made;
        }
        fs::create_directories(dir / "from");
        fs::create_directories(to);
        std::map<std::string, std::vector<unsigned char>> files; // name -> bytes
        std::vector<std::string> sources;
        for (int i = 0; i < kPictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "P%03d", i);
            std::vector<unsigned char> bytes(16 * 1024 + size_t(i));
            for (size_t k = 0; k < bytes.size(); ++k)
                bytes[k] = static_cast<unsigned char>(k * 31 + size_t(i));
            files[std::string(name) + ".JPG"] = bytes;
            qrtest::WriteBytes(dir / "from" / (std::string(name) + ".JPG"), bytes);
            sources.push_back((dir / "from" / (std::string(name) + ".JPG")).string());
            if (i % 2 == 0) {
                bytes.resize(1000);
                files[std::string(name) + ".WAV"] = bytes;
                qrtest::WriteBytes(dir / "from" / (std::string(name) + ".WAV"), bytes);
            }
        }
        AddCompanionFiles(sources);
        const size_t at = random() % kPictures;
        qrtest::KillPartWay(
            [&] { c.move ? ShellMoveFiles(nullptr, 6212, sources, to.string()) : ShellCopyFiles(nullptr, 6210, sources, to.string()); },
            [&] { return qrtest::EntryCount(to) >= at; }, random);
        SCOPED_TRACE("killed after " + std::to_string(at) + " files");
        int parted = 0;
        for (const auto& [name, bytes] : files) {
            const bool inFrom = fs::exists(dir / "from" / name), inTo = fs::exists(to / name);
            EXPECT_TRUE(inFrom || inTo) << name << " is lost";
            if (inFrom) {
                EXPECT_EQ(qrtest::ReadBytes(dir / "from" / name), bytes) << name;
            }
            if (inTo) {
                EXPECT_EQ(qrtest::ReadBytes(to / name), bytes) << name;
            }
            if (!c.move) {
                EXPECT_TRUE(inFrom) << "an original went: " << name;
            }
            const std::string wav = name.substr(0, 4) + ".WAV";
            if (name.ends_with(".JPG") && files.count(wav)) {
                const fs::path side = c.move ? dir / "from" : to;
                parted += fs::exists(side / name) != fs::exists(side / wav);
            }
        }
        EXPECT_LE(parted, 1);
        for (const fs::path& folder : {dir / "from", to})
            for (const std::string& name : qrtest::FolderNames(folder))
                EXPECT_TRUE(files.count(name)) << "left behind: " << (folder / name);
        if (c.targetRoot)
            fs::remove_all(to);
    }
}

} // namespace
