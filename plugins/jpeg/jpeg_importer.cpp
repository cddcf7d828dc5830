// Importer plug-in for JPEG files: 24-bit blue-green-red rows (greyscale too),
// bottom-up, optionally decoded at 1/2, 1/4 or 1/8 scale when the host asks
// for a smaller size (thumbnails). Rows are decoded straight into the host's
// buffer; every libjpeg call runs behind its own error boundary.
#include "plugins/common/guarded_call.h"
#include "plugins/common/jpeg_error.h"
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

// The decoder and its file, given back on every way out of Run.
struct Decoder {
    jpeg_decompress_struct cinfo;
    qrplugin::JpegErrorManager err;
    FILE* file = nullptr;
    // The stdio buffer of a whole decode; a header read goes without one.
    std::vector<char> buffer;

    Decoder()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = err.Install();
    }
    ~Decoder()
    {
        jpeg_destroy_decompress(&cinfo); // nothing to do before jpeg_create_decompress
        if (file)
            std::fclose(file);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    template <typename Call>
    bool Guarded(Call&& call)
    {
        return qrplugin::GuardedCall(err.jump, call);
    }
};

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

// Bytes read from the file at once for a whole picture.
constexpr size_t kReadBlock = 64 * 1024;

// Rows handed to libjpeg at once when they go straight into the host's buffer.
constexpr JDIMENSION kBatch = 16;

// One decode (or header read) of the file.
uint16_t Run(const char* path, const void* options, QrRawImageInfo* info, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
{
    Decoder d;
    d.file = std::fopen(path, "rb");
    if (!d.file)
        return QR_PLUGIN_FAILED;
    // A buffer of our own spares stdio asking the file's status (one more
    // system call for every file of a folder scan, which reads only the
    // header); a whole picture is read in large blocks, a header in libjpeg's own.
    if (info) {
        std::setvbuf(d.file, nullptr, _IONBF, 0);
    } else {
        d.buffer.resize(kReadBlock);
        std::setvbuf(d.file, d.buffer.data(), _IOFBF, d.buffer.size());
    }
    jpeg_decompress_struct& cinfo = d.cinfo;
    if (!d.Guarded([&] {
            jpeg_create_decompress(&cinfo);
            jpeg_stdio_src(&cinfo, d.file);
            jpeg_read_header(&cinfo, TRUE);
        }))
        return QR_PLUGIN_FAILED;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // Colour and greyscale photographs alike decode straight into the
    // blue-green-red order of the rows: every road a photograph takes
    // (browser, message, thumbnails) expects true colour.
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    ChooseScale(cinfo, options);
    if (!d.Guarded([&] { jpeg_calc_output_dimensions(&cinfo); }))
        return QR_PLUGIN_FAILED;
    if (cinfo.output_width > INT32_MAX || cinfo.output_height > INT32_MAX)
        return QR_PLUGIN_FAILED;
    const int32_t width = static_cast<int32_t>(cinfo.output_width);
    const int32_t height = static_cast<int32_t>(cinfo.output_height);
    if (info) {
        info->pixelType = 11;
        info->orientation = 1;
        info->width = width;
        info->height = height;
        info->xResolution = Density(cinfo, cinfo.X_density);
        info->yResolution = Density(cinfo, cinfo.Y_density);
        info->bitsFactor1 = 8;
        info->bitsFactor2 = 3;
        return QR_PLUGIN_OK;
    }
    if (!target || !target->Accepts(width, height, 24, 0))
        return QR_PLUGIN_FAILED;
    // CMYK rows need converting, so they pass through one line of our own.
    std::vector<JSAMPLE> line(cmyk ? static_cast<size_t>(width) * 4 : 0);
    if (!d.Guarded([&] { jpeg_start_decompress(&cinfo); }))
        return QR_PLUGIN_FAILED;
    JSAMPROW rows[kBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        if (qrplugin::ShouldStop(progress, static_cast<int32_t>(first), height, callbackUser))
            return QR_PLUGIN_CANCELLED;
        const JDIMENSION count = cmyk ? 1 : std::min(kBatch, cinfo.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = cmyk ? line.data() : target->Row(first + i);
        JDIMENSION read = 0;
        if (!d.Guarded([&] { read = jpeg_read_scanlines(&cinfo, rows, count); }) || read == 0)
            return QR_PLUGIN_FAILED;
        if (cmyk) {
            // Inverted CMYK as written by most programs: each ink times black.
            uint8_t* out = target->Row(first);
            for (int32_t x = 0; x < width; ++x) {
                const JSAMPLE* p = &line[4 * static_cast<size_t>(x)];
                const unsigned k = p[3];
                out[3 * x] = static_cast<uint8_t>(p[2] * k / 255);
                out[3 * x + 1] = static_cast<uint8_t>(p[1] * k / 255);
                out[3 * x + 2] = static_cast<uint8_t>(p[0] * k / 255);
            }
        }
    }
    if (!d.Guarded([&] { jpeg_finish_decompress(&cinfo); }))
        return QR_PLUGIN_FAILED;
    qrplugin::ShouldStop(progress, height, height, callbackUser);
    return QR_PLUGIN_OK;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("JPEG", Run, ".JPG", ".JPEG", ".JPE")
