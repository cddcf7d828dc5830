// Importer plug-in for BMP files, through the program's own BMP reader:
// 1-, 4- and 8-bit pictures stay paletted, everything else becomes 24-bit
// blue-green-red.
#include "imaging/dib_bitmap.h"
#include "imaging/dib_pixels.h"
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t Run(const char* path, const void*, QrRawImageInfo* info, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
{
    CDibBitmap bmp;
    if (!bmp.LoadFromFile(path, true) || !bmp.IsValid())
        return QR_PLUGIN_FAILED;
    const CSize size = bmp.GetSize();
    const int depth = bmp.GetBitsPerPixel();
    const bool paletted = depth == 1 || depth == 4 || depth == 8;
    const int type = depth == 1 ? 1 : depth == 4 ? 4 : depth == 8 ? 8 : 11;
    if (info) {
        const BITMAPINFOHEADER& h = bmp.GetInfoHeader();
        info->pixelType = type;
        info->orientation = 1;
        info->width = size.cx;
        info->height = size.cy;
        info->xResolution = h.biXPelsPerMeter > 0 ? h.biXPelsPerMeter * 0.0254f : 96.0f;
        info->yResolution = h.biYPelsPerMeter > 0 ? h.biYPelsPerMeter * 0.0254f : 96.0f;
        info->bitsFactor1 = paletted ? depth : 8;
        info->bitsFactor2 = paletted ? 1 : 3;
        return QR_PLUGIN_OK;
    }
    const int entries = paletted ? qrplugin::PaletteEntries(type) : 0;
    if (!target || !target->Accepts(size.cx, size.cy, paletted ? depth : 24, entries))
        return QR_PLUGIN_FAILED;
    // Our own rows have the host's layout up to their padding.
    const size_t rowBytes = std::min<size_t>(static_cast<size_t>(bmp.GetStride()),
                                             (static_cast<size_t>(size.cx) * (paletted ? depth : 24) + 7) / 8);
    if (paletted) {
        uint8_t* palette = target->Palette();
        std::memset(palette, 0, static_cast<size_t>(entries) * 4);
        const auto& table = bmp.GetPalette();
        for (size_t i = 0; i < table.size() && static_cast<int>(i) < entries; ++i) {
            palette[4 * i] = table[i].rgbBlue;
            palette[4 * i + 1] = table[i].rgbGreen;
            palette[4 * i + 2] = table[i].rgbRed;
        }
    }
    for (int row = 0; row < size.cy; ++row) {
        if (qrplugin::ShouldStop(progress, row, size.cy, callbackUser))
            return QR_PLUGIN_CANCELLED;
        uint8_t* out = target->StoredRow(row); // both bottom-up
        if (paletted || depth == 24) {
            std::memcpy(out, bmp.GetBits() + static_cast<size_t>(row) * bmp.GetStride(), rowBytes);
            continue;
        }
        for (int x = 0; x < size.cx; ++x) {
            const COLORREF c = dib::ReadPixel(bmp, x, row);
            out[3 * x] = GetBValue(c);
            out[3 * x + 1] = GetGValue(c);
            out[3 * x + 2] = GetRValue(c);
        }
    }
    return QR_PLUGIN_OK;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("BMP", Run, ".BMP", ".DIB")
