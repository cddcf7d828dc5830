#pragma once

#include "imaging/dib_format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CDibBitmap;

// JPEG decoding and encoding, memory to memory, over libjpeg. Every library
// error ends the call with CUserException (thrown here, never through the
// library); warnings are ignored, so data that end early decode as far as
// they go. Each call makes and destroys its own codec object: calls on
// different threads share nothing.

// Decoding at 1/2, 1/4 or 1/8 of each side is how thumbnails are made fast:
// the library then skips most of the inverse transform.
enum JpegScale : int { JpegScaleFull = 1, JpegScaleHalf = 2, JpegScaleQuarter = 4, JpegScaleEighth = 8 };

// What a header may make the layer allocate, checked before anything is.
// The largest pictures cameras write, about 150 million pixels from medium-
// format backs and 240 million from pixel-shift composites, stay under the
// pixel limit. And a picture needs data: even a flat grey one takes a byte
// for every 256 pixels or so (real photographs one for every 2 to 10), so a
// header that promises more pixels for each byte of the data is refused.
inline constexpr uint64_t kJpegMaxPixels = 250'000'000;
inline constexpr uint64_t kJpegMaxPixelsPerByte = 1024;
// A picture of several scans (progressive ones) is decoded through all its
// coefficients at once, 128 bytes for each 8 x 8 block of each component. A
// colour picture at the pixel limit with the usual halved colour resolution
// needs 750 MB of them and fits.
inline constexpr uint64_t kJpegMaxCoefficientBytes = 768ull << 20;

// Fills header with the size of the decoded picture at the scale (biSize 40,
// planes 1, 8 bits for grey or 24 for colour output, 5668 pixels per metre).
// false, with the bit count left unset, for pictures that are neither grey
// nor colour (CMYK and others). A picture past the limits above throws, as
// broken data do.
bool JpegReadHeader(const uint8_t* data, size_t size, BITMAPINFOHEADER* header, int scale = JpegScaleFull);

// Decodes into caller-owned bottom-up DIB rows (8 bits grey or 24 bits
// blue-green-red, rows padded to 4 bytes) of the size JpegReadHeader gives
// for the same scale. bitsSize is the room at bits; too little is an error.
// CMYK and other pictures that are neither grey nor colour are refused.
bool JpegDecode(const uint8_t* data, size_t size, uint8_t* bits, size_t bitsSize, int scale = JpegScaleFull);

// Decodes into a new bitmap: 8 bits with a grey-ramp colour table for grey
// pictures, 24 bits for colour. On success target holds the picture; on any
// failure it is left as it was and the answer is false (nothing is thrown).
bool JpegDecodeToDibSection(const uint8_t* data, size_t size, CDibBitmap& target, int scale = JpegScaleFull);

// Asked before every row with (row, height, 0); nonzero stops the encoder.
using JpegProgressProc = int (*)(int row, int height, int reserved);

// Encodes rows of a pixel type (11 blue-green-red, 16 red-green-blue, 14 grey,
// 20 four-sample CMYK) with baseline tables at quality (1..100) and the given
// densities in dots per inch. APP1 and APP2 data (when given, in that order)
// follow the library's own header markers; each at most 65533 bytes. The JPEG
// is appended to dest and its length stored in *byteCount. stride 0 means DIB
// rows (padded to 4 bytes). flags has no effect and is kept for callers.
// Answers 0, or -1 when progress asked to stop (byteCount then unwritten,
// dest keeps what was appended). Library errors throw CUserException.
int16_t JpegEncode(const uint8_t* rows, int pixelType, bool bottomUp, int width, int height, int quality,
                   int xDensity, int yDensity, uint8_t flags, const uint8_t* app1, size_t app1Length,
                   const uint8_t* app2, size_t app2Length, std::vector<uint8_t>& dest, size_t* byteCount,
                   JpegProgressProc progress, size_t stride = 0);

// The entropy-coded bytes behind the first start-of-scan marker up to the
// next marker (stuffed FF 00 pairs kept, fill bytes dropped); nothing when the
// data reach no scan, the scan does not end in the end-of-image marker, or the
// headers are broken.
std::optional<std::vector<uint8_t>> JpegCopyScanData(const uint8_t* data, size_t size);
