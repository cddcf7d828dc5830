#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CArchive;
class CExifFile;
class CFile;

// An owned copy of the bytes of an ICC colour profile, as a picture carries it.
class CIccProfileData {
public:
    // Profiles of this many bytes or more are not taken from an archive.
    static constexpr int32_t kMaxArchiveBytes = 0xA00000;

    CIccProfileData() = default;
    CIccProfileData(const CIccProfileData&) = default;
    CIccProfileData& operator=(const CIccProfileData&) = default;
    virtual ~CIccProfileData() = default;

    void Free() { m_bytes.clear(); }
    void Set(const uint8_t* data, size_t size) { m_bytes.assign(data, data + size); }
    bool HasData() const { return !m_bytes.empty(); }
    int32_t GetSize() const { return static_cast<int32_t>(m_bytes.size()); }
    const std::vector<uint8_t>& GetBytes() const { return m_bytes; }

    // A 32-bit byte count and the bytes. A profile too large for Load to take
    // back is stored as count 0, so that what is written can always be read.
    void Store(CArchive& ar) const;
    // The count, then the bytes when 1 <= count < kMaxArchiveBytes; count 0
    // leaves the profile empty. Any other count was never written by Store,
    // so the data behind it cannot be read in step: it throws
    // CArchiveException(genericException), as a count beyond the archive's end
    // throws CArchiveException(endOfFile).
    void Load(CArchive& ar);

    // The profile the metadata reader collected from its file; false and
    // empty when it found none.
    bool SetFromMetadata(const CExifFile& metadata);
    // The profile a JPEG or TIFF file carries (the APP2 pieces joined in file
    // order, or TIFF tag 34675); false and empty for other files and files
    // without one.
    bool LoadFromFile(const std::string& path);
    // Writes the bytes to the stream; the count written.
    int32_t WriteTo(CFile& stream) const;

    bool operator==(const CIccProfileData& o) const { return m_bytes == o.m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};
