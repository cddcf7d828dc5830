// One boundary per call into a C library that reports errors by longjmp
// (libjpeg's error manager, libpng's jump buffer). The jump lands in this
// frame and becomes false; the frames it leaves are the library's and the
// call's own, which hold nothing with a destructor. Our C++ objects live in
// the caller, which never sees a jump.
#pragma once

#include <csetjmp>

namespace qrplugin {

template <typename Call>
[[gnu::noinline]] bool GuardedCall(std::jmp_buf& jump, Call&& call)
{
    if (setjmp(jump))
        return false;
    call();
    return true;
}

} // namespace qrplugin
