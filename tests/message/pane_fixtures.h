#pragma once

#include "platform/framework/cmd_target.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "platform/registry.h"
#include "support/test_support.h"
#include "util/reg_settings.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace msgtest {

// While it lives: the settings in hives of the test's own with the given
// program folder, and every message box answered OK and kept.
class ScopedPaneSettings {
public:
    explicit ScopedPaneSettings(const std::string& home)
    {
        SetRegistryStore(&m_store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        RegWriteString(0, "HomePath", home, HKEY_LOCAL_MACHINE);
        m_previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
    }
    ~ScopedPaneSettings()
    {
        SetMessageBoxHandler(m_previous);
        SetRegistryStore(nullptr);
    }
    ScopedPaneSettings(const ScopedPaneSettings&) = delete;
    ScopedPaneSettings& operator=(const ScopedPaneSettings&) = delete;

    bool Said(const std::string& part) const
    {
        return std::any_of(boxes.begin(), boxes.end(),
                           [&](const std::string& b) { return b.find(part) != std::string::npos; });
    }
    std::vector<std::string> boxes;

private:
    qrtest::TempDir m_hives;
    CRegistryStore m_store{m_hives.path(), m_hives / "machine"};
    MessageBoxHandler m_previous;
};

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
