#include "imaging/mapped_buffer.h"

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

namespace {

uint64_t PageSize()
{
    long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<uint64_t>(page) : 4096;
}

} // namespace

CMappedBuffer::CMappedBuffer() : m_granularity(PageSize()) {}

CMappedBuffer::~CMappedBuffer()
{
    Close();
}

uint64_t CMappedBuffer::WindowUnit()
{
    return PageSize() * 256;
}

bool CMappedBuffer::Create(uint64_t size)
{
    Close();
    if (size == 0)
        return false;
    int fd = ::memfd_create("Raw", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    // A new memfd reads as zeros and takes memory only where it is written.
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = size;
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view != MAP_FAILED)
        m_wholeView = static_cast<uint8_t*>(view);
    else if (!GetPointer(0, std::min<uint64_t>(size, 1024)))
        Close();
    return IsOpen();
}

uint8_t* CMappedBuffer::GetPointer(uint64_t offset, uint64_t length)
{
    if (m_fd < 0 || offset >= m_size)
        return nullptr;
    if (m_wholeView)
        return m_wholeView + offset;

    const uint64_t unit = m_granularity * 256;
    const uint64_t first = offset / unit;
    const uint64_t start = first * unit;
    const uint64_t units = (unit + offset % unit + length - 1) / unit;
    uint64_t size = units * unit;
    // Cut at the end of the mapping; an empty range maps the rest from its unit.
    if (size == 0 || unit * (units + first) > m_size)
        size = m_size - start;

    if (m_windowView && static_cast<int64_t>(start) == m_windowOffset && size == m_windowSize)
        return m_windowView + offset % unit;

    if (m_windowView)
        ::munmap(m_windowView, m_windowSize);
    m_windowView = nullptr;
    m_windowOffset = -1;
    m_windowSize = 0;
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, static_cast<off_t>(start));
    if (view == MAP_FAILED)
        return nullptr;
    m_windowView = static_cast<uint8_t*>(view);
    m_windowOffset = static_cast<int64_t>(start);
    m_windowSize = size;
    return m_windowView + offset % unit;
}

void CMappedBuffer::Unmap()
{
    if (m_wholeView)
        ::munmap(m_wholeView, m_size);
    if (m_windowView)
        ::munmap(m_windowView, m_windowSize);
    m_wholeView = nullptr;
    m_windowView = nullptr;
    m_windowOffset = -1;
    m_windowSize = 0;
}

void CMappedBuffer::Close()
{
    Unmap();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_granularity = PageSize();
}

int CMappedBuffer::Detach()
{
    Unmap();
    int fd = m_fd;
    m_fd = -1;
    m_size = 0;
    return fd;
}

void CMappedBuffer::Attach(int fd, uint64_t size)
{
    Close();
    m_fd = fd;
    m_size = fd >= 0 ? size : 0;
}
