#include "util/path_util.h"

#include "util/string_util.h"
#include "platform/clipboard.h"
#include "platform/framework/message_box.h"
#include "platform/path.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QMimeData>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The characters searched for are one-byte ones, and in UTF-8 no byte of a
// longer character has a one-byte value, so a plain search never lands
// inside a character.
constexpr size_t npos = std::string_view::npos;

bool EqualsUpper(std::string_view ext, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names) {
        if (name.size() != ext.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < ext.size() && same; ++i) {
            const char c = ext[i];
            same = (c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) == name[i];
        }
        if (same)
            return true;
    }
    return false;
}

bool ExtensionIs(std::string_view path, std::initializer_list<std::string_view> names)
{
    return EqualsUpper(ExtensionOf(path), names);
}

bool EntryExists(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

std::string JoinPath(std::string_view folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    std::string joined(folder);
    if (joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

std::string GetModuleFolder()
{
    const std::string folder = ParentFolderOf(ShellExecutablePath());
    return folder == "/" ? folder : folder + '/';
}

std::string GetDesktopFolderPath() { return ShellDesktopFolder(); }

bool GetFilterExtensions(std::string_view filter, int index, std::vector<std::string>& out, char separator)
{
    filter = filter.substr(0, filter.find('\0'));
    size_t i = 0;
    auto skipPart = [&] {
        while (i < filter.size() && filter[i] != separator)
            ++i;
        if (i < filter.size())
            ++i;
    };
    for (int k = 1; k < index; ++k) {
        skipPart(); // description
        skipPart(); // pattern
    }
    skipPart();
    if (i >= filter.size() || filter[i] == separator)
        return false;
    const size_t end = std::min(filter.find(separator, i), filter.size());
    SplitAtChar(filter.substr(i, end - i), out, ';', false);
    for (std::string& item : out)
        item = ExtensionOf(item);
    return true;
}

bool IsTiffExtension(std::string_view ext) { return EqualsUpper(ext, {"TIFF", "TIF"}); }
bool IsJpegExtension(std::string_view ext) { return EqualsUpper(ext, {"JPEG", "JPG", "JPE"}); }
bool IsTiffFile(std::string_view path) { return IsTiffExtension(ExtensionOf(path)); }
bool IsBmpFile(std::string_view path) { return ExtensionIs(path, {"BMP"}); }
bool IsJpegFile(std::string_view path) { return IsJpegExtension(ExtensionOf(path)); }
bool IsTkfFile(std::string_view path) { return ExtensionIs(path, {"TKF"}); }
bool IsWavFile(std::string_view path) { return ExtensionIs(path, {"WAV"}); }
bool IsThmFile(std::string_view path) { return ExtensionIs(path, {"THM"}); }
bool IsMovieFile(std::string_view path) { return ExtensionIs(path, {"MOV", "AVI"}); }

bool HasInvalidFileNameChar(std::string_view name)
{
    return name.find_first_of("\\/:,;*?\"<>|") != npos;
}

bool MakeUniqueFilePath(const std::string& path, std::string& name, bool withExtension, char numberSeparator)
{
    std::string base = StemOf(path);
    const std::string ext = DottedExtensionOf(path);
    const std::string folder = ParentFolderOf(path);

    // A name that already carries a number ("photo~3") is numbered again from its base.
    const size_t mark = base.rfind(numberSeparator);
    if (mark != npos && std::all_of(base.begin() + long(mark) + 1, base.end(), [](char c) { return c >= '0' && c <= '9'; }))
        base.resize(mark);

    auto take = [&](const std::string& stem) {
        name = withExtension ? stem + ext : stem;
        return true;
    };
    // The base itself is a candidate only when the given name is free; like
    // every candidate it is checked, since "photo~2" being free says nothing
    // about "photo".
    if (!EntryExists(path) && !EntryExists(JoinPath(folder, base + ext)))
        return take(base);
    for (uint64_t n = 1;; ++n) {
        std::string stem = base + numberSeparator + std::to_string(n);
        if (!EntryExists(JoinPath(folder, stem + ext)))
            return take(stem);
    }
}

bool CreateFolderTree(const std::string& folder)
{
    if (folder.empty())
        return false;
    struct stat st{};
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    // The root always exists, so an empty parent is a bare name's: nowhere to make it in.
    const std::string parent = ParentFolderOf(folder);
    if (parent.empty() || !CreateFolderTree(parent))
        return false;
    mkdir(folder.c_str(), 0777);
    // Made here or by someone else meanwhile: either way it must be a folder now.
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t GetFileLength(const std::string& path)
{
    struct stat st{};
    if (stat(path.c_str(), &st) != 0)
        return -1;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
}

std::string FormatFileSizeText(const std::string& path)
{
    const int64_t length = GetFileLength(path);
    if (length < 0)
        return {};
    return FormatSizeText(static_cast<uint64_t>(length));
}

std::string FormatFileWriteTime(const std::string& path)
{
    struct stat st{};
    if (stat(path.c_str(), &st) != 0)
        return {};
    return FormatLocalFileTime(int64_t(st.st_mtime));
}

std::string FormatLocalFileTime(int64_t seconds)
{
    const time_t t = static_cast<time_t>(seconds);
    std::tm tm{};
    if (seconds < 0 || !localtime_r(&t, &tm))
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string GetShellTypeName(const std::string& path) { return ShellTypeName(path); }

CShellImageList* GetSystemImageList(bool large) { return &CShellImageList::System(large); }

bool GetShellIconIndex(const std::string& path, int& index)
{
    index = CShellImageList::IndexForFile(path);
    return true;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files,
                const std::vector<std::string>& extensions)
{
    return ListFolder(folder, folders, files, extensions, nullptr);
}

bool ListFolder(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files,
                const std::vector<std::string>& extensions, std::vector<FolderFileFacts>* facts)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir))
        if (e->d_name[0] != '.') // hidden, and "." and ".."
            names.emplace_back(e->d_name);
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        bool wanted = extensions.empty();
        if (!wanted) {
            const std::string ext = ExtensionOf(name);
            wanted = std::any_of(extensions.begin(), extensions.end(),
                                 [&](const std::string& item) { return item == "*" || EqualsNoCase(item, ext); });
        }
        // Asked beside the folder's own handle: no walk along the whole path.
        struct stat st{};
        if (fstatat(dirfd(dir), name.c_str(), &st, 0) != 0)
            continue; // a link to nothing
        if (S_ISDIR(st.st_mode)) {
            folders.push_back(JoinPath(folder, name));
            continue;
        }
        if (!S_ISREG(st.st_mode) || !wanted)
            continue; // devices, pipes and sockets are not the user's files
        files.push_back(JoinPath(folder, name));
        if (facts)
            facts->push_back(FolderFileFacts{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_size)});
    }
    closedir(dir);
    return true;
}

void GetDroppedFiles(const QMimeData* drop, std::vector<std::string>& out)
{
    if (!drop)
        return;
    for (std::string& path : GetMimeFilePaths(drop)) {
        RemoveCharAll(path, '"');
        out.push_back(std::move(path));
    }
}

bool WarnIfReadOnly(const std::string& path)
{
    struct stat st{};
    // The write bits as well as access(): the program may run as root, whom
    // access() lets write anything.
    const bool readOnly = stat(path.c_str(), &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                          access(path.c_str(), W_OK) != 0;
    if (!readOnly)
        return false;
    AfxMessageBox(FormatWithStrings(res::String(IDS_READ_ONLY_FILE), {path}));
    return true;
}
