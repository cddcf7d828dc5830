#include "platform/private_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::string WritePrivateFile(const std::string& folder, const std::string& name, std::span<const char> bytes)
{
    if (folder.empty() || name.empty() || name.find('/') != std::string::npos)
        return {};
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    Fd dir;
    dir.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir.fd < 0)
        return {};
    // A folder someone else made (or left open to others) under our name is not ours to write in.
    struct stat st {};
    if (::fstat(dir.fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        return {};
    if (::unlinkat(dir.fd, name.c_str(), 0) != 0 && errno != ENOENT)
        return {};
    Fd file;
    file.fd = ::openat(dir.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file.fd < 0)
        return {};
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::unlinkat(dir.fd, name.c_str(), 0);
            return {};
        }
        done += size_t(n);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlinkat(dir.fd, name.c_str(), 0);
        return {};
    }
    return folder + "/" + name;
}
