#pragma once

#include "imaging/icc_profile_data.h"
#include "ui/progress_dlog.h"

#include <string>

class CColorMatcher;
class CDibBitmap;
class CImageBuffer;

// Colour matching of the message view's pictures behind a progress dialog:
// into the working space (input), to the screen (display) and to the printer
// (print), each in place on its own target, in that order, on the dialog's
// thread. A failure stops the rest; the caller tells the user after the
// dialog is gone.
class CCMProgressDlog : public CProgressDlog {
public:
    struct Job {
        CIccProfileData profile;
        CImageBuffer* picture = nullptr;
        CDibBitmap* bitmap = nullptr;
        int flag = 0;
        std::string name;
        bool IsComplete() const { return picture || bitmap; }
    };

    CCMProgressDlog(CWnd* pParent, CColorMatcher& matcher, Job* input, Job* display, Job* print);
    BOOL OnInitDialog() override;
    // A match failed (not a Cancel): the caller says so once the dialog is gone.
    BOOL MatchFailed() const { return m_bMatchFailed; }

private:
    static UINT Worker(void* pParam);
    static int Progress(int done, int total, intptr_t user);
    void Run();
    bool Match(Job& job, int kind);

    CColorMatcher& m_matcher;
    Job* m_pInput;
    Job* m_pDisplay;
    Job* m_pPrint;
    BOOL m_bMatchFailed = FALSE;
};
