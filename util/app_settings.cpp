#include "util/app_settings.h"

#include "util/reg_settings.h"
#include "resources/string_ids.h"

CAppSettings& GetAppSettings()
{
    static CAppSettings settings;
    return settings;
}

void LoadAppSettings()
{
    CAppSettings& s = GetAppSettings();
    RegReadString(s.m_strUserName, IDS_REG_PREFERENCE, "UserName");
    // High-fidelity pictures are always on; the stored value is only written back.
    s.m_bHiFiImage = TRUE;
    s.m_bShowDateTime = RegReadInt(IDS_REG_PREFERENCE, "ShowDateTime", 1);
    s.m_bAttachPlayer = RegReadInt(IDS_REG_PREFERENCE, "AttachPlayer", 0);
    s.m_bResizeMailImage = RegReadInt(IDS_REG_PREFERENCE, "ResizeMailImage", 0);
}

void SaveAppSettings()
{
    const CAppSettings& s = GetAppSettings();
    RegWriteString(IDS_REG_PREFERENCE, "UserName", s.m_strUserName);
    RegWriteInt(IDS_REG_PREFERENCE, "HiFiImage", s.m_bHiFiImage);
    RegWriteInt(IDS_REG_PREFERENCE, "ShowDateTime", s.m_bShowDateTime);
    RegWriteInt(IDS_REG_PREFERENCE, "AttachPlayer", s.m_bAttachPlayer);
    RegWriteInt(IDS_REG_PREFERENCE, "ResizeMailImage", s.m_bResizeMailImage);
}

int GetCompressionSetting()
{
    return RegReadInt(IDS_REG_PREFERENCE, "Compression", 95, HKEY_LOCAL_MACHINE);
}
