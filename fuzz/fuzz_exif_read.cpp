// Picture metadata from untrusted bytes: the first byte picks the file kind
// (JPEG, TIFF, raw format); every accessor, the thumbnail and profile calls follow.
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Keeps the accessors' results alive.
uint64_t g_exifReadSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CMemFile file(data + 1, size - 1);
    CExifFile exif;
    exif.Attach(&file, data[0] % 3);
    uint64_t sink = 0;
    for (const auto& e : exif.GetEntries()) {
        const int n = static_cast<int>(e->m_count > 64 ? 64 : e->m_count) + 1;
        for (int i = -1; i < n; ++i) {
            DWORD num, den;
            int sign;
            e->GetRational(num, den, sign, i);
            sink += e->GetByte(i) + e->GetShort(i) + e->GetSShort(i) + e->GetLong(i) + e->GetSLong(i) + num + den;
            sink += static_cast<uint64_t>(e->GetFloat(i) != 0) + static_cast<uint64_t>(e->GetDouble(i) != 0);
        }
        int code;
        if (auto text = e->GetUserComment(code))
            sink += text->size();
        int y, mo, d, h, mi, s;
        e->GetDateTime(y, mo, d, h, mi, s);
        sink += e->EncodeIntel().size();
    }
    sink += exif.GetQualityReduction();
    int kind = 0;
    DWORD bytes = 0;
    if (exif.GetThumbnailInfo(kind, bytes) == 0 && bytes < (1u << 24)) {
        std::vector<BYTE> buffer(bytes);
        if (kind == 1)
            exif.ReadStripThumbnail(buffer.data(), buffer.size());
        else if (kind == 2)
            exif.ReadJpegThumbnail(buffer.data(), buffer.size());
    }
    int w, h;
    exif.GetThumbnailSize(w, h);
    CDibBitmap thumbnail, preview;
    sink += exif.GetThumbnail(thumbnail) + exif.GetMakerPreview(preview);
    sink += exif.GetColorProfile().size() + exif.GetFirstApp2().size() + exif.GetApp2Prefix().size();
    g_exifReadSink = sink;
    return 0;
}
