// Importer plug-in for PNG files. Palette pictures without transparency stay
// paletted (type 8); grey ones become 8-bit grey (type 14); everything else
// 24-bit blue-green-red (type 11). Transparency is laid over white, as the
// pictures are shown and printed on paper-white. Rows are decoded straight
// into the host's buffer (those with alpha through rows of their own, to be
// laid over white); every libpng call runs behind its own error boundary.
#include "plugins/common/guarded_call.h"
#include "plugins/common/plugin_support.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

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

// One sample laid over white in the file's own sample values (no gamma
// step: white is the file's own full value, and that is how other programs
// flatten such pictures), brought to 8 bits as the opaque rows are.
uint8_t OverWhite(uint32_t sample, uint32_t alpha, bool sixteen)
{
    if (!sixteen)
        return static_cast<uint8_t>((sample * alpha + 255u * (255u - alpha) + 127u) / 255u);
    const uint64_t wide = (uint64_t(sample) * alpha + 65535ull * (65535u - alpha) + 32767u) / 65535u;
    return static_cast<uint8_t>(wide >> 8);
}

// A decoded row of samples with alpha after each pixel's channels (big-endian
// when sixteen bits) laid over white into the host's row.
void ComposeRow(const uint8_t* in, uint8_t* out, png_uint_32 width, int channels, bool sixteen)
{
    const size_t step = sixteen ? 2 : 1;
    for (png_uint_32 x = 0; x < width; ++x) {
        auto sample = [&](int c) {
            const uint8_t* s = in + (size_t(x) * (channels + 1) + c) * step;
            return sixteen ? uint32_t(s[0]) << 8 | s[1] : uint32_t(s[0]);
        };
        const uint32_t alpha = sample(channels);
        for (int c = 0; c < channels; ++c)
            out[size_t(x) * channels + c] = OverWhite(sample(c), alpha, sixteen);
    }
}

uint16_t Run(const char* path, const void*, QrRawImageInfo* infoOut, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
{
    Reader r;
    r.file = std::fopen(path, "rb");
    if (!r.file)
        return QR_PLUGIN_FAILED;
    uint8_t sig[8];
    if (std::fread(sig, 1, 8, r.file) != 8 || png_sig_cmp(sig, 0, 8) != 0)
        return QR_PLUGIN_FAILED;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    if (!r.png)
        return QR_PLUGIN_FAILED;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return QR_PLUGIN_FAILED;
    png_structp png = r.png;
    png_infop info = r.info;
    if (!r.Guarded([&] {
            png_init_io(png, r.file);
            png_set_sig_bytes(png, 8);
            png_set_user_limits(png, kMaxSide, kMaxSide);
            png_read_info(png, info);
        }))
        return QR_PLUGIN_FAILED;
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return QR_PLUGIN_FAILED;

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
        return QR_PLUGIN_OK;
    }
    // Paletted and grey pictures always come with the host's palette buffer.
    if (!target || !target->Accepts(static_cast<int32_t>(width), static_cast<int32_t>(height), 8 * channels,
                                    kind == Kind::Colour ? 0 : 256))
        return QR_PLUGIN_FAILED;
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
    // Transparency is laid over white here, from the decoded samples with
    // their alpha; everything else is decoded straight into the host's rows.
    const bool compose = kind != Kind::Palette && (colorType & PNG_COLOR_MASK_ALPHA || hasTrns);
    const bool sixteen = compose && depth == 16;
    int passes = 1;
    size_t rowBytes = 0;
    if (!r.Guarded([&] {
            if (depth == 16 && !compose)
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
            passes = png_set_interlace_handling(png);
            png_read_update_info(png, info);
            rowBytes = png_get_rowbytes(png, info);
        }))
        return QR_PLUGIN_FAILED;
    // The rows must be exactly the pixels (with their alpha when composed).
    const size_t decodedBytes = static_cast<size_t>(width) * (compose ? (channels + 1) * (sixteen ? 2 : 1) : channels);
    if (rowBytes != decodedBytes || passes < 1)
        return QR_PLUGIN_FAILED;
    // Composed rows are decoded into rows of their own: all of them for an
    // interlaced file, whose passes add to what each row already holds.
    std::vector<uint8_t> decoded;
    const png_uint_32 decodedRows = compose ? (passes > 1 ? height : 1) : 0;
    try {
        decoded.resize(rowBytes * decodedRows);
    } catch (const std::bad_alloc&) {
        return QR_PLUGIN_FAILED;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            const int32_t done = static_cast<int32_t>((static_cast<uint64_t>(pass) * height + y) / passes);
            if (qrplugin::ShouldStop(progress, done, static_cast<int32_t>(height), callbackUser))
                return QR_PLUGIN_CANCELLED;
            png_bytep row = compose ? decoded.data() + (decodedRows > 1 ? y * rowBytes : 0) : target->Row(y);
            if (!r.Guarded([&] { png_read_row(png, row, nullptr); }))
                return QR_PLUGIN_FAILED;
            if (compose && pass == passes - 1)
                ComposeRow(row, target->Row(y), width, channels, sixteen);
        }
    }
    if (!r.Guarded([&] { png_read_end(png, nullptr); }))
        return QR_PLUGIN_FAILED;
    qrplugin::ShouldStop(progress, static_cast<int32_t>(height), static_cast<int32_t>(height), callbackUser);
    return QR_PLUGIN_OK;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("PNG", Run, ".PNG")
