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
// Adds the companions that exist of the files listed, each right after its
// picture, every path once: a companion two pictures share, or one listed
// already, is not added again. A job that goes down the list and is stopped
// part way (killed, even) so parts at most one picture from its companions.
void AddCompanionFiles(std::vector<std::string>& paths);
