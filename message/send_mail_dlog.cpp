#include "message/send_mail_dlog.h"

#include "ui/ui_services.h"
#include "platform/framework/message_box.h"

namespace {

void RegisterSendMailTemplate()
{
    static const bool once = [] {
        constexpr DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 186, 74);
        t.title = "Mail";
        t.items.push_back({"BUTTON", "Attach Quiram Relayo Reader.", IDC_MAIL_ATTACH_READER,
                           button | BS_AUTOCHECKBOX, CRect(10, 10, 176, 22)});
        t.items.push_back({"BUTTON", "Resize for transmission.", IDC_MAIL_RESIZE, button | BS_AUTOCHECKBOX,
                           CRect(10, 26, 176, 38)});
        t.items.push_back({"BUTTON", "OK", UINT(IDOK), button | BS_DEFPUSHBUTTON, CRect(70, 50, 120, 64)});
        t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), button, CRect(126, 50, 176, 64)});
        RegisterDialogTemplate(IDD_SEND_MAIL, t);
        return true;
    }();
    (void)once;
}

} // namespace

CSendMailDlog::CSendMailDlog(CWnd* pParent, BOOL bAttach, BOOL bResize)
    : CDialogEx(IDD_SEND_MAIL, pParent), m_bAttach(bAttach ? TRUE : FALSE), m_bResize(bResize ? TRUE : FALSE)
{
    RegisterSendMailTemplate();
}

BOOL CSendMailDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    for (CButtonEx* b : {&m_btnOk, &m_btnCancel})
        b->SetBackColor(GetSchemeSysColor(15));
    return TRUE;
}

void CSendMailDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Check(pDX, IDC_MAIL_ATTACH_READER, m_bAttach);
    DDX_Check(pDX, IDC_MAIL_RESIZE, m_bResize);
}
