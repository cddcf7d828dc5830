#pragma once

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The lines a later start and the running copy exchange over the instance
// socket, one request and its answer at a time. Requests: "LIST",
// "FRONT <window>", "COMMAND <window> <command>". Answers: "OK", "ERR", or
// for LIST one "W <window> <class> <title>" line per window (class and title
// percent-encoded) and then "END".

// A request line, without its newline; requests are a few words.
constexpr size_t kInstanceMaxRequestLine = 1024;
// An answer line, without its newline.
constexpr size_t kInstanceMaxReplyLine = 64 * 1024;
// Windows in one list.
constexpr size_t kInstanceMaxWindows = 4096;
// What a listed window's class name and title keep (so that a line stays
// within its limit however the bytes encode).
constexpr size_t kInstanceMaxClassName = 256;
constexpr size_t kInstanceMaxTitle = 16 * 1024;

// A top-level window as another process sees it.
struct InstanceWindow {
    uint64_t id = 0;
    std::string title;
    std::string className;
    bool operator==(const InstanceWindow&) const = default;
};

struct InstanceRequest {
    enum Kind { Invalid, List, Front, Command };
    Kind kind = Invalid;
    uint64_t window = 0;
    UINT command = 0; // a command id, at most 0xFFFF
    bool operator==(const InstanceRequest&) const = default;
};

InstanceRequest ParseInstanceRequest(std::string_view line);
// The line of a request, without its newline; empty for an invalid one.
std::string FormatInstanceRequest(const InstanceRequest& request);

// A window as one answer line, without its newline.
std::string FormatInstanceWindowLine(const InstanceWindow& window);
bool ParseInstanceWindowLine(std::string_view line, InstanceWindow& window);

// Cuts bytes that arrive in pieces into lines of at most maxLine bytes. A
// longer line makes it overflow for good: the peer is not speaking our lines.
class CInstanceLineBuffer {
public:
    explicit CInstanceLineBuffer(size_t maxLine) : m_maxLine(maxLine) {}
    void Append(const char* data, size_t size);
    // The next whole line, without its newline; false when none is complete.
    bool Next(std::string& line);
    bool Overflowed() const { return m_bOverflow; }
    // Bytes of an unfinished line.
    size_t Pending() const { return m_data.size() - m_start; }

private:
    void SetOverflow();
    size_t m_maxLine;
    std::string m_data;
    size_t m_start = 0;      // the first byte not yet taken as a line
    size_t m_searched = 0;   // bytes before this hold no newline after m_start
    size_t m_unfinished = 0; // bytes after the last newline
    bool m_bOverflow = false;
};

// Gathers the answer to one request from the bytes that arrive.
class CInstanceReplyReader {
public:
    enum State { Waiting, Done, Failed };
    // bList: the answer to LIST (window lines and "END"); otherwise "OK".
    explicit CInstanceReplyReader(bool bList) : m_bList(bList) {}
    State Feed(const char* data, size_t size);
    State GetState() const { return m_state; }
    const std::vector<InstanceWindow>& Windows() const { return m_windows; }

private:
    bool m_bList;
    CInstanceLineBuffer m_lines{kInstanceMaxReplyLine};
    std::vector<InstanceWindow> m_windows;
    State m_state = Waiting;
};
