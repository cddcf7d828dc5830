#pragma once

#include "message/wave.h"
#include "message/wave_player.h"
#include "ui/button_ex.h"
#include "ui/dialog_ex.h"
#include "platform/framework/message_box.h"

#include <cstdint>
#include <functional>
#include <string>

enum : UINT {
    IDD_RECORD = 175,
    IDC_REC_PLAY = 1075,
    IDC_REC_STOP = 1078,
    IDC_REC_RECORD = 1082,
    IDC_REC_TIME = 2706,
};

// The recording dialog: records a take of at most ten minutes (11025 Hz,
// 8 bits, mono), plays it back (Play again pauses and resumes), shows the
// elapsed and total time, and on OK gives the caller's sound a copy of the
// take, also when OK stops a recording or playback first.
class CRecDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    // Milliseconds on a clock that only moves forward.
    using Clock = std::function<int64_t()>;
    static constexpr int kLimitMinutes = 10;
    static constexpr int64_t kLimitSeconds = kLimitMinutes * 60;

    // pSound (may be null) receives the take on OK.
    CRecDlog(CWnd* pParent, CWave* pSound);
    ~CRecDlog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // Tests give the dialog a clock they move; the default is the system's.
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    BOOL IsRecording() const { return m_bRecording; }
    BOOL IsPlaying() const { return m_bPlaying; }
    const CWave& GetTake() const { return m_take; }

    // "hh:mm:ss" of whole seconds.
    static std::string FormatTime(int64_t seconds);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnRecord();
    void OnStop();
    void OnPlay();
    void UpdateButtons();
    void UpdateTimeText();

private:
    class CListener : public CWaveNotify {
    public:
        explicit CListener(CRecDlog* pDlg) : m_pDlg(pDlg) {}
        void PlayEnded(CWave*) override { m_pDlg->OnPlayEnded(); }
        void CaptureEnded(CWave*) override { m_pDlg->OnCaptureEnded(); }

    private:
        CRecDlog* m_pDlg;
    };

    void OnPlayEnded();
    void OnCaptureEnded();
    // Ends the dialog once; OK hands the take over.
    void EndWith(int code);
    void ShowDeviceFailure(const std::string& reason);
    int64_t Now() const { return m_clock(); }

    CWave m_take;
    CWave* m_pSound;
    CWaveRecorder m_recorder;
    BOOL m_bRecording = FALSE;
    BOOL m_bPlaying = FALSE;
    int64_t m_startTime = 0;
    CListener m_listener{this};
    int m_nEndCode = IDCANCEL;
    BOOL m_bClosing = FALSE;
    BOOL m_bEnded = FALSE;
    CButtonEx m_btnOk, m_btnRecord, m_btnStop, m_btnPlay, m_btnCancel;
    Clock m_clock;
};
