#include "platform/replace_file.h"

#include "platform/file.h"
#include "platform/replace_file_calls.h"
#include "support/test_support.h"
#include "support/small_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

mode_t ModeOf(const fs::path& p)
{
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// Faults for the writer's system calls: the nth call of one of them fails
// with an error number, or a write stops short after some bytes.
struct Fault {
    enum Call { none, tmpfile, write, fsync, folderFsync, close, fchmod, linkat, renameat } call = none;
    int err = 0;
    size_t writeAfter = 0; // write: bytes that still go through before the error
};

Fault g_fault;
size_t g_written = 0;

bool Hit(Fault::Call call)
{
    if (g_fault.call != call)
        return false;
    g_fault.call = Fault::none; // once
    errno = g_fault.err;
    return true;
}

int FaultyOpenAt(int dir, const char* path, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE && Hit(Fault::tmpfile))
        return -1;
    return SystemReplaceFileCalls().openat(dir, path, flags, mode);
}

ssize_t FaultyWrite(int fd, const void* data, size_t size)
{
    if (g_fault.call == Fault::write) {
        if (g_written >= g_fault.writeAfter) {
            Hit(Fault::write);
            return -1;
        }
        size = std::min(size, g_fault.writeAfter - g_written);
    }
    const ssize_t n = SystemReplaceFileCalls().write(fd, data, size);
    if (n > 0)
        g_written += static_cast<size_t>(n);
    return n;
}

int FaultyFsync(int fd)
{
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    return Hit(folder ? Fault::folderFsync : Fault::fsync) ? -1 : SystemReplaceFileCalls().fsync(fd);
}

int FaultyClose(int fd)
{
    if (g_fault.call == Fault::close) {
        // The descriptor is gone whatever close answers.
        SystemReplaceFileCalls().close(fd);
        Hit(Fault::close);
        return -1;
    }
    return SystemReplaceFileCalls().close(fd);
}

int FaultyFchmod(int fd, mode_t mode) { return Hit(Fault::fchmod) ? -1 : SystemReplaceFileCalls().fchmod(fd, mode); }

int FaultyLinkat(int a, const char* b, int c, const char* d, int e)
{
    return Hit(Fault::linkat) ? -1 : SystemReplaceFileCalls().linkat(a, b, c, d, e);
}

int FaultyRenameat(int a, const char* b, int c, const char* d)
{
    return Hit(Fault::renameat) ? -1 : SystemReplaceFileCalls().renameat(a, b, c, d);
}

const ReplaceFileCalls kFaultyCalls{FaultyOpenAt, FaultyWrite, FaultyFsync, FaultyClose,
                                    FaultyFchmod, FaultyLinkat, FaultyRenameat};

// The faulty table for the length of a scope.
class InjectFaults {
public:
    explicit InjectFaults(Fault fault = {})
    {
        g_fault = fault;
        g_written = 0;
        m_previous = SetReplaceFileCalls(&kFaultyCalls);
    }
    ~InjectFaults()
    {
        SetReplaceFileCalls(m_previous);
        g_fault = {};
    }
    InjectFaults(const InjectFaults&) = delete;
    InjectFaults& operator=(const InjectFaults&) = delete;

private:
    const ReplaceFileCalls* m_previous;
};

// Runs body in a child process; its exit code, or -1 when it could not run.
int InChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// What a failed save must leave: the old bytes and mode, and nothing else.
void ExpectUntouched(const fs::path& dir, const fs::path& file, const std::vector<uint8_t>& bytes, mode_t mode)
{
    EXPECT_EQ(qrtest::ReadBytes(file), bytes);
    EXPECT_EQ(ModeOf(file), mode);
    EXPECT_EQ(qrtest::FolderNames(dir), std::vector<std::string>{file.filename().string()});
}

} // namespace

TEST(ReplaceFile, InjectedFaultsLeaveTheOldFileAndSayWhy)
{
    std::vector<uint8_t> big(3 * 1024 * 1024);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7 + 3);
    struct Row {
        const char* what;
        Fault fault;
        int cause;
    };
    const Row rows[] = {
        {"disk full part way", {Fault::write, ENOSPC, 1024 * 1024 + 5}, CFileException::diskFull},
        {"quota part way", {Fault::write, EDQUOT, 100}, CFileException::diskFull},
        {"fsync fails", {Fault::fsync, EIO, 0}, CFileException::hardIO},
        {"close fails", {Fault::close, EIO, 0}, CFileException::hardIO},
        {"close fails on a network file system", {Fault::close, ENOSPC, 0}, CFileException::diskFull},
        {"mode cannot be kept", {Fault::fchmod, EPERM, 0}, CFileException::accessDenied},
        {"no room for the temporary file", {Fault::tmpfile, ENOSPC, 0}, CFileException::diskFull},
        {"link into the folder fails", {Fault::linkat, EIO, 0}, CFileException::hardIO},
        {"rename fails", {Fault::renameat, EROFS, 0}, CFileException::accessDenied},
    };
    for (const bool anonymous : {true, false}) {
        for (const Row& r : rows) {
            if (!anonymous && (r.fault.call == Fault::tmpfile || r.fault.call == Fault::linkat ||
                               r.fault.call == Fault::fchmod))
                continue;
            SCOPED_TRACE(std::string(r.what) + (anonymous ? "" : " (hidden name)"));
            qrtest::TempDir dir;
            const fs::path photo = dir / "photo.jpg";
            const std::vector<uint8_t> old = Bytes("the old picture");
            qrtest::WriteBytes(photo, old);
            fs::permissions(photo, fs::perms(0640));

            InjectFaults faults(r.fault);
            CReplaceFile file;
            bool ok = true;
            if (!anonymous) {
                // A file system without anonymous files: the hidden name is used.
                g_fault = {Fault::tmpfile, EOPNOTSUPP, 0};
                ok = file.Open(photo.string());
                g_fault = r.fault;
            } else {
                ok = file.Open(photo.string());
            }
            ok = ok && file.Write(big) && file.Commit();
            EXPECT_FALSE(ok);
            EXPECT_EQ(file.Error().m_cause, r.cause);
            EXPECT_EQ(file.Error().m_lOsError, r.fault.err);
            EXPECT_EQ(file.Error().m_strFileName, photo.string());
            EXPECT_FALSE(file.Error().SystemReason().empty());
            ExpectUntouched(dir.path(), photo, old, 0640);
        }
    }
}

// The folder cannot be flushed after the rename: the new file is in place,
// but the save is not reported done, so that the user saves again.
TEST(ReplaceFile, FolderThatCannotBeFlushedAfterTheRenameIsReported)
{
    qrtest::TempDir dir;
    const fs::path photo = dir / "photo.jpg";
    qrtest::WriteBytes(photo, Bytes("the old picture"));
    InjectFaults faults({Fault::folderFsync, EIO, 0});
    CReplaceFile file;
    EXPECT_TRUE(file.Open(photo.string()) && file.Write(Bytes("the new picture")));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(g_fault.call, Fault::none) << "the folder was flushed";
    EXPECT_EQ(file.Error().m_cause, CFileException::hardIO);
    EXPECT_EQ(file.Error().m_strFileName, photo.string());
    EXPECT_EQ(qrtest::ReadBytes(photo), Bytes("the new picture"));
    EXPECT_EQ(qrtest::FolderNames(dir.path()), std::vector<std::string>{"photo.jpg"});
}

TEST(ReplaceFile, CacheFilesReplaceWholeWithoutBeingFlushed)
{
    qrtest::TempDir dir;
    const fs::path thumb = dir / "S_IDX00.bmp";
    qrtest::WriteBytes(thumb, Bytes("the old thumbnail"));
    InjectFaults faults({Fault::fsync, EIO, 0});
    CReplaceFile::Options cache;
    cache.durable = false;
    ReplaceFileContents(thumb.string(), Bytes("the new thumbnail"), cache);
    EXPECT_EQ(qrtest::ReadBytes(thumb), Bytes("the new thumbnail"));
    EXPECT_EQ(g_fault.call, Fault::fsync); // never asked
    EXPECT_EQ(qrtest::FolderNames(dir.path()), std::vector<std::string>{"S_IDX00.bmp"});
}

TEST(ReplaceFile, ReplacesKeepingModeAndLinks)
{
    qrtest::TempDir dir;
    fs::create_directory(dir / "photos");
    const std::vector<uint8_t> fresh = Bytes("new content\n");
    struct Row {
        const char* what;
        std::string asked;    // relative to dir
        std::string replaced; // the file that must hold the new bytes
        mode_t mode;          // of the replaced file afterwards
    };
    qrtest::WriteBytes(dir / "private.kvt", Bytes("old"));
    fs::permissions(dir / "private.kvt", fs::perms(0600));
    qrtest::WriteBytes(dir / "photos/shared.jpg", Bytes("old"));
    fs::permissions(dir / "photos/shared.jpg", fs::perms(0664));
    fs::create_symlink("photos/shared.jpg", dir / "relative-link.jpg");
    fs::create_symlink(dir / "relative-link.jpg", dir / "link-to-link.jpg");
    fs::create_symlink("photos/not-yet.jpg", dir / "dangling.jpg");
    const Row rows[] = {
        {"private file keeps 0600", "private.kvt", "private.kvt", 0600},
        {"relative link", "relative-link.jpg", "photos/shared.jpg", 0664},
        {"chain of links", "link-to-link.jpg", "photos/shared.jpg", 0664},
        {"dangling link makes its file", "dangling.jpg", "photos/not-yet.jpg", 0666 & ~0022},
    };
    // Root saving someone else's file gives it back to its owner.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir / "private.kvt").c_str(), 65534, 65534), 0);
    }
    const mode_t mask = ::umask(0022);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ReplaceFileContents((dir / r.asked).string(), fresh);
        EXPECT_EQ(qrtest::ReadBytes(dir / r.replaced), fresh);
        EXPECT_EQ(ModeOf(dir / r.replaced), r.mode);
    }
    EXPECT_EQ(::umask(mask), 0022u); // the process's umask was never touched
    if (root) {
        struct stat st {};
        ASSERT_EQ(::stat((dir / "private.kvt").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    for (const char* link : {"relative-link.jpg", "link-to-link.jpg", "dangling.jpg"})
        EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
    EXPECT_EQ(qrtest::FolderNames(dir.path()), (std::vector<std::string>{"dangling.jpg", "link-to-link.jpg", "photos",
                                                           "private.kvt", "relative-link.jpg"}));
    EXPECT_EQ(qrtest::FolderNames(dir / "photos"), (std::vector<std::string>{"not-yet.jpg", "shared.jpg"}));

    // A new file under another umask; a link replaced itself when asked; a mode given.
    ::umask(0077);
    ReplaceFileContents((dir / "new.txt").string(), fresh);
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "new.txt"), 0600u);
    CReplaceFile file;
    ASSERT_TRUE(file.Open((dir / "relative-link.jpg").string(), {.mode = 0640, .followLink = false}));
    ASSERT_TRUE(file.Write(fresh) && file.Commit());
    EXPECT_FALSE(fs::is_symlink(dir / "relative-link.jpg"));
    EXPECT_EQ(ModeOf(dir / "relative-link.jpg"), 0640u);

    // A folder is never replaced.
    EXPECT_THROW(ReplaceFileContents((dir / "photos").string(), fresh), CFileException);
    EXPECT_TRUE(fs::is_directory(dir / "photos"));
}

TEST(ReplaceFile, StreamWritersGoThroughTheWritePath)
{
    for (const bool anonymous : {true, false}) {
        SCOPED_TRACE(anonymous ? "anonymous" : "hidden name");
        qrtest::TempDir dir;
        const fs::path target = dir / "page.htm";
        qrtest::WriteBytes(target, Bytes("old page"));
        InjectFaults faults(anonymous ? Fault{} : Fault{Fault::tmpfile, EOPNOTSUPP, 0});
        CReplaceFile out;
        ASSERT_TRUE(out.Open(target.string()));
        if (!anonymous) {
            // The hidden name is no picture's or message's: dot first, no extension.
            const std::string name = fs::path(out.WritePath()).filename().string();
            EXPECT_EQ(name.front(), '.');
            EXPECT_EQ(name.find('.', 1), std::string::npos) << name;
        }
        {
            CFile file(out.WritePath(), CFile::modeWrite);
            file.Write("new ", 4);
            file.Write("page", 4);
            file.Close();
        }
        EXPECT_EQ(qrtest::ReadBytes(target), Bytes("old page")); // nothing shows before the commit
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(qrtest::ReadBytes(target), Bytes("new page"));
        EXPECT_EQ(qrtest::FolderNames(dir.path()), std::vector<std::string>{"page.htm"});
    }
}

TEST(ReplaceFile, KilledSaveLeavesNothingThatLooksLikeAPicture)
{
    for (const bool anonymous : {true, false}) {
        SCOPED_TRACE(anonymous ? "anonymous" : "hidden name");
        qrtest::TempDir dir;
        qrtest::WriteBytes(dir / "photo.jpg", Bytes("old"));
        const int code = InChild([&] {
            InjectFaults faults(anonymous ? Fault{} : Fault{Fault::tmpfile, EOPNOTSUPP, 0});
            CReplaceFile file;
            if (!file.Open((dir / "photo.jpg").string()) || !file.Write(Bytes("half a picture")))
                return 1;
            ::_exit(0); // killed before the commit: no destructor runs
        });
        ASSERT_EQ(code, 0);
        EXPECT_EQ(qrtest::ReadBytes(dir / "photo.jpg"), Bytes("old"));
        std::vector<std::string> left = qrtest::FolderNames(dir.path());
        left.erase(std::remove(left.begin(), left.end(), "photo.jpg"), left.end());
        if (anonymous) {
            EXPECT_TRUE(left.empty());
            continue;
        }
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(left[0].front(), '.');
        EXPECT_EQ(left[0].find('.', 1), std::string::npos) << left[0];
        // Young left-overs may be another save still running: they stay.
        EXPECT_EQ(SweepTemporaryFiles(dir.path().string()), 0);
        const timespec dayAndMore[2] = {{::time(nullptr) - 25 * 3600, 0}, {::time(nullptr) - 25 * 3600, 0}};
        for (const std::string& name : {left[0], std::string("photo.jpg")})
            ASSERT_EQ(::utimensat(AT_FDCWD, (dir / name).c_str(), dayAndMore, 0), 0);
        // Names like ours but not ours stay too.
        for (const char* other : {".qr-save-short", ".qr-save-abcdefghijk!", ".qr-save-abcdefghijkl.jpg"}) {
            qrtest::WriteBytes(dir / other, Bytes("x"));
            ::utimensat(AT_FDCWD, (dir / other).c_str(), dayAndMore, 0);
        }
        EXPECT_EQ(SweepTemporaryFiles(dir.path().string()), 1);
        EXPECT_EQ(qrtest::FolderNames(dir.path()), (std::vector<std::string>{".qr-save-abcdefghijk!", ".qr-save-abcdefghijkl.jpg",
                                                               ".qr-save-short", "photo.jpg"}));
    }
}

TEST(ReplaceFile, RealRefusalsNameTheirCause)
{
    // Without write access to the folder or the file. Root may write anywhere,
    // so the save runs as another user.
    qrtest::TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    fs::create_directory(dir / "readonly");
    fs::create_directory(dir / "writable");
    const std::vector<uint8_t> old = Bytes("old");
    qrtest::WriteBytes(dir / "readonly/photo.jpg", old);
    qrtest::WriteBytes(dir / "writable/locked.jpg", old);
    fs::permissions(dir / "readonly/photo.jpg", fs::perms(0644));
    fs::permissions(dir / "writable/locked.jpg", fs::perms(0444));
    const uid_t nobody = 65534;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((dir / "readonly/photo.jpg").c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((dir / "writable").c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((dir / "writable/locked.jpg").c_str(), nobody, nobody), 0);
    }
    fs::permissions(dir / "readonly", fs::perms(0555));
    const int code = InChild([&] {
        if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            return 2;
        for (const char* path : {"readonly/photo.jpg", "writable/locked.jpg"}) {
            CReplaceFile file;
            if (file.Open((dir / path).string()) || file.Error().m_cause != CFileException::accessDenied ||
                file.Error().m_lOsError != EACCES)
                return 1;
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    ExpectUntouched(dir / "readonly", dir / "readonly/photo.jpg", old, 0644);
    ExpectUntouched(dir / "writable", dir / "writable/locked.jpg", old, 0444);
    fs::permissions(dir / "readonly", fs::perms(0755));
}

TEST(ReplaceFile, RealFullAndReadOnlyFileSystems)
{
    // A small file system of our own, in a mount namespace of a child, where
    // that is allowed (root); elsewhere the injected faults above stand in.
    qrtest::TempDir dir;
    const std::string mountPoint = dir.path().string();
    const int code = InChild([&] {
        if (!qrtest::MountSmallFileSystem(mountPoint, "size=256k"))
            return qrtest::kNoMountNamespace;
        const std::string photo = mountPoint + "/photo.jpg";
        const std::vector<uint8_t> old(100 * 1024, 0x5A);
        qrtest::WriteBytes(photo, old);
        // Full: room for the old file but not for a second, larger one beside it.
        CReplaceFile file;
        if (file.Open(photo) && file.Write(std::vector<uint8_t>(300 * 1024, 1)) && file.Commit())
            return 1;
        if (file.Error().m_cause != CFileException::diskFull || qrtest::ReadBytes(photo) != old ||
            qrtest::FolderNames(mountPoint).size() != 1)
            return 2;
        // Read-only.
        if (!qrtest::RemountReadOnly(mountPoint))
            return qrtest::kNoMountNamespace;
        CReplaceFile again;
        if (again.Open(photo) || again.Error().m_lOsError != EROFS ||
            again.Error().m_cause != CFileException::accessDenied || qrtest::ReadBytes(photo) != old)
            return 3;
        return 0;
    });
    if (code == qrtest::kNoMountNamespace)
        GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(code, 0);
}
