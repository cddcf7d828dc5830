#pragma once

#include "platform/byte_reader.h"
#include "platform/sound.h"

#include <cstdint>
#include <span>
#include <vector>

// WAV files: a RIFF form "WAVE" with a "fmt " and a "data" chunk. Read from
// bytes through the checked reader, every chunk size against the bytes that
// are really there; written field by field in little-endian order.

// The largest WAV file the program takes in (a sound comment holds the whole
// file, so this is also what one may carry).
inline constexpr uint64_t kMaxWaveFileBytes = 256u << 20;

struct WaveRiff {
    WAVEFORMATEX format;            // PCM: the fmt chunk's first 16 bytes (the container's bits) and its extra size
    std::span<const uint8_t> data;  // the data chunk's bytes, a view into the input
    bool bigEndian = false;         // a "RIFX" file: the samples are stored most significant byte first
};

// Why a WAV file was refused, for the message that names the cause.
enum class WaveFault : uint8_t {
    None = 0,
    NotWave,       // not a RIFF or RIFX form "WAVE"
    NotPcm,        // samples in another coding; value: its format tag (a sub-format's own tag)
    BitsPerSample, // PCM of a depth a sound cannot hold; value: the bits per sample
    Format,        // channels or rate out of range; value: the channels, rate: the rate
    Damaged,       // a size or field that does not fit; at: the byte where the file stops being what it says
    TooLarge,      // above the size limit
};

struct WaveReadFailure {
    WaveFault fault = WaveFault::None;
    uint64_t at = 0;
    uint32_t value = 0;
    uint32_t rate = 0;
};

// Reads a WAV file. Accepts PCM in a plain or an extensible fmt chunk (the
// samples' container decides the depth), chunks in any order, and the sizes
// 0 and 0xFFFFFFFF that recorders writing to a stream leave in the RIFF and
// data headers (the form, then the data, run to the end of the bytes).
// Refuses (false, with the cause when asked) what is not a WAVE form, has no
// "fmt " or "data" chunk, has a chunk that reaches past its form or the form
// past the bytes, or holds a format the program does not play
// (IsSupportedPcmFormat); a file above maxBytes is refused before anything
// in it is read.
bool ReadWaveRiff(std::span<const uint8_t> bytes, WaveRiff& out, WaveReadFailure* why = nullptr,
                  uint64_t maxBytes = kMaxWaveFileBytes);

// Samples of bytesPerSample bytes each turned from most to least significant
// byte first (a RIFX file's into the order a sound holds).
void SwapSampleBytes(std::span<uint8_t> samples, unsigned bytesPerSample);

// The bytes of a WAV file of the pieces in order: the 44-byte header (a fmt
// chunk of 16 bytes: PCM, format's channels, rate and bits, the block align
// and byte rate that follow from them), the data, and a pad byte after data
// of odd length. Empty when the format is not supported or the data would
// not fit the sizes of the form.
std::vector<uint8_t> BuildWaveRiff(const WAVEFORMATEX& format, std::span<const std::span<const uint8_t>> pieces);
