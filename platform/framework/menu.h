#pragma once

#include "platform/framework/cmd_target.h"

#include <memory>
#include <string>
#include <vector>

class QMenu;
class CWnd;
struct MSG;

enum : UINT {
    MF_STRING = 0x0000,
    MF_ENABLED = 0x0000,
    MF_UNCHECKED = 0x0000,
    MF_BYCOMMAND = 0x0000,
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    MF_BYPOSITION = 0x0400,
    MF_SEPARATOR = 0x0800,
    TPM_LEFTALIGN = 0x0000,
    TPM_LEFTBUTTON = 0x0000,
    TPM_RIGHTBUTTON = 0x0002,
    TPM_RETURNCMD = 0x0100,
};

// Message-filter codes: input of an open popup menu.
enum : int { MSGF_MENU = 2 };
enum : UINT { WM_CANCELMODE = 0x001F };

// One entry of a menu resource; an entry with popup entries opens them.
struct MenuResourceItem {
    UINT flags = MF_STRING;
    UINT id = 0;
    std::string text;
    std::vector<MenuResourceItem> popup;
};
// Menu resources, registered by id for CMenu::LoadMenu.
void RegisterMenuResource(UINT nID, std::vector<MenuResourceItem> items);

// A menu: items with command ids, texts and states, shown as a popup. The
// owner window gets WM_INITMENUPOPUP before it opens and the chosen id as
// WM_COMMAND (or WM_SYSCOMMAND for a window's system menu).
class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL CreatePopupMenu();
    BOOL CreateMenu() { return CreatePopupMenu(); }
    BOOL DestroyMenu();
    // Builds the menu and its popups from the registered resource; FALSE when there is none.
    BOOL LoadMenu(UINT nIDResource);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const std::string& text = {});
    // Puts an item before the one at nPosition (MF_BYPOSITION), or at the end
    // when there is none there.
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, const std::string& text = {});
    // Gives the item with the id (or at the position) new flags, id and text.
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const std::string& text);
    // Removes the item with the id, or at the position with MF_BYPOSITION.
    BOOL DeleteMenu(UINT nPosition, UINT nFlags);
    UINT EnableMenuItem(UINT nID, UINT nEnable);
    UINT CheckMenuItem(UINT nID, UINT nCheck);
    UINT GetMenuState(UINT nID, UINT nFlags) const;
    UINT GetMenuItemID(int nPos) const;
    int GetMenuItemCount() const { return int(m_items.size()); }
    CMenu* GetSubMenu(int nPos) const;
    // Shows the menu at the screen point and sends the chosen command to the
    // owner; with TPM_RETURNCMD returns the id instead. 0 when nothing chosen.
    // The owner gets WM_INITMENUPOPUP before each popup (cascades too) shows
    // and WM_MENUSELECT (LOWORD(wParam) the id, or the position of an entry
    // that opens a popup; HIWORD the entry's flags; lParam the menu) as the
    // highlight moves.
    UINT TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, const RECT* = nullptr);
    // Closes the popup that is open (the whole cascade); nothing when none is.
    static void EndMenu();
    // The widget of the outermost popup while one is open, else null.
    static QMenu* GetOpenPopup();
    // The filter that sees every input message of an open popup first
    // (code MSGF_MENU, mouse points in screen coordinates); TRUE eats the
    // message. One per process; returns the previous one.
    using MessageFilterProc = BOOL (*)(int code, MSG* pMsg);
    static MessageFilterProc SetMessageFilter(MessageFilterProc proc);
    BOOL m_bSysMenu = FALSE;

    // Tests pick an item in place of the user: a chooser replaces the popup's
    // own loop (nullptr restores it).
    using Chooser = UINT (*)(CMenu* menu);
    static void SetChooser(Chooser chooser);

    struct Item {
        UINT flags = 0;
        UINT id = 0;
        std::string text;
        CMenu* popup = nullptr;
    };
    const std::vector<Item>& Items() const { return m_items; }

private:
    Item* Find(UINT nID, UINT nFlags);
    const Item* Find(UINT nID, UINT nFlags) const;
    std::vector<Item> m_items;
    std::vector<std::unique_ptr<CMenu>> m_ownedPopups; // the popups LoadMenu made
    BOOL m_bCreated = FALSE;
};

// The update request for one menu item.
class CMenuCmdUI : public CCmdUI {
public:
    CMenu* m_pMenu = nullptr;
    // The number of items to update; a handler that adds or removes items
    // sets it (and m_nIndex to its last item) so the update goes on behind them.
    UINT m_nIndexMax = 0;
    void SetText(const std::string& text) override;
    void Enable(BOOL bOn = TRUE) override;
    void SetCheck(int nCheck = 1) override;
};
