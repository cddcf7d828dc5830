#include "message/aphoto_metafile.h"

#include "imaging/image_save.h"
#include "message/aphoto_page_render.h"
#include "platform/framework/message_box.h"
#include "platform/gdi/metafile_dc.h"
#include "resources/string_table.h"
#include "ui/printer_dc.h"
#include "util/path_util.h"

#include <QImage>

#include <algorithm>
#include <filesystem>

namespace {

enum : UINT { IDS_UNABLE_TO_SAVE = 6131 };
constexpr int kMetafileResolution = 96;
constexpr int kDotsPerMeterAt96 = 3780;

} // namespace

CSize DefaultPrintablePage()
{
    CPrinterDC printer;
    SIZE size{};
    GetPrintableSize(&printer, &size, kMetafileResolution);
    return CSize(size.cx, size.cy);
}

BOOL WritePageMetafile(CAPhotoPageRender& render, const std::string& path, CSize pageSize)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && WarnIfReadOnly(path))
        return FALSE;
    pageSize.cx = std::max<LONG>(1, pageSize.cx);
    pageSize.cy = std::max<LONG>(1, pageSize.cy);
    // A reference at 96 dots per inch, whatever the screen's is.
    QImage reference(1, 1, QImage::Format_RGB32);
    reference.setDotsPerMeterX(kDotsPerMeterAt96);
    reference.setDotsPerMeterY(kDotsPerMeterAt96);
    CDC referenceDc(&reference);
    const CRect frame(0, 0, LONG(int64_t(pageSize.cx) * 2540 / kMetafileResolution),
                      LONG(int64_t(pageSize.cy) * 2540 / kMetafileResolution));
    CMetaFileDC meta;
    if (!meta.CreateEnhanced(&referenceDc, path.c_str(), &frame, nullptr)) {
        AfxMessageBox(std::string(res::String(IDS_UNABLE_TO_SAVE)) + path, MB_ICONEXCLAMATION);
        return FALSE;
    }
    // The page is laid out again at the metafile's own size and resolution.
    const int page = render.GetCurrentPage();
    render.SetPageGeometry(pageSize, 0, 0, kMetafileResolution);
    const int count = render.Paginate(&meta);
    render.SetCurrentPage(std::clamp(page, 1, count));
    render.RenderPage(&meta, CRect(0, 0, pageSize.cx, pageSize.cy), 0, 0);
    HENHMETAFILE written = meta.CloseEnhanced();
    if (!written) {
        // The file is written here, at the end: the user is told which and why.
        const CFileException& why = meta.GetWriteError();
        AfxMessageBox(why.m_cause != CFileException::none
                          ? SaveFailureText(why)
                          : std::string(res::String(IDS_UNABLE_TO_SAVE)) + path,
                      MB_ICONEXCLAMATION);
        return FALSE;
    }
    DeleteEnhMetaFile(written);
    return TRUE;
}
