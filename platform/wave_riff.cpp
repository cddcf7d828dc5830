#include "platform/wave_riff.h"

#include <algorithm>
#include <optional>

namespace {

constexpr uint32_t FourCC(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kRifx = FourCC("RIFX");
constexpr uint32_t kWave = FourCC("WAVE");
constexpr uint32_t kFmt = FourCC("fmt ");
constexpr uint32_t kData = FourCC("data");
constexpr uint32_t kPcmFmtBytes = 16;
constexpr uint32_t kHeaderBytes = 44;
// What a recorder writing to a stream leaves in a size it cannot go back to.
constexpr uint32_t kUnsetSize = 0xFFFFFFFF;
// The extensible fmt chunk: its extra bytes (valid bits, channel mask,
// sub-format) and the sub-format's fixed part, the same for every coding
// that has a plain format tag (the tag is its first field).
constexpr uint16_t kExtensible = 0xFFFE;
constexpr uint16_t kExtensibleBytes = 22;
constexpr uint16_t kBaseGuidVersion = 0x0010;
constexpr uint8_t kBaseGuidTail[] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A chunk or form id: four letters, in their own order whatever the file's byte order.
std::optional<uint32_t> ReadId(ByteReader& r)
{
    auto b = r.Take(4);
    if (!b)
        return std::nullopt;
    return uint32_t((*b)[0]) | uint32_t((*b)[1]) << 8 | uint32_t((*b)[2]) << 16 | uint32_t((*b)[3]) << 24;
}

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

bool ReadWaveRiff(std::span<const uint8_t> bytes, WaveRiff& out, WaveReadFailure* why, uint64_t maxBytes)
{
    ByteReader r(bytes);
    auto fail = [&](WaveFault fault, uint64_t at = 0, uint32_t value = 0, uint32_t rate = 0) {
        if (why)
            *why = WaveReadFailure{fault, at, value, rate};
        return false;
    };
    const uint64_t end = bytes.size();
    if (!r.WithinLimit(end, maxBytes))
        return fail(WaveFault::TooLarge);
    auto riff = ReadId(r);
    if (!riff || (*riff != kRiff && *riff != kRifx))
        return fail(WaveFault::NotWave);
    r.SetBigEndian(*riff == kRifx);
    auto riffSize = r.U32();
    auto form = ReadId(r);
    if (!form)
        return fail(WaveFault::Damaged, end);
    if (*form != kWave)
        return fail(WaveFault::NotWave);
    // The form's size counts from its form type on. A recorder that could not
    // go back to fill it in leaves 0 or all ones: the form is what is there.
    // Some writers count a last pad byte they left off.
    uint64_t formEnd = 8 + uint64_t(*riffSize);
    if (*riffSize == 0 || *riffSize == kUnsetSize || formEnd == end + 1)
        formEnd = end;
    else if (*riffSize < 4)
        return fail(WaveFault::Damaged, 4);
    if (formEnd > end)
        return fail(WaveFault::Damaged, end);

    std::optional<std::span<const uint8_t>> fmt, data;
    uint64_t fmtAt = 0;
    while (r.Position() + 8 <= formEnd && !(fmt && data)) {
        const uint64_t at = r.Position();
        const uint32_t id = *ReadId(r);
        uint64_t size = *r.U32();
        // Samples a recorder streamed without going back: to the form's end.
        if (id == kData && !data && (size == 0 || size == kUnsetSize))
            size = formEnd - r.Position();
        if (size > formEnd - r.Position())
            return fail(WaveFault::Damaged, formEnd < end ? at : end);
        auto body = r.Take(size);
        if (id == kFmt && !fmt) {
            fmt = body;
            fmtAt = at;
        } else if (id == kData && !data) {
            data = body;
        }
        // Odd chunks carry a pad byte; some writers leave it off the last one.
        if (size % 2 && r.Position() < formEnd)
            r.Skip(1);
    }
    if (!fmt || !data)
        return fail(WaveFault::Damaged, formEnd);

    ByteReader f(*fmt, r.BigEndian());
    WAVEFORMATEX format;
    if (fmt->size() < kPcmFmtBytes)
        return fail(WaveFault::Damaged, fmtAt);
    format.wFormatTag = *f.U16();
    format.nChannels = *f.U16();
    format.nSamplesPerSec = *f.U32();
    format.nAvgBytesPerSec = *f.U32();
    format.nBlockAlign = *f.U16();
    format.wBitsPerSample = *f.U16();
    format.cbSize = f.Remaining() >= 2 ? *f.U16() : 0;
    uint32_t coding = format.wFormatTag;
    if (coding == kExtensible) {
        // The coding is the sub-format's; the samples' container is the
        // bits per sample, of which the valid bits are the high ones.
        auto validBits = f.U16();
        auto channelMask = f.U32();
        auto guidHead = f.U32();
        auto guidMid = f.U16();
        auto guidVersion = f.U16();
        auto guidTail = f.Take(sizeof kBaseGuidTail);
        if (format.cbSize < kExtensibleBytes || !guidTail)
            return fail(WaveFault::Damaged, fmtAt);
        const bool known = *guidMid == 0 && *guidVersion == kBaseGuidVersion &&
                           std::equal(guidTail->begin(), guidTail->end(), std::begin(kBaseGuidTail));
        coding = known ? *guidHead : kExtensible;
        if (coding == WAVE_FORMAT_PCM && (*validBits > format.wBitsPerSample || format.wBitsPerSample % 8))
            return fail(WaveFault::BitsPerSample, 0, format.wBitsPerSample);
        (void)channelMask;
        // A sound keeps plain PCM; what the extension said is no longer needed.
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.cbSize = 0;
    }
    if (coding != WAVE_FORMAT_PCM)
        return fail(WaveFault::NotPcm, 0, coding);
    // A depth between whole bytes is stored in the next whole byte, high bits first.
    const uint32_t container = (format.wBitsPerSample + 7u) / 8u * 8u;
    if (format.wBitsPerSample > 8 && format.wBitsPerSample % 8 && format.nBlockAlign == format.nChannels * (container / 8))
        format.wBitsPerSample = WORD(container);
    if (format.wBitsPerSample < 8 || format.wBitsPerSample > 32 || format.wBitsPerSample % 8)
        return fail(WaveFault::BitsPerSample, 0, format.wBitsPerSample);
    // Fewer than 8 bits, no channels or no rate would divide by zero further on.
    if (!IsSupportedPcmFormat(format))
        return fail(WaveFault::Format, 0, format.nChannels, format.nSamplesPerSec);
    out.format = format;
    out.data = *data;
    out.bigEndian = r.BigEndian();
    if (why)
        *why = WaveReadFailure{};
    return true;
}

void SwapSampleBytes(std::span<uint8_t> samples, unsigned bytesPerSample)
{
    if (bytesPerSample < 2)
        return;
    for (size_t i = 0; i + bytesPerSample <= samples.size(); i += bytesPerSample)
        std::reverse(samples.begin() + i, samples.begin() + i + bytesPerSample);
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
