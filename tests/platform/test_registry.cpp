#include "platform/registry.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::string> FolderNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Set(CRegistryStore& s, HKEY root, std::string_view key, std::string_view name, const RegValue& v)
{
    return s.SetValue(root, key, name, v.type, v.data.data(), v.data.size());
}

// Little-endian pieces for hand-made hive files.
void U32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void U64(std::vector<uint8_t>& b, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Str(std::vector<uint8_t>& b, std::string_view s)
{
    U32(b, static_cast<uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}
std::vector<uint8_t> Sealed(std::vector<uint8_t> b)
{
    U32(b, RegHive::Checksum(b.data(), b.size()));
    return b;
}
std::vector<uint8_t> Header(uint32_t version, uint32_t keys)
{
    std::vector<uint8_t> b{'Q', 'R', 'H', 'V'};
    U32(b, version);
    U32(b, keys);
    return b;
}

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
    const Row rows[] = {
        {"string", HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ScanFolder", {REG_SZ, Bytes(std::string("/photos/2026\0", 13))}},
        {"string past 259 bytes", HKEY_CURRENT_USER, "A\\B", "Long", {REG_SZ, Bytes(std::string(300, 'x') + '\0')}},
        {"very long string with zero inside", HKEY_CURRENT_USER, "A\\B", "Huge", {REG_SZ, Bytes(longText)}},
        {"number", HKEY_CURRENT_USER, "A\\B", "N", {REG_DWORD, {0xFE, 0xFF, 0xFF, 0x7F}}},
        {"empty block", HKEY_CURRENT_USER, "A\\B", "Empty", {REG_BINARY, {}}},
        {"large block", HKEY_CURRENT_USER, "A\\B", "Large", {REG_BINARY, large}},
        {"other type", HKEY_CURRENT_USER, "A\\B", "Other", {7, {1, 2, 3}}},
        {"unnamed value", HKEY_CURRENT_USER, "A", "", {REG_SZ, {'d', 0}}},
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

TEST_F(RegistryStoreTest, WriteLeavesOnlyTheHiveAndItsLock)
{
    CRegistryStore s(user, user);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "K", "V" + std::to_string(i), {REG_BINARY, {uint8_t(i)}}));
    ASSERT_TRUE(Set(s, HKEY_LOCAL_MACHINE, "K", "Compression", {REG_DWORD, {80, 0, 0, 0}}));
    EXPECT_EQ(FolderNames(user),
              (std::vector<std::string>{"machine.hive", "machine.hive.lock", "user.hive", "user.hive.lock"}));
}

TEST_F(RegistryStoreTest, DamagedHiveIsKeptAsideAndReadsEmpty)
{
    CRegistryStore good(user, machine);
    ASSERT_TRUE(Set(good, HKEY_CURRENT_USER, "Software\\Q\\Preference", "UserName", {REG_SZ, Bytes("Ana")}));
    const std::vector<uint8_t> valid = qrtest::ReadBytes(good.HiveFile(HKEY_CURRENT_USER));

    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> flipped = valid;
    flipped[flipped.size() / 2] ^= 0x20;
    std::vector<uint8_t> truncated(valid.begin(), valid.end() - 5);
    std::vector<uint8_t> trailing = valid;
    trailing.push_back(0);
    const Row rows[] = {
        {"empty file", {}},
        {"text", Bytes("[Preference]\nUserName=Ana\n")},
        {"flipped byte", flipped},
        {"cut short", truncated},
        {"byte after the checksum", trailing},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        qrtest::TempDir d;
        fs::create_directories(d.path());
        qrtest::WriteBytes(d / "user.hive", r.bytes);
        CRegistryStore s(d.path(), d.path());
        EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, "Software\\Q\\Preference", "UserName"));
        // The damaged bytes are kept beside, untouched; no hive is left in their place.
        std::vector<std::string> names = FolderNames(d.path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].rfind("user.hive.damaged-", 0), 0u) << names[0];
        EXPECT_EQ(qrtest::ReadBytes(d / names[0]), r.bytes);
        // And the store goes on with a fresh hive.
        ASSERT_TRUE(Set(s, HKEY_CURRENT_USER, "K", "V", {REG_SZ, Bytes("new")}));
        CRegistryStore again(d.path(), d.path());
        EXPECT_EQ(again.QueryValue(HKEY_CURRENT_USER, "K", "V"), (RegValue{REG_SZ, Bytes("new")}));
    }
}

TEST_F(RegistryStoreTest, HiveThatCannotBeReadIsLeftAlone)
{
    fs::create_directories(user / "user.hive" / "inside");
    CRegistryStore s(user, machine);
    EXPECT_FALSE(s.QueryValue(HKEY_CURRENT_USER, "K", "V"));
    EXPECT_FALSE(Set(s, HKEY_CURRENT_USER, "K", "V", {REG_SZ, Bytes("x")}));
    EXPECT_TRUE(fs::is_directory(user / "user.hive" / "inside"));
    EXPECT_EQ(FolderNames(user), (std::vector<std::string>{"user.hive", "user.hive.lock"}));
}

TEST_F(RegistryStoreTest, SecondDamageKeepsTheFirstCopy)
{
    fs::create_directories(user);
    for (const char* junk : {"first", "second"}) {
        qrtest::WriteBytes(user / "user.hive", Bytes(junk));
        CRegistryStore fresh(user, user); // the same second on the clock: names must not clash
        EXPECT_FALSE(fresh.QueryValue(HKEY_CURRENT_USER, "K", "V"));
    }
    int damaged = 0;
    for (const auto& name : FolderNames(user))
        damaged += name.rfind("user.hive.damaged-", 0) == 0;
    EXPECT_EQ(damaged, 2);
}

TEST(RegHiveFile, MalformedStructureIsRejected)
{
    struct Row {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    auto value = [](std::vector<uint8_t> b, std::string_view name, uint64_t length, size_t present) {
        Str(b, name);
        U32(b, REG_BINARY);
        U64(b, length);
        b.insert(b.end(), present, 0xAB);
        return b;
    };
    auto key = [](uint32_t version, uint32_t keys, std::string_view path, uint32_t values) {
        std::vector<uint8_t> b = Header(version, keys);
        Str(b, path);
        U32(b, values);
        return b;
    };
    std::vector<uint8_t> twoKeys = key(1, 2, "A", 0);
    Str(twoKeys, "a");
    U32(twoKeys, 0);
    std::vector<uint8_t> nameTooLong = key(1, 1, "A", 1);
    U32(nameTooLong, 0xFFFFFFF0u);

    const Row rows[] = {
        {"key count past the end", Sealed(Header(1, 0x40000000u))},
        {"unknown version", Sealed(key(2, 1, "A", 0))},
        {"value count past the end", Sealed(key(1, 1, "A", 0x10000000u))},
        {"data length past the end", Sealed(value(key(1, 1, "A", 1), "V", 1000, 10))},
        {"data length near 2^64", Sealed(value(key(1, 1, "A", 1), "V", ~0ull, 0))},
        {"name length past the end", Sealed(nameTooLong)},
        {"same key twice in other case", Sealed(twoKeys)},
        {"same value twice", Sealed(value(value(key(1, 1, "A", 2), "V", 1, 1), "v", 1, 1))},
        {"key path with outer backslash", Sealed(key(1, 1, "\\A", 0))},
        {"fewer keys than counted", Sealed(key(1, 2, "A", 0))},
        {"bytes after the last key", Sealed([&] { auto b = key(1, 1, "A", 0); b.push_back(0); return b; }())},
        {"bad checksum", [&] { auto b = Sealed(key(1, 1, "A", 0)); b.back() ^= 1; return b; }()},
        {"wrong magic", [&] { auto b = key(1, 1, "A", 0); b[0] = 'X'; return Sealed(b); }()},
    };
    for (const Row& r : rows) {
        RegHive hive;
        hive.Set("Keep", "Me", {REG_DWORD, {1, 0, 0, 0}});
        const RegHive before = hive;
        EXPECT_FALSE(RegHive::Parse(r.bytes.data(), r.bytes.size(), hive)) << r.what;
        EXPECT_TRUE(hive == before) << r.what;
    }
    // The same pieces well put together are read.
    std::vector<uint8_t> ok = Sealed(value(key(1, 1, "A", 1), "V", 3, 3));
    RegHive hive;
    ASSERT_TRUE(RegHive::Parse(ok.data(), ok.size(), hive));
    ASSERT_NE(hive.Find("a", "v"), nullptr);
    EXPECT_EQ(hive.Find("a", "v")->data, (std::vector<uint8_t>{0xAB, 0xAB, 0xAB}));
}
