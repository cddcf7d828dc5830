#include "ui/export_folder_dlog.h"

#include "ui/edit_util.h"
#include "ui/window_helpers.h"
#include "util/path_util.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"

#include <algorithm>
#include <string>

BEGIN_MESSAGE_MAP(CExportFolderDlog, CFolderTreeDlog)
    ON_MESSAGE(WM_HSCROLL, &CExportFolderDlog::OnHScroll)
    ON_CBN_SELCHANGE(IDC_EXPORT_TYPE, &CExportFolderDlog::OnTypeChanged)
    ON_BN_CLICKED(IDC_EXPORT_CHANGE_NAME, &CExportFolderDlog::OnChangeNameClicked)
    ON_EN_CHANGE(IDC_EXPORT_FIRST_NUMBER, &CExportFolderDlog::OnFirstNumberChanged)
    ON_CONTROL(BN_CLICKED, IDC_EXPORT_24BIT, &CExportFolderDlog::OnBitClicked)
    ON_CONTROL(BN_CLICKED, IDC_EXPORT_48BIT, &CExportFolderDlog::OnBitClicked)
END_MESSAGE_MAP()

namespace {

void RegisterExportFolderTemplate()
{
    static const bool once = [] {
        constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 298, 169);
        t.title = "Select folder";
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("SysTreeView32", "", IDC_FOLDER_TREE,
            kChild | WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | TVS_SHOWSELALWAYS |
                TVS_DISABLEDRAGDROP,
            CRect(3, 6, 157, 146));
        add("BUTTON", "", IDC_NEW_FOLDER, kChild | WS_TABSTOP | BS_ICON, CRect(4, 150, 23, 166));
        add("STATIC", "File Type:", IDC_EXPORT_TYPE_LABEL, kChild, CRect(164, 8, 230, 16));
        add("COMBOBOX", "", IDC_EXPORT_TYPE, kChild | WS_TABSTOP | CBS_DROPDOWNLIST, CRect(164, 18, 292, 30));
        add("STATIC", "bit:", IDC_EXPORT_BIT_LABEL, kChild, CRect(164, 37, 187, 45));
        add("BUTTON", "24Bit", IDC_EXPORT_24BIT, kChild | WS_TABSTOP | WS_GROUP | BS_RADIOBUTTON, CRect(188, 35, 236, 46));
        add("BUTTON", "48Bit", IDC_EXPORT_48BIT, kChild | BS_RADIOBUTTON, CRect(240, 35, 292, 46));
        add("STATIC", "Compression:", IDC_EXPORT_COMPRESSION_LABEL, kChild, CRect(164, 53, 240, 61));
        add("STATIC", "", IDC_EXPORT_QUALITY_VALUE, kChild | SS_RIGHT, CRect(262, 53, 292, 61));
        add("msctls_trackbar32", "", IDC_EXPORT_QUALITY, kChild | WS_TABSTOP, CRect(164, 63, 292, 75));
        add("STATIC", "Low", IDC_EXPORT_LOW, kChild, CRect(164, 77, 200, 85));
        add("STATIC", "High", IDC_EXPORT_HIGH, kChild | SS_RIGHT, CRect(256, 77, 292, 85));
        add("BUTTON", "Change file name.", IDC_EXPORT_CHANGE_NAME, kChild | WS_TABSTOP | BS_AUTOCHECKBOX,
            CRect(164, 93, 292, 103));
        add("STATIC", "File Name", IDC_EXPORT_NAME_LABEL, kChild, CRect(174, 108, 222, 116));
        add("EDIT", "", IDC_EXPORT_NAME, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(224, 106, 292, 118));
        // Under the name, ending where its edit ends, with the whole row for its text.
        add("STATIC", "+ Serial Number", IDC_EXPORT_SERIAL_LABEL, kChild | SS_RIGHT, CRect(174, 120, 292, 128));
        add("STATIC", "First File Number:", IDC_EXPORT_FIRST_NUMBER_LABEL, kChild, CRect(174, 133, 252, 141));
        add("EDIT", "", IDC_EXPORT_FIRST_NUMBER, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
            CRect(254, 131, 292, 143));
        add("BUTTON", "Select", UINT(IDOK), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(190, 151, 240, 165));
        add("BUTTON", "Cancel", UINT(IDCANCEL), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(244, 151, 294, 165));
        RegisterDialogTemplate(IDD_EXPORT_FOLDER, t);
        return true;
    }();
    (void)once;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

} // namespace

ExportFolderMemory& GetExportFolderMemory()
{
    static ExportFolderMemory memory;
    return memory;
}

CExportFolderDlog::CExportFolderDlog(const std::vector<std::string>& fileTypes, int nTypeIndex, int* pQuality,
                                     int nBitCount, std::string* pResultFolder, BOOL bForceRename, int nLayout,
                                     CWnd* pParent)
    : CFolderTreeDlog(IDD_EXPORT_FOLDER, pResultFolder, pParent), m_nTypeIndex(nTypeIndex), m_types(fileTypes),
      m_pQuality(pQuality), m_nBitCount(nBitCount), m_bForceRename(bForceRename), m_nLayout(nLayout)
{
    RegisterExportFolderTemplate();
    const ExportFolderMemory& memory = GetExportFolderMemory();
    m_strNameBase = memory.nameBase;
    m_strFirstNumber = memory.firstNumber;
    if (m_pResultFolder->empty())
        *m_pResultFolder = memory.lastFolder;
    m_nSliderPos = 101 - std::clamp(*m_pQuality, 1, 100);
}

void CExportFolderDlog::DoDataExchange(CDataExchange* pDX)
{
    CFolderTreeDlog::DoDataExchange(pDX);
    DDX_CBIndex(pDX, IDC_EXPORT_TYPE, m_nTypeIndex);
    DDX_Radio(pDX, IDC_EXPORT_24BIT, m_nBitDepth);
    DDX_Check(pDX, IDC_EXPORT_CHANGE_NAME, m_bChangeName);
    m_nameFields.Exchange(pDX, m_strNameBase, m_strFirstNumber);
}

BOOL CExportFolderDlog::OnInitDialog()
{
    // The start folder is kept from the tree's own selection changes while it starts.
    const std::string start = *m_pResultFolder;
    CFolderTreeDlog::OnInitDialog();
    *m_pResultFolder = start;
    if (!start.empty())
        m_tree.SelectPath(start);

    if (auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(IDC_EXPORT_QUALITY))) {
        slider->SetRange(1, 100);
        slider->SetPos(m_nSliderPos);
    }
    SetDlgItemText(IDC_EXPORT_QUALITY_VALUE, std::to_string(m_nSliderPos));

    if (auto* list = dynamic_cast<CComboBox*>(GetDlgItem(IDC_EXPORT_TYPE))) {
        list->ResetContent();
        for (const std::string& type : m_types)
            list->AddString(type);
        list->SetCurSel(m_nTypeIndex);
    }
    LayOut();
    UpdateOptions();
    UpdateData(FALSE);
    m_nameFields.SetReady();
    UpdateOptions();
    return TRUE;
}

void CExportFolderDlog::LayOut()
{
    if (m_nLayout != 0)
        return;
    CWnd* tree = GetDlgItem(IDC_FOLDER_TREE);
    CWnd* select = GetDlgItem(IDOK);
    CWnd* cancel = GetDlgItem(IDCANCEL);
    if (!tree || !select || !cancel)
        return;
    CRect rcTree, rcSelect, rcCancel;
    GetDlgItemRectInParent(&rcTree, this, IDC_FOLDER_TREE);
    GetDlgItemRectInParent(&rcSelect, this, IDOK);
    GetDlgItemRectInParent(&rcCancel, this, IDCANCEL);
    // Cancel ends where the tree ends, Select 8 pixels before Cancel.
    const int cancelLeft = rcTree.right - rcCancel.Width();
    cancel->MoveWindow(cancelLeft, rcCancel.top, rcCancel.Width(), rcCancel.Height());
    select->MoveWindow(cancelLeft - 8 - rcSelect.Width(), rcSelect.top, rcSelect.Width(), rcSelect.Height());
    // As much room right of the tree as left of it; the options lie outside.
    CRect rcWindow, rcClient;
    GetWindowRect(&rcWindow);
    GetClientRect(&rcClient);
    const int clientWidth = rcTree.right + rcTree.left;
    SetWindowPos(nullptr, 0, 0, rcWindow.Width() - rcClient.Width() + clientWidth, rcWindow.Height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CExportFolderDlog::UpdateOptions()
{
    if (m_bForceRename) {
        CheckDlgButton(IDC_EXPORT_CHANGE_NAME, BST_CHECKED);
        if (CWnd* w = GetDlgItem(IDC_EXPORT_CHANGE_NAME))
            w->EnableWindow(FALSE);
    }
    const std::string type = m_nTypeIndex >= 0 && size_t(m_nTypeIndex) < m_types.size() ? m_types[size_t(m_nTypeIndex)]
                                                                                       : std::string();
    auto enable = [this](std::initializer_list<int> ids, BOOL on) {
        for (int id : ids)
            if (CWnd* w = GetDlgItem(id))
                w->EnableWindow(on);
    };
    enable({IDC_EXPORT_COMPRESSION_LABEL, IDC_EXPORT_QUALITY, IDC_EXPORT_QUALITY_VALUE, IDC_EXPORT_LOW, IDC_EXPORT_HIGH},
           Contains(type, "JPEG"));
    enable({IDC_EXPORT_BIT_LABEL, IDC_EXPORT_24BIT, IDC_EXPORT_48BIT}, Contains(type, "TIFF") && m_nBitCount >= 25);
    enable({IDC_EXPORT_NAME_LABEL, IDC_EXPORT_NAME, IDC_EXPORT_SERIAL_LABEL, IDC_EXPORT_FIRST_NUMBER_LABEL,
            IDC_EXPORT_FIRST_NUMBER},
           IsDlgButtonChecked(IDC_EXPORT_CHANGE_NAME) == BST_CHECKED);
    enable({IDC_NEW_FOLDER, IDOK}, m_bFileSystem);
}

LRESULT CExportFolderDlog::OnHScroll(WPARAM, LPARAM lParam)
{
    auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(IDC_EXPORT_QUALITY));
    if (!slider || HWND(lParam) != slider->m_hWnd)
        return 0;
    m_nSliderPos = slider->GetPos();
    SetDlgItemText(IDC_EXPORT_QUALITY_VALUE, std::to_string(m_nSliderPos));
    return 0;
}

void CExportFolderDlog::OnTypeChanged()
{
    UpdateData(TRUE);
    UpdateOptions();
}

void CExportFolderDlog::OnChangeNameClicked() { UpdateOptions(); }

void CExportFolderDlog::OnFirstNumberChanged() { m_nameFields.OnNumberChanged(this, m_strFirstNumber); }

void CExportFolderDlog::OnBitClicked(UINT nID) { CheckRadioButton(IDC_EXPORT_24BIT, IDC_EXPORT_48BIT, int(nID)); }

void CExportFolderDlog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (!CNameSerialFields::AcceptNameBase(m_strNameBase))
        return;
    ExportFolderMemory& memory = GetExportFolderMemory();
    memory.nameBase = m_strNameBase;
    memory.firstNumber = m_strFirstNumber;
    *m_pQuality = 101 - m_nSliderPos;
    memory.lastFolder = *m_pResultFolder;
    EndDialog(IDOK);
}
