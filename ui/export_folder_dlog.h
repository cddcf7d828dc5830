#pragma once

#include "ui/folder_tree_dlog.h"
#include "ui/name_serial_fields.h"

#include <string>
#include <vector>

enum : UINT {
    IDD_EXPORT_FOLDER = 3020,
    IDC_EXPORT_FIRST_NUMBER_LABEL = 2000,
    IDC_EXPORT_24BIT = 2001,
    IDC_EXPORT_48BIT = 2002,
    IDC_EXPORT_CHANGE_NAME = 2045,
    IDC_EXPORT_TYPE_LABEL = 2072,
    IDC_EXPORT_TYPE = 2095,
    IDC_EXPORT_NAME_LABEL = 2099,
    IDC_EXPORT_NAME = 2100,
    IDC_EXPORT_LOW = 2117,
    IDC_EXPORT_COMPRESSION_LABEL = 2160,
    IDC_EXPORT_QUALITY = 2161,
    IDC_EXPORT_HIGH = 2172,
    IDC_EXPORT_QUALITY_VALUE = 2229,
    IDC_EXPORT_FIRST_NUMBER = 2272,
    IDC_EXPORT_SERIAL_LABEL = 2273,
    IDC_EXPORT_BIT_LABEL = 2301,
};

// What the export dialog remembers while the program runs (never stored):
// the new file name's base and first number, and the folder chosen last.
struct ExportFolderMemory {
    std::string nameBase = "IMAGE";
    std::string firstNumber = "0001";
    std::string lastFolder;
};
ExportFolderMemory& GetExportFolderMemory();

// Picks the destination folder of Resize All and Save as Web Page, with the
// output options beside the tree: file type, JPEG compression, TIFF bit
// depth, and a new file name with a serial number.
class CExportFolderDlog : public CFolderTreeDlog {
    DECLARE_MESSAGE_MAP()
public:
    // quality (1 to 100) and the folder are read and written through the
    // pointers; an empty folder starts at the folder chosen last. With the
    // force-rename flag "Change file name." is checked and cannot be changed.
    // Layout 0 shows the tree alone (the options keep their values).
    CExportFolderDlog(const std::vector<std::string>& fileTypes, int nTypeIndex, int* pQuality, int nBitCount,
                      std::string* pResultFolder, BOOL bForceRename, int nLayout, CWnd* pParent);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    // Read by the caller after IDOK.
    int m_nTypeIndex;
    int m_nBitDepth = 1; // 0: 24 bits, 1: 48 bits
    int m_bChangeName = FALSE;
    std::string m_strNameBase;
    std::string m_strFirstNumber;

    int GetSliderPos() const { return m_nSliderPos; }

protected:
    void UpdateButtons() override { UpdateOptions(); }
    BOOL KeepsFolderOnPlaces() const override { return TRUE; }

    LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
    void OnTypeChanged();
    void OnChangeNameClicked();
    void OnFirstNumberChanged();
    void OnBitClicked(UINT nID);
    void UpdateOptions();
    void LayOut();

private:
    std::vector<std::string> m_types;
    int* m_pQuality;
    int m_nBitCount;
    BOOL m_bForceRename;
    int m_nLayout;
    int m_nSliderPos = 6;
    CNameSerialFields m_nameFields{IDC_EXPORT_NAME, IDC_EXPORT_FIRST_NUMBER};
};
