// Exporter plug-in for JPEG files. The percentage word is the quality; block 1
// (Exif) goes out as APP1, block 2 (a leading APP2 part and the ICC profile)
// as APP2 segments, and block 3 (main tags) as a small Exif block when the
// source gave no Exif block of its own.
#include "plugins/common/plugin_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void Silent(j_common_ptr) {}

constexpr size_t kMaxSegment = 65533; // marker length field counts itself
const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kIccSignature[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};

void WriteExif(jpeg_compress_struct& c, const uint8_t* block, size_t size)
{
    std::vector<uint8_t> app1;
    if (size >= 6 && std::memcmp(block, kExifHeader, 6) == 0) {
        app1.assign(block, block + size);
    } else {
        app1.assign(kExifHeader, kExifHeader + 6);
        app1.insert(app1.end(), block, block + size);
    }
    // An Exif block too large for one segment cannot be written without
    // corrupting the file: leave it out.
    if (app1.size() <= kMaxSegment)
        jpeg_write_marker(&c, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
}

void WriteProfileBlock(jpeg_compress_struct& c, const uint8_t* block, size_t size)
{
    const long at = qrplugin::FindIccProfile(block, size);
    const size_t lead = at < 0 ? size : static_cast<size_t>(at);
    if (lead > 0 && lead <= kMaxSegment)
        jpeg_write_marker(&c, JPEG_APP0 + 2, block, static_cast<unsigned>(lead));
    if (at < 0)
        return;
    const uint8_t* profile = block + lead;
    const size_t total = size - lead;
    const size_t chunk = kMaxSegment - 14;
    const size_t chunks = (total + chunk - 1) / chunk;
    if (chunks > 255)
        return;
    std::vector<uint8_t> seg;
    for (size_t i = 0; i < chunks; ++i) {
        const size_t n = std::min(chunk, total - i * chunk);
        seg.assign(kIccSignature, kIccSignature + 12);
        seg.push_back(static_cast<uint8_t>(i + 1));
        seg.push_back(static_cast<uint8_t>(chunks));
        seg.insert(seg.end(), profile + i * chunk, profile + i * chunk + n);
        jpeg_write_marker(&c, JPEG_APP0 + 2, seg.data(), static_cast<unsigned>(seg.size()));
    }
}

uint16_t Export(const qrplugin::ExportArgs& a)
{
    const char* path = a.path;
    const int32_t width = a.width, height = a.height;
    const uint8_t *b1 = a.block1, *b2 = a.block2, *b3 = a.block3;
    const uint32_t l1 = a.block1Length, l2 = a.block2Length, l3 = a.block3Length;
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
    const bool grey = rows.IsGrey();
    std::vector<uint8_t> line(static_cast<size_t>(width) * (grey ? 1 : 3));
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = Silent;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return 1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    const int quality = a.percentage >= 1 && a.percentage <= 100 ? static_cast<int>(a.percentage) : 95;
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(a.xResolution > 0 && a.xResolution < 65536 ? a.xResolution + 0.5f : 96);
    cinfo.Y_density = static_cast<UINT16>(a.yResolution > 0 && a.yResolution < 65536 ? a.yResolution + 0.5f : 96);
    // Exif readers look for APP1 right behind the start of image, so a file
    // with an Exif block carries no JFIF header.
    std::vector<uint8_t> exif;
    if (b1 && l1 > 0 && !a.block1Empty)
        exif.assign(b1, b1 + l1);
    else if (b3 && l3 > 0)
        exif = qrplugin::BuildMainTagExif(qrplugin::ParseMainTags(b3, l3));
    if (!exif.empty())
        cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty())
        WriteExif(cinfo, exif.data(), exif.size());
    if (b2 && l2 > 0)
        WriteProfileBlock(cinfo, b2, l2);
    bool cancelled = false;
    while (cinfo.next_scanline < cinfo.image_height) {
        const int32_t r = static_cast<int32_t>(cinfo.next_scanline);
        if (qrplugin::ShouldStop(progress, r, height, 0)) {
            cancelled = true;
            break;
        }
        const bool ok = grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data());
        if (!ok)
            break;
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    if (cinfo.next_scanline < cinfo.image_height) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return cancelled ? QR_PLUGIN_CANCELLED : 1;
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(file) != 0)
        return 1;
    qrplugin::ShouldStop(progress, height, height, 0);
    return out.Close() ? 0 : 1;
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("JPEG", Export, "JPG", "JPEG", "JPE")
