#pragma once

#include "imaging/colour_space_desc.h"
#include "platform/colour/colour_library.h"

#include <cstdint>
#include <string>

class CFile;
class CIccProfileData;

// The program's one binding to the colour library: transforms of a picture's
// pixels between two colour spaces, the profiles of colour spaces, and the
// camera and monitor profile files below the program's home folder. The
// library lives from the first engine object to the last one; engines are
// made and destroyed on the main thread.
class CPelkorEngine {
public:
    using ProgressProc = pelkor::ProgressProc;

    // Profile segments of a JPEG file carry this header in front of each piece.
    static constexpr size_t kApp2HeaderSize = 14;
    // The content of one APP2 segment: 65535 minus the segment's length word.
    static constexpr size_t kApp2MaxContent = 65533;
    static constexpr size_t kApp2MaxPiece = kApp2MaxContent - kApp2HeaderSize;

    CPelkorEngine();
    virtual ~CPelkorEngine();
    CPelkorEngine(const CPelkorEngine&) = delete;
    CPelkorEngine& operator=(const CPelkorEngine&) = delete;

    // Convert pixels of types 11, 13, 16 and 18 in place from the source to the
    // destination space, for input, the screen or the printer. True when the
    // library answered 0; GetResult keeps its answer.
    virtual bool ApplyOp1(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                          void* bits, int width, int height, int64_t stride);
    virtual bool ApplyOp17(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                           void* bits, int width, int height, int64_t stride);
    virtual bool ApplyOp18(const CColorSpaceDesc& source, const CColorSpaceDesc& destination, int pixelType,
                           void* bits, int width, int height, int64_t stride);

    // The space's profile written to the stream in one piece: raw, or as the
    // contents of JPEG APP2 segments, each "ICC_PROFILE", NUL, its number and
    // the count, then up to kApp2MaxPiece profile bytes; every segment but the
    // last holds kApp2MaxContent bytes. Nothing is written without a profile.
    virtual bool GetProfileSegment(const CColorSpaceDesc& space, CFile& out, bool raw);
    // Segments for a JPEG path, the raw profile for any other.
    virtual bool GetProfileSegmentForFile(const CColorSpaceDesc& space, CFile& out, const std::string& path);
    // Empty when the library has no profile for the space.
    virtual bool GetProfile(const CColorSpaceDesc& space, CIccProfileData& out);

    // The chosen display or printer profile when it is an existing file; else
    // empty, which the matcher takes as sRGB.
    virtual void GetMonitorProfileFolder(std::string& out, const std::string& baseFolder, const std::string& chosen);
    // "<base>Profiles/CameraProfiles/<model>_jprof.icc" for kinds 0 and 1,
    // "..._rprof.icc" for kind 2, when that file exists; else empty. The model
    // comes from the picture: it is trimmed, and one naming another folder is refused.
    virtual void GetCameraProfilePath(std::string& out, const std::string& baseFolder, const std::string& model,
                                      int fileKind);

    void SetProgress(ProgressProc progress, intptr_t user);
    int GetResult() const { return m_result; }

    // The image descriptor for a pixel type; false for types the library does not take.
    static bool FillImageDescriptor(pelkor::ImageDescriptor& out, int pixelType, void* bits, int width, int height,
                                    int64_t stride);
    void FillColorSpaces(pelkor::ColourSpaces& out, const CColorSpaceDesc& source,
                         const CColorSpaceDesc& destination);

    // Engines alive in the process.
    static int GetLiveCount();

private:
    bool Apply(pelkor::Intent intent, const CColorSpaceDesc& source, const CColorSpaceDesc& destination,
               int pixelType, void* bits, int width, int height, int64_t stride);

    ProgressProc m_progress = nullptr;
    intptr_t m_progressUser = 0;
    int m_result = 0;
    std::string m_sourcePath;
    std::string m_destinationPath;
};

// The library's code of a colour-space code: 1-5 stay, 6-18 add 10, 19-22
// add 13, anything else 0.
int ToPelkorColorSpace(int code);
// From string 27: "JP" 0, "US" 1, "DE" 2, "FR" 3, "ES" 4, "CH" 5; any other 1.
int GetRegionCode();
