// Saving and opening a message of a 12-megapixel photograph with 50 comments
// (text, sound and image), beside plain JPEG encoding and decoding of the same
// photograph: the message file should cost little beyond the JPEG work.
#include "imaging/image_buffer.h"
#include "message/photo_content.h"
#include "message/picture_jpeg.h"
#include "platform/archive.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
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

struct Fixture {
    CImageBuffer photo = MakePhoto(kWidth, kHeight);
    std::unique_ptr<CAPhotoContent> content;

    Fixture()
    {
        content = std::make_unique<CAPhotoContent>(kQuality);
        content->SetImage(photo);
        CImageBuffer attached = MakePhoto(640, 480);
        std::vector<uint8_t> wave(44 + 160000, 0);
        std::memcpy(wave.data(), "RIFF\0\0\0\0WAVE", 12);
        for (int i = 0; i < 50; ++i) {
            auto r = std::make_unique<CAnoRecord>();
            const CRect area(i * 40, i * 30, i * 40 + 200, i * 30 + 150);
            switch (i % 3) {
            case 0:
                r->SetText("A comment on this part of the photograph, with a few words more.");
                break;
            case 1:
                r->SetText(nullptr);
                r->m_nKind = CAnoRecord::sound;
                r->SetContentString("voice");
                r->Write(wave.data(), wave.size());
                break;
            default:
                r->AttachImage("/photos/detail.jpg", attached);
                break;
            }
            r->m_area = CAreaMarquee(area, 1 + i % 3);
            content->m_comments.emplace_back(i % 2, std::move(r));
        }
    }
};

Fixture& Shared()
{
    static Fixture f;
    return f;
}

// Plain JPEG work on the photograph: encode, then decode what was encoded.
void BM_JpegEncodeDecode(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        std::vector<uint8_t> jpeg;
        msgjpeg::Encode(f.photo, kQuality, jpeg);
        CImageBuffer decoded;
        msgjpeg::Decode(jpeg.data(), jpeg.size(), decoded);
        benchmark::DoNotOptimize(decoded.GetBits());
    }
}

// The message of the same photograph: write it (the photograph is new, so it
// is encoded), then open it.
void BM_MessageWriteRead(benchmark::State& state)
{
    Fixture& f = Shared();
    size_t fileBytes = 0;
    for (auto _ : state) {
        CMemFile file;
        {
            CArchive ar(&file, CArchive::store);
            f.content->WriteBody(ar);
        }
        fileBytes = file.GetLength();
        file.SeekToBegin();
        CArchive ar(&file, CArchive::load);
        CAPhotoContent back(kQuality);
        back.ReadBody(ar);
        benchmark::DoNotOptimize(back.m_comments.data());
    }
    state.counters["file_MB"] = static_cast<double>(fileBytes) / (1 << 20);
}

} // namespace

BENCHMARK(BM_JpegEncodeDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MessageWriteRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
