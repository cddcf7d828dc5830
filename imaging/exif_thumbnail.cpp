// Thumbnails and maker-note previews of a picture's metadata as bitmaps, and
// the thumbnail a saved picture's Exif block receives.
#include "imaging/exif_thumbnail.h"

#include "util/geometry.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int kThumbWidth = 160;
constexpr int kThumbHeight = 120;
constexpr int kThumbQuality = 90;
constexpr int kThumbDpi = 72;

} // namespace

int CExifFile::GetThumbnail(CDibBitmap& bitmap)
{
    bitmap.DeleteObject();
    int kind = 0;
    DWORD size = 0;
    if (GetThumbnailInfo(kind, size) != 0)
        return 0;
    try {
        if (kind == 2) {
            if (size == 0 || size > m_tiff.size())
                return 0;
            std::vector<BYTE> jpeg(size);
            if (ReadJpegThumbnail(jpeg.data(), jpeg.size()) != 0)
                return 0;
            return JpegDecodeToDibSection(jpeg.data(), jpeg.size(), bitmap) ? 1 : 0;
        }
        if (kind != 1)
            return 0;
        int width = 0, height = 0;
        if (GetThumbnailSize(width, height) != 0 || width <= 0 || height <= 0 ||
            uint64_t(width) * uint64_t(height) > kMaxThumbnailPixels)
            return 0;
        // The strip's rows are not padded; the bitmap's are. Read the strip
        // whole (missing bytes stay white), turn it bottom-up blue-green-red,
        // then place it row by row.
        const size_t row = size_t(width) * 3;
        std::vector<BYTE> strip(row * size_t(height), 0xFF);
        if (ReadStripThumbnail(strip.data(), strip.size()) != 0)
            return 0;
        FlipRgbRows(width, strip.data(), height);
        if (!bitmap.CreateDib(CSize(width, height), 24))
            return 0;
        const size_t stride = static_cast<size_t>(bitmap.GetStride());
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap.GetBits() + stride * size_t(y), strip.data() + row * size_t(y), row);
        return 1;
    } catch (const std::bad_alloc&) {
        bitmap.DeleteObject();
        return 0;
    } catch (const CMemoryException&) {
        bitmap.DeleteObject();
        return 0;
    }
}

BOOL CExifFile::GetMakerPreview(CDibBitmap& bitmap)
{
    const CExifEntry* version = FindEntry(0, 0, kSubMaker);
    if (!version || version->GetDataSize() < 2 || version->m_value[0] != 'V' || version->m_value[1] != 'R')
        return FALSE;
    const CExifEntry* preview = FindEntry(128, 0, kSubMaker);
    if (!preview || preview->m_count == 0 || preview->m_value.empty())
        preview = FindEntry(129, 0, kSubMaker);
    if (!preview || preview->m_count == 0 || preview->m_value.empty())
        return FALSE;
    // Cameras store the preview with a broken first byte. The fix goes into a
    // copy: the entry itself is written back unchanged.
    std::vector<BYTE> jpeg = preview->m_value;
    jpeg[0] = 0xFF;
    return JpegDecodeToDibSection(jpeg.data(), jpeg.size(), bitmap) ? TRUE : FALSE;
}

DWORD MakeExifThumbnail(const CImageBuffer& image, CSize& size, CFile& out)
{
    if (!image.IsValid())
        return 0;
    try {
        const RECT bound = {0, 0, kThumbWidth, kThumbHeight};
        const RECT source = {0, 0, image.GetWidth(), image.GetHeight()};
        RECT fitted{};
        ScaleRectKeepAspect(&bound, &source, &fitted, 1);
        const CRect fit(fitted);
        if (fit.IsRectEmpty())
            return 0;
        CImageBuffer scaled;
        if (!scaled.Create(CImageBuffer::kMapping, fit.Size(), image.GetPixelType(), image.GetOrientation(), nullptr,
                           image.GetPaletteEntries()))
            return 0;
        image.ResampleInto(scaled, CImageBuffer::kBilinear);
        if (scaled.GetBitsPerPixel() != 24 && !scaled.ConvertToBitsPerPixel(24))
            return 0;
        std::unique_ptr<CDibBitmap> picture = scaled.CreateDib();
        if (!picture || picture->GetBitsPerPixel() != 24)
            return 0;

        CDibBitmap canvas;
        if (!canvas.CreateDib(CSize(kThumbWidth, kThumbHeight), 24))
            return 0;
        // Both bottom-up: picture row y from the top is stored at height - 1 - y.
        const size_t canvasStride = static_cast<size_t>(canvas.GetStride());
        const size_t pictureStride = static_cast<size_t>(picture->GetStride());
        const int w = picture->GetSize().cx, h = picture->GetSize().cy;
        for (int y = 0; y < h && fit.top + y < kThumbHeight; ++y) {
            const BYTE* from = picture->GetBits() + pictureStride * size_t(h - 1 - y);
            BYTE* to = canvas.GetBits() + canvasStride * size_t(kThumbHeight - 1 - (fit.top + y)) + size_t(fit.left) * 3;
            std::memcpy(to, from, size_t(std::min(w, kThumbWidth - int(fit.left))) * 3);
        }
        std::vector<uint8_t> jpeg;
        size_t count = 0;
        if (JpegEncode(canvas.GetBits(), PixelType::Bgr24, true, kThumbWidth, kThumbHeight, kThumbQuality, kThumbDpi,
                       kThumbDpi, 0, nullptr, 0, nullptr, 0, jpeg, &count, nullptr) != 0 ||
            count == 0 || count > jpeg.size())
            return 0;
        out.Write(jpeg.data(), count);
        size = CSize(kThumbWidth, kThumbHeight);
        return static_cast<DWORD>(count);
    } catch (const CException&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
