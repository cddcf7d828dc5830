// Exporter plug-in for JPEG files. The percentage word is the quality; block 1
// (Exif) goes out as APP1, block 2 (a leading APP2 part and the ICC profile)
// as APP2 segments, and block 3 (main tags) as a small Exif block when the
// source gave no Exif block of its own. Every libjpeg call runs behind its
// own error boundary, so a write error (a full disk) ends as a failure with
// everything given back; the host then keeps the old file.
#include "plugins/common/export_stream.h"
#include "plugins/common/guarded_call.h"
#include "plugins/common/jpeg_error.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

// The encoder, given back on every way out of Export (before its stream).
struct Encoder {
    jpeg_compress_struct cinfo;
    qrplugin::JpegErrorManager err;

    Encoder()
    {
        std::memset(&cinfo, 0, sizeof cinfo);
        cinfo.err = err.Install();
    }
    ~Encoder() { jpeg_destroy_compress(&cinfo); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    template <typename Call>
    bool Guarded(Call&& call)
    {
        return qrplugin::GuardedCall(err.jump, call);
    }
};

constexpr size_t kMaxSegment = 65533; // marker length field counts itself
const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kIccSignature[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};

struct Segment {
    int marker;
    std::vector<uint8_t> bytes;
};

void AddExif(std::vector<Segment>& out, const uint8_t* block, size_t size)
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
        out.push_back({JPEG_APP0 + 1, std::move(app1)});
}

void AddProfileBlock(std::vector<Segment>& out, const uint8_t* block, size_t size)
{
    const long at = qrplugin::FindIccProfile(block, size);
    const size_t lead = at < 0 ? size : static_cast<size_t>(at);
    if (lead > 0 && lead <= kMaxSegment)
        out.push_back({JPEG_APP0 + 2, std::vector<uint8_t>(block, block + lead)});
    if (at < 0)
        return;
    const uint8_t* profile = block + lead;
    const size_t total = size - lead;
    const size_t chunk = kMaxSegment - 14;
    const size_t chunks = (total + chunk - 1) / chunk;
    if (chunks > 255)
        return;
    for (size_t i = 0; i < chunks; ++i) {
        const size_t n = std::min(chunk, total - i * chunk);
        std::vector<uint8_t> seg(kIccSignature, kIccSignature + 12);
        seg.push_back(static_cast<uint8_t>(i + 1));
        seg.push_back(static_cast<uint8_t>(chunks));
        seg.insert(seg.end(), profile + i * chunk, profile + i * chunk + n);
        out.push_back({JPEG_APP0 + 2, std::move(seg)});
    }
}

uint16_t Export(const qrplugin::ExportArgs& a)
{
    qrplugin::ExportStream out(a);
    if (!out.Ok())
        return QR_PLUGIN_FAILED;
    qrplugin::SourceRows& rows = out.Rows();
    Encoder e;
    const bool grey = rows.IsGrey();
    std::vector<uint8_t> line(static_cast<size_t>(a.width) * (grey ? 1 : 3));
    // Exif readers look for APP1 right behind the start of image, so a file
    // with an Exif block carries no JFIF header.
    std::vector<uint8_t> exif;
    if (a.block1 && a.block1Length > 0 && !a.block1Empty)
        exif.assign(a.block1, a.block1 + a.block1Length);
    else if (a.block3 && a.block3Length > 0)
        exif = qrplugin::BuildMainTagExif(qrplugin::ParseMainTags(a.block3, a.block3Length));
    std::vector<Segment> segments;
    if (!exif.empty())
        AddExif(segments, exif.data(), exif.size());
    if (a.block2 && a.block2Length > 0)
        AddProfileBlock(segments, a.block2, a.block2Length);

    jpeg_compress_struct& cinfo = e.cinfo;
    const int quality = a.percentage >= 1 && a.percentage <= 100 ? static_cast<int>(a.percentage) : 95;
    if (!e.Guarded([&] {
            jpeg_create_compress(&cinfo);
            jpeg_stdio_dest(&cinfo, out.Stream());
            cinfo.image_width = static_cast<JDIMENSION>(a.width);
            cinfo.image_height = static_cast<JDIMENSION>(a.height);
            cinfo.input_components = grey ? 1 : 3;
            cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
            jpeg_set_defaults(&cinfo);
            jpeg_set_quality(&cinfo, quality, TRUE);
        }))
        return QR_PLUGIN_FAILED;
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(a.xResolution > 0 && a.xResolution < 65536 ? a.xResolution + 0.5f : 96);
    cinfo.Y_density = static_cast<UINT16>(a.yResolution > 0 && a.yResolution < 65536 ? a.yResolution + 0.5f : 96);
    if (!exif.empty())
        cinfo.write_JFIF_header = FALSE;
    if (!e.Guarded([&] { jpeg_start_compress(&cinfo, TRUE); }))
        return QR_PLUGIN_FAILED;
    for (const Segment& s : segments) {
        const uint8_t* bytes = s.bytes.data();
        const auto length = static_cast<unsigned>(s.bytes.size());
        if (!e.Guarded([&] { jpeg_write_marker(&cinfo, s.marker, bytes, length); }))
            return QR_PLUGIN_FAILED;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        const int32_t r = static_cast<int32_t>(cinfo.next_scanline);
        if (qrplugin::ShouldStop(a.progress, r, a.height, 0))
            return QR_PLUGIN_CANCELLED;
        if (!(grey ? rows.Grey(r, line.data()) : rows.Rgb(r, line.data())))
            return QR_PLUGIN_FAILED;
        JSAMPROW row = line.data();
        if (!e.Guarded([&] { jpeg_write_scanlines(&cinfo, &row, 1); }))
            return QR_PLUGIN_FAILED;
    }
    if (!e.Guarded([&] { jpeg_finish_compress(&cinfo); }))
        return QR_PLUGIN_FAILED;
    return out.Finish();
}

} // namespace

QR_EXPORTER_ENTRY_POINTS("JPEG", Export, "JPG", "JPEG", "JPE")
