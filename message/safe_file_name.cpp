#include "message/safe_file_name.h"

#include "util/path_util.h"

std::string MakeSafeFileName(const std::string& name, const std::string& fallback)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        out += control || HasInvalidFileNameChar(std::string_view(&c, 1)) ? '_' : c;
    }
    if (out.find_first_not_of('.') == std::string::npos)
        return fallback;
    // A leading dot would hide the file from the user.
    for (size_t i = 0; i < out.size() && out[i] == '.'; ++i)
        out[i] = '_';
    return out;
}
