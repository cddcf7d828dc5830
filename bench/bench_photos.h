#pragma once

// Camera-like JPEG files for the benchmarks, made when a benchmark starts
// (nothing large is kept in the tree).
#include "imaging/jpeg_codec.h"
#include "tests/support/exif_thumbnail_block.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace qrbench {

// The process's CPU time, all threads.
inline double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

inline void WriteAll(const std::filesystem::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A photograph-like picture: smooth light with grain, so that it compresses
// like a camera picture (a few megabytes at quality 90 for 12 megapixels).
inline std::vector<uint8_t> MakePhoto(int width, int height)
{
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> rows(stride * static_cast<size_t>(height));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rows[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x)];
            p[0] = static_cast<uint8_t>(std::clamp(x * 255 / width + grain(rng), 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(y * 255 / height + grain(rng), 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(((x + y) / 37 % 2) * 120 + 60 + grain(rng), 0, 255));
        }
    std::vector<uint8_t> jpeg;
    size_t n = 0;
    JpegEncode(rows.data(), 11, false, width, height, 90, 72, 72, 0, nullptr, 0, nullptr, 0, jpeg, &n, nullptr, stride);
    return jpeg;
}

// An Exif block whose directory 1 points at a 160 x 120 JPEG thumbnail.
inline std::vector<uint8_t> ExifWithThumbnail()
{
    std::vector<uint8_t> small(160 * 120 * 3, 128);
    std::vector<uint8_t> thumb;
    size_t n = 0;
    JpegEncode(small.data(), 11, false, 160, 120, 90, 72, 72, 0, nullptr, 0, nullptr, 0, thumb, &n, nullptr, 160 * 3);
    return qrtest::ExifBlockWithThumbnail(thumb);
}

// The picture with an APP1 segment right behind its start, as cameras write it.
inline std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& app1)
{
    std::vector<uint8_t> tagged(jpeg.begin(), jpeg.begin() + 2);
    tagged.push_back(0xFF);
    tagged.push_back(0xE1);
    tagged.push_back(static_cast<uint8_t>((app1.size() + 2) >> 8));
    tagged.push_back(static_cast<uint8_t>(app1.size() + 2));
    tagged.insert(tagged.end(), app1.begin(), app1.end());
    tagged.insert(tagged.end(), jpeg.begin() + 2, jpeg.end());
    return tagged;
}

// The picture with a JFIF segment in front of everything else, as editors
// and phones leave their files.
inline std::vector<uint8_t> WithJfif(const std::vector<uint8_t>& jpeg)
{
    static const uint8_t kJfif[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 72, 0, 72, 0, 0};
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), std::begin(kJfif), std::end(kJfif));
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

} // namespace qrbench
