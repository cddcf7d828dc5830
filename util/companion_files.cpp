#include "util/companion_files.h"

#include "util/path_util.h"

#include <QString>

#include <algorithm>
#include <dirent.h>
#include <set>

std::vector<std::string> FindNamesakes(const std::string& path, bool (*isKind)(std::string_view))
{
    std::vector<std::string> exact, otherCase;
    std::string folder, stem, own;
    GetParentFolder(path, folder);
    GetFileName(path, stem, false);
    GetFileName(path, own, true);
    if (path.starts_with('/') && folder.empty())
        folder = "/";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    const QString qstem = QString::fromStdString(stem);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        // The stem, one dot, and an extension of the kind.
        const size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || name == own || !isKind(name))
            continue;
        const std::string_view base = name.substr(0, dot);
        if (base == stem)
            exact.push_back(JoinPath(folder, name));
        else if (QString::fromUtf8(base.data(), qsizetype(base.size())).compare(qstem, Qt::CaseInsensitive) == 0)
            otherCase.push_back(JoinPath(folder, name));
    }
    ::closedir(dir);
    std::vector<std::string> found = !exact.empty() ? exact : otherCase.size() == 1 ? otherCase : exact;
    std::sort(found.begin(), found.end());
    return found;
}

void AddCompanionFiles(std::vector<std::string>& paths)
{
    std::set<std::string> listed(paths.begin(), paths.end());
    std::vector<std::string> ordered;
    ordered.reserve(paths.size());
    for (std::string& path : paths) {
        std::vector<std::string> companions;
        if (!IsWavFile(path)) {
            companions = FindNamesakes(path, IsWavFile);
            if (IsTiffFile(path) || IsTkfFile(path)) {
                std::vector<std::string> thumbnails = FindNamesakes(path, IsThmFile);
                companions.insert(companions.end(), thumbnails.begin(), thumbnails.end());
            }
        }
        ordered.push_back(std::move(path));
        for (std::string& c : companions)
            if (listed.insert(c).second)
                ordered.push_back(std::move(c));
    }
    paths = std::move(ordered);
}
