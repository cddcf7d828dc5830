// Exporter plug-in for PNG files: paletted pictures as 8-bit palette PNGs,
// grey as 8-bit grey, everything else as 8-bit RGB. The Exif block goes into
// an eXIf chunk and the ICC profile into iCCP. Every libpng call runs behind
// its own error boundary, so a write error (a full disk) ends as a failure
// with everything given back; the host then keeps the old file.
#include "plugins/common/export_stream.h"
#include "plugins/common/guarded_call.h"

#include <cstring>
#include <vector>

#include <png.h>

namespace {

void Warn(png_structp, png_const_charp) {}

// The encoder, given back on every way out of Export (before its stream).
struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;

    Writer() = default;
    ~Writer()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    template <typename Call>
    bool Guarded(Call&& call)
    {
        return qrplugin::GuardedCall(png_jmpbuf(png), call);
    }
};

uint16_t Export(const qrplugin::ExportArgs& a)
{
    qrplugin::ExportStream out(a);
    if (!out.Ok())
        return QR_PLUGIN_FAILED;
    qrplugin::SourceRows& rows = out.Rows();
    Writer w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    if (!w.png)
        return QR_PLUGIN_FAILED;
    w.info = png_create_info_struct(w.png);
    if (!w.info)
        return QR_PLUGIN_FAILED;
    png_structp png = w.png;
    png_infop info = w.info;
    const bool paletted = rows.IsPaletted();
    const bool grey = rows.IsGrey();
    const int channels = paletted || grey ? 1 : 3;
    std::vector<png_byte> line(static_cast<size_t>(a.width) * channels);
    std::vector<png_color> pal;
    if (paletted) {
        const int n = qrplugin::PaletteEntries(a.pixelType);
        for (int i = 0; i < n; ++i)
            pal.push_back(png_color{a.palette[4 * i + 2], a.palette[4 * i + 1], a.palette[4 * i]});
    }
    std::vector<uint8_t> exif;
    const uint8_t* b1 = a.block1;
    const uint32_t l1 = a.block1Length;
    if (b1 && l1 > 0 && !a.block1Empty) {
        // eXIf holds the TIFF structure without the "Exif" prefix.
        const bool prefixed = l1 >= 6 && std::memcmp(b1, "Exif\0\0", 6) == 0;
        exif.assign(b1 + (prefixed ? 6 : 0), b1 + l1);
    }
    const long at = qrplugin::FindIccProfile(a.block2, a.block2Length);
    if (!w.Guarded([&] {
            png_init_io(png, out.Stream());
            png_set_IHDR(png, info, static_cast<png_uint_32>(a.width), static_cast<png_uint_32>(a.height), 8,
                         paletted ? PNG_COLOR_TYPE_PALETTE : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            if (!pal.empty())
                png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
            if (a.xResolution > 0 && a.yResolution > 0)
                png_set_pHYs(png, info, static_cast<png_uint_32>(a.xResolution / 0.0254f + 0.5f),
                             static_cast<png_uint_32>(a.yResolution / 0.0254f + 0.5f), PNG_RESOLUTION_METER);
            if (at >= 0)
                png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, a.block2 + at,
                             static_cast<png_uint_32>(a.block2Length - at));
            if (!exif.empty())
                png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), exif.data());
            png_write_info(png, info);
        }))
        return QR_PLUGIN_FAILED;
    for (int32_t r = 0; r < a.height; ++r) {
        if (qrplugin::ShouldStop(a.progress, r, a.height, 0))
            return QR_PLUGIN_CANCELLED;
        const bool ok = paletted ? rows.Indices(r, line.data()) : grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data());
        if (!ok)
            return QR_PLUGIN_FAILED;
        if (!w.Guarded([&] { png_write_row(png, line.data()); }))
            return QR_PLUGIN_FAILED;
    }
    if (!w.Guarded([&] { png_write_end(png, nullptr); }))
        return QR_PLUGIN_FAILED;
    return out.Finish();
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("PNG", Export, "PNG")
