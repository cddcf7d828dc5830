#pragma once

#include "platform/framework/wnd_defs.h"

// The viewer's resources and commands.
enum : UINT {
    IDR_VIEWER = 130,               // document string, menu, accelerators
    IDR_VIEWER_CONTEXT = 163,       // the picture's right-button menu
    IDB_VIEWER_TOOLBAR = 1019,      // twelve 24 x 24 images, magenta transparent
    IDD_VIEWER_LOAD_PROGRESS = 913, // the picture-loading dialog
    IDC_VIEWER_IMAGE = 2130,        // the view's image control
    IDI_VIEWER_FRAME = 4084,
    IDW_VIEWER_MENUBAR = 59398,
    IDW_VIEWER_TOOLBAR = 59392,
    IDW_VIEWER_STATUSBAR = 59393,
};

enum : UINT {
    ID_VIEWER_SAVE_AS = 32786,
    ID_VIEWER_PRINT = 57609,
    ID_VIEWER_QUIT = 57665,
    ID_VIEWER_SAVE_ALL = 57604,
    ID_VIEWER_SELECT_ALL = 57642,
    ID_VIEWER_UNDO = 57643,
    ID_VIEWER_REDO = 57644,
    ID_VIEWER_PRINT_DIRECT = 57607,
    ID_VIEWER_NEXT_PANE = 57680,
    ID_VIEWER_PREV_PANE = 57681,
    ID_VIEWER_AREA_TOOL = 347,
    ID_VIEWER_MAGNIFIER = 262,
    ID_VIEWER_GRAB_TOOL = 263,
    ID_VIEWER_ENLARGE = 316,
    ID_VIEWER_REDUCE = 315,
    ID_VIEWER_FIT = 209,
    ID_VIEWER_ACTUAL_SIZE = 210,
    ID_VIEWER_ZOOM_400 = 320,
    ID_VIEWER_ZOOM_200 = 321,
    ID_VIEWER_ZOOM_100 = 322,
    ID_VIEWER_ZOOM_50 = 323,
    ID_VIEWER_ZOOM_75 = 324,
    ID_VIEWER_ZOOM_25 = 325,
    ID_VIEWER_ROTATE_CW = 319,
    ID_VIEWER_ROTATE_CCW = 317,
    ID_VIEWER_ROTATE_180 = 318,
    ID_VIEWER_INDICATOR_INFO = 32790,
    ID_VIEWER_TOOLBAR = 59392,
    ID_VIEWER_STATUS_BAR = 59393,
    ID_VIEWER_COLOR_PREFS = 170,
};

// Registers the viewer's menus and accelerators (once).
void RegisterViewerResources();
