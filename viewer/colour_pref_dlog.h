#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

#include <string>

enum : UINT {
    IDD_COLOR_PREFS = 217,
    IDC_CP_MATCHING = 2083,
    IDC_CP_SPACE_LABEL = 1070,
    IDC_CP_SPACE = 2056,
    IDC_CP_DISPLAY = 2327,
    IDC_CP_DISPLAY_NAME = 2081,
    IDC_CP_DISPLAY_LOAD = 2233,
    IDC_CP_PRINTER = 2328,
    IDC_CP_PRINTER_NAME = 2225,
    IDC_CP_PRINTER_LOAD = 2237,
    ID_COLOR_PREFERENCES = 170,
};

// "Color Preferences": colour matching on or off, the working colour space,
// and the display and printer profiles. OK replaces the colour settings and
// tells the main window (310, and 229 when anything changed).
class CColorPrefDlog : public CDialogEx {
    DECLARE_DYNAMIC(CColorPrefDlog)
    DECLARE_MESSAGE_MAP()
public:
    explicit CColorPrefDlog(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    // The list's rows and the colour-space codes: 0 Original 17, 1 sRGB 14,
    // 2 AdobeRGB 7. A code without a row shows no selection (-1); a row
    // without a code is saved as sRGB.
    static int IndexFromColorSpace(int code);
    static int ColorSpaceFromIndex(int index);
    // The open dialog's filter: the profile extensions in both cases.
    static std::string ProfileFilter();
    // Picks a profile in place of the open dialog (tests): TRUE with a path.
    using ProfileChooser = BOOL (*)(std::string& path);
    static ProfileChooser SetProfileChooser(ProfileChooser chooser);

    int m_nColorSpace = 1;
    int m_bMatching = 0;
    int m_bDisplay = 0;
    int m_bPrinter = 0;
    std::string m_strDisplayName, m_strPrinterName;
    std::string m_strDisplayPath, m_strPrinterPath;

protected:
    void OnEnableRule();
    void OnLoadDisplay();
    void OnLoadPrinter();

private:
    BOOL ChooseProfile(std::string& path, std::string& name);

    CButtonEx m_wndLoadDisplay, m_wndLoadPrinter, m_wndOK, m_wndCancel;
};

// Runs the dialog over the window (the program's command 170).
void RunColorPreferences(CWnd* pParent);
