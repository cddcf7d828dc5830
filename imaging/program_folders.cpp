#include "imaging/program_folders.h"

#include "util/path_util.h"
#include "util/reg_settings.h"
#include "imaging/exif_thumbnail.h"
#include "imaging/image_exporter.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/replace_file.h"
#include "resources/string_table.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr UINT kSectionPreference = 9;
constexpr UINT kPrefsFolderName = 32;

// An XDG base folder, or its default below $HOME; empty when neither is known,
// so that nothing is ever made relative to the working folder.
std::string XdgFolder(const char* variable, const char* fallbackBelowHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/" + fallbackBelowHome;
    return {};
}

std::string Made(std::string folder)
{
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
    }
    return folder;
}

std::string ProgramFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// The picture's folder and name without its extension.
std::string WithoutExtension(const std::string& path)
{
    return JoinPath(ParentFolderOf(path), StemOf(path));
}

// The file "stem.EXT" beside the picture with the extension in any case.
std::string FindCompanion(const std::string& picturePath, const char* extension)
{
    const fs::path stem = WithoutExtension(picturePath);
    const fs::path folder = stem.has_parent_path() ? stem.parent_path() : fs::path(".");
    const std::string name = stem.filename().string() + "." + extension;
    std::error_code ec;
    const fs::path exact = folder / name;
    if (fs::is_regular_file(exact, ec))
        return exact.string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (candidate.size() == name.size() && strcasecmp(candidate.c_str(), name.c_str()) == 0 &&
            it->is_regular_file(ec))
            return it->path().string();
    }
    return {};
}

} // namespace

std::string GetUserDataFolder()
{
    const std::string base = XdgFolder("XDG_DATA_HOME", ".local/share");
    return base.empty() ? std::string() : Made(base + "/Quiram");
}

std::string GetPrefsFolder()
{
    const std::string data = GetUserDataFolder();
    return data.empty() ? std::string() : Made(data + "/" + std::string(res::String(kPrefsFolderName)));
}

std::string GetCacheFolder()
{
    const std::string base = XdgFolder("XDG_CACHE_HOME", ".cache");
    return base.empty() ? std::string() : Made(base + "/Quiram");
}

std::string GetHomePath()
{
    std::string value;
    RegReadString(value, 0, "HomePath", HKEY_LOCAL_MACHINE);
    if (value.empty())
        return ProgramFolder() + "/";
    std::error_code ec;
    fs::create_directory(value, ec);
    return value + "/";
}

std::string GetImporterSearchPath() { return GetHomePath() + "Importer/*.gim"; }
std::string GetImporterFolder() { return GetHomePath() + "Importer"; }
std::string GetExporterSearchPath() { return GetHomePath() + "Exporter/*.gex"; }

std::string GetExporterSaveFilter()
{
    CImageExporter exporter(GetExporterSearchPath());
    std::string filter;
    return exporter.BuildSaveFilter(filter, -1);
}

void ListExporters(std::vector<std::string>& names, std::vector<std::string>& extensions)
{
    CImageExporter exporter(GetExporterSearchPath());
    exporter.ListNames(names);
    exporter.ListExtensions(extensions, true);
}

std::string GetThmPath(const std::string& picturePath) { return WithoutExtension(picturePath) + ".THM"; }

std::string FindThmFile(const std::string& picturePath) { return FindCompanion(picturePath, "THM"); }

bool WriteThmFile(const std::string& picturePath, const uint8_t* bytes, int64_t count)
{
    if (count <= 0 || !bytes)
        return false;
    const fs::path target = GetThmPath(picturePath);
    try {
        ReplaceFileContents(target.string(), std::span(bytes, static_cast<size_t>(count)));
    } catch (const CFileException&) {
        return false; // the old companion stays as it was
    }
    // A companion in another case would shadow the new one: it goes, now
    // that the new one is in place.
    const std::string name = target.filename().string();
    std::error_code ec;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string other = it->path().filename().string();
        if (other != name && other.size() == name.size() && strcasecmp(other.c_str(), name.c_str()) == 0)
            fs::remove(it->path(), ec);
    }
    return true;
}

void DeleteThmFile(const std::string& picturePath)
{
    const std::string existing = FindThmFile(picturePath);
    if (!existing.empty())
        ::unlink(existing.c_str());
}

bool RawCompanionExists(const std::string& picturePath)
{
    // The message for this case is a single blank: nothing worth a box.
    return !FindCompanion(picturePath, "TKF").empty();
}

CExportColorSettings& GetExportColorSettings()
{
    static CExportColorSettings settings;
    return settings;
}

void LoadExportColorSettings()
{
    CExportColorSettings& s = GetExportColorSettings();
    s.colorManagement = RegReadInt(kSectionPreference, "CM", 0);
    s.useIccProfile = RegReadInt(kSectionPreference, "UseICCProfile", 0);
    s.colorSpace = RegReadInt(kSectionPreference, "CMColorSpace", 0);
    RegReadString(s.profilePath, kSectionPreference, "CMProfile");
}

void SaveExportColorSettings()
{
    const CExportColorSettings& s = GetExportColorSettings();
    RegWriteInt(kSectionPreference, "CM", s.colorManagement);
    RegWriteInt(kSectionPreference, "UseICCProfile", s.useIccProfile);
    RegWriteInt(kSectionPreference, "CMColorSpace", s.colorSpace);
    RegWriteString(kSectionPreference, "CMProfile", s.profilePath);
}

bool MakeThmFile(const CImageBuffer& image, const std::string& picturePath)
{
    CMemFile thumbnail;
    CSize size;
    const DWORD bytes = MakeExifThumbnail(image, size, thumbnail);
    if (bytes == 0)
        return false;
    return WriteThmFile(picturePath, thumbnail.Data().data(), bytes);
}
