#pragma once

#include "ui/counted_progress_dlog.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CFileItem;

// A folder's sound files, in the order they were listed, from which pictures
// take their voice notes. A note is found by its path in any letter case, as
// the folder has it, and keeps the name it has on disk.
class CSoundList {
public:
    CSoundList() = default;
    explicit CSoundList(std::vector<std::string> paths);

    // The first sound not yet taken whose path equals wanted in any letter
    // case, now taken; empty when there is none.
    std::string Take(std::string_view wanted);
    // The sounds not taken, in their order.
    std::vector<std::string> Remaining() const;
    size_t RemainingCount() const { return m_left; }

private:
    std::vector<std::string> m_paths;
    std::vector<bool> m_taken;
    // Upper-cased path -> positions, in order.
    std::unordered_map<std::string, std::vector<size_t>> m_byName;
    size_t m_left = 0;
};

// The folder's visible entries, each list sorted by name: files that an
// importer reads and message files (pictures), ".WAV" files in any case
// (sounds), sub-folders.
void ListFolderFiles(const std::string& folder, std::vector<std::string>& pictures, std::vector<std::string>& sounds,
                     std::vector<std::string>& folders);
// The extensions the importers declare, with their dots.
void GetImporterExtensions(std::vector<std::string>& extensions);
// Gives the item the voice note of the picture ("<folder>/<base>.WAV" in any
// case) and takes it from the list; 1 when one was found.
int PairSoundFile(CFileItem* item, const std::string& picturePath, CSoundList& sounds);
// Adds what is new in the folder to the loaded items, without sorting and
// without a dialog; files already there are left as they are.
void ScanFolderSoundFiles(const std::string& folder);

// The scan of a folder into the item store, behind the progress dialog: the
// store is emptied, every picture the browser shows becomes an item with its
// voice note, the remaining sound files follow, and the items are sorted.
// Cancel stops the scan after the current picture, leaving the pictures
// accepted so far, unsorted. The job runs on the dialog's worker thread and
// touches no window: it leaves its counts for the dialog's timer. The caller
// holds the item lock for the whole time.
class CFolderScanDlog : public CCountedProgressDlog {
public:
    CFolderScanDlog(CWnd* pParent, const std::string& folder, int sortMode, BOOL bDescending);

    // The job itself, on the calling thread: stop is asked after each
    // picture; total and done count the files for the bar.
    static void ScanFolder(const std::string& folder, int sortMode, bool descending,
                           const std::function<bool()>& stop, std::atomic<uint32_t>& total,
                           std::atomic<uint32_t>& done);

protected:
    std::string m_strFolder;
    int m_nSortMode;
    BOOL m_bDescending;

private:
    static UINT FolderScanWorker(void* pParam);
};
