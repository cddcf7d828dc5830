// Importer plug-in for GIF files: the first picture, as 8-bit palette rows
// (type 8) on the logical screen, interlaced pictures put in order. A
// transparent colour is laid over white, as PNG alpha is: its palette entry
// becomes white and the screen around the picture takes it too.
#include "plugins/common/plugin_support.h"

#include <cstring>
#include <vector>

#include <gif_lib.h>

namespace {

struct File {
    GifFileType* gif = nullptr;
    ~File()
    {
        int err = 0;
        if (gif)
            DGifCloseFile(gif, &err);
    }
};

constexpr int kMaxSide = 65535;

uint16_t Run(const char* path, const void*, QrRawImageInfo* infoOut, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
{
    int err = 0;
    File f;
    f.gif = DGifOpenFileName(path, &err);
    if (!f.gif)
        return QR_PLUGIN_FAILED;
    const int width = f.gif->SWidth;
    const int height = f.gif->SHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return QR_PLUGIN_FAILED;
    if (infoOut) {
        infoOut->pixelType = 8;
        infoOut->orientation = 1;
        infoOut->width = width;
        infoOut->height = height;
        infoOut->xResolution = infoOut->yResolution = 96.0f;
        infoOut->bitsFactor1 = 8;
        infoOut->bitsFactor2 = 1;
        return QR_PLUGIN_OK;
    }
    if (!target || !target->Accepts(width, height, 8, 256))
        return QR_PLUGIN_FAILED;
    // Up to the first picture, skipping extensions; the last graphic control
    // block before it says which colour is transparent.
    int transparent = NO_TRANSPARENT_COLOR;
    GifRecordType type;
    do {
        if (DGifGetRecordType(f.gif, &type) == GIF_ERROR)
            return QR_PLUGIN_FAILED;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(f.gif, &code, &ext) == GIF_ERROR)
                return QR_PLUGIN_FAILED;
            GraphicsControlBlock gcb;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
            while (ext)
                if (DGifGetExtensionNext(f.gif, &ext) == GIF_ERROR)
                    return QR_PLUGIN_FAILED;
        }
    } while (type != IMAGE_DESC_RECORD_TYPE && type != TERMINATE_RECORD_TYPE);
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(f.gif) == GIF_ERROR)
        return QR_PLUGIN_FAILED;
    const GifImageDesc& d = f.gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : f.gif->SColorMap;
    if (!map || d.Width <= 0 || d.Height <= 0)
        return QR_PLUGIN_FAILED;
    uint8_t* palette = target->Palette();
    std::memset(palette, 0, 256 * 4);
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        palette[4 * i] = map->Colors[i].Blue;
        palette[4 * i + 1] = map->Colors[i].Green;
        palette[4 * i + 2] = map->Colors[i].Red;
    }
    const bool hasTransparency = transparent >= 0 && transparent < 256;
    if (hasTransparency)
        std::memset(palette + 4 * transparent, 255, 3);
    // The screen starts in the background colour, or see-through where the
    // picture has a transparent colour.
    const uint8_t background = static_cast<uint8_t>(hasTransparency ? transparent : f.gif->SBackGroundColor);
    for (int y = 0; y < height; ++y)
        std::memset(target->Row(y), background, static_cast<size_t>(width));

    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    // Row order of the four interlace passes.
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    std::vector<int> order;
    if (d.Interlace) {
        for (int p = 0; p < 4; ++p)
            for (int y = kStart[p]; y < d.Height; y += kStep[p])
                order.push_back(y);
    } else {
        for (int y = 0; y < d.Height; ++y)
            order.push_back(y);
    }
    for (size_t i = 0; i < order.size(); ++i) {
        if (qrplugin::ShouldStop(progress, static_cast<int32_t>(i), d.Height, callbackUser))
            return QR_PLUGIN_CANCELLED;
        if (DGifGetLine(f.gif, line.data(), d.Width) == GIF_ERROR)
            return QR_PLUGIN_FAILED;
        const int y = d.Top + order[i];
        if (y < 0 || y >= height)
            continue;
        uint8_t* out = target->Row(y);
        for (int x = 0; x < d.Width; ++x) {
            const int sx = d.Left + x;
            if (sx >= 0 && sx < width)
                out[sx] = line[static_cast<size_t>(x)];
        }
    }
    qrplugin::ShouldStop(progress, d.Height, d.Height, callbackUser);
    return QR_PLUGIN_OK;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("GIF", Run, ".GIF")
