// Archive strings and counts from untrusted bytes.
#include "platform/archive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMemFile file(data, size);
    CArchive ar(&file, CArchive::load);
    try {
        while (ar.RemainingBytes() > 0) {
            std::string s = ar.ReadStringField();
            (void)s;
            if (ar.RemainingBytes() >= 2)
                (void)ar.ReadCount();
        }
    } catch (const CException&) {
    }
    return 0;
}
