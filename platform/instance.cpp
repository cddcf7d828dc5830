#include "platform/instance.h"

#include "platform/framework/dialog.h"
#include "platform/framework/wnd.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// The undefined-behaviour checker's type check on a member call opens a pipe;
// code that runs when no descriptor is left goes without it, or the checker
// itself would fail there.
#if defined(__has_attribute)
#if __has_attribute(no_sanitize)
#define QR_RUNS_WITHOUT_DESCRIPTORS __attribute__((no_sanitize("vptr")))
#endif
#endif
#ifndef QR_RUNS_WITHOUT_DESCRIPTORS
#define QR_RUNS_WITHOUT_DESCRIPTORS
#endif

namespace {

// Ours alone: made by us, reachable by nobody else.
bool IsPrivateFolder(const std::string& folder)
{
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// A lock file in the private folder, never through a link put in its place.
int OpenLockFile(const std::string& name, const char* suffix)
{
    const std::string folder = InstanceRuntimeFolder();
    if (folder.empty())
        return -1;
    const std::string path = folder + "/" + name + suffix;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The window ids the instance protocol gives out: a number of this process's
// own, never an address.
const char* const kInstanceIdProperty = "qrInstanceWindowId";

uint64_t InstanceIdOf(QWidget* w)
{
    static uint64_t next = 1;
    const QVariant id = w->property(kInstanceIdProperty);
    if (id.isValid())
        return id.toULongLong();
    w->setProperty(kInstanceIdProperty, QVariant::fromValue<qulonglong>(next));
    return next++;
}

// The window of an id, only when it is one of our top-level windows now.
QWidget* FindTopLevel(uint64_t id)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const QVariant given = w->property(kInstanceIdProperty);
        if (given.isValid() && given.toULongLong() == id)
            return w;
    }
    return nullptr;
}

} // namespace

std::string InstanceRuntimeFolder(std::string* refused)
{
    // The session's folder is used only when it is private, like any other.
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) {
        if (IsPrivateFolder(xdg))
            return xdg;
        if (refused)
            *refused = xdg;
        return {};
    }
    // Without a session folder: a private one in the temporary folder, unless
    // someone else made that name first; then one in the home folder.
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/quiram-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    if (IsPrivateFolder(folder))
        return folder;
    const char* home = std::getenv("HOME");
    folder = std::string(home && *home ? home : ".") + "/.quiram-runtime";
    ::mkdir(folder.c_str(), 0700);
    if (IsPrivateFolder(folder))
        return folder;
    if (refused)
        *refused = folder;
    return {};
}

// ---------------------------------------------------------------------------

std::unique_ptr<CInstanceLock> CInstanceLock::Acquire(const std::string& name, int timeoutMs)
{
    int fd = OpenLockFile(name, ".lock");
    if (fd < 0)
        return nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return std::unique_ptr<CInstanceLock>(new CInstanceLock(name, fd));
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::close(fd);
    return nullptr;
}

CInstanceLock::~CInstanceLock()
{
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

CInstanceHandOverLock::CInstanceHandOverLock(const std::string& name)
{
    m_fd = OpenLockFile(name, ".handover");
    if (m_fd >= 0)
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
}

CInstanceHandOverLock::~CInstanceHandOverLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

// ---------------------------------------------------------------------------

std::string InstanceWindowClassName(QWidget* w)
{
    CWnd* wnd = CWnd::FromHandlePermanent(w);
    if (!wnd)
        return std::string("Qt:") + w->metaObject()->className();
    if (dynamic_cast<CDialog*>(wnd))
        return "#32770";
    return std::string("Afx:") + wnd->GetRuntimeClass()->m_lpszClassName;
}

std::vector<InstanceWindow> ListOwnTopLevelWindows()
{
    std::vector<InstanceWindow> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowType() == Qt::Desktop)
            continue;
        InstanceWindow iw;
        iw.id = InstanceIdOf(w);
        CWnd* wnd = CWnd::FromHandlePermanent(w);
        iw.title = wnd ? wnd->GetWindowText() : w->windowTitle().toStdString();
        iw.className = InstanceWindowClassName(w);
        out.push_back(std::move(iw));
    }
    return out;
}

// ---------------------------------------------------------------------------

CInstanceServer::CInstanceServer(const std::string& name, QObject* parent) : QObject(parent), m_name(name) {}

CInstanceServer::~CInstanceServer()
{
    for (auto& [id, c] : m_connections) {
        c.socket->disconnect(this);
        delete c.socket;
    }
    m_connections.clear();
    m_acceptNotifier.reset();
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_boundPath.c_str());
    }
}

std::string CInstanceServer::SocketPath() const
{
    const std::string folder = InstanceRuntimeFolder();
    return folder.empty() ? std::string() : folder + "/" + m_name + ".socket";
}

BOOL CInstanceServer::Listen()
{
    // The socket is made by hand rather than through QLocalServer, which
    // closes and deletes it for good when an accept fails (out of descriptors).
    const std::string path = SocketPath();
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    // No private folder: no server, rather than one that others could reach.
    if (m_listenFd >= 0 || path.empty() || path.size() >= sizeof(addr.sun_path))
        return FALSE;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return FALSE;
    // We hold the lock of this name, so a socket file there is a dead holder's.
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return FALSE;
    }
    // Only this user may connect (the folder is private too); a link put in
    // the socket's place is not followed.
    if (::fchmodat(AT_FDCWD, path.c_str(), 0600, AT_SYMLINK_NOFOLLOW) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return FALSE;
    }
    m_listenFd = fd;
    m_boundPath = path;
    m_acceptNotifier = std::make_unique<QSocketNotifier>(qintptr(fd), QSocketNotifier::Read);
    connect(m_acceptNotifier.get(), &QSocketNotifier::activated, this,
            [this]() QR_RUNS_WITHOUT_DESCRIPTORS { OnAcceptable(); });
    m_retryTimer = std::make_unique<QTimer>();
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(kAcceptRetryMs);
    connect(m_retryTimer.get(), &QTimer::timeout, this, [this]() QR_RUNS_WITHOUT_DESCRIPTORS { ResumeAccepting(); });
    return TRUE;
}

void CInstanceServer::SetReady(BOOL bReady)
{
    m_bReady = bReady;
    if (m_bReady)
        Drain();
}

QR_RUNS_WITHOUT_DESCRIPTORS void CInstanceServer::OnAcceptable()
{
    while (m_connections.size() < kMaxConnections) {
        if (NextDescriptorIsInReserve()) {
            // The caller waits in the backlog until some are free again.
            PauseAccepting(TRUE);
            return;
        }
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            AddConnection(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        // Out of descriptors or memory: the caller stays in the backlog and
        // is taken once something was freed.
        PauseAccepting(TRUE);
        return;
    }
    // At the limit: the next one is taken when a connection ends.
    PauseAccepting(FALSE);
}

QR_RUNS_WITHOUT_DESCRIPTORS BOOL CInstanceServer::NextDescriptorIsInReserve() const
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return FALSE;
    // Descriptors come lowest first: the number a copy would get is the one
    // the next caller would get.
    const int probe = ::fcntl(m_listenFd, F_DUPFD_CLOEXEC, 0);
    if (probe < 0)
        return TRUE;
    ::close(probe);
    return rlim_t(probe) + kDescriptorReserve >= limit.rlim_cur;
}

QR_RUNS_WITHOUT_DESCRIPTORS void CInstanceServer::PauseAccepting(BOOL bRetryLater)
{
    m_bAcceptPaused = TRUE;
    m_acceptNotifier->setEnabled(false);
    if (bRetryLater)
        m_retryTimer->start();
}

QR_RUNS_WITHOUT_DESCRIPTORS void CInstanceServer::ResumeAccepting()
{
    if (!m_bAcceptPaused || m_connections.size() >= kMaxConnections)
        return;
    m_bAcceptPaused = FALSE;
    m_retryTimer->stop();
    m_acceptNotifier->setEnabled(true);
}

void CInstanceServer::AddConnection(int fd)
{
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        delete socket;
        ::close(fd);
        return;
    }
    // What the socket holds for us between reads stays small.
    socket->setReadBufferSize(qint64(kInstanceMaxRequestLine) * 4);
    const uint64_t id = m_nextConnection++;
    m_connections[id].socket = socket;
    connect(socket, &QLocalSocket::readyRead, this, [this, id]() { OnReadyRead(id); });
    connect(socket, &QLocalSocket::disconnected, this, [this, id]() { Drop(id); });
    if (socket->bytesAvailable())
        OnReadyRead(id);
}

void CInstanceServer::OnReadyRead(uint64_t id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = it->second;
    char buffer[4096];
    for (;;) {
        qint64 n = c.socket->read(buffer, sizeof(buffer));
        if (n <= 0)
            break;
        c.lines.Append(buffer, size_t(n));
        std::string line;
        while (c.lines.Next(line)) {
            if (++c.queued > kMaxQueuedRequests) {
                Drop(id);
                return;
            }
            m_pending.push_back({id, std::move(line)});
            // Answered at once when nothing runs: only a holder that is not
            // ready yet, or busy in a command, keeps requests waiting.
            if (m_bReady)
                Drain();
            it = m_connections.find(id);
            if (it == m_connections.end())
                return;
        }
        if (c.lines.Overflowed()) {
            Drop(id);
            return;
        }
    }
}

void CInstanceServer::Drop(uint64_t id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    QLocalSocket* socket = it->second.socket;
    m_connections.erase(it);
    std::erase_if(m_pending, [id](const Pending& p) { return p.connection == id; });
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    ResumeAccepting();
}

void CInstanceServer::Drain()
{
    // A command may run a modal loop that brings more requests: they queue
    // behind it instead of overtaking it.
    if (m_bDraining)
        return;
    m_bDraining = TRUE;
    while (m_bReady && !m_pending.empty()) {
        Pending p = std::move(m_pending.front());
        m_pending.pop_front();
        auto it = m_connections.find(p.connection);
        if (it == m_connections.end())
            continue;
        --it->second.queued;
        Handle(p.connection, p.line);
    }
    m_bDraining = FALSE;
}

void CInstanceServer::Handle(uint64_t id, const std::string& line)
{
    const InstanceRequest request = ParseInstanceRequest(line);
    std::string reply = "ERR\n";
    switch (request.kind) {
    case InstanceRequest::List:
        reply.clear();
        for (const InstanceWindow& w : ListOwnTopLevelWindows()) {
            reply += FormatInstanceWindowLine(w);
            reply += '\n';
        }
        reply += "END\n";
        break;
    case InstanceRequest::Front:
        if (QWidget* w = FindTopLevel(request.window)) {
            if (CWnd* wnd = CWnd::FromHandlePermanent(w))
                wnd->ShowWindow(SW_SHOW);
            else
                w->show();
            if (w->isMinimized())
                w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            w->raise();
            w->activateWindow();
            reply = "OK\n";
        }
        break;
    case InstanceRequest::Command:
        if (QWidget* w = FindTopLevel(request.window)) {
            ::SendMessage(w, WM_COMMAND, WPARAM(request.command), 0);
            reply = "OK\n";
        }
        break;
    case InstanceRequest::Invalid: break;
    }
    // The command may have run a loop in which the caller went away.
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    QLocalSocket* socket = it->second.socket;
    socket->write(reply.data(), qint64(reply.size()));
    socket->flush();
    if (socket->bytesToWrite() > kMaxUnreadReply)
        Drop(id);
}

// ---------------------------------------------------------------------------

CInstanceClient::CInstanceClient(std::string name) : m_name(std::move(name)) {}

CInstanceClient::~CInstanceClient()
{
    if (m_socket) {
        m_socket->disconnectFromServer();
        if (m_socket->state() != QLocalSocket::UnconnectedState)
            m_socket->waitForDisconnected(1000);
    }
}

BOOL CInstanceClient::Connect(int timeoutMs)
{
    const std::string folder = InstanceRuntimeFolder();
    if (folder.empty())
        return FALSE;
    const std::string socketPath = folder + "/" + m_name + ".socket";
    QString path = QString::fromStdString(socketPath);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        // Only our own socket, never one reached through a link.
        struct stat st {};
        const bool ours = ::lstat(socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::getuid();
        m_socket = std::make_unique<QLocalSocket>();
        if (ours) {
            m_socket->connectToServer(path);
            if (m_socket->waitForConnected(int(std::max<qint64>(1, deadline.remainingTime()))))
                return TRUE;
        }
        if (deadline.hasExpired())
            break;
        QThread::msleep(50);
    }
    m_socket.reset();
    return FALSE;
}

BOOL CInstanceClient::Request(const InstanceRequest& request, CInstanceReplyReader& reply, int timeoutMs)
{
    if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState)
        return FALSE;
    std::string out = FormatInstanceRequest(request) + "\n";
    m_socket->write(out.data(), qint64(out.size()));
    if (!m_socket->waitForBytesWritten(timeoutMs) && m_socket->bytesToWrite() > 0)
        return FALSE;
    QDeadlineTimer deadline(timeoutMs);
    char buffer[16384];
    for (;;) {
        for (qint64 n; (n = m_socket->read(buffer, sizeof(buffer))) > 0;)
            if (reply.Feed(buffer, size_t(n)) == CInstanceReplyReader::Failed)
                return FALSE;
        if (reply.GetState() == CInstanceReplyReader::Done)
            return TRUE;
        if (deadline.hasExpired() || m_socket->state() != QLocalSocket::ConnectedState)
            return FALSE;
        if (!m_socket->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))) &&
            m_socket->bytesAvailable() == 0)
            return FALSE;
    }
}

BOOL CInstanceClient::ListWindows(std::vector<InstanceWindow>& out, int timeoutMs)
{
    out.clear();
    CInstanceReplyReader reply(true);
    if (!Request({InstanceRequest::List}, reply, timeoutMs))
        return FALSE;
    out = reply.Windows();
    return TRUE;
}

BOOL CInstanceClient::BringToFront(uint64_t id, int timeoutMs)
{
    CInstanceReplyReader reply(false);
    return Request({InstanceRequest::Front, id}, reply, timeoutMs);
}

BOOL CInstanceClient::SendCommand(uint64_t id, UINT nCommand, int timeoutMs)
{
    CInstanceReplyReader reply(false);
    return Request({InstanceRequest::Command, id, nCommand}, reply, timeoutMs);
}
