#include "plugins/common/import_target.h"

namespace qrplugin {

bool ImportTarget::Accepts(int32_t width, int32_t height, int bitsPerPixel, int paletteEntries) const
{
    if (!m_pixels || !m_buffer || width <= 0 || height <= 0 || bitsPerPixel <= 0)
        return false;
    const QrImportBuffer& b = *m_buffer;
    if (b.width != width || b.height != height || b.bitsPerPixel != bitsPerPixel || b.stride <= 0)
        return false;
    const int64_t bits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
    const int64_t rowBytes = (static_cast<int64_t>(width) * bits + 7) / 8;
    if (rowBytes > b.stride)
        return false;
    // Both factors are below 2^31: the product fits.
    if (static_cast<uint64_t>(b.stride) * static_cast<uint64_t>(height) > b.pixelBytes)
        return false;
    if (paletteEntries > 0 && (!m_palette || static_cast<uint64_t>(paletteEntries) * 4 > b.paletteBytes))
        return false;
    return true;
}

} // namespace qrplugin
