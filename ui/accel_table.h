#pragma once

#include "platform/framework/accel.h"

class CWnd;

// Lets a frame or pane translate the keyboard accelerators of its own table
// from its message pre-translation.
class CAccelTable {
public:
    CAccelTable() = default;
    virtual ~CAccelTable() = default;
    // Keeps the window and loads the table from the program's resources.
    void Load(CWnd* pWnd, UINT nAccelId);
    // Non-zero when the message was translated (a command was sent) and is not
    // processed further; 0 without a window or table.
    int Translate(MSG* pMsg);

private:
    CWnd* m_pWnd = nullptr;
    HACCEL m_hAccel = nullptr;
};
