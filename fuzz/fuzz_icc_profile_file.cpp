// Colour profile files named by path (camera and monitor profiles below the
// program's folder, or chosen by the user): read by size, then by bytes, and
// used as the source and as the destination of a transform.
#include "platform/colour/colour_library.h"
#include "fuzz/input_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Convert(const pelkor::ColourSpaces& spaces)
{
    uint8_t pixels[4 * 3 * 3];
    for (size_t i = 0; i < sizeof pixels; ++i)
        pixels[i] = static_cast<uint8_t>(i * 29);
    pelkor::ImageDescriptor image;
    image.pixels = pixels;
    image.width = 4;
    image.height = 3;
    image.stride = 12;
    pelkor::Transform(pelkor::Intent::Display, image, spaces, nullptr, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int started = pelkor::Start();
    if (started != pelkor::kOk)
        std::abort();
    const std::string path = WriteInputFile("fuzz_icc_profile_file.icc", data, size);
    if (path.empty())
        return 0;

    uint32_t length = 0;
    if (pelkor::GetProfileSize(pelkor::kSpaceProfile, path.c_str(), length) == pelkor::kOk) {
        // The size and the bytes are the file's own.
        std::vector<uint8_t> bytes(length);
        if (length != size ||
            pelkor::GetProfileData(pelkor::kSpaceProfile, path.c_str(), bytes.data(), length) != pelkor::kOk ||
            (size && std::memcmp(bytes.data(), data, size) != 0))
            std::abort();
        if (length > 0 && pelkor::GetProfileData(pelkor::kSpaceProfile, path.c_str(), bytes.data(), length - 1) !=
                              pelkor::kSizeMismatch)
            std::abort();
    }
    pelkor::ColourSpaces in;
    in.source = pelkor::kSpaceProfile;
    in.sourcePath = path.c_str();
    Convert(in);
    pelkor::ColourSpaces out;
    out.destination = pelkor::kSpaceProfile;
    out.destinationPath = path.c_str();
    Convert(out);
    std::remove(path.c_str());
    return 0;
}
