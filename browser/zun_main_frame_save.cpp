// Save As of the selected picture: the picture as the browser shows it
// (mirrored, rotated, resized, overlaid) written with its metadata; and a
// picture pasted from the clipboard saved as a new file.
#include "browser/zun_main_frame.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/item_output.h"
#include "browser/thumbnail_cache.h"
#include "browser/zun_main_view.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_save.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/program_folders.h"
#include "platform/file.h"
#include "platform/framework/ole_drop.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "ui/file_save_dlog.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QClipboard>
#include <QGuiApplication>

#include <climits>
#include <filesystem>
#include <mutex>

namespace {

// Explorer style, hide read-only, overwrite prompt.
constexpr DWORD kSaveAsFlags = 0x80006;
constexpr int kDefaultQuality = 80;

// The quality the picture was saved with, where its Exif data tell.
int SavedQuality(const std::string& path)
{
    const int kind = GetMetadataFileKind(path);
    if (kind == kExifUnsupported)
        return kDefaultQuality;
    CFile file;
    CExifFile exif;
    if (!file.Open(path, CFile::modeRead) || exif.Attach(&file, kind) != 0)
        return kDefaultQuality;
    return 100 - exif.GetQualityReduction();
}

// The file type the save dialog offers first: the source's own.
std::string SaveTypeOf(const std::string& path)
{
    std::string ext = UpperKeepingOffsets(ExtensionOf(path));
    if (ext == "JPG" || ext == "JPE")
        return "JPEG";
    return ext == "TIF" ? "TIFF" : ext;
}

} // namespace

void CZunMainFrame::OnSaveAsReplace()
{
    std::string path;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        path = GetFileItem(-1)->GetPath();
    }
    // Over a JPEG or raw file the save keeps a copy's name to itself; over
    // anything else it may write over the file, once the user agrees.
    const std::string ext = UpperKeepingOffsets(DottedExtensionOf(path));
    const bool jpegOrRaw = ext == ".JPG" || ext == ".JPEG" || ext == ".JPE" || IsTkfFile(path);
    if (jpegOrRaw) {
        SaveSelectedItem(FALSE);
        return;
    }
    if (AfxMessageBox(IDS_FILE_EXISTS_REPLACE, MB_OKCANCEL) == IDOK)
        SaveSelectedItem(TRUE);
}

void CZunMainFrame::OnSaveAs() { SaveSelectedItem(FALSE); }

void CZunMainFrame::SaveSelectedItem(BOOL replace)
{
    CZunMainView* view = GetView();
    CGalleryCtrl* gallery = view ? view->GetGallery() : nullptr;
    if (!gallery || gallery->GetSelectedCount() != 1)
        return;
    const int index = gallery->GetFirstSelected();
    std::string source;
    int bitsPerPixel = 24;
    int pixelType = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        CFileItem* item = GetFileItem(index, TRUE);
        source = item->GetPath();
        bitsPerPixel = item->GetBitDepth() > 0 ? item->GetBitDepth() : 24;
        pixelType = item->m_nTypeCode;
    }
    int quality = SavedQuality(source);
    const std::string folder = std::filesystem::path(source).parent_path().string();
    if (source.size() >= PATH_MAX || folder.size() >= PATH_MAX) {
        AfxMessageBox(IDS_NAME_TOO_LONG);
        return;
    }
    if (!std::filesystem::is_directory(folder)) {
        AfxMessageBox(FormatWithStrings(LoadResString(IDS_FILE_NOT_FOUND), {folder}));
        return;
    }
    std::string target = source;
    int bitsPerSample = 8;
    if (!replace) {
        std::string filter;
        CImageExporter(GetExporterSearchPath()).BuildSaveFilter(filter, pixelType);
        CFileSaveDlog dlg(&quality, bitsPerPixel, SaveTypeOf(source),
                          LastNameOf(source), kSaveAsFlags, filter, this);
        if (dlg.DoModal() != IDOK)
            return;
        target = dlg.GetPathName();
        if (dlg.IsBitDepthEnabled() && dlg.GetBitDepthChoice() == 1)
            bitsPerSample = 16;
    }
    CImageBuffer picture;
    if (!RenderItemForOutput(index, picture, bitsPerSample, 0, CRect(), this)) {
        AfxMessageBox(IDS_OPEN_FAILED);
        return;
    }
    picture.SetPercentage(quality);
    CIccProfileData profile;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        profile = GetItemProfile(index);
    }
    if (ExportImageWithMetadata(this, picture, &profile, source, target, ImageSaveValues{}) != 0)
        return;
    view->RefreshSavedItem(target);
}

namespace {

const QMimeData* ClipboardMimeData()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->mimeData() : nullptr;
}

} // namespace

void CZunMainFrame::OnUpdateEditPaste(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(COleDataObject(ClipboardMimeData()).IsDataAvailable(CF_DIB));
}

void CZunMainFrame::OnEditPaste()
{
    // The program's own form or the desktop's image form, read as the
    // message editor's Paste reads it.
    const COleDataObject clipboard(ClipboardMimeData());
    if (!clipboard.IsDataAvailable(CF_DIB))
        return;
    CDibBitmap pasted;
    CImageBuffer picture;
    if (!pasted.ReadFromGlobal(clipboard.GetGlobalData(CF_DIB)) ||
        (pasted.GetBitsPerPixel() != 24 && !pasted.ConvertBitDepth(24)) ||
        !picture.Create(CImageBuffer::kHeap, pasted.GetSize(), pasted.GetPixelType(), 1, pasted.GetBits())) {
        AfxMessageBox(IDS_IMAGE_NOT_CREATED);
        return;
    }
    int quality = kDefaultQuality;
    std::string filter;
    CImageExporter(GetExporterSearchPath()).BuildSaveFilter(filter, picture.GetPixelType());
    CFileSaveDlog dlg(&quality, 24, "BMP", LoadResString(IDS_UNTITLED), kSaveAsFlags, filter, this);
    if (dlg.DoModal() != IDOK)
        return;
    picture.SetPercentage(quality);
    const std::string target = dlg.GetPathName();
    if (ExportImageFile(this, picture, nullptr, nullptr, nullptr, nullptr, std::string(), target, ImageSaveValues{}) ==
            0 &&
        m_pView)
        m_pView->RefreshSavedItem(target);
}
