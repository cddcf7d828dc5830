#include "platform/file_operation.h"

#include "platform/path.h"
#include "platform/replace_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBlock = size_t(1) << 20;

std::string JoinName(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

struct TreeSize {
    uint64_t entries = 0; // folders too
    uint64_t files = 0;   // every entry that is not a folder
    uint64_t bytes = 0;   // of the regular files
};

bool SameId(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The names in a folder (without "." and ".."), sorted; false and errno when
// it cannot be read.
bool ListNames(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (const dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

// What lies below a path, links not followed; the walk ends early when stop is set.
void Measure(const std::string& path, TreeSize& size, const std::atomic<bool>& stop)
{
    struct stat st{};
    if (stop || lstat(path.c_str(), &st) != 0)
        return;
    ++size.entries;
    if (!S_ISDIR(st.st_mode)) {
        ++size.files;
        size.bytes += S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
        return;
    }
    std::vector<std::string> names;
    if (ListNames(path, names))
        for (const std::string& name : names)
            Measure(JoinName(path, name), size, stop);
}

// Reads up to size bytes, fewer only at the end; -1 on an error.
ssize_t ReadFull(int fd, char* data, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, data + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Whether target is source's own entry: the same name in the same folder,
// however the folder is reached.
bool IsOwnEntry(const std::string& source, const std::string& target)
{
    struct stat a{}, b{};
    return LastNameOf(source) == LastNameOf(target) && stat(ParentFolderToOpen(source).c_str(), &a) == 0 &&
           stat(ParentFolderToOpen(target).c_str(), &b) == 0 && SameId(a, b);
}

// "photo.jpg" as its n-th copy beside itself: "photo (copy).jpg", then
// "photo (copy 2).jpg"; a folder's whole name is its stem.
std::string CopyName(const std::string& path, bool folder, int n)
{
    const std::string mark = n == 1 ? " (copy)" : " (copy " + std::to_string(n) + ")";
    const std::string name =
        folder ? LastNameOf(path) + mark : StemOf(path) + mark + DottedExtensionOf(path);
    return JoinName(ParentFolderToOpen(path), name);
}

// A copy into its source's own folder is given a free name, as file managers
// do. Files that differ only in their extension (a photograph and its voice
// note) are numbered alike, so that they stay companions.
void NameCopiesBesideTheirSources(FileOperationRequest& request)
{
    constexpr int kMaxCopyNumber = 9999;
    struct Item {
        size_t index;
        bool folder;
    };
    std::map<std::string, std::vector<Item>> groups; // by the name before the mark
    for (size_t i = 0; i < request.sources.size() && i < request.targets.size(); ++i) {
        if (!IsOwnEntry(request.sources[i], request.targets[i]))
            continue;
        // Named in the source's spelling of the folder, so that companions meet.
        request.targets[i] = request.sources[i];
        struct stat s{};
        const bool folder = lstat(request.sources[i].c_str(), &s) == 0 && S_ISDIR(s.st_mode);
        const std::string first = CopyName(request.targets[i], folder, 1);
        groups[first.substr(0, first.rfind(" (copy)"))].push_back({i, folder});
    }
    std::set<std::string> taken;
    for (const auto& [stem, items] : groups) {
        for (int n = 1; n <= kMaxCopyNumber; ++n) {
            std::vector<std::string> names;
            for (const Item& item : items)
                names.push_back(CopyName(request.targets[item.index], item.folder, n));
            const bool free = std::none_of(names.begin(), names.end(), [&](const std::string& name) {
                struct stat t{};
                return taken.count(name) != 0 || lstat(name.c_str(), &t) == 0;
            });
            if (!free)
                continue;
            for (size_t k = 0; k < items.size(); ++k) {
                taken.insert(names[k]);
                request.targets[items[k].index] = names[k];
            }
            break;
        }
    }
}

} // namespace

CFileOperation::CFileOperation(FileOperationRequest request, IFileOperationPrompt& prompt)
    : m_request(std::move(request)), m_prompt(prompt)
{
}

CFileOperation::~CFileOperation()
{
    Cancel();
    Wait();
}

void CFileOperation::Cancel()
{
    m_cancel = true;
    m_gui.Cancel();
}

void CFileOperation::Start(std::function<void()> onDone)
{
    m_thread = std::thread([this, onDone = std::move(onDone)] {
        CGuiRequests::Scope gui(m_gui);
        Work();
        if (onDone)
            onDone();
    });
}

bool CFileOperation::Run()
{
    Work();
    return Succeeded();
}

void CFileOperation::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::string CFileOperation::CurrentPath() const
{
    std::lock_guard guard(m_currentLock);
    return m_current;
}

void CFileOperation::SetCurrent(const std::string& path)
{
    std::lock_guard guard(m_currentLock);
    m_current = path;
}

void CFileOperation::Work()
{
    for (std::string& s : m_request.sources)
        s = WithoutTrailingSlash(s);
    for (std::string& t : m_request.targets)
        t = WithoutTrailingSlash(t);
    const bool deleting = m_request.operation == FO_DELETE;
    const bool known = deleting || m_request.operation == FO_COPY || m_request.operation == FO_MOVE;
    const bool paired = deleting || m_request.targets.size() == m_request.sources.size();
    if (m_request.operation == FO_COPY && paired)
        NameCopiesBesideTheirSources(m_request);

    TreeSize total;
    for (const std::string& s : m_request.sources)
        Measure(s, total, m_cancel);
    m_total = deleting ? total.entries : total.bytes;
    m_totalFiles = total.files;
    m_counted = true;

    for (size_t i = 0; i < m_request.sources.size(); ++i) {
        const std::string& source = m_request.sources[i];
        Step step;
        if (!known || !paired)
            step = Fail(source, FileOpError::system, EINVAL);
        else if (deleting)
            step = Delete(source);
        else
            step = Transfer(source, m_request.targets[i], m_request.operation == FO_MOVE);
        if (step == Step::stop) {
            m_cancelled = m_cancelled || m_cancel;
            break;
        }
    }
    SetCurrent({});
    m_done = true;
}

CFileOperation::Step CFileOperation::Fail(const std::string& path, FileOpError error, int osError)
{
    ++m_failures;
    if (!m_prompt.ReportError(path, error, osError))
        m_abort = true;
    return m_abort ? Step::stop : Step::failed;
}

CFileOperation::Step CFileOperation::AskReplace(const std::string& target, const std::string& source, bool folder)
{
    if (m_replaceAll)
        return Step::done;
    switch (m_prompt.ConfirmReplace(target, source, folder)) {
    case FileOpAnswer::yesToAll: m_replaceAll = true; return Step::done;
    case FileOpAnswer::yes: return Step::done;
    case FileOpAnswer::no: ++m_skipped; return Step::skipped;
    case FileOpAnswer::cancel: break;
    }
    m_cancelled = true;
    return Step::stop;
}

bool CFileOperation::Blocked(const std::string& source, const std::string& target, Step& step)
{
    struct stat s{}, t{}, followed{};
    lstat(source.c_str(), &s);
    bool same = source == target;
    if (!same && lstat(target.c_str(), &t) == 0) {
        // Also a link whose target is the file it would replace: that would
        // leave a link to itself in place of the file.
        same = SameId(s, t) || (stat(source.c_str(), &followed) == 0 && SameId(followed, t));
    }
    if (same) {
        step = Fail(source, FileOpError::sameFile);
        return true;
    }
    if (S_ISDIR(s.st_mode)) {
        const std::string from = RealPath(source);
        const std::string into = RealPath(ParentFolderToOpen(target));
        if (!from.empty() && !into.empty() &&
            (into == from || from == "/" || into.compare(0, from.size() + 1, from + "/") == 0)) {
            step = Fail(source, FileOpError::intoItself);
            return true;
        }
    }
    return false;
}

CFileOperation::Step CFileOperation::Transfer(const std::string& source, const std::string& target, bool moving)
{
    SetCurrent(source);
    if (Stopping())
        return Step::stop;
    struct stat s{};
    if (lstat(source.c_str(), &s) != 0)
        return Fail(source, errno == ENOENT ? FileOpError::notFound : FileOpError::system, errno);
    const uint64_t bytesBefore = m_doneUnits, filesBefore = m_doneFiles;
    bool merged = false;
    const Step step = TransferEntry(source, target, moving, s, merged);
    if (step == Step::stop || merged)
        return step; // a merged folder's entries have counted themselves
    // Done, skipped or failed: the item has been dealt with as a whole.
    TreeSize size;
    if (S_ISDIR(s.st_mode)) {
        struct stat left{};
        Measure(lstat(source.c_str(), &left) == 0 ? source : target, size, m_cancel);
    } else {
        size.files = 1;
        size.bytes = S_ISREG(s.st_mode) ? static_cast<uint64_t>(s.st_size) : 0;
    }
    m_doneUnits = bytesBefore + size.bytes;
    m_doneFiles = filesBefore + size.files;
    return step;
}

CFileOperation::Step CFileOperation::TransferEntry(const std::string& source, const std::string& target, bool moving,
                                                   const struct stat& s, bool& merged)
{
    struct stat t{};
    Step step = Step::done;
    if (Blocked(source, target, step))
        return step;

    const bool folder = S_ISDIR(s.st_mode);
    const bool exists = lstat(target.c_str(), &t) == 0;
    if (exists) {
        if (folder != S_ISDIR(t.st_mode))
            return Fail(target, FileOpError::kindMismatch);
        step = AskReplace(target, source, folder);
        if (step != Step::done)
            return step;
        if (folder) {
            merged = true;
            return Merge(source, target, moving);
        }
    }

    if (moving) {
        if (rename(source.c_str(), target.c_str()) == 0)
            return Step::done;
        if (errno != EXDEV)
            return Fail(source, FileOpError::system, errno);
        // Another file system: copy, compare, then delete.
    }

    if (folder) {
        if (mkdir(target.c_str(), (s.st_mode & 07777) | S_IRWXU) != 0)
            return Fail(target, FileOpError::system, errno);
        merged = true;
        return Merge(source, target, moving);
    }
    if (S_ISLNK(s.st_mode))
        step = CopyLink(source, target);
    else if (S_ISREG(s.st_mode))
        step = CopyFileData(source, target, moving);
    else
        return Fail(source, FileOpError::specialFile);
    if (step == Step::done && moving && unlink(source.c_str()) != 0)
        return Fail(source, FileOpError::system, errno);
    return step;
}

CFileOperation::Step CFileOperation::Merge(const std::string& source, const std::string& target, bool moving)
{
    // Its times before anything is taken out of it (which changes them).
    struct stat s{};
    if (lstat(source.c_str(), &s) != 0)
        return Fail(source, FileOpError::system, errno);
    std::vector<std::string> names;
    if (!ListNames(source, names))
        return Fail(source, FileOpError::system, errno);
    const size_t failuresBefore = m_failures + m_skipped;
    for (const std::string& name : names)
        if (Transfer(JoinName(source, name), JoinName(target, name), moving) == Step::stop)
            return Step::stop;
    const bool whole = m_failures + m_skipped == failuresBefore;

    // The folder keeps its time once its contents are in (adding them changed it).
    const timespec times[2] = {s.st_atim, s.st_mtim};
    utimensat(AT_FDCWD, target.c_str(), times, 0);
    if (moving && whole && rmdir(source.c_str()) != 0)
        return Fail(source, FileOpError::system, errno);
    // Anything left behind has been reported (or skipped) already.
    return whole ? Step::done : Step::failed;
}

CFileOperation::Step CFileOperation::CopyFileData(const std::string& source, const std::string& target, bool verify)
{
    const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return Fail(source, FileOpError::system, errno);
    struct stat s{};
    if (fstat(in, &s) != 0) {
        const int err = errno;
        close(in);
        return Fail(source, FileOpError::system, err);
    }
    if (!S_ISREG(s.st_mode)) {
        close(in);
        return Fail(source, FileOpError::specialFile);
    }

    // The copy is built by the file writer beside the target and replaces it
    // only when complete, so a replaced file survives any failure. It keeps
    // its source's mode; a link in the target's place is itself replaced, and
    // a read-only target too, as the user has confirmed the replacement.
    CReplaceFile out;
    CReplaceFile::Options options;
    options.mode = s.st_mode & 07777;
    options.followLink = false;
    options.refuseReadOnly = false;
    if (!out.Open(target, options)) {
        close(in);
        return Fail(target, FileOpError::system, out.Error().m_lOsError);
    }
    auto abandon = [&](Step step) {
        out.Abandon();
        close(in);
        return step;
    };
    auto failWith = [&](const std::string& path, FileOpError error, int err) {
        out.Abandon();
        close(in);
        return Fail(path, error, err);
    };

    std::vector<char> buffer(kBlock);
    for (;;) {
        if (Stopping())
            return abandon(Step::stop);
        const ssize_t n = ReadFull(in, buffer.data(), buffer.size());
        if (n < 0)
            return failWith(source, FileOpError::system, errno);
        if (n == 0)
            break;
        if (!out.Write(buffer.data(), static_cast<size_t>(n)))
            return failWith(target, FileOpError::system, out.Error().m_lOsError);
        m_doneUnits += static_cast<uint64_t>(n);
    }
    // On the disk before it is read back.
    if (!out.Sync())
        return failWith(target, FileOpError::system, out.Error().m_lOsError);
    if (verify) {
        if (!SameContent(in, out.Handle())) {
            if (Stopping())
                return abandon(Step::stop);
            return failWith(source, FileOpError::verifyFailed, 0);
        }
    }
    const timespec times[2] = {s.st_atim, s.st_mtim};
    if (futimens(out.Handle(), times) != 0)
        return failWith(target, FileOpError::system, errno);
    close(in);
    if (!out.Commit())
        return Fail(target, FileOpError::system, out.Error().m_lOsError);
    return Step::done;
}

bool CFileOperation::SameContent(int sourceFd, int copyFd)
{
    // Drop the copy's cached pages so that it is read back from the disk.
    posix_fadvise(copyFd, 0, 0, POSIX_FADV_DONTNEED);
    struct stat before{};
    fstat(sourceFd, &before);
    if (lseek(sourceFd, 0, SEEK_SET) != 0 || lseek(copyFd, 0, SEEK_SET) != 0)
        return false;
    std::vector<char> a(kBlock), b(kBlock);
    for (;;) {
        if (Stopping())
            return false;
        const ssize_t na = ReadFull(sourceFd, a.data(), a.size());
        const ssize_t nb = ReadFull(copyFd, b.data(), b.size());
        if (na < 0 || nb < 0 || na != nb || std::memcmp(a.data(), b.data(), static_cast<size_t>(na)) != 0)
            return false;
        if (na == 0)
            break;
    }
    // A source written to meanwhile is not the file that was copied.
    struct stat after{};
    return fstat(sourceFd, &after) == 0 && after.st_size == before.st_size &&
           after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

CFileOperation::Step CFileOperation::CopyLink(const std::string& source, const std::string& target)
{
    struct stat s{};
    if (lstat(source.c_str(), &s) != 0)
        return Fail(source, FileOpError::system, errno);
    std::string link(static_cast<size_t>(s.st_size > 0 ? s.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = readlink(source.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size())
        return Fail(source, FileOpError::system, n < 0 ? errno : ENAMETOOLONG);
    link.resize(static_cast<size_t>(n));

    std::string temp;
    for (unsigned attempt = 0;; ++attempt) {
        temp = HiddenTemporaryName(ParentFolderToOpen(target));
        if (symlink(link.c_str(), temp.c_str()) == 0)
            break;
        if (errno != EEXIST || attempt > 1000)
            return Fail(target, FileOpError::system, errno);
    }
    const timespec times[2] = {s.st_atim, s.st_mtim};
    utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        return Fail(target, FileOpError::system, err);
    }
    return Step::done;
}

CFileOperation::Step CFileOperation::Delete(const std::string& path)
{
    SetCurrent(path);
    if (Stopping())
        return Step::stop;
    struct stat st{};
    if (lstat(path.c_str(), &st) != 0)
        return Fail(path, errno == ENOENT ? FileOpError::notFound : FileOpError::system, errno);
    const bool folder = S_ISDIR(st.st_mode);
    if (!m_deleteAll) {
        switch (m_prompt.ConfirmDelete(path, folder)) {
        case FileOpAnswer::yesToAll: m_deleteAll = true; break;
        case FileOpAnswer::yes: break;
        case FileOpAnswer::no: {
            ++m_skipped;
            TreeSize size;
            Measure(path, size, m_cancel);
            m_doneUnits += size.entries;
            m_doneFiles += size.files;
            return Step::skipped;
        }
        case FileOpAnswer::cancel: m_cancelled = true; return Step::stop;
        }
    }
    if (!folder) {
        if (unlink(path.c_str()) != 0)
            return Fail(path, FileOpError::system, errno);
        ++m_doneUnits;
        ++m_doneFiles;
        return Step::done;
    }
    const std::string name = LastNameOf(path);
    if (name.empty() || name == "." || name == "..")
        return Fail(path, FileOpError::system, EINVAL);
    const int parent = open(ParentFolderToOpen(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return Fail(path, FileOpError::system, errno);
    const Step step = RemoveTree(parent, name, path);
    close(parent);
    return step;
}

CFileOperation::Step CFileOperation::RemoveTree(int parentFd, const std::string& name, const std::string& path)
{
    SetCurrent(path);
    // O_NOFOLLOW: a folder swapped for a link meanwhile loses only the link.
    const int fd = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if ((errno == ENOTDIR || errno == ELOOP) && unlinkat(parentFd, name.c_str(), 0) == 0) {
            ++m_doneUnits;
            ++m_doneFiles;
            return Step::done;
        }
        return Fail(path, FileOpError::system, errno);
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int err = errno;
        close(fd);
        return Fail(path, FileOpError::system, err);
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);

    bool whole = true;
    for (const std::string& child : names) {
        if (Stopping()) {
            closedir(dir);
            return Step::stop;
        }
        const std::string childPath = JoinName(path, child);
        struct stat st{};
        Step step = Step::done;
        if (fstatat(dirfd(dir), child.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            step = Fail(childPath, FileOpError::system, errno);
        else if (S_ISDIR(st.st_mode))
            step = RemoveTree(dirfd(dir), child, childPath);
        else if (unlinkat(dirfd(dir), child.c_str(), 0) != 0)
            step = Fail(childPath, FileOpError::system, errno);
        else {
            ++m_doneUnits;
            ++m_doneFiles;
        }
        if (step == Step::stop) {
            closedir(dir);
            return Step::stop;
        }
        whole = whole && step == Step::done;
    }
    closedir(dir);
    if (!whole)
        return Step::failed; // what could not go has been reported; its folder stays
    if (unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0)
        return Fail(path, FileOpError::system, errno);
    ++m_doneUnits;
    return Step::done;
}
