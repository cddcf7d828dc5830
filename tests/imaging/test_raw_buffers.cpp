#include "imaging/mapped_buffer.h"
#include "imaging/temp_file_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> ReadFd(int fd, uint64_t offset, size_t count)
{
    std::vector<uint8_t> out(count);
    EXPECT_EQ(::pread(fd, out.data(), count, static_cast<off_t>(offset)), static_cast<ssize_t>(count));
    return out;
}

} // namespace

TEST(MappedBuffer, CreateZeroSizeStaysClosed)
{
    CMappedBuffer b;
    EXPECT_FALSE(b.Create(0));
    EXPECT_FALSE(b.IsOpen());
    EXPECT_EQ(b.GetHandle(), -1);
    EXPECT_EQ(b.GetPointer(0, 1), nullptr);
}

TEST(MappedBuffer, WholeViewReadsZerosAndIsSharedThroughTheDescriptor)
{
    CMappedBuffer b;
    ASSERT_TRUE(b.Create(10000));
    ASSERT_TRUE(b.HasWholeView());
    uint8_t* p = b.GetPointer(0, 10000);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[9999], 0);
    std::memset(p + 5000, 0x5A, 10);
    // Another component sees the pixels through the descriptor alone.
    EXPECT_EQ(ReadFd(b.GetHandle(), 5000, 10), std::vector<uint8_t>(10, 0x5A));
    EXPECT_EQ(b.GetPointer(10000, 1), nullptr);
}

TEST(MappedBuffer, WindowsCrossUnitsAndStopAtTheEnd)
{
    // A mapping taken over by descriptor is reached through windows.
    const uint64_t unit = CMappedBuffer::WindowUnit();
    const uint64_t size = unit * 2 + 100;
    CMappedBuffer made;
    ASSERT_TRUE(made.Create(size));
    CMappedBuffer b;
    b.Attach(made.Detach(), size);
    ASSERT_FALSE(b.HasWholeView());

    // A range over the first unit boundary is contiguous across both units.
    uint8_t* p = b.GetPointer(unit - 8, 16);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i)
        p[i] = static_cast<uint8_t>(i + 1);
    // The same range again is the same window.
    EXPECT_EQ(b.GetPointer(unit - 8, 16), p);

    // The last bytes: the window is cut at the end of the mapping.
    uint8_t* tail = b.GetPointer(size - 4, 4);
    ASSERT_NE(tail, nullptr);
    std::memcpy(tail, "tail", 4);

    // Back to the first range through a new window: what was written is there.
    uint8_t* again = b.GetPointer(unit - 8, 16);
    ASSERT_NE(again, nullptr);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(again[i], i + 1);
    EXPECT_EQ(std::memcmp(b.GetPointer(size - 4, 4), "tail", 4), 0);
    EXPECT_EQ(b.GetPointer(size, 1), nullptr);

    // An empty range at 0 maps the rest of the mapping.
    uint8_t* all = b.GetPointer(0, 0);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(std::memcmp(all + size - 4, "tail", 4), 0);
}

TEST(MappedBuffer, DetachHandsTheDescriptorOver)
{
    CMappedBuffer b;
    ASSERT_TRUE(b.Create(4096));
    b.GetPointer(0, 1)[0] = 7;
    const int fd = b.Detach();
    EXPECT_FALSE(b.IsOpen());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadFd(fd, 0, 1)[0], 7);
    CMappedBuffer taker;
    taker.Attach(fd, 4096);
    EXPECT_TRUE(taker.IsOpen());
    EXPECT_EQ(taker.GetPointer(0, 1)[0], 7);
    taker.Close();
    EXPECT_FALSE(taker.IsOpen());
}

TEST(TempFileBuffer, CreateMakesAZeroFileAndCloseDeletesIt)
{
    CTempFileBuffer b;
    EXPECT_FALSE(b.Create(0));
    ASSERT_TRUE(b.Create(10000));
    const std::string path = b.GetPath();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("Raw", 0), 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 10000u);
    EXPECT_EQ(b.GetPointer(9999, 1)[0], 0);
    EXPECT_EQ(b.GetPointer(10000, 1), nullptr);
    b.Close(true);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(b.GetPointer(0, 1), nullptr);
}

TEST(TempFileBuffer, BlocksAreReadOnceAndWrittenBackBeforeTheNextRange)
{
    CTempFileBuffer b;
    ASSERT_TRUE(b.Create(3 * 4096 + 10));
    const int fd = b.FlushAndGetFile();
    ASSERT_GE(fd, 0);

    uint8_t* p = b.GetPointer(4090, 12); // crosses into the second block
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xAB, 12);
    // The same range again is served from the cache, not re-read: a change
    // made to the file meanwhile is not seen.
    const uint8_t other = 0x11;
    ASSERT_EQ(::pwrite(fd, &other, 1, 4090), 1);
    EXPECT_EQ(b.GetPointer(4090, 12)[0], 0xAB);
    EXPECT_EQ(ReadFd(fd, 4091, 1)[0], 0);

    // Another range writes the cached blocks back first.
    uint8_t* end = b.GetPointer(3 * 4096 + 5, 100);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(ReadFd(fd, 4090, 12), std::vector<uint8_t>(12, 0xAB));
    std::memcpy(end, "abcde", 5);
    EXPECT_EQ(b.FlushAndGetFile(), fd);
    EXPECT_EQ(ReadFd(fd, 3 * 4096 + 5, 5), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e'}));
}

TEST(TempFileBuffer, FailedReadForgetsTheCachedBlock)
{
    CTempFileBuffer b;
    ASSERT_TRUE(b.Create(3 * 4096));
    const int fd = b.FlushAndGetFile();
    std::memset(b.GetPointer(0, 4096), 0xAA, 4096);

    // The file shrinks under the buffer: the third block is only partly there,
    // so its read fails after it has overwritten the block buffer.
    ASSERT_EQ(::ftruncate(fd, 2 * 4096 + 100), 0);
    EXPECT_EQ(b.GetPointer(2 * 4096, 10), nullptr);
    ASSERT_EQ(::ftruncate(fd, 3 * 4096), 0);

    // Moving on must not write the half-read block over the first one.
    ASSERT_NE(b.GetPointer(4096, 10), nullptr);
    EXPECT_EQ(b.FlushAndGetFile(), fd);
    EXPECT_EQ(ReadFd(fd, 0, 4096), std::vector<uint8_t>(4096, 0xAA));
}

TEST(TempFileBuffer, TakeOverMovesTheOpenFile)
{
    CTempFileBuffer from, to;
    ASSERT_TRUE(from.Create(5000));
    ASSERT_TRUE(to.Create(100));
    const std::string ownPath = to.GetPath();
    const std::string path = from.GetPath();
    std::memcpy(from.GetPointer(4500, 5), "moved", 5);
    const int fd = from.FlushAndGetFile();

    to.TakeOver(from);
    EXPECT_FALSE(std::filesystem::exists(ownPath));
    EXPECT_FALSE(from.IsOpen());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(to.GetPath(), path);
    EXPECT_EQ(to.GetSize(), 5000u);
    // The same descriptor, not the file opened again by its name.
    EXPECT_EQ(to.FlushAndGetFile(), fd);
    EXPECT_EQ(std::memcmp(to.GetPointer(4500, 5), "moved", 5), 0);
}
