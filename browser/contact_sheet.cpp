#include "browser/contact_sheet.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "browser/thumbnail_cache.h"
#include "ui/printer_dc.h"
#include "ui/text_draw.h"
#include "util/geometry.h"
#include "imaging/dib_bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/logfont.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
constexpr int kCaptionPoints = 8;
constexpr int kMarginNinetySixths = 10;
constexpr int kCellInsetNinetySixths = 8;
constexpr int kCaptionGapNinetySixths = 3;
} // namespace

CContactSheetSettings::CContactSheetSettings()
    : font(LogFontFromPointSize(kCaptionPoints * 10, LoadResString(IDS_PRINT_FONT_FACE), 96))
{
}

int CContactSheet::ClampGrid(int value) { return std::clamp(value, 1, kMaxGrid); }

int CContactSheet::CountPages(int items, int rows, int columns)
{
    const int perPage = ClampGrid(rows) * ClampGrid(columns);
    return items <= 0 ? 0 : (items + perPage - 1) / perPage;
}

int CContactSheet::Scaled(int ninetySixths) const { return int(int64_t(ninetySixths) * m_nResolution / 96); }

LOGFONT CContactSheet::CaptionFont() const
{
    LOGFONT lf = m_printSettings.font;
    const int base = m_printSettings.fontResolution > 0 ? m_printSettings.fontResolution : 96;
    lf.lfHeight = LONG(int64_t(lf.lfHeight) * m_nResolution / base);
    lf.lfWidth = LONG(int64_t(lf.lfWidth) * m_nResolution / base);
    return lf;
}

void CContactSheet::UpdatePageCount()
{
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    m_nPageCount = CountPages(GetFileItemCount(), m_printSettings.rows, m_printSettings.columns);
    m_nCurrentPage = 1;
}

void CContactSheet::BeginPrinting(CDC* dc)
{
    SIZE size{};
    GetPrintableSize(dc, &size, 0);
    m_pageSize = CSize(size.cx, size.cy);
    // Margins are set, not added to: the preview begins again after every change.
    m_nMarginX = kMarginNinetySixths * dc->GetDeviceCaps(LOGPIXELSX) / 96;
    m_nMarginY = kMarginNinetySixths * dc->GetDeviceCaps(LOGPIXELSY) / 96;
    m_nResolution = std::max(1, dc->GetDeviceCaps(LOGPIXELSY));
    UpdatePageCount();
}

CRect CContactSheet::CellRect(const CRect& area, int n) const
{
    const int rows = ClampGrid(m_printSettings.rows), columns = ClampGrid(m_printSettings.columns);
    const int w = area.Width() / columns, h = area.Height() / rows;
    const int row = n / columns, column = n % columns;
    CRect cell(area.left + column * w, area.top + row * h, area.left + (column + 1) * w, area.top + (row + 1) * h);
    const int inset = Scaled(kCellInsetNinetySixths);
    cell.DeflateRect(inset, inset);
    return cell;
}

void CContactSheet::DrawPage(CDC* dc, int page, const CRect& pageRect)
{
    const int rows = ClampGrid(m_printSettings.rows), columns = ClampGrid(m_printSettings.columns);
    CRect area(pageRect);
    area.DeflateRect(m_nMarginX, m_nMarginY);
    std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
    const int count = GetFileItemCount();
    const int pages = CountPages(count, rows, columns);
    if (m_printSettings.pageNumbers == 1) {
        CFont font;
        const LOGFONT lf = CaptionFont();
        font.CreateFontIndirect(&lf);
        CFont* old = dc->SelectObject(&font);
        char text[32];
        std::snprintf(text, sizeof text, "%d/%d", page, pages);
        constexpr UINT kNumberFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        TextBand band = LayoutFootBand(dc, text, area, kNumberFormat, std::abs(int64_t(lf.lfHeight)));
        dc->SetBkMode(TRANSPARENT);
        dc->DrawText(text, &band.rect, kNumberFormat);
        dc->SelectObject(old);
        area = band.rest;
    }
    const int first = (page - 1) * rows * columns;
    for (int n = 0; n < rows * columns && first + n < count; ++n)
        DrawCell(dc, first + n, CellRect(area, n));
}

void CContactSheet::DrawCell(CDC* dc, int index, const CRect& cell)
{
    CFileItem* item = GetFileItem(index, TRUE);
    const std::string caption = item->FormatCaption(index, m_printSettings.imageInfo == 1);
    CFont font;
    const LOGFONT lf = CaptionFont();
    font.CreateFontIndirect(&lf);
    CFont* old = dc->SelectObject(&font);
    constexpr UINT kCaptionFormat = DT_NOPREFIX | DT_EXPANDTABS | DT_WORDBREAK | DT_CENTER;
    TextBand band = LayoutFootBand(dc, caption, cell, kCaptionFormat, std::abs(int64_t(lf.lfHeight)));
    CRect picture = band.rest;
    picture.bottom -= Scaled(kCaptionGapNinetySixths);

    // A page printed before the loader reached the item still shows its picture.
    if (!IsItemThumbnailStored(index))
        LoadItemThumbnail(index);
    CDibBitmap thumbnail;
    if (!picture.IsRectEmpty() && GetItemThumbnail(index, thumbnail) && thumbnail.IsValid()) {
        const RECT source{0, 0, thumbnail.GetSize().cx, thumbnail.GetSize().cy};
        RECT fitted{};
        ScaleRectKeepAspect(&picture, &source, &fitted, 1);
        thumbnail.DrawResampled(dc, CRect(source), CRect(fitted));
    }
    dc->SetBkMode(TRANSPARENT);
    dc->DrawText(caption, &band.rect, kCaptionFormat);
    dc->SelectObject(old);
}

bool CContactSheet::PrintAll(CPrinterDC& dc, const std::string& docName)
{
    BeginPrinting(&dc);
    if (!dc.StartDoc(docName))
        return false;
    const CRect page(0, 0, m_pageSize.cx, m_pageSize.cy);
    for (int p = 1; p <= m_nPageCount; ++p) {
        if (!dc.StartPage()) {
            dc.AbortDoc();
            return false;
        }
        m_nCurrentPage = p;
        DrawPage(&dc, p, page);
        dc.EndPage();
    }
    return dc.EndDoc() != 0;
}
