#include "util/shell_util.h"

#include "util/path_util.h"
#include "util/string_util.h"
#include "platform/framework/message_box.h"
#include "platform/gui_request.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QCoreApplication>
#include <QThread>

#include <system_error>
#include <utility>
#include <sys/stat.h>

namespace {

IFileOperationProgress* g_progress = nullptr;

int Message(UINT id, std::initializer_list<std::string_view> args, UINT type = MB_OK | MB_ICONEXCLAMATION)
{
    return AfxMessageBox(FormatWithStrings(res::String(id), args), type);
}

bool OnGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

FileOpAnswer FromButton(int id)
{
    return id == IDYES ? FileOpAnswer::yes : id == IDNO ? FileOpAnswer::no : FileOpAnswer::cancel;
}

} // namespace

bool OpenWithAssociatedProgram(const std::string& path, std::function<void(bool noApplication)> onFailed)
{
    if (path.empty())
        return false;
    auto fail = [path, onFailed](UINT messageId, bool noApplication) {
        Message(messageId, {path}); // IDS_NO_APPLICATION names no file
        if (onFailed)
            onFailed(noApplication);
    };
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) {
        fail(IDS_CANNOT_FIND_NAMED, false);
        return false;
    }
    // The desktop answers on its own time; the program never waits for it.
    const bool started = ShellOpenFile(path, [fail](ShellOpenResult result) {
        switch (result) {
        case ShellOpenResult::opened: break;
        case ShellOpenResult::fileNotFound: fail(IDS_CANNOT_FIND_NAMED, false); break;
        case ShellOpenResult::noAssociation: fail(IDS_NO_APPLICATION, true); break;
        case ShellOpenResult::failed: fail(IDS_CANNOT_OPEN_NAMED, false); break;
        }
    });
    if (!started)
        fail(IDS_CANNOT_OPEN_NAMED, false);
    return started;
}

bool LaunchProgram(const std::string& program, std::string_view file, bool* failed)
{
    std::vector<std::string> args;
    if (!file.empty())
        args.emplace_back(file);
    bool started = StartShellProcess(program, args);
    if (!started) {
        // A program named with a folder that is not there may still be on the search path.
        const std::string name = LastNameOf(program);
        started = !name.empty() && StartShellProcess(name, args);
    }
    if (!started) {
        Message(IDS_NO_APPLICATION_NAMED, {program});
        if (failed)
            *failed = true;
    }
    return started;
}

IFileOperationProgress* SetFileOperationProgress(IFileOperationProgress* progress)
{
    return std::exchange(g_progress, progress);
}

bool ShellFileOperation(CWnd* owner, UINT operation, UINT titleId, const std::vector<std::string>& sources,
                        const std::string& destination)
{
    FileOperationRequest request;
    request.operation = operation;
    request.sources = sources;
    if (operation != FO_DELETE) {
        for (const std::string& source : sources) {
            request.targets.push_back(JoinPath(destination, LastNameOf(source)));
        }
    }
    CMessageBoxFileOperationPrompt prompt;
    CFileOperation job(std::move(request), prompt);
    if (OnGuiThread() && QCoreApplication::instance() && g_progress) {
        g_progress->RunJob(job, owner, titleId);
        if (!job.IsDone())
            job.Run(); // the window could not come up: the job still runs
        return job.Succeeded();
    }
    return job.Run();
}

bool ShellCopyFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination)
{
    return ShellFileOperation(owner, FO_COPY, titleId, sources, destination);
}

bool ShellMoveFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources,
                    const std::string& destination)
{
    return ShellFileOperation(owner, FO_MOVE, titleId, sources, destination);
}

bool ShellDeleteFiles(CWnd* owner, UINT titleId, const std::vector<std::string>& sources)
{
    return ShellFileOperation(owner, FO_DELETE, titleId, sources);
}

extern "C" int32_t NoProgressCallback(int32_t, int32_t, uintptr_t) { return 0; }

FileOpAnswer CMessageBoxFileOperationPrompt::ConfirmReplace(const std::string& target, const std::string& source,
                                                            bool folder)
{
    // A question whose job was cancelled meanwhile is not answered: the job ends.
    return AskGuiThread([=] {
               return FromButton(Message(folder ? IDS_OP_MERGE_FOLDER : IDS_OP_REPLACE_FILE, {target, source}, MB_YESNOCANCEL | MB_ICONQUESTION));
           }).value_or(FileOpAnswer::cancel);
}

FileOpAnswer CMessageBoxFileOperationPrompt::ConfirmDelete(const std::string& path, bool folder)
{
    return AskGuiThread([=] { return FromButton(Message(folder ? IDS_OP_DELETE_FOLDER : IDS_OP_DELETE_FILE, {path}, MB_YESNOCANCEL | MB_ICONQUESTION)); })
        .value_or(FileOpAnswer::cancel);
}

bool CMessageBoxFileOperationPrompt::ReportError(const std::string& path, FileOpError error, int osError)
{
    UINT id = IDS_OP_FAILED;
    switch (error) {
    case FileOpError::notFound: id = IDS_OP_NOT_FOUND; break;
    case FileOpError::sameFile: id = IDS_OP_ONTO_ITSELF; break;
    case FileOpError::intoItself: id = IDS_OP_INTO_ITSELF; break;
    case FileOpError::kindMismatch: id = IDS_OP_KIND_MISMATCH; break;
    case FileOpError::specialFile: id = IDS_OP_SPECIAL_FILE; break;
    case FileOpError::verifyFailed: id = IDS_OP_VERIFY_FAILED; break;
    case FileOpError::system: break;
    }
    const std::string reason = std::system_category().message(osError);
    // OK goes on with the next item, Cancel ends the job.
    return AskGuiThread([=] { return Message(id, {path, reason}, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK; })
        .value_or(false);
}
