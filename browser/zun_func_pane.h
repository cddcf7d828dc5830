#pragma once

#include "ui/button_ex.h"
#include "platform/framework/wnd.h"

#include <array>

class CFrameWnd;

enum : UINT {
    IDC_FUNC_ANOTATION = 2155,
    IDC_FUNC_WHITEBOARD = 2156,
    IDC_FUNC_VIEWER = 2153,
    IDC_FUNC_VALIDATION = 2364,
    ID_FUNC_WHITEBOARD = 303,
    ID_FUNC_VIEWER = 304,
    ID_FUNC_VALIDATION = 305,
};

// The pane of function buttons under the folder tree. Each button sends its
// command to the frame when clicked or when files are dropped on it; the
// frame's command then works on the view's selection, not on the drop.
class CZunFuncPane : public CWnd {
    DECLARE_DYNCREATE(CZunFuncPane)
    DECLARE_MESSAGE_MAP()
public:
    CZunFuncPane();
    ~CZunFuncPane() override;

    // The window, then its four buttons.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID);
    // The frame that gets the commands, and the format the buttons accept.
    void Init(CFrameWnd* pFrame, UINT nDropFormat);
    // In the order 2155, 2156, 2153, 2364.
    void EnableButtons(BOOL a, BOOL w, BOOL v, BOOL al);
    CDropButton& Button(int index) { return m_buttons[size_t(index)]; }

protected:
    void OnSize(UINT nType, int cx, int cy) override;
    void OnPaint() override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void Layout();
    void SendToFrame(UINT nControlId);

    std::array<CDropButton, 4> m_buttons;
    CFrameWnd* m_pFrame = nullptr;
};
