// The kernel's table of mounted file systems, as the folder trees read it.
#include "platform/mount_table.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<MountEntry> table;
    if (!ParseMountTable(std::span(data, size), table))
        return 0;
    // At most one entry a line, each with an absolute mount point and no empty field.
    if (table.size() > size_t(std::count(data, data + size, '\n')) + 1 || table.size() > kMaxMountEntries)
        std::abort();
    for (const MountEntry& e : table) {
        if (e.device.empty() || e.type.empty() || e.mountPoint.empty() || e.mountPoint.front() != '/' ||
            e.mountPoint.find('\0') != std::string::npos)
            std::abort();
        // Every entry's own point lies on itself or a deeper mount.
        const MountEntry* on = FindMountOf(table, e.mountPoint);
        if (!on || on->mountPoint.size() < e.mountPoint.size())
            std::abort();
    }
    return 0;
}
