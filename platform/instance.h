#pragma once

#include "platform/instance_protocol.h"
#include "platform/types.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLocalSocket;
class QSocketNotifier;
class QTimer;
class QWidget;
class CWnd;

// One running copy of a program: a named lock that the kernel frees when the
// holder dies (flock on a file in the runtime folder), and a local socket
// through which a later start lists the holder's top-level windows and hands
// a command to one of them.

// $XDG_RUNTIME_DIR, or, when the session has none, a private folder under the
// temporary folder or else in the home folder. Private means ours and closed
// to everyone else (no group or other bits); empty, with the folder refused
// left in refused, when there is none: locks, server and client then refuse
// to work rather than meet another user's files.
std::string InstanceRuntimeFolder(std::string* refused = nullptr);

class CInstanceLock {
public:
    // Takes the lock "name", trying for up to timeoutMs; null when another
    // process holds it after that (or the lock file cannot be made).
    static std::unique_ptr<CInstanceLock> Acquire(const std::string& name, int timeoutMs);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;
    const std::string& Name() const { return m_name; }

private:
    CInstanceLock(std::string name, int fd) : m_name(std::move(name)), m_fd(fd) {}
    std::string m_name;
    int m_fd;
};

// Held around a hand-over (a value written, then a command sent), so that two
// later starts at once cannot mix their values.
class CInstanceHandOverLock {
public:
    explicit CInstanceHandOverLock(const std::string& name);
    ~CInstanceHandOverLock();
    CInstanceHandOverLock(const CInstanceHandOverLock&) = delete;
    CInstanceHandOverLock& operator=(const CInstanceHandOverLock&) = delete;

private:
    int m_fd = -1;
};

// The class name a window is listed with: "#32770" for dialogs, "Afx:" and
// the class's runtime name for the framework's other windows, "Qt:" and the
// widget's class for windows outside the framework.
std::string InstanceWindowClassName(QWidget* w);
// This process's top-level windows, in creation order.
std::vector<InstanceWindow> ListOwnTopLevelWindows();

// The holder's side. Requests that come before SetReady(TRUE) wait (the
// connection is kept open) and are answered, in order, once it is called.
class CInstanceServer : public QObject {
public:
    // A connection whose unread answers pass this is dropped: a client that
    // never reads must not make the holder grow.
    static constexpr qint64 kMaxUnreadReply = 256 * 1024;
    // Requests one connection may have waiting (a later start sends one at a
    // time); past it the connection is dropped.
    static constexpr size_t kMaxQueuedRequests = 16;
    // Connections served at once; further ones wait in the socket's backlog.
    static constexpr size_t kMaxConnections = 64;
    // After an accept that failed for want of descriptors or memory, the
    // connection waits in the backlog and accepting starts again after this.
    static constexpr int kAcceptRetryMs = 200;
    // Descriptors the server never takes for callers: a burst of them must
    // not leave the rest of the program unable to open a file.
    static constexpr int kDescriptorReserve = 16;

    explicit CInstanceServer(const std::string& name, QObject* parent = nullptr);
    ~CInstanceServer() override;
    // Removes a socket left by a holder that died, then listens. Call only
    // while holding the lock of the same name.
    BOOL Listen();
    void SetReady(BOOL bReady);
    BOOL IsReady() const { return m_bReady; }
    std::string SocketPath() const;
    size_t ConnectionCount() const { return m_connections.size(); }
    // Accepting waits (out of descriptors, or at the connection limit).
    BOOL IsAcceptPaused() const { return m_bAcceptPaused; }

private:
    struct Connection {
        QLocalSocket* socket = nullptr; // a child of the server
        CInstanceLineBuffer lines{kInstanceMaxRequestLine};
        size_t queued = 0;
    };
    struct Pending {
        uint64_t connection;
        std::string line;
    };
    void OnAcceptable();
    BOOL NextDescriptorIsInReserve() const;
    void PauseAccepting(BOOL bRetryLater);
    void ResumeAccepting();
    void AddConnection(int fd);
    void OnReadyRead(uint64_t id);
    void Drop(uint64_t id);
    void Handle(uint64_t id, const std::string& line);
    void Drain();

    std::string m_name;
    std::string m_boundPath;
    int m_listenFd = -1;
    std::unique_ptr<QSocketNotifier> m_acceptNotifier;
    std::unique_ptr<QTimer> m_retryTimer;
    BOOL m_bAcceptPaused = FALSE;
    std::map<uint64_t, Connection> m_connections;
    uint64_t m_nextConnection = 1;
    std::deque<Pending> m_pending;
    BOOL m_bReady = FALSE;
    BOOL m_bDraining = FALSE;
};

// The later start's side: one connection to the holder of a name.
class CInstanceClient {
public:
    explicit CInstanceClient(std::string name);
    ~CInstanceClient();
    // Tries to connect for up to timeoutMs (the holder makes its socket just
    // after taking the lock).
    BOOL Connect(int timeoutMs);
    // The holder's top-level windows; waits up to timeoutMs for the answer,
    // which a starting holder gives only once its main window is there.
    BOOL ListWindows(std::vector<InstanceWindow>& out, int timeoutMs);
    // Raises the window, shows it and gives it the focus.
    BOOL BringToFront(uint64_t id, int timeoutMs);
    // WM_COMMAND nCommand (lParam 0) to the window; returns once it was handled.
    BOOL SendCommand(uint64_t id, UINT nCommand, int timeoutMs);

private:
    BOOL Request(const InstanceRequest& request, CInstanceReplyReader& reply, int timeoutMs);
    std::string m_name;
    std::unique_ptr<QLocalSocket> m_socket;
};
