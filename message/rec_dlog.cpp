#include "message/rec_dlog.h"

#include "ui/ui_services.h"
#include "util/string_util.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wait_cursor.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <chrono>
#include <cstdio>

BEGIN_MESSAGE_MAP(CRecDlog, CDialogEx)
    ON_BN_CLICKED(IDC_REC_RECORD, &CRecDlog::OnRecord)
    ON_BN_CLICKED(IDC_REC_STOP, &CRecDlog::OnStop)
    ON_BN_CLICKED(IDC_REC_PLAY, &CRecDlog::OnPlay)
END_MESSAGE_MAP()

namespace {

constexpr UINT_PTR kTimeTimer = 1;
constexpr UINT kTimeTimerMs = 100;
// The take's format.
constexpr DWORD kTakeRate = 11025;
constexpr WORD kTakeBits = 8;
// What the recorder may hold: the limit and a little more, so that the
// clock, not the device, ends a recording at the limit.
constexpr int64_t kCaptureSeconds = CRecDlog::kLimitSeconds + 2;

void RegisterRecordTemplate()
{
    static const bool once = [] {
        constexpr DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        // Wide enough for the status line in one line of the dialog font.
        t.rect = CRect(0, 0, 216, 72);
        t.title = "Record";
        t.items.push_back({"BUTTON", "OK", UINT(IDOK), button | BS_DEFPUSHBUTTON, CRect(104, 52, 154, 66)});
        t.items.push_back({"BUTTON", "Record", IDC_REC_RECORD, button, CRect(6, 30, 68, 44)});
        t.items.push_back({"BUTTON", "Stop", IDC_REC_STOP, button, CRect(77, 30, 139, 44)});
        t.items.push_back({"BUTTON", "Play", IDC_REC_PLAY, button, CRect(148, 30, 210, 44)});
        t.items.push_back({"STATIC", "", IDC_REC_TIME, WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN,
                           CRect(6, 6, 210, 22)});
        t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), button, CRect(160, 52, 210, 66)});
        RegisterDialogTemplate(IDD_RECORD, t);
        return true;
    }();
    (void)once;
}

int64_t SteadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A status text: the rate in kilohertz for its "%d", the two times for its "%s".
std::string StatusText(UINT id, DWORD rate, const std::string& elapsed, const std::string& total)
{
    std::string format(res::String(id));
    const size_t d = format.find("%d");
    if (d != std::string::npos)
        format.replace(d, 2, std::to_string(rate / 1000));
    return FormatWithStrings(format, {elapsed, total});
}

} // namespace

CRecDlog::CRecDlog(CWnd* pParent, CWave* pSound)
    : CDialogEx(IDD_RECORD, pParent), m_pSound(pSound), m_clock(SteadyMilliseconds)
{
    RegisterRecordTemplate();
}

CRecDlog::~CRecDlog()
{
    // Whatever still records or plays ends without reaching a dialog that goes.
    m_bRecording = m_bPlaying = FALSE;
    m_recorder.Close();
}

std::string CRecDlog::FormatTime(int64_t seconds)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buf;
}

void CRecDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDC_REC_RECORD, m_btnRecord);
    DDX_Control(pDX, IDC_REC_STOP, m_btnStop);
    DDX_Control(pDX, IDC_REC_PLAY, m_btnPlay);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
}

BOOL CRecDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    for (CButtonEx* b : {&m_btnOk, &m_btnRecord, &m_btnStop, &m_btnPlay, &m_btnCancel})
        b->SetBackColor(GetSchemeSysColor(15));
    m_take.Create(kTakeRate, kTakeBits, 0);
    SetTimer(kTimeTimer, kTimeTimerMs);
    UpdateButtons();
    UpdateTimeText();
    return TRUE;
}

void CRecDlog::UpdateButtons()
{
    if (!m_hWnd)
        return;
    const BOOL busy = m_bRecording || m_bPlaying;
    const BOOL hasTake = m_take.TotalSamples() > 0;
    m_btnRecord.EnableWindow(!busy);
    // Play pauses and resumes while the take plays.
    m_btnPlay.EnableWindow(m_bPlaying || (!busy && hasTake));
    m_btnStop.EnableWindow(busy || m_take.IsPlaying());
    m_btnOk.EnableWindow(!busy && hasTake);
}

void CRecDlog::OnRecord()
{
    if (m_bRecording || m_bPlaying)
        return;
    m_take.Stop();
    BOOL started = FALSE;
    {
        CWaitCursor wait;
        m_bRecording = TRUE;
        UpdateButtons();
        m_startTime = Now();
        m_take.Create(kTakeRate, kTakeBits, 0);
        const uint64_t maxBytes = uint64_t(kCaptureSeconds) * m_take.GetFormat().nAvgBytesPerSec;
        started = m_take.Record(&m_recorder, &m_listener, maxBytes);
    }
    if (!started) {
        m_bRecording = FALSE;
        UpdateButtons();
        ShowDeviceFailure(m_recorder.ErrorText());
    }
}

void CRecDlog::OnStop()
{
    // Ending the recording brings the last blocks and CaptureEnded at once.
    if (m_bRecording)
        m_recorder.Reset();
    else
        m_take.Stop();
}

void CRecDlog::OnPlay()
{
    if (m_bPlaying) {
        m_take.TogglePause();
        return;
    }
    if (m_bRecording)
        return;
    m_bPlaying = TRUE;
    UpdateButtons();
    m_startTime = Now();
    m_take.Stop();
    if (!m_take.Play(nullptr, &m_listener)) {
        m_bPlaying = FALSE;
        UpdateButtons();
        ShowDeviceFailure(CWave::SharedPlayer().ErrorText());
    }
}

void CRecDlog::OnPlayEnded()
{
    if (!m_bPlaying)
        return;
    m_bPlaying = FALSE;
    if (m_bClosing) {
        EndWith(m_nEndCode);
        return;
    }
    UpdateButtons();
}

void CRecDlog::OnCaptureEnded()
{
    if (!m_bRecording)
        return;
    m_bRecording = FALSE;
    if (!m_recorder.ErrorText().empty())
        ShowDeviceFailure(m_recorder.ErrorText());
    if (m_bClosing) {
        EndWith(m_nEndCode);
        return;
    }
    UpdateButtons();
}

void CRecDlog::OnOK()
{
    // Enter with nothing recorded does what the disabled OK button would.
    if (!m_bRecording && !m_bPlaying && m_take.TotalSamples() == 0)
        return;
    m_bClosing = TRUE;
    m_nEndCode = IDOK;
    OnStop();
    if (!m_bRecording && !m_bPlaying)
        EndWith(IDOK);
}

void CRecDlog::OnCancel()
{
    m_bClosing = TRUE;
    m_nEndCode = IDCANCEL;
    OnStop();
    if (!m_bRecording && !m_bPlaying)
        EndWith(IDCANCEL);
}

void CRecDlog::EndWith(int code)
{
    if (m_bEnded)
        return;
    m_bEnded = TRUE;
    if (code == IDOK && m_pSound)
        m_pSound->CopyFrom(m_take);
    KillTimer(kTimeTimer);
    EndDialog(code);
}

void CRecDlog::ShowDeviceFailure(const std::string& reason)
{
    AfxMessageBox(FormatWithStrings(res::String(IDS_SOUND_DEVICE_FAILED), {reason}), MB_OK | MB_ICONEXCLAMATION);
}

void CRecDlog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kTimeTimer) {
        CDialogEx::OnTimer(nIDEvent);
        return;
    }
    UpdateTimeText();
}

void CRecDlog::UpdateTimeText()
{
    const BOOL busy = m_bRecording || m_bPlaying;
    // Rounded to the nearest second.
    const int64_t elapsedSeconds = busy ? (Now() - m_startTime + 500) / 1000 : 0;
    const std::string elapsed = FormatTime(elapsedSeconds);
    const DWORD rate = m_take.GetFormat().nSamplesPerSec;
    const std::string total = FormatTime(rate ? m_take.TotalSamples() / rate : 0);
    std::string text;
    if (m_bRecording) {
        // The take fills as it records, but the clock is what the limit is about.
        if (elapsedSeconds > kLimitSeconds) {
            OnStop();
            return;
        }
        char limit[16];
        std::snprintf(limit, sizeof limit, "00:%02d:00", kLimitMinutes);
        text = StatusText(IDS_REC_RECORDING, rate, elapsed, limit);
    } else {
        text = StatusText(m_bPlaying ? IDS_REC_PLAYING : IDS_REC_PAUSED, rate, elapsed, total);
    }
    if (CWnd* display = GetDlgItem(IDC_REC_TIME))
        if (display->GetWindowText() != text)
            display->SetWindowText(text);
}
