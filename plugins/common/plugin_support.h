// Shared pieces of our importer and exporter plug-ins: extension lists,
// reading the host's rows in any pixel type, and row conversion.
#pragma once

#include "imaging/plugin_api.h"
#include "plugins/common/import_target.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qrplugin {

// Writes up to capacity NUL-terminated extensions into the 8-byte entries.
int16_t FillExtensions(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity, const std::vector<const char*>& list);

// Palette entries of a pixel type (RGBQUAD: blue, green, red, reserved).
int PaletteEntries(int32_t pixelType);

// Bits per pixel of a buffer row of the given type (15 for types 9 and 15).
int BitsPerPixel(int32_t pixelType);

// The exporter's view of the host's picture: rows in top-down order whatever
// the storage, from memory or from the temporary file.
class SourceRows {
public:
    SourceRows(int32_t pixelType, const void* pixels, int32_t fileFd, int32_t orientation, const uint8_t* palette,
               int32_t width, int32_t height, int32_t stride);

    // False when the type or the sizes cannot be read.
    bool Valid() const { return m_valid; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t PixelType() const { return m_type; }
    bool IsGrey() const { return m_type == 10 || m_type == 14; }
    bool IsPaletted() const { return m_type >= 1 && m_type <= 8; }
    const uint8_t* Palette() const { return m_palette; }

    // The raw stored bytes of top-down row r (stride bytes), or null on a read error.
    const uint8_t* Raw(int32_t r);
    // Row r as 8-bit red, green, blue triples (width * 3 bytes).
    bool Rgb(int32_t r, uint8_t* out);
    // Row r as 8-bit grey (grey types only).
    bool Grey(int32_t r, uint8_t* out);
    // Row r as one palette index a byte (paletted types only).
    bool Indices(int32_t r, uint8_t* out);

private:
    int32_t m_type;
    const uint8_t* m_pixels;
    int32_t m_fd;
    int32_t m_orientation;
    const uint8_t* m_palette;
    int32_t m_width;
    int32_t m_height;
    int32_t m_stride;
    bool m_valid;
    std::vector<uint8_t> m_row;
};

// Stops when the callback asks: true means stop.
inline bool ShouldStop(QrProgressProc progress, int32_t done, int32_t total, uintptr_t user)
{
    return progress && progress(done, total, user) != 0;
}

// The file an exporter writes. The host hands the exporter the path of its
// temporary file and puts that in place once the export succeeded, so the
// exporter writes the path whole and never renames anything itself.
class OutputFile {
public:
    explicit OutputFile(const char* path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Open for reading and writing.
    int Fd() const { return m_fd; }
    bool Ok() const { return m_fd >= 0; }
    // False when closing failed: what was written may not be all there.
    bool Close();

private:
    int m_fd = -1;
};

bool WriteAll(int fd, const void* data, size_t size);

// The ICC profile inside block 2 (an optional leading APP2 part followed by the
// profile): the offset where the profile starts, or -1 when none is found.
long FindIccProfile(const uint8_t* data, size_t size);

// Main-tag records of block 3 (68 bytes each).
struct MainTag {
    uint32_t tag = 0;
    std::string text;        // tags other than 282/283
    uint32_t numerator = 0;  // 282/283
    uint32_t denominator = 0;
};
std::vector<MainTag> ParseMainTags(const uint8_t* data, size_t size);

// An Intel-order TIFF structure holding the main tags as directory 0, for a
// JPEG whose source gave no Exif block. Empty when there are no tags.
std::vector<uint8_t> BuildMainTagExif(const std::vector<MainTag>& tags);



// The arguments of an export, as the richest entry point passes them.
struct ExportArgs {
    const char* path;
    int32_t pixelType;
    const void* pixels;
    int32_t fileFd;
    int32_t orientation;
    const uint8_t* palette;
    int32_t width;
    int32_t height;
    float xResolution;
    float yResolution;
    int32_t stride;
    uint32_t percentage;
    const uint8_t* block1;
    uint32_t block1Length;
    const uint8_t* block2;
    uint32_t block2Length;
    const uint8_t* block3;
    uint32_t block3Length;
    int32_t block1Empty;
    QrProgressProc progress;
};

// The bitmap header for a raw record of type 1, 4, 8, 11 or 14; false for others.
bool HeaderFromRawInfo(const QrRawImageInfo& info, QrBitmapInfoHeader* h);

// An entry point's work: no exception (out of memory among them) crosses
// into the host, which may not be C++; it becomes the entry point's failure.
template <typename R, typename Fn>
R Guarded(R failure, Fn fn) noexcept
{
    try {
        return fn();
    } catch (...) {
        return failure;
    }
}

} // namespace qrplugin

// The entry points of an importer whose work is one function
//   uint16_t Run(path, options, QrRawImageInfo* info, const qrplugin::ImportTarget* target, progress, callbackUser)
// that fills info when it is given, else decodes into target. Its raw rows
// are bitmap rows (bottom-up, padded to 4 bytes, blue-green-red or palette
// indices), so the bitmap road is served by the same function.
#define QR_IMPORTER_ENTRY_POINTS(NAME, RUN, ...)                                                            \
    extern "C" {                                                                                            \
    extern const char QrResource_String_2000[];                                                                \
    const char QrResource_String_2000[] = NAME;                                                                    \
    int16_t ImportExtProc(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity)                              \
    {                                                                                                       \
        return qrplugin::Guarded<int16_t>(0, [&] { return qrplugin::FillExtensions(entries, capacity, {__VA_ARGS__}); }); \
    }                                                                                                       \
    uint16_t ImportCapProc(void) { return 0; }                                                              \
    uint16_t ImageRawInfoExProc(const char* path, const void* options, QrRawImageInfo* info, uint32_t)      \
    {                                                                                                       \
        return qrplugin::Guarded<uint16_t>(QR_PLUGIN_FAILED, [&]() -> uint16_t {                            \
            return path && info ? RUN(path, options, info, nullptr, nullptr, 0) : QR_PLUGIN_FAILED;         \
        });                                                                                                 \
    }                                                                                                       \
    uint16_t ImageRawDataExProc(const char* path, const void* options, void* pixels, void* palette,         \
                                const QrSourceColorRecord*, const QrSpaceRecord*, const QrSpaceRecord*,     \
                                QrProgressProc progress, uintptr_t, uint32_t, uintptr_t callbackUser,       \
                                const QrImportBuffer* buffer)                                               \
    {                                                                                                       \
        if (!path || !pixels || !buffer)                                                                    \
            return QR_PLUGIN_FAILED;                                                                        \
        return qrplugin::Guarded<uint16_t>(QR_PLUGIN_FAILED, [&]() -> uint16_t {                            \
            const qrplugin::ImportTarget target(pixels, palette, buffer);                                   \
            return RUN(path, options, nullptr, &target, progress, callbackUser);                            \
        });                                                                                                 \
    }                                                                                                       \
    uint16_t ImageDIBInfoExProc(const char* path, const void* options, QrBitmapInfoHeader* h, uint32_t f)   \
    {                                                                                                       \
        QrRawImageInfo info{};                                                                              \
        if (!h || ImageRawInfoExProc(path, options, &info, f) != QR_PLUGIN_OK)                              \
            return QR_PLUGIN_FAILED;                                                                        \
        return qrplugin::Guarded<uint16_t>(QR_PLUGIN_FAILED, [&]() -> uint16_t {                            \
            return qrplugin::HeaderFromRawInfo(info, h) ? QR_PLUGIN_OK : QR_PLUGIN_FAILED;                  \
        });                                                                                                 \
    }                                                                                                       \
    uint16_t ImageDIBDataExProc(const char* path, const void* options, void* bits, void* colorTable,        \
                                const QrSourceColorRecord* s, const QrSpaceRecord* w,                       \
                                const QrSpaceRecord* d, QrProgressProc progress, uintptr_t user,            \
                                uint32_t flags, uintptr_t cbUser, const QrImportBuffer* buffer)             \
    {                                                                                                       \
        return ImageRawDataExProc(path, options, bits, colorTable, s, w, d, progress, user, flags, cbUser,  \
                                  buffer);                                                                  \
    }                                                                                                       \
    }

// The entry points of an exporter whose work is uint16_t EXPORT(const qrplugin::ExportArgs&).
#define QR_EXPORTER_ENTRY_POINTS(NAME, EXPORT, ...)                                                         \
    extern "C" {                                                                                            \
    extern const char QrResource_String_2000[];                                                                \
    const char QrResource_String_2000[] = NAME;                                                                    \
    uint32_t ExportNameProc(char name[256])                                                                 \
    {                                                                                                       \
        std::snprintf(name, 256, "%s", NAME);                                                               \
        return 1;                                                                                           \
    }                                                                                                       \
    int16_t ExportExtProc(char entries[][QR_EXT_ENTRY_SIZE])                                                \
    {                                                                                                       \
        return qrplugin::Guarded<int16_t>(0, [&] { return qrplugin::FillExtensions(entries, QR_EXT_ENTRIES, {__VA_ARGS__}); }); \
    }                                                                                                       \
    /* Every pixel type that converts to 8-bit colour, grey or palette rows. */                            \
    uint32_t ExportInfoProc(int32_t kind) { return kind == -1 || (kind >= 1 && kind <= 18) ? 1 : 0; }      \
    uint16_t ImageExportMapProc(const char* path, int32_t pixelType, const void* pixels, int32_t,           \
                                int32_t fileFd, uint64_t, int32_t orientation, const uint8_t* palette,      \
                                int32_t width, int32_t height, float xRes, float yRes, int32_t stride,      \
                                int32_t, int32_t, uint32_t percentage, const uint8_t* b1, uint32_t l1,      \
                                const uint8_t* b2, uint32_t l2, const uint8_t* b3, uint32_t l3,             \
                                int32_t block1Empty, QrProgressProc progress, uintptr_t)                    \
    {                                                                                                       \
        const qrplugin::ExportArgs args{path, pixelType, pixels, fileFd, orientation, palette, width,       \
                                        height, xRes, yRes, stride, percentage, b1, l1, b2, l2, b3, l3,     \
                                        block1Empty, progress};                                             \
        return qrplugin::Guarded<uint16_t>(QR_PLUGIN_FAILED,                                                \
                                           [&]() -> uint16_t { return path ? EXPORT(args) : QR_PLUGIN_FAILED; }); \
    }                                                                                                       \
    }
