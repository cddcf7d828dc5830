#pragma once

#include "platform/file_operation.h"
#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CWnd;

// Opening files with other programs, and the user's copy, move and delete.

// Opens the file with the program the desktop associates with its type,
// without waiting for it. A file that is not there, or an opener that cannot
// be started, is told at once and gives false. What the desktop answers later
// (no program for the type, the program could not open it) is told with a
// message box then. onFailed, when given, is called after any failure has
// been told, with true when no program is associated with the type.
bool OpenWithAssociatedProgram(const std::string& path, std::function<void(bool noApplication)> onFailed = {});
// Starts the program with the file (none when empty) as its argument; tries
// the program's bare name on the search path too. Tells the user and sets
// failed (when given) when neither starts. true when started; nothing waits
// for the program.
bool LaunchProgram(const std::string& program, std::string_view file = {}, bool* failed = nullptr);

// Copies, moves (FO_COPY, FO_MOVE) every source into the destination folder,
// keeping its name, or deletes (FO_DELETE, no destination) every source.
// The user is asked before anything is replaced or deleted. true only when
// every item was done: a refusal, Cancel, an abort or an error gives false.
// On the GUI thread the job runs behind the installed progress window, owned
// by owner and titled by the string titleId; elsewhere, or with none
// installed, it runs on the calling thread.
bool ShellFileOperation(CWnd* owner, UINT operation, UINT titleId, const std::vector<std::string>& sources,
                        const std::string& destination = {});
bool ShellCopyFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination);
bool ShellMoveFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination);
bool ShellDeleteFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources);

// The window a file operation runs behind. The program's progress dialog
// lives a level above this one and installs itself at start-up.
class IFileOperationProgress {
public:
    virtual ~IFileOperationProgress() = default;
    // Runs the job (not started yet) behind a progress window owned by owner
    // (may be null) and titled by the string titleId; returns when the job
    // has ended. The window's Cancel cancels the job.
    virtual void RunJob(CFileOperation& job, CWnd* owner, UINT titleId) = 0;
};
// Installs the progress window of file operations (null: none); returns the previous one.
IFileOperationProgress* SetFileOperationProgress(IFileOperationProgress* progress);

// The progress callback the plug-in hosts use when nobody watches: 0, go on.
// (position, total, the callback's user value, wide enough for a pointer.)
extern "C" int32_t NoProgressCallback(int32_t position, int32_t total, uintptr_t userValue);

// Asks the file operations' questions with the program's message boxes on
// the GUI thread, whichever thread asks.
class CMessageBoxFileOperationPrompt : public IFileOperationPrompt {
public:
    FileOpAnswer ConfirmReplace(const std::string& target, const std::string& source, bool folder) override;
    FileOpAnswer ConfirmDelete(const std::string& path, bool folder) override;
    bool ReportError(const std::string& path, FileOpError error, int osError) override;
};
