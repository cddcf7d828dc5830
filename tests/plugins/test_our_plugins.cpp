// Our importer and exporter plug-ins driven through their entry points, as
// the hosts call them: what an exporter writes, the matching importer reads.
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/plugin_api.h"
#include "platform/replace_file.h"
#include "support/exif_tool.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <gif_lib.h>
#include <lcms2.h>
#include <png.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace {

struct Module {
    void* handle = nullptr;
    explicit Module(const std::string& path) { handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
    ~Module()
    {
        if (handle)
            dlclose(handle);
    }
    template <typename F>
    F Get(const char* name) const
    {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
};

std::string Importer(const char* name) { return std::string(QR_BIN_DIR) + "/Importer/" + name + "_importer.gim"; }
std::string Exporter(const char* name) { return std::string(QR_BIN_DIR) + "/Exporter/" + name + "_exporter.gex"; }

// A picture as the image buffer holds it: bottom-up rows padded to 4 bytes.
struct Picture {
    int32_t type = 11;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;

    uint8_t* Row(int32_t top) { return pixels.data() + static_cast<size_t>(height - 1 - top) * stride; }
};

Picture MakeColour(int32_t w, int32_t h)
{
    Picture p;
    p.type = 11;
    p.width = w;
    p.height = h;
    p.stride = ((w * 24 + 31) / 32) * 4;
    p.pixels.assign(static_cast<size_t>(p.stride) * h, 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* px = p.Row(y) + 3 * x;
            px[0] = static_cast<uint8_t>(x * 255 / (w - 1));       // blue ramp left to right
            px[1] = static_cast<uint8_t>(y * 255 / (h - 1));       // green ramp top to bottom
            px[2] = static_cast<uint8_t>((x + y) * 255 / (w + h)); // red diagonal
        }
    return p;
}

Picture MakeGrey(int32_t w, int32_t h)
{
    Picture p;
    p.type = 14;
    p.width = w;
    p.height = h;
    p.stride = ((w * 8 + 31) / 32) * 4;
    p.pixels.assign(static_cast<size_t>(p.stride) * h, 0);
    p.palette.resize(256 * 4);
    for (int i = 0; i < 256; ++i)
        p.palette[4 * i] = p.palette[4 * i + 1] = p.palette[4 * i + 2] = static_cast<uint8_t>(i);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p.Row(y)[x] = static_cast<uint8_t>((x * 7 + y * 13) & 0xFF);
    return p;
}

Picture MakePaletted(int32_t w, int32_t h)
{
    Picture p;
    p.type = 8;
    p.width = w;
    p.height = h;
    p.stride = ((w * 8 + 31) / 32) * 4;
    p.pixels.assign(static_cast<size_t>(p.stride) * h, 0);
    p.palette.assign(256 * 4, 0);
    for (int i = 0; i < 256; ++i) {
        p.palette[4 * i] = static_cast<uint8_t>(i);
        p.palette[4 * i + 1] = static_cast<uint8_t>(255 - i);
        p.palette[4 * i + 2] = static_cast<uint8_t>(i * 3);
    }
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p.Row(y)[x] = static_cast<uint8_t>((x + 3 * y) % 256);
    return p;
}

// As the host calls it: the plug-in fills the file writer's temporary file,
// which replaces path only when the plug-in succeeded.
uint16_t Export(const Module& m, const std::string& path, const Picture& p, uint32_t quality = 95,
                const std::vector<uint8_t>& b1 = {}, const std::vector<uint8_t>& b2 = {},
                const std::vector<uint8_t>& b3 = {}, QrProgressProc progress = nullptr)
{
    auto proc = m.Get<ImageExportMapProcFn>("ImageExportMapProc");
    CReplaceFile out;
    if (!proc || !out.Open(path))
        return 0xFFFF;
    const uint16_t result =
        proc(out.WritePath().c_str(), p.type, p.pixels.data(), -1, -1, 0, 1,
             p.palette.empty() ? nullptr : p.palette.data(), p.width, p.height, 96.0f, 96.0f, p.stride,
             p.type == 11 ? 3 : 1, 8, quality, b1.empty() ? nullptr : b1.data(), static_cast<uint32_t>(b1.size()),
             b2.empty() ? nullptr : b2.data(), static_cast<uint32_t>(b2.size()), b3.empty() ? nullptr : b3.data(),
             static_cast<uint32_t>(b3.size()), b1.empty() ? 1 : 0, progress, 0);
    if (result == 0 && !out.Commit())
        return 0xFFFE;
    return result;
}

// The information pass, as the hosts make it: out gets the described size
// and buffers of the host's layout (rows filled with 0xCD).
bool ImportInfo(const Module& m, const std::string& path, Picture& out, const QrDecodeRect* options = nullptr)
{
    auto info = m.Get<ImageRawInfoExProcFn>("ImageRawInfoExProc");
    QrRawImageInfo ri{};
    if (!info || info(path.c_str(), options, &ri, 0) != 0)
        return false;
    out.type = ri.pixelType;
    out.width = ri.width;
    out.height = ri.height;
    const int bpp = ri.bitsFactor1 * ri.bitsFactor2;
    out.stride = ((ri.width * bpp + 31) / 32) * 4;
    out.pixels.assign(static_cast<size_t>(out.stride) * ri.height, 0xCD);
    // As the hosts do: a palette buffer only for types that have one.
    out.palette.assign(static_cast<size_t>(QrPaletteEntriesForType(ri.pixelType)) * 4, 0);
    return true;
}

// The data pass into the buffers the information pass made.
bool ImportData(const Module& m, const std::string& path, Picture& out, const QrDecodeRect* options = nullptr)
{
    auto data = m.Get<ImageRawDataExProcFn>("ImageRawDataExProc");
    const int bpp = out.type == 11 ? 24 : out.type == 1 ? 1 : out.type == 4 ? 4 : 8;
    const QrImportBuffer buffer{out.width, out.height, bpp, out.stride, out.pixels.size(),
                                static_cast<uint32_t>(out.palette.size()), 0};
    return data && data(path.c_str(), options, out.pixels.data(), out.palette.empty() ? nullptr : out.palette.data(),
                        nullptr, nullptr, nullptr, nullptr, 0, 0, 0, &buffer) == 0;
}

bool Import(const Module& m, const std::string& path, Picture& out, const QrDecodeRect* options = nullptr)
{
    return ImportInfo(m, path, out, options) && ImportData(m, path, out, options);
}

// Colour of a pixel as (r, g, b) whatever the type.
std::array<int, 3> Rgb(Picture& p, int32_t x, int32_t y)
{
    const uint8_t* row = p.Row(y);
    if (p.type == 11)
        return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    const uint8_t* q = &p.palette[4 * row[x]];
    return {q[2], q[1], q[0]};
}

// Lossless formats must match exactly; lossy ones on average within a bound.
double Difference(Picture& a, Picture& b, bool lossy)
{
    double worst = 0, sum = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            auto ca = Rgb(a, x, y), cb = Rgb(b, x, y);
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, double(std::abs(ca[c] - cb[c])));
                sum += std::abs(ca[c] - cb[c]);
            }
        }
    return lossy ? sum / (3.0 * a.width * a.height) : worst;
}

// A small Intel-order Exif block: Make in directory 0, DateTimeOriginal in the Exif directory.
std::vector<uint8_t> SmallExifBlock()
{
    std::vector<uint8_t> b{'I', 'I', 42, 0, 8, 0, 0, 0};
    auto p16 = [&](uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto p32 = [&](uint32_t v) { p16(uint16_t(v)); p16(uint16_t(v >> 16)); };
    // directory 0 at 8: 2 entries -> 8 + 2 + 24 + 4 = 38
    p16(2);
    p16(271); p16(2); p32(8); p32(38);      // Make "Quiram\0" + pad at 38
    p16(34665); p16(4); p32(1); p32(46);    // Exif directory at 46
    p32(0);
    const char make[8] = {'Q', 'u', 'i', 'r', 'a', 'm', 0, 0};
    b.insert(b.end(), make, make + 8);      // 38..45
    p16(1);                                  // 46
    p16(36867); p16(2); p32(20); p32(64);   // value at 46 + 2 + 12 + 4 = 64
    p32(0);
    const char date[20] = "2024:05:06 07:08:09";
    b.insert(b.end(), date, date + 20);
    return b;
}

// One main-tag record (68 bytes) holding Make.
std::vector<uint8_t> MakeRecord()
{
    std::vector<uint8_t> r(68, 0);
    r[0] = 271 & 0xFF;
    r[1] = 271 >> 8;
    std::memcpy(&r[4], "Quiram", 6);
    return r;
}

struct Format {
    const char* name;
    const char* ext;
    int tolerance; // mean difference allowed for lossy formats; 0 = exact
};

const Format kFormats[] = {{"jpeg", "jpg", 8}, {"png", "png", 0}, {"tiff", "tif", 0}, {"bmp", "bmp", 0}};

} // namespace

TEST(OurPlugins, EveryImporterReadsWhatItsExporterWrote)
{
    qrtest::TempDir dir;
    for (const Format& f : kFormats) {
        Module ex(Exporter(f.name)), im(Importer(f.name));
        ASSERT_TRUE(ex.handle && im.handle) << f.name << ": " << dlerror();
        for (Picture source : {MakeColour(67, 41), MakeGrey(33, 17), MakePaletted(29, 23)}) {
            const std::string path = (dir / (std::string("p") + std::to_string(source.type) + "." + f.ext)).string();
            ASSERT_EQ(Export(ex, path, source), 0) << f.name << " type " << source.type;
            Picture back;
            ASSERT_TRUE(Import(im, path, back)) << f.name << " type " << source.type;
            ASSERT_EQ(back.width, source.width);
            ASSERT_EQ(back.height, source.height);
            EXPECT_LE(Difference(source, back, f.tolerance > 0), f.tolerance) << f.name << " type " << source.type;
        }
    }
}

TEST(OurPlugins, CancelledExportLeavesNoFile)
{
    qrtest::TempDir dir;
    for (const Format& f : kFormats) {
        Module ex(Exporter(f.name));
        const std::string path = (dir / (std::string("c.") + f.ext)).string();
        auto stop = [](int32_t done, int32_t, uintptr_t) -> int32_t { return done >= 3 ? 1 : 0; };
        EXPECT_EQ(Export(ex, path, MakeColour(20, 20), 90, {}, {}, {}, stop), QR_PLUGIN_CANCELLED) << f.name;
        EXPECT_FALSE(std::filesystem::exists(path)) << f.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0) << f.name;
    }
}

TEST(OurPlugins, FailedExportKeepsTheOldFile)
{
    qrtest::TempDir dir;
    const std::string path = (dir / "keep.png").string();
    qrtest::WriteBytes(path, {1, 2, 3});
    Module ex(Exporter("png"));
    Picture bad = MakeColour(8, 8);
    bad.type = 19; // no pixels of its own
    EXPECT_NE(Export(ex, path, bad), 0);
    EXPECT_EQ(qrtest::ReadBytes(path), (std::vector<unsigned char>{1, 2, 3}));
}

TEST(OurPlugins, JpegDecodesAtReducedScale)
{
    qrtest::TempDir dir;
    const std::string path = (dir / "big.jpg").string();
    Module ex(Exporter("jpeg")), im(Importer("jpeg"));
    ASSERT_EQ(Export(ex, path, MakeColour(640, 480)), 0);
    struct Row {
        QrDecodeRect wanted;
        int32_t width, height;
    };
    // 640 x 480 fitted into the rectangle decides the smallest scale that covers it.
    const Row rows[] = {{{0, 0, 120, 160}, 160, 120}, {{0, 0, 80, 60}, 80, 60}, {{0, 0, 170, 130}, 320, 240},
                        {{0, 0, 320, 240}, 320, 240}, {{0, 0, 1000, 1000}, 640, 480}, {{0, 0, 0, 0}, 640, 480}};
    for (const Row& r : rows) {
        Picture p;
        ASSERT_TRUE(Import(im, path, p, &r.wanted));
        EXPECT_EQ(p.width, r.width) << r.wanted.right;
        EXPECT_EQ(p.height, r.height) << r.wanted.right;
    }
}

TEST(OurPlugins, MetadataBlocksReachTheFileAndValidate)
{
    QR_SKIP_WITHOUT_PROGRAM("exiftool");
    qrtest::TempDir dir;
    // A real profile, made by the colour library.
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(srgb, nullptr, &size);
    std::vector<uint8_t> profile(size);
    cmsSaveProfileToMem(srgb, profile.data(), &size);
    cmsCloseProfile(srgb);
    for (const Format& f : {kFormats[0], kFormats[2]}) {
        Module ex(Exporter(f.name));
        const std::string path = (dir / (std::string("meta.") + f.ext)).string();
        ASSERT_EQ(Export(ex, path, MakeColour(40, 30), 90, SmallExifBlock(), profile, MakeRecord()), 0) << f.name;
        const std::string tags = qrtest::ExifTool({"-s", "-s", "-s", "-Make", "-DateTimeOriginal", "-ProfileClass", path}).out;
        EXPECT_NE(tags.find("Quiram"), std::string::npos) << f.name << tags;
        EXPECT_NE(tags.find("2024:05:06 07:08:09"), std::string::npos) << f.name << tags;
        EXPECT_NE(tags.find("Display Device Profile"), std::string::npos) << f.name << tags;
        const qrtest::ExifToolAnswer check = qrtest::ExifTool({"-validate", "-warning", "-error", "-a", path});
        EXPECT_EQ((check.out + check.err).find("Error"), std::string::npos) << f.name << check.out << check.err;
    }
}

TEST(OurPlugins, ExtensionListsCarryTheirDots)
{
    for (const char* name : {"jpeg", "png", "tiff", "gif", "bmp"}) {
        Module im(Importer(name));
        auto ext = im.Get<ImportExtProcFn>("ImportExtProc");
        ASSERT_TRUE(ext) << name;
        char entries[QR_EXT_ENTRIES][QR_EXT_ENTRY_SIZE];
        const int16_t n = ext(entries, QR_EXT_ENTRIES);
        ASSERT_GT(n, 0);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(entries[i][0], '.') << name;
    }
}

namespace {

// Writes a GIF whose pixel (x, y) has colour index (x + 2 * y) % 16.
bool WriteGif(const std::string& path, int w, int h, bool interlaced)
{
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif)
        return false;
    GifColorType colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(i * 16), static_cast<GifByteType>(255 - i * 16),
                                  static_cast<GifByteType>(i * 8)};
    ColorMapObject* map = GifMakeMapObject(16, colours);
    bool ok = EGifPutScreenDesc(gif, w, h, 4, 0, map) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, w, h, interlaced, nullptr) != GIF_ERROR;
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    auto put = [&](int y) {
        for (int x = 0; x < w; ++x)
            line[static_cast<size_t>(x)] = static_cast<GifPixelType>((x + 2 * y) % 16);
        ok = ok && EGifPutLine(gif, line.data(), w) != GIF_ERROR;
    };
    if (interlaced) {
        for (int p = 0; p < 4; ++p)
            for (int y = kStart[p]; y < h; y += kStep[p])
                put(y);
    } else {
        for (int y = 0; y < h; ++y)
            put(y);
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &err) != GIF_ERROR && ok;
}

} // namespace

TEST(OurPlugins, GifRowsComeOutInPictureOrder)
{
    qrtest::TempDir dir;
    Module im(Importer("gif"));
    for (bool interlaced : {false, true}) {
        const std::string path = (dir / (interlaced ? "i.gif" : "p.gif")).string();
        ASSERT_TRUE(WriteGif(path, 13, 11, interlaced));
        Picture p;
        ASSERT_TRUE(Import(im, path, p));
        ASSERT_EQ(p.type, 8);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(p.Row(y)[x], (x + 2 * y) % 16) << interlaced << " " << x << "," << y;
        EXPECT_EQ(p.palette[4 * 3 + 2], 48); // red of entry 3 in the blue-green-red-reserved order
    }
}

TEST(OurPlugins, DamagedFilesFailCleanly)
{
    qrtest::TempDir dir;
    for (const char* name : {"jpeg", "png", "tiff", "gif", "bmp"}) {
        Module im(Importer(name));
        const std::string path = (dir / (std::string("bad.") + name)).string();
        for (const std::vector<unsigned char>& bytes :
             {std::vector<unsigned char>{}, std::vector<unsigned char>{0xFF, 0xD8, 0xFF}, std::vector<unsigned char>(64, 0x47)}) {
            qrtest::WriteBytes(path, bytes);
            Picture p;
            EXPECT_FALSE(Import(im, path, p)) << name << " " << bytes.size();
        }
    }
}

TEST(OurPlugins, FileChangedBetweenThePassesIsRefused)
{
    qrtest::TempDir dir;
    struct Row {
        const char* name;
        const char* ext;
        int32_t type;
    };
    // Larger (one more row), and the same size at another depth.
    const Row rows[] = {{"jpeg", "jpg", 11}, {"png", "png", 11}, {"png", "png", 8}, {"tiff", "tif", 11},
                        {"bmp", "bmp", 11},  {"bmp", "bmp", 8}};
    for (const Row& r : rows) {
        Module ex(Exporter(r.name)), im(Importer(r.name));
        const std::string path = (dir / (std::string("changing.") + r.ext)).string();
        ASSERT_EQ(Export(ex, path, r.type == 8 ? MakePaletted(24, 10) : MakeColour(24, 10)), 0) << r.name;
        Picture p;
        ASSERT_TRUE(ImportInfo(im, path, p)) << r.name;
        ASSERT_EQ(Export(ex, path, r.type == 8 ? MakeColour(24, 10) : MakeColour(24, 11)), 0) << r.name;
        const std::vector<uint8_t> before = p.pixels;
        EXPECT_FALSE(ImportData(im, path, p)) << r.name << " " << r.type;
        EXPECT_EQ(p.pixels, before) << r.name << " wrote into a buffer made for another picture";
    }
    // A GIF whose screen grew.
    Module gif(Importer("gif"));
    const std::string path = (dir / "changing.gif").string();
    ASSERT_TRUE(WriteGif(path, 13, 11, false));
    Picture p;
    ASSERT_TRUE(ImportInfo(gif, path, p));
    ASSERT_TRUE(WriteGif(path, 13, 12, false));
    EXPECT_FALSE(ImportData(gif, path, p));
    // A data pass with no room given writes nothing.
    auto data = gif.Get<ImageRawDataExProcFn>("ImageRawDataExProc");
    EXPECT_NE(data(path.c_str(), nullptr, p.pixels.data(), p.palette.data(), nullptr, nullptr, nullptr, nullptr, 0, 0,
                   0, nullptr),
              0);
}

TEST(OurPlugins, GifTransparencyIsLaidOverWhite)
{
    qrtest::TempDir dir;
    const std::string path = (dir / "see-through.gif").string();
    // A 10 x 8 screen with a 5 x 4 picture at (2, 2); colour 0 is black and
    // transparent, as is the background colour.
    int err = 0;
    GifFileType* out = EGifOpenFileName(path.c_str(), false, &err);
    ASSERT_TRUE(out);
    GifColorType colours[4] = {{0, 0, 0}, {200, 10, 20}, {0, 0, 0}, {30, 40, 250}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = 0;
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    GifByteType ext[4];
    const size_t extLength = EGifGCBToExtension(&gcb, ext);
    bool ok = EGifPutScreenDesc(out, 10, 8, 2, 0, map) != GIF_ERROR &&
              EGifPutExtension(out, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extLength), ext) != GIF_ERROR &&
              EGifPutImageDesc(out, 2, 2, 5, 4, false, nullptr) != GIF_ERROR;
    for (int y = 0; y < 4; ++y) {
        GifPixelType line[5];
        for (int x = 0; x < 5; ++x)
            line[x] = static_cast<GifPixelType>(x % 2 ? 0 : 3);
        ok = ok && EGifPutLine(out, line, 5) != GIF_ERROR;
    }
    GifFreeMapObject(map);
    ASSERT_TRUE(EGifCloseFile(out, &err) != GIF_ERROR && ok);

    Module im(Importer("gif"));
    Picture p;
    ASSERT_TRUE(Import(im, path, p));
    const std::array<int, 3> white{255, 255, 255}, blue{30, 40, 250};
    EXPECT_EQ(Rgb(p, 0, 0), white) << "the screen around the picture";
    EXPECT_EQ(Rgb(p, 9, 7), white);
    EXPECT_EQ(Rgb(p, 3, 2), white) << "a transparent pixel of the picture";
    EXPECT_EQ(Rgb(p, 2, 2), blue);
    EXPECT_EQ(Rgb(p, 6, 5), blue);
    // Without a transparent colour the screen keeps its background colour.
    ASSERT_TRUE(WriteGif(path, 13, 11, false));
    ASSERT_TRUE(Import(im, path, p));
    EXPECT_EQ(Rgb(p, 0, 0), (std::array<int, 3>{0, 255, 0}));
}

namespace {

// A PNG of w x h pixels with alpha (colour or grey, 8 or 16 bits): every
// level of alpha from clear to opaque over samples that vary in their low
// bits too.
bool WriteAlphaPng(const std::string& path, bool colour, int depth, bool interlaced, bool gamma = false)
{
    const int w = 32, h = 24, channels = colour ? 4 : 2, bytes = depth / 8;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && setjmp(png_jmpbuf(png)) == 0;
    if (ok) {
        png_init_io(png, f);
        png_set_IHDR(png, info, w, h, depth, colour ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_GRAY_ALPHA,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (gamma)
            png_set_gAMA(png, info, 1 / 2.2);
        png_write_info(png, info);
        std::vector<png_byte> rows(static_cast<size_t>(w) * h * channels * bytes);
        std::vector<png_bytep> pointers;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                const uint32_t values[4] = {uint32_t(i * 97 % 65536), uint32_t((x * 2053 + y * 911) % 65536),
                                            uint32_t(65535 - i * 61 % 65536), uint32_t(i * 65535 / (w * h - 1))};
                for (int c = 0; c < channels; ++c) {
                    const uint32_t v = values[c == channels - 1 ? 3 : c];
                    png_byte* s = &rows[(static_cast<size_t>(i) * channels + c) * bytes];
                    if (bytes == 2) {
                        s[0] = png_byte(v >> 8);
                        s[1] = png_byte(v);
                    } else {
                        s[0] = png_byte(v >> 8);
                    }
                }
            }
            pointers.push_back(&rows[static_cast<size_t>(y) * w * channels * bytes]);
        }
        png_write_image(png, pointers.data());
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return std::fclose(f) == 0 && ok;
}

// The Python with the picture library of the distribution, or empty.
std::string PythonWithPil()
{
    for (const char* python : {"/usr/bin/python3", "python3"})
        if (std::system((std::string(python) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0)
            return python;
    return {};
}

// What a shell command prints.
std::string Shell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, pipe))
        out.append(buf, n);
    pclose(pipe);
    return out;
}

// The picture library's own flattening over white, as rows of r, g, b.
std::string PilOverWhite(const std::string& python, const std::string& path)
{
    return Shell(python + " -c 'import sys\nfrom PIL import Image\n"
                          "im = Image.open(sys.argv[1]).convert(\"RGBA\")\n"
                          "white = Image.new(\"RGBA\", im.size, (255, 255, 255, 255))\n"
                          "sys.stdout.buffer.write(Image.alpha_composite(white, im).convert(\"RGB\").tobytes())' '" +
                 path + "'");
}

} // namespace

TEST(OurPlugins, PngAlphaIsLaidOverWhiteAsOtherProgramsDo)
{
    const std::string python = PythonWithPil();
    if (python.empty())
        GTEST_SKIP() << "python3 with PIL (Debian's python3-pil) is not installed: no reference to compare with";
    qrtest::TempDir dir;
    Module im(Importer("png"));
    struct Row {
        const char* what;
        bool colour;
        int depth;
        bool interlaced;
        bool gamma;
    } rows[] = {
        {"RGBA 8", true, 8, false, false},
        {"RGBA 16", true, 16, false, false},
        {"RGBA 8 with its gamma", true, 8, false, true},
        {"RGBA 16 with its gamma", true, 16, false, true},
        {"RGBA 8 interlaced", true, 8, true, true},
        {"RGBA 16 interlaced", true, 16, true, false},
        {"grey+alpha 8", false, 8, false, true},
        {"grey+alpha 16", false, 16, false, false},
    };
    for (const Row& row : rows) {
        const std::string path = (dir / "alpha.png").string();
        ASSERT_TRUE(WriteAlphaPng(path, row.colour, row.depth, row.interlaced, row.gamma)) << row.what;
        Picture p;
        ASSERT_TRUE(Import(im, path, p)) << row.what;
        const std::string reference = PilOverWhite(python, path);
        ASSERT_EQ(reference.size(), size_t(p.width) * p.height * 3) << row.what;
        int worst = 0;
        for (int32_t y = 0; y < p.height; ++y)
            for (int32_t x = 0; x < p.width; ++x) {
                const auto rgb = Rgb(p, x, y);
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(rgb[c] - uint8_t(reference[(size_t(y) * p.width + x) * 3 + c])));
            }
        EXPECT_LE(worst, 1) << row.what;
    }
}

TEST(OurPlugins, PngGreyAlphaOverWhiteIsExact)
{
    qrtest::TempDir dir;
    Module im(Importer("png"));
    const std::string path = (dir / "grey.png").string();
    ASSERT_TRUE(WriteAlphaPng(path, false, 8, false, true));
    Picture p;
    ASSERT_TRUE(Import(im, path, p));
    ASSERT_EQ(p.type, 14);
    // The same samples the writer made, flattened by hand and rounded.
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
            const int i = y * p.width + x;
            const int grey = i * 97 % 65536 >> 8, alpha = i * 65535 / (p.width * p.height - 1) >> 8;
            const int expected = (grey * alpha + 255 * (255 - alpha) + 127) / 255;
            ASSERT_EQ(Rgb(p, x, y)[0], expected) << x << "," << y;
        }
}

namespace {

// Files this process writes may not grow past limit bytes while it lives, so
// that a write fails as on a full disk (EFBIG instead of ENOSPC, and no signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_old;
        small.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

TEST(OurPlugins, WriteErrorFailsAndKeepsTheOldFile)
{
    qrtest::TempDir dir;
    const std::vector<unsigned char> old{'o', 'l', 'd'};
    // Noise, so that no format packs it into the room left.
    Picture noise = MakeColour(300, 200);
    uint32_t state = 12345;
    for (uint8_t& b : noise.pixels)
        b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    for (const Format& f : kFormats) {
        Module ex(Exporter(f.name));
        const std::string path = (dir / (std::string("full.") + f.ext)).string();
        qrtest::WriteBytes(path, old);
        uint16_t result = 0;
        {
            FileSizeLimit full(4096);
            result = Export(ex, path, noise, 100);
        }
        EXPECT_NE(result, 0) << f.name;
        EXPECT_NE(result, QR_PLUGIN_CANCELLED) << f.name;
        EXPECT_EQ(qrtest::ReadBytes(path), old) << f.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << f.name << " left a file";
        // Through the host the user's save ends in the export host's code.
        CImageBuffer image;
        ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(noise.width, noise.height), 11));
        for (int32_t y = 0; y < noise.height; ++y)
            std::memcpy(image.GetRowPointer(y), noise.Row(y), static_cast<size_t>(noise.stride));
        int code = 0;
        {
            FileSizeLimit full(4096);
            try {
                CImageExporter(std::string(QR_BIN_DIR) + "/Exporter/*.gex")
                    .Export(path, image, nullptr, 0, nullptr, 0, nullptr, 0, true);
            } catch (int c) {
                code = c;
            }
        }
        EXPECT_EQ(code, kExportGaveUp) << f.name;
        EXPECT_EQ(qrtest::ReadBytes(path), old) << f.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << f.name << " left a file";
        // With room again the same export succeeds.
        EXPECT_EQ(Export(ex, path, noise, 100), 0) << f.name;
        std::filesystem::remove(path);
    }
}
