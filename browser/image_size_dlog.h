#pragma once

#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

#include <string>

enum : UINT {
    IDD_IMAGE_SIZE = 3014,
    IDC_IMAGE_SIZE_BICUBIC = 2029,
    IDC_IMAGE_SIZE_BILINEAR = 2030,
    IDC_IMAGE_SIZE_HEIGHT = 2076,
    IDC_IMAGE_SIZE_NUMBER = 2077,
    IDC_IMAGE_SIZE_UNIT = 2078,
    IDC_IMAGE_SIZE_WIDTH = 2079,
    IDC_IMAGE_SIZE_OK = 2344,
    IDC_IMAGE_SIZE_CANCEL = 2345,
};

// Asks for the new size of the pictures of Resize All: the proportions of the
// first picture kept while typing, its longer side at most kMaxSide pixels,
// the size of the result in memory shown beside, and the interpolation.
class CImageSizeDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    static constexpr int kMaxSide = 3840;
    static constexpr int kMinSide = 8;

    CImageSizeDlog(int sourceWidth, int sourceHeight, int width, int height, int interpolation, int bitCount,
                   CWnd* pParent);

    // A source without pixels has no proportions to keep: refused with
    // "Image size outside range." before the dialog shows (IDCANCEL).
    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;

    // The entered numbers; a run of digits too long for an int counts as INT_MAX.
    int GetWidth() const { return ParseSize(m_strWidth); }
    int GetHeight() const { return ParseSize(m_strHeight); }
    int GetMaxWidth() const { return m_nMaxWidth; }
    int GetMaxHeight() const { return m_nMaxHeight; }

    // The rules, apart from the window.
    static int ParseSize(const std::string& digits);
    // The longer side becomes kMaxSide, the other follows the proportions.
    static void ComputeMaxSize(int sourceWidth, int sourceHeight, int& maxWidth, int& maxHeight);
    // The bitmap size of width x height at bitCount as a number and a unit:
    // bytes up to 1024, then kilobytes, then megabytes with one decimal.
    static void FormatMemorySize(int width, int height, int bitCount, std::string& number, std::string& unit);

    // Fields, in the order the data exchange binds them.
    std::string m_strSizeNumber = "0";
    std::string m_strSizeUnit = "K";
    std::string m_strHeight;
    std::string m_strWidth;
    int m_nInterpolationRadio;
    // Read by the caller after IDOK: 0 bilinear, 1 bicubic.
    int m_nInterpolation;

protected:
    void OnShowWindow(BOOL bShow, UINT nStatus) override;
    void OnWidthChanged();
    void OnHeightChanged();
    // One size typed: the other follows, both within the maximum.
    void FollowSize(bool widthTyped);
    void UpdateSizeText();

    CButtonEx m_wndOK;
    CButtonEx m_wndCancel;

private:
    int m_nBitCount;
    int m_nSourceWidth;
    int m_nSourceHeight;
    int m_nMaxWidth = 0;
    int m_nMaxHeight = 0;
    bool m_bInitialised = false;
    bool m_bPlacePending = false;
    // Set while one field's change writes the other: its own change is not a user's.
    bool m_bFollowing = false;
};
