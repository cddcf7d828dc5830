#include "browser/file_item_store.h"

#include "browser/thumbnail_cache.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "ui/ui_services.h"
#include "imaging/icc_profile_data.h"
#include "imaging/program_folders.h"
#include "platform/path.h"

#include <algorithm>

namespace {

struct StoreState {
    FileItemArray items;
    int currentIndex = -1;
    CFileItem* current = nullptr; // null: the shared empty item
    CWnd* frame = nullptr;
    std::unique_ptr<CPrintTextSettings> overlay;
    int nextSlot = 0;
};

StoreState& Store()
{
    static StoreState state;
    return state;
}

CFileItem& SharedEmpty()
{
    static CFileItem empty(0, std::string());
    return empty;
}

CFileItem* Current()
{
    return Store().current ? Store().current : &SharedEmpty();
}

// The item an operation may change; null for the shared empty item, which
// must keep its empty path and zero fields for every caller.
CFileItem* Changeable(int index)
{
    CFileItem* item = GetFileItem(index);
    return item == &SharedEmpty() ? nullptr : item;
}

} // namespace

std::recursive_mutex& GetFileItemLock()
{
    static std::recursive_mutex lock;
    return lock;
}

void InitFileItemStore()
{
    const std::string base = GetCacheFolder();
    InitFileItemStore(base.empty() ? std::string() : base + "/Cache", GetHomePath());
}

void InitFileItemStore(const std::string& cacheFolder, const std::string& homeFolder)
{
    StoreState& s = Store();
    if (!cacheFolder.empty())
        CreateFolderTree(cacheFolder);
    SetThumbnailCacheFolder(cacheFolder);
    SetItemHomeFolder(homeFolder);
    s.frame = nullptr;
    s.items.clear();
    s.nextSlot = 0;
    s.overlay = std::make_unique<CPrintTextSettings>();
    s.overlay->Load();
    ClearThumbnailCache();
    s.currentIndex = -1;
    s.current = nullptr;
}

void SetBrowserMainWnd(CWnd* frame) { Store().frame = frame; }

CWnd* GetBrowserMainWnd() { return Store().frame; }

void ExitFileItemStore()
{
    StoreState& s = Store();
    DestroyThumbnailList();
    if (s.overlay)
        s.overlay->Save();
    ClearThumbnailCache();
    s.current = nullptr;
    s.currentIndex = -1;
    s.items.clear();
    s.nextSlot = 0;
}

int GetFileItemCount() { return static_cast<int>(Store().items.size()); }

CFileItem* GetFileItem(int index, BOOL readInfo)
{
    StoreState& s = Store();
    CFileItem* item = &SharedEmpty();
    if (index == -1)
        item = Current();
    else if (index >= 0 && index < GetFileItemCount() && s.items[size_t(index)])
        item = s.items[size_t(index)].get();
    if (readInfo && item != &SharedEmpty())
        item->EnsureInfo();
    return item;
}

CFileItem* GetSharedEmptyItem() { return &SharedEmpty(); }

int GetCurrentIndex() { return Store().currentIndex; }

void SetCurrentIndex(int index)
{
    StoreState& s = Store();
    s.currentIndex = index;
    if (index < 0) {
        s.current = nullptr;
    } else if (index < GetFileItemCount()) {
        s.current = s.items[size_t(index)].get();
    } else if (!s.items.empty()) {
        s.currentIndex = 0;
        s.current = s.items[0].get();
    } else {
        s.current = nullptr;
    }
}

CFileItem* CreateFileItemAt(int index, const std::string& path)
{
    StoreState& s = Store();
    if (index < 0 || index >= GetFileItemCount())
        return nullptr;
    auto& slot = s.items[size_t(index)];
    if (slot.get() == s.current)
        s.current = nullptr;
    slot = std::make_unique<CFileItem>(index, path);
    s.nextSlot = std::max(s.nextSlot, index + 1);
    return slot.get();
}

CFileItem* AppendFileItem(const std::string& path)
{
    StoreState& s = Store();
    auto item = std::make_unique<CFileItem>(GetFileItemCount(), path);
    item->m_nImageSlot = TakeThumbnailSlot();
    s.items.push_back(std::move(item));
    return s.items.back().get();
}

void RemoveFileItem(int index)
{
    StoreState& s = Store();
    if (index < 0 || index >= GetFileItemCount() || !s.items[size_t(index)])
        return;
    RemoveItemBmpCache(index, TRUE);
    RemoveItemRawCache(index, TRUE);
    CFileItem* item = s.items[size_t(index)].get();
    const int removed = item->m_nListIndex;
    // The current item must never be one that is gone.
    if (item == s.current) {
        s.current = nullptr;
        s.currentIndex = -1;
    } else if (s.current && index < s.currentIndex) {
        --s.currentIndex;
    }
    s.items.erase(s.items.begin() + index);
    for (auto& other : s.items)
        if (other && other->m_nListIndex > removed)
            --other->m_nListIndex;
}

void ClearFileItems(BOOL clearCache)
{
    StoreState& s = Store();
    s.current = nullptr;
    if (clearCache)
        ClearThumbnailCache();
    s.items.clear();
    s.nextSlot = 0;
}

void TruncateFileItems(int count)
{
    StoreState& s = Store();
    if (count < 0 || count >= GetFileItemCount())
        return;
    for (size_t i = size_t(count); i < s.items.size(); ++i)
        if (s.items[i] && s.items[i].get() == s.current) {
            s.current = nullptr;
            s.currentIndex = -1;
        }
    s.items.resize(size_t(count));
}

CFileItem* FindFileItemByPath(const std::string& path)
{
    for (auto& item : Store().items)
        if (item && EqualsNoCase(item->GetPath(), path))
            return item.get();
    return nullptr;
}

int FindFileItemIndex(const std::string& path)
{
    const FileItemArray& items = Store().items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] && items[i]->GetPath() == path)
            return static_cast<int>(i);
    return -1;
}

void RebaseFileItemPaths(const std::string& newFolder)
{
    std::string folder = newFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    for (auto& item : Store().items) {
        if (!item)
            continue;
        item->m_strPath = JoinPath(folder, LastNameOf(item->GetPath()));
        // The voice note keeps its own name as it is on disk: a name spelt in
        // another case would be another file here.
        if (!item->m_strSoundPath.empty())
            item->m_strSoundPath = JoinPath(folder, LastNameOf(item->m_strSoundPath));
    }
}

BOOL SetFileItemPath(int index, const std::string& path)
{
    CFileItem* item = Changeable(index);
    if (!item)
        return FALSE;
    item->m_strPath = path;
    item->m_bMessageFile = IsMessageFileName(path);
    return item->m_bMessageFile;
}

void ResetItemEdits(int index)
{
    if (CFileItem* item = Changeable(index)) {
        item->m_bMirrorH = 0;
        item->m_bMirrorV = 0;
        item->m_nRotation = 0;
    }
}

void SetCurrentItemSaveMode(int value)
{
    if (CFileItem* item = Changeable(-1))
        item->m_nSaveMode = value;
}

CPrintTextSettings& GetPrintTextSettings()
{
    StoreState& s = Store();
    if (!s.overlay)
        s.overlay = std::make_unique<CPrintTextSettings>();
    return *s.overlay;
}

std::string GetItemFileName(int index)
{
    return LastNameOf(GetFileItem(index)->GetPath());
}

std::string GetItemSoundPath(int index) { return GetFileItem(index)->m_strSoundPath; }

int64_t GetItemFileTime(int index) { return GetFileItem(index)->m_fileTime; }

CSize GetItemThumbnailSize(int index) { return GetFileItem(index)->m_thumbSize; }

CSize GetItemPictureSize(int index) { return GetFileItem(index, TRUE)->m_pictureSize; }

CSize GetItemOutputSize(int index) { return GetFileItem(index, TRUE)->m_outputSize; }

int GetItemResampleMode(int index) { return GetFileItem(index, TRUE)->m_nResampleMode; }

int GetItemTypeCode(int index) { return GetFileItem(index, TRUE)->m_nTypeCode; }

const CIccProfileData& GetItemProfile(int index) { return GetFileItem(index, TRUE)->m_exifInfo.GetProfile(); }

bool RefreshItemInfo(int index)
{
    CFileItem* item = Changeable(index);
    if (!item)
        return false;
    item->EnsureInfo();
    item->ReadFileTime();
    return item->ReadRawInfo();
}

FileItemArray& GetFileItemArray() { return Store().items; }

CFileItem* GetCurrentItemPointer() { return Current(); }

void FindCurrentItemAgain()
{
    StoreState& s = Store();
    if (!s.current)
        return;
    for (size_t i = 0; i < s.items.size(); ++i)
        if (s.items[i].get() == s.current) {
            s.currentIndex = static_cast<int>(i);
            return;
        }
}

void ResizeFileItemArray(int n)
{
    StoreState& s = Store();
    s.current = nullptr;
    s.items.clear();
    s.items.resize(size_t(std::max(n, 0)));
    s.nextSlot = std::max(n, 0);
}

int TakeThumbnailSlot() { return Store().nextSlot++; }
