// Picture work in megapixels per second. The pictures are made here.
// Sections: resampling and rotation of image buffers; the reduction of a
// camera picture to a screen beside "vips resize" (vips comes with
// scripts/install-deps --bench; without it that comparison is left out);
// JPEG (our layer beside
// the same work done by calling libjpeg directly: our overhead should stay
// within 10 %); reading Exif directories (time must grow with the number of
// entries, not with its square).
#include "bench/libjpeg_direct.h"
#include "bench/photo_rows.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "imaging/pixel_types.h"
#include "imaging/rotation.h"
#include "platform/file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
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
        for (int y = 0; y < kSourceHeight; ++y)
            FillPhotoRow(image.GetRowPointer(y), y, kSourceWidth, kSourceHeight, noise);
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

// ---- reduction beside vips -------------------------------------------------

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// The vips command's path, or empty when it is not installed.
std::string VipsPath()
{
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/"}) {
        const std::string path = std::string(dir) + "vips";
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

// Runs a command with its output discarded; its wall time, or -1 when it failed.
double Timed(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double start = Now();
    pid_t pid;
    int status = 0;
    const bool ran = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                     waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return ran ? Now() - start : -1;
}

// The picture as a binary PPM (top-down red-green-blue rows) for vips.
bool WritePpm(const CImageBuffer& image, const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", image.GetWidth(), image.GetHeight());
    std::vector<BYTE> row(static_cast<size_t>(image.GetWidth()) * 3);
    for (int y = 0; y < image.GetHeight(); ++y) {
        const BYTE* in = image.GetRowPointer(y);
        for (int x = 0; x < image.GetWidth(); ++x) {
            row[x * 3] = in[x * 3 + 2];
            row[x * 3 + 1] = in[x * 3 + 1];
            row[x * 3 + 2] = in[x * 3];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

// Standard deviation of the samples, a few pixels in from the edges.
double Deviation(const CImageBuffer& image)
{
    double sum = 0, squares = 0, n = 0;
    for (int y = 4; y < image.GetHeight() - 4; ++y)
        for (int x = 12; x < (image.GetWidth() - 4) * 3; ++x) {
            const double v = image.GetRowPointer(y)[x];
            sum += v;
            squares += v * v;
            ++n;
        }
    const double mean = sum / n;
    return std::sqrt(squares / n - mean * mean);
}

// 6000 x 4000 reduced to 1920 x 1280 (bicubic, every core) beside
// "vips resize" of the same picture (all its threads), wall time each, in
// the same run. vips is read from and written to its own format in memory-
// backed storage where there is some; "vips copy" of the same files is timed
// too, so that vips_resize_only_ms is the resize without the reading and
// writing. Without vips the comparison is left out.
void BM_ReduceBesideVips(benchmark::State& state)
{
    const CImageBuffer& photo = Photo();
    CImageBuffer target;
    target.Create(CImageBuffer::kHeap, CSize(1920, 1280), PixelType::Bgr24);
    const std::string vips = VipsPath();
    const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string stem = dir + "/qr_bench_" + std::to_string(getpid());
    bool compare = !vips.empty() && WritePpm(photo, stem + ".ppm") &&
                   Timed({vips, "copy", stem + ".ppm", stem + ".v"}) >= 0;
    double ours = 0, theirs = 0, copy = 0;
    for (auto _ : state) {
        double t = Now();
        photo.ResampleInto(target, CImageBuffer::kBicubic);
        const double took = Now() - t;
        ours += took;
        state.SetIterationTime(took); // the time column is ours alone
        benchmark::DoNotOptimize(target.GetBits());
        if (compare) {
            const double resize = Timed({vips, "resize", stem + ".v", stem + "_out.v", "0.32"});
            const double plain = Timed({vips, "copy", stem + ".v", stem + "_copy.v"});
            compare = resize >= 0 && plain >= 0;
            theirs += resize;
            copy += plain;
        }
    }
    for (const char* suffix : {".ppm", ".v", "_out.v", "_copy.v"})
        std::remove((stem + suffix).c_str());
    const double runs = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = ours / runs * 1e3;
    if (!compare) {
        state.SetLabel(vips.empty() ? "vips is not installed: no comparison" : "vips failed: no comparison");
        return;
    }
    state.counters["vips_ms"] = theirs / runs * 1e3;
    state.counters["vips_resize_only_ms"] = (theirs - copy) / runs * 1e3;
    state.counters["ratio"] = ours / theirs;
    state.counters["ratio_to_resize_only"] = theirs > copy ? ours / (theirs - copy) : 0;
}

// Black and white stripes one and two pixels wide, reduced the same way:
// the standard deviation of what comes out (a grey of about 128; target
// under 5, where 4-tap bicubic gave about 89).
void BM_ReduceStripes(benchmark::State& state)
{
    const int stripe = static_cast<int>(state.range(0));
    CImageBuffer stripes;
    stripes.Create(CImageBuffer::kHeap, CSize(kSourceWidth, kSourceHeight), PixelType::Bgr24);
    for (int y = 0; y < kSourceHeight; ++y)
        for (int x = 0; x < kSourceWidth; ++x)
            std::memset(stripes.GetRowPointer(y) + x * 3, (x / stripe) % 2 ? 255 : 0, 3);
    CImageBuffer target;
    target.Create(CImageBuffer::kHeap, CSize(1920, 1280), PixelType::Bgr24);
    for (auto _ : state) {
        stripes.ResampleInto(target, CImageBuffer::kBicubic);
        benchmark::DoNotOptimize(target.GetBits());
    }
    state.counters["stripes_std"] = Deviation(target);
}

} // namespace

BENCHMARK(BM_ReduceBesideVips)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5)->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReduceStripes)->ArgNames({"stripe"})->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
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
    return qrbench::DirectEncode(bits.data(), kWidth, kHeight, 90, progressive);
}

void DirectDecode(const std::vector<uint8_t>& jpeg, uint8_t* bits, int scale)
{
    qrbench::DirectDecode(jpeg.data(), jpeg.size(), bits, scale);
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
