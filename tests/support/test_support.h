#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qrtest {

// The face of the font shipped with the tests (tests/data/fonts), loaded by
// every test program and its default font: text measures alike everywhere.
inline constexpr char kTestFace[] = "Quiram Test Sans";

// tests/data in the source tree.
std::filesystem::path DataPath(const std::string& name);

// A fresh folder removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::vector<unsigned char> ReadBytes(const std::filesystem::path& path);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& dir);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// A program's path as found on the PATH; empty when it is not installed.
std::string FindProgram(const std::string& name);

// An environment variable set (or, for a null value, removed) while the
// object lives, then put back as it was.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace qrtest

// Skips the test, saying why, where an outside program it asks is not
// installed (scripts/install-deps installs every one the tests use).
#define QR_SKIP_WITHOUT_PROGRAM(name)                                                              \
    do {                                                                                           \
        if (::qrtest::FindProgram(name).empty())                                                   \
            GTEST_SKIP() << name << " is not installed (scripts/install-deps installs it)";        \
    } while (0)
