#include "message/ano_search_dlog.h"

#include "message/ano_commands.h"
#include "ui/ui_services.h"
#include "platform/framework/message_box.h"

BEGIN_MESSAGE_MAP(CAnoSearchDlog, CDialogEx)
    ON_BN_CLICKED(IDC_ANO_SEARCH_NEXT, &CAnoSearchDlog::OnNext)
    ON_CONTROL(BN_DOUBLECLICKED, IDC_ANO_SEARCH_NEXT, &CAnoSearchDlog::OnNext)
END_MESSAGE_MAP()

namespace {

void RegisterAnoSearchTemplate()
{
    static const bool once = [] {
        constexpr DWORD child = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 258, 79);
        t.title = "Comment Search";
        t.items.push_back({"STATIC", "Search for:", UINT(-1), child, CRect(7, 9, 50, 17)});
        t.items.push_back({"EDIT", "", IDC_ANO_SEARCH_TEXT, child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                           CRect(52, 7, 196, 19)});
        t.items.push_back({"BUTTON", "Case Sensitive", IDC_ANO_SEARCH_CASE, child | WS_TABSTOP | BS_AUTOCHECKBOX,
                           CRect(7, 30, 90, 40)});
        t.items.push_back({"BUTTON", "Use Wild Cards", IDC_ANO_SEARCH_WILDCARDS,
                           WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, CRect(7, 44, 90, 54)});
        t.items.push_back({"STATIC", "Direction:", UINT(-1), child, CRect(100, 30, 140, 38)});
        t.items.push_back({"BUTTON", "Up", IDC_ANO_SEARCH_UP, child | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
                           CRect(100, 42, 140, 52)});
        t.items.push_back({"BUTTON", "Down", IDC_ANO_SEARCH_DOWN, child | BS_AUTORADIOBUTTON, CRect(144, 42, 190, 52)});
        t.items.push_back({"BUTTON", "Next", IDC_ANO_SEARCH_NEXT, child | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           CRect(202, 7, 251, 21)});
        t.items.push_back({"BUTTON", "Quit", UINT(IDCANCEL), child | WS_TABSTOP, CRect(202, 25, 251, 39)});
        RegisterDialogTemplate(IDD_ANO_SEARCH, t);
        return true;
    }();
    (void)once;
}

} // namespace

CAnoSearchDlog::CAnoSearchDlog() : CDialogEx(IDD_ANO_SEARCH) { RegisterAnoSearchTemplate(); }

BOOL CAnoSearchDlog::Create(CWnd* pParent) { return CDialogEx::Create(IDD_ANO_SEARCH, pParent); }

BOOL CAnoSearchDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    for (CButtonEx* b : {&m_btnNext, &m_btnQuit})
        b->SetBackColor(GetSchemeSysColor(15));
    return TRUE;
}

void CAnoSearchDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ANO_SEARCH_NEXT, m_btnNext);
    DDX_Control(pDX, IDCANCEL, m_btnQuit);
    DDX_Text(pDX, IDC_ANO_SEARCH_TEXT, m_strSearchText);
    DDX_Check(pDX, IDC_ANO_SEARCH_CASE, m_bCaseSensitive);
    DDX_Check(pDX, IDC_ANO_SEARCH_WILDCARDS, m_bWildcards);
    DDX_Radio(pDX, IDC_ANO_SEARCH_UP, m_nDirection);
}

void CAnoSearchDlog::OnNext()
{
    if (!UpdateData(TRUE))
        return;
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_COMMAND, ID_ANOFINDNEXT, 0);
}

void CAnoSearchDlog::OnOK() { OnNext(); }

void CAnoSearchDlog::OnCancel() { ShowWindow(SW_HIDE); }

void CAnoSearchDlog::OnClose() { ShowWindow(SW_HIDE); }
