#pragma once

#include "platform/framework/cmd_target.h"

#include <memory>
#include <string>
#include <vector>

class QMenu;
class CWnd;

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
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const std::string& text = {});
    BOOL AppendPopup(CMenu* pPopup, const std::string& text);
    UINT EnableMenuItem(UINT nID, UINT nEnable);
    UINT CheckMenuItem(UINT nID, UINT nCheck);
    UINT GetMenuState(UINT nID, UINT nFlags) const;
    UINT GetMenuItemID(int nPos) const;
    int GetMenuItemCount() const { return int(m_items.size()); }
    std::string GetMenuString(UINT nID, UINT nFlags) const;
    CMenu* GetSubMenu(int nPos) const;
    // Shows the menu at the screen point and sends the chosen command to the
    // owner; with TPM_RETURNCMD returns the id instead. 0 when nothing chosen.
    UINT TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, const RECT* = nullptr);
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
    BOOL m_bCreated = FALSE;
};

// The update request for one menu item.
class CMenuCmdUI : public CCmdUI {
public:
    CMenu* m_pMenu = nullptr;
    void Enable(BOOL bOn = TRUE) override;
    void SetCheck(int nCheck = 1) override;
};
