// Changing one tag of an untrusted file: UpdateTag and SetUserComment on a
// memory file, then the result is read again.
#include "imaging/exif_file.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int kind = data[0] % 3;
    const int code = data[1] % 4;
    const size_t textLength = data[2];
    CMemFile file(data + 3, size - 3);
    CExifFile writer;
    static const BYTE text[256] = {'q'};
    short result;
    if (data[1] & 0x80)
        result = writer.SetUserComment(&file, kind, code, text, textLength);
    else {
        CExifFile probe;
        probe.Attach(&file, kind);
        file.SeekToBegin();
        result = probe.UpdateTag(kind, static_cast<WORD>(0x9000 | data[1]), 7, text, textLength);
    }
    if (result == 0) {
        file.SeekToBegin();
        CExifFile reader;
        if (reader.Attach(&file, kind) != 0)
            abort();
    }
    return 0;
}
