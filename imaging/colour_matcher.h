#pragma once

#include "imaging/colour_space_desc.h"

#include <cstdint>
#include <string>

class CPelkorEngine;

// Decides for one picture whether and how to colour-match it, and hands the
// work to the engine. Made per job: it copies the switches and the working
// space from the settings when it is made, so a settings change does not
// reach a job in progress. Every match answers 0 on failure.
class CColorMatcher {
public:
    // (done, total, user value); nonzero asks to stop.
    using ProgressProc = int (*)(int done, int total, intptr_t user);

    explicit CColorMatcher(CPelkorEngine* engine);
    virtual ~CColorMatcher() = default;

    bool IsInputMatchingOn() const { return m_doInput != 0; }
    bool IsDisplayMatchingOn() const { return m_doInput && m_doDisplay; }
    bool IsPrintMatchingOn() const { return m_doInput && m_doPrint; }

    // Hands the callback to the engine for its transforms.
    void SetEngineArgs(ProgressProc progress, intptr_t user);
    // The callback told when no transform is run.
    void SetProgressCallback(ProgressProc progress, intptr_t user);

    // The profile that describes the picture's colours after loading.
    void GetInputProfile(CIccProfileData& out, const std::string& picturePath);

    // In place into the working space, from the embedded profile, else the
    // camera's profile file, else sRGB.
    int MatchForInput(const CIccProfileData& embedded, int pixelType, int fileKind, const std::string& cameraModel,
                      void* bits, int width, int height, int64_t stride);
    // In place from the working space to the screen or the printer.
    int MatchForDisplay(const CIccProfileData& profile, int pixelType, void* bits, int width, int height,
                        int64_t stride);
    int MatchForPrinter(const CIccProfileData& profile, int pixelType, void* bits, int width, int height,
                        int64_t stride);

    // The pairs the matches use.
    void BuildInputPair(CColorSpaceDesc& source, CColorSpaceDesc& destination, const CIccProfileData& embedded,
                        int fileKind, const std::string& cameraModel);
    void BuildOutputPair(CColorSpaceDesc& source, CColorSpaceDesc& destination, const CIccProfileData& profile,
                         const std::string& deviceProfile);

    const CColorSpaceDesc& GetWorkingSpace() const { return m_workingSpace; }

private:
    CPelkorEngine* m_engine;
    int m_doInput = 0;
    int m_doDisplay = 0;
    int m_doPrint = 0;
    CColorSpaceDesc m_workingSpace;
    std::string m_displayProfile;
    std::string m_printerProfile;
    std::string m_profilesBase;
    intptr_t m_progressUser = 0;
    ProgressProc m_progress = nullptr;
};
