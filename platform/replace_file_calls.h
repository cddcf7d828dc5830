#pragma once

#include <sys/types.h>

// The system calls the file writer makes, in one table so that tests can
// make any of them fail (a full disk part way, a failing fsync or close).
struct ReplaceFileCalls {
    int (*openat)(int dirFd, const char* path, int flags, mode_t mode);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*fchmod)(int fd, mode_t mode);
    int (*linkat)(int fromDir, const char* from, int toDir, const char* to, int flags);
    int (*renameat)(int fromDir, const char* from, int toDir, const char* to);
};

// The real calls.
const ReplaceFileCalls& SystemReplaceFileCalls();
// Puts a table in place (nullptr: the real calls again); returns the one before.
const ReplaceFileCalls* SetReplaceFileCalls(const ReplaceFileCalls* calls);
