#include "platform/archive.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <span>

namespace {

template <typename T>
void PutLE(uint8_t* out, T v)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}

template <typename T>
T GetLE(const uint8_t* in)
{
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        v |= static_cast<uint64_t>(in[i]) << (8 * i);
    return static_cast<T>(v);
}

} // namespace

void CArchive::CheckLoading() const
{
    if (!IsLoading())
        throw CArchiveException(CArchiveException::writeOnly);
}

void CArchive::CheckStoring() const
{
    if (!IsStoring())
        throw CArchiveException(CArchiveException::readOnly);
}

CArchive::CArchive(CFile* file, Mode mode) : m_file(file), m_mode(mode) {}

CArchive::~CArchive() = default;

uint64_t CArchive::RemainingBytes() const
{
    uint64_t len = m_file->GetLength();
    uint64_t pos = m_file->GetPosition();
    return m_ahead.Remaining() + (pos < len ? len - pos : 0);
}

size_t CArchive::Read(void* buffer, size_t count)
{
    CheckLoading();
    auto* to = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (m_ahead.Remaining() > 0) {
            const uint64_t n = std::min<uint64_t>(count - done, m_ahead.Remaining());
            const std::span<const uint8_t> bytes = *m_ahead.Take(n);
            std::memcpy(to + done, bytes.data(), bytes.size());
            done += bytes.size();
            continue;
        }
        // A large read goes from the file straight to the caller.
        if (count - done >= kBlockBytes) {
            const size_t n = m_file->Read(to + done, count - done);
            if (n == 0)
                break;
            done += n;
            continue;
        }
        if (!m_block)
            m_block.reset(new uint8_t[kBlockBytes]);
        const size_t n = m_file->Read(m_block.get(), kBlockBytes);
        if (n == 0)
            break;
        m_ahead = ByteReader(std::span<const uint8_t>(m_block.get(), n));
    }
    return done;
}

void CArchive::ReadExact(void* buffer, size_t count)
{
    if (Read(buffer, count) != count)
        throw CArchiveException(CArchiveException::endOfFile, GetFilePath());
}

void CArchive::CheckBytesLeft(uint64_t count) const
{
    CheckLoading();
    if (count > RemainingBytes())
        throw CArchiveException(CArchiveException::endOfFile, GetFilePath());
}

void CArchive::Skip(uint64_t count)
{
    CheckBytesLeft(count);
    const uint64_t ahead = std::min<uint64_t>(count, m_ahead.Remaining());
    m_ahead.Skip(ahead);
    if (count > ahead)
        m_file->Seek(static_cast<int64_t>(count - ahead), CFile::current);
}

void CArchive::Write(const void* buffer, size_t count)
{
    CheckStoring();
    m_file->Write(buffer, count);
}

#define QR_ARCHIVE_NUMBER(T)                  \
    CArchive& CArchive::operator<<(T v)       \
    {                                         \
        uint8_t b[sizeof(T)];                 \
        PutLE(b, v);                          \
        Write(b, sizeof b);                   \
        return *this;                         \
    }                                         \
    CArchive& CArchive::operator>>(T& v)      \
    {                                         \
        uint8_t b[sizeof(T)];                 \
        ReadExact(b, sizeof b);               \
        v = GetLE<T>(b);                      \
        return *this;                         \
    }

QR_ARCHIVE_NUMBER(uint8_t)
QR_ARCHIVE_NUMBER(uint16_t)
QR_ARCHIVE_NUMBER(uint32_t)
QR_ARCHIVE_NUMBER(uint64_t)
#undef QR_ARCHIVE_NUMBER

CArchive& CArchive::operator>>(int8_t& v)
{
    uint8_t u;
    *this >> u;
    v = static_cast<int8_t>(u);
    return *this;
}

CArchive& CArchive::operator>>(int16_t& v)
{
    uint16_t u;
    *this >> u;
    v = static_cast<int16_t>(u);
    return *this;
}

CArchive& CArchive::operator>>(int32_t& v)
{
    uint32_t u;
    *this >> u;
    v = static_cast<int32_t>(u);
    return *this;
}

CArchive& CArchive::operator>>(int64_t& v)
{
    uint64_t u;
    *this >> u;
    v = static_cast<int64_t>(u);
    return *this;
}

CArchive& CArchive::operator<<(float v)
{
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return *this << u;
}

CArchive& CArchive::operator<<(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return *this << u;
}

CArchive& CArchive::operator>>(float& v)
{
    uint32_t u;
    *this >> u;
    std::memcpy(&v, &u, sizeof v);
    return *this;
}

CArchive& CArchive::operator>>(double& v)
{
    uint64_t u;
    *this >> u;
    std::memcpy(&v, &u, sizeof v);
    return *this;
}

void CArchive::WriteStringField(const std::string& s)
{
    uint64_t len = s.size();
    if (len < 0xFF) {
        *this << static_cast<uint8_t>(len);
    } else {
        *this << static_cast<uint8_t>(0xFF);
        if (len < 0xFFFE) {
            *this << static_cast<uint16_t>(len);
        } else {
            *this << static_cast<uint16_t>(0xFFFF);
            if (len < 0xFFFFFFFFull) {
                *this << static_cast<uint32_t>(len);
            } else {
                *this << static_cast<uint32_t>(0xFFFFFFFFu) << len;
            }
        }
    }
    Write(s.data(), s.size());
}

uint64_t CArchive::ReadPrefix(bool& wide)
{
    wide = false;
    uint8_t b;
    *this >> b;
    if (b < 0xFF)
        return b;
    uint16_t w;
    *this >> w;
    if (w == 0xFFFE) {
        // Wide-string marker: the real prefix follows and counts UTF-16 units.
        wide = true;
        *this >> b;
        if (b < 0xFF)
            return b;
        *this >> w;
    }
    if (w < 0xFFFF)
        return w;
    uint32_t d;
    *this >> d;
    if (d < 0xFFFFFFFFu)
        return d;
    uint64_t q;
    *this >> q;
    return q;
}

std::string CArchive::ReadStringField()
{
    CheckLoading();
    bool wide = false;
    uint64_t count = ReadPrefix(wide);
    uint64_t bytes = wide ? count * 2 : count;
    if ((wide && count > (UINT64_MAX / 2)) || bytes > RemainingBytes())
        throw CArchiveException(CArchiveException::endOfFile, GetFilePath());
    std::string raw(static_cast<size_t>(bytes), '\0');
    ReadExact(raw.data(), raw.size());
    if (!wide)
        return raw;
    std::u16string units(static_cast<size_t>(count), u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(GetLE<uint16_t>(reinterpret_cast<const uint8_t*>(raw.data()) + 2 * i));
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toStdString();
}

void CArchive::WriteCount(uint32_t count)
{
    if (count < 0xFFFF) {
        *this << static_cast<uint16_t>(count);
    } else {
        *this << static_cast<uint16_t>(0xFFFF) << count;
    }
}

uint32_t CArchive::ReadCount()
{
    uint16_t w;
    *this >> w;
    if (w != 0xFFFF)
        return w;
    uint32_t d;
    *this >> d;
    return d;
}
