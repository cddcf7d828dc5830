#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The file systems mounted now, as the kernel lists them (/proc/self/mounts:
// a line each of device, mount point, type, options and two numbers, with
// blanks and backslashes in names written as \ooo octal escapes).

struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string type;
    bool operator==(const MountEntry&) const = default;
};

// The table is refused whole beyond these; a line the kernel would never
// write (fewer than three fields, a bad escape) is skipped alone.
constexpr uint64_t kMaxMountTableBytes = 4u << 20;
constexpr size_t kMaxMountEntries = 20000;

// false (and nothing kept) when the bytes pass a limit.
bool ParseMountTable(std::span<const uint8_t> bytes, std::vector<MountEntry>& out);
// The table of the running process; empty when it cannot be read whole.
std::vector<MountEntry> ReadMountTable(const std::string& file = "/proc/self/mounts");

// Kernel views and memory file systems that hold no user's files (proc,
// sysfs, tmpfs, cgroup, ...).
bool IsPseudoFileSystem(std::string_view type);
// A file system whose folders may take long to list, or answer nothing while
// their server is away: network file systems and user-space (FUSE) ones.
bool IsRemoteFileSystem(std::string_view type);
// The entry the path lies on: the longest mount point that is the path or a
// folder above it (the last one mounted wins); null when none is.
const MountEntry* FindMountOf(const std::vector<MountEntry>& table, std::string_view path);
