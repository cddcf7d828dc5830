// Separable resampling with kernels that widen with the reduction: columns
// first (one target row from the source rows under its kernel), then along
// the row. Weights are 14-bit fixed point for 8-bit samples.
#include "imaging/parallel_rows.h"
#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
// The vertical pass keeps this many bits below the sample between passes.
constexpr int kInterBits = 6;

double KernelWeight(resample::Kernel kernel, double x)
{
    switch (kernel) {
    case resample::Kernel::Linear: return std::max(0.0, 1.0 - std::fabs(x));
    case resample::Kernel::Cubic: return resample::CubicWeight(x);
    default: return std::fabs(x) < 0.5 ? 1.0 : 0.0;
    }
}

double KernelSupport(resample::Kernel kernel)
{
    switch (kernel) {
    case resample::Kernel::Linear: return 1.0;
    case resample::Kernel::Cubic: return 2.0;
    default: return 0.5;
    }
}

// For each target index of the window along one axis: the first source index
// and the weights of the source samples from there on.
struct AxisPlan {
    std::vector<int> start;
    std::vector<int> count;
    std::vector<int> offset; // into the weights
    std::vector<int16_t> fixed;
    std::vector<float> real;
    int lowest = 0;  // smallest source index used
    int highest = 0; // largest source index used
};

AxisPlan Plan(resample::Kernel kernel, int sourceLength, int targetLength, int first, int count)
{
    AxisPlan plan;
    plan.start.resize(static_cast<size_t>(count));
    plan.count.resize(static_cast<size_t>(count));
    plan.offset.resize(static_cast<size_t>(count));
    plan.lowest = sourceLength;
    plan.highest = -1;
    const double scale = static_cast<double>(sourceLength) / targetLength;
    const double widen = std::max(1.0, scale);
    const double support = KernelSupport(kernel) * widen;
    std::vector<double> w;
    for (int i = 0; i < count; ++i) {
        const int t = first + i;
        int lo, hi;
        w.clear();
        if (kernel == resample::Kernel::Nearest && scale <= 1.0) {
            // Each target pixel takes the source pixel its centre falls in.
            lo = hi = std::clamp(static_cast<int>(std::floor((t + 0.5) * scale)), 0, sourceLength - 1);
            w.push_back(1.0);
        } else {
            const double centre = (t + 0.5) * scale - 0.5;
            const int from = static_cast<int>(std::floor(centre - support)) + 1;
            const int to = static_cast<int>(std::ceil(centre + support)) - 1;
            lo = std::clamp(from, 0, sourceLength - 1);
            hi = std::clamp(to, 0, sourceLength - 1);
            w.assign(static_cast<size_t>(hi - lo + 1), 0.0);
            double sum = 0;
            for (int s = from; s <= to; ++s) {
                const double k = KernelWeight(kernel, (s - centre) / widen);
                // Samples beyond an edge count as the edge sample.
                w[static_cast<size_t>(std::clamp(s, lo, hi) - lo)] += k;
                sum += k;
            }
            if (sum == 0) {
                lo = hi = std::clamp(static_cast<int>(std::lround(centre)), 0, sourceLength - 1);
                w.assign(1, 1.0);
                sum = 1;
            }
            for (double& v : w)
                v /= sum;
        }
        plan.start[static_cast<size_t>(i)] = lo;
        plan.count[static_cast<size_t>(i)] = hi - lo + 1;
        plan.offset[static_cast<size_t>(i)] = static_cast<int>(plan.real.size());
        plan.lowest = std::min(plan.lowest, lo);
        plan.highest = std::max(plan.highest, hi);
        // Fixed-point weights summing to exactly one; the rounding goes to the largest.
        int total = 0;
        size_t largest = 0;
        for (size_t k = 0; k < w.size(); ++k) {
            const int q = static_cast<int>(std::lround(w[k] * kWeightOne));
            plan.fixed.push_back(static_cast<int16_t>(std::clamp(q, -32768, 32767)));
            plan.real.push_back(static_cast<float>(w[k]));
            total += q;
            if (std::fabs(w[k]) > std::fabs(w[largest]))
                largest = k;
        }
        plan.fixed[static_cast<size_t>(plan.offset[static_cast<size_t>(i)]) + largest] +=
            static_cast<int16_t>(kWeightOne - total);
    }
    return plan;
}

// 8-bit samples: integer weights.
void FilterRows8(const RasterView& src, int channels, const AxisPlan& across, const AxisPlan& down,
                 const RasterView& dst, int dstChannels, int rowBegin, int rowEnd)
{
    const int spanPixels = across.highest - across.lowest + 1;
    const size_t span = static_cast<size_t>(spanPixels) * channels;
    std::vector<int32_t> acc(span);
    std::vector<int16_t> inter(span);
    const int16_t* wDown = down.fixed.data();
    const int16_t* wAcross = across.fixed.data();
    for (int y = rowBegin; y < rowEnd; ++y) {
        // Down the columns: one row of the window's source columns.
        std::fill(acc.begin(), acc.end(), 0);
        const int taps = down.count[static_cast<size_t>(y)];
        const int16_t* w = wDown + down.offset[static_cast<size_t>(y)];
        for (int k = 0; k < taps; ++k) {
            const uint8_t* in = src.Row(down.start[static_cast<size_t>(y)] + k) + static_cast<size_t>(across.lowest) * channels;
            const int32_t weight = w[k];
            int32_t* a = acc.data();
            for (size_t i = 0; i < span; ++i)
                a[i] += weight * in[i];
        }
        constexpr int shift = kWeightBits - kInterBits;
        for (size_t i = 0; i < span; ++i)
            inter[i] = static_cast<int16_t>(std::clamp((acc[i] + (1 << (shift - 1))) >> shift, -32768, 32767));
        // Along the row.
        uint8_t* out = dst.Row(y);
        constexpr int outShift = kWeightBits + kInterBits;
        constexpr int32_t half = 1 << (outShift - 1);
        const int width = dst.width;
        for (int x = 0; x < width; ++x) {
            const int n = across.count[static_cast<size_t>(x)];
            const int16_t* wx = wAcross + across.offset[static_cast<size_t>(x)];
            const int16_t* p = inter.data() + static_cast<size_t>(across.start[static_cast<size_t>(x)] - across.lowest) * channels;
            if (channels == 3) {
                int32_t b = half, g = half, r = half;
                for (int k = 0; k < n; ++k, p += 3) {
                    b += wx[k] * p[0];
                    g += wx[k] * p[1];
                    r += wx[k] * p[2];
                }
                out[0] = static_cast<uint8_t>(std::clamp(b >> outShift, 0, 255));
                out[1] = static_cast<uint8_t>(std::clamp(g >> outShift, 0, 255));
                out[2] = static_cast<uint8_t>(std::clamp(r >> outShift, 0, 255));
                if (dstChannels == 4)
                    out[3] = 255;
                out += dstChannels;
                continue;
            }
            for (int c = 0; c < channels; ++c) {
                int32_t s = half;
                for (int k = 0; k < n; ++k)
                    s += wx[k] * p[k * channels + c];
                out[c] = static_cast<uint8_t>(std::clamp(s >> outShift, 0, 255));
            }
            out += dstChannels;
        }
    }
}

// 16-bit samples (little-endian): float weights.
void FilterRows16(const RasterView& src, int channels, const AxisPlan& across, const AxisPlan& down,
                  const RasterView& dst, int rowBegin, int rowEnd)
{
    const size_t span = static_cast<size_t>(across.highest - across.lowest + 1) * channels;
    std::vector<float> inter(span);
    for (int y = rowBegin; y < rowEnd; ++y) {
        std::fill(inter.begin(), inter.end(), 0.0f);
        const int taps = down.count[static_cast<size_t>(y)];
        const float* w = down.real.data() + down.offset[static_cast<size_t>(y)];
        for (int k = 0; k < taps; ++k) {
            const uint8_t* in = src.Row(down.start[static_cast<size_t>(y)] + k) + static_cast<size_t>(across.lowest) * channels * 2;
            for (size_t i = 0; i < span; ++i)
                inter[i] += w[k] * static_cast<float>(in[2 * i] | (in[2 * i + 1] << 8));
        }
        uint8_t* out = dst.Row(y);
        for (int x = 0; x < dst.width; ++x) {
            const int n = across.count[static_cast<size_t>(x)];
            const float* wx = across.real.data() + across.offset[static_cast<size_t>(x)];
            const float* p = inter.data() + static_cast<size_t>(across.start[static_cast<size_t>(x)] - across.lowest) * channels;
            for (int c = 0; c < channels; ++c) {
                float s = 0;
                for (int k = 0; k < n; ++k)
                    s += wx[k] * p[k * channels + c];
                const int v = std::clamp(static_cast<int>(std::lround(s)), 0, 65535);
                out[0] = static_cast<uint8_t>(v);
                out[1] = static_cast<uint8_t>(v >> 8);
                out += 2;
            }
        }
    }
}

} // namespace

namespace resample {

void Filter(const RasterView& src, int channels, int bytesPerSample, Kernel kernel, int fullWidth, int fullHeight,
            int windowLeft, int windowTop, const RasterView& dst, int dstChannels)
{
    if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0 || fullWidth <= 0 || fullHeight <= 0)
        return;
    const AxisPlan across = Plan(kernel, src.width, fullWidth, windowLeft, dst.width);
    const AxisPlan down = Plan(kernel, src.height, fullHeight, windowTop, dst.height);
    int64_t taps = 0;
    for (int n : across.count)
        taps += n;
    const int64_t perRow = static_cast<int64_t>(across.highest - across.lowest + 1) * channels *
                               (down.real.size() / std::max<size_t>(1, down.count.size())) +
                           taps * channels;
    ParallelRows(dst.height, perRow, [&](int begin, int end) {
        if (bytesPerSample == 2)
            FilterRows16(src, channels, across, down, dst, begin, end);
        else
            FilterRows8(src, channels, across, down, dst, dstChannels, begin, end);
    });
}

} // namespace resample
