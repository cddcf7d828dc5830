// The browser view's Comment Search: the dialog over the folder's message
// files, and the opening of the message the user picked in it.
#include "browser/zun_main_view.h"

#include "browser/comment_search_source.h"
#include "browser/file_item_store.h"
#include "browser/zun_main_frame.h"
#include "message/comment_search_dlog.h"
#include "platform/framework/win_app.h"

#include <mutex>

void CZunMainView::OnCommentSearch()
{
    if (!m_pDlgSearch) {
        auto dlg = std::make_unique<CCommentSearchDlog>();
        if (!dlg->Create(this, FileItemSearchSource()))
            return;
        m_pDlgSearch = std::move(dlg);
    }
    m_pDlgSearch->ShowWindow(SW_SHOW);
}

void CZunMainView::OnOpenSearchResult()
{
    if (!m_pDlgSearch)
        return;
    const std::string path = m_pDlgSearch->GetChosenPath();
    if (path.empty())
        return;
    int index = -1;
    {
        std::lock_guard<std::recursive_mutex> lock(GetFileItemLock());
        index = FindFileItemIndex(path);
    }
    if (index < 0) {
        // The folder changed since the search: the found message opens by
        // itself rather than whatever item would take its place.
        if (auto* frame = dynamic_cast<CZunMainFrame*>(m_pMainFrame))
            frame->OpenInEditor(path, FALSE);
        return;
    }
    SelectItem(index, TRUE);
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_FILEDCLICKED, 0);
}
