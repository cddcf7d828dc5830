#include "browser/thumbnail_cache.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "util/geometry.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/thumbnail_maker.h"
#include "message/photo_content.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "platform/path.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum CacheKind { kBmpFiles = 0, kRawFiles = 1 };

struct CacheState {
    std::string folder;
    bool memoryMode = false;
    // Guards the cells and the items' thumbnail sizes between the loader,
    // which stores, and the gallery, which reads.
    std::mutex cellLock;
    // One 160 x 160 cell per thumbnail slot; cells that show the pending
    // picture share one bitmap.
    std::vector<std::shared_ptr<const CDibBitmap>> cells;
    // The pending cell of the loaded folder: a cell that is not it holds a thumbnail.
    std::shared_ptr<const CDibBitmap> pending;
    // One past the highest file number of each kind written since the folder
    // was emptied: shifting files down never has to look further.
    int filesEnd[2] = {0, 0};
    uint64_t maxThumbnailFileBytes = kMaxThumbnailFileBytes;
};

CacheState& Cache()
{
    static CacheState state;
    return state;
}

std::string FormatCachePath(const char* prefix, int number, const char* extension)
{
    char name[48];
    std::snprintf(name, sizeof name, "%s%02d.%s", prefix, number, extension);
    return JoinPath(Cache().folder, name);
}

std::string CachePath(CacheKind kind, int number)
{
    return kind == kBmpFiles ? FormatBmpCachePath(number) : FormatRawCachePath(number);
}

bool FileExists(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

void NoteWritten(CacheKind kind, int number) { Cache().filesEnd[kind] = std::max(Cache().filesEnd[kind], number + 1); }

// Deletes the file of the item at index (every item's for -1); with shift,
// the files of later list indexes then move down by one, so that they again
// carry their items' list indexes once the item has left the array.
void RemoveCacheFiles(CacheKind kind, int index, BOOL shift)
{
    const FileItemArray& items = GetFileItemArray();
    const int count = static_cast<int>(items.size());
    const int first = index == -1 ? 0 : index, stop = index == -1 ? count : std::min(index + 1, count);
    for (int p = std::max(first, 0); p < stop; ++p) {
        if (!items[size_t(p)])
            continue;
        const std::string path = CachePath(kind, items[size_t(p)]->m_nListIndex);
        unlink(path.c_str());
    }
    if (!shift || index < 0 || index >= count || !items[size_t(index)])
        return;
    int& end = Cache().filesEnd[kind];
    const int removed = items[size_t(index)]->m_nListIndex;
    const int last = std::min(count, end);
    for (int k = std::max(removed, 0); k < last; ++k) {
        const std::string here = CachePath(kind, k), next = CachePath(kind, k + 1);
        unlink(here.c_str());
        // A file that does not move is made again when its cell is drawn.
        if (FileExists(next))
            RenameNoReplace(next, here);
    }
    if (end > removed)
        end = std::max(removed, end - 1);
}

// The pending picture in a white cell, shared by every cell that waits.
std::shared_ptr<const CDibBitmap> PendingCell()
{
    auto cell = std::make_shared<CDibBitmap>();
    cell->CreateDib(CSize(kThumbnailCellSize, kThumbnailCellSize), 24);
    CDibBitmap pending;
    if (pending.LoadFromResource(IDB_THUMBNAIL_PENDING)) {
        const CSize s = pending.GetSize();
        const CRect part(0, 0, std::min<LONG>(s.cx, kThumbnailCellSize), std::min<LONG>(s.cy, kThumbnailCellSize));
        CDibBitmap::StretchDraw(pending, *cell, part, part, nullptr, true);
    }
    return cell;
}

// The bitmap drawn into a new 160 x 160 cell at the top-left corner; scaled
// to fit when larger. size becomes the size it takes there.
std::shared_ptr<const CDibBitmap> MakeCell(const CDibBitmap& thumbnail, CSize& size)
{
    auto cell = std::make_shared<CDibBitmap>();
    if (!cell->CreateDib(CSize(kThumbnailCellSize, kThumbnailCellSize), 24))
        return nullptr;
    const CSize s = thumbnail.GetSize();
    const CRect whole(0, 0, s.cx, s.cy);
    if (s.cx > kThumbnailCellSize || s.cy > kThumbnailCellSize) {
        const RECT bound{0, 0, kThumbnailCellSize, kThumbnailCellSize};
        RECT fitted{};
        FitRectKeepAspect(&bound, &whole, &fitted, 1);
        const CRect at(0, 0, fitted.right - fitted.left, fitted.bottom - fitted.top);
        CDibBitmap scaled;
        if (!scaled.ResampleInto(thumbnail, whole, at))
            return nullptr;
        CDibBitmap::StretchDraw(scaled, *cell, at, at, nullptr, true);
        size = at.Size();
    } else {
        CDibBitmap::StretchDraw(thumbnail, *cell, whole, whole, nullptr, true);
        size = s;
    }
    return cell;
}

// Cache files are made again when lost: they need not reach the disk, only
// replace the old ones whole.
CReplaceFile::Options CacheFileOptions()
{
    CReplaceFile::Options options;
    options.durable = false;
    return options;
}

void LoadPending(CDibBitmap& bitmap) { bitmap.LoadFromResource(IDB_THUMBNAIL_PENDING); }

} // namespace

uint64_t MaxThumbnailFileBytes() { return Cache().maxThumbnailFileBytes; }

void SetMaxThumbnailFileBytes(uint64_t bytes) { Cache().maxThumbnailFileBytes = bytes; }

const std::string& GetThumbnailCacheFolder() { return Cache().folder; }

void SetThumbnailCacheFolder(std::string folder) { Cache().folder = std::move(folder); }

int PrepareThumbnailList(int n)
{
    CacheState& c = Cache();
    {
        std::lock_guard<std::mutex> guard(c.cellLock);
        c.cells.clear();
        c.cells.shrink_to_fit();
        c.memoryMode = n < kDiskModeItemCount;
        c.pending = c.memoryMode ? PendingCell() : nullptr;
        if (c.memoryMode)
            c.cells.assign(size_t(std::max(n, 0)), c.pending);
    }
    ResizeFileItemArray(n);
    return 1;
}

void DestroyThumbnailList()
{
    CacheState& c = Cache();
    std::lock_guard<std::mutex> guard(c.cellLock);
    c.cells.clear();
    c.cells.shrink_to_fit();
    c.pending.reset();
}

BOOL IsThumbnailMemoryMode() { return Cache().memoryMode; }

int GetThumbnailCellCount()
{
    std::lock_guard<std::mutex> guard(Cache().cellLock);
    return static_cast<int>(Cache().cells.size());
}

std::string FormatRawCachePath(int number) { return FormatCachePath("IDX", number, "raw"); }

std::string FormatBmpCachePath(int number) { return FormatCachePath("S_IDX", number, "bmp"); }

std::string GetItemRawCachePath(int index) { return FormatRawCachePath(GetFileItem(index)->m_nListIndex); }

std::string GetItemBmpCachePath(int index) { return FormatBmpCachePath(GetFileItem(index)->m_nListIndex); }

int LoadItemThumbnail(int index)
{
    if (index >= GetFileItemCount())
        return 0;
    CFileItem* item = GetFileItem(index, TRUE);
    if (item == GetSharedEmptyItem() || item->m_nListIndex < 0)
        return 0;
    CDibBitmap bitmap;
    MakeItemThumbnail(item, bitmap);
    if (!bitmap.IsValid())
        return 0;
    item->m_outputSize = CSize(0, 0);
    StoreItemThumbnail(index, bitmap);
    GetFileItem(index, TRUE);
    return 1;
}

int MakeItemThumbnail(CFileItem* item, CDibBitmap& bitmap)
{
    if (item->IsWav()) {
        bitmap.LoadFromResource(IDB_SOUND_FILE);
        return 1;
    }
    if (item->IsMessageFile()) {
        // The message's photograph, read by the message reader itself; a
        // damaged message shows the placeholder of an unreadable picture.
        CAPhotoContent message(0);
        CDibBitmap made;
        if (!ReadMessageFile(item->GetPath(), message) ||
            !FitThumbnail(message.GetImage(), made, CFileItem::kThumbnailBound, CFileItem::kThumbnailBound))
            made.CreateDib(CSize(64, 64), 24, nullptr, nullptr, RGB(0, 0, 0));
        bitmap.Attach(std::move(made));
        return 1;
    }
    CSize hint;
    {
        std::lock_guard<std::mutex> guard(Cache().cellLock);
        hint = item->m_thumbSize;
    }
    CThumbnailMaker maker(GetItemImporterPattern(), std::max<LONG>(hint.cx, 1), std::max<LONG>(hint.cy, 1),
                          kThumbnailLockWaitMs);
    CDibBitmap made;
    maker.MakeThumbnail(item->GetPath(), made);
    if (made.IsValid() && !maker.LockWasBusy()) {
        std::lock_guard<std::mutex> guard(Cache().cellLock);
        item->m_thumbSize = made.GetSize();
    }
    if (made.IsValid())
        bitmap.Attach(std::move(made));
    return 1;
}

void StoreItemThumbnail(int index, CDibBitmap& bitmap)
{
    if (index < 0 || index >= GetFileItemCount() || !bitmap.IsValid())
        return;
    if (bitmap.GetBitsPerPixel() == 8)
        bitmap.ConvertBitDepth(24);
    CFileItem* item = GetFileItem(index, TRUE);
    if (item == GetSharedEmptyItem())
        return;
    if (item->m_outputSize == CSize(0, 0))
        item->m_outputSize = item->IsTkf() ? item->m_pictureSize : item->m_importSize;
    CacheState& c = Cache();
    if (c.memoryMode) {
        CSize size = bitmap.GetSize();
        std::shared_ptr<const CDibBitmap> cell = MakeCell(bitmap, size);
        if (!cell)
            return;
        std::lock_guard<std::mutex> guard(c.cellLock);
        item->m_thumbSize = size;
        const size_t slot = size_t(std::max(item->m_nImageSlot, 0));
        if (!c.pending)
            c.pending = PendingCell();
        if (c.cells.size() <= slot)
            c.cells.resize(slot + 1, c.pending);
        c.cells[slot] = std::move(cell);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(c.cellLock);
        item->m_thumbSize = bitmap.GetSize();
    }
    // Written whole beside the old file and renamed over it, so that the
    // gallery, which reads these files on the main thread, never sees half a file.
    CMemFile memory;
    if (!bitmap.Write(memory, 96.0f))
        return;
    try {
        ReplaceFileContents(FormatBmpCachePath(item->m_nListIndex), memory.Data(), CacheFileOptions());
        NoteWritten(kBmpFiles, item->m_nListIndex);
    } catch (const CException&) {
        // The item keeps showing the pending picture.
    }
}

int GetItemThumbnail(int index, CDibBitmap& bitmap)
{
    if (index >= GetFileItemCount() || index < -1)
        return 0;
    CFileItem* item = GetFileItem(index);
    CacheState& c = Cache();
    if (c.memoryMode) {
        std::shared_ptr<const CDibBitmap> cell;
        CSize size;
        {
            std::lock_guard<std::mutex> guard(c.cellLock);
            const int slot = item->m_nImageSlot;
            if (slot >= 0 && size_t(slot) < c.cells.size())
                cell = c.cells[size_t(slot)];
            size = item->m_thumbSize;
        }
        if (!cell || size.cx <= 0 || size.cy <= 0) {
            LoadPending(bitmap);
            return 1;
        }
        size.cx = std::min<LONG>(size.cx, kThumbnailCellSize);
        size.cy = std::min<LONG>(size.cy, kThumbnailCellSize);
        const CRect part(0, 0, size.cx, size.cy);
        CDibBitmap copy;
        if (!copy.CreateDib(size, 24) || !CDibBitmap::StretchDraw(*cell, copy, part, part, nullptr, true)) {
            LoadPending(bitmap);
            return 1;
        }
        bitmap = std::move(copy);
        return 1;
    }
    bitmap.DeleteObject();
    const std::string path = FormatBmpCachePath(item->m_nListIndex);
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || uint64_t(st.st_size) > MaxThumbnailFileBytes() ||
        !bitmap.LoadFromFile(path))
        LoadPending(bitmap);
    return 1;
}

int GetItemThumbnailFitted(int index, CDibBitmap& bitmap, int width, int height)
{
    CDibBitmap thumbnail;
    if (!GetItemThumbnail(index, thumbnail) || !thumbnail.IsValid() || width <= 0 || height <= 0)
        return 0;
    const RECT bound{0, 0, width, height};
    const RECT source{0, 0, thumbnail.GetSize().cx, thumbnail.GetSize().cy};
    RECT fitted{};
    FitRectKeepAspect(&bound, &source, &fitted, 1);
    CDibBitmap canvas;
    if (!canvas.CreateDib(CSize(width, height), 24))
        return 0;
    const CRect at(fitted);
    if (!at.IsRectEmpty()) {
        CDibBitmap scaled;
        if (at.Size() == thumbnail.GetSize())
            CDibBitmap::StretchDraw(thumbnail, canvas, at, CRect(source), nullptr, true);
        else if (scaled.ResampleInto(thumbnail, CRect(source), CRect(0, 0, at.Width(), at.Height())))
            CDibBitmap::StretchDraw(scaled, canvas, at, CRect(0, 0, at.Width(), at.Height()), nullptr, true);
    }
    bitmap = std::move(canvas);
    return 1;
}

BOOL IsItemThumbnailStored(int index)
{
    if (index < 0 || index >= GetFileItemCount())
        return FALSE;
    const CFileItem* item = GetFileItem(index);
    CacheState& c = Cache();
    if (!c.memoryMode)
        return FileExists(FormatBmpCachePath(item->m_nListIndex));
    std::lock_guard<std::mutex> guard(c.cellLock);
    const int slot = item->m_nImageSlot;
    return slot >= 0 && size_t(slot) < c.cells.size() && c.cells[size_t(slot)] && c.cells[size_t(slot)] != c.pending;
}

int HasItemThumbnail(int index, CDibBitmap& bitmap)
{
    return GetItemThumbnail(index, bitmap) && index >= 0 && index < GetFileItemCount();
}

int LoadItemRawCache(int index, CImageBuffer& buffer)
{
    if (index < 0 || index >= GetFileItemCount())
        return 0;
    buffer.Free();
    CFileItem* item = GetFileItem(index);
    const std::string path = FormatRawCachePath(item->m_nListIndex);
    if (item == GetSharedEmptyItem() || !FileExists(path))
        return 0;
    // A picture saved over, or changed by another program, since it was
    // decoded: the kept copy is stale and goes.
    const CFileStamp now = CFileStamp::Of(item->GetPath());
    if (now.size < 0 || !(now == item->m_rawCacheStamp)) {
        unlink(path.c_str());
        return 0;
    }
    return buffer.LoadFile(CImageBuffer::kMapping, path, false) ? 1 : 0;
}

int SaveItemRawCache(int index, const CImageBuffer& buffer)
{
    if (index < 0 || index >= GetFileItemCount() || !buffer.IsValid())
        return 0;
    CFileItem* item = GetFileItem(index);
    if (item == GetSharedEmptyItem())
        return 0;
    const CFileStamp stamp = CFileStamp::Of(item->GetPath());
    const std::string path = FormatRawCachePath(item->m_nListIndex);
    CReplaceFile out;
    if (!out.Open(path, CacheFileOptions()))
        return 0;
    // The buffer writes through a file object; this one writes into the
    // writer's temporary file, renamed over the old cache file only when complete.
    CFile file;
    if (!file.Open(out.WritePath(), CFile::modeReadWrite)) {
        out.Abandon();
        return 0;
    }
    const bool written = buffer.WriteFile(file);
    file.Close();
    if (!written || !out.Commit()) {
        out.Abandon();
        return 0;
    }
    item->m_rawCacheStamp = stamp;
    NoteWritten(kRawFiles, item->m_nListIndex);
    return 1;
}

void RemoveItemBmpCache(int index, BOOL shift)
{
    if (Cache().memoryMode)
        return;
    RemoveCacheFiles(kBmpFiles, index, shift);
}

void RemoveItemRawCache(int index, BOOL shift) { RemoveCacheFiles(kRawFiles, index, shift); }

void ClearThumbnailCache()
{
    CacheState& c = Cache();
    c.filesEnd[kBmpFiles] = c.filesEnd[kRawFiles] = 0;
    if (c.folder.empty())
        return;
    DIR* dir = opendir(c.folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> doomed;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        const std::string ext = ExtensionOf(name);
        if (!EqualsNoCase(ext, "bmp") && !EqualsNoCase(ext, "raw"))
            continue;
        const std::string path = JoinPath(c.folder, name);
        struct stat st{};
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            doomed.push_back(path);
    }
    closedir(dir);
    for (const std::string& path : doomed)
        unlink(path.c_str()); // one that will not go is left; the rest still go
}
