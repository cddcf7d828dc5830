#pragma once

#include <cstddef>
#include <cstdint>

// The resampling and blending rules, on plain rasters, shared by the image
// buffer and the DIB class.

// A raster in memory: row y (from the top) starts at topRow + y * step, so a
// bottom-up raster passes its last stored row and a negative step.
struct RasterView {
    uint8_t* topRow = nullptr;
    ptrdiff_t step = 0;
    int width = 0;
    int height = 0;

    uint8_t* Row(int y) const { return topRow + static_cast<ptrdiff_t>(y) * step; }
};

namespace resample {

// Every target pixel is a weighted mean of the nearest 2 x 2 source pixels.
// channels samples of bytesPerSample (1 or 2, little-endian) per pixel.
void Bilinear(const RasterView& src, const RasterView& dst, int channels, int bytesPerSample);

// Cubic convolution (a = -0.7) in two passes, positions in 1/64 pixel.
void Bicubic(const RasterView& src, const RasterView& dst, int channels, int bytesPerSample);

// The nearest source pixel, for palette indices and packed words that must
// not be mixed. Any depth; 15 bits count as 16.
void Nearest(const RasterView& src, const RasterView& dst, int bitsPerPixel);

// The cubic kernel.
double CubicWeight(double x);

// Kernels of Filter: the nearest pixel, a triangle (bilinear) and the cubic
// above.
enum class Kernel { Nearest, Linear, Cubic };

// src resampled to a target of fullWidth x fullHeight, of which only window
// is made, into dst (the window's size). Pixel centres line up; where the
// target is smaller the kernel widens with the reduction, so that detail
// finer than a target pixel is averaged away instead of turning into moire.
// channels samples of bytesPerSample (1 or 2) per pixel; dst has
// dstChannels, which is channels, or 4 for 8-bit three-channel pixels whose
// fourth byte becomes 255. The rows are shared out over the cores.
void Filter(const RasterView& src, int channels, int bytesPerSample, Kernel kernel, int fullWidth, int fullHeight,
            int windowLeft, int windowTop, const RasterView& dst, int dstChannels);

} // namespace resample

// Blend rules per 8-bit channel: d the destination, s the source, p the
// opacity in percent.
int BlendOverlayChannel(int d, int s, int p);
int BlendSoftChannel(int d, int s, int p);
// Modes 0..8: normal, multiply, screen, overlay, overlay at 50 %, soft,
// difference, lighten, darken. Another mode gives d.
int BlendChannel(int mode, int d, int s, int p);
