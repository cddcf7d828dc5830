#pragma once

#include "platform/types.h"

// The message editor's internal commands: its windows post them to the
// editor frame, which routes them to the view and its panes.
enum : UINT {
    ID_MOUSELEAVECOMMENT = 161,
    ID_OPENIMAGEANO = 176,
    ID_CLEARANOTATION = 198,
    ID_ANOFINDNEXT = 200,
    ID_TITLECHANGED = 204,
    ID_FILEDROPPED = 205,
    ID_COMMENTCHANGED = 208,
    ID_MOUSEONCOMMENT = 244,
    ID_UPDATE_UI = 254,
    ID_COMMENTSELCHANGED = 306,
    ID_ADDANOTATION = 307,
    ID_ENDCOMMENTEDIT = 311,
    ID_DESELECTCOMMENT = 312,
    ID_STARTCOMMENTEDIT = 313,
};

// The image pane's commands: zoom, rotation and the marquee tools.
enum : UINT {
    ID_ZOOMTOMARQUEE = 245,
    ID_ZOOMFIT = 246,
    ID_ENLARGE = 249,
    ID_REDUCE = 250,
    ID_ROTATE_CW = 252,
    ID_ROTATE_CCW = 253,
    ID_TOOL_SQUARE = 258,
    ID_TOOL_ROUNDSQUARE = 259,
    ID_TOOL_OVAL = 260,
    ID_TOOL_FREEHAND = 261,
    ID_TOOL_NONE = 262,
    ID_TOOL_GRAB = 263,
    ID_ZOOM = 301,
    // Passed on to the current comment editor.
    ID_ANO_EDITOR_COMMAND = 32787,
};
