#include "browser/zun_main_frame.h"
#include "browser/zun_main_view.h"
#include "browser/zun_func_pane.h"

#include "ui/edit_commands.h"
#include "platform/framework/accel.h"
#include "platform/framework/menu.h"

namespace {

constexpr WORD kKeyF2 = 0x71;
constexpr WORD kKeyF6 = 0x75;

void RegisterBrowserMenus()
{
    const UINT S = MF_STRING;
    const MenuResourceItem sep{MF_SEPARATOR, 0, "", {}};
    RegisterMenuResource(IDR_ZUNTYPE,
                         {{MF_POPUP,
                           0,
                           "&File",
                           {{S, ID_NEW_FOLDER, "&New Folder\tCtrl+N", {}},
                            sep,
                            {S, ID_FUNC_ANOTAION, "View &Comment", {}},
                            {S, ID_FUNC_VIEWER, "View &Image", {}},
                            sep,
                            {S, ID_SAVE_AS, "Save &As...", {}},
                            sep,
                            {S, ID_PRINT_SHEETS, "&Print...", {}},
                            {S, ID_COLOR_PREFS, "Color Pr&eferences...", {}},
                            sep,
                            {S, ID_APP_EXIT, "&Quit\tCtrl+Q", {}}}},
                          EditMenu({{S, ID_EDIT_DELETE_FILES, "&Delete", {}},
                                    sep,
                                    {S, ID_EDIT_SELECT_ALL, "Select &All\tCtrl+A", {}},
                                    sep,
                                    {S, ID_EDIT_RENAME_FILE, "&Rename\tF2", {}},
                                    {S, ID_COPY_TO_FOLDER, "Cop&y to Folder...\tCtrl+Y", {}},
                                    {S, ID_MOVE_TO_FOLDER, "&Move to Folder...\tCtrl+M", {}},
                                    {S, ID_COPY_TO_CLIPBOARD, "Copy to Clip&board\tCtrl+B", {}}}),
                          {MF_POPUP,
                           0,
                           "&View",
                           {{S, ID_VIEW_TOOLBARS, "&Toolbars", {}},
                            {S, ID_VIEW_STATUS_BAR, "&Status Bar", {}},
                            sep,
                            {S, ID_VIEW_THUMBNAILS, "T&humbnails", {}},
                            {S, ID_VIEW_ICONS, "&Icons", {}},
                            {S, ID_VIEW_DETAILS, "&Details", {}},
                            sep,
                            {MF_POPUP,
                             0,
                             "Thumbnail Si&ze",
                             {{S, ID_THUMB_LARGE, "&Large", {}},
                              {S, ID_THUMB_MEDIUM, "&Medium", {}},
                              {S, ID_THUMB_SMALL, "&Small", {}},
                              {S, ID_THUMB_CUSTOM, "&Custom", {}}}},
                            {S, ID_VIEW_IMAGEINFO, "Display Image I&nfo\tCtrl+I", {}},
                            sep,
                            {S, ID_VIEW_UPDATE, "&Update\tCtrl+R", {}}}},
                          {MF_POPUP,
                           0,
                           "&Sort",
                           {{S, ID_SORT_NAME, "By &Name", {}},
                            {S, ID_SORT_EXTENSION, "By &Extension", {}},
                            {S, ID_SORT_DATE, "By &Date", {}},
                            {S, ID_SORT_ATTRIBUTES, "By &Attributes", {}},
                            sep,
                            {S, ID_SORT_ASCENDING, "A&scending Order", {}},
                            {S, ID_SORT_DESCENDING, "Des&cending Order", {}}}},
                          {MF_POPUP,
                           0,
                           "&Tools",
                           {{S, ID_RENAME_ALL, "Re&name All...", {}},
                            {S, ID_RESIZE_ALL, "Resi&ze All...", {}},
                            sep,
                            {S, ID_COMMENT_SEARCH, "Comment &Search...\tCtrl+F", {}},
                            {S, ID_DATA_VALIDATION, "Data &Validation", {}},
                            sep,
                            {S, ID_EXPORT_CSV, "Export to &CSV...", {}},
                            {S, ID_EDIT_USER_COMMENT, "&User Comment...", {}},
                            {S, ID_CAMERA_COPIES, "Ca&mera Copies...", {}},
                            {S, ID_PLAY_SOUND, "&Play", {}}}},
                          {MF_POPUP,
                           0,
                           "&Help",
                           {{S, 227, "&Help", {}}, sep, {S, 57664, "&About...", {}}}}});
    RegisterMenuResource(IDR_THUMBNAIL_POPUP, {{MF_POPUP,
                                                0,
                                                "Thumbnail",
                                                {{S, ID_EDIT_COPY, "&Copy", {}},
                                                 {S, ID_EDIT_CUT, "Cu&t", {}},
                                                 {S, ID_EDIT_DELETE_FILES, "&Delete", {}},
                                                 {S, ID_EDIT_RENAME_FILE, "&Rename", {}}}}});
}

void RegisterBrowserAccelerators()
{
    const BYTE C = FVIRTKEY | FCONTROL, SH = FVIRTKEY | FSHIFT, AL = FVIRTKEY | FALT;
    RegisterAcceleratorResource(IDR_ZUN_ACCEL, {
                                                   {C, 'F', ID_COMMENT_SEARCH},
                                                   {C, 'B', ID_COPY_TO_CLIPBOARD},
                                                   {C, 'Y', ID_COPY_TO_FOLDER},
                                                   {C, 'P', ID_PRINT_DIRECT},
                                                   {C, 'M', ID_MOVE_TO_FOLDER},
                                                   {C, 'N', ID_NEW_FOLDER},
                                                   {C, 'I', ID_VIEW_IMAGEINFO},
                                                   {C, 'R', ID_VIEW_UPDATE},
                                                   {C, 'Q', ID_APP_EXIT},
                                               });
    RegisterAcceleratorResource(IDR_ZUNTYPE, WithClipboardKeys({
                                                 {C, 'A', ID_EDIT_SELECT_ALL},
                                                 {C, 'Z', ID_EDIT_UNDO},
                                                 {AL, VK_BACK, ID_EDIT_UNDO},
                                                 {C, 'P', ID_PRINT_DIRECT},
                                                 {C, 'Q', ID_APP_EXIT},
                                                 {FVIRTKEY, kKeyF2, ID_EDIT_RENAME_FILE},
                                                 {FVIRTKEY, kKeyF6, ID_NEXT_PANE},
                                                 {SH, kKeyF6, ID_PREV_PANE},
                                             }));
}

} // namespace

void RegisterBrowserResources()
{
    static const bool once = [] {
        RegisterBrowserMenus();
        RegisterBrowserAccelerators();
        return true;
    }();
    (void)once;
}
