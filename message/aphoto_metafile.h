#pragma once

#include "platform/types.h"

#include <string>

class CAPhotoPageRender;

// Write to File: the render's current page as an enhanced metafile at path,
// on a page of pageSize pixels at 96 dots per inch without margins. A file
// that is there is replaced only once the new one is complete; when it is
// read-only, or writing fails, the user is told (6274, 6131) and the old
// file stays as it was. The render's geometry is left at the metafile's.
BOOL WritePageMetafile(CAPhotoPageRender& render, const std::string& path, CSize pageSize);

// The printable size of the default printer at 96 dots per inch.
CSize DefaultPrintablePage();
