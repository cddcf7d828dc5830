// The browser view's picture commands that write files: the picture
// information of the selection as a CSV text, and the Exif user comment
// written into the selected pictures.
#include "browser/zun_main_view.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/item_output.h"
#include "browser/tree_pane.h"
#include "imaging/exif_file.h"
#include "imaging/image_info_set.h"
#include "imaging/metadata_file_kind.h"
#include "platform/file.h"
#include "platform/exceptions.h"
#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/replace_file.h"
#include "resources/string_table.h"
#include "ui/text_entry_dlog.h"
#include "util/file_filter.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

#include <filesystem>
#include <mutex>

namespace {

// The longest comment written, in UTF-16 units.
constexpr size_t kMaxCommentUnits = 260;

// A CSV field: quoted, with its quotes doubled so a text holding one (a
// comment, a camera model) cannot end the field early.
void AppendCsvField(std::string& out, const std::string& text)
{
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendCsvLine(std::string& out, const std::string& label, const std::string& text)
{
    AppendCsvField(out, label);
    out += ',';
    AppendCsvField(out, text);
    out += '\n';
}

// The camera sets list their items by display group; the CSV takes them all.
void AppendCameraSet(std::string& out, const CImageInfoSet& set, UINT first, UINT last)
{
    if (!set.IsValid())
        return;
    for (UINT id = first; id <= last; ++id) {
        const std::string key = set.GetItemKey(id);
        const std::string text = key.empty() ? std::string() : set.GetItemText(id);
        if (!text.empty())
            AppendCsvLine(out, key, text);
    }
}

void WriteInfoSetCsv(std::string& out, const CImageInfoSet& set)
{
    if (!set.IsValid())
        return;
    std::vector<std::string> labels;
    std::vector<UINT> ids;
    set.ListItems(labels, ids, 0);
    for (UINT id : ids) {
        const std::string text = set.GetItemText(id);
        if (!text.empty())
            AppendCsvLine(out, set.GetItemKey(id), text);
    }
}

} // namespace

void CZunMainView::OnExportInfoCsv()
{
    const std::vector<int> items = SelectedIndices();
    std::string path = m_pTreePane ? m_pTreePane->GetCurrentFolder() : std::string();
    std::string name = LoadResString(IDS_CSV_DEFAULT_NAME);
    if (name.find_first_not_of(' ') != std::string::npos)
        path = (std::filesystem::path(path) / name).string();
    for (std::string chosen = path;; chosen = path) {
        if (!AfxPromptFileName(chosen, FALSE, std::string(), QtFileFilter(LoadResString(IDS_CSV_FILTER))) ||
            chosen.empty())
            return;
        if (CompleteSaveName(chosen, ".CSV")) {
            path = chosen;
            break;
        }
    }

    std::string text;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int index : items) {
            CFileItem* item = GetFileItem(index, TRUE);
            if (!item || item->GetPath().empty())
                continue;
            CFileInfoSet file(item->m_pictureSize.cx, item->m_pictureSize.cy, item->m_nBitDepth);
            file.SetName(item->GetPath());
            WriteInfoSetCsv(text, file);
            AppendCameraSet(text, item->m_exifInfo, kExifItemFirst, kExifItemLast);
            AppendCameraSet(text, item->m_makerInfo, kMakerItemFirst, kMakerItemLast);
            // An empty line between files.
            text += '\n';
        }
    }
    // Nothing to write: no file is made, and one already there stays as it was.
    if (text.empty())
        return;
    try {
        ReplaceFileContents(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    } catch (const CFileException&) {
        AfxMessageBox(IDS_CSV_CANNOT_OPEN);
    }
}

void CZunMainView::OnEditUserComment()
{
    struct Target {
        int index;
        std::string path;
    };
    std::vector<Target> targets;
    std::string current;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        for (int index : SelectedIndices()) {
            CFileItem* item = GetFileItem(index, TRUE);
            if (!item->m_exifInfo.IsValid())
                continue;
            if (targets.empty())
                current = item->m_exifInfo.GetItemText(kExifItemComment);
            targets.push_back({index, item->GetPath()});
        }
    }
    if (targets.empty())
        return;
    // A comment of blanks only is no comment.
    if (current.find_first_not_of(' ') == std::string::npos)
        current.clear();
    CTextEntryDlog dlg(AfxGetMainWnd(), current);
    if (dlg.DoModal() != IDOK || dlg.m_strText == current)
        return;

    // No comment is stored as blanks in ASCII, as cameras leave the field.
    int code = 0;
    std::vector<BYTE> value(32, ' ');
    if (!dlg.m_strText.empty()) {
        char16_t units[kMaxCommentUnits];
        const size_t count = AnsiToUnicode(dlg.m_strText.c_str(), units, kMaxCommentUnits);
        if (count == 0)
            return;
        code = 2;
        value.clear();
        for (size_t i = 0; i < count; ++i) {
            value.push_back(BYTE(units[i] & 0xFF));
            value.push_back(BYTE(units[i] >> 8));
        }
    }
    for (const Target& target : targets) {
        CFile file;
        CExifFile exif;
        if (!file.Open(target.path, CFile::modeReadWrite) ||
            exif.SetUserComment(&file, GetMetadataFileKind(target.path), code, value.data(), value.size()) != 0) {
            AfxMessageBox(FormatWithStrings(LoadResString(IDS_CANNOT_OPEN_NAMED), {target.path}));
            continue;
        }
        file.Close();
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        CFileItem* item = GetFileItem(target.index);
        if (item->GetPath() != target.path)
            continue;
        item->m_exifInfo.SetItemText(kExifItemComment, dlg.m_strText);
        item->m_strInfoComment = item->m_exifInfo.GetItemText(kExifItemComment);
        item->ReadFileTime();
    }
    RefreshCaptions();
    if (m_pGallery)
        m_pGallery->Invalidate();
}
