// Exporter plug-in for TIFF files: RGB, grey or palette, uncompressed,
// Intel order. The ICC profile of block 2 goes into tag 34675, the main tags
// of block 3 into the first directory, and the Exif and GPS directories of
// block 1 are moved into the file behind the picture.
#include "plugins/common/plugin_support.h"
#include "plugins/tiff/exif_relocate.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

namespace {

bool ReadWhole(int fd, std::vector<uint8_t>& out)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0)
        return false;
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool RewriteWhole(int fd, const std::vector<uint8_t>& data)
{
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    return qrplugin::WriteAll(fd, data.data(), data.size());
}

void SetMainTags(TIFF* tif, const std::vector<qrplugin::MainTag>& tags, float& xRes, float& yRes)
{
    for (const qrplugin::MainTag& t : tags) {
        switch (t.tag) {
        case 270: TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, t.text.c_str()); break;
        case 271: TIFFSetField(tif, TIFFTAG_MAKE, t.text.c_str()); break;
        case 272: TIFFSetField(tif, TIFFTAG_MODEL, t.text.c_str()); break;
        case 305: TIFFSetField(tif, TIFFTAG_SOFTWARE, t.text.c_str()); break;
        case 306: TIFFSetField(tif, TIFFTAG_DATETIME, t.text.c_str()); break;
        case 282: if (t.denominator) xRes = static_cast<float>(t.numerator) / t.denominator; break;
        case 283: if (t.denominator) yRes = static_cast<float>(t.numerator) / t.denominator; break;
        default: break;
        }
    }
}

uint16_t Export(const qrplugin::ExportArgs& a)
{
    const char* path = a.path;
    const int32_t pixelType = a.pixelType, width = a.width, height = a.height;
    const uint8_t *b1 = a.block1, *b2 = a.block2, *b3 = a.block3;
    const uint32_t l1 = a.block1Length, l2 = a.block2Length, l3 = a.block3Length;
    QrProgressProc progress = a.progress;
    float xRes = a.xResolution, yRes = a.yResolution;

    qrplugin::SourceRows rows(a.pixelType, a.pixels, a.fileFd, a.orientation, a.palette, a.width, a.height, a.stride);
    if (!rows.Valid())
        return QR_PLUGIN_FAILED;
    qrplugin::OutputFile out(path);
    if (!out.Ok())
        return QR_PLUGIN_FAILED;
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const int fd = ::dup(out.Fd());
    TIFF* tif = fd >= 0 ? TIFFFdOpen(fd, path, "wl") : nullptr;
    if (!tif) {
        if (fd >= 0)
            ::close(fd);
        return QR_PLUGIN_FAILED;
    }
    const bool paletted = rows.IsPaletted();
    const bool grey = rows.IsGrey();
    const int channels = paletted || grey ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint16_t> map;
    if (paletted) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        map.assign(3 * 256, 0);
        const int n = qrplugin::PaletteEntries(pixelType);
        for (int i = 0; i < n; ++i) {
            map[i] = static_cast<uint16_t>(a.palette[4 * i + 2] * 257);
            map[256 + i] = static_cast<uint16_t>(a.palette[4 * i + 1] * 257);
            map[512 + i] = static_cast<uint16_t>(a.palette[4 * i] * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    }
    SetMainTags(tif, qrplugin::ParseMainTags(b3, l3), xRes, yRes);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, xRes > 0 ? xRes : 96.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, yRes > 0 ? yRes : 96.0f);
    const long at = qrplugin::FindIccProfile(b2, l2);
    if (at >= 0)
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(l2 - at), b2 + at);

    std::vector<uint8_t> line(static_cast<size_t>(width) * channels);
    uint16_t result = QR_PLUGIN_OK;
    for (int32_t r = 0; r < height; ++r) {
        if (qrplugin::ShouldStop(progress, r, height, 0)) {
            result = QR_PLUGIN_CANCELLED;
            break;
        }
        const bool ok = paletted ? rows.Indices(r, line.data()) : grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data());
        if (!ok || TIFFWriteScanline(tif, line.data(), static_cast<uint32_t>(r), 0) < 0) {
            result = QR_PLUGIN_FAILED;
            break;
        }
    }
    if (result != QR_PLUGIN_OK) {
        TIFFClose(tif);
        return result;
    }
    if (!TIFFWriteDirectory(tif)) {
        TIFFClose(tif);
        return QR_PLUGIN_FAILED;
    }
    TIFFClose(tif);
    if (b1 && l1 > 0 && !a.block1Empty) {
        std::vector<uint8_t> whole;
        if (!ReadWhole(out.Fd(), whole))
            return QR_PLUGIN_FAILED;
        // A block that cannot be read leaves the picture without Exif data
        // rather than failing the save.
        if (qrplugin::RelocateExifIntoTiff(whole, b1, l1) && !RewriteWhole(out.Fd(), whole))
            return QR_PLUGIN_FAILED;
    }
    qrplugin::ShouldStop(progress, height, height, 0);
    return out.Close() ? QR_PLUGIN_OK : QR_PLUGIN_FAILED;
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("TIFF", Export, "TIF", "TIFF")
