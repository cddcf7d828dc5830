#pragma once

#include "ui/button_ex.h"
#include "ui/progress_dlog.h"
#include "imaging/colour_matcher.h"
#include "imaging/colour_space_desc.h"
#include "imaging/icc_profile_data.h"
#include "imaging/image_importer.h"
#include "imaging/pelkor_engine.h"
#include "imaging/plugin_api.h"

#include <atomic>
#include <string>

class CDibBitmap;
class CImageBuffer;

// Loads one picture file through the importer plug-ins behind the progress
// dialog, into an image buffer or a bitmap, and when asked converts it into
// the working colour space.
class CImageLoadProgressDlog : public CProgressDlog {
public:
    // pluginFolder ends in "/"; the importers are found as Importer/*.gim below it.
    // Also reads the file's metadata (kind, camera model, colour profile).
    CImageLoadProgressDlog(CWnd* pParent, UINT nIDTemplate, const std::string& pluginFolder, BOOL bMatchColors,
                           UINT nOption4, const std::string& path, CImageBuffer* pTarget, uintptr_t nUserValue,
                           UINT nOption1, BOOL bCancellable);
    ~CImageLoadProgressDlog() override;

    // IDOK when the picture was loaded (and matched, when asked); else IDCANCEL.
    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;

    // Instead of a buffer; the buffer wins when both are given.
    CDibBitmap* m_pTargetDib = nullptr;
    // The size the caller fits the picture into: an importer may then decode
    // it reduced, never below what the fitted picture needs.
    const QrDecodeRect* m_pDecodeBound = nullptr;

    int GetResultCode() const { return m_nResultCode; }
    BOOL IsLoaded() const { return m_bLoaded; }
    int GetMetadataKind() const { return m_nMetadataKind; }
    const std::string& GetCameraModel() const { return m_strCameraModel; }

    // The bar's range and position for a step of the importer or the matcher,
    // with the job's share of the bar: offset and scale in percent.
    static void BarFor(int32_t position, int32_t total, int offset, int scale, int& upper, int& barPos);

protected:
    void OnRefresh() override;
    void DoDataExchange(CDataExchange* pDX) override;

    CButtonEx m_wndCancel;
    CProgressCtrl m_wndProgress;

private:
    static UINT ImageLoadWorker(void* pParam);
    static int32_t ImageLoadProgressCallback(int32_t position, int32_t total, uintptr_t user);
    static int MatcherProgress(int done, int total, intptr_t user);
    int OnProgress(int32_t position, int32_t total);
    void Load();

    std::string m_strPath;
    CImageBuffer* m_pTarget;
    BOOL m_bMatchColors;
    BOOL m_bCancellable;
    UINT m_nOption1;
    CImageImporter m_importer;
    CPelkorEngine m_engine;
    CColorMatcher m_matcher;
    int m_nMetadataKind = 3;
    std::string m_strCameraModel;
    CIccProfileData m_profile;
    CColorSpaceDesc m_source, m_working, m_display;
    std::string m_strSourcePath, m_strWorkingPath, m_strDisplayPath;
    QrSourceColorRecord m_sourceRecord{};
    QrSpaceRecord m_workingRecord{};
    QrSpaceRecord m_displayRecord{};
    std::atomic<int> m_nOffset{0};
    std::atomic<int> m_nScale{100};

    BOOL m_bLoaded = FALSE;
    int m_nResultCode = 0;

    std::atomic<int> m_nBarUpper{100};
    std::atomic<int> m_nBarPos{0};
    std::atomic<bool> m_bBarVisible{false};
    std::atomic<bool> m_bProgressSeen{false};
};
