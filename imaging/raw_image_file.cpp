// The raw image file: a 64-byte header, the palette, the pixel rows, written
// and read field by field in little-endian order.
#include "imaging/image_buffer.h"

#include "platform/archive.h"
#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <bit>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFormatVersion = 1;
// Palette types hold at most 256 entries of 4 bytes.
constexpr uint32_t kMaxPaletteBytes = 256 * 4;
// Where the header's numbers begin, behind the signature and the version.
constexpr uint64_t kPixelTypeOffset = 36;
// The header, the palette's byte count, the largest palette and the pixel byte count.
constexpr uint64_t kMaxHeadBytes = CImageBuffer::kHeaderSize + 4 + kMaxPaletteBytes + 4;

void Put32(uint8_t* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void ReadOrThrow(CFile& file, void* buffer, uint64_t count)
{
    if (file.Read(buffer, count) != count)
        throw CUserException();
}

} // namespace

bool CImageBuffer::WriteFile(CFile& file) const
{
    if (!IsValid())
        return false;
    try {
        uint8_t header[kHeaderSize + 4] = {};
        std::memcpy(header, kSignature, sizeof kSignature);
        Put32(header + 32, kFormatVersion);
        Put32(header + 36, static_cast<uint32_t>(m_pixelType));
        Put32(header + 40, static_cast<uint32_t>(m_orientation));
        Put32(header + 44, std::bit_cast<uint32_t>(m_xResolution));
        Put32(header + 48, std::bit_cast<uint32_t>(m_yResolution));
        Put32(header + 52, static_cast<uint32_t>(m_width));
        Put32(header + 56, static_cast<uint32_t>(m_height));
        Put32(header + 60, static_cast<uint32_t>(m_percentage));
        const int entries = m_palette ? GetPaletteCount() : 0;
        Put32(header + 64, static_cast<uint32_t>(entries * 4));
        file.Write(header, sizeof header);

        if (entries > 0) {
            std::vector<uint8_t> palette(static_cast<size_t>(entries) * 4);
            for (int i = 0; i < entries; ++i) {
                palette[i * 4] = m_palette[i].rgbBlue;
                palette[i * 4 + 1] = m_palette[i].rgbGreen;
                palette[i * 4 + 2] = m_palette[i].rgbRed;
                palette[i * 4 + 3] = m_palette[i].rgbReserved;
            }
            file.Write(palette.data(), palette.size());
        }

        const uint64_t total = GetImageBytes();
        uint8_t count[4];
        Put32(count, static_cast<uint32_t>(total));
        file.Write(count, 4);
        if (const BYTE* whole = WholeRange()) {
            file.Write(whole, total);
        } else {
            for (uint64_t r = 0; r < static_cast<uint64_t>(m_height); ++r) {
                const BYTE* row = StoredRow(r);
                if (!row)
                    return false;
                file.Write(row, m_stride);
            }
        }
        return true;
    } catch (const CException&) {
        return false;
    }
}

void CImageBuffer::ReadFile(CFile& file, int storageKind, bool packed)
{
    Free();
    try {
        // The header, the palette and the two counts are read through one
        // reader; the rows then go straight from the file into the store.
        const uint64_t start = file.GetPosition();
        const std::vector<uint8_t> head = file.ReadUpTo(kMaxHeadBytes);
        ByteReader r(head);
        // The signature is a NUL-terminated text; what follows the NUL is free.
        const auto signature = r.At(0, kHeaderSize);
        if (!signature || std::memcmp(signature->data(), kSignature, sizeof kSignature) != 0)
            throw CUserException();

        r.SeekTo(kPixelTypeOffset);
        const int pixelType = r.I32().value_or(0);
        const int orientation = r.I32().value_or(0);
        const float xResolution = std::bit_cast<float>(r.U32().value_or(0));
        const float yResolution = std::bit_cast<float>(r.U32().value_or(0));
        const int width = r.I32().value_or(0);
        const int height = r.I32().value_or(0);
        const int percentage = r.I32().value_or(0);
        // Unknown types, sizes of 0 or less and pixel blocks above the cap fail here.
        if (!IsKnownPixelType(pixelType) || width <= 0 || height <= 0 ||
            !SetLayout(storageKind, CSize(width, height), pixelType, orientation, xResolution, yResolution,
                       percentage, packed))
            throw CUserException();

        r.SeekTo(kHeaderSize);
        const uint32_t paletteBytes = r.U32().value_or(0);
        const uint32_t needed = static_cast<uint32_t>(GetPaletteCount()) * 4;
        if (!r.Ok() || paletteBytes % 4 != 0 || paletteBytes < needed || !r.WithinLimit(paletteBytes, kMaxPaletteBytes))
            throw CUserException();
        const auto raw = r.Take(paletteBytes);
        if (!raw)
            throw CUserException();
        std::vector<RGBQUAD> palette(paletteBytes / 4);
        for (size_t i = 0; i < palette.size(); ++i)
            palette[i] = RGBQUAD{(*raw)[i * 4], (*raw)[i * 4 + 1], (*raw)[i * 4 + 2], (*raw)[i * 4 + 3]};

        // The rows must be what the header describes, packed or filled out to
        // 4 bytes (the writer's choice), and must really be there.
        const std::optional<uint32_t> pixelCount = r.U32();
        if (!pixelCount)
            throw CUserException();
        file.Seek(static_cast<int64_t>(start + r.Position()), CFile::begin);
        const uint64_t pixelBytes = *pixelCount;
        const uint64_t rows = static_cast<uint64_t>(height);
        const uint64_t packedRow = ComputeStride(width, GetBitsPerPixel(), true);
        const uint64_t paddedRow = ComputeStride(width, GetBitsPerPixel(), false);
        uint64_t fileRow = 0;
        if (pixelBytes == rows * m_stride)
            fileRow = m_stride;
        else if (pixelBytes == rows * packedRow)
            fileRow = packedRow;
        else if (pixelBytes == rows * paddedRow)
            fileRow = paddedRow;
        if (fileRow == 0 || pixelBytes > file.GetRemaining())
            throw CUserException();

        if (!Allocate(nullptr, palette.empty() ? nullptr : palette.data()))
            throw CUserException();
        ReadPixels(file, fileRow);
    } catch (const CException&) {
        Free();
        throw CUserException();
    }
}

void CImageBuffer::ReadPixels(CFile& file, uint64_t fileRowBytes)
{
    const uint64_t rows = static_cast<uint64_t>(m_height);
    if (fileRowBytes == m_stride) {
        if (BYTE* whole = WholeRange()) {
            ReadOrThrow(file, whole, rows * m_stride);
            return;
        }
    }
    // Row by row, from the file's row size to this buffer's; the store is
    // zero-filled, so a longer row of ours keeps zeros at its end.
    std::vector<uint8_t> skip;
    const uint64_t take = std::min(fileRowBytes, m_stride);
    if (fileRowBytes > take)
        skip.resize(fileRowBytes - take);
    for (uint64_t r = 0; r < rows; ++r) {
        BYTE* row = StoredRow(r);
        if (!row)
            throw CUserException();
        ReadOrThrow(file, row, take);
        if (!skip.empty())
            ReadOrThrow(file, skip.data(), skip.size());
    }
}

bool CImageBuffer::LoadFile(int storageKind, const std::string& path, bool packed)
{
    Free();
    try {
        CFile file(path, CFile::modeRead);
        ReadFile(file, storageKind, packed);
        return true;
    } catch (const CException&) {
        Free();
        return false;
    }
}

bool CImageBuffer::Serialize(CArchive& ar)
{
    try {
        if (ar.IsStoring()) {
            if (!IsValid()) {
                ar << static_cast<int32_t>(0);
                return true;
            }
            CMemFile memory;
            if (!WriteFile(memory))
                return false;
            const std::vector<uint8_t>& bytes = memory.Data();
            if (bytes.size() > static_cast<size_t>(INT32_MAX))
                return false; // the count is a signed 32-bit number
            ar << static_cast<int32_t>(bytes.size());
            ar.Write(bytes.data(), bytes.size());
            return true;
        }
        Free();
        int32_t count = 0;
        ar >> count;
        if (count <= 0 || static_cast<uint64_t>(count) > ar.RemainingBytes())
            return false;
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        ar.ReadExact(bytes.data(), bytes.size());
        CMemFile memory(std::move(bytes));
        ReadFile(memory, kMapping, false);
        return true;
    } catch (const CException&) {
        Free();
        return false;
    }
}
