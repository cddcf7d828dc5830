#include "imaging/icc_profile_data.h"

#include "imaging/exif_file.h"
#include "imaging/metadata_file_kind.h"
#include "platform/archive.h"
#include "platform/file.h"

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
        throw CArchiveException(CArchiveException::genericException, ar.GetFilePath());
    if (static_cast<uint64_t>(count) > ar.RemainingBytes())
        throw CArchiveException(CArchiveException::endOfFile, ar.GetFilePath());
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    ar.ReadExact(bytes.data(), bytes.size());
    m_bytes = std::move(bytes);
}

bool CIccProfileData::SetFromMetadata(const CExifFile& metadata)
{
    Free();
    const auto profile = metadata.GetColorProfile();
    if (profile.empty())
        return false;
    m_bytes.assign(profile.begin(), profile.end());
    return true;
}

bool CIccProfileData::LoadFromFile(const std::string& path)
{
    Free();
    const int kind = GetMetadataFileKind(path);
    if (kind != kExifJpeg && kind != kExifTiff)
        return false;
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    // The profile is collected even from a file whose tags do not parse.
    CExifFile metadata;
    metadata.Attach(&file, kind);
    return SetFromMetadata(metadata);
}

int32_t CIccProfileData::WriteTo(CFile& stream) const
{
    if (m_bytes.empty())
        return 0;
    stream.Write(m_bytes.data(), m_bytes.size());
    return GetSize();
}
