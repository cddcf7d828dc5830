#pragma once

#include "ui/button_ex.h"
#include "ui/progress_dlog.h"
#include "imaging/image_exporter.h"
#include "platform/exceptions.h"

#include <atomic>
#include <optional>
#include <string>

class CFile;
class CImageBuffer;

// Writes one picture to a file through an exporter plug-in behind the
// progress dialog. The exporter writes a temporary file beside the target
// (with the target's extension, which chooses the exporter); only a complete
// save replaces the target, so a failed or cancelled save leaves the user's
// file as it was.
class CImageSaveProgressDlog : public CProgressDlog {
public:
    // The metadata files are rewound here and read on the worker thread;
    // the caller keeps them until DoModal returns.
    CImageSaveProgressDlog(CWnd* pParent, CImageBuffer* pImage, const std::string& exporterPattern,
                           const std::string& displayPath, CFile* pMeta1, CFile* pMeta2, CFile* pMeta3,
                           const std::string& targetPath, int nIndex, int nCount, BOOL bToggleBar,
                           UINT nStatusStringId);
    ~CImageSaveProgressDlog() override;

    // IDOK when the file was written; IDCANCEL when cancelled or failed, after
    // the failure was shown.
    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;

    UINT GetErrorId() const { return m_nErrorId; }
    const std::optional<CFileException>& GetHeldException() const { return m_heldException; }

    // The status line: the string's "%d" and "%s" filled with index, count and
    // the file name in the order the string names them.
    static std::string FormatSavingStatus(const std::string& format, int nIndex, int nCount, const std::string& name);

protected:
    void OnRefresh() override;
    void DoDataExchange(CDataExchange* pDX) override;

    CButtonEx m_wndCancel;
    CProgressCtrl m_wndProgress;

private:
    static UINT ImageSaveWorker(void* pParam);
    static int32_t ImageSaveProgressCallback(int32_t position, int32_t total, uintptr_t user);
    void Save();
    void SetBar(int upper, int position);

    CImageBuffer* m_pImage;
    CImageExporter m_exporter;
    std::string m_strDisplayPath;
    CFile* m_pMeta[3];
    std::string m_strTargetPath;
    int m_nIndex;
    int m_nCount;
    BOOL m_bToggleBar;
    UINT m_nStatusStringId;

    UINT m_nErrorId = 0;
    std::optional<CFileException> m_heldException;

    // Written by the worker, shown by the main thread.
    std::atomic<int> m_nBarUpper{100};
    std::atomic<int> m_nBarPos{0};
    std::atomic<bool> m_bBarVisible{true};
    std::atomic<bool> m_bCancelEnabled{false};
};
