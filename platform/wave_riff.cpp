#include "platform/wave_riff.h"

#include <optional>

namespace {

constexpr uint32_t FourCC(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kWave = FourCC("WAVE");
constexpr uint32_t kFmt = FourCC("fmt ");
constexpr uint32_t kData = FourCC("data");
constexpr uint32_t kPcmFmtBytes = 16;
constexpr uint32_t kHeaderBytes = 44;

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(v >> shift));
}

} // namespace

bool ReadWaveRiff(std::span<const uint8_t> bytes, WaveRiff& out, ByteReadError* why, uint64_t maxBytes)
{
    ByteReader r(bytes);
    auto fail = [&](ByteReadError e) {
        r.Fail(e);
        if (why)
            *why = r.Error();
        return false;
    };
    if (!r.WithinLimit(bytes.size(), maxBytes))
        return fail(ByteReadError::OverLimit);
    auto riff = r.U32();
    auto riffSize = r.U32();
    auto form = r.U32();
    if (!form)
        return fail(ByteReadError::Truncated);
    if (*riff != kRiff || *form != kWave)
        return fail(ByteReadError::Malformed);
    // The form's size counts from its form type on, and must be there.
    if (!r.Fits(8, *riffSize) || *riffSize < 4)
        return fail(ByteReadError::Truncated);
    const uint64_t formEnd = 8 + uint64_t(*riffSize);

    std::optional<std::span<const uint8_t>> fmt, data;
    while (r.Position() + 8 <= formEnd && !(fmt && data)) {
        const uint32_t id = *r.U32();
        const uint32_t size = *r.U32();
        if (size > formEnd - r.Position())
            return fail(ByteReadError::Truncated);
        auto body = r.Take(size);
        if (id == kFmt && !fmt)
            fmt = body;
        else if (id == kData && !data)
            data = body;
        // Odd chunks carry a pad byte; some writers leave it off the last one.
        if (size % 2 && r.Position() < formEnd)
            r.Skip(1);
    }
    if (!fmt || !data)
        return fail(ByteReadError::Malformed);

    ByteReader f(*fmt);
    WAVEFORMATEX format;
    if (fmt->size() < kPcmFmtBytes)
        return fail(ByteReadError::Truncated);
    format.wFormatTag = *f.U16();
    format.nChannels = *f.U16();
    format.nSamplesPerSec = *f.U32();
    format.nAvgBytesPerSec = *f.U32();
    format.nBlockAlign = *f.U16();
    format.wBitsPerSample = *f.U16();
    format.cbSize = f.Remaining() >= 2 ? *f.U16() : 0;
    // Fewer than 8 bits, no channels or no rate would divide by zero further on.
    if (!IsSupportedPcmFormat(format))
        return fail(ByteReadError::Malformed);
    out.format = format;
    out.data = *data;
    if (why)
        *why = ByteReadError::None;
    return true;
}

std::vector<uint8_t> BuildWaveRiff(const WAVEFORMATEX& format, std::span<const std::span<const uint8_t>> pieces)
{
    if (!IsSupportedPcmFormat(format))
        return {};
    uint64_t dataBytes = 0;
    for (auto piece : pieces)
        dataBytes += piece.size();
    const uint64_t pad = dataBytes % 2;
    // The form's size field holds everything after it.
    if (kHeaderBytes - 8 + dataBytes + pad > UINT32_MAX)
        return {};
    const uint16_t blockAlign = uint16_t(PcmFrameBytes(format));
    std::vector<uint8_t> out;
    out.reserve(size_t(kHeaderBytes + dataBytes + pad));
    Put32(out, kRiff);
    Put32(out, uint32_t(kHeaderBytes - 8 + dataBytes + pad));
    Put32(out, kWave);
    Put32(out, kFmt);
    Put32(out, kPcmFmtBytes);
    Put16(out, WAVE_FORMAT_PCM);
    Put16(out, format.nChannels);
    Put32(out, format.nSamplesPerSec);
    Put32(out, format.nSamplesPerSec * blockAlign);
    Put16(out, blockAlign);
    Put16(out, format.wBitsPerSample);
    Put32(out, kData);
    Put32(out, uint32_t(dataBytes));
    for (auto piece : pieces)
        out.insert(out.end(), piece.begin(), piece.end());
    if (pad)
        out.push_back(0);
    return out;
}
