#pragma once

#include "platform/types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QMimeData;
class QObject;

// Clipboard and drag and drop: formats travel as MIME types. File lists go
// out also as "text/uri-list", and as "x-special/gnome-copied-files" when
// they are copied or cut, so that the desktop's file managers take them.

// Standard formats.
enum : UINT { CF_TEXT = 1, CF_DIB = 8, CF_HDROP = 15 };
// The MIME type of a packed DIB (header, colour table, bits).
inline constexpr char kDibMimeType[] = "application/x-qr-dib";
inline constexpr char kDropFilesMimeType[] = "application/x-qr-hdrop";
// File lists as the desktop passes them: one address a line.
inline constexpr char kUriListMimeType[] = "text/uri-list";
// A drop-files block's header: the list's offset, the drop point, the
// non-client flag and the wide-characters flag, 32 bits each.
inline constexpr uint32_t kDropFilesHeaderSize = 20;

enum : DWORD { DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1, DROPEFFECT_MOVE = 2, DROPEFFECT_LINK = 4 };

enum class FileListUse { Drag, Copy, Cut };
void SetFileListMimeData(QMimeData* data, const std::vector<std::string>& paths, FileListUse use);

void SetMimeBytes(QMimeData* data, const std::string& mimeType, const void* bytes, size_t count);
std::vector<uint8_t> GetMimeBytes(const QMimeData* data, const std::string& mimeType);

// The paths of a drop-files block (a 20-byte header whose first number is
// the offset of the list, then zero-terminated paths ending with an empty
// one). Checked throughout: false, and no paths, for a block that lies about
// its list or holds wide characters.
bool ReadDropFilesBlock(const std::vector<uint8_t>& block, std::vector<std::string>& paths);

// The local paths of a "text/uri-list" block, in order: one address a line
// (CR LF or LF), blank lines and '#' comments skipped, addresses other than
// local files, and paths that are empty or hold a zero byte, left out.
std::vector<std::string> ReadUriListPaths(std::span<const uint8_t> list);
// The local paths of the file list a drag or the clipboard offers; none when
// it offers no list.
std::vector<std::string> GetMimeFilePaths(const QMimeData* data);

// Runs a drag of the data (which it takes) and answers the drop effect.
DWORD RunDrag(QObject* source, QMimeData* data, DWORD allowedEffects);
// Hands the data to the clipboard, which owns it from then on.
void SetClipboardMimeData(QMimeData* data);
