#pragma once

#include <cstdint>

// A turn of a raster by whole degrees, clockwise as seen on screen, in steps
// of 1/256 turn from the fixed-point sine table. Every target pixel takes the
// nearest source pixel by inverse mapping in 8.8 fixed point, about the
// centres of both rasters; target pixels without a source become zero. The
// target is sized to the turned bounds. Quarter turns are exact.
class RasterRotation {
public:
    RasterRotation(int width, int height, int degrees);

    int64_t TargetWidth() const { return m_nw; }
    int64_t TargetHeight() const { return m_nh; }

    // Source position, with 16 fractional bits, of pixel 0 of target row y;
    // each pixel to the right adds StepX() and StepY().
    int64_t RowX(int64_t y) const { return m_c * (128 - m_nw * 128) - m_s * (y * 256 + 128 - m_nh * 128) + m_w * 32768; }
    int64_t RowY(int64_t y) const { return m_s * (128 - m_nw * 128) + m_c * (y * 256 + 128 - m_nh * 128) + m_h * 32768; }
    int64_t StepX() const { return m_c * 256; }
    int64_t StepY() const { return m_s * 256; }
    bool Inside(int64_t px, int64_t py) const { return px >= 0 && px < m_w && py >= 0 && py < m_h; }

    // Turns whole rasters given as tables of row addresses from the top:
    // from has the source height, to the target height. Any depth up to 64
    // bits a pixel (15 counts as 16).
    void Apply(const uint8_t* const* from, uint8_t* const* to, int bitsPerPixel) const;

private:
    int64_t m_s = 0, m_c = 256;
    int64_t m_w, m_h, m_nw, m_nh;
};
