#include "browser/resize_all.h"

#include "browser/file_item_store.h"
#include "browser/image_size_dlog.h"
#include "browser/item_output.h"
#include "ui/export_folder_dlog.h"
#include "util/geometry.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "imaging/image_buffer.h"
#include "imaging/image_save.h"
#include "imaging/program_folders.h"
#include "platform/exceptions.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr int kStartQuality = 95;
constexpr int kStartBitCount = 24;

int g_interpolation = CImageBuffer::kBilinear;

struct PlannedCopy {
    int index;
    std::string source;
    std::string target;
};

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return a == b || fs::equivalent(a, b, ec);
}

// Both extensions name one file type (JPG and jpeg, TIF and tiff).
bool SameImageType(const std::string& a, const std::string& b)
{
    return EqualsNoCase(a, b) || (IsJpegExtension(a) && IsJpegExtension(b)) ||
           (IsTiffExtension(a) && IsTiffExtension(b));
}

// The first type whose extension is JPEG's, else the first.
int JpegTypeIndex(const std::vector<std::string>& extensions)
{
    for (size_t i = 0; i < extensions.size(); ++i)
        if (IsJpegExtension(extensions[i]))
            return int(i);
    return 0;
}

// Every target is checked before anything is written: no two on one name,
// none over another of the pictures (it would be read after it was
// replaced), existing ones replaced only when the user agrees (once for
// all), none that cannot be written. A picture's own file may be its target.
ResizeAllResult CheckTargets(const std::vector<PlannedCopy>& plan)
{
    std::set<std::string> targets;
    for (const PlannedCopy& copy : plan) {
        if (!targets.insert(copy.target).second) {
            AfxMessageBox(FormatWithStrings(res::String(IDS_RESIZE_SAME_TARGET), {copy.target}), MB_ICONEXCLAMATION);
            return ResizeAllResult::kRefused;
        }
        for (const PlannedCopy& other : plan)
            if (&other != &copy && SameFile(copy.target, other.source)) {
                AfxMessageBox(FormatWithStrings(res::String(IDS_RESIZE_OVER_OTHER), {copy.target}), MB_ICONEXCLAMATION);
                return ResizeAllResult::kRefused;
            }
    }
    bool agreed = false;
    for (const PlannedCopy& copy : plan) {
        std::error_code ec;
        if (!fs::exists(copy.target, ec))
            continue;
        if (!agreed) {
            if (AfxMessageBox(IDS_REPLACE_FILE, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                return ResizeAllResult::kNothing;
            agreed = true;
        }
        if (WarnIfReadOnly(copy.target))
            return ResizeAllResult::kRefused;
    }
    return ResizeAllResult::kDone;
}

// A picture of the size fitted into width x height, each side held to the
// sizes the dialog allows.
CSize FittedSize(CSize picture, int width, int height)
{
    const RECT bound{0, 0, width, height};
    const RECT source{0, 0, picture.cx, picture.cy};
    RECT fitted{};
    ScaleRectKeepAspect(&bound, &source, &fitted, 1);
    return CSize(std::clamp<int>(fitted.right - fitted.left, CImageSizeDlog::kMinSide, CImageSizeDlog::kMaxSide),
                 std::clamp<int>(fitted.bottom - fitted.top, CImageSizeDlog::kMinSide, CImageSizeDlog::kMaxSide));
}

// Whether decoded is the whole picture reduced by 2, 4 or 8, as a JPEG
// decoder rounds it.
bool IsReductionOf(CSize decoded, CSize whole)
{
    for (int d : {2, 4, 8})
        if (decoded == CSize((whole.cx + d - 1) / d, (whole.cy + d - 1) / d))
            return true;
    return false;
}

// The decoded picture at size w x h, on a white 96 dpi canvas carrying the
// quality. False after telling the user why.
bool ResizeForOutput(CImageBuffer& picture, CSize size, int method, bool eightBits, int quality, CImageBuffer& out)
{
    const int w = size.cx, h = size.cy;
    try {
        if (!picture.Resize(w, h, method) || (eightBits && !picture.ConvertToBitsPerSample(8)) ||
            !out.Create(CImageBuffer::kMapping, CSize(w, h), picture.GetPixelType(), picture.GetOrientation(), nullptr,
                        picture.GetPaletteEntries(), 96.0f, 96.0f, quality) ||
            !out.Fill(255) || !picture.PasteInto(out, CRect(0, 0, w, h))) {
            AfxMessageBox(IDS_IMAGE_NOT_CREATED, MB_ICONEXCLAMATION);
            return false;
        }
    } catch (const CMemoryException&) {
        AfxMessageBox(IDS_NO_MEMORY, MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

} // namespace

int GetResizeAllInterpolation() { return g_interpolation; }

void SetResizeAllInterpolation(int method) { g_interpolation = method; }

std::string ResizeAllTargetName(const std::string& sourcePath, const std::string& extension, bool changeName,
                                const std::string& nameBase, const std::string& firstNumber, int position)
{
    std::string name;
    if (changeName) {
        long long first = 0;
        for (char c : firstNumber)
            if (c >= '0' && c <= '9' && first < 1000000000)
                first = first * 10 + (c - '0');
        char number[32];
        std::snprintf(number, sizeof number, "%0*lld", int(firstNumber.size()), first + position);
        name = nameBase + number;
    } else {
        // A picture of the chosen type keeps its own name, so that into its own folder it replaces itself.
        if (extension.empty() || SameImageType(ExtensionOf(sourcePath), extension))
            return LastNameOf(sourcePath);
        name = StemOf(sourcePath);
    }
    return extension.empty() ? name : name + "." + extension;
}

bool ResizeOnePicture(CWnd* parent, int index, const std::string& target, CSize bound, int method, bool eightBits,
                      int quality, const ImageSaveValues& values, bool reducedDecode)
{
    // The size comes from the whole picture; the decoder may give it reduced
    // (a JPEG file at 1/2, 1/4 or 1/8) while it still covers that size, which
    // spares most of the decoding.
    const std::string source = GetFileItem(index)->GetPath();
    const CSize whole = GetItemPictureSize(index);
    const CSize fitted = FittedSize(whole, bound.cx, bound.cy);
    const QrDecodeRect decodeBound{0, 0, fitted.cx, fitted.cy};
    const bool known = reducedDecode && whole.cx > 0 && whole.cy > 0;
    CImageBuffer picture;
    CItemDecodeResult decoded;
    if (!DecodeItemWithProgress(parent, index, picture, source, 0, FALSE, &decoded, known ? &decodeBound : nullptr)) {
        ReportDecodeFailure(decoded);
        return false;
    }
    const CSize size =
        known && IsReductionOf(picture.GetSize(), whole) ? fitted : FittedSize(picture.GetSize(), bound.cx, bound.cy);
    CImageBuffer out;
    if (!ResizeForOutput(picture, size, method, eightBits, quality, out))
        return false;
    return ExportImageWithMetadata(parent, out, &GetItemProfile(index), source, target, values) == 0;
}

ResizeAllResult ResizeAllPictures(CWnd* parent, const std::vector<int>& items, std::vector<std::string>* written)
{
    if (items.empty())
        return ResizeAllResult::kNothing;
    const CSize firstSize = GetItemPictureSize(items.front());
    const int firstBits = GetFileItem(items.front())->GetBitDepth();
    CImageSizeDlog sizeDlg(firstSize.cx, firstSize.cy, firstSize.cx, firstSize.cy, g_interpolation,
                           firstBits > 0 ? firstBits : kStartBitCount, parent);
    if (sizeDlg.DoModal() != IDOK)
        return ResizeAllResult::kNothing;
    g_interpolation = sizeDlg.m_nInterpolation;
    const int width = sizeDlg.GetWidth(), height = sizeDlg.GetHeight();
    if (CSize(width, height) == firstSize)
        return ResizeAllResult::kNothing;

    std::vector<std::string> types, extensions;
    ListExporters(types, extensions);
    int quality = kStartQuality;
    std::string folder;
    CExportFolderDlog folderDlg(types, JpegTypeIndex(extensions), &quality, kStartBitCount, &folder, FALSE, 1, parent);
    if (folderDlg.DoModal() != IDOK || folder.empty())
        return ResizeAllResult::kNothing;
    const size_t type = size_t(folderDlg.m_nTypeIndex);
    const std::string extension = type < extensions.size() ? extensions[type] : std::string();
    const bool eightBits = !IsTiffExtension(extension) || folderDlg.m_nBitDepth == 0;

    std::vector<PlannedCopy> plan;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string source = GetFileItem(items[i])->GetPath();
        const std::string name = ResizeAllTargetName(source, extension, folderDlg.m_bChangeName != FALSE,
                                                     folderDlg.m_strNameBase, folderDlg.m_strFirstNumber, int(i));
        plan.push_back({items[i], source, JoinPath(folder, name)});
    }
    if (const ResizeAllResult checked = CheckTargets(plan); checked != ResizeAllResult::kDone)
        return checked;

    for (size_t i = 0; i < plan.size(); ++i) {
        const PlannedCopy& copy = plan[i];
        const ImageSaveValues values{int(i) + 1, int(plan.size()), 0, IDS_SAVING};
        if (!ResizeOnePicture(parent, copy.index, copy.target, CSize(width, height), g_interpolation, eightBits,
                              quality, values))
            return ResizeAllResult::kStopped;
        if (written)
            written->push_back(copy.target);
    }
    return ResizeAllResult::kDone;
}
