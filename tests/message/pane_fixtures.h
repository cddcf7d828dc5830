#pragma once

#include "platform/framework/cmd_target.h"
#include "platform/framework/wnd.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace msgtest {

// The window the message editor's panes and editors send their commands to,
// standing in for the editor frame and its view: an update request asks
// canDo, a command is kept and handed to onCommand.
class RoutingFrame : public CWnd {
public:
    std::function<BOOL(UINT)> canDo;
    std::function<void(UINT)> onCommand;
    std::vector<UINT> commands;

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra) override
    {
        if (nCode == CN_UPDATE_COMMAND_UI) {
            static_cast<CCmdUI*>(pExtra)->Enable(canDo && canDo(nID));
            return TRUE;
        }
        return CWnd::OnCmdMsg(nID, nCode, pExtra);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        const UINT id = LOWORD(DWORD(wParam));
        commands.push_back(id);
        if (onCommand)
            onCommand(id);
        return TRUE;
    }
    size_t Count(UINT id) const { return size_t(std::count(commands.begin(), commands.end(), id)); }
};

} // namespace msgtest
