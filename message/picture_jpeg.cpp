#include "message/picture_jpeg.h"

#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "platform/exceptions.h"

#include <new>

namespace msgjpeg {

bool Encode(const CImageBuffer& image, int quality, std::vector<uint8_t>& out)
{
    out.clear();
    if (!image.IsValid())
        return false;
    try {
        const CImageBuffer* source = &image;
        CImageBuffer converted;
        const int type = image.GetPixelType();
        if (type != PixelType::Bgr24 && type != PixelType::Rgb24) {
            if (!converted.CopyRect(image, CRect(0, 0, image.GetWidth(), image.GetHeight())) ||
                !converted.ConvertToBitsPerPixel(24))
                return false;
            source = &converted;
        }
        // The pixel block is read, not changed; GetBits is only not const.
        const uint8_t* rows = const_cast<CImageBuffer*>(source)->GetBits();
        std::vector<uint8_t> copy;
        if (!rows) {
            // A picture kept in a temporary file: gather its rows in stored order.
            const uint64_t stride = source->GetStride();
            copy.resize(static_cast<size_t>(source->GetImageBytes()));
            for (int r = 0; r < source->GetHeight(); ++r) {
                const int stored = source->IsBottomUp() ? source->GetHeight() - 1 - r : r;
                const uint8_t* row = source->GetRowPointer(r);
                if (!row)
                    return false;
                std::copy(row, row + stride, copy.begin() + static_cast<std::ptrdiff_t>(stored * stride));
            }
            rows = copy.data();
        }
        size_t count = 0;
        if (JpegEncode(rows, source->GetPixelType(), source->IsBottomUp(), source->GetWidth(), source->GetHeight(),
                       quality, 96, 96, 0, nullptr, 0, nullptr, 0, out, &count, nullptr,
                       static_cast<size_t>(source->GetStride())) != 0)
            return false;
        out.resize(count);
        return !out.empty();
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    return false;
}

void Decode(const uint8_t* data, size_t size, CImageBuffer& out)
{
    out.Free();
    BITMAPINFOHEADER header{};
    try {
        if (!JpegReadHeader(data, size, &header))
            throw CArchiveException(CArchiveException::genericException);
    } catch (const CUserException&) {
        throw CArchiveException(CArchiveException::genericException);
    }
    const int64_t width = header.biWidth;
    const int64_t height = header.biHeight;
    if (width < 1 || height < 1)
        throw CArchiveException(CArchiveException::genericException);
    const int type = header.biBitCount == 8 ? PixelType::Grey8 : PixelType::Bgr24;
    // The decoder writes every row whole.
    if (!out.CreateForOverwrite(CImageBuffer::kHeap, CSize(static_cast<LONG>(width), static_cast<LONG>(height)), type, 1))
        throw CMemoryException();
    try {
        if (!JpegDecode(data, size, out.GetBits(), static_cast<size_t>(out.GetImageBytes())))
            throw CUserException();
    } catch (const CUserException&) {
        out.Free();
        throw CArchiveException(CArchiveException::genericException);
    }
}

} // namespace msgjpeg
