#pragma once

#include "platform/framework/runtime_class.h"
#include "platform/sound.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CArchive;
class CFile;
struct WaveReadFailure;
class CWave;
class CWavePlayer;
class CWaveRecorder;

// One block of sample bytes. The bytes are shared with a player while it
// plays them, so freeing the block never pulls them from under the device.
class CWaveBlock : public CObject {
    DECLARE_DYNCREATE(CWaveBlock)
public:
    CWaveBlock();
    // n bytes of silence; the size stays 0 when they cannot be had.
    explicit CWaveBlock(DWORD nBytes);
    explicit CWaveBlock(std::vector<uint8_t> bytes);
    CWaveBlock(const CWaveBlock& other);
    CWaveBlock& operator=(const CWaveBlock&) = delete;

    const uint8_t* GetData() const { return m_data ? m_data->data() : nullptr; }
    // Writable bytes; a copy of its own first when a player still holds them.
    uint8_t* GetData();
    // The bytes as a player keeps them.
    WaveSamples Share() const { return m_data; }
    std::span<const uint8_t> Bytes() const { return m_data ? std::span<const uint8_t>(*m_data) : std::span<const uint8_t>(); }

    DWORD m_dwSize = 0;    // bytes in the block
    DWORD m_dwSamples = 0; // frames they hold (a sample of every channel)

private:
    std::shared_ptr<std::vector<uint8_t>> m_data;
};

// The blocks of a sound in play order; owns them.
class CWaveBlockList : public CObject {
    DECLARE_DYNAMIC(CWaveBlockList)
public:
    CWaveBlockList() = default;
    CWaveBlockList(const CWaveBlockList&) = delete;
    CWaveBlockList& operator=(const CWaveBlockList&) = delete;

    void AddTail(std::unique_ptr<CWaveBlock> block) { m_blocks.push_back(std::move(block)); }
    void FreeAll() { m_blocks.clear(); }
    void Swap(CWaveBlockList& other) { m_blocks.swap(other.m_blocks); }
    size_t GetCount() const { return m_blocks.size(); }
    bool IsEmpty() const { return m_blocks.empty(); }
    CWaveBlock* GetAt(size_t i) const { return m_blocks[i].get(); }
    auto begin() const { return m_blocks.begin(); }
    auto end() const { return m_blocks.end(); }

private:
    std::vector<std::unique_ptr<CWaveBlock>> m_blocks;
};

// What a sound tells its listener, on the main thread. A listener must
// outlive the plays and takes it is given to (or the sound).
class CWaveNotify : public CObject {
public:
    virtual void BlockCaptured(CWave* pWave, CWaveBlock* pBlock) {}
    virtual void CaptureEnded(CWave* pWave) {}
    // Once the last block of every play under way has been heard or stopped.
    virtual void PlayEnded(CWave* pWave) {}
};

// A sound: a PCM format and its sample blocks. Read from WAV files or bytes,
// written as WAV files, played through a player (the program's shared one
// unless another is given) and recorded through a recorder. Main thread.
class CWave : public CObject {
    DECLARE_DYNCREATE(CWave)
public:
    // Sounds the program makes: mono PCM at these rates, 8 or 16 bits.
    static constexpr DWORD kRates[] = {8000, 11025, 22050, 44100};

    // An auto-delete sound deletes itself once the last play holding it has
    // ended: it must then be made with new and left to itself.
    explicit CWave(BOOL bAutoDelete = FALSE);
    // Format, auto-delete flag and a copy of every block; nothing playing.
    CWave(const CWave& other);
    CWave& operator=(const CWave&) = delete;
    // Stops what still plays of it or records into it first.
    ~CWave() override;

    // An empty mono PCM sound, with a block of nSamples of silence when
    // nSamples > 0. Refuses (FALSE, nothing changed) other rates and depths.
    BOOL Create(DWORD nSamplesPerSec, WORD wBitsPerSample, DWORD nSamples);
    // This sound becomes a copy of other's format and blocks.
    void CopyFrom(const CWave& other);

    // A WAV file in memory (a sound comment's bytes). FALSE, with no blocks
    // left, for anything but a readable PCM WAV.
    BOOL ReadFromMemory(std::span<const uint8_t> bytes, WaveReadFailure* why = nullptr);
    BOOL ReadFromMemory(const void* bytes, size_t length)
    {
        return ReadFromMemory(std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), length));
    }
    // The WAV file from the open file's position to its end; the file stays open.
    BOOL ReadFromFileHandle(CFile& file, WaveReadFailure* why = nullptr);
    // Reads a WAV file; with no path, asks for one first. A file that cannot
    // be opened gives FALSE; one that cannot be read also says why.
    BOOL LoadFile(const char* pszPath);
    // Writes the sound as a WAV file through the program's file writer; the
    // old file stays as it was when that fails.
    BOOL WriteWav(const std::string& path) const;
    // The WAV file's bytes.
    std::vector<uint8_t> GetWavBytes() const;

    // Frames in all blocks: a second of sound is the rate's number of them,
    // whatever the channels.
    DWORD TotalSamples() const;
    BOOL Play(CWavePlayer* pPlayer, CWaveNotify* pListener);
    // Records into this sound (its blocks are freed first), at most maxBytes.
    BOOL Record(CWaveRecorder* pRecorder, CWaveNotify* pListener, uint64_t maxBytes);
    void TogglePause();
    // Stops playing and recording; the blocks queued come back at once.
    void Stop();
    // Stop, and the player's and recorder's devices closed.
    void Close();
    void FreeBlocks();

    BOOL IsPlaying() const { return m_nPending > 0; }
    BOOL IsPaused() const { return m_bPaused; }
    const WAVEFORMATEX& GetFormat() const { return m_format; }
    const CWaveBlockList& GetBlocks() const { return m_blocks; }
    CWaveBlockList& GetBlocks() { return m_blocks; }

    // The archive form: the 18 format bytes, then the blocks as the class
    // library writes an object list of class "CWaveBlock" into an archive of
    // its own (count; each block's sample count, byte size and bytes).
    // Loading checks every count and size and changes nothing when it throws.
    void Serialize(CArchive& ar);

    // The player every sound plays through unless another is given.
    static CWavePlayer& SharedPlayer();

    // Called by the player when one of this sound's blocks is done.
    void PlayDone();

    BOOL m_bAutoDelete = FALSE;
    WAVEFORMATEX m_format{};
    CWaveBlockList m_blocks;
    CWavePlayer* m_pPlayer = nullptr;     // the player it last played through
    CWaveRecorder* m_pRecorder = nullptr; // the recorder it last recorded through
    LONG m_nRefs = 0;                     // auto-delete sounds: the holds on it
    LONG m_nPending = 0;                  // its blocks queued on a player and not yet done
    CWaveNotify* m_pListener = nullptr;
    BOOL m_bPaused = FALSE;

private:
    friend class CWavePlayer;
    friend class CWaveRecorder;
    BOOL ReadWav(std::span<const uint8_t> bytes, WaveReadFailure* why = nullptr);
    void SetDefaultFormat();
    void Hold();
    void Release();
};

// The frames (samples of every channel) that bytes of a format hold; 0 for an
// unsupported format.
DWORD SamplesIn(uint64_t bytes, const WAVEFORMATEX& format);

// The message telling the user why the WAV file at path could not be read.
std::string WaveReadFailureText(const WaveReadFailure& why, const std::string& path);
