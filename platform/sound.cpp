#include "platform/sound.h"

#include "platform/posted_call.h"

#include <alsa/asoundlib.h>

#include <QCoreApplication>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;

// How long a device thread waits before it looks at the device again while
// the device is full or still playing; Reset and Close wake it at once.
constexpr auto kDevicePoll = 10ms;
// The device's own buffer: what Pause cannot hold back when the device has
// no pause of its own, and the longest a format change waits.
constexpr unsigned kBufferMicroseconds = 250000;
constexpr unsigned kPeriodMicroseconds = 50000;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints its failures on stderr; ours are reported to the caller.
void SilenceAlsa()
{
    static const bool once = [] {
        snd_lib_error_set_handler(QuietAlsa);
        return true;
    }();
    (void)once;
}

snd_pcm_format_t AlsaFormat(const WAVEFORMATEX& f)
{
    switch (f.wBitsPerSample) {
    case 8: return SND_PCM_FORMAT_U8;
    case 16: return SND_PCM_FORMAT_S16_LE;
    case 24: return SND_PCM_FORMAT_S24_3LE;
    case 32: return SND_PCM_FORMAT_S32_LE;
    default: return SND_PCM_FORMAT_UNKNOWN;
    }
}

// The fields that decide how the device is set up.
bool SamePcm(const WAVEFORMATEX& a, const WAVEFORMATEX& b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample;
}

std::string Reason(const std::string& device, const char* what, int err)
{
    return "\"" + device + "\": " + what + ": " + snd_strerror(err);
}

// Sets the device up for the format: interleaved frames, the exact rate
// (ALSA converts when the hardware has another), a short buffer.
bool Configure(snd_pcm_t* pcm, const std::string& device, const WAVEFORMATEX& f, bool playback, std::string& error,
               bool* canPause = nullptr)
{
    if (!IsSupportedPcmFormat(f)) {
        error = "\"" + device + "\": not a format the program plays";
        return false;
    }
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(pcm, hw);
    if (err >= 0)
        err = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if (err >= 0)
        err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (err >= 0)
        err = snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(f));
    if (err >= 0)
        err = snd_pcm_hw_params_set_channels(pcm, hw, f.nChannels);
    if (err >= 0)
        err = snd_pcm_hw_params_set_rate(pcm, hw, f.nSamplesPerSec, 0);
    if (err < 0) {
        error = Reason(device, "format not available", err);
        return false;
    }
    unsigned bufferTime = kBufferMicroseconds, periodTime = kPeriodMicroseconds;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferTime, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodTime, nullptr);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0) {
        error = Reason(device, "cannot be set up", err);
        return false;
    }
    if (canPause)
        *canPause = snd_pcm_hw_params_can_pause(hw) == 1;
    if (playback) {
        // Sounds shorter than the buffer must start too: start with the first frame.
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        if ((err = snd_pcm_sw_params_current(pcm, sw)) >= 0 && (err = snd_pcm_sw_params_set_start_threshold(pcm, sw, 1)) >= 0)
            err = snd_pcm_sw_params(pcm, sw);
        if (err < 0) {
            error = Reason(device, "cannot be set up", err);
            return false;
        }
    }
    return true;
}

// Calls from device threads to the main thread. The target object lives as
// long as the application object and is never deleted while it handles a
// call; after the application has gone, calls are dropped.
class MainThreadMailbox {
public:
    static MainThreadMailbox& Get()
    {
        static MainThreadMailbox box;
        return box;
    }
    // Main thread: makes the target while the application is there.
    void Prepare()
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_target || !QCoreApplication::instance())
            return;
        m_target = new QObject(QCoreApplication::instance());
        QObject::connect(m_target, &QObject::destroyed, [this] {
            std::lock_guard<std::mutex> g2(m_lock);
            m_target = nullptr;
        });
    }
    template <class F> void Post(F&& fn)
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_target)
            PostCall(m_target, std::forward<F>(fn));
    }

private:
    std::mutex m_lock;
    QObject* m_target = nullptr;
};

// A device thread's results reach the main thread in one posted call at a
// time: a core's Deliver() is posted once, and again only after it has run.
// Both calls are made with the core's lock held.
class PostOnce {
public:
    template <class Core> void Post(const std::weak_ptr<Core>& self)
    {
        if (m_pending)
            return;
        m_pending = true;
        MainThreadMailbox::Get().Post([w = self] {
            if (auto core = w.lock())
                core->Deliver();
        });
    }
    void Delivered() { m_pending = false; }

private:
    bool m_pending = false;
};


// Opens the device without waiting for it; null with the reason when it cannot.
snd_pcm_t* OpenPcm(const std::string& device, snd_pcm_stream_t stream, std::string& error)
{
    SilenceAlsa();
    MainThreadMailbox::Get().Prepare();
    snd_pcm_t* pcm = nullptr;
    const int err = snd_pcm_open(&pcm, device.c_str(), stream, SND_PCM_NONBLOCK);
    if (err >= 0)
        return pcm;
    error = Reason(device, stream == SND_PCM_STREAM_PLAYBACK ? "cannot be opened" : "cannot be opened for recording", err);
    return nullptr;
}

} // namespace

bool IsSupportedPcmFormat(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels >= 1 && f.nChannels <= kMaxPcmChannels &&
           f.nSamplesPerSec >= 1 && f.nSamplesPerSec <= kMaxPcmRate && f.wBitsPerSample >= 8 &&
           f.wBitsPerSample <= 32 && f.wBitsPerSample % 8 == 0;
}

uint32_t PcmFrameBytes(const WAVEFORMATEX& f)
{
    return IsSupportedPcmFormat(f) ? uint32_t(f.nChannels) * (f.wBitsPerSample / 8u) : 0;
}

// ---------------------------------------------------------------------------
// Playback

struct CWaveOut::Core {
    struct Buffer {
        WAVEFORMATEX format;
        WaveSamples samples;
        uint64_t id = 0;
        uint64_t written = 0; // bytes handed to the device
        uint64_t end = 0;     // the device's frame position once all of it is heard
    };

    // Guards everything below and every call on the device.
    std::mutex m;
    std::condition_variable cv;
    snd_pcm_t* pcm = nullptr;
    std::string device;
    WAVEFORMATEX format{}; // what the device is set up for
    bool canPause = false;
    bool paused = false;
    bool hwPaused = false;
    bool quit = false;
    std::deque<Buffer> queue;   // not yet handed over whole
    std::deque<Buffer> playing; // handed over, not yet heard
    uint64_t framesWritten = 0;
    std::string error;
    std::thread thread;

    // Done ids on their way to the main thread.
    std::vector<uint64_t> done;
    PostOnce post;
    std::weak_ptr<Core> self;
    // Main thread only.
    DoneProc proc;

    void Finish(uint64_t id)
    {
        done.push_back(id);
        post.Post(self);
    }
    void FinishAll()
    {
        for (auto* list : {&playing, &queue}) {
            for (const Buffer& b : *list)
                Finish(b.id);
            list->clear();
        }
    }
    // Main thread.
    void Deliver()
    {
        std::vector<uint64_t> ids;
        {
            std::lock_guard<std::mutex> g(m);
            ids.swap(done);
            post.Delivered();
        }
        for (uint64_t id : ids)
            if (proc)
                proc(id);
    }

    // Done with the buffers the device has played.
    void CompletePlayed()
    {
        if (playing.empty())
            return;
        uint64_t heard = framesWritten;
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING && snd_pcm_delay(pcm, &delay) == 0 && delay > 0)
            heard -= std::min<uint64_t>(uint64_t(delay), framesWritten);
        while (!playing.empty() && playing.front().end <= heard) {
            Finish(playing.front().id);
            playing.pop_front();
        }
    }

    void Run()
    {
        std::unique_lock<std::mutex> lk(m);
        while (!quit) {
            if (paused) {
                cv.wait(lk);
                continue;
            }
            CompletePlayed();
            if (queue.empty()) {
                if (playing.empty())
                    cv.wait(lk);
                else
                    cv.wait_for(lk, kDevicePoll);
                continue;
            }
            Buffer& b = queue.front();
            if (!SamePcm(b.format, format)) {
                // Another format: once what plays now has been heard.
                if (!playing.empty()) {
                    cv.wait_for(lk, kDevicePoll);
                    continue;
                }
                snd_pcm_drop(pcm);
                framesWritten = 0;
                if (!Configure(pcm, device, b.format, true, error, &canPause)) {
                    format = WAVEFORMATEX{};
                    Finish(b.id);
                    queue.pop_front();
                    continue;
                }
                format = b.format;
            }
            const uint32_t frameBytes = PcmFrameBytes(format);
            const uint64_t frames = (b.samples->size() - b.written) / frameBytes;
            if (frames == 0) {
                b.end = framesWritten;
                playing.push_back(std::move(b));
                queue.pop_front();
                continue;
            }
            snd_pcm_sframes_t n = snd_pcm_writei(pcm, b.samples->data() + b.written, snd_pcm_uframes_t(frames));
            if (n > 0) {
                b.written += uint64_t(n) * frameBytes;
                framesWritten += uint64_t(n);
                // Let the main thread in between two writes.
                lk.unlock();
                lk.lock();
                continue;
            }
            if (n == -EAGAIN || n == 0) {
                cv.wait_for(lk, kDevicePoll);
                continue;
            }
            // An underrun: what was handed over has been heard (or is lost).
            for (const Buffer& p : playing)
                Finish(p.id);
            playing.clear();
            framesWritten = 0;
            if (snd_pcm_recover(pcm, int(n), 1) < 0) {
                error = Reason(device, "playback failed", int(n));
                FinishAll();
            }
        }
    }
};

CWaveOut::CWaveOut() : m_core(std::make_shared<Core>()) { m_core->self = m_core; }

CWaveOut::~CWaveOut()
{
    Close();
    m_core->proc = nullptr;
}

bool CWaveOut::Open(const std::string& device, const WAVEFORMATEX& format, DoneProc done)
{
    Close();
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    c.error.clear();
    c.device = device;
    if (!(c.pcm = OpenPcm(device, SND_PCM_STREAM_PLAYBACK, c.error)))
        return false;
    if (!Configure(c.pcm, device, format, true, c.error, &c.canPause)) {
        snd_pcm_close(c.pcm);
        c.pcm = nullptr;
        return false;
    }
    c.format = format;
    c.paused = c.hwPaused = c.quit = false;
    c.framesWritten = 0;
    c.proc = std::move(done);
    c.thread = std::thread([core = m_core.get()] { core->Run(); });
    return true;
}

bool CWaveOut::IsOpen() const { return m_core->pcm != nullptr; }

bool CWaveOut::CanPlay(const WAVEFORMATEX& f)
{
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    if (!c.pcm || !IsSupportedPcmFormat(f))
        return false;
    if (SamePcm(f, c.format))
        return true;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    return snd_pcm_hw_params_any(c.pcm, hw) >= 0 && snd_pcm_hw_params_set_rate_resample(c.pcm, hw, 1) >= 0 &&
           snd_pcm_hw_params_test_access(c.pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) == 0 &&
           snd_pcm_hw_params_test_format(c.pcm, hw, AlsaFormat(f)) == 0 &&
           snd_pcm_hw_params_test_channels(c.pcm, hw, f.nChannels) == 0 &&
           snd_pcm_hw_params_test_rate(c.pcm, hw, f.nSamplesPerSec, 0) == 0;
}

WAVEFORMATEX CWaveOut::PlayingFormat() const
{
    std::lock_guard<std::mutex> g(m_core->m);
    return m_core->format;
}

bool CWaveOut::Write(const WAVEFORMATEX& format, WaveSamples samples, uint64_t id)
{
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    if (!c.pcm || !samples || !IsSupportedPcmFormat(format))
        return false;
    c.queue.push_back(Core::Buffer{format, std::move(samples), id});
    c.cv.notify_all();
    return true;
}

void CWaveOut::Pause()
{
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    if (!c.pcm || c.paused)
        return;
    c.paused = true;
    // Without a pause of the device's own, it plays out what it holds.
    if (c.canPause && snd_pcm_state(c.pcm) == SND_PCM_STATE_RUNNING && snd_pcm_pause(c.pcm, 1) == 0)
        c.hwPaused = true;
}

void CWaveOut::Restart()
{
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    if (!c.pcm || !c.paused)
        return;
    if (c.hwPaused && snd_pcm_pause(c.pcm, 0) < 0)
        snd_pcm_prepare(c.pcm);
    c.paused = c.hwPaused = false;
    c.cv.notify_all();
}

void CWaveOut::Reset()
{
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    if (!c.pcm)
        return;
    snd_pcm_drop(c.pcm);
    snd_pcm_prepare(c.pcm);
    c.FinishAll();
    c.framesWritten = 0;
    c.paused = c.hwPaused = false;
    c.cv.notify_all();
}

void CWaveOut::Close()
{
    Core& c = *m_core;
    if (!c.pcm)
        return;
    Reset();
    {
        std::lock_guard<std::mutex> g(c.m);
        c.quit = true;
        c.cv.notify_all();
    }
    if (c.thread.joinable())
        c.thread.join();
    std::lock_guard<std::mutex> g(c.m);
    snd_pcm_close(c.pcm);
    c.pcm = nullptr;
    c.format = WAVEFORMATEX{};
}

const std::string& CWaveOut::ErrorText() const { return m_core->error; }

// ---------------------------------------------------------------------------
// Capture

struct CWaveIn::Core {
    std::mutex m;
    std::condition_variable cv;
    snd_pcm_t* pcm = nullptr; // used by the thread alone while it runs
    std::string device;
    WAVEFORMATEX format{};
    uint32_t bufferBytes = 0;
    uint64_t maxBytes = 0;
    bool quit = false;
    std::thread thread;
    std::string error;

    // Filled buffers on their way to the main thread.
    std::deque<std::vector<uint8_t>> ready;
    PostOnce post;
    bool ended = false; // the device failed; the owner has not been told
    std::weak_ptr<Core> self;
    // Main thread only.
    DataProc data;
    EndProc end;

    void Post() { post.Post(self); }
    // Main thread.
    void Deliver()
    {
        std::deque<std::vector<uint8_t>> buffers;
        bool tellEnd = false;
        std::string reason;
        {
            std::lock_guard<std::mutex> g(m);
            buffers.swap(ready);
            post.Delivered();
            tellEnd = std::exchange(ended, false);
            reason = error;
        }
        for (auto& b : buffers)
            if (data)
                data(std::move(b));
        if (tellEnd && end)
            end(reason);
    }

    void Run()
    {
        const uint32_t frameBytes = PcmFrameBytes(format);
        const uint64_t bufferFrames = std::max<uint64_t>(1, bufferBytes / frameBytes);
        snd_pcm_uframes_t deviceBuffer = 0, devicePeriod = 0;
        const uint64_t periodFrames =
            snd_pcm_get_params(pcm, &deviceBuffer, &devicePeriod) == 0 && devicePeriod > 0 ? devicePeriod : 1024;
        std::vector<uint8_t> current;
        uint64_t captured = 0;
        bool failed = false;
        for (;;) {
            {
                std::unique_lock<std::mutex> lk(m);
                if (quit)
                    break;
                if (failed || captured + frameBytes > maxBytes) {
                    // Nothing more is taken; the device waits for Stop.
                    if (!current.empty()) {
                        ready.push_back(std::move(current));
                        current.clear();
                        Post();
                    }
                    cv.wait(lk);
                    continue;
                }
            }
            const uint64_t have = current.size() / frameBytes;
            // A period at a time: some plugins take no more in one read.
            const uint64_t want = std::min({bufferFrames - have, (maxBytes - captured) / frameBytes, periodFrames});
            current.resize(size_t((have + want) * frameBytes));
            snd_pcm_sframes_t n = snd_pcm_readi(pcm, current.data() + have * frameBytes, snd_pcm_uframes_t(want));
            current.resize(size_t((have + std::max<snd_pcm_sframes_t>(n, 0)) * frameBytes));
            if (n > 0) {
                captured += uint64_t(n) * frameBytes;
                if (current.size() / frameBytes == bufferFrames) {
                    std::lock_guard<std::mutex> g(m);
                    ready.push_back(std::move(current));
                    current.clear();
                    Post();
                }
                continue;
            }
            if (n == -EAGAIN || n == 0) {
                std::unique_lock<std::mutex> lk(m);
                cv.wait_for(lk, kDevicePoll);
                continue;
            }
            // An overrun loses what the device could not hold; go on recording.
            if (snd_pcm_recover(pcm, int(n), 1) >= 0 && snd_pcm_start(pcm) >= 0)
                continue;
            std::lock_guard<std::mutex> g(m);
            error = Reason(device, "recording failed", int(n));
            ended = failed = true;
            Post();
        }
        std::lock_guard<std::mutex> g(m);
        if (!current.empty())
            ready.push_back(std::move(current));
    }
};

CWaveIn::CWaveIn() : m_core(std::make_shared<Core>()) { m_core->self = m_core; }

CWaveIn::~CWaveIn()
{
    Stop();
    m_core->data = nullptr;
    m_core->end = nullptr;
}

bool CWaveIn::Start(const std::string& device, const WAVEFORMATEX& format, uint32_t bufferBytes, uint64_t maxBytes,
                    DataProc data, EndProc end)
{
    Stop();
    Core& c = *m_core;
    std::lock_guard<std::mutex> g(c.m);
    c.error.clear();
    c.device = device;
    if (!(c.pcm = OpenPcm(device, SND_PCM_STREAM_CAPTURE, c.error)))
        return false;
    int err = 0;
    if (!Configure(c.pcm, device, format, false, c.error) || (err = snd_pcm_start(c.pcm)) < 0) {
        if (c.error.empty())
            c.error = Reason(device, "cannot record", err);
        snd_pcm_close(c.pcm);
        c.pcm = nullptr;
        return false;
    }
    c.format = format;
    c.bufferBytes = bufferBytes;
    c.maxBytes = maxBytes;
    c.quit = c.ended = false;
    c.data = std::move(data);
    c.end = std::move(end);
    c.thread = std::thread([core = m_core.get()] { core->Run(); });
    return true;
}

bool CWaveIn::IsOpen() const { return m_core->pcm != nullptr; }

void CWaveIn::Stop()
{
    Core& c = *m_core;
    if (!c.pcm)
        return;
    {
        std::lock_guard<std::mutex> g(c.m);
        c.quit = true;
        c.cv.notify_all();
    }
    if (c.thread.joinable())
        c.thread.join();
    snd_pcm_drop(c.pcm);
    snd_pcm_close(c.pcm);
    c.pcm = nullptr;
    {
        // The owner stopped it: a failure it has not heard of is its to read in ErrorText.
        std::lock_guard<std::mutex> g(c.m);
        c.ended = false;
    }
    c.Deliver();
}

const std::string& CWaveIn::ErrorText() const { return m_core->error; }
