#pragma once

#include "browser/file_item.h"
#include "util/print_text_settings.h"
#include "platform/types.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CIccProfileData;
class CWnd;

// The browser's items of the current folder: one process-wide store with an
// array of owned items in folder order (slots may stay empty while a scan
// fills it), a current index and item, and a shared empty item that stands
// in for any index that names no item, so an accessor never answers null.
// Indexes are 0-based; -1 names the current item.
//
// The store has no lock of its own: whoever reads or changes it holds the
// browser's item lock (the view's reload, re-sort and removals on the main
// thread, the thumbnail loader, comment search). A folder scan fills the
// store on its worker while the reload that started it holds the lock.

// The browser's item lock. Taken without a time limit; the holder may take
// it again.
std::recursive_mutex& GetFileItemLock();

// Start-up: the cache folder ($XDG_CACHE_HOME/Quiram/Cache) made and emptied,
// the text-overlay settings loaded, no item current. The second form takes
// the cache folder and the home folder whose importers read the files.
void InitFileItemStore();
void InitFileItemStore(const std::string& cacheFolder, const std::string& homeFolder);
// The browser frame, once it exists.
void SetBrowserMainWnd(CWnd* frame);
CWnd* GetBrowserMainWnd();
// Exit: the thumbnails let go, the overlay settings saved, the cache folder
// emptied, every item deleted.
void ExitFileItemStore();

int GetFileItemCount();
// The item at the index (the current one for -1); the shared empty item for
// an index at or past the end or an empty slot. With readInfo its
// information is read first.
CFileItem* GetFileItem(int index, BOOL readInfo = FALSE);
// The item that stands in for no item; its path is empty and it is never changed.
CFileItem* GetSharedEmptyItem();
int GetCurrentIndex();
// A negative index: no item current. Past the end: item 0 (the index too),
// or with an empty store no item while the index keeps the value.
void SetCurrentIndex(int index);

// A new item with that list index in the existing slot (the scan sizes the
// array first); the slot's former item, if any, is deleted.
CFileItem* CreateFileItemAt(int index, const std::string& path);
// A new item at the end with list index = the count and a thumbnail cell of
// its own (the merge of new files into a loaded folder).
CFileItem* AppendFileItem(const std::string& path);
// Deletes the item and its cache files, moves the later cache files and list
// indexes down by one. Thumbnail cells stay as they are.
void RemoveFileItem(int index);
// Deletes every item (and with clearCache every cache file first); the index
// stays as it was, the shared empty item becomes current.
void ClearFileItems(BOOL clearCache);
// Drops the slots from count to the end (the scan's unused slots).
void TruncateFileItems(int count);
// The first item of the path in any letter case; null when none.
CFileItem* FindFileItemByPath(const std::string& path);
// The index of the first item of exactly that path; -1 when none.
int FindFileItemIndex(const std::string& path);
// After the browsed folder was renamed: every path (and voice note) moves
// into the new folder with its own name.
void RebaseFileItemPaths(const std::string& newFolder);
// A new path for the item; answers whether it names a message file.
BOOL SetFileItemPath(int index, const std::string& path);
// No mirroring, no rotation.
void ResetItemEdits(int index);
void SetCurrentItemSaveMode(int value);

// The text drawn over pictures written out (loaded at start, saved at exit).
CPrintTextSettings& GetPrintTextSettings();

// Item fields by index (-1 current; past the end the shared empty item's).
std::string GetItemFileName(int index);
std::string GetItemSoundPath(int index);
int64_t GetItemFileTime(int index);
CSize GetItemThumbnailSize(int index);
// These read the item's information first.
CSize GetItemPictureSize(int index);
CSize GetItemOutputSize(int index);
int GetItemResampleMode(int index);
int GetItemTypeCode(int index);
const CIccProfileData& GetItemProfile(int index);
// Reads the time and the importer's information again; true when read.
bool RefreshItemInfo(int index);

// ---- for the browser's own model (sorting, the thumbnail cache, the scan)

using FileItemArray = std::vector<std::unique_ptr<CFileItem>>;
FileItemArray& GetFileItemArray();
CFileItem* GetCurrentItemPointer();
// Makes the item current again after the array was reordered; the index
// stays when it is not in the array.
void FindCurrentItemAgain();
// Sizes the array to n empty slots; the cells 0..n-1 are the scan's, the
// next free one is n.
void ResizeFileItemArray(int n);
// The next thumbnail cell nobody has had since the folder was loaded.
int TakeThumbnailSlot();
