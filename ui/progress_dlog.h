#pragma once

#include "ui/dialog_ex.h"
#include "platform/framework/message_box.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CProgressDlog;

// The job: runs on the dialog's own thread with the dialog as its argument.
using ProgressWorkerProc = UINT (*)(void* pParam);

enum : UINT {
    IDD_PROGRESS_LOAD = 913,
    IDD_PROGRESS_WIDE = 3012,
    IDD_PROGRESS_SAVE = 3013,
    IDC_PROGRESS_STATUS = 2043,
    IDC_PROGRESS_REMAINING = 2310,
    IDC_PROGRESS_BAR = 2228,
};

// The modal dialog behind which a long job runs on a worker thread. The
// dialog starts the job when it first shows, polls the job's flags and
// counters every 200 ms, offers Cancel, estimates the time left for a long
// job, ends itself once the job is done, and joins the thread before DoModal
// returns.
//
// What the worker may touch: read m_bCancel; write m_nTotal and m_nDone;
// SetStatusText / SetStatusTextId; the job's own values behind
// RequestRefresh. The dialog learns that the job is over when its procedure
// returns (or throws): results must be stored by then.
class CProgressDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    CProgressDlog(UINT nIDTemplate, ProgressWorkerProc pfnWorker, CWnd* pParent);
    ~CProgressDlog() override;

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    BOOL DestroyWindow() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // From any thread; the text reaches the window on the main thread.
    virtual void SetStatusText(const std::string& text);
    virtual void SetStatusTextId(UINT nStringId);

    // The remaining time of a job that took elapsedMs for done of total
    // steps, in milliseconds, computed in 64 bits and clamped to INT32_MAX.
    static int64_t RemainingMs(uint32_t elapsedMs, uint32_t total, uint32_t done);
    // The label for a remaining time: whole minutes upward above 50 seconds,
    // else the next of 5, 10, 15, 20, 25, 30, 40 and 50 seconds.
    static std::string FormatRemaining(int64_t remainingMs);
    // The top-left corner the next progress dialog opens at; -99999 when none.
    static POINT GetLastPosition();
    static void ResetLastPosition();

    std::atomic<BOOL> m_bCancel{FALSE};
    std::atomic<BOOL> m_bDone{FALSE};
    std::atomic<uint32_t> m_nTotal{0};
    std::atomic<uint32_t> m_nDone{0};

protected:
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void ShowEstimate();
    // Asks for OnRefresh on the main thread; several requests make one call.
    void RequestRefresh();
    // Brings the job's controls up to date with the values it stored (main thread).
    virtual void OnRefresh();
    // TRUE when the job may be cancelled: its Cancel button is there and shown.
    virtual BOOL CanCancel();
    void StartWorker();

    ProgressWorkerProc m_pfnWorker;
    std::thread m_thread;
    BOOL m_bStarted = FALSE;
    std::atomic<BOOL> m_bFailed{FALSE};
    BOOL m_bInModal = FALSE;
    DWORD m_dwStartTick = 0;
    int m_nLastEstimate = 0x7FFFFFFF;
    BOOL m_bEstimating = FALSE;

private:
    void ApplyStatusText();
    std::mutex m_textLock;
    std::string m_strPendingText;
    BOOL m_bTextPending = FALSE;
    std::atomic<bool> m_bRefreshPosted{false};
    // Cleared when the dialog goes, so that a refresh still queued does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
