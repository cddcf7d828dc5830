#include "platform/wave_riff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    for (int s = 0; s < 32; s += 8)
        b.push_back(uint8_t(v >> s));
}

void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A chunk as files from other programs have them: the size given (the
// body's own when none), the body, and the pad byte after odd bodies.
Bytes Chunk(const char* id, const Bytes& body, std::optional<uint32_t> size = {}, bool pad = true)
{
    Bytes b;
    PutId(b, id);
    Put32(b, size.value_or(uint32_t(body.size())));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2)
        b.push_back(0);
    return b;
}

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::optional<uint16_t> extra = {})
{
    Bytes b;
    const uint16_t align = uint16_t(channels * (bits / 8));
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    if (extra)
        Put16(b, *extra);
    return b;
}

Bytes Riff(const std::vector<Bytes>& chunks, std::optional<uint32_t> size = {}, const char* form = "WAVE")
{
    Bytes body;
    PutId(body, form);
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, size.value_or(uint32_t(body.size())));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

const Bytes kSamples{0x80, 0x81, 0x7F, 0x90, 0x10};

WAVEFORMATEX Format(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    return f;
}

TEST(WaveRiff, WrittenFileIsTheHeaderTheSamplesAndThePadByte)
{
    const Bytes first(kSamples.begin(), kSamples.begin() + 2), rest(kSamples.begin() + 2, kSamples.end());
    const std::span<const uint8_t> pieces[] = {first, rest};
    const Bytes file = BuildWaveRiff(Format(1, 11025, 8), pieces);
    // Field by field as a reader of WAV files expects them.
    const Bytes expected = Riff({Chunk("fmt ", Fmt(1, 1, 11025, 8)), Chunk("data", kSamples)});
    EXPECT_EQ(file, expected);
    ASSERT_EQ(file.size(), 44u + kSamples.size() + 1);
    EXPECT_EQ(file[4], 36 + kSamples.size() + 1); // the form counts the pad byte, the data chunk does not
    EXPECT_EQ(file[40], kSamples.size());
    EXPECT_EQ(file.back(), 0);

    WaveRiff read;
    ASSERT_TRUE(ReadWaveRiff(file, read));
    EXPECT_EQ(read.format.nChannels, 1);
    EXPECT_EQ(read.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(read.format.nAvgBytesPerSec, 11025u);
    EXPECT_EQ(read.format.nBlockAlign, 1);
    EXPECT_EQ(read.format.wBitsPerSample, 8);
    EXPECT_EQ(Bytes(read.data.begin(), read.data.end()), kSamples);
}

TEST(WaveRiff, WrittenFileKeepsItsChannelsAndDepth)
{
    const Bytes samples(8, 0x11);
    const std::span<const uint8_t> pieces[] = {samples};
    const Bytes file = BuildWaveRiff(Format(2, 44100, 16), pieces);
    EXPECT_EQ(file, Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", samples)}));
    EXPECT_TRUE(BuildWaveRiff(Format(0, 44100, 16), pieces).empty());
}

TEST(WaveRiff, ReadsWhatOtherProgramsWrite)
{
    const Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'});
    struct Row {
        const char* what;
        Bytes file;
        uint16_t extra;
    } rows[] = {
        {"chunks before and between, odd ones padded",
         Riff({list, Chunk("fmt ", Fmt(1, 1, 8000, 8, 0)), list, Chunk("data", kSamples), list}), 0},
        {"data before fmt", Riff({Chunk("data", kSamples), Chunk("fmt ", Fmt(1, 1, 8000, 8))}), 0},
        {"the last pad byte left off", Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("data", kSamples, {}, false)}), 0},
        {"a longer fmt chunk with its extra size", Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8, 22)), Chunk("data", kSamples)}),
         22},
    };
    for (const Row& row : rows) {
        WaveRiff read;
        ASSERT_TRUE(ReadWaveRiff(row.file, read)) << row.what;
        EXPECT_EQ(read.format.nSamplesPerSec, 8000u) << row.what;
        EXPECT_EQ(read.format.cbSize, row.extra) << row.what;
        EXPECT_EQ(Bytes(read.data.begin(), read.data.end()), kSamples) << row.what;
    }
}

// The extensible fmt chunk: the plain fields with tag 0xFFFE, then valid
// bits, channel mask and the sub-format (its tag, then the fixed part).
Bytes ExtFmt(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits, uint16_t subTag,
             uint16_t extra = 22)
{
    Bytes b = Fmt(0xFFFE, channels, rate, bits, extra);
    Put16(b, validBits);
    Put32(b, channels == 1 ? 4 : 3);
    Put32(b, subTag);
    for (uint8_t c : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        b.push_back(c);
    return b;
}

TEST(WaveRiff, ReadsPcmInTheExtensibleHeaderAndDepthsBetweenBytes)
{
    const Bytes data = Chunk("data", Bytes(12, 0x40));
    struct Row {
        const char* what;
        Bytes fmt;
        uint16_t channels, bits;
    } rows[] = {
        {"16 bits, extensible", ExtFmt(2, 48000, 16, 16, 1), 2, 16},
        {"20 valid bits of 24", ExtFmt(1, 48000, 24, 20, 1), 1, 24},
        {"12 bits in two bytes", [] { Bytes f = Fmt(1, 2, 48000, 12); f[12] = 4; return f; }(), 2, 16},
    };
    for (const Row& row : rows) {
        WaveRiff read;
        WaveReadFailure why;
        ASSERT_TRUE(ReadWaveRiff(Riff({Chunk("fmt ", row.fmt), data}), read, &why)) << row.what;
        EXPECT_EQ(read.format.wFormatTag, WAVE_FORMAT_PCM) << row.what;
        EXPECT_EQ(read.format.nChannels, row.channels) << row.what;
        EXPECT_EQ(read.format.wBitsPerSample, row.bits) << row.what;
        EXPECT_EQ(read.format.cbSize, 0) << row.what;
        EXPECT_EQ(read.data.size(), 12u) << row.what;
    }
}

TEST(WaveRiff, RefusesBrokenAndUnplayableFilesWithTheirCause)
{
    const Bytes fmt = Chunk("fmt ", Fmt(1, 1, 11025, 8));
    const Bytes data = Chunk("data", kSamples);
    const Bytes good = Riff({fmt, data});
    Bytes truncated(good.begin(), good.end() - 3);
    Bytes shortHead(good.begin(), good.begin() + 10);
    Bytes fmt15 = Fmt(1, 1, 11025, 8);
    fmt15.pop_back();
    Bytes unknownGuid = ExtFmt(1, 8000, 16, 16, 1);
    unknownGuid.back() ^= 0xFF;
    const uint64_t end = good.size();
    struct Row {
        const char* what;
        Bytes file;
        WaveFault fault;
        uint64_t at;
        uint32_t value;
    } rows[] = {
        {"empty", {}, WaveFault::NotWave, 0, 0},
        {"shorter than the form's head", shortHead, WaveFault::Damaged, 10, 0},
        {"not RIFF", [&] { Bytes b = good; b[0] = 'X'; return b; }(), WaveFault::NotWave, 0, 0},
        {"not WAVE", Riff({fmt, data}, {}, "AVI "), WaveFault::NotWave, 0, 0},
        {"cut off inside the data", truncated, WaveFault::Damaged, end - 3, 0},
        {"form longer than the file", Riff({fmt, data}, uint32_t(good.size())), WaveFault::Damaged, end, 0},
        {"form size near 4 GB", Riff({fmt, data}, 0xFFFFFFFEu), WaveFault::Damaged, end, 0},
        {"huge fmt chunk", Riff({Chunk("fmt ", Fmt(1, 1, 11025, 8), 0xFFFFFFF0u), data}), WaveFault::Damaged, end, 0},
        {"data chunk past the end", Riff({fmt, Chunk("data", kSamples, uint32_t(kSamples.size() + 2))}),
         WaveFault::Damaged, end, 0},
        {"data chunk past a form that ends before the file", Riff({fmt, data}, 4 + 24 + 8 + 2), WaveFault::Damaged,
         36, 0},
        {"no fmt chunk", Riff({data}), WaveFault::Damaged, end - 24, 0},
        {"no data chunk", Riff({fmt}), WaveFault::Damaged, 36, 0},
        {"fmt chunk too short", Riff({Chunk("fmt ", fmt15), data}), WaveFault::Damaged, 12, 0},
        {"extensible fmt without its extension", Riff({Chunk("fmt ", Fmt(0xFFFE, 1, 8000, 16, 0)), data}),
         WaveFault::Damaged, 12, 0},
        {"not PCM", Riff({Chunk("fmt ", Fmt(3, 1, 11025, 32)), data}), WaveFault::NotPcm, 0, 3},
        {"float, extensible", Riff({Chunk("fmt ", ExtFmt(1, 8000, 32, 32, 3)), data}), WaveFault::NotPcm, 0, 3},
        {"a sub-format of another family", Riff({Chunk("fmt ", unknownGuid), data}), WaveFault::NotPcm, 0, 0xFFFE},
        {"more valid bits than the container", Riff({Chunk("fmt ", ExtFmt(1, 8000, 16, 24, 1)), data}),
         WaveFault::BitsPerSample, 0, 16},
        {"4 bits a sample", Riff({Chunk("fmt ", Fmt(1, 1, 11025, 4)), data}), WaveFault::BitsPerSample, 0, 4},
        {"12 bits a sample in one byte", Riff({Chunk("fmt ", Fmt(1, 1, 11025, 12)), data}), WaveFault::BitsPerSample,
         0, 12},
        {"64 bits a sample", Riff({Chunk("fmt ", Fmt(1, 1, 11025, 64)), data}), WaveFault::BitsPerSample, 0, 64},
        {"no channels", Riff({Chunk("fmt ", Fmt(1, 0, 11025, 8)), data}), WaveFault::Format, 0, 0},
        {"too many channels", Riff({Chunk("fmt ", Fmt(1, kMaxPcmChannels + 1, 11025, 8)), data}), WaveFault::Format,
         0, kMaxPcmChannels + 1},
        {"no rate", Riff({Chunk("fmt ", Fmt(1, 1, 0, 8)), data}), WaveFault::Format, 0, 1},
        {"rate too high", Riff({Chunk("fmt ", Fmt(1, 1, kMaxPcmRate + 1, 8)), data}), WaveFault::Format, 0, 1},
    };
    for (const Row& row : rows) {
        WaveRiff read;
        WaveReadFailure why;
        EXPECT_FALSE(ReadWaveRiff(row.file, read, &why)) << row.what;
        EXPECT_EQ(int(why.fault), int(row.fault)) << row.what;
        EXPECT_EQ(why.at, row.at) << row.what;
        EXPECT_EQ(why.value, row.value) << row.what;
    }
    WaveRiff read;
    EXPECT_TRUE(ReadWaveRiff(Riff({Chunk("fmt ", Fmt(1, kMaxPcmChannels, kMaxPcmRate, 32)), data}), read));
}

TEST(WaveRiff, SizeLimitAtItAndOneByteBeyond)
{
    const Bytes good = Riff({Chunk("fmt ", Fmt(1, 1, 11025, 8)), Chunk("data", kSamples)});
    WaveRiff read;
    WaveReadFailure why;
    EXPECT_TRUE(ReadWaveRiff(good, read, &why, good.size()));
    EXPECT_FALSE(ReadWaveRiff(good, read, &why, good.size() - 1));
    EXPECT_EQ(int(why.fault), int(WaveFault::TooLarge));
}

} // namespace
