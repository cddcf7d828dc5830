// File lists dropped or pasted from other programs ("text/uri-list"), and the
// drop-files block made from them.
#include "platform/clipboard.h"
#include "platform/framework/ole_drop.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> paths = ReadUriListPaths(std::span(data, size));
    // At most one path a line, none with a zero byte in it.
    if (paths.size() > size_t(std::count(data, data + size, '\n')) + 1)
        std::abort();
    for (const std::string& p : paths)
        if (p.empty() || p.find('\0') != std::string::npos)
            std::abort();
    // What a drop target is handed splits back into the same paths.
    std::vector<std::string> back;
    if (!ReadDropFilesBlock(MakeDropFileList(paths), back) || back != paths)
        std::abort();
    return 0;
}
