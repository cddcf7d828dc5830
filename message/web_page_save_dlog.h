#pragma once

#include "message/web_page.h"
#include "ui/counted_progress_dlog.h"

#include <string>

class CAPhotoContent;
class CImageBuffer;
class CWnd;

// Saving a message as a web page behind the progress dialog: the page and
// its side files are written on the dialog's worker thread, Cancel stops
// before the next comment and the page is still written up to there.
class CWebPageSaveDlog : public CCountedProgressDlog {
public:
    // The picture and content are read by the worker and must stay unchanged
    // until DoModal returns.
    CWebPageSaveDlog(CWnd* pParent, const CImageBuffer& photo, const CAPhotoContent& content,
                     const std::string& folder);

    BOOL OnInitDialog() override;

    // Before the dialog runs: a read-only target ends the command with its
    // warning; existing targets are replaced only when the user agrees.
    BOOL CheckTargets();
    // After DoModal.
    const webpage::Result& GetResult() const { return m_result; }

private:
    static UINT WebPageWorker(void* pParam);

    std::string m_strFolder;
    const CImageBuffer& m_photo;
    const CAPhotoContent& m_content;
    webpage::Result m_result;
};

// File/Save as Web Page once the folder is chosen: checks the targets, writes
// behind the progress dialog and tells the user when a file could not be
// written ("Unable to save file. " with the path and the reason). TRUE when
// the page was written whole.
BOOL SaveMessageAsWebPage(CWnd* pParentView, const CImageBuffer& photo, const CAPhotoContent& content,
                          const std::string& folder);
