#include "ui/edit_commands.h"

#include "platform/framework/wnd_defs.h"

#include <utility>

std::vector<ACCEL> WithClipboardKeys(std::vector<ACCEL> own)
{
    const BYTE C = FVIRTKEY | FCONTROL, SH = FVIRTKEY | FSHIFT;
    std::vector<ACCEL> keys = {
        {C, 'X', ID_EDIT_CUT},        {SH, VK_DELETE, ID_EDIT_CUT},   {C, 'C', ID_EDIT_COPY},
        {C, VK_INSERT, ID_EDIT_COPY}, {C, 'V', ID_EDIT_PASTE},        {SH, VK_INSERT, ID_EDIT_PASTE},
    };
    keys.insert(keys.end(), own.begin(), own.end());
    return keys;
}

MenuResourceItem EditMenu(std::vector<MenuResourceItem> own)
{
    const UINT S = MF_STRING;
    std::vector<MenuResourceItem> items = {
        {S, ID_EDIT_UNDO, "&Undo\tCtrl+Z", {}},
        {MF_SEPARATOR, 0, "", {}},
        {S, ID_EDIT_CUT, "Cu&t\tCtrl+X", {}},
        {S, ID_EDIT_COPY, "&Copy\tCtrl+C", {}},
        {S, ID_EDIT_PASTE, "&Paste\tCtrl+V", {}},
    };
    items.insert(items.end(), own.begin(), own.end());
    return {MF_POPUP, 0, "&Edit", std::move(items)};
}
