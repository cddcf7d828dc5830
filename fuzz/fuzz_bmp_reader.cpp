// BMP files, packed DIBs and raw bitmap records from untrusted bytes.
#include "imaging/dib_bitmap.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Run-length data may claim a large picture from a few bytes: keep each run small.
    CDibBitmap::SetMaxImageBytes(16u << 20);
    CDibBitmap dib;
    CMemFile file(data, size);
    if (dib.Read(file)) {
        const CSize s = dib.GetSize();
        (void)dib.GetPixel(0, 0);
        (void)dib.GetPixel(s.cx - 1, s.cy - 1);
        // Every pixel read through its table or masks.
        CDibBitmap deep = dib;
        if (deep.GetDibImageSize() < (1u << 20))
            deep.ConvertBitDepth(24);
        CMemFile out;
        if (dib.Write(out)) {
            CDibBitmap back;
            CMemFile in(out.Data());
            if (!back.Read(in))
                __builtin_trap();  // what we write we must read
        }
    }
    CDibBitmap packed;
    packed.ReadFromGlobal(std::vector<uint8_t>(data, data + size));
    return 0;
}
