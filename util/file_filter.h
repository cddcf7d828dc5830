#pragma once

#include <string>
#include <vector>

// File filters are kept in the program's form, "label|*.a;*.b|label|*.c||";
// Qt's file dialog takes "label (*.a *.b);;label (*.c)".

struct FileFilterEntry {
    std::string label;
    std::vector<std::string> patterns; // "*.jpg", "*.*"
};

std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter);
// One Qt filter line per entry: the label, then its patterns in brackets
// unless the label already ends with them.
std::string QtFilterLine(const FileFilterEntry& entry);
std::string QtFileFilter(const std::string& filter);
