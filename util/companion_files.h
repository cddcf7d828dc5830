#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A picture's companions stand beside it under its name and go wherever it
// goes: its voice note (".WAV"; a WAV file has none) and, for TIFF and raw
// pictures, the camera's thumbnail (".THM"). Extensions match in any case.
// The name before them matches byte for byte; a name in another case counts
// only when it is the only one there.

// The names of the folders an operation looks into, each folder read once
// and kept by the case-folded name before the extension, so an operation
// over n files costs n lookups instead of n readings of the folder.
class CNamesakeIndex {
public:
    // The files in the path's folder named as the path without its
    // extension, with an extension the test accepts, sorted; the path itself
    // is not one.
    std::vector<std::string> Find(const std::string& path, bool (*isKind)(std::string_view));
    // The operation renamed a file: the index follows without a new reading.
    void Renamed(const std::string& from, const std::string& to);

private:
    // Folded name before the extension -> the names in the folder.
    using Names = std::unordered_map<std::string, std::vector<std::string>>;
    Names& Listed(const std::string& folder);
    std::unordered_map<std::string, Names> m_folders;
};

// One lookup, reading the folder.
std::vector<std::string> FindNamesakes(const std::string& path, bool (*isKind)(std::string_view));
// Appends the companions that exist of the files listed, after them, every
// path once: a companion two pictures share, or one listed already, is not
// added again. The index lets several calls of one operation share a reading.
void AddCompanionFiles(std::vector<std::string>& paths);
void AddCompanionFiles(std::vector<std::string>& paths, CNamesakeIndex& index);
