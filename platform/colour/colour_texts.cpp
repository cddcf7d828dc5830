// Display texts of camera tag values: the enumerations and units of the
// Exif 2.2 tables, in English.

#include "platform/colour/colour_library.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <span>

namespace pelkor {
namespace {

struct Named {
    int value;
    const char* text;
};

constexpr Named kMeteringModes[] = {
    {0, "Unknown"}, {1, "Average"}, {2, "Center-weighted average"}, {3, "Spot"},
    {4, "Multi-spot"}, {5, "Pattern"}, {6, "Partial"}, {255, "Other"},
};

constexpr Named kFlashValues[] = {
    {0x00, "Flash did not fire"},
    {0x01, "Flash fired"},
    {0x05, "Strobe return light not detected"},
    {0x07, "Strobe return light detected"},
    {0x09, "Flash fired, compulsory flash mode"},
    {0x0D, "Flash fired, compulsory flash mode, return light not detected"},
    {0x0F, "Flash fired, compulsory flash mode, return light detected"},
    {0x10, "Flash did not fire, compulsory flash mode"},
    {0x18, "Flash did not fire, auto mode"},
    {0x19, "Flash fired, auto mode"},
    {0x1D, "Flash fired, auto mode, return light not detected"},
    {0x1F, "Flash fired, auto mode, return light detected"},
    {0x20, "No flash function"},
    {0x41, "Flash fired, red-eye reduction mode"},
    {0x45, "Flash fired, red-eye reduction mode, return light not detected"},
    {0x47, "Flash fired, red-eye reduction mode, return light detected"},
    {0x49, "Flash fired, compulsory flash mode, red-eye reduction mode"},
    {0x4D, "Flash fired, compulsory flash mode, red-eye reduction mode, return light not detected"},
    {0x4F, "Flash fired, compulsory flash mode, red-eye reduction mode, return light detected"},
    {0x59, "Flash fired, auto mode, red-eye reduction mode"},
    {0x5D, "Flash fired, auto mode, return light not detected, red-eye reduction mode"},
    {0x5F, "Flash fired, auto mode, return light detected, red-eye reduction mode"},
};

constexpr Named kLightSources[] = {
    {0, "Unknown"},
    {1, "Daylight"},
    {2, "Fluorescent"},
    {3, "Tungsten (incandescent light)"},
    {4, "Flash"},
    {9, "Fine weather"},
    {10, "Cloudy weather"},
    {11, "Shade"},
    {12, "Daylight fluorescent (D 5700 - 7100K)"},
    {13, "Day white fluorescent (N 4600 - 5400K)"},
    {14, "Cool white fluorescent (W 3900 - 4500K)"},
    {15, "White fluorescent (WW 3200 - 3700K)"},
    {17, "Standard light A"},
    {18, "Standard light B"},
    {19, "Standard light C"},
    {20, "D55"},
    {21, "D65"},
    {22, "D75"},
    {23, "D50"},
    {24, "ISO studio tungsten"},
    {255, "Other light source"},
};

constexpr Named kResolutionUnits[] = {{1, "No unit"}, {2, "inches"}, {3, "centimeters"}};

constexpr Named kExposurePrograms[] = {
    {0, "Not defined"},    {1, "Manual"},         {2, "Normal program"}, {3, "Aperture priority"},
    {4, "Shutter priority"}, {5, "Creative program"}, {6, "Action program"}, {7, "Portrait mode"},
    {8, "Landscape mode"},
};

constexpr Named kCustomRendered[] = {{0, "Normal process"}, {1, "Custom process"}};
constexpr Named kExposureModes[] = {{0, "Auto exposure"}, {1, "Manual exposure"}, {2, "Auto bracket"}};
constexpr Named kWhiteBalances[] = {{0, "Auto white balance"}, {1, "Manual white balance"}};
constexpr Named kSceneCaptureTypes[] = {{0, "Standard"}, {1, "Landscape"}, {2, "Portrait"}, {3, "Night scene"}};
constexpr Named kContrasts[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
constexpr Named kSaturations[] = {{0, "Normal"}, {1, "Low saturation"}, {2, "High saturation"}};
constexpr Named kSharpnesses[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
constexpr Named kDistanceRanges[] = {{0, "Unknown"}, {1, "Macro"}, {2, "Close view"}, {3, "Distant view"}};

std::span<const Named> EnumerationOf(int item)
{
    switch (item) {
    case kItemMeteringMode: return kMeteringModes;
    case kItemFlash: return kFlashValues;
    case kItemLightSource: return kLightSources;
    case kItemResolutionUnit: return kResolutionUnits;
    case kItemExposureProgram: return kExposurePrograms;
    case kItemCustomRendered: return kCustomRendered;
    case kItemExposureMode: return kExposureModes;
    case kItemWhiteBalance: return kWhiteBalances;
    case kItemSceneCaptureType: return kSceneCaptureTypes;
    case kItemContrast: return kContrasts;
    case kItemSaturation: return kSaturations;
    case kItemSharpness: return kSharpnesses;
    case kItemSubjectDistanceRange: return kDistanceRanges;
    default: return {};
    }
}

std::string Printf(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The value with at most the given decimals and no trailing zeros.
std::string Trimmed(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    return text;
}

// Exposure times read as a fraction below a quarter second or where the
// time is the reciprocal of a whole number, else in decimal seconds.
std::string ExposureTimeText(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return "0 sec.";
    if (seconds >= 1)
        return Trimmed(seconds, 1) + " sec.";
    const double reciprocal = 1 / seconds;
    const double whole = std::round(reciprocal);
    if (seconds < 0.25 || std::fabs(reciprocal - whole) < 0.01)
        return "1/" + Trimmed(whole, 0) + " sec.";
    return Trimmed(seconds, 1) + " sec.";
}

std::string FNumberText(double f) { return Printf("F%.1f", f); }

} // namespace

int FormatRationalText(int64_t numerator, uint32_t denominator, std::string& text, int item, std::string_view,
                       int)
{
    text.clear();
    if (denominator == 0)
        return kBadArgument;
    const double v = static_cast<double>(numerator) / denominator;
    switch (item) {
    case kItemShutterSpeed: text = ExposureTimeText(std::exp2(-v)); break;
    case kItemExposureTime: text = ExposureTimeText(v); break;
    case kItemAperture:
    case kItemMaxAperture: text = FNumberText(std::exp2(v / 2)); break;
    case kItemFNumber: text = FNumberText(v); break;
    case kItemFocalLength: text = Trimmed(v, 1) + " mm"; break;
    case kItemFocalLength35Rational:
        if (numerator != 0)
            text = Trimmed(v, 0) + " mm";
        break;
    case kItemExposureBias: text = numerator == 0 ? "0.0 EV" : Printf("%+.1f EV", v); break;
    case kItemResolution: text = Trimmed(v, 2); break;
    case kItemBrightness: text = Trimmed(v, 2) + " EV"; break;
    case kItemSubjectDistance:
        if (numerator == 0)
            text = "Unknown";
        else if (numerator == 0xFFFFFFFFll)
            text = "Infinity";
        else
            text = Trimmed(v, 2) + " m";
        break;
    case kItemDigitalZoom: text = numerator == 0 ? "Not used" : Trimmed(v, 1) + "x"; break;
    case kItemMakerRational:
        text = std::to_string(numerator) + "/" + std::to_string(denominator);
        break;
    default: return kBadArgument;
    }
    return kOk;
}

int FormatIntegerText(int64_t value, std::string& text, int item, std::string_view, int)
{
    text.clear();
    if (item == kItemIsoSpeed) {
        text = std::to_string(value);
        return kOk;
    }
    if (item == kItemFocalLength35) {
        // 0 means the length is unknown; the caller then tries the rational form.
        if (value != 0)
            text = std::to_string(value) + " mm";
        return kOk;
    }
    const std::span<const Named> names = EnumerationOf(item);
    if (names.empty())
        return kBadArgument;
    for (const Named& n : names) {
        if (n.value == value) {
            text = n.text;
            return kOk;
        }
    }
    // A value the tables do not name shows as its number.
    text = std::to_string(value);
    return kOk;
}

int FormatMakerText(int64_t value, std::string& text, int item, std::string_view, int)
{
    text.clear();
    if (item != kItemMaker0 && item != kItemMaker1 && item != kItemMaker2)
        return kBadArgument;
    text = std::to_string(value);
    return kOk;
}

} // namespace pelkor
