#include "ui/rename_all_dlog.h"

#include "platform/framework/message_box.h"

BEGIN_MESSAGE_MAP(CRenameAllDlog, CDialogEx)
    ON_EN_CHANGE(IDC_RENAME_ALL_FIRST_NUMBER, &CRenameAllDlog::OnFirstNumberChanged)
END_MESSAGE_MAP()

namespace {

void RegisterRenameAllTemplate()
{
    static const bool once = [] {
        constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 159, 71);
        t.title = "Rename All";
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("STATIC", "File Name:", IDC_RENAME_ALL_NAME_LABEL, kChild, CRect(7, 9, 75, 17));
        add("EDIT", "", IDC_RENAME_ALL_NAME, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(78, 7, 152, 19));
        add("STATIC", "+ Serial Number", IDC_RENAME_ALL_SERIAL_LABEL, kChild, CRect(78, 21, 152, 29));
        add("STATIC", "First Serial Number:", IDC_RENAME_ALL_FIRST_LABEL, kChild, CRect(7, 35, 75, 43));
        add("EDIT", "", IDC_RENAME_ALL_FIRST_NUMBER, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
            CRect(78, 33, 152, 45));
        add("BUTTON", "Rename", UINT(IDOK), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(48, 52, 98, 66));
        add("BUTTON", "Quit", UINT(IDCANCEL), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(102, 52, 152, 66));
        RegisterDialogTemplate(IDD_RENAME_ALL, t);
        return true;
    }();
    (void)once;
}

} // namespace

RenameAllMemory& GetRenameAllMemory()
{
    static RenameAllMemory memory;
    return memory;
}

CRenameAllDlog::CRenameAllDlog(const std::string& nameBase, const std::string& firstNumber, CWnd* pParent)
    : CDialogEx(IDD_RENAME_ALL, pParent), m_strNameBase(nameBase), m_strFirstNumber(firstNumber)
{
    RegisterRenameAllTemplate();
    RenameAllMemory& memory = GetRenameAllMemory();
    memory.nameBase = nameBase;
    memory.firstNumber = firstNumber;
}

void CRenameAllDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_wndRename);
    DDX_Control(pDX, IDCANCEL, m_wndQuit);
    m_nameFields.Exchange(pDX, m_strNameBase, m_strFirstNumber);
}

BOOL CRenameAllDlog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    m_wndRename.EnableWindow(TRUE);
    m_nameFields.SetReady();
    return TRUE;
}

void CRenameAllDlog::OnFirstNumberChanged() { m_nameFields.OnNumberChanged(this, m_strFirstNumber); }

void CRenameAllDlog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (!CNameSerialFields::AcceptNameBase(m_strNameBase))
        return;
    RenameAllMemory& memory = GetRenameAllMemory();
    memory.nameBase = m_strNameBase;
    memory.firstNumber = m_strFirstNumber;
    EndDialog(IDOK);
}
