#include "ui/subclass_wnd.h"

#include <unordered_map>

const CRuntimeClass CSubclassWnd::classCSubclassWnd = {"CSubclassWnd", int(sizeof(CSubclassWnd)), 0xFFFF, nullptr,
                                                        RUNTIME_CLASS(CWnd)};

namespace {

// The newest hook of each hooked window (main thread only).
std::unordered_map<HWND, CSubclassWnd*>& Newest()
{
    static std::unordered_map<HWND, CSubclassWnd*> map;
    return map;
}

} // namespace

CSubclassWnd::CSubclassWnd() = default;

CSubclassWnd::~CSubclassWnd()
{
    if (m_hWnd)
        Unhook();
}

BOOL CSubclassWnd::HookWindow(HWND hWnd)
{
    if (!hWnd) {
        if (m_hWnd)
            Unhook();
        return TRUE;
    }
    if (m_hWnd)
        Unhook();
    auto& map = Newest();
    auto it = map.find(hWnd);
    m_pNext = it == map.end() ? nullptr : it->second;
    if (m_pNext)
        m_pfnOldWndProc = m_pNext->m_pfnOldWndProc;
    else
        m_pfnOldWndProc = SetWindowProc(hWnd, &CSubclassWnd::HookWndProc);
    map[hWnd] = this;
    m_hWnd = hWnd;
    return TRUE;
}

void CSubclassWnd::Unhook()
{
    auto& map = Newest();
    auto it = map.find(m_hWnd);
    if (it != map.end()) {
        if (it->second == this) {
            if (!m_pNext) {
                map.erase(it);
                SetWindowProc(m_hWnd, m_pfnOldWndProc);
            } else {
                it->second = m_pNext;
            }
        } else {
            for (CSubclassWnd* h = it->second; h; h = h->m_pNext) {
                if (h->m_pNext == this) {
                    h->m_pNext = m_pNext;
                    break;
                }
            }
        }
    }
    m_pNext = nullptr;
    m_pfnOldWndProc = nullptr;
    m_hWnd = nullptr;
}

LRESULT CSubclassWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pNext)
        return m_pNext->WindowProc(msg, wParam, lParam);
    return CallWindowProc(m_pfnOldWndProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CSubclassWnd::HookWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto& map = Newest();
    auto it = map.find(hWnd);
    if (it == map.end())
        return AfxWndProcBase(hWnd, msg, wParam, lParam);
    if (msg != WM_NCDESTROY)
        return it->second->WindowProc(msg, wParam, lParam);
    // The window goes: every hook comes off before its own procedure sees the end.
    WNDPROC own = it->second->m_pfnOldWndProc;
    while (true) {
        auto cur = map.find(hWnd);
        if (cur == map.end())
            break;
        cur->second->Unhook();
    }
    return CallWindowProc(own, hWnd, msg, wParam, lParam);
}
