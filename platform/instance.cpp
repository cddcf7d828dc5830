#include "platform/instance.h"

#include "platform/framework/dialog.h"
#include "platform/framework/wnd.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A request or answer line longer than this ends the connection.
constexpr qsizetype kMaxLine = 64 * 1024;

std::string Encode(const std::string& s)
{
    return QUrl::toPercentEncoding(QString::fromStdString(s)).toStdString();
}

std::string Decode(const std::string& s)
{
    return QUrl::fromPercentEncoding(QByteArray::fromStdString(s)).toStdString();
}

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        size_t sp = line.find(' ', i);
        out.push_back(line.substr(i, sp == std::string::npos ? std::string::npos : sp - i));
        if (sp == std::string::npos)
            break;
        i = sp + 1;
    }
    return out;
}

bool ParseNumber(const std::string& s, uint64_t& value)
{
    if (s.empty() || s.size() > 20)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        uint64_t next = v * 10 + uint64_t(c - '0');
        if (next / 10 != v)
            return false;
        v = next;
    }
    value = v;
    return true;
}

int OpenLockFile(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// The window of an id, only when it is one of our top-level windows now.
QWidget* FindTopLevel(uint64_t id)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (uint64_t(reinterpret_cast<uintptr_t>(w)) == id)
            return w;
    return nullptr;
}

} // namespace

namespace {

// Ours alone: made by us, reachable by nobody else.
bool IsPrivateFolder(const std::string& folder)
{
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

std::string InstanceRuntimeFolder()
{
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg)
        return xdg;
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
    return folder;
}

// ---------------------------------------------------------------------------

std::unique_ptr<CInstanceLock> CInstanceLock::Acquire(const std::string& name, int timeoutMs)
{
    int fd = OpenLockFile(InstanceRuntimeFolder() + "/" + name + ".lock");
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
    m_fd = OpenLockFile(InstanceRuntimeFolder() + "/" + name + ".handover");
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
        iw.id = uint64_t(reinterpret_cast<uintptr_t>(w));
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
    if (m_server)
        m_server->close();
}

std::string CInstanceServer::SocketPath() const { return InstanceRuntimeFolder() + "/" + m_name + ".socket"; }

BOOL CInstanceServer::Listen()
{
    QString path = QString::fromStdString(SocketPath());
    // We hold the lock of this name, so a socket file there is a dead holder's.
    QLocalServer::removeServer(path);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        return FALSE;
    connect(m_server.get(), &QLocalServer::newConnection, this, &CInstanceServer::OnNewConnection);
    return TRUE;
}

void CInstanceServer::SetReady(BOOL bReady)
{
    m_bReady = bReady;
    if (m_bReady)
        Drain();
}

void CInstanceServer::OnNewConnection()
{
    while (QLocalSocket* s = m_server->nextPendingConnection()) {
        s->setParent(this);
        connect(s, &QLocalSocket::readyRead, this, [this, s]() { OnReadyRead(s); });
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        if (s->bytesAvailable())
            OnReadyRead(s);
    }
}

void CInstanceServer::OnReadyRead(QLocalSocket* socket)
{
    QPointer<QLocalSocket> guard = socket;
    while (guard && socket->canReadLine()) {
        QByteArray line = socket->readLine(kMaxLine);
        if (!line.endsWith('\n')) {
            socket->abort();
            return;
        }
        line.chop(1);
        m_pending.push_back({guard, line.toStdString()});
    }
    if (guard && socket->bytesAvailable() > kMaxLine)
        socket->abort();
    if (m_bReady)
        Drain();
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
        m_pending.erase(m_pending.begin());
        if (p.socket)
            Handle(p.socket, p.line);
    }
    m_bDraining = FALSE;
}

void CInstanceServer::Handle(QLocalSocket* socket, const std::string& line)
{
    QPointer<QLocalSocket> guard = socket;
    std::vector<std::string> words = SplitWords(line);
    std::string reply = "ERR\n";
    uint64_t id = 0, command = 0;
    if (words.size() == 1 && words[0] == "LIST") {
        reply.clear();
        for (const InstanceWindow& w : ListOwnTopLevelWindows())
            reply += "W " + std::to_string(w.id) + " " + Encode(w.className) + " " + Encode(w.title) + "\n";
        reply += "END\n";
    } else if (words.size() == 2 && words[0] == "FRONT" && ParseNumber(words[1], id)) {
        if (QWidget* w = FindTopLevel(id)) {
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
    } else if (words.size() == 3 && words[0] == "COMMAND" && ParseNumber(words[1], id) && ParseNumber(words[2], command) &&
               command <= 0xFFFF) {
        if (QWidget* w = FindTopLevel(id)) {
            ::SendMessage(w, WM_COMMAND, WPARAM(command), 0);
            reply = "OK\n";
        }
    }
    if (guard) {
        guard->write(reply.data(), qint64(reply.size()));
        guard->flush();
    }
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
    QString path = QString::fromStdString(InstanceRuntimeFolder() + "/" + m_name + ".socket");
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_socket = std::make_unique<QLocalSocket>();
        m_socket->connectToServer(path);
        if (m_socket->waitForConnected(int(std::max<qint64>(1, deadline.remainingTime()))))
            return TRUE;
        if (deadline.hasExpired())
            break;
        QThread::msleep(50);
    }
    m_socket.reset();
    return FALSE;
}

BOOL CInstanceClient::Request(const std::string& line, std::vector<std::string>& reply, int timeoutMs)
{
    reply.clear();
    if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState)
        return FALSE;
    std::string out = line + "\n";
    m_socket->write(out.data(), qint64(out.size()));
    if (!m_socket->waitForBytesWritten(timeoutMs) && m_socket->bytesToWrite() > 0)
        return FALSE;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_socket->canReadLine()) {
            QByteArray l = m_socket->readLine(kMaxLine);
            if (!l.endsWith('\n'))
                return FALSE;
            l.chop(1);
            std::string s = l.toStdString();
            if (s == "END" || s == "OK")
                return TRUE;
            if (s == "ERR")
                return FALSE;
            reply.push_back(std::move(s));
        }
        if (deadline.hasExpired() || m_socket->state() != QLocalSocket::ConnectedState)
            return FALSE;
        if (!m_socket->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))) && !m_socket->canReadLine())
            return FALSE;
    }
}

BOOL CInstanceClient::ListWindows(std::vector<InstanceWindow>& out, int timeoutMs)
{
    out.clear();
    std::vector<std::string> lines;
    if (!Request("LIST", lines, timeoutMs))
        return FALSE;
    for (const std::string& l : lines) {
        std::vector<std::string> words = SplitWords(l);
        InstanceWindow w;
        if (words.size() != 4 || words[0] != "W" || !ParseNumber(words[1], w.id))
            return FALSE;
        w.className = Decode(words[2]);
        w.title = Decode(words[3]);
        out.push_back(std::move(w));
    }
    return TRUE;
}

BOOL CInstanceClient::BringToFront(uint64_t id, int timeoutMs)
{
    std::vector<std::string> lines;
    return Request("FRONT " + std::to_string(id), lines, timeoutMs);
}

BOOL CInstanceClient::SendCommand(uint64_t id, UINT nCommand, int timeoutMs)
{
    std::vector<std::string> lines;
    return Request("COMMAND " + std::to_string(id) + " " + std::to_string(nCommand), lines, timeoutMs);
}
