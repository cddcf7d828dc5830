// JPEG data from untrusted bytes through the JPEG layer.
#include "imaging/dib_bitmap.h"
#include "imaging/jpeg_codec.h"
#include "platform/exceptions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)JpegCopyScanData(data, size);
    BITMAPINFOHEADER header;
    try {
        JpegReadHeader(data, size, &header);
    } catch (const CUserException&) {
        return 0;
    }
    // Big frames only cost time here: the size checks have run by now.
    if (static_cast<uint64_t>(header.biWidth) * static_cast<uint64_t>(header.biHeight) > (uint64_t(1) << 22))
        return 0;
    for (int scale : {1, 8}) {
        CDibBitmap dib;
        if (JpegDecodeToDibSection(data, size, dib, scale) &&
            dib.GetSize() != CSize((header.biWidth + scale - 1) / scale, (header.biHeight + scale - 1) / scale))
            __builtin_trap();
    }
    return 0;
}
