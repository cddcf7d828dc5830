// Saving and opening a message of a 12-megapixel photograph with 50, 500 and
// 1,000 comments (text, sound and image), beside the work that cannot be
// avoided: a plain JPEG encode and decode of the same photograph and one copy
// of the attachment bytes. The message file should cost little beyond that,
// at any number of comments (vs_reference, target at most 1.3).
//
// A 3840 x 2560 message with 50 comments opened and saved as the editor does
// it, each into fresh memory, beside libjpeg-turbo decoding and encoding the
// same photograph into fresh buffers (vs_libjpeg, target at most 1.2); and a
// comment search of the file beside reading its bytes (vs_read_bytes, target
// at most 2).
#include "bench/libjpeg_direct.h"
#include "imaging/image_buffer.h"
#include "message/comment_search.h"
#include "message/photo_content.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"
#include "platform/registry.h"
#include "platform/replace_file.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kQuality = 95;

// A photograph-like picture: smooth gradients with some texture, so the
// encoder does realistic work.
CImageBuffer MakePhoto(int width, int height)
{
    CImageBuffer b;
    b.Create(CImageBuffer::kHeap, CSize(width, height), PixelType::Bgr24, 1);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        BYTE* row = b.GetRowPointer(y);
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28);
            row[3 * x] = static_cast<BYTE>((x / 16 + noise) & 0xFF);
            row[3 * x + 1] = static_cast<BYTE>((y / 12 + noise) & 0xFF);
            row[3 * x + 2] = static_cast<BYTE>(((x + y) / 28 + noise) & 0xFF);
        }
    }
    return b;
}

const CImageBuffer& Photo()
{
    static const CImageBuffer photo = MakePhoto(kWidth, kHeight);
    return photo;
}

// A message with count comments: a third each text, a 160 kB sound and a
// 640 x 480 picture, at depths 0 and 1 in turn.
struct Message {
    std::unique_ptr<CAPhotoContent> content;
    uint64_t attachmentBytes = 0;

    explicit Message(int count, const CImageBuffer& photo = Photo()) : content(std::make_unique<CAPhotoContent>(kQuality))
    {
        CImageBuffer copy(photo);
        content->TakeImage(copy);
        CAnoRecord text, sound, image;
        text.SetText("A comment on this part of the photograph, with a few words more.");
        std::vector<uint8_t> wave(44 + 160000, 0);
        std::memcpy(wave.data(), "RIFF\0\0\0\0WAVE", 12);
        sound.m_nKind = CAnoRecord::sound;
        sound.SetContentString("voice");
        sound.Write(wave.data(), wave.size());
        image.AttachImage("/photos/detail.jpg", MakePhoto(640, 480));
        const CAnoRecord* kinds[] = {&text, &sound, &image};
        for (int i = 0; i < count; ++i) {
            auto r = std::make_unique<CAnoRecord>(*kinds[i % 3]);
            r->m_area = CAreaMarquee(CRect(i * 4, i * 3, i * 4 + 200, i * 3 + 150), 1 + i % 3);
            attachmentBytes += r->GetLength();
            content->m_comments.emplace_back(i % 2, std::move(r));
        }
    }
};

Message& Shared(int count)
{
    static std::map<int, std::unique_ptr<Message>> messages;
    auto& m = messages[count];
    if (!m)
        m = std::make_unique<Message>(count);
    return *m;
}

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The reference's CPU time for each number of comments, from its last repetition.
std::map<int64_t, double> g_reference;

// The work that cannot be avoided: the photograph encoded and decoded, and
// every attachment byte copied once into new memory.
void BM_Reference(benchmark::State& state)
{
    Message& m = Shared(static_cast<int>(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds();
        std::vector<uint8_t> jpeg;
        msgjpeg::Encode(Photo(), kQuality, jpeg);
        CImageBuffer decoded;
        msgjpeg::Decode(jpeg.data(), jpeg.size(), decoded);
        std::unique_ptr<uint8_t[]> copy(new uint8_t[m.attachmentBytes]);
        uint64_t at = 0;
        for (const CAnoElement& e : m.content->m_comments) {
            const auto& bytes = e.m_pRecord->Data();
            if (!bytes.empty())
                std::memcpy(copy.get() + at, bytes.data(), bytes.size());
            at += bytes.size();
        }
        benchmark::DoNotOptimize(decoded.GetBits());
        benchmark::DoNotOptimize(copy.get());
        cpu += CpuSeconds() - before;
    }
    g_reference[state.range(0)] = cpu / static_cast<double>(state.iterations());
    state.counters["attachments_MB"] = static_cast<double>(m.attachmentBytes) / (1 << 20);
}

// The message: written (the photograph is new, so it is encoded), then opened.
void BM_MessageWriteRead(benchmark::State& state)
{
    Message& m = Shared(static_cast<int>(state.range(0)));
    size_t fileBytes = 0;
    double cpu = 0;
    // The file keeps its memory between rounds, as a file rewritten on disk
    // keeps its pages: the bytes written are the cost, not growing a buffer.
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        m.content->WriteBody(ar);
    }
    for (auto _ : state) {
        file.SetLength(0);
        file.SeekToBegin();
        const double before = CpuSeconds();
        {
            CArchive ar(&file, CArchive::store);
            m.content->WriteBody(ar);
        }
        fileBytes = file.GetLength();
        file.SeekToBegin();
        CArchive ar(&file, CArchive::load);
        CAPhotoContent back(kQuality);
        back.ReadBody(ar);
        benchmark::DoNotOptimize(back.m_comments.data());
        cpu += CpuSeconds() - before;
    }
    state.counters["file_MB"] = static_cast<double>(fileBytes) / (1 << 20);
    if (const auto it = g_reference.find(state.range(0)); it != g_reference.end() && it->second > 0)
        state.counters["vs_reference"] = cpu / static_cast<double>(state.iterations()) / it->second;
}

// ---- a message file as the editor opens, saves and searches it

constexpr int kFileWidth = 3840, kFileHeight = 2560, kFileComments = 50;

// The message on disk, its photograph's JPEG bytes, and settings of its own.
struct MessageOnDisk {
    std::filesystem::path dir;
    std::string path;
    std::unique_ptr<CRegistryStore> registry;
    CImageBuffer photo = MakePhoto(kFileWidth, kFileHeight);
    Message message{kFileComments, photo};
    std::vector<uint8_t> jpeg;

    MessageOnDisk()
    {
        char pattern[] = "/tmp/qrmessage-XXXXXX";
        dir = mkdtemp(pattern);
        registry = std::make_unique<CRegistryStore>(dir / "reg", dir / "reg");
        SetRegistryStore(registry.get());
        path = (dir / "photo.kvt").string();
        Save(*message.content, path);
        CAPhotoContent back(kQuality);
        ReadMessageFile(path, back);
        msgjpeg::Encode(photo, kQuality, jpeg);
    }
    ~MessageOnDisk()
    {
        SetRegistryStore(nullptr);
        std::filesystem::remove_all(dir);
    }
    MessageOnDisk(const MessageOnDisk&) = delete;
    MessageOnDisk& operator=(const MessageOnDisk&) = delete;

    // As the document saves: a new file beside the old, then put in its place.
    static bool Save(CAPhotoContent& content, const std::string& to)
    {
        CReplaceFile out;
        if (!out.Open(to))
            return false;
        {
            CFile file(out.WritePath(), CFile::modeWrite);
            CArchive ar(&file, CArchive::store);
            content.WriteBody(ar);
            file.Close();
        }
        return out.Commit();
    }
};

MessageOnDisk& OnDisk()
{
    static MessageOnDisk file;
    return file;
}

// CPU seconds per iteration of what load does, as the benchmark's time.
template <typename Work>
double TimeCpu(benchmark::State& state, Work&& work)
{
    double cpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds();
        if (!work()) {
            state.SkipWithError("the work failed");
            return 0;
        }
        const double spent = CpuSeconds() - before;
        cpu += spent;
        state.SetIterationTime(spent);
    }
    return cpu / static_cast<double>(state.iterations());
}

double g_freshDecode = 0, g_freshEncode = 0, g_readBytes = 0;

void Ratio(benchmark::State& state, const char* name, double cpu, double reference)
{
    if (cpu > 0 && reference > 0)
        state.counters[name] = cpu / reference;
}

void BM_LibjpegFreshDecode(benchmark::State& state)
{
    const std::vector<uint8_t>& jpeg = OnDisk().jpeg;
    g_freshDecode = TimeCpu(state, [&] {
        auto bits = qrbench::DirectDecode(jpeg.data(), jpeg.size(), nullptr, 1);
        benchmark::DoNotOptimize(bits.get());
        return bits != nullptr;
    });
}

void BM_OpenMessageFresh(benchmark::State& state)
{
    const std::string& path = OnDisk().path;
    const double cpu = TimeCpu(state, [&] {
        CAPhotoContent content(kQuality);
        return ReadMessageFile(path, content) && content.GetImage().IsValid();
    });
    Ratio(state, "vs_libjpeg", cpu, g_freshDecode);
}

void BM_LibjpegFreshEncode(benchmark::State& state)
{
    CImageBuffer& photo = OnDisk().photo;
    g_freshEncode = TimeCpu(state, [&] {
        const std::vector<uint8_t> jpeg = qrbench::DirectEncode(photo.GetBits(), kFileWidth, kFileHeight, kQuality, false);
        return !jpeg.empty();
    });
}

// The photograph was changed, so saving encodes it again.
void BM_SaveMessageFresh(benchmark::State& state)
{
    MessageOnDisk& disk = OnDisk();
    const std::string to = (disk.dir / "saved.kvt").string();
    const double cpu = TimeCpu(state, [&] {
        disk.message.content->EditImage();
        return MessageOnDisk::Save(*disk.message.content, to);
    });
    Ratio(state, "vs_libjpeg", cpu, g_freshEncode);
}

void BM_ReadMessageBytes(benchmark::State& state)
{
    const std::string& path = OnDisk().path;
    g_readBytes = TimeCpu(state, [&] {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return false;
        std::vector<uint8_t> bytes(std::filesystem::file_size(path));
        const size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return n == bytes.size();
    });
}

// A text no comment holds: every comment is read.
void BM_SearchMessage(benchmark::State& state)
{
    const std::string& path = OnDisk().path;
    const double cpu = TimeCpu(state, [&] { return !MessageFileMatches(path, "not in any comment"); });
    Ratio(state, "vs_read_bytes", cpu, g_readBytes);
}

} // namespace

// Each reference runs just before the message of the same size, so the
// message can be given as its multiple.
BENCHMARK(BM_Reference)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Reference)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Reference)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

BENCHMARK(BM_LibjpegFreshDecode)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_OpenMessageFresh)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_LibjpegFreshEncode)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_SaveMessageFresh)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_ReadMessageBytes)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_SearchMessage)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);

BENCHMARK_MAIN();
