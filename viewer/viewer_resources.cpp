#include "viewer/viewer_ids.h"

#include "ui/edit_commands.h"
#include "platform/framework/accel.h"
#include "platform/framework/menu.h"

namespace {

constexpr WORD kKeyF6 = 0x75;

void RegisterViewerMenus()
{
    const UINT S = MF_STRING;
    RegisterMenuResource(IDR_VIEWER,
                         {{MF_POPUP,
                           0,
                           "&File",
                           {{S, ID_FILE_SAVE, "&Save...\tCtrl+S", {}},
                            {S, ID_VIEWER_SAVE_AS, "Save &As...", {}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_VIEWER_PRINT, "&Print...\tCtrl+P", {}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_VIEWER_COLOR_PREFS, "Color Pr&eferences...", {}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_FILE_CLOSE, "&Close", {}},
                            {S, ID_VIEWER_QUIT, "&Quit", {}}}},
                          {MF_POPUP,
                           0,
                           "&Edit",
                           {{S, ID_EDIT_COPY, "&Copy\tCtrl+C", {}}, {S, ID_VIEWER_SELECT_ALL, "Select &All\tCtrl+A", {}}}},
                          {MF_POPUP,
                           0,
                           "&View",
                           {{S, ID_VIEWER_TOOLBAR, "&Toolbars", {}},
                            {S, ID_VIEWER_STATUS_BAR, "&Status Bar", {}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_VIEWER_AREA_TOOL, "&Area Marquee", {}},
                            {S, ID_VIEWER_MAGNIFIER, "&Magnifying Tool", {}},
                            {S, ID_VIEWER_GRAB_TOOL, "&Grab Tool", {}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_VIEWER_ENLARGE, "&Enlarge", {}},
                            {S, ID_VIEWER_REDUCE, "Re&duce", {}},
                            {S, ID_VIEWER_FIT, "&Fit to Window", {}},
                            {S, ID_VIEWER_ACTUAL_SIZE, "&Actual size", {}},
                            {MF_POPUP,
                             0,
                             "&Zoom",
                             {{S, ID_VIEWER_ZOOM_400, "&400%", {}},
                              {S, ID_VIEWER_ZOOM_200, "&200%", {}},
                              {S, ID_VIEWER_ZOOM_100, "&100%", {}},
                              {S, ID_VIEWER_ZOOM_75, "&75%", {}},
                              {S, ID_VIEWER_ZOOM_50, "&50%", {}},
                              {S, ID_VIEWER_ZOOM_25, "&25%", {}}}},
                            {MF_SEPARATOR, 0, "", {}},
                            {S, ID_VIEWER_ROTATE_CW, "Rotate 90 Degrees &Clockwise", {}},
                            {S, ID_VIEWER_ROTATE_CCW, "Rotate 90 Degrees C&ounterclockwise", {}}}}});
    RegisterMenuResource(IDR_VIEWER_CONTEXT, {{MF_POPUP,
                                               0,
                                               "Viewer",
                                               {{S, ID_FILE_CLOSE, "C&lose", {}},
                                                {S, ID_EDIT_COPY, "&Copy\tCtrl+C", {}},
                                                {S, ID_VIEWER_ENLARGE, "&Enlarge", {}},
                                                {S, ID_VIEWER_REDUCE, "Re&duce", {}},
                                                {S, ID_VIEWER_FIT, "&Fit to Window", {}}}}});
}

void RegisterViewerAccelerators()
{
    const BYTE C = FVIRTKEY | FCONTROL, CS = FVIRTKEY | FCONTROL | FSHIFT, SH = FVIRTKEY | FSHIFT, AL = FVIRTKEY | FALT;
    RegisterAcceleratorResource(IDR_VIEWER, WithClipboardKeys({
                                                {C, 'Q', ID_VIEWER_QUIT},
                                                {C, 'A', ID_VIEWER_SELECT_ALL},
                                                {AL, VK_BACK, ID_VIEWER_UNDO},
                                                {C, 'Z', ID_VIEWER_UNDO},
                                                {C, 'P', ID_VIEWER_PRINT},
                                                {C, 'S', ID_FILE_SAVE},
                                                {CS, 'S', ID_VIEWER_SAVE_ALL},
                                                {C, VK_RETURN, ID_VIEWER_FIT},
                                                {CS, VK_RETURN, ID_VIEWER_ACTUAL_SIZE},
                                                {FVIRTKEY, kKeyF6, ID_VIEWER_NEXT_PANE},
                                                {SH, kKeyF6, ID_VIEWER_PREV_PANE},
                                                {CS, 'R', ID_VIEWER_ROTATE_CCW},
                                                {C, 'R', ID_VIEWER_ROTATE_CW},
                                                {C, VK_DOWN, ID_VIEWER_REDUCE},
                                                {C, VK_UP, ID_VIEWER_ENLARGE},
                                            }));
}

} // namespace

void RegisterViewerResources()
{
    static const bool once = [] {
        RegisterViewerMenus();
        RegisterViewerAccelerators();
        return true;
    }();
    (void)once;
}
