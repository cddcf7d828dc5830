#pragma once

#include "platform/file_operation.h"
#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CWnd;

// Opening files with other programs, and the user's copy, move and delete.

// Opens the file with the program the desktop associates with its type;
// tells the user with a message box when it cannot. noApplication, when
// given, is set when no program is associated. true when it was opened.
bool OpenWithAssociatedProgram(const std::string& path, bool* noApplication = nullptr);
// Starts the program with the file (none when empty) as its argument; tries
// the program's bare name on the search path too. Tells the user and sets
// failed (when given) when neither starts. true when started.
bool LaunchProgram(const std::string& program, std::string_view file = {}, bool* failed = nullptr);

// Copies, moves (FO_COPY, FO_MOVE) every source into the destination folder,
// keeping its name, or deletes (FO_DELETE, no destination) every source.
// The user is asked before anything is replaced or deleted. true only when
// every item was done: a refusal, an abort or an error gives false.
// titleId names the job for its progress window.
bool ShellFileOperation(CWnd* owner, UINT operation, UINT titleId, const std::vector<std::string>& sources,
                        const std::string& destination = {});
bool ShellCopyFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination);
bool ShellMoveFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination);
bool ShellDeleteFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources);

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
