#pragma once

#include "message/comment_search.h"
#include "ui/button_ex.h"
#include "ui/dialog_ex.h"
#include "platform/framework/list_ctrl.h"

#include <string>

enum : UINT {
    IDD_COMMENT_SEARCH = 206,
    IDC_SEARCH_TEXT = 2085,
    IDC_SEARCH_RESULTS = 2167,
    IDC_SEARCH_END = 2713,
    IDC_SEARCH_START = 2715,
    // Posted to the owner when a result was double-clicked: GetChosenPath.
    ID_OPENSEARCHRESULT = 196,
};

// The browser's Comment Search: searches the comments of message files on a
// thread of its own and lists the files that hold the text, a row every
// 100 ms; a double click on a row asks the owner to open that file. Closing
// only hides it; the search ends with End Search, a new search, or the
// dialog's end, which waits for it.
class CCommentSearchDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    CCommentSearchDlog();
    ~CCommentSearchDlog() override;

    // The modeless dialog; source gives the files a search looks at.
    BOOL Create(CWnd* pParent, CommentSearchSource source);
    const std::string& GetChosenPath() const { return m_strChosenPath; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // What Search and End Search do.
    void OnSearch();
    void OnEndSearch();
    BOOL IsSearching() const { return m_search.IsRunning(); }

    std::string m_strSearchText;

    static constexpr UINT_PTR kRowTimer = 1;
    static constexpr UINT kRowTimerMs = 100;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnClose() override;
    void OnDestroy() override;
    void OnResultDblClk(NMHDR* pNMHDR, LRESULT* pResult);

private:
    void ShowNextRow();
    void ShowSingleRow(const std::string& text);
    void EnableButtons(BOOL bEnable);
    void LayOut(int cx, int cy);

    CommentSearchSource m_source;
    CCommentSearch m_search;
    std::string m_strChosenPath;
    size_t m_nRowsShown = 0;
    BOOL m_bEndShown = FALSE;
    int m_nSavedColumnWidth = -1;
    CListCtrl m_wndResults;
    CButtonEx m_btnSearch;
    CButtonEx m_btnEnd;
};
