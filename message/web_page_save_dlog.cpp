#include "message/web_page_save_dlog.h"

#include "message/photo_content.h"
#include "util/app_settings.h"
#include "util/path_util.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <filesystem>

namespace {

constexpr char kSavingText[] = "Saving...";

} // namespace

CWebPageSaveDlog::CWebPageSaveDlog(CWnd* pParent, const CImageBuffer& photo, const CAPhotoContent& content,
                                   const std::string& folder)
    : CCountedProgressDlog(IDD_PROGRESS_SAVE, WebPageWorker, pParent), m_strFolder(folder), m_photo(photo),
      m_content(content)
{
}

BOOL CWebPageSaveDlog::OnInitDialog()
{
    CCountedProgressDlog::OnInitDialog();
    SetStatusText(kSavingText);
    return FALSE;
}

BOOL CWebPageSaveDlog::CheckTargets()
{
    bool anyExists = false;
    for (const std::string& name : webpage::TargetNames(m_content)) {
        const std::string path = JoinPath(m_strFolder, name);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            continue;
        if (WarnIfReadOnly(path))
            return FALSE;
        anyExists = true;
    }
    return !anyExists || AfxMessageBox(IDS_REPLACE_FILE, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

UINT CWebPageSaveDlog::WebPageWorker(void* pParam)
{
    auto* dlg = static_cast<CWebPageSaveDlog*>(pParam);
    dlg->m_result = webpage::WritePage(
        dlg->m_photo, dlg->m_content, dlg->m_strFolder, GetCompressionSetting(),
        [dlg] { return dlg->m_bCancel != FALSE; }, dlg->m_nTotal, dlg->m_nDone);
    return 0;
}

BOOL SaveMessageAsWebPage(CWnd* pParentView, const CImageBuffer& photo, const CAPhotoContent& content,
                          const std::string& folder)
{
    CWebPageSaveDlog dlg(pParentView, photo, content, folder);
    if (!dlg.CheckTargets())
        return FALSE;
    dlg.DoModal();
    const webpage::Result& result = dlg.GetResult();
    if (!result.failedPath.empty()) {
        std::string text = std::string(res::String(IDS_UNABLE_TO_SAVE)) + "\n" + result.failedPath;
        if (!result.reason.empty())
            text += "\n" + result.reason;
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return result.complete ? TRUE : FALSE;
}
