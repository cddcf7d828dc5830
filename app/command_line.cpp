#include "app/command_line.h"

#include <filesystem>
#include <strings.h>

void CCommandLineInfo::ParseCommandLine(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            if (strcasecmp(a.c_str() + 1, "Embedding") == 0 || strcasecmp(a.c_str() + 1, "Automation") == 0)
                m_bShowSplash = FALSE;
            continue;
        }
        if (m_strFileName.empty() && !a.empty()) {
            // The running copy may have another working folder: hand over a full path.
            std::error_code ec;
            std::filesystem::path p = std::filesystem::absolute(a, ec);
            m_strFileName = ec ? a : p.lexically_normal().string();
            m_nShellCommand = FileOpen;
        }
    }
}
