// Exporter plug-in for PNG files: paletted pictures as 8-bit palette PNGs,
// grey as 8-bit grey, everything else as 8-bit RGB. The Exif block goes into
// an eXIf chunk and the ICC profile into iCCP.
#include "plugins/common/plugin_support.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <png.h>

namespace {

void Warn(png_structp, png_const_charp) {}

uint16_t Export(const qrplugin::ExportArgs& a)
{
    const char* path = a.path;
    const int32_t pixelType = a.pixelType, width = a.width, height = a.height;
    const uint8_t *b1 = a.block1, *b2 = a.block2;
    const uint32_t l1 = a.block1Length, l2 = a.block2Length;
    QrProgressProc progress = a.progress;

    qrplugin::SourceRows rows(a.pixelType, a.pixels, a.fileFd, a.orientation, a.palette, a.width, a.height, a.stride);
    if (!rows.Valid())
        return 1;
    qrplugin::OutputFile out(path);
    if (!out.Ok())
        return 1;
    FILE* file = fdopen(dup(out.Fd()), "wb");
    if (!file)
        return 1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return 1;
    }
    const bool paletted = rows.IsPaletted();
    const bool grey = rows.IsGrey();
    const int channels = paletted || grey ? 1 : 3;
    std::vector<png_byte> line(static_cast<size_t>(width) * channels);
    std::vector<png_color> pal;
    std::vector<uint8_t> exif;
    bool cancelled = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return 1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 paletted ? PNG_COLOR_TYPE_PALETTE : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (paletted) {
        const int n = qrplugin::PaletteEntries(pixelType);
        for (int i = 0; i < n; ++i)
            pal.push_back(png_color{a.palette[4 * i + 2], a.palette[4 * i + 1], a.palette[4 * i]});
        png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
    }
    if (a.xResolution > 0 && a.yResolution > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(a.xResolution / 0.0254f + 0.5f),
                     static_cast<png_uint_32>(a.yResolution / 0.0254f + 0.5f), PNG_RESOLUTION_METER);
    const long at = qrplugin::FindIccProfile(b2, l2);
    if (at >= 0)
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, b2 + at, static_cast<png_uint_32>(l2 - at));
    if (b1 && l1 > 0 && !a.block1Empty) {
        // eXIf holds the TIFF structure without the "Exif" prefix.
        const bool prefixed = l1 >= 6 && std::memcmp(b1, "Exif\0\0", 6) == 0;
        exif.assign(b1 + (prefixed ? 6 : 0), b1 + l1);
        if (!exif.empty())
            png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), exif.data());
    }
    png_write_info(png, info);
    for (int32_t r = 0; r < height; ++r) {
        if (qrplugin::ShouldStop(progress, r, height, 0)) {
            cancelled = true;
            break;
        }
        const bool ok = paletted ? rows.Indices(r, line.data()) : grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data());
        if (!ok)
            break;
        png_write_row(png, line.data());
        if (r + 1 == height) {
            png_write_end(png, nullptr);
            png_destroy_write_struct(&png, &info);
            if (std::fclose(file) != 0)
                return 1;
            qrplugin::ShouldStop(progress, height, height, 0);
            return out.Close() ? 0 : 1;
        }
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return cancelled ? QR_PLUGIN_CANCELLED : 1;
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("PNG", Export, "PNG")
