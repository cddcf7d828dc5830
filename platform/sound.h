#pragma once

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Sound devices over ALSA: playback of PCM buffers and capture into buffers,
// each on a thread of its own, with what the caller must hear of reported on
// the main thread.

// A PCM format as a WAV file's "fmt " chunk holds it.
struct WAVEFORMATEX {
    WORD wFormatTag = 0;
    WORD nChannels = 0;
    DWORD nSamplesPerSec = 0;
    DWORD nAvgBytesPerSec = 0;
    WORD nBlockAlign = 0;
    WORD wBitsPerSample = 0;
    WORD cbSize = 0;
    bool operator==(const WAVEFORMATEX&) const = default;
};
inline constexpr WORD WAVE_FORMAT_PCM = 1;

// The most channels and the highest rate a sound may have: far beyond what
// sound cards take, and small enough that the byte rate fits its field.
inline constexpr WORD kMaxPcmChannels = 64;
inline constexpr DWORD kMaxPcmRate = 768000;

// True for the formats the program reads, plays and records: PCM with 1 to
// kMaxPcmChannels channels, a rate of 1 to kMaxPcmRate and whole bytes of 8
// to 32 bits per sample. Everything that divides or multiplies by a format's
// sizes may rely on this.
bool IsSupportedPcmFormat(const WAVEFORMATEX& format);
// Bytes of one frame (a sample of every channel); 0 for an unsupported format.
uint32_t PcmFrameBytes(const WAVEFORMATEX& format);

// The ALSA device used when the settings name none.
inline constexpr const char* kDefaultSoundDevice = "default";

// Sample bytes shared between their owner and a device that plays them: the
// device holds its own reference until it is done, so an owner that frees
// them never leaves it reading freed memory.
using WaveSamples = std::shared_ptr<const std::vector<uint8_t>>;

// One playback device. Buffers play in the order written; each comes back
// through the done procedure, on the main thread, once it has been played or
// dropped by Reset or Close. Nothing reaches the procedure once the object is
// gone. All calls on the main thread.
class CWaveOut {
public:
    using DoneProc = std::function<void(uint64_t id)>;

    CWaveOut();
    ~CWaveOut();
    CWaveOut(const CWaveOut&) = delete;
    CWaveOut& operator=(const CWaveOut&) = delete;

    // Opens the ALSA device and sets it up for format. False, with the reason
    // in ErrorText, when it cannot be opened or cannot play the format.
    bool Open(const std::string& device, const WAVEFORMATEX& format, DoneProc done);
    bool IsOpen() const;
    // Whether the open device can play format (what plays goes on undisturbed).
    bool CanPlay(const WAVEFORMATEX& format);
    // The format the device is set up for now; all zero when closed.
    WAVEFORMATEX PlayingFormat() const;
    // Queues a buffer in format. A format other than the one playing takes
    // effect once everything before it has been heard. False when not open.
    bool Write(const WAVEFORMATEX& format, WaveSamples samples, uint64_t id);
    void Pause();
    void Restart();
    // Stops at once: every queued buffer is done.
    void Reset();
    // Reset, then the device is closed and its thread ended.
    void Close();
    const std::string& ErrorText() const;

private:
    struct Core;
    std::shared_ptr<Core> m_core;
};

// One capture device: fills buffers of a fixed size and hands each to the
// data procedure on the main thread. All calls on the main thread.
class CWaveIn {
public:
    using DataProc = std::function<void(std::vector<uint8_t> bytes)>;
    // The capture ended by itself: the device failed (its reason given).
    using EndProc = std::function<void(const std::string& reason)>;

    CWaveIn();
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the ALSA device and starts capturing in format, bufferBytes to a
    // buffer (whole frames), at most maxBytes in all. False, with the reason
    // in ErrorText, when the device cannot be opened or cannot record format.
    bool Start(const std::string& device, const WAVEFORMATEX& format, uint32_t bufferBytes, uint64_t maxBytes,
               DataProc data, EndProc end);
    bool IsOpen() const;
    // Ends the capture and closes the device; every byte captured so far has
    // reached the data procedure when it returns (the last buffer may be short).
    void Stop();
    const std::string& ErrorText() const;

private:
    struct Core;
    std::shared_ptr<Core> m_core;
};
