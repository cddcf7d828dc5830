#include "platform/framework/accel.h"

#include "platform/framework/wnd.h"

#include <map>

namespace {
std::map<UINT, AcceleratorTable>& Tables()
{
    static std::map<UINT, AcceleratorTable> tables;
    return tables;
}
} // namespace

void RegisterAcceleratorResource(UINT nID, std::vector<ACCEL> entries) { Tables()[nID].entries = std::move(entries); }

HACCEL LoadAccelerators(UINT nID)
{
    auto it = Tables().find(nID);
    return it == Tables().end() ? nullptr : &it->second;
}

int TranslateAccelerator(HWND hWnd, HACCEL hAccel, const MSG* pMsg)
{
    if (!hWnd || !hAccel || !pMsg || (pMsg->message != WM_KEYDOWN && pMsg->message != WM_SYSKEYDOWN))
        return 0;
    BYTE held = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000)
        held |= FSHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000)
        held |= FCONTROL;
    if ((GetKeyState(VK_MENU) & 0x8000) || (HIWORD(DWORD(pMsg->lParam)) & KF_ALTDOWN))
        held |= FALT;
    for (const ACCEL& a : hAccel->entries) {
        if (!(a.fVirt & FVIRTKEY) || a.key != pMsg->wParam)
            continue;
        if ((a.fVirt & (FSHIFT | FCONTROL | FALT)) != held)
            continue;
        SendMessage(hWnd, WM_COMMAND, a.cmd, 0);
        return 1;
    }
    return 0;
}
