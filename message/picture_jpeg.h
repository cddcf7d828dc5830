#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CImageBuffer;

// Pictures inside message files travel as baseline JPEG data of 24 bits a
// pixel at 96 dpi. These two calls are the only road between the image
// buffers of messages and the JPEG layer.
namespace msgjpeg {

// Encodes the picture (paletted and other layouts converted to 24 bits
// first). false when the picture is not valid or the encoder failed.
bool Encode(const CImageBuffer& image, int quality, std::vector<uint8_t>& out);

// Decodes into a bottom-up 24-bit (or 8-bit grey) buffer at 96 dpi. Throws
// CArchiveException(genericException) when the data do not decode or
// describe a picture past the JPEG layer's limits (kJpegMaxPixels), which are
// checked before anything is allocated.
void Decode(const uint8_t* data, size_t size, CImageBuffer& out);

} // namespace msgjpeg
