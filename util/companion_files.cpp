#include "util/companion_files.h"

#include "platform/path.h"
#include "util/path_util.h"

#include <QString>

#include <algorithm>
#include <dirent.h>
#include <unordered_set>

namespace {

// The key two names share when they differ only in letter case. Most names
// are plain ASCII, whose folding is to lower case; the rest go through Qt.
std::string Folded(std::string_view base)
{
    if (std::all_of(base.begin(), base.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string folded(base);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return folded;
    }
    return QString::fromUtf8(base.data(), qsizetype(base.size())).toCaseFolded().toStdString();
}

// The name without its extension, and whether it has one.
bool BaseOf(std::string_view name, std::string& base)
{
    if (DottedExtensionOf(name).empty())
        return false;
    base = StemOf(name);
    return true;
}

} // namespace

CNamesakeIndex::Names& CNamesakeIndex::Listed(const std::string& folder)
{
    auto [at, fresh] = m_folders.try_emplace(folder);
    if (!fresh)
        return at->second;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            std::string base;
            if (BaseOf(entry->d_name, base))
                at->second[Folded(base)].emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    return at->second;
}

std::vector<std::string> CNamesakeIndex::Find(const std::string& path, bool (*isKind)(std::string_view))
{
    const std::string folder = ParentFolderOf(path);
    const std::string stem = StemOf(path);
    const std::string own = LastNameOf(path);
    const Names& names = Listed(folder);
    const auto bucket = names.find(Folded(stem));
    if (bucket == names.end())
        return {};
    std::vector<std::string> exact, otherCase;
    for (const std::string& name : bucket->second) {
        std::string base;
        if (name == own || !isKind(name) || !BaseOf(name, base))
            continue;
        (base == stem ? exact : otherCase).push_back(JoinPath(folder, name));
    }
    std::vector<std::string> found = !exact.empty() ? exact : otherCase.size() == 1 ? otherCase : exact;
    std::sort(found.begin(), found.end());
    return found;
}

void CNamesakeIndex::Renamed(const std::string& from, const std::string& to)
{
    auto forget = [this](const std::string& path) {
        const auto folder = m_folders.find(ParentFolderOf(path));
        const std::string name = LastNameOf(path);
        std::string base;
        if (folder == m_folders.end() || !BaseOf(name, base))
            return;
        const auto bucket = folder->second.find(Folded(base));
        if (bucket != folder->second.end())
            std::erase(bucket->second, name);
    };
    forget(from);
    forget(to);
    const auto folder = m_folders.find(ParentFolderOf(to));
    const std::string name = LastNameOf(to);
    std::string base;
    if (folder != m_folders.end() && BaseOf(name, base))
        folder->second[Folded(base)].push_back(name);
}

std::vector<std::string> FindNamesakes(const std::string& path, bool (*isKind)(std::string_view))
{
    CNamesakeIndex index;
    return index.Find(path, isKind);
}

void AddCompanionFiles(std::vector<std::string>& paths)
{
    CNamesakeIndex index;
    AddCompanionFiles(paths, index);
}

void AddCompanionFiles(std::vector<std::string>& paths, CNamesakeIndex& index)
{
    // Room for the companions too: growing the set rehashes every name again.
    std::unordered_set<std::string> listed;
    listed.reserve(paths.size() * 2);
    listed.insert(paths.begin(), paths.end());
    std::vector<std::string> ordered;
    ordered.reserve(paths.size());
    for (std::string& path : paths) {
        std::vector<std::string> companions;
        if (!IsWavFile(path)) {
            companions = index.Find(path, IsWavFile);
            if (IsTiffFile(path) || IsTkfFile(path)) {
                std::vector<std::string> thumbnails = index.Find(path, IsThmFile);
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
