#include "platform/colour/colour_library.h"

#include "platform/byte_reader.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

namespace pelkor {
namespace {

using Bytes = std::vector<uint8_t>;

// Where an ICC profile's header holds the signature of its colour space.
constexpr uint64_t kIccColourSpaceOffset = 16;

// The profiles of the built-in spaces, serialised once at Start.
struct Builtins {
    Bytes srgb;
    Bytes adobeRgb;
};

std::mutex g_stateMutex;
std::shared_ptr<const Builtins> g_builtins;

std::shared_ptr<const Builtins> CurrentBuiltins()
{
    std::lock_guard<std::mutex> lock(g_stateMutex);
    return g_builtins;
}

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

void SilentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

void SetDescription(cmsHPROFILE profile, const char* text)
{
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (!mlu)
        return;
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

Bytes Serialise(cmsHPROFILE profile)
{
    Bytes out;
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size) || size == 0)
        return out;
    out.resize(size);
    if (!cmsSaveProfileToMem(profile, out.data(), &size))
        out.clear();
    return out;
}

ProfileHandle MakeAdobeRgbCompatible()
{
    // D65 white, the 1998 primaries and a pure gamma of 563/256.
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.6400, 0.3300, 1.0}, {0.2100, 0.7100, 1.0}, {0.1500, 0.0600, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    if (!gamma)
        return nullptr;
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    ProfileHandle profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(gamma);
    if (profile)
        SetDescription(profile.get(), "Wide-gamut RGB (1998 primaries, D65, gamma 2.2)");
    return profile;
}

bool ReadProfileFile(const char* path, Bytes& out)
{
    std::error_code ec;
    if (!path || !*path || !std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length <= 0 || static_cast<uint64_t>(length) > kMaxProfileFileBytes)
        return false;
    out.resize(static_cast<size_t>(length));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(out.data()), length);
    return in.gcount() == length;
}

// The profile bytes of a space; kOk, kNoProfile or kBadProfile.
int ProfileBytes(const Builtins& builtins, int space, const char* path, const uint8_t* data, uint32_t dataSize,
                 Bytes& out)
{
    switch (space) {
    case kSpaceProfile:
        if (data && dataSize > 0) {
            out.assign(data, data + dataSize);
        } else if (!ReadProfileFile(path, out)) {
            return kNoProfile;
        }
        return kOk;
    case kSpaceSrgb:
        out = builtins.srgb;
        return kOk;
    case kSpaceAdobeRgb:
        out = builtins.adobeRgb;
        return kOk;
    default:
        return kNoProfile;
    }
}

// The profile a transform uses for one side. The picture's own space without
// a profile of its own is taken as sRGB, as cameras write it.
int OpenSide(const Builtins& builtins, int space, const char* path, const uint8_t* data, uint32_t dataSize,
             ProfileHandle& out)
{
    if (space == kSpaceOriginal || space == kSpaceOriginal2)
        space = (data && dataSize) || (path && *path) ? kSpaceProfile : kSpaceSrgb;
    Bytes bytes;
    const int r = ProfileBytes(builtins, space, path, data, dataSize, bytes);
    if (r != kOk)
        return r;
    out.reset(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
    if (!out)
        return kBadProfile;
    // The colour space straight from the header: a file may hold any number
    // there, which the library's enumeration type cannot carry.
    const ByteReader header(bytes, true);
    if (header.U32At(kIccColourSpaceOffset) != uint32_t(cmsSigRgbData))
        return kBadProfile;
    return kOk;
}

// The LittleCMS format of the descriptor's pixels; 0 for what is refused.
cmsUInt32Number PixelFormat(const ImageDescriptor& image, int& bytesPerPixel)
{
    if (image.byteOrder != kIntelOrder || (image.orderFlag != 0 && image.orderFlag != 1))
        return 0;
    const bool bgr = image.orderFlag == 1;
    switch (image.sampleCode) {
    case 0:
        bytesPerPixel = 3;
        return bgr ? TYPE_BGR_8 : TYPE_RGB_8;
    case 4:
        bytesPerPixel = 6;
        return bgr ? TYPE_BGR_16 : TYPE_RGB_16;
    default:
        return 0;
    }
}

cmsUInt32Number IntentCode(Intent intent)
{
    return intent == Intent::Print ? INTENT_RELATIVE_COLORIMETRIC : INTENT_PERCEPTUAL;
}

cmsUInt32Number IntentFlags(Intent intent)
{
    return intent == Intent::Print ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
}

} // namespace

int Start()
{
    std::lock_guard<std::mutex> lock(g_stateMutex);
    if (g_builtins)
        return kOk;
    cmsSetLogErrorHandler(SilentErrorHandler);
    auto builtins = std::make_shared<Builtins>();
    ProfileHandle srgb(cmsCreate_sRGBProfile());
    builtins->srgb = Serialise(srgb.get());
    builtins->adobeRgb = Serialise(MakeAdobeRgbCompatible().get());
    if (builtins->srgb.empty() || builtins->adobeRgb.empty())
        return kBadProfile;
    g_builtins = std::move(builtins);
    return kOk;
}

void End()
{
    std::lock_guard<std::mutex> lock(g_stateMutex);
    g_builtins.reset();
}

bool IsStarted()
{
    return CurrentBuiltins() != nullptr;
}

int Transform(Intent intent, const ImageDescriptor& image, const ColourSpaces& spaces, ProgressProc progress,
              intptr_t user)
{
    const auto builtins = CurrentBuiltins();
    if (!builtins)
        return kNotStarted;
    int bytesPerPixel = 0;
    const cmsUInt32Number format = PixelFormat(image, bytesPerPixel);
    if (format == 0)
        return kUnsupportedPixels;
    if (!image.pixels || image.width <= 0 || image.height <= 0)
        return kBadArgument;
    const int64_t rowBytes = static_cast<int64_t>(image.width) * bytesPerPixel;
    if (image.stride < rowBytes || image.stride > static_cast<int64_t>(UINT32_MAX))
        return kBadArgument;

    ProfileHandle source;
    ProfileHandle destination;
    int r = OpenSide(*builtins, spaces.source, spaces.sourcePath, spaces.sourceProfile, spaces.sourceProfileSize,
                     source);
    if (r != kOk)
        return r;
    r = OpenSide(*builtins, spaces.destination, spaces.destinationPath, nullptr, 0, destination);
    if (r != kOk)
        return r;
    TransformHandle transform(cmsCreateTransform(source.get(), format, destination.get(), format, IntentCode(intent),
                                                 IntentFlags(intent)));
    if (!transform)
        return kTransformFailed;

    // Bands of about kBandPixels, so that progress and a stop come often
    // enough on large pictures without slowing small ones.
    const int64_t bandRows = std::max<int64_t>(1, kBandPixels / image.width);
    auto* pixels = static_cast<uint8_t*>(image.pixels);
    for (int64_t row = 0; row < image.height;) {
        const int64_t rows = std::min<int64_t>(bandRows, image.height - row);
        uint8_t* band = pixels + row * image.stride;
        cmsDoTransformLineStride(transform.get(), band, band, static_cast<cmsUInt32Number>(image.width),
                                 static_cast<cmsUInt32Number>(rows), static_cast<cmsUInt32Number>(image.stride),
                                 static_cast<cmsUInt32Number>(image.stride), 0, 0);
        row += rows;
        if (progress) {
            const int done = static_cast<int>(row * 100 / image.height);
            if (progress(done, 100, user) != 0 && row < image.height)
                return kCancelled;
        }
    }
    return kOk;
}

int GetProfileSize(int space, const char* path, uint32_t& size)
{
    size = 0;
    const auto builtins = CurrentBuiltins();
    if (!builtins)
        return kNotStarted;
    Bytes bytes;
    const int r = ProfileBytes(*builtins, space, path, nullptr, 0, bytes);
    if (r != kOk)
        return r;
    size = static_cast<uint32_t>(bytes.size());
    return kOk;
}

int GetProfileData(int space, const char* path, uint8_t* buffer, uint32_t size)
{
    const auto builtins = CurrentBuiltins();
    if (!builtins)
        return kNotStarted;
    if (!buffer)
        return kBadArgument;
    Bytes bytes;
    const int r = ProfileBytes(*builtins, space, path, nullptr, 0, bytes);
    if (r != kOk)
        return r;
    if (bytes.size() != size)
        return kSizeMismatch;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return kOk;
}

} // namespace pelkor
