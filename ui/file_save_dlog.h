#pragma once

#include "util/file_filter.h"
#include "platform/types.h"

#include <string>
#include <vector>

class CWnd;
class QWidget;
class QSlider;
class QLabel;
class QRadioButton;

enum : UINT {
    IDC_SAVE_COMPRESSION_LABEL = 2160,
    IDC_SAVE_COMPRESSION = 2161,
    IDC_SAVE_COMPRESSION_VALUE = 2229,
    IDC_SAVE_LOW = 2117,
    IDC_SAVE_HIGH = 2172,
    IDC_SAVE_24BIT = 2001,
    IDC_SAVE_48BIT = 2002,
    IDC_SAVE_BIT_LABEL = 2301,
};

// The save dialog for pictures: the file dialog with a panel below it for the
// JPEG compression and the TIFF bit depth. The slider runs opposite to the
// quality (position = 101 - quality). The caller's quality changes only when
// the user confirms with OK.
class CFileSaveDlog {
public:
    CFileSaveDlog(int* pQuality, int nSourceBitsPerPixel, const std::string& defaultType, const std::string& fileName,
                  DWORD flags, const std::string& filter, CWnd* pParent);
    virtual ~CFileSaveDlog();

    // IDOK with the path (its extension completed), or IDCANCEL.
    int DoModal();
    const std::string& GetPathName() const { return m_strPath; }
    // 0 = "24Bit", 1 = "48Bit".
    int GetBitDepthChoice() const { return m_nRadio; }
    int GetFilterIndex() const { return m_nFilterIndex; }
    const std::vector<FileFilterEntry>& GetFilters() const { return m_filters; }

    // The panel's state for the selected filter.
    BOOL IsCompressionEnabled() const { return m_bCompressionEnabled; }
    BOOL IsBitDepthEnabled() const { return m_bBitDepthEnabled; }
    int GetSliderPos() const { return m_nSliderPos; }
    // What a move of the slider or a change of the file type does.
    void OnSliderMoved(int nPos);
    void OnFilterChanged(int nIndex);
    void SetBitDepthChoice(int nChoice);

    // The path with the selected filter's extension: unchanged when its
    // extension is one of the filter's (any with "*.*"), else the first
    // pattern's extension appended.
    static std::string CompleteExtension(const std::string& path, const std::vector<std::string>& patterns);
    // The upper-cased name of a filter entry: its label up to the brackets.
    static std::string FilterName(const FileFilterEntry& entry);

protected:
    // Shows the dialog: TRUE with the chosen path and filter, FALSE when cancelled.
    virtual BOOL RunDialog(std::string& path, int& filterIndex);
    // Asked when the completed name names a file that exists: TRUE to replace it.
    virtual BOOL ConfirmReplace(const std::string& path);

private:
    void UpdateControls();
    QWidget* BuildPanel();

    int* m_pQuality;
    int m_nQuality;
    int m_nSourceBpp;
    std::string m_strDefaultType;
    std::string m_strPath;
    std::string m_strFileName;
    DWORD m_dwFlags;
    std::vector<FileFilterEntry> m_filters;
    CWnd* m_pParent;
    int m_nFilterIndex = 0;
    int m_nSliderPos;
    int m_nRadio = 1;
    BOOL m_bCompressionEnabled = FALSE;
    BOOL m_bBitDepthEnabled = FALSE;

    QSlider* m_pSlider = nullptr;
    QLabel* m_pValue = nullptr;
    std::vector<QWidget*> m_compressionControls;
    std::vector<QWidget*> m_bitDepthControls;
    QRadioButton* m_pRadio24 = nullptr;
    QRadioButton* m_pRadio48 = nullptr;
};
