// A 100-megapixel JPEG opened as a bitmap: through the importer plug-in (the
// road every picture the user opens takes) beside the JPEG layer decoding the
// file's bytes into one bitmap, the reference. Each reports its time and the
// peak memory it added (the process's resident high-water mark, reset before
// every run), also as a multiple of the picture itself.
//   picture_MB        the bitmap's pixel bytes
//   peak_MB           resident memory added at the peak of one load
//   peak_per_picture  peak_MB / picture_MB (the target is at most 1.2)
//   vs_layer_time     CPU time of the plug-in road / the JPEG layer's
//   vs_layer_peak     peak of the plug-in road / the JPEG layer's
//
// Opening a picture as the viewer and the editor do (the importer decoding
// into a newly made picture) beside libjpeg-turbo decoding the same file into
// a newly allocated buffer, for 24 and 100 megapixels (vs_libjpeg, CPU time,
// target at most 1.10; peak memory reported the same way).
#include "bench/libjpeg_direct.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/jpeg_codec.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 10000, kHeight = 10000;

// A photograph-like picture (smooth light with grain), encoded once per run.
struct BigJpeg {
    fs::path dir;
    fs::path file;
    explicit BigJpeg(int width = kWidth, int height = kHeight)
    {
        char pattern[] = "/tmp/qrbench-XXXXXX";
        dir = mkdtemp(pattern);
        file = dir / "big.jpg";
        const size_t stride = static_cast<size_t>(width) * 3;
        std::vector<uint8_t> jpeg;
        {
            std::vector<uint8_t> rows(stride * height);
            uint32_t state = 7;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    state = state * 1664525u + 1013904223u;
                    const int grain = static_cast<int>(state >> 29) - 4;
                    uint8_t* p = &rows[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x)];
                    p[0] = static_cast<uint8_t>(std::clamp(x * 255 / width + grain, 0, 255));
                    p[1] = static_cast<uint8_t>(std::clamp(y * 255 / height + grain, 0, 255));
                    p[2] = static_cast<uint8_t>(std::clamp(((x + y) / 37 % 2) * 120 + 60 + grain, 0, 255));
                }
            size_t n = 0;
            JpegEncode(rows.data(), 11, false, width, height, 90, 72, 72, 0, nullptr, 0, nullptr, 0, jpeg, &n,
                       nullptr, stride);
        }
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    }
    ~BigJpeg() { fs::remove_all(dir); }
};

const BigJpeg& Picture()
{
    static BigJpeg big;
    return big;
}

// 6000 x 4000 for arg 24, 10000 x 10000 for 100.
const BigJpeg& PictureOf(int64_t megapixels)
{
    static BigJpeg photo(6000, 4000);
    return megapixels == 24 ? photo : Picture();
}

std::string ImporterPattern()
{
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    return (exe.parent_path().parent_path() / "bin" / "Importer" / "*.gim").string();
}

// A line of /proc/self/status in kB ("VmRSS:", "VmHWM:").
double StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atof(line.c_str() + std::string(key).size());
    return 0;
}

// Resets the resident high-water mark to what is resident now.
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct Result {
    double cpuPerLoad = 0;
    double peakMb = 0;
};
Result g_layer; // the reference's last repetition

// Runs load once per iteration: the CPU time of the loads alone and the peak.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename Load>
Result Measure(benchmark::State& state, Load&& load)
{
    double peak = 0, picture = 0, cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDibBitmap bmp;
        if (!ResetPeak()) {
            state.SkipWithError("the resident high-water mark cannot be reset here");
            return {};
        }
        const double before = StatusKb("VmRSS:");
        state.ResumeTiming();
        const double cpuBefore = CpuSeconds();
        const bool loaded = load(bmp);
        cpu += CpuSeconds() - cpuBefore;
        state.PauseTiming();
        if (!loaded) {
            state.SkipWithError("the picture did not load");
            return {};
        }
        peak = std::max(peak, StatusKb("VmHWM:") - before);
        picture = static_cast<double>(bmp.GetDibImageSize()) / 1024.0;
        bmp.DeleteObject();
        state.ResumeTiming();
    }
    state.counters["picture_MB"] = picture / 1024;
    state.counters["peak_MB"] = peak / 1024;
    state.counters["peak_per_picture"] = picture > 0 ? peak / picture : 0;
    return {cpu / static_cast<double>(state.iterations()), peak / 1024};
}

std::vector<uint8_t> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The reference: the file's bytes decoded by the JPEG layer into one bitmap.
void BM_JpegLayer(benchmark::State& state)
{
    const fs::path file = Picture().file;
    g_layer = Measure(state, [&](CDibBitmap& bmp) {
        const std::vector<uint8_t> bytes = ReadAll(file);
        return JpegDecodeToDibSection(bytes.data(), bytes.size(), bmp);
    });
}

// The importer plug-in's bitmap road, as the viewer and the editor open a file.
void BM_ImporterPlugin(benchmark::State& state)
{
    const std::string file = Picture().file.string();
    const std::string pattern = ImporterPattern();
    const Result r = Measure(state, [&](CDibBitmap& bmp) {
        CImageImporter host(pattern);
        return host.TryDecodeToDib(file, bmp, nullptr, -1) && host.LastLoadKind() == kLoadKindPlugin;
    });
    if (g_layer.cpuPerLoad > 0 && g_layer.peakMb > 0) {
        state.counters["vs_layer_time"] = r.cpuPerLoad / g_layer.cpuPerLoad;
        state.counters["vs_layer_peak"] = r.peakMb / g_layer.peakMb;
    }
}

// ---- opening into fresh memory

std::map<int64_t, Result> g_libjpeg; // per size, the last repetition

// Runs load (which makes, fills and lets go of its own picture) once per
// iteration: CPU time and the resident peak it added.
template <typename Load>
Result MeasureFresh(benchmark::State& state, Load&& load)
{
    double peak = 0, cpu = 0;
    uint64_t picture = 0;
    for (auto _ : state) {
        if (!ResetPeak()) {
            state.SkipWithError("the resident high-water mark cannot be reset here");
            return {};
        }
        const double before = StatusKb("VmRSS:");
        const double cpuBefore = CpuSeconds();
        picture = load();
        const double spent = CpuSeconds() - cpuBefore;
        cpu += spent;
        state.SetIterationTime(spent);
        if (picture == 0) {
            state.SkipWithError("the picture did not load");
            return {};
        }
        peak = std::max(peak, StatusKb("VmHWM:") - before);
    }
    const double pictureKb = static_cast<double>(picture) / 1024.0;
    state.counters["picture_MB"] = pictureKb / 1024;
    state.counters["peak_MB"] = peak / 1024;
    state.counters["peak_per_picture"] = pictureKb > 0 ? peak / pictureKb : 0;
    return {cpu / static_cast<double>(state.iterations()), peak / 1024};
}

// The reference: the file read and decoded by libjpeg-turbo into a new buffer.
void BM_LibjpegFresh(benchmark::State& state)
{
    const fs::path file = PictureOf(state.range(0)).file;
    g_libjpeg[state.range(0)] = MeasureFresh(state, [&]() -> uint64_t {
        const std::vector<uint8_t> bytes = ReadAll(file);
        int w = 0, h = 0;
        const auto bits = qrbench::DirectDecode(bytes.data(), bytes.size(), nullptr, 1, &w, &h);
        benchmark::DoNotOptimize(bits.get());
        return bits ? qrbench::BgrStride(static_cast<size_t>(w)) * static_cast<uint64_t>(h) : 0;
    });
}

// Opening as the viewer and the editor do: the importer decodes the file into
// a newly made picture.
void BM_OpenPictureFresh(benchmark::State& state)
{
    const std::string file = PictureOf(state.range(0)).file.string();
    CImageImporter host(ImporterPattern());
    const Result r = MeasureFresh(state, [&]() -> uint64_t {
        CImageBuffer picture;
        return host.TryDecodeToBuffer(file, picture, nullptr, -1) ? picture.GetImageBytes() : 0;
    });
    const Result& reference = g_libjpeg[state.range(0)];
    if (reference.cpuPerLoad > 0 && reference.peakMb > 0) {
        state.counters["vs_libjpeg"] = r.cpuPerLoad / reference.cpuPerLoad;
        state.counters["vs_libjpeg_peak"] = r.peakMb / reference.peakMb;
    }
}

} // namespace

// The reference runs first, so the plug-in road can be given as its multiple.
BENCHMARK(BM_JpegLayer)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_ImporterPlugin)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_LibjpegFresh)->ArgName("MP")->Arg(24)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_OpenPictureFresh)->ArgName("MP")->Arg(24)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_LibjpegFresh)->ArgName("MP")->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_OpenPictureFresh)->ArgName("MP")->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

BENCHMARK_MAIN();
