#pragma once

#include "platform/gdi/gdi_defs.h"
#include "platform/types.h"

#include <string>

class CDC;
class CPrinterDC;


// The grid and the switches of a contact sheet; the browser view owns one,
// the contact-sheet dialog edits it, the printing reads it.
struct CContactSheetSettings {
    CContactSheetSettings();
    int rows = 3;        // 1..9
    int columns = 3;     // 1..9
    int pageNumbers = 1; // 1: the page number at the foot of each page
    int imageInfo = 1;   // 1: the date and the size under each picture
    LOGFONT font;        // of the captions, made for 96 dpi
    int fontResolution = 96;
    int reserved = 1;
};

// The contact sheets of the browsed folder: pages of rows x columns
// thumbnails with their captions, laid out in 96ths of an inch at the
// resolution of what they are drawn on, so that the preview and the printed
// page agree.
class CContactSheet {
public:
    static constexpr int kMaxGrid = 9;

    // ceil(items / (rows x columns)), rows and columns held to 1..9.
    static int CountPages(int items, int rows, int columns);
    // Rows and columns of a record, held to 1..9.
    static int ClampGrid(int value);

    // The framework's begin-printing step: the printable size of the target,
    // its margins and resolution, and the page count of the item store's items.
    void BeginPrinting(CDC* dc);
    // Counts the pages again after a settings change; the current page is 1.
    void UpdatePageCount();
    // One page: the margins, the page number band when asked, then the items
    // of the page one per cell, row by row. pageRect is in the target's pixels.
    void DrawPage(CDC* dc, int page, const CRect& pageRect);
    // One item's thumbnail fitted above its caption in the cell.
    void DrawCell(CDC* dc, int index, const CRect& cell);
    // The cell of position n (0-based, row by row) in the area, already made
    // smaller by 8/96 inch on every side.
    CRect CellRect(const CRect& area, int n) const;

    // Prints every page into the printer context as one job; false when the
    // job could not be started.
    bool PrintAll(CPrinterDC& dc, const std::string& docName);

    CContactSheetSettings m_printSettings;
    int m_nPageCount = 0;
    int m_nCurrentPage = 1;
    CSize m_pageSize;
    int m_nMarginX = 0;
    int m_nMarginY = 0;
    int m_nResolution = 96;

private:
    int Scaled(int ninetySixths) const;
    // The caption font of the settings at the target's resolution.
    LOGFONT CaptionFont() const;
};
