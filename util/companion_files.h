#pragma once

#include <string>
#include <string_view>
#include <vector>

// A picture's companions stand beside it under its name and go wherever it
// goes: its voice note (".WAV"; a WAV file has none) and, for TIFF and raw
// pictures, the camera's thumbnail (".THM"). Extensions match in any case.
// The name before them matches byte for byte; a name in another case counts
// only when it is the only one there.

// The files in the path's folder named as the path without its extension,
// with an extension the test accepts, sorted; the path itself is not one.
std::vector<std::string> FindNamesakes(const std::string& path, bool (*isKind)(std::string_view));
// Appends the companions that exist of the files listed, after them, every
// path once: a companion two pictures share, or one listed already, is not
// added again.
void AddCompanionFiles(std::vector<std::string>& paths);
