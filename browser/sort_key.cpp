#include "browser/sort_key.h"

#include "browser/file_item_store.h"
#include "util/path_util.h"
#include "util/string_util.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

// The last path element, without copying.
std::string_view NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

template <typename Key>
int CompareKeys(const Key& a, const Key& b)
{
    if constexpr (std::is_same_v<Key, int64_t>)
        return a < b ? -1 : a > b ? 1 : 0;
    else
        return CompareNoCase(a, b);
}

// The positions of the items in their new order: keys taken once, then one stable sort.
template <typename Key, typename KeyOf>
std::vector<uint32_t> SortedOrder(const std::vector<CFileItem*>& items, bool descending, KeyOf keyOf)
{
    std::vector<Key> keys;
    keys.reserve(items.size());
    for (CFileItem* item : items)
        keys.push_back(keyOf(item));
    std::vector<uint32_t> order(items.size());
    std::iota(order.begin(), order.end(), 0u);
    if (descending)
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return CompareKeys(keys[a], keys[b]) > 0; });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return CompareKeys(keys[a], keys[b]) < 0; });
    return order;
}

int64_t SizeOf(CFileItem* item)
{
    // The scan read the size with the file's time; a file never looked at is asked now.
    return item->m_fileSize >= 0 ? item->m_fileSize : GetFileLength(item->GetPath());
}

std::string ExtensionFirst(CFileItem* item)
{
    std::string ext, base;
    GetFileExtension(item->GetPath(), ext, false);
    GetFileName(item->GetPath(), base, false);
    return ext + "." + base;
}

int64_t KindOf(CFileItem* item)
{
    item->EnsureInfo();
    if (item->IsMessageFile() || item->HasSecondName())
        return 0;
    return item->HasMakerFlag8() ? 1 : 2;
}

std::string InfoTextOf(CFileItem* item)
{
    item->EnsureInfo();
    return item->m_exifInfo.GetItemText(kExifItemComment);
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

SortKeyValue CSortKeyName::Value(CFileItem* item) const { return std::string(NameOf(item->GetPath())); }
SortKeyValue CSortKeySize::Value(CFileItem* item) const { return SizeOf(item); }
SortKeyValue CSortKeyExt::Value(CFileItem* item) const { return ExtensionFirst(item); }
SortKeyValue CSortKeyDate::Value(CFileItem* item) const { return item->m_fileTime; }
SortKeyValue CSortKeyKind::Value(CFileItem* item) const { return KindOf(item); }
SortKeyValue CSortKeyOrder::Value(CFileItem* item) const { return int64_t(item->m_nListIndex); }
SortKeyValue CSortKeyInfo::Value(CFileItem* item) const { return InfoTextOf(item); }

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
    std::vector<CFileItem*> items;
    std::vector<uint32_t> positions;
    items.reserve(array.size());
    for (size_t i = 0; i < array.size(); ++i)
        if (array[i]) {
            items.push_back(array[i].get());
            positions.push_back(static_cast<uint32_t>(i));
        }
    std::vector<uint32_t> order;
    switch (ValidSortMode(mode)) {
    case kSortByName:
        order = SortedOrder<std::string_view>(items, descending, [](CFileItem* i) { return NameOf(i->GetPath()); });
        break;
    case kSortBySize: order = SortedOrder<int64_t>(items, descending, SizeOf); break;
    case kSortByExtension: order = SortedOrder<std::string>(items, descending, ExtensionFirst); break;
    case kSortByDate:
        order = SortedOrder<int64_t>(items, descending, [](CFileItem* i) { return i->m_fileTime; });
        break;
    case kSortByKind: order = SortedOrder<int64_t>(items, descending, KindOf); break;
    case kSortByInfo: order = SortedOrder<std::string>(items, descending, InfoTextOf); break;
    default:
        order = SortedOrder<int64_t>(items, descending, [](CFileItem* i) { return int64_t(i->m_nListIndex); });
        break;
    }
    // Empty slots (none once a scan is done) go behind the items.
    FileItemArray sorted;
    sorted.reserve(array.size());
    for (uint32_t k : order)
        sorted.push_back(std::move(array[positions[k]]));
    sorted.resize(array.size());
    array.swap(sorted);
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
