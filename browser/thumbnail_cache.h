#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>

class CDibBitmap;
class CFileItem;
class CImageBuffer;

// The thumbnails of the loaded folder and the decoded pictures kept for
// output. A folder of fewer than kDiskModeItemCount items keeps its
// thumbnails in memory, one 160 x 160 cell per item; a larger one keeps one
// BMP file per item in the cache folder ("S_IDX<n>.bmp"), so that memory does
// not grow with the folder. Either way the cache folder holds an item's fully
// decoded picture ("IDX<n>.raw") once it was written out. Files are named by
// the item's list index and follow it when an item is removed; they never
// outlive one folder. Files are written through the one file writer, so a
// reader never sees a half-written one.
//
// The loader thread makes and stores thumbnails while it holds the item
// lock; the gallery reads them on the main thread (GetItemThumbnail) without
// it, so stored thumbnails and thumbnail sizes have a short lock of their own.

inline constexpr int kDiskModeItemCount = 384;
inline constexpr int kThumbnailCellSize = 160;
// Bitmap resources: the cell of an item whose thumbnail is not made yet, and
// the picture of a sound file.
enum : int { IDB_THUMBNAIL_PENDING = 1003, IDB_SOUND_FILE = 1018 };
// The import lock is waited for this long; a busy importer leaves the item
// for the loader's next round.
inline constexpr int kThumbnailLockWaitMs = 100;

// The largest thumbnail file read back: a thumbnail as large as a picture's
// Exif data may hold (4096 x 4096 at 24 bits) with its headers.
inline constexpr uint64_t kMaxThumbnailFileBytes = 4096ull * 4096ull * 3 + 1024;
// The limit in force: kMaxThumbnailFileBytes unless set otherwise.
uint64_t MaxThumbnailFileBytes();
void SetMaxThumbnailFileBytes(uint64_t bytes);

// The cache folder, set by the item store's start-up.
const std::string& GetThumbnailCacheFolder();
void SetThumbnailCacheFolder(std::string folder);

// Chooses memory or disk mode for a folder of n items and sizes the item
// array to n empty slots; in memory mode every cell shows the pending picture.
int PrepareThumbnailList(int n);
// Lets the memory cells go (exit).
void DestroyThumbnailList();
BOOL IsThumbnailMemoryMode();
// Cells in memory; 0 in disk mode.
int GetThumbnailCellCount();

std::string FormatRawCachePath(int number);
std::string FormatBmpCachePath(int number);
std::string GetItemRawCachePath(int index);
std::string GetItemBmpCachePath(int index);

// Makes and stores one item's thumbnail; 1 when one was stored, 0 when the
// item is to be tried again later.
int LoadItemThumbnail(int index);
// The item's thumbnail: its camera thumbnail file (TIFF and raw pictures),
// its Exif thumbnail, a decode at its thumbnail size, else 64 x 64 black.
// Empty only when the importer was busy. Always 1.
int MakeItemThumbnail(CFileItem* item, CDibBitmap& bitmap);
void StoreItemThumbnail(int index, CDibBitmap& bitmap);
// The stored thumbnail, or the pending picture; 0 for an index outside the array.
int GetItemThumbnail(int index, CDibBitmap& bitmap);
// The thumbnail fitted into a white width x height 24-bit bitmap, centred.
int GetItemThumbnailFitted(int index, CDibBitmap& bitmap, int width, int height);
int HasItemThumbnail(int index, CDibBitmap& bitmap);
// Whether the item's own thumbnail is stored (not the pending picture).
BOOL IsItemThumbnailStored(int index);

// The item's decoded picture, when the raw cache holds it for the file as it
// is now: a file saved over or changed since drops its cache. 1 when read.
int LoadItemRawCache(int index, CImageBuffer& buffer);
// Keeps the decoded picture of the item's file as it is now; 1 when written.
int SaveItemRawCache(int index, const CImageBuffer& buffer);
// Deletes the item's file (index -1: every item's); with shift the files of
// later list indexes move down by one. Thumbnail files exist in disk mode only.
void RemoveItemBmpCache(int index, BOOL shift);
void RemoveItemRawCache(int index, BOOL shift);
// Deletes every thumbnail and raw file of the cache folder, whatever the
// case of their extensions; hidden files and folders stay.
void ClearThumbnailCache();
