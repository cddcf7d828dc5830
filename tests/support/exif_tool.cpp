#include "support/exif_tool.h"

#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace qrtest {
namespace {

constexpr int kAnswerTimeoutMs = 120000;

// One argument as a line of exiftool's argument file: a line that would be
// trimmed, read as a comment or split is given as a C string.
std::string ArgumentLine(const std::string& arg)
{
    const bool plain = !arg.empty() && arg[0] != ' ' && arg[0] != '\t' && arg[0] != '#' &&
                       arg.find_first_of("\n\r\\") == std::string::npos;
    if (plain)
        return arg + "\n";
    std::string line = "#[CSTR]";
    for (char c : arg) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\t': line += "\\t"; break;
        default: line += c;
        }
    }
    return line + "\n";
}

// The open exiftool: arguments go in through a socket (so that a write to a
// tool that died fails instead of raising SIGPIPE); each command ends with
// markers on both output streams that say where its answer ends.
class StayOpenExifTool {
public:
    ~StayOpenExifTool()
    {
        // A forked child that exits runs this too: only the parent closes the tool.
        if (m_pid > 0 && getpid() == m_owner) {
            Send("-stay_open\nFalse\n");
            Stop(false);
        }
    }

    ExifToolAnswer Run(const std::vector<std::string>& args)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ExifToolAnswer answer;
        if (m_pid <= 0 && !Start()) {
            answer.err = "exiftool could not be started";
            return answer;
        }
        const std::string n = std::to_string(++m_serial);
        const std::string statusMark = "{qr-status-" + n + " ";
        const std::string readyMark = "{ready" + n + "}\n";
        const std::string doneMark = "{qr-done-" + n + "}\n";
        std::string command;
        for (const std::string& a : args)
            command += ArgumentLine(a);
        command += "-echo3\n" + statusMark + "${status}}\n-echo4\n" + doneMark + "-execute" + n + "\n";
        if (!Send(command) || !ReadUntil(readyMark, doneMark, answer)) {
            Stop(true);
            answer.status = -1;
            answer.err += "\nexiftool did not answer";
            return answer;
        }
        answer.out.resize(answer.out.size() - readyMark.size());
        answer.err.resize(answer.err.size() - doneMark.size());
        const size_t mark = answer.out.rfind(statusMark);
        if (mark != std::string::npos) {
            answer.status = std::atoi(answer.out.c_str() + mark + statusMark.size());
            answer.out.resize(mark);
        }
        return answer;
    }

private:
    bool Start()
    {
        const std::string exe = FindProgram("exiftool");
        if (exe.empty())
            return false;
        int in[2], out[2], err[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0)
            return false;
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            close(in[0]);
            close(in[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[1], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("-stay_open"), const_cast<char*>("True"),
                        const_cast<char*>("-@"), const_cast<char*>("-"), nullptr};
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[1]);
        close(out[1]);
        close(err[1]);
        if (rc != 0) {
            close(in[0]);
            close(out[0]);
            close(err[0]);
            return false;
        }
        m_pid = pid;
        m_owner = getpid();
        m_in = in[0];
        m_out = out[0];
        m_err = err[0];
        return true;
    }

    void Stop(bool kill)
    {
        for (int* fd : {&m_in, &m_out, &m_err}) {
            if (*fd >= 0)
                close(*fd);
            *fd = -1;
        }
        if (m_pid > 0) {
            if (kill)
                ::kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

    bool Send(const std::string& text)
    {
        size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = send(m_in, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += size_t(n);
        }
        return true;
    }

    static bool EndsWith(const std::string& s, const std::string& end)
    {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    }

    // Reads both streams until each ends with its marker, within a bound.
    bool ReadUntil(const std::string& outEnd, const std::string& errEnd, ExifToolAnswer& answer)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
        while (!EndsWith(answer.out, outEnd) || !EndsWith(answer.err, errEnd)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            const int ready = poll(fds, 2, int(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            std::string* into[2] = {&answer.out, &answer.err};
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buf[65536];
                const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return false; // the tool went away
                into[i]->append(buf, size_t(n));
            }
        }
        return true;
    }

    std::mutex m_mutex;
    pid_t m_pid = -1;
    pid_t m_owner = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    unsigned m_serial = 0;
};

StayOpenExifTool& TheExifTool()
{
    static StayOpenExifTool tool;
    return tool;
}

} // namespace

ExifToolAnswer ExifTool(const std::vector<std::string>& args)
{
    return TheExifTool().Run(args);
}

} // namespace qrtest
