#include "util/file_filter.h"

std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter)
{
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) {
            fields.push_back(filter.substr(start));
            break;
        }
        fields.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FileFilterEntry> out;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty() && fields[i + 1].empty())
            break; // the closing "||"
        FileFilterEntry e;
        e.label = fields[i];
        const std::string& list = fields[i + 1];
        size_t p = 0;
        while (p <= list.size()) {
            size_t semi = list.find(';', p);
            std::string one = list.substr(p, semi == std::string::npos ? std::string::npos : semi - p);
            if (!one.empty())
                e.patterns.push_back(one);
            if (semi == std::string::npos)
                break;
            p = semi + 1;
        }
        out.push_back(std::move(e));
    }
    return out;
}

std::string QtFilterLine(const FileFilterEntry& entry)
{
    std::string patterns;
    for (const std::string& p : entry.patterns)
        patterns += (patterns.empty() ? "" : " ") + (p == "*.*" ? std::string("*") : p);
    std::string label = entry.label;
    // Qt reads the patterns from the last brackets of the line.
    if (!label.empty() && label.back() == ')') {
        size_t open = label.rfind('(');
        if (open != std::string::npos)
            label = label.substr(0, open);
        while (!label.empty() && label.back() == ' ')
            label.pop_back();
    }
    return label + " (" + patterns + ")";
}

std::string QtFileFilter(const std::string& filter)
{
    std::string out;
    for (const FileFilterEntry& e : ParseFileFilter(filter))
        out += (out.empty() ? "" : ";;") + QtFilterLine(e);
    return out;
}
