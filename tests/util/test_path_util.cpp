#include "util/path_util.h"

#include "platform/framework/message_box.h"
#include "platform/shell.h"
#include "support/test_support.h"

#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>
#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kHyo = "\xE8\xA1\xA8"; // 表: its Shift-JIS form ends in the byte of '\'

void Touch(const std::filesystem::path& p, size_t bytes = 0)
{
    qrtest::WriteBytes(p, std::vector<unsigned char>(bytes, 'x'));
}

// Records every message box and answers OK.
struct BoxRecorder {
    std::vector<std::string> texts;
    MessageBoxHandler previous;
    BoxRecorder()
    {
        previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            texts.push_back(text);
            return IDOK;
        });
    }
    ~BoxRecorder() { SetMessageBoxHandler(previous); }
};

TEST(PathUtil, JoiningPaths)
{
    struct Join {
        std::string folder, name, joined;
    } joins[] = {
        {"/", "a", "/a"}, {"/dir", "a", "/dir/a"}, {"/dir/", "a", "/dir/a"}, {"", "a", "a"}, {kHyo, "a", kHyo + "/a"},
    };
    for (const Join& c : joins)
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined);
}

TEST(PathUtil, FilterExtensions)
{
    const std::string filter = "JPEG files|*.jpg;*.jpeg|All files|*.*|Nothing||";
    struct Case {
        int index;
        bool ok;
        std::vector<std::string> items;
    } cases[] = {
        {1, true, {"jpg", "jpeg"}}, {2, true, {"*"}}, {3, false, {}}, {4, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out{"old"};
        EXPECT_EQ(GetFilterExtensions(filter, c.index, out, '|'), c.ok) << c.index;
        if (c.ok) {
            EXPECT_EQ(out, c.items) << c.index;
        }
    }
    std::vector<std::string> out;
    EXPECT_FALSE(GetFilterExtensions("", 1, out, '|'));
    EXPECT_TRUE(GetFilterExtensions("Pictures|*.tif;;*.bmp", 1, out, '|'));
    EXPECT_EQ(out, (std::vector<std::string>{"tif", "", "bmp"}));
}

TEST(PathUtil, FileKindsIgnoreCase)
{
    struct Case {
        const char* path;
        bool tiff, bmp, jpeg, tkf, wav, movie;
    } cases[] = {
        {"/p/a.tif", 1, 0, 0, 0, 0, 0},   {"/p/a.TIFF", 1, 0, 0, 0, 0, 0}, {"/p/a.Bmp", 0, 1, 0, 0, 0, 0},
        {"/p/a.jpe", 0, 0, 1, 0, 0, 0},   {"/p/a.JPEG", 0, 0, 1, 0, 0, 0}, {"/p/a.jpg", 0, 0, 1, 0, 0, 0},
        {"/p/a.tkf", 0, 0, 0, 1, 0, 0},   {"/p/a.WAV", 0, 0, 0, 0, 1, 0},  {"/p/a.mov", 0, 0, 0, 0, 0, 1},
        {"/p/a.Avi", 0, 0, 0, 0, 0, 1},   {"/p/jpg", 0, 0, 0, 0, 0, 0},    {"/p.jpg/a", 0, 0, 0, 0, 0, 0},
        {"/p/a.jpgx", 0, 0, 0, 0, 0, 0},  {"/p/a.", 0, 0, 0, 0, 0, 0},    {"/p/.jpg", 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTiffFile(c.path), c.tiff) << c.path;
        EXPECT_EQ(IsBmpFile(c.path), c.bmp) << c.path;
        EXPECT_EQ(IsJpegFile(c.path), c.jpeg) << c.path;
        EXPECT_EQ(IsTkfFile(c.path), c.tkf) << c.path;
        EXPECT_EQ(IsWavFile(c.path), c.wav) << c.path;
        EXPECT_EQ(IsMovieFile(c.path), c.movie) << c.path;
    }
    EXPECT_TRUE(IsTiffExtension("tIf"));
    EXPECT_FALSE(IsTiffExtension(".tif"));
    EXPECT_TRUE(IsJpegExtension("JpE"));
    EXPECT_FALSE(IsJpegExtension(".jpg"));
}

TEST(PathUtil, InvalidFileNameCharacters)
{
    for (const char* bad : {"a;b", "a\\b", "a/b", "a:b", "a,b", "a*", "a?", "\"a\"", "<a", "a>", "a|b"})
        EXPECT_TRUE(HasInvalidFileNameChar(bad)) << bad;
    for (std::string good : {std::string("a b"), std::string("a-b"), std::string("a.b"), kHyo, std::string("")})
        EXPECT_FALSE(HasInvalidFileNameChar(good)) << good;
}

TEST(PathUtil, MakeUniqueFilePathChecksEveryCandidate)
{
    struct Case {
        std::vector<std::string> existing;
        std::string given;
        bool withExt;
        std::string name;
    } cases[] = {
        {{"New.wav"}, "New.wav", true, "New~1.wav"},
        {{"New.wav", "New~1.wav"}, "New.wav", true, "New~2.wav"},
        {{}, "New.wav", true, "New.wav"},
        {{"New.wav"}, "New.wav", false, "New~1"},
        {{"photo~2.jpg"}, "photo~2.jpg", true, "photo~1.jpg"},
        {{"photo~x.jpg"}, "photo~x.jpg", true, "photo~x~1.jpg"},
        // The given name is free, but its base is taken: the base is not handed out unchecked.
        {{"photo.jpg"}, "photo~2.jpg", true, "photo~1.jpg"},
        {{"photo.jpg", "photo~1.jpg"}, "photo~.jpg", true, "photo~2.jpg"},
        // A folder of the same name counts as taken too.
        {{"Sound/"}, "Sound", true, "Sound~1"},
        {{"a.b.wav", "a.b~1.wav"}, "a.b.wav", true, "a.b~2.wav"},
    };
    for (const Case& c : cases) {
        qrtest::TempDir dir;
        for (const std::string& e : c.existing) {
            if (e.back() == '/')
                std::filesystem::create_directory(dir / e.substr(0, e.size() - 1));
            else
                Touch(dir / e);
        }
        std::string name;
        EXPECT_TRUE(MakeUniqueFilePath((dir / c.given).string(), name, c.withExt, '~'));
        EXPECT_EQ(name, c.name) << c.given;
    }
}

TEST(PathUtil, CreateFolderTree)
{
    qrtest::TempDir dir;
    const std::string deep = (dir / "a/b/c").string();
    EXPECT_TRUE(CreateFolderTree(deep));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(CreateFolderTree(deep));                        // already there
    EXPECT_TRUE(CreateFolderTree((dir / "x/y/").string()));    // a trailing separator
    EXPECT_TRUE(std::filesystem::is_directory(dir / "x/y"));
    Touch(dir / "file");
    EXPECT_FALSE(CreateFolderTree((dir / "file").string()));   // a file in the way
    EXPECT_FALSE(CreateFolderTree((dir / "file/sub").string()));
    EXPECT_FALSE(CreateFolderTree("no-such-relative-name-qr")); // no parent to make it in
    EXPECT_FALSE(CreateFolderTree(""));
}

TEST(PathUtil, FileFacts)
{
    qrtest::TempDir dir;
    const std::string kb = (dir / "kb.bin").string();
    Touch(kb, 1024);
    EXPECT_EQ(GetFileLength(kb), 1024);
    EXPECT_EQ(FormatFileSizeText(kb), "1 KB");
    EXPECT_EQ(GetFileLength((dir / "missing").string()), -1);
    EXPECT_EQ(FormatFileSizeText((dir / "missing").string()), "");
    EXPECT_EQ(GetFileLength(dir.path().string()), 0);

    // Sizes past 4 GB (a sparse file takes no room).
    const std::string big = (dir / "big.bin").string();
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(5) << 30), 0);
    close(fd);
    EXPECT_EQ(GetFileLength(big), int64_t(5) << 30);
    EXPECT_EQ(FormatFileSizeText(big), "5120.0 MB");

    std::tm tm{};
    tm.tm_year = 2021 - 1900;
    tm.tm_mon = 6;
    tm.tm_mday = 4;
    tm.tm_hour = 9;
    tm.tm_min = 8;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, kb.c_str(), times, 0), 0);
    EXPECT_EQ(FormatFileWriteTime(kb), "2021/07/04 09:08:07");
    EXPECT_EQ(FormatFileWriteTime((dir / "missing").string()), "");
}

TEST(PathUtil, ListFolder)
{
    qrtest::TempDir dir;
    Touch(dir / "b.JPG");
    Touch(dir / "a.png");
    Touch(dir / "README");
    Touch(dir / ".hidden.jpg");
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_directory(dir / ".cache");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.jpg");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "linked");
    ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
    const std::string root = dir.path().string();

    struct Case {
        std::vector<std::string> extensions;
        std::vector<std::string> files;
    } cases[] = {
        {{}, {"README", "a.png", "b.JPG"}},
        {{"*"}, {"README", "a.png", "b.JPG"}}, // every entry, names without a dot too
        {{"jpg"}, {"b.JPG"}},
        {{"png", "JPG"}, {"a.png", "b.JPG"}},
        {{"gif"}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> folders, files;
        EXPECT_TRUE(ListFolder(root, folders, files, c.extensions));
        EXPECT_EQ(folders, (std::vector<std::string>{root + "/linked", root + "/sub"}));
        std::vector<std::string> expected;
        for (const std::string& f : c.files)
            expected.push_back(root + "/" + f);
        EXPECT_EQ(files, expected);
    }
    std::vector<std::string> folders, files;
    EXPECT_FALSE(ListFolder(root + "/missing", folders, files, {}));
}

TEST(PathUtil, DroppedFiles)
{
    std::vector<std::string> out{"before"};
    GetDroppedFiles(nullptr, out);
    EXPECT_EQ(out.size(), 1u);

    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromStdString("/tmp/" + kHyo + "/a \"b\".jpg")),
                  QUrl("https://example.invalid/x.jpg"), QUrl::fromLocalFile("/tmp/c.png")});
    GetDroppedFiles(&drop, out);
    EXPECT_EQ(out, (std::vector<std::string>{"before", "/tmp/" + kHyo + "/a b.jpg", "/tmp/c.png"}));
}

TEST(PathUtil, WarnIfReadOnly)
{
    qrtest::TempDir dir;
    const std::string file = (dir / "f.jpg").string();
    Touch(file);
    BoxRecorder boxes;
    EXPECT_FALSE(WarnIfReadOnly(file));
    EXPECT_TRUE(boxes.texts.empty());

    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_TRUE(WarnIfReadOnly(file));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "This is a file only for reading. " + file);

    EXPECT_TRUE(WarnIfReadOnly((dir / "missing").string()));
}

TEST(PathUtil, ShellFacts)
{
    const std::string folder = GetModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(folder, std::filesystem::path(ShellExecutablePath()).parent_path()));

    qrtest::TempDir dir;
    Touch(dir / "a.jpg");
    Touch(dir / "b.jpg");
    Touch(dir / "c.txt");
    int a = -1, b = -1, c = -1, d = -1;
    EXPECT_TRUE(GetShellIconIndex((dir / "a.jpg").string(), a));
    GetShellIconIndex((dir / "b.jpg").string(), b);
    GetShellIconIndex((dir / "c.txt").string(), c);
    GetShellIconIndex(dir.path().string(), d);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(a, d);
    CShellImageList* large = GetSystemImageList(true);
    CShellImageList* small = GetSystemImageList(false);
    EXPECT_EQ(large->IconSize(), 32);
    EXPECT_EQ(small->IconSize(), 16);
    EXPECT_GT(small->GetImageCount(), d);
    EXPECT_FALSE(large->GetIcon(d).isNull()); // a folder icon, from the theme or Qt's own
    // One icon shared by every asker, not its pictures made again per tree item.
    EXPECT_EQ(small->GetIcon(d).cacheKey(), large->GetIcon(d).cacheKey());
    EXPECT_TRUE(large->GetIcon(-1).isNull());

    if (QMimeDatabase().mimeTypeForName("image/jpeg").isValid()) {
        EXPECT_FALSE(GetShellTypeName((dir / "a.jpg").string()).empty());
    }
}

TEST(PathUtil, DesktopFolderFollowsTheUsersFolders)
{
    qrtest::TempDir home;
    const char* oldHome = std::getenv("HOME");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keepHome = oldHome ? oldHome : "", keepConfig = oldConfig ? oldConfig : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    EXPECT_EQ(GetDesktopFolderPath(), ""); // none yet
    std::filesystem::create_directory(home / "Desktop");
    EXPECT_EQ(GetDesktopFolderPath(), (home / "Desktop").string());
    oldHome ? setenv("HOME", keepHome.c_str(), 1) : unsetenv("HOME");
    oldConfig ? setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
