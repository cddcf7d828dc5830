// Settings hive files from disk: any bytes, and the same bytes with a valid
// checksum so that the structure checks behind it are reached too.
#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(const uint8_t* data, size_t size)
{
    RegHive hive;
    if (!RegHive::Parse(data, size, hive))
        return;
    // What was read is written back whole and reads the same again.
    std::vector<uint8_t> again = hive.Serialize();
    RegHive second;
    if (!RegHive::Parse(again.data(), again.size(), second) || !(second == hive))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(data, size);
    std::vector<uint8_t> sealed(data, data + size);
    uint32_t crc = RegHive::Checksum(sealed.data(), sealed.size());
    for (int i = 0; i < 4; ++i)
        sealed.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    Check(sealed.data(), sealed.size());
    return 0;
}
