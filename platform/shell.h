#pragma once

#include <QIcon>

#include <cstdint>
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

// What an icon shows when the desktop's icon theme has none of its name.
enum class ShellIconKind { file, folder, computer, drive, desktop };

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
    // The index of the theme's icon of that name (the fallback's where the
    // theme has none, or there is no theme). Always gives an index.
    static int IndexForThemeIcon(const std::string& themeName, ShellIconKind fallback);

private:
    explicit CShellImageList(int size) : m_size(size) {}
    int m_size;
};

// Starting other programs. Always an argument list, never a shell command
// line. A program runs in a session of its own with its standard input and
// output on /dev/null, so it outlives this program, and nobody waits for it:
// its end is reported on the GUI thread.
struct ShellProcessEnd {
    int exitCode = -1; // -1 when a signal ended it
    int64_t runMs = 0; // how long it ran, in milliseconds
};
using ShellProcessEndHandler = std::function<void(const ShellProcessEnd&)>;
using ShellProcessRunner = std::function<bool(const std::string& program, const std::vector<std::string>& args,
                                              ShellProcessEndHandler onEnd)>;

// Replaces the runner (tests record the calls and end the programs
// themselves); an empty runner restores the real one. Returns the previous runner.
ShellProcessRunner SetShellProcessRunner(ShellProcessRunner runner);
// Starts the program (found on the search path when it names no folder) and
// returns at once: false when it cannot be started. onEnd, when given, is
// called on the GUI thread once the program has ended, never before this returns.
bool StartShellProcess(const std::string& program, const std::vector<std::string>& args,
                       ShellProcessEndHandler onEnd = {});

enum class ShellOpenResult {
    opened,
    fileNotFound,  // the file or its type is unknown to the desktop
    noAssociation, // no program is associated with the type
    failed,        // the opener failed, or the program did
};
// Opens an existing file with the program associated with its type
// (xdg-open, given the absolute path as one argument) without waiting for
// it: false when the opener cannot be started; otherwise onResult, when
// given, gets the desktop's answer on the GUI thread later.
bool ShellOpenFile(const std::string& path, std::function<void(ShellOpenResult)> onResult = {});
// What the opener's end says.
ShellOpenResult ShellOpenResultOf(const ShellProcessEnd& end);
