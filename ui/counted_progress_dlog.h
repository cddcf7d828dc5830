#pragma once

#include "ui/button_ex.h"
#include "ui/progress_dlog.h"
#include "platform/framework/controls.h"

// A progress dialog whose bar follows the job's counters (m_nTotal, m_nDone)
// on the dialog's timer, on the scheme's pending colour, with Cancel offered
// from the moment it shows.
class CCountedProgressDlog : public CProgressDlog {
public:
    using CProgressDlog::CProgressDlog;

    BOOL OnInitDialog() override;

protected:
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void DoDataExchange(CDataExchange* pDX) override;
    void ShowProgress();

    CButtonEx m_wndCancel;
    CProgressCtrl m_wndProgress;
};
