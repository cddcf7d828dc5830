// Exporter plug-in for BMP files, through the program's own BMP writer:
// paletted pictures of 1, 4 or 8 bits keep their depth (2- and 3-bit ones go
// to 4 bits, 5- to 7-bit ones to 8), grey pictures become 8-bit with a grey
// table, everything else 24-bit.
#include "imaging/dib_bitmap.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <vector>

namespace {

uint16_t Export(const qrplugin::ExportArgs& a)
{
    qrplugin::SourceRows rows(a.pixelType, a.pixels, a.fileFd, a.orientation, a.palette, a.width, a.height,
                              a.stride);
    if (!rows.Valid())
        return QR_PLUGIN_FAILED;
    const bool paletted = rows.IsPaletted(), grey = rows.IsGrey();
    const int depth = paletted ? (a.pixelType == 1 ? 1 : a.pixelType <= 4 ? 4 : 8) : grey ? 8 : 24;
    std::vector<RGBQUAD> table;
    if (paletted) {
        const int entries = qrplugin::PaletteEntries(a.pixelType);
        table.assign(static_cast<size_t>(1) << depth, RGBQUAD{});
        for (int i = 0; i < entries && i < static_cast<int>(table.size()); ++i)
            table[static_cast<size_t>(i)] = RGBQUAD{a.palette[4 * i], a.palette[4 * i + 1], a.palette[4 * i + 2], 0};
    } else if (grey) {
        table.resize(256);
        for (int i = 0; i < 256; ++i)
            table[static_cast<size_t>(i)] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    }
    CDibBitmap bmp;
    if (!bmp.CreateDibForOverwrite(CSize(a.width, a.height), depth, table.empty() ? nullptr : table.data()))
        return QR_PLUGIN_FAILED;
    std::vector<uint8_t> line(static_cast<size_t>(a.width) * 3);
    for (int32_t r = 0; r < a.height; ++r) {
        if (qrplugin::ShouldStop(a.progress, r, a.height, 0))
            return QR_PLUGIN_CANCELLED;
        BYTE* out = bmp.GetBits() + static_cast<size_t>(a.height - 1 - r) * bmp.GetStride();
        if (depth == 24) {
            if (!rows.Rgb(r, line.data()))
                return QR_PLUGIN_FAILED;
            for (int32_t x = 0; x < a.width; ++x) {
                out[3 * x] = line[3 * x + 2];
                out[3 * x + 1] = line[3 * x + 1];
                out[3 * x + 2] = line[3 * x];
            }
            continue;
        }
        if (!(paletted ? rows.Indices(r, line.data()) : rows.Grey(r, line.data())))
            return QR_PLUGIN_FAILED;
        std::fill(out, out + bmp.GetStride(), BYTE(0));
        for (int32_t x = 0; x < a.width; ++x) {
            const int bit = x * depth;
            out[bit / 8] |= static_cast<BYTE>(line[static_cast<size_t>(x)] << (8 - depth - bit % 8));
        }
    }
    try {
        CFile file(a.path, CFile::modeCreate | CFile::modeWrite);
        if (!bmp.Write(file, a.xResolution > 0 ? a.xResolution : 96.0f))
            return QR_PLUGIN_FAILED;
        file.Close();
    } catch (const CException&) {
        return QR_PLUGIN_FAILED;
    }
    qrplugin::ShouldStop(a.progress, a.height, a.height, 0);
    return QR_PLUGIN_OK;
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("BMP", Export, "BMP")
