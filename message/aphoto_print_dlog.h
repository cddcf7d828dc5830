#pragma once

#include "message/aphoto_page_render.h"
#include "ui/dialog_ex.h"

#include <memory>
#include <string>
#include <vector>

class CAPhotoDoc;
class CAPhotoTree;
class CHoverHelp;
class CPrinterDC;
class CSpinButtonCtrl;

enum : UINT {
    IDD_APHOTO_PRINT = 914,
    IDC_PRINT_COLUMNS_SPIN = 1032,
    IDC_PRINT_COLUMNS = 1033,
    IDC_PRINT_DETAIL_SHOW = 1034,
    IDC_PRINT_DETAIL_HIDE = 1035,
    IDC_PRINT_NUMBER_SHOW = 1036,
    IDC_PRINT_NUMBER_HIDE = 1037,
    IDC_PRINT_PREVIEW = 1038,
    IDC_PRINT_NUMBER_GROUP = 1039,
    IDC_PRINT_DETAIL_GROUP = 1040,
    IDC_PRINT_COLUMN_GROUP = 1041,
    IDC_PRINT_COLUMNS_LABEL = 1042,
    IDC_PRINT_PAGE = 1043,
    IDC_PRINT_MARQUEE_GROUP = 1044,
    IDC_PRINT_MARQUEE_SHOW = 1045,
    IDC_PRINT_MARQUEE_HIDE = 1046,
    IDC_PRINT_DATE_GROUP = 1047,
    IDC_PRINT_DATE_SHOW = 1048,
    IDC_PRINT_DATE_HIDE = 1049,
    IDC_PRINT_TREE = 1051,
    IDC_PRINT_OK = 1059,
    IDC_PRINT_QUIT = 1060,
    IDC_PRINT_HEADER = 2086,
    IDC_PRINT_BACK = 2329,
    IDC_PRINT_NEXT = 2330,
    IDC_PRINT_FONT = 2331,
    IDC_PRINT_SETUP = 2332,
    IDC_PRINT_FOOTER = 2717,
    IDC_PRINT_HEADER_LABEL = 2718,
    IDC_PRINT_FOOTER_LABEL = 2719,
    IDC_PRINT_TREE_PLACE = 2720,
};

// The dialog before every print and every Write to File of a message: one
// page at a time as it will come out on the default printer, Back and Next,
// which comments are printed (those selected in its comment tree), how many
// cards a column holds, which page elements show, header and footer texts
// (remembered in the settings), the cards' font and the printer. Print (in
// the writing form Save) ends it with OK; the caller then prints the pages
// or writes the current page to a metafile.
class CAPhotoPrintDlog : public CDialogEx {
    DECLARE_MESSAGE_MAP()
public:
    enum Mode { modePrint = 0, modeWrite = 1 };

    // render draws the document's pages with the options it was made with.
    CAPhotoPrintDlog(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render, CHoverHelp* pHoverHelp, int mode);
    ~CAPhotoPrintDlog() override;

    BOOL OnInitDialog() override;
    // The page shown when the dialog ended (1 without a printer).
    int GetCurrentPage() const;
    int GetPageCount() const;
    CPrinterDC* GetPrinterDC() const { return m_pPrinter.get(); }
    CAPhotoTree* GetTree() const { return m_pTree.get(); }

    // The settings values of the header and footer texts.
    static constexpr char kHeaderValue[] = "AnoPrintHeader";
    static constexpr char kFooterValue[] = "AnoPrintFooter";

protected:
    void OnPrint();
    void OnQuit();
    void OnBack();
    void OnNext();
    void OnColumnsChange();
    void OnHeaderChange();
    void OnFooterChange();
    void OnRadio(UINT nID);
    void OnTreeSelect(NMHDR* pNotify, LRESULT* pResult);
    void OnFont();
    void OnPrinterSetup();
    void OnCancel() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* pDC) override;
    void OnSize(UINT nType, int cx, int cy) override;
    void OnGetMinMaxInfo(MINMAXINFO* p) override;

private:
    BOOL MakePrinterContext(int page);
    void TakePrintOrder();
    void Repaginate();
    void UpdatePageControls();
    CRect ItemRect(UINT id) const;
    CRect PreviewArea() const;

    CAPhotoDoc& m_doc;
    CAPhotoPageRender& m_render;
    CAPhotoPrintOptions& m_options;
    CHoverHelp* m_pHoverHelp;
    int m_nMode;
    std::unique_ptr<CPrinterDC> m_pPrinter;
    std::unique_ptr<CAPhotoTree> m_pTree;
    CSpinButtonCtrl* m_pSpin = nullptr;
    std::vector<UINT> m_optionIds, m_buttonIds, m_pageIds;
    std::string m_strHeader, m_strFooter;
    CSize m_lastClient;
    CSize m_minTrack;
    BOOL m_bReady = FALSE;
    BOOL m_bUpdating = FALSE;
};

// The comments a print order takes by default: every comment, in tree order.
std::vector<int32_t> AllComments(const CAPhotoDoc& doc);

// Prints every page of render on printer (prepared for it first) as one
// job; FALSE when the printer could not take the job.
BOOL PrintMessagePages(CAPhotoPageRender& render, CPrinterDC& printer, const std::string& jobName);

// Write to File: the preview in its writing form, then the file's name
// (the message title proposed, ".EMF" added when the name has no
// extension), then the page chosen in the preview as an enhanced metafile.
// FALSE when cancelled or not written (the user was told why).
BOOL WriteMessageToFile(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render, CHoverHelp* pHoverHelp);
// Print: the preview, then every page on the default printer (or into a
// PDF file where there is none). FALSE when cancelled or not printed.
BOOL PrintMessage(CWnd* pParent, CAPhotoDoc& doc, CAPhotoPageRender& render, CHoverHelp* pHoverHelp);
