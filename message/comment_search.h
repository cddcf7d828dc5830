#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Searching the comments of message files on a thread of its own.

// Where a search looks: called on the search's thread with the search text,
// it gives the files to search, in order. The browser's gives the message
// files among its items (and, for an empty text, the items with a second
// name); MessageFolderSource the message files of a folder.
using CommentSearchSource = std::function<std::vector<std::string>(const std::string& text)>;
CommentSearchSource MessageFolderSource(std::string folder);

// Whether a comment of the message file (its text, user name or date) holds
// the text, letters of any case alike; "*" and "?" are plain characters. A
// file that cannot be opened or read, or is damaged, holds nothing.
bool MessageFileMatches(const std::string& path, const std::string& text);

// One search at a time. The thread only appends to the results, under the
// search's lock; the owner reads them on its own thread. Stop and the
// destructor end the thread and wait for it.
class CCommentSearch {
public:
    CCommentSearch() = default;
    ~CCommentSearch();
    CCommentSearch(const CCommentSearch&) = delete;
    CCommentSearch& operator=(const CCommentSearch&) = delete;

    // Stops a running search, forgets its results and starts anew. An empty
    // text takes every candidate.
    void Start(const std::string& text, CommentSearchSource source);
    // Ends the running search before its next file and waits for it; the
    // results found so far stay.
    void Stop();
    // The thread ran through every candidate (a stopped search never ends).
    bool HasEnded() const { return m_bEnded; }
    bool IsRunning() const { return m_thread.joinable() && !m_bEnded; }

    size_t GetResultCount() const;
    std::string GetResult(size_t index) const;

private:
    void Run(std::string text, CommentSearchSource source);

    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEnded{false};
    mutable std::mutex m_lock;
    std::vector<std::string> m_results;
};
