#include "imaging/rotation.h"

#include "util/geometry.h"
#include "imaging/pixel_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Whole-byte pixels in tiles, so that a quarter turn reads its source
// columns from the cache.
template <int Bytes>
void TurnTiles(const RasterRotation& r, const uint8_t* const* from, uint8_t* const* to)
{
    constexpr int64_t kTile = 64;
    const int64_t nw = r.TargetWidth(), nh = r.TargetHeight();
    for (int64_t ty = 0; ty < nh; ty += kTile) {
        const int64_t yEnd = std::min(ty + kTile, nh);
        for (int64_t tx = 0; tx < nw; tx += kTile) {
            const int64_t xEnd = std::min(tx + kTile, nw);
            for (int64_t y = ty; y < yEnd; ++y) {
                int64_t sx = r.RowX(y) + tx * r.StepX();
                int64_t sy = r.RowY(y) + tx * r.StepY();
                uint8_t* out = to[y] + tx * Bytes;
                for (int64_t x = tx; x < xEnd; ++x, sx += r.StepX(), sy += r.StepY(), out += Bytes) {
                    const int64_t px = sx >> 16, py = sy >> 16;
                    if (r.Inside(px, py))
                        std::memcpy(out, from[py] + px * Bytes, Bytes);
                    else
                        std::memset(out, 0, Bytes);
                }
            }
        }
    }
}

void TurnBits(const RasterRotation& r, const uint8_t* const* from, uint8_t* const* to, int bits)
{
    for (int64_t y = 0; y < r.TargetHeight(); ++y) {
        int64_t sx = r.RowX(y), sy = r.RowY(y);
        for (int64_t x = 0; x < r.TargetWidth(); ++x, sx += r.StepX(), sy += r.StepY()) {
            const int64_t px = sx >> 16, py = sy >> 16;
            const uint32_t v = r.Inside(px, py) ? pixrow::GetBits(from[py], static_cast<uint64_t>(px), bits) : 0;
            pixrow::SetBits(to[y], static_cast<uint64_t>(x), bits, v);
        }
    }
}

} // namespace

RasterRotation::RasterRotation(int width, int height, int degrees) : m_w(width), m_h(height)
{
    // The inverse mapping turns by the negated angle.
    const int negated = ((-degrees) % 360 + 360) % 360;
    const BYTE step = static_cast<BYTE>(negated * 256 / 360);
    m_s = SinTable256(step);
    m_c = CosTable256(step);
    m_nw = (std::llabs(m_w * m_c) + std::llabs(m_h * m_s) + 255) >> 8;
    m_nh = (std::llabs(m_w * m_s) + std::llabs(m_h * m_c) + 255) >> 8;
}

void RasterRotation::Apply(const uint8_t* const* from, uint8_t* const* to, int bitsPerPixel) const
{
    const int bits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
    switch (bits) {
    case 8: TurnTiles<1>(*this, from, to); return;
    case 16: TurnTiles<2>(*this, from, to); return;
    case 24: TurnTiles<3>(*this, from, to); return;
    case 32: TurnTiles<4>(*this, from, to); return;
    case 48: TurnTiles<6>(*this, from, to); return;
    case 64: TurnTiles<8>(*this, from, to); return;
    default: break;
    }
    if (bits > 0 && bits < 8)
        TurnBits(*this, from, to, bits);
}
