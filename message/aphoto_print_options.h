#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <vector>

// How a message is printed: what the print preview dialog edits and page
// rendering reads. The message view owns one for the life of the editor.
struct CAPhotoPrintOptions {
    static constexpr int kMinColumns = 1;
    static constexpr int kMaxColumns = 8;         // what rendering takes
    static constexpr int kMaxDialogColumns = 3;   // what the dialog offers
    static constexpr size_t kMaxHeaderChars = 64; // header and footer texts

    CAPhotoPrintOptions();

    int32_t nColumns = 2;       // comment cards in a column
    BOOL bImageDetail = TRUE;   // a card shows its comment's area of the photograph
    BOOL bPageNumber = TRUE;
    BOOL bDate = TRUE;
    BOOL bAreaMarquee = TRUE;   // the comments' areas outlined in their colours
    std::string strHeader;
    std::string strFooter;
    int32_t nReserved = 0;
    int32_t nResolution = 96;   // the resolution the comment font is scaled from
    int32_t nPrintWord = 0;     // set to 0 when Print is pressed
    LOGFONT commentFont;        // the cards' font at 96 dots per inch
    std::vector<int32_t> printOrder; // comment indexes (tree order) to print

    // nColumns within what rendering takes.
    int ClampedColumns() const;
};

// The cards' default font: face string 6267 at 8 points for the screen.
LOGFONT DefaultPrintCommentFont();
