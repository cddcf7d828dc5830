#pragma once

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Copying, moving and deleting files and folders for the user, on a worker
// thread. Nothing is lost on the way: a replaced file is replaced only once
// its copy is complete, a move across file systems deletes a source file only
// after its copy has been read back and compared, a file is never copied or
// moved onto itself, a folder never into itself, and deleting never follows a
// symbolic link. Every replacement and every deletion is asked for first. A
// copy into the folder its source is in is named "<name> (copy)<.ext>" (then
// " (copy 2)", ...), files of one name but for the extension numbered alike.

enum : UINT { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3 };

enum class FileOpAnswer { yes, yesToAll, no, cancel };

enum class FileOpError {
    notFound,     // the source is not there
    sameFile,     // source and target are one file
    intoItself,   // a folder would go into itself or below itself
    kindMismatch, // a folder would replace a file, or a file a folder
    specialFile,  // a device, pipe or socket
    verifyFailed, // the copy read back differs from the source; the source is kept
    system,       // the system refused (the error number says why)
};

// The engine's questions. They are asked on the worker thread; an answerer
// that shows windows hands them to the GUI thread.
class IFileOperationPrompt {
public:
    virtual ~IFileOperationPrompt() = default;
    // target exists and source would replace it (or, for folders, be merged into it).
    virtual FileOpAnswer ConfirmReplace(const std::string& target, const std::string& source, bool folder) = 0;
    virtual FileOpAnswer ConfirmDelete(const std::string& path, bool folder) = 0;
    // An item failed and was left as it was; true goes on with the next item.
    virtual bool ReportError(const std::string& path, FileOpError error, int osError) = 0;
};

struct FileOperationRequest {
    UINT operation = FO_COPY;
    std::vector<std::string> sources;
    // For copy and move: the full target path of each source, in the same order.
    std::vector<std::string> targets;
};

class CFileOperation {
public:
    CFileOperation(FileOperationRequest request, IFileOperationPrompt& prompt);
    // Cancels a running job and waits for it.
    ~CFileOperation();
    CFileOperation(const CFileOperation&) = delete;
    CFileOperation& operator=(const CFileOperation&) = delete;

    // Runs the job on a worker thread; onDone is called on that thread when it ends.
    void Start(std::function<void()> onDone = {});
    // Runs the job on the calling thread; returns Succeeded().
    bool Run();
    // The user's abort: the job stops at the next file or block and cleans up.
    void Cancel() { m_cancel = true; }
    void Wait();
    bool IsDone() const { return m_done; }
    UINT Operation() const { return m_request.operation; }

    // After the end: every item done; false when anything failed, was skipped
    // or the user cancelled.
    bool Succeeded() const { return m_done && !m_cancelled && m_failures == 0 && m_skipped == 0; }
    bool Cancelled() const { return m_cancelled; }
    size_t Failures() const { return m_failures; }
    size_t Skipped() const { return m_skipped; }

    // Progress for a progress window, from any thread: bytes for copy and
    // move, entries (folders too) for delete; and the files among them
    // (every entry that is not a folder). The totals are 0 until the job has
    // counted what it is to do (Counted). An item skipped or failed counts as dealt with.
    bool Counted() const { return m_counted; }
    uint64_t TotalUnits() const { return m_total; }
    uint64_t DoneUnits() const { return m_doneUnits; }
    uint64_t TotalFiles() const { return m_totalFiles; }
    uint64_t DoneFiles() const { return m_doneFiles; }
    std::string CurrentPath() const;

private:
    enum class Step { done, skipped, failed, stop };

    void Work();
    Step Fail(const std::string& path, FileOpError error, int osError = 0);
    Step AskReplace(const std::string& target, const std::string& source, bool folder);
    bool Stopping() const { return m_cancel || m_abort; }
    void SetCurrent(const std::string& path);

    Step Transfer(const std::string& source, const std::string& target, bool moving);
    Step TransferEntry(const std::string& source, const std::string& target, bool moving, const struct stat& s,
                       bool& merged);
    Step Delete(const std::string& path);
    Step RemoveTree(int parentFd, const std::string& name, const std::string& path);
    Step CopyFileData(const std::string& source, const std::string& target, bool verify);
    bool SameContent(int sourceFd, int copyFd);
    Step CopyLink(const std::string& source, const std::string& target);
    Step Merge(const std::string& source, const std::string& target, bool moving);
    bool Blocked(const std::string& source, const std::string& target, Step& step);

    FileOperationRequest m_request;
    IFileOperationPrompt& m_prompt;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    bool m_abort = false; // the answerer ended the job after an error
    bool m_cancelled = false;
    bool m_replaceAll = false;
    bool m_deleteAll = false;
    size_t m_failures = 0;
    size_t m_skipped = 0;
    std::atomic<uint64_t> m_total{0};
    std::atomic<uint64_t> m_doneUnits{0};
    std::atomic<uint64_t> m_totalFiles{0};
    std::atomic<bool> m_counted{false};
    std::atomic<uint64_t> m_doneFiles{0};
    mutable std::mutex m_currentLock;
    std::string m_current;
};
