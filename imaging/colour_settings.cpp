#include "imaging/colour_settings.h"

#include "util/reg_settings.h"
#include "resources/string_ids.h"

namespace {

constexpr char kDoInput[] = "DoInputCM";
constexpr char kDoDisplay[] = "DoDispCM";
constexpr char kDoPrint[] = "DoPrintCM";
constexpr char kColorSpace[] = "ColorSpace";
constexpr char kColorSpaceProfile[] = "ColorSpaceProfile";
constexpr char kPrinterProfile[] = "PrinterProfile";
constexpr char kDisplayProfile[] = "DisplayProfile";

ColorSettings g_settings;
std::string g_profilesBase;

void ReadPath(std::string& out, const char* name)
{
    RegReadString(out, IDS_REG_PREFERENCE, name);
    if (out.size() > kMaxProfilePathBytes)
        out.clear();
}

} // namespace

void LoadColorSettings(const std::string& profilesBase, int defaultDisplay, int defaultPrint, int defaultColorSpace)
{
    g_profilesBase = profilesBase;
    g_settings.doInputCM = RegReadInt(IDS_REG_PREFERENCE, kDoInput, 0);
    g_settings.doDispCM = RegReadInt(IDS_REG_PREFERENCE, kDoDisplay, defaultDisplay);
    g_settings.doPrintCM = RegReadInt(IDS_REG_PREFERENCE, kDoPrint, defaultPrint);
    g_settings.colorSpace = RegReadInt(IDS_REG_PREFERENCE, kColorSpace, defaultColorSpace);
    ReadPath(g_settings.colorSpaceProfile, kColorSpaceProfile);
    ReadPath(g_settings.printerProfile, kPrinterProfile);
    ReadPath(g_settings.displayProfile, kDisplayProfile);
}

void SaveColorSettings()
{
    RegWriteInt(IDS_REG_PREFERENCE, kDoInput, g_settings.doInputCM);
    RegWriteInt(IDS_REG_PREFERENCE, kDoDisplay, g_settings.doDispCM);
    RegWriteInt(IDS_REG_PREFERENCE, kDoPrint, g_settings.doPrintCM);
    RegWriteInt(IDS_REG_PREFERENCE, kColorSpace, g_settings.colorSpace);
    RegWriteString(IDS_REG_PREFERENCE, kColorSpaceProfile, g_settings.colorSpaceProfile);
    RegWriteString(IDS_REG_PREFERENCE, kPrinterProfile, g_settings.printerProfile);
    RegWriteString(IDS_REG_PREFERENCE, kDisplayProfile, g_settings.displayProfile);
}

void GetColorSettings(ColorSettings& out)
{
    out = g_settings;
}

int ApplyColorSettings(const ColorSettings& settings)
{
    const int changed = settings == g_settings ? 0 : 1;
    g_settings = settings;
    return changed;
}

std::string GetColorProfilesBase()
{
    return g_profilesBase;
}

std::mutex& ColorEngineLock()
{
    static std::mutex lock;
    return lock;
}
