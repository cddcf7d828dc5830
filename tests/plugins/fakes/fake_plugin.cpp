// A scripted plug-in for host tests: every entry point logs its call and
// answers what the test set through FakeControl. Built several times with
// different names and extensions; FAKE_IMPORTER or FAKE_EXPORTER picks the kind.
#include "imaging/plugin_api.h"
#include "plugins/common/import_target.h"

#include <algorithm>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
std::string g_log;
std::map<std::string, long> g_script;

long Value(const char* key, long fallback)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_script.find(key);
    return it == g_script.end() ? fallback : it->second;
}

void Log(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log += line + "\n";
    g_changed.notify_all();
}

} // namespace

extern "C" {

void FakeControl(const char* key, long value)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script[key] = value;
    g_changed.notify_all();
}

// Blocks until the key has the value (bounded wait; false on time-out).
bool FakeWaitFor(const char* key, long value)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30), [&] {
        auto it = g_script.find(key);
        return it != g_script.end() && it->second == value;
    });
}

const char* FakeLog()
{
    static std::string copy;
    std::lock_guard<std::mutex> lock(g_mutex);
    copy = g_log;
    return copy.c_str();
}

void FakeClearLog()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.clear();
}

// Back to the state after loading: the library may stay loaded from one test
// to the next, and each test starts from the default answers.
void FakeReset()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.clear();
    g_script.clear();
}

#ifdef FAKE_NAME_UNTERMINATED
// A name that fills its symbol to the last byte.
extern const char QrResource_String_2000[sizeof FAKE_NAME - 1] = {FAKE_NAME_UNTERMINATED};
#else
extern const char QrResource_String_2000[] = FAKE_NAME;
#endif

#ifdef FAKE_IMPORTER
#ifdef FAKE_INFO_RECORDS
// Described by records only: ImportExtProc answers 0.
extern const char QrResource_IMPORTINFO_1000[2 * QR_INFO_RECORD_SIZE] = {FAKE_INFO_RECORDS};
#ifdef FAKE_INFO_SIZE
// Claims more records than the symbol holds.
extern const uint32_t QrResource_IMPORTINFO_1000_Size = FAKE_INFO_SIZE;
#else
extern const uint32_t QrResource_IMPORTINFO_1000_Size = sizeof QrResource_IMPORTINFO_1000;
#endif
#endif

int16_t ImportExtProc(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity)
{
    Log("ImportExtProc");
    const char* list[] = {FAKE_EXTS};
    int16_t n = 0;
    for (const char* e : list) {
        if (!e || n >= capacity)
            break;
        std::snprintf(entries[n++], QR_EXT_ENTRY_SIZE, "%s", e);
    }
    return static_cast<int16_t>(Value("ext_count", n));
}

uint16_t ImportCapProc(void)
{
    Log("ImportCapProc");
    return static_cast<uint16_t>(Value("cap", 0));
}

uint16_t ImageRawInfoExProc(const char* path, const void*, QrRawImageInfo* info, uint32_t flags)
{
    Log("ImageRawInfoExProc flags=" + std::to_string(flags));
    info->pixelType = static_cast<int32_t>(Value("type", 11));
    info->orientation = 1;
    info->width = static_cast<int32_t>(Value("width", 4));
    info->height = static_cast<int32_t>(Value("height", 3));
    info->xResolution = info->yResolution = 72.0f;
    info->bitsFactor1 = static_cast<int32_t>(Value("bits1", 8));
    info->bitsFactor2 = static_cast<int32_t>(Value("bits2", 3));
    return static_cast<uint16_t>(Value("info_result", 0));
}

// What the host said it made room for, for the log.
std::string Room(const QrImportBuffer* b)
{
    if (!b)
        return " buffer=none";
    return " buffer=" + std::to_string(b->width) + "x" + std::to_string(b->height) + "x" +
           std::to_string(b->bitsPerPixel) + " stride=" + std::to_string(b->stride) +
           " bytes=" + std::to_string(b->pixelBytes) + " palette=" + std::to_string(b->paletteBytes);
}

// The picture of the data pass is "data_width" x "data_height" when set (a
// file that changed since the information pass); the fake checks it against
// the host's room as our own plug-ins do, then fills every row with the
// pattern byte.
uint16_t FillRows(void* pixels, void* palette, const QrImportBuffer* buffer, long bitsPerPixel, int paletteEntries)
{
    const long w = Value("data_width", Value("width", 4)), h = Value("data_height", Value("height", 3));
    const qrplugin::ImportTarget target(pixels, palette, buffer);
    if (!buffer || !target.Accepts(static_cast<int32_t>(w), static_cast<int32_t>(h),
                                   static_cast<int>(bitsPerPixel), paletteEntries)) {
        Log("refused");
        return 1;
    }
    for (long y = 0; y < h; ++y)
        std::memset(target.StoredRow(y), static_cast<int>(Value("fill", 0x5A)), static_cast<size_t>(buffer->stride));
    return 0;
}

uint16_t ImageRawDataExProc(const char* path, const void*, void* pixels, void* palette, const QrSourceColorRecord* src,
                            const QrSpaceRecord* working, const QrSpaceRecord* display, QrProgressProc progress,
                            uintptr_t user, uint32_t flags, uintptr_t callbackUser, const QrImportBuffer* buffer)
{
    Log("ImageRawDataExProc flags=" + std::to_string(flags) + " records=" + std::to_string(src != nullptr) +
        std::to_string(working != nullptr) + std::to_string(display != nullptr) + Room(buffer));
    if (Value("hold", 0)) {
        FakeControl("holding", 1);
        FakeWaitFor("hold", 0);
    }
    if (FillRows(pixels, palette, buffer, Value("bits1", 8) * Value("bits2", 3), palette ? 1 : 0) != 0)
        return 1;
    if (palette)
        std::memset(palette, 0x11, 4);
    if (progress && progress(1, 2, callbackUser) != 0)
        return QR_PLUGIN_CANCELLED;
    return static_cast<uint16_t>(Value("data_result", 0));
}

uint16_t ImageDIBInfoExProc(const char*, const void*, QrBitmapInfoHeader* h, uint32_t flags)
{
    Log("ImageDIBInfoExProc flags=" + std::to_string(flags));
    std::memset(h, 0, sizeof *h);
    h->biSize = 40;
    h->biWidth = static_cast<int32_t>(Value("width", 4));
    h->biHeight = static_cast<int32_t>(Value("height", 3));
    h->biPlanes = 1;
    h->biBitCount = static_cast<uint16_t>(Value("dib_bits", 24));
    h->biClrUsed = static_cast<uint32_t>(Value("clr_used", 0));
    return static_cast<uint16_t>(Value("info_result", 0));
}

// Rows of the pattern byte; colour table entry i is (i, i, i).
uint16_t ImageDIBDataExProc(const char*, const void*, void* bits, void* table, const QrSourceColorRecord*,
                            const QrSpaceRecord*, const QrSpaceRecord*, QrProgressProc progress, uintptr_t, uint32_t,
                            uintptr_t callbackUser, const QrImportBuffer* buffer)
{
    Log("ImageDIBDataExProc" + Room(buffer));
    const long b = Value("dib_bits", 24);
    const long entries = std::min(256L, Value("clr_used", 0) ? Value("clr_used", 0) : (b <= 8 ? 1L << b : 0));
    if (FillRows(bits, table, buffer, b, static_cast<int>(entries)) != 0)
        return 1;
    auto* t = static_cast<uint8_t*>(table);
    for (long i = 0; i < entries; ++i)
        t[4 * i] = t[4 * i + 1] = t[4 * i + 2] = static_cast<uint8_t>(i);
    if (progress && progress(1, 2, callbackUser) != 0)
        return QR_PLUGIN_CANCELLED;
    return static_cast<uint16_t>(Value("data_result", 0));
}
#endif

#ifdef FAKE_EXPORTER
uint32_t ExportNameProc(char name[256])
{
    Log("ExportNameProc");
    std::snprintf(name, 256, "%s", FAKE_NAME);
    return 1;
}

int16_t ExportExtProc(char entries[][QR_EXT_ENTRY_SIZE])
{
    Log("ExportExtProc");
    const char* list[] = {FAKE_EXTS};
    int16_t n = 0;
    for (const char* e : list)
        if (e)
            std::snprintf(entries[n++], QR_EXT_ENTRY_SIZE, "%s", e);
    return n;
}

uint32_t ExportInfoProc(int32_t kind)
{
    Log("ExportInfoProc " + std::to_string(kind));
    return kind == Value("kind", 11) ? 1 : 0;
}

uint16_t ImageExportMapProc(const char* path, int32_t type, const void* pixels, int32_t mapFd, int32_t fileFd,
                            uint64_t mapSize, int32_t, const uint8_t*, int32_t w, int32_t h, float, float, int32_t,
                            int32_t, int32_t, uint32_t, const uint8_t*, uint32_t l1, const uint8_t*, uint32_t l2,
                            const uint8_t*, uint32_t l3, int32_t empty, QrProgressProc, uintptr_t)
{
    Log("ImageExportMapProc type=" + std::to_string(type) + " pixels=" + std::to_string(pixels != nullptr) +
        " map=" + std::to_string(mapFd >= 0) + " file=" + std::to_string(fileFd >= 0) +
        " mapsize=" + std::to_string(mapSize) + " size=" + std::to_string(w) + "x" + std::to_string(h) +
        " blocks=" + std::to_string(l1) + "," + std::to_string(l2) + "," + std::to_string(l3) +
        " empty=" + std::to_string(empty));
    return static_cast<uint16_t>(Value("export_result", 0));
}

uint16_t ImageExportProc(const char*, const void*, const uint8_t*, int32_t, int32_t, float, float, int32_t, int32_t,
                         int32_t, uint32_t, QrProgressProc, int32_t)
{
    Log("ImageExportProc");
    return 0;
}
#endif

} // extern "C"
