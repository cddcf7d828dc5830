// Settings hive files from disk: any bytes. Whatever lines are read are
// written back whole and read again the same, with no line damaged.
#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegHive hive;
    RegHive::Parse(data, size, hive);
    const std::vector<uint8_t> again = hive.Serialize();
    RegHive second;
    if (RegHive::Parse(again.data(), again.size(), second) != 0 || !(second == hive))
        std::abort();
    return 0;
}
