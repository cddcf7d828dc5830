#include "platform/replace_file.h"

#include "platform/exceptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(int err, const std::string& path)
{
    throw CFileException(CFileException::OsErrorToCause(err), err, path);
}

} // namespace

void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes)
{
    std::string target = path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved))
        target = resolved;

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        Fail(errno, path);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        Fail(err, path);
    };
    if (existed && ::fchmod(fd, old.st_mode & 07777) != 0)
        abandon(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        Fail(err, path);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        Fail(err, path);
    }
}
