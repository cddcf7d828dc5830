// Importer plug-in for PNG files. Palette pictures without transparency stay
// paletted (type 8); grey ones become 8-bit grey (type 14); everything else
// 24-bit blue-green-red (type 11). Transparency is laid over white, as the
// pictures are shown and printed on paper-white.
#include "plugins/common/plugin_support.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace {

struct Reader {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Reader()
    {
        if (png)
            png_destroy_read_struct(&png, &info, nullptr);
        if (file)
            std::fclose(file);
    }
};

void Warn(png_structp, png_const_charp) {}

enum class Kind { Palette, Grey, Colour };

uint16_t Run(const char* path, const void*, QrRawImageInfo* infoOut, uint8_t* pixels, uint8_t* palette, QrProgressProc progress,
             uintptr_t callbackUser)
{
    Reader r;
    r.file = std::fopen(path, "rb");
    if (!r.file)
        return 1;
    uint8_t sig[8];
    if (std::fread(sig, 1, 8, r.file) != 8 || png_sig_cmp(sig, 0, 8) != 0)
        return 1;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    if (!r.png)
        return 1;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return 1;
    std::vector<png_byte> row;
    std::vector<png_byte> whole;
    if (setjmp(png_jmpbuf(r.png)))
        return 1;
    png_init_io(r.png, r.file);
    png_set_sig_bytes(r.png, 8);
    png_set_user_limits(r.png, 100000, 100000);
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    const int colorType = png_get_color_type(r.png, r.info);
    const int depth = png_get_bit_depth(r.png, r.info);
    const bool hasTrns = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;

    Kind kind = Kind::Colour;
    if (colorType == PNG_COLOR_TYPE_PALETTE && !hasTrns)
        kind = Kind::Palette;
    else if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && !hasTrns)
        kind = Kind::Grey;

    if (infoOut) {
        infoOut->pixelType = kind == Kind::Palette ? 8 : kind == Kind::Grey ? 14 : 11;
        infoOut->orientation = 1;
        infoOut->width = static_cast<int32_t>(width);
        infoOut->height = static_cast<int32_t>(height);
        png_uint_32 xr = 0, yr = 0;
        int unit = 0;
        const bool phys = png_get_pHYs(r.png, r.info, &xr, &yr, &unit) && unit == PNG_RESOLUTION_METER && xr && yr;
        infoOut->xResolution = phys ? xr * 0.0254f : 96.0f;
        infoOut->yResolution = phys ? yr * 0.0254f : 96.0f;
        infoOut->bitsFactor1 = 8;
        infoOut->bitsFactor2 = kind == Kind::Colour ? 3 : 1;
        return 0;
    }

    if (depth == 16)
        png_set_strip_16(r.png);
    if (depth < 8 && kind == Kind::Palette)
        png_set_packing(r.png);
    // Paletted and grey pictures always come with the host's palette buffer.
    if (kind != Kind::Colour && !palette)
        return 1;
    if (kind == Kind::Palette) {
        png_colorp pal = nullptr;
        int count = 0;
        png_get_PLTE(r.png, r.info, &pal, &count);
        std::memset(palette, 0, 256 * 4);
        for (int i = 0; i < count && i < 256; ++i) {
            palette[4 * i] = pal[i].blue;
            palette[4 * i + 1] = pal[i].green;
            palette[4 * i + 2] = pal[i].red;
        }
    } else if (kind == Kind::Grey) {
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(r.png);
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<uint8_t>(i);
            palette[4 * i + 3] = 0;
        }
    } else {
        png_set_expand(r.png);
        png_set_gray_to_rgb(r.png);
    }
    if (kind != Kind::Palette && (colorType & PNG_COLOR_MASK_ALPHA || hasTrns)) {
        // Alpha is laid over white.
        png_color_16 white{};
        white.red = white.green = white.blue = white.gray = 255;
        png_set_background(r.png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const size_t rowBytes = png_get_rowbytes(r.png, r.info);
    const int channels = kind == Kind::Colour ? 3 : 1;
    if (rowBytes < static_cast<size_t>(width) * channels)
        return 1;
    const size_t stride = ((static_cast<size_t>(width) * channels * 8 + 31) / 32) * 4;
    // Interlaced files need every pass over the whole picture: decode into a
    // top-down copy first. Plain files go row by row.
    if (passes > 1)
        whole.resize(rowBytes * height);
    row.resize(rowBytes);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            const int32_t done = static_cast<int32_t>((static_cast<uint64_t>(pass) * height + y) / passes);
            if (qrplugin::ShouldStop(progress, done, static_cast<int32_t>(height), callbackUser))
                return QR_PLUGIN_CANCELLED;
            png_bytep target = passes > 1 ? whole.data() + y * rowBytes : row.data();
            png_read_row(r.png, target, nullptr);
            if (pass + 1 < passes)
                continue;
            uint8_t* out = pixels + static_cast<size_t>(height - 1 - y) * stride;
            if (channels == 1) {
                std::memcpy(out, target, width);
            } else {
                for (png_uint_32 x = 0; x < width; ++x) {
                    out[3 * x] = target[3 * x + 2];
                    out[3 * x + 1] = target[3 * x + 1];
                    out[3 * x + 2] = target[3 * x];
                }
            }
        }
    }
    png_read_end(r.png, nullptr);
    qrplugin::ShouldStop(progress, static_cast<int32_t>(height), static_cast<int32_t>(height), callbackUser);
    return 0;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("PNG", Run, ".PNG")
