#pragma once

#include "support/kill_part_way.h"

#include <cstdio>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <vector>

namespace qrtest {

// The exit code of a child that could not mount its own file system: the
// test skips, saying so.
inline constexpr int kNoMountNamespace = 77;

// For a forked child: a small file system of its own (a tmpfs with the given
// options, "size=8k") over folder, in a mount namespace of its own, so that a
// disk fills up or refuses writes for real without touching the machine's.
// False where that is not allowed (not root).
inline bool MountSmallFileSystem(const std::string& folder, const char* options)
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0;
}

// That file system made read-only.
inline bool RemountReadOnly(const std::string& folder)
{
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// A child's answer, with what it saw and the messages it showed on its error
// output, which the test's log keeps.
inline int ChildAnswer(int code, const std::string& seen, const std::vector<std::string>& boxes)
{
    std::string said;
    for (const std::string& box : boxes)
        said += box + "\n";
    if (code != 0)
        std::fprintf(stderr, "%s, said: %s", seen.c_str(), said.c_str());
    return code;
}

// Runs body in a forked child over a small file system of its own at folder
// (made read-only when asked). Answers body's answer, kNoMountNamespace when
// the child may not mount, -1 when it got stuck or did not end by itself.
inline int InChildOverSmallFileSystem(const std::string& folder, const char* options, bool readOnly,
                                      const std::function<int()>& body)
{
    const pid_t child = ForkWithoutPoolThreads();
    if (child == 0) {
        if (!MountSmallFileSystem(folder, options) || (readOnly && !RemountReadOnly(folder)))
            ::_exit(kNoMountNamespace);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || !WaitForChild(child, status) || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace qrtest
