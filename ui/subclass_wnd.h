#pragma once

#include "platform/framework/wnd.h"

// One of several independent watchers of a window that belongs to somebody
// else. All hooks of a window form a chain behind one shared procedure: the
// newest sees a message first and passes it on by calling the default
// WindowProc; the window's own handling comes last. Every hook of a window is
// taken off when the window is destroyed, before it sees WM_NCDESTROY.
class CSubclassWnd : public CObject {
public:
    static const CRuntimeClass classCSubclassWnd;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCSubclassWnd; }

    CSubclassWnd();
    ~CSubclassWnd() override;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    // With a window: puts this hook in front of its chain. With null: takes
    // this hook off (when hooked). TRUE either way.
    BOOL HookWindow(HWND hWnd);
    BOOL IsHooked() const { return m_hWnd != nullptr; }
    virtual void Serialize(class CArchive&) {}
    // Handles what it wants and calls this default for the rest.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_pfnOldWndProc = nullptr;
    CSubclassWnd* m_pNext = nullptr;

private:
    static LRESULT HookWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Unhook();
};
