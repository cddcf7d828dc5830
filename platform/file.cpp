#include "platform/file.h"

#include "platform/exceptions.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <fcntl.h>
#include <stdio.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <utility>

int CFileException::OsErrorToCause(int err)
{
    switch (err) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return accessDenied;
    case ENOSPC:
    case EDQUOT: return diskFull;
    case ESPIPE:
    case EINVAL: return badSeek;
    case EIO: return hardIO;
    case EBUSY:
    case ETXTBSY: return sharingViolation;
    default: return genericException;
    }
}

std::string CFileException::SystemReason() const
{
    if (m_lOsError == 0)
        return {};
    char buffer[256];
    return ::strerror_r(m_lOsError, buffer, sizeof buffer);
}

std::string WithSystemReason(std::string message, const CException& e)
{
    const auto* file = dynamic_cast<const CFileException*>(&e);
    const std::string reason = file ? file->SystemReason() : std::string();
    if (!reason.empty()) {
        while (!message.empty() && message.back() == ' ')
            message.pop_back();
        message += "\n" + reason;
    }
    return message;
}

CFile::CFile(const std::string& path, unsigned flags)
{
    CFileException error;
    if (!Open(path, flags, &error))
        throw error;
}

CFile::~CFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error)
{
    Close();
    int oflags = O_CLOEXEC;
    if (flags & modeReadWrite)
        oflags |= O_RDWR;
    else if (flags & modeWrite)
        oflags |= O_WRONLY;
    else
        oflags |= O_RDONLY;
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate))
            oflags |= O_TRUNC;
    }
    int fd = ::open(path.c_str(), oflags, 0666);
    if (fd < 0) {
        if (error)
            *error = CFileException(CFileException::OsErrorToCause(errno), errno, path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = CFileException(CFileException::accessDenied, EISDIR, path);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void CFile::Close()
{
    if (m_fd >= 0) {
        int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
    }
}

size_t CFile::Read(void* buffer, size_t count)
{
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t n = ::read(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, size_t count)
{
    size_t done = 0;
    auto* p = static_cast<const char*>(buffer);
    while (done < count) {
        ssize_t n = ::write(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
        }
        done += static_cast<size_t>(n);
    }
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(m_fd, offset, whence);
    if (r < 0)
        throw CFileException(CFileException::badSeek, errno, m_path);
    return static_cast<uint64_t>(r);
}

uint64_t CFile::GetPosition() const
{
    off_t r = ::lseek(m_fd, 0, SEEK_CUR);
    if (r < 0)
        throw CFileException(CFileException::badSeek, errno, m_path);
    return static_cast<uint64_t>(r);
}

uint64_t CFile::GetLength() const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
    return static_cast<uint64_t>(st.st_size);
}

uint64_t CFile::GetRemaining() const
{
    const uint64_t length = GetLength(), position = GetPosition();
    return length > position ? length - position : 0;
}

std::vector<uint8_t> CFile::ReadUpTo(uint64_t count)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(count, GetRemaining())));
    bytes.resize(Read(bytes.data(), bytes.size()));
    return bytes;
}

void CFile::SetLength(uint64_t length)
{
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
}

void CFile::Flush()
{
    if (m_fd >= 0 && ::fsync(m_fd) != 0 && errno != EINVAL)
        throw CFileException(CFileException::OsErrorToCause(errno), errno, m_path);
}

CMemFile::CMemFile(const void* data, size_t size)
    : m_data(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size)
{
}

size_t CMemFile::Read(void* buffer, size_t count)
{
    if (m_pos >= m_data.size())
        return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(count, m_data.size() - m_pos));
    if (n)
        std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

void CMemFile::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    uint64_t endPos = m_pos + count;
    if (endPos < m_pos)
        throw CFileException(CFileException::diskFull);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    try {
        if (m_pos >= m_data.size()) {
            // Appending copies once, without zero-filling the new room first.
            m_data.resize(static_cast<size_t>(m_pos));
            m_data.insert(m_data.end(), bytes, bytes + count);
            m_pos = endPos;
            return;
        }
        if (endPos > m_data.size())
            m_data.resize(static_cast<size_t>(endPos));
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    } catch (const std::length_error&) {
        throw CMemoryException();
    }
    std::memcpy(m_data.data() + m_pos, bytes, count);
    m_pos = endPos;
}

uint64_t CMemFile::Seek(int64_t offset, SeekPosition from)
{
    int64_t base = from == begin ? 0 : from == current ? static_cast<int64_t>(m_pos) : static_cast<int64_t>(m_data.size());
    int64_t target = base + offset;
    if (target < 0)
        throw CFileException(CFileException::badSeek);
    m_pos = static_cast<uint64_t>(target);
    return m_pos;
}

void CMemFile::SetLength(uint64_t length)
{
    try {
        m_data.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
    if (m_pos > length)
        m_pos = length;
}

std::vector<uint8_t> CMemFile::Detach()
{
    m_pos = 0;
    return std::exchange(m_data, {});
}

void CMemFile::Attach(std::vector<uint8_t> bytes)
{
    m_data = std::move(bytes);
    m_pos = 0;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return err;
    // A file system without the flag: a hard link claims the new name or fails.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0)
            return 0;
        const int unlinkErr = errno;
        ::unlink(to.c_str());
        return unlinkErr;
    }
    if (errno != EPERM)
        return errno;
    // A folder cannot be linked: a look at the name is all there is.
    struct stat st{};
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to, std::string& error)
{
    const int err = RenameNoReplace(from, to);
    if (err != 0)
        error = std::strerror(err);
    return err == 0;
}
