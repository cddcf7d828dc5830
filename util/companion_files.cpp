#include "util/companion_files.h"

#include "platform/gcc_warnings.h"

#include "util/path_util.h"

#include <QString>

#include <algorithm>
#include <dirent.h>
#include <set>

// GCC 12 sees an overlap in std::string's own copy of a short literal here: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
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
QR_GCC_IGNORE_END

void AddCompanionFiles(std::vector<std::string>& paths)
{
    std::set<std::string> listed(paths.begin(), paths.end());
    const size_t count = paths.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string path = paths[i];
        if (IsWavFile(path))
            continue;
        std::vector<std::string> companions = FindNamesakes(path, IsWavFile);
        if (IsTiffFile(path) || IsTkfFile(path)) {
            std::vector<std::string> thumbnails = FindNamesakes(path, IsThmFile);
            companions.insert(companions.end(), thumbnails.begin(), thumbnails.end());
        }
        for (std::string& c : companions)
            if (listed.insert(c).second)
                paths.push_back(std::move(c));
    }
}
