// The importer and exporter hosts against scripted fake plug-ins that log
// each call (tests/plugins/fakes).
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"
#include "imaging/image_exporter.h"
#include "imaging/image_importer.h"
#include "platform/exceptions.h"
#include "platform/replace_file_calls.h"
#include "support/fake_plugin.h"
#include "support/small_file_system.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <sys/wait.h>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const std::string kFakes = std::string(QR_TEST_BUILD_DIR) + "/tests/fakes";
const std::string kImporters = kFakes + "/Importer/*.gim";
const std::string kExporters = kFakes + "/Exporter/*.gex";

// A fake plug-in of this suite's folders.
struct Fake : qrtest::FakePlugin {
    explicit Fake(const std::string& file) : FakePlugin(kFakes + "/" + file) {}
};

int CodeOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (int code) {
        return code;
    }
    return 0;
}

} // namespace

TEST(ImporterHost, CallsEntryPointsInOrderUnderTheLock)
{
    Fake a("Importer/a_fake.gim");
    ASSERT_TRUE(a.Loaded()) << dlerror();
    CImageImporter host(kImporters);
    CImageBuffer image;
    a.ClearLog();
    host.DecodeToBuffer("/photos/x.fak", image, nullptr, nullptr, -1);
    // (ImportExtProc comes first unless an earlier load filled the extension cache.)
    const std::string calls = "ImageRawInfoExProc flags=5\n"
                              "ImageRawDataExProc flags=5 records=000 buffer=4x3x24 stride=12 bytes=36 palette=0\n"
                              "ImportCapProc\n";
    const std::string log = a.Log();
    ASSERT_GE(log.size(), calls.size());
    EXPECT_EQ(log.substr(log.size() - calls.size()), calls);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 4);
    EXPECT_EQ(image.GetHeight(), 3);
    EXPECT_EQ(image.GetPixelType(), 11);
    EXPECT_EQ(image.GetStorageKind(), CImageBuffer::kMapping);
    EXPECT_EQ(image.GetRowPointer(0)[0], 0x5A);
    EXPECT_EQ(host.LastLoadKind(), kLoadKindPlugin);
    EXPECT_EQ(host.ResultCode(), 0);
}

TEST(ImporterHost, ColourRecordsAreHandedOnAndReported)
{
    Fake a("Importer/a_fake.gim");
    a.Set("cap", QR_IMPORT_CAP_MATCHES_COLORS);
    CImageImporter host(kImporters);
    QrSourceColorRecord source{1, nullptr, nullptr, 0};
    QrSpaceRecord working{2, nullptr};
    host.SetColorRecords(&source, &working, nullptr);
    host.SetOptionFlag1(0);
    CImageBuffer image;
    a.ClearLog();
    host.DecodeToBuffer("x.fk2", image, nullptr, nullptr, -1);
    EXPECT_NE(a.Log().find("ImageRawDataExProc flags=6 records=110"), std::string::npos) << a.Log();
    EXPECT_TRUE(host.ColorsMatchedByPlugin());
}

TEST(ImporterHost, SecondHostIsAnsweredFromTheExtensionCache)
{
    Fake a("Importer/a_fake.gim");
    {
        CImageImporter first(kImporters);
        std::string plugin;
        ASSERT_TRUE(first.FindPluginForFile("one.fak", plugin));
        EXPECT_NE(plugin.find("a_fake.gim"), std::string::npos);
    }
    a.ClearLog();
    CImageImporter second(kImporters);
    std::string plugin;
    ASSERT_TRUE(second.FindPluginForFile("/other/two.FAK", plugin));
    EXPECT_EQ(a.Log().find("ImportExtProc"), std::string::npos) << "the folder was searched again";
}

TEST(ImporterHost, ExtensionMatching)
{
    Fake records("Importer/c_records.gim");
    records.Set("ext_count", 0); // described by its records instead
    CImageImporter host(kImporters);
    struct Row {
        const char* file;
        bool found;
    };
    const Row rows[] = {
        {"a.ndt", false},        // listed as "NDT" without its dot: never matches
        {"b.rec", true},         // from the records, since ImportExtProc gives 0
        {"c.xxx", false},        // ImportExtProc's list is not used when it answers 0
        {"dir.fak/noext", false}, // a dot in a folder is no extension of the file
        {"d.FaK", true},
    };
    for (const Row& r : rows) {
        std::string plugin;
        EXPECT_EQ(host.FindPluginForFile(r.file, plugin), r.found) << r.file;
    }
}

TEST(ImporterHost, LockTimeOutLoadsNothing)
{
    Fake a("Importer/a_fake.gim");
    a.Set("hold", 1);
    std::thread holder([] {
        CImageImporter busy(kImporters);
        CImageBuffer image;
        busy.TryDecodeToBuffer("held.fak", image, nullptr, -1);
    });
    ASSERT_TRUE(a.WaitFor("holding", 1));
    CImageImporter host(kImporters);
    CImageBuffer image;
    image.Create(CImageBuffer::kHeap, CSize(2, 2), 14);
    EXPECT_EQ(CodeOf([&] { host.DecodeToBuffer("late.fak", image, nullptr, nullptr, 30); }), kLoadGaveUp);
    EXPECT_TRUE(host.LockFailed());
    EXPECT_EQ(image.GetWidth(), 2) << "the target changed";
    a.Set("hold", 0);
    holder.join();
}

TEST(ImporterHost, FailuresBecomeCodes)
{
    struct Row {
        const char* key;
        long value;
        int code;
    };
    const Row rows[] = {
        {"info_result", 1, kLoadGaveUp},
        {"data_result", 3, kLoadGaveUp},
        {"width", 0, kLoadGaveUp},
        {"height", -5, kLoadGaveUp},
        {"bits2", 0, kLoadGaveUp},
        {"type", 42, kLoadGaveUp},
        {"width", 0x7FFFFFFF, kLoadGaveUp}, // over the size cap before any allocation
    };
    for (const Row& r : rows) {
        Fake a("Importer/a_fake.gim");
        a.Set(r.key, r.value);
        CImageImporter host(kImporters);
        CImageBuffer image;
        EXPECT_EQ(CodeOf([&] { host.DecodeToBuffer("f.fak", image, nullptr, nullptr, -1); }), r.code) << r.key;
        EXPECT_FALSE(image.IsValid()) << r.key;
    }
}

TEST(ImporterHost, CancelStaysSevenAndUsesThisHostsCallback)
{
    Fake a("Importer/a_fake.gim");
    CImageImporter other(kImporters);
    static int otherCalls = 0;
    other.SetProgressCallback([](int32_t, int32_t, uintptr_t) -> int32_t { return ++otherCalls, 0; }, 0);
    CImageImporter host(kImporters);
    host.SetProgressCallback([](int32_t, int32_t, uintptr_t user) -> int32_t { return user == 77 ? 1 : 0; }, 77);
    CImageBuffer image;
    EXPECT_EQ(CodeOf([&] { host.DecodeToBuffer("c.fak", image, nullptr, nullptr, -1); }), kLoadCancelled);
    EXPECT_EQ(otherCalls, 0) << "another host's callback was called";
}

TEST(ImporterHost, NoPluginIsAFailureThatChangesNothing)
{
    CImageImporter host(kImporters);
    CImageBuffer image;
    image.Create(CImageBuffer::kHeap, CSize(3, 3), 14);
    host.SetLastLoadKind(kLoadKindText);
    EXPECT_FALSE(host.TryDecodeToBuffer("unknown.zzz", image, nullptr, -1));
    EXPECT_EQ(host.ResultCode(), kLoadGaveUp);
    EXPECT_EQ(host.LastLoadKind(), kLoadKindText);
    EXPECT_EQ(image.GetWidth(), 3);
}

TEST(PluginHosts, ExceptionsMapToCodes)
{
    struct Row {
        std::exception_ptr caught;
        int load;
        int save;
    };
    const Row rows[] = {
        {std::make_exception_ptr(CMemoryException()), -11000, -10000},
        {std::make_exception_ptr(std::bad_alloc()), -11000, -10000},
        {std::make_exception_ptr(CFileException(CFileException::diskFull)), -11001, -10001},
        {std::make_exception_ptr(CUserException()), -11004, -10004},
        {std::make_exception_ptr(CArchiveException()), -11005, -10006},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(LoadCodeOf(r.caught), r.load);
        EXPECT_EQ(ExportCodeOf(r.caught), r.save);
    }
}

TEST(ImporterHost, OpenFilters)
{
    qrtest::TempDir empty;
    CImageImporter none((empty.path() / "*.gim").string());
    std::string filter;
    EXPECT_EQ(none.BuildOpenFilter(filter, false, false, nullptr, nullptr, nullptr), "|");
    EXPECT_EQ(none.BuildOpenFilter(filter, true, false, nullptr, nullptr, nullptr), "All Files (*.*)|*.*||");

    Fake records("Importer/c_records.gim");
    records.Set("ext_count", 0);
    CImageImporter host(kImporters);
    const std::vector<std::string> names{"Message"}, exts{".kvt"}, exclude{"NDT"};
    host.BuildOpenFilter(filter, false, true, &names, &exts, &exclude);
    EXPECT_EQ(filter, "Supported files (*.kvt;*.FAK;*.FK2;*.REC)|*.kvt;*.FAK;*.FK2;*.REC|"
                      "Message (*.kvt)|*.kvt|"
                      "Fake A (*.FAK;*.FK2)|*.FAK;*.FK2|"
                      "Fake Records (*.REC)|*.REC||");
}

TEST(ExporterHost, FirstExporterByNameWinsAndGetsOnlyTheRichestCall)
{
    Fake first("Exporter/a_first.gex"), second("Exporter/b_second.gex");
    qrtest::TempDir dir;
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kMapping, CSize(5, 4), 11));
    CImageExporter host(kExporters);
    const uint8_t block[3] = {1, 2, 3};
    host.Export((dir / "out.tif").string(), image, nullptr, 0, block, 3, nullptr, 0, true);
    const std::string log = first.Log();
    EXPECT_NE(log.find("ImageExportMapProc type=11 pixels=1 map=1 file=0 mapsize="), std::string::npos) << log;
    EXPECT_NE(log.find("size=5x4 blocks=0,3,0 empty=1"), std::string::npos) << log;
    EXPECT_EQ(log.find("ImageExportProc"), std::string::npos) << log;
    EXPECT_EQ(second.Log().find("ImageExport"), std::string::npos);
}

TEST(ExporterHost, StorageIsHandedByPointerOrDescriptor)
{
    Fake first("Exporter/a_first.gex");
    struct Row {
        int kind;
        const char* words;
    };
    const Row rows[] = {
        {CImageBuffer::kHeap, "pixels=1 map=0 file=0 mapsize=0"},
        {CImageBuffer::kTempFile, "pixels=0 map=0 file=1 mapsize=0"},
    };
    qrtest::TempDir dir;
    for (const Row& r : rows) {
        CImageBuffer image;
        ASSERT_TRUE(image.Create(r.kind, CSize(6, 2), 11));
        first.ClearLog();
        CImageExporter host(kExporters);
        host.Export((dir / "out.tif").string(), image, nullptr, 0, nullptr, 0, nullptr, 0, true);
        EXPECT_NE(first.Log().find(r.words), std::string::npos) << first.Log();
    }
}

TEST(ExporterHost, Codes)
{
    Fake first("Exporter/a_first.gex");
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 2), 11));
    CImageExporter host(kExporters);
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "x.tiff", {'o', 'l', 'd'});
    EXPECT_EQ(CodeOf([&] { host.Export((dir / "x.bmp").string(), image, nullptr, 0, nullptr, 0, nullptr, 0, true); }),
              kExportFileError);
    first.Set("export_result", 5);
    EXPECT_EQ(CodeOf([&] { host.Export((dir / "x.tiff").string(), image, nullptr, 0, nullptr, 0, nullptr, 0, true); }),
              kExportGaveUp);
    // The plug-in gave up: the old file is as it was, and nothing else is there.
    EXPECT_EQ(qrtest::ReadBytes(dir / "x.tiff"), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Out of memory inside an exporter: a failure code comes back, the old file stays.
TEST(ExporterHost, AnExceptionInAnExporterStaysInIt)
{
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 2), 11));
    CImageExporter host(kFakes + "/Throwing/*.gex");
    qrtest::TempDir dir;
    qrtest::WriteBytes(dir / "x.tif", {'o', 'l', 'd'});
    EXPECT_EQ(CodeOf([&] { host.Export((dir / "x.tif").string(), image, nullptr, 0, nullptr, 0, nullptr, 0, true); }),
              kExportGaveUp);
    EXPECT_EQ(qrtest::ReadBytes(dir / "x.tif"), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A plug-in that fails says only that: the host names the file system's
// reason when there is one, and leaves the old file.
TEST(ExporterHost, FailureOfTheFileSystemIsNamed)
{
    Fake first("Exporter/a_first.gex");
    first.Set("export_result", 1);
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 2), 11));
    qrtest::TempDir dir;
    const std::string target = (dir / "x.tif").string();
    qrtest::WriteBytes(target, {'o', 'l', 'd'});
    ReplaceFileCalls calls = SystemReplaceFileCalls();
    calls.fsync = [](int) {
        errno = EIO;
        return -1;
    };
    const ReplaceFileCalls* previous = SetReplaceFileCalls(&calls);
    CImageExporter host(kExporters);
    try {
        host.Export(target, image, nullptr, 0, nullptr, 0, nullptr, 0, true);
        ADD_FAILURE() << "exported";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::hardIO);
        EXPECT_EQ(e.m_strFileName, target);
    } catch (...) {
        ADD_FAILURE() << "not a file exception";
    }
    SetReplaceFileCalls(previous);
    EXPECT_EQ(qrtest::FolderNames(dir.path()), std::vector<std::string>{"x.tif"});

    // A real full disk under our BMP exporter, on a small file system of a
    // child's own where mounting is allowed.
    const std::string folder = dir.path().string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!qrtest::MountSmallFileSystem(folder, "size=64k"))
            ::_exit(qrtest::kNoMountNamespace);
        CImageBuffer large;
        if (!large.Create(CImageBuffer::kHeap, CSize(300, 300), 11))
            ::_exit(1);
        CImageExporter real(std::string(QR_BIN_DIR) + "/Exporter/*.gex");
        try {
            real.Export(folder + "/big.bmp", large, nullptr, 0, nullptr, 0, nullptr, 0, true);
        } catch (const CFileException& e) {
            ::_exit(e.m_cause == CFileException::diskFull && qrtest::FolderNames(folder).empty() ? 0 : 2);
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == qrtest::kNoMountNamespace)
        GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ExporterHost, OurExportersReachThisHostsCallbackAndItsStop)
{
    // Our exporters call back with a user value of 0; the host must still
    // reach its own callback with its own value, or a save's bar and Cancel
    // never see the export.
    struct Seen {
        int calls = 0;
        bool stop = false;
    };
    static Seen seen;
    seen = {};
    auto callback = [](int32_t, int32_t, uintptr_t user) -> int32_t {
        Seen* s = reinterpret_cast<Seen*>(user);
        if (s != &seen)
            return 0;
        ++s->calls;
        return s->stop ? 1 : 0;
    };
    CImageBuffer image;
    ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(40, 30), 11));
    qrtest::TempDir dir;
    CImageExporter real(std::string(QR_BIN_DIR) + "/Exporter/*.gex");
    real.SetProgressCallback(callback, reinterpret_cast<uintptr_t>(&seen));
    for (const char* name : {"a.bmp", "a.png", "a.jpg", "a.tif"}) {
        seen = {};
        real.Export((dir / name).string(), image, nullptr, 0, nullptr, 0, nullptr, 0, true);
        EXPECT_GT(seen.calls, 0) << name;
        seen = {};
        seen.stop = true;
        const std::string stopped = (dir / (std::string("stopped_") + name)).string();
        EXPECT_NE(CodeOf([&] { real.Export(stopped, image, nullptr, 0, nullptr, 0, nullptr, 0, true); }), 0) << name;
        EXPECT_FALSE(std::filesystem::exists(stopped)) << name;
    }
}

TEST(ExporterHost, ListsAndFilters)
{
    qrtest::TempDir empty;
    CImageExporter none((empty.path() / "*.gex").string());
    std::string filter;
    EXPECT_EQ(none.BuildSaveFilter(filter, -1), "|");

    Fake first("Exporter/a_first.gex"), second("Exporter/b_second.gex");
    second.Set("kind", 8);
    CImageExporter host(kExporters);
    EXPECT_EQ(host.BuildSaveFilter(filter, -1),
              "Fake First (*.TIF;*.TIFF)|*.TIF;*.TIFF|Fake Second (*.TIF;*.PNG)|*.TIF;*.PNG||");
    EXPECT_EQ(host.BuildSaveFilter(filter, 8), "Fake Second (*.TIF;*.PNG)|*.TIF;*.PNG||");
    std::vector<std::string> names, firstExts;
    host.ListNames(names);
    host.ListExtensions(firstExts, true);
    // "Fake Empty" lists no extension: it is in neither list nor the filter.
    EXPECT_EQ(names, (std::vector<std::string>{"Fake First", "Fake Second"}));
    EXPECT_EQ(firstExts, (std::vector<std::string>{"TIF", "TIF"}));
    EXPECT_TRUE(host.ServesExtension(8, "png"));
    EXPECT_TRUE(host.ServesExtension(11, ".tiff"));
    EXPECT_FALSE(host.ServesExtension(11, "png"));
}

TEST(ImporterHost, LargerPictureOnTheSecondPassLoadsNothing)
{
    qrtest::TempDir dir;
    const std::string file = (dir / "grown.fak").string();
    qrtest::WriteBytes(file, {'x'});
    struct Row {
        const char* key;
        long value;
    };
    const Row rows[] = {{"data_height", 4}, {"data_width", 5}, {"data_height", 3000}};
    for (const Row& r : rows) {
        Fake a("Importer/a_fake.gim");
        a.Set(r.key, r.value);
        a.ClearLog();
        {
            CImageImporter host(kImporters);
            CImageBuffer image;
            ASSERT_TRUE(image.Create(CImageBuffer::kHeap, CSize(2, 2), 14));
            EXPECT_EQ(CodeOf([&] { host.DecodeToBuffer(file, image, nullptr, nullptr, -1); }), kLoadGaveUp) << r.key;
            EXPECT_EQ(image.GetWidth(), 2) << "the target changed";
        }
        {
            CImageImporter host(kImporters);
            CDibBitmap bmp;
            ASSERT_TRUE(bmp.CreateDib(CSize(2, 2), 24));
            EXPECT_EQ(CodeOf([&] { host.DecodeToDib(file, bmp, nullptr, nullptr, -1); }), kLoadGaveUp) << r.key;
            EXPECT_EQ(bmp.GetSize(), CSize(2, 2)) << "the target changed";
        }
        // The fake was told the picture and the room on both roads, and refused.
        const std::string log = a.Log();
        EXPECT_NE(log.find("ImageRawDataExProc flags=5 records=000 buffer=4x3x24 stride=12 bytes=36 palette=0\nrefused"),
                  std::string::npos) << log;
        EXPECT_NE(log.find("ImageDIBDataExProc buffer=4x3x24 stride=12 bytes=36 palette=0\nrefused"), std::string::npos)
            << log;
    }
}

TEST(ImporterHost, BitmapRoadTellsThePluginItsColourTable)
{
    qrtest::TempDir dir;
    const std::string file = (dir / "small.fak").string();
    qrtest::WriteBytes(file, {'x'});
    Fake a("Importer/a_fake.gim");
    a.Set("dib_bits", 8);
    a.Set("clr_used", 16);
    a.ClearLog();
    CImageImporter host(kImporters);
    CDibBitmap bmp;
    host.DecodeToDib(file, bmp, nullptr, nullptr, -1);
    EXPECT_NE(a.Log().find("ImageDIBDataExProc buffer=4x3x8 stride=4 bytes=12 palette=64"), std::string::npos)
        << a.Log();
    ASSERT_EQ(bmp.GetPaletteSize(), 256);
    EXPECT_EQ(bmp.GetPalette()[15].rgbRed, 15);
    EXPECT_EQ(bmp.GetPalette()[16].rgbRed, 0) << "entries past the plug-in's are black";
    EXPECT_EQ(bmp.GetBits()[0], 0x5A);
}

TEST(ImporterHost, DescriptorsAreReadNoFurtherThanTheirSymbols)
{
    // Two records where the size claims a hundred, and a name with no end.
    CImageImporter host(kFakes + "/Overstated/*.gim");
    std::vector<std::string> extensions;
    host.CollectExtensions(extensions, nullptr);
    EXPECT_EQ(extensions, (std::vector<std::string>{".OVR"}));
    std::string filter;
    EXPECT_EQ(host.BuildOpenFilter(filter, false, false, nullptr, nullptr, nullptr),
              "Supported files|*.OVR|Long (*.OVR)|*.OVR||");
}
