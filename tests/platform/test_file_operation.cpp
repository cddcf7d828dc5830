#include "platform/file.h"
#include "platform/file_operation.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Answers the job's questions from a script and records what was asked.
class ScriptedPrompt : public IFileOperationPrompt {
public:
    std::deque<FileOpAnswer> answers;
    bool goOnAfterError = true;
    std::vector<std::string> asked;             // "replace <target>", "delete <path>"
    std::vector<std::pair<std::string, FileOpError>> errors;
    std::vector<std::thread::id> threads;
    std::function<void()> onQuestion;

    FileOpAnswer ConfirmReplace(const std::string& target, const std::string&, bool folder) override
    {
        return Answer((folder ? "merge " : "replace ") + target);
    }
    FileOpAnswer ConfirmDelete(const std::string& path, bool folder) override
    {
        return Answer((folder ? "delete folder " : "delete ") + path);
    }
    bool ReportError(const std::string& path, FileOpError error, int) override
    {
        threads.push_back(std::this_thread::get_id());
        errors.emplace_back(path, error);
        return goOnAfterError;
    }

private:
    FileOpAnswer Answer(std::string question)
    {
        threads.push_back(std::this_thread::get_id());
        asked.push_back(std::move(question));
        if (onQuestion)
            onQuestion();
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << asked.back();
            return FileOpAnswer::cancel;
        }
        FileOpAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

struct Outcome {
    bool succeeded;
    bool cancelled;
    size_t failures;
    size_t skipped;
};

// Runs a job on its worker thread and waits for it.
Outcome RunJob(UINT operation, std::vector<std::string> sources, std::vector<std::string> targets,
               ScriptedPrompt& prompt, CFileOperation** running = nullptr)
{
    CFileOperation job({operation, std::move(sources), std::move(targets)}, prompt);
    if (running)
        *running = &job;
    bool notified = false;
    job.Start([&] { notified = true; });
    job.Wait();
    EXPECT_TRUE(notified);
    EXPECT_TRUE(job.IsDone());
    for (std::thread::id id : prompt.threads)
        EXPECT_NE(id, std::this_thread::get_id()) << "asked on the caller's thread";
    return {job.Succeeded(), job.Cancelled(), job.Failures(), job.Skipped()};
}

void Write(const fs::path& p, const std::string& text)
{
    qrtest::WriteBytes(p, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string Read(const fs::path& p)
{
    auto bytes = qrtest::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

void SetMtime(const fs::path& p, time_t seconds, long nanos = 0)
{
    const timespec times[2] = {{seconds, nanos}, {seconds, nanos}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
}

timespec Mtime(const fs::path& p)
{
    struct stat st{};
    lstat(p.c_str(), &st);
    return st.st_mtim;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// A small tree: a file with a known time, a nested folder, a relative link.
void MakeTree(const fs::path& root)
{
    fs::create_directories(root / "sub/deep");
    Write(root / "a.jpg", "picture");
    Write(root / "sub/b.wav", "sound");
    Write(root / "sub/deep/c", "");
    fs::create_symlink("a.jpg", root / "link.jpg");
    SetMtime(root / "a.jpg", 1000000000, 123456789);
    SetMtime(root / "sub/b.wav", 1100000000);
    SetMtime(root / "sub", 1200000000);
    SetMtime(root / "link.jpg", 1300000000);
}

void ExpectTreeCopied(const fs::path& from, const fs::path& to)
{
    EXPECT_EQ(Read(to / "a.jpg"), "picture");
    EXPECT_EQ(Read(to / "sub/b.wav"), "sound");
    EXPECT_TRUE(fs::is_regular_file(to / "sub/deep/c"));
    ASSERT_TRUE(fs::is_symlink(to / "link.jpg"));
    EXPECT_EQ(fs::read_symlink(to / "link.jpg"), "a.jpg");
    for (const char* name : {"a.jpg", "sub/b.wav", "sub", "link.jpg"})
        EXPECT_TRUE(SameTime(Mtime(to / name), Mtime(from / name))) << name;
}

using qrtest::FolderNames;

TEST(FileOperation, CopiesFilesAndFoldersKeepingTimes)
{
    qrtest::TempDir dir;
    MakeTree(dir / "src");
    fs::create_directory(dir / "dst");
    ScriptedPrompt prompt;
    const Outcome o = RunJob(FO_COPY, {(dir / "src").string(), (dir / "src/a.jpg").string()},
                             {(dir / "dst/src").string(), (dir / "dst/a.jpg").string()}, prompt);
    EXPECT_TRUE(o.succeeded);
    ExpectTreeCopied(dir / "src", dir / "dst/src");
    EXPECT_EQ(Read(dir / "dst/a.jpg"), "picture");
    EXPECT_EQ(Read(dir / "src/a.jpg"), "picture"); // the source stays
    EXPECT_EQ(FolderNames(dir / "dst"), (std::vector<std::string>{"a.jpg", "src"})); // no temporary left
    EXPECT_TRUE(prompt.asked.empty());
}

TEST(FileOperation, ReplacingIsAskedFirst)
{
    struct Case {
        std::vector<FileOpAnswer> answers;
        int questions;
        bool succeeded, cancelled;
        size_t skipped;
        std::string first, second; // the targets' contents afterwards
    } cases[] = {
        {{FileOpAnswer::yes, FileOpAnswer::yes}, 2, true, false, 0, "new1", "new2"},
        {{FileOpAnswer::yesToAll}, 1, true, false, 0, "new1", "new2"},
        {{FileOpAnswer::no, FileOpAnswer::yes}, 2, false, false, 1, "old1", "new2"},
        {{FileOpAnswer::cancel}, 1, false, true, 0, "old1", "old2"},
    };
    for (UINT op : {FO_COPY, FO_MOVE}) {
        for (const Case& c : cases) {
            qrtest::TempDir dir;
            fs::create_directory(dir / "dst");
            Write(dir / "1", "new1");
            Write(dir / "2", "new2");
            Write(dir / "dst/1", "old1");
            Write(dir / "dst/2", "old2");
            ScriptedPrompt prompt;
            prompt.answers.assign(c.answers.begin(), c.answers.end());
            const Outcome o = RunJob(op, {(dir / "1").string(), (dir / "2").string()},
                                     {(dir / "dst/1").string(), (dir / "dst/2").string()}, prompt);
            EXPECT_EQ(prompt.asked.size(), size_t(c.questions));
            EXPECT_EQ(prompt.asked[0], "replace " + (dir / "dst/1").string());
            EXPECT_EQ(o.succeeded, c.succeeded);
            EXPECT_EQ(o.cancelled, c.cancelled);
            EXPECT_EQ(o.skipped, c.skipped);
            EXPECT_EQ(Read(dir / "dst/1"), c.first);
            EXPECT_EQ(Read(dir / "dst/2"), c.second);
            // A move takes the source away only when it replaced the target.
            if (op == FO_MOVE) {
                EXPECT_EQ(fs::exists(dir / "1"), c.first == "old1");
            }
            EXPECT_EQ(FolderNames(dir / "dst"), (std::vector<std::string>{"1", "2"}));
        }
    }
}

TEST(FileOperation, MergesIntoAnExistingFolderAfterAsking)
{
    qrtest::TempDir dir;
    MakeTree(dir / "src");
    fs::create_directories(dir / "dst/src/sub");
    Write(dir / "dst/src/sub/b.wav", "older");
    Write(dir / "dst/src/own", "theirs");
    ScriptedPrompt prompt;
    prompt.answers = {FileOpAnswer::yes, FileOpAnswer::yes, FileOpAnswer::yes};
    EXPECT_TRUE(RunJob(FO_MOVE, {(dir / "src").string()}, {(dir / "dst/src").string()}, prompt).succeeded);
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"merge " + (dir / "dst/src").string(),
                                                      "merge " + (dir / "dst/src/sub").string(),
                                                      "replace " + (dir / "dst/src/sub/b.wav").string()}));
    EXPECT_EQ(Read(dir / "dst/src/sub/b.wav"), "sound");
    EXPECT_EQ(Read(dir / "dst/src/own"), "theirs");
    EXPECT_FALSE(fs::exists(dir / "src"));
}

TEST(FileOperation, NeverOntoItself)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "d");
    Write(dir / "d/f.jpg", "precious");
    fs::create_directory_symlink(dir / "d", dir / "alias");
    fs::create_directory(dir / "other");
    Write(dir / "other/f.jpg", "also precious");
    fs::create_symlink(dir / "other/f.jpg", dir / "f.jpg");
    const std::string f = (dir / "d/f.jpg").string();

    struct Case {
        std::string source, target;
    } cases[] = {
        {f, f},                                     // the very same path
        {f, (dir / "alias/f.jpg").string()},        // the same file by another way
        {(dir / "f.jpg").string(), (dir / "other/f.jpg").string()}, // a link onto the file it points to
    };
    for (UINT op : {FO_COPY, FO_MOVE}) {
        for (const Case& c : cases) {
            // A copy into its own folder is a copy under a new name (below).
            if (op == FO_COPY && fs::path(c.target).filename() == fs::path(c.source).filename())
                continue;
            ScriptedPrompt prompt;
            const Outcome o = RunJob(op, {c.source}, {c.target}, prompt);
            EXPECT_FALSE(o.succeeded) << c.target;
            ASSERT_EQ(prompt.errors.size(), 1u) << c.target;
            EXPECT_EQ(prompt.errors[0].second, FileOpError::sameFile);
            EXPECT_TRUE(prompt.asked.empty());
            EXPECT_EQ(Read(f), "precious");
            EXPECT_EQ(Read(dir / "other/f.jpg"), "also precious");
            EXPECT_TRUE(fs::is_symlink(dir / "f.jpg"));
        }
    }
}

TEST(FileOperation, ACopyIntoItsOwnFolderTakesAFreeNameWithItsCompanionsAlike)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "d");
    Write(dir / "d/photo.jpg", "picture");
    Write(dir / "d/photo.WAV", "voice");
    Write(dir / "d/photo (copy).WAV", "an older copy's voice"); // the first free number is 2 for both
    Write(dir / "d/.hidden", "dot");
    Write(dir / "d/plain", "no extension");
    fs::create_directory(dir / "d/Trip.2024");
    Write(dir / "d/Trip.2024/in.jpg", "inside");
    fs::create_directory_symlink(dir / "d", dir / "alias");
    const fs::path d = dir / "d";
    std::vector<std::string> sources, targets;
    for (const char* name : {"photo.jpg", ".hidden", "plain", "Trip.2024"}) {
        sources.push_back((d / name).string());
        targets.push_back((d / name).string());
    }
    // The same folder reached through a link is the same folder.
    sources.push_back((d / "photo.WAV").string());
    targets.push_back((dir / "alias/photo.WAV").string());
    ScriptedPrompt prompt;
    const Outcome o = RunJob(FO_COPY, sources, targets, prompt);
    EXPECT_TRUE(o.succeeded);
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_TRUE(prompt.asked.empty()) << prompt.asked[0];
    const struct {
        const char* name;
        const char* text;
    } made[] = {
        {"photo (copy 2).jpg", "picture"}, {"photo (copy 2).WAV", "voice"}, {".hidden (copy)", "dot"},
        {"plain (copy)", "no extension"},
        {"Trip.2024 (copy)/in.jpg", "inside"},
    };
    for (const auto& m : made)
        EXPECT_EQ(Read(d / m.name), m.text) << m.name;
    EXPECT_EQ(Read(d / "photo.jpg"), "picture");
    EXPECT_EQ(Read(d / "photo (copy).WAV"), "an older copy's voice");
    EXPECT_FALSE(fs::exists(d / "photo (copy).jpg"));

    // A move into its own folder stays refused.
    ScriptedPrompt movePrompt;
    EXPECT_FALSE(RunJob(FO_MOVE, {(d / "plain").string()}, {(d / "plain").string()}, movePrompt).succeeded);
    ASSERT_EQ(movePrompt.errors.size(), 1u);
    EXPECT_EQ(movePrompt.errors[0].second, FileOpError::sameFile);
}

TEST(FileOperation, NeverAFolderIntoItself)
{
    qrtest::TempDir dir;
    MakeTree(dir / "src");
    fs::create_directory_symlink(dir / "src/sub", dir / "into");
    struct Case {
        UINT op;
        std::string target;
    } cases[] = {
        {FO_COPY, (dir / "src/sub/src").string()},
        {FO_COPY, (dir / "src/src").string()},
        {FO_MOVE, (dir / "src/src").string()},
        {FO_MOVE, (dir / "into/src").string()}, // below itself through a link
    };
    for (const Case& c : cases) {
        ScriptedPrompt prompt;
        const Outcome o = RunJob(c.op, {(dir / "src").string()}, {c.target}, prompt);
        EXPECT_FALSE(o.succeeded) << c.target;
        ASSERT_EQ(prompt.errors.size(), 1u);
        EXPECT_EQ(prompt.errors[0].second, FileOpError::intoItself);
        EXPECT_FALSE(fs::exists(fs::symlink_status(c.target))) << c.target;
        EXPECT_EQ(Read(dir / "src/a.jpg"), "picture");
    }
}

TEST(FileOperation, MovesWithinAFileSystem)
{
    qrtest::TempDir dir;
    MakeTree(dir / "src");
    fs::create_directory(dir / "dst");
    const auto before = Mtime(dir / "src/a.jpg");
    ScriptedPrompt prompt;
    EXPECT_TRUE(RunJob(FO_MOVE, {(dir / "src/a.jpg").string(), (dir / "src/sub").string()},
                       {(dir / "dst/a.jpg").string(), (dir / "dst/sub").string()}, prompt)
                    .succeeded);
    EXPECT_EQ(Read(dir / "dst/a.jpg"), "picture");
    EXPECT_EQ(Read(dir / "dst/sub/b.wav"), "sound");
    EXPECT_TRUE(SameTime(Mtime(dir / "dst/a.jpg"), before));
    EXPECT_EQ(FolderNames(dir / "src"), (std::vector<std::string>{"link.jpg"}));
}

TEST(FileOperation, MovesAcrossFileSystemsByCopyVerifyDelete)
{
    qrtest::TempDir here;
    struct stat a{}, b{};
    if (stat(here.path().c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev ||
        access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "/dev/shm is not another writable file system here";
    char pattern[] = "/dev/shm/qrtest-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path there = pattern;
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } cleanup{there};

    MakeTree(here / "src");
    ScriptedPrompt prompt;
    EXPECT_TRUE(RunJob(FO_MOVE, {(here / "src").string()}, {(there / "src").string()}, prompt).succeeded);
    MakeTree(here / "twin"); // the times the moved tree must still have
    ExpectTreeCopied(here / "twin", there / "src");
    EXPECT_FALSE(fs::exists(here / "src"));
    EXPECT_TRUE(prompt.asked.empty());

    // A single file, replacing one over there, and back again.
    Write(there / "a.jpg", "to be replaced");
    Write(here / "b.jpg", "single");
    SetMtime(here / "b.jpg", 1400000000, 5);
    ScriptedPrompt again;
    again.answers = {FileOpAnswer::yes};
    EXPECT_TRUE(RunJob(FO_MOVE, {(here / "b.jpg").string()}, {(there / "a.jpg").string()}, again).succeeded);
    EXPECT_EQ(Read(there / "a.jpg"), "single");
    EXPECT_FALSE(fs::exists(here / "b.jpg"));
    ScriptedPrompt back;
    EXPECT_TRUE(RunJob(FO_MOVE, {(there / "a.jpg").string()}, {(here / "back.jpg").string()}, back).succeeded);
    EXPECT_EQ(Read(here / "back.jpg"), "single");
    EXPECT_TRUE(SameTime(Mtime(here / "back.jpg"), timespec{1400000000, 5}));
    EXPECT_EQ(FolderNames(here.path()), (std::vector<std::string>{"back.jpg", "twin"}));
}

TEST(FileOperation, DeletingAsksAndNeverFollowsLinks)
{
    qrtest::TempDir dir;
    fs::create_directories(dir / "keep/inner");
    Write(dir / "keep/inner/photo.jpg", "keep me");
    Write(dir / "keep/file.jpg", "keep me too");
    fs::create_directories(dir / "victim/sub");
    Write(dir / "victim/sub/x", "x");
    fs::create_directory_symlink(dir / "keep", dir / "victim/sub/to-folder");
    fs::create_symlink(dir / "keep/file.jpg", dir / "victim/to-file");
    fs::create_directory_symlink(dir / "keep", dir / "top-link");

    ScriptedPrompt prompt;
    prompt.answers = {FileOpAnswer::yes, FileOpAnswer::yes};
    EXPECT_TRUE(RunJob(FO_DELETE, {(dir / "victim").string(), (dir / "top-link").string()}, {}, prompt).succeeded);
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"delete folder " + (dir / "victim").string(),
                                                      "delete " + (dir / "top-link").string()}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "victim")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "top-link")));
    EXPECT_EQ(Read(dir / "keep/inner/photo.jpg"), "keep me");
    EXPECT_EQ(Read(dir / "keep/file.jpg"), "keep me too");
}

TEST(FileOperation, DeleteAnswers)
{
    struct Case {
        std::vector<FileOpAnswer> answers;
        int questions;
        bool succeeded, cancelled;
        bool firstLeft, secondLeft;
    } cases[] = {
        {{FileOpAnswer::yesToAll}, 1, true, false, false, false},
        {{FileOpAnswer::no, FileOpAnswer::yes}, 2, false, false, true, false},
        {{FileOpAnswer::cancel}, 1, false, true, true, true},
    };
    for (const Case& c : cases) {
        qrtest::TempDir dir;
        Write(dir / "1", "1");
        fs::create_directory(dir / "2");
        ScriptedPrompt prompt;
        prompt.answers.assign(c.answers.begin(), c.answers.end());
        const Outcome o = RunJob(FO_DELETE, {(dir / "1").string(), (dir / "2").string()}, {}, prompt);
        EXPECT_EQ(prompt.asked.size(), size_t(c.questions));
        EXPECT_EQ(o.succeeded, c.succeeded);
        EXPECT_EQ(o.cancelled, c.cancelled);
        EXPECT_EQ(fs::exists(dir / "1"), c.firstLeft);
        EXPECT_EQ(fs::exists(dir / "2"), c.secondLeft);
    }
}

TEST(FileOperation, FailuresAreReportedAndNeverSuccess)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "dst");
    fs::create_directory(dir / "dst/folder");
    Write(dir / "folder", "a file named like the folder");
    Write(dir / "fine", "fine");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

    struct Case {
        std::string source, target;
        FileOpError error;
    } cases[] = {
        {(dir / "missing").string(), (dir / "dst/missing").string(), FileOpError::notFound},
        {(dir / "folder").string(), (dir / "dst/folder").string(), FileOpError::kindMismatch},
        {(dir / "pipe").string(), (dir / "dst/pipe").string(), FileOpError::specialFile}, // not opened: no hang
        {(dir / "fine").string(), (dir / "no-such/fine").string(), FileOpError::system},
    };
    for (const Case& c : cases) {
        ScriptedPrompt prompt;
        const Outcome o = RunJob(FO_COPY, {c.source, (dir / "fine").string()},
                                 {c.target, (dir / "dst/fine").string()}, prompt);
        EXPECT_FALSE(o.succeeded) << c.source;
        EXPECT_EQ(o.failures, 1u);
        ASSERT_EQ(prompt.errors.size(), 1u) << c.source;
        EXPECT_EQ(prompt.errors[0].second, c.error) << c.source;
        EXPECT_EQ(Read(dir / "dst/fine"), "fine"); // went on with the next item
        fs::remove(dir / "dst/fine");
    }

    // Ending the job at an error leaves the rest alone.
    ScriptedPrompt stop;
    stop.goOnAfterError = false;
    EXPECT_FALSE(RunJob(FO_COPY, {(dir / "missing").string(), (dir / "fine").string()},
                        {(dir / "dst/missing").string(), (dir / "dst/fine").string()}, stop)
                     .succeeded);
    EXPECT_FALSE(fs::exists(dir / "dst/fine"));

    // A request without a target for every source does nothing.
    ScriptedPrompt unpaired;
    EXPECT_FALSE(RunJob(FO_COPY, {(dir / "fine").string()}, {}, unpaired).succeeded);
    EXPECT_EQ(FolderNames(dir / "dst"), (std::vector<std::string>{"folder"}));
}

TEST(FileOperation, TheUsersAbortLeavesTargetsWhole)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "dst");
    Write(dir / "big", std::string(3 << 20, 'n'));
    Write(dir / "dst/big", "old");
    Write(dir / "later", "later");
    ScriptedPrompt prompt;
    CFileOperation* job = nullptr;
    // The user presses Cancel in the progress window while the question is up.
    prompt.onQuestion = [&] { job->Cancel(); };
    prompt.answers = {FileOpAnswer::yes};
    const Outcome o = RunJob(FO_COPY, {(dir / "big").string(), (dir / "later").string()},
                             {(dir / "dst/big").string(), (dir / "dst/later").string()}, prompt, &job);
    EXPECT_FALSE(o.succeeded);
    EXPECT_TRUE(o.cancelled);
    EXPECT_EQ(Read(dir / "dst/big"), "old");
    EXPECT_EQ(FolderNames(dir / "dst"), (std::vector<std::string>{"big"})); // no temporary, nothing later
}

TEST(FileOperation, ProgressCountsFilesAndBytesToTheEnd)
{
    // The tree: a.jpg (7 bytes), sub/b.wav (5), sub/deep/c (0) and a link: four
    // files, 12 bytes, seven entries with the folders.
    struct Case {
        const char* what;
        UINT operation;
        std::deque<FileOpAnswer> answers;
        uint64_t units, files;
    } cases[] = {
        {"copy", FO_COPY, {}, 12 + 7, 4 + 1},
        {"move", FO_MOVE, {}, 12 + 7, 4 + 1},
        {"copy, the file skipped", FO_COPY, {FileOpAnswer::no}, 12 + 7, 4 + 1},
        {"delete", FO_DELETE, {FileOpAnswer::yesToAll}, 7 + 1, 4 + 1},
        {"delete, the tree skipped", FO_DELETE, {FileOpAnswer::no, FileOpAnswer::yes}, 7 + 1, 4 + 1},
    };
    for (const Case& c : cases) {
        qrtest::TempDir dir;
        MakeTree(dir / "src");
        Write(dir / "other.jpg", "picture");
        fs::create_directory(dir / "dst");
        if (!c.answers.empty() && c.operation == FO_COPY)
            Write(dir / "dst/other.jpg", "old");
        ScriptedPrompt prompt;
        prompt.answers = c.answers;
        FileOperationRequest request{c.operation, {(dir / "src").string(), (dir / "other.jpg").string()}, {}};
        if (c.operation != FO_DELETE)
            request.targets = {(dir / "dst/src").string(), (dir / "dst/other.jpg").string()};
        CFileOperation job(std::move(request), prompt);
        job.Run();
        EXPECT_TRUE(prompt.answers.empty()) << c.what;
        EXPECT_EQ(job.TotalUnits(), c.units) << c.what;
        EXPECT_EQ(job.DoneUnits(), c.units) << c.what;
        EXPECT_EQ(job.TotalFiles(), c.files) << c.what;
        EXPECT_EQ(job.DoneFiles(), c.files) << c.what;
    }
}

TEST(FileOperation, RunsOnTheCallersThreadToo)
{
    qrtest::TempDir dir;
    Write(dir / "a", "a");
    ScriptedPrompt prompt;
    CFileOperation job({FO_COPY, {(dir / "a").string()}, {(dir / "b").string()}}, prompt);
    EXPECT_TRUE(job.Run());
    EXPECT_EQ(Read(dir / "b"), "a");
    EXPECT_EQ(job.TotalUnits(), 1u);
    EXPECT_EQ(job.DoneUnits(), 1u);
}

} // namespace

TEST(RenameNoReplace, FilesAndFoldersMoveOnlyToFreeNames)
{
    qrtest::TempDir dir;
    const std::string a = (dir / "a.jpg").string(), b = (dir / "b.jpg").string(), c = (dir / "c.jpg").string();
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    std::filesystem::create_directory(dir / "f");
    std::filesystem::create_directory(dir / "g");

    EXPECT_EQ(RenameNoReplace(a, b), EEXIST);
    EXPECT_EQ(RenameNoReplace((dir / "f").string(), (dir / "g").string()), EEXIST);
    EXPECT_EQ(RenameNoReplace(a, c), 0);
    EXPECT_EQ(RenameNoReplace((dir / "f").string(), (dir / "h").string()), 0);
    EXPECT_EQ(RenameNoReplace(a, (dir / "d.jpg").string()), ENOENT);

    std::ifstream kept(b);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "b");
    EXPECT_TRUE(std::filesystem::exists(c));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "h"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "g"));
}
