#pragma once

#include <string>
#include <string_view>

// The folder that holds the path's last name: the part before its last '/',
// with trailing and doubled separators dropped, and "/" for a name right under
// the root. Empty when there is none: a bare name, the root itself, or an
// empty path. Callers that hand the result to the system and want "." for a
// bare name say so themselves.
std::string ParentFolderOf(std::string_view path);
// The same folder as the system is to open it: "." for a bare name (and an
// empty path), "/" for the root itself.
std::string ParentFolderToOpen(std::string_view path);
