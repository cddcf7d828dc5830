#include "browser/item_output.h"

#include "browser/file_item_store.h"
#include "browser/thumbnail_cache.h"
#include "util/draw_guards.h"
#include "util/string_util.h"
#include "ui/ui_services.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/viewer/image_load_progress_dlog.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "resources/string_table.h"

#include <QImage>

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace {

// The loader's code when the user stopped it.
constexpr int kLoadCodeCancelled = 7;

bool FileExists(const std::string& path)
{
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string TrimTrailingBlanks(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

// The format of the overlay text's DrawText calls: right-aligned in the right corners.
UINT OverlayFormat(int location) { return DT_NOPREFIX | (location == 1 || location == 3 ? DT_RIGHT : DT_LEFT); }

// A 24-bit bitmap as a picture Qt draws on, top row first.
QImage ToImage(const CDibBitmap& bitmap)
{
    const CSize s = bitmap.GetSize();
    QImage image(s.cx, s.cy, QImage::Format_RGB32);
    for (int y = 0; y < s.cy; ++y) {
        const BYTE* row = bitmap.GetBits() + uint64_t(s.cy - 1 - y) * uint64_t(bitmap.GetStride());
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < s.cx; ++x)
            out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
    return image;
}

void FromImage(const QImage& image, CDibBitmap& bitmap)
{
    const CSize s = bitmap.GetSize();
    for (int y = 0; y < s.cy; ++y) {
        BYTE* row = bitmap.GetBits() + uint64_t(s.cy - 1 - y) * uint64_t(bitmap.GetStride());
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < s.cx; ++x) {
            row[3 * x] = BYTE(qBlue(in[x]));
            row[3 * x + 1] = BYTE(qGreen(in[x]));
            row[3 * x + 2] = BYTE(qRed(in[x]));
        }
    }
}

// 16-bit samples of one or three samples per pixel down to 8 bits, when asked.
void ReduceSamples(CImageBuffer& buffer, int bitsPerSample)
{
    if (bitsPerSample == 8 && buffer.GetBitsPerSample() == 16 &&
        (buffer.GetSamplesPerPixel() == 1 || buffer.GetSamplesPerPixel() == 3))
        buffer.ConvertToBitsPerSample(8);
}

} // namespace

bool DecodeItemWithProgress(CWnd* parent, int index, CImageBuffer& buffer, const std::string& path, int decodeOption,
                            BOOL flag, CItemDecodeResult* result, const QrDecodeRect* bound)
{
    CImageLoadProgressDlog dlg(parent, IDD_PROGRESS_LOAD, GetItemHomeFolder(), flag, UINT(decodeOption), path, &buffer,
                               0, 1, TRUE);
    dlg.m_pDecodeBound = bound;
    const bool loaded = dlg.DoModal() == IDOK;
    if (result)
        *result = CItemDecodeResult{dlg.GetResultCode(), dlg.m_bCancel != FALSE};
    return loaded;
}

int DecodeItemChecked(CWnd* parent, CFileItem* item, CImageBuffer& buffer, int decodeOption)
{
    const std::string& path = item->GetPath();
    if (path.size() >= PATH_MAX) {
        AfxMessageBox(IDS_PATH_TOO_LONG);
        return 0;
    }
    if (!FileExists(path)) {
        AfxMessageBox(FormatWithStrings(res::String(IDS_FILE_NOT_FOUND), {path}));
        return 0;
    }
    if (item->m_pictureSize.cx > kMaxImageSide || item->m_pictureSize.cy > kMaxImageSide) {
        AfxMessageBox(IDS_IMAGE_TOO_LARGE);
        return 0;
    }
    CItemDecodeResult result;
    if (DecodeItemWithProgress(parent, -1, buffer, path, decodeOption, FALSE, &result))
        return 1;
    ReportDecodeFailure(result);
    return 0;
}

void ReportDecodeFailure(const CItemDecodeResult& result)
{
    if (result.cancelled || result.code == kLoadCodeCancelled)
        return;
    // A failure is always told, whatever code the importer left.
    AfxMessageBox(result.code == kLoadOutOfMemory ? IDS_OUT_OF_MEMORY : IDS_OPEN_FAILED);
}

int LoadItemImage(int index, CDibBitmap& bitmap)
{
    if (index < 0 || index >= GetFileItemCount())
        return 0;
    CFileItem* item = GetFileItem(index, TRUE);
    if (item == GetSharedEmptyItem())
        return 0;
    CImageBuffer work;
    if (!LoadItemRawCache(index, work)) {
        if (!DecodeItemChecked(GetBrowserMainWnd(), item, work, 0))
            return 0;
        if (work.IsValid() && !SaveItemRawCache(index, work)) {
            AfxMessageBox(IDS_IMAGE_NOT_CREATED);
            return 0;
        }
    }
    std::unique_ptr<CDibBitmap> made = work.CreateDib();
    if (item->m_outputSize == CSize(0, 0))
        item->m_outputSize = item->m_pictureSize;
    if (!made)
        return 0;
    bitmap = std::move(*made);
    return 1;
}

int LoadItemImageBuffer(int index, CImageBuffer& buffer, int bitsPerSample, BOOL flag, CWnd* parent)
{
    CFileItem* item = GetFileItem(index, TRUE);
    const std::string& path = item->GetPath();
    if (path.empty())
        return 0;
    if (!FileExists(path)) {
        if (path.size() < PATH_MAX)
            AfxMessageBox(FormatWithStrings(res::String(IDS_FILE_NOT_FOUND), {path}));
        else
            AfxMessageBox(IDS_PATH_TOO_LONG_2);
        return 0;
    }
    CWaitCursor wait;
    const int at = index == -1 ? GetCurrentIndex() : index;
    if (!LoadItemRawCache(at, buffer) &&
        !DecodeItemWithProgress(parent ? parent : GetBrowserMainWnd(), index, buffer, path, 0, TRUE))
        return 0;
    ReduceSamples(buffer, bitsPerSample);
    return 1;
}

int RenderItemForOutput(int index, CImageBuffer& buffer, int bitsPerSample, int method, const CRect& crop,
                        CWnd* parent)
{
    CFileItem* item = GetFileItem(index, TRUE);
    const CSize source = item->m_pictureSize;
    // No output size yet (the thumbnail, which sets it, is not made): the picture's own.
    const CSize target = item->m_outputSize == CSize(0, 0) ? source : item->m_outputSize;
    if (!LoadItemImageBuffer(index, buffer, bitsPerSample, TRUE, parent))
        return 0;
    buffer.ConvertToBitsPerSample(bitsPerSample);
    buffer.Mirror(item->m_bMirrorH != 0, item->m_bMirrorV != 0);
    buffer.Rotate(item->m_nRotation);
    if (GetPrintTextSettings().m_nOverlayOn)
        BurnOverlayText(buffer, index);
    const bool resized = target != source;
    if (resized) {
        CSize size = target;
        if (item->m_nRotation % 180 != 0)
            std::swap(size.cx, size.cy);
        CImageBuffer resampled;
        if (size.cx <= 0 || size.cy <= 0 ||
            !resampled.Create(CImageBuffer::kMapping, size, buffer.GetPixelType(), buffer.GetOrientation(),
                              nullptr, buffer.GetPaletteEntries()))
            return 0;
        try {
            buffer.ResampleInto(resampled, method);
        } catch (...) {
            return 0;
        }
        buffer.TakeOver(resampled);
    }
    if (!crop.IsRectEmpty()) {
        CRect part(crop);
        if (resized && source.cx > 0 && source.cy > 0) {
            part.left = int(int64_t(part.left) * target.cx / source.cx);
            part.right = int(int64_t(part.right) * target.cx / source.cx);
            part.top = int(int64_t(part.top) * target.cy / source.cy);
            part.bottom = int(int64_t(part.bottom) * target.cy / source.cy);
        }
        CImageBuffer copy;
        if (!copy.CopyRect(buffer, part))
            return 0;
        buffer.TakeOver(copy);
    }
    return 1;
}

std::string FormatOverlayText(int index, BOOL withDate, BOOL withName, BOOL withInfo)
{
    if (index < -1 || index >= GetFileItemCount())
        return {};
    CFileItem* item = GetFileItem(index, TRUE);
    const CPrintTextSettings& settings = GetPrintTextSettings();
    const bool pad = settings.m_logFont.lfItalic && (settings.m_nLocation == 1 || settings.m_nLocation == 3);
    std::string text;
    auto add = [&](std::string line) {
        if (!text.empty())
            text += '\n';
        text += line;
    };
    if (withDate) {
        std::string line;
        if (item->m_exifInfo.IsValid()) {
            line = item->m_exifInfo.GetItemText(kExifItemDateTaken);
        } else {
            const time_t t = static_cast<time_t>(item->m_fileTime);
            struct tm local{};
            if (item->m_fileTime >= 0 && localtime_r(&t, &local))
                line = FormatDateTimeLocaleYmdHms(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                  local.tm_hour, local.tm_min, local.tm_sec);
        }
        // A leaning font leans out of its box on the right: a space keeps it in.
        add(pad ? line + " " : line);
    }
    if (withName) {
        std::string name = GetItemFileName(index);
        add(pad && !name.empty() ? name + " " : name);
    }
    if (withInfo) {
        const std::string info = TrimTrailingBlanks(item->GetInfoComment());
        if (!info.empty())
            add(pad ? info + " " : info);
    }
    return text;
}

CRect PlaceOverlayText(CDC* dc, int index, const CRect& picture)
{
    const CPrintTextSettings& settings = GetPrintTextSettings();
    const std::string text = FormatOverlayText(index, settings.m_bDateTime, settings.m_bFileName, settings.m_bComment);
    CFont font;
    font.CreateFontIndirect(&settings.m_logFont);
    CFontSelection selected(dc, &font);
    CRect area = settings.m_bInsideSelection && !settings.m_rcArea.IsRectEmpty() ? settings.m_rcArea : picture;
    area.NormalizeRect();
    const CPoint centre = area.CenterPoint();
    const int location = settings.m_nLocation;
    const bool right = location == 1 || location == 3, bottom = location == 2 || location == 3;
    CRect quarter(right ? centre.x : area.left, bottom ? centre.y : area.top, right ? area.right : centre.x,
                  bottom ? area.bottom : centre.y);
    CRect measured = quarter;
    dc->DrawText(text, &measured, OverlayFormat(location) | DT_CALCRECT);
    int dx = 0, dy = 0;
    if (right)
        dx = area.right - measured.right;
    if (bottom)
        dy = area.bottom - measured.bottom;
    measured.OffsetRect(dx, dy);
    return measured;
}

void DrawOverlayText(CDibBitmap& bitmap, int index, const CRect& picture, int x, int y)
{
    if (!bitmap.IsValid() || bitmap.GetBitsPerPixel() != 24)
        return;
    const CPrintTextSettings& settings = GetPrintTextSettings();
    const std::string text = FormatOverlayText(index, settings.m_bDateTime, settings.m_bFileName, settings.m_bComment);
    QImage image = ToImage(bitmap);
    {
        CDC dc(&image);
        CFont font;
        font.CreateFontIndirect(&settings.m_logFont);
        CFontSelection selected(&dc, &font);
        CRect box(0, 0, picture.Width(), picture.Height());
        dc.DrawText(text, &box, OverlayFormat(settings.m_nLocation) | DT_CALCRECT);
        box.OffsetRect(x, y);
        dc.SetTextColor(settings.m_color);
        dc.SetBkMode(TRANSPARENT);
        dc.DrawText(text, &box, OverlayFormat(settings.m_nLocation));
    }
    FromImage(image, bitmap);
}

bool BurnOverlayText(CImageBuffer& buffer, int index)
{
    if (!buffer.IsValid())
        return false;
    const CRect picture(0, 0, buffer.GetWidth(), buffer.GetHeight());
    CDC screen;
    screen.CreateCompatibleDC(nullptr);
    const CRect placed = PlaceOverlayText(&screen, index, picture);
    CRect part;
    if (!part.IntersectRect(picture, placed))
        return true; // nothing of the text falls on the picture
    std::unique_ptr<CDibBitmap> piece = buffer.CreateDibRect(part);
    if (!piece || !piece->ConvertBitDepth(24))
        return false;
    DrawOverlayText(*piece, index, picture, placed.left - part.left, placed.top - part.top);
    CImageBuffer drawn;
    if (!drawn.Create(CImageBuffer::kHeap, piece->GetSize(), PixelType::Bgr24, 1, piece->GetBits()))
        return false;
    // The picture's rows as a raster from the top; a buffer kept in a
    // temporary file has none, and then takes the piece row by row.
    BYTE* top = buffer.GetBits() ? buffer.GetRowPointer(0) : nullptr;
    if (top && (buffer.GetPixelType() == PixelType::Bgr24 || buffer.GetPixelType() == PixelType::Rgb24)) {
        const ptrdiff_t step = buffer.GetHeight() > 1 ? buffer.GetRowPointer(1) - buffer.GetRowPointer(0)
                                                      : static_cast<ptrdiff_t>(buffer.GetStride());
        const BlendTarget target{top, step, buffer.GetWidth(), buffer.GetHeight(), buffer.GetPixelType()};
        return drawn.BlendInto(target, part, 0, 100);
    }
    return drawn.PasteInto(buffer, part);
}

bool CompleteSaveName(std::string& path, const char* extension)
{
    if (std::filesystem::path(path).has_extension())
        return true;
    path += extension;
    std::error_code error;
    return !std::filesystem::exists(path, error) || AfxMessageBox(IDS_FILE_EXISTS_REPLACE, MB_OKCANCEL) == IDOK;
}

