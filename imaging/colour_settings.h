#pragma once

#include <mutex>
#include <string>

// The user's colour-management settings: one process-wide record, read and
// replaced on the main thread. Input matching is the master switch: display
// and print matching work only when it is on as well.
struct ColorSettings {
    int doInputCM = 0;
    int doDispCM = 0;
    int doPrintCM = 0;
    int colorSpace = 17;
    std::string colorSpaceProfile;
    std::string printerProfile;
    std::string displayProfile;

    bool operator==(const ColorSettings&) const = default;
};

// Stored paths longer than this are dropped: a cut path names another file.
inline constexpr size_t kMaxProfilePathBytes = 4095;

// Keeps the profiles base folder and reads the record from section 7.
void LoadColorSettings(const std::string& profilesBase, int defaultDisplay, int defaultPrint, int defaultColorSpace);
void SaveColorSettings();
void GetColorSettings(ColorSettings& out);
// 1 when any field differed from the record it replaces, else 0.
int ApplyColorSettings(const ColorSettings& settings);
// The folder below which "Profiles/" lies, as LoadColorSettings was given it.
std::string GetColorProfilesBase();

// Held around every colour transform: the library converts one picture at a time.
std::mutex& ColorEngineLock();
