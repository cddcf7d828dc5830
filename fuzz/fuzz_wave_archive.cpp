// A sound in the classes' archive form from untrusted bytes: a failed load
// changes nothing, a good one stores back to the same bytes it read.
#include "message/wave.h"
#include "platform/archive.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CWave wave;
    CMemFile in(data, size);
    try {
        CArchive ar(&in, CArchive::load);
        wave.Serialize(ar);
    } catch (const CException&) {
        if (!wave.GetBlocks().IsEmpty() || wave.GetFormat().nSamplesPerSec != 11025)
            std::abort();
        return 0;
    }
    CMemFile out;
    CArchive ar(&out, CArchive::store);
    wave.Serialize(ar);
    const size_t used = size_t(in.GetPosition());
    // The 16-bit count may have been written in its long form.
    if (out.Data().size() > used || (out.Data().size() == used && std::memcmp(out.Data().data(), data, used) != 0))
        std::abort();
    return 0;
}
