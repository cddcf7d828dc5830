#include "ui/text_entry_dlog.h"

#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"

namespace {

void RegisterTextEntryTemplate()
{
    static const bool once = [] {
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 186, 50);
        t.items.push_back({"EDIT", "", IDC_TEXT_ENTRY_EDIT, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER,
                           CRect(7, 7, 179, 21)});
        t.items.push_back({"BUTTON", "OK", UINT(IDOK), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           CRect(75, 28, 125, 42)});
        t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(129, 28, 179, 42)});
        RegisterDialogTemplate(IDD_TEXT_ENTRY, t);
        return true;
    }();
    (void)once;
}

} // namespace

CTextEntryDlog::CTextEntryDlog(CWnd* pParent, const std::string& initialText)
    : CDialogEx(IDD_TEXT_ENTRY, pParent), m_strText(initialText)
{
    RegisterTextEntryTemplate();
}

void CTextEntryDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEXT_ENTRY_EDIT, m_strText);
    DDV_MaxChars(pDX, m_strText, kMaxChars);
}

BOOL CTextEntryDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(IDC_TEXT_ENTRY_EDIT))) {
        edit->SetSel(0, int(edit->GetWindowText().size()));
        edit->SetFocus();
    }
    return FALSE;
}
