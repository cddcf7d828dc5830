#include "viewer/colour_pref_dlog.h"

#include "imaging/colour_settings.h"
#include "viewer/image_file_tests.h"
#include "ui/ui_services.h"
#include "resources/string_table.h"
#include "util/file_filter.h"
#include "platform/framework/controls.h"
#include "platform/framework/document.h"
#include "platform/framework/message_box.h"
#include "platform/framework/win_app.h"
#include "platform/path.h"
#include "resources/string_ids.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CColorPrefDlog, CDialogEx)

BEGIN_MESSAGE_MAP(CColorPrefDlog, CDialogEx)
    ON_BN_CLICKED(IDC_CP_MATCHING, &CColorPrefDlog::OnEnableRule)
    ON_BN_CLICKED(IDC_CP_DISPLAY, &CColorPrefDlog::OnEnableRule)
    ON_BN_CLICKED(IDC_CP_PRINTER, &CColorPrefDlog::OnEnableRule)
    ON_CBN_SELCHANGE(IDC_CP_SPACE, &CColorPrefDlog::OnEnableRule)
    ON_BN_CLICKED(IDC_CP_DISPLAY_LOAD, &CColorPrefDlog::OnLoadDisplay)
    ON_BN_CLICKED(IDC_CP_PRINTER_LOAD, &CColorPrefDlog::OnLoadPrinter)
END_MESSAGE_MAP()

namespace {

enum : UINT {
    ID_PREF_CHANGED = 310,
    ID_CM_CHANGED = 229,
};

constexpr int kColorSpaceCodes[] = {17, 14, 7}; // the list's rows
constexpr int kDefaultColorSpace = 14;

CColorPrefDlog::ProfileChooser g_chooser = nullptr;

void RegisterColorPrefTemplate()
{
    static const bool once = [] {
        const DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.title = "Color Preferences";
        t.rect = CRect(0, 0, 297, 187);
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("BUTTON", "Color Matching On", IDC_CP_MATCHING, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, CRect(60, 14, 200, 26));
        add("STATIC", "Color Space", IDC_CP_SPACE_LABEL, kChild, CRect(72, 38, 140, 48));
        add("COMBOBOX", "", IDC_CP_SPACE, kChild | WS_TABSTOP | CBS_DROPDOWNLIST, CRect(144, 36, 280, 100));
        add("BUTTON", "Display Profile", IDC_CP_DISPLAY, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, CRect(72, 62, 200, 74));
        add("STATIC", "", IDC_CP_DISPLAY_NAME, kChild | SS_SUNKEN, CRect(84, 78, 226, 92));
        add("BUTTON", "Load...", IDC_CP_DISPLAY_LOAD, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(232, 77, 284, 93));
        add("BUTTON", "Printer Profile", IDC_CP_PRINTER, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, CRect(72, 104, 200, 116));
        add("STATIC", "", IDC_CP_PRINTER_NAME, kChild | SS_SUNKEN, CRect(84, 120, 226, 134));
        add("BUTTON", "Load...", IDC_CP_PRINTER_LOAD, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(232, 119, 284, 135));
        add("BUTTON", "OK", UINT(IDOK), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(176, 160, 226, 176));
        add("BUTTON", "Cancel", UINT(IDCANCEL), kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(232, 160, 284, 176));
        RegisterDialogTemplate(IDD_COLOR_PREFS, t);
        return true;
    }();
    (void)once;
}

} // namespace

CColorPrefDlog::ProfileChooser CColorPrefDlog::SetProfileChooser(ProfileChooser chooser)
{
    return std::exchange(g_chooser, chooser);
}

int CColorPrefDlog::IndexFromColorSpace(int code)
{
    const auto it = std::find(std::begin(kColorSpaceCodes), std::end(kColorSpaceCodes), code);
    return it == std::end(kColorSpaceCodes) ? -1 : int(it - std::begin(kColorSpaceCodes));
}

int CColorPrefDlog::ColorSpaceFromIndex(int index)
{
    return index >= 0 && index < int(std::size(kColorSpaceCodes)) ? kColorSpaceCodes[index] : kDefaultColorSpace;
}

std::string CColorPrefDlog::ProfileFilter()
{
    // Profile names are written in either case; the file system tells them apart.
    std::vector<FileFilterEntry> entries = ParseFileFilter(std::string(res::String(IDS_PROFILE_FILTER)));
    std::string out;
    for (FileFilterEntry& e : entries) {
        std::vector<std::string> both;
        for (const std::string& p : e.patterns) {
            std::string lower = p;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            std::string upper = p;
            std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
            both.push_back(upper);
            if (lower != upper)
                both.push_back(lower);
        }
        e.patterns = both;
        if (!out.empty())
            out += ";;";
        out += QtFilterLine(e);
    }
    return out;
}

CColorPrefDlog::CColorPrefDlog(CWnd* pParent) : CDialogEx(IDD_COLOR_PREFS, pParent)
{
    RegisterColorPrefTemplate();
    SetBackColor(GetSchemeSysColor(4));
}

void CColorPrefDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CP_DISPLAY_LOAD, m_wndLoadDisplay);
    DDX_Control(pDX, IDC_CP_PRINTER_LOAD, m_wndLoadPrinter);
    DDX_Control(pDX, IDOK, m_wndOK);
    DDX_Control(pDX, IDCANCEL, m_wndCancel);
    DDX_Check(pDX, IDC_CP_MATCHING, m_bMatching);
    DDX_CBIndex(pDX, IDC_CP_SPACE, m_nColorSpace);
    DDX_Check(pDX, IDC_CP_DISPLAY, m_bDisplay);
    DDX_Check(pDX, IDC_CP_PRINTER, m_bPrinter);
    DDX_Text(pDX, IDC_CP_DISPLAY_NAME, m_strDisplayName);
    DDX_Text(pDX, IDC_CP_PRINTER_NAME, m_strPrinterName);
}

BOOL CColorPrefDlog::OnInitDialog()
{
    ColorSettings s;
    GetColorSettings(s);
    m_bMatching = s.doInputCM != 0;
    m_bDisplay = s.doDispCM != 0;
    m_bPrinter = s.doPrintCM != 0;
    m_nColorSpace = IndexFromColorSpace(s.colorSpace);
    m_strDisplayPath = s.displayProfile;
    m_strPrinterPath = s.printerProfile;
    m_strDisplayName = LastNameOf(m_strDisplayPath);
    m_strPrinterName = LastNameOf(m_strPrinterPath);
    CDialogEx::OnInitDialog();
    if (auto* list = dynamic_cast<CComboBox*>(GetDlgItem(IDC_CP_SPACE))) {
        for (const char* name : {"Original Color Space", "sRGB", "AdobeRGB"})
            list->AddString(name);
        list->SetCurSel(m_nColorSpace);
    }
    m_wndLoadDisplay.SetBackColor(GetSchemeSysColor(4));
    m_wndLoadPrinter.SetBackColor(GetSchemeSysColor(4));
    UpdateData(FALSE);
    OnEnableRule();
    return TRUE;
}

void CColorPrefDlog::OnEnableRule()
{
    UpdateData(TRUE);
    auto enable = [this](UINT id, BOOL on) {
        if (CWnd* w = GetDlgItem(id))
            w->EnableWindow(on);
    };
    for (UINT id : {IDC_CP_SPACE_LABEL, IDC_CP_SPACE, IDC_CP_DISPLAY, IDC_CP_PRINTER})
        enable(id, m_bMatching);
    enable(IDC_CP_DISPLAY_LOAD, m_bMatching && m_bDisplay);
    enable(IDC_CP_DISPLAY_NAME, m_bMatching && m_bDisplay);
    enable(IDC_CP_PRINTER_LOAD, m_bMatching && m_bPrinter);
    enable(IDC_CP_PRINTER_NAME, m_bMatching && m_bPrinter);
}

BOOL CColorPrefDlog::ChooseProfile(std::string& path, std::string& name)
{
    std::string chosen = GetProfilesFolder();
    const BOOL ok = g_chooser ? g_chooser(chosen) : AfxPromptFileName(chosen, TRUE, "Open", ProfileFilter());
    if (!ok)
        return FALSE;
    UpdateData(TRUE);
    path = chosen;
    name = LastNameOf(chosen);
    UpdateData(FALSE);
    OnEnableRule();
    return TRUE;
}

void CColorPrefDlog::OnLoadDisplay() { ChooseProfile(m_strDisplayPath, m_strDisplayName); }
void CColorPrefDlog::OnLoadPrinter() { ChooseProfile(m_strPrinterPath, m_strPrinterName); }

void CColorPrefDlog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    if (m_bMatching && ((m_bDisplay && m_strDisplayPath.empty()) || (m_bPrinter && m_strPrinterPath.empty()))) {
        AfxMessageBox(IDS_NO_PROFILE, MB_OK);
        return;
    }
    ColorSettings s;
    s.doInputCM = m_bMatching ? 1 : 0;
    s.doDispCM = m_bDisplay ? 1 : 0;
    s.doPrintCM = m_bPrinter ? 1 : 0;
    s.colorSpace = ColorSpaceFromIndex(m_nColorSpace);
    s.printerProfile = m_strPrinterPath;
    s.displayProfile = m_strDisplayPath;
    const int changed = ApplyColorSettings(s);
    EndDialog(IDOK);
    if (CWnd* main = AfxGetMainWnd()) {
        main->PostMessage(WM_COMMAND, ID_PREF_CHANGED, 0);
        if (changed)
            main->PostMessage(WM_COMMAND, ID_CM_CHANGED, 0);
    }
}

void RunColorPreferences(CWnd* pParent)
{
    CColorPrefDlog dlg(pParent);
    dlg.DoModal();
}
