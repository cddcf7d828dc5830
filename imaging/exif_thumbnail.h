#pragma once

#include "platform/types.h"

class CFile;
class CImageBuffer;

// The Exif thumbnail of a picture being saved: the picture scaled to the
// largest size of its aspect inside 160 x 120 (small pictures enlarged),
// centred on white, encoded as JPEG at quality 90 and 72 dots per inch and
// appended to out. Answers the byte count, 0 on any failure; size becomes
// 160 x 120 on success.
DWORD MakeExifThumbnail(const CImageBuffer& image, CSize& size, CFile& out);
