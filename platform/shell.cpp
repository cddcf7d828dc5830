#include "platform/shell.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// One icon of the shared list: a theme name, and what to show without a theme.
struct IconKey {
    QString themeName;
    QString genericName; // the theme's icon for the whole family of types
    ShellIconKind kind = ShellIconKind::file;
    bool operator==(const IconKey&) const = default;
};

struct IconTable {
    std::mutex lock;
    std::vector<IconKey> keys;
    // Each index's icon, made once on the GUI thread and shared by every
    // item that shows it: the style's stand-ins hold their pictures at every
    // size, tens of kilobytes an icon, which a tree of folders would repeat
    // per item. They go with the application.
    std::vector<QIcon> made;
    bool dropWithApplication = false;
};

IconTable& Icons()
{
    static IconTable table;
    return table;
}

int IndexOf(const IconKey& key)
{
    IconTable& t = Icons();
    std::lock_guard guard(t.lock);
    for (size_t i = 0; i < t.keys.size(); ++i)
        if (t.keys[i] == key)
            return static_cast<int>(i);
    t.keys.push_back(key);
    return static_cast<int>(t.keys.size() - 1);
}

// A desktop's opener answers at once; the generic one runs the program in
// the foreground, so one that ran this long has started the program, and its
// end says nothing about the opening.
constexpr int64_t kOpenerAnswerMs = 5000;
// Without process descriptors the end is looked for this often.
constexpr int kEndPollMs = 500;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ShellProcessEnd EndOf(const siginfo_t& info, int64_t startMs)
{
    ShellProcessEnd end;
    end.exitCode = info.si_code == CLD_EXITED ? info.si_status : -1;
    end.runMs = NowMs() - startMs;
    return end;
}

// true when the child has ended (reaped now, or already gone, when nothing
// more will come); info then holds how it ended.
bool Reaped(idtype_t type, id_t id, siginfo_t& info)
{
    info = siginfo_t{};
    if (waitid(type, id, &info, WEXITED | WNOHANG) == 0)
        return info.si_pid != 0;
    return errno != EINTR;
}

// Reaps the child when it ends and reports it, on the GUI thread. The
// application owns the watcher; a program still running when this one ends
// is left running.
void WatchEnd(pid_t pid, int64_t startMs, ShellProcessEndHandler onEnd)
{
    QCoreApplication* app = QCoreApplication::instance();
    // The system call itself: the C library's header of its wrapper does not declare it for C++.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, fd, startMs, onEnd] {
            siginfo_t info;
            if (!Reaped(P_PIDFD, static_cast<id_t>(fd), info))
                return;
            notifier->setEnabled(false);
            notifier->deleteLater();
            close(fd);
            if (onEnd)
                onEnd(EndOf(info, startMs));
        });
        return;
    }
    auto* timer = new QTimer(app);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pid, startMs, onEnd] {
        siginfo_t info;
        if (!Reaped(P_PID, static_cast<id_t>(pid), info))
            return;
        timer->stop();
        timer->deleteLater();
        if (onEnd)
            onEnd(EndOf(info, startMs));
    });
    timer->start(kEndPollMs);
}

// Not QProcess: a QProcess ends its program when it is destroyed, so an
// opened picture's program would close with ours, and startDetached() cannot
// tell when the program ends or how.
bool RealStart(const std::string& program, const std::vector<std::string>& args, ShellProcessEndHandler onEnd)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    // What this program ignores is not the started one's business.
    sigaddset(&reset, SIGPIPE);
    sigaddset(&reset, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &reset);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int64_t startMs = NowMs();
    const int error = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;

    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return true; // no event loop to report to
    if (QThread::currentThread() == app->thread())
        WatchEnd(pid, startMs, std::move(onEnd));
    else
        QMetaObject::invokeMethod(app, [pid, startMs, onEnd = std::move(onEnd)] { WatchEnd(pid, startMs, onEnd); },
                                  Qt::QueuedConnection);
    return true;
}

ShellProcessRunner& Runner()
{
    static ShellProcessRunner runner;
    return runner;
}

} // namespace

std::string ShellExecutablePath()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ShellDesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir())
        return {};
    return desktop.toStdString();
}

std::string ShellTypeName(const std::string& path)
{
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(ToQ(path));
    return type.isValid() ? type.comment().toStdString() : std::string();
}

CShellImageList& CShellImageList::System(bool large)
{
    static CShellImageList largeList(32), smallList(16);
    return large ? largeList : smallList;
}

int CShellImageList::GetImageCount() const
{
    IconTable& t = Icons();
    std::lock_guard guard(t.lock);
    return static_cast<int>(t.keys.size());
}

QIcon CShellImageList::GetIcon(int index) const
{
    IconTable& t = Icons();
    const size_t at = static_cast<size_t>(index);
    IconKey key;
    {
        std::lock_guard guard(t.lock);
        if (index < 0 || at >= t.keys.size())
            return {};
        if (at < t.made.size() && !t.made[at].isNull())
            return t.made[at];
        key = t.keys[at];
    }
    QIcon icon = QIcon::fromTheme(key.themeName);
    if (icon.isNull() && !key.genericName.isEmpty())
        icon = QIcon::fromTheme(key.genericName);
    if (icon.isNull()) {
        // Without a theme (no desktop) the style's own pictures stand in.
        QFileIconProvider::IconType type = QFileIconProvider::File;
        switch (key.kind) {
        case ShellIconKind::file: type = QFileIconProvider::File; break;
        case ShellIconKind::folder: type = QFileIconProvider::Folder; break;
        case ShellIconKind::computer: type = QFileIconProvider::Computer; break;
        case ShellIconKind::drive: type = QFileIconProvider::Drive; break;
        case ShellIconKind::desktop: type = QFileIconProvider::Desktop; break;
        }
        icon = QFileIconProvider().icon(type);
    }
    std::lock_guard guard(t.lock);
    if (t.made.size() <= at)
        t.made.resize(at + 1);
    t.made[at] = icon;
    if (!std::exchange(t.dropWithApplication, true))
        qAddPostRoutine([] {
            IconTable& table = Icons();
            std::lock_guard g(table.lock);
            table.made.clear();
            table.dropWithApplication = false;
        });
    return icon;
}

int CShellImageList::IndexForFile(const std::string& path)
{
    static const QMimeDatabase db;
    struct stat st{};
    IconKey key;
    key.kind = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ShellIconKind::folder : ShellIconKind::file;
    if (key.kind == ShellIconKind::folder) {
        key.themeName = QStringLiteral("folder");
    } else {
        const QMimeType type = db.mimeTypeForFile(ToQ(path), QMimeDatabase::MatchExtension);
        // Theme lookups wait for GetIcon on the GUI thread; any thread may ask for an index.
        key.themeName = type.iconName();
        key.genericName = type.genericIconName();
    }
    return IndexOf(key);
}

int CShellImageList::IndexForThemeIcon(const std::string& themeName, ShellIconKind fallback)
{
    IconKey key;
    key.themeName = ToQ(themeName);
    key.kind = fallback;
    return IndexOf(key);
}

ShellProcessRunner SetShellProcessRunner(ShellProcessRunner runner)
{
    return std::exchange(Runner(), std::move(runner));
}

bool StartShellProcess(const std::string& program, const std::vector<std::string>& args, ShellProcessEndHandler onEnd)
{
    if (Runner())
        return Runner()(program, args, std::move(onEnd));
    return RealStart(program, args, std::move(onEnd));
}

ShellOpenResult ShellOpenResultOf(const ShellProcessEnd& end)
{
    if (end.runMs >= kOpenerAnswerMs)
        return ShellOpenResult::opened;
    // The opener's documented exit codes.
    switch (end.exitCode) {
    case 0: return ShellOpenResult::opened;
    case 2: return ShellOpenResult::fileNotFound;
    case 3: return ShellOpenResult::noAssociation;
    default: return ShellOpenResult::failed;
    }
}

bool ShellOpenFile(const std::string& path, std::function<void(ShellOpenResult)> onResult)
{
    // An absolute path never starts with '-', so the opener cannot take it for an option.
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return false;
        absolute = std::string(cwd) + "/" + path;
    }
    return StartShellProcess("xdg-open", {absolute}, [onResult = std::move(onResult)](const ShellProcessEnd& end) {
        if (onResult)
            onResult(ShellOpenResultOf(end));
    });
}
