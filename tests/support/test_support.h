#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qrtest {

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

} // namespace qrtest
