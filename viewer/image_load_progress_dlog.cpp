#include "viewer/image_load_progress_dlog.h"

#include "imaging/colour_settings.h"
#include "imaging/dib_bitmap.h"
#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/metadata_file_kind.h"
#include "platform/file.h"
#include "platform/framework/controls.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

enum : WORD { kTagModel = 272 };

} // namespace

CImageLoadProgressDlog::CImageLoadProgressDlog(CWnd* pParent, UINT nIDTemplate, const std::string& pluginFolder,
                                               BOOL bMatchColors, UINT nOption4, const std::string& path,
                                               CImageBuffer* pTarget, uintptr_t nUserValue, UINT nOption1,
                                               BOOL bCancellable)
    : CProgressDlog(nIDTemplate, ImageLoadWorker, pParent), m_strPath(path), m_pTarget(pTarget),
      m_bMatchColors(bMatchColors), m_bCancellable(bCancellable), m_nOption1(nOption1),
      m_importer(pluginFolder + "Importer/*.gim"), m_matcher(&m_engine)
{
    m_importer.SetUserValue(nUserValue);
    m_importer.SetOptionFlag4(nOption4);
    // The picture's metadata: what kind of file, which camera, which profile.
    m_nMetadataKind = GetMetadataFileKind(path);
    CFile file;
    if (file.Open(path, CFile::modeRead)) {
        CExifFile exif;
        exif.Attach(&file, m_nMetadataKind);
        const CExifEntry* model = exif.FindEntry(kTagModel, 1, 0);
        m_strCameraModel = model ? model->GetText() : std::string();
        auto profile = exif.GetColorProfile();
        if (!profile.empty())
            m_profile.Set(profile.data(), profile.size());
        file.Close();
    }
}

CImageLoadProgressDlog::~CImageLoadProgressDlog() = default;

BOOL CImageLoadProgressDlog::OnInitDialog()
{
    CProgressDlog::OnInitDialog();
    m_importer.SetProgressCallback(ImageLoadProgressCallback, uintptr_t(this));

    CColorSpaceDesc workingSource;
    m_matcher.BuildInputPair(m_source, m_working, m_profile, m_nMetadataKind, m_strCameraModel);
    ColorSettings settings;
    GetColorSettings(settings);
    m_matcher.BuildOutputPair(workingSource, m_display, m_profile, settings.displayProfile);
    m_strSourcePath = m_source.GetPath();
    m_strWorkingPath = m_working.GetPath();
    m_strDisplayPath = m_display.GetPath();
    m_sourceRecord.colorSpace = uint32_t(m_source.GetKind());
    m_sourceRecord.profilePath = m_strSourcePath.empty() ? nullptr : m_strSourcePath.c_str();
    m_sourceRecord.profileBytes = m_source.HasData() ? m_source.GetProfileData().GetBytes().data() : nullptr;
    m_sourceRecord.profileSize = m_source.HasData() ? uint32_t(m_source.GetProfileData().GetSize()) : 0;
    m_workingRecord.colorSpace = uint32_t(m_working.GetKind());
    m_workingRecord.profilePath = m_strWorkingPath.empty() ? nullptr : m_strWorkingPath.c_str();
    m_displayRecord.colorSpace = uint32_t(m_display.GetKind());
    m_displayRecord.profilePath = m_strDisplayPath.empty() ? nullptr : m_strDisplayPath.c_str();
    const bool input = m_matcher.IsInputMatchingOn();
    m_importer.SetColorRecords(input ? &m_sourceRecord : nullptr, input ? &m_workingRecord : nullptr,
                               m_matcher.IsDisplayMatchingOn() ? &m_displayRecord : nullptr);
    m_importer.SetOptionFlag1(m_nOption1);

    std::string name = LastNameOf(m_strPath);
    std::string fmt(res::String(IDS_OPENING_IMAGE));
    std::string status;
    if (!fmt.empty()) {
        std::vector<char> buf(fmt.size() + name.size() + 1);
        std::snprintf(buf.data(), buf.size(), fmt.c_str(), name.c_str());
        status = buf.data();
    } else {
        status = std::string(res::String(IDS_PROCESSING));
    }
    SetStatusText(status);
    if (CWnd* button = GetDlgItem(IDCANCEL))
        button->ShowWindow(m_bCancellable ? SW_SHOW : SW_HIDE);
    return FALSE;
}

UINT CImageLoadProgressDlog::ImageLoadWorker(void* pParam)
{
    static_cast<CImageLoadProgressDlog*>(pParam)->Load();
    return 0;
}

void CImageLoadProgressDlog::Load()
{
    bool match = m_bMatchColors && m_matcher.IsInputMatchingOn() && !m_importer.MatchesColorsItself(m_strPath);
    if (match) {
        m_matcher.SetProgressCallback(MatcherProgress, intptr_t(this));
        m_nScale = 50; // loading fills the first half of the bar
    }
    bool loaded = false;
    if (m_pTarget) {
        loaded = m_importer.TryDecodeToBuffer(m_strPath, *m_pTarget, m_pDecodeBound, -1) && m_pTarget->IsValid();
    } else if (m_pTargetDib) {
        loaded = m_importer.TryDecodeToDib(m_strPath, *m_pTargetDib, nullptr, -1) && m_pTargetDib->IsValid();
    } else {
        return;
    }
    m_nResultCode = m_importer.ResultCode();
    // A load that brings no picture failed, whatever the host answered.
    if (loaded && m_nResultCode != 0)
        loaded = false;
    // A plug-in that matched the colours itself must not have them matched again.
    if (!match || !loaded || m_importer.ColorsMatchedByPlugin() || m_bCancel) {
        m_bLoaded = loaded && !m_bCancel;
        return;
    }
    SetStatusTextId(IDS_MATCHING);
    m_nOffset = 50;
    m_nScale = 100;
    int ok = 0;
    if (m_pTarget)
        ok = m_matcher.MatchForInput(m_profile, m_pTarget->GetPixelType(), m_nMetadataKind, m_strCameraModel,
                                     m_pTarget->GetBits(), m_pTarget->GetWidth(), m_pTarget->GetHeight(),
                                     int64_t(m_pTarget->GetStride()));
    else
        ok = m_matcher.MatchForInput(m_profile, m_pTargetDib->GetPixelType(), m_nMetadataKind, m_strCameraModel,
                                     m_pTargetDib->GetBits(), int(m_pTargetDib->GetSize().cx), int(m_pTargetDib->GetSize().cy),
                                     m_pTargetDib->GetStride());
    m_bLoaded = ok != 0 && !m_bCancel;
}

void CImageLoadProgressDlog::BarFor(int32_t position, int32_t total, int offset, int scale, int& upper, int& barPos)
{
    int64_t t = std::max<int32_t>(total, 0);
    int64_t up = scale > 0 ? t * 100 / scale : t;
    int64_t pos = int64_t(std::max<int32_t>(position, 0)) + int64_t(offset) * t / 100;
    upper = int(std::min<int64_t>(up, 0x7FFFFFFF));
    barPos = int(std::min<int64_t>(pos, 0x7FFFFFFF));
}

int CImageLoadProgressDlog::OnProgress(int32_t position, int32_t total)
{
    int upper = 0, pos = 0;
    BarFor(position, total, m_nOffset, m_nScale, upper, pos);
    m_nBarUpper = upper;
    m_nBarPos = pos;
    m_bBarVisible = !(position == 0 && m_nOffset == 0);
    m_bProgressSeen = true;
    RequestRefresh();
    return m_bCancel ? 1 : 0;
}

int32_t CImageLoadProgressDlog::ImageLoadProgressCallback(int32_t position, int32_t total, uintptr_t user)
{
    auto* job = reinterpret_cast<CImageLoadProgressDlog*>(user);
    return job ? job->OnProgress(position, total) : 0;
}

int CImageLoadProgressDlog::MatcherProgress(int done, int total, intptr_t user)
{
    auto* job = reinterpret_cast<CImageLoadProgressDlog*>(user);
    return job ? job->OnProgress(done, total) : 0;
}

void CImageLoadProgressDlog::DoDataExchange(CDataExchange* pDX)
{
    CProgressDlog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_wndProgress);
}

void CImageLoadProgressDlog::OnRefresh()
{
    if (m_wndProgress.m_hWnd) {
        m_wndProgress.SetRange32(0, m_nBarUpper);
        m_wndProgress.SetPos(m_nBarPos);
        m_wndProgress.ShowWindow(m_bBarVisible ? SW_SHOW : SW_HIDE);
    }
    if (m_bProgressSeen && !m_bCancel)
        if (CWnd* button = GetDlgItem(IDCANCEL))
            button->EnableWindow(m_bCancellable);
}

INT_PTR CImageLoadProgressDlog::DoModal()
{
    CProgressDlog::DoModal();
    // Cancel pressed after the last byte was read, while the box was still up,
    // still cancels: the user was told the picture would not come.
    return m_bLoaded && !m_bCancel ? IDOK : IDCANCEL;
}
