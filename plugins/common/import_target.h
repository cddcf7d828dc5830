// The host's buffers as an importer sees them in its data pass.
#pragma once

#include "imaging/plugin_api.h"

#include <cstddef>
#include <cstdint>

namespace qrplugin {

class ImportTarget {
public:
    ImportTarget(void* pixels, void* palette, const QrImportBuffer* buffer)
        : m_pixels(static_cast<uint8_t*>(pixels)), m_palette(static_cast<uint8_t*>(palette)), m_buffer(buffer)
    {
    }

    // True when the picture found is the one the host made room for and its
    // rows and paletteEntries palette entries fit the buffers. Nothing may be
    // written otherwise.
    bool Accepts(int32_t width, int32_t height, int bitsPerPixel, int paletteEntries) const;

    int32_t Width() const { return m_buffer->width; }
    int32_t Height() const { return m_buffer->height; }
    // Row y of the picture counted from the top; the rows are stored bottom-up.
    uint8_t* Row(int64_t y) const
    {
        return m_pixels + static_cast<size_t>(m_buffer->height - 1 - y) * static_cast<size_t>(m_buffer->stride);
    }
    // Stored row s, counted from the start of the buffer.
    uint8_t* StoredRow(int64_t s) const { return m_pixels + static_cast<size_t>(s) * static_cast<size_t>(m_buffer->stride); }
    uint8_t* Palette() const { return m_palette; }

private:
    uint8_t* m_pixels;
    uint8_t* m_palette;
    const QrImportBuffer* m_buffer;
};

} // namespace qrplugin
