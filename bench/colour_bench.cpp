// Input matching of a 24-megapixel picture from sRGB into the wide-gamut
// working space, beside a plain LittleCMS transform of the same pixels.
// Target: the matcher within 10 % of the plain transform.

#include "imaging/colour_matcher.h"
#include "imaging/colour_settings.h"
#include "imaging/pelkor_engine.h"
#include "imaging/pixel_types.h"

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int64_t kStride = kWidth * 3;

// A picture of varied colours, so that no transform cache sees one pixel only.
const std::vector<uint8_t>& Picture()
{
    static const std::vector<uint8_t> pixels = [] {
        std::vector<uint8_t> v(static_cast<size_t>(kStride) * kHeight);
        uint32_t seed = 12345;
        for (auto& b : v) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 24);
        }
        return v;
    }();
    return pixels;
}

void Refill(benchmark::State& state, std::vector<uint8_t>& work)
{
    state.PauseTiming();
    std::memcpy(work.data(), Picture().data(), work.size());
    state.ResumeTiming();
}

void SetRate(benchmark::State& state)
{
    state.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_MatchForInput(benchmark::State& state)
{
    ColorSettings settings;
    settings.doInputCM = 1;
    settings.colorSpace = 7;
    ApplyColorSettings(settings);
    CPelkorEngine engine;
    CColorMatcher matcher(&engine);
    std::vector<uint8_t> work(Picture().size());
    for (auto _ : state) {
        Refill(state, work);
        if (!matcher.MatchForInput(CIccProfileData(), PixelType::Rgb24, 0, "", work.data(), kWidth, kHeight,
                                   kStride))
            state.SkipWithError("match failed");
        benchmark::DoNotOptimize(work.data());
    }
    SetRate(state);
}

void BM_PlainLittleCms(benchmark::State& state)
{
    std::vector<uint8_t> work(Picture().size());
    for (auto _ : state) {
        Refill(state, work);
        const cmsCIExyY white = {0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
        cmsToneCurve* curves[3] = {gamma, gamma, gamma};
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHPROFILE wide = cmsCreateRGBProfile(&white, &primaries, curves);
        cmsHTRANSFORM t = cmsCreateTransform(srgb, TYPE_RGB_8, wide, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
        cmsDoTransformLineStride(t, work.data(), work.data(), kWidth, kHeight, kStride, kStride, 0, 0);
        cmsDeleteTransform(t);
        cmsCloseProfile(srgb);
        cmsCloseProfile(wide);
        cmsFreeToneCurve(gamma);
        benchmark::DoNotOptimize(work.data());
    }
    SetRate(state);
}

} // namespace

BENCHMARK(BM_MatchForInput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainLittleCms)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
