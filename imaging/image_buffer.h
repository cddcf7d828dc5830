#pragma once

#include "imaging/dib_bitmap.h"
#include "imaging/dib_format.h"
#include "imaging/mapped_buffer.h"
#include "imaging/pixel_types.h"
#include "imaging/temp_file_buffer.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CArchive;
class CFile;

// Types whose channels lie in a DIB's order (blue first in memory).
constexpr bool IsStoredOrderType(int type)
{
    return type == PixelType::Bgr555 || type == PixelType::Bgr24 || type == PixelType::Bgr24Alt ||
           type == PixelType::Bgr48;
}

// Colour-table entries of the DIB a buffer of this type converts to.
constexpr int GetDibPaletteSize(int type)
{
    if (type == PixelType::Palette1)
        return 2;
    if (type >= PixelType::Palette2 && type <= PixelType::Palette4)
        return 16;
    if ((type >= PixelType::Palette5 && type <= PixelType::Palette8) || type == PixelType::Grey16 ||
        type == PixelType::Grey8)
        return 256;
    return 0;
}

// Bytes of one stored row. Packed rows hold exactly the row's bits rounded up
// to a byte; other rows are filled out to 4 bytes. 15 bits count as 16.
constexpr uint64_t ComputeStride(int64_t width, int bitsPerPixel, bool packed)
{
    const int64_t bits = bitsPerPixel == 15 ? 16 : bitsPerPixel;
    if (width <= 0 || bits <= 0)
        return 0;
    return packed ? static_cast<uint64_t>((width * bits + 7) / 8) : static_cast<uint64_t>((width * bits + 31) / 32) * 4;
}

// What a blend writes into: a 24-bit raster of the caller (pixel type 11 or
// 16). Rows are reached as topRow + y * step, so a bottom-up raster passes
// its last stored row and a negative step.
struct BlendTarget {
    BYTE* topRow = nullptr;
    ptrdiff_t step = 0;
    int width = 0;
    int height = 0;
    int pixelType = PixelType::Bgr24;
};

// An optional blend mask: one 24-bit pixel for each pixel of the blended
// image, each channel weighing the destination against the blended value.
struct BlendMask {
    const BYTE* topRow = nullptr;
    ptrdiff_t step = 0;
};

// A raster of one of the pixel types, kept on the heap, in a shared-memory
// mapping or in a temporary file, with its own file format (a 64-byte header
// opening with "KelmarTrivon RawImage").
class CImageBuffer {
public:
    enum StorageKind { kHeap = 0, kMapping = 1, kTempFile = 2 };
    enum ResampleMethod { kBilinear = 0, kBicubic = 1 };

    // Largest pixel block the buffer holds (and a raw image file can describe).
    static constexpr uint64_t kMaxPixelBytes = 0xFFFFFFFFull;
    static constexpr char kSignature[] = "KelmarTrivon RawImage";
    static constexpr size_t kHeaderSize = 64;

    CImageBuffer();
    // An empty buffer, then a copy of the other's whole image when it is valid.
    CImageBuffer(const CImageBuffer& other);
    CImageBuffer& operator=(const CImageBuffer&) = delete;
    virtual ~CImageBuffer();

    // Frees, then makes a buffer of the given layout. bits (optional) holds
    // the rows in stored order with this buffer's stride; palette (optional)
    // holds the type's entry count. False when the layout or the allocation fails.
    bool Create(int storageKind, CSize size, int pixelType, int orientation = 1, const void* bits = nullptr,
                const RGBQUAD* palette = nullptr, float xResolution = 96.0f, float yResolution = 96.0f,
                int percentage = 100, bool packed = false);
    // As Create without bits, for a caller that writes every pixel of every
    // row next: the pixels are not cleared first, so each page is touched
    // once (the bytes past a row's pixels still read as zeros).
    bool CreateForOverwrite(int storageKind, CSize size, int pixelType, int orientation = 1,
                            const RGBQUAD* palette = nullptr, float xResolution = 96.0f, float yResolution = 96.0f,
                            int percentage = 100);
    // Allocates stride x height bytes in the current store and the type's
    // palette; without bits they are zeros unless the caller overwrites them.
    bool Allocate(const void* bits, const RGBQUAD* palette, bool overwritten = false);
    void Free();
    bool IsValid() const;

    // The whole pixel block (heap or mapping); null for a temporary file.
    BYTE* GetBits();
    // Row counted from the top; null outside the image. Valid until the next
    // pointer call on this buffer.
    BYTE* GetRowPointer(int row);
    const BYTE* GetRowPointer(int row) const;

    void GetResolution(float* x, float* y) const;
    // Copies min(count, entries) palette entries; gives how many.
    int GetPalette(RGBQUAD* out, int count) const;
    const RGBQUAD* GetPaletteEntries() const { return m_palette.get(); }

    // Frees this buffer and moves the other's fields, store and palette here.
    void TakeOver(CImageBuffer& other);
    // This buffer becomes a copy of the rectangle (clipped to the source),
    // unpacked, with the source's palette, resolution and percentage word.
    bool CopyRect(const CImageBuffer& source, const CRect& rect);

    // The raw image file. WriteFile answers false on any failure; ReadFile
    // throws CUserException for anything it cannot take and leaves the buffer
    // empty; LoadFile answers false and leaves the buffer empty.
    bool WriteFile(CFile& file) const;
    void ReadFile(CFile& file, int storageKind, bool packed);
    bool LoadFile(int storageKind, const std::string& path, bool packed);
    // A 32-bit count, then a raw image file of that many bytes (0: no image).
    bool Serialize(CArchive& ar);

    // Raster operations.
    // Resamples into target, created by the caller at its size with this
    // type; throws CMemoryException when either has no whole-range pointer.
    void ResampleInto(CImageBuffer& target, int method) const;
    bool Resize(int width, int height, int method);
    // Fits the image into the size keeping its aspect; the new pixels are in a
    // mapping. Lets CMemoryException pass.
    bool ResizeToFit(int width, int height, int method);
    // Positive angles turn the picture clockwise as seen on screen.
    bool Rotate(int degrees);
    bool Mirror(bool horizontal, bool vertical);
    bool Fill(BYTE value);
    bool PasteInto(CImageBuffer& target, const CRect& rect) const;
    bool ConvertToBitsPerPixel(int bitsPerPixel);
    bool ConvertToBitsPerSample(int bitsPerSample);
    // Blends this image (types 11 and 16) into the target at rect.left/top,
    // clipped to both; channels[i] switches byte i of the target's pixels.
    bool BlendInto(const BlendTarget& target, const CRect& rect, int mode, int opacity, const COLORREF* key = nullptr,
                   const BlendMask* mask = nullptr, const bool channels[3] = nullptr) const;

    // A new 24-, 16-, 8-, 4- or 1-bit DIB of the rectangle (clipped to the
    // image) or of the whole image; null when there is nothing to show or no
    // DIB layout for the type. The colour table is the palette, or a grey ramp.
    std::unique_ptr<CDibBitmap> CreateDibRect(const CRect& rect) const;
    std::unique_ptr<CDibBitmap> CreateDib() const;

    int GetStorageKind() const { return m_storageKind; }
    int GetPixelType() const { return m_pixelType; }
    int GetOrientation() const { return m_orientation; }
    bool IsBottomUp() const { return m_orientation == 1; }
    int GetBitsPerSample() const { return m_bitsPerSample; }
    int GetSamplesPerPixel() const { return m_samplesPerPixel; }
    int GetBytesPerPixel() const { return m_bytesPerPixel; }
    int GetBitsPerPixel() const { return m_bitsPerSample * m_samplesPerPixel; }
    uint64_t GetStride() const { return m_stride; }
    uint64_t GetImageBytes() const { return m_stride * static_cast<uint64_t>(m_height); }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    CSize GetSize() const { return {m_width, m_height}; }
    int GetPercentage() const { return m_percentage; }
    // The word an exporter reads as its quality (JPEG) when it writes the buffer.
    void SetPercentage(int percentage) { m_percentage = percentage; }
    bool IsPacked() const { return m_packed; }
    int GetPaletteCount() const;

    // The stores, for handing to an exporter by descriptor.
    CMappedBuffer& GetMappedBuffer() { return m_mapped; }
    CTempFileBuffer& GetTempFileBuffer() { return m_tempFile; }

private:
    bool SetLayout(int storageKind, CSize size, int pixelType, int orientation, float xResolution,
                   float yResolution, int percentage, bool packed);
    uint64_t StoredRowOffset(int row) const;
    // The whole pixel block when the store can give it at once; else null.
    BYTE* WholeRange() const;
    BYTE* StoredRow(uint64_t storedRow) const;
    void ReadPixels(CFile& file, uint64_t fileRowBytes);

    int m_storageKind = kHeap;
    mutable CTempFileBuffer m_tempFile;
    mutable CMappedBuffer m_mapped;
    std::unique_ptr<BYTE[]> m_heap;
    std::unique_ptr<RGBQUAD[]> m_palette;
    int m_pixelType = 0;
    int m_orientation = 1;
    int m_bitsPerSample = 0;
    int m_bytesPerPixel = 0;
    int m_samplesPerPixel = 0;
    uint64_t m_stride = 0;
    float m_xResolution = 96.0f;
    float m_yResolution = 96.0f;
    int m_width = 0;
    int m_height = 0;
    int m_percentage = 100;
    bool m_packed = false;
};
