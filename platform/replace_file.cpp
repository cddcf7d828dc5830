#include "platform/replace_file.h"

#include "platform/path.h"
#include "platform/replace_file_calls.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr char kHiddenPrefix[] = ".qr-save-";
constexpr size_t kHiddenPrefixLength = sizeof kHiddenPrefix - 1;
constexpr size_t kHiddenRandomLength = 12;
// Left-overs younger than this may belong to a save still running elsewhere.
constexpr time_t kSweepAge = 24 * 60 * 60;
constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;

int RealOpenAt(int dirFd, const char* path, int flags, mode_t mode) { return ::openat(dirFd, path, flags, mode); }

const ReplaceFileCalls kSystemCalls{RealOpenAt, ::write, ::fsync, ::close, ::fchmod, ::linkat, ::renameat};
std::atomic<const ReplaceFileCalls*> g_calls{&kSystemCalls};

const ReplaceFileCalls& Calls() { return *g_calls.load(); }

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string RandomHiddenName()
{
    static constexpr char kChars[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned char bytes[kHiddenRandomLength];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    std::string name = kHiddenPrefix;
    for (unsigned char b : bytes)
        name += kChars[b % (sizeof kChars - 1)];
    return name;
}

bool IsHiddenName(const std::string& name)
{
    if (name.size() != kHiddenPrefixLength + kHiddenRandomLength || name.compare(0, kHiddenPrefixLength, kHiddenPrefix) != 0)
        return false;
    for (size_t i = kHiddenPrefixLength; i < name.size(); ++i)
        if (!IsAlnum(name[i]))
            return false;
    return true;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return (std::filesystem::path(folder) / name).string();
}

// The file a chain of symbolic links ends at (which need not exist yet).
bool FollowLinks(std::string& path, int& err)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) {
            err = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        link.resize(static_cast<size_t>(n));
        if (link.empty()) {
            err = ENOENT;
            return false;
        }
        if (link.front() != '/' && path.find('/') != std::string::npos)
            link = Join(ParentFolderToOpen(path), link);
        path = link;
    }
    err = ELOOP;
    return false;
}

// Linking an anonymous file into a folder goes through its /proc name.
bool ProcFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// Each folder is swept once in a process, after the first save into it.
void SweepOnce(int dirFd, const std::string& folder)
{
    struct stat st {};
    if (::fstat(dirFd, &st) != 0)
        return;
    static std::mutex lock;
    static std::set<std::pair<dev_t, ino_t>> swept;
    {
        std::lock_guard guard(lock);
        if (!swept.insert({st.st_dev, st.st_ino}).second)
            return;
    }
    SweepTemporaryFiles(folder);
}

} // namespace

const ReplaceFileCalls& SystemReplaceFileCalls() { return kSystemCalls; }

const ReplaceFileCalls* SetReplaceFileCalls(const ReplaceFileCalls* calls)
{
    return g_calls.exchange(calls ? calls : &kSystemCalls);
}

CReplaceFile::~CReplaceFile() { Abandon(); }

bool CReplaceFile::Fail(int err)
{
    if (m_error.m_cause == CFileException::none)
        m_error = CFileException(CFileException::OsErrorToCause(err), err, m_asked);
    Release();
    return false;
}

void CReplaceFile::Release()
{
    if (m_fd >= 0)
        Calls().close(m_fd);
    m_fd = -1;
    if (!m_hiddenName.empty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_hiddenName.c_str(), 0);
    m_hiddenName.clear();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
    m_writePath.clear();
    m_anonymous = false;
}

void CReplaceFile::Abandon() { Release(); }

bool CReplaceFile::Open(const std::string& target, const Options& options)
{
    Release();
    m_error = CFileException();
    m_asked = target;
    m_target = target;
    m_durable = options.durable;
    int err = 0;
    if (options.followLink && !FollowLinks(m_target, err))
        return Fail(err);
    const std::string folder = ParentFolderToOpen(m_target);
    m_targetName = LastNameOf(m_target);
    if (m_targetName.empty() || m_targetName == "." || m_targetName == "..")
        return Fail(EISDIR);

    struct stat old {};
    const bool existed = ::lstat(m_target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return Fail(EISDIR);
    const bool oldIsFile = existed && S_ISREG(old.st_mode);
    // A file its owner made read-only is not swapped for a writable one behind its back.
    if (oldIsFile && options.refuseReadOnly && ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errno);
    // A new file gets what the umask leaves of 0666, as any program's would.
    const bool setMode = options.mode.has_value() || oldIsFile;
    const mode_t mode = options.mode ? *options.mode & 07777 : oldIsFile ? old.st_mode & 07777 : 0666;

    m_dirFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return Fail(errno);

    // Created with no more access than it will have, so a private file never
    // passes through a readable state.
    const mode_t createMode = mode & 0777;
    if (ProcFdAvailable()) {
        m_fd = Calls().openat(m_dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, createMode);
        if (m_fd >= 0) {
            m_anonymous = true;
            m_writePath = "/proc/self/fd/" + std::to_string(m_fd);
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return Fail(errno);
        }
    }
    for (int attempt = 0; m_fd < 0; ++attempt) {
        const std::string name = RandomHiddenName();
        m_fd = Calls().openat(m_dirFd, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, createMode);
        if (m_fd >= 0) {
            m_hiddenName = name;
            m_writePath = Join(folder, name);
        } else if (errno != EEXIST || attempt + 1 >= kNameAttempts) {
            return Fail(errno);
        }
    }

    if (oldIsFile && !options.mode) {
        // Best effort: only the owner's own groups (or root) may give it away.
        if (::geteuid() == 0)
            (void)::fchown(m_fd, old.st_uid, old.st_gid);
        else if (old.st_gid != ::getegid())
            (void)::fchown(m_fd, static_cast<uid_t>(-1), old.st_gid);
    }
    if (setMode && Calls().fchmod(m_fd, mode) != 0)
        return Fail(errno);
    return true;
}

bool CReplaceFile::Write(const void* data, size_t size)
{
    if (m_fd < 0)
        return Fail(m_error.m_lOsError ? m_error.m_lOsError : EBADF);
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = Calls().write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : EIO);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CReplaceFile::Sync()
{
    if (m_fd < 0)
        return Fail(m_error.m_lOsError ? m_error.m_lOsError : EBADF);
    // EINVAL: a file system that has nothing to sync.
    if (Calls().fsync(m_fd) != 0 && errno != EINVAL)
        return Fail(errno);
    return true;
}

bool CReplaceFile::Commit()
{
    if (m_fd < 0)
        return Fail(m_error.m_lOsError ? m_error.m_lOsError : EBADF);
    if (m_durable && !Sync())
        return false;
    if (m_anonymous) {
        // The finished file gets a hidden name first: a file system link
        // cannot replace the target, the rename below can.
        for (int attempt = 0; m_hiddenName.empty(); ++attempt) {
            const std::string name = RandomHiddenName();
            if (Calls().linkat(AT_FDCWD, m_writePath.c_str(), m_dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                m_hiddenName = name;
            else if (errno != EEXIST || attempt + 1 >= kNameAttempts)
                return Fail(errno);
        }
    }
    const int fd = std::exchange(m_fd, -1);
    if (Calls().close(fd) != 0)
        return Fail(errno);
    if (Calls().renameat(m_dirFd, m_hiddenName.c_str(), m_dirFd, m_targetName.c_str()) != 0)
        return Fail(errno);
    m_hiddenName.clear();
    // The rename itself reaches the disk. The new file is complete and in
    // place, the old one gone; but when the folder cannot be flushed the
    // rename may not survive a crash, and the save is not reported done.
    // (A folder we may not read cannot be opened to flush; nothing says it failed.)
    const int dir = m_durable ? ::openat(m_dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (dir >= 0) {
        const int synced = Calls().fsync(dir);
        const int err = errno;
        ::close(dir);
        if (synced != 0 && err != EINVAL) {
            SweepOnce(m_dirFd, ParentFolderToOpen(m_target));
            return Fail(err);
        }
    }
    SweepOnce(m_dirFd, ParentFolderToOpen(m_target));
    Release();
    return true;
}

int CReplaceFile::FileSystemError() const
{
    if (m_fd < 0)
        return 0;
    if (Calls().fsync(m_fd) != 0 && errno != EINVAL)
        return errno;
    struct statvfs fs {};
    if (::fstatvfs(m_fd, &fs) == 0 && fs.f_blocks > 0 && (::geteuid() == 0 ? fs.f_bfree : fs.f_bavail) == 0)
        return ENOSPC;
    return 0;
}

void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes)
{
    ReplaceFileContents(path, bytes, CReplaceFile::Options{});
}

void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes, const CReplaceFile::Options& options)
{
    CReplaceFile file;
    if (!file.Open(path, options) || !file.Write(bytes) || !file.Commit())
        throw file.Error();
}

std::string HiddenTemporaryName(const std::string& folder) { return Join(folder, RandomHiddenName()); }

int SweepTemporaryFiles(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (!IsHiddenName(name))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || st.st_uid != ::geteuid() || now - st.st_mtime < kSweepAge)
            continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}
