#include "platform/shell.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <climits>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// One icon of the shared list: a theme name, and what to show without a theme.
struct IconKey {
    QString themeName;
    QString genericName; // the theme's icon for the whole family of types
    bool folder = false;
    bool operator==(const IconKey&) const = default;
};

struct IconTable {
    std::mutex lock;
    std::vector<IconKey> keys;
};

IconTable& Icons()
{
    static IconTable table;
    return table;
}

// How long opening a file may keep the caller waiting for the opener's answer.
// A desktop's opener answers at once; the generic one runs the program in the
// foreground, so still running after this means the program has started.
constexpr int kOpenerWaitMs = 5000;

ShellProcessResult RealRunner(const std::string& program, const std::vector<std::string>& args, bool wait)
{
    QStringList list;
    for (const std::string& a : args)
        list << ToQ(a);
    ShellProcessResult result;
    if (!wait) {
        result.started = QProcess::startDetached(ToQ(program), list);
        return result;
    }
    auto process = std::make_unique<QProcess>();
    process->start(ToQ(program), list);
    if (!process->waitForStarted()) {
        result.started = false;
        return result;
    }
    result.started = true;
    QCoreApplication* app = QCoreApplication::instance();
    const bool guiThread = app && QThread::currentThread() == app->thread();
    if (process->waitForFinished(guiThread ? kOpenerWaitMs : -1)) {
        result.finished = true;
        result.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
        return result;
    }
    // Still running: the application keeps it until it ends, so it is not killed here.
    QProcess* keep = process.release();
    keep->setParent(app);
    QObject::connect(keep, &QProcess::finished, keep, &QObject::deleteLater);
    return result;
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
    IconKey key;
    {
        IconTable& t = Icons();
        std::lock_guard guard(t.lock);
        if (index < 0 || static_cast<size_t>(index) >= t.keys.size())
            return {};
        key = t.keys[static_cast<size_t>(index)];
    }
    QIcon icon = QIcon::fromTheme(key.themeName);
    if (icon.isNull() && !key.genericName.isEmpty())
        icon = QIcon::fromTheme(key.genericName);
    if (icon.isNull())
        icon = QFileIconProvider().icon(key.folder ? QFileIconProvider::Folder : QFileIconProvider::File);
    return icon;
}

int CShellImageList::IndexForFile(const std::string& path)
{
    static const QMimeDatabase db;
    struct stat st{};
    IconKey key;
    key.folder = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (key.folder) {
        key.themeName = QStringLiteral("folder");
    } else {
        const QMimeType type = db.mimeTypeForFile(ToQ(path), QMimeDatabase::MatchExtension);
        // Theme lookups wait for GetIcon on the GUI thread; any thread may ask for an index.
        key.themeName = type.iconName();
        key.genericName = type.genericIconName();
    }
    IconTable& t = Icons();
    std::lock_guard guard(t.lock);
    for (size_t i = 0; i < t.keys.size(); ++i)
        if (t.keys[i] == key)
            return static_cast<int>(i);
    t.keys.push_back(key);
    return static_cast<int>(t.keys.size() - 1);
}

ShellProcessRunner SetShellProcessRunner(ShellProcessRunner runner)
{
    return std::exchange(Runner(), std::move(runner));
}

ShellProcessResult RunShellProcess(const std::string& program, const std::vector<std::string>& args, bool wait)
{
    if (Runner())
        return Runner()(program, args, wait);
    return RealRunner(program, args, wait);
}

ShellOpenResult ShellOpenFile(const std::string& path)
{
    // An absolute path never starts with '-', so the opener cannot take it for an option.
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return ShellOpenResult::failed;
        absolute = std::string(cwd) + "/" + path;
    }
    const ShellProcessResult r = RunShellProcess("xdg-open", {absolute}, true);
    if (!r.started)
        return ShellOpenResult::failed;
    if (!r.finished)
        return ShellOpenResult::opened;
    // The opener's documented exit codes.
    switch (r.exitCode) {
    case 0: return ShellOpenResult::opened;
    case 2: return ShellOpenResult::fileNotFound;
    case 3: return ShellOpenResult::noAssociation;
    default: return ShellOpenResult::failed;
    }
}
