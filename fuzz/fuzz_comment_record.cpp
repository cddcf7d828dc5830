// One comment record from untrusted bytes; the first byte picks the file
// version the record is read with.
#include "message/ano_record.h"
#include "platform/archive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int kVersions[] = {100, 101, 102, 110, 120, 121, 130, 131, 140, 141, 150, 151};
    if (size < 1)
        return 0;
    const int version = kVersions[data[0] % (sizeof kVersions / sizeof kVersions[0])];
    CMemFile file(data + 1, size - 1);
    CArchive ar(&file, CArchive::load);
    CAnoRecord record;
    try {
        record.Serialize(ar, version);
        CImageBuffer picture;
        record.GetImage(picture);
    } catch (const CException&) {
    }
    return 0;
}
