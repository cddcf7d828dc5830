#include "browser/file_rename.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "util/companion_files.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

std::string MakeSerialName(int counter, const std::string& name, const std::string& number)
{
    const int width = int(CountChars(number));
    long long value = 0;
    for (char c : number)
        if (c >= '0' && c <= '9' && value < 1000000000LL)
            value = value * 10 + (c - '0');
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", width, value + counter);
    return name + digits;
}

void ProposeSerialName(const std::string& path, std::string& name, std::string& number)
{
    name = StemOf(path);
    size_t end = name.size();
    while (end > 0 && name.size() - end < 5 && std::isdigit(static_cast<unsigned char>(name[end - 1])))
        --end;
    number = name.substr(end);
    name.erase(end);
    if (name.size() > 10) {
        // Never cut inside a character.
        size_t cut = 0;
        while (cut < name.size()) {
            const size_t len = CharLenAt(name, cut);
            if (cut + len > 10)
                break;
            cut += len;
        }
        name.erase(cut);
    }
}

bool RenameItem(int index, const std::string& text, std::string& error)
{
    CNamesakeIndex names;
    return RenameItem(index, text, error, names);
}

bool RenameItem(int index, const std::string& text, std::string& error, CNamesakeIndex& names)
{
    error.clear();
    const std::string name = text.substr(0, text.find('\n'));
    if (HasInvalidFileNameChar(name)) {
        error = LoadResString(IDS_INVALID_NAME_CHARS);
        return false;
    }
    const std::string base = StemOf(name);
    const std::string typed = ExtensionOf(name);
    // A typed ".jpg" is an extension with nothing before it, though as a
    // file's name it would be a hidden one.
    if (base.empty() || (name.front() == '.' && DottedExtensionOf(name).empty())) {
        error = LoadResString(IDS_RENAME_EMPTY_BASE);
        return false;
    }
    std::vector<std::string> sources;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        CFileItem* item = GetFileItem(index);
        if (!item || item == GetSharedEmptyItem())
            return false;
        sources.push_back(item->GetPath());
    }
    AddCompanionFiles(sources, names);
    const std::string folder = ParentFolderOf(sources[0]);
    const std::string ownExt = ExtensionOf(sources[0]);
    // A typed extension other than the picture's own becomes part of the name.
    std::string stem = base;
    if (!typed.empty() && !EqualsNoCase(typed, ownExt))
        stem = base + "." + typed;
    std::vector<std::string> targets;
    for (size_t i = 0; i < sources.size(); ++i) {
        std::string ext = ExtensionOf(sources[i]);
        if (i == 0 && !typed.empty() && EqualsNoCase(typed, ownExt))
            ext = typed;
        targets.push_back(JoinPath(folder, ext.empty() ? stem : stem + "." + ext));
    }
    for (const std::string& t : targets)
        if (t.size() >= PATH_MAX) {
            AfxMessageBox(IDS_PATH_TOO_LONG);
            return false;
        }
    // Names differing only in case are two names here: such a rename is done.
    if (targets[0] == sources[0])
        return true;
    for (size_t i = 0; i < sources.size(); ++i)
        if (targets[i] != sources[i] && Exists(targets[i])) {
            error = LoadResString(IDS_NAME_EXISTS_OVERWRITE);
            return false;
        }
    {
        CWaitCursor wait;
        std::vector<size_t> done;
        for (size_t i = 0; i < sources.size(); ++i) {
            if (targets[i] == sources[i])
                continue;
            if (!RenameFileNoReplace(sources[i], targets[i], error)) {
                // The picture and its companions keep one name: what went is put back.
                for (auto it = done.rbegin(); it != done.rend(); ++it) {
                    std::string ignored;
                    RenameFileNoReplace(targets[*it], sources[*it], ignored);
                }
                if (error.size() > 255)
                    error.resize(255);
                return false;
            }
            done.push_back(i);
        }
        for (size_t i : done)
            names.Renamed(sources[i], targets[i]);
    }
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    SetFileItemPath(index, targets[0]);
    if (CFileItem* item = GetFileItem(index); item && item != GetSharedEmptyItem())
        for (size_t i = 1; i < sources.size(); ++i)
            if (item->m_strSoundPath == sources[i])
                item->m_strSoundPath = targets[i];
    return true;
}

bool RenameItems(const std::vector<int>& items, const std::string& name, const std::string& number,
                 std::string& error)
{
    // One reading of the folder for the whole operation, kept up to date by
    // each rename.
    CNamesakeIndex names;
    int counter = 0;
    for (int index : items) {
        if (!RenameItem(index, MakeSerialName(counter, name, number), error, names))
            return false;
        ++counter;
    }
    return true;
}
