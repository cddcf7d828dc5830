#pragma once

#include "platform/types.h"

#include <memory>
#include <string>
#include <vector>

class CDC;
class CFont;
class CMenu;
class CMenuBar;
class CWnd;

// Item kinds: bit 0 the item takes part in hit testing and keyboard moves,
// bit 1 a row may end after it.
enum : BYTE { MBK_HITTEST = 0x01, MBK_CANWRAP = 0x02 };
// Item states.
enum : BYTE {
    MBS_HOT = 0x01,      // drawn raised
    MBS_PRESSED = 0x02,  // drawn sunken
    MBS_HORZ = 0x04,     // laid out horizontally
    MBS_HIDDEN = 0x08,
    MBS_WRAP = 0x10,     // a row ends after this item
    MBS_INACTIVE = 0x20, // drawn in the grey text colour
};

// The shared measures of every menu bar, from the system's menu metrics.
struct MenuBarMetrics {
    int menuHeight = 0;     // the menu height, never below the small icon height
    int fontHeight = 0;     // the menu font's character height
    int textMargin = 0;     // (menuHeight - fontHeight) / 2, towards zero
    int cxBorder2 = 2;
    int cyBorder2 = 2;
};
MenuBarMetrics ComputeMenuBarMetrics(int iMenuHeight, int lfHeight, int cySmIcon, int cxBorder, int cyBorder);
// The metrics and the two menu fonts all bars draw with; made by the first
// bar, again (forced) after a system setting change.
void UpdateMenuMetrics(bool bForce);
const MenuBarMetrics& GetMenuBarMetrics();
CFont* GetMenuBarFont(bool bVertical);

// The marker of an entry text: the character after the first "&", upper
// case. A text without one, or ending in it, has none (key 0).
struct MenuMnemonic {
    BYTE key = 0;
    size_t pos = std::string::npos; // byte offset of the "&"
    size_t len = 0;                 // bytes of the marked character
};
MenuMnemonic ParseMnemonic(const std::string& text);
// The text without its "&" marker.
std::string StripMnemonic(const std::string& text);

// The size of a menu button for a text of the given width.
inline SIZE MenuButtonSize(int textWidth, const MenuBarMetrics& m)
{
    return SIZE{textWidth + 10, m.fontHeight + 2 * m.textMargin};
}

// One entry of the bar: the bar owns its items and rebuilds them after every
// menu change.
class CMenuBarItem {
public:
    virtual ~CMenuBarItem() = default;
    virtual void Draw(CDC* pDC) = 0;
    // Places the top-left corner at x, y; the rectangle is the size (width and
    // height swapped for vertical layout); a hidden item gets an empty one.
    virtual void Layout(int x, int y, BOOL bHorz);
    // Opens what the item opens; returns when it has closed.
    virtual void TrackPopup(CMenuBar* pBar, CWnd* pFrame) = 0;

    BOOL IsHidden() const { return (m_state & MBS_HIDDEN) != 0; }
    // Takes part in hit testing and keyboard moves.
    BOOL IsSelectable() const { return (m_kind & MBK_HITTEST) && !IsHidden(); }

    BYTE m_kind = 0;
    BYTE m_state = 0;
    CRect m_rect;
    CSize m_size;
    BYTE m_mnemonic = 0;
};

// A top-level entry of the menu: opens its popup, or sends its command when
// it has none.
class CMenuBarButton : public CMenuBarItem {
public:
    CMenuBarButton(const std::string& text, CMenu* pPopup, int nCmdId, COLORREF crBack);
    void Draw(CDC* pDC) override;
    void TrackPopup(CMenuBar* pBar, CWnd* pFrame) override;

    std::string m_text;
    CPoint m_ptUnderline[2]; // the mnemonic's underline for vertical drawing
    CMenu* m_pPopup = nullptr;
    int m_nCmdId = -1;
    COLORREF m_crBack = 0xFFFFFFFF;
};

using MenuBarItems = std::vector<std::unique_ptr<CMenuBarItem>>;

// Marks row ends for a bar of width W; answers the number of rows.
int WrapMenuBarItems(MenuBarItems& items, int nWidth);
// Lays the items out from 0, 0 and answers the size they take: horizontally
// the widest row and the sum of the row heights; vertically the menu height
// and the sum of the item heights.
CSize PlaceMenuBarItems(MenuBarItems& items, BOOL bHorz, int nMenuHeight);
