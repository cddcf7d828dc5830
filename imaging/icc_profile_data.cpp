#include "imaging/icc_profile_data.h"

#include "platform/archive.h"

void CIccProfileData::Store(CArchive& ar) const
{
    if (m_bytes.empty() || m_bytes.size() >= static_cast<size_t>(kMaxArchiveBytes)) {
        ar << static_cast<int32_t>(0);
        return;
    }
    ar << static_cast<int32_t>(m_bytes.size());
    ar.Write(m_bytes.data(), m_bytes.size());
}

void CIccProfileData::Load(CArchive& ar)
{
    Free();
    int32_t count = 0;
    ar >> count;
    if (count == 0)
        return;
    if (count < 0 || count >= kMaxArchiveBytes)
        throw CArchiveException(CArchiveException::genericException, ar.GetFile()->GetFilePath());
    if (static_cast<uint64_t>(count) > ar.RemainingBytes())
        throw CArchiveException(CArchiveException::endOfFile, ar.GetFile()->GetFilePath());
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    ar.ReadExact(bytes.data(), bytes.size());
    m_bytes = std::move(bytes);
}
