#include "imaging/colour_space_desc.h"

void CColorSpaceDesc::Reset()
{
    m_kind = kColorSpaceSrgb;
    m_data.Free();
    m_path.clear();
}

void CColorSpaceDesc::SetKind(int kind)
{
    m_kind = kind;
    if (kind != kColorSpaceProfile) {
        m_data.Free();
        m_path.clear();
    }
}

void CColorSpaceDesc::SetProfileData(const CIccProfileData& data)
{
    if (!data.HasData())
        return;
    m_kind = kColorSpaceProfile;
    m_data = data;
    m_path.clear();
}

void CColorSpaceDesc::SetPath(const std::string& path)
{
    if (path.empty()) {
        m_path.clear();
        return;
    }
    m_kind = kColorSpaceProfile;
    m_path = path;
    m_data.Free();
}
