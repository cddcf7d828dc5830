// The loading front end: which road a file takes and what each road gives.
#include "imaging/dib_bitmap.h"
#include "imaging/image_importer.h"
#include "imaging/image_load.h"
#include "platform/file.h"
#include "support/fake_plugin.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <fstream>

namespace {

const std::string kFakes = std::string(QR_TEST_BUILD_DIR) + "/tests/fakes";

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

struct Fake : qrtest::FakePlugin {
    explicit Fake(const std::string& file) : FakePlugin(kFakes + "/" + file) {}
};

int Load(CImageImporter& host, const std::string& path, CDibBitmap& out, const RECT* rect = nullptr)
{
    try {
        host.DecodeToDib(path, out, rect, nullptr, -1);
    } catch (int code) {
        return code;
    }
    return 0;
}

} // namespace

TEST(LoadingFrontEnd, RoadsByExtension)
{
    qrtest::TempDir dir;
    qrtest::TempDir noPlugins;
    const std::string pattern = (noPlugins.path() / "*.gim").string();
    WriteText(dir / "notes.TxT", "Hello\tworld\n");
    WriteText(dir / "letter.doc", "not a picture");
    WriteText(dir / "driver.sys", "x");
    WriteText(dir / "tool.exe", "x");
    WriteText(dir / "README", "x");
    std::filesystem::create_directory(dir / "folder.d");
    WriteText(dir / "folder.d" / "plain", "x");
    struct Row {
        const char* file;
        int kind;
        int width, height, bits;
    };
    const Row rows[] = {
        {"notes.TxT", kLoadKindText, 300, 300, 1},
        {"letter.doc", kLoadKindOle, 160, 96, 24},
        {"README", kLoadKindOle, 160, 96, 24},
        {"folder.d/plain", kLoadKindOle, 160, 96, 24},
        {"driver.sys", kLoadKindIcon, 32, 32, 24},
        {"tool.exe", kLoadKindIcon, 32, 32, 24},
    };
    for (const Row& r : rows) {
        CImageImporter host(pattern);
        CDibBitmap bmp;
        ASSERT_EQ(Load(host, (dir / r.file).string(), bmp), 0) << r.file;
        EXPECT_EQ(host.LastLoadKind(), r.kind) << r.file;
        EXPECT_EQ(bmp.GetSize(), CSize(r.width, r.height)) << r.file;
        EXPECT_EQ(bmp.GetBitsPerPixel(), r.bits) << r.file;
    }
}

TEST(LoadingFrontEnd, TextRenderingUsesTheAreaAndInk)
{
    qrtest::TempDir dir;
    std::string lines;
    while (lines.size() < 70000)
        lines += "Wide words wrap within the area\n";
    WriteText(dir / "a.log", lines);
    CDibBitmap bmp;
    const RECT area{0, 0, 640, 480};
    ASSERT_TRUE(RenderTextFileToDib((dir / "a.log").string(), bmp, &area));
    EXPECT_EQ(bmp.GetSize(), CSize(640, 480));
    if (!QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).inFont(QChar('W')))
        GTEST_SKIP() << "no font to draw with";
    int black = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 640; ++x)
            black += bmp.GetPixel(x, y) == RGB(0, 0, 0);
    EXPECT_GT(black, 100) << "no text was drawn";
    EXPECT_FALSE(RenderTextFileToDib((dir / "missing.txt").string(), bmp, nullptr));
}

TEST(LoadingFrontEnd, BrokenBmpIsAFailure)
{
    qrtest::TempDir dir;
    qrtest::TempDir noPlugins;
    CDibBitmap good;
    ASSERT_TRUE(good.CreateDib(CSize(5, 4), 24, nullptr, nullptr, RGB(10, 20, 30)));
    {
        CFile f((dir / "good.bmp").string(), CFile::modeCreate | CFile::modeWrite);
        ASSERT_TRUE(good.Write(f));
    }
    WriteText(dir / "bad.bmp", "BM nonsense");
    CImageImporter ok((noPlugins.path() / "*.gim").string());
    CDibBitmap bmp;
    EXPECT_EQ(Load(ok, (dir / "good.bmp").string(), bmp), 0);
    EXPECT_EQ(ok.LastLoadKind(), kLoadKindBmp);
    EXPECT_EQ(bmp.GetPixel(2, 2), RGB(10, 20, 30));
    CImageImporter bad((noPlugins.path() / "*.gim").string());
    EXPECT_EQ(Load(bad, (dir / "bad.bmp").string(), bmp), kLoadGaveUp);
}

TEST(LoadingFrontEnd, BitmapRoadDepths)
{
    qrtest::TempDir dir;
    WriteText(dir / "p.fak", "x");
    struct Row {
        long bits, clrUsed;
        int depth, entries;
        DWORD redMask;
    };
    const Row rows[] = {
        {2, 0, 4, 16, 0},        // 2-bit results become 4-bit pixels
        {8, 0, 8, 256, 0},       // no colour count: the full table
        {15, 0, 16, 0, 0x7C00},  // 15 bits: 16-bit bit fields, 5-5-5
        {16, 0, 16, 0, 0xF800},  // 16 bits: 5-6-5
        {24, 0, 24, 0, 0},
    };
    for (const Row& r : rows) {
        Fake a("Importer/a_fake.gim");
        a.Set("dib_bits", r.bits);
        a.Set("clr_used", r.clrUsed);
        a.Set("fill", 0xE4); // 2-bit pixels 3, 2, 1, 0
        CImageImporter host(kFakes + "/Importer/*.gim");
        CDibBitmap bmp;
        ASSERT_EQ(Load(host, (dir / "p.fak").string(), bmp), 0) << r.bits;
        EXPECT_EQ(host.LastLoadKind(), kLoadKindPlugin);
        EXPECT_EQ(bmp.GetBitsPerPixel(), r.depth) << r.bits;
        if (r.entries) {
            EXPECT_EQ(bmp.GetPaletteSize(), r.entries) << r.bits;
        }
        if (r.redMask) {
            EXPECT_EQ(bmp.GetBitMasks()[0], r.redMask) << r.bits;
        }
        if (r.bits == 2) {
            // Each 2-bit value lands unchanged in a 4-bit pixel.
            EXPECT_EQ(bmp.GetBits()[0], 0x32);
            EXPECT_EQ(bmp.GetBits()[1], 0x10);
        }
    }
}

TEST(LoadingFrontEnd, PluginCancelOnTheBitmapRoadIsGaveUp)
{
    qrtest::TempDir dir;
    WriteText(dir / "c.fak", "x");
    Fake a("Importer/a_fake.gim");
    CImageImporter host(kFakes + "/Importer/*.gim");
    host.SetProgressCallback([](int32_t, int32_t, uintptr_t) -> int32_t { return 1; }, 0);
    CDibBitmap bmp;
    EXPECT_EQ(Load(host, (dir / "c.fak").string(), bmp), kLoadGaveUp);
    EXPECT_FALSE(bmp.IsValid());
}
