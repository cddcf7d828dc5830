#pragma once

#include "viewer/view_print.h"
#include "ui/button_ex.h"
#include "ui/dialog_ex.h"

#include <memory>
#include <string>

class CPrinterDC;
class CViewerView;

enum : UINT {
    IDD_VIEW_PRINT = 3053,
    IDC_VP_PRINT = 1059,
    IDC_VP_QUIT = 1060,
    IDC_VP_SIZE_GROUP = 2724,
    IDC_VP_BY_RESOLUTION = 2725,
    IDC_VP_TO_PAGE = 2726,
    IDC_VP_RESOLUTION = 2727,
    IDC_VP_HEIGHT = 2728,
    IDC_VP_WIDTH = 2729,
    IDC_VP_HEIGHT_LABEL = 2730,
    IDC_VP_WIDTH_LABEL = 2731,
    IDC_VP_DPI_LABEL = 2732,
    IDC_VP_HEIGHT_MM = 2733,
    IDC_VP_WIDTH_MM = 2734,
    IDC_VP_CAPTION_GROUP = 2721,
    IDC_VP_SHOW = 2722,
    IDC_VP_HIDE = 2723,
    IDC_VP_PRINTER_SETUP = 2332,
    IDC_VP_FONT = 2331,
    IDC_VP_PREVIEW = 1038,
};

// "Print Preview": the page as it will print, sized by a resolution or to
// the page, with the picture's information or the title beneath it, and the
// choices kept in the view's print settings.
class CViewPrintDlog : public CDialogEx {
    DECLARE_DYNAMIC(CViewPrintDlog)
    DECLARE_MESSAGE_MAP()
public:
    CViewPrintDlog(CViewerView* pView, CViewPrintSettings* pSettings);
    ~CViewPrintDlog() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Chooses the caption font in place of the font dialog (tests): TRUE with a font.
    using FontChooser = BOOL (*)(LOGFONT& font);
    static FontChooser SetFontChooser(FontChooser chooser);

    // The rules of the three edits and the clamping, run on every change.
    void OnResolutionChanged();
    void OnHeightChanged();
    void OnWidthChanged();
    void Clamp();
    void Apply();

    const viewprint::Limits& GetLimits() const { return m_limits; }
    int GetPrintedWidth() const { return m_nWidth; }
    int GetPrintedHeight() const { return m_nHeight; }
    std::string m_strResolution, m_strHeight, m_strWidth;

protected:
    void OnPaint() override;
    void OnSizing();
    void OnCaptionChoice();
    void OnFont();
    void OnPrinterSetup();
    void OnPrint();
    void OnQuit();
    void OnResolutionEdit();
    void OnHeightEdit();
    void OnWidthEdit();

private:
    BOOL PreparePrinter();
    void SideChanged(bool height);
    void EditChanged(UINT id, std::string& text, void (CViewPrintDlog::*rule)());
    void ComputeLimits();
    void SetTexts();
    int Dpi() const { return m_pSettings->m_nPrinterResolution; }

    CViewerView* m_pView;
    CViewPrintSettings* m_pSettings;
    std::unique_ptr<CPrinterDC> m_pPrinter;
    viewprint::Limits m_limits;
    int m_nWidth = 0, m_nHeight = 0;
    int m_nByResolution = 0, m_nShowCaption = 0; // radio indexes
    bool m_bSetting = false;
    CButtonEx m_wndPrint, m_wndQuit, m_wndFont, m_wndSetup;
};
