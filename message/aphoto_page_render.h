#pragma once

#include "message/aphoto_print_options.h"
#include "platform/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAPhotoContent;
class CAnoRecord;
class CAreaMarquee;
class CDC;
class CDibBitmap;
class CImageBuffer;

// The pages of a printed message: a header (date and header text), a footer
// (footer text and page number), and a body that on page 1 holds the
// photograph with the comment areas outlined beside a column of comment
// cards, and on later pages two columns of cards. A card too long for its
// cell goes on in the next cell without its heading. The same renderer draws
// for the printer, the print preview and a metafile; every length is in
// 96ths of an inch scaled to the target's resolution, and text is measured
// alike on all of them, so the pages agree.
class CAPhotoPageRender {
public:
    // Where a page starts: the print-order position of its first comment,
    // that comment's index, the index of its last comment, and the offset in
    // the first comment's card text where it goes on (0: from its start).
    struct PageStart {
        int32_t position = 0;
        int32_t first = 0;
        int32_t last = 0;
        int32_t offset = 0;
    };
    // Pagination stops here whatever the comments hold.
    static constexpr int kMaxPages = 10000;
    static constexpr int kColourCount = 6;

    // content and options stay the caller's and must outlive the renderer.
    CAPhotoPageRender(const CAPhotoContent& content, CAPhotoPrintOptions& options);
    ~CAPhotoPageRender();

    // The picture printed instead of the content's (a colour-matched copy); null for the content's.
    void SetPicture(const CImageBuffer* picture) { m_pPicture = picture; }
    const CImageBuffer& GetPicture() const;

    // Takes page size, margins and resolution from dc (for a printer the
    // printable area and its printing offset plus 10/96 inch), paginates and
    // answers the page count.
    int PreparePrinting(CDC* dc, BOOL bPrinter);
    // The tables of where each page starts; answers the page count (at least 1).
    int Paginate(CDC* dc);
    // Draws the current page into page, inset by the margins.
    void RenderPage(CDC* dc, const CRect& page, int marginX, int marginY);

    CAPhotoPrintOptions& Options() { return m_options; }
    void SetPageGeometry(CSize size, int marginX, int marginY, int resolution);
    CSize GetPageSize() const { return m_pageSize; }
    int GetMarginX() const { return m_marginX; }
    int GetMarginY() const { return m_marginY; }
    int GetResolution() const { return m_nResolution; }
    int GetPageCount() const { return m_nPageCount; }
    int GetCurrentPage() const { return m_nCurPage; }
    void SetCurrentPage(int page) { m_nCurPage = page; }
    const std::vector<PageStart>& GetPages() const { return m_pages; }
    // The starting offset of each card cell in layout order, as pagination measured it.
    const std::vector<int32_t>& GetCellStarts() const { return m_cellStarts; }

    // The colour of the comment with that index in the comment list.
    static COLORREF CommentColour(int index);
    // The card text of a comment: its heading, then its content.
    static std::string CardText(const CAnoRecord& record);
    // The picture as a bitmap for drawing into target (null without one).
    std::unique_ptr<CDibBitmap> MakePictureBitmap(const CRect& target) const;

    // Body and cells of a page laid out in rect (the page inset by the margins).
    struct Layout {
        CRect date, header, pageNumber, footer, body, photo;
        std::vector<CRect> cells;
    };
    Layout LayoutPage(CDC* dc, const CRect& inset, int page);

private:
    int Length(int ninetySixths) const;
    // Runs one card in cell: measures (draw false) or draws it from offset;
    // answers the offset where it goes on in the next cell (0: it ended).
    int32_t Card(CDC* dc, const CRect& cell, int commentIndex, int32_t offset, bool draw);
    void DrawPhotograph(CDC* dc, const CRect& area);
    void DrawTitle(CDC* dc, const CRect& rect);
    void DrawAreaPicture(CDC* dc, const CAnoRecord& record, const CRect& box, COLORREF colour);
    void OutlineArea(CDC* dc, const CAreaMarquee& area, const CRect& rect, COLORREF colour);
    int CommentCount() const;
    int CommentAt(int position) const;

    const CAPhotoContent& m_content;
    CAPhotoPrintOptions& m_options;
    const CImageBuffer* m_pPicture = nullptr;
    int m_marginX = 0;
    int m_marginY = 0;
    int m_nCurPage = 1;
    int m_nPageCount = 1;
    int m_nResolution = 96;
    CSize m_pageSize;
    std::vector<PageStart> m_pages;
    std::vector<int32_t> m_cellStarts;
};
