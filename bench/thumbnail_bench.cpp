// Thumbnails of a folder of 12-megapixel JPEG files, with and without Exif
// thumbnails, beside libjpeg's plain full decode of the same files. A JFIF
// segment in front of the Exif segment must cost no more than none.
#include "bench/bench_photos.h"
#include "imaging/dib_bitmap.h"
#include "imaging/jpeg_codec.h"
#include "imaging/thumbnail_maker.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

int FileCount()
{
    const char* n = std::getenv("QR_BENCH_FILES");
    return n ? std::max(1, std::atoi(n)) : 200;
}

std::vector<uint8_t> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

struct Folders {
    fs::path root;
    std::vector<std::string> plain, withExif, jfifFirst;
    Folders()
    {
        char pattern[] = "/tmp/qrbench-XXXXXX";
        root = mkdtemp(pattern);
        const std::vector<uint8_t> photo = qrbench::MakePhoto(kWidth, kHeight);
        const std::vector<uint8_t> tagged = qrbench::WithApp1(photo, qrbench::ExifWithThumbnail());
        const std::vector<uint8_t> jfif = qrbench::WithJfif(tagged);
        fs::create_directories(root / "plain");
        fs::create_directories(root / "exif");
        fs::create_directories(root / "jfif");
        for (int i = 0; i < FileCount(); ++i) {
            const std::string name = "IMG_" + std::to_string(1000 + i) + ".JPG";
            plain.push_back((root / "plain" / name).string());
            withExif.push_back((root / "exif" / name).string());
            WriteAll(plain.back(), photo);
            WriteAll(withExif.back(), tagged);
            jfifFirst.push_back((root / "jfif" / name).string());
            WriteAll(jfifFirst.back(), jfif);
        }
    }
    ~Folders() { fs::remove_all(root); }
};

Folders& Files()
{
    static Folders folders;
    return folders;
}

std::string ImporterPattern()
{
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    return (exe.parent_path().parent_path() / "bin" / "Importer" / "*.gim").string();
}

void Rate(benchmark::State& state, size_t files)
{
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(files) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// libjpeg alone: read each file and decode every row at full size.
void BM_PlainFullDecode(benchmark::State& state)
{
    const auto& files = Files().plain;
    for (auto _ : state) {
        for (const std::string& f : files) {
            const std::vector<uint8_t> bytes = ReadAll(f);
            jpeg_decompress_struct cinfo;
            jpeg_error_mgr err;
            cinfo.err = jpeg_std_error(&err);
            jpeg_create_decompress(&cinfo);
            jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
            jpeg_read_header(&cinfo, TRUE);
            jpeg_start_decompress(&cinfo);
            std::vector<JSAMPLE> row(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
            while (cinfo.output_scanline < cinfo.output_height) {
                JSAMPROW r = row.data();
                jpeg_read_scanlines(&cinfo, &r, 1);
            }
            jpeg_finish_decompress(&cinfo);
            jpeg_destroy_decompress(&cinfo);
            benchmark::DoNotOptimize(row.data());
        }
    }
    Rate(state, files.size());
}

void Thumbnails(benchmark::State& state, const std::vector<std::string>& files)
{
    CThumbnailMaker maker(ImporterPattern());
    for (auto _ : state) {
        for (const std::string& f : files) {
            CDibBitmap bmp;
            maker.MakeThumbnail(f, bmp);
            if (bmp.GetSize().cx == 64)
                state.SkipWithError("placeholder: the picture was not read");
            benchmark::DoNotOptimize(bmp.GetBits());
        }
    }
    Rate(state, files.size());
}

void BM_ThumbnailsWithoutExif(benchmark::State& state) { Thumbnails(state, Files().plain); }
void BM_ThumbnailsWithExif(benchmark::State& state) { Thumbnails(state, Files().withExif); }
void BM_ThumbnailsJfifBeforeExif(benchmark::State& state) { Thumbnails(state, Files().jfifFirst); }

} // namespace

BENCHMARK(BM_PlainFullDecode)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ThumbnailsWithoutExif)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ThumbnailsWithExif)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ThumbnailsJfifBeforeExif)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
