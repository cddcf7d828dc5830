#include "ui/counted_progress_dlog.h"

#include "ui/ui_services.h"

#include <algorithm>

namespace {

constexpr int kPendingBarColour = 4;

} // namespace

BOOL CCountedProgressDlog::OnInitDialog()
{
    CProgressDlog::OnInitDialog();
    if (m_wndProgress.m_hWnd)
        m_wndProgress.SetBkColor(GetSchemeSysColor(kPendingBarColour));
    return FALSE;
}

void CCountedProgressDlog::OnShowWindow(BOOL bShow, UINT nStatus)
{
    if (bShow && m_wndCancel.m_hWnd)
        m_wndCancel.EnableWindow(TRUE);
    CProgressDlog::OnShowWindow(bShow, nStatus);
}

void CCountedProgressDlog::OnTimer(UINT_PTR nIDEvent)
{
    ShowProgress();
    CProgressDlog::OnTimer(nIDEvent);
}

void CCountedProgressDlog::ShowProgress()
{
    if (!m_wndProgress.m_hWnd)
        return;
    const uint32_t total = m_nTotal, done = m_nDone;
    m_wndProgress.SetRange32(0, int(std::min<uint32_t>(total, INT32_MAX)));
    m_wndProgress.SetPos(int(std::min<uint32_t>(done, INT32_MAX)));
}

void CCountedProgressDlog::DoDataExchange(CDataExchange* pDX)
{
    CProgressDlog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_wndProgress);
}
