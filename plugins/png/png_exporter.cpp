// Exporter plug-in for PNG files: paletted pictures as 8-bit palette PNGs,
// grey as 8-bit grey, everything else as 8-bit RGB. The Exif block goes into
// an eXIf chunk and the ICC profile into iCCP. Every libpng call runs behind
// its own error boundary, so a write error (a full disk) ends as a failure
// with everything given back; the host then keeps the old file.
#include "plugins/common/guarded_call.h"
#include "plugins/common/plugin_support.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <png.h>

namespace {

void Warn(png_structp, png_const_charp) {}

// The encoder and its output stream, given back on every way out of Export.
struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;

    Writer() = default;
    ~Writer()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file)
            std::fclose(file);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    template <typename Call>
    bool Guarded(Call&& call)
    {
        return qrplugin::GuardedCall(png_jmpbuf(png), call);
    }
    // Closes the stream; false when what it still held could not be written.
    bool Close()
    {
        FILE* f = file;
        file = nullptr;
        return std::fclose(f) == 0;
    }
};

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
    Writer w;
    w.file = fdopen(dup(out.Fd()), "wb");
    if (!w.file)
        return 1;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    if (!w.png)
        return 1;
    w.info = png_create_info_struct(w.png);
    if (!w.info)
        return 1;
    png_structp png = w.png;
    png_infop info = w.info;
    const bool paletted = rows.IsPaletted();
    const bool grey = rows.IsGrey();
    const int channels = paletted || grey ? 1 : 3;
    std::vector<png_byte> line(static_cast<size_t>(width) * channels);
    std::vector<png_color> pal;
    if (paletted) {
        const int n = qrplugin::PaletteEntries(pixelType);
        for (int i = 0; i < n; ++i)
            pal.push_back(png_color{a.palette[4 * i + 2], a.palette[4 * i + 1], a.palette[4 * i]});
    }
    std::vector<uint8_t> exif;
    if (b1 && l1 > 0 && !a.block1Empty) {
        // eXIf holds the TIFF structure without the "Exif" prefix.
        const bool prefixed = l1 >= 6 && std::memcmp(b1, "Exif\0\0", 6) == 0;
        exif.assign(b1 + (prefixed ? 6 : 0), b1 + l1);
    }
    const long at = qrplugin::FindIccProfile(b2, l2);
    if (!w.Guarded([&] {
            png_init_io(png, w.file);
            png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                         paletted ? PNG_COLOR_TYPE_PALETTE : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            if (!pal.empty())
                png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
            if (a.xResolution > 0 && a.yResolution > 0)
                png_set_pHYs(png, info, static_cast<png_uint_32>(a.xResolution / 0.0254f + 0.5f),
                             static_cast<png_uint_32>(a.yResolution / 0.0254f + 0.5f), PNG_RESOLUTION_METER);
            if (at >= 0)
                png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, b2 + at,
                             static_cast<png_uint_32>(l2 - at));
            if (!exif.empty())
                png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), exif.data());
            png_write_info(png, info);
        }))
        return 1;
    for (int32_t r = 0; r < height; ++r) {
        if (qrplugin::ShouldStop(progress, r, height, 0))
            return QR_PLUGIN_CANCELLED;
        const bool ok = paletted ? rows.Indices(r, line.data()) : grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data());
        if (!ok)
            return 1;
        if (!w.Guarded([&] { png_write_row(png, line.data()); }))
            return 1;
    }
    if (!w.Guarded([&] { png_write_end(png, nullptr); }) || !w.Close())
        return 1;
    qrplugin::ShouldStop(progress, height, height, 0);
    return out.Close() ? 0 : 1;
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("PNG", Export, "PNG")
