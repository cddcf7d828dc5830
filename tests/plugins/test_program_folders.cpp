// Where the program's files live, and the companion thumbnail beside a picture.
#include "util/reg_settings.h"
#include "imaging/program_folders.h"
#include "platform/registry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Settings in a temporary store for the length of a test.
struct TempSettings {
    qrtest::TempDir dir;
    CRegistryStore store{dir.path(), dir.path()};
    TempSettings() { SetRegistryStore(&store); }
    ~TempSettings() { SetRegistryStore(nullptr); }
};

using Env = qrtest::EnvVar;

} // namespace

TEST(ProgramFolders, HomePathAlwaysGetsItsSeparator)
{
    TempSettings settings;
    qrtest::TempDir home;
    struct Row {
        std::string value;
        std::string pattern;
    };
    const Row rows[] = {
        {home.path().string() + "/prog", home.path().string() + "/prog/Importer/*.gim"},
        {home.path().string() + "/prog/", home.path().string() + "/prog//Importer/*.gim"},
    };
    for (const Row& r : rows) {
        RegWriteString(0, "HomePath", r.value, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(GetImporterSearchPath(), r.pattern);
        EXPECT_TRUE(std::filesystem::is_directory(home.path() / "prog")) << "the home folder is made";
    }
    RegWriteString(0, "HomePath", "", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(GetHomePath(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
}

TEST(ProgramFolders, UserFoldersFollowXdgAndNeverTheWorkingFolder)
{
    qrtest::TempDir root;
    {
        Env data("XDG_DATA_HOME", (root.path() / "data").c_str());
        Env cache("XDG_CACHE_HOME", (root.path() / "cache").c_str());
        EXPECT_EQ(GetPrefsFolder(), (root.path() / "data/Quiram/Prefs").string());
        EXPECT_EQ(GetCacheFolder(), (root.path() / "cache/Quiram").string());
        EXPECT_TRUE(std::filesystem::is_directory(root.path() / "data/Quiram/Prefs"));
    }
    Env data("XDG_DATA_HOME", nullptr), cache("XDG_CACHE_HOME", nullptr), home("HOME", nullptr);
    const auto before = std::filesystem::current_path();
    EXPECT_EQ(GetUserDataFolder(), "");
    EXPECT_EQ(GetPrefsFolder(), "");
    EXPECT_EQ(GetCacheFolder(), "");
    EXPECT_FALSE(std::filesystem::exists(before / "Prefs"));
}

TEST(ProgramFolders, CompanionThumbnails)
{
    qrtest::TempDir dir;
    EXPECT_EQ(GetThmPath("/a/photo.jpg"), "/a/photo.THM");
    EXPECT_EQ(GetThmPath("/a/roll.2024/photo"), "/a/roll.2024/photo.THM");

    const std::string picture = (dir / "photo.jpg").string();
    const uint8_t bytes[3] = {1, 2, 3};
    WriteThmFile(picture, bytes, 3);
    EXPECT_EQ(qrtest::ReadBytes(dir / "photo.THM"), (std::vector<unsigned char>{1, 2, 3}));
    WriteThmFile(picture, bytes, 0); // nothing to write: the old one stays
    EXPECT_EQ(qrtest::ReadBytes(dir / "photo.THM"), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a temporary file was left";

    std::filesystem::rename(dir / "photo.THM", dir / "photo.thm");
    EXPECT_EQ(FindThmFile(picture), (dir / "photo.thm").string());
    // A companion in another case goes only once the new one is in place.
    const uint8_t newer[2] = {4, 5};
    EXPECT_TRUE(WriteThmFile(picture, newer, 2));
    EXPECT_EQ(FindThmFile(picture), (dir / "photo.THM").string());
    EXPECT_EQ(qrtest::ReadBytes(dir / "photo.THM"), (std::vector<unsigned char>{4, 5}));
    EXPECT_FALSE(std::filesystem::exists(dir / "photo.thm"));
    DeleteThmFile(picture);
    EXPECT_EQ(FindThmFile(picture), "");

    qrtest::WriteBytes(dir / "photo.tkf", {0});
    EXPECT_TRUE(RawCompanionExists(picture));
    EXPECT_FALSE(RawCompanionExists((dir / "other.jpg").string()));
}

TEST(ProgramFolders, ExportColourSettingsRoundTrip)
{
    TempSettings settings;
    GetExportColorSettings() = {};
    LoadExportColorSettings();
    EXPECT_EQ(GetExportColorSettings().colorManagement, 0);
    EXPECT_EQ(GetExportColorSettings().profilePath, "");
    GetExportColorSettings().colorManagement = 1;
    GetExportColorSettings().colorSpace = 2;
    GetExportColorSettings().profilePath = std::string(300, 'p'); // longer than the old 259 limit
    SaveExportColorSettings();
    GetExportColorSettings() = {};
    LoadExportColorSettings();
    EXPECT_EQ(GetExportColorSettings().colorManagement, 1);
    EXPECT_EQ(GetExportColorSettings().colorSpace, 2);
    EXPECT_EQ(GetExportColorSettings().profilePath, std::string(300, 'p'));
}
