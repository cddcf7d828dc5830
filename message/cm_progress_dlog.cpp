#include "message/cm_progress_dlog.h"

#include "imaging/colour_matcher.h"
#include "imaging/dib_bitmap.h"
#include "imaging/image_buffer.h"

CCMProgressDlog::CCMProgressDlog(CWnd* pParent, CColorMatcher& matcher, Job* input, Job* display, Job* print)
    : CProgressDlog(IDD_PROGRESS_WIDE, &CCMProgressDlog::Worker, pParent), m_matcher(matcher), m_pInput(input),
      m_pDisplay(display), m_pPrint(print)
{
}

BOOL CCMProgressDlog::OnInitDialog()
{
    CProgressDlog::OnInitDialog();
    SetStatusText("Color Matching...");
    m_matcher.SetEngineArgs(&CCMProgressDlog::Progress, intptr_t(this));
    return FALSE;
}

UINT CCMProgressDlog::Worker(void* pParam)
{
    static_cast<CCMProgressDlog*>(pParam)->Run();
    return 0;
}

int CCMProgressDlog::Progress(int done, int total, intptr_t user)
{
    auto* dlg = reinterpret_cast<CCMProgressDlog*>(user);
    if (!dlg)
        return 0;
    // The bar starts a sixth full: the copy before the match is work too.
    const uint32_t t = uint32_t(std::max(total, 0));
    dlg->m_nTotal = t + t / 5;
    dlg->m_nDone = t / 5 + uint32_t(std::max(done, 0));
    return dlg->m_bCancel ? 1 : 0;
}

bool CCMProgressDlog::Match(Job& job, int kind)
{
    void* bits = nullptr;
    int width = 0, height = 0, pixelType = 0;
    int64_t stride = 0;
    if (job.picture) {
        bits = job.picture->GetBits();
        width = job.picture->GetWidth();
        height = job.picture->GetHeight();
        pixelType = job.picture->GetPixelType();
        stride = int64_t(job.picture->GetStride());
    } else if (job.bitmap) {
        bits = job.bitmap->GetBits();
        width = int(job.bitmap->GetSize().cx);
        height = int(job.bitmap->GetSize().cy);
        pixelType = job.bitmap->GetPixelType();
        stride = job.bitmap->GetStride();
    }
    if (!bits)
        return false;
    switch (kind) {
    case 0: return m_matcher.MatchForInput(job.profile, pixelType, 0, "", bits, width, height, stride) != 0;
    case 1: return m_matcher.MatchForDisplay(job.profile, pixelType, bits, width, height, stride) != 0;
    default: return m_matcher.MatchForPrinter(job.profile, pixelType, bits, width, height, stride) != 0;
    }
}

void CCMProgressDlog::Run()
{
    struct Step {
        Job* job;
        bool on;
    } steps[] = {
        {m_pInput, m_matcher.IsInputMatchingOn()},
        {m_pDisplay, m_matcher.IsDisplayMatchingOn()},
        {m_pPrint, m_matcher.IsPrintMatchingOn()},
    };
    for (int kind = 0; kind < 3; ++kind) {
        const Step& s = steps[kind];
        if (!s.job || !s.on || !s.job->IsComplete())
            continue;
        // A screen or printer picture is made from the picture just matched
        // into the working space; bitmap targets are filled by their caller.
        if (kind > 0 && m_pInput && m_pInput->picture && s.job->picture && !m_bCancel) {
            CImageBuffer copy(*m_pInput->picture);
            s.job->picture->TakeOver(copy);
        }
        if (m_bCancel || !Match(*s.job, kind)) {
            m_bMatchFailed = !m_bCancel;
            return;
        }
    }
}
