// Picture information from untrusted bytes: the first byte picks the file kind
// (JPEG, TIFF, raw format); every tag becomes its display text, and a colour
// profile the picture carries is used for a transform.
#include "imaging/exif_file.h"
#include "imaging/exif_text_formatter.h"
#include "imaging/image_info_set.h"
#include "platform/colour/colour_library.h"
#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0] % 3;
    CMemFile file(data + 1, size - 1);
    CExifFile exif;
    exif.Attach(&file, kind);

    CExifTextFormatter formatter;
    CExifInfoSet info(&formatter);
    CMakerInfoSet maker(&formatter);
    info.Fill(exif, kind);
    maker.Fill(exif);
    for (const auto& e : exif.GetEntries()) {
        std::string text;
        formatter.FormatExifValueText(*e, text, "model");
        formatter.FormatMakerValue(*e, text, "model");
        for (int i = -1; i < 3; ++i)
            text = FormatTagValue(*e, i);
    }

    const CIccProfileData& profile = info.GetProfile();
    if (profile.HasData()) {
        pelkor::Start();
        uint8_t pixels[4 * 4 * 3];
        for (size_t i = 0; i < sizeof pixels; ++i)
            pixels[i] = static_cast<uint8_t>(i * 13);
        pelkor::ImageDescriptor image;
        image.pixels = pixels;
        image.width = 4;
        image.height = 4;
        image.stride = 12;
        pelkor::ColourSpaces spaces;
        spaces.source = pelkor::kSpaceProfile;
        spaces.sourceProfile = profile.GetBytes().data();
        spaces.sourceProfileSize = static_cast<uint32_t>(profile.GetSize());
        pelkor::Transform(pelkor::Intent::Input, image, spaces, nullptr, 0);
        pelkor::End();
    }
    return 0;
}
