#include "message/comment_search_dlog.h"

#include "util/path_util.h"
#include "ui/ui_services.h"
#include "platform/framework/message_box.h"
#include "platform/path.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

BEGIN_MESSAGE_MAP(CCommentSearchDlog, CDialogEx)
    ON_BN_CLICKED(IDC_SEARCH_START, &CCommentSearchDlog::OnSearch)
    ON_BN_CLICKED(IDC_SEARCH_END, &CCommentSearchDlog::OnEndSearch)
    ON_NOTIFY(NM_DBLCLK, IDC_SEARCH_RESULTS, &CCommentSearchDlog::OnResultDblClk)
END_MESSAGE_MAP()

namespace {

constexpr int kColumnWidths[] = {100, 100, 100, 60, 130};
constexpr int kColumns = int(std::size(kColumnWidths));
// The completion sentence shows whole in a column this wide.
constexpr int kSentenceWidth = 1000;
constexpr int kMargin = 8;

void RegisterSearchTemplate()
{
    static const bool once = [] {
        constexpr DWORD child = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        t.rect = CRect(0, 0, 216, 243);
        t.title = "Comment Search";
        t.items.push_back({"STATIC", "Search for:", UINT(-1), child, CRect(7, 7, 100, 15)});
        t.items.push_back({"EDIT", "", IDC_SEARCH_TEXT, child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                           CRect(7, 17, 209, 29)});
        t.items.push_back({"BUTTON", "Search", IDC_SEARCH_START, child | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           CRect(104, 35, 154, 49)});
        t.items.push_back({"BUTTON", "End Search", IDC_SEARCH_END, child | WS_TABSTOP, CRect(159, 35, 209, 49)});
        RegisterDialogTemplate(IDD_COMMENT_SEARCH, t);
        return true;
    }();
    (void)once;
}

} // namespace

CCommentSearchDlog::CCommentSearchDlog() : CDialogEx(IDD_COMMENT_SEARCH) { RegisterSearchTemplate(); }

CCommentSearchDlog::~CCommentSearchDlog()
{
    // A search still running ends before the dialog's fields go.
    m_search.Stop();
}

BOOL CCommentSearchDlog::Create(CWnd* pParent, CommentSearchSource source)
{
    m_source = std::move(source);
    return CDialogEx::Create(IDD_COMMENT_SEARCH, pParent);
}

void CCommentSearchDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SEARCH_START, m_btnSearch);
    DDX_Control(pDX, IDC_SEARCH_END, m_btnEnd);
    DDX_Text(pDX, IDC_SEARCH_TEXT, m_strSearchText);
}

BOOL CCommentSearchDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    CRect client;
    GetClientRect(&client);
    m_wndResults.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, MapDialogRect(CRect(7, 56, 209, 236)), this,
                        IDC_SEARCH_RESULTS);
    m_wndResults.SetImageList(GetSystemImageList(false));
    for (int i = 0; i < kColumns; ++i)
        m_wndResults.InsertColumn(i, std::string(res::String(IDS_SEARCH_COLUMN_FIRST + UINT(i))), kColumnWidths[i]);
    for (CButtonEx* b : {&m_btnSearch, &m_btnEnd})
        b->SetBackColor(GetSchemeSysColor(15));
    LayOut(client.Width(), client.Height());
    SetTimer(kRowTimer, kRowTimerMs);
    return TRUE;
}

void CCommentSearchDlog::OnOK()
{
    // Enter searches; the dialog stays.
    OnSearch();
}

void CCommentSearchDlog::OnCancel() { ShowWindow(SW_HIDE); }

void CCommentSearchDlog::OnClose() { ShowWindow(SW_HIDE); }

void CCommentSearchDlog::OnDestroy()
{
    KillTimer(kRowTimer);
    m_search.Stop();
    CDialogEx::OnDestroy();
}

void CCommentSearchDlog::EnableButtons(BOOL bEnable)
{
    m_btnSearch.EnableWindow(bEnable);
    m_btnEnd.EnableWindow(bEnable);
}

void CCommentSearchDlog::ShowSingleRow(const std::string& text)
{
    m_wndResults.DeleteAllItems();
    m_wndResults.InsertItem(0, text);
}

void CCommentSearchDlog::OnSearch()
{
    UpdateData(TRUE);
    if (m_nSavedColumnWidth >= 0) {
        m_wndResults.SetColumnWidth(0, m_nSavedColumnWidth & 0xFFFF);
        m_nSavedColumnWidth = -1;
    }
    ShowSingleRow(std::string(res::String(IDS_SEARCHING)));
    EnableButtons(FALSE);
    m_nRowsShown = 0;
    m_bEndShown = FALSE;
    m_strChosenPath.clear();
    m_search.Start(m_strSearchText, m_source);
    EnableButtons(TRUE);
}

void CCommentSearchDlog::OnEndSearch()
{
    EnableButtons(FALSE);
    m_search.Stop();
    EnableButtons(TRUE);
}

void CCommentSearchDlog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kRowTimer) {
        CDialogEx::OnTimer(nIDEvent);
        return;
    }
    if (m_nRowsShown < m_search.GetResultCount()) {
        ShowNextRow();
    } else if (m_search.HasEnded() && !m_bEndShown && m_search.GetResultCount() == 0) {
        m_bEndShown = TRUE;
        ShowSingleRow(std::string(res::String(IDS_SEARCH_NO_RESULTS)));
        m_nSavedColumnWidth = m_wndResults.GetColumnWidth(0);
        m_wndResults.SetColumnWidth(0, kSentenceWidth);
    }
}

void CCommentSearchDlog::ShowNextRow()
{
    const std::string path = m_search.GetResult(m_nRowsShown);
    if (m_nRowsShown == 0)
        m_wndResults.DeleteAllItems();
    const std::string name = LastNameOf(path);
    int icon = -1;
    GetShellIconIndex(path, icon);
    const int row = m_wndResults.InsertItem(m_wndResults.GetItemCount(), name, icon);
    m_wndResults.SetItemText(row, 1, ParentFolderOf(path));
    m_wndResults.SetItemText(row, 2, GetShellTypeName(path));
    m_wndResults.SetItemText(row, 3, FormatFileSizeText(path));
    m_wndResults.SetItemText(row, 4, FormatFileWriteTime(path));
    ++m_nRowsShown;
}

void CCommentSearchDlog::OnResultDblClk(NMHDR* pNMHDR, LRESULT* pResult)
{
    *pResult = 0;
    const int row = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR)->iItem;
    // The rows shown are results only once the first result replaced the notice.
    if (row < 0 || size_t(row) >= m_nRowsShown)
        return;
    m_strChosenPath = m_search.GetResult(size_t(row));
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_COMMAND, ID_OPENSEARCHRESULT, 0);
}

void CCommentSearchDlog::OnSize(UINT nType, int cx, int cy)
{
    CDialogEx::OnSize(nType, cx, cy);
    LayOut(cx, cy);
}

void CCommentSearchDlog::LayOut(int cx, int cy)
{
    if (!m_wndResults.m_hWnd)
        return;
    const int right = cx - kMargin;
    auto place = [this](UINT id, int left, int rightEdge, int bottom) {
        CWnd* w = GetDlgItem(int(id));
        if (!w)
            return;
        CRect r;
        w->GetWindowRect(&r);
        ScreenToClient(&r);
        const int height = bottom < 0 ? r.Height() : bottom - r.top;
        w->MoveWindow(left, r.top, rightEdge - left, height);
    };
    place(IDC_SEARCH_TEXT, kMargin, right, -1);
    place(IDC_SEARCH_RESULTS, kMargin, right, cy - kMargin);
    CRect end;
    GetDlgItem(IDC_SEARCH_END)->GetWindowRect(&end);
    ScreenToClient(&end);
    place(IDC_SEARCH_END, right - end.Width(), right, -1);
    place(IDC_SEARCH_START, right - end.Width() - kMargin - end.Width(), right - end.Width() - kMargin, -1);
}
