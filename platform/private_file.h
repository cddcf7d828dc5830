#pragma once

#include <span>
#include <string>

// Writes a file that only this user may read, into a folder that only this
// user may enter: the folder is made with mode 0700 unless it is already our
// own real folder with no access for others, and neither it nor the file is
// ever reached through a symbolic link. A file of that name is removed first
// and the new one made exclusively, so each call writes it anew. The file's
// path, or empty on any failure (a link, a foreign or open folder, a full disk).
std::string WritePrivateFile(const std::string& folder, const std::string& name, std::span<const char> bytes);
