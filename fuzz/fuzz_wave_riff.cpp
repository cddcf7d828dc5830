// A WAV file from someone else: a sound comment's bytes or a voice note. What
// is read must write back as a WAV file that reads the same.
#include "message/wave.h"
#include "platform/wave_riff.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    WaveRiff riff;
    const bool read = ReadWaveRiff(bytes, riff);
    CWave wave;
    if (wave.ReadFromMemory(bytes) != (read ? TRUE : FALSE))
        std::abort();
    if (!read)
        return 0;
    if (riff.data.data() < data || riff.data.data() + riff.data.size() > data + size)
        std::abort();
    CWave again;
    if (!again.ReadFromMemory(wave.GetWavBytes()) || again.TotalSamples() != wave.TotalSamples() ||
        again.GetFormat().nChannels != wave.GetFormat().nChannels ||
        again.GetFormat().nSamplesPerSec != wave.GetFormat().nSamplesPerSec)
        std::abort();
    return 0;
}
