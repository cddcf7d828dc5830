#include "platform/sound.h"

#include "support/alsa_test_device.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

WaveSamples Samples(const Bytes& b) { return std::make_shared<const std::vector<uint8_t>>(b.begin(), b.end()); }

Bytes Ramp(size_t n, unsigned step = 7)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(i * step);
    return b;
}

Bytes Joined(const Bytes& a, const Bytes& b)
{
    Bytes r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

TEST(SoundFormat, SupportedFormatsAndFrameSizes)
{
    struct Row {
        WAVEFORMATEX f;
        uint32_t frame;
    } rows[] = {
        {Pcm(1, 11025, 8), 1},   {Pcm(2, 44100, 16), 4},     {Pcm(6, 48000, 24), 18},
        {Pcm(1, 8000, 32), 4},   {Pcm(1, 11025, 4), 0},      {Pcm(0, 11025, 8), 0},
        {Pcm(1, 0, 8), 0},       {Pcm(1, 11025, 12), 0},     {Pcm(65, 11025, 8), 0},
        {Pcm(1, 768001, 8), 0},  {[] { auto f = Pcm(1, 11025, 8); f.wFormatTag = 3; return f; }(), 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PcmFrameBytes(r.f), r.frame) << r.f.nChannels << " " << r.f.nSamplesPerSec << " " << r.f.wBitsPerSample;
        EXPECT_EQ(IsSupportedPcmFormat(r.f), r.frame != 0);
    }
}

struct Played {
    std::vector<uint64_t> ids;
    CWaveOut::DoneProc Proc()
    {
        return [this](uint64_t id) { ids.push_back(id); };
    }
};

TEST(WaveOut, PlaysBuffersInOrderAndReportsEachOnTheMainThread)
{
    qrtest::AlsaTestDevice alsa;
    const Bytes a = Ramp(3001), b = Ramp(1500, 3);
    Played played;
    CWaveOut out;
    ASSERT_TRUE(out.Open(kDefaultSoundDevice, Pcm(1, 11025, 8), [&](uint64_t id) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        played.ids.push_back(id);
    }));
    ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(a), 7));
    ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(b), 8));
    ASSERT_TRUE(uitest::WaitFor([&] { return played.ids.size() == 2; }));
    EXPECT_EQ(played.ids, (std::vector<uint64_t>{7, 8}));
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(alsa.Played(), Joined(a, b));
}

TEST(WaveOut, AnotherFormatIsSetUpOnceTheFirstHasPlayed)
{
    qrtest::AlsaTestDevice alsa;
    const Bytes low = Ramp(1001), high = Ramp(4000, 5);
    Played played;
    CWaveOut out;
    ASSERT_TRUE(out.Open(kDefaultSoundDevice, Pcm(1, 11025, 8), played.Proc()));
    EXPECT_TRUE(out.CanPlay(Pcm(2, 22050, 16)));
    ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(low), 1));
    ASSERT_TRUE(out.Write(Pcm(2, 22050, 16), Samples(high), 2));
    ASSERT_TRUE(uitest::WaitFor([&] { return played.ids.size() == 2; }));
    EXPECT_EQ(out.PlayingFormat(), Pcm(2, 22050, 16));
    out.Close();
    EXPECT_EQ(alsa.Played(), Joined(low, high));
}

TEST(WaveOut, PausedDeviceHoldsWhatIsWrittenUntilRestarted)
{
    qrtest::AlsaTestDevice alsa;
    const Bytes a = Ramp(2000);
    Played played;
    CWaveOut out;
    ASSERT_TRUE(out.Open(kDefaultSoundDevice, Pcm(1, 11025, 8), played.Proc()));
    out.Pause();
    ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(a), 1));
    QCoreApplication::processEvents();
    EXPECT_TRUE(played.ids.empty());
    out.Restart();
    ASSERT_TRUE(uitest::WaitFor([&] { return played.ids.size() == 1; }));
    out.Close();
    EXPECT_EQ(alsa.Played(), a);
}

TEST(WaveOut, ResetAndCloseGiveBackEveryBufferAndNothingComesAfterTheObjectGoes)
{
    qrtest::AlsaTestDevice alsa;
    Played played;
    {
        CWaveOut out;
        ASSERT_TRUE(out.Open(kDefaultSoundDevice, Pcm(1, 11025, 8), played.Proc()));
        out.Pause();
        for (uint64_t id = 1; id <= 3; ++id)
            ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(Ramp(500)), id));
        out.Reset();
        ASSERT_TRUE(uitest::WaitFor([&] { return played.ids.size() == 3; }));
        ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(Ramp(500)), 4));
        out.Close();
        ASSERT_TRUE(uitest::WaitFor([&] { return played.ids.size() == 4; }));
        EXPECT_FALSE(out.Write(Pcm(1, 11025, 8), Samples(Ramp(10)), 5));

        ASSERT_TRUE(out.Open(kDefaultSoundDevice, Pcm(1, 11025, 8), played.Proc()));
        out.Pause();
        ASSERT_TRUE(out.Write(Pcm(1, 11025, 8), Samples(Ramp(500)), 6));
    }
    // The buffer of the object that went is not reported to anyone.
    QCoreApplication::processEvents();
    EXPECT_EQ(played.ids, (std::vector<uint64_t>{1, 2, 3, 4}));
}

TEST(WaveOut, DeviceThatDoesNotExistIsNamedInTheReason)
{
    qrtest::AlsaTestDevice alsa;
    CWaveOut out;
    EXPECT_FALSE(out.Open("qr_no_such_device", Pcm(1, 11025, 8), nullptr));
    EXPECT_FALSE(out.IsOpen());
    EXPECT_NE(out.ErrorText().find("qr_no_such_device"), std::string::npos) << out.ErrorText();
    EXPECT_FALSE(out.Open(kDefaultSoundDevice, Pcm(0, 11025, 8), nullptr));
}

TEST(WaveIn, RecordsTheDeviceInputInBuffersUpToTheLimit)
{
    const Bytes input = Ramp(10000, 13);
    qrtest::AlsaTestDevice alsa(input);
    std::vector<Bytes> buffers;
    size_t total = 0;
    CWaveIn in;
    ASSERT_TRUE(in.Start(
        kDefaultSoundDevice, Pcm(1, 11025, 8), 4096, input.size(),
        [&](std::vector<uint8_t> b) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            total += b.size();
            buffers.emplace_back(b.begin(), b.end());
        },
        [](const std::string&) { ADD_FAILURE() << "the device did not fail"; }));
    ASSERT_TRUE(uitest::WaitFor([&] { return total == input.size(); }));
    in.Stop();
    ASSERT_EQ(buffers.size(), 3u);
    EXPECT_EQ(buffers[0].size(), 4096u);
    EXPECT_EQ(buffers[1].size(), 4096u);
    Bytes all;
    for (const Bytes& b : buffers)
        all.insert(all.end(), b.begin(), b.end());
    EXPECT_EQ(all, input);
}

TEST(WaveIn, StopHandsOverEverythingBeforeItReturns)
{
    const Bytes input = Ramp(6000, 3);
    qrtest::AlsaTestDevice alsa(input);
    Bytes all;
    CWaveIn in;
    // Whole 16-bit stereo frames: a buffer of 4098 bytes holds 1024 of them.
    ASSERT_TRUE(in.Start(
        kDefaultSoundDevice, Pcm(2, 22050, 16), 4098, uint64_t(1) << 30,
        [&](std::vector<uint8_t> b) {
            EXPECT_EQ(b.size() % 4, 0u);
            all.insert(all.end(), b.begin(), b.end());
        },
        nullptr));
    EXPECT_TRUE(in.IsOpen());
    in.Stop();
    EXPECT_FALSE(in.IsOpen());
    const size_t atStop = all.size();
    QCoreApplication::processEvents();
    EXPECT_EQ(all.size(), atStop);
    const size_t compared = std::min(all.size(), input.size());
    EXPECT_EQ(Bytes(all.begin(), all.begin() + compared), Bytes(input.begin(), input.begin() + compared));

    EXPECT_FALSE(in.Start("qr_no_such_device", Pcm(1, 11025, 8), 4096, 4096, nullptr, nullptr));
    EXPECT_NE(in.ErrorText().find("qr_no_such_device"), std::string::npos);
}

} // namespace
