/* The interface between the picture hosts and the importer (*.gim) and
 * exporter (*.gex) plug-ins. Plain C with fixed-width fields so that a plug-in
 * built apart from the program still agrees on every record; pointers are
 * real pointers and records are copied by their real size.
 *
 * Every entry point is looked up by name with dlsym. Results of the data and
 * export procedures are 16-bit: 0 success, 7 cancelled, anything else failure.
 */
#ifndef QR_PLUGIN_API_H
#define QR_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QR_PLUGIN_OK 0
#define QR_PLUGIN_CANCELLED 7
#define QR_PLUGIN_FAILED 1 /* the failure our own plug-ins report */

/* Progress: (done, total, callback user value) -> nonzero asks the plug-in to stop. */
typedef int32_t (*QrProgressProc)(int32_t done, int32_t total, uintptr_t user);

/* Filled by ImageRawInfoExProc. Bits per pixel = bitsFactor1 * bitsFactor2
 * (a product of 15 counts as 16). */
typedef struct QrRawImageInfo {
    int32_t pixelType;   /* image-buffer pixel type, 1..20 */
    int32_t orientation; /* 1 = bottom-up rows */
    int32_t width;
    int32_t height;
    float xResolution;   /* dots per inch */
    float yResolution;
    int32_t bitsFactor1;
    int32_t bitsFactor2;
} QrRawImageInfo;

/* The 40-byte bitmap information header, field for field. */
typedef struct QrBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} QrBitmapInfoHeader;

/* Colour records handed to importers that match colours themselves. */
typedef struct QrSourceColorRecord {
    uint32_t colorSpace;          /* low 16 bits: colour-space code */
    const char* profilePath;      /* or null */
    const uint8_t* profileBytes;  /* or null */
    uint32_t profileSize;
} QrSourceColorRecord;

typedef struct QrSpaceRecord {
    uint32_t colorSpace;
    const char* profilePath;
} QrSpaceRecord;

/* Decode options: the hosts pass the rectangle the picture is wanted in (a
 * thumbnail's bound, a text rendering's area), or null. An importer may decode
 * at a reduced scale as long as the result still covers the picture fitted
 * into that rectangle with its aspect kept. */
typedef struct QrDecodeRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} QrDecodeRect;

/* Palette entries (4 bytes each) of the buffer a host hands an importer, by
 * pixel type; 3 entries hold the masks of the 16-bit and three-sample types. */
static inline int32_t QrPaletteEntriesForType(int32_t pixelType)
{
    switch (pixelType) {
    case 1: return 2;
    case 2: case 3: case 4: return 16;
    case 5: case 6: case 7: case 8: case 10: case 14: return 256;
    case 9: case 12: case 15: case 17: case 19: return 3;
    default: return 0;
    }
}

/* What the host made room for, passed as the last argument of the data
 * procedures. The information procedure's picture (its width, height and
 * bits per pixel, 15 kept as 15), the step between stored rows and the bytes
 * at the pixel and palette (or colour table) buffers. A plug-in writes only
 * inside them, and fails without writing when the picture it finds is not
 * the one described: the file may have changed between the two calls. */
typedef struct QrImportBuffer {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t stride;
    uint64_t pixelBytes;   /* at least stride * height */
    uint32_t paletteBytes; /* 0 when no palette buffer is given */
    uint32_t reserved;     /* 0 */
} QrImportBuffer;

/* Flag bits of the data and information procedures. */
#define QR_IMPORT_FLAG_OPTION1 1u
#define QR_IMPORT_FLAG_COLOR_RECORDS 2u
#define QR_IMPORT_FLAG_OPTION4 4u

/* Capability bit of ImportCapProc: matches colours itself when given records. */
#define QR_IMPORT_CAP_MATCHES_COLORS 2u

#define QR_EXT_ENTRIES 32
#define QR_EXT_ENTRY_SIZE 8

/* ---- importer entry points ---- */
typedef int16_t (*ImportExtProcFn)(char entries[][QR_EXT_ENTRY_SIZE], int32_t capacity);
typedef uint16_t (*ImportCapProcFn)(void);
typedef uint16_t (*ImageRawInfoExProcFn)(const char* path, const void* options, QrRawImageInfo* info, uint32_t flags);
typedef uint16_t (*ImageRawDataExProcFn)(const char* path, const void* options, void* pixels, void* palette,
                                         const QrSourceColorRecord* source, const QrSpaceRecord* working,
                                         const QrSpaceRecord* display, QrProgressProc progress, uintptr_t userValue,
                                         uint32_t flags, uintptr_t callbackUser, const QrImportBuffer* buffer);
typedef uint16_t (*ImageDIBInfoExProcFn)(const char* path, const void* options, QrBitmapInfoHeader* header,
                                         uint32_t flags);
typedef uint16_t (*ImageDIBDataExProcFn)(const char* path, const void* options, void* bits, void* colorTable,
                                         const QrSourceColorRecord* source, const QrSpaceRecord* working,
                                         const QrSpaceRecord* display, QrProgressProc progress, uintptr_t userValue,
                                         uint32_t flags, uintptr_t callbackUser, const QrImportBuffer* buffer);

/* ---- exporter entry points ---- */
typedef uint32_t (*ExportNameProcFn)(char name[256]);
typedef int16_t (*ExportExtProcFn)(char entries[][QR_EXT_ENTRY_SIZE]);
typedef uint32_t (*ExportInfoProcFn)(int32_t kind);

/* Storage words: pixels is null when the picture lives in a temporary file
 * (fileFd, rows read with pread at stored row * stride); mapFd/mapSize describe
 * a page-file mapping (-1/0 when none).
 * path is the host's temporary file for the picture (it has no extension of
 * its own): the exporter opens it, writes it whole and closes it, checking
 * each result; the host puts it in place of the target only when the export
 * returned 0, so the exporter never renames or removes anything itself. */
typedef uint16_t (*ImageExportMapProcFn)(const char* path, int32_t pixelType, const void* pixels, int32_t mapFd,
                                         int32_t fileFd, uint64_t mapSize, int32_t orientation,
                                         const uint8_t* palette, int32_t width, int32_t height, float xResolution,
                                         float yResolution, int32_t stride, int32_t samplesPerPixel,
                                         int32_t bitsPerSample, uint32_t percentage, const uint8_t* block1,
                                         uint32_t block1Length, const uint8_t* block2, uint32_t block2Length,
                                         const uint8_t* block3, uint32_t block3Length, int32_t block1Empty,
                                         QrProgressProc progress, uintptr_t zero);
typedef uint16_t (*ImageExportWithDataProcFn)(const char* path, int32_t pixelType, const void* pixels,
                                              int32_t orientation, const uint8_t* palette, int32_t width,
                                              int32_t height, float xResolution, float yResolution, int32_t stride,
                                              int32_t samplesPerPixel, int32_t bitsPerSample, uint32_t percentage,
                                              const uint8_t* block1, uint32_t block1Length, const uint8_t* block2,
                                              uint32_t block2Length, const uint8_t* block3, uint32_t block3Length,
                                              int32_t block1Empty, QrProgressProc progress, uintptr_t zero);
typedef uint16_t (*ImageExportExProcFn)(const char* path, int32_t pixelType, const void* pixels, int32_t orientation,
                                        const uint8_t* palette, int32_t width, int32_t height, float xResolution,
                                        float yResolution, int32_t stride, int32_t samplesPerPixel,
                                        int32_t bitsPerSample, uint32_t percentage, QrProgressProc progress,
                                        uintptr_t zero);
typedef uint16_t (*ImageExportProcFn)(const char* path, const void* pixels, const uint8_t* palette, int32_t width,
                                      int32_t height, float xResolution, float yResolution, int32_t stride,
                                      int32_t samplesPerPixel, int32_t bitsPerSample, uint32_t percentage,
                                      QrProgressProc progress, int32_t pixelType);

/* ---- descriptors a module may export in place of or beside the procedures ----
 * QrResource_IMPORTINFO_1000 / QrResource_EXPORTINFO_1000: an array of 40-byte
 * records, each beginning with a NUL-terminated extension; the byte size is in
 * the matching _Size symbol. QrResource_String_2000: the display name. */
#define QR_INFO_RECORD_SIZE 40
#define QR_SYMBOL_IMPORTINFO "QrResource_IMPORTINFO_1000"
#define QR_SYMBOL_IMPORTINFO_SIZE "QrResource_IMPORTINFO_1000_Size"
#define QR_SYMBOL_EXPORTINFO "QrResource_EXPORTINFO_1000"
#define QR_SYMBOL_EXPORTINFO_SIZE "QrResource_EXPORTINFO_1000_Size"
#define QR_SYMBOL_STRING_2000 "QrResource_String_2000"

#ifdef __cplusplus
}
#endif

#endif
