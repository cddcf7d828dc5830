#pragma once

#include "browser/contact_sheet.h"
#include "ui/button_ex.h"
#include "ui/dialog_ex.h"
#include "platform/framework/controls.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CPrinterDC;

enum : UINT {
    IDD_MAIN_PRINT = 3054,
    IDC_SHEET_COLUMN_SPIN = 1032,
    IDC_SHEET_COLUMNS = 1033,
    IDC_SHEET_ROWS = 1034,
    IDC_SHEET_ROW_SPIN = 1035,
    IDC_SHEET_PAGE_NUMBERS_SHOW = 1036,
    IDC_SHEET_PAGE_NUMBERS_HIDE = 1037,
    IDC_SHEET_PREVIEW = 1038,
    IDC_SHEET_PAGE_NUMBERS_GROUP = 1039,
    IDC_SHEET_GRID_GROUP = 1041,
    IDC_SHEET_COLUMN_LABEL = 1042,
    IDC_SHEET_PAGE_TEXT = 1043,
    IDC_SHEET_ROW_LABEL = 1044,
    IDC_SHEET_PRINT = 1059,
    IDC_SHEET_QUIT = 1060,
    IDC_SHEET_BACK = 2329,
    IDC_SHEET_NEXT = 2330,
    IDC_SHEET_FONT = 2331,
    IDC_SHEET_PRINTER_SETUP = 2332,
    IDC_SHEET_INFO_GROUP = 2721,
    IDC_SHEET_INFO_SHOW = 2722,
    IDC_SHEET_INFO_HIDE = 2723,
    ID_FILE_PRINT_SETUP_COMMAND = 57606,
};

// "Print Preview" of the contact sheets: one page at a time as it will print
// on the default printer, with the grid (1..9 rows and columns), the page
// number and picture information switches and the caption font, which the
// dialog writes into the contact sheet's settings as the user changes them.
// Print ends it with IDOK (the caller then prints every page), Quit with IDCANCEL.
class CMainPrintDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    CMainPrintDlog(CWnd* pParent, CContactSheet* pView, CContactSheetSettings* pSettings);
    ~CMainPrintDlog() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // A new printer context for the page; false when none can be had.
    bool PreparePrinting(int page);
    // After a settings change: the pages counted again, the page kept within them.
    void RefreshPreview();
    void UpdatePageButtons();
    // The preview area with the paper and the current page drawn on it.
    void DrawPreview(CDC* pDC);

    int GetCurrentPage() const { return m_nCurrentPage; }
    int GetLastPage() const { return m_nLastPage; }
    CPrinterDC* GetPrinterDC() const { return m_pPrinter.get(); }
    // The paper as last drawn, in client coordinates.
    const CRect& GetPaperRect() const { return m_rcPaper; }

    // Where printer contexts come from (tests print into PDF files); null: the default printer.
    using PrinterFactory = std::unique_ptr<CPrinterDC> (*)();
    static void SetPrinterFactory(PrinterFactory factory);

    void OnBack();
    void OnNext();
    void OnPrinterSetup();
    void OnFont();

protected:
    void OnPageNumbers(UINT nID);
    void OnImageInfo(UINT nID);
    void OnColumnsChange();
    void OnRowsChange();
    void OnGridChange(int& field);
    void OnPrint();
    void OnQuit();
    void OnSize(UINT nType, int cx, int cy) override;
    void OnGetMinMaxInfo(MINMAXINFO* p) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void LayOut();
    void UpdatePageText();
    void DrawPaper(CDC* pDC, const CRect& paper);
    CRect PreviewArea() const;

    CButtonEx m_wndBack, m_wndNext, m_wndFont, m_wndSetup, m_wndPrint, m_wndQuit;

    std::vector<UINT> m_settingsIds;
    std::vector<UINT> m_buttonIds;
    std::vector<UINT> m_pageBarIds;
    CContactSheet* m_pView;
    CContactSheetSettings* m_pSettings;
    std::unique_ptr<CPrinterDC> m_pPrinter;
    BOOL m_bPrepared = FALSE;
    int m_nCurrentPage = 1;
    int m_nLastPage = 1;
    std::string m_strPageText;
    int m_nPageNumbers;
    int m_nImageInfo;
    int m_nColumns;
    int m_nRows;
    bool m_bReady = false;
    // The window and the controls as the template made them: the layout moves them from there.
    CSize m_initialClient;
    CSize m_minWindow;
    std::vector<std::pair<UINT, CRect>> m_initialRects;
    CRect m_rcPaper;
};

// File/Print of the browser: the contact-sheet dialog over the sheet's
// settings, then, on Print, every page to the default printer. True when printed.
bool PrintContactSheets(CWnd* pParent, CContactSheet& sheet);
// Ctrl+P: every page to the default printer with the sheet's settings, no dialog.
bool PrintContactSheetsNow(CContactSheet& sheet);
