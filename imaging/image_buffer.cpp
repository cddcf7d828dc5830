#include "imaging/image_buffer.h"

#include "imaging/pixel_rows.h"
#include "platform/exceptions.h"

#include <algorithm>
#include <cstring>
#include <new>

CImageBuffer::CImageBuffer() = default;

CImageBuffer::CImageBuffer(const CImageBuffer& other)
{
    if (other.IsValid())
        CopyRect(other, CRect(0, 0, other.m_width, other.m_height));
}

CImageBuffer::~CImageBuffer()
{
    Free();
}

int CImageBuffer::GetPaletteCount() const
{
    return PixelTypeInfo(GetPixelTypeInfo(m_pixelType)).paletteEntries;
}

bool CImageBuffer::SetLayout(int storageKind, CSize size, int pixelType, int orientation, float xResolution,
                             float yResolution, int percentage, bool packed)
{
    m_storageKind = storageKind;
    m_pixelType = pixelType;
    m_orientation = orientation;
    m_xResolution = xResolution;
    m_yResolution = yResolution;
    m_width = size.cx;
    m_height = size.cy;
    m_percentage = percentage;
    m_packed = packed;

    const PixelTypeInfo info = GetPixelTypeInfo(pixelType);
    m_samplesPerPixel = info.samples;
    m_bitsPerSample = info.bitsPerSample;
    const int bits = GetBitsPerPixel();
    m_bytesPerPixel = (bits == 15 ? 16 : bits) / 8;
    m_stride = ComputeStride(size.cx, bits, packed);

    if (storageKind < kHeap || storageKind > kTempFile || m_stride == 0 || size.cy <= 0 ||
        m_stride > kMaxPixelBytes / static_cast<uint64_t>(size.cy)) {
        m_stride = 0;
        return false;
    }
    return true;
}

bool CImageBuffer::Create(int storageKind, CSize size, int pixelType, int orientation, const void* bits,
                          const RGBQUAD* palette, float xResolution, float yResolution, int percentage, bool packed)
{
    Free();
    if (!SetLayout(storageKind, size, pixelType, orientation, xResolution, yResolution, percentage, packed))
        return false;
    try {
        if (Allocate(bits, palette))
            return true;
    } catch (const CException&) {
    }
    m_stride = 0;
    return false;
}

bool CImageBuffer::CreateForOverwrite(int storageKind, CSize size, int pixelType, int orientation,
                                      const RGBQUAD* palette, float xResolution, float yResolution, int percentage)
{
    Free();
    if (!SetLayout(storageKind, size, pixelType, orientation, xResolution, yResolution, percentage, false))
        return false;
    try {
        if (Allocate(nullptr, palette, true))
            return true;
    } catch (const CException&) {
    }
    m_stride = 0;
    return false;
}

bool CImageBuffer::Allocate(const void* bits, const RGBQUAD* palette, bool overwritten)
{
    const uint64_t total = GetImageBytes();
    if (total == 0)
        return false;
    const auto* source = static_cast<const BYTE*>(bits);

    const int entries = GetPaletteCount();
    if (entries > 0) {
        m_palette.reset(new (std::nothrow) RGBQUAD[entries]());
        if (!m_palette)
            return false;
        if (palette)
            std::copy(palette, palette + entries, m_palette.get());
    }

    bool made = false;
    switch (m_storageKind) {
    case kHeap:
        m_heap.reset(new (std::nothrow) BYTE[total]);
        made = m_heap != nullptr;
        if (made && !source && !overwritten)
            std::memset(m_heap.get(), 0, total);
        if (made && !source && overwritten) {
            // Only the pixels are the caller's to write.
            const uint64_t pixelBytes = static_cast<uint64_t>(m_width) * m_bytesPerPixel;
            if (pixelBytes < m_stride)
                for (uint64_t r = 0; r < static_cast<uint64_t>(m_height); ++r)
                    std::memset(m_heap.get() + r * m_stride + pixelBytes, 0, m_stride - pixelBytes);
        }
        break;
    // A new mapping or temporary file reads as zeros already.
    case kMapping: made = m_mapped.Create(total); break;
    case kTempFile: made = m_tempFile.Create(total); break;
    default: break;
    }
    if (!made) {
        m_palette.reset();
        return false;
    }
    if (!source)
        return true;
    if (BYTE* whole = WholeRange()) {
        std::memcpy(whole, source, total);
        return true;
    }
    for (uint64_t r = 0; r < static_cast<uint64_t>(m_height); ++r) {
        BYTE* row = StoredRow(r);
        if (!row)
            throw CMemoryException();
        std::memcpy(row, source + r * m_stride, m_stride);
    }
    return true;
}

void CImageBuffer::Free()
{
    m_heap.reset();
    m_mapped.Close();
    m_tempFile.Close(true);
    m_palette.reset();
    m_width = 0;
    m_height = 0;
    m_stride = 0;
    m_xResolution = 96.0f;
    m_yResolution = 96.0f;
    m_percentage = 100;
}

bool CImageBuffer::IsValid() const
{
    bool store = false;
    switch (m_storageKind) {
    case kHeap: store = m_heap != nullptr; break;
    case kMapping: store = m_mapped.IsOpen(); break;
    case kTempFile: store = m_tempFile.IsOpen(); break;
    default: break;
    }
    return store && m_bitsPerSample != 0 && m_samplesPerPixel != 0 && m_stride != 0 && m_width >= 1 &&
           m_height >= 1;
}

BYTE* CImageBuffer::WholeRange() const
{
    if (!IsValid())
        return nullptr;
    if (m_storageKind == kHeap)
        return m_heap.get();
    if (m_storageKind == kMapping)
        return m_mapped.GetPointer(0, GetImageBytes());
    return nullptr;
}

BYTE* CImageBuffer::GetBits()
{
    return WholeRange();
}

uint64_t CImageBuffer::StoredRowOffset(int row) const
{
    const uint64_t stored = m_orientation == 1 ? static_cast<uint64_t>(m_height - row - 1) : static_cast<uint64_t>(row);
    return stored * m_stride;
}

BYTE* CImageBuffer::StoredRow(uint64_t storedRow) const
{
    const uint64_t offset = storedRow * m_stride;
    switch (m_storageKind) {
    case kHeap: return m_heap ? m_heap.get() + offset : nullptr;
    case kMapping: return m_mapped.GetPointer(offset, m_stride);
    case kTempFile: return m_tempFile.GetPointer(offset, m_stride);
    default: return nullptr;
    }
}

BYTE* CImageBuffer::GetRowPointer(int row)
{
    if (!IsValid() || row < 0 || row >= m_height)
        return nullptr;
    return StoredRow(StoredRowOffset(row) / m_stride);
}

const BYTE* CImageBuffer::GetRowPointer(int row) const
{
    return const_cast<CImageBuffer*>(this)->GetRowPointer(row);
}

void CImageBuffer::GetResolution(float* x, float* y) const
{
    if (x)
        *x = m_xResolution;
    if (y)
        *y = m_yResolution;
}

int CImageBuffer::GetPalette(RGBQUAD* out, int count) const
{
    if (!m_palette || !out || count <= 0)
        return 0;
    const int n = std::min(count, GetPaletteCount());
    std::copy(m_palette.get(), m_palette.get() + n, out);
    return n;
}

void CImageBuffer::TakeOver(CImageBuffer& other)
{
    if (&other == this)
        return;
    Free();
    m_storageKind = other.m_storageKind;
    m_heap = std::move(other.m_heap);
    if (other.m_mapped.IsOpen()) {
        const uint64_t size = other.m_mapped.GetSize();
        m_mapped.Attach(other.m_mapped.Detach(), size);
    }
    m_tempFile.TakeOver(other.m_tempFile);
    m_palette = std::move(other.m_palette);
    m_pixelType = other.m_pixelType;
    m_orientation = other.m_orientation;
    m_bitsPerSample = other.m_bitsPerSample;
    m_bytesPerPixel = other.m_bytesPerPixel;
    m_samplesPerPixel = other.m_samplesPerPixel;
    m_stride = other.m_stride;
    m_xResolution = other.m_xResolution;
    m_yResolution = other.m_yResolution;
    m_width = other.m_width;
    m_height = other.m_height;
    m_percentage = other.m_percentage;
    m_packed = other.m_packed;
    other.Free();
}

bool CImageBuffer::CopyRect(const CImageBuffer& source, const CRect& rect)
{
    if (&source == this) {
        CImageBuffer copy;
        if (!copy.CopyRect(source, rect))
            return false;
        TakeOver(copy);
        return true;
    }
    Free();
    if (!source.IsValid())
        return false;
    CRect area;
    if (!area.IntersectRect(rect, CRect(0, 0, source.m_width, source.m_height)))
        return false;
    // Whole bytes are copied over every pixel: nothing to clear first.
    const bool wholeBytes = source.GetBitsPerPixel() % 8 == 0;
    if (wholeBytes ? !CreateForOverwrite(source.m_storageKind, area.Size(), source.m_pixelType, source.m_orientation,
                                         source.m_palette.get(), source.m_xResolution, source.m_yResolution,
                                         source.m_percentage)
                   : !Create(source.m_storageKind, area.Size(), source.m_pixelType, source.m_orientation, nullptr,
                             source.m_palette.get(), source.m_xResolution, source.m_yResolution, source.m_percentage,
                             false))
        return false;
    const int bits = GetBitsPerPixel();
    for (int r = 0; r < area.Height(); ++r) {
        const BYTE* from = source.GetRowPointer(area.top + r);
        BYTE* to = GetRowPointer(r);
        if (!from || !to) {
            Free();
            return false;
        }
        pixrow::Copy(to, 0, from, static_cast<uint64_t>(area.left), static_cast<uint64_t>(area.Width()), bits);
    }
    return true;
}

bool CImageBuffer::PasteInto(CImageBuffer& target, const CRect& rect) const
{
    if (&target == this || !IsValid() || !target.IsValid() || target.m_pixelType != m_pixelType ||
        target.m_samplesPerPixel != m_samplesPerPixel || target.m_bitsPerSample != m_bitsPerSample)
        return false;
    CRect r(rect);
    r.NormalizeRect();
    if (r.left < 0 || r.top < 0 || r.right > target.m_width || r.bottom > target.m_height || r.IsRectEmpty())
        return false;
    const int rows = std::min(r.Height(), m_height);
    const int columns = std::min(r.Width(), m_width);
    for (int y = 0; y < rows; ++y) {
        const BYTE* from = GetRowPointer(y);
        BYTE* to = target.GetRowPointer(r.top + y);
        if (!from || !to)
            return false;
        pixrow::Copy(to, static_cast<uint64_t>(r.left), from, 0, static_cast<uint64_t>(columns), GetBitsPerPixel());
    }
    return true;
}

bool CImageBuffer::Fill(BYTE value)
{
    if (!IsValid())
        return false;
    if (BYTE* whole = WholeRange()) {
        std::memset(whole, value, GetImageBytes());
        return true;
    }
    for (uint64_t r = 0; r < static_cast<uint64_t>(m_height); ++r) {
        BYTE* row = StoredRow(r);
        if (!row)
            return false;
        std::memset(row, value, m_stride);
    }
    return true;
}

bool CImageBuffer::Mirror(bool horizontal, bool vertical)
{
    if (!IsValid())
        return false;
    if (vertical)
        m_orientation = m_orientation == 1 ? 0 : 1;
    if (!horizontal)
        return true;
    const int bits = GetBitsPerPixel() == 15 ? 16 : GetBitsPerPixel();
    const uint64_t width = static_cast<uint64_t>(m_width);
    for (uint64_t r = 0; r < static_cast<uint64_t>(m_height); ++r) {
        BYTE* row = StoredRow(r);
        if (!row)
            return false;
        for (uint64_t a = 0, b = width - 1; a < b; ++a, --b) {
            if (bits % 8 == 0) {
                const int n = bits / 8;
                std::swap_ranges(row + a * n, row + a * n + n, row + b * n);
            } else {
                const uint32_t va = pixrow::GetBits(row, a, bits);
                pixrow::SetBits(row, a, bits, pixrow::GetBits(row, b, bits));
                pixrow::SetBits(row, b, bits, va);
            }
        }
    }
    return true;
}
