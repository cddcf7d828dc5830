#include "browser/sort_key.h"

#include "browser/file_item_store.h"
#include "platform/path.h"
#include "util/path_util.h"
#include "util/string_util.h"

#include <algorithm>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

template <typename Key>
int CompareKeys(const Key& a, const Key& b)
{
    if constexpr (std::is_same_v<Key, int64_t>)
        return a < b ? -1 : a > b ? 1 : 0;
    else
        return CompareNoCase(a, b);
}

// Puts the array in the order of the keys (each beside its item's position,
// so that comparing never reaches back into the items), stably; empty slots
// go behind the items.
template <typename Key>
void SortByKeys(FileItemArray& array, std::vector<std::pair<Key, uint32_t>>& keyed, bool descending)
{
    if (descending)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return CompareKeys(a.first, b.first) > 0; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return CompareKeys(a.first, b.first) < 0; });
    FileItemArray sorted;
    sorted.reserve(array.size());
    for (const auto& k : keyed)
        sorted.push_back(std::move(array[k.second]));
    sorted.resize(array.size());
    array.swap(sorted);
}

template <typename KeyOf>
void SortByNumbers(FileItemArray& array, bool descending, KeyOf keyOf)
{
    std::vector<std::pair<int64_t, uint32_t>> keyed;
    keyed.reserve(array.size());
    for (uint32_t i = 0; i < array.size(); ++i)
        if (array[i])
            keyed.emplace_back(keyOf(array[i].get()), i);
    SortByKeys(array, keyed, descending);
}

// Texts are copied side by side first: comparing them then stays in one
// small block of memory instead of visiting every item's own.
template <typename AppendText>
void SortByTexts(FileItemArray& array, bool descending, AppendText appendText)
{
    std::string block;
    std::vector<std::pair<size_t, uint32_t>> spans;
    spans.reserve(array.size());
    for (uint32_t i = 0; i < array.size(); ++i)
        if (array[i]) {
            appendText(array[i].get(), block);
            spans.emplace_back(block.size(), i);
        }
    std::vector<std::pair<std::string_view, uint32_t>> keyed;
    keyed.reserve(spans.size());
    size_t start = 0;
    for (const auto& [end, position] : spans) {
        keyed.emplace_back(std::string_view(block).substr(start, end - start), position);
        start = end;
    }
    SortByKeys(array, keyed, descending);
}

int64_t SizeOf(CFileItem* item)
{
    // The scan read the size with the file's time; a file never looked at is asked now.
    return item->m_fileSize >= 0 ? item->m_fileSize : GetFileLength(item->GetPath());
}

// "extension.name" of the file name, appended to text.
void AppendExtensionFirst(CFileItem* item, std::string& text)
{
    const std::string& path = item->GetPath();
    text += ExtensionOf(path);
    text += '.';
    text += StemOf(path);
}

std::string ExtensionFirst(CFileItem* item)
{
    std::string text;
    AppendExtensionFirst(item, text);
    return text;
}

int64_t KindOf(CFileItem* item)
{
    item->EnsureInfo();
    if (item->IsMessageFile() || item->HasSecondName())
        return 0;
    return item->HasMakerFlag8() ? 1 : 2;
}

std::string_view InfoTextOf(CFileItem* item)
{
    item->EnsureInfo();
    return item->GetInfoComment();
}

} // namespace

int ValidSortMode(int mode) { return mode >= 0 && mode < kSortModeCount ? mode : kSortByFoundOrder; }

int CompareSortKeys(const SortKeyValue& a, const SortKeyValue& b)
{
    if (a.index() != b.index())
        return a.index() < b.index() ? -1 : 1;
    if (const auto* n = std::get_if<int64_t>(&a))
        return CompareKeys(*n, std::get<int64_t>(b));
    return CompareKeys(std::get<std::string>(a), std::get<std::string>(b));
}

int CSortKey::Compare(CFileItem* item) const { return Sign(CompareSortKeys(m_key, Value(item))); }

SortKeyValue CSortKeyName::Value(CFileItem* item) const { return LastNameOf(item->GetPath()); }
SortKeyValue CSortKeySize::Value(CFileItem* item) const { return SizeOf(item); }
SortKeyValue CSortKeyExt::Value(CFileItem* item) const { return ExtensionFirst(item); }
SortKeyValue CSortKeyDate::Value(CFileItem* item) const { return item->m_fileTime; }
SortKeyValue CSortKeyKind::Value(CFileItem* item) const { return KindOf(item); }
SortKeyValue CSortKeyOrder::Value(CFileItem* item) const { return int64_t(item->m_nListIndex); }
SortKeyValue CSortKeyInfo::Value(CFileItem* item) const { return std::string(InfoTextOf(item)); }

std::unique_ptr<CSortKey> MakeSortKey(int mode)
{
    switch (ValidSortMode(mode)) {
    case kSortByName: return std::make_unique<CSortKeyName>();
    case kSortBySize: return std::make_unique<CSortKeySize>();
    case kSortByExtension: return std::make_unique<CSortKeyExt>();
    case kSortByDate: return std::make_unique<CSortKeyDate>();
    case kSortByKind: return std::make_unique<CSortKeyKind>();
    case kSortByInfo: return std::make_unique<CSortKeyInfo>();
    default: return std::make_unique<CSortKeyOrder>();
    }
}

void SortFileItems(int mode, bool descending)
{
    FileItemArray& array = GetFileItemArray();
    switch (ValidSortMode(mode)) {
    case kSortByName:
        SortByTexts(array, descending, [](CFileItem* i, std::string& text) { text += LastNameOf(i->GetPath()); });
        break;
    case kSortBySize: SortByNumbers(array, descending, SizeOf); break;
    case kSortByExtension: SortByTexts(array, descending, AppendExtensionFirst); break;
    case kSortByDate: SortByNumbers(array, descending, [](CFileItem* i) { return i->m_fileTime; }); break;
    case kSortByKind: SortByNumbers(array, descending, KindOf); break;
    case kSortByInfo:
        SortByTexts(array, descending, [](CFileItem* i, std::string& text) { text.append(InfoTextOf(i)); });
        break;
    default: SortByNumbers(array, descending, [](CFileItem* i) { return int64_t(i->m_nListIndex); }); break;
    }
    FindCurrentItemAgain();
}

int FindSortPosition(CFileItem* item, bool descending, CSortKey& key)
{
    key.SetKey(item);
    const FileItemArray& array = GetFileItemArray();
    // The first position whose item belongs after the key.
    size_t low = 0, high = array.size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const int c = key.Compare(array[mid].get());
        const bool after = descending ? c > 0 : c < 0;
        if (after)
            high = mid;
        else
            low = mid + 1;
    }
    return static_cast<int>(low);
}
