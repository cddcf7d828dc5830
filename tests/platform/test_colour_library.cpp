#include "platform/colour/colour_library.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <vector>

namespace {

struct Started {
    Started() { EXPECT_EQ(pelkor::Start(), pelkor::kOk); }
    ~Started() { pelkor::End(); }
};

std::vector<uint8_t> ProfileOf(int space, const char* path = nullptr)
{
    uint32_t size = 0;
    if (pelkor::GetProfileSize(space, path, size) != pelkor::kOk)
        return {};
    std::vector<uint8_t> bytes(size);
    EXPECT_EQ(pelkor::GetProfileData(space, path, bytes.data(), size), pelkor::kOk);
    return bytes;
}

pelkor::ImageDescriptor Describe(void* pixels, int sampleCode, int orderFlag, int width, int height, int64_t stride)
{
    pelkor::ImageDescriptor d;
    d.pixels = pixels;
    d.sampleCode = sampleCode;
    d.orderFlag = orderFlag;
    d.width = width;
    d.height = height;
    d.stride = stride;
    return d;
}

// What LittleCMS itself makes of the same pixels between the same profiles.
template <typename T>
std::vector<T> Reference(const std::vector<T>& in, cmsUInt32Number format, const std::vector<uint8_t>& from,
                         const std::vector<uint8_t>& to, size_t pixels)
{
    cmsHPROFILE a = cmsOpenProfileFromMem(from.data(), static_cast<cmsUInt32Number>(from.size()));
    cmsHPROFILE b = cmsOpenProfileFromMem(to.data(), static_cast<cmsUInt32Number>(to.size()));
    cmsHTRANSFORM t = cmsCreateTransform(a, format, b, format, INTENT_PERCEPTUAL, 0);
    std::vector<T> out(in.size());
    cmsDoTransform(t, in.data(), out.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDeleteTransform(t);
    cmsCloseProfile(a);
    cmsCloseProfile(b);
    return out;
}

struct ProgressLog {
    std::vector<int> done;
    int stopAfter = 1 << 30;
};

int LogProgress(int done, int total, intptr_t user)
{
    auto* log = reinterpret_cast<ProgressLog*>(user);
    EXPECT_EQ(total, 100);
    log->done.push_back(done);
    return static_cast<int>(log->done.size()) >= log->stopAfter;
}

} // namespace

TEST(ColourLibrary, KnownColoursIntoTheWideGamutSpace)
{
    Started lib;
    const auto srgb = ProfileOf(pelkor::kSpaceSrgb);
    const auto wide = ProfileOf(pelkor::kSpaceAdobeRgb);
    ASSERT_FALSE(srgb.empty());
    ASSERT_FALSE(wide.empty());

    // Red, green, blue, white, grey, black in red-green-blue order; the
    // expected values are the published ones for these primaries.
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 128, 128, 128, 0, 0, 0};
    const int expected[6][3] = {{219, 0, 0}, {142, 255, 60}, {0, 0, 250}, {255, 255, 255}, {130, 130, 130}, {0, 0, 0}};

    struct Row {
        int sampleCode;
        int orderFlag;
        cmsUInt32Number format;
    };
    for (const Row& row : {Row{0, 0, TYPE_RGB_8}, Row{0, 1, TYPE_BGR_8}}) {
        std::vector<uint8_t> pixels = rgb;
        if (row.orderFlag)
            for (size_t i = 0; i < pixels.size(); i += 3)
                std::swap(pixels[i], pixels[i + 2]);
        const auto reference = Reference(pixels, row.format, srgb, wide, 6);
        pelkor::ColourSpaces spaces;
        spaces.source = pelkor::kSpaceSrgb;
        spaces.destination = pelkor::kSpaceAdobeRgb;
        ASSERT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), row.sampleCode, row.orderFlag, 6, 1, 18),
                                    spaces, nullptr, 0),
                  pelkor::kOk);
        EXPECT_EQ(pixels, reference);
        for (int p = 0; p < 6; ++p)
            for (int c = 0; c < 3; ++c) {
                const int channel = row.orderFlag ? 2 - c : c;
                EXPECT_NEAR(pixels[p * 3 + channel], expected[p][c], 3) << "pixel " << p << " channel " << c;
            }
    }

    // 16-bit samples, and the way back from the wide space as profile bytes.
    std::vector<uint16_t> deep = {65535, 0, 0, 1000, 40000, 20000, 65535, 65535, 65535};
    const auto reference = Reference(deep, TYPE_RGB_16, wide, srgb, 3);
    pelkor::ColourSpaces back;
    back.source = pelkor::kSpaceProfile;
    back.sourceProfile = wide.data();
    back.sourceProfileSize = static_cast<uint32_t>(wide.size());
    back.destination = pelkor::kSpaceSrgb;
    ASSERT_EQ(pelkor::Transform(pelkor::Intent::Display, Describe(deep.data(), 4, 0, 3, 1, 18), back, nullptr, 0),
              pelkor::kOk);
    EXPECT_EQ(deep, reference);
}

TEST(ColourLibrary, BandsReportProgressAndStopBetweenThem)
{
    Started lib;
    // Three bands of 512 rows; a row's padding must survive.
    const int width = 2048;
    const int height = 3 * static_cast<int>(pelkor::kBandPixels / width);
    const int64_t stride = width * 3 + 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[y * stride + x * 3] = 255; // pure red, which the wide space changes
    const auto original = pixels;
    pelkor::ColourSpaces spaces;
    spaces.source = pelkor::kSpaceSrgb;
    spaces.destination = pelkor::kSpaceAdobeRgb;

    ProgressLog all;
    ASSERT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), 0, 0, width, height, stride), spaces,
                                LogProgress, reinterpret_cast<intptr_t>(&all)),
              pelkor::kOk);
    EXPECT_EQ(all.done, (std::vector<int>{33, 66, 100}));
    EXPECT_NE(pixels[(height - 1) * stride], 255);
    for (int y = 0; y < height; ++y)
        EXPECT_EQ(std::memcmp(&pixels[y * stride + width * 3], &original[y * stride + width * 3], 4), 0);

    pixels = original;
    ProgressLog stopped;
    stopped.stopAfter = 1;
    EXPECT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), 0, 0, width, height, stride), spaces,
                                LogProgress, reinterpret_cast<intptr_t>(&stopped)),
              pelkor::kCancelled);
    EXPECT_EQ(stopped.done, (std::vector<int>{33}));
    const int64_t bandRows = pelkor::kBandPixels / width;
    EXPECT_NE(pixels[(bandRows - 1) * stride], 255);
    EXPECT_EQ(pixels[bandRows * stride], 255);
    EXPECT_EQ(pixels[(height - 1) * stride], 255);
}

TEST(ColourLibrary, RefusesWhatItCannotConvert)
{
    std::vector<uint8_t> pixels(64 * 3, 7);
    pelkor::ColourSpaces spaces;
    EXPECT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), 0, 0, 8, 8, 24), spaces, nullptr, 0),
              pelkor::kNotStarted);
    Started lib;
    struct Row {
        pelkor::ImageDescriptor image;
        int source;
        int expected;
    };
    auto odd = Describe(pixels.data(), 0, 0, 8, 8, 24);
    odd.byteOrder = 0x4D4D;
    const Row rows[] = {
        {Describe(pixels.data(), 2, 0, 8, 8, 24), pelkor::kSpaceSrgb, pelkor::kUnsupportedPixels},
        {Describe(pixels.data(), 0, 2, 8, 8, 24), pelkor::kSpaceSrgb, pelkor::kUnsupportedPixels},
        {odd, pelkor::kSpaceSrgb, pelkor::kUnsupportedPixels},
        {Describe(pixels.data(), 0, 0, 8, 8, 23), pelkor::kSpaceSrgb, pelkor::kBadArgument},
        {Describe(pixels.data(), 0, 0, 0, 8, 24), pelkor::kSpaceSrgb, pelkor::kBadArgument},
        {Describe(nullptr, 0, 0, 8, 8, 24), pelkor::kSpaceSrgb, pelkor::kBadArgument},
        {Describe(pixels.data(), 0, 0, 8, 8, 24), pelkor::kSpaceProfile, pelkor::kNoProfile},
        {Describe(pixels.data(), 0, 0, 8, 8, 24), 99, pelkor::kNoProfile},
    };
    for (const Row& r : rows) {
        spaces.source = r.source;
        EXPECT_EQ(pelkor::Transform(pelkor::Intent::Input, r.image, spaces, nullptr, 0), r.expected) << r.source;
        EXPECT_EQ(pixels, std::vector<uint8_t>(64 * 3, 7));
    }
    // Bytes that are no profile.
    const std::vector<uint8_t> junk(200, 1);
    spaces.source = pelkor::kSpaceProfile;
    spaces.sourceProfile = junk.data();
    spaces.sourceProfileSize = static_cast<uint32_t>(junk.size());
    EXPECT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), 0, 0, 8, 8, 24), spaces, nullptr, 0),
              pelkor::kBadProfile);
    // A profile file whose colour space is no signature at all (found by fuzzing).
    const std::string path = qrtest::DataPath("icc_colour_space_not_a_signature.icc").string();
    spaces.sourceProfile = nullptr;
    spaces.sourceProfileSize = 0;
    spaces.sourcePath = path.c_str();
    EXPECT_EQ(pelkor::Transform(pelkor::Intent::Input, Describe(pixels.data(), 0, 0, 8, 8, 24), spaces, nullptr, 0),
              pelkor::kBadProfile);
    EXPECT_EQ(pixels, std::vector<uint8_t>(64 * 3, 7));
}

TEST(ColourLibrary, ProfilesBySizeThenData)
{
    Started lib;
    qrtest::TempDir dir;
    const auto wide = ProfileOf(pelkor::kSpaceAdobeRgb);
    qrtest::WriteBytes(dir / "wide.icc", wide);
    const std::string path = (dir / "wide.icc").string();
    EXPECT_EQ(ProfileOf(pelkor::kSpaceProfile, path.c_str()), wide);

    // The built space carries its primaries.
    cmsHPROFILE p = cmsOpenProfileFromMem(wide.data(), static_cast<cmsUInt32Number>(wide.size()));
    ASSERT_NE(p, nullptr);
    auto* red = static_cast<cmsCIEXYZ*>(cmsReadTag(p, cmsSigRedColorantTag));
    ASSERT_NE(red, nullptr);
    cmsCIExyY xyY;
    cmsXYZ2xyY(&xyY, red);
    // Colorants are adapted to D50, which moves red's chromaticity a little.
    EXPECT_NEAR(xyY.x, 0.648, 0.01);
    EXPECT_NEAR(xyY.y, 0.331, 0.01);
    cmsCloseProfile(p);

    uint32_t size = 1;
    const std::string folder = dir.path().string();
    EXPECT_EQ(pelkor::GetProfileSize(pelkor::kSpaceProfile, folder.c_str(), size), pelkor::kNoProfile);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(pelkor::GetProfileSize(pelkor::kSpaceOriginal, nullptr, size), pelkor::kNoProfile);
    std::vector<uint8_t> small(10);
    EXPECT_EQ(pelkor::GetProfileData(pelkor::kSpaceSrgb, nullptr, small.data(), 10), pelkor::kSizeMismatch);
    pelkor::End();
    EXPECT_EQ(pelkor::GetProfileSize(pelkor::kSpaceSrgb, nullptr, size), pelkor::kNotStarted);
}

TEST(ColourLibrary, TagValueTexts)
{
    enum Call { Rational, Integer, Maker };
    struct Row {
        Call call;
        int item;
        int64_t value;
        uint32_t denominator;
        const char* text;
    };
    const Row rows[] = {
        {Rational, pelkor::kItemExposureTime, 1, 125, "1/125 sec."},
        {Rational, pelkor::kItemExposureTime, 10, 1250, "1/125 sec."},
        {Rational, pelkor::kItemExposureTime, 2, 5, "0.4 sec."},
        {Rational, pelkor::kItemExposureTime, 5, 2, "2.5 sec."},
        {Rational, pelkor::kItemExposureTime, 30, 1, "30 sec."},
        {Rational, pelkor::kItemFNumber, 28, 10, "F2.8"},
        {Rational, pelkor::kItemFNumber, 8, 1, "F8.0"},
        {Rational, pelkor::kItemShutterSpeed, 7, 1, "1/128 sec."},
        {Rational, pelkor::kItemShutterSpeed, -1, 1, "2 sec."},
        {Rational, pelkor::kItemAperture, 3, 1, "F2.8"},
        {Rational, pelkor::kItemMaxAperture, 6, 1, "F8.0"},
        {Rational, pelkor::kItemExposureBias, -2, 3, "-0.7 EV"},
        {Rational, pelkor::kItemExposureBias, 0, 3, "0.0 EV"},
        {Rational, pelkor::kItemBrightness, 1025, 100, "10.25 EV"},
        {Rational, pelkor::kItemFocalLength, 58, 10, "5.8 mm"},
        {Rational, pelkor::kItemResolution, 7200, 100, "72"},
        {Rational, pelkor::kItemSubjectDistance, 0, 1, "Unknown"},
        {Rational, pelkor::kItemSubjectDistance, 0xFFFFFFFFll, 1, "Infinity"},
        {Rational, pelkor::kItemSubjectDistance, 250, 100, "2.5 m"},
        {Rational, pelkor::kItemDigitalZoom, 0, 1, "Not used"},
        {Rational, pelkor::kItemDigitalZoom, 3, 2, "1.5x"},
        {Rational, pelkor::kItemFocalLength35Rational, 50, 1, "50 mm"},
        {Rational, pelkor::kItemMakerRational, -3, 4, "-3/4"},
        // A zero denominator says nothing.
        {Rational, pelkor::kItemFNumber, 28, 0, ""},
        {Rational, pelkor::kItemExposureTime, 0, 0, ""},
        {Integer, pelkor::kItemFlash, 0x00, 0, "Flash did not fire"},
        {Integer, pelkor::kItemFlash, 0x19, 0, "Flash fired, auto mode"},
        {Integer, pelkor::kItemFlash, 0x5F, 0, "Flash fired, auto mode, return light detected, red-eye reduction mode"},
        {Integer, pelkor::kItemMeteringMode, 5, 0, "Pattern"},
        {Integer, pelkor::kItemMeteringMode, 2, 0, "Center-weighted average"},
        {Integer, pelkor::kItemMeteringMode, 255, 0, "Other"},
        {Integer, pelkor::kItemMeteringMode, 9, 0, "9"},
        {Integer, pelkor::kItemWhiteBalance, 0, 0, "Auto white balance"},
        {Integer, pelkor::kItemWhiteBalance, 1, 0, "Manual white balance"},
        {Integer, pelkor::kItemLightSource, 21, 0, "D65"},
        {Integer, pelkor::kItemExposureProgram, 3, 0, "Aperture priority"},
        {Integer, pelkor::kItemResolutionUnit, 2, 0, "inches"},
        {Integer, pelkor::kItemFocalLength35, 28, 0, "28 mm"},
        {Integer, pelkor::kItemFocalLength35, 0, 0, ""},
        {Integer, pelkor::kItemIsoSpeed, 40000, 0, "40000"},
        {Maker, pelkor::kItemMaker0, -5, 0, "-5"},
        {Maker, pelkor::kItemMaker2, 4000000000ll, 0, "4000000000"},
    };
    for (const Row& r : rows) {
        std::string text = "stale";
        switch (r.call) {
        case Rational: pelkor::FormatRationalText(r.value, r.denominator, text, r.item, "Model", 1); break;
        case Integer: pelkor::FormatIntegerText(r.value, text, r.item, "Model", 1); break;
        case Maker: pelkor::FormatMakerText(r.value, text, r.item, "Model", 1); break;
        }
        EXPECT_EQ(text, r.text) << "item " << r.item << " value " << r.value;
    }
    std::string text = "stale";
    EXPECT_NE(pelkor::FormatIntegerText(1, text, pelkor::kItemFNumber, "", 1), pelkor::kOk);
    EXPECT_EQ(text, "");
}
