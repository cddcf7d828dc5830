#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

// What the program was started with: a file to open, or nothing. The
// embedding and automation switches ("-Embedding", "-Automation") start the
// program without its splash picture.
class CCommandLineInfo {
public:
    enum { FileNew = 0, FileOpen = 1, FileNothing = 6 };

    // The arguments after the program's name.
    void ParseCommandLine(const std::vector<std::string>& args);

    int m_nShellCommand = FileNew;
    std::string m_strFileName;
    BOOL m_bShowSplash = TRUE;
};
