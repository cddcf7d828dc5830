#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The colour library the engine binds to: colour transforms between ICC
// profiles on a picture's pixels, the profiles of the colour spaces it
// knows, and the display texts of camera tag values. Built over LittleCMS 2.
// Every call answers 0 for success or one of the Result codes.
namespace pelkor {

enum Result : int {
    kOk = 0,
    kNotStarted = 1,
    kBadArgument = 2,
    kUnsupportedPixels = 3,
    kNoProfile = 4,
    kBadProfile = 5,
    kTransformFailed = 6,
    kCancelled = 7,
    kSizeMismatch = 8,
};

// The library's colour-space codes.
enum Space : int {
    kSpaceProfile = 1,      // an explicit profile, given by bytes or by path
    kSpaceAdobeRgb = 17,    // the 1998 wide-gamut RGB space, built from its primaries and gamma
    kSpaceSrgb = 24,
    kSpaceOriginal = 27,    // the picture's own space: sRGB when no profile says otherwise
    kSpaceOriginal2 = 28,
};

// Byte-order mark of the descriptor: "II", 16-bit samples little-endian.
inline constexpr uint32_t kIntelOrder = 0x4949;

// The pixels a transform converts in place.
struct ImageDescriptor {
    void* pixels = nullptr;
    int32_t sampleCode = 0;      // 0: 8-bit samples, 4: 16-bit samples
    uint32_t byteOrder = kIntelOrder;
    int32_t height = 0;
    int32_t width = 0;
    int32_t orderFlag = 0;       // 1: blue first in memory, 0: red first
    int64_t stride = 0;          // bytes from one row to the next
};

// Source and destination of a transform. The source may come as profile
// bytes (they win over a path); the destination only by code and path.
struct ColourSpaces {
    int32_t destination = kSpaceSrgb;
    int32_t source = kSpaceSrgb;
    const char* destinationPath = nullptr;
    const char* sourcePath = nullptr;
    const uint8_t* sourceProfile = nullptr;
    uint32_t sourceProfileSize = 0;
};

// Called after each band with (done, total, user); nonzero stops the transform.
using ProgressProc = int (*)(int done, int total, intptr_t user);

enum class Intent { Input, Display, Print };

// Profiles are read from files up to this size.
inline constexpr uint64_t kMaxProfileFileBytes = 64ull << 20;
// A transform reports progress after about this many pixels.
inline constexpr int64_t kBandPixels = 1 << 20;

// Start builds the built-in profiles; End releases them. Transforms and
// profile queries answer kNotStarted outside the two. Text calls need neither.
int Start();
void End();
bool IsStarted();

// Converts the described pixels in place, band after band; on a stop the
// rows done so far stay converted and the result is kCancelled.
int Transform(Intent intent, const ImageDescriptor& image, const ColourSpaces& spaces, ProgressProc progress,
              intptr_t user);

// Size, then bytes, of a colour space's profile (the path names the file of
// kSpaceProfile). GetProfileData answers kSizeMismatch when the profile is no
// longer of the given size.
int GetProfileSize(int space, const char* path, uint32_t& size);
int GetProfileData(int space, const char* path, uint8_t* buffer, uint32_t size);

// Item codes of the text calls.
enum Item : int {
    kItemShutterSpeed = 0,      // APEX Tv, shown as an exposure time
    kItemExposureTime = 1,
    kItemAperture = 2,          // APEX Av, shown as an F-number
    kItemFNumber = 3,
    kItemFocalLength = 4,
    kItemFocalLength35Rational = 5,
    kItemExposureBias = 6,
    kItemResolution = 7,
    kItemBrightness = 8,
    kItemMaxAperture = 9,
    kItemSubjectDistance = 10,
    kItemDigitalZoom = 11,
    kItemIsoSpeed = 12,
    kItemMeteringMode = 13,
    kItemFlash = 14,
    kItemLightSource = 15,
    kItemResolutionUnit = 16,
    kItemExposureProgram = 17,
    kItemCustomRendered = 18,
    kItemExposureMode = 19,
    kItemWhiteBalance = 20,
    kItemFocalLength35 = 21,
    kItemSceneCaptureType = 22,
    kItemContrast = 23,
    kItemSaturation = 24,
    kItemSharpness = 25,
    kItemSubjectDistanceRange = 26,
    kItemMaker0 = 27,           // 27 to 30: maker values of no known meaning
    kItemMaker1 = 28,
    kItemMaker2 = 29,
    kItemMakerRational = 30,
};

// Display texts of camera tag values for an item code. The camera model and
// region are accepted for every call; the texts are English. A zero
// denominator gives an empty text.
int FormatRationalText(int64_t numerator, uint32_t denominator, std::string& text, int item, std::string_view model,
                       int region);
int FormatIntegerText(int64_t value, std::string& text, int item, std::string_view model, int region);
int FormatMakerText(int64_t value, std::string& text, int item, std::string_view model, int region);

} // namespace pelkor
