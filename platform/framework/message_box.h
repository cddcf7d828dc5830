#pragma once

#include "platform/types.h"

#include <functional>
#include <string>

// Message boxes. Every box the program shows goes through AfxMessageBox, so the
// application can wrap it (disabling its frames) and tests can answer it.

enum : UINT {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_ABORTRETRYIGNORE = 0x0002,
    MB_YESNOCANCEL = 0x0003,
    MB_YESNO = 0x0004,
    MB_RETRYCANCEL = 0x0005,
    MB_TYPEMASK = 0x000F,
    MB_ICONHAND = 0x0010,
    MB_ICONERROR = MB_ICONHAND,
    MB_ICONSTOP = MB_ICONHAND,
    MB_ICONQUESTION = 0x0020,
    MB_ICONEXCLAMATION = 0x0030,
    MB_ICONWARNING = MB_ICONEXCLAMATION,
    MB_ICONASTERISK = 0x0040,
    MB_ICONINFORMATION = MB_ICONASTERISK,
    MB_ICONMASK = 0x00F0,
    MB_DEFBUTTON1 = 0x0000,
    MB_DEFBUTTON2 = 0x0100,
    MB_DEFBUTTON3 = 0x0200,
    MB_DEFMASK = 0x0F00,
};

enum : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

// Who answers a box: (text, type flags, help id) -> button id.
using MessageBoxHandler = std::function<int(const std::string& text, UINT type, UINT helpId)>;

// Replaces the handler; returns the previous one. An empty handler restores
// the real modal box. The application installs its own; tests install a script.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

int AfxMessageBox(const std::string& text, UINT type = MB_OK, UINT helpId = 0);
// The text of a string-table id.
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = UINT(-1));

// The real modal box, without any handler: what the default handler shows.
int ShowQtMessageBox(const std::string& text, UINT type);
