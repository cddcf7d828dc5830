// Importer plug-in for JPEG files: 24-bit blue-green-red or 8-bit grey rows,
// bottom-up, optionally decoded at 1/2, 1/4 or 1/8 scale when the host asks
// for a smaller size (thumbnails).
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

// Largest reduction that still covers the picture fitted into the wanted
// rectangle, so a thumbnail never has to be enlarged.
void ChooseScale(jpeg_decompress_struct& cinfo, const void* options)
{
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    const auto* rect = static_cast<const QrDecodeRect*>(options);
    if (!rect)
        return;
    const int64_t bw = static_cast<int64_t>(rect->right) - rect->left;
    const int64_t bh = static_cast<int64_t>(rect->bottom) - rect->top;
    const int64_t w = cinfo.image_width, h = cinfo.image_height;
    if (bw <= 0 || bh <= 0 || w <= 0 || h <= 0)
        return;
    int64_t fw = w, fh = h;
    if (w > bw || h > bh) {
        if (w * bh > h * bw) {
            fw = bw;
            fh = std::max<int64_t>(1, h * bw / w);
        } else {
            fh = bh;
            fw = std::max<int64_t>(1, w * bh / h);
        }
    }
    for (unsigned d : {8u, 4u, 2u}) {
        if ((w + d - 1) / d >= fw && (h + d - 1) / d >= fh) {
            cinfo.scale_denom = d;
            return;
        }
    }
}

float Density(const jpeg_decompress_struct& c, UINT16 value)
{
    if (c.saw_JFIF_marker && value > 0) {
        if (c.density_unit == 1)
            return value;
        if (c.density_unit == 2)
            return value * 2.54f;
    }
    return 96.0f;
}

// One decode (or header read) of the file; every libjpeg error returns here.
uint16_t Run(const char* path, const void* options, QrRawImageInfo* info, uint8_t* pixels, uint8_t* palette,
             QrProgressProc progress, uintptr_t callbackUser)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return 1;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = Silent;
    std::vector<JSAMPLE> line;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return 1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    ChooseScale(cinfo, options);
    jpeg_calc_output_dimensions(&cinfo);
    const int32_t width = static_cast<int32_t>(cinfo.output_width);
    const int32_t height = static_cast<int32_t>(cinfo.output_height);
    if (info) {
        info->pixelType = grey ? 14 : 11;
        info->orientation = 1;
        info->width = width;
        info->height = height;
        info->xResolution = Density(cinfo, cinfo.X_density);
        info->yResolution = Density(cinfo, cinfo.Y_density);
        info->bitsFactor1 = 8;
        info->bitsFactor2 = grey ? 1 : 3;
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return 0;
    }
    const int bytesPerPixel = grey ? 1 : 3;
    const size_t stride = ((static_cast<size_t>(width) * bytesPerPixel * 8 + 31) / 32) * 4;
    if (grey && palette)
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<uint8_t>(i);
            palette[4 * i + 3] = 0;
        }
    jpeg_start_decompress(&cinfo);
    line.resize(static_cast<size_t>(width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int32_t r = static_cast<int32_t>(cinfo.output_scanline);
        if (qrplugin::ShouldStop(progress, r, height, callbackUser)) {
            jpeg_destroy_decompress(&cinfo);
            std::fclose(file);
            return QR_PLUGIN_CANCELLED;
        }
        JSAMPROW row = line.data();
        jpeg_read_scanlines(&cinfo, &row, 1);
        uint8_t* out = pixels + static_cast<size_t>(height - 1 - r) * stride;
        if (grey) {
            std::memcpy(out, line.data(), static_cast<size_t>(width));
        } else if (cmyk) {
            // Inverted CMYK as written by most programs: each ink times black.
            for (int32_t x = 0; x < width; ++x) {
                const JSAMPLE* p = &line[4 * static_cast<size_t>(x)];
                const unsigned k = p[3];
                out[3 * x] = static_cast<uint8_t>(p[2] * k / 255);
                out[3 * x + 1] = static_cast<uint8_t>(p[1] * k / 255);
                out[3 * x + 2] = static_cast<uint8_t>(p[0] * k / 255);
            }
        } else {
            for (int32_t x = 0; x < width; ++x) {
                out[3 * x] = line[3 * x + 2];
                out[3 * x + 1] = line[3 * x + 1];
                out[3 * x + 2] = line[3 * x];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    qrplugin::ShouldStop(progress, height, height, callbackUser);
    return 0;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("JPEG", Run, ".JPG", ".JPEG", ".JPE")
