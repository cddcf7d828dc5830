#include "ui/progress_dlog.h"

#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "platform/framework/system_metrics.h"
#include "platform/gui_request.h"
#include "platform/posted_call.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>
#include <cstdio>
#include <vector>

BEGIN_MESSAGE_MAP(CProgressDlog, CDialogEx)
END_MESSAGE_MAP()

namespace {

constexpr int kNoPosition = -99999;
constexpr UINT_PTR kPollTimer = 1, kEstimateTimer = 2;

POINT g_lastPosition{kNoPosition, kNoPosition};

DlgTemplate ProgressTemplate(int height, const char* status)
{
    DlgTemplate t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.rect = CRect(0, 0, 195, height);
    t.title = "Progress";
    t.items.push_back({"STATIC", status, IDC_PROGRESS_STATUS, WS_CHILD | WS_VISIBLE, CRect(7, 7, 188, 17)});
    t.items.push_back({"STATIC", "", IDC_PROGRESS_REMAINING, WS_CHILD | WS_VISIBLE, CRect(7, 19, 188, 28)});
    t.items.push_back({"msctls_progress32", "", IDC_PROGRESS_BAR, WS_CHILD | WS_VISIBLE, CRect(7, height - 25, 134, height - 17)});
    t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP,
                       CRect(140, height - 28, 188, height - 15)});
    return t;
}

void RegisterProgressTemplates()
{
    static const bool once = [] {
        RegisterDialogTemplate(IDD_PROGRESS_LOAD, ProgressTemplate(57, "Loading..."));
        RegisterDialogTemplate(IDD_PROGRESS_WIDE, ProgressTemplate(63, ""));
        RegisterDialogTemplate(IDD_PROGRESS_SAVE, ProgressTemplate(57, "Loading..."));
        return true;
    }();
    (void)once;
}

std::string FormatInt(UINT nStringId, int64_t value)
{
    std::string fmt(res::String(nStringId));
    if (fmt.empty())
        return {};
    std::vector<char> buf(fmt.size() + 32);
    std::snprintf(buf.data(), buf.size(), fmt.c_str(), int(value));
    return buf.data();
}

// Each running worker's requests to the GUI thread (a question, a window's
// answer), cancelled before the worker is joined, so that a join never waits
// on a worker that waits for the GUI thread.
std::mutex g_workerRequestsLock;
std::map<const CProgressDlog*, std::shared_ptr<CGuiRequests>> g_workerRequests;

std::shared_ptr<CGuiRequests> WorkerRequests(const CProgressDlog* dlg, bool make)
{
    std::lock_guard<std::mutex> g(g_workerRequestsLock);
    auto it = g_workerRequests.find(dlg);
    if (it != g_workerRequests.end())
        return it->second;
    if (!make)
        return nullptr;
    return g_workerRequests[dlg] = std::make_shared<CGuiRequests>();
}

// Wakes a worker waiting for the GUI thread, joins it and forgets its requests.
void StopWaitingAndJoin(const CProgressDlog* dlg, std::thread& worker)
{
    if (std::shared_ptr<CGuiRequests> requests = WorkerRequests(dlg, false))
        requests->Cancel();
    worker.join();
    std::lock_guard<std::mutex> g(g_workerRequestsLock);
    g_workerRequests.erase(dlg);
}

} // namespace

CProgressDlog::CProgressDlog(UINT nIDTemplate, ProgressWorkerProc pfnWorker, CWnd* pParent)
    : CDialogEx(nIDTemplate, pParent), m_pfnWorker(pfnWorker)
{
    RegisterProgressTemplates();
}

CProgressDlog::~CProgressDlog()
{
    // A dialog that never ran its loop may still hold a started thread.
    if (m_thread.joinable()) {
        m_bCancel = TRUE;
        StopWaitingAndJoin(this, m_thread);
    }
    *m_alive = false;
}

POINT CProgressDlog::GetLastPosition() { return g_lastPosition; }

void CProgressDlog::ResetLastPosition() { g_lastPosition = POINT{kNoPosition, kNoPosition}; }

int64_t CProgressDlog::RemainingMs(uint32_t elapsedMs, uint32_t total, uint32_t done)
{
    if (done == 0 || done >= total)
        return 0;
    // Both factors fit 32 bits, so their product fits 64 unsigned bits.
    uint64_t remaining = uint64_t(elapsedMs) * uint64_t(total - done) / done;
    return int64_t(std::min<uint64_t>(remaining, 0x7FFFFFFF));
}

std::string CProgressDlog::FormatRemaining(int64_t remainingMs)
{
    int64_t s = remainingMs / 1000;
    if (s > 50)
        return FormatInt(IDS_MINUTES_LEFT, (s + 59) / 60);
    static const int steps[] = {5, 10, 15, 20, 25, 30, 40, 50};
    int shown = 50;
    for (int step : steps)
        if (s <= step) {
            shown = step;
            break;
        }
    return FormatInt(IDS_SECONDS_LEFT, shown);
}

INT_PTR CProgressDlog::DoModal()
{
    m_bInModal = TRUE;
    INT_PTR result = CDialogEx::DoModal();
    m_bInModal = FALSE;
    if (m_thread.joinable()) {
        // The loop ended before the job did (its owner went): nothing the job
        // asks now can be answered.
        StopWaitingAndJoin(this, m_thread);
    }
    return result;
}

BOOL CProgressDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    SetTimer(kPollTimer, 200);
    return FALSE;
}

BOOL CProgressDlog::DestroyWindow()
{
    if (m_hWnd) {
        CRect r;
        GetWindowRect(&r);
        g_lastPosition = POINT{r.left, r.top};
    }
    return CDialogEx::DestroyWindow();
}

void CProgressDlog::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CDialogEx::OnShowWindow(bShow, nStatus);
    if (!bShow)
        return;
    if (g_lastPosition.x != kNoPosition && g_lastPosition.y != kNoPosition) {
        CRect r;
        GetWindowRect(&r);
        MoveWindow(g_lastPosition.x, g_lastPosition.y, r.Width(), r.Height(), TRUE);
    }
    StartWorker();
}

void CProgressDlog::StartWorker()
{
    // Shown again (restored, re-shown by its owner): the job runs once.
    if (m_bStarted)
        return;
    m_bStarted = TRUE;
    if (!m_pfnWorker) {
        m_bDone = TRUE;
        return;
    }
    m_thread = std::thread([this, requests = WorkerRequests(this, true)]() {
        CGuiRequests::Scope gui(*requests);
        try {
            m_pfnWorker(this);
        } catch (...) {
            // A job that throws has failed; the dialog still ends.
            m_bFailed = TRUE;
        }
        m_bDone = TRUE;
    });
}

void CProgressDlog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kPollTimer) {
        if (m_bDone && m_bInModal) {
            ApplyStatusText();
            OnRefresh();
            EndDialog(m_bCancel || m_bFailed ? IDCANCEL : IDOK);
            return;
        }
        if (m_nTotal != 0) {
            if (m_dwStartTick == 0)
                m_dwStartTick = std::max<DWORD>(GetTickCount(), 1);
            if (!m_bEstimating && GetTickCount() - m_dwStartTick > 20000) {
                m_bEstimating = TRUE;
                SetTimer(kEstimateTimer, 2000);
            }
        }
        return;
    }
    if (nIDEvent == kEstimateTimer) {
        ShowEstimate();
        return;
    }
    CDialogEx::OnTimer(nIDEvent);
}

void CProgressDlog::ShowEstimate()
{
    CWnd* label = GetDlgItem(IDC_PROGRESS_REMAINING);
    uint32_t total = m_nTotal, done = m_nDone;
    if (!label || total == 0 || done == 0)
        return;
    int64_t remaining = RemainingMs(GetTickCount() - m_dwStartTick, total, done);
    if (remaining >= m_nLastEstimate)
        return;
    m_nLastEstimate = int(remaining);
    label->SetWindowText(FormatRemaining(remaining));
}

BOOL CProgressDlog::CanCancel()
{
    CWnd* button = GetDlgItem(IDCANCEL);
    return button && button->IsWindowVisible();
}

void CProgressDlog::OnCancel()
{
    // Esc must not stop a job that offers no Cancel button.
    if (!CanCancel() || m_bCancel)
        return;
    SetStatusTextId(IDS_CANCELLED);
    ApplyStatusText();
    if (CWnd* button = GetDlgItem(IDCANCEL))
        button->EnableWindow(FALSE);
    m_bCancel = TRUE;
}

BOOL CProgressDlog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
        CWnd* focus = CWnd::GetFocus();
        CWnd* button = GetDlgItem(IDCANCEL);
        if (focus && button && focus->m_hWnd == button->m_hWnd)
            OnCancel();
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(pMsg);
}

void CProgressDlog::SetStatusText(const std::string& text)
{
    {
        std::lock_guard<std::mutex> g(m_textLock);
        m_strPendingText = text;
        m_bTextPending = TRUE;
    }
    RequestRefresh();
}

void CProgressDlog::SetStatusTextId(UINT nStringId) { SetStatusText(std::string(res::String(nStringId))); }

void CProgressDlog::ApplyStatusText()
{
    std::string text;
    {
        std::lock_guard<std::mutex> g(m_textLock);
        if (!m_bTextPending)
            return;
        text = m_strPendingText;
        m_bTextPending = FALSE;
    }
    if (CWnd* status = m_hWnd ? GetDlgItem(IDC_PROGRESS_STATUS) : nullptr)
        if (status->GetWindowText() != text)
            status->SetWindowText(text);
}

void CProgressDlog::RequestRefresh()
{
    if (m_bRefreshPosted.exchange(true))
        return;
    // The application object outlives every dialog; the call runs on the main thread.
    PostCall(
        QCoreApplication::instance(),
        [this, alive = m_alive]() {
            if (!*alive)
                return;
            m_bRefreshPosted = false;
            if (!m_hWnd)
                return;
            ApplyStatusText();
            OnRefresh();
        });
}

void CProgressDlog::OnRefresh() {}
