#include "ui/file_operation_dlog.h"

#include "util/shell_util.h"
#include "util/string_util.h"
#include "platform/file_operation.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace {


void RegisterFileProgressTemplate()
{
    static const bool once = [] {
        constexpr int w = 235, h = 80;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, w, h);
        t.title = "Progress";
        t.items.push_back({"STATIC", "", IDC_PROGRESS_STATUS, WS_CHILD | WS_VISIBLE, CRect(7, 7, w - 7, 17)});
        t.items.push_back({"STATIC", "", IDC_PROGRESS_FILE, WS_CHILD | WS_VISIBLE, CRect(7, 19, w - 7, 28)});
        t.items.push_back({"STATIC", "", IDC_PROGRESS_COUNTS, WS_CHILD | WS_VISIBLE, CRect(7, 30, w - 7, 39)});
        t.items.push_back({"STATIC", "", IDC_PROGRESS_REMAINING, WS_CHILD | WS_VISIBLE, CRect(7, 41, w - 7, 50)});
        t.items.push_back({"msctls_progress32", "", IDC_PROGRESS_BAR, WS_CHILD | WS_VISIBLE,
                           CRect(7, h - 25, w - 62, h - 17)});
        t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP,
                           CRect(w - 55, h - 28, w - 7, h - 15)});
        RegisterDialogTemplate(IDD_PROGRESS_FILES, t);
        return true;
    }();
    (void)once;
}

class CProgressDlogRunner : public IFileOperationProgress {
public:
    void RunJob(CFileOperation& job, CWnd* owner, UINT titleId) override
    {
        CFileOperationProgressDlog dlg(job, titleId, owner);
        dlg.DoModal();
    }
};

} // namespace

CFileOperationProgressDlog::CFileOperationProgressDlog(CFileOperation& job, UINT nTitleId, CWnd* pParent)
    : CProgressDlog(IDD_PROGRESS_FILES, FileOperationWorker, pParent), m_job(job), m_nTitleId(nTitleId)
{
    RegisterFileProgressTemplate();
}

std::string CFileOperationProgressDlog::FormatCounts(bool withBytes, uint64_t doneFiles, uint64_t totalFiles,
                                                     uint64_t doneBytes, uint64_t totalBytes)
{
    const std::string done = std::to_string(doneFiles), total = std::to_string(totalFiles);
    if (!withBytes)
        return FormatWithStrings(res::String(IDS_FILES), {done, total});
    return FormatWithStrings(res::String(IDS_FILES_AND_BYTES),
                             {done, total, FormatSizeText(doneBytes), FormatSizeText(totalBytes)});
}

int CFileOperationProgressDlog::BarPosition(uint64_t doneUnits, uint64_t totalUnits, uint64_t doneFiles,
                                            uint64_t totalFiles)
{
    // A job of empty files moves the bar by files.
    const uint64_t done = totalUnits ? doneUnits : doneFiles, total = totalUnits ? totalUnits : totalFiles;
    if (total == 0)
        return 0;
    return int(double(std::min(done, total)) / double(total) * kBarSteps);
}

BOOL CFileOperationProgressDlog::OnInitDialog()
{
    CProgressDlog::OnInitDialog();
    m_wndProgress.SetRange32(0, kBarSteps);
    SetStatusText(std::string(res::String(m_nTitleId)));
    // Every file operation may be cancelled, from the start.
    m_wndCancel.EnableWindow(TRUE);
    return FALSE;
}

UINT CFileOperationProgressDlog::FileOperationWorker(void* pParam)
{
    static_cast<CFileOperationProgressDlog*>(pParam)->m_job.Run();
    return 0;
}

void CFileOperationProgressDlog::OnCancel()
{
    CProgressDlog::OnCancel();
    if (m_bCancel)
        m_job.Cancel();
}

void CFileOperationProgressDlog::OnTimer(UINT_PTR nIDEvent)
{
    ShowProgress();
    CProgressDlog::OnTimer(nIDEvent);
}

void CFileOperationProgressDlog::ShowProgress()
{
    if (!m_hWnd || !m_job.Counted())
        return;
    const uint64_t doneUnits = m_job.DoneUnits(), totalUnits = m_job.TotalUnits();
    const uint64_t doneFiles = m_job.DoneFiles(), totalFiles = m_job.TotalFiles();
    const int position = BarPosition(doneUnits, totalUnits, doneFiles, totalFiles);
    // The base estimates the time left from these.
    m_nTotal = kBarSteps;
    m_nDone = uint32_t(position);
    if (m_wndProgress.m_hWnd)
        m_wndProgress.SetPos(position);

    const bool withBytes = m_job.Operation() != FO_DELETE;
    const std::string counts = FormatCounts(withBytes, doneFiles, totalFiles, doneUnits, totalUnits);
    if (GetDlgItemText(IDC_PROGRESS_COUNTS) != counts)
        SetDlgItemText(IDC_PROGRESS_COUNTS, counts);

    const std::string path = m_job.CurrentPath();
    if (path.empty() || path == m_strShownPath)
        return;
    m_strShownPath = path;
    if (CWnd* label = GetDlgItem(IDC_PROGRESS_FILE)) {
        const std::string name = LastNameOf(path);
        CRect r;
        label->GetClientRect(&r);
        // A long name keeps its start and its extension.
        const QString shown =
            QFontMetrics(label->m_hWnd->font()).elidedText(QString::fromStdString(name), Qt::ElideMiddle, r.Width());
        label->SetWindowText(shown.toStdString());
    }
}

void CFileOperationProgressDlog::DoDataExchange(CDataExchange* pDX)
{
    CProgressDlog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_wndProgress);
}

IFileOperationProgress* InstallFileOperationProgressDlog()
{
    static CProgressDlogRunner runner;
    return SetFileOperationProgress(&runner);
}
