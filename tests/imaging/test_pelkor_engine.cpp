#include "imaging/pelkor_engine.h"

#include "imaging/icc_profile_data.h"
#include "imaging/pixel_types.h"
#include "platform/file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

TEST(PelkorEngine, LibraryLivesFromTheFirstEngineToTheLast)
{
    ASSERT_EQ(CPelkorEngine::GetLiveCount(), 0);
    EXPECT_FALSE(pelkor::IsStarted());
    auto first = std::make_unique<CPelkorEngine>();
    auto second = std::make_unique<CPelkorEngine>();
    EXPECT_TRUE(pelkor::IsStarted());
    first.reset();
    EXPECT_TRUE(pelkor::IsStarted());
    EXPECT_EQ(CPelkorEngine::GetLiveCount(), 1);
    second.reset();
    EXPECT_FALSE(pelkor::IsStarted());
}

TEST(PelkorEngine, DescriptorsAndSpaceCodes)
{
    struct Row {
        int pixelType;
        bool taken;
        int sampleCode;
        int orderFlag;
    };
    const Row rows[] = {
        {PixelType::Bgr24, true, 0, 1}, {PixelType::Rgb24, true, 0, 0}, {PixelType::Bgr48, true, 4, 1},
        {PixelType::Rgb48, true, 4, 0}, {PixelType::Grey8, false, 0, 0}, {PixelType::Palette8, false, 0, 0},
        {PixelType::Cmyk32, false, 0, 0},
    };
    uint8_t pixel[8] = {};
    for (const Row& r : rows) {
        pelkor::ImageDescriptor d;
        EXPECT_EQ(CPelkorEngine::FillImageDescriptor(d, r.pixelType, pixel, 70000, 50000, 210000), r.taken)
            << r.pixelType;
        if (!r.taken)
            continue;
        EXPECT_EQ(d.sampleCode, r.sampleCode);
        EXPECT_EQ(d.orderFlag, r.orderFlag);
        EXPECT_EQ(d.byteOrder, 0x4949u);
        // Sizes past 16 bits stay whole.
        EXPECT_EQ(d.width, 70000);
        EXPECT_EQ(d.height, 50000);
        EXPECT_EQ(d.stride, 210000);
    }

    const std::pair<int, int> codes[] = {{0, 0}, {1, 1}, {5, 5}, {6, 16}, {7, 17}, {14, 24}, {17, 27},
                                         {18, 28}, {19, 32}, {22, 35}, {23, 0}, {-1, 0}};
    for (auto [code, library] : codes)
        EXPECT_EQ(ToPelkorColorSpace(code), library) << code;
    EXPECT_EQ(GetRegionCode(), 1);

    // A source given by bytes passes no path; the destination never passes bytes.
    CPelkorEngine engine;
    CIccProfileData bytes;
    const uint8_t b[3] = {1, 2, 3};
    bytes.Set(b, 3);
    CColorSpaceDesc source;
    source.SetPath("/some/where.icc");
    source.SetProfileData(bytes);
    CColorSpaceDesc destination;
    destination.SetPath("/dest.icc");
    pelkor::ColourSpaces spaces;
    engine.FillColorSpaces(spaces, source, destination);
    EXPECT_EQ(spaces.source, 1);
    EXPECT_EQ(spaces.sourcePath, nullptr);
    EXPECT_EQ(spaces.sourceProfileSize, 3u);
    EXPECT_STREQ(spaces.destinationPath, "/dest.icc");
}

TEST(PelkorEngine, ProfileSegmentsForJpegAndTiff)
{
    CPelkorEngine engine;
    CColorSpaceDesc srgb;
    CIccProfileData profile;
    ASSERT_TRUE(engine.GetProfile(srgb, profile));
    const auto& bytes = profile.GetBytes();

    CMemFile jpeg;
    ASSERT_TRUE(engine.GetProfileSegmentForFile(srgb, jpeg, "/x/out.JPG"));
    ASSERT_EQ(jpeg.Data().size(), 14 + bytes.size());
    EXPECT_EQ(std::memcmp(jpeg.Data().data(), "ICC_PROFILE\0\x01\x01", 14), 0);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), jpeg.Data().begin() + 14));

    CMemFile tiff;
    ASSERT_TRUE(engine.GetProfileSegmentForFile(srgb, tiff, "/x/out.tif"));
    EXPECT_EQ(tiff.Data(), bytes);

    // A profile longer than one segment is split into numbered pieces.
    qrtest::TempDir dir;
    std::vector<uint8_t> big(150000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    qrtest::WriteBytes(dir / "big.icc", big);
    CColorSpaceDesc file;
    file.SetPath((dir / "big.icc").string());
    CMemFile pieces;
    ASSERT_TRUE(engine.GetProfileSegment(file, pieces, false));
    const auto& out = pieces.Data();
    ASSERT_EQ(out.size(), big.size() + 3 * 14);
    std::vector<uint8_t> joined;
    for (size_t at = 0, n = 1; at < out.size(); ++n) {
        ASSERT_EQ(std::memcmp(&out[at], "ICC_PROFILE", 12), 0);
        EXPECT_EQ(out[at + 12], n);
        EXPECT_EQ(out[at + 13], 3);
        const size_t content = std::min(CPelkorEngine::kApp2MaxContent, out.size() - at);
        EXPECT_TRUE(n == 3 || content == 65533);
        joined.insert(joined.end(), out.begin() + at + 14, out.begin() + at + content);
        at += content;
    }
    EXPECT_EQ(joined, big);

    // No profile: nothing written.
    CColorSpaceDesc missing;
    missing.SetPath((dir / "none.icc").string());
    CMemFile nothing;
    EXPECT_FALSE(engine.GetProfileSegment(missing, nothing, false));
    EXPECT_EQ(nothing.GetLength(), 0u);
    CIccProfileData empty;
    EXPECT_FALSE(engine.GetProfile(missing, empty));
    EXPECT_FALSE(empty.HasData());
}

TEST(PelkorEngine, CameraAndMonitorProfileFiles)
{
    qrtest::TempDir home;
    const std::string base = home.path().string() + "/";
    fs::create_directories(home / "Profiles/CameraProfiles");
    fs::create_directories(home / "Profiles/MonitorProfiles");
    qrtest::WriteBytes(home / "Profiles/CameraProfiles/X_rprof.icc", {1});
    qrtest::WriteBytes(home / "Profiles/CameraProfiles/X_jprof.icc", {1});
    qrtest::WriteBytes(home / "secret_jprof.icc", {1});
    qrtest::WriteBytes(home / "Profiles/screen.icc", {1});

    CPelkorEngine engine;
    struct Row {
        const char* model;
        int kind;
        const char* expected; // below the base folder; "" for none
    };
    const Row rows[] = {
        {"X", 2, "Profiles/CameraProfiles/X_rprof.icc"},
        {"X", 0, "Profiles/CameraProfiles/X_jprof.icc"},
        {"X", 1, "Profiles/CameraProfiles/X_jprof.icc"},
        {"X", 3, ""},
        {"  X \t", 2, "Profiles/CameraProfiles/X_rprof.icc"},
        {"Y", 0, ""},
        {"../../secret", 0, ""},
        {"a/b", 0, ""},
        {"", 0, ""},
    };
    for (const Row& r : rows) {
        std::string path = "stale";
        engine.GetCameraProfilePath(path, base, r.model, r.kind);
        EXPECT_EQ(path, *r.expected ? base + r.expected : "") << r.model << " " << r.kind;
    }
    // A base without its trailing separator finds the same file.
    std::string path;
    engine.GetCameraProfilePath(path, home.path().string(), "X", 2);
    EXPECT_EQ(path, base + "Profiles/CameraProfiles/X_rprof.icc");

    const std::string screen = base + "Profiles/screen.icc";
    engine.GetMonitorProfileFolder(path, base, screen);
    EXPECT_EQ(path, screen);
    // Without a chosen profile file the folder is no answer: sRGB is.
    for (const std::string& chosen : {std::string(), base + "gone.icc", base + "Profiles/MonitorProfiles"}) {
        engine.GetMonitorProfileFolder(path, base, chosen);
        EXPECT_EQ(path, "") << chosen;
    }
}

TEST(PelkorEngine, TransformsKeepTheLibraryResult)
{
    CPelkorEngine engine;
    CColorSpaceDesc srgb;
    CColorSpaceDesc wide;
    wide.SetKind(7);
    uint8_t rgb[6] = {255, 0, 0, 0, 0, 0};
    EXPECT_TRUE(engine.ApplyOp1(srgb, wide, PixelType::Rgb24, rgb, 2, 1, 6));
    EXPECT_EQ(engine.GetResult(), 0);
    EXPECT_LT(rgb[0], 230);
    EXPECT_FALSE(engine.ApplyOp17(srgb, wide, PixelType::Grey8, rgb, 2, 1, 6));
    EXPECT_EQ(engine.GetResult(), pelkor::kUnsupportedPixels);
    CColorSpaceDesc missing;
    missing.SetPath("/no/such/profile.icc");
    EXPECT_FALSE(engine.ApplyOp18(srgb, missing, PixelType::Rgb24, rgb, 2, 1, 6));
    EXPECT_EQ(engine.GetResult(), pelkor::kNoProfile);
}
