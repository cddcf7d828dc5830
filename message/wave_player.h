#pragma once

#include "platform/sound.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class CWave;
class CWaveNotify;

// The sound device the settings name ("SoundDevice" in "Preference"), or
// ALSA's default device.
std::string SoundDeviceName();

// Plays sounds' blocks on the sound device. The device is opened for the
// first play and closed again once nothing is queued, so other programs
// have it while the program is quiet. Blocks of a sound in another format
// than the one playing follow once it has been heard. Main thread.
class CWavePlayer {
public:
    CWavePlayer();
    ~CWavePlayer();
    CWavePlayer(const CWavePlayer&) = delete;
    CWavePlayer& operator=(const CWavePlayer&) = delete;

    // The device open and able to play format.
    BOOL Open(const WAVEFORMATEX& format);
    // Queues every block of the sound. FALSE when it has none or the device
    // cannot play it (nothing queued then), or a block cannot be queued
    // (those before it play).
    BOOL Play(CWave* pWave);
    void Pause();
    void Restart();
    // Stops: every queued block is done at once.
    void Reset();
    // Reset and the device closed.
    void Close();
    BOOL IsOpen() const { return m_device.IsOpen(); }
    int GetQueuedCount() const { return m_nQueued; }
    // Why the device last failed.
    const std::string& ErrorText() const { return m_strError; }

    // A sound that goes: what it has queued is cut, and it hears nothing more.
    void Detach(CWave* pWave);

private:
    friend class CWave;
    void OnDone(uint64_t id);

    CWaveOut m_device;
    int m_nQueued = 0;
    std::map<uint64_t, CWave*> m_buffers; // queued blocks: whose they are (null: gone)
    std::set<CWave*> m_sounds;            // sounds whose player this is
    uint64_t m_nextId = 1;
    std::string m_strError;
};

// Records from the sound device into a sound, a block of m_dwBufferSize
// bytes at a time. Main thread.
class CWaveRecorder {
public:
    static constexpr uint32_t kBufferBytes = 4096;

    CWaveRecorder() = default;
    ~CWaveRecorder();
    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Starts recording into the sound in its format; FALSE when the device
    // cannot (ErrorText says why).
    BOOL Start(CWave* pWave, uint64_t maxBytes);
    BOOL IsRecording() const { return m_device.IsOpen(); }
    // Ends the recording: every block recorded, then CaptureEnded, has
    // reached the sound's listener when it returns.
    void Reset();
    void Close() { Reset(); }
    const std::string& ErrorText() const { return m_strError; }

    // A sound that goes: the recording ends without telling it.
    void Detach(CWave* pWave);

    uint32_t m_dwBufferSize = kBufferBytes;
    uint32_t m_dwReserved = 0;

private:
    void OnData(std::vector<uint8_t> bytes);
    void OnEnd(const std::string& reason);

    CWaveIn m_device;
    CWave* m_pWave = nullptr;
    std::string m_strError;
};
