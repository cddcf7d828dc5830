// Drop-files blocks from a drag or the clipboard of another program.
#include "platform/clipboard.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> block(data, data + size);
    std::vector<std::string> paths;
    if (ReadDropFilesBlock(block, paths)) {
        size_t total = 0;
        for (const std::string& p : paths)
            total += p.size() + 1;
        if (total + 21 > size + 1)
            __builtin_trap(); // more text than bytes
    }
    return 0;
}
