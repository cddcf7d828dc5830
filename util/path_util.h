#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CShellImageList;
class QMimeData;

// Putting paths together, file kinds by extension, and facts about files.
// Paths are UTF-8 bytes with '/' between folders; they are taken apart (parent
// folder, last name, extension) by platform/path.h. Extensions compare without
// regard to case; whole paths compare byte for byte.

// folder + '/' + name, without doubling a trailing '/'; the name alone for an
// empty folder.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder of the running program, with a trailing '/'.
std::string GetModuleFolder();
// The user's desktop folder; empty when there is none.
std::string GetDesktopFolderPath();
// The extensions (without dot) of the index-th (1-based) pattern of a
// file-dialog filter "description|pattern|description|pattern...", split at
// ';'. false when that filter has no pattern.
bool GetFilterExtensions(std::string_view filter, int index, std::vector<std::string>& out, char separator);

// An extension (without its dot) of the kind.
bool IsTiffExtension(std::string_view ext);
bool IsJpegExtension(std::string_view ext);
bool IsTiffFile(std::string_view path);
bool IsBmpFile(std::string_view path);
bool IsJpegFile(std::string_view path);
bool IsTkfFile(std::string_view path);
bool IsWavFile(std::string_view path);
// A camera's thumbnail beside its TIFF or raw picture ("THM").
bool IsThmFile(std::string_view path);
bool IsMovieFile(std::string_view path);

// Whether the name holds any of \ / : , ; * ? " < > |  (callers then show 6001).
bool HasInvalidFileNameChar(std::string_view name);
// A file name (no folder) that names no existing entry in the path's folder:
// the path's own name when free, else the base name (without a trailing
// "<separator><digits>") numbered "<base><separator>1", "<base><separator>2", ...
// Every candidate is checked. Always true.
bool MakeUniqueFilePath(const std::string& path, std::string& name, bool withExtension, char numberSeparator);
// Makes the folder and every missing parent; true when it then exists as a folder.
bool CreateFolderTree(const std::string& folder);
// The file's length (0 for a folder); -1 when it cannot be found.
int64_t GetFileLength(const std::string& path);
// "%d B", "%d KB" or "%.1f MB"; empty when the length is unknown.
std::string FormatFileSizeText(const std::string& path);
// The last-write time in local time, "%d/%02d/%02d %02d:%02d:%02d"; empty when unknown.
std::string FormatFileWriteTime(const std::string& path);
// Seconds since 1970 in local time, in the same form; empty when negative or not convertible.
std::string FormatLocalFileTime(int64_t seconds);
std::string GetShellTypeName(const std::string& path);
CShellImageList* GetSystemImageList(bool large);
// The file's index in the system image list. Always true.
bool GetShellIconIndex(const std::string& path, int& index);
// Appends the folder's visible sub-folders and its files whose extension is in
// the list ("*" or an empty list for all), each sorted by name, as full paths.
// Hidden entries (names starting with '.') and special files are skipped.
// false when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files,
                const std::vector<std::string>& extensions);
// What the listing learned of each file on the way, beside its path.
struct FolderFileFacts {
    int64_t modified = -1; // seconds since 1970
    int64_t size = -1;
};
bool ListFolder(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files,
                const std::vector<std::string>& extensions, std::vector<FolderFileFacts>* facts);
// Appends the local paths of a drop, in order, without double quotes.
void GetDroppedFiles(const QMimeData* drop, std::vector<std::string>& out);
// When the file cannot be written (or its attributes cannot be read): message
// 6274 with the path, and true.
bool WarnIfReadOnly(const std::string& path);
