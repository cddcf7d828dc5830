#pragma once

#include "platform/types.h"

// Window handles, message numbers, styles and the records that travel with
// messages. A window handle is the QWidget that shows the window.

class QWidget;
class CWnd;

using HWND = QWidget*;
using DWORD_PTR = uintptr_t;

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

// Notification header: the sender, its control id and the code.
struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    int code = 0;
};

constexpr LPARAM MAKELPARAM(int lo, int hi) { return LPARAM(MAKELONG(WORD(lo), WORD(hi))); }
constexpr WPARAM MAKEWPARAM(int lo, int hi) { return WPARAM(MAKELONG(WORD(lo), WORD(hi))); }
constexpr int GET_X_LPARAM(LPARAM lp) { return int(int16_t(LOWORD(DWORD(lp)))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return int(int16_t(HIWORD(DWORD(lp)))); }

enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETTEXT = 0x000C,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_SYSCOLORCHANGE = 0x0015,
    WM_SHOWWINDOW = 0x0018,
    WM_SETTINGCHANGE = 0x001A,
    WM_GETMINMAXINFO = 0x0024,
    WM_DRAWITEM = 0x002B,
    WM_SETFONT = 0x0030,
    WM_NOTIFY = 0x004E,
    WM_CONTEXTMENU = 0x007B, // wParam the window clicked, lParam the screen point
    WM_NCCREATE = 0x0081,
    WM_NCDESTROY = 0x0082,
    WM_NCCALCSIZE = 0x0083,
    WM_NCHITTEST = 0x0084,
    WM_NCPAINT = 0x0085,
    WM_NCACTIVATE = 0x0086,
    WM_NCMOUSEMOVE = 0x00A0,
    WM_NCLBUTTONDOWN = 0x00A1,
    WM_NCLBUTTONUP = 0x00A2,
    WM_NCLBUTTONDBLCLK = 0x00A3,
    WM_NCRBUTTONDOWN = 0x00A4,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_HSCROLL = 0x0114,
    WM_INITMENUPOPUP = 0x0117,
    WM_MENUSELECT = 0x011F,
    WM_EXITMENULOOP = 0x0212,
    WM_CTLCOLOR = 0x0019,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_RBUTTONDBLCLK = 0x0206,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
    WM_DROPFILES = 0x0233,
    WM_MOUSELEAVE = 0x02A3,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
    // Registered messages are numbered from here (RegisterWindowMessage).
    WM_REGISTERED_FIRST = 0xC000,
};

// Notification codes that this program's windows use.
enum : int {
    NM_CLICK = -2,
    NM_DBLCLK = -3,
    NM_RCLICK = -5,
    NM_SETFOCUS = -7,
    NM_KILLFOCUS = -8,
    NM_CUSTOMDRAW = -12,
    TCN_SELCHANGE = -551,
    TCN_SELCHANGING = -552,
};

// WM_COMMAND codes of controls.
enum : UINT {
    BN_CLICKED = 0,
    BN_DOUBLECLICKED = 5,
    BN_SETFOCUS = 6,
    BN_KILLFOCUS = 7,
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
    EN_UPDATE = 0x0400,
    EN_MAXTEXT = 0x0501,
    CBN_SELCHANGE = 1,
    CBN_DBLCLK = 2,
    CBN_SETFOCUS = 3,
    CBN_KILLFOCUS = 4,
    CBN_EDITCHANGE = 5,
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    STN_CLICKED = 0,
};

// Window styles.
enum : DWORD {
    WS_OVERLAPPED = 0x00000000,
    WS_POPUP = 0x80000000,
    WS_CHILD = 0x40000000,
    WS_MINIMIZE = 0x20000000,
    WS_VISIBLE = 0x10000000,
    WS_DISABLED = 0x08000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_MAXIMIZE = 0x01000000,
    WS_CAPTION = 0x00C00000,
    WS_BORDER = 0x00800000,
    WS_DLGFRAME = 0x00400000,
    WS_VSCROLL = 0x00200000,
    WS_HSCROLL = 0x00100000,
    WS_SYSMENU = 0x00080000,
    WS_THICKFRAME = 0x00040000,
    WS_GROUP = 0x00020000,
    WS_TABSTOP = 0x00010000,
    WS_MINIMIZEBOX = 0x00020000,
    WS_MAXIMIZEBOX = 0x00010000,
    WS_OVERLAPPEDWINDOW = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
    WS_EX_DLGMODALFRAME = 0x00000001,
    WS_EX_TOPMOST = 0x00000008,
    WS_EX_ACCEPTFILES = 0x00000010,
    WS_EX_TRANSPARENT = 0x00000020,
    WS_EX_WINDOWEDGE = 0x00000100,
    WS_EX_CLIENTEDGE = 0x00000200,
    WS_EX_STATICEDGE = 0x00020000,
    // Frame styles of the class library.
    FWS_ADDTOTITLE = 0x00008000,
    FWS_PREFIXTITLE = 0x00004000,
    FWS_SNAPTOBARS = 0x00002000,
};

// Button, static and edit styles (the low word of a control's style).
enum : DWORD {
    BS_PUSHBUTTON = 0x0000,
    BS_DEFPUSHBUTTON = 0x0001,
    BS_CHECKBOX = 0x0002,
    BS_AUTOCHECKBOX = 0x0003,
    BS_RADIOBUTTON = 0x0004,
    BS_3STATE = 0x0005,
    BS_AUTO3STATE = 0x0006,
    BS_GROUPBOX = 0x0007,
    BS_AUTORADIOBUTTON = 0x0009,
    BS_OWNERDRAW = 0x000B,
    BS_TYPEMASK = 0x000F,
    BS_ICON = 0x0040,
    SS_LEFT = 0x0000,
    SS_CENTER = 0x0001,
    SS_RIGHT = 0x0002,
    SS_ICON = 0x0003,
    SS_CENTERIMAGE = 0x0200,
    SS_SUNKEN = 0x1000,
    ES_LEFT = 0x0000,
    ES_MULTILINE = 0x0004,
    ES_PASSWORD = 0x0020,
    ES_AUTOHSCROLL = 0x0080,
    ES_READONLY = 0x0800,
    ES_NUMBER = 0x2000,
    CBS_DROPDOWN = 0x0002,
    CBS_DROPDOWNLIST = 0x0003,
    LBS_NOTIFY = 0x0001,
    LBS_MULTIPLESEL = 0x0008,
};

// ShowWindow commands.
enum : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_MAXIMIZE = 3,
    SW_SHOWNOACTIVATE = 4,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_SHOWNA = 8,
    SW_RESTORE = 9,
};

// WM_SIZE types.
enum : UINT { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

// WM_ACTIVATE states.
enum : UINT { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };

// Non-client hit-test codes.
enum : int {
    HTERROR = -2,
    HTTRANSPARENT = -1,
    HTNOWHERE = 0,
    HTCLIENT = 1,
    HTCAPTION = 2,
    HTSYSMENU = 3,
    HTMENU = 5,
    HTMINBUTTON = 8,
    HTMAXBUTTON = 9,
    HTLEFT = 10,
    HTRIGHT = 11,
    HTTOP = 12,
    HTTOPLEFT = 13,
    HTTOPRIGHT = 14,
    HTBOTTOM = 15,
    HTBOTTOMLEFT = 16,
    HTBOTTOMRIGHT = 17,
    HTBORDER = 18,
    HTCLOSE = 20,
};

// System commands.
enum : UINT {
    SC_SIZE = 0xF000,
    SC_MOVE = 0xF010,
    SC_MINIMIZE = 0xF020,
    SC_MAXIMIZE = 0xF030,
    SC_CLOSE = 0xF060,
    SC_RESTORE = 0xF120,
};

// Mouse key flags of mouse messages.
enum : UINT { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008, MK_MBUTTON = 0x0010 };

// Virtual keys.
enum : UINT {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_PAUSE = 0x13,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F4 = 0x73,
    VK_F10 = 0x79,
    VK_F12 = 0x7B,
};

// Standard command and window ids of the class library.
enum : UINT {
    ID_FILE_NEW = 0xE100,
    ID_FILE_OPEN = 0xE101,
    ID_FILE_CLOSE = 0xE102,
    ID_FILE_SAVE = 0xE103,
    ID_FILE_SAVE_AS = 0xE104,
    ID_FILE_SEND_MAIL = 0xE10C,
    ID_FILE_MRU_FILE1 = 0xE110,
    ID_FILE_MRU_FILE4 = 0xE113,
    ID_EDIT_COPY = 0xE122,
    ID_EDIT_CUT = 0xE123,
    ID_EDIT_PASTE = 0xE125,
    ID_EDIT_UNDO = 0xE12B,
    ID_APP_EXIT = 0xE141,
    AFX_IDW_PANE_FIRST = 0xE900,
    AFX_IDW_PANE_LAST = 0xE9FF,
    AFX_IDW_STATUS_BAR = 0xE801,
    AFX_IDW_TOOLBAR = 0xE800,
    AFX_IDW_DOCKBAR_TOP = 0xE81B,
    ID_SEPARATOR = 0,
};

// Hidden-band and caption metrics, as the system reports them.
enum : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CYCAPTION = 4,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDLGFRAME = 7,
    SM_CYDLGFRAME = 8,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CYMENU = 15,
    SM_CXSIZE = 30,
    SM_CYSIZE = 31,
    SM_CXFRAME = 32,
    SM_CYFRAME = 33,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
};

// Command-handler codes of OnCmdMsg.
enum : int { CN_COMMAND = 0, CN_UPDATE_COMMAND_UI = -1 };
