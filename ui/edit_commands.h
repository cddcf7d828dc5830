#pragma once

#include "platform/framework/accel.h"
#include "platform/framework/menu.h"

#include <vector>

// What the windows' Edit commands share, so that their menus and keys say
// the same: the clipboard's keys and the head of the Edit menu.

// The keys of Cut, Copy and Paste (Ctrl with X, C and V, and the older Shift
// with Delete, Ctrl with Insert and Shift with Insert), then the window's own.
std::vector<ACCEL> WithClipboardKeys(std::vector<ACCEL> own);
// The Edit menu: Undo, a separator, Cut, Copy and Paste, then the window's own items.
MenuResourceItem EditMenu(std::vector<MenuResourceItem> own);
