// Importer plug-in for TIFF files: 8-bit grey pictures as grey (type 14),
// everything else through libtiff's RGBA reader as 24-bit blue-green-red
// (type 11), transparency laid over white. The first directory only.
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <tiffio.h>

namespace {

struct File {
    TIFF* tif = nullptr;
    ~File()
    {
        if (tif)
            TIFFClose(tif);
    }
};

constexpr uint32_t kMaxSide = 100000;
constexpr uint32_t kBand = 64;

bool IsPlainGrey(TIFF* tif)
{
    uint16_t photometric = 0, bits = 0, samples = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    return photometric == PHOTOMETRIC_MINISBLACK && bits == 8 && samples == 1 && !TIFFIsTiled(tif);
}

float Resolution(TIFF* tif, ttag_t tag)
{
    float value = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, tag, &value) || !(value > 0) || value > 1e6f)
        return 96.0f;
    return unit == RESUNIT_CENTIMETER ? value * 2.54f : value;
}

uint16_t Run(const char* path, const void*, QrRawImageInfo* infoOut, const qrplugin::ImportTarget* target,
             QrProgressProc progress, uintptr_t callbackUser)
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    File f;
    f.tif = TIFFOpen(path, "r");
    if (!f.tif)
        return QR_PLUGIN_FAILED;
    uint32_t width = 0, height = 0;
    TIFFGetField(f.tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(f.tif, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return QR_PLUGIN_FAILED;
    const bool grey = IsPlainGrey(f.tif);
    if (infoOut) {
        char emsg[1024];
        if (!grey && !TIFFRGBAImageOK(f.tif, emsg))
            return QR_PLUGIN_FAILED;
        infoOut->pixelType = grey ? 14 : 11;
        infoOut->orientation = 1;
        infoOut->width = static_cast<int32_t>(width);
        infoOut->height = static_cast<int32_t>(height);
        infoOut->xResolution = Resolution(f.tif, TIFFTAG_XRESOLUTION);
        infoOut->yResolution = Resolution(f.tif, TIFFTAG_YRESOLUTION);
        infoOut->bitsFactor1 = 8;
        infoOut->bitsFactor2 = grey ? 1 : 3;
        return QR_PLUGIN_OK;
    }
    if (!target || !target->Accepts(static_cast<int32_t>(width), static_cast<int32_t>(height), grey ? 8 : 24,
                                    grey ? 256 : 0))
        return QR_PLUGIN_FAILED;
    if (grey) {
        uint8_t* palette = target->Palette();
        for (int i = 0; i < 256; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<uint8_t>(i);
            palette[4 * i + 3] = 0;
        }
        const tmsize_t scan = TIFFScanlineSize(f.tif);
        if (scan < static_cast<tmsize_t>(width))
            return QR_PLUGIN_FAILED;
        std::vector<uint8_t> line(static_cast<size_t>(scan));
        for (uint32_t y = 0; y < height; ++y) {
            if (qrplugin::ShouldStop(progress, static_cast<int32_t>(y), static_cast<int32_t>(height), callbackUser))
                return QR_PLUGIN_CANCELLED;
            if (TIFFReadScanline(f.tif, line.data(), y, 0) < 0)
                return QR_PLUGIN_FAILED;
            std::memcpy(target->Row(y), line.data(), width);
        }
        return QR_PLUGIN_OK;
    }
    TIFFRGBAImage img;
    char emsg[1024];
    if (!TIFFRGBAImageOK(f.tif, emsg) || !TIFFRGBAImageBegin(&img, f.tif, 0, emsg))
        return QR_PLUGIN_FAILED;
    img.req_orientation = ORIENTATION_TOPLEFT;
    std::vector<uint32_t> band(static_cast<size_t>(width) * kBand);
    uint16_t result = QR_PLUGIN_OK;
    for (uint32_t y0 = 0; y0 < height && result == QR_PLUGIN_OK; y0 += kBand) {
        if (qrplugin::ShouldStop(progress, static_cast<int32_t>(y0), static_cast<int32_t>(height), callbackUser)) {
            result = QR_PLUGIN_CANCELLED;
            break;
        }
        const uint32_t rows = std::min(kBand, height - y0);
        img.row_offset = static_cast<int>(y0);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, band.data(), width, rows)) {
            result = QR_PLUGIN_FAILED;
            break;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            uint8_t* out = target->Row(y0 + r);
            const uint32_t* in = band.data() + static_cast<size_t>(r) * width;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t p = in[x];
                // Premultiplied colour over white: c + (255 - a).
                const unsigned a = TIFFGetA(p), inv = 255 - a;
                out[3 * x] = static_cast<uint8_t>(std::min(255u, TIFFGetB(p) + inv));
                out[3 * x + 1] = static_cast<uint8_t>(std::min(255u, TIFFGetG(p) + inv));
                out[3 * x + 2] = static_cast<uint8_t>(std::min(255u, TIFFGetR(p) + inv));
            }
        }
    }
    TIFFRGBAImageEnd(&img);
    return result;
}

} // namespace

QR_IMPORTER_ENTRY_POINTS("TIFF", Run, ".TIF", ".TIFF")
