#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

// Why a read through a ByteReader failed. A reader keeps the first failure, so
// a parser may read a run of fields and look once at the end.
enum class ByteReadError : uint8_t {
    None = 0,
    Truncated,  // the bytes end before what was asked for
    OverLimit,  // a count or size beyond a named limit of the format
    Malformed,  // a value the format does not allow
};

// The one reader every parser of outside bytes goes through: a span of outside bytes,
// a position and a byte order (little-endian unless asked otherwise: our own
// formats, BMP and the drop-file lists are; TIFF says which it is). Every offset
// and count is checked against the span (in 64 bits, before any arithmetic that
// could wrap) and a read that does not fit fails instead of reaching past the end.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes, bool bigEndian = false) : m_bytes(bytes), m_big(bigEndian) {}

    uint64_t Size() const { return m_bytes.size(); }
    uint64_t Position() const { return m_pos; }
    uint64_t Remaining() const { return m_bytes.size() - m_pos; }
    bool BigEndian() const { return m_big; }
    void SetBigEndian(bool big) { m_big = big; }
    std::span<const uint8_t> Bytes() const { return m_bytes; }

    // ---- failures --------------------------------------------------------
    ByteReadError Error() const { return m_error; }
    bool Ok() const { return m_error == ByteReadError::None; }
    // Records why the input is refused (the first cause stays) and answers false.
    bool Fail(ByteReadError why) const
    {
        if (m_error == ByteReadError::None)
            m_error = why;
        return false;
    }
    // A rule of the format: false, recorded as why, when it does not hold.
    bool Require(bool holds, ByteReadError why = ByteReadError::Malformed) const { return holds || Fail(why); }
    // A count or size against the format's named limit (the limit itself is allowed).
    bool WithinLimit(uint64_t value, uint64_t limit) const { return Require(value <= limit, ByteReadError::OverLimit); }

    // ---- checks without reading ------------------------------------------
    // True when count bytes stand at offset.
    bool Fits(uint64_t offset, uint64_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    // True when count items of itemSize bytes each stand at the position
    // (the product is never formed where it could wrap).
    bool HasItems(uint64_t count, uint64_t itemSize) const
    {
        return itemSize == 0 || count <= Remaining() / itemSize;
    }

    // ---- moving ----------------------------------------------------------
    bool SeekTo(uint64_t offset)
    {
        if (offset > m_bytes.size())
            return Fail(ByteReadError::Truncated);
        m_pos = offset;
        return true;
    }
    bool Skip(uint64_t count)
    {
        if (count > Remaining())
            return Fail(ByteReadError::Truncated);
        m_pos += count;
        return true;
    }

    // ---- reading at the position -----------------------------------------
    std::optional<uint8_t> U8()
    {
        if (!Need(1))
            return std::nullopt;
        return m_bytes[m_pos++];
    }
    std::optional<uint16_t> U16()
    {
        if (!Need(2))
            return std::nullopt;
        uint16_t v = Get16(m_pos);
        m_pos += 2;
        return v;
    }
    std::optional<uint32_t> U32()
    {
        if (!Need(4))
            return std::nullopt;
        uint32_t v = Get32(m_pos);
        m_pos += 4;
        return v;
    }
    std::optional<int16_t> I16()
    {
        auto v = U16();
        return v ? std::optional<int16_t>(static_cast<int16_t>(*v)) : std::nullopt;
    }
    std::optional<int32_t> I32()
    {
        auto v = U32();
        return v ? std::optional<int32_t>(static_cast<int32_t>(*v)) : std::nullopt;
    }
    // A view of the next count bytes, advancing past them.
    std::optional<std::span<const uint8_t>> Take(uint64_t count)
    {
        if (!Need(count))
            return std::nullopt;
        auto s = m_bytes.subspan(static_cast<size_t>(m_pos), static_cast<size_t>(count));
        m_pos += count;
        return s;
    }
    // The text in front of the next zero byte, advancing past the zero; a text
    // without its zero is truncated.
    std::optional<std::string_view> ZString()
    {
        const uint8_t* start = m_bytes.data() + m_pos;
        const void* zero = Remaining() ? std::memchr(start, 0, static_cast<size_t>(Remaining())) : nullptr;
        if (!zero) {
            Fail(ByteReadError::Truncated);
            return std::nullopt;
        }
        const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
        m_pos += length + 1;
        return std::string_view(reinterpret_cast<const char*>(start), length);
    }
    // The bytes up to the next newline (not included), advancing past it; the
    // last line needs none. Nothing once every byte is read.
    std::optional<std::string_view> Line()
    {
        if (Remaining() == 0)
            return std::nullopt;
        const uint8_t* start = m_bytes.data() + m_pos;
        const void* end = std::memchr(start, '\n', static_cast<size_t>(Remaining()));
        const size_t length =
            end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - start) : static_cast<size_t>(Remaining());
        m_pos += length + (end ? 1 : 0);
        return std::string_view(reinterpret_cast<const char*>(start), length);
    }

    // ---- reading at an offset, without moving ----------------------------
    // A view of count bytes at offset.
    std::optional<std::span<const uint8_t>> At(uint64_t offset, uint64_t count) const
    {
        if (!Fits(offset, count)) {
            Fail(ByteReadError::Truncated);
            return std::nullopt;
        }
        return m_bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(count));
    }
    std::optional<uint16_t> U16At(uint64_t offset) const
    {
        if (!Fits(offset, 2)) {
            Fail(ByteReadError::Truncated);
            return std::nullopt;
        }
        return Get16(offset);
    }
    std::optional<uint32_t> U32At(uint64_t offset) const
    {
        if (!Fits(offset, 4)) {
            Fail(ByteReadError::Truncated);
            return std::nullopt;
        }
        return Get32(offset);
    }

private:
    bool Need(uint64_t count) const { return count <= Remaining() || Fail(ByteReadError::Truncated); }
    uint16_t Get16(uint64_t at) const
    {
        const uint8_t* p = m_bytes.data() + at;
        return m_big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
    }
    uint32_t Get32(uint64_t at) const
    {
        const uint8_t* p = m_bytes.data() + at;
        return m_big ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                     : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }

    std::span<const uint8_t> m_bytes;
    uint64_t m_pos = 0;
    bool m_big = false;
    // Failing is not a change of what the reader reads: const queries record it too.
    mutable ByteReadError m_error = ByteReadError::None;
};
