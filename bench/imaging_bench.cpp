// Picture work in megapixels per second. The pictures are made here.
// Sections: resampling and rotation of image buffers; JPEG (our layer beside
// the same work done by calling libjpeg directly: our overhead should stay
// within 10 %); reading Exif directories (time must grow with the number of
// entries, not with its square).
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "imaging/pixel_types.h"
#include "imaging/rotation.h"
#include "platform/file.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>
#include <vector>

// ---- resampling and rotation ---------------------------------------------

namespace {

constexpr int kSourceWidth = 6000;
constexpr int kSourceHeight = 4000;

// A 6000 x 4000 24-bit photograph stand-in: gradients with fine detail.
const CImageBuffer& Photo()
{
    static const CImageBuffer photo = [] {
        CImageBuffer image;
        image.Create(CImageBuffer::kHeap, CSize(kSourceWidth, kSourceHeight), PixelType::Bgr24);
        uint32_t noise = 12345;
        for (int y = 0; y < kSourceHeight; ++y) {
            BYTE* row = image.GetRowPointer(y);
            for (int x = 0; x < kSourceWidth; ++x) {
                noise = noise * 1103515245u + 12345u;
                row[x * 3] = static_cast<BYTE>(x * 255 / kSourceWidth);
                row[x * 3 + 1] = static_cast<BYTE>(y * 255 / kSourceHeight);
                row[x * 3 + 2] = static_cast<BYTE>((x + y) / 40 + (noise >> 28));
            }
        }
        return image;
    }();
    return photo;
}

void Rates(benchmark::State& state, int64_t sourcePixels, int64_t targetPixels)
{
    const double runs = static_cast<double>(state.iterations());
    state.counters["src_MP/s"] = benchmark::Counter(runs * sourcePixels / 1e6, benchmark::Counter::kIsRate);
    state.counters["dst_MP/s"] = benchmark::Counter(runs * targetPixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_Resample(benchmark::State& state)
{
    const CImageBuffer& photo = Photo();
    const int method = static_cast<int>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    CImageBuffer target;
    target.Create(CImageBuffer::kHeap, CSize(width, height), PixelType::Bgr24);
    for (auto _ : state) {
        photo.ResampleInto(target, method);
        benchmark::DoNotOptimize(target.GetBits());
    }
    Rates(state, int64_t{kSourceWidth} * kSourceHeight, int64_t{width} * height);
}

void BM_Rotate90(benchmark::State& state)
{
    CImageBuffer image(Photo());
    for (auto _ : state) {
        image.Rotate(90);
        benchmark::DoNotOptimize(image.GetBits());
    }
    Rates(state, int64_t{kSourceWidth} * kSourceHeight, int64_t{kSourceWidth} * kSourceHeight);
}

// The turn alone, between rasters whose memory is already mapped: Rotate()
// also pays for the new picture's 72 MB, which is first-touch page faults.
void BM_Rotate90Rows(benchmark::State& state)
{
    const CImageBuffer& photo = Photo();
    const RasterRotation turn(kSourceWidth, kSourceHeight, 90);
    const uint64_t stride = (turn.TargetWidth() * 24 + 31) / 32 * 4;
    std::vector<BYTE> target(stride * turn.TargetHeight(), 1);
    std::vector<const BYTE*> from(kSourceHeight);
    for (int y = 0; y < kSourceHeight; ++y)
        from[y] = photo.GetRowPointer(y);
    std::vector<BYTE*> to(turn.TargetHeight());
    for (int64_t y = 0; y < turn.TargetHeight(); ++y)
        to[y] = target.data() + y * stride;
    for (auto _ : state) {
        turn.Apply(from.data(), to.data(), 24);
        benchmark::DoNotOptimize(target.data());
    }
    Rates(state, int64_t{kSourceWidth} * kSourceHeight, int64_t{kSourceWidth} * kSourceHeight);
}

} // namespace

BENCHMARK(BM_Resample)
    ->ArgNames({"bicubic", "w", "h"})
    ->Args({CImageBuffer::kBilinear, 1920, 1280})
    ->Args({CImageBuffer::kBilinear, 160, 120})
    ->Args({CImageBuffer::kBicubic, 1920, 1280})
    ->Args({CImageBuffer::kBicubic, 160, 120})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Rotate90)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Rotate90Rows)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- JPEG ----------------------------------------------------------------

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;  // 24 megapixels

// A photograph-like picture: smooth gradients with fine noise, so that the
// entropy coder has real work, as bottom-up blue-green-red DIB rows.
const std::vector<uint8_t>& Picture()
{
    static const std::vector<uint8_t> bits = [] {
        const size_t stride = DibRowBytes(kWidth, 24);
        std::vector<uint8_t> v(stride * kHeight);
        uint32_t seed = 12345;
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = v.data() + y * stride;
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                const int noise = static_cast<int>((seed >> 16) & 15) - 8;
                auto clamp = [](int c) { return static_cast<uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c); };
                row[x * 3] = clamp(x * 255 / kWidth + noise);
                row[x * 3 + 1] = clamp(y * 255 / kHeight + noise);
                row[x * 3 + 2] = clamp(((x / 40 + y / 40) & 1) * 120 + 60 + noise);
            }
        }
        return v;
    }();
    return bits;
}

// ---- libjpeg called directly ---------------------------------------------

std::vector<uint8_t> DirectEncode(const std::vector<uint8_t>& bits, bool progressive)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = DibRowBytes(kWidth, 24);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits.data() + (kHeight - 1 - cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> result(out, out + size);
    std::free(out);
    return result;
}

void DirectDecode(const std::vector<uint8_t>& jpeg, uint8_t* bits, int scale)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    jpeg_start_decompress(&cinfo);
    const size_t stride = DibRowBytes(cinfo.output_width, 24);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = bits + (cinfo.output_height - 1 - cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

const std::vector<uint8_t>& Jpeg(bool progressive)
{
    static const std::vector<uint8_t> baseline = DirectEncode(Picture(), false);
    static const std::vector<uint8_t> prog = DirectEncode(Picture(), true);
    return progressive ? prog : baseline;
}

void SetRate(benchmark::State& state, double pixels)
{
    state.counters["MP/s"] =
        benchmark::Counter(pixels / 1e6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// arg 0: progressive?, arg 1: scale denominator
void BM_JpegDecode_Layer(benchmark::State& state)
{
    const auto& jpeg = Jpeg(state.range(0) != 0);
    const int scale = static_cast<int>(state.range(1));
    BITMAPINFOHEADER header;
    JpegReadHeader(jpeg.data(), jpeg.size(), &header, scale);
    const size_t size = DibRowBytes(header.biWidth, 24) * header.biHeight;
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size]());  // touched before timing
    for (auto _ : state) {
        JpegDecode(jpeg.data(), jpeg.size(), bits.get(), size, scale);
        benchmark::DoNotOptimize(bits[0]);
    }
    SetRate(state, double(kWidth) * kHeight);
}

void BM_JpegDecode_Direct(benchmark::State& state)
{
    const auto& jpeg = Jpeg(state.range(0) != 0);
    const int scale = static_cast<int>(state.range(1));
    const size_t size = DibRowBytes((kWidth + scale - 1) / scale, 24) * ((kHeight + scale - 1) / scale);
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size]());  // touched before timing
    for (auto _ : state) {
        DirectDecode(jpeg, bits.get(), scale);
        benchmark::DoNotOptimize(bits[0]);
    }
    SetRate(state, double(kWidth) * kHeight);
}

// Decoding into a new bitmap, as thumbnails and message pictures are made.
void BM_JpegDecodeToDib_Layer(benchmark::State& state)
{
    const auto& jpeg = Jpeg(state.range(0) != 0);
    const int scale = static_cast<int>(state.range(1));
    for (auto _ : state) {
        CDibBitmap dib;
        JpegDecodeToDibSection(jpeg.data(), jpeg.size(), dib, scale);
        benchmark::DoNotOptimize(dib.GetBits());
    }
    SetRate(state, double(kWidth) * kHeight);
}

// The same with a new buffer each time: a fresh picture's first-touch page
// faults are most of what a new bitmap costs beyond decoding.
void BM_JpegDecodeToNewBuffer_Direct(benchmark::State& state)
{
    const auto& jpeg = Jpeg(state.range(0) != 0);
    const int scale = static_cast<int>(state.range(1));
    const size_t size = DibRowBytes((kWidth + scale - 1) / scale, 24) * ((kHeight + scale - 1) / scale);
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> bits(new uint8_t[size]);
        DirectDecode(jpeg, bits.get(), scale);
        benchmark::DoNotOptimize(bits[0]);
    }
    SetRate(state, double(kWidth) * kHeight);
}

void BM_JpegEncode_Layer(benchmark::State& state)
{
    const auto& bits = Picture();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        size_t count = 0;
        JpegEncode(bits.data(), PixelType::Bgr24, true, kWidth, kHeight, 90, 96, 96, 0, nullptr, 0, nullptr, 0, out,
                   &count, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    SetRate(state, double(kWidth) * kHeight);
}

void BM_JpegEncode_Direct(benchmark::State& state)
{
    const auto& bits = Picture();
    for (auto _ : state) {
        auto out = DirectEncode(bits, state.range(0) != 0);
        benchmark::DoNotOptimize(out.data());
    }
    SetRate(state, double(kWidth) * kHeight);
}

} // namespace

// Decode: {progressive, scale}.
BENCHMARK(BM_JpegDecode_Layer)->ArgNames({"progressive", "scale"})->Args({0, 1})->Args({1, 1})->Args({0, 8})->Args({1, 8})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode_Direct)->ArgNames({"progressive", "scale"})->Args({0, 1})->Args({1, 1})->Args({0, 8})->Args({1, 8})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecodeToDib_Layer)->ArgNames({"progressive", "scale"})->Args({0, 1})->Args({0, 8})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecodeToNewBuffer_Direct)->ArgNames({"progressive", "scale"})->Args({0, 1})->Args({0, 8})->Unit(benchmark::kMillisecond);
// Encode: our layer writes baseline JPEG; the direct progressive case shows
// what progressive output would cost.
BENCHMARK(BM_JpegEncode_Layer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode_Direct)->ArgNames({"progressive"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---- Exif directories -----------------------------------------------------

namespace {

// An Intel-order TIFF whose main directory holds n SHORT entries and points at
// an Exif directory of one.
std::vector<BYTE> TiffWithEntries(uint32_t n)
{
    std::vector<BYTE> t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](uint32_t v) { t.push_back(BYTE(v)); t.push_back(BYTE(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    const uint32_t exifAt = 8 + 2 + 12 * (n + 1) + 4;
    put16(n + 1);
    for (uint32_t i = 0; i < n; ++i) {
        put16(1000 + i % 60000);
        put16(3);
        put32(1);
        put32(i & 0xFFFF);
    }
    put16(34665);
    put16(4);
    put32(1);
    put32(exifAt);
    put32(0);
    put16(1);
    put16(33434);
    put16(3);
    put32(1);
    put32(1);
    put32(0);
    return t;
}

void BM_ExifReadEntries(benchmark::State& state)
{
    const std::vector<BYTE> tiff = TiffWithEntries(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        CMemFile file(tiff);
        CExifFile exif;
        benchmark::DoNotOptimize(exif.Attach(&file, kExifTiff));
        benchmark::DoNotOptimize(exif.GetEntries().size());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_ExifReadEntries)->RangeMultiplier(4)->Range(1 << 10, 60000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
