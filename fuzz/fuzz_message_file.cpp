// Message files from untrusted bytes: the substituted form and, when bytes 1
// to 5 read "#7320", the plain one; read whole, and for the comments' texts
// only as comment search reads them.
#include "message/photo_content.h"
#include "platform/archive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (const bool whole : {true, false}) {
        CMemFile file(data, size);
        CArchive ar(&file, CArchive::load);
        CAPhotoContent content(95);
        try {
            content.ReadBody(ar, whole);
        } catch (const CException&) {
        }
    }
    return 0;
}
