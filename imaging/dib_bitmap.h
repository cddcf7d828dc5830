#pragma once

#include "imaging/dib_format.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CDC;
class CFile;
class CRgn;
class QImage;

// The picture object every window, dialog, printer path and clipboard
// command draws or exchanges: a device-independent bitmap that keeps its own
// header, colour table (for 8 bits or less) and bottom-up rows padded to
// 4 bytes in blue-green-red order.
class CDibBitmap {
public:
    // The largest pixel block a bitmap takes (1 GB unless set otherwise); a
    // header asking for more is refused.
    static uint64_t MaxImageBytes();
    static void SetMaxImageBytes(uint64_t bytes);

    CDibBitmap();
    virtual ~CDibBitmap();
    CDibBitmap(const CDibBitmap& other);
    CDibBitmap& operator=(const CDibBitmap& other);
    CDibBitmap(CDibBitmap&& other) noexcept;
    CDibBitmap& operator=(CDibBitmap&& other) noexcept;

    bool IsValid() const { return m_bits != nullptr; }
    // Gives the bitmap up: the object is empty afterwards.
    void DeleteObject();

    CSize GetSize() const;
    int GetBitsPerPixel() const;
    int GetStride() const;
    BYTE* GetBits() { return m_bits.get(); }
    const BYTE* GetBits() const { return m_bits.get(); }
    // Row size x height.
    uint64_t GetDibImageSize() const;
    int GetPixelType() const;
    int GetSamplesPerPixel() const;
    int GetBitsPerSample() const;
    const BITMAPINFOHEADER& GetInfoHeader() const { return m_header; }
    // Red, green and blue masks of a BI_BITFIELDS bitmap (zero otherwise).
    const DWORD* GetBitMasks() const { return m_masks; }

    // Entries of the colour table (0 without one).
    int GetPaletteSize() const { return static_cast<int>(m_palette.size()); }
    // Copies the colour table into colors (GetPaletteSize() entries); false without one.
    bool GetPaletteColors(RGBQUAD* colors) const;
    const std::vector<RGBQUAD>& GetPalette() const { return m_palette; }
    // Replaces the first count entries of the colour table (no more than it
    // holds); false without one.
    bool SetPaletteColors(const RGBQUAD* colors, int count);

    // A new bitmap of size and bitCount (1, 4, 8, 15, 16, 24, 32) at 96 dots
    // per inch. For 8 bits or less the colour table is palette (2, 16 or 256
    // entries), else the standard one. bits (row size x height bytes) are
    // copied in; without them every pixel takes the fill colour.
    bool CreateDib(CSize size, int bitCount, const void* bits = nullptr, const RGBQUAD* palette = nullptr,
                   COLORREF fill = RGB(255, 255, 255));
    // The same without filling: for decoders that write every row.
    bool CreateDibForOverwrite(CSize size, int bitCount, const RGBQUAD* palette = nullptr);
    // Takes over other's bitmap; false (and nothing changes) when other is empty.
    bool Attach(CDibBitmap&& other);

    // A BMP file from disk; without force only the extension "bmp" is taken.
    bool LoadFromFile(const std::string& path, bool force = false);
    // A BMP file ("BM" data) or a raw bitmap record with its bits, from the
    // file's position. On failure the object is left without a bitmap.
    bool Read(CFile& file);
    // A BMP file at the given resolution; false when writing failed.
    bool Write(CFile& file, float dotsPerInch = 96.0f) const;
    // A packed DIB (header, colour table, bits), as the clipboard holds it.
    bool ReadFromGlobal(const std::vector<uint8_t>& packed);
    // This bitmap as a packed DIB of 96 dots per inch; empty when there is none.
    std::vector<uint8_t> CopyToGlobal() const;

    // COLORREF of the pixel (y from the top); CLR_INVALID outside or for depths
    // other than 1, 8 and 24.
    COLORREF GetPixel(int x, int y) const;
    // 1 bit: 0 clears, else sets; 8 bits: stores the byte; others false.
    bool SetPixel(int x, int y, COLORREF value);

    // The standard colour tables of 2, 16 or 256 entries; null for other counts.
    static const RGBQUAD* GetStandardPalette(int count);

    // ---- drawing (rectangles: y from the top; on a device: logical units)

    // The whole bitmap into dest.
    bool Draw(CDC* dc, const CRect& dest, const CRgn* clip = nullptr, bool noReduction = false) const;
    // source of this bitmap into dest, stretched when the sizes differ. On a
    // device of 8 bits or less (a monochrome bitmap) a deeper picture is
    // reduced by error diffusion first unless noReduction is set; a
    // combination that cannot be reduced draws nothing and answers false.
    bool DrawRect(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip = nullptr,
                  bool noReduction = false) const;
    // Resampled drawing of 24-bit pictures: bilinear, or bicubic (Ex). Other
    // depths, and a destination of the bitmap's own size, draw plainly; a
    // 1 x 1 source fills the destination with its colour.
    bool DrawResampled(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip = nullptr) const;
    bool DrawResampledEx(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip = nullptr) const;

    // ---- bitmap to bitmap

    // targetRect of target is filled white, then sourceRect of source drawn
    // into it (nearest pixel), only inside clip (target pixels) when given.
    // Without noReduction a deeper source into a target of 8 bits or less is
    // error-diffused (24 to 8 bits, anything to 1 bit); other such pairs leave
    // the white fill.
    static bool StretchDraw(const CDibBitmap& source, CDibBitmap& target, const CRect& targetRect,
                            const CRect& sourceRect, const CRgn* clip = nullptr, bool noReduction = false);
    // This object becomes a new bitmap of targetRect's size and bitCount (0:
    // the source's) holding sourceRect of source; the source's colour table is
    // kept at its own depth. clip is in targetRect's coordinates.
    bool ExtractRect(const CDibBitmap& source, const CRect& targetRect, const CRect& sourceRect, int bitCount = 0,
                     const CRgn* clip = nullptr);
    // Another depth: through a white 24-bit copy, then (below 24 bits) the
    // nearest colours of the standard table, without error diffusion.
    bool ConvertBitDepth(int bitCount);
    // This object becomes a 24-bit bitmap of destRect's size holding
    // sourceRect of source resampled: bilinear, or bicubic (Ex).
    bool ResampleInto(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect);
    bool ResampleIntoEx(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect);
    // This object becomes source reduced by error diffusion to 8 bits with the
    // standard 256-entry table, or to 1 bit (black and white).
    bool ReduceTo8Bit(const CDibBitmap& source);
    bool ReduceTo1Bit(const CDibBitmap& source);
    // Both 24 bits: source pixels at (x + xOffset, y + yOffset) into rect of
    // this bitmap; with a mask each channel becomes
    // (255 - m) x source / 255 + this x m / 255. rect is clipped to this
    // bitmap, the source and the mask.
    bool CombineRect24(const CDibBitmap& source, const CRect& rect, const CDibBitmap* mask = nullptr, int xOffset = 0,
                       int yOffset = 0);
    // Replaced by a copy turned by degrees (any angle), sized to the turned
    // bounds, of the same depth; corners without a source are zero.
    bool Rotate(int degrees);
    // A bitmap of the program's resources (":/bitmaps/<id>.bmp").
    bool LoadFromResource(int id);

private:
    bool Resample(const CDibBitmap& source, const CRect& sourceRect, const CRect& destRect, bool bicubic);
    // The rows as a picture for Qt: shared, not copied, where Qt has the
    // layout; upside down, as the rows are stored.
    QImage StoredImage() const;
    bool Allocate(const BITMAPINFOHEADER& header, std::vector<RGBQUAD> palette, bool fill);
    bool ReadBmpStream(CFile& file, bool withFileHeader, uint64_t base, uint32_t offBits);
    bool ReadBitmapRecord(CFile& file, uint64_t start);
    void WritePacked(CFile& file, LONG pelsPerMeter) const;

    BITMAPINFOHEADER m_header;
    DWORD m_masks[3] = {0, 0, 0};
    std::vector<RGBQUAD> m_palette;
    std::unique_ptr<BYTE[]> m_bits;
};

// Index in the standard 256-entry table of a colour given as 16.16 fixed point.
int ColorToStandardIndex(int32_t red, int32_t green, int32_t blue);

