// The libjpeg error manager of our JPEG plug-ins: warnings are silent, and an
// error jumps back to the GuardedCall around the library call that raised it.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace qrplugin {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;

    [[noreturn]] static void Exit(j_common_ptr cinfo)
    {
        std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
    }
    static void Silent(j_common_ptr) {}

    // For the codec object's err field.
    jpeg_error_mgr* Install()
    {
        jpeg_std_error(&pub);
        pub.error_exit = Exit;
        pub.output_message = Silent;
        return &pub;
    }
};

} // namespace qrplugin
