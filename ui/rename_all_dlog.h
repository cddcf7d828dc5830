#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"
#include "ui/name_serial_fields.h"

#include <string>

enum : UINT {
    IDD_RENAME_ALL = 903,
    IDC_RENAME_ALL_FIRST_LABEL = 2000,
    IDC_RENAME_ALL_NAME_LABEL = 2099,
    IDC_RENAME_ALL_NAME = 2100,
    IDC_RENAME_ALL_FIRST_NUMBER = 2272,
    IDC_RENAME_ALL_SERIAL_LABEL = 2273,
};

// What Rename All proposes next: the values of its last run, for as long as
// the program runs (never stored).
struct RenameAllMemory {
    std::string nameBase = "IMAGE";
    std::string firstNumber = "0001";
};
RenameAllMemory& GetRenameAllMemory();

// Asks for the name base and the first serial number with which Rename All
// renames the selected files. The renaming itself is the browser's.
class CRenameAllDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    // The texts become the remembered values and the fields' first values.
    CRenameAllDlog(const std::string& nameBase, const std::string& firstNumber, CWnd* pParent);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    // Read by the caller after IDOK.
    std::string m_strNameBase;
    std::string m_strFirstNumber;

protected:
    void OnFirstNumberChanged();

    CButtonEx m_wndRename;
    CButtonEx m_wndQuit;

private:
    CNameSerialFields m_nameFields{IDC_RENAME_ALL_NAME, IDC_RENAME_ALL_FIRST_NUMBER};
};
