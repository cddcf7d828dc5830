#include "browser/folder_scan.h"

#include "browser/file_item_store.h"
#include "browser/sort_key.h"
#include "browser/thumbnail_cache.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "ui/ui_services.h"
#include "imaging/image_importer.h"
#include "platform/path.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace {

std::string UpperCased(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The voice note a picture would have: its folder, its base name and ".WAV".
std::string WantedSoundPath(const std::string& picturePath)
{
    return JoinPath(ParentFolderOf(picturePath), StemOf(picturePath) + ".WAV");
}

} // namespace

// ---- the sound list

CSoundList::CSoundList(std::vector<std::string> paths)
    : m_paths(std::move(paths)), m_taken(m_paths.size(), false), m_left(m_paths.size())
{
    for (size_t i = 0; i < m_paths.size(); ++i)
        m_byName[UpperCased(m_paths[i])].push_back(i);
}

std::string CSoundList::Take(std::string_view wanted)
{
    auto it = m_byName.find(UpperCased(wanted));
    if (it == m_byName.end())
        return {};
    for (size_t i : it->second)
        if (!m_taken[i]) {
            m_taken[i] = true;
            --m_left;
            return m_paths[i];
        }
    return {};
}

std::vector<std::string> CSoundList::Remaining() const
{
    std::vector<std::string> left;
    left.reserve(m_left);
    for (size_t i = 0; i < m_paths.size(); ++i)
        if (!m_taken[i])
            left.push_back(m_paths[i]);
    return left;
}

// ---- listing and pairing

void GetImporterExtensions(std::vector<std::string>& extensions)
{
    CImageImporter importer(GetItemImporterPattern());
    importer.CollectExtensions(extensions, nullptr);
}

namespace {

// The listing with the time and size of each picture, as the listing read them.
void ListFolderEntries(const std::string& folder, std::vector<std::string>& pictures,
                       std::vector<FolderFileFacts>* pictureFacts, std::vector<std::string>& sounds,
                       std::vector<std::string>& folders)
{
    if (folder.empty())
        return;
    std::vector<std::string> declared;
    GetImporterExtensions(declared);
    // Messages are listed with the pictures: they show their photographs.
    std::unordered_set<std::string> pictureExtensions{"KVT"};
    std::vector<std::string> wanted{"WAV", "KVT"};
    for (const std::string& e : declared) {
        const std::string upper = UpperCased(e.size() > 1 && e[0] == '.' ? e.substr(1) : e);
        if (!upper.empty() && pictureExtensions.insert(upper).second)
            wanted.push_back(upper);
    }
    std::vector<std::string> files;
    std::vector<FolderFileFacts> facts;
    ListFolder(folder, folders, files, wanted, &facts);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string upper = UpperCased(ExtensionOf(files[i]));
        if (upper == "WAV") {
            sounds.push_back(std::move(files[i]));
        } else if (pictureExtensions.count(upper)) {
            pictures.push_back(std::move(files[i]));
            if (pictureFacts)
                pictureFacts->push_back(facts[i]);
        }
    }
}

} // namespace

void ListFolderFiles(const std::string& folder, std::vector<std::string>& pictures, std::vector<std::string>& sounds,
                     std::vector<std::string>& folders)
{
    ListFolderEntries(folder, pictures, nullptr, sounds, folders);
}

int PairSoundFile(CFileItem* item, const std::string& picturePath, CSoundList& sounds)
{
    // Voice notes belong to pictures; a message keeps its sounds inside.
    if (item->IsMessageFile())
        return 0;
    std::string found = sounds.Take(WantedSoundPath(picturePath));
    if (found.empty())
        return 0;
    item->m_strSoundPath = std::move(found);
    return 1;
}

void ScanFolderSoundFiles(const std::string& folder)
{
    std::vector<std::string> pictures, soundPaths, folders;
    ListFolderFiles(folder, pictures, soundPaths, folders);
    CSoundList sounds(std::move(soundPaths));
    // Two paths are one file only when they are equal byte for byte.
    std::unordered_map<std::string, CFileItem*> known;
    for (auto& item : GetFileItemArray())
        if (item)
            known.emplace(item->GetPath(), item.get());
    CImageImporter importer(GetItemImporterPattern());
    for (const std::string& path : pictures) {
        if (auto it = known.find(path); it != known.end()) {
            PairSoundFile(it->second, path, sounds);
            continue;
        }
        CFileItem* item = AppendFileItem(path);
        if (!item->ResetThumbnail(TRUE, &importer)) {
            RemoveFileItem(GetFileItemCount() - 1);
            continue;
        }
        known.emplace(path, item);
        PairSoundFile(item, path, sounds);
    }
    for (const std::string& path : sounds.Remaining())
        if (!known.count(path))
            known.emplace(path, AppendFileItem(path));
}

// ---- the scan job

CFolderScanDlog::CFolderScanDlog(CWnd* pParent, const std::string& folder, int sortMode, BOOL bDescending)
    : CCountedProgressDlog(IDD_PROGRESS_SAVE, FolderScanWorker, pParent), m_strFolder(folder), m_nSortMode(sortMode),
      m_bDescending(bDescending)
{
}

UINT CFolderScanDlog::FolderScanWorker(void* pParam)
{
    auto* dlg = static_cast<CFolderScanDlog*>(pParam);
    ScanFolder(
        dlg->m_strFolder, dlg->m_nSortMode, dlg->m_bDescending != FALSE, [dlg] { return dlg->m_bCancel != FALSE; },
        dlg->m_nTotal, dlg->m_nDone);
    return 0;
}

void CFolderScanDlog::ScanFolder(const std::string& folder, int sortMode, bool descending,
                                 const std::function<bool()>& stop, std::atomic<uint32_t>& total,
                                 std::atomic<uint32_t>& done)
{
    ClearFileItems(TRUE);
    std::vector<std::string> pictures, soundPaths, folders;
    std::vector<FolderFileFacts> facts;
    ListFolderEntries(folder, pictures, &facts, soundPaths, folders);
    CSoundList sounds(std::move(soundPaths));
    const int n = static_cast<int>(pictures.size() + sounds.RemainingCount());
    total = static_cast<uint32_t>(n);
    done = 0;
    PrepareThumbnailList(n);
    // The information is read now only when the order needs it.
    const int mode = ValidSortMode(sortMode);
    const BOOL readInfo = mode == kSortByKind || mode == kSortByInfo;
    CImageImporter importer(GetItemImporterPattern());
    uint32_t k = 0;
    int i = 0;
    for (size_t p = 0; p < pictures.size(); ++p) {
        const std::string& path = pictures[p];
        // A refused picture's slot takes the next candidate, and the slots
        // left over go at the end: no cache file exists yet to move.
        CFileItem* item = CreateFileItemAt(i, path);
        if (item) {
            item->m_fileTime = facts[p].modified;
            item->m_fileSize = facts[p].size;
        }
        if (item && item->ResetThumbnail(readInfo, &importer)) {
            ++i;
            if (PairSoundFile(item, path, sounds))
                done = ++k;
        }
        done = ++k;
        if (stop && stop()) {
            TruncateFileItems(i);
            return;
        }
    }
    for (const std::string& path : sounds.Remaining()) {
        if (CFileItem* item = CreateFileItemAt(i, path))
            item->ResetThumbnail(FALSE, &importer);
        done = ++k;
        ++i;
    }
    TruncateFileItems(i);
    SortFileItems(mode, descending);
}
