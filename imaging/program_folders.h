#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImageBuffer;

// Where the program's per-user files, cache and plug-ins live. Folders end
// without a separator, except the home path, which always ends in "/".

// $XDG_DATA_HOME/Quiram (~/.local/share/Quiram), created when missing;
// empty when no home folder is known.
std::string GetUserDataFolder();
// The user data folder's "Prefs", created when missing; empty without one.
std::string GetPrefsFolder();
// $XDG_CACHE_HOME/Quiram (~/.cache/Quiram), created when missing; empty without one.
std::string GetCacheFolder();
// The machine-wide "HomePath" and "/", or the program's own folder; the
// value's folder is created (one level) when missing.
std::string GetHomePath();
std::string GetImporterSearchPath();
std::string GetImporterFolder();
std::string GetExporterSearchPath();

std::string GetExporterSaveFilter();
void ListExporters(std::vector<std::string>& names, std::vector<std::string>& extensions);

// The ".THM" companion beside a picture ("photo.jpg" -> "photo.THM").
std::string GetThmPath(const std::string& picturePath);
// The companion that exists, whatever the case of its extension; empty when none.
std::string FindThmFile(const std::string& picturePath);
// Replaces the companion with the bytes through the file writer; nothing for
// a count of 0 or less. False when nothing was written (the old one stays).
bool WriteThmFile(const std::string& picturePath, const uint8_t* bytes, int64_t count);
void DeleteThmFile(const std::string& picturePath);
// The 160 x 120 Exif thumbnail of the image as the picture's companion;
// false when no thumbnail could be made or written.
bool MakeThmFile(const CImageBuffer& image, const std::string& picturePath);
// A raw-format file (".TKF", any case) of the same name beside the picture.
bool RawCompanionExists(const std::string& picturePath);

// The export colour settings, loaded at start-up and saved at exit.
struct CExportColorSettings {
    virtual ~CExportColorSettings() = default;
    int colorManagement = 0;
    int useIccProfile = 0;
    int colorSpace = 0;
    std::string profilePath;
};
CExportColorSettings& GetExportColorSettings();
void LoadExportColorSettings();
void SaveExportColorSettings();
