// Importer plug-in for PNG files. Palette pictures without transparency stay
// paletted (type 8); grey ones become 8-bit grey (type 14); everything else
// 24-bit blue-green-red (type 11). Transparency is laid over white, as the
// pictures are shown and printed on paper-white. Rows are decoded straight
// into the host's buffer; every libpng call runs behind its own error boundary.
#include "plugins/common/guarded_call.h"
#include "plugins/common/plugin_support.h"

#include <cstdio>
#include <cstring>

#include <png.h>

namespace {

// The decoder and its file, given back on every way out of Run.
struct Reader {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;

    Reader() = default;
    ~Reader()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    template <typename Call>
    bool Guarded(Call&& call)
    {
        return qrplugin::GuardedCall(png_jmpbuf(png), call);
    }
};

void Warn(png_structp, png_const_charp) {}

enum class Kind { Palette, Grey, Colour };

constexpr png_uint_32 kMaxSide = 100000;

uint16_t Run(const char* path, const void*, QrRawImageInfo* infoOut, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
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
    png_structp png = r.png;
    png_infop info = r.info;
    if (!r.Guarded([&] {
            png_init_io(png, r.file);
            png_set_sig_bytes(png, 8);
            png_set_user_limits(png, kMaxSide, kMaxSide);
            png_read_info(png, info);
        }))
        return 1;
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return 1;

    Kind kind = Kind::Colour;
    if (colorType == PNG_COLOR_TYPE_PALETTE && !hasTrns)
        kind = Kind::Palette;
    else if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && !hasTrns)
        kind = Kind::Grey;
    const int channels = kind == Kind::Colour ? 3 : 1;

    if (infoOut) {
        infoOut->pixelType = kind == Kind::Palette ? 8 : kind == Kind::Grey ? 14 : 11;
        infoOut->orientation = 1;
        infoOut->width = static_cast<int32_t>(width);
        infoOut->height = static_cast<int32_t>(height);
        png_uint_32 xr = 0, yr = 0;
        int unit = 0;
        const bool phys = png_get_pHYs(png, info, &xr, &yr, &unit) && unit == PNG_RESOLUTION_METER && xr && yr;
        infoOut->xResolution = phys ? xr * 0.0254f : 96.0f;
        infoOut->yResolution = phys ? yr * 0.0254f : 96.0f;
        infoOut->bitsFactor1 = 8;
        infoOut->bitsFactor2 = channels;
        return 0;
    }
    // Paletted and grey pictures always come with the host's palette buffer.
    if (!target || !target->Accepts(static_cast<int32_t>(width), static_cast<int32_t>(height), 8 * channels,
                                    kind == Kind::Colour ? 0 : 256))
        return 1;
    uint8_t* palette = target->Palette();
    if (kind == Kind::Palette) {
        png_colorp pal = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &pal, &count);
        std::memset(palette, 0, 256 * 4);
        for (int i = 0; i < count && i < 256; ++i) {
            palette[4 * i] = pal[i].blue;
            palette[4 * i + 1] = pal[i].green;
            palette[4 * i + 2] = pal[i].red;
        }
    } else if (kind == Kind::Grey) {
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<uint8_t>(i);
            palette[4 * i + 3] = 0;
        }
    }
    int passes = 1;
    size_t rowBytes = 0;
    if (!r.Guarded([&] {
            if (depth == 16)
                png_set_strip_16(png);
            if (depth < 8 && kind == Kind::Palette)
                png_set_packing(png);
            if (depth < 8 && kind == Kind::Grey)
                png_set_expand_gray_1_2_4_to_8(png);
            if (kind == Kind::Colour) {
                png_set_expand(png);
                png_set_gray_to_rgb(png);
                png_set_bgr(png);
            }
            if (kind != Kind::Palette && (colorType & PNG_COLOR_MASK_ALPHA || hasTrns)) {
                // Alpha is laid over white.
                png_color_16 white{};
                white.red = white.green = white.blue = white.gray = 255;
                png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
            }
            passes = png_set_interlace_handling(png);
            png_read_update_info(png, info);
            rowBytes = png_get_rowbytes(png, info);
        }))
        return 1;
    // The rows go straight into the host's: they must be exactly the pixels.
    if (rowBytes != static_cast<size_t>(width) * channels || passes < 1)
        return 1;
    // Interlaced files fill the rows pass by pass; each pass adds to what the
    // row already holds.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            const int32_t done = static_cast<int32_t>((static_cast<uint64_t>(pass) * height + y) / passes);
            if (qrplugin::ShouldStop(progress, done, static_cast<int32_t>(height), callbackUser))
                return QR_PLUGIN_CANCELLED;
            png_bytep row = target->Row(y);
            if (!r.Guarded([&] { png_read_row(png, row, nullptr); }))
                return 1;
        }
    }
    if (!r.Guarded([&] { png_read_end(png, nullptr); }))
        return 1;
    qrplugin::ShouldStop(progress, static_cast<int32_t>(height), static_cast<int32_t>(height), callbackUser);
    return 0;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("PNG", Run, ".PNG")
