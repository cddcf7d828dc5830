#pragma once

#include "platform/types.h"

#include <string>

// The application's own switches, kept in section "Preference" of the
// current user: loaded at start-up, saved at exit.
struct CAppSettings {
    std::string m_strUserName;   // "UserName"
    BOOL m_bHiFiImage = TRUE;    // "HiFiImage": always 1 after a load
    BOOL m_bShowDateTime = TRUE; // "ShowDateTime"
    BOOL m_bAttachPlayer = FALSE;    // "AttachPlayer"
    BOOL m_bResizeMailImage = FALSE; // "ResizeMailImage"
};

CAppSettings& GetAppSettings();
void LoadAppSettings();
void SaveAppSettings();

// The JPEG quality for saving: the machine's "Compression" value, 95 when unset.
int GetCompressionSetting();
