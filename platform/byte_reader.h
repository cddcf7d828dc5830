#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The one reader every parser of outside bytes goes through: a span of outside bytes,
// a position and a byte order. Every offset and count is checked against the
// span (in 64 bits, before any arithmetic that could wrap) and a read that does
// not fit fails instead of reaching past the end.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes, bool bigEndian = true) : m_bytes(bytes), m_big(bigEndian) {}

    uint64_t Size() const { return m_bytes.size(); }
    uint64_t Position() const { return m_pos; }
    uint64_t Remaining() const { return m_bytes.size() - m_pos; }
    bool BigEndian() const { return m_big; }
    void SetBigEndian(bool big) { m_big = big; }
    std::span<const uint8_t> Bytes() const { return m_bytes; }

    // True when count bytes stand at offset.
    bool Fits(uint64_t offset, uint64_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }

    bool SeekTo(uint64_t offset)
    {
        if (offset > m_bytes.size())
            return false;
        m_pos = offset;
        return true;
    }
    bool Skip(uint64_t count)
    {
        if (count > Remaining())
            return false;
        m_pos += count;
        return true;
    }

    std::optional<uint8_t> U8()
    {
        if (Remaining() < 1)
            return std::nullopt;
        return m_bytes[m_pos++];
    }
    std::optional<uint16_t> U16()
    {
        if (Remaining() < 2)
            return std::nullopt;
        uint16_t v = Get16(m_pos);
        m_pos += 2;
        return v;
    }
    std::optional<uint32_t> U32()
    {
        if (Remaining() < 4)
            return std::nullopt;
        uint32_t v = Get32(m_pos);
        m_pos += 4;
        return v;
    }
    // A view of the next count bytes, advancing past them.
    std::optional<std::span<const uint8_t>> Take(uint64_t count)
    {
        if (count > Remaining())
            return std::nullopt;
        auto s = m_bytes.subspan(static_cast<size_t>(m_pos), static_cast<size_t>(count));
        m_pos += count;
        return s;
    }
    // A view of count bytes at offset, without moving.
    std::optional<std::span<const uint8_t>> At(uint64_t offset, uint64_t count) const
    {
        if (!Fits(offset, count))
            return std::nullopt;
        return m_bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(count));
    }
    std::optional<uint16_t> U16At(uint64_t offset) const
    {
        if (!Fits(offset, 2))
            return std::nullopt;
        return Get16(offset);
    }
    std::optional<uint32_t> U32At(uint64_t offset) const
    {
        if (!Fits(offset, 4))
            return std::nullopt;
        return Get32(offset);
    }

private:
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
    bool m_big = true;
};
