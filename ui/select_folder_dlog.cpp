#include "ui/select_folder_dlog.h"

#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"

namespace {

void RegisterSelectFolderTemplate()
{
    static const bool once = [] {
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 159, 169);
        t.title = "Select folder";
        t.items.push_back({"SysTreeView32", "", IDC_FOLDER_TREE,
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                               TVS_EDITLABELS | TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                           CRect(4, 6, 155, 146)});
        t.items.push_back({"BUTTON", "", IDC_NEW_FOLDER, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_ICON,
                           CRect(4, 150, 23, 166)});
        t.items.push_back({"BUTTON", "Select", UINT(IDOK), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                           CRect(51, 151, 101, 165)});
        t.items.push_back({"BUTTON", "Cancel", UINT(IDCANCEL), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                           CRect(105, 151, 155, 165)});
        RegisterDialogTemplate(IDD_SELECT_FOLDER, t);
        return true;
    }();
    (void)once;
}

} // namespace

CSelectFolderDlog::CSelectFolderDlog(CWnd* pParent, std::string& resultFolder, const std::string& caption)
    : CFolderTreeDlog(IDD_SELECT_FOLDER, &resultFolder, pParent), m_strCaption(caption)
{
    RegisterSelectFolderTemplate();
}

BOOL CSelectFolderDlog::OnInitDialog()
{
    CFolderTreeDlog::OnInitDialog();
    if (!m_strCaption.empty())
        SetWindowText(m_strCaption);
    return TRUE;
}

void CSelectFolderDlog::OnFolderRenamed(const std::string&)
{
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_COMMAND, ID_DIRECTORYRENAMED);
}
