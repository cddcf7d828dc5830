// A plug-in whose every answer comes from the fuzzer's input, for the
// plug-in answers target: extension lists and descriptor records, the display
// name, information records, bitmap headers, palettes, result codes. Built
// once as an importer and once as an exporter (ANSWERS_IMPORTER or
// ANSWERS_EXPORTER). It lies as a damaged or hostile plug-in may, but writes
// only where the interface lets a plug-in write: up to the capacity it is
// given and inside the host's buffers.
#include "imaging/plugin_api.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kMaxFill = 16 << 20;

std::vector<uint8_t> g_answers;
size_t g_next = 0;

// The next n bytes of the script into out; zeros once it has run dry.
void Take(void* out, size_t n)
{
    auto* p = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < n; ++i)
        p[i] = g_next < g_answers.size() ? g_answers[g_next++] : 0;
}

template <typename T>
T Next()
{
    T v{};
    Take(&v, sizeof v);
    return v;
}

// Mostly success, so that the host goes on to its next question.
uint16_t Result()
{
    const uint8_t b = Next<uint8_t>();
    return b < 200 ? 0 : b < 230 ? QR_PLUGIN_CANCELLED : b;
}

// n entries of 8 bytes, no terminator promised, and a count that may lie.
int16_t Entries(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity)
{
    const int n = std::min<int>(Next<uint8_t>() % (QR_EXT_ENTRIES + 1), capacity);
    for (int i = 0; i < n; ++i)
        Take(entries[i], QR_EXT_ENTRY_SIZE);
    return Next<int16_t>();
}

} // namespace

extern "C" {

// Shorter than the 256 characters a name may have, and without a terminator
// when the input says so; the record counts may claim more than there is.
char QrResource_String_2000[24];
char QrResource_IMPORTINFO_1000[3 * QR_INFO_RECORD_SIZE];
uint32_t QrResource_IMPORTINFO_1000_Size;
char QrResource_EXPORTINFO_1000[3 * QR_INFO_RECORD_SIZE];
uint32_t QrResource_EXPORTINFO_1000_Size;

// Starts the script again from the input's first byte. The descriptors,
// which the host reads without a call, are filled from its last bytes.
void FuzzAnswers(const uint8_t* data, size_t size)
{
    g_answers.assign(data, data + size);
    std::vector<uint8_t> tail(g_answers.rbegin(), g_answers.rend());
    std::swap(tail, g_answers);
    g_next = 0;
    Take(QrResource_String_2000, sizeof QrResource_String_2000);
    Take(QrResource_IMPORTINFO_1000, sizeof QrResource_IMPORTINFO_1000);
    Take(&QrResource_IMPORTINFO_1000_Size, sizeof QrResource_IMPORTINFO_1000_Size);
    Take(QrResource_EXPORTINFO_1000, sizeof QrResource_EXPORTINFO_1000);
    Take(&QrResource_EXPORTINFO_1000_Size, sizeof QrResource_EXPORTINFO_1000_Size);
    g_answers = std::move(tail);
    g_next = 0;
}

#ifdef ANSWERS_IMPORTER
int16_t ImportExtProc(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity) { return Entries(entries, capacity); }

uint16_t ImportCapProc(void) { return Next<uint16_t>(); }

uint16_t ImageRawInfoExProc(const char*, const void*, QrRawImageInfo* info, uint32_t)
{
    Take(info, sizeof *info);
    return Result();
}

// Fills what the host said it has room for, palette included, and may ask
// for progress first.
uint16_t FillBuffers(void* pixels, void* palette, const QrImportBuffer* buffer, QrProgressProc progress,
                     uintptr_t callbackUser)
{
    if (!buffer)
        return 1;
    if (Next<uint8_t>() & 1 && progress && progress(1, 2, callbackUser) != 0)
        return QR_PLUGIN_CANCELLED;
    // Large pictures are left as the host made them, to keep each run short.
    const uint8_t fill = Next<uint8_t>();
    if (pixels && buffer->pixelBytes <= kMaxFill)
        std::memset(pixels, fill, static_cast<size_t>(buffer->pixelBytes));
    if (palette)
        Take(palette, buffer->paletteBytes);
    return Result();
}

uint16_t ImageRawDataExProc(const char*, const void*, void* pixels, void* palette, const QrSourceColorRecord*,
                            const QrSpaceRecord*, const QrSpaceRecord*, QrProgressProc progress, uintptr_t, uint32_t,
                            uintptr_t callbackUser, const QrImportBuffer* buffer)
{
    return FillBuffers(pixels, palette, buffer, progress, callbackUser);
}

uint16_t ImageDIBInfoExProc(const char*, const void*, QrBitmapInfoHeader* header, uint32_t)
{
    Take(header, sizeof *header);
    return Result();
}

uint16_t ImageDIBDataExProc(const char*, const void*, void* bits, void* colorTable, const QrSourceColorRecord*,
                            const QrSpaceRecord*, const QrSpaceRecord*, QrProgressProc progress, uintptr_t, uint32_t,
                            uintptr_t callbackUser, const QrImportBuffer* buffer)
{
    return FillBuffers(bits, colorTable, buffer, progress, callbackUser);
}
#endif

#ifdef ANSWERS_EXPORTER
uint32_t ExportNameProc(char name[256])
{
    Take(name, 256);
    return Next<uint8_t>();
}

int16_t ExportExtProc(char entries[][QR_EXT_ENTRY_SIZE]) { return Entries(entries, QR_EXT_ENTRIES); }

uint32_t ExportInfoProc(int32_t) { return Next<uint8_t>() & 1; }

uint16_t ImageExportMapProc(const char*, int32_t, const void*, int32_t, int32_t, uint64_t, int32_t, const uint8_t*,
                            int32_t, int32_t, float, float, int32_t, int32_t, int32_t, uint32_t, const uint8_t*,
                            uint32_t, const uint8_t*, uint32_t, const uint8_t*, uint32_t, int32_t, QrProgressProc,
                            uintptr_t)
{
    return Result();
}
#endif

} // extern "C"
