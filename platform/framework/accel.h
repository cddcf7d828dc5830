#pragma once

#include "platform/framework/wnd_defs.h"

#include <vector>

// Accelerator tables: keys that send commands, registered by resource id.
enum : BYTE { FVIRTKEY = 0x01, FNOINVERT = 0x02, FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10 };

struct ACCEL {
    BYTE fVirt = FVIRTKEY; // FVIRTKEY with the modifiers that must be held
    WORD key = 0;          // the virtual key
    WORD cmd = 0;          // the command id
};

struct AcceleratorTable {
    std::vector<ACCEL> entries;
};
using HACCEL = const AcceleratorTable*;

void RegisterAcceleratorResource(UINT nID, std::vector<ACCEL> entries);
// The registered table; null when there is none. Tables are never destroyed.
HACCEL LoadAccelerators(UINT nID);
// A key-down message (WM_KEYDOWN or WM_SYSKEYDOWN) matching an entry, with
// exactly the entry's modifiers held, sends WM_COMMAND with the id
// to the window and answers 1; anything else answers 0.
int TranslateAccelerator(HWND hWnd, HACCEL hAccel, const MSG* pMsg);
