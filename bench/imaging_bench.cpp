// Picture work in megapixels per second. The pictures are made here.
#include "imaging/image_buffer.h"
#include "imaging/rotation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

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

BENCHMARK_MAIN();
