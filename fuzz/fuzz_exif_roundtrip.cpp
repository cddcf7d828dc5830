// Read, write, read again: whatever the reader accepts, the writer must turn
// into a block that the reader takes back.
#include "imaging/exif_file.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int kind = data[0] % 3;
    const int outputKind = data[1] & 1;
    CMemFile file(data + 2, size - 2);
    CExifFile exif;
    if (exif.Attach(&file, kind) != 0 || !exif.GetFirstEntry())
        return 0;
    if (CExifEntry* note = exif.FindEntry(37500, 0, kSubExif))
        note->m_fixedValueOffset = (data[1] & 2) ? 1148 : 0;
    static const BYTE thumbnail[] = {0xFF, 0xD8, 0xFF, 0xD9};
    CMemFile out;
    DWORD written = 0;
    const bool withThumbnail = outputKind == 0 && (data[1] & 4);
    if (exif.WriteExif(&out, written, withThumbnail ? thumbnail : nullptr, withThumbnail ? 4 : 0, 640, 480, 160, 120,
                       outputKind, static_cast<int16_t>((data[1] & 8) ? 1 : -1)) != 0)
        return 0;
    if (outputKind != 0)
        return 0;
    if (written > CExifFile::kMaxApp1Content)
        abort();
    std::vector<BYTE> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, BYTE((written + 2) >> 8), BYTE(written + 2)};
    jpeg.insert(jpeg.end(), out.Data().begin(), out.Data().end());
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    CMemFile again(jpeg);
    CExifFile back;
    // The written block always has an Exif directory: reading it back must work.
    if (back.Attach(&again, kExifJpeg) != 0)
        abort();
    return 0;
}
