#pragma once

#include "platform/types.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QWidget;
class CWnd;

// One running copy of a program: a named lock that the kernel frees when the
// holder dies (flock on a file in the runtime folder), and a local socket
// through which a later start lists the holder's top-level windows and hands
// a command to one of them.

// $XDG_RUNTIME_DIR, or, when the session has none, a private folder (mode
// 0700, ours) under the temporary folder or else in the home folder.
std::string InstanceRuntimeFolder();

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

// A top-level window as another process sees it.
struct InstanceWindow {
    uint64_t id = 0;
    std::string title;
    std::string className;
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
    explicit CInstanceServer(const std::string& name, QObject* parent = nullptr);
    ~CInstanceServer() override;
    // Removes a socket left by a holder that died, then listens. Call only
    // while holding the lock of the same name.
    BOOL Listen();
    void SetReady(BOOL bReady);
    BOOL IsReady() const { return m_bReady; }
    std::string SocketPath() const;

private:
    struct Pending {
        QPointer<QLocalSocket> socket;
        std::string line;
    };
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void Handle(QLocalSocket* socket, const std::string& line);
    void Drain();

    std::string m_name;
    std::unique_ptr<QLocalServer> m_server;
    std::vector<Pending> m_pending;
    BOOL m_bReady = FALSE;
    BOOL m_bDraining = FALSE;
};

// The later start's side: one connection to the holder of a name.
class CInstanceClient {
public:
    explicit CInstanceClient(std::string name);
    ~CInstanceClient();
    // Tries to connect for up to timeoutMs (the holder may still be making its socket).
    BOOL Connect(int timeoutMs);
    // The holder's top-level windows; waits up to timeoutMs for the answer,
    // which a starting holder gives only once its main window is there.
    BOOL ListWindows(std::vector<InstanceWindow>& out, int timeoutMs);
    // Raises the window, shows it and gives it the focus.
    BOOL BringToFront(uint64_t id, int timeoutMs);
    // WM_COMMAND nCommand (lParam 0) to the window; returns once it was handled.
    BOOL SendCommand(uint64_t id, UINT nCommand, int timeoutMs);

private:
    BOOL Request(const std::string& line, std::vector<std::string>& reply, int timeoutMs);
    std::string m_name;
    std::unique_ptr<QLocalSocket> m_socket;
};
