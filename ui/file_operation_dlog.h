#pragma once

#include "ui/button_ex.h"
#include "ui/progress_dlog.h"
#include "platform/framework/controls.h"

#include <cstdint>
#include <string>

class CFileOperation;
class IFileOperationProgress;

enum : UINT {
    IDD_PROGRESS_FILES = 3014,
    IDC_PROGRESS_FILE = 2311,
    IDC_PROGRESS_COUNTS = 2312,
};

// The progress window of copying, moving and deleting: the job's title, the
// file it is at, files (and bytes) done of all, the time left, a bar and
// Cancel. Cancel stops the job at the next file or block of a large file; a
// file being copied is removed, the ones finished stay.
class CFileOperationProgressDlog : public CProgressDlog {
public:
    // The job must not have been started; it runs on the dialog's thread.
    CFileOperationProgressDlog(CFileOperation& job, UINT nTitleId, CWnd* pParent);

    BOOL OnInitDialog() override;
    void OnCancel() override;

    // "12 of 240 files, 3.1 MB of 80.0 MB"; without bytes "12 of 240 files".
    static std::string FormatCounts(bool withBytes, uint64_t doneFiles, uint64_t totalFiles, uint64_t doneBytes,
                                    uint64_t totalBytes);
    // The bar's position of kBarSteps for done of total (files when there are no units).
    static int BarPosition(uint64_t doneUnits, uint64_t totalUnits, uint64_t doneFiles, uint64_t totalFiles);
    static constexpr int kBarSteps = 1000;

protected:
    void OnTimer(UINT_PTR nIDEvent) override;
    void DoDataExchange(CDataExchange* pDX) override;

    CButtonEx m_wndCancel;
    CProgressCtrl m_wndProgress;

private:
    static UINT FileOperationWorker(void* pParam);
    void ShowProgress();

    CFileOperation& m_job;
    UINT m_nTitleId;
    std::string m_strShownPath;
};

// Makes the file operations of util/shell_util run behind this dialog (the
// application does it at start-up); returns the window installed before.
IFileOperationProgress* InstallFileOperationProgressDlog();
