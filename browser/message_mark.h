#pragma once

#include "platform/types.h"

class CDC;
class CGalleryCtrl;
class CImageList;

// The program's shared 24-pixel icons (picture 1 marks messages), loaded once.
const CImageList& SharedSmallIcons();

// The gallery's overlay: a message file, or a picture with a message of its
// own, gets the message mark over the bottom-left corner of its picture.
void DrawMessageMark(CGalleryCtrl* ctrl, CDC* dc, int index, const CRect& cell, const CRect& picture);
