// The JPEG layer over libjpeg. Each library call sequence lives in one
// function of plain C shape (a "sequence") that sets the jump point of the
// error manager, runs the calls and destroys the codec object on every way
// out; it answers a code. Only the public wrappers turn a failure into
// CUserException, so no C++ exception ever crosses the library's C frames and
// no object with a destructor lives in a frame that longjmp leaves.
#include "imaging/jpeg_codec.h"

#include "imaging/dib_bitmap.h"
#include "imaging/pixel_types.h"
#include "platform/exceptions.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr size_t kOutputStep = 1 << 20;  // the output grows in 1 MB steps
constexpr LONG kJpegPelsPerMeter = 5668;
constexpr int kFailed = -1;  // a sequence failed for a reason of our own

// ---- error manager -------------------------------------------------------

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void ResetErrorManager(j_common_ptr cinfo)
{
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

jpeg_error_mgr* InstallErrorManager(ErrorManager* err)
{
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.emit_message = EmitMessage;
    err->pub.output_message = OutputMessage;
    err->pub.format_message = FormatMessage;
    err->pub.reset_error_mgr = ResetErrorManager;
    err->pub.trace_level = 0;
    err->pub.jpeg_message_table = nullptr;
    err->pub.last_jpeg_message = 0;
    err->pub.addon_message_table = nullptr;
    return &err->pub;
}

// A failed sequence answers the library's message code, or kFailed.
int FailureCode(const ErrorManager& err) { return err.pub.msg_code > 0 ? err.pub.msg_code : kFailed; }

// ---- source manager: the caller's bytes, read in place -------------------

struct SourceManager {
    jpeg_source_mgr pub;
    const JOCTET* data;
    size_t size;
    boolean startOfFile;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (src->startOfFile && src->size > 0) {
        src->pub.next_input_byte = src->data;
        src->pub.bytes_in_buffer = src->size;
    } else {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // Data that end early: let the decoder finish on an end-of-image marker.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
    }
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    auto* src = cinfo->src;
    while (static_cast<size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InstallSource(j_decompress_ptr cinfo, const uint8_t* data, size_t size)
{
    auto* src = static_cast<SourceManager*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(SourceManager)));
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    src->data = data;
    src->size = size;
    src->startOfFile = TRUE;
    cinfo->src = &src->pub;
}

// ---- destination manager: appends to the caller's vector -----------------

struct DestinationManager {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
    JOCTET* buffer;
    size_t written;  // bytes appended to out so far
};

// Appends count bytes of the work buffer; false when memory ran out.
bool Append(DestinationManager* dest, size_t count) noexcept
{
    try {
        dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + count);
    } catch (...) {
        return false;
    }
    dest->written += count;
    return true;
}

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kOutputStep;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    if (!Append(dest, kOutputStep))
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kOutputStep;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    if (!Append(dest, kOutputStep - dest->pub.free_in_buffer))
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
}

void InstallDestination(j_compress_ptr cinfo, DestinationManager* dest, std::vector<uint8_t>* out)
{
    dest->out = out;
    dest->written = 0;
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kOutputStep));
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    cinfo->dest = &dest->pub;
}

// ---- decoding ------------------------------------------------------------

struct ScanPosition {
    size_t start;
    bool reached;
};

struct DecodeJob {
    const uint8_t* data;
    size_t size;
    int scale;
    // header: filled by both sequences
    JDIMENSION width;
    JDIMENSION height;
    int components;   // of the decoded output
    boolean usable;   // grey or colour output
    // decoding
    uint8_t* bits;
    uint64_t bitsSize;
};

// The picture may be decoded: within the pixel limit, with data enough for
// its size and, when it has several scans, with coefficients that fit their
// limit (no product can wrap: the sides are at most 65535).
bool WithinLimits(jpeg_decompress_struct& cinfo, size_t dataBytes)
{
    const uint64_t pixels = uint64_t(cinfo.image_width) * cinfo.image_height;
    if (pixels > kJpegMaxPixels || pixels > uint64_t(dataBytes) * kJpegMaxPixelsPerByte)
        return false;
    if (!jpeg_has_multiple_scans(&cinfo))
        return true;
    // The library keeps each component's blocks rounded up to whole sampling units.
    uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        const uint64_t h = uint64_t(comp.h_samp_factor), v = uint64_t(comp.v_samp_factor);
        blocks += (comp.width_in_blocks + h - 1) / h * h * ((comp.height_in_blocks + v - 1) / v * v);
    }
    return blocks * DCTSIZE2 * sizeof(JCOEF) <= kJpegMaxCoefficientBytes;
}

// Grey pictures decode as grey, colour (YCbCr or RGB) ones straight into the
// DIB's blue-green-red order; anything else is not ours to show.
boolean ChooseOutput(j_decompress_ptr cinfo)
{
    if (cinfo->num_components == 1 && cinfo->jpeg_color_space == JCS_GRAYSCALE) {
        cinfo->out_color_space = JCS_GRAYSCALE;
        return TRUE;
    }
    if (cinfo->num_components == 3 && (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB)) {
        cinfo->out_color_space = JCS_EXT_BGR;
        return TRUE;
    }
    return FALSE;
}

// The one decompression sequence. It reads the markers up to the first
// start of scan and fills in the picture's size at the job's scale; with
// scan it also gives where the scan begins (the source reads in place, so
// the position in the data is that of the scan) and a picture without a scan
// is no error; with job->bits it decodes into them.
int DecompressSequence(DecodeJob* job, ScanPosition* scan)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallErrorManager(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return FailureCode(err);
    }
    jpeg_create_decompress(&cinfo);
    InstallSource(&cinfo, job->data, job->size);
    if (jpeg_read_header(&cinfo, scan ? FALSE : TRUE) != JPEG_REACHED_SOS) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    // Copying the scan allocates nothing; anything else may lead to the picture's rows.
    if (!scan && !WithinLimits(cinfo, job->size))
        ERREXIT(&cinfo, JERR_IMAGE_TOO_BIG);
    if (scan && cinfo.src->next_input_byte >= job->data && cinfo.src->next_input_byte <= job->data + job->size) {
        scan->start = static_cast<size_t>(cinfo.src->next_input_byte - job->data);
        scan->reached = true;
    }
    job->usable = ChooseOutput(&cinfo);
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(job->scale);
    jpeg_calc_output_dimensions(&cinfo);
    job->width = cinfo.output_width;
    job->height = cinfo.output_height;
    job->components = cinfo.out_color_components;
    if (job->bits) {
        if (!job->usable)
            ERREXIT(&cinfo, JERR_CONVERSION_NOTIMPL);
        jpeg_start_decompress(&cinfo);
        const uint64_t stride = DibRowBytes(cinfo.output_width, cinfo.output_components * 8);
        if (stride * cinfo.output_height > job->bitsSize)
            ERREXIT(&cinfo, JERR_BUFFER_SIZE);
        // The first picture row lands in the last stored row (bottom-up).
        JSAMPROW rows[16];
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            JDIMENSION count = cinfo.output_height - first;
            if (count > 16)
                count = 16;
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = job->bits + (cinfo.output_height - 1 - first - i) * stride;
            jpeg_read_scanlines(&cinfo, rows, count);
        }
        jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

bool IsScale(int scale) { return scale == 1 || scale == 2 || scale == 4 || scale == 8; }

// ---- encoding ------------------------------------------------------------

struct EncodeJob {
    const uint8_t* rows;
    int pixelType;
    bool bottomUp;
    int width;
    int height;
    int quality;
    int xDensity;
    int yDensity;
    const uint8_t* app1;
    size_t app1Length;
    const uint8_t* app2;
    size_t app2Length;
    std::vector<uint8_t>* dest;
    size_t stride;
    JpegProgressProc progress;
    std::exception_ptr* callbackError;
    size_t written;
    bool stopped;
};

// The caller's callback, kept from throwing through our sequence.
bool AskToStop(EncodeJob* job, int row) noexcept
{
    try {
        return job->progress(row, job->height, 0) != 0;
    } catch (...) {
        *job->callbackError = std::current_exception();
        return true;
    }
}

UINT16 Density(int value) { return static_cast<UINT16>(value < 0 ? 0 : value > 65535 ? 65535 : value); }

int EncodeSequence(EncodeJob* job)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    DestinationManager dest;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallErrorManager(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return FailureCode(err);
    }
    jpeg_create_compress(&cinfo);
    switch (job->pixelType) {
    case PixelType::Bgr24: cinfo.input_components = 3; cinfo.in_color_space = JCS_EXT_BGR; break;
    case PixelType::Rgb24: cinfo.input_components = 3; cinfo.in_color_space = JCS_RGB; break;
    case PixelType::Grey8: cinfo.input_components = 1; cinfo.in_color_space = JCS_GRAYSCALE; break;
    case PixelType::Cmyk32: cinfo.input_components = 4; cinfo.in_color_space = JCS_CMYK; break;
    default: ERREXIT(&cinfo, JERR_BAD_IN_COLORSPACE);
    }
    if (job->width <= 0 || job->height <= 0)
        ERREXIT(&cinfo, JERR_EMPTY_IMAGE);
    if (job->width > JPEG_MAX_DIMENSION || job->height > JPEG_MAX_DIMENSION)
        ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, JPEG_MAX_DIMENSION);
    cinfo.data_precision = 8;
    cinfo.image_width = static_cast<JDIMENSION>(job->width);
    cinfo.image_height = static_cast<JDIMENSION>(job->height);
    jpeg_set_defaults(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = Density(job->xDensity);
    cinfo.Y_density = Density(job->yDensity);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    InstallDestination(&cinfo, &dest, job->dest);
    jpeg_start_compress(&cinfo, TRUE);
    if (job->app1 && job->app1Length > 65533)
        ERREXIT(&cinfo, JERR_BAD_LENGTH);
    if (job->app2 && job->app2Length > 65533)
        ERREXIT(&cinfo, JERR_BAD_LENGTH);
    if (job->app1)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, job->app1, static_cast<unsigned>(job->app1Length));
    if (job->app2)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 2, job->app2, static_cast<unsigned>(job->app2Length));
    {
        const uint64_t stride = job->stride ? job->stride
                                            : DibRowBytes(job->width, cinfo.input_components * 8);
        const uint64_t height = static_cast<uint64_t>(job->height);
        // Without a callback rows go to the library in batches; with one, the
        // callback is asked before every row.
        const JDIMENSION batch = job->progress ? 1 : 16;
        JSAMPROW rows[16];
        while (cinfo.next_scanline < cinfo.image_height) {
            const JDIMENSION first = cinfo.next_scanline;
            if (job->progress && AskToStop(job, static_cast<int>(first))) {
                job->stopped = true;
                jpeg_destroy_compress(&cinfo);
                return 0;
            }
            JDIMENSION count = cinfo.image_height - first;
            if (count > batch)
                count = batch;
            for (JDIMENSION i = 0; i < count; ++i) {
                const uint64_t r = first + i;
                const uint64_t stored = job->bottomUp ? height - r - 1 : r;
                rows[i] = const_cast<JSAMPROW>(job->rows + stored * stride);
            }
            jpeg_write_scanlines(&cinfo, rows, count);
        }
    }
    jpeg_finish_compress(&cinfo);
    job->written = dest.written;
    jpeg_destroy_compress(&cinfo);
    return 0;
}

} // namespace

bool JpegReadHeader(const uint8_t* data, size_t size, BITMAPINFOHEADER* header, int scale)
{
    if (!IsScale(scale) || !header)
        throw CUserException();
    DecodeJob job{};
    job.data = data;
    job.size = data ? size : 0;
    job.scale = scale;
    if (DecompressSequence(&job, nullptr) != 0)
        throw CUserException();
    header->biSize = 40;
    header->biWidth = static_cast<LONG>(job.width);
    header->biHeight = static_cast<LONG>(job.height);
    header->biPlanes = 1;
    header->biCompression = BI_RGB;
    header->biSizeImage = 0;
    header->biXPelsPerMeter = header->biYPelsPerMeter = kJpegPelsPerMeter;
    header->biClrUsed = header->biClrImportant = 0;
    if (!job.usable)
        return false;
    header->biBitCount = static_cast<WORD>(job.components * 8);
    return true;
}

bool JpegDecode(const uint8_t* data, size_t size, uint8_t* bits, size_t bitsSize, int scale)
{
    if (!IsScale(scale) || !bits)
        throw CUserException();
    DecodeJob job{};
    job.data = data;
    job.size = data ? size : 0;
    job.scale = scale;
    job.bits = bits;
    job.bitsSize = bitsSize;
    if (DecompressSequence(&job, nullptr) != 0)
        throw CUserException();
    return true;
}

bool JpegDecodeToDibSection(const uint8_t* data, size_t size, CDibBitmap& target, int scale)
{
    try {
        BITMAPINFOHEADER header;
        if (!JpegReadHeader(data, size, &header, scale))
            return false;
        const uint64_t bytes = DibRowBytes(header.biWidth, header.biBitCount) * static_cast<uint64_t>(header.biHeight);
        if (bytes > CDibBitmap::MaxImageBytes())
            return false;
        RGBQUAD ramp[256];
        for (int i = 0; i < 256; ++i)
            ramp[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        CDibBitmap dib;
        if (!dib.CreateDibForOverwrite(CSize(header.biWidth, header.biHeight), header.biBitCount,
                                       header.biBitCount == 8 ? ramp : nullptr))
            return false;
        JpegDecode(data, size, dib.GetBits(), dib.GetDibImageSize(), scale);
        target = std::move(dib);
        return true;
    } catch (...) {
        return false;
    }
}

int16_t JpegEncode(const uint8_t* rows, int pixelType, bool bottomUp, int width, int height, int quality,
                   int xDensity, int yDensity, uint8_t /*flags*/, const uint8_t* app1, size_t app1Length,
                   const uint8_t* app2, size_t app2Length, std::vector<uint8_t>& dest, size_t* byteCount,
                   JpegProgressProc progress, size_t stride)
{
    if (progress)
        progress(0, height, 0);
    if (!rows)
        throw CUserException();
    std::exception_ptr callbackError;
    EncodeJob job{};
    job.rows = rows;
    job.pixelType = pixelType;
    job.bottomUp = bottomUp;
    job.width = width;
    job.height = height;
    job.quality = quality;
    job.xDensity = xDensity;
    job.yDensity = yDensity;
    job.app1 = app1;
    job.app1Length = app1Length;
    job.app2 = app2;
    job.app2Length = app2Length;
    job.dest = &dest;
    job.stride = stride;
    job.progress = progress;
    job.callbackError = &callbackError;
    if (EncodeSequence(&job) != 0)
        throw CUserException();
    if (callbackError)
        std::rethrow_exception(callbackError);
    if (job.stopped)
        return -1;
    if (byteCount)
        *byteCount = job.written;
    return 0;
}

std::optional<std::vector<uint8_t>> JpegCopyScanData(const uint8_t* data, size_t size)
{
    if (!data || size == 0)
        return std::nullopt;
    DecodeJob job{};
    job.data = data;
    job.size = size;
    job.scale = 1;
    ScanPosition scan{0, false};
    if (DecompressSequence(&job, &scan) != 0 || !scan.reached)
        return std::nullopt;
    // Two passes: count, then copy into a block of exactly that size.
    auto walk = [&](uint8_t* out) -> std::optional<size_t> {
        size_t count = 0;
        size_t i = scan.start;
        while (i < size) {
            if (data[i] != 0xFF) {
                if (out)
                    out[count] = data[i];
                ++count;
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < size && data[j] == 0xFF)  // fill bytes
                ++j;
            if (j >= size)
                return std::nullopt;
            if (data[j] == 0x00) {  // a stuffed FF 00 pair stays as it is
                if (out)
                    out[count] = 0xFF, out[count + 1] = 0x00;
                count += 2;
                i = j + 1;
                continue;
            }
            if (data[j] != JPEG_EOI)
                return std::nullopt;
            return count;
        }
        return std::nullopt;
    };
    const auto count = walk(nullptr);
    if (!count)
        return std::nullopt;
    std::vector<uint8_t> bytes(*count);
    walk(bytes.data());
    return bytes;
}
