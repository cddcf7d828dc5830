// Raw image files and their archive form from untrusted bytes.
#include "imaging/image_buffer.h"
#include "platform/archive.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// What was read must write back to a file that reads again the same.
void CheckRoundTrip(const CImageBuffer& image)
{
    if (!image.IsValid())
        return;
    CMemFile out;
    if (!image.WriteFile(out))
        std::abort();
    out.SeekToBegin();
    CImageBuffer again;
    again.ReadFile(out, CImageBuffer::kHeap, false);
    if (again.GetSize() != image.GetSize() || again.GetPixelType() != image.GetPixelType())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (int kind : {CImageBuffer::kHeap, CImageBuffer::kMapping}) {
        CMemFile file(data, size);
        CImageBuffer image;
        try {
            image.ReadFile(file, kind, kind == CImageBuffer::kHeap);
            CheckRoundTrip(image);
        } catch (const CUserException&) {
            if (image.IsValid())
                std::abort();
        }
    }
    CMemFile file(data, size);
    CArchive ar(&file, CArchive::load);
    CImageBuffer image;
    if (image.Serialize(ar))
        CheckRoundTrip(image);
    else if (image.IsValid())
        std::abort();
    return 0;
}
