#include "imaging/pelkor_engine.h"

#include "imaging/icc_profile_data.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/pixel_types.h"
#include "platform/file.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

// Engines are made and destroyed on the main thread only.
int g_liveEngines = 0;

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string WithTrailingSlash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

// A camera model as a file name: no surrounding blanks or NULs, and nothing
// that would lead out of the camera profile folder.
bool CleanModelName(const std::string& model, std::string& out)
{
    const char* blanks = " \t\r\n\v\f";
    std::string_view m(model.data(), strnlen(model.data(), model.size()));
    const size_t first = m.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return false;
    m = m.substr(first, m.find_last_not_of(blanks) - first + 1);
    if (m.find_first_of("/\\") != std::string_view::npos || m.find("..") != std::string_view::npos)
        return false;
    out.assign(m);
    return true;
}

// The library's profile of a space: its bytes, or empty.
std::vector<uint8_t> QueryProfile(const CColorSpaceDesc& space)
{
    std::vector<uint8_t> bytes;
    const std::string path = space.GetPath();
    const int code = ToPelkorColorSpace(space.GetKind());
    uint32_t size = 0;
    if (pelkor::GetProfileSize(code, path.c_str(), size) != pelkor::kOk || size == 0)
        return bytes;
    bytes.resize(size);
    if (pelkor::GetProfileData(code, path.c_str(), bytes.data(), size) != pelkor::kOk)
        bytes.clear();
    return bytes;
}

} // namespace

CPelkorEngine::CPelkorEngine()
{
    if (g_liveEngines == 0)
        pelkor::Start();
    ++g_liveEngines;
}

CPelkorEngine::~CPelkorEngine()
{
    --g_liveEngines;
    if (g_liveEngines < 1)
        pelkor::End();
}

int CPelkorEngine::GetLiveCount()
{
    return g_liveEngines;
}

void CPelkorEngine::SetProgress(ProgressProc progress, intptr_t user)
{
    m_progress = progress;
    m_progressUser = user;
}

bool CPelkorEngine::FillImageDescriptor(pelkor::ImageDescriptor& out, int pixelType, void* bits, int width,
                                        int height, int64_t stride)
{
    out = {};
    switch (pixelType) {
    case PixelType::Bgr24: out.sampleCode = 0; out.orderFlag = 1; break;
    case PixelType::Rgb24: out.sampleCode = 0; out.orderFlag = 0; break;
    case PixelType::Bgr48: out.sampleCode = 4; out.orderFlag = 1; break;
    case PixelType::Rgb48: out.sampleCode = 4; out.orderFlag = 0; break;
    default: return false;
    }
    out.pixels = bits;
    out.byteOrder = pelkor::kIntelOrder;
    out.width = width;
    out.height = height;
    out.stride = stride;
    return true;
}

void CPelkorEngine::FillColorSpaces(pelkor::ColourSpaces& out, const CColorSpaceDesc& source,
                                    const CColorSpaceDesc& destination)
{
    out = {};
    out.destination = ToPelkorColorSpace(destination.GetKind());
    out.source = ToPelkorColorSpace(source.GetKind());
    if (destination.HasPath()) {
        m_destinationPath = destination.GetPath();
        out.destinationPath = m_destinationPath.c_str();
    }
    if (source.HasData()) {
        const CIccProfileData& data = source.GetProfileData();
        out.sourceProfile = data.GetBytes().data();
        out.sourceProfileSize = static_cast<uint32_t>(data.GetSize());
    } else if (source.HasPath()) {
        m_sourcePath = source.GetPath();
        out.sourcePath = m_sourcePath.c_str();
    }
}

bool CPelkorEngine::Apply(pelkor::Intent intent, const CColorSpaceDesc& source, const CColorSpaceDesc& destination,
                          int pixelType, void* bits, int width, int height, int64_t stride)
{
    pelkor::ImageDescriptor image;
    if (!FillImageDescriptor(image, pixelType, bits, width, height, stride)) {
        m_result = pelkor::kUnsupportedPixels;
        return false;
    }
    pelkor::ColourSpaces spaces;
    FillColorSpaces(spaces, source, destination);
    m_result = pelkor::Transform(intent, image, spaces, m_progress, m_progressUser);
    return m_result == pelkor::kOk;
}

bool CPelkorEngine::ApplyOp1(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                             void* bits, int width, int height, int64_t stride)
{
    return Apply(pelkor::Intent::Input, source, destination, pixelType, bits, width, height, stride);
}

bool CPelkorEngine::ApplyOp17(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                              void* bits, int width, int height, int64_t stride)
{
    return Apply(pelkor::Intent::Display, source, destination, pixelType, bits, width, height, stride);
}

bool CPelkorEngine::ApplyOp18(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                              void* bits, int width, int height, int64_t stride)
{
    return Apply(pelkor::Intent::Print, source, destination, pixelType, bits, width, height, stride);
}

bool CPelkorEngine::GetProfile(const CColorSpaceDesc& space, CIccProfileData& out)
{
    const std::vector<uint8_t> bytes = QueryProfile(space);
    if (bytes.empty())
        return false;
    out.Set(bytes.data(), bytes.size());
    return true;
}

bool CPelkorEngine::GetProfileSegment(const CColorSpaceDesc& space, CFile& out, bool raw)
{
    const std::vector<uint8_t> profile = QueryProfile(space);
    if (profile.empty())
        return false;
    if (raw) {
        out.Write(profile.data(), profile.size());
        return true;
    }
    // A profile longer than one segment goes into numbered pieces; a count
    // byte can number at most 255 of them.
    const size_t pieces = (profile.size() + kApp2MaxPiece - 1) / kApp2MaxPiece;
    if (pieces > 255)
        return false;
    std::vector<uint8_t> block;
    block.reserve(profile.size() + pieces * kApp2HeaderSize);
    for (size_t i = 0; i < pieces; ++i) {
        static const char kSignature[12] = "ICC_PROFILE";
        block.insert(block.end(), kSignature, kSignature + sizeof kSignature);
        block.push_back(static_cast<uint8_t>(i + 1));
        block.push_back(static_cast<uint8_t>(pieces));
        const size_t from = i * kApp2MaxPiece;
        const size_t count = std::min(kApp2MaxPiece, profile.size() - from);
        block.insert(block.end(), profile.begin() + from, profile.begin() + from + count);
    }
    out.Write(block.data(), block.size());
    return true;
}

bool CPelkorEngine::GetProfileSegmentForFile(const CColorSpaceDesc& space, CFile& out, const std::string& path)
{
    return GetProfileSegment(space, out, GetMetadataFileKind(path) != kExifJpeg);
}

void CPelkorEngine::GetMonitorProfileFolder(std::string& out, const std::string& baseFolder,
                                            const std::string& chosen)
{
    // Only a profile file will do: a folder given as a profile would fail
    // every transform, while no profile at all means sRGB.
    out = IsRegularFile(chosen) ? chosen : std::string();
}

void CPelkorEngine::GetCameraProfilePath(std::string& out, const std::string& baseFolder, const std::string& model,
                                         int fileKind)
{
    out.clear();
    const char* suffix = nullptr;
    if (fileKind == kExifJpeg || fileKind == kExifTiff)
        suffix = "_jprof.icc";
    else if (fileKind == kExifRaw)
        suffix = "_rprof.icc";
    std::string name;
    if (!suffix || !CleanModelName(model, name))
        return;
    const std::string path = WithTrailingSlash(baseFolder) + "Profiles/CameraProfiles/" + name + suffix;
    if (IsRegularFile(path))
        out = path;
}

int ToPelkorColorSpace(int code)
{
    if (code >= 1 && code <= 5)
        return code;
    if (code >= 6 && code <= 18)
        return code + 10;
    if (code >= 19 && code <= 22)
        return code + 13;
    return 0;
}

int GetRegionCode()
{
    static constexpr std::string_view kRegions[] = {"JP", "US", "DE", "FR", "ES", "CH"};
    const std::string_view text = res::String(IDS_COLOUR_COUNTRY);
    for (size_t i = 0; i < std::size(kRegions); ++i)
        if (text == kRegions[i])
            return static_cast<int>(i);
    return 1;
}
