#pragma once

// libjpeg-turbo called directly, the references the program's own roads are
// measured against: bottom-up rows in blue-green-red order, as bitmaps are.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace qrbench {

inline size_t BgrStride(size_t width) { return (width * 3 + 3) & ~size_t(3); }

inline std::vector<uint8_t> DirectEncode(const uint8_t* bits, int width, int height, int quality, bool progressive)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = BgrStride(static_cast<size_t>(width));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits + (static_cast<size_t>(height) - 1 - cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> result(out, out + size);
    std::free(out);
    return result;
}

// Into bits (room for the scaled picture), or into a new buffer when bits is
// null; gives the buffer it made.
inline std::unique_ptr<uint8_t[]> DirectDecode(const uint8_t* jpeg, size_t size, uint8_t* bits, int scale,
                                               int* width = nullptr, int* height = nullptr)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    jpeg_start_decompress(&cinfo);
    const size_t stride = BgrStride(cinfo.output_width);
    std::unique_ptr<uint8_t[]> made;
    if (!bits) {
        made.reset(new uint8_t[stride * cinfo.output_height]);
        bits = made.get();
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = bits + (cinfo.output_height - 1 - cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (width)
        *width = static_cast<int>(cinfo.output_width);
    if (height)
        *height = static_cast<int>(cinfo.output_height);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return made;
}

} // namespace qrbench
