#include "imaging/colour_matcher.h"

#include "imaging/colour_settings.h"
#include "imaging/pelkor_engine.h"

#include <mutex>

CColorMatcher::CColorMatcher(CPelkorEngine* engine) : m_engine(engine)
{
    ColorSettings settings;
    GetColorSettings(settings);
    m_doInput = settings.doInputCM;
    m_doDisplay = settings.doDispCM;
    m_doPrint = settings.doPrintCM;
    m_workingSpace.SetKind(settings.colorSpace);
    m_workingSpace.SetPath(settings.colorSpaceProfile);
    // Device profiles are copied too, so that the whole job sees one settings record.
    m_displayProfile = settings.displayProfile;
    m_printerProfile = settings.printerProfile;
    m_profilesBase = GetColorProfilesBase();
}

void CColorMatcher::SetEngineArgs(ProgressProc progress, intptr_t user)
{
    if (m_engine)
        m_engine->SetProgress(progress, user);
}

void CColorMatcher::SetProgressCallback(ProgressProc progress, intptr_t user)
{
    m_progress = progress;
    m_progressUser = user;
}

void CColorMatcher::GetInputProfile(CIccProfileData& out, const std::string& picturePath)
{
    out.Free();
    if (!m_engine)
        return;
    if (!m_doInput) {
        out.LoadFromFile(picturePath);
        return;
    }
    if (m_workingSpace.IsSpecial() && out.LoadFromFile(picturePath))
        return;
    out.Free();
    m_engine->GetProfile(m_workingSpace, out);
}

void CColorMatcher::BuildInputPair(CColorSpaceDesc& source, CColorSpaceDesc& destination,
                                   const CIccProfileData& embedded, int fileKind, const std::string& cameraModel)
{
    source.Reset();
    if (embedded.HasData()) {
        source.SetProfileData(embedded);
    } else {
        std::string path;
        if (m_engine)
            m_engine->GetCameraProfilePath(path, m_profilesBase, cameraModel, fileKind);
        if (!path.empty())
            source.SetPath(path);
        else
            source.SetKind(kColorSpaceSrgb);
    }
    destination = m_workingSpace;
}

void CColorMatcher::BuildOutputPair(CColorSpaceDesc& source, CColorSpaceDesc& destination,
                                    const CIccProfileData& profile, const std::string& deviceProfile)
{
    source.Reset();
    source.SetKind(m_workingSpace.GetKind());
    if (m_workingSpace.HasPath())
        source.SetPath(m_workingSpace.GetPath());
    else if (m_workingSpace.IsSpecial() && profile.HasData())
        source.SetProfileData(profile);
    destination.Reset();
    std::string path;
    if (m_engine)
        m_engine->GetMonitorProfileFolder(path, m_profilesBase, deviceProfile);
    if (!path.empty())
        destination.SetPath(path);
    else
        destination.SetKind(kColorSpaceSrgb);
}

int CColorMatcher::MatchForInput(const CIccProfileData& embedded, int pixelType, int fileKind,
                                 const std::string& cameraModel, void* bits, int width, int height, int64_t stride)
{
    if (!m_engine)
        return 0;
    CColorSpaceDesc source;
    CColorSpaceDesc destination;
    BuildInputPair(source, destination, embedded, fileKind, cameraModel);
    if (m_doInput && !m_workingSpace.IsSpecial()) {
        std::lock_guard<std::mutex> lock(ColorEngineLock());
        return m_engine->ApplyOp1(source, destination, pixelType, bits, width, height, stride) ? 1 : 0;
    }
    if (m_progress)
        m_progress(100, 100, m_progressUser);
    return 1;
}

int CColorMatcher::MatchForDisplay(const CIccProfileData& profile, int pixelType, void* bits, int width, int height,
                                   int64_t stride)
{
    if (!IsDisplayMatchingOn())
        return 1;
    if (!m_engine)
        return 0;
    CColorSpaceDesc source;
    CColorSpaceDesc destination;
    BuildOutputPair(source, destination, profile, m_displayProfile);
    std::lock_guard<std::mutex> lock(ColorEngineLock());
    return m_engine->ApplyOp17(source, destination, pixelType, bits, width, height, stride) ? 1 : 0;
}

int CColorMatcher::MatchForPrinter(const CIccProfileData& profile, int pixelType, void* bits, int width, int height,
                                   int64_t stride)
{
    if (!IsPrintMatchingOn())
        return 1;
    if (!m_engine)
        return 0;
    CColorSpaceDesc source;
    CColorSpaceDesc destination;
    BuildOutputPair(source, destination, profile, m_printerProfile);
    std::lock_guard<std::mutex> lock(ColorEngineLock());
    return m_engine->ApplyOp18(source, destination, pixelType, bits, width, height, stride) ? 1 : 0;
}
