#pragma once

#include "imaging/icc_profile_data.h"

#include <string>

// Colour-space codes the program uses. 17 and 18 are the special kinds: the
// picture's own space, which no transform goes into.
enum ColorSpaceCode : int {
    kColorSpaceProfile = 1,
    kColorSpaceAdobeRgb = 7,
    kColorSpaceSrgb = 14,
    kColorSpaceOriginal = 17,
    kColorSpaceOriginal2 = 18,
};

// One side of a colour transform: a space code, or an explicit profile given
// by its bytes or by a path (kind 1).
class CColorSpaceDesc {
public:
    void Reset();
    // Any kind but 1 also drops the profile data and path.
    void SetKind(int kind);
    // Bytes make the kind 1 and empty the path; no bytes change nothing.
    void SetProfileData(const CIccProfileData& data);
    // A non-empty path makes the kind 1 and drops the data; an empty one only
    // empties the path.
    void SetPath(const std::string& path);

    int GetKind() const { return m_kind; }
    const CIccProfileData& GetProfileData() const { return m_data; }
    const std::string& GetPath() const { return m_path; }
    bool HasData() const { return m_kind == kColorSpaceProfile && m_data.HasData(); }
    bool HasPath() const { return m_kind == kColorSpaceProfile && !m_path.empty(); }
    bool IsSpecial() const { return m_kind == kColorSpaceOriginal || m_kind == kColorSpaceOriginal2; }

private:
    int m_kind = kColorSpaceSrgb;
    CIccProfileData m_data;
    std::string m_path;
};
