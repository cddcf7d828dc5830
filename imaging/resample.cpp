#include "imaging/resample.h"

#include "imaging/pixel_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double kCubicA = -0.7;

inline uint32_t Sample(const uint8_t* row, uint64_t index, int bytesPerSample)
{
    if (bytesPerSample == 1)
        return row[index];
    const uint8_t* p = row + index * 2;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

inline void PutSample(uint8_t* row, uint64_t index, int bytesPerSample, uint32_t v)
{
    if (bytesPerSample == 1) {
        row[index] = static_cast<uint8_t>(v);
        return;
    }
    uint8_t* p = row + index * 2;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void CopyRows(const RasterView& src, const RasterView& dst, uint64_t rowBytes)
{
    for (int y = 0; y < dst.height; ++y)
        std::memcpy(dst.Row(y), src.Row(y), rowBytes);
}

// weight x value for 8-bit samples: rows are x = row / 64 (0..127), then a
// row of zeros for x = 2. Built once, on first use.
struct CubicTable {
    int entry[129][256];
    CubicTable()
    {
        for (int r = 0; r < 128; ++r) {
            const double w = resample::CubicWeight(r / 64.0);
            for (int v = 0; v < 256; ++v)
                entry[r][v] = static_cast<int>(w * v);
        }
        std::fill(std::begin(entry[128]), std::end(entry[128]), 0);
    }
};

const CubicTable& Table()
{
    static const CubicTable table;
    return table;
}

// Where each target sample along one axis reads: four clamped source indices
// and the fraction in 1/64 pixel. The first and last samples copy the edge.
struct Tap {
    uint32_t index[4];
    int fraction;
    double weight[4];
};

std::vector<Tap> PlanAxis(int targetLength, int sourceLength)
{
    const uint64_t d = static_cast<uint64_t>(targetLength);
    const uint64_t s = static_cast<uint64_t>(sourceLength);
    const uint64_t m = std::min(d * 100 / s / 100, d - 1);
    const uint32_t last = static_cast<uint32_t>(s - 1);
    std::vector<Tap> taps(targetLength);
    for (uint64_t t = 0; t < d; ++t) {
        Tap& tap = taps[t];
        if (t <= m || t + m + 1 >= d) {
            const uint32_t edge = t <= m ? 0 : last;
            std::fill(std::begin(tap.index), std::end(tap.index), edge);
            tap.fraction = 0;
        } else {
            const uint64_t p = t * s * 64 / d;
            const int64_t i = static_cast<int64_t>(p >> 6);
            tap.fraction = static_cast<int>(p & 63);
            for (int k = 0; k < 4; ++k)
                tap.index[k] = static_cast<uint32_t>(std::clamp<int64_t>(i - 1 + k, 0, last));
        }
        const double f = tap.fraction / 64.0;
        tap.weight[0] = resample::CubicWeight(1 + f);
        tap.weight[1] = resample::CubicWeight(f);
        tap.weight[2] = resample::CubicWeight(1 - f);
        tap.weight[3] = resample::CubicWeight(2 - f);
    }
    return taps;
}

inline uint32_t Cubic16(const Tap& tap, uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3)
{
    const int64_t sum = static_cast<int64_t>(tap.weight[0] * s0) + static_cast<int64_t>(tap.weight[1] * s1) +
                        static_cast<int64_t>(tap.weight[2] * s2) + static_cast<int64_t>(tap.weight[3] * s3);
    return static_cast<uint32_t>(std::clamp<int64_t>(sum, 0, 65535));
}

// One row along x: target row out from source row in.
void CubicRow(const uint8_t* in, uint8_t* out, const std::vector<Tap>& taps, int channels, int bytesPerSample)
{
    const uint64_t n = static_cast<uint64_t>(channels);
    if (bytesPerSample == 1) {
        const CubicTable& t = Table();
        for (size_t x = 0; x < taps.size(); ++x) {
            const Tap& tap = taps[x];
            const int f = tap.fraction;
            const int* w0 = t.entry[64 + f];
            const int* w1 = t.entry[f];
            const int* w2 = t.entry[64 - f];
            const int* w3 = t.entry[128 - f];
            const uint8_t* s0 = in + tap.index[0] * n;
            const uint8_t* s1 = in + tap.index[1] * n;
            const uint8_t* s2 = in + tap.index[2] * n;
            const uint8_t* s3 = in + tap.index[3] * n;
            for (uint64_t c = 0; c < n; ++c) {
                const int sum = w0[s0[c]] + w1[s1[c]] + w2[s2[c]] + w3[s3[c]];
                *out++ = static_cast<uint8_t>(std::clamp(sum, 0, 255));
            }
        }
        return;
    }
    for (size_t x = 0; x < taps.size(); ++x) {
        const Tap& tap = taps[x];
        for (uint64_t c = 0; c < n; ++c) {
            const uint32_t s0 = Sample(in, tap.index[0] * n + c, 2);
            const uint32_t s1 = Sample(in, tap.index[1] * n + c, 2);
            const uint32_t s2 = Sample(in, tap.index[2] * n + c, 2);
            const uint32_t s3 = Sample(in, tap.index[3] * n + c, 2);
            PutSample(out, x * n + c, 2, Cubic16(tap, s0, s1, s2, s3));
        }
    }
}

// One target row from four source rows, across the whole width.
void CubicColumn(const uint8_t* const rows[4], uint8_t* out, const Tap& tap, uint64_t samples, int bytesPerSample)
{
    if (bytesPerSample == 1) {
        const CubicTable& t = Table();
        const int f = tap.fraction;
        const int* w0 = t.entry[64 + f];
        const int* w1 = t.entry[f];
        const int* w2 = t.entry[64 - f];
        const int* w3 = t.entry[128 - f];
        for (uint64_t i = 0; i < samples; ++i) {
            const int sum = w0[rows[0][i]] + w1[rows[1][i]] + w2[rows[2][i]] + w3[rows[3][i]];
            out[i] = static_cast<uint8_t>(std::clamp(sum, 0, 255));
        }
        return;
    }
    for (uint64_t i = 0; i < samples; ++i)
        PutSample(out, i, 2,
                  Cubic16(tap, Sample(rows[0], i, 2), Sample(rows[1], i, 2), Sample(rows[2], i, 2),
                          Sample(rows[3], i, 2)));
}

} // namespace

namespace resample {

double CubicWeight(double x)
{
    x = std::fabs(x);
    if (x <= 1)
        return (kCubicA + 2) * x * x * x - (kCubicA + 3) * x * x + 1;
    if (x < 2)
        return kCubicA * x * x * x - 5 * kCubicA * x * x + 8 * kCubicA * x - 4 * kCubicA;
    return 0;
}

void Bilinear(const RasterView& src, const RasterView& dst, int channels, int bytesPerSample)
{
    const uint64_t rowBytes = static_cast<uint64_t>(dst.width) * channels * bytesPerSample;
    if (src.width == dst.width && src.height == dst.height) {
        CopyRows(src, dst, rowBytes);
        return;
    }
    const uint64_t sw = static_cast<uint64_t>(src.width), sh = static_cast<uint64_t>(src.height);
    const uint64_t w = static_cast<uint64_t>(dst.width), h = static_cast<uint64_t>(dst.height);
    const uint64_t n = static_cast<uint64_t>(channels);

    struct Column {
        uint64_t q0, q1, fx;
    };
    std::vector<Column> columns(dst.width);
    for (uint64_t x = 0; x < w; ++x) {
        const uint64_t q = x * sw / w;
        columns[x] = {q * n, (q + 1 < sw ? q + 1 : q) * n, x * sw % w};
    }
    // The weighted sum is exact in integers; its divisor w x h is checked so
    // that the sum stays inside 64 bits, else long double takes over.
    const uint64_t divisor = w * h;
    const bool exact = w < (1ull << 31) && h < (1ull << 31) && divisor < (1ull << 46);

    for (uint64_t y = 0; y < h; ++y) {
        const uint64_t qy = y * sh / h;
        const uint64_t fy = y * sh % h;
        const uint8_t* r0 = src.Row(static_cast<int>(qy));
        const uint8_t* r1 = src.Row(static_cast<int>(qy + 1 < sh ? qy + 1 : qy));
        uint8_t* out = dst.Row(static_cast<int>(y));
        for (uint64_t x = 0; x < w; ++x) {
            const Column& col = columns[x];
            for (uint64_t c = 0; c < n; ++c) {
                const uint64_t p00 = Sample(r0, col.q0 + c, bytesPerSample);
                const uint64_t p10 = Sample(r0, col.q1 + c, bytesPerSample);
                const uint64_t p01 = Sample(r1, col.q0 + c, bytesPerSample);
                const uint64_t p11 = Sample(r1, col.q1 + c, bytesPerSample);
                const uint64_t lower = p11 * col.fx + p01 * (w - col.fx);
                const uint64_t upper = p10 * col.fx + p00 * (w - col.fx);
                uint64_t v;
                if (exact)
                    v = (lower * fy + upper * (h - fy)) / divisor;
                else
                    v = static_cast<uint64_t>(
                        (static_cast<long double>(lower) * fy + static_cast<long double>(upper) * (h - fy)) /
                        (static_cast<long double>(w) * h));
                PutSample(out, x * n + c, bytesPerSample, static_cast<uint32_t>(v));
            }
        }
    }
}

void Bicubic(const RasterView& src, const RasterView& dst, int channels, int bytesPerSample)
{
    const uint64_t n = static_cast<uint64_t>(channels);
    if (src.width == dst.width && src.height == dst.height) {
        CopyRows(src, dst, static_cast<uint64_t>(dst.width) * n * bytesPerSample);
        return;
    }
    // Four taps cannot reduce: fine detail would come out as moire. A
    // reduction on either axis takes the widening kernel.
    if (dst.width < src.width || dst.height < src.height) {
        Filter(src, channels, bytesPerSample, Kernel::Cubic, dst.width, dst.height, 0, 0, dst, channels);
        return;
    }
    // Along x first, then along y. The second pass reads four consecutive
    // source rows whose indices never go back, so four row slots (row r in
    // slot r mod 4) hold every first-pass row it needs, each made once.
    const uint64_t rowBytes = static_cast<uint64_t>(dst.width) * n * bytesPerSample;
    const std::vector<Tap> across = src.width == dst.width ? std::vector<Tap>() : PlanAxis(dst.width, src.width);
    const std::vector<Tap> down = PlanAxis(dst.height, src.height);
    std::vector<uint8_t> slots(across.empty() ? 0 : rowBytes * 4);
    int64_t slotRow[4] = {-1, -1, -1, -1};
    const auto firstPass = [&](uint32_t r) -> const uint8_t* {
        if (across.empty())
            return src.Row(static_cast<int>(r));
        uint8_t* slot = slots.data() + (r & 3) * rowBytes;
        if (slotRow[r & 3] != r) {
            CubicRow(src.Row(static_cast<int>(r)), slot, across, channels, bytesPerSample);
            slotRow[r & 3] = r;
        }
        return slot;
    };
    const uint64_t samples = static_cast<uint64_t>(dst.width) * n;
    for (int y = 0; y < dst.height; ++y) {
        const Tap& tap = down[y];
        if (src.height == dst.height) {
            std::memcpy(dst.Row(y), firstPass(static_cast<uint32_t>(y)), rowBytes);
            continue;
        }
        const uint8_t* rows[4];
        for (int k = 0; k < 4; ++k)
            rows[k] = firstPass(tap.index[k]);
        CubicColumn(rows, dst.Row(y), tap, samples, bytesPerSample);
    }
}

void Nearest(const RasterView& src, const RasterView& dst, int bitsPerPixel)
{
    const int bits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
    const uint64_t sw = static_cast<uint64_t>(src.width), sh = static_cast<uint64_t>(src.height);
    const uint64_t w = static_cast<uint64_t>(dst.width), h = static_cast<uint64_t>(dst.height);
    std::vector<uint64_t> columns(dst.width);
    for (uint64_t x = 0; x < w; ++x)
        columns[x] = x * sw / w;
    for (uint64_t y = 0; y < h; ++y) {
        const uint8_t* in = src.Row(static_cast<int>(y * sh / h));
        uint8_t* out = dst.Row(static_cast<int>(y));
        if (bits % 8 == 0) {
            const uint64_t bytes = static_cast<uint64_t>(bits / 8);
            for (uint64_t x = 0; x < w; ++x)
                std::memcpy(out + x * bytes, in + columns[x] * bytes, bytes);
        } else {
            for (uint64_t x = 0; x < w; ++x)
                pixrow::SetBits(out, x, bits, pixrow::GetBits(in, columns[x], bits));
        }
    }
}

} // namespace resample

int BlendOverlayChannel(int d, int s, int p)
{
    const int v = d < 128 ? s * 2 * d / 255 : 255 - (255 - s) * (255 - 2 * (d - 128)) / 255;
    return (100 - p) * d / 100 + v * p / 100;
}

int BlendSoftChannel(int d, int s, int p)
{
    if (s > 127)
        return 255 - (255 - 2 * (s - 128) * p / 100) * (255 - d) / 255;
    return (2 * s * p / 100 + (100 - p) * 255 / 100) * d / 255;
}

int BlendChannel(int mode, int d, int s, int p)
{
    const int normal = s * p / 100 + (100 - p) * d / 100;
    switch (mode) {
    case 0: return normal;
    case 1: return (s * p / 100 + (100 - p) * 255 / 100) * d / 255;
    case 2: return 255 - (255 - s * p / 100) * (255 - d) / 255;
    case 3: return BlendOverlayChannel(d, s, p);
    case 4: return BlendOverlayChannel(d, s, 50) * p / 100 + (100 - p) * d / 100;
    case 5: return BlendSoftChannel(d, s, p);
    case 6: return std::abs(d - s * p / 100);
    case 7: return std::max(d, normal);
    case 8: return std::min(d, normal);
    default: return d;
    }
}
