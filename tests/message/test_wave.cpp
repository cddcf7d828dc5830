#include "message/wave.h"
#include "message/wave_player.h"

#include "platform/archive.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "platform/registry.h"
#include "platform/replace_file_calls.h"
#include "platform/wave_riff.h"
#include "util/reg_settings.h"
#include "message_fixtures.h"
#include "support/alsa_test_device.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using msgtest::SampleRamp;
using msgtest::SoundSamples;

Bytes Joined(const Bytes& a, const Bytes& b)
{
    Bytes r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

// A sound of the given samples in a format of its own, through a WAV file in memory.
std::unique_ptr<CWave> Sound(const Bytes& samples, WORD channels = 1, DWORD rate = 11025, WORD bits = 8,
                             BOOL autoDelete = FALSE)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    const std::span<const uint8_t> pieces[] = {samples};
    auto w = std::make_unique<CWave>(autoDelete);
    EXPECT_TRUE(w->ReadFromMemory(BuildWaveRiff(f, pieces)));
    return w;
}

// Answers message boxes and keeps their texts.
struct MessageBoxes {
    std::vector<std::string> texts;
    MessageBoxHandler old;
    MessageBoxes()
    {
        old = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            texts.push_back(text);
            return IDOK;
        });
    }
    ~MessageBoxes() { SetMessageBoxHandler(old); }
};

struct Listener : CWaveNotify {
    int ended = 0;
    std::vector<CWave*> endedSounds;
    int captured = 0;
    int captureEnded = 0;
    void PlayEnded(CWave* w) override
    {
        ++ended;
        endedSounds.push_back(w);
    }
    void BlockCaptured(CWave*, CWaveBlock*) override { ++captured; }
    void CaptureEnded(CWave*) override { ++captureEnded; }
};

// Every test leaves the shared player as it found it: idle and closed.
class WaveTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_TRUE(uitest::WaitFor([] { return CWave::SharedPlayer().GetQueuedCount() == 0; }));
        EXPECT_FALSE(CWave::SharedPlayer().IsOpen());
    }
};

TEST(Wave, CreateTakesTheProgramsRatesAndDepthsOnly)
{
    CWave w;
    EXPECT_EQ(w.GetFormat().nSamplesPerSec, 11025u);
    EXPECT_EQ(w.GetFormat().wBitsPerSample, 8);
    EXPECT_EQ(w.GetFormat().nChannels, 1);
    EXPECT_TRUE(w.Create(11025, 8, 0));
    EXPECT_TRUE(w.GetBlocks().IsEmpty());
    EXPECT_EQ(w.TotalSamples(), 0u);

    ASSERT_TRUE(w.Create(8000, 16, 100));
    ASSERT_EQ(w.GetBlocks().GetCount(), 1u);
    EXPECT_EQ(w.GetBlocks().GetAt(0)->m_dwSize, 200u);
    EXPECT_EQ(w.TotalSamples(), 100u);
    EXPECT_EQ(w.GetFormat().nAvgBytesPerSec, 16000u);
    EXPECT_EQ(w.GetFormat().nBlockAlign, 2);

    struct Row {
        DWORD rate;
        WORD bits;
    } refused[] = {{16000, 8}, {0, 8}, {11025, 4}, {11025, 24}, {48000, 16}};
    for (const Row& r : refused) {
        EXPECT_FALSE(w.Create(r.rate, r.bits, 10)) << r.rate << " " << r.bits;
        EXPECT_EQ(w.TotalSamples(), 100u);
        EXPECT_EQ(w.GetFormat().nSamplesPerSec, 8000u);
    }
    // More than a sound may hold is refused before anything is allocated.
    EXPECT_FALSE(w.Create(44100, 16, 0xFFFFFFFFu));
}

TEST(Wave, WriteThenReadGivesTheSameBytesAndFormat)
{
    qrtest::TempDir dir;
    const Bytes odd = SampleRamp(11025 * 2 + 1);
    auto w = Sound(odd);
    ASSERT_EQ(w->GetBlocks().GetCount(), 1u);
    EXPECT_EQ(w->TotalSamples(), odd.size());
    const std::string path = (dir / "take.wav").string();
    ASSERT_TRUE(w->WriteWav(path));
    const Bytes file = qrtest::ReadBytes(path);
    ASSERT_EQ(file.size(), 44 + odd.size() + 1);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end() - 1), odd);
    EXPECT_EQ(file.back(), 0); // the pad byte of odd data

    CWave back;
    ASSERT_TRUE(back.LoadFile(path.c_str()));
    EXPECT_EQ(back.GetFormat(), w->GetFormat());
    EXPECT_EQ(SoundSamples(back), odd);
    ASSERT_TRUE(back.WriteWav((dir / "again.wav").string()));
    EXPECT_EQ(qrtest::ReadBytes(dir / "again.wav"), file);

    // 16-bit stereo keeps its channels; its length counts frames, a sample of both channels.
    auto stereo = Sound(SampleRamp(400), 2, 22050, 16);
    EXPECT_EQ(stereo->TotalSamples(), 100u);
    ASSERT_TRUE(stereo->WriteWav(path));
    CWave stereoBack;
    ASSERT_TRUE(stereoBack.LoadFile(path.c_str()));
    EXPECT_EQ(stereoBack.GetFormat().nChannels, 2);
    EXPECT_EQ(stereoBack.GetFormat().nBlockAlign, 4);
    EXPECT_EQ(stereoBack.GetFormat().nAvgBytesPerSec, 22050u * 4);

    // Blocks are written one after the other.
    CWave two;
    two.GetBlocks().AddTail(std::make_unique<CWaveBlock>(std::vector<uint8_t>{1, 2, 3}));
    two.GetBlocks().AddTail(std::make_unique<CWaveBlock>(std::vector<uint8_t>{4, 5}));
    const Bytes bytes = two.GetWavBytes();
    EXPECT_EQ(Bytes(bytes.begin() + 44, bytes.end()), (Bytes{1, 2, 3, 4, 5, 0}));
}

TEST(Wave, UnreadableFilesAreRefusedAndSaySo)
{
    qrtest::TempDir dir;
    MessageBoxes boxes;
    Bytes fourBit = Sound(SampleRamp(10))->GetWavBytes();
    fourBit[34] = 4;
    qrtest::WriteBytes(dir / "four.wav", fourBit);
    qrtest::WriteBytes(dir / "text.wav", Bytes{'h', 'e', 'l', 'l', 'o'});

    auto w = Sound(SampleRamp(10));
    const WAVEFORMATEX before = w->GetFormat();
    EXPECT_FALSE(w->LoadFile((dir / "four.wav").c_str()));
    EXPECT_TRUE(w->GetBlocks().IsEmpty());
    EXPECT_EQ(w->GetFormat(), before);
    EXPECT_FALSE(w->LoadFile((dir / "text.wav").c_str()));
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_NE(boxes.texts[0].find("cannot be read"), std::string::npos) << boxes.texts[0];

    // A file that is not there is only FALSE.
    EXPECT_FALSE(w->LoadFile((dir / "missing.wav").c_str()));
    EXPECT_EQ(boxes.texts.size(), 2u);

    // A file larger than a sound may be is refused before it is read whole.
    {
        std::ofstream big(dir / "big.wav", std::ios::binary);
        const Bytes head = Sound(SampleRamp(10))->GetWavBytes();
        big.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    }
    std::filesystem::resize_file(dir / "big.wav", kMaxWaveFileBytes + 1);
    EXPECT_FALSE(w->LoadFile((dir / "big.wav").c_str()));
    EXPECT_EQ(boxes.texts.size(), 3u);
}

// WAV files as other programs and recorders leave them: each is read whole,
// or refused with a message that names its own cause and the file.
TEST(Wave, FilesFromOtherProgramsAreReadOrRefusedForTheirOwnReason)
{
    qrtest::TempDir dir;
    MessageBoxes boxes;
    const std::filesystem::path data = QR_TEST_DATA_DIR;
    const Bytes samples = SampleRamp(400);
    const Bytes plain = Sound(samples, 2, 8000, 16)->GetWavBytes(); // RIFF size at 4, data size at 40
    auto patched = [](Bytes b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
        return b;
    };
    // A "JUNK" chunk of odd length (with its pad byte) in front of fmt.
    Bytes junkFirst(plain.begin(), plain.begin() + 12);
    for (uint8_t c : Bytes{'J', 'U', 'N', 'K', 3, 0, 0, 0, 'a', 'b', 'c', 0})
        junkFirst.push_back(c);
    junkFirst.insert(junkFirst.end(), plain.begin() + 12, plain.end());
    junkFirst = patched(junkFirst, 4, uint32_t(junkFirst.size() - 8));
    const Bytes ext24 = qrtest::ReadBytes(data / "sound_ext24_mono.wav");
    const Bytes half(ext24.begin(), ext24.begin() + long(ext24.size() / 2));
    Bytes extFloat = ext24;
    extFloat[44] = 3; // the sub-format's tag: IEEE float
    Bytes deep = plain;
    deep[34] = 64;
    Bytes crowded = plain;
    crowded[22] = 96;

    struct Row {
        const char* what;
        Bytes file;
        WORD channels; // 0: refused
        WORD bits;
        DWORD frames;
        Bytes firstBytes; // the first sample bytes as the sound holds them
        std::string message;
    } rows[] = {
        {"24-bit, extensible fmt (sox)", ext24, 1, 24, 400, {}, ""},
        {"16-bit, 4 channels, extensible fmt (sox)", qrtest::ReadBytes(data / "sound_ext16_4ch.wav"), 4, 16, 160, {},
         ""},
        {"RIFX, 16-bit stereo (sox)", qrtest::ReadBytes(data / "sound_rifx16_stereo.wav"), 2, 16, 160,
         {0x47, 0x03, 0x47, 0x03, 0x0A, 0x1E}, ""},
        {"RIFF size 0", patched(plain, 4, 0), 2, 16, 100, samples, ""},
        {"RIFF size 0xFFFFFFFF", patched(plain, 4, 0xFFFFFFFF), 2, 16, 100, samples, ""},
        {"data size 0", patched(plain, 40, 0), 2, 16, 100, samples, ""},
        {"data size 0xFFFFFFFF", patched(plain, 40, 0xFFFFFFFF), 2, 16, 100, samples, ""},
        {"both sizes 0xFFFFFFFF", patched(patched(plain, 4, 0xFFFFFFFF), 40, 0xFFFFFFFF), 2, 16, 100, samples, ""},
        {"an odd chunk before fmt", junkFirst, 2, 16, 100, samples, ""},
        {"cut in half", half, 0, 0, 0, {}, "damaged at byte " + std::to_string(half.size())},
        {"32-bit float (sox)", qrtest::ReadBytes(data / "sound_float32.wav"), 0, 0, 0, {}, "not PCM (format 3)"},
        {"float in the extensible fmt", extFloat, 0, 0, 0, {}, "not PCM (format 3)"},
        {"64 bits a sample", deep, 0, 0, 0, {}, "64 bits per sample are not supported"},
        {"96 channels", crowded, 0, 0, 0, {}, "96 channels at 8000 samples per second"},
        {"not a wave file", Bytes{'h', 'e', 'l', 'l', 'o'}, 0, 0, 0, {}, "not a wave file"},
    };
    const std::string path = (dir / "sound.wav").string();
    for (const Row& row : rows) {
        qrtest::WriteBytes(path, row.file);
        boxes.texts.clear();
        CWave w;
        const BOOL read = w.LoadFile(path.c_str());
        if (!row.channels) {
            EXPECT_FALSE(read) << row.what;
            EXPECT_TRUE(w.GetBlocks().IsEmpty()) << row.what;
            ASSERT_EQ(boxes.texts.size(), 1u) << row.what;
            EXPECT_NE(boxes.texts[0].find(row.message), std::string::npos) << row.what << ": " << boxes.texts[0];
            EXPECT_NE(boxes.texts[0].find(path), std::string::npos) << row.what << ": " << boxes.texts[0];
            continue;
        }
        ASSERT_TRUE(read) << row.what << ": " << (boxes.texts.empty() ? "" : boxes.texts[0]);
        EXPECT_EQ(w.GetFormat().wFormatTag, WAVE_FORMAT_PCM) << row.what;
        EXPECT_EQ(w.GetFormat().nChannels, row.channels) << row.what;
        EXPECT_EQ(w.GetFormat().wBitsPerSample, row.bits) << row.what;
        EXPECT_EQ(w.TotalSamples(), row.frames) << row.what;
        const Bytes held = SoundSamples(w);
        EXPECT_EQ(held.size(), row.frames * row.channels * (row.bits / 8u)) << row.what;
        ASSERT_GE(held.size(), row.firstBytes.size()) << row.what;
        EXPECT_EQ(Bytes(held.begin(), held.begin() + long(row.firstBytes.size())), row.firstBytes) << row.what;
        // What was read is written back as plain PCM and reads the same.
        CWave again;
        ASSERT_TRUE(again.ReadFromMemory(w.GetWavBytes())) << row.what;
        EXPECT_EQ(SoundSamples(again), held) << row.what;
    }
}

TEST(Wave, LoadFileWithoutPathAsksForOneAndReadsFromTheFilesPosition)
{
    qrtest::TempDir dir;
    const Bytes samples = SampleRamp(30);
    const Bytes wav = Sound(samples)->GetWavBytes();
    qrtest::WriteBytes(dir / "voice.WAV", wav);

    // The file dialog as a user answers it: cancelled, then a file picked.
    static std::string s_asked, s_pick;
    s_asked.clear();
    s_pick.clear();
    FileDialogHandler old = SetFileDialogHandler(
        [](std::string& path, BOOL open, const std::string&, const std::string& filter) -> BOOL {
            s_asked = filter;
            if (!open || s_pick.empty())
                return FALSE;
            path = s_pick;
            return TRUE;
        });
    CWave w;
    EXPECT_FALSE(w.LoadFile(nullptr));
    EXPECT_NE(s_asked.find("*.WAV"), std::string::npos);
    s_pick = (dir / "voice.WAV").string();
    EXPECT_TRUE(w.LoadFile(""));
    EXPECT_EQ(SoundSamples(w), samples);
    SetFileDialogHandler(old);

    // From an open file: what stands from its position on.
    Bytes prefixed = {'x', 'y', 'z'};
    prefixed.insert(prefixed.end(), wav.begin(), wav.end());
    CMemFile file(prefixed);
    file.Seek(3, CFile::begin);
    CWave fromFile;
    ASSERT_TRUE(fromFile.ReadFromFileHandle(file));
    EXPECT_EQ(SoundSamples(fromFile), samples);
}

TEST(Wave, FailedWriteKeepsTheOldFile)
{
    qrtest::TempDir dir;
    auto w = Sound(SampleRamp(10));
    EXPECT_FALSE(w->WriteWav((dir / "no" / "such.wav").string()));
    const auto old = dir / "old.wav";
    qrtest::WriteBytes(old, Bytes{'o', 'l', 'd'});
    // A full disk.
    ReplaceFileCalls full = SystemReplaceFileCalls();
    full.write = [](int, const void*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    const ReplaceFileCalls* before = SetReplaceFileCalls(&full);
    const BOOL written = w->WriteWav(old.string());
    SetReplaceFileCalls(before);
    EXPECT_FALSE(written);
    EXPECT_EQ(qrtest::ReadBytes(old), (Bytes{'o', 'l', 'd'}));
}

TEST(Wave, CopiesAreDeep)
{
    auto w = Sound(SampleRamp(20), 1, 22050, 16);
    CWave copy(*w);
    EXPECT_EQ(copy.GetFormat(), w->GetFormat());
    EXPECT_EQ(SoundSamples(copy), SoundSamples(*w));
    EXPECT_NE(copy.GetBlocks().GetAt(0)->GetData(), w->GetBlocks().GetAt(0)->GetData());
    CWave other;
    other.CopyFrom(*w);
    EXPECT_EQ(other.GetFormat().nSamplesPerSec, 22050u);
    EXPECT_EQ(other.TotalSamples(), 10u);
}

TEST(Wave, ArchiveFormRoundTripAndRefusals)
{
    CWave w;
    w.Create(22050, 16, 0);
    auto first = std::make_unique<CWaveBlock>(std::vector<uint8_t>{1, 2, 3, 4});
    first->m_dwSamples = 2;
    w.GetBlocks().AddTail(std::move(first));
    auto second = std::make_unique<CWaveBlock>(std::vector<uint8_t>{5, 6});
    second->m_dwSamples = 1;
    w.GetBlocks().AddTail(std::move(second));

    CMemFile out;
    {
        CArchive ar(&out, CArchive::store);
        w.Serialize(ar);
    }
    const Bytes stored = out.Data();
    // The format, the count, the class brought by the first block, named by index after.
    const Bytes head = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 0, 0, 2, 0, 0xFF, 0xFF, 0, 0, 10, 0};
    ASSERT_GT(stored.size(), head.size());
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + long(head.size())), head);
    EXPECT_EQ(std::string(stored.begin() + 26, stored.begin() + 36), "CWaveBlock");
    EXPECT_EQ(Bytes(stored.begin() + 36, stored.end()),
              (Bytes{2, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4, 0x01, 0x80, 1, 0, 0, 0, 2, 0, 0, 0, 5, 6}));

    CWave back;
    {
        CMemFile in(stored);
        CArchive ar(&in, CArchive::load);
        back.Serialize(ar);
    }
    EXPECT_EQ(back.GetFormat(), w.GetFormat());
    ASSERT_EQ(back.GetBlocks().GetCount(), 2u);
    EXPECT_EQ(back.TotalSamples(), 3u);
    EXPECT_EQ(SoundSamples(back), (Bytes{1, 2, 3, 4, 5, 6}));

    struct Row {
        const char* what;
        size_t at;
        Bytes bytes;
    } rows[] = {
        {"4-bit format", 14, {4, 0}},
        {"a count beyond the bytes", 18, {0xFF, 0x00}},
        {"no class for the first block", 20, {0x01, 0x80}},
        {"another schema", 22, {1, 0}},
        {"another class", 26, {'X'}},
        {"the second block names an object read before", 48, {0x02, 0x00}},
        {"a block larger than what follows", 40, {0xFF, 0xFF, 0, 0}},
        {"more samples than bytes", 36, {3, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        Bytes bad = stored;
        std::copy(r.bytes.begin(), r.bytes.end(), bad.begin() + long(r.at));
        CMemFile in(bad);
        CArchive ar(&in, CArchive::load);
        EXPECT_THROW(back.Serialize(ar), CArchiveException) << r.what;
        EXPECT_EQ(back.TotalSamples(), 3u) << r.what;
    }
    Bytes cut(stored.begin(), stored.end() - 1);
    CMemFile in(cut);
    CArchive ar(&in, CArchive::load);
    EXPECT_THROW(back.Serialize(ar), CException);
    EXPECT_EQ(back.GetBlocks().GetCount(), 2u);
}

TEST_F(WaveTest, PlayedSamplesReachTheDeviceAndTheListenerHearsOnce)
{
    qrtest::AlsaTestDevice alsa;
    const Bytes samples = SampleRamp(5000);
    auto w = Sound(samples);
    Listener heard;
    ASSERT_TRUE(w->Play(nullptr, &heard));
    EXPECT_TRUE(w->IsPlaying());
    ASSERT_TRUE(uitest::WaitFor([&] { return heard.ended > 0; }));
    EXPECT_FALSE(w->IsPlaying());
    EXPECT_EQ(alsa.Played(), samples);

    // Two plays at once: both copies, one PlayEnded after the last block of both.
    ASSERT_TRUE(w->Play(nullptr, &heard));
    ASSERT_TRUE(w->Play(nullptr, &heard));
    EXPECT_EQ(CWave::SharedPlayer().GetQueuedCount(), 2);
    ASSERT_TRUE(uitest::WaitFor([&] { return CWave::SharedPlayer().GetQueuedCount() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(heard.ended, 2);
    EXPECT_EQ(alsa.Played(), Joined(samples, samples));
    EXPECT_FALSE(CWave::SharedPlayer().IsOpen()); // back to the system once quiet
}

// Tells when it goes.
class TrackedWave : public CWave {
public:
    TrackedWave(bool& gone) : CWave(TRUE), m_gone(gone) {}
    ~TrackedWave() override { m_gone = true; }

private:
    bool& m_gone;
};

TEST_F(WaveTest, AutoDeleteSoundGoesAfterItsLastBlock)
{
    qrtest::AlsaTestDevice alsa;
    bool gone = false;
    auto* w = new TrackedWave(gone);
    const Bytes ramp = SampleRamp(300);
    w->GetBlocks().AddTail(std::make_unique<CWaveBlock>(std::vector<uint8_t>(ramp.begin(), ramp.end())));
    w->GetBlocks().AddTail(std::make_unique<CWaveBlock>(std::vector<uint8_t>(300, 0x80)));
    Listener heard;
    ASSERT_TRUE(w->Play(nullptr, &heard));
    EXPECT_FALSE(gone);
    ASSERT_TRUE(uitest::WaitFor([&] { return gone; }));
    EXPECT_EQ(heard.ended, 1);

    // A play that cannot start does not leave it behind either.
    bool emptyGone = false;
    auto* empty = new TrackedWave(emptyGone);
    EXPECT_FALSE(empty->Play(nullptr, &heard));
    EXPECT_TRUE(emptyGone);
}

TEST_F(WaveTest, SoundDestroyedWhilePlayingHearsNothingMore)
{
    qrtest::AlsaTestDevice alsa;
    Listener heard;
    auto w = Sound(SampleRamp(20000));
    auto other = Sound(SampleRamp(100));
    ASSERT_TRUE(w->Play(nullptr, &heard));
    ASSERT_TRUE(other->Play(nullptr, &heard));
    // Its blocks' done notes are already on their way to the main thread.
    w.reset();
    ASSERT_TRUE(uitest::WaitFor([] { return CWave::SharedPlayer().GetQueuedCount() == 0; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(heard.ended, 1);
    EXPECT_EQ(heard.endedSounds[0], other.get());

    // Pausing, stopping and destroying a paused sound.
    auto paused = Sound(SampleRamp(100));
    ASSERT_TRUE(paused->Play(nullptr, &heard));
    paused->TogglePause();
    EXPECT_TRUE(paused->IsPaused());
    paused->TogglePause();
    EXPECT_FALSE(paused->IsPaused());
    paused->TogglePause();
    paused->Stop();
    EXPECT_FALSE(paused->IsPaused());
    paused.reset();
}

TEST_F(WaveTest, SoundsOfAnotherFormatFollowTheOnePlaying)
{
    qrtest::AlsaTestDevice alsa;
    Listener heard;
    const Bytes low = SampleRamp(1001), high = SampleRamp(4000, 3);
    auto a = Sound(low);
    auto b = Sound(high, 2, 44100, 16);
    ASSERT_TRUE(a->Play(nullptr, &heard));
    ASSERT_TRUE(b->Play(nullptr, &heard));
    ASSERT_TRUE(uitest::WaitFor([&] { return heard.ended == 2; }));
    EXPECT_EQ(alsa.Played(), Joined(low, high));
}

TEST_F(WaveTest, TheSettingNamesTheDevice)
{
    qrtest::AlsaTestDevice alsa;
    qrtest::TempDir settings;
    CRegistryStore store(settings.path(), settings / "machine");
    struct StoreInUse {
        explicit StoreInUse(CRegistryStore& s) { SetRegistryStore(&s); }
        ~StoreInUse() { SetRegistryStore(nullptr); }
    } inUse(store);
    RegWriteString(IDS_REG_PREFERENCE, "SoundDevice", "other");
    EXPECT_EQ(SoundDeviceName(), "other");
    Listener heard;
    auto w = Sound(SampleRamp(700));
    ASSERT_TRUE(w->Play(nullptr, &heard));
    ASSERT_TRUE(uitest::WaitFor([&] { return heard.ended == 1; }));
    EXPECT_EQ(alsa.Played("other.raw"), SampleRamp(700));
    EXPECT_TRUE(alsa.Played().empty());

    // A device that is not there: nothing queued, the reason kept.
    RegWriteString(IDS_REG_PREFERENCE, "SoundDevice", "qr_missing");
    EXPECT_FALSE(w->Play(nullptr, &heard));
    EXPECT_EQ(CWave::SharedPlayer().GetQueuedCount(), 0);
    EXPECT_NE(CWave::SharedPlayer().ErrorText().find("qr_missing"), std::string::npos);
    RegWriteString(IDS_REG_PREFERENCE, "SoundDevice", "");
    EXPECT_EQ(SoundDeviceName(), "default");
}

TEST_F(WaveTest, RecordingAppendsTheDeviceInputAsBlocks)
{
    const Bytes input = SampleRamp(9000, 11);
    qrtest::AlsaTestDevice alsa(input);
    Listener heard;
    CWaveRecorder recorder;
    CWave take;
    take.Create(11025, 8, 0);
    ASSERT_TRUE(take.Record(&recorder, &heard, input.size()));
    EXPECT_TRUE(recorder.IsRecording());
    ASSERT_TRUE(uitest::WaitFor([&] { return take.TotalSamples() == input.size(); }));
    take.Stop();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(heard.captureEnded, 1);
    EXPECT_EQ(heard.captured, int(take.GetBlocks().GetCount()));
    EXPECT_EQ(take.GetBlocks().GetAt(0)->m_dwSize, CWaveRecorder::kBufferBytes);
    EXPECT_EQ(SoundSamples(take), input);

    // A sound that goes while recording stops it without hearing of it.
    auto other = std::make_unique<CWave>();
    ASSERT_TRUE(other->Record(&recorder, &heard, 1 << 20));
    other.reset();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(heard.captureEnded, 1);
}

} // namespace
