#include "platform/mount_table.h"

#include "platform/byte_reader.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Takes the next blank-separated field, its escapes undone; false at the end
// of the line or on an escape the kernel does not write (the line is then skipped).
bool NextField(std::string_view& line, std::string& field)
{
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return false;
    line.remove_prefix(start);
    const size_t end = line.find_first_of(" \t");
    std::string_view raw = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    field.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            field.push_back(raw[i]);
            continue;
        }
        if (raw.size() - i < 4) {
            return false;
        }
        int value = 0;
        for (size_t k = 1; k <= 3; ++k) {
            const char c = raw[i + k];
            if (c < '0' || c > '7') {
                return false;
            }
            value = value * 8 + (c - '0');
        }
        if (value == 0 || value > 0xFF) {
            return false;
        }
        field.push_back(static_cast<char>(value));
        i += 3;
    }
    return !field.empty();
}

bool OneOf(std::string_view type, std::initializer_list<std::string_view> names)
{
    for (std::string_view n : names)
        if (type == n)
            return true;
    return false;
}

} // namespace

bool ParseMountTable(std::span<const uint8_t> bytes, std::vector<MountEntry>& out)
{
    ByteReader reader(bytes);
    if (!reader.WithinLimit(reader.Size(), kMaxMountTableBytes))
        return false;
    std::vector<MountEntry> table;
    while (auto line = reader.Line()) {
        std::string_view rest = *line;
        MountEntry e;
        if (!NextField(rest, e.device) || !NextField(rest, e.mountPoint) || !NextField(rest, e.type))
            continue;
        if (e.mountPoint.front() != '/' || e.mountPoint.find('\0') != std::string::npos)
            continue;
        if (!reader.WithinLimit(table.size() + 1, kMaxMountEntries))
            return false;
        table.push_back(std::move(e));
    }
    out = std::move(table);
    return true;
}

// Not QStorageInfo::mountedVolumes(): it asks every mount point for its size
// (statfs), which blocks for as long as a network file system's server is
// away; the folder tree reads this table to keep clear of such folders.
std::vector<MountEntry> ReadMountTable(const std::string& file)
{
    // Files of /proc tell no size: read until the end, within the limit.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::vector<uint8_t> bytes;
    std::array<uint8_t, 65536> block;
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > kMaxMountTableBytes + 1) {
            // One byte past the limit is enough for the parser to refuse it.
            bytes.insert(bytes.end(), block.begin(), block.begin() + (kMaxMountTableBytes + 1 - bytes.size()));
            break;
        }
        bytes.insert(bytes.end(), block.begin(), block.begin() + n);
    }
    ::close(fd);
    std::vector<MountEntry> table;
    if (!ok || !ParseMountTable(bytes, table))
        return {};
    return table;
}

bool IsPseudoFileSystem(std::string_view type)
{
    return OneOf(type, {"autofs",    "binfmt_misc", "bpf",      "cgroup",  "cgroup2", "configfs", "debugfs",
                        "devpts",    "devtmpfs",    "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs",
                        "proc",      "pstore",      "ramfs",    "rpc_pipefs", "securityfs", "selinuxfs",
                        "squashfs",  "sysfs",       "tmpfs",    "tracefs", "rootfs"});
}

bool IsRemoteFileSystem(std::string_view type)
{
    if (type == "fuse" || type == "fuseblk" || type.starts_with("fuse."))
        return true;
    return OneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ncpfs", "coda", "davfs", "ceph",
                        "glusterfs", "lustre", "sshfs", "virtiofs"});
}

const MountEntry* FindMountOf(const std::vector<MountEntry>& table, std::string_view path)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& e : table) {
        const std::string& m = e.mountPoint;
        const bool under = m == "/" ? path.starts_with('/')
                                    : path.starts_with(m) && (path.size() == m.size() || path[m.size()] == '/');
        if (under && (!best || m.size() >= best->mountPoint.size()))
            best = &e;
    }
    return best;
}
