#pragma once

#include "imaging/plugin_api.h"
#include "platform/types.h"

#include <string>

class CDC;
class CDibBitmap;
class CFileItem;
class CImageBuffer;
class CWnd;

// An item's full picture handed to the outside (the clipboard, Save As,
// Resize All): decoded once and kept in the item's raw cache file while the
// file stays as it is, then with the item's edits applied: mirroring and
// rotation, the text overlay, the output size and a crop.

// Messages of the output.
enum : UINT {
    IDS_IMAGE_NOT_CREATED = 6012,
    IDS_OUT_OF_MEMORY = 6066,
    IDS_FILE_EXISTS_REPLACE = 6091,
    IDS_FILE_NOT_FOUND = 6126,
    IDS_OPEN_FAILED = 6129,
    IDS_PATH_TOO_LONG = 6214,
    IDS_IMAGE_TOO_LARGE = 6246,
    IDS_PATH_TOO_LONG_2 = 6254,
};

// How a decode behind the dialog ended.
struct CItemDecodeResult {
    int code = 0;           // the importer's
    bool cancelled = false; // by the user
};

// Decodes the picture at the path behind the loading progress dialog (with
// flag, matched into the working colour space); true when it arrived. With a
// bound, the picture may come reduced, never below what fits the bound.
bool DecodeItemWithProgress(CWnd* parent, int index, CImageBuffer& buffer, const std::string& path, int decodeOption,
                            BOOL flag, CItemDecodeResult* result = nullptr, const QrDecodeRect* bound = nullptr);
// Tells the user why a decode failed ("Insufficient memory." or "Unable to
// open file. "); nothing for one the user cancelled.
void ReportDecodeFailure(const CItemDecodeResult& result);
// The same after checking the path, the file and the picture size (each side
// at most 3840 pixels), with a message for each failure but a cancel; 1 when
// loaded.
int DecodeItemChecked(CWnd* parent, CFileItem* item, CImageBuffer& buffer, int decodeOption);
// The item's full picture as a bitmap, from its raw cache or decoded (and
// then kept there); nonzero on success. The output size becomes the picture
// size when it was not set.
int LoadItemImage(int index, CDibBitmap& bitmap);
// The item's full picture (from the raw cache when it holds it) into the
// buffer, reduced to 8 bits per sample when asked; 1 on success.
int LoadItemImageBuffer(int index, CImageBuffer& buffer, int bitsPerSample, BOOL flag, CWnd* parent = nullptr);
// The item's picture with every edit applied: mirrored, rotated, overlaid,
// resized to the output size with the method, cropped (in picture
// coordinates, scaled when resized); 1 on success.
int RenderItemForOutput(int index, CImageBuffer& buffer, int bitsPerSample, int method, const CRect& crop,
                        CWnd* parent = nullptr);

// The overlay text: the date (taken or modified), the file name and the
// picture's comment, each on its own line when asked.
std::string FormatOverlayText(int index, BOOL withDate, BOOL withName, BOOL withInfo);
// The rectangle the overlay text takes in the corner of the settings'
// location, inside the picture (or the selection, when asked).
CRect PlaceOverlayText(CDC* dc, int index, const CRect& picture);
// Draws the overlay text into the bitmap with its top-left corner at x, y.
void DrawOverlayText(CDibBitmap& bitmap, int index, const CRect& picture, int x, int y);
// Draws the overlay text into the picture; false when it could not be drawn.
bool BurnOverlayText(CImageBuffer& buffer, int index);

// A name chosen in the save dialog, completed with the extension (".JPG")
// when typed without one. The dialog asked about replacing the name as typed
// only, so a file already there under the completed name is replaced only
// when the user agrees; false when the user does not (ask for a name again).
bool CompleteSaveName(std::string& path, const char* extension);

