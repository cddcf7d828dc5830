// Saving and opening a message of a 12-megapixel photograph with 50, 500 and
// 1,000 comments (text, sound and image), beside the work that cannot be
// avoided: a plain JPEG encode and decode of the same photograph and one copy
// of the attachment bytes. The message file should cost little beyond that,
// at any number of comments (vs_reference, target at most 1.3).
#include "imaging/image_buffer.h"
#include "message/photo_content.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
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

    explicit Message(int count) : content(std::make_unique<CAPhotoContent>(kQuality))
    {
        content->SetImage(Photo());
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

} // namespace

// Each reference runs just before the message of the same size, so the
// message can be given as its multiple.
BENCHMARK(BM_Reference)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Reference)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_Reference)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_MessageWriteRead)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

BENCHMARK_MAIN();
