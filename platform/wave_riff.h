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
    WAVEFORMATEX format;            // the fmt chunk's first 16 bytes and, when it has one, its extra size
    std::span<const uint8_t> data;  // the data chunk's bytes, a view into the input
};

// Reads a WAV file. Refuses (false, with the reason when asked) what is not a
// RIFF "WAVE" form, lacks a "fmt " or "data" chunk, has a chunk that reaches
// past its form or the form past the bytes, or holds a format the program
// does not play (IsSupportedPcmFormat); a file above maxBytes is refused
// before anything in it is read.
bool ReadWaveRiff(std::span<const uint8_t> bytes, WaveRiff& out, ByteReadError* why = nullptr,
                  uint64_t maxBytes = kMaxWaveFileBytes);

// The bytes of a WAV file of the pieces in order: the 44-byte header (a fmt
// chunk of 16 bytes: PCM, format's channels, rate and bits, the block align
// and byte rate that follow from them), the data, and a pad byte after data
// of odd length. Empty when the format is not supported or the data would
// not fit the sizes of the form.
std::vector<uint8_t> BuildWaveRiff(const WAVEFORMATEX& format, std::span<const std::span<const uint8_t>> pieces);
