#pragma once

// One of our importer plug-ins, compiled into its fuzz target, driven as the
// hosts drive it: the information pass over the input written to a file, then
// the data pass into buffers of the host's layout, at full size and at a
// thumbnail's. Each must keep to what it described, and refuse a buffer made
// for another picture.
#include "fuzz/input_file.h"
#include "imaging/plugin_api.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" uint16_t ImageRawInfoExProc(const char* path, const void* options, QrRawImageInfo* info, uint32_t flags);
extern "C" uint16_t ImageRawDataExProc(const char* path, const void* options, void* pixels, void* palette,
                                       const QrSourceColorRecord*, const QrSpaceRecord*, const QrSpaceRecord*,
                                       QrProgressProc progress, uintptr_t, uint32_t, uintptr_t callbackUser,
                                       const QrImportBuffer* buffer);

// Pictures past this many bytes are described but not decoded, to keep each run short.
constexpr int64_t kFuzzMaxPictureBytes = 16 << 20;

inline void RunImporter(const char* name, const uint8_t* data, size_t size)
{
    const std::string path = WriteInputFile(name, data, size);
    if (path.empty())
        return;
    static const QrDecodeRect thumbnail{0, 0, 64, 48};
    for (const QrDecodeRect* options : {static_cast<const QrDecodeRect*>(nullptr), &thumbnail}) {
        QrRawImageInfo info{};
        if (ImageRawInfoExProc(path.c_str(), options, &info, 0) != 0)
            continue;
        const int64_t bits = static_cast<int64_t>(info.bitsFactor1) * info.bitsFactor2;
        // Our importers only describe pictures of their own few kinds.
        if (info.width <= 0 || info.height <= 0 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24))
            __builtin_trap();
        const int64_t stride = ((info.width * bits + 31) / 32) * 4;
        const int64_t bytes = stride * info.height;
        if (bytes > kFuzzMaxPictureBytes)
            continue;
        std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
        std::vector<uint8_t> palette(static_cast<size_t>(QrPaletteEntriesForType(info.pixelType)) * 4);
        QrImportBuffer buffer{info.width, info.height, static_cast<int32_t>(bits), static_cast<int32_t>(stride),
                              static_cast<uint64_t>(bytes), static_cast<uint32_t>(palette.size()), 0};
        auto decode = [&] {
            return ImageRawDataExProc(path.c_str(), options, pixels.data(), palette.empty() ? nullptr : palette.data(),
                                      nullptr, nullptr, nullptr, nullptr, 0, 0, 0, &buffer);
        };
        decode();
        if (info.height > 1) {
            buffer.height -= 1;
            buffer.pixelBytes -= static_cast<uint64_t>(stride);
            if (decode() == 0)
                __builtin_trap(); // wrote a picture into room made for another
        }
    }
}
