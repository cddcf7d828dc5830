#include "platform/mount_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<MountEntry> Parse(const std::string& text, bool* ok = nullptr)
{
    std::vector<MountEntry> table;
    const bool parsed =
        ParseMountTable(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), table);
    if (ok)
        *ok = parsed;
    return table;
}

TEST(MountTable, ReadsTheKernelsLinesAndSkipsOnlyTheDamagedOnes)
{
    const std::string text = "/dev/vda / ext4 rw,relatime 0 0\n"
                             "proc /proc proc rw 0 0\n"
                             "/dev/sdb1 /media/me/USB\\040STICK vfat rw 0 0\n"
                             "server:/x /mnt/back\\134slash nfs4 rw 0 0\n"
                             "broken-line-without-fields\n"
                             "bad /mnt/esc\\09 ext4 rw 0 0\n"
                             "bad /mnt/zero\\000 ext4 rw 0 0\n"
                             "relative mnt ext4 rw 0 0\n"
                             "\n"
                             "sshfs#me@host: /home/me/remote fuse.sshfs rw 0 0";
    bool ok = false;
    const std::vector<MountEntry> table = Parse(text, &ok);
    ASSERT_TRUE(ok);
    const std::vector<MountEntry> expected = {
        {"/dev/vda", "/", "ext4"},
        {"proc", "/proc", "proc"},
        {"/dev/sdb1", "/media/me/USB STICK", "vfat"},
        {"server:/x", "/mnt/back\\slash", "nfs4"},
        {"sshfs#me@host:", "/home/me/remote", "fuse.sshfs"},
    };
    EXPECT_EQ(table, expected);
}

TEST(MountTable, LimitsHoldAtTheLimitAndRefuseOnePast)
{
    const std::string line = "d /m t\n";
    bool ok = false;
    EXPECT_EQ(Parse([&] {
                  std::string t;
                  for (size_t i = 0; i < kMaxMountEntries; ++i)
                      t += line;
                  return t;
              }(),
                    &ok)
                  .size(),
              kMaxMountEntries);
    EXPECT_TRUE(ok);
    std::string past;
    for (size_t i = 0; i <= kMaxMountEntries; ++i)
        past += line;
    EXPECT_TRUE(Parse(past, &ok).empty());
    EXPECT_FALSE(ok);

    std::string big(kMaxMountTableBytes, ' ');
    big.replace(0, line.size(), line);
    EXPECT_EQ(Parse(big, &ok).size(), 1u);
    EXPECT_TRUE(ok);
    big.push_back(' ');
    EXPECT_TRUE(Parse(big, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(MountTable, KindsOfFileSystemsAndTheMountAPathLiesOn)
{
    for (const char* type : {"proc", "sysfs", "tmpfs", "cgroup2", "devpts", "squashfs"})
        EXPECT_TRUE(IsPseudoFileSystem(type)) << type;
    for (const char* type : {"ext4", "vfat", "nfs4", "fuse.sshfs"})
        EXPECT_FALSE(IsPseudoFileSystem(type)) << type;
    for (const char* type : {"nfs", "nfs4", "cifs", "fuse", "fuseblk", "fuse.sshfs", "9p"})
        EXPECT_TRUE(IsRemoteFileSystem(type)) << type;
    for (const char* type : {"ext4", "btrfs", "vfat", "fusectl"})
        EXPECT_FALSE(IsRemoteFileSystem(type)) << type;

    const std::vector<MountEntry> table = {
        {"a", "/", "ext4"}, {"b", "/mnt/net", "nfs"}, {"c", "/mnt/net/inner", "ext4"}, {"d", "/mnt/net", "cifs"}};
    struct Case {
        const char* path;
        const char* device;
    };
    for (const Case& c : std::initializer_list<Case>{{"/", "a"},
                                                     {"/home/me", "a"},
                                                     {"/mnt/net", "d"}, // mounted over: the last one shows
                                                     {"/mnt/net/x/y", "d"},
                                                     {"/mnt/network", "a"},
                                                     {"/mnt/net/inner/z", "c"}}) {
        const MountEntry* m = FindMountOf(table, c.path);
        ASSERT_NE(m, nullptr) << c.path;
        EXPECT_EQ(m->device, c.device) << c.path;
    }
    EXPECT_EQ(FindMountOf({}, "/x"), nullptr);
}

TEST(MountTable, TheRunningSystemHasARoot)
{
    const std::vector<MountEntry> table = ReadMountTable();
    ASSERT_FALSE(table.empty());
    EXPECT_NE(FindMountOf(table, "/"), nullptr);
    EXPECT_TRUE(ReadMountTable("/nonexistent/mounts").empty());
}

} // namespace
