#include "imaging/colour_matcher.h"
#include "imaging/colour_settings.h"
#include "imaging/pelkor_engine.h"
#include "imaging/pixel_types.h"
#include "util/reg_settings.h"
#include "platform/file.h"
#include "platform/registry.h"

#include "support/test_support.h"
#include "resources/string_ids.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ColourMatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
        GetColorSettings(saved);
        base = home.path().string() + "/";
        LoadColorSettings(base, 0, 0, 17);
    }
    void TearDown() override
    {
        ApplyColorSettings(saved);
        SetRegistryStore(nullptr);
    }

    void Use(int input, int display, int print, int space, std::string displayProfile = {})
    {
        ColorSettings s;
        s.doInputCM = input;
        s.doDispCM = display;
        s.doPrintCM = print;
        s.colorSpace = space;
        s.displayProfile = std::move(displayProfile);
        ApplyColorSettings(s);
    }

    qrtest::TempDir dir;
    qrtest::TempDir home;
    std::string base;
    CRegistryStore store{dir.path(), dir / "machine"};
    ColorSettings saved;
};

struct Calls {
    std::vector<std::pair<int, int>> seen;
};

int Record(int done, int total, intptr_t user)
{
    reinterpret_cast<Calls*>(user)->seen.push_back({done, total});
    return 0;
}

// GCC 12 sees the vector grown by insert written past its storage: false warnings.
QR_GCC_IGNORE_VECTOR_GROWTH_BEGIN
std::vector<uint8_t> Reds(int pixels)
{
    std::vector<uint8_t> v;
    for (int i = 0; i < pixels; ++i)
        v.insert(v.end(), {255, 0, 0});
    return v;
}
QR_GCC_IGNORE_END

} // namespace

TEST(ColorSpaceDesc, KindDataAndPathRules)
{
    CIccProfileData data;
    const uint8_t b[2] = {9, 9};
    data.Set(b, 2);
    CColorSpaceDesc d;
    EXPECT_EQ(d.GetKind(), 14);
    d.SetPath("/p.icc");
    EXPECT_TRUE(d.HasPath());
    EXPECT_EQ(d.GetKind(), 1);
    d.SetProfileData(data);
    EXPECT_TRUE(d.HasData());
    EXPECT_FALSE(d.HasPath());
    d.SetProfileData(CIccProfileData()); // no bytes: nothing changes
    EXPECT_TRUE(d.HasData());
    d.SetPath("");
    EXPECT_TRUE(d.HasData());
    d.SetPath("/q.icc");
    EXPECT_FALSE(d.HasData());
    d.SetKind(17);
    EXPECT_TRUE(d.IsSpecial());
    EXPECT_FALSE(d.HasPath());
    EXPECT_EQ(d.GetPath(), "");
    d.SetKind(18);
    EXPECT_TRUE(d.IsSpecial());
    d.Reset();
    EXPECT_EQ(d.GetKind(), 14);
}

TEST_F(ColourMatcherTest, SettingsLoadSaveAndApply)
{
    ColorSettings s;
    GetColorSettings(s);
    EXPECT_EQ(s, ColorSettings{});
    EXPECT_EQ(GetColorProfilesBase(), base);

    ColorSettings changed = s;
    EXPECT_EQ(ApplyColorSettings(changed), 0);
    changed.printerProfile = "/printer.icc";
    EXPECT_EQ(ApplyColorSettings(changed), 1);
    EXPECT_EQ(ApplyColorSettings(changed), 0);

    changed = {1, 1, 0, 7, "/work.icc", "/printer.icc", "/display.icc"};
    ApplyColorSettings(changed);
    SaveColorSettings();
    ApplyColorSettings(ColorSettings{});
    LoadColorSettings(base, 0, 0, 17);
    GetColorSettings(s);
    EXPECT_EQ(s, changed);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ColorSpace", 0), 7);

    // A path too long for the file system is dropped, not cut.
    RegWriteString(IDS_REG_PREFERENCE, "DisplayProfile", std::string(5000, 'a'));
    LoadColorSettings(base, 0, 0, 17);
    GetColorSettings(s);
    EXPECT_EQ(s.displayProfile, "");
    EXPECT_EQ(s.printerProfile, "/printer.icc");
}

TEST_F(ColourMatcherTest, InputMatchingIsTheMasterSwitch)
{
    CPelkorEngine engine;
    Use(0, 1, 1, 7);
    CColorMatcher off(&engine);
    EXPECT_FALSE(off.IsDisplayMatchingOn());
    EXPECT_FALSE(off.IsPrintMatchingOn());
    auto pixels = Reds(4);
    const auto before = pixels;
    EXPECT_EQ(off.MatchForDisplay(CIccProfileData(), PixelType::Rgb24, pixels.data(), 4, 1, 12), 1);
    EXPECT_EQ(off.MatchForPrinter(CIccProfileData(), PixelType::Rgb24, pixels.data(), 4, 1, 12), 1);
    EXPECT_EQ(pixels, before);

    Use(1, 1, 0, 7);
    CColorMatcher on(&engine);
    EXPECT_TRUE(on.IsDisplayMatchingOn());
    EXPECT_FALSE(on.IsPrintMatchingOn());
    // A job keeps the settings it started with.
    Use(0, 0, 0, 7);
    EXPECT_TRUE(on.IsDisplayMatchingOn());

    CColorMatcher noEngine(nullptr);
    EXPECT_EQ(noEngine.MatchForInput(CIccProfileData(), PixelType::Rgb24, 0, "", pixels.data(), 4, 1, 12), 0);
}

TEST_F(ColourMatcherTest, InputMatchIntoTheWorkingSpace)
{
    CPelkorEngine engine;
    // The original space as working space: no transform, progress told 100 % once.
    Use(1, 0, 0, 17);
    CColorMatcher original(&engine);
    Calls calls;
    original.SetProgressCallback(Record, reinterpret_cast<intptr_t>(&calls));
    auto pixels = Reds(4);
    const auto before = pixels;
    EXPECT_EQ(original.MatchForInput(CIccProfileData(), PixelType::Rgb24, 0, "Cam", pixels.data(), 4, 1, 12), 1);
    EXPECT_EQ(pixels, before);
    ASSERT_EQ(calls.seen.size(), 1u);
    EXPECT_EQ(calls.seen[0], std::make_pair(100, 100));

    // No embedded profile and no camera profile file: from sRGB.
    Use(1, 0, 0, 7);
    CColorMatcher wide(&engine);
    CColorSpaceDesc source;
    CColorSpaceDesc destination;
    wide.BuildInputPair(source, destination, CIccProfileData(), 0, "Cam");
    EXPECT_EQ(source.GetKind(), 14);
    EXPECT_EQ(destination.GetKind(), 7);
    EXPECT_EQ(wide.MatchForInput(CIccProfileData(), PixelType::Rgb24, 0, "Cam", pixels.data(), 4, 1, 12), 1);
    auto expected = before;
    CColorSpaceDesc srgb;
    CColorSpaceDesc adobe;
    adobe.SetKind(7);
    ASSERT_TRUE(engine.ApplyOp1(srgb, adobe, PixelType::Rgb24, expected.data(), 4, 1, 12));
    EXPECT_EQ(pixels, expected);
    EXPECT_NE(pixels, before);

    // A camera profile file beside the program is taken when the picture has none;
    // an embedded profile wins over it.
    fs::create_directories(home / "Profiles/CameraProfiles");
    CIccProfileData cameraProfile;
    ASSERT_TRUE(engine.GetProfile(adobe, cameraProfile));
    qrtest::WriteBytes(home / "Profiles/CameraProfiles/Cam_jprof.icc", cameraProfile.GetBytes());
    wide.BuildInputPair(source, destination, CIccProfileData(), 0, "Cam");
    EXPECT_TRUE(source.HasPath());
    wide.BuildInputPair(source, destination, cameraProfile, 0, "Cam");
    EXPECT_TRUE(source.HasData());
    // From the wide space into the wide space changes nothing worth a count.
    pixels = before;
    EXPECT_EQ(wide.MatchForInput(CIccProfileData(), PixelType::Rgb24, 0, "Cam", pixels.data(), 4, 1, 12), 1);
    EXPECT_NEAR(pixels[0], 255, 1);

    // Pixels the library does not take fail the match.
    EXPECT_EQ(wide.MatchForInput(CIccProfileData(), PixelType::Grey8, 0, "", pixels.data(), 4, 1, 12), 0);
}

TEST_F(ColourMatcherTest, DisplayPairFromTheWorkingSpace)
{
    CPelkorEngine engine;
    CIccProfileData embedded;
    CColorSpaceDesc adobe;
    adobe.SetKind(7);
    ASSERT_TRUE(engine.GetProfile(adobe, embedded));
    const std::string screen = base + "screen.icc";
    qrtest::WriteBytes(screen, embedded.GetBytes());

    Use(1, 1, 1, 17, screen);
    CColorMatcher matcher(&engine);
    CColorSpaceDesc source;
    CColorSpaceDesc destination;
    matcher.BuildOutputPair(source, destination, embedded, screen);
    EXPECT_TRUE(source.HasData());
    EXPECT_EQ(destination.GetPath(), screen);
    matcher.BuildOutputPair(source, destination, CIccProfileData(), base + "missing.icc");
    EXPECT_EQ(source.GetKind(), 17);
    EXPECT_EQ(destination.GetKind(), 14);

    // A wide-space picture shown on a wide-space screen keeps its values.
    auto pixels = Reds(2);
    EXPECT_EQ(matcher.MatchForDisplay(embedded, PixelType::Rgb24, pixels.data(), 2, 1, 6), 1);
    EXPECT_NEAR(pixels[0], 255, 1);
    // The printer has no profile: sRGB, in which the same colour needs other values.
    std::vector<uint8_t> printed = {200, 100, 50, 200, 100, 50};
    EXPECT_EQ(matcher.MatchForPrinter(embedded, PixelType::Rgb24, printed.data(), 2, 1, 6), 1);
    EXPECT_GT(printed[0], 205);
    EXPECT_LT(printed[2], 45);
}

TEST_F(ColourMatcherTest, InputProfileOfAPicture)
{
    const std::string jpeg = qrtest::DataPath("exif_intel.jpg").string();
    const std::string tiff = qrtest::DataPath("exif_intel.tif").string();
    const auto embedded = qrtest::ReadBytes(qrtest::DataPath("exif_test_srgb.icc"));
    CIccProfileData p;
    EXPECT_TRUE(p.LoadFromFile(jpeg));
    EXPECT_EQ(p.GetBytes(), embedded);
    EXPECT_TRUE(p.LoadFromFile(tiff));
    EXPECT_EQ(p.GetBytes(), embedded);
    const auto png = dir / "copy.png";
    fs::copy_file(jpeg, png);
    EXPECT_FALSE(p.LoadFromFile(png.string()));
    EXPECT_FALSE(p.HasData());
    EXPECT_FALSE(p.LoadFromFile((dir / "missing.jpg").string()));

    CPelkorEngine engine;
    CIccProfileData wide;
    CColorSpaceDesc adobe;
    adobe.SetKind(7);
    ASSERT_TRUE(engine.GetProfile(adobe, wide));
    struct Row {
        int input;
        int space;
        std::string path;
        std::vector<uint8_t> expected;
    };
    const Row rows[] = {
        {0, 7, jpeg, embedded},                 // no matching: the file's own profile
        {0, 7, (dir / "missing.jpg").string(), {}},
        {1, 17, jpeg, embedded},                // the original space keeps the file's profile
        {1, 17, png.string(), {}},              // ... and has none to give otherwise
        {1, 7, jpeg, wide.GetBytes()},          // matched into the working space
    };
    for (const Row& r : rows) {
        Use(r.input, 0, 0, r.space);
        CColorMatcher matcher(&engine);
        CIccProfileData out;
        matcher.GetInputProfile(out, r.path);
        EXPECT_EQ(out.GetBytes(), r.expected) << r.input << " " << r.space << " " << r.path;
    }
    CColorMatcher none(nullptr);
    CIccProfileData out;
    none.GetInputProfile(out, jpeg);
    EXPECT_FALSE(out.HasData());

    CMemFile stream;
    EXPECT_EQ(wide.WriteTo(stream), wide.GetSize());
    EXPECT_EQ(stream.Data(), wide.GetBytes());
    EXPECT_EQ(CIccProfileData().WriteTo(stream), 0);
}
