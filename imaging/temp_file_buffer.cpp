#include "imaging/temp_file_buffer.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace {

bool ReadAt(int fd, uint8_t* out, uint64_t count, uint64_t offset)
{
    while (count > 0) {
        ssize_t n = ::pread(fd, out, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // an error, or the file is shorter than it should be
        out += n;
        count -= static_cast<uint64_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool WriteAt(int fd, const uint8_t* in, uint64_t count, uint64_t offset)
{
    while (count > 0) {
        ssize_t n = ::pwrite(fd, in, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        in += n;
        count -= static_cast<uint64_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

std::string TempFolder()
{
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

CTempFileBuffer::~CTempFileBuffer()
{
    Close(true);
}

void CTempFileBuffer::Reset()
{
    m_fd = -1;
    m_block.reset();
    m_blockCapacity = 0;
    m_path.clear();
    m_fileSize = 0;
    m_blockSize = kDefaultBlockSize;
    m_cachedLength = 0;
    m_cachedOffset = -1;
}

void CTempFileBuffer::Close(bool remove)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        if (remove && !m_path.empty())
            ::unlink(m_path.c_str());
    }
    Reset();
}

bool CTempFileBuffer::Create(uint64_t size)
{
    Close(true);
    m_block.reset(new (std::nothrow) uint8_t[m_blockSize]);
    if (!m_block)
        return false;
    m_blockCapacity = m_blockSize;
    if (size == 0)
        return false;

    std::string path = TempFolder() + "RawXXXXXX";
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_fileSize = size;
    return true;
}

bool CTempFileBuffer::WriteBack()
{
    if (m_cachedOffset < 0 || m_cachedLength == 0)
        return true;
    return WriteAt(m_fd, m_block.get(), m_cachedLength, static_cast<uint64_t>(m_cachedOffset));
}

uint8_t* CTempFileBuffer::GetPointer(uint64_t offset, uint64_t length)
{
    if (m_fd < 0 || offset >= m_fileSize)
        return nullptr;
    if (length == 0)
        length = 1;

    const uint64_t unit = m_blockSize;
    const uint64_t first = offset / unit;
    const uint64_t start = first * unit;
    const uint64_t units = (unit + offset % unit + length - 1) / unit;
    uint64_t size = units * unit;
    if (unit * (units + first) > m_fileSize)
        size = m_fileSize - start;

    if (m_cachedOffset == static_cast<int64_t>(start) && m_cachedLength == size)
        return m_block.get() + offset % unit;

    // Every cached block goes back whether it changed or not.
    if (!WriteBack()) {
        // The file no longer holds what the cache says: forget the cache so
        // that no later write-back puts a half-read block into the file.
        m_cachedOffset = -1;
        m_cachedLength = 0;
        return nullptr;
    }
    m_cachedOffset = -1;
    m_cachedLength = 0;
    if (m_blockCapacity < size) {
        m_block.reset();
        m_blockCapacity = 0;
        m_block.reset(new (std::nothrow) uint8_t[size]);
        if (!m_block)
            return nullptr;
        m_blockCapacity = size;
    }
    if (!ReadAt(m_fd, m_block.get(), size, start))
        return nullptr;
    m_cachedOffset = static_cast<int64_t>(start);
    m_cachedLength = size;
    return m_block.get() + offset % unit;
}

int CTempFileBuffer::FlushAndGetFile()
{
    if (m_fd < 0)
        return -1;
    // Written bytes are seen at once by every reader of the descriptor.
    if (!WriteBack())
        return -1;
    return m_fd;
}

void CTempFileBuffer::TakeOver(CTempFileBuffer& other)
{
    if (&other == this)
        return;
    Close(true);
    if (other.m_fd < 0) {
        other.Close(false);
        return;
    }
    // A block that cannot be written back stays lost either way; the file
    // is taken over with what it holds.
    other.WriteBack();
    int fd = other.m_fd;
    std::string path = other.m_path;
    uint64_t fileSize = other.m_fileSize;
    uint32_t blockSize = other.m_blockSize;
    // The descriptor moves with the file: the other buffer must not close it.
    other.m_fd = -1;
    other.Close(false);

    m_block.reset(new uint8_t[blockSize]);
    m_blockCapacity = blockSize;
    m_fd = fd;
    m_path = std::move(path);
    m_fileSize = fileSize;
    m_blockSize = blockSize;
}
