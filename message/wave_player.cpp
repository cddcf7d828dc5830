#include "message/wave_player.h"

#include "message/wave.h"
#include "util/reg_settings.h"

std::string SoundDeviceName()
{
    std::string name;
    RegReadString(name, IDS_REG_PREFERENCE, "SoundDevice");
    return name.empty() ? std::string(kDefaultSoundDevice) : name;
}

// ---------------------------------------------------------------------------

CWavePlayer::CWavePlayer() = default;

CWavePlayer::~CWavePlayer()
{
    m_device.Close();
    // What was queued will not be heard of: those sounds play no more.
    for (auto& [id, wave] : m_buffers)
        if (wave)
            wave->m_nPending = 0;
    for (CWave* w : m_sounds)
        w->m_pPlayer = nullptr;
}

BOOL CWavePlayer::Open(const WAVEFORMATEX& format)
{
    if (m_device.IsOpen()) {
        if (m_device.CanPlay(format))
            return TRUE;
        m_strError = "the sound device cannot play this format";
        return FALSE;
    }
    if (m_device.Open(SoundDeviceName(), format, [this](uint64_t id) { OnDone(id); }))
        return TRUE;
    m_strError = m_device.ErrorText();
    return FALSE;
}

BOOL CWavePlayer::Play(CWave* pWave)
{
    if (!pWave || pWave->m_blocks.IsEmpty())
        return FALSE;
    if (!Open(pWave->m_format))
        return FALSE;
    for (const auto& block : pWave->m_blocks) {
        const uint64_t id = m_nextId++;
        if (!m_device.Write(pWave->m_format, block->Share(), id))
            return FALSE;
        // The play holds an auto-delete sound from its first block queued to its last done.
        if (pWave->m_nPending++ == 0)
            pWave->Hold();
        m_buffers[id] = pWave;
        ++m_nQueued;
    }
    return TRUE;
}

void CWavePlayer::Pause() { m_device.Pause(); }

void CWavePlayer::Restart() { m_device.Restart(); }

void CWavePlayer::Reset() { m_device.Reset(); }

void CWavePlayer::Close() { m_device.Close(); }

void CWavePlayer::Detach(CWave* pWave)
{
    for (auto& [id, wave] : m_buffers)
        if (wave == pWave)
            wave = nullptr;
    m_sounds.erase(pWave);
}

void CWavePlayer::OnDone(uint64_t id)
{
    auto it = m_buffers.find(id);
    if (it == m_buffers.end())
        return;
    CWave* wave = it->second;
    m_buffers.erase(it);
    // Nothing left to play: the device goes back to the system.
    if (--m_nQueued == 0)
        m_device.Close();
    if (wave)
        wave->PlayDone();
}

// ---------------------------------------------------------------------------

CWaveRecorder::~CWaveRecorder()
{
    if (m_pWave)
        Detach(m_pWave);
}

BOOL CWaveRecorder::Start(CWave* pWave, uint64_t maxBytes)
{
    Reset();
    m_pWave = pWave;
    m_strError.clear();
    if (m_device.Start(
            SoundDeviceName(), pWave->m_format, m_dwBufferSize, maxBytes,
            [this](std::vector<uint8_t> bytes) { OnData(std::move(bytes)); },
            [this](const std::string& reason) { OnEnd(reason); }))
        return TRUE;
    m_strError = m_device.ErrorText();
    return FALSE;
}

void CWaveRecorder::OnData(std::vector<uint8_t> bytes)
{
    if (!m_pWave)
        return;
    auto block = std::make_unique<CWaveBlock>(std::move(bytes));
    block->m_dwSamples = SamplesIn(block->m_dwSize, m_pWave->m_format);
    CWaveBlock* added = block.get();
    m_pWave->m_blocks.AddTail(std::move(block));
    if (m_pWave->m_pListener)
        m_pWave->m_pListener->BlockCaptured(m_pWave, added);
}

void CWaveRecorder::OnEnd(const std::string& reason)
{
    // The device failed: the recording ends as if stopped.
    m_strError = reason;
    Reset();
}

void CWaveRecorder::Reset()
{
    if (!m_device.IsOpen())
        return;
    m_device.Stop();
    if (m_pWave && m_pWave->m_pListener)
        m_pWave->m_pListener->CaptureEnded(m_pWave);
}

void CWaveRecorder::Detach(CWave* pWave)
{
    if (m_pWave != pWave)
        return;
    m_pWave = nullptr;
    m_device.Stop();
    pWave->m_pRecorder = nullptr;
}
