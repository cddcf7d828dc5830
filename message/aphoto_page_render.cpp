#include "message/aphoto_page_render.h"

#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "message/photo_content.h"
#include "platform/datetime.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"
#include "platform/gdi/text_layout.h"
#include "resources/string_table.h"
#include "ui/printer_dc.h"
#include "ui/text_draw.h"
#include "util/draw_guards.h"
#include "util/geometry.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace {


// Page design, in 96ths of an inch.
constexpr int kPrinterMargin = 10;
constexpr int kPhotoInset = 10;
constexpr int kTitleDrop = 36;
constexpr int kTitleHeight = 36;
constexpr int kCellInset = 5;
constexpr int kMarkerSide = 16;
constexpr int kMarkerIndent = 26;
constexpr int kOutlineWidth = 2;
// Font sizes in points.
constexpr int kDatePoints = 18;
constexpr int kHeaderPoints = 20;
constexpr int kPageNumberPoints = 12;

constexpr UINT kHeaderFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_EDITCONTROL;
constexpr UINT kLineFormat = DT_NOPREFIX | DT_SINGLELINE | DT_EXPANDTABS;
constexpr UINT kTitleFormat = DT_CENTER | DT_NOPREFIX;

constexpr COLORREF kColours[CAPhotoPageRender::kColourCount] = {
    RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 255, 0),
};

std::string FontFace() { return std::string(res::String(IDS_PRINT_FONT_FACE)); }

// The header's and footer's fonts at a resolution.
struct PageFonts {
    CFont date, header, number;
    explicit PageFonts(int resolution)
    {
        const std::string face = FontFace();
        for (auto [font, points] : {std::pair{&date, kDatePoints}, std::pair{&header, kHeaderPoints},
                                    std::pair{&number, kPageNumberPoints}}) {
            const LOGFONT lf = LogFontFromPointSize(points * 10, face, resolution);
            font->CreateFontIndirect(&lf);
        }
    }
};

// A picture drawn into dest: a printer gets it resampled to its own pixels
// (else stretched); a metafile keeps the picture's own pixels for its player
// to scale, and a preview lets its mapping scale them.
void DrawBitmap(CDC* dc, const CDibBitmap& bmp, const CRect& dest)
{
    const CRect source(0, 0, bmp.GetSize().cx, bmp.GetSize().cy);
    if (dc->GetDeviceCaps(TECHNOLOGY) != DT_RASPRINTER || !bmp.DrawResampled(dc, source, dest))
        bmp.Draw(dc, dest);
}

} // namespace

CAPhotoPageRender::CAPhotoPageRender(const CAPhotoContent& content, CAPhotoPrintOptions& options)
    : m_content(content), m_options(options)
{
}

CAPhotoPageRender::~CAPhotoPageRender() = default;

const CImageBuffer& CAPhotoPageRender::GetPicture() const
{
    return m_pPicture && m_pPicture->IsValid() ? *m_pPicture : m_content.GetImage();
}

COLORREF CAPhotoPageRender::CommentColour(int index)
{
    return kColours[(index % kColourCount + kColourCount) % kColourCount];
}

std::string CAPhotoPageRender::CardText(const CAnoRecord& record)
{
    return record.GetHeading() + "\r\n" + record.m_strContent;
}

int CAPhotoPageRender::Length(int ninetySixths) const
{
    return static_cast<int>(int64_t(ninetySixths) * m_nResolution / kScreenDpi);
}

void CAPhotoPageRender::SetPageGeometry(CSize size, int marginX, int marginY, int resolution)
{
    m_pageSize = size;
    m_marginX = marginX;
    m_marginY = marginY;
    m_nResolution = std::max(1, resolution);
}

int CAPhotoPageRender::CommentCount() const
{
    return static_cast<int>(m_options.printOrder.size());
}

int CAPhotoPageRender::CommentAt(int position) const
{
    if (position < 0 || position >= CommentCount())
        return -1;
    const int index = m_options.printOrder[size_t(position)];
    if (index < 0 || size_t(index) >= m_content.m_comments.size() || !m_content.m_comments[size_t(index)].m_pRecord)
        return -1;
    return index;
}

int CAPhotoPageRender::PreparePrinting(CDC* dc, BOOL bPrinter)
{
    if (!dc)
        return m_nPageCount;
    const int resolution = dc->GetDeviceCaps(LOGPIXELSY);
    if (bPrinter) {
        SIZE size{};
        GetPrintableSize(dc, &size, 0);
        POINT offset{};
        GetPrintingOffset(dc, &offset);
        m_nResolution = std::max(1, resolution);
        SetPageGeometry(CSize(size.cx, size.cy), offset.x + Length(kPrinterMargin), offset.y + Length(kPrinterMargin),
                        resolution);
    } else {
        m_nResolution = std::max(1, resolution);
    }
    m_options.nResolution = m_nResolution;
    return Paginate(dc);
}

CAPhotoPageRender::Layout CAPhotoPageRender::LayoutPage(CDC* dc, const CRect& inset, int page)
{
    Layout out;
    PageFonts fonts(m_nResolution);
    CFont &dateFont = fonts.date, &headerFont = fonts.header, &numberFont = fonts.number;

    if (m_options.bDate) {
        CFontSelection font(dc, &dateFont);
        out.date = CRect(inset.left, inset.top, inset.right, inset.top);
        dc->DrawText(FormatDateTimeLocale(COleDateTime::GetCurrentTime(), true, false), &out.date,
                     DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    }
    if (!m_options.strHeader.empty()) {
        CFontSelection font(dc, &headerFont);
        const int dateWidth = out.date.Width();
        CRect r(out.date.IsRectNull() ? inset.left : out.date.right, inset.top, inset.right - dateWidth, inset.top);
        if (r.right < r.left)
            r.right = r.left;
        dc->DrawText(m_options.strHeader, &r, kHeaderFormat | DT_CENTER | DT_CALCRECT);
        // The measured block centred on the page.
        r.OffsetRect(inset.left + (inset.Width() - r.Width()) / 2 - r.left, 0);
        out.header = r;
    }
    // The page number at the foot, the footer above it.
    CRect above = inset;
    if (m_options.bPageNumber) {
        CFontSelection font(dc, &numberFont);
        char text[32];
        std::snprintf(text, sizeof text, "%d/%d", page, m_nPageCount);
        const TextBand band = LayoutFootBand(dc, text, above, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
        out.pageNumber = band.rect;
        above = band.rest;
    }
    if (!m_options.strFooter.empty()) {
        CFontSelection font(dc, &headerFont);
        const TextBand band = LayoutFootBand(dc, m_options.strFooter, above, kHeaderFormat);
        out.footer = CRect(band.rect.left, band.rect.top, band.rect.left + band.textWidth, band.rect.bottom);
        above = band.rest;
    }
    const int bottom = above.bottom;
    int top = inset.top;
    if (!out.header.IsRectNull())
        top = out.header.bottom;
    else if (!out.date.IsRectNull())
        top = out.date.bottom;
    out.body = CRect(inset.left, top, inset.right, std::max<LONG>(top, bottom));

    const int n = m_options.ClampedColumns();
    const CRect& b = out.body;
    const bool landscape = b.Width() > b.Height();
    const LONG midX = b.left + b.Width() / 2, midY = b.top + b.Height() / 2;
    auto column = [&](LONG left, LONG right) {
        const LONG h = b.Height() / n;
        for (int k = 0; k < n; ++k)
            out.cells.emplace_back(left, b.top + k * h, right, b.top + (k + 1) * h);
    };
    auto row = [&](LONG top, LONG bottom) {
        const LONG w = b.Width() / n;
        for (int k = 0; k < n; ++k)
            out.cells.emplace_back(b.left + k * w, top, b.left + (k + 1) * w, bottom);
    };
    if (page == 1) {
        if (landscape) {
            out.photo = CRect(b.left, b.top, midX, b.bottom);
            column(midX, b.right);
        } else {
            out.photo = CRect(b.left, b.top, b.right, midY);
            row(midY, b.bottom);
        }
    } else if (landscape) {
        column(b.left, midX);
        column(midX, b.right);
    } else {
        row(b.top, midY);
        row(midY, b.bottom);
    }
    return out;
}

int32_t CAPhotoPageRender::Card(CDC* dc, const CRect& cell, int commentIndex, int32_t offset, bool draw)
{
    const CAnoRecord& record = *m_content.m_comments[size_t(commentIndex)].m_pRecord;
    const COLORREF colour = CommentColour(commentIndex);
    CRect area = cell;
    area.DeflateRect(Length(kCellInset), Length(kCellInset));
    CRect text = area;
    if (offset == 0 && m_options.bImageDetail) {
        CRect picture = area;
        picture.bottom = area.top + area.Height() / 2;
        text.top = picture.bottom;
        if (draw)
            DrawAreaPicture(dc, record, picture, colour);
    } else {
        if (draw)
            dc->FillSolidRect(text.left, text.top, Length(kMarkerSide), Length(kMarkerSide), colour);
        text.left += Length(kMarkerIndent);
    }

    LOGFONT lf = m_options.commentFont;
    lf.lfHeight = static_cast<LONG>(int64_t(lf.lfHeight) * m_nResolution / kScreenDpi);
    if (lf.lfHeight == 0)
        lf.lfHeight = -1;
    const CTextLayout layout(CTextLayout::SharedMetrics(QFontFromLogFont(lf)), true);
    const QString card = QString::fromUtf8(CardText(record));
    const QString rest = card.mid(offset);
    const std::vector<CTextLayout::Line> lines = layout.Break(rest, std::max<LONG>(1, text.Width()), true);
    const int lineHeight = std::max(1, layout.LineHeight());
    size_t fit = 0;
    while (fit < lines.size() && text.top + int64_t(fit + 1) * lineHeight <= text.bottom)
        ++fit;
    // A cell too small for one line still takes one, so that every cell moves the text on.
    if (fit == 0 && !lines.empty())
        fit = 1;

    if (draw) {
        CFont font;
        font.CreateFontIndirect(&lf);
        CFontSelection select(dc, &font);
        const COLORREF oldColour = dc->SetTextColor(record.m_color);
        const int oldMode = dc->SetBkMode(TRANSPARENT);
        for (size_t i = 0; i < fit; ++i) {
            CRect lineRect(text.left, LONG(text.top + int64_t(i) * lineHeight), text.right,
                           LONG(text.top + int64_t(i + 1) * lineHeight));
            lineRect.bottom = std::min(lineRect.bottom, cell.bottom);
            const QByteArray bytes = lines[i].text.toUtf8();
            dc->DrawText(bytes.constData(), int(bytes.size()), &lineRect, kLineFormat);
        }
        dc->SetBkMode(oldMode);
        dc->SetTextColor(oldColour);
    }
    if (fit >= lines.size())
        return 0;
    return offset + static_cast<int32_t>(lines[fit].start);
}

int CAPhotoPageRender::Paginate(CDC* dc)
{
    m_pages.clear();
    m_cellStarts.clear();
    const int savedPage = m_nCurPage;
    const CRect inset(m_marginX, m_marginY, m_pageSize.cx - m_marginX, m_pageSize.cy - m_marginY);
    const int count = CommentCount();
    int position = 0;
    int32_t offset = 0;
    int page = 1;
    do {
        PageStart start;
        start.position = position;
        start.first = std::max(0, CommentAt(position));
        start.offset = offset;
        m_nCurPage = page;
        const Layout layout = LayoutPage(dc, inset, page);
        for (const CRect& cell : layout.cells) {
            // A comment that is not in the message any more is passed over.
            while (position < count && CommentAt(position) < 0)
                ++position;
            if (position >= count)
                break;
            m_cellStarts.push_back(offset);
            offset = Card(dc, cell, CommentAt(position), offset, false);
            if (offset == 0)
                ++position;
        }
        // The page's last comment: the current one, or the one before when the page ended with it.
        const int lastPosition = std::clamp(position - (offset == 0 ? 1 : 0), 0, std::max(0, count - 1));
        start.last = std::max(0, CommentAt(lastPosition));
        m_pages.push_back(start);
        ++page;
    } while (position < count && int(m_pages.size()) < kMaxPages);
    m_nPageCount = std::max(1, int(m_pages.size()));
    m_nCurPage = savedPage;
    return m_nPageCount;
}

void CAPhotoPageRender::RenderPage(CDC* dc, const CRect& page, int marginX, int marginY)
{
    if (!dc)
        return;
    m_options.nColumns = m_options.ClampedColumns();
    const int n = m_options.nColumns;
    const CRect inset(page.left + marginX, page.top + marginY, page.right - marginX, page.bottom - marginY);
    const Layout layout = LayoutPage(dc, inset, m_nCurPage);

    PageFonts fonts(m_nResolution);
    CFont &dateFont = fonts.date, &headerFont = fonts.header, &numberFont = fonts.number;
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(RGB(0, 0, 0));
    if (m_options.bDate) {
        CFontSelection font(dc, &dateFont);
        CRect r = layout.date;
        dc->DrawText(FormatDateTimeLocale(COleDateTime::GetCurrentTime(), true, false), &r,
                     DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE);
    }
    if (!m_options.strHeader.empty()) {
        CFontSelection font(dc, &headerFont);
        CRect r = layout.header;
        dc->DrawText(m_options.strHeader, &r, kHeaderFormat | DT_CENTER);
    }
    if (m_options.bPageNumber) {
        CFontSelection font(dc, &numberFont);
        char text[32];
        std::snprintf(text, sizeof text, "%d/%d", m_nCurPage, m_nPageCount);
        CRect r = layout.pageNumber;
        dc->DrawText(text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (!m_options.strFooter.empty()) {
        CFontSelection font(dc, &headerFont);
        CRect r = layout.footer;
        dc->DrawText(m_options.strFooter, &r, kHeaderFormat);
    }
    dc->SetTextColor(oldColour);
    dc->SetBkMode(oldMode);

    PageStart start;
    if (m_nCurPage >= 1 && size_t(m_nCurPage) <= m_pages.size())
        start = m_pages[size_t(m_nCurPage - 1)];
    if (m_nCurPage == 1)
        DrawPhotograph(dc, layout.photo);
    const int count = CommentCount();
    int position = start.position;
    int32_t offset = start.offset;
    for (size_t k = 0; k < layout.cells.size(); ++k) {
        while (position < count && CommentAt(position) < 0)
            ++position;
        if (position >= count)
            break;
        // The cell's start as pagination measured it.
        const size_t entry = m_nCurPage == 1 ? k : size_t(2 * m_nCurPage - 3) * size_t(n) + k;
        if (entry < m_cellStarts.size())
            offset = m_cellStarts[entry];
        offset = Card(dc, layout.cells[k], CommentAt(position), offset, true);
        if (offset == 0)
            ++position;
    }
}

void CAPhotoPageRender::DrawPhotograph(CDC* dc, const CRect& area)
{
    if (area.IsRectEmpty())
        return;
    CRect pictureBox(area.left, area.top, area.right, area.top + area.Height() * 3 / 4);
    CRect titleBox(area.left, pictureBox.bottom, area.right, area.bottom);
    pictureBox.DeflateRect(Length(kPhotoInset), Length(kPhotoInset));
    titleBox.DeflateRect(Length(kPhotoInset), Length(kPhotoInset));
    pictureBox.DeflateRect(pictureBox.Width() / 20, pictureBox.Height() / 20);

    const CImageBuffer& picture = GetPicture();
    if (picture.IsValid() && !pictureBox.IsRectEmpty()) {
        const CRect source(0, 0, picture.GetWidth(), picture.GetHeight());
        CRect drawn;
        ScaleRectKeepAspect(&pictureBox, &source, &drawn, 1);
        if (std::unique_ptr<CDibBitmap> bitmap = MakePictureBitmap(drawn)) {
            DrawBitmap(dc, *bitmap, drawn);
            if (m_options.bAreaMarquee && source.Width() > 0 && source.Height() > 0) {
                for (int position = 0; position < CommentCount(); ++position) {
                    const int index = CommentAt(position);
                    if (index < 0)
                        continue;
                    const CAreaMarquee& area = m_content.m_comments[size_t(index)].m_pRecord->m_area;
                    auto mapX = [&](int64_t x) { return LONG(drawn.left + x * drawn.Width() / source.Width()); };
                    auto mapY = [&](int64_t y) { return LONG(drawn.top + y * drawn.Height() / source.Height()); };
                    const CRect mapped(mapX(area.m_rect.left), mapY(area.m_rect.top), mapX(area.m_rect.right),
                                       mapY(area.m_rect.bottom));
                    const int saved = dc->SaveDC();
                    dc->IntersectClipRect(drawn.left, drawn.top, drawn.right, drawn.bottom);
                    OutlineArea(dc, area, mapped, CommentColour(index));
                    dc->RestoreDC(saved);
                }
            }
        }
    }
    titleBox.top += Length(kTitleDrop);
    DrawTitle(dc, titleBox);
}

void CAPhotoPageRender::DrawAreaPicture(CDC* dc, const CAnoRecord& record, const CRect& box, COLORREF colour)
{
    const CImageBuffer& picture = GetPicture();
    if (!picture.IsValid() || box.IsRectEmpty())
        return;
    CRect part = record.m_area.m_rect;
    part.NormalizeRect();
    CRect inside;
    if (!inside.IntersectRect(part, CRect(0, 0, picture.GetWidth(), picture.GetHeight())))
        return;
    std::unique_ptr<CDibBitmap> bitmap = picture.CreateDibRect(inside);
    if (!bitmap)
        return;
    const CRect source(0, 0, inside.Width(), inside.Height());
    CRect drawn;
    ScaleRectKeepAspect(&box, &source, &drawn, 1);
    DrawBitmap(dc, *bitmap, drawn);
    if (m_options.bAreaMarquee) {
        const int saved = dc->SaveDC();
        dc->IntersectClipRect(drawn.left, drawn.top, drawn.right, drawn.bottom);
        OutlineArea(dc, record.m_area, drawn, colour);
        dc->RestoreDC(saved);
    }
}

void CAPhotoPageRender::OutlineArea(CDC* dc, const CAreaMarquee& area, const CRect& rect, COLORREF colour)
{
    if (rect.IsRectEmpty())
        return;
    CPen pen(PS_SOLID, std::max(1, Length(kOutlineWidth)), colour);
    CPenSelection selectPen(dc, &pen);
    const HGDIOBJ oldBrush = dc->SelectObject(GetStockObject(NULL_BRUSH));
    switch (area.m_nKind) {
    case CAreaMarquee::square: dc->Rectangle(rect.left, rect.top, rect.right, rect.bottom); break;
    case CAreaMarquee::roundSquare: {
        const LONG corner = CAreaMarquee::RoundCorner(rect);
        dc->RoundRect(rect.left, rect.top, rect.right, rect.bottom, corner, corner);
        break;
    }
    case CAreaMarquee::oval: dc->Ellipse(rect.left, rect.top, rect.right, rect.bottom); break;
    case CAreaMarquee::freehand: {
        const std::vector<CPoint> points = area.MapPoints(rect);
        if (points.size() >= 2)
            dc->Polygon(points.data(), int(points.size()));
        break;
    }
    default: break;
    }
    if (oldBrush)
        dc->SelectObject(oldBrush);
}

void CAPhotoPageRender::DrawTitle(CDC* dc, const CRect& box)
{
    const std::string& title = m_content.m_strPictureText;
    if (title.empty() || box.IsRectEmpty())
        return;
    LOGFONT lf = m_options.commentFont;
    SetLogFontFaceName(lf, FontFace());
    const int height = std::max(1, Length(kTitleHeight));
    CRect rect = box;
    rect.bottom = rect.top + height;
    auto width = [&](int h) {
        lf.lfHeight = -h;
        CFont font;
        font.CreateFontIndirect(&lf);
        CFontSelection select(dc, &font);
        CRect r(0, 0, 0, 0);
        dc->DrawText(title, &r, kTitleFormat | DT_CALCRECT);
        return r.Width();
    };
    // The largest height up to the title height whose title fits the width.
    int lo = 1, hi = height;
    if (width(hi) <= rect.Width()) {
        lo = hi;
    } else {
        while (lo < hi) {
            const int mid = lo + (hi - lo + 1) / 2;
            if (width(mid) <= rect.Width())
                lo = mid;
            else
                hi = mid - 1;
        }
    }
    lf.lfHeight = -lo;
    CFont font;
    font.CreateFontIndirect(&lf);
    CFontSelection select(dc, &font);
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(RGB(0, 0, 0));
    dc->DrawText(title, &rect, kTitleFormat);
    dc->SetTextColor(oldColour);
    dc->SetBkMode(oldMode);
}

std::unique_ptr<CDibBitmap> CAPhotoPageRender::MakePictureBitmap(const CRect& target) const
{
    const CImageBuffer& picture = GetPicture();
    if (!picture.IsValid())
        return nullptr;
    if (std::unique_ptr<CDibBitmap> direct = picture.CreateDib())
        return direct;
    // A picture with no bitmap form of its own: fitted into the target, 24 bits at 96 dpi.
    const CRect source(0, 0, picture.GetWidth(), picture.GetHeight());
    CRect fitted;
    FitRectKeepAspect(&target, &source, &fitted, 1);
    CImageBuffer copy(picture);
    if (!copy.IsValid() || !copy.ConvertToBitsPerPixel(24) || !copy.Resize(fitted.Width(), fitted.Height(), 0))
        return nullptr;
    return copy.CreateDib();
}
