#include "platform/registry.h"

#include "support/test_support.h"
#include "platform/gcc_warnings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

bool Set(CRegistryStore& s, HKEY root, std::string_view key, std::string_view name, const RegValue& v)
{
    return s.SetValue(root, key, name, v.type, v.data.data(), v.data.size());
}

std::string Text(const std::vector<uint8_t>& b) { return {b.begin(), b.end()}; }

class RegistryStoreTest : public ::testing::Test {
protected:
    qrtest::TempDir dir;
    fs::path user = dir / "user";
    fs::path machine = dir / "machine";
};

} // namespace

TEST(RegistryStoreFolders, UserFolderFollowsXdgConfigHome)
{
    struct Row {
        const char* xdg; // nullptr: unset
        const char* home;
        fs::path expected;
    };
    const Row rows[] = {
        {"/cfg", "/home/ana", "/cfg/Quiram"},
        {nullptr, "/home/ana", "/home/ana/.config/Quiram"},
        {"", "/home/ana", "/home/ana/.config/Quiram"},
        {"relative/cfg", "/home/ana", "/home/ana/.config/Quiram"}, // only absolute paths count
    };
    const std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const bool hadXdg = std::getenv("XDG_CONFIG_HOME") != nullptr;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Row& r : rows) {
        if (r.xdg)
            setenv("XDG_CONFIG_HOME", r.xdg, 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        setenv("HOME", r.home, 1);
        EXPECT_EQ(CRegistryStore::DefaultUserFolder(), r.expected) << (r.xdg ? r.xdg : "(unset)");
    }
    if (hadXdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(RegistryStoreTest, EveryValueKeepsTypeAndBytes)
{
    struct Row {
        const char* what;
        HKEY root;
        std::string key;
        std::string name;
        RegValue value;
    };
    std::vector<uint8_t> large(256 * 1024 + 7); // past several read chunks
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    std::string longText(70000, 'p');
    longText += std::string("\xE5\x86\x99\xE7\x9C\x9F\0tail", 11);
    longText[100] = '\n';
    longText[200] = '\r';
    longText[300] = '\t';
    std::string everyByte;
    for (int c = 255; c >= 0; --c)
        everyByte += static_cast<char>(c);
    const Row rows[] = {
        {"string", HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ScanFolder", {REG_SZ, Bytes(std::string("/photos/2026\0", 13))}},
        {"string past 259 bytes", HKEY_CURRENT_USER, "A\\B", "Long", {REG_SZ, Bytes(std::string(300, 'x') + '\0')}},
        {"very long string with zero inside", HKEY_CURRENT_USER, "A\\B", "Huge", {REG_SZ, Bytes(longText)}},
        {"number", HKEY_CURRENT_USER, "A\\B", "N", {REG_DWORD, {0xFE, 0xFF, 0xFF, 0x7F}}},
        {"empty block", HKEY_CURRENT_USER, "A\\B", "Empty", {REG_BINARY, {}}},
        {"large block", HKEY_CURRENT_USER, "A\\B", "Large", {REG_BINARY, large}},
        {"other type", HKEY_CURRENT_USER, "A\\B", "Other", {7, {1, 2, 3}}},
        {"unnamed value", HKEY_CURRENT_USER, "A", "", {REG_SZ, {'d', 0}}},
        {"every byte in a text", HKEY_CURRENT_USER, "A", "Bytes", {REG_SZ, Bytes(everyByte + '\0')}},
        {"escapes in key and name", HKEY_CURRENT_USER, "#Key\tWith%Tab\nLine", "Name\t%41\n#", {REG_SZ, Bytes(std::string("v\0", 2))}},
        {"text without its zero", HKEY_CURRENT_USER, "A", "Unended", {REG_SZ, Bytes("abc")}},
        {"number of three bytes", HKEY_CURRENT_USER, "A", "Short", {REG_DWORD, {1, 2, 3}}},
        {"largest number", HKEY_CURRENT_USER, "A", "Max", {REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}},
        {"machine hive", HKEY_LOCAL_MACHINE, "SOFTWARE\\Quiram\\7321", "HomePath", {REG_SZ, Bytes("/opt/q/")}},
    };
    {
        CRegistryStore writer(user, machine);
        for (const Row& r : rows)
            ASSERT_TRUE(Set(writer, r.root, r.key, r.name, r.value)) << r.what;
        for (const Row& r : rows)
            EXPECT_EQ(writer.QueryValue(r.root, r.key, r.name), r.value) << r.what;
    }
    CRegistryStore reader(user, machine); // straight from the files
    for (const Row& r : rows)
        EXPECT_EQ(reader.QueryValue(r.root, r.key, r.name), r.value) << r.what;
    // The two hives are apart.
    EXPECT_FALSE(reader.QueryValue(HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321", "HomePath"));
    EXPECT_FALSE(reader.QueryValue(HKEY_LOCAL_MACHINE, "A\\B", "N"));
}

TEST_F(RegistryStoreTest, KeyPathsAndNamesIgnoreCaseAndOuterBackslashes)
{
    CRegistryStore s(user, machine);
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ThumbSize", {REG_DWORD, {2, 0, 0, 0}}));
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "\\software\\quiram\\7321\\preference\\", "THUMBSIZE", {REG_DWORD, {3, 0, 0, 0}}));
    EXPECT_EQ(s.QueryValue(HKEY_CURRENT_USER, "Software\\Quiram\\7321\\Preference", "thumbsize"),
              (RegValue{REG_DWORD, {3, 0, 0, 0}}));
    EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, "Software\\Quiram\\7321", "ThumbSize"));
    EXPECT_FALSE(s.QueryValue(0x80000000u, "Software\\Quiram\\7321\\Preference", "ThumbSize"));
    EXPECT_FALSE(Set(s, 0, "K", "V", {REG_DWORD, {0, 0, 0, 0}}));
}

TEST_F(RegistryStoreTest, SecondStoreSeesWritesAndKeepsBothSides)
{
    CRegistryStore first(user, machine);
    CRegistryStore second(user, machine);
    ASSERT_TRUE(Set(first, HKEY_CURRENT_USER, "P", "Mine", {REG_SZ, Bytes("one")}));
    EXPECT_FALSE(second.QueryValue(HKEY_CURRENT_USER, "P", "ExOpenFile"));
    ASSERT_TRUE(Set(second, HKEY_CURRENT_USER, "P", "ExOpenFile", {REG_SZ, Bytes("/a.kvt")}));
    // first had the file cached: it must notice the replacement.
    EXPECT_EQ(first.QueryValue(HKEY_CURRENT_USER, "P", "ExOpenFile"), (RegValue{REG_SZ, Bytes("/a.kvt")}));
    ASSERT_TRUE(Set(second, HKEY_CURRENT_USER, "P", "ExOpenFile", {REG_SZ, Bytes("/b.kvt")}));
    EXPECT_EQ(first.QueryValue(HKEY_CURRENT_USER, "P", "ExOpenFile"), (RegValue{REG_SZ, Bytes("/b.kvt")}));
    // second's write did not drop what first wrote before it.
    EXPECT_EQ(second.QueryValue(HKEY_CURRENT_USER, "P", "Mine"), (RegValue{REG_SZ, Bytes("one")}));
}

TEST_F(RegistryStoreTest, ConcurrentProcessesLoseNoValue)
{
    constexpr int kEach = 40;
    CRegistryStore parent(user, machine);
    ASSERT_TRUE(Set(parent, HKEY_CURRENT_USER, "P", "Seed", {REG_DWORD, {1, 0, 0, 0}}));
    ASSERT_TRUE(parent.QueryValue(HKEY_CURRENT_USER, "P", "Seed"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CRegistryStore store(user, machine);
        bool ok = true;
        for (int i = 0; i < kEach; ++i)
            ok = Set(store, HKEY_CURRENT_USER, "P", "child" + std::to_string(i), {REG_DWORD, {uint8_t(i), 0, 0, 0}}) && ok;
        _exit(ok ? 0 : 1);
    }
    for (int i = 0; i < kEach; ++i)
        EXPECT_TRUE(Set(parent, HKEY_CURRENT_USER, "P", "parent" + std::to_string(i), {REG_DWORD, {uint8_t(i), 0, 0, 0}}));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    for (const char* who : {"parent", "child"})
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(parent.QueryValue(HKEY_CURRENT_USER, "P", who + std::to_string(i)),
                      (RegValue{REG_DWORD, {uint8_t(i), 0, 0, 0}}))
                << who << i;
    EXPECT_TRUE(parent.QueryValue(HKEY_CURRENT_USER, "P", "Seed"));
}

// GCC 12 sees overlapping copies in "V" + std::to_string(i), inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST_F(RegistryStoreTest, WriteLeavesOnlyTheHiveAndItsLock)
{
    CRegistryStore s(user, user);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "K", "V" + std::to_string(i), {REG_BINARY, {uint8_t(i)}}));
    ASSERT_TRUE(Set(s, HKEY_LOCAL_MACHINE, "K", "Compression", {REG_DWORD, {80, 0, 0, 0}}));
    EXPECT_EQ(qrtest::FolderNames(user),
              (std::vector<std::string>{"machine.hive", "machine.hive.lock", "user.hive", "user.hive.lock"}));
}
QR_GCC_IGNORE_END

TEST_F(RegistryStoreTest, HiveIsTextAPersonCanRead)
{
    CRegistryStore s(user, machine);
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ScanFolder",
                    {REG_SZ, Bytes(std::string("/photos/2026\0", 13))}));
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ThumbSize", {REG_DWORD, {2, 0, 0, 0}}));
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "PTColor", {REG_BINARY, {0xFF, 0, 0x80, 0}}));
    const std::string text = Text(qrtest::ReadBytes(s.HiveFile(HKEY_CURRENT_USER)));
    const size_t firstLine = text.find('\n') + 1;
    ASSERT_EQ(text.front(), '#');
    EXPECT_EQ(text.substr(firstLine), "SOFTWARE\\Quiram\\7321\\Preference\tPTColor\tbinary\tff008000\n"
                                      "SOFTWARE\\Quiram\\7321\\Preference\tScanFolder\tstring\t/photos/2026\n"
                                      "SOFTWARE\\Quiram\\7321\\Preference\tThumbSize\tdword\t2\n");
}

TEST_F(RegistryStoreTest, DamagedLineLosesOnlyItsValue)
{
    const std::string key = "SOFTWARE\\Quiram\\7321\\Preference";
    const RegValue name{REG_SZ, Bytes(std::string("Ana\nSecond line\0", 17))};
    const RegValue size{REG_DWORD, {2, 0, 0, 0}};
    const RegValue font{REG_BINARY, std::vector<uint8_t>(60, 0x41)};
    const RegValue folder{REG_SZ, Bytes(std::string("/photos\0", 8))};
    {
        CRegistryStore s(user, machine);
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, key, "UserName", name));
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, key, "ThumbSize", size));
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, key, "PTFont", font));
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, key, "ScanFolder", folder));
    }
    const fs::path hive = user / "user.hive";
    std::string text = Text(qrtest::ReadBytes(hive));
    const size_t at = text.find("binary\t") + 7 + 10;
    ASSERT_NE(at, std::string::npos);
    text[at] = '\x01'; // one damaged byte, inside the font's line
    const std::vector<uint8_t> damaged = Bytes(text);
    qrtest::WriteBytes(hive, damaged);

    CRegistryStore s(user, machine);
    EXPECT_EQ(s.QueryValue(HKEY_CURRENT_USER, key, "UserName"), name);
    EXPECT_EQ(s.QueryValue(HKEY_CURRENT_USER, key, "ThumbSize"), size);
    EXPECT_EQ(s.QueryValue(HKEY_CURRENT_USER, key, "ScanFolder"), folder);
    EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, key, "PTFont"));
    // Reading changes nothing on disk.
    EXPECT_EQ(qrtest::FolderNames(user), (std::vector<std::string>{"user.hive", "user.hive.lock"}));

    // The next write keeps the damaged file aside, byte for byte, for mending.
    ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, key, "ShowDateTime", {REG_DWORD, {1, 0, 0, 0}}));
    std::vector<std::string> names = qrtest::FolderNames(user);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1].rfind("user.hive.damaged-", 0), 0u) << names[1];
    EXPECT_EQ(qrtest::ReadBytes(user / names[1]), damaged);
    CRegistryStore again(user, machine);
    EXPECT_EQ(again.QueryValue(HKEY_CURRENT_USER, key, "UserName"), name);
    EXPECT_EQ(again.QueryValue(HKEY_CURRENT_USER, key, "ShowDateTime"), (RegValue{REG_DWORD, {1, 0, 0, 0}}));
    // A second write finds nothing damaged to keep.
    ASSERT_TRUE(Set(again, HKEY_CURRENT_USER, key, "ThumbSize", {REG_DWORD, {3, 0, 0, 0}}));
    EXPECT_EQ(qrtest::FolderNames(user).size(), 3u);
}

TEST(RegHiveFile, EachDamagedLineIsSkippedAlone)
{
    const std::string first = "K\tFirst\tdword\t7\n";
    const std::string last = "K\tLast\tstring\tok"; // the file's end without a line break
    const char* const rows[] = {
        "K\tV\tdword\t-1",
        "K\tV\tdword\t4294967296",
        "K\tV\tdword\t",
        "K\tV\tdword\t 1",
        "K\tV\tbinary\tabc",
        "K\tV\tbinary\tzz",
        "K\tV\tstring\t%4",
        "K\tV\tstring\t%G0",
        "K\tV\tstring\tone\ttab too many",
        "K\tV\tstring",
        "K\tV",
        "K\tV\tfloat\t1.5",
        "K\tV\thex:\t00",
        "K\tV\thex:99999999999\t00",
        "K\tFIRST\tdword\t8", // a name an earlier line gave
        "QRHV\x01",
        "\x7F\x45LF\x02\x01\x01",
        "K\tV\tstring\tdel \x7F inside",
    };
    for (const char* row : rows) {
        const std::string text = first + row + "\n" + last;
        RegHive hive;
        hive.Set("Old", "Gone", {REG_DWORD, {1, 0, 0, 0}});
        EXPECT_EQ(RegHive::Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), hive), 1u) << row;
        ASSERT_NE(hive.Find("K", "First"), nullptr) << row;
        EXPECT_EQ(hive.Find("K", "First")->data, (std::vector<uint8_t>{7, 0, 0, 0})) << row;
        ASSERT_NE(hive.Find("K", "Last"), nullptr) << row;
        EXPECT_EQ(hive.Find("K", "Last")->data, Bytes(std::string("ok\0", 3))) << row;
        EXPECT_EQ(hive.Find("K", "V"), nullptr) << row;
        EXPECT_EQ(hive.Find("Old", "Gone"), nullptr) << row; // what out held is replaced
    }
    // Comments, blank lines, CR LF line ends and outer backslashes are fine.
    const std::string mended = "# mended by hand\r\n\r\n\\K\\\tV\tdword\t5\r\n";
    RegHive hive;
    EXPECT_EQ(RegHive::Parse(reinterpret_cast<const uint8_t*>(mended.data()), mended.size(), hive), 0u);
    ASSERT_NE(hive.Find("K", "V"), nullptr);
    EXPECT_EQ(hive.Find("K", "V")->data, (std::vector<uint8_t>{5, 0, 0, 0}));
}

TEST_F(RegistryStoreTest, BinaryAndGarbageFilesReadSafely)
{
    std::vector<uint8_t> oldBinary{'Q', 'R', 'H', 'V', 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'A', 0xFF, 0xFF, 0xFF, 0xFF};
    std::vector<uint8_t> noise(5000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } rows[] = {{"empty", {}}, {"older binary form", oldBinary}, {"noise", noise}, {"only line breaks", Bytes("\n\n\n")}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        qrtest::TempDir d;
        qrtest::WriteBytes(d / "user.hive", r.bytes);
        CRegistryStore s(d.path(), d.path());
        EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, "A", "V"));
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "K", "V", {REG_SZ, Bytes("new")}));
        CRegistryStore again(d.path(), d.path());
        EXPECT_EQ(again.QueryValue(HKEY_CURRENT_USER, "K", "V"), (RegValue{REG_SZ, Bytes("new")}));
    }
}

TEST_F(RegistryStoreTest, HiveSizeLimit)
{
    // A file of 64 MiB is read; one byte more is not one of ours.
    constexpr uint64_t kLimit = uint64_t(64) << 20;
    const std::string line = "\nK\tV\tdword\t9\n";
    for (const uint64_t size : {kLimit, kLimit + 1}) {
        qrtest::TempDir d;
        const fs::path hive = d / "user.hive";
        qrtest::WriteBytes(hive, {});
        fs::resize_file(hive, size - line.size()); // sparse: no disk used
        {
            std::ofstream out(hive, std::ios::binary | std::ios::app);
            out << line;
        }
        ASSERT_EQ(fs::file_size(hive), size);
        CRegistryStore s(d.path(), d.path());
        EXPECT_EQ(s.QueryValue(HKEY_CURRENT_USER, "K", "V").has_value(), size == kLimit) << size;
    }
}

TEST_F(RegistryStoreTest, HiveThatCannotBeReadIsLeftAlone)
{
    fs::create_directories(user / "user.hive" / "inside");
    CRegistryStore s(user, machine);
    EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, "K", "V"));
    EXPECT_FALSE(Set(s, HKEY_CURRENT_USER, "K", "V", {REG_SZ, Bytes("x")}));
    EXPECT_TRUE(fs::is_directory(user / "user.hive" / "inside"));
    EXPECT_EQ(qrtest::FolderNames(user), (std::vector<std::string>{"user.hive", "user.hive.lock"}));
}

TEST_F(RegistryStoreTest, SecondDamageKeepsTheFirstCopy)
{
    fs::create_directories(user);
    for (const char* junk : {"first", "second"}) {
        qrtest::WriteBytes(user / "user.hive", Bytes(junk));
        CRegistryStore fresh(user, user); // the same second on the clock: names must not clash
        EXPECT_FALSE(fresh.QueryValue(HKEY_CURRENT_USER, "K", "V"));
        ASSERT_TRUE(Set(fresh, HKEY_CURRENT_USER, "K", "V", {REG_SZ, Bytes("x")}));
    }
    std::vector<std::string> kept;
    for (const auto& name : qrtest::FolderNames(user))
        if (name.rfind("user.hive.damaged-", 0) == 0)
            kept.push_back(Text(qrtest::ReadBytes(user / name)));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"first", "second"}));
}
