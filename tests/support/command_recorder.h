#pragma once

#include "platform/framework/wnd.h"

#include <algorithm>
#include <vector>

namespace qrtest {

// A window that keeps the commands it is sent: the main window of tests.
class CommandRecorder : public CWnd {
public:
    std::vector<UINT> commands;
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        commands.push_back(LOWORD(DWORD(wParam)));
        return TRUE;
    }
    size_t Count(UINT id) const { return size_t(std::count(commands.begin(), commands.end(), id)); }
};

} // namespace qrtest
