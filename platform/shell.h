#pragma once

#include <QIcon>

#include <functional>
#include <string>
#include <vector>

// The desktop shell as the program sees it: its special folders, the type
// name and icon it shows for a file, and opening a file with the program the
// desktop associates with it. Copying, moving and deleting are in
// platform/file_operation.h.

// The running program's own file; empty when it cannot be read.
std::string ShellExecutablePath();
// The user's desktop folder (XDG user folders); empty when it does not exist.
std::string ShellDesktopFolder();
// The desktop's name for the file's type ("JPEG image"); empty when unknown.
std::string ShellTypeName(const std::string& path);

// The icons the shell shows for files: one list, indices shared by its large
// and small form. Indices are handed out per icon on any thread; the icons
// themselves are made on the GUI thread when drawn.
class CShellImageList {
public:
    // The shell's list of large (32 px) or small (16 px) icons; one each per process.
    static CShellImageList& System(bool large);

    int IconSize() const { return m_size; }
    int GetImageCount() const;
    // The icon of an index; a null icon for an index the list has not given out.
    QIcon GetIcon(int index) const;

    // The index of the file's icon (by its type, a folder's or a file's icon
    // when the type has none). Always gives an index.
    static int IndexForFile(const std::string& path);

private:
    explicit CShellImageList(int size) : m_size(size) {}
    int m_size;
};

// Starting other programs. Always an argument list, never a shell command line.
struct ShellProcessResult {
    bool started = false;  // the program could be started
    bool finished = false; // it ended within the wait (only asked when waiting)
    int exitCode = -1;     // its exit code when it finished
};
// wait: run it and wait a bounded time for its end; otherwise start it detached.
using ShellProcessRunner =
    std::function<ShellProcessResult(const std::string& program, const std::vector<std::string>& args, bool wait)>;

// Replaces the runner (tests record the calls); an empty runner restores the
// real one. Returns the previous runner.
ShellProcessRunner SetShellProcessRunner(ShellProcessRunner runner);
ShellProcessResult RunShellProcess(const std::string& program, const std::vector<std::string>& args, bool wait);

enum class ShellOpenResult {
    opened,
    fileNotFound,  // the file or its type is unknown to the desktop
    noAssociation, // no program is associated with the type
    failed,        // the opener could not be started, or the program failed
};
// Opens an existing file with the program associated with its type
// (xdg-open, given the absolute path as one argument).
ShellOpenResult ShellOpenFile(const std::string& path);
