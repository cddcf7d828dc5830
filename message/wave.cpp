#include "message/wave.h"

#include "message/wave_player.h"
#include "platform/archive.h"
#include "platform/file.h"
#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "platform/replace_file.h"
#include "platform/wave_riff.h"
#include "resources/string_table.h"
#include "util/string_util.h"

#include <algorithm>
#include <cstring>
#include <new>

IMPLEMENT_DYNCREATE(CWaveBlock, CObject)
IMPLEMENT_DYNAMIC(CWaveBlockList, CObject)
IMPLEMENT_DYNCREATE(CWave, CObject)

namespace {

enum : UINT {
    IDS_WAVE_UNREADABLE = 6290,
    IDS_WAVE_NOT_WAVE = 6350,
    IDS_WAVE_NOT_PCM = 6351,
    IDS_WAVE_BITS = 6352,
    IDS_WAVE_FORMAT = 6353,
    IDS_WAVE_DAMAGED = 6354,
    IDS_WAVE_TOO_LARGE = 6355,
};

constexpr char kWaveBlockClass[] = "CWaveBlock";
// The class library's tags of an object list written into an archive of its
// own: the first object brings its class (new-class tag, schema, name), the
// others name it by its index, 1.
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kFirstClassIndex = 1;
constexpr uint16_t kWaveBlockSchema = 0;
// The bytes of a block in the archive besides its samples; of the format.
constexpr uint64_t kBlockHeadBytes = 2 + 8;
constexpr size_t kFormatBytes = 18;

std::shared_ptr<std::vector<uint8_t>> NewBytes(size_t n, uint8_t fill)
{
    try {
        return std::make_shared<std::vector<uint8_t>>(n, fill);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

// A frame is one sample of every channel: a stereo second at 44100 is 44100
// of them, as long as a mono one.
DWORD SamplesIn(uint64_t bytes, const WAVEFORMATEX& f)
{
    const uint32_t frame = PcmFrameBytes(f);
    return frame ? DWORD(std::min<uint64_t>(bytes / frame, UINT32_MAX)) : 0;
}

std::string WaveReadFailureText(const WaveReadFailure& why, const std::string& path)
{
    const auto number = [](uint64_t v) { return std::to_string(v); };
    switch (why.fault) {
    case WaveFault::NotWave: return FormatWithStrings(res::String(IDS_WAVE_NOT_WAVE), {path});
    case WaveFault::NotPcm: return FormatWithStrings(res::String(IDS_WAVE_NOT_PCM), {number(why.value), path});
    case WaveFault::BitsPerSample:
        return FormatWithStrings(res::String(IDS_WAVE_BITS), {number(why.value), path});
    case WaveFault::Format:
        return FormatWithStrings(res::String(IDS_WAVE_FORMAT), {number(why.value), number(why.rate), path});
    case WaveFault::Damaged: return FormatWithStrings(res::String(IDS_WAVE_DAMAGED), {number(why.at), path});
    case WaveFault::TooLarge:
        return FormatWithStrings(res::String(IDS_WAVE_TOO_LARGE), {FormatSizeText(kMaxWaveFileBytes), path});
    case WaveFault::None: break;
    }
    return std::string(res::String(IDS_WAVE_UNREADABLE));
}

// ---------------------------------------------------------------------------

CWaveBlock::CWaveBlock() = default;

CWaveBlock::CWaveBlock(DWORD nBytes)
{
    m_data = NewBytes(nBytes, 0);
    if (m_data)
        m_dwSize = nBytes;
}

CWaveBlock::CWaveBlock(std::vector<uint8_t> bytes)
    : m_dwSize(DWORD(bytes.size())), m_data(std::make_shared<std::vector<uint8_t>>(std::move(bytes)))
{
}

CWaveBlock::CWaveBlock(const CWaveBlock& other) : CObject(), m_dwSize(other.m_dwSize), m_dwSamples(other.m_dwSamples)
{
    if (other.m_data)
        m_data = std::make_shared<std::vector<uint8_t>>(*other.m_data);
}

uint8_t* CWaveBlock::GetData()
{
    if (!m_data)
        return nullptr;
    if (m_data.use_count() > 1)
        m_data = std::make_shared<std::vector<uint8_t>>(*m_data);
    return m_data->data();
}

// ---------------------------------------------------------------------------

CWave::CWave(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) { SetDefaultFormat(); }

CWave::CWave(const CWave& other) : CObject(), m_bAutoDelete(other.m_bAutoDelete), m_format(other.m_format)
{
    for (const auto& b : other.m_blocks)
        m_blocks.AddTail(std::make_unique<CWaveBlock>(*b));
}

CWave::~CWave()
{
    // Blocks still queued would come back to a sound that is gone.
    if (m_pPlayer) {
        if (m_nPending > 0)
            m_pPlayer->Reset();
        m_pPlayer->Detach(this);
    }
    if (m_pRecorder)
        m_pRecorder->Detach(this);
}

void CWave::SetDefaultFormat()
{
    m_format = WAVEFORMATEX{};
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = 11025;
    m_format.nAvgBytesPerSec = 11025;
    m_format.nBlockAlign = 1;
    m_format.wBitsPerSample = 8;
}

BOOL CWave::Create(DWORD nSamplesPerSec, WORD wBitsPerSample, DWORD nSamples)
{
    if (std::find(std::begin(kRates), std::end(kRates), nSamplesPerSec) == std::end(kRates))
        return FALSE;
    if (wBitsPerSample != 8 && wBitsPerSample != 16)
        return FALSE;
    FreeBlocks();
    if (nSamples > 0) {
        const uint64_t bytes = uint64_t(nSamples) * (wBitsPerSample / 8u);
        if (bytes > kMaxWaveFileBytes)
            return FALSE;
        // Silence: unsigned 8-bit samples rest at their middle.
        auto data = NewBytes(size_t(bytes), wBitsPerSample == 8 ? 0x80 : 0);
        if (!data)
            return FALSE;
        auto block = std::make_unique<CWaveBlock>(std::move(*data));
        block->m_dwSamples = nSamples;
        m_blocks.AddTail(std::move(block));
    }
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = nSamplesPerSec;
    m_format.nBlockAlign = WORD(wBitsPerSample / 8);
    m_format.nAvgBytesPerSec = nSamplesPerSec * m_format.nBlockAlign;
    m_format.wBitsPerSample = wBitsPerSample;
    m_format.cbSize = 0;
    return TRUE;
}

void CWave::CopyFrom(const CWave& other)
{
    if (&other == this)
        return;
    FreeBlocks();
    m_format = other.m_format;
    for (const auto& b : other.m_blocks)
        m_blocks.AddTail(std::make_unique<CWaveBlock>(*b));
}

BOOL CWave::ReadWav(std::span<const uint8_t> bytes, WaveReadFailure* why)
{
    FreeBlocks();
    WaveRiff riff;
    if (!ReadWaveRiff(bytes, riff, why))
        return FALSE;
    auto data = NewBytes(riff.data.size(), 0);
    if (!data)
        return FALSE;
    std::copy(riff.data.begin(), riff.data.end(), data->begin());
    if (riff.bigEndian)
        SwapSampleBytes(*data, riff.format.wBitsPerSample / 8u);
    auto block = std::make_unique<CWaveBlock>(std::move(*data));
    block->m_dwSamples = SamplesIn(block->m_dwSize, riff.format);
    m_blocks.AddTail(std::move(block));
    m_format = riff.format;
    return TRUE;
}

BOOL CWave::ReadFromMemory(std::span<const uint8_t> bytes, WaveReadFailure* why) { return ReadWav(bytes, why); }

BOOL CWave::ReadFromFileHandle(CFile& file, WaveReadFailure* why)
{
    try {
        // A file larger than a sound may be is refused before it is read.
        const uint64_t length = file.GetRemaining();
        if (length > kMaxWaveFileBytes) {
            FreeBlocks();
            if (why)
                *why = WaveReadFailure{WaveFault::TooLarge};
            return FALSE;
        }
        const std::vector<uint8_t> bytes = file.ReadUpTo(length);
        return ReadWav(bytes, why);
    } catch (const CException&) {
        FreeBlocks();
        return FALSE;
    }
}

BOOL CWave::LoadFile(const char* pszPath)
{
    std::string path = pszPath ? pszPath : "";
    if (path.empty() && !AfxPromptFileName(path, TRUE, "", "Wave files (*.WAV *.wav);;All files (*)"))
        return FALSE;
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return FALSE;
    WaveReadFailure why;
    if (ReadFromFileHandle(file, &why))
        return TRUE;
    AfxMessageBox(WaveReadFailureText(why, path));
    return FALSE;
}

std::vector<uint8_t> CWave::GetWavBytes() const
{
    std::vector<std::span<const uint8_t>> pieces;
    for (const auto& b : m_blocks)
        pieces.push_back(b->Bytes());
    return BuildWaveRiff(m_format, pieces);
}

BOOL CWave::WriteWav(const std::string& path) const
{
    const std::vector<uint8_t> bytes = GetWavBytes();
    if (bytes.empty())
        return FALSE;
    try {
        ReplaceFileContents(path, bytes);
    } catch (const CFileException&) {
        return FALSE;
    }
    return TRUE;
}

DWORD CWave::TotalSamples() const
{
    uint64_t total = 0;
    for (const auto& b : m_blocks)
        total += b->m_dwSamples;
    return DWORD(std::min<uint64_t>(total, UINT32_MAX));
}

CWavePlayer& CWave::SharedPlayer()
{
    static CWavePlayer player;
    return player;
}

void CWave::Hold()
{
    if (m_bAutoDelete)
        ++m_nRefs;
}

void CWave::Release()
{
    if (m_bAutoDelete && --m_nRefs <= 0)
        delete this;
}

BOOL CWave::Play(CWavePlayer* pPlayer, CWaveNotify* pListener)
{
    if (!pPlayer)
        pPlayer = &SharedPlayer();
    if (m_pPlayer != pPlayer) {
        if (m_pPlayer)
            m_pPlayer->m_sounds.erase(this);
        m_pPlayer = pPlayer;
        pPlayer->m_sounds.insert(this);
    }
    m_pListener = pListener;
    // An auto-delete sound whose play fails goes with this call.
    Hold();
    const BOOL ok = pPlayer->Play(this);
    Release();
    return ok;
}

BOOL CWave::Record(CWaveRecorder* pRecorder, CWaveNotify* pListener, uint64_t maxBytes)
{
    if (!pRecorder)
        return FALSE;
    if (m_pRecorder && m_pRecorder != pRecorder)
        m_pRecorder->Detach(this);
    m_pRecorder = pRecorder;
    m_pListener = pListener;
    FreeBlocks();
    return pRecorder->Start(this, maxBytes);
}

void CWave::PlayDone()
{
    if (m_nPending <= 0 || --m_nPending > 0)
        return;
    m_bPaused = FALSE;
    if (m_pListener)
        m_pListener->PlayEnded(this);
    // The play's hold, taken when its first block was queued.
    Release();
}

void CWave::TogglePause()
{
    if (!m_pPlayer)
        return;
    if (!m_bPaused) {
        m_pPlayer->Pause();
        m_bPaused = TRUE;
    } else {
        m_pPlayer->Restart();
        m_bPaused = FALSE;
    }
}

void CWave::Stop()
{
    if (m_pPlayer)
        m_pPlayer->Reset();
    if (m_pRecorder)
        m_pRecorder->Reset();
    m_bPaused = FALSE;
}

void CWave::Close()
{
    Stop();
    if (m_pPlayer)
        m_pPlayer->Close();
    if (m_pRecorder)
        m_pRecorder->Close();
}

void CWave::FreeBlocks() { m_blocks.FreeAll(); }

void CWave::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_format.wFormatTag << m_format.nChannels << m_format.nSamplesPerSec << m_format.nAvgBytesPerSec
           << m_format.nBlockAlign << m_format.wBitsPerSample << m_format.cbSize;
        ar.WriteCount(uint32_t(m_blocks.GetCount()));
        bool first = true;
        for (const auto& b : m_blocks) {
            if (first) {
                ar << kNewClassTag << kWaveBlockSchema << uint16_t(sizeof kWaveBlockClass - 1);
                ar.Write(kWaveBlockClass, sizeof kWaveBlockClass - 1);
                first = false;
            } else {
                ar << uint16_t(kClassTag | kFirstClassIndex);
            }
            ar << b->m_dwSamples << uint32_t(b->Bytes().size());
            ar.Write(b->Bytes().data(), b->Bytes().size());
        }
        return;
    }

    WAVEFORMATEX format;
    ar >> format.wFormatTag >> format.nChannels >> format.nSamplesPerSec >> format.nAvgBytesPerSec >>
        format.nBlockAlign >> format.wBitsPerSample >> format.cbSize;
    static_assert(kFormatBytes == 2 + 2 + 4 + 4 + 2 + 2 + 2);
    if (!IsSupportedPcmFormat(format))
        throw CArchiveException(CArchiveException::genericException);
    const uint32_t count = ar.ReadCount();
    // Each block takes its head at least: a count beyond that is a lie.
    if (count > ar.RemainingBytes() / kBlockHeadBytes)
        throw CArchiveException(CArchiveException::endOfFile);
    const uint32_t frameBytes = PcmFrameBytes(format);
    CWaveBlockList blocks;
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t tag = 0;
        ar >> tag;
        if (i == 0) {
            uint16_t schema = 0, length = 0;
            if (tag != kNewClassTag)
                throw CArchiveException(CArchiveException::badIndex);
            ar >> schema >> length;
            if (schema != kWaveBlockSchema)
                throw CArchiveException(CArchiveException::badSchema);
            char name[sizeof kWaveBlockClass - 1];
            if (length != sizeof name)
                throw CArchiveException(CArchiveException::badClass);
            ar.ReadExact(name, sizeof name);
            if (std::memcmp(name, kWaveBlockClass, sizeof name) != 0)
                throw CArchiveException(CArchiveException::badClass);
        } else if (tag != uint16_t(kClassTag | kFirstClassIndex)) {
            // Anything else names another class or an object read before,
            // which a list of blocks never holds twice.
            throw CArchiveException(CArchiveException::badIndex);
        }
        uint32_t samples = 0, size = 0;
        ar >> samples >> size;
        if (size > ar.RemainingBytes() || size > kMaxWaveFileBytes)
            throw CArchiveException(CArchiveException::endOfFile);
        if (uint64_t(samples) * frameBytes > size)
            throw CArchiveException(CArchiveException::genericException);
        std::vector<uint8_t> bytes(size);
        ar.ReadExact(bytes.data(), bytes.size());
        auto block = std::make_unique<CWaveBlock>(std::move(bytes));
        block->m_dwSamples = samples;
        blocks.AddTail(std::move(block));
    }
    m_format = format;
    m_blocks.Swap(blocks);
}
