#pragma once

#include <string>
#include <string_view>

// Paths are UTF-8 bytes with '/' between folders; '\' is an ordinary byte of a
// name. "/a/b/" names the same entry as "/a/b": every call here drops trailing
// and doubled separators before it looks for the last name.

// The folder that holds the path's last name: the part before its last '/',
// with trailing and doubled separators dropped, and "/" for a name right under
// the root. Empty when there is none: a bare name, the root itself, or an
// empty path. Callers that hand the result to the system and want "." for a
// bare name say so themselves.
std::string ParentFolderOf(std::string_view path);
// The same folder as the system is to open it: "." for a bare name (and an
// empty path), "/" for the root itself.
std::string ParentFolderToOpen(std::string_view path);
// The last name: the part behind the last '/' ("b" of "/a/b/"); the whole path
// when it has no '/'; empty for the root and for an empty path.
std::string LastNameOf(std::string_view path);
// The extension of the last name with its dot: ".gz" of "a.tar.gz", "." of
// "name.". Empty when the name has no dot, or when its only dot leads it:
// ".hidden" is a hidden name, not an extension. Case is kept; callers that
// compare kinds compare without regard to it.
std::string DottedExtensionOf(std::string_view path);
// The same without its dot: "gz", and empty for "name." as for no extension.
std::string ExtensionOf(std::string_view path);
// The last name without its dotted extension: "a.tar", "name", ".hidden".
std::string StemOf(std::string_view path);
